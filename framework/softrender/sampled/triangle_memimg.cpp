// The triangle's set-up and scan conversion: the corners in 14.18 fixed
// point at their pixel centres, the texture gradients, the two sides as one
// or two straight segments each, and the walk down the rows that hands each
// row's span to one span loop (a textured run loop, or a constant-colour
// operation).
//
// Positions are 64-bit: with corners inside kTriangleCoordMin..Max no
// difference, gradient or texture position can wrap, however thin the
// triangle.
#include "softrender/sampled/triangle_memimg.h"

#include <algorithm>
#include <cstdint>
#include <type_traits>
#include <utility>

#include "softrender/blit_frame_setup.h"
#include "softrender/constant_colour.h"
#include "softrender/render_tables.h"
#include "softrender/sampled/sampled_frame.h"

namespace {

// The whole part of a 14.18 value, truncated toward zero (so -0.5 gives 0).
constexpr std::int64_t Whole(std::int64_t a) { return a / kTexelOne; }

struct Segment {
    std::int64_t startX, startY;  // 14.18
    std::int64_t slope;           // X change per row, 14.18
    std::int64_t rows;
};

struct Side {
    Segment segments[2];
    int count;
};

struct TriangleSetup {
    Side left, right;
    // The texture position of pixel (x, y) is base + (x - bx) * perPixel +
    // (y - by) * perRow, 14.18.
    std::int64_t bx, by, bu, bv;
    std::int64_t uPerPixel, uPerRow, vPerPixel, vPerRow;
};

bool InRange(std::int32_t v) { return v >= kTriangleCoordMin && v <= kTriangleCoordMax; }

// Truncation toward zero of a gradient; the corner range keeps it far
// inside 64 bits.
std::int64_t Gradient(std::int64_t numerator, std::int64_t det) {
    return static_cast<std::int64_t>(static_cast<double>(numerator) * 262144.0 / static_cast<double>(det));
}

bool SetUp(const TriangleVertex* vertices, TriangleSetup* t) {
    std::int64_t X[3], Y[3], U[3], V[3];
    for (int i = 0; i < 3; ++i) {
        const TriangleVertex& c = vertices[i];
        if (!InRange(c.x) || !InRange(c.y) || !InRange(c.u) || !InRange(c.v)) return false;
        X[i] = std::int64_t{c.x} * kTexelOne + kTexelOne / 2;
        Y[i] = std::int64_t{c.y} * kTexelOne + kTexelOne / 2;
        U[i] = std::int64_t{c.u} * kTexelOne;
        V[i] = std::int64_t{c.v} * kTexelOne;
    }
    // Two exchange sorts: A by X (the gradients), B by Y (the sides).
    int A[3] = {0, 1, 2}, B[3] = {0, 1, 2};
    for (int i = 0; i < 2; ++i)
        for (int j = i + 1; j < 3; ++j) {
            if (X[A[i]] > X[A[j]]) std::swap(A[i], A[j]);
            if (Y[B[i]] > Y[B[j]]) std::swap(B[i], B[j]);
        }

    const std::int64_t dx1 = Whole(X[A[1]] - X[A[0]]), dy1 = Whole(Y[A[1]] - Y[A[0]]);
    const std::int64_t du1 = Whole(U[A[1]] - U[A[0]]), dv1 = Whole(V[A[1]] - V[A[0]]);
    const std::int64_t dx2 = Whole(X[A[2]] - X[A[0]]), dy2 = Whole(Y[A[2]] - Y[A[0]]);
    const std::int64_t du2 = Whole(U[A[2]] - U[A[0]]), dv2 = Whole(V[A[2]] - V[A[0]]);
    const std::int64_t det = dy1 * dx2 - dy2 * dx1;
    if (det == 0) return false;  // the corners lie on one line
    t->uPerPixel = Gradient(dy1 * du2 - dy2 * du1, det);
    t->uPerRow = Gradient(du1 * dx2 - dx1 * du2, det);
    t->vPerPixel = Gradient(dy1 * dv2 - dv1 * dy2, det);
    t->vPerRow = Gradient(dv1 * dx2 - dv2 * dx1, det);
    t->bx = Whole(X[A[0]]);
    t->by = Whole(Y[A[0]]);
    t->bu = U[A[0]];
    t->bv = V[A[0]];

    const int p0 = B[0], p1 = B[1], p2 = B[2];
    const auto segment = [&](int from, int to) {
        const std::int64_t rows = Whole(Y[to] - Y[from]);
        return Segment{X[from], Y[from], (X[to] - X[from]) / rows, rows};
    };
    if (Y[p0] == Y[p1]) {
        // Flat top: both sides run down to the bottom corner.
        const bool inOrder = X[p0] <= X[p1];
        t->left = Side{{segment(inOrder ? p0 : p1, p2)}, 1};
        t->right = Side{{segment(inOrder ? p1 : p0, p2)}, 1};
    } else if (Y[p1] == Y[p2]) {
        // Flat bottom: both sides run down from the top corner.
        const bool inOrder = X[p1] <= X[p2];
        t->left = Side{{segment(p0, inOrder ? p1 : p2)}, 1};
        t->right = Side{{segment(p0, inOrder ? p2 : p1)}, 1};
    } else {
        // The middle corner is on the side whose upper slope is the
        // smaller: compare the long side's slope with the upper short one's.
        const double pixel = 1.0 / 262144.0;
        const double s02 = static_cast<double>(X[p2] - X[p0]) / (static_cast<double>(Y[p2] - Y[p0]) * pixel);
        const double s01 = static_cast<double>(X[p1] - X[p0]) / (static_cast<double>(Y[p1] - Y[p0]) * pixel);
        if (s02 > s01) {
            t->left = Side{{segment(p0, p1), segment(p1, p2)}, 2};
            t->right = Side{{segment(p0, p2)}, 1};
        } else {
            // The right side's lower segment starts one unit right of the
            // middle corner.
            const std::int64_t rows = Whole(Y[p2] - Y[p1]);
            const std::int64_t start = X[p1] + 1;
            t->left = Side{{segment(p0, p2)}, 1};
            t->right = Side{{segment(p0, p1), Segment{start, Y[p1], (X[p2] - start) / rows, rows}}, 2};
        }
    }
    return true;
}

// Walks the rows from the top corner down, calling span(y, first column,
// count) for each row's visible span. Rows outside the clip are stepped
// through but not drawn.
//
// A corner above row 0 puts its rows one lower than its place (int(-0.5)
// is 0). When the left side turns at a middle corner at or below row 0, its
// lower segment starts on the middle corner's own row, which the upper
// segment's rows, shifted so, reach as well: that row is drawn once, by the
// lower segment, as it is for corners at or below row 0. (Drawn by both, it
// would be blended twice.)
template <class Span>
void Walk(const TriangleSetup& t, const RECT& clip, Span&& span) {
    int li = 0, ri = 0;
    const Segment* ls = &t.left.segments[0];
    const Segment* rs = &t.right.segments[0];
    std::int64_t leftX = ls->startX, rightX = rs->startX;
    std::int64_t leftRows = ls->rows, rightRows = rs->rows;
    std::int64_t y = Whole(ls->startY);
    std::int64_t xl = Whole(leftX), xr = Whole(rightX);
    std::int64_t n = xr - xl;
    // The first row of the left side's lower segment, while on the upper.
    std::int64_t lowerRow = t.left.count == 2 ? Whole(t.left.segments[1].startY) : INT64_MAX;
    for (;;) {
        if (xl < clip.left) {
            n -= clip.left - xl;
            xl = clip.left;
        }
        ++n;  // both end columns are drawn
        if (y >= clip.top && y < clip.bottom && xl < clip.right && n > 0 && y < lowerRow)
            span(y, xl, std::min<std::int64_t>(n, clip.right - xl));

        leftX += ls->slope;
        rightX += rs->slope;
        xl = Whole(leftX);
        xr = Whole(rightX);
        n = xr - xl;
        ++y;
        --leftRows;
        --rightRows;
        if (leftRows == 0) {
            if (li + 1 == t.left.count) return;
            ls = &t.left.segments[++li];
            lowerRow = INT64_MAX;
            leftX = ls->startX;
            leftRows = ls->rows;
            xl = Whole(leftX);
            y = Whole(ls->startY);
            n = xr - xl;
        }
        if (rightRows == 0) {
            if (ri + 1 == t.right.count) return;
            rs = &t.right.segments[++ri];
            rightX = rs->startX;
            rightRows = rs->rows;
            n = Whole(rightX) - xl;
        }
    }
}

// A destination the loops can write: what may be drawn into it from an
// image of its own kind.
bool DestinationUsable(const MEMIMG* dest) { return BlitImagesDrawable(dest, dest, nullptr); }

void DrawTextured(MEMIMG* dest, const MEMIMG* texture, const TriangleSetup& t, const RECT& clip, int transparent,
                  const MEMIMG* blendMask, const SoftDrawSettings& settings) {
    SampledFrame frame;
    const SampledRunFn run = PrepareSampledDraw(dest, texture, transparent, blendMask, settings, &frame);
    if (run == nullptr) return;
    const int step = BlitLayoutBytes(*dest);
    Walk(t, clip, [&](std::int64_t y, std::int64_t x, std::int64_t count) {
        const std::int64_t u = t.bu + (x - t.bx) * t.uPerPixel + (y - t.by) * t.uPerRow;
        const std::int64_t v = t.bv + (x - t.bx) * t.vPerPixel + (y - t.by) * t.vPerRow;
        std::uint8_t* row = dest->pixels + static_cast<std::ptrdiff_t>(y) * dest->pitch +
                            static_cast<std::ptrdiff_t>(x) * step;
        run(frame, row, u, v, t.uPerPixel, t.vPerPixel, static_cast<int>(count));
    });
    InvalidateMemImgDerived(dest);
}

// The flat colour is brightened through the product table's rows (255
// leaves a channel as it is), then drawn as the fill draws its colour.
void DrawFlat(MEMIMG* dest, const TriangleSetup& t, const RECT& clip, std::uint32_t colour,
              const SoftDrawSettings& settings) {
    const std::uint32_t bright = settings.brightColor;
    const auto& red = ProductTable255[BrightRed(bright)];
    const auto& green = ProductTable255[BrightGreen(bright)];
    const auto& blue = ProductTable255[BrightBlue(bright)];
    const bool is32 = dest->kind == kMemImgKind888;
    const std::uint32_t prepared =
        is32 ? (colour & 0xFF000000u) | Pack888(red[Red888(colour)], green[Green888(colour)], blue[Blue888(colour)])
             : Pack565(red[Red565(colour)], green[Green565(colour)], blue[Blue565(colour)]);
    const int step = is32 ? 4 : 2;
    constant_colour::WithOperation(dest->kind, settings.blendMode, settings.blendParam, 0xFFFFFF, prepared,
                                   [&](const auto& op) {
                                       Walk(t, clip, [&](std::int64_t y, std::int64_t x, std::int64_t count) {
                                           std::uint8_t* p = dest->pixels +
                                                             static_cast<std::ptrdiff_t>(y) * dest->pitch +
                                                             static_cast<std::ptrdiff_t>(x) * step;
                                           for (std::int64_t i = 0; i < count; ++i, p += step) op(p);
                                       });
                                       InvalidateMemImgDerived(dest);
                                   });
}

}  // namespace

