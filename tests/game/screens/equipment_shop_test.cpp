// The equipment shop against the recording stand-in: what each door offers,
// buying in every shop and category, refusals, the trade-in, the maxima, the
// confirmation texts and the keys of each step.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "game/support/sub_screen_driver.h"
#include "rules/derived_stats.h"
#include "rules/equipment_tables.h"
#include "rules/player_record.h"
#include "rules/sub_screen.h"
#include "rules/worn_equipment.h"
#include "screens/equipment_shop.h"
#include "screens/shop_offers.h"

using namespace subscreen_test;

namespace {

class EquipmentShopTest : public ::testing::Test {
protected:
    void SetUp() override { ResetSubScreens(); }

    static void Open(int door) {
        OpenEquipmentShop(door);
        Frame();
    }
    // Browses to a category and cursor row from the opening position.
    static void Browse(int category, int row) {
        for (int i = 0; i < category; ++i) Press(kRight);
        for (int i = 0; i < row; ++i) Press(kDown);
        ASSERT_EQ(g_ShopState.category, category);
        ASSERT_EQ(g_ShopState.cursorRow, row);
    }
};

}  // namespace

TEST(ShopOffers, EveryDoorOffersRowsOfItsTables) {
    int rows = 0, firstRows = 0;
    for (int door = 0; door < kShopDoorCount; ++door)
        for (int category = 0; category < kEquipmentCategoryCount; ++category) {
            const ShopOffer& offer = kShopOffers[door][category];
            EXPECT_GE(offer.firstRow, 0);
            EXPECT_LE(offer.rowCount, kShopItemRows);
            EXPECT_LE(offer.firstRow + offer.rowCount, EquipmentRowCount(category)) << door << "/" << category;
            rows += offer.rowCount;
            firstRows += offer.firstRow;
        }
    EXPECT_EQ(rows, 61);
    EXPECT_EQ(firstRows, 45);
    // Samples: door 2 sells weapons 12 to 16, door 1 armours 2 to 6.
    EXPECT_EQ(ShopOfferRow(2, kEquipWeapon, 0), 12);
    EXPECT_EQ(ShopOfferRow(2, kEquipWeapon, 4), 16);
    EXPECT_EQ(ShopOfferRow(2, kEquipWeapon, 5), kShopNoItem);
    EXPECT_EQ(ShopOfferRow(1, kEquipArmour, 4), 6);
    EXPECT_EQ(ShopOfferRow(0, kEquipAccessory, 6), 6);
    EXPECT_EQ(ShopOfferRow(0, kEquipAccessory, 7), kShopNoItem);
    EXPECT_EQ(ShopOfferRow(3, kEquipWeapon, 0), kShopNoItem);
    EXPECT_EQ(ShopOfferRow(0, 4, 0), kShopNoItem);
    EXPECT_EQ(ShopOfferRow(0, kEquipWeapon, -1), kShopNoItem);
}

TEST(ShopPrices, BlanksLineThePricesUpOnTheRight) {
    for (std::int32_t price : {0, 9, 10, 99, 100, 999, 1000, 9999, 10000, 99999, 100000, 999999, 1000000, 1100000}) {
        const std::string text = PriceBlanks(price) + std::to_string(price);
        EXPECT_EQ(text.size(), 7u) << price;
    }
    EXPECT_STREQ(PriceBlanks(70), "     ");
}

