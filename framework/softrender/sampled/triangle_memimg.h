// The textured and flat-colour triangle, and the quad drawn as two of them.
#pragma once

#include <cstdint>

#include "graphics/image/memimg.h"
#include "softrender/soft_draw_settings.h"

// One corner: its destination pixel and the texel it shows.
struct TriangleVertex {
    std::int32_t x, y;  // destination column and row
    std::int32_t u, v;  // texture column and row
};

// Corner values the triangle takes: each of x, y, u and v within this range.
constexpr std::int32_t kTriangleCoordMin = -8192, kTriangleCoordMax = 8191;

// Draws the triangle of the three corners into dest, clipped to the draw
// area (and to dest), under the blend mode and parameter and the bright
// colour. With a texture, each pixel takes the texel its position maps to
// affinely from the corners' texels (a pixel whose texel lies outside the
// texture is left alone); the transparent flag and the blend mask (one
// weight byte per texel, aligned with the texture) apply as in the rotated
// blit. Without one, the triangle is filled with colour, a pixel value of
// dest's format.
//
// A row runs from the left side's column to the right side's, both included,
// so two triangles sharing a side both draw it. The top corner's row is
// drawn and the bottom corner's is not. Nothing is drawn for corners on one
// line, for corner values outside kTriangleCoordMin..kTriangleCoordMax, for
// a texture of the other pixel size, or into a destination with a palette or
// alpha.
void DrawTriangleMemImg(MEMIMG* dest, const MEMIMG* texture, const TriangleVertex vertices[3], int transparent,
                        const MEMIMG* blendMask, std::uint32_t colour);
void DrawTriangleMemImg(MEMIMG* dest, const MEMIMG* texture, const TriangleVertex vertices[3], int transparent,
                        const MEMIMG* blendMask, std::uint32_t colour, const SoftDrawSettings& settings);

// Maps the whole texture onto the four corners (x, y of the texture's
// top-left, top-right, bottom-left and bottom-right) as the triangles
// (top-left, top-right, bottom-left) and (top-right, bottom-left,
// bottom-right): the pixels of their shared side are drawn by both. A quad
// whose corners' box, widened by 2 pixels left and above and 4 right and
// below, misses the draw area is not drawn.
void DrawQuadMemImg(MEMIMG* dest, const MEMIMG* texture, const std::int32_t corners[8], int transparent,
                    const MEMIMG* blendMask);
void DrawQuadMemImg(MEMIMG* dest, const MEMIMG* texture, const std::int32_t corners[8], int transparent,
                    const MEMIMG* blendMask, const SoftDrawSettings& settings);
