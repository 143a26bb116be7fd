#include <gtest/gtest.h>

#include <climits>

#include "engine/handles.h"
#include "game/support/api_recorder.h"
#include "rules/equipment_tables.h"
#include "rules/exp_table.h"
#include "rules/player_record.h"
#include "rules/save_data.h"
#include "rules/stats.h"
#include "rules/sub_screen.h"

namespace {

class StatsTest : public ::testing::Test {
protected:
    void SetUp() override {
        Recorder().Reset();
        g_PlayerRecord = {};
        g_DerivedStats = {};
        g_SubScreenMode = kSubScreenNone;
        InitNewGame();
        g_SoundEffectHandles[kSoundItem] = 4242;
    }

    static DisplayFigures Figures() {
        const DerivedStats& s = g_DerivedStats;
        return ComputeDisplayFigures(s.strTotal, s.dexTotal, s.intTotal, s.lukTotal, s.equipmentDef,
                                     WeaponTable[g_PlayerRecord.weaponRow].atk);
    }
};

}  // namespace

TEST(ExpTableData, CountSumAndEnds) {
    EXPECT_EQ(std::size(ExpTable), 90u);
    long long sum = 0;
    for (std::int32_t value : ExpTable) sum += value;
    EXPECT_EQ(sum, 2365967292LL);
    EXPECT_EQ(ExpTable[0], 0);
    EXPECT_EQ(ExpTable[1], 50);
    EXPECT_EQ(ExpTable[21], 6600);
    EXPECT_EQ(ExpTable[79], 50000000);
    for (int level = 80; level <= 88; ++level) EXPECT_EQ(ExpTable[level], 100000000) << level;
    EXPECT_EQ(ExpTable[89], 1215752192);
    for (int level = 2; level < 90; ++level) EXPECT_GE(ExpTable[level], ExpTable[level - 1]) << level;
    EXPECT_EQ(ExpToLeaveLevel(0), 50);
    EXPECT_EQ(ExpToLeaveLevel(90), 1215752192);
}

// A new game: level 1, every base stat 1, club, cotton shirt, guard, belt.
TEST_F(StatsTest, NewGameFigures) {
    RecomputeStatTotals();
    EXPECT_EQ(g_DerivedStats.strTotal, 1);
    EXPECT_EQ(g_DerivedStats.agiTotal, 1);
    EXPECT_EQ(g_DerivedStats.equipmentDef, 2 + 2 + 1);  // the belt's DEF sits in its ATK word
    EXPECT_EQ(g_DerivedStats.maxHpBonus, 0);
    DisplayFigures f = Figures();
    EXPECT_EQ(f.atk, 10 + 35);
    EXPECT_EQ(f.def, 1 + 5);
    EXPECT_EQ(f.matk, 33);
    EXPECT_EQ(f.crt, 3);
    EXPECT_EQ(FormulaMaxHp(), 620);
    EXPECT_EQ(FormulaMaxSp(), 210);
    // The new-game maxima stay below the formula until something recomputes.
    EXPECT_EQ(g_PlayerRecord.maxHp, 617);
    RecomputeMaxHpSp();
    EXPECT_EQ(g_PlayerRecord.maxHp, 620);
    EXPECT_EQ(g_PlayerRecord.maxSp, 210);
    EXPECT_EQ(g_PlayerRecord.hp, 617);
}

// Worked by hand: level 20, AGI 5 STR 30 INT 12 DEX 8 VIT 25 LUK 9, wearing
// golden mace, extra suit, saint buckler, critical ring.
//   totals: STR 50, DEX 18, INT 17, LUK 39, AGI 5; DEF 50 + 10 + 3 = 63; MHP 1000
//   ATK  500 + 20 + 30 + 18 + 150 + (50/6)^2 = 64   -> 782
//   DEF  25 + 63 + 20/2 + (25/10)^2 = 4              -> 102
//   MATK 51 + (17/4)^2 = 16 + 30                      -> 97
//   CRT  39/2 + 3                                     -> 22
//   max HP 1000 + 160 + 300 + (45/5)^2 = 81 + 600     -> 2141
//   max SP 102 + 80 + (37/10)^2 = 9 + 200             -> 391
TEST_F(StatsTest, EquippedMidGameFigures) {
    PlayerRecord& p = g_PlayerRecord;
    p.level = 20;
    p.agi = 5;
    p.str = 30;
    p.intel = 12;
    p.dex = 8;
    p.vit = 25;
    p.luk = 9;
    p.weaponRow = 13;
    p.armourRow = 7;
    p.shieldRow = 4;
    p.accessoryRow = 10;
    RecomputeStatTotals();
    EXPECT_EQ(g_DerivedStats.strTotal, 50);
    EXPECT_EQ(g_DerivedStats.dexTotal, 18);
    EXPECT_EQ(g_DerivedStats.intTotal, 17);
    EXPECT_EQ(g_DerivedStats.lukTotal, 39);
    EXPECT_EQ(g_DerivedStats.agiTotal, 5);
    EXPECT_EQ(g_DerivedStats.equipmentDef, 63);
    EXPECT_EQ(g_DerivedStats.maxHpBonus, 1000);
    DisplayFigures f = Figures();
    EXPECT_EQ(f.atk, 782);
    EXPECT_EQ(f.def, 102);
    EXPECT_EQ(f.matk, 97);
    EXPECT_EQ(f.crt, 22);
    EXPECT_EQ(FormulaMaxHp(), 2141);
    EXPECT_EQ(FormulaMaxSp(), 391);
}

