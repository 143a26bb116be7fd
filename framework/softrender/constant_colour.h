// The per-pixel operations of the rasterisers that draw one constant colour
// (the rectangle fill and the line): one small operation per pixel size and
// blend mode, prepared once per call so that no pixel loop tests a setting.
//
// The colour is first brightened (channel * bright byte >> 8, skipped only
// for the bright colour white as a whole); then each destination pixel is
// changed as its mode says.
#pragma once

#include <cstdint>

#include "softrender/packed_math.h"
#include "softrender/render_tables.h"

namespace constant_colour {

// ---- 32-bit pixels ----------------------------------------------------------

// The whole prepared value, fourth byte included.
struct Copy32 {
    std::uint32_t c;
    void operator()(std::uint8_t* px) const { StorePixel32(px, c); }
};

// d' = (d * 256 + (c - d) * p) >> 8 per channel: the sum is never negative,
// so the shift rounds down. The fourth byte is kept.
struct Alpha32 {
    std::int32_t r, g, b, p;
    void operator()(std::uint8_t* px) const {
        const std::uint32_t d = LoadPixel32(px);
        const auto mix = [this](std::int32_t dv, std::int32_t cv) {
            return static_cast<std::uint32_t>((dv * 256 + (cv - dv) * p) >> 8);
        };
        const std::int32_t dr = Red888(d), dg = Green888(d), db = Blue888(d);
        StorePixel32(px, (d & 0xFF000000u) | Pack888(mix(dr, r), mix(dg, g), mix(db, b)));
    }
};

// s is the colour scaled by p / 255 channel by channel.
struct Add32 {
    std::uint32_t s;
    void operator()(std::uint8_t* px) const { StorePixel32(px, AddSaturate888(LoadPixel32(px), s)); }
};
struct Subtract32 {
    std::uint32_t s;
    void operator()(std::uint8_t* px) const { StorePixel32(px, SubtractSaturate888(LoadPixel32(px), s)); }
};

// d' = (d * c) >> 8 per channel; the fourth byte is kept.
struct Multiply32 {
    std::uint32_t r, g, b;
    void operator()(std::uint8_t* px) const {
        const std::uint32_t d = LoadPixel32(px);
        StorePixel32(px, (d & 0xFF000000u) |
                             Pack888((Red888(d) * r) >> 8, (Green888(d) * g) >> 8, (Blue888(d) * b) >> 8));
    }
};

// ---- 16-bit 5:6:5 pixels -------------------------------------------------------

struct Copy16 {
    std::uint32_t c;  // 16 bits
    void operator()(std::uint8_t* px) const { StorePixel16(px, c); }
};

// d' = d + trunc(p * (c - d) / 255) per field, through the row of p.
struct Alpha16 {
    std::int32_t r, g, b;
    const std::int32_t* row;  // BlendParamRow(p)
    std::uint32_t p;
    void operator()(std::uint8_t* px) const {
        const std::uint32_t d = LoadPixel16(px);
        const std::int32_t dr = Red565(d), dg = Green565(d), db = Blue565(d);
        StorePixel16(px, Pack565(static_cast<std::uint32_t>(dr + row[r - dr]), static_cast<std::uint32_t>(dg + row[g - dg]),
                                 static_cast<std::uint32_t>(db + row[b - db])));
    }
};

struct Add16 {
    std::uint32_t s;
    void operator()(std::uint8_t* px) const { StorePixel16(px, AddSaturate565(LoadPixel16(px), s)); }
};
struct Subtract16 {
    std::uint32_t s;
    void operator()(std::uint8_t* px) const { StorePixel16(px, SubtractSaturate565(LoadPixel16(px), s)); }
};

// red' = (d.red * c.red) >> 5, green' = (d.green * c.green) >> 6,
// blue' = (d.blue * c.blue) >> 5.
struct Multiply16 {
    std::uint32_t r, g, b;
    void operator()(std::uint8_t* px) const {
        const std::uint32_t d = LoadPixel16(px);
        StorePixel16(px, Pack565((Red565(d) * r) >> 5, (Green565(d) * g) >> 6, (Blue565(d) * b) >> 5));
    }
};

// ---- choosing the operation --------------------------------------------------

// Prepares the operation for an image of the given kind (0: 16-bit, 1:
// 32-bit) and calls run(op) with it. Returns false, without calling run, when
// the settings draw nothing: a kind other than 0 or 1, a mode above 4, or
// parameter 0 in alpha, add or subtract. Alpha at 255 is the copy.
template <class Run>
bool WithOperation(std::uint32_t kind, std::uint32_t mode, std::uint32_t param, std::uint32_t bright,
                   std::uint32_t colour, Run&& run) {
    if (kind > 1 || mode > 4) return false;
    if (param > 255) param = 255;
    if ((mode == 1 || mode == 2 || mode == 3) && param == 0) return false;
    if (mode == 1 && param == 255) mode = 0;

    if (kind == 1) {
        const std::uint32_t c = IsBrightWhite(bright) ? colour : BrightenConstant888(colour, bright);
        const auto& scale = ProductTable255[param];
        switch (mode) {
        case 0: run(Copy32{c}); break;
        case 1:
            run(Alpha32{static_cast<std::int32_t>(Red888(c)), static_cast<std::int32_t>(Green888(c)),
                        static_cast<std::int32_t>(Blue888(c)), static_cast<std::int32_t>(param)});
            break;
        case 2: run(Add32{Pack888(scale[Red888(c)], scale[Green888(c)], scale[Blue888(c)])}); break;
        case 3: run(Subtract32{Pack888(scale[Red888(c)], scale[Green888(c)], scale[Blue888(c)])}); break;
        default: run(Multiply32{Red888(c), Green888(c), Blue888(c)}); break;
        }
        return true;
    }

    // A 16-bit colour is its low 16 bits; anything above them is not a colour.
    colour &= 0xFFFF;
    const std::uint32_t c = IsBrightWhite(bright) ? colour : BrightenConstant565(colour, bright);
    const auto& scale = ProductTable255[param];
    switch (mode) {
    case 0: run(Copy16{c}); break;
    case 1:
        run(Alpha16{static_cast<std::int32_t>(Red565(c)), static_cast<std::int32_t>(Green565(c)),
                    static_cast<std::int32_t>(Blue565(c)), BlendParamRow(param), param});
        break;
    case 2: run(Add16{Pack565(scale[Red565(c)], scale[Green565(c)], scale[Blue565(c)])}); break;
    case 3: run(Subtract16{Pack565(scale[Red565(c)], scale[Green565(c)], scale[Blue565(c)])}); break;
    default: run(Multiply16{Red565(c), Green565(c), Blue565(c)}); break;
    }
    return true;
}

}  // namespace constant_colour
