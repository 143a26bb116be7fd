// The game loop's frame on the recording stand-in: the order of its steps in
// field play and under each sub-screen, the menu key, the game start, the
// quit paths and the pacing across a clock wrap.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "engine/frame_input.h"
#include "front/main_loop.h"
#include "front/title_menu.h"
#include "game/support/game_frame.h"
#include "game/support/working_dir.h"
#include "rules/milestones.h"
#include "rules/player_action_state.h"
#include "rules/player_motion.h"
#include "rules/player_record.h"
#include "rules/save_data.h"
#include "rules/sub_screen.h"
#include "screens/system_menu.h"
#include "world/stages/shop_door.h"
#include "world/stages/stage_state.h"
#include "world/stages/warp_door.h"

namespace {

using Steps = std::vector<std::string>;

class GameLoopTest : public GameFrameTest {
protected:
    // Something for every drawing step: a monster, a shop door, a warp door,
    // and the water of stage 40.
    void FurnishField() {
        PlaceLiveMonster(11, 0, 1000.0f, 340.0f);
        g_ShopDoors[0] = {2000, 300, 1};
        g_WarpDoors[3] = {600.0f, 320.0f, 0, 0, 5, 0, 1};
        g_PlayerRecord.stage = 40;
    }
};

TEST_F(GameLoopTest, FieldStepsStopUnderEverySubScreenWhileTheRestRunsInOrder) {
    FurnishField();
    const Steps field = {"messages", "pacing", "input", "move", "layers", "shops", "monsters",
                         "player", "doors", "water", "hud", "present"};
    const Steps underSubScreen = {"messages", "pacing", "input", "layers", "shops", "monsters",
                                  "player", "doors", "water", "hud", "sub-screen", "present"};
    ASSERT_EQ(Frame(), FrameResult::kPresented);
    EXPECT_EQ(FrameSteps(), field) << Recorder().Trace();
    EXPECT_EQ(g_FieldFrameCounter, 1);

    for (std::uint8_t mode : {kSubScreenSystemMenu, kSubScreenStatus, kSubScreenShop}) {
        SCOPED_TRACE(static_cast<int>(mode));
        g_SubScreenMode = mode;
        const float y = g_PlayerMotion.y;
        const int frames = g_FieldFrameCounter;
        ASSERT_EQ(Frame(), FrameResult::kPresented);
        EXPECT_EQ(FrameSteps(), underSubScreen) << Recorder().Trace();
        // No frame count, no move, no pit test; the monster is still drawn.
        EXPECT_EQ(g_FieldFrameCounter, frames);
        EXPECT_EQ(g_PlayerMotion.y, y);
        EXPECT_FALSE(BlitsOf(kMonsterSheetBase + 17 * 11, 17).empty());
    }
}

TEST_F(GameLoopTest, MenuKeyOpensTheSystemMenuOnlyWhenNothingElseIsGoingOn) {
    struct Case {
        const char* what;
        void (*set)();
        bool opens;
    };
    const Case cases[] = {
        {"standing", [] {}, true},
        {"airborne", [] { g_PlayerMotion.airborne = 1; }, false},
        {"attacking", [] { g_PlayerActionState.attackActive = 1; }, false},
        {"skill running", [] { g_PlayerActionState.skillAActive = 1; }, false},
        {"status screen open", [] { g_SubScreenMode = kSubScreenStatus; }, false},
        {"key held since the last frame", [] { g_FrameInputState.held = kMenuKey; }, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ResetGameFrame();
        c.set();
        const std::uint8_t before = g_SubScreenMode;
        Frame(kMenuKey);
        EXPECT_EQ(g_SubScreenMode, c.opens ? std::uint8_t{kSubScreenSystemMenu} : before);
        const Steps steps = FrameSteps();
        EXPECT_EQ(std::count(steps.begin(), steps.end(), "menu key"), c.opens ? 1 : 0);
        // The menu opened before the field update: nothing moved in that frame.
        if (c.opens) {
            EXPECT_EQ(std::count(steps.begin(), steps.end(), "move"), 0);
        }
    }
}

TEST_F(GameLoopTest, ANewGameStartsOnStage1AndALoadedOneWhereItWasSaved) {
    g_SubScreenMode = kSubScreenShop;
    g_SystemMenuCursor = 3;
    g_PlayerRecord.saveSlot = 2;
    g_ProgressRecords[2] = ProgressRecord{};
    g_LoadedGameFlag = 0;
    Recorder().ClearCalls();
    StartGame();
    EXPECT_EQ(g_PlayerRecord.stage, 1);
    EXPECT_EQ(g_StageState.cameraX, 2096.0f);
    EXPECT_EQ(g_PlayerMotion.y, 192.0f);
    EXPECT_EQ(g_PlayerMotion.screenX, 320.0f);
    EXPECT_EQ(g_SubScreenMode, kSubScreenNone);
    EXPECT_EQ(g_SystemMenuCursor, 0);
    EXPECT_EQ(g_ProgressRecords[2].started, 1);
    EXPECT_EQ(g_ProgressRecords[2].awardWord, g_MilestoneAwardWord);
    EXPECT_EQ(Recorder().Count("ApiClearDrawTarget"), 1u);
    ASSERT_EQ(Recorder().Calls("ApiSetDefaultFontSize").size(), 1u);
    EXPECT_EQ(Recorder().Calls("ApiSetDefaultFontSize")[0].Int(0), 16);
    EXPECT_EQ(Recorder().Calls("ApiSetDefaultFontThickness")[0].Int(0), 9);

    g_LoadedGameFlag = 1;
    g_PlayerRecord.stage = 12;
    g_PlayerRecord.arrivalCameraX = 3000;
    g_PlayerRecord.arrivalPlayerY = 200;
    g_PlayerRecord.arrivalScreenX = 100;
    StartGame();
    EXPECT_EQ(g_PlayerRecord.stage, 12);
    EXPECT_EQ(g_StageState.cameraX, 3000.0f);
    EXPECT_EQ(g_PlayerMotion.y, 200.0f);
    EXPECT_EQ(g_PlayerMotion.screenX, 100.0f);
}

// The whole loop: title, NEW GAME on slot 1, QUEST START, play, then the
// window closes (on the title when playFrames is -1).
TEST(GameLoopRun, ClosingTheWindowOnTheTitleSavesNothingAndInPlaySavesFirst) {
    for (int playFrames : {-1, 0, 40}) {
        SCOPED_TRACE(playFrames);
        ScopedWorkingDir dir;
        GameFrameTest::ResetGameFrame();
        Recorder().Reset();
        // Decide on the title, GAME MODE, FILE1 (empty: the difficulty
        // screen), NORMAL; then the banner's 381 frames.
        Recorder().QueuePadStates({0, 0x20, 0, 0x20, 0, 0x20, 0, 0x20, 0});
        const int titleCalls = 8;
        const int questCalls = 381;
        Recorder().CloseWindowAfter(playFrames < 0 ? 3 : titleCalls + questCalls + playFrames);
        EXPECT_EQ(GameLoop(), 0);
        const bool saved = std::filesystem::exists("savedata/file1.dat");
        EXPECT_EQ(saved, playFrames >= 0);
        EXPECT_EQ(Recorder().Count("ApiPresentScreen"),
                  playFrames < 0 ? 3u : static_cast<std::size_t>(titleCalls - 1 + questCalls - 1 + playFrames));
        if (!saved) continue;
        g_PlayerRecord = PlayerRecord{};
        g_PlayerRecord.saveSlot = 0;
        ASSERT_TRUE(LoadGameFile());
        EXPECT_EQ(g_PlayerRecord.stage, 1);
        EXPECT_EQ(g_PlayerRecord.level, 1);
        EXPECT_EQ(g_PlayerRecord.difficulty, kDifficultyNormal);
        EXPECT_EQ(g_PlayerRecord.arrivalCameraX, 2096);
    }
}

TEST_F(GameLoopTest, PacingGoesOnAcrossTheClockWrap) {
    Recorder().SetClock(0xFFFFFFF0u, 1);
    g_FrameInputState.lastFrameTime = 0xFFFFFFF0u;
    std::uint32_t last = g_FrameInputState.lastFrameTime;
    for (int frame = 0; frame < 10; ++frame) {
        ASSERT_EQ(Frame(), FrameResult::kPresented);
        const std::uint32_t now = g_FrameInputState.lastFrameTime;
        EXPECT_GE(static_cast<std::int32_t>(now - last), 5);
        EXPECT_LE(static_cast<std::int32_t>(now - last), 6);
        last = now;
    }
    EXPECT_LT(last, 0x100u);  // wrapped
}

}  // namespace
