#include "core/rect.h"

#include <utility>

namespace {

LONG ClampTo(LONG value, LONG low, LONG high) {
    if (value > high) value = high;
    if (value < low) value = low;
    return value;
}

}  // namespace

int ClipRectToRect(RECT* rect, const RECT* clip) {
    if (rect == nullptr || clip == nullptr) return 0;
    if (rect->right < rect->left) rect->right = rect->left;
    if (rect->bottom < rect->top) rect->bottom = rect->top;
    // The order matters for a rectangle wholly outside: it collapses onto
    // the clip edge it lies beyond.
    rect->bottom = ClampTo(rect->bottom, clip->top, clip->bottom);
    rect->top = ClampTo(rect->top, clip->top, clip->bottom);
    rect->right = ClampTo(rect->right, clip->left, clip->right);
    rect->left = ClampTo(rect->left, clip->left, clip->right);
    return 0;
}

int NormalizeRect(RECT* rect) {
    if (rect == nullptr) return 0;
    if (rect->left > rect->right) std::swap(rect->left, rect->right);
    if (rect->top > rect->bottom) std::swap(rect->top, rect->bottom);
    return 0;
}

int QueryRectSize(const RECT* rect, int* width, int* height) {
    if (rect == nullptr) return 0;
    // Unsigned, so extreme edges wrap instead of overflowing.
    if (width != nullptr) *width = static_cast<int>(static_cast<DWORD>(rect->right) - static_cast<DWORD>(rect->left));
    if (height != nullptr) *height = static_cast<int>(static_cast<DWORD>(rect->bottom) - static_cast<DWORD>(rect->top));
    return 0;
}
