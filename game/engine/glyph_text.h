// Words and numbers drawn glyph by glyph from the letter and digit sheets,
// at a fixed pitch, as the menus, banners and the HUD show them.
#pragma once

constexpr int kGlyphColourSets = 4;
constexpr int kGlyphPitch = 20;  // the menus' distance between two letters

// Draws `text` from x0 at `pitch` pixels per character, transparent: capital
// letters from the letter sheet, digits from the digit sheet, both in the
// given colour set. Any other character (a blank) leaves its place empty.
void DrawGlyphText(const char* text, int x0, int y, int colourSet = 0, int pitch = kGlyphPitch);

// One digit 0 to 9 of a colour set, transparent. A value outside 0 to 9 or a
// colour set outside 0 to 3 draws nothing rather than a glyph of another set
// or one past the sheet.
void DrawGlyphDigit(int digit, int x, int y, int colourSet = 0);
