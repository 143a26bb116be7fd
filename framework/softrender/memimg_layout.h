// How the rasterisers step through a software image's pixels, and the
// palette of a paletted source as the loops read it.
#pragma once

#include <cstdint>

#include "graphics/image/memimg.h"
#include "softrender/blit_frame.h"

// An initialised image with pixels and a colour format.
bool MemImgUsable(const MEMIMG* image);

// Bytes from one pixel to the next as the loops step: 1 for palette
// indices, 4 for 32-bit pixels and for 16-bit pixels with alpha, else 2.
int MemImgStepBytes(const MEMIMG& image);

// Whether the image's colour format agrees with the step the loops take; an
// image that disagrees would be walked past its rows.
bool MemImgStepMatchesFormat(const MEMIMG& image);

// The plain loop kind (no special form, no run list) that draws the source
// in the blend mode, with or without a blend mask, under the bright colour,
// with the transparent flag.
BlitLoopKind PlainLoopKindFor(const MEMIMG& source, std::uint32_t mode, bool mask, std::uint32_t bright,
                              int transparent);

// The palette of a paletted image in its pixel format (5:6:5 entries
// zero-extended, 32-bit entries whole). Entries past the palette's count
// are 0 rather than whatever its storage held before.
void CopyPaletteForDraw(const MEMIMG& image, std::uint32_t out[256]);
