// Drawing one whole software image into a rectangle of another, scaled by
// nearest-sample selection and mirrored when the rectangle's corners come the
// other way round: the software renderer's stretched draw.
#pragma once

#include "graphics/image/memimg.h"
#include "softrender/soft_draw_settings.h"

// Draws src into the rectangle between (corners[0], corners[1]) and
// (corners[2], corners[3]): columns from the smaller x up to but not
// including the larger, rows likewise. x1 > x2 mirrors left-right, y1 > y2
// upside down; equal corners draw nothing. Clipped to the draw area (and to
// dest), under the blend mode and parameter and the bright colour, skipping
// the source's transparent pixels when the transparent flag is non-zero. The
// blend mask, when given, weights each source pixel and must be at least as
// large as the source.
//
// A rectangle of the source's own size, not mirrored, is the unscaled blit.
// Sizes of 32768 pixels or more, on either side, draw nothing. Both images
// must be 16-bit or both 32-bit, and the destination has neither palette nor
// alpha. Any refusal leaves the destination untouched.
void DrawExtendMemImg(MEMIMG* dest, const MEMIMG* src, const int corners[4], int transparent,
                      const MEMIMG* blendMask);

// The same with the settings given. mmxForms non-zero chooses the bytewise
// saturating form of the 32-bit full-strength subtract.
void DrawExtendMemImg(MEMIMG* dest, const MEMIMG* src, const int corners[4], int transparent,
                      const MEMIMG* blendMask, const SoftDrawSettings& settings, int mmxForms);

// The same for a source of sourceWidth x sourceHeight pixels of which src,
// addressed from the source's (0, 0), need hold only the part this draw
// reads: a work image opened over the visible part of a graphic. A draw
// that would read past src draws nothing.
void DrawExtendMemImg(MEMIMG* dest, const MEMIMG* src, int sourceWidth, int sourceHeight, const int corners[4],
                      int transparent, const MEMIMG* blendMask, const SoftDrawSettings& settings, int mmxForms);

// The source rectangle (left, top, right, bottom, in the source's
// coordinates) that a draw of a sourceWidth x sourceHeight source into the
// corners reads once clipped to `clip`: exactly the columns and rows some
// visible destination pixel shows. False when the draw shows nothing, or
// its sizes are out of range.
bool ScaledSourceRect(int sourceWidth, int sourceHeight, const int corners[4], const RECT& clip, RECT* read);
