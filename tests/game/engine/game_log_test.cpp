#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "engine/game_log.h"

TEST(GameLog, KeepsTheNewestLinesWithinItsBuffer) {
    ClearGameLog();
    std::string longText(400, 'x');  // longer than a line: cut
    GameLog("%s", longText.c_str());
    EXPECT_LT(std::strlen(GameLogText()), 300u);

    for (int i = 0; i < 200; ++i) GameLog("line %d %s", i, std::string(150, 'y').c_str());
    std::string text = GameLogText();
    EXPECT_LT(text.size(), 8192u);
    EXPECT_NE(text.find("line 199 "), std::string::npos);
    EXPECT_EQ(text.find("line 0 "), std::string::npos);
    EXPECT_EQ(text.back(), '\n');
    // Whole lines are dropped, never parts of one.
    EXPECT_EQ(text.rfind("line ", 0), 0u);
    ClearGameLog();
    EXPECT_STREQ(GameLogText(), "");
}
