// The status screen against the recording stand-in: spending points, the
// previews against what a spent point really does, leaving it, the banner,
// and the glyph rows read back from the draw calls.
#include <gtest/gtest.h>

#include <string>

#include "game/support/sub_screen_driver.h"
#include "rules/derived_stats.h"
#include "rules/player_record.h"
#include "rules/stats.h"
#include "rules/sub_screen.h"
#include "screens/status_screen.h"
#include "screens/system_menu.h"

using namespace subscreen_test;

namespace {

class StatusScreenTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetSubScreens();
        g_SubScreenMode = kSubScreenStatus;
        g_DerivedStats.levelUpBannerTimer = kBannerFromMenu;
    }

    static void MoveCursorTo(int row) {
        while (g_SystemMenuCursor != row) Press(kDown);
    }
};

std::int32_t& Base(PlayerRecord& p, int row) {
    switch (row) {
        case kStatusStr: return p.str;
        case kStatusAgi: return p.agi;
        case kStatusVit: return p.vit;
        case kStatusInt: return p.intel;
        case kStatusDex: return p.dex;
        default: return p.luk;
    }
}

bool SameFigures(const DisplayFigures& a, const DisplayFigures& b) {
    return a.atk == b.atk && a.def == b.def && a.matk == b.matk && a.crt == b.crt;
}

}  // namespace

TEST(StatPointCost, OnePointPerTwentyOfTheBase) {
    const struct {
        std::int32_t base, cost;
    } cases[] = {{0, 1}, {1, 1}, {19, 1}, {20, 2}, {39, 2}, {40, 3}, {179, 9}, {180, 10}, {999, 50}, {-1, 1}, {-100, 1}};
    for (const auto& c : cases) EXPECT_EQ(StatPointCost(c.base), c.cost) << c.base;
}

// For every stat row and a spread of base values: decide spends exactly the
// row's cost on exactly the row's stat, and the figures the screen then shows
// are the preview it showed before the point was spent.
TEST_F(StatusScreenTest, ASpentPointRaisesOneStatAndTheFiguresFollowThePreview) {
    // Worn items add to STR, DEX, INT and LUK, so totals and bases differ.
    for (int row = kStatusStr; row <= kStatusLuk; ++row) {
        for (std::int32_t base : {1, 5, 11, 19, 20, 59, 60, 179, 180, 250}) {
            SetUp();
            g_PlayerRecord.weaponRow = 13;     // golden mace: STR 20, DEX 10
            g_PlayerRecord.armourRow = 9;      // holy robe: INT 15
            g_PlayerRecord.accessoryRow = 10;  // critical ring: LUK 30
            Base(g_PlayerRecord, row) = base;
            g_PlayerRecord.statPoints = 100;
            MoveCursorTo(row);
            Frame();
            const DisplayFigures preview = g_DerivedStats.statusPreview;
            const DisplayFigures before = g_DerivedStats.statusCurrent;
            const PlayerRecord was = g_PlayerRecord;

            Press(kDecide);
            PlayerRecord expected = was;
            Base(expected, row) = base + 1;
            expected.statPoints = 100 - (base / 20 + 1);
            for (int other = kStatusStr; other <= kStatusLuk; ++other)
                EXPECT_EQ(Base(g_PlayerRecord, other), Base(expected, other)) << "row " << row << " base " << base;
            EXPECT_EQ(g_PlayerRecord.statPoints, expected.statPoints);
            EXPECT_EQ(g_PlayerRecord.maxHp, was.maxHp) << "maxima wait for EXIT";

            Frame();
            EXPECT_TRUE(SameFigures(g_DerivedStats.statusCurrent, preview)) << "row " << row << " base " << base;
            // AGI enters no figure; every other row changes exactly one.
            const int changed = (preview.atk != before.atk) + (preview.def != before.def) +
                                (preview.matk != before.matk) + (preview.crt != before.crt);
            if (row == kStatusAgi) {
                EXPECT_EQ(changed, 0);
            } else if (row != kStatusLuk || (base + 30) % 2 == 1) {  // CRT moves on every second LUK
                EXPECT_EQ(changed, 1) << "row " << row << " base " << base;
            }
        }
    }
}

