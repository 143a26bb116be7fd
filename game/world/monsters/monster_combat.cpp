#include "world/monsters/monster_combat.h"

#include <kelvo/api.h>

#include <cmath>
#include <limits>

#include "engine/game_random.h"
#include "engine/handles.h"
#include "rules/derived_stats.h"
#include "rules/equipment_tables.h"
#include "rules/player_action_state.h"
#include "rules/player_motion.h"
#include "rules/player_record.h"
#include "rules/stats.h"
#include "rules/sub_screen.h"
#include "world/monsters/damage_numbers.h"
#include "world/stages/stage_state.h"

namespace {

constexpr std::int32_t kInt32Max = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kInt32Min = std::numeric_limits<std::int32_t>::min();

// Float-to-integer conversion truncates toward zero. Figures that only
// absurd stats could push past 32 bits stop at its ends rather than being
// undefined.
std::int32_t Truncate(double value) {
    if (!(value > static_cast<double>(kInt32Min))) return kInt32Min;
    if (!(value < static_cast<double>(kInt32Max))) return kInt32Max;
    return static_cast<std::int32_t>(value);
}

std::int32_t Saturate(std::int64_t value) {
    return value > kInt32Max ? kInt32Max : (value < kInt32Min ? kInt32Min : static_cast<std::int32_t>(value));
}

void PlayEffect(int effect) { ApiPlaySoundHandle(g_SoundEffectHandles[effect], 1, 1); }

std::int32_t WeaponAtk() {
    const EquipmentRecord* weapon = FindEquipment(kEquipWeapon, g_PlayerRecord.weaponRow);
    return weapon != nullptr ? weapon->atk : 0;
}

bool ChanceHolds(SpecialChance chance) {
    switch (chance) {
        case SpecialChance::None: return false;
        case SpecialChance::OneIn7: return GameRand() % 7 == 0;
        case SpecialChance::OneIn13: return GameRand() % 13 == 0;
        case SpecialChance::Blow: return GameRand() % 40 < g_PlayerActionState.comboStep + 1;
    }
    return false;
}

void ArmSpecialMode(MonsterRecord& m) {
    if (m.specialMode != 0) return;
    m.specialMode = 1;
    m.specialTimer = 0;
    m.speed = std::fabs(m.speed);
}

}  // namespace

int CombatRoll() { return (g_FieldFrameCounter % 101 + GameRand() % 101) % 101; }

std::int32_t PlayerDef() {
    const DerivedStats& s = g_DerivedStats;
    return ComputeDisplayFigures(s.strTotal, s.dexTotal, s.intTotal, s.lukTotal, s.equipmentDef, 0).def;
}

std::int32_t PlayerMatk() {
    const DerivedStats& s = g_DerivedStats;
    return ComputeDisplayFigures(s.strTotal, s.dexTotal, s.intTotal, s.lukTotal, s.equipmentDef, 0).matk;
}

std::int32_t PlayerBlowAtk() {
    const DerivedStats& s = g_DerivedStats;
    const std::int32_t bonus = g_PlayerActionState.accuracyBonus;
    return ComputeDisplayFigures(Saturate(std::int64_t{s.strTotal} + bonus), Saturate(std::int64_t{s.dexTotal} + bonus),
                                 s.intTotal, s.lukTotal, s.equipmentDef, WeaponAtk())
        .atk;
}

bool MonsterCountersRun() { return g_SubScreenMode == kSubScreenNone; }

void AdvanceMonsterCounter(std::int32_t& counter) {
    if (MonsterCountersRun()) ++counter;
}

MonsterHit SkillCHit(SpecialChance chance) {
    const std::int32_t matk = PlayerMatk();
    const std::int64_t accuracy = std::int64_t{g_DerivedStats.dexTotal} + g_PlayerActionState.accuracyBonus + 10;
    return MonsterHit{static_cast<float>(matk), 41, 80, Saturate(accuracy), chance,
                      static_cast<float>(2 * std::int64_t{matk})};
}

MonsterHit BlowHit(float blowMultiplier) {
    const std::int32_t atk = PlayerBlowAtk();
    const std::int64_t accuracy = std::int64_t{g_DerivedStats.dexTotal} + g_PlayerActionState.accuracyBonus;
    return MonsterHit{static_cast<float>(atk) * blowMultiplier, 21, 90, Saturate(accuracy), SpecialChance::Blow,
                      static_cast<float>(2.0 * blowMultiplier * atk)};
}

