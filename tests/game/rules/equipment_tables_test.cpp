#include <gtest/gtest.h>

#include <string>

#include "rules/equipment_tables.h"

namespace {

struct Sums {
    long long price = 0, atk = 0, def = 0, str = 0, dex = 0, intel = 0, luk = 0, agi = 0, maxHp = 0;
};

template <int N>
Sums Sum(const EquipmentRecord (&table)[N]) {
    Sums s;
    for (const auto& row : table) {
        s.price += row.price;
        s.atk += row.atk;
        s.def += row.def;
        s.str += row.str;
        s.dex += row.dex;
        s.intel += row.intel;
        s.luk += row.luk;
        s.agi += row.agi;
        s.maxHp += row.maxHpBonus;
    }
    return s;
}

void ExpectRow(const EquipmentRecord& row, std::int32_t price, std::int32_t atk, std::int32_t def,
               const char* name, const char* description) {
    EXPECT_EQ(row.price, price) << name;
    EXPECT_EQ(row.atk, atk) << name;
    EXPECT_EQ(row.def, def) << name;
    EXPECT_STREQ(row.name, name);
    EXPECT_STREQ(row.description, description);
}

}  // namespace

TEST(EquipmentTables, HoldTheirRowCounts) {
    EXPECT_EQ(std::size(WeaponTable), 17u);
    EXPECT_EQ(std::size(ArmourTable), 10u);
    EXPECT_EQ(std::size(ShieldTable), 8u);
    EXPECT_EQ(std::size(AccessoryTable), 16u);
    EXPECT_EQ(EquipmentRowCount(kEquipWeapon), 17);
    EXPECT_EQ(EquipmentRowCount(kEquipAccessory), 16);
    EXPECT_EQ(EquipmentRowCount(4), 0);
}

// Column sums catch a value copied into the wrong row or column.
TEST(EquipmentTables, ColumnSumsMatchTheGameData) {
    Sums w = Sum(WeaponTable);
    EXPECT_EQ(w.price, 2663970);
    EXPECT_EQ(w.atk, 3400);
    EXPECT_EQ(w.def, 0);
    EXPECT_EQ(w.str, 77);
    EXPECT_EQ(w.dex, 10);
    EXPECT_EQ(w.intel, 97);
    EXPECT_EQ(w.luk, 90);
    EXPECT_EQ(w.agi, 0);
    EXPECT_EQ(w.maxHp, 300);

    Sums a = Sum(ArmourTable);
    EXPECT_EQ(a.price, 719550);
    EXPECT_EQ(a.atk, 0);
    EXPECT_EQ(a.def, 194);
    EXPECT_EQ(a.intel, 25);
    EXPECT_EQ(a.agi, 18);
    EXPECT_EQ(a.maxHp, 1300);

    Sums s = Sum(ShieldTable);
    EXPECT_EQ(s.price, 432730);
    EXPECT_EQ(s.atk, 0);
    EXPECT_EQ(s.def, 84);
    EXPECT_EQ(s.intel, 15);
    EXPECT_EQ(s.agi, 10);
    EXPECT_EQ(s.maxHp, 1000);

    Sums c = Sum(AccessoryTable);
    EXPECT_EQ(c.price, 1113010);
    EXPECT_EQ(c.atk, 72);
    EXPECT_EQ(c.def, 0);
    EXPECT_EQ(c.str, 19);
    EXPECT_EQ(c.dex, 20);
    EXPECT_EQ(c.intel, 21);
    EXPECT_EQ(c.luk, 35);
    EXPECT_EQ(c.agi, 18);
    EXPECT_EQ(c.maxHp, 900);
}

TEST(EquipmentTables, SampleRows) {
    ExpectRow(WeaponTable[0], 70, 10, 0, "club", "ATK 10");
    ExpectRow(WeaponTable[7], 11000, 170, 0, "morning star", "ATK 170, STR 5, LUK 10");
    EXPECT_EQ(WeaponTable[7].str, 5);
    EXPECT_EQ(WeaponTable[7].luk, 10);
    ExpectRow(WeaponTable[16], 350000, 380, 0, "holy rod", "ATK 380, INT 30");
    ExpectRow(ArmourTable[0], 50, 0, 2, "cotton shirt", "DEF 2");
    ExpectRow(ArmourTable[7], 200000, 0, 50, "extra suit", "DEF 50, MHP 1000");
    EXPECT_EQ(ArmourTable[7].maxHpBonus, 1000);
    ExpectRow(ShieldTable[0], 30, 0, 2, "guard", "DEF 2");
    ExpectRow(ShieldTable[5], 100000, 0, 10, "quick buckler", "DEF 10, AGI 7");
    EXPECT_EQ(ShieldTable[5].agi, 7);
    ExpectRow(AccessoryTable[0], 10, 1, 0, "belt", "DEF 1");
    ExpectRow(AccessoryTable[14], 100000, 8, 0, "hyper glove", "DEF 8, DEX 15");
    EXPECT_EQ(AccessoryTable[14].dex, 15);
}

TEST(EquipmentTables, SpikeIsTheDearestItem) {
    const EquipmentRecord* dearest = &WeaponTable[0];
    for (int category = 0; category < kEquipmentCategoryCount; ++category)
        for (int row = 0; row < EquipmentRowCount(category); ++row) {
            const EquipmentRecord* item = FindEquipment(category, row);
            if (item->price > dearest->price) dearest = item;
        }
    EXPECT_STREQ(dearest->name, "spike");
    EXPECT_EQ(dearest->price, 1100000);
    EXPECT_EQ(dearest->atk, 190);
    EXPECT_EQ(dearest->luk, 70);
}

// Each description names the item's power word and bonuses; a row whose
// numbers disagree with its own text was copied wrongly.
TEST(EquipmentTables, DescriptionsAgreeWithTheWords) {
    for (int category = 0; category < kEquipmentCategoryCount; ++category)
        for (int row = 0; row < EquipmentRowCount(category); ++row) {
            const EquipmentRecord& item = *FindEquipment(category, row);
            bool atkWord = category == kEquipWeapon || category == kEquipAccessory;
            std::int32_t power = atkWord ? item.atk : item.def;
            EXPECT_EQ(atkWord ? item.def : item.atk, 0) << item.name;
            std::string expected = std::string(category == kEquipWeapon ? "ATK " : "DEF ") + std::to_string(power);
            auto add = [&](const char* label, std::int32_t value) {
                if (value != 0) expected += std::string(", ") + label + " " + std::to_string(value);
            };
            add("STR", item.str);
            add("DEX", item.dex);
            add("INT", item.intel);
            add("LUK", item.luk);
            add("AGI", item.agi);
            add("MHP", item.maxHpBonus);
            EXPECT_EQ(expected, item.description) << item.name;
        }
}

TEST(EquipmentTables, FindRefusesRowsOutsideTheTables) {
    EXPECT_EQ(FindEquipment(kEquipWeapon, -1), nullptr);
    EXPECT_EQ(FindEquipment(kEquipWeapon, 17), nullptr);
    EXPECT_EQ(FindEquipment(kEquipShield, 8), nullptr);
    EXPECT_EQ(FindEquipment(-1, 0), nullptr);
    EXPECT_EQ(FindEquipment(kEquipAccessory, 15), &AccessoryTable[15]);
}
