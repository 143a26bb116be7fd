// Per-pixel reference for the software rasterisers.
//
// Every function here computes one result straight from the rules the
// renderer is built to: plain divisions in 64-bit arithmetic instead of the
// lookup tables, and channel-by-channel descriptions of the saturating add
// and subtract instead of the packed guard-bit recipes. It shares no code
// with framework/softrender, so a loop that disagrees with it is wrong (or
// the rule was misread in both places, which the worked-example tests guard
// against).
//
// Rasterisers sweep their loop matrices against these functions: a test
// draws, then asks the oracle what each destination pixel should have become.
// The pieces (table rules, whole-pixel operations, brightening, weighting)
// are separate so that each rasteriser's test can put them together in the
// order its own loops are specified to use; only the one-colour rule of the
// fill and the line is assembled here.
#pragma once

#include <cstdint>

namespace pixel_oracle {

// 0: 16-bit 5:6:5 pixels (channel values 0..31, 0..63, 0..31);
// 1: 32-bit 0xXXRRGGBB pixels (channel values 0..255, plus the fourth byte).
enum class PixelKind { k16 = 0, k32 = 1 };

// The blend modes of the draw state.
enum BlendMode : std::uint32_t { kCopy = 0, kAlpha = 1, kAdd = 2, kSubtract = 3, kMultiply = 4 };

struct Channels {
    std::int64_t r = 0, g = 0, b = 0;
    std::int64_t fourth = 0;  // 32-bit only; 0 for 16-bit pixels
};

Channels Split(PixelKind kind, std::uint32_t pixel);
std::uint32_t Join(PixelKind kind, const Channels& c);  // channels must be in range
std::int64_t MaxRed(PixelKind kind);
std::int64_t MaxGreen(PixelKind kind);
std::int64_t MaxBlue(PixelKind kind);

// ---- what the shared tables hold, by their defining rules ----------------

std::uint32_t Product255(std::uint32_t a, std::uint32_t b);       // floor(a * b / 255)
std::int32_t ScaledDifference(std::uint32_t p, std::int32_t d);   // trunc(p * d / 255), toward zero
std::uint32_t Level63(std::uint32_t k, std::uint32_t i, std::uint32_t j);  // trunc((k*i + (63-k)*j) / 63)
// Blend-mask weight of pixel byte i for border parameter p and range r
// (both 0..255).
std::uint32_t MaskWeight(std::uint32_t p, std::uint32_t r, std::uint32_t i);

// ---- whole-pixel operations, channel by channel ---------------------------

// Saturating add of s onto d as the channel rules describe it: blue exact and
// clamped; green and red add their halves, take as lowest bit the OR of both
// lowest bits and the overflow of the channel below, and saturate when the
// halves overflow (32-bit: 255, 16-bit red: 31, 16-bit green: 62 | that
// lowest bit). The fourth byte of a 32-bit result is red's overflow.
std::uint32_t AddPixels(PixelKind kind, std::uint32_t d, std::uint32_t s);

// Saturating subtract of s from d: blue exact and clamped at 0; green and red
// are 0 when their halves would go below zero, else twice the difference of
// the halves plus 1 when the channel below did not go below zero (16-bit
// green's lowest bit is always 0). The fourth byte of a 32-bit result is 0.
std::uint32_t SubtractPixels(PixelKind kind, std::uint32_t d, std::uint32_t s);

// Each channel of d moved toward s by weight w (0..255):
// floor((d * 256 + (s - d) * w) / 256). The fourth byte of d is kept.
std::uint32_t MixByWeight(PixelKind kind, std::uint32_t d, std::uint32_t s, std::uint32_t w);

// Each channel of c scaled by p / 255, rounded down; the fourth byte becomes 0.
std::uint32_t ScalePixel(PixelKind kind, std::uint32_t c, std::uint32_t p);

// A source pixel brightened the way the blits, triangles and rotated draws do
// it: each channel times its bright byte / 255, rounded down, so 255 is
// neutral (the fill and the line use BrightenedColour's >> 8 instead). The
// fourth byte is kept. White as a whole is not special here; a caller that
// skips brightening for white simply does not call this.
std::uint32_t BrightenSource(PixelKind kind, std::uint32_t px, std::uint32_t bright);

// ---- one constant colour under the draw settings (fill and line) -----------

struct ConstantColourDraw {
    PixelKind kind = PixelKind::k32;
    std::uint32_t mode = kCopy;
    std::uint32_t param = 255;
    std::uint32_t bright = 0xFFFFFF;  // 0x00RRGGBB
    std::uint32_t colour = 0;         // a pixel value of the destination's kind
};

// The colour after brightening: each channel times its bright byte, divided
// by 256 and rounded down, unless the bright colour is white as a whole. A
// 16-bit colour is only its low 16 bits.
std::uint32_t BrightenedColour(const ConstantColourDraw& draw);

// False when the settings draw nothing at all (mode above 4, or parameter 0
// in alpha, add or subtract).
bool Draws(const ConstantColourDraw& draw);

// What destination pixel d becomes. For 16-bit, d and the result are 16-bit
// values. When Draws() is false the result is d.
std::uint32_t ConstantColourPixel(const ConstantColourDraw& draw, std::uint32_t d);

}  // namespace pixel_oracle
