#include "world/monsters/actor_pools.h"

PoolActor g_ActorPools[kActorPoolCount][kActorPoolSlotCount] = {};

void ClearActorPools() {
    for (auto& pool : g_ActorPools)
        for (PoolActor& actor : pool) actor.alive = 0;
}

void AnswerActorPoolWall(int code, int slot) {
    if (slot < 0 || slot >= kActorPoolSlotCount) return;
    int pool = code - kFirstActorPoolMoveCode;
    if (pool == kPoolFallingShots) g_ActorPools[pool][slot].alive = 0;
    if (pool == kPoolCrawlers) g_ActorPools[pool][slot].flag = 1;
}
