// The large kinds 0 to 5 and 31: bosses drawn at twice the size of their
// frames. Kind 31 floats and dives; the others walk and strike.
#include <kelvo/api.h>

#include <cmath>

#include "engine/handles.h"
#include "rules/player_motion.h"
#include "rules/sub_screen.h"
#include "world/monsters/monster_combat.h"
#include "world/monsters/monster_drawing.h"
#include "world/monsters/monster_routines.h"
#include "world/stages/stage_state.h"

namespace {

constexpr int kDivingBoss = 31;
constexpr int kGasBoss = 4;
constexpr int kReadyFrame = 10;
constexpr int kDiveLength = 35;

constexpr SkillCArea kSkillCArea = {121, 30, 0.0f, 160.0f, SpecialChance::OneIn13};

// This routine's own blow multiplier, kept from call to call.
float g_BlowMultiplier = 1.0f;

// Kinds 2 and 31 are dazed as long as the kinds run just before them in the
// game loop (1 and 5); they have those lengths of their own here, so the
// order of the calls does not matter.
int LargeDazeLength(int kind) { return kind == 3 || kind == 5 || kind == kDivingBoss ? 256 : 128; }

// The walkers' special attacks: frame 10 + attackTimer / divisor, a hit at
// `hitAt` for c4 * c4Factor - DEF, a cycle that restarts above `cycleEnd`,
// and the end of the mode `span` frames after the daze or, with span 0,
// on landing after `landingAfter` frames of the mode.
struct WalkerSpecial {
    int divisor;
    int hitAt;
    double c4Factor;
    int cycleEnd;
    int span;
    int landingAfter;
};

WalkerSpecial WalkerSpecialOf(int kind) {
    switch (kind) {
        case 3: return {12, 36, 1.5, 83, 252, 0};
        case 2: return {4, 12, 1.0, 27, 384, 0};
        case 5: return {4, 12, 1.0, 27, 0, 257};
        default: return {12, 36, 1.7, 83, 0, 129};  // 0 and 1
    }
}

void EndSpecialMode(MonsterRecord& m) {
    m.specialMode = 0;
    m.specialTimer = 0;
    m.attackTimer = 0;
}

void Draw(const int* sheet, int frame, const MonsterRecord& m, const MonsterKindParams& p, bool facingLeft,
          double yOffset = 0.0) {
    DrawLargeMonsterFrame(sheet, frame, m, p.drawLift, facingLeft, yOffset);
}

// Kind 31 hovers, bobbing, with a slower wing beat than the small fliers.
void DrawHovering(const int* sheet, const MonsterRecord& m, const MonsterKindParams& p, int slot, bool facingLeft) {
    const int fc = g_FieldFrameCounter;
    Draw(sheet, ((slot * 39 + fc) / 3) % 10, m, p, facingLeft, 7.0 * std::sin(fc / 30.0 + slot));
}

float& DiveTarget(int slot) { return g_DiveTargetY[kDivingBoss - kFirstDivingKind][slot]; }

int DiveFrame(int slot) { return kReadyFrame + ((slot * 39 + g_FieldFrameCounter) / 3) % 7; }

void Hurt(const MonsterKindParams& p, double c4Factor, double dodge) {
    HurtPlayer(static_cast<float>(p.attackPower * c4Factor - PlayerDef()), dodge, p.accuracy);
}

void Wander(MonsterRecord& m, const int* sheet, const MonsterKindParams& p, int slot, int kind) {
    const bool facingLeft = m.speed < 0;
    if (kind == kDivingBoss)
        DrawHovering(sheet, m, p, slot, facingLeft);
    else
        Draw(sheet, m.airborne != 0 ? 0 : ((slot * 39 + g_FieldFrameCounter) / 12) % 10, m, p, facingLeft);
}

void Engaged(MonsterRecord& m, const int* sheet, const MonsterKindParams& p, int slot, int kind) {
    if (m.engage == kMonsterEngaged) {
        const bool facingLeft = PlayerIsLeftOf(m);
        m.facesLeft = facingLeft ? 1 : 0;
        if (kind == kDivingBoss)
            DrawHovering(sheet, m, p, slot, facingLeft);
        else
            Draw(sheet, kReadyFrame, m, p, facingLeft);
    }
    if ((slot * 33 + g_FieldFrameCounter) % p.attackPeriod == 0) {
        m.engage = kMonsterAttacking;
        m.attackTimer = 0;
        if (kind == kDivingBoss) DiveTarget(slot) = g_PlayerMotion.y;
    }
    if (m.engage != kMonsterAttacking) return;
    // Hits keyed to the timer land only on calls where it moved.
    if (kind == kDivingBoss) {
        const int offset = DiveOffset(m, p.drawLift, DiveTarget(slot), m.attackTimer, kDiveLength);
        Draw(sheet, DiveFrame(slot), m, p, PlayerIsLeftOf(m), offset);
        AdvanceMonsterCounter(m.attackTimer);
        if (MonsterCountersRun() && m.attackTimer == kDiveLength && WithinPlayerHeight(m.y + offset, 64, 64) &&
            FrontPointNearPlayer(m))
            Hurt(p, 1.0, 1.7);
        if (m.attackTimer > 69) {
            m.engage = kMonsterEngaged;
            m.attackTimer = 0;
        }
        return;
    }
    Draw(sheet, kReadyFrame + m.attackTimer / 12, m, p, PlayerIsLeftOf(m));
    AdvanceMonsterCounter(m.attackTimer);
    // No horizontal test: a large monster's blow reaches across the screen.
    if (MonsterCountersRun() && m.attackTimer == 36 && WithinPlayerHeight(m.y, 96, 96)) Hurt(p, 1.0, 1.7);
    if (m.attackTimer > 83) {
        m.engage = kMonsterEngaged;
        m.attackTimer = 0;
    }
}

void WalkerSpecialAttack(MonsterRecord& m, const int* sheet, const MonsterKindParams& p, int kind, int daze) {
    const WalkerSpecial s = WalkerSpecialOf(kind);
    Draw(sheet, kReadyFrame + m.attackTimer / s.divisor, m, p, m.facesLeft == 1);
    AdvanceMonsterCounter(m.attackTimer);
    if (MonsterCountersRun() && m.attackTimer == s.hitAt && WithinPlayerHeight(m.y, 64, 64) && FrontPointNearPlayer(m))
        Hurt(p, s.c4Factor, 1.2);
    if (m.attackTimer > s.cycleEnd) {
        m.engage = kMonsterWandering;
        m.attackTimer = 0;
    }
    if (s.span > 0) {
        // These end with the attack timer as it stands.
        if (m.specialTimer >= daze + s.span) {
            m.specialMode = 0;
            m.specialTimer = 0;
        }
    } else if (m.airborne == 0 && m.specialTimer > s.landingAfter) {
        EndSpecialMode(m);
    }
}

// Kind 4 swells a gas cloud in front of itself and breathes it three times.
void GasAttack(MonsterRecord& m, const int* sheet, const MonsterKindParams& p, int daze) {
    const bool facingLeft = m.facesLeft == 1;
    const int frame = m.specialTimer < daze + 84 ? kReadyFrame + m.attackTimer / 12 : kReadyFrame;
    Draw(sheet, frame, m, p, facingLeft);
    const int q = (m.attackTimer - 36) / 12;
    if (q >= 0 && q < 8) {
        ApiSetBlendModeParam(kBlendAdd, 255);
        const float camX = g_StageState.cameraX;
        const int x = static_cast<int>(facingLeft ? m.x - 96 - camX : m.x + 96 - camX);
        ApiRotateBlitGraph(x, static_cast<int>(m.y - p.drawLift + 32), (m.attackTimer - 36) / 84.0 + 2.0, 0.0,
                           g_GasEffectFrames[q], 1, 0);
        ApiSetBlendModeParam(kBlendNone, 0);
    }
    AdvanceMonsterCounter(m.attackTimer);
    const int at = m.attackTimer;
    if (MonsterCountersRun() && (at == 36 || at == 60 || at == 84) && WithinPlayerHeight(m.y, 68, 132) &&
        FrontPointNearPlayer(m, 184, 92))
        HurtPlayer(static_cast<float>(p.attackPower - PlayerDef()), 1.2, p.accuracy);
    if ((at - 36) / 12 > 7) EndSpecialMode(m);
}

// Kind 31 dives five times, 50 frames each, at where the player stood.
void DiveAttack(MonsterRecord& m, const int* sheet, const MonsterKindParams& p, int slot) {
    const int t = m.attackTimer % 50;
    if (t == 0) DiveTarget(slot) = g_PlayerMotion.y;
    const int offset = DiveOffset(m, p.drawLift, DiveTarget(slot), t, 25);
    Draw(sheet, DiveFrame(slot), m, p, PlayerIsLeftOf(m), offset);
    AdvanceMonsterCounter(m.attackTimer);
    if (MonsterCountersRun() && m.attackTimer % 50 == 25 && WithinPlayerHeight(m.y + offset, 64, 64) &&
        FrontPointNearPlayer(m))
        HurtPlayer(static_cast<float>(p.attackPower - PlayerDef()), 1.7, p.accuracy);
    if (m.attackTimer > 249) EndSpecialMode(m);
}

void SpecialMode(MonsterRecord& m, const int* sheet, const MonsterKindParams& p, int slot, int kind) {
    const int daze = LargeDazeLength(kind);
    AdvanceMonsterCounter(m.specialTimer);
    if (m.specialTimer < daze) {
        const bool facingLeft = PlayerIsLeftOf(m);
        m.facesLeft = facingLeft ? 1 : 0;
        DrawDazed(m.specialTimer, [&] { Draw(sheet, kReadyFrame, m, p, facingLeft); });
        return;
    }
    if (kind == kGasBoss)
        GasAttack(m, sheet, p, daze);
    else if (kind == kDivingBoss)
        DiveAttack(m, sheet, p, slot);
    else
        WalkerSpecialAttack(m, sheet, p, kind, daze);
}

}  // namespace

void UpdateLargeMonsters(MonsterRecord& m, const int* sheet, const MonsterKindParams& params, int slot, int kind) {
    const std::int32_t reachBonus = AerialReachBonus(23, -32);
    UpdateBlowMultiplier(g_BlowMultiplier);
    if (m.alive == kMonsterAlive) {
        TakePlayerHits(m, params, kSkillCArea, 56, static_cast<float>(128 + reachBonus), g_BlowMultiplier);
        if (m.specialMode == 1 && m.engage != kMonsterAttacking)
            SpecialMode(m, sheet, params, slot, kind);
        else if (m.engage == kMonsterWandering)
            Wander(m, sheet, params, slot, kind);
        else
            Engaged(m, sheet, params, slot, kind);
    }
    if (m.alive == kMonsterDying) {
        if (DyingBodyShows()) Draw(sheet, 0, m, params, m.facesLeft == 1);
        CountDying(m);
    }
}
