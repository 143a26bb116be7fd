// The sequences that take the whole screen with frame loops of their own:
// QUEST START before a new game, GAME OVER after a defeat, and the ending.
// Each paces itself like the game loop and returns to its caller; a closed
// window ends any of them at once.
#pragma once

// The QUEST START banner shown before a new game begins. No key ends it
// early; a closed window does.
void ShowQuestStart();

// The defeating monster's picture (g_DefeatPictureIndex) fading in from
// black, then GAME OVER; from its 769th frame any action key ends it. Then
// the penalty, however it ended: the picture opens in the gallery (and the
// gallery file is written), HP and SP drop to half their maxima, a tenth of
// the level's EXP is lost (never below 0), and the player's damage numbers
// are cleared.
void ShowGameOver();
void ApplyDefeatPenalty();

// CONGRATULATIONS cycling through the letter colours, then THANK YOU FOR
// PLAYING; 768 frames, no key ends it.
void ShowEnding();
