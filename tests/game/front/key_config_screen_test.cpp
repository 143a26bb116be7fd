// The KEY CONFIG screen: binding by swap, "default", "save & exit" and the
// file it writes, driven through the title menu on the recording stand-in.
#include <gtest/gtest.h>

#include <string>

#include "front/key_config_screen.h"
#include "game/support/menu_driver.h"
#include "game/support/working_dir.h"
#include "rules/key_config.h"

namespace {

constexpr std::uint32_t D = kDecideKey, DN = kDownKey, UP = kUpKey;

std::uint32_t Button(int n) { return 0x10u << (n - 1); }

// From the title into KEY CONFIG with the buttons in force (decide = button
// `decide`), then down to `row`.
void EnterKeyConfig(MenuDriver& driver, int row, std::uint32_t decide = D) {
    driver.Frames({decide, 0, DN, 0, DN, 0, decide, 0});
    ASSERT_EQ(driver.menu().state, kTitleKeyConfig);
    ASSERT_EQ(driver.menu().keyConfigCursor, 0);
    for (int i = 0; i < row; ++i) driver.Frames({DN, 0});
}

class KeyConfigScreenTest : public ::testing::Test {
protected:
    ScopedWorkingDir work_;
};

}  // namespace

TEST_F(KeyConfigScreenTest, BindingSwapsWithTheRowThatHeldTheButton) {
    struct BindCase {
        const char* name;
        std::int32_t before[3];
        int row;
        std::uint32_t pressed;
        std::int32_t after[3];
    };
    const BindCase cases[] = {
        {"button 2 to row 0 swaps with row 1", {1, 2, 3}, 0, Button(2), {2, 1, 3}},
        {"a free button just binds", {1, 2, 3}, 1, Button(7), {1, 7, 3}},
        {"the row's own button changes nothing", {4, 5, 6}, 2, Button(6), {4, 5, 6}},
        {"buttons 3 and 5 at once: the last wins", {1, 2, 3}, 2, Button(3) | Button(5), {1, 2, 5}},
        {"button 10", {1, 2, 3}, 0, Button(10), {10, 2, 3}},
        {"button 9, the menu key's bit", {1, 2, 3}, 2, Button(9), {1, 2, 9}},
        {"directions cannot be bound", {1, 2, 3}, 0, kLeftKey | kRightKey, {1, 2, 3}},
        {"a bad binding in memory is repaired by a swap", {0, 2, 3}, 1, Button(1), {0, 1, 3}},
    };
    for (const BindCase& c : cases) {
        SCOPED_TRACE(c.name);
        MenuDriver driver;
        EnterKeyConfig(driver, c.row);
        for (int i = 0; i < 3; ++i) g_KeyConfig[i] = c.before[i];
        std::vector<ApiCall> frame = driver.Frame(c.pressed);
        for (int i = 0; i < 3; ++i) EXPECT_EQ(g_KeyConfig[i], c.after[i]) << "row " << i;
        EXPECT_EQ(driver.menu().state, kTitleKeyConfig);
        // Nothing is applied before "save & exit".
        EXPECT_EQ(g_KeyMasks[0], 0x10u);
        EXPECT_EQ(g_KeyMasks[1], 0x20u);
        EXPECT_EQ(g_KeyMasks[2], 0x40u);
    }
}

TEST_F(KeyConfigScreenTest, DefaultThenSaveAndExitWritesTheFile) {
    MenuDriver driver;
    g_KeyConfig[0] = 4;
    g_KeyConfig[1] = 9;
    g_KeyConfig[2] = 10;
    ApplyKeyConfig();
    const std::uint32_t decide = Button(9);
    EnterKeyConfig(driver, 3, decide);
    std::vector<ApiCall> frame = driver.Frame(decide);  // "default"
    EXPECT_EQ(g_KeyConfig[0], 1);
    EXPECT_EQ(g_KeyConfig[1], 2);
    EXPECT_EQ(g_KeyConfig[2], 3);
    EXPECT_EQ(SoundsPlayed(frame), std::vector<int>{kSoundConfirm});
    EXPECT_EQ(work_.dir().Read("savedata/config.dat"), "");  // nothing saved yet
    driver.Frames({0, DN, 0});
    // The new decide button is not in force yet.
    driver.Frames({D, 0});
    EXPECT_EQ(driver.menu().state, kTitleKeyConfig);
    frame = driver.Frame(decide);
    EXPECT_EQ(driver.menu().state, kTitleMainMenu);
    EXPECT_EQ(work_.dir().Read("savedata/config.dat"), std::string("\x01\0\0\0\x02\0\0\0\x03\0\0\0", 12));
    EXPECT_EQ(g_KeyMasks[0], 0x10u);
    EXPECT_EQ(g_KeyMasks[1], 0x20u);
    EXPECT_EQ(g_KeyMasks[2], 0x40u);
    // The menu keeps its row; the new decide button is in force and opens
    // KEY CONFIG again, on its first row.
    EXPECT_EQ(driver.menu().mainCursor, kMenuKeyConfig);
    driver.Frames({0, decide, 0});
    EXPECT_EQ(driver.menu().state, kTitleMainMenu);
    driver.Frames({D});
    EXPECT_EQ(driver.menu().state, kTitleKeyConfig);
    EXPECT_EQ(driver.menu().keyConfigCursor, 0);
}