TEST_F(StatusScreenTest, TooFewPointsChangeNothingAndPlayNothing) {
    g_PlayerRecord.str = 20;
    g_PlayerRecord.statPoints = 1;
    Frame(kDecide);
    EXPECT_EQ(g_PlayerRecord.str, 20);
    EXPECT_EQ(g_PlayerRecord.statPoints, 1);
    EXPECT_TRUE(SoundsPlayed().empty());

    Frame(0);
    g_PlayerRecord.statPoints = 2;
    Frame(kDecide);
    EXPECT_EQ(g_PlayerRecord.str, 21);
    EXPECT_EQ(g_PlayerRecord.statPoints, 0);
    EXPECT_EQ(SoundsPlayed(), std::vector<int>{kSoundConfirm});
}

TEST_F(StatusScreenTest, ExitAppliesTheMaximaAndRefillsOnlyAfterALevelUp) {
    for (bool levelUp : {false, true}) {
        SetUp();
        g_PlayerRecord.hp = 100;
        g_PlayerRecord.sp = 50;
        g_PlayerRecord.vit = 30;
        g_PlayerRecord.intel = 30;
        g_SystemMenuCursor = kStatusExit;
        g_DerivedStats.levelUpBannerTimer = levelUp ? 0 : kBannerFromMenu;
        Frame(kDecide);
        EXPECT_EQ(SoundsPlayed(), std::vector<int>{kSoundConfirm});
        EXPECT_EQ(g_SubScreenMode, kSubScreenNone);
        EXPECT_EQ(g_SystemMenuCursor, 0);
        // 8 + 12 * 30 + ((1 + 30) / 5)^2 + 600 and 6 * 30 + 4 + ((1 + 30) / 10)^2 + 200.
        EXPECT_EQ(g_PlayerRecord.maxHp, 1004);
        EXPECT_EQ(g_PlayerRecord.maxSp, 393);
        EXPECT_EQ(g_PlayerRecord.hp, levelUp ? 1004 : 100);
        EXPECT_EQ(g_PlayerRecord.sp, levelUp ? 393 : 50);
    }
}

TEST_F(StatusScreenTest, CursorWrapsOverTheSevenRowsAndIgnoresCancelAndMenu) {
    g_SystemMenuCursor = 0;
    Frame(kUp);
    EXPECT_EQ(g_SystemMenuCursor, kStatusExit);
    EXPECT_EQ(SoundsPlayed(), std::vector<int>{kSoundSelect});
    Frame(0);
    Frame(kDown);
    EXPECT_EQ(g_SystemMenuCursor, 0);
    Frame(0);
    Frame(kCancel | kMenu);
    EXPECT_EQ(g_SubScreenMode, kSubScreenStatus);
    EXPECT_EQ(g_SystemMenuCursor, 0);
    for (int row = 0; row < kStatusRowCount; ++row) {
        g_SystemMenuCursor = row;
        Frame();
        bool found = false;
        for (const ApiCall& call : Recorder().Calls("ApiBlitGraph"))
            if (call.Int(0) == 210 && call.Int(1) == 32 * (row + 4) - 8) found = true;
        EXPECT_TRUE(found) << row;
    }
}

// Every glyph row read back from the draw calls: the digits spell the value
// whatever its width (numbers of a width the rows were not laid out for grow
// by whole glyphs of their own colour set), with the Part's positions for the
// widths it lays out.
TEST_F(StatusScreenTest, GlyphRowsSpellTheirValuesAtEveryWidth) {
    for (std::int32_t value : {0, 7, 10, 99, 100, 999, 1000, 4321, 123456}) {
        SetUp();
        g_PlayerRecord.statPoints = value;
        g_PlayerRecord.vit = value;
        g_PlayerRecord.str = value;
        Frame();
        int set = 0;
        EXPECT_EQ(NumberAt(80, 300, 460, &set), std::to_string(value));
        EXPECT_EQ(set, 0);
        // Points and base values end at x 444 and 428.
        auto glyphs = GlyphsAt(80);
        EXPECT_EQ(glyphs.back().x, 444);
        EXPECT_EQ(NumberAt(192, 340, 440), std::to_string(value)) << "VIT";
        EXPECT_EQ(GlyphsAt(192).back().x, 428);
        // The cost column ends at x 268, in set 0.
        EXPECT_EQ(NumberAt(192, 0, 290, &set), std::to_string(value / 20 + 1));
        EXPECT_EQ(set, 0);
        EXPECT_EQ(WordAt(192, 290, 340), "VIT");
    }
    // Three-digit base: 396, 412, 428.
    SetUp();
    g_PlayerRecord.agi = 345;
    Frame();
    auto agi = GlyphsAt(160);
    std::vector<int> xs;
    for (const Glyph& g : agi)
        if (g.sheet == 'D' && g.x > 380) xs.push_back(g.x);
    EXPECT_EQ(xs, (std::vector<int>{396, 412, 428}));
    EXPECT_EQ(WordAt(80, 200, 400), "STATUS POINT");
    EXPECT_EQ(WordAt(320, 200, 400), "EXIT");
}

