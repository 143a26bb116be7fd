// What the bot buys: the item of a category that helps its fighting most
// among those a set of shop doors offers and its money pays for, the worn
// item traded in.
#pragma once

#include <array>
#include <cstdint>

#include "rules/equipment_tables.h"

struct Purchase {
    int door = -1;  // the shop door that sells it; -1 for nothing worth buying
    int category = -1;
    std::int32_t row = -1;
    std::int32_t cursorRow = -1;  // its row in that door's offer
    std::int32_t cost = 0;        // Vesk paid, the worn item traded in
    int gain = 0;                 // worth above the worn item's
};

// How much an item helps a fighter who lands blows and takes bites: ATK,
// STR and DEX for blows, DEF and max HP against bites. INT and LUK count
// for nothing here.
int ItemWorth(int category, const EquipmentRecord& item);

// The best purchase among the doors in `doorMask` (bit d for door d) with
// `money`, wearing the rows `worn` (by category). Categories are tried in the
// order weapon, armour, accessory, shield; the first with an affordable item
// worth more than the worn one wins, and within it the item worth most.
// A gain under `leastGain` is not worth the walk.
Purchase BestPurchase(std::int32_t money, const std::array<std::int32_t, kEquipmentCategoryCount>& worn,
                      unsigned doorMask, int leastGain = 1);
