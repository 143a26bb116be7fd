#include "softrender/fill/lines.h"

#include <algorithm>
#include <cstddef>

#include "core/utility.h"
#include "softrender/constant_colour.h"

namespace {

struct LineEnds {
    std::int32_t x1, y1, x2, y2;
};

// Brings a line into the clip rectangle (right and bottom exclusive). The line
// is described from its unclipped ends twice, as x = kx * y + bx and as
// y = ky * x + by; each end is moved onto the clip edges, first in x then in
// y, the other coordinate recomputed in double precision and truncated toward
// zero, and finally everything is clamped without recomputing. A start that
// has to move lands on the first column or row inside, an end on the first
// one outside, since the end is never drawn. Returns false when the line lies
// wholly on one outer side.
bool ClipLine(const RECT& clip, LineEnds* line) {
    std::int32_t x1 = line->x1, y1 = line->y1, x2 = line->x2, y2 = line->y2;
    const std::int32_t left = clip.left, top = clip.top, right = clip.right, bottom = clip.bottom;

    if (std::min(y1, y2) >= bottom || std::min(x1, x2) >= right || std::max(y1, y2) < top || std::max(x1, x2) < left)
        return false;

    // Differences of 32-bit coordinates are exact in double.
    const double dx = static_cast<double>(x2) - static_cast<double>(x1);
    const double dy = static_cast<double>(y2) - static_cast<double>(y1);
    const double kx = y1 == y2 ? 0.0 : dx / dy;
    const double bx = static_cast<double>(x1) - kx * static_cast<double>(y1);
    const double ky = x1 == x2 ? 0.0 : dy / dx;
    const double by = static_cast<double>(y1) - ky * static_cast<double>(x1);
    const auto yAt = [&](std::int32_t x) { return DoubleToInt(ky * static_cast<double>(x) + by); };
    const auto xAt = [&](std::int32_t y) { return DoubleToInt(kx * static_cast<double>(y) + bx); };

    if (x1 < left) {
        x1 = left;
        y1 = yAt(x1);
    } else if (x1 >= right) {
        x1 = right - 1;
        y1 = yAt(x1);
    }
    if (x2 < left) {
        x2 = left - 1;
        y2 = yAt(x2);
    } else if (x2 >= right) {
        x2 = right;
        y2 = yAt(x2);
    }
    if (y1 < top) {
        y1 = top;
        x1 = xAt(y1);
    } else if (y1 >= bottom) {
        y1 = bottom - 1;
        x1 = xAt(y1);
    }
    if (y2 < top) {
        y2 = top - 1;
        x2 = xAt(y2);
    } else if (y2 >= bottom) {
        y2 = bottom;
        x2 = xAt(y2);
    }

    x1 = x1 < left ? left : (x1 >= right ? right - 1 : x1);
    x2 = x2 < left ? left - 1 : (x2 >= right ? right : x2);
    y1 = y1 < top ? top : (y1 >= bottom ? bottom - 1 : y1);
    y2 = y2 < top ? top - 1 : (y2 >= bottom ? bottom : y2);

    *line = LineEnds{x1, y1, x2, y2};
    return true;
}

// Walks from the start towards the end, one pixel per step along the major
// axis, stepping the minor axis whenever the error term reaches the major
// length: pixel i of an x-major line lies at (x1 + sx * i, y1 + sy *
// floor(i * rise / run)). The end point is not drawn. The walk keeps a byte
// offset and forms an address only for a pixel it changes.
template <class Op>
void WalkLine(std::uint8_t* pixels, std::size_t pitch, std::size_t pixelBytes, const LineEnds& l, const Op& op) {
    std::int32_t run = l.x2 - l.x1;
    std::int32_t rise = l.y2 - l.y1;
    const std::ptrdiff_t xStep = run >= 0 ? static_cast<std::ptrdiff_t>(pixelBytes) : -static_cast<std::ptrdiff_t>(pixelBytes);
    const std::ptrdiff_t yStep = rise >= 0 ? static_cast<std::ptrdiff_t>(pitch) : -static_cast<std::ptrdiff_t>(pitch);
    run = run < 0 ? -run : run;
    rise = rise < 0 ? -rise : rise;

    std::ptrdiff_t at = static_cast<std::ptrdiff_t>(l.y1) * static_cast<std::ptrdiff_t>(pitch) +
                        static_cast<std::ptrdiff_t>(l.x1) * static_cast<std::ptrdiff_t>(pixelBytes);
    std::int32_t e = 0;
    if (run >= rise) {
        for (std::int32_t i = 0; i < run; ++i) {
            op(pixels + at);
            at += xStep;
            e += rise;
            if (e >= run) {
                at += yStep;
                e -= run;
            }
        }
    } else {
        for (std::int32_t i = 0; i < rise; ++i) {
            op(pixels + at);
            at += yStep;
            e += run;
            if (e >= rise) {
                at += xStep;
                e -= rise;
            }
        }
    }
}

}  // namespace

void PlotLineMemImg(MEMIMG* dest, std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2,
                    std::uint32_t colour) {
    PlotLineMemImg(dest, x1, y1, x2, y2, colour, CurrentSoftDrawSettings());
}

void PlotLineMemImg(MEMIMG* dest, std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2,
                    std::uint32_t colour, const SoftDrawSettings& settings) {
    if (dest == nullptr || dest->pixels == nullptr) return;
    // A paletted image has one-byte pixels and an image with an alpha channel
    // wider ones than its kind says: a 16- or 32-bit write would run past the
    // end of a row (and of the image on the last row).
    if (dest->paletted != 0 || dest->alphaChannel != 0) return;
    const std::uint32_t kind = dest->kind;
    if (kind > 1) return;
    const std::size_t pixelBytes = kind == 1 ? 4 : 2;
    if (dest->colorFormat != nullptr && dest->colorFormat->bytesPerPixel != pixelBytes) return;

    RECT clip;
    if (!ClipDrawAreaToImage(settings, dest->width, dest->height, &clip)) return;
    LineEnds line{x1, y1, x2, y2};
    if (!ClipLine(clip, &line)) return;
    if (line.x1 == line.x2 && line.y1 == line.y2) return;

    std::uint8_t* pixels = dest->pixels;
    const std::size_t pitch = dest->pitch;
    constant_colour::WithOperation(kind, settings.blendMode, settings.blendParam, settings.brightColor, colour,
                                   [&](const auto& op) {
                                       // The run table and premultiplied copy no longer
                                       // describe the pixels.
                                       InvalidateMemImgDerived(dest);
                                       WalkLine(pixels, pitch, pixelBytes, line, op);
                                   });
}

void SoftDrawLines(MEMIMG* dest, const LineRecord* records, std::int32_t count) {
    if (records == nullptr || count <= 0) return;
    // Each line reads the draw state as it is drawn, like a call of its own.
    for (std::int32_t i = 0; i < count; ++i)
        PlotLineMemImg(dest, records[i].x1, records[i].y1, records[i].x2, records[i].y2, records[i].colour);
}

void SoftDrawLines(MEMIMG* dest, const LineRecord* records, std::int32_t count, const SoftDrawSettings& settings) {
    if (records == nullptr || count <= 0) return;
    for (std::int32_t i = 0; i < count; ++i)
        PlotLineMemImg(dest, records[i].x1, records[i].y1, records[i].x2, records[i].y2, records[i].colour, settings);
}