// Every door, category and offered row: with exactly the money it costs the
// item is bought (the money drops by its price less half the worn item's) and
// worn; with one Vesk less the refusal box shows and nothing changes.
TEST_F(EquipmentShopTest, BuyingInEveryShopTakesTheCostAndWearsTheItem) {
    for (int door = 0; door < kShopDoorCount; ++door)
        for (int category = 0; category < kEquipmentCategoryCount; ++category)
            for (int k = 0; k < kShopOffers[door][category].rowCount; ++k)
                for (bool enough : {true, false}) {
                    SetUp();
                    const std::int32_t row = kShopOffers[door][category].firstRow + k;
                    const std::int32_t price = FindEquipment(category, row)->price;
                    const std::int32_t cost = price - WornItem(category)->price / 2;
                    ASSERT_EQ(ShopCost(category, row), cost);
                    const std::int32_t money = cost > 0 ? cost - (enough ? 0 : 1) : 0;
                    if (!enough && cost <= 0) continue;
                    g_PlayerRecord.money = money;
                    Open(door);
                    Browse(category, k);
                    EXPECT_EQ(g_ShopState.selectedRow, row);
                    Frame(kDecide);
                    const std::string where = std::to_string(door) + "/" + std::to_string(category) + "/" +
                                              std::to_string(row);
                    if (!enough) {
                        EXPECT_EQ(g_ShopState.step, kShopShortOfMoney) << where;
                        EXPECT_EQ(SoundsPlayed(), std::vector<int>{kSoundCancel});
                        EXPECT_EQ(TextAt(220, 230), "Vesk が足りません");
                        Frame(0);
                        Press(kDecide);
                        EXPECT_EQ(g_ShopState.step, kShopBrowsing);
                        EXPECT_EQ(g_PlayerRecord.money, money);
                        EXPECT_EQ(WornRow(category), 0) << where;
                        continue;
                    }
                    EXPECT_EQ(g_ShopState.step, kShopConfirming) << where;
                    Frame(0);
                    Frame(kDecide);
                    EXPECT_EQ(SoundsPlayed(), std::vector<int>{kSoundConfirm});
                    EXPECT_EQ(g_ShopState.step, kShopBrowsing);
                    EXPECT_EQ(g_PlayerRecord.money, 0) << where;
                    EXPECT_EQ(WornRow(category), row) << where;
                    for (int other = 0; other < kEquipmentCategoryCount; ++other) {
                        if (other != category) {
                            EXPECT_EQ(WornRow(other), 0);
                        }
                    }
                    EXPECT_EQ(g_SubScreenMode, kSubScreenShop);
                }
}

// Buying the worn item costs half its price; an item cheaper than half the
// worn one costs nothing and pays nothing back.
TEST_F(EquipmentShopTest, TradeInHalvesAndNeverRefunds) {
    g_PlayerRecord.weaponRow = 6;  // flail, 2500
    g_PlayerRecord.money = 1250;
    Open(1);  // weapons 5 to 11
    Browse(kEquipWeapon, 1);
    EXPECT_EQ(ShopCost(kEquipWeapon, 6), 1250);
    Frame(kDecide);
    EXPECT_EQ(TextAt(180, 180), "flailを下取りして");
    EXPECT_EQ(TextAt(180, 210), "flailを");
    EXPECT_EQ(TextAt(180, 240), "1250 Veskで購入します");
    EXPECT_EQ(TextAt(240, 280), "はい　　　　　　いいえ");
    Frame(0);
    Frame(kDecide);
    EXPECT_EQ(g_PlayerRecord.money, 0);
    EXPECT_EQ(g_PlayerRecord.weaponRow, 6);

    // Door 0 sells the club (70) for 70 - 1250 < 0: free, nothing back.
    g_PlayerRecord.money = 5;
    Frame(kMenu);
    Open(0);
    Frame(kDecide);
    EXPECT_EQ(g_ShopState.step, kShopConfirming);
    EXPECT_EQ(TextAt(180, 240), "0 Veskで購入します");
    Frame(0);
    Frame(kDecide);
    EXPECT_EQ(g_PlayerRecord.money, 5);
    EXPECT_EQ(g_PlayerRecord.weaponRow, 0);
}

