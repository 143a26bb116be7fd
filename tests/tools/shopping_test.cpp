// What the playthrough bot buys: the best item it can pay for (the worn one
// traded in for half its price) among the doors it stands at, weapon first.
#include <gtest/gtest.h>

#include "rules/equipment_tables.h"
#include "shopping.h"

namespace {

TEST(PlaythroughShopping, TheBestAffordableItemOfTheFirstCategoryThatGains) {
    using Worn = std::array<std::int32_t, kEquipmentCategoryCount>;
    const Worn fresh{0, 0, 0, 0};
    struct Case {
        const char* what;
        std::int32_t money;
        Worn worn;
        unsigned doors;
        int leastGain;
        int door, category, row, cursorRow, cost;
    } const cases[] = {
        {"no money", 0, fresh, 0b111, 1, -1, -1, -1, -1, 0},
        {"the mace: 200 less half the club's 70", 165, fresh, 0b001, 1, 0, kEquipWeapon, 1, 1, 165},
        {"a Vesk short of the mace: the wand", 164, fresh, 0b001, 1, 0, kEquipWeapon, 3, 3, 65},
        {"the survival mace's HP weighs over the flail", 2465, fresh, 0b001, 1, 0, kEquipWeapon, 5, 5, 1665},
        {"no better weapon: armour next", 600, Worn{5, 0, 0, 0}, 0b001, 1, 0, kEquipArmour, 1, 1, 475},
        {"no door here", 1'000'000, fresh, 0, 1, -1, -1, -1, -1, 0},
        {"door 2's golden mace, its second row", 10'000'000, fresh, 0b100, 1, 2, kEquipWeapon, 13, 1, 389'965},
        {"door 1 sells the sword mace from its fourth row", 30'000, fresh, 0b010, 1, 1, kEquipWeapon, 8, 3, 24'965},
        {"a gain under the least is not worth the walk", 165, fresh, 0b111, 25, -1, -1, -1, -1, 0},
        {"nothing better than what is worn", 10'000'000, Worn{13, 7, 6, 13}, 0b111, 1, -1, -1, -1, -1, 0},
    };
    for (const Case& c : cases) {
        const Purchase buy = BestPurchase(c.money, c.worn, c.doors, c.leastGain);
        EXPECT_EQ(buy.door, c.door) << c.what;
        EXPECT_EQ(buy.category, c.category) << c.what;
        EXPECT_EQ(buy.row, c.row) << c.what;
        EXPECT_EQ(buy.cursorRow, c.cursorRow) << c.what;
        EXPECT_EQ(buy.cost, c.cost) << c.what;
        if (buy.door >= 0) {
            EXPECT_LE(buy.cost, c.money) << c.what;
        }
    }
}

TEST(PlaythroughShopping, WorthCountsBlowsDefenceAndHpButNotIntOrLuk) {
    // A wand's INT and a spike's LUK add nothing to blows; an accessory's
    // DEF is read from its ATK word.
    EXPECT_EQ(ItemWorth(kEquipWeapon, WeaponTable[3]), 20);
    EXPECT_EQ(ItemWorth(kEquipWeapon, WeaponTable[14]), 190);
    EXPECT_EQ(ItemWorth(kEquipWeapon, WeaponTable[13]), 500 + 60 + 10);
    EXPECT_EQ(ItemWorth(kEquipAccessory, AccessoryTable[0]), 3);
    EXPECT_EQ(ItemWorth(kEquipArmour, ArmourTable[7]), 150 + 100);
    EXPECT_EQ(ItemWorth(kEquipAccessory, AccessoryTable[14]), 24 + 15 + 30);
}

}  // namespace
