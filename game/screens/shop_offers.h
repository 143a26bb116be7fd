// What each of the three shops sells: a run of consecutive rows of each
// equipment table, by shop door and category.
#pragma once

#include <cstdint>

#include "rules/equipment_tables.h"

constexpr int kShopDoorCount = 3;
// Cursor rows 0 to 6 show items; row 7 is EXIT.
constexpr int kShopItemRows = 7;

struct ShopOffer {
    std::int32_t firstRow;  // the table row under cursor row 0
    std::int32_t rowCount;  // cursor rows from this count on show nothing
};

// [door][category]: weapon, armour, shield, accessory.
inline constexpr ShopOffer kShopOffers[kShopDoorCount][kEquipmentCategoryCount] = {
    {{0, 7}, {0, 4}, {0, 3}, {0, 7}},
    {{5, 7}, {2, 5}, {2, 3}, {3, 7}},
    {{12, 5}, {7, 3}, {5, 3}, {9, 7}},
};