TEST_F(EquipmentShopTest, EmptyRowsAndNoAnswerBuyNothing) {
    g_PlayerRecord.money = 10000000;
    Open(2);
    for (int row : {5, 6}) {
        g_ShopState.cursorRow = row;
        Frame(kDecide);
        EXPECT_EQ(g_ShopState.selectedRow, kShopNoItem);
        EXPECT_EQ(SoundsPlayed(), std::vector<int>{kSoundCancel});
        EXPECT_EQ(g_ShopState.step, kShopBrowsing);
        EXPECT_EQ(TextAt(595, 357), "") << "no preview for an empty row";
        Frame(0);
    }
    // Answer no, by RIGHT or by cancel.
    g_ShopState.cursorRow = 0;
    for (std::uint32_t refuse : {kRight, kCancel}) {
        Press(kDecide);
        ASSERT_EQ(g_ShopState.step, kShopConfirming);
        Frame(refuse);
        EXPECT_EQ(g_ShopState.answer, 1);
        EXPECT_EQ(SoundsPlayed(), std::vector<int>{refuse == kRight ? kSoundSelect : kSoundCancel});
        EXPECT_EQ(g_ShopState.step, kShopConfirming);
        Frame(0);
        Press(kDecide);
        EXPECT_EQ(g_ShopState.step, kShopBrowsing);
        EXPECT_EQ(g_PlayerRecord.money, 10000000);
        EXPECT_EQ(g_PlayerRecord.weaponRow, 0);
    }
    // The confirmation's cursor stands under the answer.
    Press(kDecide);
    Frame(kLeft);
    bool underNo = false;
    for (const ApiCall& call : Recorder().Calls("ApiBlitGraph")) underNo |= call.Int(0) == 324 && call.Int(1) == 264;
    EXPECT_TRUE(underNo);
}

// A confirmation that is somehow reached without a row of the table, or for
// more than the money, buys nothing.
TEST_F(EquipmentShopTest, AConfirmationWithoutARowOrTheMoneyBuysNothing) {
    g_PlayerRecord.money = 100;
    Open(0);
    g_ShopState.step = kShopConfirming;
    g_ShopState.answer = 0;
    g_ShopState.cursorRow = 2;  // smasher, 900 - 35
    Frame(kDecide);
    EXPECT_EQ(g_PlayerRecord.money, 100);
    EXPECT_EQ(g_PlayerRecord.weaponRow, 0);
    EXPECT_EQ(g_ShopState.step, kShopShortOfMoney);
    Frame(0);

    g_ShopState.step = kShopConfirming;
    g_ShopState.doorIndex = 7;  // no such door: no row under the cursor
    Frame(kDecide);
    EXPECT_EQ(g_PlayerRecord.money, 100);
    EXPECT_EQ(g_PlayerRecord.weaponRow, 0);
    EXPECT_EQ(g_ShopState.step, kShopBrowsing);
}

TEST_F(EquipmentShopTest, MaximaFollowTheWornItemsEveryFrame) {
    g_PlayerRecord.armourRow = 5;  // hard suit: MHP 300
    Frame();
    Open(1);
    EXPECT_EQ(g_PlayerRecord.maxHp, 920);
    g_PlayerRecord.hp = 920;
    g_PlayerRecord.money = 100000;
    Browse(kEquipArmour, 0);  // silk robe, row 2
    Press(kDecide);
    Frame(kDecide);
    EXPECT_EQ(g_PlayerRecord.armourRow, 2);
    Frame();
    EXPECT_EQ(g_PlayerRecord.maxHp, 620);
    EXPECT_EQ(g_PlayerRecord.hp, 620);
    // INT 3 from the robe: max SP 6 * 4 + 4 + 0 + 200.
    EXPECT_EQ(g_PlayerRecord.maxSp, 228);
}

// The preview figures for the row under the cursor, and their colours.
TEST_F(EquipmentShopTest, PreviewComparesTheRowWithTheWornItem) {
    Open(0);
    // Mace (ATK 30) over club (10): ATK 20 more, green; MATK equal, white.
    Press(kDown);
    std::uint32_t colour = 0;
    Frame();
    EXPECT_EQ(g_DerivedStats.shopPreview.atk, g_DerivedStats.shopCurrent.atk + 20);
    EXPECT_EQ(TextAt(595, 357, &colour), std::to_string(g_DerivedStats.shopCurrent.atk + 20));
    EXPECT_EQ(colour, 0x64FF64u);
    EXPECT_EQ(TextAt(595, 421, &colour), "33");
    EXPECT_EQ(colour, 0xFFFFFFu);
    // Wand (row 3, ATK 20, INT 4) over a worn mace: ATK lower, red; MATK higher.
    g_PlayerRecord.weaponRow = 1;
    g_ShopState.cursorRow = 3;
    Frame();
    EXPECT_EQ(g_DerivedStats.shopPreview.atk, g_DerivedStats.shopCurrent.atk - 10);
    TextAt(595, 357, &colour);
    EXPECT_EQ(colour, 0xE61E1Eu);
    EXPECT_EQ(g_ShopState.previewInt, 5);
    EXPECT_EQ(g_DerivedStats.shopPreview.matk, 3 * 5 + 1 + 30);
    // Accessories keep their DEF in the ATK word: rosary (5) over belt (1).
    g_ShopState.category = kEquipAccessory;
    g_ShopState.cursorRow = 1;
    Frame();
    EXPECT_EQ(g_ShopState.previewEquipmentDef, 9);
    EXPECT_EQ(g_DerivedStats.shopPreview.def, g_DerivedStats.shopCurrent.def + 4);
    EXPECT_EQ(g_DerivedStats.shopPreview.atk, g_DerivedStats.shopCurrent.atk);
}

