// Straight lines of one colour into a software image under the blend mode,
// blend parameter and draw-bright colour, clipped to the draw area. The start
// point is drawn and the end point is not, so lines laid end to end (a box
// outline) touch every pixel once.
#pragma once

#include <cstdint>

#include "graphics/image/memimg.h"
#include "softrender/soft_draw_settings.h"

// One line of a line list: six 32-bit words in this order.
struct LineRecord {
    std::int32_t x1, y1;       // start point, drawn
    std::int32_t x2, y2;       // end point, not drawn
    std::uint32_t colour;      // a pixel value of the destination's format
    std::uint32_t blendParam;  // carried along; the drawing reads the draw state's
};

// The colour is a pixel value of the image, as for FillRectMemImg. Nothing is
// drawn into paletted images or images with an alpha channel (their pixels
// are not 16 or 32 bits wide), for pixel kinds other than 16 and 32 bits,
// for a zero-length or wholly clipped line, under a mode above 4, or with
// parameter 0 in alpha, add and subtract.
void PlotLineMemImg(MEMIMG* dest, std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2,
                    std::uint32_t colour);
void PlotLineMemImg(MEMIMG* dest, std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2,
                    std::uint32_t colour, const SoftDrawSettings& settings);

// Draws the records in order; nothing when count <= 0.
void SoftDrawLines(MEMIMG* dest, const LineRecord* records, std::int32_t count);
void SoftDrawLines(MEMIMG* dest, const LineRecord* records, std::int32_t count, const SoftDrawSettings& settings);
