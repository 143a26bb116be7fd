#include <gtest/gtest.h>

#include <string>

#include "engine/game_log.h"
#include "game/support/working_dir.h"
#include "rules/key_config.h"

namespace {

std::string Words(std::uint32_t a, std::uint32_t b, std::uint32_t c) {
    std::string bytes;
    for (std::uint32_t v : {a, b, c})
        for (int i = 0; i < 4; ++i) bytes += static_cast<char>((v >> (8 * i)) & 0xFF);
    return bytes;
}

class KeyConfigTest : public ::testing::Test {
protected:
    void SetUp() override {
        ClearGameLog();
        for (int i = 0; i < kKeyActionCount; ++i) {
            g_KeyConfig[i] = 0;
            g_KeyMasks[i] = 0;
        }
    }
    ScopedWorkingDir work_;
};

}  // namespace

TEST_F(KeyConfigTest, ButtonMasks) {
    const std::uint32_t expected[] = {0x10, 0x20, 0x40, 0x80, 0x100, 0x200, 0x400, 0x800, 0x1000, 0x2000};
    for (int button = 1; button <= 10; ++button) {
        g_KeyConfig[0] = button;
        ApplyKeyConfig();
        EXPECT_EQ(g_KeyMasks[0], expected[button - 1]) << button;
    }
    // Button 9 shares the game loop's menu key.
    EXPECT_EQ(ButtonMask(9), 0x1000u);
}

TEST_F(KeyConfigTest, ApplyLeavesMasksOfUnusableButtons) {
    g_KeyConfig[0] = 1;
    g_KeyConfig[1] = 2;
    g_KeyConfig[2] = 3;
    ApplyKeyConfig();
    g_KeyConfig[0] = 0;
    g_KeyConfig[1] = 11;
    g_KeyConfig[2] = 5;
    ApplyKeyConfig();
    EXPECT_EQ(g_KeyMasks[0], 0x10u);
    EXPECT_EQ(g_KeyMasks[1], 0x20u);
    EXPECT_EQ(g_KeyMasks[2], 0x100u);
}

TEST_F(KeyConfigTest, FileRoundTrip) {
    work_.dir().Write("savedata/config.dat", Words(4, 9, 10));
    LoadKeyConfig();
    EXPECT_EQ(g_KeyConfig[0], 4);
    EXPECT_EQ(g_KeyConfig[1], 9);
    EXPECT_EQ(g_KeyConfig[2], 10);
    EXPECT_STREQ(GameLogText(), "");

    SetDefaultKeyConfig();
    ASSERT_TRUE(SaveKeyConfig());
    ApplyKeyConfig();
    EXPECT_EQ(work_.dir().Read("savedata/config.dat"),
              std::string("\x01\0\0\0\x02\0\0\0\x03\0\0\0", 12));
    EXPECT_EQ(g_KeyMasks[0], 0x10u);
    EXPECT_EQ(g_KeyMasks[1], 0x20u);
    EXPECT_EQ(g_KeyMasks[2], 0x40u);
}

TEST_F(KeyConfigTest, MissingFileGivesTheDefaultButtons) {
    LoadKeyConfig();
    EXPECT_EQ(g_KeyConfig[0], 1);
    EXPECT_EQ(g_KeyConfig[1], 2);
    EXPECT_EQ(g_KeyConfig[2], 3);
    EXPECT_NE(std::string(GameLogText()).find("config.dat is missing"), std::string::npos);
    // Saving creates the folder that was missing.
    EXPECT_TRUE(SaveKeyConfig());
    EXPECT_EQ(work_.dir().Read("savedata/config.dat").size(), 12u);
}

TEST_F(KeyConfigTest, ShortOrDamagedFileGivesTheDefaultButtons) {
    work_.dir().Write("savedata/config.dat", Words(5, 6, 7).substr(0, 11));
    LoadKeyConfig();
    EXPECT_EQ(g_KeyConfig[1], 2);
    EXPECT_NE(std::string(GameLogText()).find("too short"), std::string::npos);

    // An unusable decide button would leave the menus without a way to
    // confirm anything, KEY CONFIG included.
    for (std::uint32_t bad : {0u, 11u, 0xFFFFFFFFu}) {
        ClearGameLog();
        work_.dir().Write("savedata/config.dat", Words(5, bad, 7));
        LoadKeyConfig();
        EXPECT_EQ(g_KeyConfig[0], 1) << bad;
        EXPECT_EQ(g_KeyConfig[1], 2) << bad;
        EXPECT_EQ(g_KeyConfig[2], 3) << bad;
        EXPECT_NE(std::string(GameLogText()).find("default"), std::string::npos);
    }
    // One button for two actions: decide and cancel (or either and the
    // skill) would fire together.
    const std::uint32_t shared[][3] = {{4, 4, 7}, {6, 3, 6}, {5, 8, 8}, {9, 9, 9}};
    for (const auto& words : shared) {
        ClearGameLog();
        work_.dir().Write("savedata/config.dat", Words(words[0], words[1], words[2]));
        LoadKeyConfig();
        EXPECT_EQ(g_KeyConfig[0], 1) << words[0] << words[1] << words[2];
        EXPECT_EQ(g_KeyConfig[1], 2);
        EXPECT_EQ(g_KeyConfig[2], 3);
        EXPECT_NE(std::string(GameLogText()).find("two actions"), std::string::npos) << GameLogText();
    }
    // The file itself is left for the player to fix through KEY CONFIG.
    EXPECT_EQ(work_.dir().Read("savedata/config.dat"), Words(9, 9, 9));
}
