// A reduced frame of field play around the monster routines, for looking at
// a stage and for measuring the routines before the game loop exists: the
// images the routines draw, a plain stand-in for the monsters' movement, the
// background layers, the routines in the game's kind order and the damage
// numbers. The player is a still marker that swings on a timer.
#pragma once

// Loads the monster sheets (each kind into its own handle array), the fire
// and gas frames and the digit and letter glyphs from the data set in the
// current folder, as the game's start-up does. 0, or -1 when a file is
// missing.
int LoadMonsterImages();

// Puts the player at screen x `screenX` standing on the floor below world y
// `y` of the current stage, facing right.
void StandPlayer(float screenX, float y);

// One frame: the frame counter, the stand-in movement, the player's blow
// every `blowPeriod` frames (0: never), then drawing: background, monsters,
// the player's marker, damage numbers. Does not present.
void RunFieldFrame(int blowPeriod);

// The monster routines of one frame, every kind in the game's order.
void RunMonsterRoutines();
