// The equipment shop, opened by UP at a shop door. The door picks what is on
// sale in each of the four categories; the worn item of a category is traded
// in for half its price, a purchase is confirmed, and the bought item is worn
// at once.
#pragma once

#include <cstdint>

#include "rules/equipment_tables.h"

// Values of ShopState::step.
enum ShopStep : std::int32_t {
    kShopBrowsing = 0,
    kShopConfirming = 1,
    kShopShortOfMoney = 2,
};
constexpr std::int32_t kShopExitRow = 7;
constexpr std::int32_t kShopCursorRows = 8;
// The selected row when the cursor is on EXIT or beyond the door's offer.
constexpr std::int32_t kShopNoItem = 100;

struct ShopState {
    std::int32_t category;     // an EquipmentCategory
    std::int32_t cursorRow;    // 0 to 7; 7 is EXIT
    std::int32_t step;         // a ShopStep
    std::int32_t answer;       // in the confirmation: 0 yes, 1 no
    std::uint8_t doorIndex;    // the shop door that opened the shop, 0 to 2
    std::int32_t selectedRow;  // the table row under the cursor, or kShopNoItem
    std::int32_t frameCounter; // drives the cursor animations
    // The totals with the selected row worn in place of the worn row of its
    // category.
    std::int32_t previewStr;
    std::int32_t previewInt;
    std::int32_t previewAgi;
    std::int32_t previewDex;
    std::int32_t previewLuk;
    std::int32_t previewEquipmentDef;
};

extern ShopState g_ShopState;

// Opens the shop of a door: category weapon, cursor row 0, browsing, the
// default font at size 16 and thickness 9, this frame's presses used up.
void OpenEquipmentShop(int doorIndex);

// The table row that a door offers in a category at a cursor row, or
// kShopNoItem (EXIT, a row beyond the offer, or an unknown door or category).
std::int32_t ShopOfferRow(int doorIndex, int category, std::int32_t cursorRow);

// What buying `row` of a category costs with the worn item traded in:
// its price minus half the worn item's price (the half truncated). 0 or less
// means the purchase is free; nothing is paid back.
std::int32_t ShopCost(int category, std::int32_t row);

// The blanks that line prices up on the right when drawn as "%s%d".
const char* PriceBlanks(std::int32_t price);

// One shop frame while g_SubScreenMode is 3: maxima and figures, drawing,
// then cancel, decide and the arrows. Closes the shop (mode 0) through EXIT
// or the menu key.
void RunShopFrame();
