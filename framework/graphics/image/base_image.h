// Base images: the plain in-memory pictures (`GraphImage`) every loader
// delivers and every graphic is written from, and their copies into GDI
// bitmaps.
#pragma once

#include <cstdint>

#include "graphics/image/color_format.h"
#include "graphics/image/graph_image.h"
#include "platform/gdi.h"

// An image of the standard 24-bit format; pitch (3 x width + 3) / 4 x 4;
// the pixels are not cleared. -1 for a size of 0 or less, or one too large
// to allocate.
int CreateBaseImage(int width, int height, GraphImage* image);
// Frees the pixels and zeroes the record. 0.
int ReleaseBaseImage(GraphImage* image);
// Writes the colour composed in the image's format into every pixel of 2, 3
// or 4 bytes; other sizes are left alone. 0.
int FillBaseImage(GraphImage* image, int r, int g, int b, int a);
// The pixel as 0xAARRGGBB, each channel's top bit at its byte's top; alpha
// only when the format has alpha bits. A 1-byte pixel reads its palette
// entry. 0 for an image without pixels or a position outside it.
std::uint32_t ReadBaseImagePixel(const GraphImage* image, int x, int y);
// Swaps each row end for end (1 to 4 bytes per pixel). 0, or -1 without pixels.
int MirrorBaseImage(GraphImage* image);

// A top-down DIB section of the header's size holding the pixels (in the
// header's layout), mirrored left-right with the mirror flag. The format,
// when given, supplies the section's channel masks. The caller deletes the
// bitmap with DeleteObject. Null on failure.
HBITMAP MakeDibSectionCopy(const BITMAPINFO* header, const void* pixels, int mirror, const ColorFormatDesc* format);
// A copy of the image in the standard 24-bit format for GDI: the header is
// filled (40-byte info header, 24 bits, BI_RGB; top-down, or bottom-up rows
// as in a file when bottomUp is set) and *pixels receives a tracked block
// the caller frees. 1 when the image already was in that format and was
// copied as it is, 0 when it was converted, -1 on failure.
int MakeBaseImage24Copy(const GraphImage* image, BITMAPINFO* header, void** pixels, int bottomUp);