TEST_F(EquipmentShopTest, KeysOfBrowsingWrapAndCloseTheShop) {
    Open(0);
    Frame(kLeft);
    EXPECT_EQ(g_ShopState.category, kEquipAccessory);
    Frame(0);
    Frame(kRight);
    EXPECT_EQ(g_ShopState.category, kEquipWeapon);
    Frame(0);
    Frame(kUp);
    EXPECT_EQ(g_ShopState.cursorRow, kShopExitRow);
    EXPECT_EQ(SoundsPlayed(), std::vector<int>{kSoundSelect});
    Frame(0);
    Frame(kDown);
    EXPECT_EQ(g_ShopState.cursorRow, 0);
    Frame(0);
    // Cancel jumps to EXIT; decide there closes silently.
    Frame(kCancel);
    EXPECT_EQ(g_ShopState.cursorRow, kShopExitRow);
    EXPECT_EQ(SoundsPlayed(), std::vector<int>{kSoundCancel});
    Frame(0);
    Frame(kDecide);
    EXPECT_EQ(g_SubScreenMode, kSubScreenNone);
    EXPECT_TRUE(SoundsPlayed().empty());
    // The menu key closes it too, and every opening starts afresh.
    OpenEquipmentShop(1);
    EXPECT_EQ(g_ShopState.cursorRow, 0);
    EXPECT_EQ(g_ShopState.category, kEquipWeapon);
    EXPECT_EQ(Recorder().Count("ApiSetDefaultFontSize"), 1u);
    Frame(kMenu);
    EXPECT_EQ(g_SubScreenMode, kSubScreenNone);
}

// What one browsing frame draws: the offer rows with their padded prices, the
// headers, the category title and the cursors.
TEST_F(EquipmentShopTest, DrawsTheDoorsOfferAndTheWornItems) {
    Open(2);
    EXPECT_EQ(TextAt(90, 110), "slash");
    EXPECT_EQ(TextAt(264, 110), "ATK 430, STR 15");
    EXPECT_EQ(TextAt(494, 110), " 170000");
    EXPECT_EQ(TextAt(494, 160), "1100000");
    EXPECT_EQ(TextAt(90, 210), "holy rod");
    EXPECT_EQ(TextAt(90, 235), "") << "row 5 is empty";
    EXPECT_EQ(TextAt(121, 85), "   weapon");
    EXPECT_EQ(TextAt(310, 85), "status");
    EXPECT_EQ(TextAt(510, 85), "price");
    EXPECT_EQ(TextAt(90, 285), "EXIT");
    EXPECT_EQ(TextAt(90, 375), "club");
    EXPECT_EQ(TextAt(264, 450), "DEF 1");
    EXPECT_EQ(TextAt(0, 448), "accessory");
    EXPECT_EQ(TextAt(575, 453), "→");
    Press(kRight);
    Frame();
    EXPECT_EQ(TextAt(121, 85), "　　armor");
    EXPECT_EQ(Recorder().Count("ApiMirrorBlitGraph"), 1u);
    // 7 rows of 3 boxes and 4 panel rows of 3 boxes, 3 layers each, and the
    // two panels.
    EXPECT_EQ(Recorder().Count("ApiPaintBox"), 2u + 3u * (21u + 12u));
}