void DrawTriangleMemImg(MEMIMG* dest, const MEMIMG* texture, const TriangleVertex vertices[3], int transparent,
                        const MEMIMG* blendMask, std::uint32_t colour) {
    DrawTriangleMemImg(dest, texture, vertices, transparent, blendMask, colour, CurrentSoftDrawSettings());
}

void DrawTriangleMemImg(MEMIMG* dest, const MEMIMG* texture, const TriangleVertex vertices[3], int transparent,
                        const MEMIMG* blendMask, std::uint32_t colour, const SoftDrawSettings& settings) {
    if (vertices == nullptr || !DestinationUsable(dest)) return;
    if (texture != nullptr && !BlitImagesDrawable(dest, texture, nullptr)) return;
    RECT clip;
    if (!ClipDrawAreaToImage(settings, dest->width, dest->height, &clip)) return;
    TriangleSetup t;
    if (!SetUp(vertices, &t)) return;
    if (texture != nullptr) DrawTextured(dest, texture, t, clip, transparent, blendMask, settings);
    else DrawFlat(dest, t, clip, colour, settings);
}

void DrawQuadMemImg(MEMIMG* dest, const MEMIMG* texture, const std::int32_t corners[8], int transparent,
                    const MEMIMG* blendMask) {
    DrawQuadMemImg(dest, texture, corners, transparent, blendMask, CurrentSoftDrawSettings());
}

