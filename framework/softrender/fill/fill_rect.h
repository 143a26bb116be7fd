// Filling an axis-aligned rectangle of a software image with one colour under
// the blend mode, blend parameter and draw-bright colour, clipped to the draw
// area. Serves the software filled box and the clearing of a graphic draw
// target held as a software image.
#pragma once

#include <cstdint>

#include "graphics/image/memimg.h"
#include "platform/types.h"
#include "softrender/soft_draw_settings.h"

// The rectangle's corners may come in any order; null means the whole image.
// The colour is a pixel value of the image: a 5:6:5 value in the low 16 bits
// for a 16-bit image, the whole pixel (fourth byte included, which the copy
// mode writes) for a 32-bit one. Paletted images, images with an alpha
// channel and pixel kinds other than 16 and 32 bits are left alone, as is
// anything under a mode above 4 or a parameter of 0 in alpha, add and
// subtract.
void FillRectMemImg(MEMIMG* dest, const RECT* rect, std::uint32_t colour);
void FillRectMemImg(MEMIMG* dest, const RECT* rect, std::uint32_t colour, const SoftDrawSettings& settings);
