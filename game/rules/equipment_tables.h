// The four equipment tables. The player wears one row of each; row 0 of each
// is what a new game starts with. The tables are fixed game data: nothing
// changes them and nothing in a save file touches them.
#pragma once

#include <cstdint>

// One row. The item's power sits in `atk` for weapons and accessories (an
// accessory keeps its DEF there) and in `def` for armours and shields; the
// other of the two is 0 in every row.
struct EquipmentRecord {
    std::int32_t price;  // Vesk
    std::int32_t atk;    // weapons: ATK; accessories: DEF
    std::int32_t def;    // armours and shields: DEF
    std::int32_t str;
    std::int32_t dex;
    std::int32_t intel;
    std::int32_t luk;
    std::int32_t agi;
    std::int32_t maxHpBonus;
    const char* name;
    const char* description;  // shown by the shop; "MHP" is the max-HP bonus
};

enum EquipmentCategory {
    kEquipWeapon = 0,
    kEquipArmour = 1,
    kEquipShield = 2,
    kEquipAccessory = 3,
};
constexpr int kEquipmentCategoryCount = 4;

constexpr int kWeaponCount = 17;
constexpr int kArmourCount = 10;
constexpr int kShieldCount = 8;
constexpr int kAccessoryCount = 16;

// price, ATK, DEF, STR, DEX, INT, LUK, AGI, max HP, name, description
inline constexpr EquipmentRecord WeaponTable[kWeaponCount] = {
    {70, 10, 0, 0, 0, 0, 0, 0, 0, "club", "ATK 10"},
    {200, 30, 0, 0, 0, 0, 0, 0, 0, "mace", "ATK 30"},
    {900, 70, 0, 2, 0, 0, 0, 0, 0, "smasher", "ATK 70, STR 2"},
    {100, 20, 0, 0, 0, 4, 0, 0, 0, "wand", "ATK 20, INT 4"},
    {500, 50, 0, 0, 0, 7, 0, 0, 0, "staff", "ATK 50, INT 7"},
    {1700, 100, 0, 0, 0, 0, 0, 0, 300, "survival mace", "ATK 100, MHP 300"},
    {2500, 120, 0, 3, 0, 0, 0, 0, 0, "flail", "ATK 120, STR 3"},
    {11000, 170, 0, 5, 0, 0, 10, 0, 0, "morning star", "ATK 170, STR 5, LUK 10"},
    {25000, 230, 0, 7, 0, 0, 0, 0, 0, "sword mace", "ATK 230, STR 7"},
    {68000, 300, 0, 10, 0, 0, 10, 0, 0, "stunner", "ATK 300, STR 10, LUK 10"},
    {7000, 150, 0, 0, 0, 13, 0, 0, 0, "arc wand", "ATK 150, INT 13"},
    {37000, 200, 0, 0, 0, 20, 0, 0, 0, "saint rod", "ATK 200, INT 20"},
    {170000, 430, 0, 15, 0, 0, 0, 0, 0, "slash", "ATK 430, STR 15"},
    {390000, 500, 0, 20, 10, 0, 0, 0, 0, "golden mace", "ATK 500, STR 20, DEX 10"},
    {1100000, 190, 0, 0, 0, 0, 70, 0, 0, "spike", "ATK 190, LUK 70"},
    {500000, 450, 0, 15, 0, 23, 0, 0, 0, "might staff", "ATK 450, STR 15, INT 23"},
    {350000, 380, 0, 0, 0, 30, 0, 0, 0, "holy rod", "ATK 380, INT 30"},
};

