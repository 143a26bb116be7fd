// The converting blit: the one place where pixels move between buffers of
// different formats.
#pragma once

#include <cstdint>

#include "graphics/image/color_format.h"
#include "platform/types.h"

// Copies the source rectangle (its width and height are the copy's size) to
// (destX, destY), converting every pixel from the source format to the
// destination format. Neither buffer is clipped: the caller keeps the copy
// inside both.
//  - alpha image (pixels, pitch, format; null for none): the destination's
//    alpha comes from it, read at the source pixel's position, when the
//    source has no alpha of its own.
//  - mirror: rows are written right to left.
//  - alphaFromColor: a destination with alpha gets alpha 0 where the colour
//    is transColor (0x00RRGGBB), full alpha elsewhere.
//  - dither: 4 x 4 ordered dithering where a channel loses bits.
//  - forceGeneralLoop (non-zero: only the per-pixel loop) and convertOption
//    (1: no alpha from the transparent colour; any non-zero value also takes
//    the per-pixel loop).
//  - transCopy: source pixels equal to transColor (a raw source pixel value)
//    leave the destination as it is.
// Returns 0, the largest index copied when an 8-bit buffer is copied into an
// 8-bit one, or -1 when nothing can be copied (bad arguments, or an 8-bit
// destination from a source that is not 8-bit).
// A destination with alpha but no source of alpha comes out opaque. A
// channel that gains bits repeats its lowest bit into the new ones (5:5:5
// green 0x1F becomes 5:6:5 green 0x3F); bits no channel uses come out 0.
int BlitConvertFormat(std::uint8_t* destPixels, int destPitch, const ColorFormatDesc* destFormat,
                      const std::uint8_t* srcPixels, int srcPitch, const ColorFormatDesc* srcFormat,
                      const std::uint8_t* alphaPixels, int alphaPitch, const ColorFormatDesc* alphaFormat,
                      int destX, int destY, const RECT* srcRect, int mirror, int alphaFromColor,
                      std::uint32_t transColor, int dither, int forceGeneralLoop, int convertOption,
                      int transCopy);

// Sets the bits that no channel of the format uses in every pixel of the
// rectangle (value shifted to their place; for a 0xFF000000 field the
// value's low byte). Only 2- and 4-byte pixels; 0, or -1 for bad arguments.
int FillUnusedBitsInRect(const RECT* rect, std::uint8_t* pixels, int pitch, const ColorFormatDesc* format,
                         std::uint32_t value);
