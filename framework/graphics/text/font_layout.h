// The arithmetic of a font's cache: cell size, character height, the memory
// cache's geometry and the font type a request settles to.
#pragma once

#include <cstddef>

#include "graphics/text/font.h"

// The widest character, padded up to a multiple of 8 (at least 8): the side
// of the square cache cells.
int PadCellSize(int maxCharWidth);
// The character height, made even.
int EvenCharHeight(int height);

struct MemoryCacheLayout {
    int bitsPerPixel;  // 1 for type 0, 8 for the others
    int slotCount;     // 0x50000 / cell area, 20 to 2024
    int width, height; // one column of cells
    int rowBytes;
    std::size_t bytes;
};
MemoryCacheLayout MemoryCacheLayoutFor(int cellSize, int fontType);

// An edge size above 1 asks for the edge; an 8-bit screen has no grey
// levels. Only the two type bits are kept.
inline int NormalizedFontType(int fontType, int edgeSize, int screenDepth) {
    fontType &= kFontTypeEdge | kFontTypeAntialias;
    if (edgeSize > 1) fontType |= kFontTypeEdge;
    if (screenDepth == 8) fontType &= ~kFontTypeAntialias;
    return fontType;
}

// Copies a face name into a field of `size` bytes: cut where it does not fit,
// but never inside a two-byte character. A null face is the empty name.
void CopyFaceName(char* out, std::size_t size, const char* face);
