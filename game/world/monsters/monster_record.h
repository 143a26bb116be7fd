// One monster slot, and the 32 pools of 20 slots that every part of the game
// world shares: placement fills them, the stage reset empties them, the game
// loop moves them and the behaviour routines fight and draw them.
#pragma once

#include <cstdint>

constexpr int kMonsterKindCount = 32;
constexpr int kMonsterSlotCount = 20;
constexpr int kMonsterPopupCount = 5;

// Values of MonsterRecord::alive.
constexpr std::uint8_t kMonsterFree = 0;
constexpr std::uint8_t kMonsterAlive = 1;
constexpr std::uint8_t kMonsterDying = 2;

// Values of MonsterRecord::engage.
constexpr std::uint8_t kMonsterWandering = 0;
constexpr std::uint8_t kMonsterEngaged = 1;
constexpr std::uint8_t kMonsterAttacking = 2;

struct MonsterRecord {
    float speed;      // pixels per frame; the sign is the direction of travel (positive = right)
    float x;          // world x of the centre
    float y;          // world y of the centre
    float fallSpeed;  // vertical speed; gravity is added while airborne
    std::uint8_t airborne;
    std::uint8_t alive;  // kMonsterFree, kMonsterAlive or kMonsterDying
    std::int32_t hp;
    std::uint8_t engage;  // kMonsterWandering, kMonsterEngaged or kMonsterAttacking
    std::int32_t attackTimer;
    // The slot's floating damage numbers: value 0 is a miss, above 100000 a
    // critical hit of value - 100000.
    std::int32_t popupValue[kMonsterPopupCount];
    std::int32_t popupTimer[kMonsterPopupCount];
    std::uint8_t popupCursor;  // entry the next hit writes
    std::uint8_t facesLeft;    // 1: sheet frames drawn plain; 0: drawn mirrored
    std::int32_t dyingTimer;
    std::uint8_t skillHitCount;
    std::uint8_t specialMode;
    std::int32_t specialTrigger;
    std::int32_t specialTimer;
};

// g_MonsterPools[kind][slot]. Every loop over a kind runs over all 20 slots;
// `alive` says which of them hold a monster.
extern MonsterRecord g_MonsterPools[kMonsterKindCount][kMonsterSlotCount];

// The floating kinds 28 to 31 keep a dive target y per slot, used only by
// their behaviour routines: row = kind - 28.
constexpr int kFirstDivingKind = 28;
extern float g_DiveTargetY[kMonsterKindCount - kFirstDivingKind][kMonsterSlotCount];
