// Drawing pieces the system menu, the status screen and the shop share:
// glyph numbers at the 16-pixel pitch of these screens, the bevelled boxes,
// the translucent boxes and the cursor animation.
#pragma once

#include <cstdint>

#include <kelvo/api.h>


constexpr int kSubScreenGlyphPitch = 16;

// Counts a screen's frame counter up by one; after the largest value it starts
// again at 0, so the counter never turns negative.
void CountFrame(std::int32_t& counter);
// The piece of the 30-frame cursor animations (CursorFrames and
// SmallCursorFrames alike) for a frame counter: one piece every 5 frames.
int CursorFrameIndex(std::int32_t counter);
// A glyph of the letter sheet by index (the signs after the letters);
// an index outside the sheet draws nothing.
void DrawLetterGlyph(int index, int x, int y);

// A number in digit glyphs of a colour set, 16 pixels per digit: right-aligned
// so that its last digit stands at xLast, or left-aligned from xFirst. Each
// digit is its own glyph, so a number wider than its row grows to the left
// (or right) instead of reaching into another colour set or past the sheet.
// A negative value is drawn as 0: the sheets have no minus sign.
void DrawDigitsEndingAt(std::int32_t value, int xLast, int y, int colourSet);
void DrawDigitsFrom(std::int32_t value, int xFirst, int y, int colourSet);

// A box in three layers: `frame` over the whole box, `shadow` one pixel right
// and down, and `fill` from one pixel inside the top left corner to the box's
// own right and bottom edge. Leaves a light edge at the top and left and a
// dark one at the right and bottom.
void DrawBevelBox(int x1, int y1, int x2, int y2, ColorCode frame, ColorCode shadow, ColorCode fill);

// A filled box drawn at the given alpha, with blending switched off again.
void DrawTranslucentBox(int x1, int y1, int x2, int y2, ColorCode colour, int alpha);
