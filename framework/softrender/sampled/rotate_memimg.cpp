// The set-up of the rotated blit: the turned corners, the box they span, the
// inverse turn that gives each box pixel its source position, and the walk
// over the box that hands each row to one run loop.
//
// The floating-point steps round to single precision where the draw has
// always done so (every product and sum below that is stored as a float), so
// that the texel each pixel takes does not depend on the compiler. Integer
// quantities are 64-bit: corners, positions and their differences cannot
// wrap, whatever the centre and scale.
#include "softrender/sampled/rotate_memimg.h"

#include <algorithm>
#include <cmath>

#include "core/utility.h"
#include "softrender/blit_frame_setup.h"
#include "softrender/sampled/sampled_frame.h"
#include "softrender/sampled/triangle_memimg.h"

namespace {

// Scales whose steps and corners the fixed point holds: the reciprocal step
// 2^18 / scale stays below 2^31, and the corners far inside 64 bits.
constexpr float kSmallestScale = 1.0f / 8192.0f;
constexpr float kLargestScale = 1048576.0f;

bool Usable(float angle, float scale) {
    const float size = std::fabs(scale);
    return std::isfinite(angle) && std::isfinite(scale) && size >= kSmallestScale && size <= kLargestScale;
}

// Truncation toward zero into 64 bits; false for NaN and beyond +-2^62.
bool Truncate(double value, std::int64_t* out) {
    constexpr double kLimit = 4611686018427387904.0;
    if (!(value > -kLimit && value < kLimit)) return false;
    *out = static_cast<std::int64_t>(value);
    return true;
}

// The sine and cosine of the negated angle (N) and of the angle (P), in
// 14.18.
struct Turn {
    std::int32_t sN, cN, sP, cP;
};

Turn TurnOf(float angle) {
    float sN, cN, sP, cP;
    SinCosFloat(-angle, &sN, &cN);
    SinCosFloat(angle, &sP, &cP);
    const float one = static_cast<float>(kTexelOne);
    return Turn{FloatToInt(sN * one), FloatToInt(cN * one), FloatToInt(sP * one), FloatToInt(cP * one)};
}

// The corners K0..K3 (the source's top-left, bottom-left, bottom-right and
// top-right) in 14.18 destination positions, turned about (x, y) from the
// exact half size.
bool Corners(int width, int height, int x, int y, float scale, const Turn& t, std::int64_t cx[4],
             std::int64_t cy[4]) {
    const float hw = static_cast<float>(static_cast<std::uint32_t>(width)) * scale * 0.5f;
    const float hh = static_cast<float>(static_cast<std::uint32_t>(height)) * scale * 0.5f;
    const float c = static_cast<float>(t.cP), s = static_cast<float>(t.sP);
    const float a = c * hw, b = s * hw, e = c * hh, d = s * hh;
    const float offsetX[4] = {-a + d, -a - d, a - d, a + d};
    const float offsetY[4] = {-e - b, e - b, e + b, -e + b};
    for (int i = 0; i < 4; ++i) {
        std::int64_t ox, oy;
        if (!Truncate(offsetX[i], &ox) || !Truncate(offsetY[i], &oy)) return false;
        cx[i] = std::int64_t{x} * kTexelOne + ox;
        cy[i] = std::int64_t{y} * kTexelOne + oy;
    }
    return true;
}

}  // namespace

