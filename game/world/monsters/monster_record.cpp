#include "world/monsters/monster_record.h"

MonsterRecord g_MonsterPools[kMonsterKindCount][kMonsterSlotCount] = {};
float g_DiveTargetY[kMonsterKindCount - kFirstDivingKind][kMonsterSlotCount] = {};
