#include "framework/softrender/sampled/triangle_reference.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace triangle_reference {

namespace {

constexpr std::int64_t kUnits = 262144;  // 2^18 per pixel

// A whole row or column as the drawing rules convert a pixel-centre
// position: int(y + 1/2), truncated toward zero.
int Centre(int v) { return v >= 0 ? v : v + 1; }

// The columns a span end may take: its edge's exact x at k rows below the
// segment's start A, plus half a pixel, truncated toward zero. The
// rasteriser steps the edge by its slope truncated to 18 fraction bits, so
// after k rows it lies up to k times the part the truncation lost behind
// the exact x (for the right edge's lower segment, which starts one unit
// right of the middle corner, up to k + 1 units either way); when the exact
// value lies that close to a whole column, either side is allowed.
void EndColumns(const Corner& a, const Corner& b, std::int64_t k, bool shiftedStart, int* lo, int* hi) {
    const std::int64_t dy = b.y - a.y, dx = b.x - a.x;
    const std::int64_t num = 2 * std::int64_t{a.x} * dy + 2 * dx * k + dy, den = 2 * dy;
    const std::int64_t nearest = static_cast<std::int64_t>(std::llround(static_cast<double>(num) / static_cast<double>(den)));
    // |x - nearest| <= error, as |num - nearest * den| * 2^18 * dy <=
    // error in units * dy * den.
    const std::int64_t lost = (std::llabs(dx) * kUnits) % dy;  // units lost per row, times dy
    const std::int64_t errorTimesDy = shiftedStart ? (k + 1) * dy : k * lost;
    if (std::llabs(num - nearest * den) * kUnits * dy <= errorTimesDy * den) {
        // Just below a whole column truncates to the one before it (toward
        // zero); just above, to the column itself.
        const std::int64_t below = nearest > 0 ? nearest - 1 : nearest;
        const std::int64_t above = nearest < 0 ? nearest + 1 : nearest;
        *lo = static_cast<int>(std::min(below, above));
        *hi = static_cast<int>(std::max(below, above));
        return;
    }
    *lo = *hi = static_cast<int>(num / den);
}

bool InRange(const Corner& c) {
    const auto ok = [](std::int32_t v) { return v >= -8192 && v <= 8191; };
    return ok(c.x) && ok(c.y) && ok(c.u) && ok(c.v);
}

}  // namespace

