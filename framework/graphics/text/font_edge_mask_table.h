// The shapes an edge is grown with around each glyph pixel, by edge size:
// a plus sign for 1, discs for 2 to 4, and the full square for 5 and more.
// Row r, column c of a mask of side n is bit (n - 1 - c) of rows[r].
#pragma once

#include <cstdint>

struct FontEdgeMask {
    int side;                // 2 x edge size + 1
    std::uint16_t rows[11];  // side rows; bit side - 1 is the leftmost column
};

constexpr FontEdgeMask kFontEdgeMaskTable[] = {
    {3, {0b010, 0b111, 0b010}},
    {5, {0b01110, 0b11111, 0b11111, 0b11111, 0b01110}},
    {7, {0b0001000, 0b0111110, 0b0111110, 0b1111111, 0b0111110, 0b0111110, 0b0001000}},
    {9,
     {0b001111100, 0b011111110, 0b111111111, 0b111111111, 0b111111111, 0b111111111, 0b111111111, 0b011111110,
      0b001111100}},
};

// 1 when the mask of the edge size covers the offset (dx, dy) from its centre.
constexpr bool FontEdgeMaskCovers(int edgeSize, int dx, int dy) {
    if (dx < -edgeSize || dx > edgeSize || dy < -edgeSize || dy > edgeSize) return false;
    if (edgeSize < 1) return dx == 0 && dy == 0;
    if (edgeSize > 4) return true;
    const FontEdgeMask& mask = kFontEdgeMaskTable[edgeSize - 1];
    const int column = dx + edgeSize, row = dy + edgeSize;
    return ((mask.rows[row] >> (mask.side - 1 - column)) & 1) != 0;
}
