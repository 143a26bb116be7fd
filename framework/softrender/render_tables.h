// The lookup tables every software rasteriser shares. The pixel loops never
// divide: a division by 255 or by 63 is one of these look-ups instead.
//
// ProductTable255, BlendParamTable and LevelTable63 never change; they are
// filled as the program starts, before anything can draw. The blend-mask
// weight table depends on the blend graphic's two settings and is rebuilt by
// BuildBlendMaskTable whenever they change.
#pragma once

#include <array>
#include <cstdint>

// [a][b] = floor(a * b / 255): scales a channel value by a factor 0..255,
// with 255 the identity. Row a is a factor (a bright byte or the blend
// parameter), the column the channel value.
using ProductTable255Type = std::array<std::array<std::uint32_t, 256>, 256>;
extern const ProductTable255Type ProductTable255;

// [p][k] = trunc(p * (k - 256) / 255) toward zero, for k = 1..511; entry 0 is
// never used and holds 0. A difference d = c - d0 of two channel values
// (-255..255) is looked up at k = 256 + d, so a loop keeps a pointer to entry
// 256 of row p (BlendParamRow) and indexes it with d.
using BlendParamTableType = std::array<std::array<std::int32_t, 512>, 256>;
extern const BlendParamTableType BlendParamTable;

// [k][i][j] = trunc((k * i + (63 - k) * j) / 63): a 6-bit mix that gives the
// row value i the weight k/63 and the entry value j the rest. The unscaled
// blit takes block k = blend parameter / 4.
using LevelTable63Type = std::array<std::array<std::array<std::uint8_t, 64>, 64>, 64>;
extern const LevelTable63Type LevelTable63;

// Weight 0..255 of each blend-mask pixel byte. All 255 until a blend graphic
// with a non-zero border parameter is assigned (BuildBlendMaskTable).
extern std::array<std::uint8_t, 256> MaskWeightTable;

// Row p of BlendParamTable, addressed at difference 0: row[d] for d in
// -255..255 is trunc(p * d / 255).
inline const std::int32_t* BlendParamRow(std::uint32_t p) { return BlendParamTable[p & 0xFF].data() + 256; }

// BuildBlendMaskTable (graphics/surface2d.h, beside the blend graphic's
// setter that calls it) refills MaskWeightTable for border parameter p and
// range r, each brought into 0..255 first (the setter has normally done that
// already): base = 256 - trunc(((65536 div (r + 1)) + 256) * p / 256), and
// entry i is i * 256 div (r + 1) + base, clamped to 0..255.

// One weight of the table BuildBlendMaskTable builds, without touching it.
constexpr std::uint8_t MaskWeightFor(int borderParam, int range, int i) {
    const int p = borderParam < 0 ? 0 : (borderParam > 255 ? 255 : borderParam);
    const int d = (range < 0 ? 0 : (range > 255 ? 255 : range)) + 1;
    // (65536 / d + 256) * p stays below 2^25, well inside int.
    const int base = 256 - ((65536 / d + 256) * p) / 256;
    const int w = i * 256 / d + base;
    return static_cast<std::uint8_t>(w < 0 ? 0 : (w > 255 ? 255 : w));
}
