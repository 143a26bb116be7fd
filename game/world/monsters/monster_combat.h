// The fighting rules the ordinary, large and fixed monster routines share:
// the player's blows and SkillC against a monster, a monster's attacks
// against the player, the rolls and the order of the random draws.
//
// Every roll and every damage figure draws from the game's one generator in
// a fixed order, so the same play gives the same fight on every run.
#pragma once

#include <cstdint>

#include "world/monsters/monster_kind_params.h"
#include "world/monsters/monster_record.h"

// (frame counter mod 101 + rand() mod 101) mod 101: 0 to 100, one draw.
int CombatRoll();

// The player's figures as the fights use them, from the stat totals of this
// frame: DEF = base VIT + equipment DEF + level / 2 + (base VIT / 10)^2;
// MATK = 3 INT + (INT / 4)^2 + 30; the blow's ATK counts SkillB's accuracy
// bonus in both STR and DEX.
std::int32_t PlayerDef();
std::int32_t PlayerMatk();
std::int32_t PlayerBlowAtk();

// True on the frames the monsters' timers run: no sub-screen is open.
bool MonsterCountersRun();
// Adds 1 to a monster counter unless a sub-screen holds it still.
void AdvanceMonsterCounter(std::int32_t& counter);

// How a landed hit may start the monster's special mode.
enum class SpecialChance : std::uint8_t {
    None,      // never, and nothing is drawn
    OneIn7,    // rand() mod 7 == 0
    OneIn13,   // rand() mod 13 == 0
    Blow,      // rand() mod 40 < combo step + 1; the running blow draws a second chance
};

struct MonsterHit {
    float baseDamage;
    int rangeModulus;  // the damage range is rand() mod rangeModulus + rangeBase, in percent
    int rangeBase;
    std::int32_t accuracy;  // the player's side of the hit roll
    SpecialChance chance;
    float criticalBase;
};

// The hits of SkillC and of a blow with the routine's current multiplier.
MonsterHit SkillCHit(SpecialChance chance);
MonsterHit BlowHit(float blowMultiplier);

// Resolves one hit on the monster and records it in the slot's damage
// numbers: damage, hit roll against the kind's evasion, special chance,
// critical roll; then the hit sound, the HP, and at 0 HP or below the dying
// state and the kind's EXP and Vesk, paid on every such hit.
void HitMonster(MonsterRecord& m, const MonsterKindParams& params, const MonsterHit& hit);

// A monster attack on the player with base damage `base` and dodge factor
// `dodge`, against the kind's accuracy: the damage, the dodge rolls, the hurt
// sound, the HP (never below 0) and the player's damage numbers.
void HurtPlayer(float base, double dodge, std::int32_t accuracy);

// The per-call values of a routine: the reach bonus of the aerial blow, and
// the blow multiplier, which keeps its last value at combo steps that strike
// no blow. Each routine keeps its own multiplier.
std::int32_t AerialReachBonus(std::int32_t aerial, std::int32_t otherwise);
void UpdateBlowMultiplier(float& multiplier);

// The strike bytes differ: the player's blow strikes on this call.
bool BlowStrikesNow();

// The blow's reach against a monster (strict tests): horizontally within
// halfWidth of the monster's centre in front of the player, vertically from
// 64 pixels above the player's y to `below` under it; and the slot free for
// a new number.
bool BlowReaches(const MonsterRecord& m, float halfWidth, float below);

// SkillC against one slot while SkillC is running or recovering. The slot's
// hit count goes up by one per call from 1 to `countLimit`; the area hits
// when the count is a multiple of `spacing` below the limit (0 included), the
// monster lies within 32 pixels of the effect horizontally and between
// areaTop and areaBottom below the effect's origin y, and its number slot is
// free.
struct SkillCArea {
    int countLimit;
    int spacing;
    float areaTop;
    float areaBottom;
    SpecialChance chance;
};
void TestSkillCHit(MonsterRecord& m, const MonsterKindParams& params, const SkillCArea& area);

// The player's hits on a live slot in one call: SkillC's, then the blow's
// when it strikes on this call and reaches the monster.
void TakePlayerHits(MonsterRecord& m, const MonsterKindParams& params, const SkillCArea& area, float blowHalfWidth,
                    float blowBelow, float blowMultiplier);

// plY - above < y < plY + below, strict, with plY the player's y.
bool WithinPlayerHeight(float y, float above, float below);
// A point in front of the monster lies strictly within 64 pixels of the
// player's screen x: the point x - camera x - span * facesLeft + ahead, which
// for the body box (64, 32) is 32 pixels ahead on the side it faces.
bool FrontPointNearPlayer(const MonsterRecord& m, float span = 64, float ahead = 32);

// The vertical offset of a dive `t` frames in: down over the first `half`
// frames towards 100 pixels above `target` (the player's y when it began),
// back up over the next `half`.
int DiveOffset(const MonsterRecord& m, int lift, float target, int t, int half);

// The dying state: the body blinks 4 frames on, 4 off (this tells whether
// it shows on this frame); the 201st call frees the slot. The dying timer
// counts on every call, also under a sub-screen.
bool DyingBodyShows();
void CountDying(MonsterRecord& m);
