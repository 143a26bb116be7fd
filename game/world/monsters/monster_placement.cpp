#include "world/monsters/monster_placement.h"

#include "engine/game_random.h"
#include "world/monsters/monster_kind_params.h"
#include "world/monsters/monster_record.h"

float PlacementSpeed(int kind, int r) {
    double factor = static_cast<double>(r % 21 + 90) / 100.0;
    return static_cast<float>(factor * kMonsterKindParams[kind].speedBase);
}

int PlaceMonster(int kind, int slot, float x, float y) {
    // The set-ups pass constants, but the placement lists are generated data:
    // a bad entry must not write outside the pools.
    if (kind < 0 || kind >= kMonsterKindCount || slot < 0 || slot >= kMonsterSlotCount) return -1;

    MonsterRecord& m = g_MonsterPools[kind][slot];
    m.x = x;
    m.y = y;
    m.speed = IsImmobileKind(kind) ? 0.0f : PlacementSpeed(kind, GameRand());
    m.hp = kMonsterKindParams[kind].hp;
    m.engage = kMonsterWandering;
    m.alive = kMonsterAlive;
    m.fallSpeed = 0.0f;
    m.airborne = 0;
    m.specialMode = 0;
    m.specialTrigger = 0;
    m.specialTimer = 0;
    m.attackTimer = 0;
    return 0;
}
