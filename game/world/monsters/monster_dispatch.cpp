#include "engine/handles.h"
#include "world/monsters/monster_routines.h"

void RunMonsterKind(int kind) {
    if (kind < 0 || kind >= kMonsterKindCount) return;
    const MonsterKindParams& params = kMonsterKindParams[kind];
    auto routine = params.routine == MonsterRoutine::Ordinary ? UpdateMonsters
                   : params.routine == MonsterRoutine::Large  ? UpdateLargeMonsters
                                                              : UpdateFixedMonsters;
    for (int slot = 0; slot < kMonsterSlotCount; ++slot)
        routine(g_MonsterPools[kind][slot], g_MonsterSheets[kind], params, slot, kind);
}
