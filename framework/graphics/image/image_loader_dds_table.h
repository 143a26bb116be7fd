// The FourCC codes (Direct3D format numbers) a DDS file may carry instead of
// masks, with the layout each stands for.
#pragma once

#include <cstdint>

struct DdsFormatRow {
    std::uint32_t code;
    std::uint32_t bitCount;
    std::uint32_t redMask, greenMask, blueMask, alphaMask;
};

constexpr std::uint32_t kDdsFormatTableEnd = 0xFFFFFFFF;

constexpr DdsFormatRow DdsFormatTable[] = {
    {20, 24, 0xFF0000, 0xFF00, 0xFF, 0},
    {21, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000},
    {22, 32, 0xFF0000, 0xFF00, 0xFF, 0},
    {23, 16, 0xF800, 0x07E0, 0x001F, 0},
    {24, 16, 0x7C00, 0x3E0, 0x1F, 0},
    {25, 16, 0x7C00, 0x3E0, 0x1F, 0x8000},
    {26, 16, 0xF00, 0xF0, 0xF, 0xF000},
    {27, 8, 0xE0, 0x1C, 0x3, 0},
    {29, 16, 0xE0, 0x1C, 0x3, 0xFF00},
    {30, 16, 0xF00, 0xF0, 0xF, 0},
    {31, 32, 0x3FF, 0xFFC00, 0x3FF00000, 0xC0000000},
    {32, 32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000},
    {33, 32, 0xFF, 0xFF00, 0xFF0000, 0},
    {35, 32, 0x3FF00000, 0xFFC00, 0x3FF, 0xC0000000},
    {kDdsFormatTableEnd, 0, 0, 0, 0, 0},
};

// The row for a code, or null.
const DdsFormatRow* FindDdsFormat(std::uint32_t code);