bool ComputeRotateWalk(int width, int height, int x, int y, float angle, float scale, const RECT& clip,
                       RotateWalk* walk) {
    if (!Usable(angle, scale) || width < 0 || height < 0) return false;
    const Turn t = TurnOf(angle);
    std::int64_t cx[4], cy[4];
    if (!Corners(width, height, x, y, scale, t, cx, cy)) return false;
    // Corners on one row: nothing to draw (the offsets vanished).
    if (cy[0] == cy[1] && cy[1] == cy[2] && cy[2] == cy[3]) return false;

    // The box, widened by 2 pixels left and above and 4 right and below;
    // the divisions truncate toward zero.
    const auto [minX, maxX] = std::minmax({cx[0], cx[1], cx[2], cx[3]});
    const auto [minY, maxY] = std::minmax({cy[0], cy[1], cy[2], cy[3]});
    const std::int64_t left = std::max<std::int64_t>(minX / kTexelOne - 2, clip.left);
    const std::int64_t top = std::max<std::int64_t>(minY / kTexelOne - 2, clip.top);
    const std::int64_t right = std::min<std::int64_t>(maxX / kTexelOne + 4, clip.right);
    const std::int64_t bottom = std::min<std::int64_t>(maxY / kTexelOne + 4, clip.bottom);
    if (left >= right || top >= bottom) return false;

    // The column steps: du from the reciprocal at full precision, dv from
    // the reciprocal stored as a float.
    const float inv = static_cast<float>(1.0 / static_cast<double>(scale));
    std::int64_t du, dv;
    if (!Truncate(static_cast<float>(static_cast<double>(t.cP) * (1.0 / static_cast<double>(scale))), &du) ||
        !Truncate(static_cast<float>(static_cast<float>(t.sN) * inv), &dv))
        return false;

    // The source position of a destination pixel: its offset from the
    // centre turned back and divided by the scale, about the source's
    // integer half size.
    bool ok = true;
    const auto sourceAt = [&](std::int64_t turned, int half) {
        std::int64_t value = 0;
        ok = ok && Truncate(static_cast<float>(static_cast<float>(turned) * inv), &value);
        return value + std::int64_t{half} * kTexelOne;
    };
    const auto u = [&](std::int64_t px, std::int64_t py) {
        return sourceAt((px - x) * t.cN - (py - y) * t.sN, width >> 1);
    };
    const auto v = [&](std::int64_t px, std::int64_t py) {
        return sourceAt((py - y) * t.cN + (px - x) * t.sN, height >> 1);
    };
    const std::int64_t rows = bottom - top;
    const std::int64_t u0 = u(left, top), v0 = v(left, top);
    const std::int64_t uBelow = u(left, bottom), vBelow = v(left, bottom);
    if (!ok) return false;

    walk->left = static_cast<int>(left);
    walk->top = static_cast<int>(top);
    walk->right = static_cast<int>(right);
    walk->bottom = static_cast<int>(bottom);
    walk->u = u0;
    walk->v = v0;
    walk->du = du;
    walk->dv = dv;
    walk->rowU = (uBelow - u0) / rows;
    walk->rowV = (vBelow - v0) / rows;
    return true;
}

bool RotateTurnCorners(int width, int height, int x, int y, float angle, float scale, std::int32_t corners[8]) {
    if (!Usable(angle, scale) || width < 0 || height < 0) return false;
    std::int64_t cx[4], cy[4];
    if (!Corners(width, height, x, y, scale, TurnOf(angle), cx, cy)) return false;
    // The mirrored image: K3 takes the source's top-left, K0 its top-right,
    // K2 its bottom-left and K1 its bottom-right. Corners beyond what a
    // triangle accepts stay beyond it.
    const int order[4] = {3, 0, 2, 1};
    const auto pixel = [](std::int64_t v) {
        return static_cast<std::int32_t>(std::clamp<std::int64_t>(v / kTexelOne, -(1 << 30), 1 << 30));
    };
    for (int i = 0; i < 4; ++i) {
        corners[2 * i] = pixel(cx[order[i]]);
        corners[2 * i + 1] = pixel(cy[order[i]]);
    }
    return true;
}

void DrawRotateMemImg(MEMIMG* dest, const MEMIMG* src, int x, int y, float angle, float scale, int transparent,
                      int turn, const MEMIMG* blendMask) {
    DrawRotateMemImg(dest, src, x, y, angle, scale, transparent, turn, blendMask, CurrentSoftDrawSettings());
}

void DrawRotateMemImg(MEMIMG* dest, const MEMIMG* src, int x, int y, float angle, float scale, int transparent,
                      int turn, const MEMIMG* blendMask, const SoftDrawSettings& settings) {
    if (!BlitImagesDrawable(dest, src, blendMask)) return;
    if (turn) {
        // Mirrored: the triangle draw maps the source onto the turned
        // corners and judges the formats and the mode itself.
        std::int32_t corners[8];
        if (RotateTurnCorners(src->width, src->height, x, y, angle, scale, corners))
            DrawQuadMemImg(dest, src, corners, transparent, blendMask, settings);
        return;
    }
    RECT clip;
    if (!ClipDrawAreaToImage(settings, dest->width, dest->height, &clip)) return;
    RotateWalk walk;
    if (!ComputeRotateWalk(src->width, src->height, x, y, angle, scale, clip, &walk)) return;
    SampledFrame frame;
    const SampledRunFn run = PrepareSampledDraw(dest, src, transparent, blendMask, settings, &frame);
    if (run == nullptr) return;

    const int step = BlitLayoutBytes(*dest);
    const int width = walk.right - walk.left;
    std::uint8_t* row = dest->pixels + static_cast<std::ptrdiff_t>(walk.top) * dest->pitch +
                        static_cast<std::ptrdiff_t>(walk.left) * step;
    for (int r = 0; r < walk.bottom - walk.top; ++r, row += dest->pitch)
        run(frame, row, walk.u + r * walk.rowU, walk.v + r * walk.rowV, walk.du, walk.dv, width);
    // The destination's pixels changed: its run list and premultiplied copy
    // no longer describe them.
    InvalidateMemImgDerived(dest);
}
