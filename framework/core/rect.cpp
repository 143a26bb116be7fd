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

bool ClipCopyRects(RECT* source, int* destX, int* destY, const RECT& sourceArea, const RECT& destArea) {
    NormalizeRect(source);
    const RECT before = *source;
    ClipRectToRect(source, &sourceArea);
    *destX += source->left - before.left;
    *destY += source->top - before.top;
    RECT dest{*destX, *destY, *destX + (source->right - source->left), *destY + (source->bottom - source->top)};
    const RECT destBefore = dest;
    ClipRectToRect(&dest, &destArea);
    source->left += dest.left - destBefore.left;
    source->top += dest.top - destBefore.top;
    source->right = source->left + (dest.right - dest.left);
    source->bottom = source->top + (dest.bottom - dest.top);
    *destX = dest.left;
    *destY = dest.top;
    return dest.right > dest.left && dest.bottom > dest.top;
}

bool CopyPartInWindow(const RECT& source, const RECT& dest, const RECT& window, RECT* partDest, RECT* partSource) {
    *partDest = dest;
    ClipRectToRect(partDest, &window);
    if (partDest->right <= partDest->left || partDest->bottom <= partDest->top) return false;
    *partSource = RECT{source.left + partDest->left - dest.left, source.top + partDest->top - dest.top,
                       source.left + partDest->right - dest.left, source.top + partDest->bottom - dest.top};
    return true;
}
