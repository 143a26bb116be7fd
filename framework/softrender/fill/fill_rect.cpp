#include "softrender/fill/fill_rect.h"

#include <algorithm>
#include <cstddef>
#include <type_traits>

#include "core/rect.h"
#include "softrender/constant_colour.h"

namespace {

// Visits every pixel of the clipped rectangle, row by row, left to right.
template <class Op>
void FillRows(std::uint8_t* start, std::size_t pitch, int width, int height, std::size_t pixelBytes, const Op& op) {
    for (int y = 0; y < height; ++y) {
        std::uint8_t* px = start + static_cast<std::size_t>(y) * pitch;
        for (int x = 0; x < width; ++x, px += pixelBytes) op(px);
    }
}

// The copy writes whole 32-bit words: one per pixel in a 32-bit image, two
// pixels per word in a 16-bit one, with one 16-bit store for an odd width.
void CopyRows32(std::uint8_t* start, std::size_t pitch, int width, int height, std::uint32_t c) {
    for (int y = 0; y < height; ++y) {
        std::uint8_t* px = start + static_cast<std::size_t>(y) * pitch;
        for (int x = 0; x < width; ++x, px += 4) StorePixel32(px, c);
    }
}
void CopyRows16(std::uint8_t* start, std::size_t pitch, int width, int height, std::uint32_t c) {
    const std::uint32_t pair = c | (c << 16);
    const int words = width / 2;
    for (int y = 0; y < height; ++y) {
        std::uint8_t* px = start + static_cast<std::size_t>(y) * pitch;
        for (int i = 0; i < words; ++i, px += 4) StorePixel32(px, pair);
        if (width & 1) StorePixel16(px, c);
    }
}

}  // namespace

void FillRectMemImg(MEMIMG* dest, const RECT* rect, std::uint32_t colour) {
    FillRectMemImg(dest, rect, colour, CurrentSoftDrawSettings());
}

void FillRectMemImg(MEMIMG* dest, const RECT* rect, std::uint32_t colour, const SoftDrawSettings& settings) {
    if (dest == nullptr || dest->pixels == nullptr) return;
    if (dest->paletted != 0) return;
    if (dest->alphaChannel != 0) return;

    RECT r;
    if (rect == nullptr) {
        r = RECT{0, 0, dest->width, dest->height};
    } else {
        r.left = std::min(rect->left, rect->right);
        r.right = std::max(rect->left, rect->right);
        r.top = std::min(rect->top, rect->bottom);
        r.bottom = std::max(rect->top, rect->bottom);
    }
    RECT clip;
    if (!ClipDrawAreaToImage(settings, dest->width, dest->height, &clip)) return;
    ClipRectToRect(&r, &clip);
    const int width = r.right - r.left;
    const int height = r.bottom - r.top;
    if (width <= 0 || height <= 0) return;

    const std::uint32_t kind = dest->kind;
    if (kind > 1) return;
    const std::size_t pixelBytes = kind == 1 ? 4 : 2;
    // A format that disagrees with the pixel kind describes some other
    // layout; writing kind-sized pixels into it could run past its rows.
    if (dest->colorFormat != nullptr && dest->colorFormat->bytesPerPixel != pixelBytes) return;

    const std::size_t pitch = dest->pitch;
    std::uint8_t* start = dest->pixels + static_cast<std::size_t>(r.top) * pitch +
                          static_cast<std::size_t>(r.left) * pixelBytes;

    constant_colour::WithOperation(kind, settings.blendMode, settings.blendParam, settings.brightColor, colour,
                                   [&](const auto& op) {
                                       // The run table and premultiplied copy no
                                       // longer describe the pixels.
                                       InvalidateMemImgDerived(dest);
                                       using Op = std::decay_t<decltype(op)>;
                                       if constexpr (std::is_same_v<Op, constant_colour::Copy32>)
                                           CopyRows32(start, pitch, width, height, op.c);
                                       else if constexpr (std::is_same_v<Op, constant_colour::Copy16>)
                                           CopyRows16(start, pitch, width, height, op.c);
                                       else
                                           FillRows(start, pitch, width, height, pixelBytes, op);
                                   });
}
