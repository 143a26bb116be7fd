// The on-screen log's state. Fonts and the screen device are not there yet,
// so it cannot be set up or drawn; its text operations still work.
#include <gtest/gtest.h>

#include <cstring>

#include "core/screen_log.h"
#include "core/system_state.h"

namespace {

class ScreenLogTest : public ::testing::Test {
protected:
    void TearDown() override { g_ScreenLog = ScreenLog{}; }
};

TEST_F(ScreenLogTest, SetUpNeedsTheScreenDevice) {
    EXPECT_EQ(InitScreenLog(), -1);
    EXPECT_EQ(g_ScreenLog.setUp, 0);
    EXPECT_EQ(DrawScreenLog(), 0);  // nothing set up: nothing drawn
    EXPECT_EQ(EnsureScreenLogFont(), 0);
    EXPECT_EQ(g_ScreenLog.setUp, 0);
}

TEST_F(ScreenLogTest, ResetKeepsTheLineCountAndClearKeepsNothing) {
    std::strcpy(g_ScreenLog.text[0], "first");
    std::strcpy(g_ScreenLog.text[79], "last");
    g_ScreenLog.lineCount = 2;
    g_ScreenLog.writeColumn = 4;
    g_ScreenLog.writeLine = 1;
    EXPECT_EQ(ResetScreenLogText(), 0);
    EXPECT_STREQ(g_ScreenLog.text[0], "");
    EXPECT_STREQ(g_ScreenLog.text[79], "");
    EXPECT_EQ(g_ScreenLog.writeColumn, 0);
    EXPECT_EQ(g_ScreenLog.writeLine, 0);
    EXPECT_EQ(GetScreenLogLineCount(), 2);
    EXPECT_EQ(ClearScreenLog(), 0);
    EXPECT_EQ(GetScreenLogLineCount(), 0);
}

TEST_F(ScreenLogTest, MissingFontIsTriedAgainOnTheNextUse) {
    g_ScreenLog.setUp = 1;
    g_ScreenLog.lineHeight = 16;
    g_ScreenLog.fontHandle = -1;
    g_ScreenLog.fontLost = 1;
    EXPECT_EQ(EnsureScreenLogFont(), 0);
    EXPECT_EQ(g_ScreenLog.fontHandle, -1);
    EXPECT_EQ(g_ScreenLog.fontLost, 1);
    EXPECT_EQ(DrawScreenLog(), 0);
}

}  // namespace