TEST_F(KeyConfigScreenTest, CursorWrapsAndReopensOnTheFirstRow) {
    MenuDriver driver;
    EnterKeyConfig(driver, 0);
    driver.Frames({UP, 0});
    EXPECT_EQ(driver.menu().keyConfigCursor, 4);
    driver.Frames({DN, 0});
    EXPECT_EQ(driver.menu().keyConfigCursor, 0);
    driver.Frames({UP, 0, D, 0});  // save & exit
    ASSERT_EQ(driver.menu().state, kTitleMainMenu);
    driver.Frames({D, 0});
    EXPECT_EQ(driver.menu().state, kTitleKeyConfig);
    EXPECT_EQ(driver.menu().keyConfigCursor, 0);
}

// Escape ends the program at once: an edit not saved by "save & exit" is
// lost and the file keeps what it held.
TEST_F(KeyConfigScreenTest, EscapeDropsAnUnsavedEdit) {
    work_.dir().Write("savedata/config.dat", std::string("\x01\0\0\0\x02\0\0\0\x03\0\0\0", 12));
    MenuDriver driver;
    EnterKeyConfig(driver, 0);
    driver.Frames({Button(5), 0});
    EXPECT_EQ(g_KeyConfig[0], 5);
    Recorder().SetKeyDown(1, true);
    driver.Frame(0);
    EXPECT_FALSE(driver.running());
    EXPECT_EQ(work_.dir().Read("savedata/config.dat"), std::string("\x01\0\0\0\x02\0\0\0\x03\0\0\0", 12));
}

TEST_F(KeyConfigScreenTest, WhatTheScreenDraws) {
    MenuDriver driver;
    EnterKeyConfig(driver, 2);
    g_KeyConfig[0] = 9;
    g_KeyConfig[1] = 8;
    g_KeyConfig[2] = 11;  // no text for a button outside 1 to 10
    std::vector<ApiCall> frame = driver.Frame(0);
    const int n = driver.menu().frame;

    std::vector<std::string> texts;
    for (const ApiCall& call : Only(frame, "ApiDrawTextFormatted"))
        texts.push_back(std::to_string(call.Int(0)) + "," + std::to_string(call.Int(1)) + " " + call.Text(3));
    const std::vector<std::string> expected = {
        "320,220 PAD09",
        "320,263 PAD08 or W KEY",
        "230,140 KEY CONFIG",
        "100,220 cancel、attack",
        "100,263 decide、jump",
        "100,306 skill",
        "100,349 default",
        "100,392 save & exit",
    };
    EXPECT_EQ(texts, expected);
    for (const ApiCall& call : Only(frame, "ApiDrawTextFormatted")) EXPECT_EQ(call.Int(2), 0xFFFFFF);

    std::vector<ApiCall> cursor = Only(frame, "ApiRotateBlitGraph");
    ASSERT_EQ(cursor.size(), 2u);  // the logo, then the cursor
    EXPECT_EQ(cursor[1].ToString(),
              "ApiRotateBlitGraph(71, 314, 1, 0, " + std::to_string(kCursorBase + (n / 5) % 30) + ", 1, 0)");
    // The screen is dimmed under it: a black box at alpha 128.
    std::vector<ApiCall> blends = Only(frame, "ApiSetBlendModeParam");
    ASSERT_EQ(blends.size(), 2u);
    EXPECT_EQ(blends[0].ToString(), "ApiSetBlendModeParam(1, 128)");
    EXPECT_EQ(blends[1].ToString(), "ApiSetBlendModeParam(0, 0)");
    EXPECT_EQ(Only(frame, "ApiPaintBox")[0].ToString(), "ApiPaintBox(0, 0, 640, 480, 0, 1)");
}

TEST(KeyConfigBinding, BindButtonKeepsTheBindingsDistinct) {
    // Every row, every button, from every distinct starting binding of
    // buttons 1 to 4: the result is always three distinct buttons, the row
    // holds the button, and the other rows lose at most the pressed button.
    for (int a = 1; a <= 4; ++a)
        for (int b = 1; b <= 4; ++b)
            for (int c = 1; c <= 4; ++c) {
                if (a == b || b == c || a == c) continue;
                for (int row = 0; row < 3; ++row)
                    for (int button = 1; button <= 10; ++button) {
                        g_KeyConfig[0] = a;
                        g_KeyConfig[1] = b;
                        g_KeyConfig[2] = c;
                        const std::int32_t before[3] = {a, b, c};
                        BindButton(row, button);
                        EXPECT_EQ(g_KeyConfig[row], button);
                        EXPECT_NE(g_KeyConfig[0], g_KeyConfig[1]);
                        EXPECT_NE(g_KeyConfig[1], g_KeyConfig[2]);
                        EXPECT_NE(g_KeyConfig[0], g_KeyConfig[2]);
                        for (int other = 0; other < 3; ++other)
                            if (other != row && before[other] != button) {
                                EXPECT_EQ(g_KeyConfig[other], before[other]);
                            }
                    }
            }
}
