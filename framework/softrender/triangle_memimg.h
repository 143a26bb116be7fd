// The textured and flat-colour triangle, and the quad drawn as two of them.
#pragma once

#include <cstdint>

#include "graphics/image/memimg.h"
#include "softrender/soft_draw_settings.h"

// Maps the whole texture onto the four corners (x, y of the texture's
// top-left, top-right, bottom-left and bottom-right) as two triangles,
// clipped to the draw area, under the draw settings.
void DrawQuadMemImg(MEMIMG* dest, const MEMIMG* texture, const std::int32_t corners[8], int transparent,
                    const MEMIMG* blendMask, const SoftDrawSettings& settings);