void DrawQuadMemImg(MEMIMG* dest, const MEMIMG* texture, const std::int32_t corners[8], int transparent,
                    const MEMIMG* blendMask, const SoftDrawSettings& settings) {
    if (dest == nullptr || corners == nullptr) return;
    // Only a quad whose widened box reaches the draw area is drawn.
    const auto [minX, maxX] = std::minmax({corners[0], corners[2], corners[4], corners[6]});
    const auto [minY, maxY] = std::minmax({corners[1], corners[3], corners[5], corners[7]});
    RECT clip;
    if (!ClipDrawAreaToImage(settings, dest->width, dest->height, &clip)) return;
    if (std::int64_t{minX} - 2 >= clip.right || std::int64_t{maxX} + 4 <= clip.left ||
        std::int64_t{minY} - 2 >= clip.bottom || std::int64_t{maxY} + 4 <= clip.top)
        return;
    const std::int32_t w = texture != nullptr ? texture->width : 0, h = texture != nullptr ? texture->height : 0;
    const TriangleVertex quad[4] = {{corners[0], corners[1], 0, 0},
                                    {corners[2], corners[3], w, 0},
                                    {corners[4], corners[5], 0, h},
                                    {corners[6], corners[7], w, h}};
    DrawTriangleMemImg(dest, texture, &quad[0], transparent, blendMask, 0, settings);
    DrawTriangleMemImg(dest, texture, &quad[1], transparent, blendMask, 0, settings);
}
