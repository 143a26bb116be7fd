// The ordinary kinds 10 to 30: walkers that bite, and the floating kinds 28
// to 30 that dive at the player.
#include <cmath>

#include "rules/player_motion.h"
#include "rules/sub_screen.h"
#include "world/monsters/monster_combat.h"
#include "world/monsters/monster_drawing.h"
#include "world/monsters/monster_routines.h"
#include "world/monsters/monster_special.h"

namespace {

constexpr int kFirstOrdinaryKind = 10;
constexpr int kLastOrdinaryKind = 30;
constexpr int kEngagedFrame = 10;
constexpr int kWalkFrames = 10;
constexpr int kDiveFrames = 7;
constexpr int kDiveLength = 35;  // frames down; as many back up
constexpr int kBiteHitFrames = 3;
constexpr int kBiteFrames = 7;

constexpr SkillCArea kSkillCArea = {41, 40, 0.0f, 128.0f, SpecialChance::OneIn7};

// Frame times and attack periods divide; every ordinary kind has both.
constexpr bool OrdinaryDivisorsArePositive() {
    for (int kind = kFirstOrdinaryKind; kind <= kLastOrdinaryKind; ++kind)
        if (kMonsterKindParams[kind].frameTime < 6 || kMonsterKindParams[kind].attackPeriod <= 0) return false;
    return true;
}
static_assert(OrdinaryDivisorsArePositive());

// This routine's own blow multiplier, kept from call to call.
float g_BlowMultiplier = 1.0f;

bool IsFloatingKind(int kind) { return kind >= kFirstDivingKind && kind <= kLastOrdinaryKind; }

// The floating kinds bob gently and flap every other frame.
void DrawFloating(const int* sheet, int frame, const MonsterRecord& m, int lift, bool facingLeft, int slot) {
    DrawMonsterFrame(sheet, frame, m, lift, facingLeft, 7.0 * std::sin(slot + g_FieldFrameCounter / 30.0));
}

int FloatingFrame(int slot) { return ((slot * 39 + g_FieldFrameCounter) / 2) % kWalkFrames; }

void Dive(MonsterRecord& m, const int* sheet, const MonsterKindParams& p, int slot, int kind) {
    const int d = DiveOffset(m, p.drawLift, g_DiveTargetY[kind - kFirstDivingKind][slot], m.attackTimer, kDiveLength);
    DrawMonsterFrame(sheet, kEngagedFrame + ((slot * 39 + g_FieldFrameCounter) / 2) % kDiveFrames, m, p.drawLift,
                     PlayerIsLeftOf(m), d);
    AdvanceMonsterCounter(m.attackTimer);
    // Hits keyed to the timer land only on calls where it moved, never again
    // and again while a sub-screen holds it still.
    if (MonsterCountersRun() && m.attackTimer == kDiveLength && WithinPlayerHeight(m.y + d, 64, 64) &&
        FrontPointNearPlayer(m))
        HurtPlayer(static_cast<float>(p.attackPower - PlayerDef()), 1.7, p.accuracy);
    if (m.attackTimer > 2 * kDiveLength - 1) {
        m.engage = kMonsterEngaged;
        m.attackTimer = 0;
    }
}

void Bite(MonsterRecord& m, const int* sheet, const MonsterKindParams& p) {
    const int c6 = p.frameTime;
    DrawMonsterFrame(sheet, kEngagedFrame + m.attackTimer / c6, m, p.drawLift, PlayerIsLeftOf(m));
    AdvanceMonsterCounter(m.attackTimer);
    // No horizontal test: the game loop engages a monster only near the player.
    if (MonsterCountersRun() && m.attackTimer == kBiteHitFrames * c6 && WithinPlayerHeight(m.y, 64, 64))
        HurtPlayer(static_cast<float>(p.attackPower - PlayerDef()), 1.7, p.accuracy);
    if (m.attackTimer >= kBiteFrames * c6) {
        m.engage = kMonsterEngaged;
        m.attackTimer = 0;
    }
}

void OrdinaryBehaviour(MonsterRecord& m, const int* sheet, const MonsterKindParams& p, int slot, int kind) {
    const bool floating = IsFloatingKind(kind);
    if (m.engage == kMonsterWandering) {
        const bool facingLeft = m.speed < 0;
        if (floating)
            DrawFloating(sheet, FloatingFrame(slot), m, p.drawLift, facingLeft, slot);
        else
            DrawMonsterFrame(sheet, m.airborne == 0 ? ((slot * 39 + g_FieldFrameCounter) / p.frameTime) % kWalkFrames : 0,
                             m, p.drawLift, facingLeft);
        return;
    }
    if (m.engage != kMonsterEngaged && m.engage != kMonsterAttacking) return;
    if (m.engage == kMonsterEngaged) {
        const bool facingLeft = PlayerIsLeftOf(m);
        if (floating)
            DrawFloating(sheet, FloatingFrame(slot), m, p.drawLift, facingLeft, slot);
        else
            DrawMonsterFrame(sheet, kEngagedFrame, m, p.drawLift, facingLeft);
        m.facesLeft = facingLeft ? 1 : 0;
    }
    // The attack period also restarts an attack under way; every kind's
    // period is longer than its attack.
    if ((slot * 33 + g_FieldFrameCounter) % p.attackPeriod == 0) {
        m.engage = kMonsterAttacking;
        m.attackTimer = 0;
        if (floating) g_DiveTargetY[kind - kFirstDivingKind][slot] = g_PlayerMotion.y;
    }
    if (m.engage != kMonsterAttacking) return;
    if (floating)
        Dive(m, sheet, p, slot, kind);
    else
        Bite(m, sheet, p);
}

}  // namespace

void UpdateMonsters(MonsterRecord& m, const int* sheet, const MonsterKindParams& params, int slot, int kind) {
    const std::int32_t reachBonus = AerialReachBonus(23, 0);
    UpdateBlowMultiplier(g_BlowMultiplier);
    if (m.alive == kMonsterAlive) {
        // Tested once: a hit that kills in this call does not stop the rest.
        TakePlayerHits(m, params, kSkillCArea, 28, static_cast<float>(64 + reachBonus), g_BlowMultiplier);
        if (m.specialMode == 1 && m.engage != kMonsterAttacking)
            RunOrdinarySpecialMode(m, sheet, params, slot, kind);
        else
            OrdinaryBehaviour(m, sheet, params, slot, kind);
    }
    if (m.alive == kMonsterDying) {
        if (DyingBodyShows()) DrawMonsterFrame(sheet, 0, m, params.drawLift, m.facesLeft == 1);
        CountDying(m);
    }
}
