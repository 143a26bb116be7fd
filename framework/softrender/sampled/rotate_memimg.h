// The rotated and scaled draw of one whole software image into another.
#pragma once

#include <cstdint>

#include "graphics/image/memimg.h"
#include "softrender/soft_draw_settings.h"

// Draws src turned by angle (radians; positive turns clockwise on screen)
// and scaled by scale about its centre, which lands on destination pixel
// (x, y), clipped to the draw area (and to dest), under the blend mode and
// parameter and the bright colour. A non-zero transparent flag skips the
// source's transparent pixels (its colour key, or alpha 0 in an image with an
// alpha channel). A non-zero turn flag mirrors the image left to right; it is
// then drawn as two triangles. The blend mask, when given, is one weight
// byte per source pixel, aligned with the source.
//
// Every pixel of the turned rectangle's bounding box (widened by 2 pixels
// left and above and 4 right and below) is mapped back into the source by
// the inverse turn in 14.18 fixed point and takes the texel it lands on.
// Both images must be 16-bit or both 32-bit; the destination has neither a
// palette nor alpha. A scale of 0, or one whose reciprocal the fixed-point
// steps cannot hold (below 1/8192 in size), or above 2^20, and an angle or
// scale that is not finite draw nothing.
void DrawRotateMemImg(MEMIMG* dest, const MEMIMG* src, int x, int y, float angle, float scale, int transparent,
                      int turn, const MEMIMG* blendMask);
void DrawRotateMemImg(MEMIMG* dest, const MEMIMG* src, int x, int y, float angle, float scale, int transparent,
                      int turn, const MEMIMG* blendMask, const SoftDrawSettings& settings);

// Where the unturned draw samples: the clipped box and the source position
// of its top-left pixel with its steps, all 14.18.
struct RotateWalk {
    int left, top, right, bottom;  // the box, clipped; right and bottom exclusive
    std::int64_t u, v;             // source position at (left, top)
    std::int64_t du, dv;           // added for each pixel to the right
    std::int64_t rowU, rowV;       // added for each row down, from a row's start
};

// The walk of an unturned draw of a width x height source, or false when
// nothing is drawn (an empty clipped box, a degenerate or unusable scale).
bool ComputeRotateWalk(int width, int height, int x, int y, float angle, float scale, const RECT& clip,
                       RotateWalk* walk);

// The four corners of the turned image in whole pixels, in the order the
// quad draw takes them (top-left, top-right, bottom-left, bottom-right of
// the mirrored image). False when the angle or scale is unusable.
bool RotateTurnCorners(int width, int height, int x, int y, float angle, float scale, std::int32_t corners[8]);
