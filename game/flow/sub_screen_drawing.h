// Drawing pieces the system menu, the status screen and the shop share:
// glyph words and numbers at the 16-pixel pitch of these screens, the
// bevelled boxes, the translucent boxes, the cursor animation and the menu
// sounds.
#pragma once

#include <cstdint>

#include <kelvo/api.h>

#include "flow/handles.h"

constexpr int kSubScreenGlyphPitch = 16;

// An effect of SoundEffectHandles, played once.
void PlayEffect(SoundEffect effect);

// Counts a screen's frame counter up by one; after the largest value it starts
// again at 0, so the counter never turns negative.
void CountFrame(std::int32_t& counter);
// The frame of the 30-frame cursor animations for a frame counter: one frame
// every 5 frames.
int CursorFrame(std::int32_t counter);

// Capital letters of a colour set (0 to 3), one every `pitch` pixels from x0,
// transparent; a blank leaves its place empty.
void DrawGlyphWord(const char* word, int x0, int y, int colourSet);
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
