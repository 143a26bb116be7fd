#include "softrender/fill/fill_rect.h"

#include <algorithm>
#include <cstddef>

#include "core/rect.h"
#include "softrender/constant_colour.h"
#include "softrender/fill/fill_rows.h"

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
                                       FillConstantRows(op, start, pitch, width, height);
                                   });
}