TEST_F(StatsTest, QuotientIsTakenBeforeSquaring) {
    RecomputeStatTotals();
    auto atkWithStr = [](std::int32_t str) { return ComputeDisplayFigures(str, 1, 1, 1, 0, 0).atk; };
    // STR 11 adds (11/6)^2 = 1; STR 12 adds 4.
    EXPECT_EQ(atkWithStr(11) - 3 * 11, 1 + 30 + 1 + 1);
    EXPECT_EQ(atkWithStr(12) - 3 * 12, 1 + 30 + 1 + 4);
    // Level 3: 3 / 2 = 1 for DEF; VIT 19 gives (19/10)^2 = 1.
    g_PlayerRecord.level = 3;
    g_PlayerRecord.vit = 19;
    EXPECT_EQ(ComputeDisplayFigures(1, 1, 1, 1, 0, 0).def, 19 + 0 + 1 + 1);
    // INT 7: (7/4)^2 = 1; LUK 5: 5/2 = 2.
    DisplayFigures f = ComputeDisplayFigures(1, 1, 7, 5, 0, 0);
    EXPECT_EQ(f.matk, 21 + 1 + 30);
    EXPECT_EQ(f.crt, 2 + 3);
}

TEST_F(StatsTest, LevelUpAtTheThresholdOnly) {
    g_PlayerRecord.exp = 49;
    EXPECT_FALSE(CheckLevelUp());
    EXPECT_EQ(g_PlayerRecord.level, 1);
    EXPECT_EQ(g_SubScreenMode, kSubScreenNone);
    EXPECT_EQ(Recorder().Count("ApiPlaySoundHandle"), 0u);

    g_PlayerRecord.exp = 50;
    g_DerivedStats.levelUpBannerTimer = kBannerFromMenu;
    EXPECT_TRUE(CheckLevelUp());
    EXPECT_EQ(g_PlayerRecord.level, 2);
    EXPECT_EQ(g_PlayerRecord.exp, 0);
    EXPECT_EQ(g_SubScreenMode, kSubScreenStatus);
    EXPECT_EQ(g_DerivedStats.levelUpBannerTimer, 0);
    ASSERT_EQ(Recorder().Count("ApiPlaySoundHandle"), 1u);
    EXPECT_EQ(Recorder().Calls("ApiPlaySoundHandle")[0].ToString(), "ApiPlaySoundHandle(4242, 1, 1)");
    // Level-up does not touch the maxima: they change when the status screen is left.
    EXPECT_EQ(g_PlayerRecord.maxHp, 617);
}

TEST_F(StatsTest, StatPointsByDifficulty) {
    const std::int32_t expected[kDifficultyCount] = {10, 8, 6, 4, 2};  // 2/2 + 1 + 2 * (4 - d)
    for (int difficulty = 0; difficulty < kDifficultyCount; ++difficulty) {
        InitNewGame();
        g_PlayerRecord.difficulty = static_cast<std::uint8_t>(difficulty);
        g_PlayerRecord.statPoints = 3;
        g_PlayerRecord.exp = 50;
        ASSERT_TRUE(CheckLevelUp());
        EXPECT_EQ(g_PlayerRecord.statPoints, 3 + expected[difficulty]) << difficulty;
    }
}

TEST_F(StatsTest, OneLevelPerCallAndSurplusLost) {
    g_PlayerRecord.exp = 5000;
    EXPECT_TRUE(CheckLevelUp());
    EXPECT_EQ(g_PlayerRecord.level, 2);
    EXPECT_EQ(g_PlayerRecord.exp, 0);
    EXPECT_FALSE(CheckLevelUp());
    EXPECT_EQ(g_PlayerRecord.level, 2);
}

// The table ends at level 89: it is reached, but nothing lies beyond it.
TEST_F(StatsTest, LevelStopsAtTheEndOfTheTable) {
    g_PlayerRecord.level = 88;
    g_PlayerRecord.difficulty = kDifficultyNormal;
    g_PlayerRecord.exp = 100000000;
    EXPECT_TRUE(CheckLevelUp());
    EXPECT_EQ(g_PlayerRecord.level, 89);
    EXPECT_EQ(g_PlayerRecord.statPoints, 89 / 2 + 1 + 4);

    g_PlayerRecord.exp = INT_MAX;
    EXPECT_FALSE(CheckLevelUp());
    EXPECT_EQ(g_PlayerRecord.level, 89);
    EXPECT_EQ(g_PlayerRecord.exp, INT_MAX);

    g_PlayerRecord.level = 0;  // no save can load this; still no read before the table
    EXPECT_FALSE(CheckLevelUp());
}

// Base stats are not limited by the save checks; huge ones give wrapped
// figures, never undefined arithmetic (the sanitizer build watches this).
TEST_F(StatsTest, HugeBaseStatsWrapWithoutOverflow) {
    g_PlayerRecord.str = INT_MAX;
    g_PlayerRecord.intel = INT_MAX;
    g_PlayerRecord.vit = INT_MAX;
    g_PlayerRecord.weaponRow = 13;  // STR + 20
    RecomputeStatTotals();
    EXPECT_EQ(g_DerivedStats.strTotal, static_cast<std::int32_t>(0x80000013u));
    DisplayFigures f = Figures();
    (void)f;
    (void)FormulaMaxHp();
    (void)FormulaMaxSp();
}

TEST_F(StatsTest, RowsOutsideTheTablesAddNothing) {
    g_PlayerRecord.weaponRow = 40;
    g_PlayerRecord.accessoryRow = -3;
    RecomputeStatTotals();
    EXPECT_EQ(g_DerivedStats.equipmentDef, 2 + 2);
    EXPECT_EQ(g_DerivedStats.strTotal, 1);
}
