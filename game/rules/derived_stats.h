// The player's fighting figures, recomputed from the PlayerRecord and the four
// equipped items (stats.h) and never stored.
#pragma once

#include <cstdint>

// The figures the status screen and the shop show.
struct DisplayFigures {
    std::int32_t atk;
    std::int32_t def;
    std::int32_t matk;
    std::int32_t crt;
};

struct DerivedStats {
    // Base stat plus the four equipped items' bonuses. VIT has no total: no
    // item carries VIT.
    std::int32_t strTotal;
    std::int32_t intTotal;
    std::int32_t agiTotal;
    std::int32_t dexTotal;
    std::int32_t lukTotal;
    std::int32_t equipmentDef;    // armour DEF + shield DEF + accessory DEF
    std::int32_t maxHpBonus;      // all four items
    // The shop shows the figures with what is worn and with the row under its
    // cursor in place of the worn item of that category.
    DisplayFigures shopCurrent;
    DisplayFigures shopPreview;
    // The status screen shows them as they are and with one point added to
    // the stat under its cursor.
    DisplayFigures statusCurrent;
    DisplayFigures statusPreview;
    // Status screen: what the items add to each stat (total minus base).
    std::int32_t strBonus;
    std::int32_t dexBonus;
    std::int32_t intBonus;
    std::int32_t agiBonus;
    std::int32_t lukBonus;
    // Frames since the last level-up; kBannerFromMenu when the status screen
    // was opened from the system menu. Counted up only while not negative.
    std::int32_t levelUpBannerTimer;
};

constexpr std::int32_t kBannerFromMenu = -1000;

extern DerivedStats g_DerivedStats;
