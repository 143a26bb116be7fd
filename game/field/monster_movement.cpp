#include "field/monster_movement.h"

#include <cmath>

#include "engine/game_random.h"
#include "field/actor_pool_movement.h"
#include "field/monster_move_table.h"
#include "field/tile_collision.h"
#include "rules/player_motion.h"
#include "rules/sub_screen.h"
#include "world/monsters/monster_record.h"
#include "world/stages/stage_state.h"

namespace {

constexpr float kGravity = 0.036f;
constexpr float kMonsterWidth = 56.0f;
constexpr float kMonsterHeight = 48.0f;
// How close the player must come for a monster to stop and face it.
constexpr float kWalkingReach = 64.0f;
constexpr float kStandingReach = 256.0f;
constexpr float kFloatingReach = 32.0f;
// The player must step this much further off before the monster walks again.
constexpr float kReachSlack = 16.0f;
constexpr int kWalkingTurnPeriod = 300;
constexpr int kFloatingTurnPeriod = 200;
// Floating monsters stay within this band around the camera bounds.
constexpr float kFloatLeftMargin = 64.0f;
constexpr float kFloatRightMargin = 704.0f;

void UpdateNearByte(MonsterRecord& m, float reach) {
    float player = g_PlayerMotion.screenX;
    float screenX = m.x - g_StageState.cameraX;
    if (player > screenX - reach && player < screenX + reach && m.engage == kMonsterWandering)
        m.engage = kMonsterEngaged;
    if ((player <= screenX - reach - kReachSlack || player >= screenX + reach + kReachSlack) &&
        m.engage == kMonsterEngaged)
        m.engage = kMonsterWandering;
}

// Every `period` frames, staggered by slot, an even chance to turn about. The
// number is drawn also while the monster attacks, which keeps its course.
void MaybeTurn(MonsterRecord& m, int slot, int period) {
    if ((slot * 33 + g_FieldFrameCounter) % period != 0) return;
    int r = GameRand();
    if (r % 100 > 49 && m.specialMode == 0) m.speed = -m.speed;
}

// Counts towards the next chance of a random attack: one in three, every
// slot * 10 + 200 frames.
void MaybeStartAttack(MonsterRecord& m, int slot) {
    if (m.specialMode != 0) return;
    ++m.specialTrigger;
    if (m.specialTrigger < slot * 10 + 200) return;
    if (GameRand() % 3 == 0) {
        m.specialMode = 1;
        m.specialTimer = 0;
        m.speed = std::fabs(m.speed);
    }
    m.specialTrigger = 0;
}

void FaceBySpeed(MonsterRecord& m) { m.facesLeft = m.speed < 0.0f ? 1 : 0; }

void Move(MonsterRecord& m, const MonsterMoveRow& row, int slot, float step) {
    MoveActorOnMap(m.x, m.y, m.fallSpeed, step, m.fallSpeed, kMonsterWidth, kMonsterHeight, m.airborne, row.moveCode,
                   slot);
}

void Charge(MonsterRecord& m, const MonsterMoveRow& row, int slot) {
    if (row.charge == ChargeStep::None || m.specialMode == 0 || m.specialTimer <= row.chargeStart) return;
    if (row.jumpSpeed != 0.0f && m.specialTimer == row.chargeStart + 1) {
        m.airborne = 1;
        m.fallSpeed = row.jumpSpeed;
    }
    const float forward = m.facesLeft == 1 ? -1.0f : 1.0f;
    float step = 0.0f;
    switch (row.charge) {
        case ChargeStep::SpeedForward: step = m.speed * forward; break;
        case ChargeStep::SlowForward: step = kMonsterSlowCharge * forward; break;
        case ChargeStep::BackOff: step = -kMonsterBackOff * forward; break;
        default: break;
    }
    Move(m, row, slot, step);
}

void MoveWalking(MonsterRecord& m, const MonsterMoveRow& row, int slot) {
    UpdateNearByte(m, kWalkingReach);
    MaybeTurn(m, slot, kWalkingTurnPeriod);
    if (m.airborne == 1) m.fallSpeed += kGravity;
    // The backing-off kind steps back before it decides on a new attack.
    const bool chargeFirst = row.charge == ChargeStep::BackOff;
    if (chargeFirst) Charge(m, row, slot);
    MaybeStartAttack(m, slot);
    if (!chargeFirst) Charge(m, row, slot);
    // A monster near the player or attacking stands, but still falls and lands.
    bool walks = m.engage == kMonsterWandering && m.specialMode == 0;
    Move(m, row, slot, walks ? m.speed : 0.0f);
    if (m.specialMode == 0) FaceBySpeed(m);
}

void MoveStanding(MonsterRecord& m, const MonsterMoveRow& row, int slot) {
    UpdateNearByte(m, kStandingReach);
    if (m.airborne == 1) m.fallSpeed += kGravity;
    Move(m, row, slot, 0.0f);
    FaceBySpeed(m);
}

void MoveFloating(MonsterRecord& m, const MonsterMoveRow& row, int slot) {
    UpdateNearByte(m, kFloatingReach);
    MaybeTurn(m, slot, kFloatingTurnPeriod);
    MaybeStartAttack(m, slot);
    if (m.specialMode != 0 && m.specialTimer > row.chargeStart) {
        double third = m.speed / 3.0;
        m.x = static_cast<float>(m.facesLeft == 1 ? m.x - third : m.x + third);
    }
    if (m.engage == kMonsterWandering && m.specialMode == 0) {
        m.x += m.speed;
        float lowest = static_cast<float>(g_StageState.cameraLeftBound) - kFloatLeftMargin;
        float highest = static_cast<float>(g_StageState.cameraRightBound) + kFloatRightMargin;
        if (m.x < lowest) m.x = lowest;
        if (m.x > highest) m.x = highest;
    }
    if (m.specialMode == 0) FaceBySpeed(m);
}

}  // namespace

void MoveMonster(int kind, int slot) {
    if (kind < 0 || kind >= kMonsterKindCount || slot < 0 || slot >= kMonsterSlotCount) return;
    MonsterRecord& m = g_MonsterPools[kind][slot];
    const MonsterMoveRow& row = kMonsterMoveTable[kind];
    switch (row.pattern) {
        case MovePattern::Walking: MoveWalking(m, row, slot); break;
        case MovePattern::Standing: MoveStanding(m, row, slot); break;
        case MovePattern::Floating: MoveFloating(m, row, slot); break;
    }
}

void MoveMonsters() {
    for (int kind : kMonsterMoveOrder)
        for (int slot = 0; slot < kMonsterSlotCount; ++slot)
            if (g_MonsterPools[kind][slot].alive == kMonsterAlive) MoveMonster(kind, slot);
    MoveActorPools();
}
