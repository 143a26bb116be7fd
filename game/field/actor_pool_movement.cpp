#include "field/actor_pool_movement.h"

#include "engine/game_random.h"
#include "field/tile_collision.h"
#include "rules/player_motion.h"
#include "rules/sub_screen.h"
#include "world/monsters/actor_pools.h"
#include "world/stages/stage_state.h"

namespace {

constexpr float kGravity = 0.036f;

void Move(PoolActor& actor, int pool, int slot, float sy, float width, float height) {
    MoveActorOnMap(actor.x, actor.y, actor.verticalSpeed, actor.speed, sy, width, height, actor.airborne,
                   kFirstActorPoolMoveCode + pool, slot);
}

void Launch(PoolActor& shot, float speed, float x, float y, std::uint8_t airborne) {
    shot.speed = speed;
    shot.x = x;
    shot.y = y;
    shot.verticalSpeed = 0.0f;
    shot.airborne = airborne;
    shot.alive = 1;
}

void MoveActor(int pool, int i) {
    PoolActor& actor = g_ActorPools[pool][i];
    const std::int32_t frame = g_FieldFrameCounter;
    switch (pool) {
        case kPoolShooters:
            Move(actor, pool, i, actor.verticalSpeed, 16.0f, 16.0f);
            if ((i * 50 + frame) % 300 == 1 && actor.flag == 1)
                Launch(g_ActorPools[kPoolFallingShots][i], 0.0f, actor.x, actor.y, 1);
            break;
        case kPoolFallingShots:
            actor.verticalSpeed += kGravity;
            Move(actor, pool, i, actor.verticalSpeed, 4.0f, 4.0f);
            break;
        case kPoolCrawlers:
            if (actor.flag == 0) {
                if (actor.airborne == 1) actor.verticalSpeed += kGravity;
                Move(actor, pool, i, actor.verticalSpeed, 16.0f, 16.0f);
            } else {
                actor.verticalSpeed = 0.0f;
                Move(actor, pool, i, actor.verticalSpeed, 8.0f, 16.0f);
            }
            break;
        case kPoolFiringWalkers: {
            if ((i * 50 + frame) % 600 == 250 && actor.flag == 1)
                Launch(g_ActorPools[kPoolStraightShots][i], actor.speed <= 0.0f ? -2.0f : 2.0f, actor.x,
                       actor.y - 22.0f, 0);
            actor.verticalSpeed = 0.0f;
            if (frame % 100 == 1) {
                float pace = static_cast<float>(actor.level + 1) * 0.2f;
                bool playerLeft = g_PlayerMotion.screenX <= actor.x - g_StageState.cameraX;
                actor.speed = playerLeft ? -pace : pace;
            }
            Move(actor, pool, i, actor.verticalSpeed, 8.0f, 56.0f);
            break;
        }
        case kPoolStraightShots:
            actor.verticalSpeed = 0.0f;
            Move(actor, pool, i, 0.0f, 4.0f, 4.0f);
            break;
        case kPoolHoppers: {
            int period = 600 - 250 * actor.level;
            if (period != 0 && (i * 50 + frame) % period == 80 && GameRand() % 2 == 1 && actor.airborne == 0) {
                actor.airborne = 1;
                actor.verticalSpeed = -2.8f;
            }
            if (actor.airborne == 1) actor.verticalSpeed += kGravity;
            Move(actor, pool, i, actor.verticalSpeed, 24.0f, 56.0f);
            break;
        }
        default:
            break;
    }
}

}  // namespace

void MoveActorPools() {
    for (int pool = 0; pool < kActorPoolCount; ++pool)
        for (int i = 0; i < kActorPoolSlotCount; ++i)
            if (g_ActorPools[pool][i].alive == 1) MoveActor(pool, i);
}