inline constexpr EquipmentRecord ArmourTable[kArmourCount] = {
    {50, 0, 2, 0, 0, 0, 0, 0, 0, "cotton shirt", "DEF 2"},
    {500, 0, 7, 0, 0, 0, 0, 0, 0, "leather jacket", "DEF 7"},
    {3000, 0, 10, 0, 0, 3, 0, 0, 0, "silk robe", "DEF 10, INT 3"},
    {6000, 0, 10, 0, 0, 0, 0, 3, 0, "speed suit", "DEF 10, AGI 3"},
    {30000, 0, 15, 0, 0, 0, 0, 6, 0, "quick suit", "DEF 15, AGI 6"},
    {13000, 0, 30, 0, 0, 0, 0, 0, 300, "hard suit", "DEF 30, MHP 300"},
    {17000, 0, 20, 0, 0, 7, 0, 0, 0, "saint robe", "DEF 20, INT 7"},
    {200000, 0, 50, 0, 0, 0, 0, 0, 1000, "extra suit", "DEF 50, MHP 1000"},
    {150000, 0, 20, 0, 0, 0, 0, 9, 0, "hyper suit", "DEF 20, AGI 9"},
    {300000, 0, 30, 0, 0, 15, 0, 0, 0, "holy robe", "DEF 30, INT 15"},
};

inline constexpr EquipmentRecord ShieldTable[kShieldCount] = {
    {30, 0, 2, 0, 0, 0, 0, 0, 0, "guard", "DEF 2"},
    {300, 0, 6, 0, 0, 0, 0, 0, 0, "buckler", "DEF 6"},
    {2000, 0, 6, 0, 0, 0, 0, 3, 0, "speed guard", "DEF 6, AGI 3"},
    {7000, 0, 15, 0, 0, 0, 0, 0, 300, "excellent guard", "DEF 15, MHP 300"},
    {3400, 0, 10, 0, 0, 5, 0, 0, 0, "saint buckler", "DEF 10, INT 5"},
    {100000, 0, 10, 0, 0, 0, 0, 7, 0, "quick buckler", "DEF 10, AGI 7"},
    {120000, 0, 20, 0, 0, 0, 0, 0, 700, "ridged buckler", "DEF 20, MHP 700"},
    {200000, 0, 15, 0, 0, 10, 0, 0, 0, "holy guard", "DEF 15, INT 10"},
};

// An accessory's DEF is in the `atk` word.
inline constexpr EquipmentRecord AccessoryTable[kAccessoryCount] = {
    {10, 1, 0, 0, 0, 0, 0, 0, 0, "belt", "DEF 1"},
    {1000, 5, 0, 0, 0, 0, 5, 0, 0, "rosary", "DEF 5, LUK 5"},
    {2000, 5, 0, 0, 0, 0, 0, 0, 200, "necklace", "DEF 5, MHP 200"},
    {5000, 5, 0, 3, 0, 0, 0, 0, 0, "ring", "DEF 5, STR 3"},
    {5000, 2, 0, 0, 0, 3, 0, 0, 0, "earring", "DEF 2, INT 3"},
    {5000, 4, 0, 0, 5, 0, 0, 0, 0, "glove", "DEF 4, DEX 5"},
    {5000, 2, 0, 0, 0, 0, 0, 3, 0, "brooch", "DEF 2, AGI 3"},
    {30000, 7, 0, 6, 0, 0, 0, 0, 0, "power belt", "DEF 7, STR 6"},
    {30000, 3, 0, 0, 0, 7, 0, 0, 0, "saint ring", "DEF 3, INT 7"},
    {30000, 2, 0, 0, 0, 0, 0, 6, 0, "speed brooch", "DEF 2, AGI 6"},
    {500000, 3, 0, 0, 0, 0, 30, 0, 0, "critical ring", "DEF 3, LUK 30"},
    {100000, 10, 0, 10, 0, 0, 0, 0, 0, "power ring", "DEF 10, STR 10"},
    {100000, 3, 0, 0, 0, 11, 0, 0, 0, "holy ring", "DEF 3, INT 11"},
    {100000, 10, 0, 0, 0, 0, 0, 0, 700, "safety ring", "DEF 10, MHP 700"},
    {100000, 8, 0, 0, 15, 0, 0, 0, 0, "hyper glove", "DEF 8, DEX 15"},
    {100000, 2, 0, 0, 0, 0, 0, 9, 0, "flash brooch", "DEF 2, AGI 9"},
};

// Rows in a category's table; 0 for an unknown category.
int EquipmentRowCount(int category);
// The row, or null when the category or row is out of range.
const EquipmentRecord* FindEquipment(int category, std::int32_t row);