// The bonus from items: the sign at 450, the digits of set 2 from 470 on. A
// LUK bonus of 100 (spike and critical ring) is three digits, not a glyph of
// another set.
TEST_F(StatusScreenTest, EquipmentBonusesShowWithTheirSign) {
    g_PlayerRecord.weaponRow = 14;    // spike: LUK 70
    g_PlayerRecord.accessoryRow = 10; // critical ring: LUK 30
    g_PlayerRecord.armourRow = 3;     // speed suit: AGI 3
    Frame();
    int set = 0;
    EXPECT_EQ(NumberAt(288, 460, 600, &set), "100");
    EXPECT_EQ(set, 2);
    auto luk = GlyphsAt(288);
    bool sign = false;
    for (const Glyph& g : luk) sign |= g.sheet == 'L' && g.index == 107 && g.x == 450;
    EXPECT_TRUE(sign);
    EXPECT_EQ(NumberAt(160, 460, 600), "3");  // AGI
    EXPECT_EQ(NumberAt(128, 460, 600), "");   // STR: no bonus, no sign
    EXPECT_EQ(g_DerivedStats.lukBonus, 100);
    EXPECT_EQ(g_DerivedStats.agiBonus, 3);
}

// The banner after a level-up: four stretched letters rising 128 pixels over
// 256 frames, cycling colour sets 0, 1, 3 every 7 frames, fading from 129 on.
TEST_F(StatusScreenTest, LevelUpBannerRisesAndFades) {
    g_DerivedStats.levelUpBannerTimer = 0;
    for (int t = 1; t <= 260; ++t) {
        Frame();
        auto stretches = Recorder().Calls("ApiStretchBlitGraph");
        if (t >= 256) {
            EXPECT_TRUE(stretches.empty()) << t;
            continue;
        }
        ASSERT_EQ(stretches.size(), 4u) << t;
        const int sets[3] = {0, 1, 3};
        const int set = sets[(t / 7) % 3];
        const int letters[4] = {'L' - 'A', 'V' - 'A', 'U' - 'A', 'P' - 'A'};
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(stretches[i].Int(0), 192 + 64 * i);
            EXPECT_EQ(stretches[i].Int(1), 208 - t / 2);
            EXPECT_EQ(stretches[i].Int(3), 288 - t / 2);
            EXPECT_EQ(stretches[i].Int(4), kLetterBase + 26 * set + letters[i]);
        }
        bool faded = false;
        for (const ApiCall& call : Recorder().Calls("ApiSetBlendModeParam"))
            faded |= call.Int(0) == 1 && call.Int(1) == 255 - (2 * t - 256);
        EXPECT_EQ(faded, t >= 129) << t;
    }
    // Opened from the menu: no banner at all.
    SetUp();
    Frame();
    EXPECT_EQ(Recorder().Count("ApiStretchBlitGraph"), 0u);
    EXPECT_EQ(g_DerivedStats.levelUpBannerTimer, kBannerFromMenu);
}

TEST_F(StatusScreenTest, PreviewShowsUnlessOnExitAndAgiPreviewsNoChange) {
    g_SystemMenuCursor = kStatusAgi;
    Frame();
    EXPECT_TRUE(SameFigures(g_DerivedStats.statusPreview, g_DerivedStats.statusCurrent));
    EXPECT_NE(TextAt(595, 357), "");
    g_SystemMenuCursor = kStatusVit;
    g_PlayerRecord.vit = 9;
    Frame();
    // DEF = VIT + equipment DEF + level / 2 + (VIT / 10)^2: 9 + 5 + 0 + 0, then 10 + 5 + 0 + 1.
    EXPECT_EQ(g_DerivedStats.statusCurrent.def, 14);
    EXPECT_EQ(g_DerivedStats.statusPreview.def, 16);
    std::uint32_t colour = 0;
    EXPECT_EQ(TextAt(595, 389, &colour), "16");
    EXPECT_EQ(colour, 0x64FF64u);
    g_SystemMenuCursor = kStatusExit;
    Frame();
    EXPECT_EQ(TextAt(595, 357), "");
    EXPECT_EQ(TextAt(535, 357), std::to_string(g_DerivedStats.statusCurrent.atk));
}
