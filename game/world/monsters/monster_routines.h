// The monsters' behaviour routines, one call per slot per frame: each takes
// the player's blows and SkillC, runs the monster's attacks and special mode,
// pays the rewards, fills the damage numbers and draws the monster. They
// never move a monster; the game loop's movement pass does that.
//
// The routines run every frame, also while a sub-screen is open: then they
// still draw, and the dying blink and SkillC's hit count go on, but attack
// and special timers stand still and no attack lands.
#pragma once

#include "world/monsters/monster_kind_params.h"
#include "world/monsters/monster_record.h"

// The ordinary kinds 10 to 30.
void UpdateMonsters(MonsterRecord& m, const int* sheet, const MonsterKindParams& params, int slot, int kind);
// The large kinds 0 to 5 and 31, drawn at twice the size of their frames.
void UpdateLargeMonsters(MonsterRecord& m, const int* sheet, const MonsterKindParams& params, int slot, int kind);
// The fixed kinds 6 to 9, which never walk and strike from afar.
void UpdateFixedMonsters(MonsterRecord& m, const int* sheet, const MonsterKindParams& params, int slot, int kind);

// The order in which the game loop runs the kinds each frame. After each
// kind it tests the player's HP: at 0 that kind's defeat picture is shown.
inline constexpr int kMonsterRoutineOrder[kMonsterKindCount] = {
    0,  1,  2,  3,  4,  5,  31, 9, 7,  10, 11, 12, 13, 14, 28, 15,
    16, 17, 18, 19, 20, 8,  29, 24, 21, 22, 6, 23, 25, 26, 27, 30,
};

// Runs the kind's routine for its 20 slots, with the kind's sheet and
// constants. A kind outside 0 to 31 does nothing.
void RunMonsterKind(int kind);
