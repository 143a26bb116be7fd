// The range of every value a game can put into a save file, worked out from
// the game's own rules. A save file is checked against them when it loads:
// anything outside can only come from a damaged file. Each bound is the most
// that any way of playing reaches, so no real save is ever refused.
#pragma once

#include <cstdint>

#include "engine/playfield.h"
#include "rules/equipment_tables.h"
#include "rules/exp_table.h"
#include "rules/player_record.h"

namespace save_bounds_detail {

// The level-up rule: new level / 2 + 1 + 2 x (4 - difficulty) points, the
// most on VERY EASY.
constexpr std::int32_t MostPointsForReaching(std::int32_t level) {
    return level / 2 + 1 + 2 * (4 - kDifficultyVeryEasy);
}

constexpr std::int32_t MostStatPoints() {
    std::int32_t points = 0;
    for (std::int32_t level = 2; level <= kMaxLevel; ++level) points += MostPointsForReaching(level);
    return points;
}

}  // namespace save_bounds_detail

// Stat points that a whole game can gain: every level-up on VERY EASY.
inline constexpr std::int32_t kMaxStatPoints = save_bounds_detail::MostStatPoints();

// The status screen charges base / 20 + 1 points to raise a base stat by one.
constexpr std::int32_t StatRaiseCost(std::int32_t base) { return base / 20 + 1; }

namespace save_bounds_detail {

// A base stat starts at 1; the highest one is every point of a game spent on it.
constexpr std::int32_t HighestBaseStat() {
    std::int32_t base = 1, points = kMaxStatPoints;
    while (points >= StatRaiseCost(base)) points -= StatRaiseCost(base++);
    return base;
}

template <int N>
constexpr std::int32_t Largest(const EquipmentRecord (&table)[N], std::int32_t EquipmentRecord::*field) {
    std::int32_t most = 0;
    for (const EquipmentRecord& row : table) most = row.*field > most ? row.*field : most;
    return most;
}

constexpr std::int32_t LargestBonus(std::int32_t EquipmentRecord::*field) {
    return Largest(WeaponTable, field) + Largest(ArmourTable, field) + Largest(ShieldTable, field) +
           Largest(AccessoryTable, field);
}

constexpr std::int64_t QuotientSquared(std::int64_t value, std::int64_t divisor) {
    return (value / divisor) * (value / divisor);
}

}  // namespace save_bounds_detail

inline constexpr std::int32_t kMinBaseStat = 1;
inline constexpr std::int32_t kMaxBaseStat = save_bounds_detail::HighestBaseStat();

// The maxima formulas (stats.cpp) at the highest level, base stat and
// equipment bonus: nothing a game stores goes above them. The least is 1,
// which keeps every division by a maximum defined.
inline constexpr std::int32_t kMaxMaxHp = static_cast<std::int32_t>(
    save_bounds_detail::LargestBonus(&EquipmentRecord::maxHpBonus) + 8 * kMaxLevel + 12 * kMaxBaseStat +
    save_bounds_detail::QuotientSquared(kMaxLevel + kMaxBaseStat, 5) + 600);
inline constexpr std::int32_t kMaxMaxSp = [] {
    const std::int64_t intel = kMaxBaseStat + save_bounds_detail::LargestBonus(&EquipmentRecord::intel);
    return static_cast<std::int32_t>(6 * intel + 4 * kMaxLevel +
                                     save_bounds_detail::QuotientSquared(kMaxLevel + intel, 10) + 200);
}();

// Arrival words put the view inside the stage strip and the player inside
// the view: camera x from 0 to the last view's left edge, player y and
// screen x inside the 640 x 480 view.
inline constexpr std::int32_t kMaxArrivalCameraX = kStageWidth - kPanelWidth;
inline constexpr std::int32_t kMaxArrivalPlayerY = kStageHeight - 1;
inline constexpr std::int32_t kMaxArrivalScreenX = kPanelWidth - 1;
