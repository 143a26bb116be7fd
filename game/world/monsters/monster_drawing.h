// Drawing a monster's sheet frames. A frame is 128 x 128 and shows the
// monster facing left when drawn plain; mirrored, it faces right.
#pragma once

#include <kelvo/api.h>

#include <cstdint>

#include "world/monsters/monster_record.h"

// The ordinary and fixed kinds: frame `frame` of the 17-frame sheet at its
// natural size with its top-left corner at (trunc(x - 64 - camera x),
// trunc(y - 64 - lift + yOffset)). A frame number outside the sheet draws
// nothing.
void DrawMonsterFrame(const int* sheet, int frame, const MonsterRecord& m, int lift, bool facingLeft,
                      double yOffset = 0.0);

// The large kinds: the frame stretched to 256 x 256 around the same centre,
// from (x - 128 - camera x, y - 128 - lift + yOffset) to 256 pixels further
// right and down, each corner truncated; facing right swaps the two x
// coordinates, which mirrors it.
void DrawLargeMonsterFrame(const int* sheet, int frame, const MonsterRecord& m, int lift, bool facingLeft,
                           double yOffset = 0.0);

// A monster faces the player: left (drawn plain) when its screen x is right
// of the player's screen x.
bool PlayerIsLeftOf(const MonsterRecord& m);

// The daze: `draw` once plainly, then once more over itself in red with an
// additive blend that pulses with the special timer (0, 4, ... 252 over the
// first 64 frames of every 128, then 256, 252, ... 4); blend and bright
// colour are put back afterwards.
int DazeGlowParameter(std::int32_t specialTimer);
template <class Draw>
void DrawDazed(std::int32_t specialTimer, Draw draw) {
    draw();
    ApiSetBlendModeParam(kBlendAdd, DazeGlowParameter(specialTimer));
    ApiSetBrightColor(255, 0, 0);
    draw();
    ApiSetBlendModeParam(kBlendNone, 0);
    ApiSetBrightColor(255, 255, 255);
}
