// The game loop's further actor pools: shooters and the projectiles they drop,
// crawlers, walkers that fire and their straight shots, and hoppers. The game
// moves them after the monsters (field/actor_pool_movement.h); no stage places any, so in play they stay
// empty, and nothing draws them or lets them hurt the player.
#pragma once

#include <cstdint>

constexpr int kActorPoolSlotCount = 20;

enum ActorPoolIndex {
    kPoolShooters = 0,
    kPoolFallingShots = 1,
    kPoolCrawlers = 2,
    kPoolFiringWalkers = 3,
    kPoolStraightShots = 4,
    kPoolHoppers = 5,
    kActorPoolCount = 6,
};

// Each pool's actors pass kFirstActorPoolMoveCode + its index as their move
// code: a range of their own, apart from the player's and the monsters'.
constexpr int kFirstActorPoolMoveCode = 60;

struct PoolActor {
    float speed;
    float x;  // world
    float y;
    float verticalSpeed;
    std::uint8_t airborne;
    std::uint8_t alive;
    std::uint8_t flag;   // shooters and walkers: fires; crawlers: met a wall
    std::uint8_t level;  // walkers: pace; hoppers: how often they hop
};

extern PoolActor g_ActorPools[kActorPoolCount][kActorPoolSlotCount];

// Frees every slot; part of the stage reset.
void ClearActorPools();

// The wall response of a pool actor's move code: a falling shot is freed, a
// crawler notes the wall. Other codes are ignored.
void AnswerActorPoolWall(int code, int slot);
