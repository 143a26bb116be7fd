// The playthrough bot's sums on fighting: its figures must be the game's, a
// bite under DEF takes nothing, the hit share follows the miss rule, and the
// rate of a stage and the choice of stat point lead where the numbers say.
#include <gtest/gtest.h>

#include "hunting.h"
#include "rules/derived_stats.h"
#include "rules/player_record.h"
#include "rules/stats.h"

namespace {

Fighter Make(std::int32_t level, std::int32_t str, std::int32_t vit, std::int32_t dex) {
    Fighter f;
    f.level = level;
    f.str = str;
    f.vit = vit;
    f.dex = dex;
    return f;
}

TEST(PlaythroughHunting, TheFightersFiguresAreTheGames) {
    struct Case {
        std::int32_t level, str, vit, dex, strBonus, dexBonus, weaponAtk, equipmentDef, maxHpBonus;
    } const cases[] = {
        {1, 1, 1, 1, 0, 0, 10, 4, 0},       {12, 30, 45, 25, 3, 0, 120, 40, 300},
        {25, 60, 75, 60, 15, 15, 430, 80, 2400}, {40, 5, 150, 99, 20, 25, 500, 85, 1700},
        {89, 200, 200, 200, 0, 0, 0, 0, 0},
    };
    const PlayerRecord saved = g_PlayerRecord;
    const DerivedStats savedStats = g_DerivedStats;
    for (const Case& c : cases) {
        Fighter f = Make(c.level, c.str, c.vit, c.dex);
        f.strBonus = c.strBonus;
        f.dexBonus = c.dexBonus;
        f.weaponAtk = c.weaponAtk;
        f.equipmentDef = c.equipmentDef;
        f.maxHpBonus = c.maxHpBonus;
        g_PlayerRecord.level = c.level;
        g_PlayerRecord.vit = c.vit;
        g_DerivedStats.maxHpBonus = c.maxHpBonus;
        const DisplayFigures game = ComputeDisplayFigures(c.str + c.strBonus, c.dex + c.dexBonus, 0, 0,
                                                          c.equipmentDef, c.weaponAtk, c.vit);
        EXPECT_EQ(f.Atk(), game.atk) << "level " << c.level;
        EXPECT_EQ(f.Def(), game.def) << "level " << c.level;
        EXPECT_EQ(f.MaxHp(), FormulaMaxHp()) << "level " << c.level;
    }
    g_PlayerRecord = saved;
    g_DerivedStats = savedStats;
}

TEST(PlaythroughHunting, BitesAndBlows) {
    struct Case {
        int kind;
        std::int32_t vit, dex;
        std::int32_t hurt;
        double hitShare;
    } const cases[] = {
        // Kind 29: bite 150, evasion 60. DEF is VIT + (VIT / 10)^2 + level / 2.
        {29, 0, 60, 145, 1.0},
        {29, 50, 30, 150 - 80, 1.0 - 60 / 101.0},
        {29, 70, 80, 150 - 124, 1.0},
        {29, 80, 59, 1, 1.0 - 2 / 101.0},
        {29, 90, 99, 0, 1.0},  // DEF 176: the bite takes nothing
        {26, 0, 0, 275, 0.0},  // evasion 100: no blow lands
        {10, 10, 7, 47 - 16, 1.0},
    };
    for (const Case& c : cases) {
        const Fighter f = Make(10, 10, c.vit, c.dex);
        EXPECT_EQ(Hurt(f, c.kind), c.hurt) << "kind " << c.kind << " vit " << c.vit;
        EXPECT_NEAR(HitShare(f, c.kind), c.hitShare, 1e-9) << "kind " << c.kind << " dex " << c.dex;
    }
    // Kills take longer with a worse hit share and rests only come with bites.
    const Fighter strong = Make(20, 40, 90, 60);
    EXPECT_EQ(Hurt(strong, 29), 0);
    EXPECT_EQ(RestFrames(strong, 29, 4500), 0.0);
    EXPECT_LT(KillFrames(strong, 29, 4500), KillFrames(WithMore(strong, StatChoice::kDex, -30), 29, 4500));
    EXPECT_GT(RestFrames(Make(20, 40, 30, 60), 29, 4500), 0.0);
}

TEST(PlaythroughHunting, StageRatesAndStatChoices) {
    const Fighter fresh = Make(1, 1, 1, 1);
    const Fighter strong = Make(20, 40, 90, 60);
    // Stage 1 is the town; a fresh player cannot stay on stage 29 (its
    // kind 29 bites for a quarter of full HP), a strong one earns more there
    // than on stage 2, and some rate on stage 2 is open to a fresh player.
    EXPECT_EQ(StageRate(fresh, 1), 0.0);
    EXPECT_EQ(StageRate(fresh, 29), 0.0);
    EXPECT_GT(StageRate(fresh, 2), 0.0);
    EXPECT_GT(StageRate(strong, 29), 3.0 * StageRate(strong, 2));
    EXPECT_TRUE(StageCrossable(strong, 29));
    EXPECT_FALSE(StageCrossable(fresh, 61));

    const auto only = [](int wanted) { return [wanted](int stage) { return stage == wanted; }; };
    struct Case {
        const char* what;
        Fighter f;
        int stage;
        StatChoice choice;
    } const cases[] = {
        // Stage 33: kinds 16, 19 and 24 (bites 120 to 189, evasion up to 50).
        {"bitten hard on stage 33: VIT", Make(20, 40, 40, 60), 33, StatChoice::kVit},
        {"kind 24 evades half the blows: DEX", Make(20, 40, 110, 25), 33, StatChoice::kDex},
        {"bites gone, blows land: STR", Make(20, 20, 110, 52), 33, StatChoice::kStr},
        {"nothing to gain anywhere: VIT", Make(1, 1, 1, 1), 1, StatChoice::kVit},
    };
    for (const Case& c : cases) EXPECT_EQ(BestStatFor(c.f, only(c.stage)), c.choice) << c.what;

    EXPECT_EQ(PointsCost(0, 0), 0);
    EXPECT_EQ(PointsCost(18, 4), 1 + 1 + 2 + 2);
    EXPECT_EQ(PointsCost(100, 20), 20 * 6);
}

}  // namespace