void HitMonster(MonsterRecord& m, const MonsterKindParams& params, const MonsterHit& hit) {
    // The order of the draws is part of the game: range, hit roll, special
    // chance(s), critical roll, critical range.
    std::int32_t& entry = MonsterPopupValueAtCursor(m);
    const int range = GameRand() % hit.rangeModulus + hit.rangeBase;
    entry = Truncate(range / 100.0 * hit.baseDamage);

    const int roll = CombatRoll();
    if (2 * (std::int64_t{params.evasion} - hit.accuracy) > roll) {
        entry = 0;  // MISS
    } else {
        if (ChanceHolds(hit.chance)) ArmSpecialMode(m);
        // The running blow has a second chance, drawn whatever the first gave.
        if (hit.chance == SpecialChance::Blow && g_PlayerActionState.comboStep == kComboRunningBlow &&
            GameRand() % 40 < 13)
            ArmSpecialMode(m);
        const std::int32_t criticalChance = g_DerivedStats.lukTotal / 2 + 3;
        if (criticalChance > CombatRoll()) {
            const int criticalRange = GameRand() % 61 + 70;
            entry = Truncate(criticalRange / 100.0 * hit.criticalBase + static_cast<double>(kCriticalPopupOffset));
        }
    }

    // The common tail. It pays the rewards on every hit that leaves the HP at
    // 0 or below, so a second hit in the same call (even a miss) pays again.
    const std::int32_t value = entry;
    if (value > 0) PlayEffect(kSoundBomb);
    const std::int32_t damage = value > kCriticalPopupOffset ? value - kCriticalPopupOffset : value;
    m.hp = Saturate(std::int64_t{m.hp} - damage);
    if (m.hp <= 0) {
        m.alive = kMonsterDying;
        m.dyingTimer = 0;
        g_PlayerRecord.exp = Saturate(std::int64_t{g_PlayerRecord.exp} + params.exp);
        g_PlayerRecord.money = Saturate(std::int64_t{g_PlayerRecord.money} + params.vesk);
    }
    AdvanceMonsterPopup(m);
}

void HurtPlayer(float base, double dodge, std::int32_t accuracy) {
    const int range = GameRand() % 21 + 90;
    std::int32_t value = Truncate(range / 100.0 * base);
    // The second dodge roll is drawn only when the first succeeds.
    if (CombatRoll() < dodge * (static_cast<double>(g_DerivedStats.agiTotal) - accuracy) && CombatRoll() > 7) value = 0;
    if (value < 0) value = 0;
    PlayerPopupValueAtCursor() = value;
    if (value > 0) PlayEffect(kSoundDie);
    std::int32_t& hp = g_PlayerRecord.hp;
    hp = Saturate(std::int64_t{hp} - value);
    if (hp <= 0) hp = 0;
    AdvancePlayerPopup();
}

std::int32_t AerialReachBonus(std::int32_t aerial, std::int32_t otherwise) {
    return g_PlayerActionState.comboStep == kComboAirAttack ? aerial : otherwise;
}

void UpdateBlowMultiplier(float& multiplier) {
    switch (g_PlayerActionState.comboStep) {
        case 0:
        case 1: multiplier = 1.0f; break;
        case 2: multiplier = 1.7f; break;
        case kComboRunningBlow: multiplier = 1.3f; break;
        case kComboAirAttack: multiplier = 0.7f; break;
        default: break;  // no blow strikes at this step
    }
}

bool BlowStrikesNow() { return g_PlayerActionState.strike != g_PlayerActionState.previousStrike; }

bool BlowReaches(const MonsterRecord& m, float halfWidth, float below) {
    const float camX = g_StageState.cameraX;
    const float plX = g_PlayerMotion.screenX;
    const bool inFront = g_PlayerMotion.facing == 0
                             ? (m.x + halfWidth - camX > plX + 32 && m.x - halfWidth - camX < plX + 96)
                             : (m.x - halfWidth - camX < plX - 32 && m.x + halfWidth - camX > plX - 96);
    return inFront && WithinPlayerHeight(m.y, 64, below) && IsPopupEntryFree(m);
}

void TestSkillCHit(MonsterRecord& m, const MonsterKindParams& params, const SkillCArea& area) {
    const PlayerActionState& action = g_PlayerActionState;
    if (action.skillCState == kSkillReady) return;
    // This count runs on every call, also under a sub-screen.
    if (m.skillHitCount > 0 && m.skillHitCount < area.countLimit) ++m.skillHitCount;
    const float camX = g_StageState.cameraX;
    const float left = action.skillCOriginX - action.skillCScrollOffset;
    const bool inArea = m.x + 32 - camX > left && m.x - 32 - camX < left + 64 &&
                        action.skillCOriginY + area.areaTop < m.y && m.y < action.skillCOriginY + area.areaBottom;
    const bool countHits = m.skillHitCount % area.spacing == 0 && m.skillHitCount < area.countLimit;
    if (!inArea || !IsPopupEntryFree(m) || !countHits) return;
    ++m.skillHitCount;
    HitMonster(m, params, SkillCHit(area.chance));
}

void TakePlayerHits(MonsterRecord& m, const MonsterKindParams& params, const SkillCArea& area, float blowHalfWidth,
                    float blowBelow, float blowMultiplier) {
    TestSkillCHit(m, params, area);
    if (BlowStrikesNow() && BlowReaches(m, blowHalfWidth, blowBelow)) HitMonster(m, params, BlowHit(blowMultiplier));
}

bool WithinPlayerHeight(float y, float above, float below) {
    const float plY = g_PlayerMotion.y;
    return plY - above < y && y < plY + below;
}

bool FrontPointNearPlayer(const MonsterRecord& m, float span, float ahead) {
    const float plX = g_PlayerMotion.screenX;
    const float front = m.x - g_StageState.cameraX - span * m.facesLeft + ahead;
    return plX - 64 < front && front < plX + 64;
}

int DiveOffset(const MonsterRecord& m, int lift, float target, int t, int half) {
    const float span = target - (m.y - 64 - lift) - 100;
    return static_cast<int>(t < half ? span * t / half : span * (2 * half - t) / half);
}

bool DyingBodyShows() { return (g_FieldFrameCounter / 4) % 2 == 1; }

void CountDying(MonsterRecord& m) {
    if (++m.dyingTimer > 200) {
        m.dyingTimer = 0;
        m.alive = kMonsterFree;
    }
}
