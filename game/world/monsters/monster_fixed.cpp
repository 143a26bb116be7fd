// The fixed kinds 6 to 9: rooted monsters that turn towards the player and
// strike it from afar, the blow falling where the player stands.
#include <kelvo/api.h>

#include "engine/handles.h"
#include "rules/player_motion.h"
#include "rules/sub_screen.h"
#include "world/monsters/monster_combat.h"
#include "world/monsters/monster_drawing.h"
#include "world/monsters/monster_routines.h"

namespace {

constexpr int kStrikeFrame = 10;

// SkillC strikes a fixed monster at most three times a cast and never
// starts its special mode (which nothing here would run).
constexpr SkillCArea kSkillCArea = {61, 30, -128.0f, 128.0f, SpecialChance::None};

// This routine's own blow multiplier, kept from call to call.
float g_BlowMultiplier = 1.0f;

// The idle cycle, facing the player.
void DrawFacingPlayer(MonsterRecord& m, const int* sheet, const MonsterKindParams& p) {
    const bool facingLeft = PlayerIsLeftOf(m);
    DrawMonsterFrame(sheet, (g_FieldFrameCounter / 12) % 10, m, p.drawLift, facingLeft);
    m.facesLeft = facingLeft ? 1 : 0;
}

void Behaviour(MonsterRecord& m, const int* sheet, const MonsterKindParams& p, int slot) {
    if (m.engage == kMonsterWandering) {
        // These kinds keep speed 0, so a wandering one faces right.
        DrawMonsterFrame(sheet, m.airborne != 0 ? 0 : ((slot * 39 + g_FieldFrameCounter) / 12) % 10, m, p.drawLift,
                         m.speed < 0);
        return;
    }
    if (m.engage == kMonsterEngaged) DrawFacingPlayer(m, sheet, p);
    if ((slot * 33 + g_FieldFrameCounter) % p.attackPeriod == 0) {
        m.engage = kMonsterAttacking;
        m.attackTimer = 0;
    }
    if (m.engage != kMonsterAttacking) return;
    DrawFacingPlayer(m, sheet, p);
    // The strike is drawn over the player, at the monster's height, never
    // mirrored.
    const int frame = kStrikeFrame + m.attackTimer / 12;
    if (frame < kMonsterSheetFrames)
        ApiBlitGraph(static_cast<int>(g_PlayerMotion.screenX - 64), static_cast<int>(m.y - 64 - p.drawLift), sheet[frame],
                     1);
    AdvanceMonsterCounter(m.attackTimer);
    // It reaches the player anywhere across the screen; it lands only on a
    // call where the timer moved.
    if (MonsterCountersRun() && m.attackTimer == 36 && WithinPlayerHeight(m.y, 16, 128))
        HurtPlayer(static_cast<float>(p.attackPower - PlayerDef()), 1.7, p.accuracy);
    if (m.attackTimer > 83) {
        m.engage = kMonsterEngaged;
        m.attackTimer = 0;
    }
}

}  // namespace

void UpdateFixedMonsters(MonsterRecord& m, const int* sheet, const MonsterKindParams& params, int slot, int /*kind*/) {
    const std::int32_t reachBonus = AerialReachBonus(23, 0);
    UpdateBlowMultiplier(g_BlowMultiplier);
    if (m.alive == kMonsterAlive) {
        TakePlayerHits(m, params, kSkillCArea, 28, static_cast<float>(64 + reachBonus), g_BlowMultiplier);
        Behaviour(m, sheet, params, slot);
    }
    if (m.alive == kMonsterDying) {
        if (DyingBodyShows()) DrawMonsterFrame(sheet, 0, m, params.drawLift, m.facesLeft == 1);
        CountDying(m);
    }
}
