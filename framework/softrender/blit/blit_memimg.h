// Drawing one whole software image into another, pixel for pixel, under the
// draw state: the software renderer's plain draw.
#pragma once

#include "graphics/image/memimg.h"
#include "softrender/soft_draw_settings.h"

// Draws src with its top-left corner at (x, y) of dest, clipped to the draw
// area (and to dest), under the blend mode and parameter and the bright
// colour. A non-zero transparent flag skips the source's transparent pixels
// (its colour key, or alpha 0 in an image with an alpha channel); exactly 1
// also lets an unclipped draw walk the source's run list. The blend mask,
// when given, is one weight byte per source pixel, aligned with the source.
//
// Both images must be 16-bit or both 32-bit; the destination has neither a
// palette nor alpha. Any refusal leaves the destination untouched.
void BlitMemImg(MEMIMG* dest, const MEMIMG* src, int x, int y, int transparent, const MEMIMG* blendMask);

// The same with the settings given. mmxForms non-zero chooses the bytewise
// saturating form of the 32-bit full-strength add and subtract.
void BlitMemImg(MEMIMG* dest, const MEMIMG* src, int x, int y, int transparent, const MEMIMG* blendMask,
                const SoftDrawSettings& settings, int mmxForms);

// Whether the plain copies may use the processor's 32-byte moves, where it
// has them (the default). The pixels are the same either way; tests draw
// both ways.
void SetBlitMemImgWideMoves(int allowed);