Oracle::Oracle(const Corner corners[3], int textureWidth, int textureHeight, const Clip& clip)
    : texW_(textureWidth), texH_(textureHeight), clip_(clip) {
    for (int i = 0; i < 3; ++i) c_[i] = corners[i];
    const std::int64_t cross = std::int64_t{c_[1].x - c_[0].x} * (c_[2].y - c_[0].y) -
                               std::int64_t{c_[2].x - c_[0].x} * (c_[1].y - c_[0].y);
    if (cross == 0 || !InRange(c_[0]) || !InRange(c_[1]) || !InRange(c_[2])) {
        empty_ = true;
        return;
    }

    // The texture map through the three corners.
    const double d = static_cast<double>(cross);
    const auto gradient = [&](auto value, double* perX, double* perY) {
        const double v1 = value(c_[1]) - value(c_[0]), v2 = value(c_[2]) - value(c_[0]);
        *perX = (v1 * (c_[2].y - c_[0].y) - v2 * (c_[1].y - c_[0].y)) / d;
        *perY = ((c_[1].x - c_[0].x) * v2 - (c_[2].x - c_[0].x) * v1) / d;
    };
    gradient([](const Corner& c) { return static_cast<double>(c.u); }, &uX_, &uY_);
    gradient([](const Corner& c) { return static_cast<double>(c.v); }, &vX_, &vY_);
    const auto lost = [](double g) { return std::fabs(g - std::trunc(g * kUnits) / kUnits); };
    uXError_ = lost(uX_);
    uYError_ = lost(uY_);
    vXError_ = lost(vX_);
    vYError_ = lost(vY_);
    int base = 0;
    for (int i = 1; i < 3; ++i)
        if (c_[i].x < c_[base].x) base = i;
    baseX_ = Centre(c_[base].x);
    baseY_ = Centre(c_[base].y);
    baseU_ = c_[base].u;
    baseV_ = c_[base].v;

    // The corners from top to bottom.
    Corner s[3] = {c_[0], c_[1], c_[2]};
    std::sort(s, s + 3, [](const Corner& a, const Corner& b) { return a.y < b.y; });
    const Corner &top = s[0], &middle = s[1], &bottom = s[2];
    const int rows = bottom.y - top.y, upper = middle.y - top.y;

    for (int k = 0; k < rows; ++k) {
        int aLo, aHi, bLo, bHi;
        int row = Centre(top.y) + k;
        if (top.y == middle.y) {
            const bool inOrder = top.x <= middle.x;
            EndColumns(inOrder ? top : middle, bottom, k, false, &aLo, &aHi);
            EndColumns(inOrder ? middle : top, bottom, k, false, &bLo, &bHi);
        } else if (middle.y == bottom.y) {
            const bool inOrder = middle.x <= bottom.x;
            EndColumns(top, inOrder ? middle : bottom, k, false, &aLo, &aHi);
            EndColumns(top, inOrder ? bottom : middle, k, false, &bLo, &bHi);
        } else {
            const bool middleLeft = std::int64_t{bottom.x - top.x} * upper > std::int64_t{middle.x - top.x} * rows;
            const bool lower = k >= upper;
            const int kk = lower ? k - upper : k;
            if (middleLeft) {
                if (lower) EndColumns(middle, bottom, kk, false, &aLo, &aHi);
                else EndColumns(top, middle, k, false, &aLo, &aHi);
                EndColumns(top, bottom, k, false, &bLo, &bHi);
                // The left edge's rows restart at the middle corner's row,
                // which the upper rows, one lower than their corners when
                // the top corner lies above row 0, leave to them.
                if (lower) row = Centre(middle.y) + kk;
                else if (row >= Centre(middle.y)) continue;
            } else {
                EndColumns(top, bottom, k, false, &aLo, &aHi);
                if (lower) EndColumns(middle, bottom, kk, true, &bLo, &bHi);
                else EndColumns(top, middle, k, false, &bLo, &bHi);
            }
        }
        if (row < clip.top || row >= clip.bottom) continue;
        spans_.push_back(Span{row, std::max(aHi, clip.left), std::min(bLo, clip.right - 1), std::max(aLo, clip.left),
                              std::min(bHi, clip.right - 1)});
    }
}

void Oracle::Texels(int x, int y, PixelCover* c) const {
    const double dx = x - baseX_, dy = y - baseY_;
    const double u = baseU_ + dx * uX_ + dy * uY_, v = baseV_ + dx * vX_ + dy * vY_;
    // Gradients that 18 fraction bits hold exactly leave no error at all,
    // and the map is then exact in double precision too.
    const auto tolerance = [](double e) { return e > 0 ? e + 1e-9 : 0.0; };
    const double tu = tolerance(std::fabs(dx) * uXError_ + std::fabs(dy) * uYError_);
    const double tv = tolerance(std::fabs(dx) * vXError_ + std::fabs(dy) * vYError_);
    const int cols[2] = {static_cast<int>(std::floor(u - tu)), static_cast<int>(std::floor(u + tu))};
    const int rows[2] = {static_cast<int>(std::floor(v - tv)), static_cast<int>(std::floor(v + tv))};
    for (int i = 0; i < 2; ++i)
        for (int j = 0; j < 2; ++j) {
            if ((i == 1 && cols[1] == cols[0]) || (j == 1 && rows[1] == rows[0])) continue;
            if (cols[i] < 0 || cols[i] >= texW_ || rows[j] < 0 || rows[j] >= texH_) {
                c->outsidePossible = true;
                continue;
            }
            c->col[c->count] = cols[i];
            c->row[c->count] = rows[j];
            ++c->count;
        }
}

PixelCover Oracle::At(int x, int y) const {
    PixelCover c;
    if (empty_) return c;
    for (const Span& s : spans_) {
        if (s.row != y) continue;
        if (x >= s.firstSure && x <= s.lastSure) {
            ++c.minDraws;
            ++c.maxDraws;
        } else if (x >= s.firstMaybe && x <= s.lastMaybe) {
            ++c.maxDraws;
        }
    }
    if (c.maxDraws > 0) Texels(x, y, &c);
    return c;
}

}  // namespace triangle_reference
