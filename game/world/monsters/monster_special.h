// The special mode of the ordinary kinds: a daze, drawn as a pulsing red
// glow, then the kind's special attack (a swing series, the fire breath, the
// gas cloud or the swoop), after which the monster fights as before.
#pragma once

#include "world/monsters/monster_kind_params.h"
#include "world/monsters/monster_record.h"

// Frames an ordinary kind stays dazed before its special attack.
int OrdinaryDazeLength(int kind);

// One call of the special mode, inside UpdateMonsters while the mode is on
// and no ordinary attack runs.
void RunOrdinarySpecialMode(MonsterRecord& m, const int* sheet, const MonsterKindParams& params, int slot, int kind);
