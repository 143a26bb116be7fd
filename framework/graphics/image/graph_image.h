// The in-memory image every image loader fills and every graphic is
// written from.
#pragma once

#include <cstdint>

#include "graphics/image/color_format.h"

struct GraphImage {
    ColorFormatDesc colorFormat;
    std::uint32_t width;
    std::uint32_t height;
    std::uint32_t pitch;    // bytes from one row to the next
    std::uint8_t* pixels;   // tracked memory owned by the image, rows top first
};
