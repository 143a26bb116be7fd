// The player's persistent values: everything a save file keeps. Fighting
// figures are not stored; they are derived every frame (derived_stats.h).
#pragma once

#include <cstdint>

constexpr int kSaveSlotCount = 4;
constexpr int kDifficultyCount = 5;  // VERY EASY, EASY, NORMAL, HARD, VERY HARD
constexpr std::int8_t kFirstStage = 1;
constexpr std::int8_t kLastStage = 61;

enum Difficulty : std::uint8_t {
    kDifficultyVeryEasy = 0,
    kDifficultyEasy = 1,
    kDifficultyNormal = 2,
    kDifficultyHard = 3,
    kDifficultyVeryHard = 4,
};

struct PlayerRecord {
    std::int32_t money;  // Vesk
    std::int32_t hp;
    std::int32_t maxHp;
    std::int32_t sp;
    std::int32_t maxSp;
    // Base stats; items add to all but VIT.
    std::int32_t agi;
    std::int32_t str;
    std::int32_t intel;
    std::int32_t dex;
    std::int32_t vit;
    std::int32_t luk;
    std::int32_t level;       // 1 to 89
    std::int32_t exp;         // progress inside the current level
    std::int32_t statPoints;  // not yet spent
    // Equipped rows of the four equipment tables.
    std::int32_t weaponRow;
    std::int32_t armourRow;
    std::int32_t shieldRow;
    std::int32_t accessoryRow;
    std::int8_t stage;  // 1 to 61
    // Where the next stage load puts camera and player.
    std::int32_t arrivalCameraX;
    std::int32_t arrivalPlayerY;
    std::int32_t arrivalScreenX;
    std::uint8_t difficulty;  // a Difficulty
    std::uint8_t saveSlot;    // 0 to 3
};

extern PlayerRecord g_PlayerRecord;
