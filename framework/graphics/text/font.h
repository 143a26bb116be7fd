// Fonts and the glyph cache.
#pragma once

#include <cstdint>

// After device loss: every font made again in its slot with its check number.
int RecreateAllFonts();

// Makes a font: face or null (the system's default face), size, thickness,
// font type, character-set kind, edge size, italic, slot, check number (-1
// picks the default of each). The new handle, or -1.
int CreateFontToHandle(const char* face, int size, int thickness, int fontType, int charSetKind, int edgeSize,
                       int italic, int slot, int checkNumber);
// Draws a text with a font handle; 0 or -1.
int DrawTextWithFont(int x, int y, const char* text, std::uint32_t color, int fontHandle, std::uint32_t edgeColor,
                     int vertical);
// Releases a font handle; 0 or -1.
int ReleaseFontHandle(int fontHandle);
// The caller's flag is set to 1 when the font is released; 0 or -1.
int LinkFontLostFlag(int fontHandle, int* lostFlag);

// Every font made again from its settings (after a screen-mode change); 0.
int ResetAllFonts();
