// The part of a blit's set-up that the unscaled and the scaled blit share:
// which pairs of images they draw, the loop kind the settings choose, and
// the values worked out once per call.
#pragma once

#include "graphics/image/memimg.h"
#include "softrender/blit_frame.h"
#include "softrender/soft_draw_settings.h"

// Bytes per pixel that the loops step by for each kind of image.
int BlitLayoutBytes(const MEMIMG& image);

// Whether src can be drawn into dest: both initialised with pixels, both
// 16-bit or both 32-bit (no conversion happens), a destination without
// palette or alpha, and formats whose pixel sizes agree with the layouts the
// loops step by. A blend mask, when given, must have pixels.
bool BlitImagesDrawable(const MEMIMG* dest, const MEMIMG* src, const MEMIMG* blendMask);

// The loop kind of a draw under the settings, before any special loop is
// chosen; false when the settings draw nothing (a mode above 4, or alpha,
// add or subtract at parameter 0). Alpha at 255 is the copy.
bool BlitKindFor(const MEMIMG& src, const SoftDrawSettings& settings, int transparent, bool mask,
                 BlitLoopKind* kind);

// A key that no pixel of the source can hold (an index above 255, a 16-bit
// key above 0xFFFF) makes nothing transparent: the loop without the key test
// gives the same pixels.
void DropUnmatchableKey(const MEMIMG& src, BlitLoopKind* kind);

// The source palette in the destination's pixel format (5:6:5 entries
// zero-extended): the entries in use, at most 256; those past them 0.
void CopyBlitPalette(const MEMIMG& src, std::uint32_t out[256]);

// Fills the key, the parameter, the bright colour, the table rows and, for a
// paletted source, the palette (256 entries, those past the source's count
// 0); the mask weights when a blend mask is given.
void FillBlitValues(const MEMIMG& src, const SoftDrawSettings& settings, bool mask, BlitFrame* frame);
