// What the title menu draws every frame whatever its state (the scrolling
// background, the portrait and the swaying logo), and the cursor and glyph
// captions of the main menu, file select and difficulty select.
#pragma once

#include <cstdint>

struct TitleMenu;

// The far layer, tiled from its two images, at scroll / 3. Past 12,800 no
// panel is left to draw and the background stays empty.
void DrawTitleBackground(float scroll);

void DrawTitlePortraitAndLogo(std::int32_t frame);

// The cursor and captions of states 0, 1 and 2; nothing in other states.
void DrawMenuCaptions(const TitleMenu& menu);

// The y of a caption row's letters: the row under the cursor sways.
int CaptionY(int rowY, bool selected, std::int32_t frame);
