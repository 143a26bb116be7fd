// Whole-pixel arithmetic shared by the software rasterisers: channel access
// for the two pixel layouts, the draw-bright helpers, and the saturating add
// and subtract that work on a packed pixel with guard bits instead of testing
// each channel.
//
// 32-bit pixels are 0xXXRRGGBB (bytes blue, green, red, fourth byte in
// memory). 16-bit pixels are always 5:6:5: red 0xF800, green 0x07E0, blue
// 0x001F, and channel values stay in their own ranges (0..31, 0..63), never
// widened to 8 bits.
//
// Everything is unsigned 32-bit, so the borrows of the packed subtract wrap
// instead of overflowing.
#pragma once

#include <cstdint>
#include <cstring>

// ---- channels -------------------------------------------------------------

constexpr std::uint32_t Blue888(std::uint32_t px) { return px & 0xFF; }
constexpr std::uint32_t Green888(std::uint32_t px) { return (px >> 8) & 0xFF; }
constexpr std::uint32_t Red888(std::uint32_t px) { return (px >> 16) & 0xFF; }
constexpr std::uint32_t Fourth888(std::uint32_t px) { return px >> 24; }
constexpr std::uint32_t Pack888(std::uint32_t r, std::uint32_t g, std::uint32_t b, std::uint32_t fourth = 0) {
    return (fourth << 24) | (r << 16) | (g << 8) | b;
}

constexpr std::uint32_t Red565(std::uint32_t px) { return (px >> 11) & 0x1F; }
constexpr std::uint32_t Green565(std::uint32_t px) { return (px >> 5) & 0x3F; }
constexpr std::uint32_t Blue565(std::uint32_t px) { return px & 0x1F; }
constexpr std::uint32_t Pack565(std::uint32_t r, std::uint32_t g, std::uint32_t b) { return (r << 11) | (g << 5) | b; }

// ---- draw-bright colour ---------------------------------------------------

// The bright colour is 0x00RRGGBB. Only the whole value white means "leave the
// colours alone"; a single byte of 255 beside others is still applied.
constexpr bool IsBrightWhite(std::uint32_t bright) { return (bright & 0xFFFFFF) == 0xFFFFFF; }
constexpr std::uint32_t BrightRed(std::uint32_t bright) { return (bright >> 16) & 0xFF; }
constexpr std::uint32_t BrightGreen(std::uint32_t bright) { return (bright >> 8) & 0xFF; }
constexpr std::uint32_t BrightBlue(std::uint32_t bright) { return bright & 0xFF; }

// The fill and the line brighten their one colour by channel * bright >> 8,
// so a bright byte of 255 lowers a non-zero channel by one. The caller skips
// this for IsBrightWhite. The fourth byte of a 32-bit colour is kept.
constexpr std::uint32_t BrightenConstant888(std::uint32_t c, std::uint32_t bright) {
    return (c & 0xFF000000u) | Pack888((Red888(c) * BrightRed(bright)) >> 8, (Green888(c) * BrightGreen(bright)) >> 8,
                                       (Blue888(c) * BrightBlue(bright)) >> 8);
}
constexpr std::uint32_t BrightenConstant565(std::uint32_t c, std::uint32_t bright) {
    return Pack565((Red565(c) * BrightRed(bright)) >> 8, (Green565(c) * BrightGreen(bright)) >> 8,
                   (Blue565(c) * BrightBlue(bright)) >> 8);
}

// ---- saturating add and subtract of whole pixels ----------------------------
//
// The lowest bit of green and red is cleared in both operands so that each
// channel's carry (add) or borrow (subtract) lands in a guard position; the
// guard bits are then spread into a mask that saturates the channel. The
// price is a lowest bit that depends on the neighbours, which every caller
// accepts: for example 0x808080 + 0x808080 gives 0x01FFFFFF, with red's
// overflow left in the fourth byte, and 0 - 0 gives 0x00010100.

// 32-bit add: blue is exact and saturates at 255; green and red add their
// upper seven bits and saturate at 255 when those overflow, else their lowest
// bit is the OR of both lowest bits and the carry out of the channel below.
// The fourth byte of the result is 1 when red overflowed, else 0.
constexpr std::uint32_t AddSaturate888(std::uint32_t d, std::uint32_t s) {
    const std::uint32_t t = (d & 0x00FEFEFFu) + (s & 0x00FEFEFFu);
    const std::uint32_t m = t & 0x01010100u;
    return (m - (m >> 8)) | ((d | s) & 0x00010100u) | t;
}

// 16-bit add on a 5:6:5 pixel in the low half (the result is 16 bits): as
// the 32-bit add, with red saturating at 31 and an overflowing green at
// 62 or 63.
constexpr std::uint32_t AddSaturate565(std::uint32_t d, std::uint32_t s) {
    d &= 0xFFFF;
    s &= 0xFFFF;
    const std::uint32_t t = (d & 0xF7DEF7DFu) + (s & 0xF7DEF7DFu);
    const std::uint32_t m = t & 0x08210820u;
    return ((m - (m >> 5)) | ((d | s) & 0x0820u) | t) & 0xFFFF;
}

// 32-bit subtract: blue is exact and stops at 0; green and red are 0 when
// their upper seven bits would go below zero, else twice the difference of
// those bits plus 1 when the channel below did not go below zero. The fourth
// byte of the result is 0.
constexpr std::uint32_t SubtractSaturate888(std::uint32_t d, std::uint32_t s) {
    const std::uint32_t x = (d | 0x01010100u) - (s & 0xFEFEFEFFu);
    const std::uint32_t m = x & 0x01010100u;
    return (m - (m >> 8)) & x;
}

// 16-bit subtract: as the 32-bit one, except that green's lowest bit is
// always 0.
constexpr std::uint32_t SubtractSaturate565(std::uint32_t d, std::uint32_t s) {
    d &= 0xFFFF;
    s &= 0xFFFF;
    const std::uint32_t x = (d | 0x08210820u) - (s & 0xF7DEF7DFu);
    const std::uint32_t m = x & 0x08210820u;
    return ((m - (m >> 5)) & x) & 0xFFFF;
}

// ---- pixel memory ---------------------------------------------------------
//
// Pixel rows are plain bytes and a view may start at any even address, so
// pixels are moved with memcpy (one load or store once compiled).

inline std::uint32_t LoadPixel32(const std::uint8_t* p) {
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}
inline std::uint32_t LoadPixel16(const std::uint8_t* p) {
    std::uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
}
inline void StorePixel32(std::uint8_t* p, std::uint32_t v) { std::memcpy(p, &v, 4); }
inline void StorePixel16(std::uint8_t* p, std::uint32_t v) {
    const auto w = static_cast<std::uint16_t>(v);
    std::memcpy(p, &w, 2);
}

// ---- 32-bit wrap-around ---------------------------------------------------
//
// Fixed-point positions and steps (16.16, 14.18) are signed 32-bit values that
// are allowed to wrap, as on the processor the renderer was designed for.
// Signed overflow is undefined in C++, so the arithmetic goes through
// unsigned values and the result is read back as two's complement.

constexpr std::int32_t WrapAdd32(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}
constexpr std::int32_t WrapSub32(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) - static_cast<std::uint32_t>(b));
}
constexpr std::int32_t WrapMul32(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) * static_cast<std::uint32_t>(b));
}
