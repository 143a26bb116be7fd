#include "framework/softrender/pixel_oracle.h"

#include <algorithm>
#include <cstdlib>

namespace pixel_oracle {

namespace {

// Floor division for a non-negative numerator, spelled out so that nobody has
// to remember what '/' does with signs.
std::int64_t FloorDiv(std::int64_t n, std::int64_t d) {
    std::int64_t q = n / d;
    if ((n % d != 0) && ((n < 0) != (d < 0))) --q;
    return q;
}

// Truncation toward zero of n / d for d > 0.
std::int64_t TruncDiv(std::int64_t n, std::int64_t d) {
    const std::int64_t q = FloorDiv(std::llabs(n), d);
    return n < 0 ? -q : q;
}

}  // namespace

Channels Split(PixelKind kind, std::uint32_t pixel) {
    Channels c;
    if (kind == PixelKind::k32) {
        c.b = pixel % 256;
        c.g = (pixel / 256) % 256;
        c.r = (pixel / 65536) % 256;
        c.fourth = pixel / 16777216;
    } else {
        const std::uint32_t v = pixel % 65536;
        c.b = v % 32;
        c.g = (v / 32) % 64;
        c.r = v / 2048;
    }
    return c;
}

std::uint32_t Join(PixelKind kind, const Channels& c) {
    if (kind == PixelKind::k32)
        return static_cast<std::uint32_t>(c.b + c.g * 256 + c.r * 65536 + c.fourth * 16777216);
    return static_cast<std::uint32_t>(c.b + c.g * 32 + c.r * 2048);
}

std::int64_t MaxRed(PixelKind kind) { return kind == PixelKind::k32 ? 255 : 31; }
std::int64_t MaxGreen(PixelKind kind) { return kind == PixelKind::k32 ? 255 : 63; }
std::int64_t MaxBlue(PixelKind kind) { return kind == PixelKind::k32 ? 255 : 31; }

std::uint32_t Product255(std::uint32_t a, std::uint32_t b) {
    return static_cast<std::uint32_t>(FloorDiv(std::int64_t{a} * b, 255));
}

std::int32_t ScaledDifference(std::uint32_t p, std::int32_t d) {
    return static_cast<std::int32_t>(TruncDiv(std::int64_t{p} * d, 255));
}

std::uint32_t Level63(std::uint32_t k, std::uint32_t i, std::uint32_t j) {
    return static_cast<std::uint32_t>(FloorDiv(std::int64_t{k} * i + std::int64_t{63 - k} * j, 63));
}

std::uint32_t MaskWeight(std::uint32_t p, std::uint32_t r, std::uint32_t i) {
    const std::int64_t range = std::int64_t{r} + 1;
    const std::int64_t base = 256 - TruncDiv((FloorDiv(65536, range) + 256) * p, 256);
    const std::int64_t w = FloorDiv(std::int64_t{i} * 256, range) + base;
    return static_cast<std::uint32_t>(std::clamp<std::int64_t>(w, 0, 255));
}

std::uint32_t AddPixels(PixelKind kind, std::uint32_t d, std::uint32_t s) {
    const Channels cd = Split(kind, d), cs = Split(kind, s);
    Channels out;

    const std::int64_t blueSum = cd.b + cs.b;
    const bool blueOver = blueSum > MaxBlue(kind);
    out.b = blueOver ? MaxBlue(kind) : blueSum;

    // Green and red add their halves; a channel whose halves reach the limit
    // overflows and saturates.
    auto upper = [](std::int64_t dv, std::int64_t sv, bool belowOver, std::int64_t limit, std::int64_t saturated,
                    bool keepLowOnSaturate, bool* over) {
        const std::int64_t h = dv / 2 + sv / 2;
        const std::int64_t low = ((dv % 2) == 1 || (sv % 2) == 1 || belowOver) ? 1 : 0;
        *over = h >= limit;
        if (!*over) return h * 2 + low;
        return keepLowOnSaturate ? (saturated | low) : saturated;
    };
    bool greenOver = false, redOver = false;
    if (kind == PixelKind::k32) {
        out.g = upper(cd.g, cs.g, blueOver, 128, 255, false, &greenOver);
        out.r = upper(cd.r, cs.r, greenOver, 128, 255, false, &redOver);
        out.fourth = redOver ? 1 : 0;
    } else {
        out.g = upper(cd.g, cs.g, blueOver, 32, 62, true, &greenOver);
        out.r = upper(cd.r, cs.r, greenOver, 16, 31, false, &redOver);
    }
    return Join(kind, out);
}

std::uint32_t SubtractPixels(PixelKind kind, std::uint32_t d, std::uint32_t s) {
    const Channels cd = Split(kind, d), cs = Split(kind, s);
    Channels out;

    const bool blueKept = cs.b <= cd.b;
    out.b = blueKept ? cd.b - cs.b : 0;

    auto upper = [](std::int64_t dv, std::int64_t sv, bool belowKept, bool lowAlwaysZero, bool* kept) {
        *kept = dv / 2 >= sv / 2;
        if (!*kept) return std::int64_t{0};
        const std::int64_t low = (belowKept && !lowAlwaysZero) ? 1 : 0;
        return (dv / 2 - sv / 2) * 2 + low;
    };
    bool greenKept = false, redKept = false;
    out.g = upper(cd.g, cs.g, blueKept, kind == PixelKind::k16, &greenKept);
    out.r = upper(cd.r, cs.r, greenKept, false, &redKept);
    out.fourth = 0;
    return Join(kind, out);
}

std::uint32_t MixByWeight(PixelKind kind, std::uint32_t d, std::uint32_t s, std::uint32_t w) {
    const Channels cd = Split(kind, d), cs = Split(kind, s);
    auto mix = [w](std::int64_t dv, std::int64_t sv) { return FloorDiv(dv * (256 - w) + sv * w, 256); };
    Channels out;
    out.r = mix(cd.r, cs.r);
    out.g = mix(cd.g, cs.g);
    out.b = mix(cd.b, cs.b);
    out.fourth = cd.fourth;
    return Join(kind, out);
}

std::uint32_t ScalePixel(PixelKind kind, std::uint32_t c, std::uint32_t p) {
    const Channels cc = Split(kind, c);
    Channels out;
    out.r = FloorDiv(cc.r * p, 255);
    out.g = FloorDiv(cc.g * p, 255);
    out.b = FloorDiv(cc.b * p, 255);
    return Join(kind, out);
}

std::uint32_t BrightenSource(PixelKind kind, std::uint32_t px, std::uint32_t bright) {
    Channels c = Split(kind, px);
    c.r = FloorDiv(c.r * ((bright / 65536) % 256), 255);
    c.g = FloorDiv(c.g * ((bright / 256) % 256), 255);
    c.b = FloorDiv(c.b * (bright % 256), 255);
    return Join(kind, c);
}

std::uint32_t BrightenedColour(const ConstantColourDraw& draw) {
    const std::uint32_t colour = draw.kind == PixelKind::k16 ? draw.colour % 65536 : draw.colour;
    if (draw.bright % 16777216 == 0xFFFFFF) return colour;
    const std::int64_t br = (draw.bright / 65536) % 256, bg = (draw.bright / 256) % 256, bb = draw.bright % 256;
    Channels c = Split(draw.kind, colour);
    c.r = FloorDiv(c.r * br, 256);
    c.g = FloorDiv(c.g * bg, 256);
    c.b = FloorDiv(c.b * bb, 256);
    return Join(draw.kind, c);
}

bool Draws(const ConstantColourDraw& draw) {
    if (draw.mode > kMultiply) return false;
    if ((draw.mode == kAlpha || draw.mode == kAdd || draw.mode == kSubtract) && draw.param == 0) return false;
    return true;
}

std::uint32_t ConstantColourPixel(const ConstantColourDraw& draw, std::uint32_t d) {
    if (draw.kind == PixelKind::k16) d %= 65536;
    if (!Draws(draw)) return d;
    const std::uint32_t c = BrightenedColour(draw);
    const Channels cd = Split(draw.kind, d), cc = Split(draw.kind, c);
    const std::int64_t p = draw.param;

    switch (draw.mode) {
    case kCopy:
        return c;
    case kAlpha: {
        if (p == 255) return c;
        Channels out = cd;
        if (draw.kind == PixelKind::k32) {
            // d' = floor((d * (256 - p) + c * p) / 256); the fourth byte stays.
            out.r = FloorDiv(cd.r * (256 - p) + cc.r * p, 256);
            out.g = FloorDiv(cd.g * (256 - p) + cc.g * p, 256);
            out.b = FloorDiv(cd.b * (256 - p) + cc.b * p, 256);
        } else {
            // d' = d + trunc(p * (c - d) / 255), rounding toward d.
            out.r = cd.r + TruncDiv(p * (cc.r - cd.r), 255);
            out.g = cd.g + TruncDiv(p * (cc.g - cd.g), 255);
            out.b = cd.b + TruncDiv(p * (cc.b - cd.b), 255);
        }
        return Join(draw.kind, out);
    }
    case kAdd:
        return AddPixels(draw.kind, d, ScalePixel(draw.kind, c, draw.param));
    case kSubtract:
        return SubtractPixels(draw.kind, d, ScalePixel(draw.kind, c, draw.param));
    case kMultiply: {
        Channels out = cd;
        if (draw.kind == PixelKind::k32) {
            out.r = FloorDiv(cd.r * cc.r, 256);
            out.g = FloorDiv(cd.g * cc.g, 256);
            out.b = FloorDiv(cd.b * cc.b, 256);
        } else {
            out.r = FloorDiv(cd.r * cc.r, 32);
            out.g = FloorDiv(cd.g * cc.g, 64);
            out.b = FloorDiv(cd.b * cc.b, 32);
        }
        return Join(draw.kind, out);
    }
    default:
        return d;
    }
}

}  // namespace pixel_oracle
