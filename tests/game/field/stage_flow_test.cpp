// Leaving and reloading stages within the game loop's frame: the pit, the
// defeat, the edge exits, the warp doors and the ending door.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "engine/frame_input.h"
#include "field/stage_flow.h"
#include "front/title_menu.h"
#include "game/support/game_frame.h"
#include "game/support/working_dir.h"
#include "rules/gallery_flags.h"
#include "rules/player_motion.h"
#include "rules/player_record.h"
#include "rules/quit_path.h"
#include "rules/save_data.h"
#include "rules/sub_screen.h"
#include "world/monsters/damage_numbers.h"
#include "world/monsters/monster_kind_params.h"
#include "world/monsters/monster_record.h"
#include "world/stages/stage_exit.h"
#include "world/stages/stage_state.h"
#include "world/stages/warp_door.h"

namespace {

// A stage number with no set-up: loading it changes only the stage byte and
// the camera and player, so a test sees exactly what the path did.
constexpr int kBareStage = 70;

class StageFlowTest : public GameFrameTest {};

TEST_F(StageFlowTest, APitCostsHalfOfEachMaximumButNeverTheLastHp) {
    struct Case {
        std::int32_t hp, maxHp, sp, maxSp, hpAfter, spAfter;
    };
    const Case cases[] = {
        {620, 620, 210, 210, 310, 105}, {1, 620, 210, 210, 1, 105},    {300, 620, 100, 210, 1, 0},
        {621, 621, 105, 210, 311, 0},   {620, 620, 106, 210, 310, 1},  {5, 1, 0, 1, 5, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.hp << "/" << c.maxHp << " " << c.sp << "/" << c.maxSp);
        ResetGameFrame();
        g_PlayerRecord.stage = kBareStage;
        g_PlayerRecord.hp = c.hp, g_PlayerRecord.maxHp = c.maxHp;
        g_PlayerRecord.sp = c.sp, g_PlayerRecord.maxSp = c.maxSp;
        TakePitPath();
        EXPECT_EQ(g_PlayerRecord.hp, c.hpAfter);
        EXPECT_EQ(g_PlayerRecord.sp, c.spAfter);
    }

    // In the frame: a fall past y 1000 reloads the stage at its point of entry
    // and ends the frame unseen; the monsters did not move.
    ResetGameFrame();
    std::memset(&g_CollisionGrid, 0, sizeof g_CollisionGrid);
    g_PlayerRecord.stage = kBareStage;
    g_PlayerRecord.arrivalCameraX = 40, g_PlayerRecord.arrivalPlayerY = 100, g_PlayerRecord.arrivalScreenX = 200;
    PlacePlayer(320.0f, 999.0f, true);
    g_PlayerMotion.verticalSpeed = 4.0f;
    EXPECT_EQ(Frame(), FrameResult::kNextFrame);
    EXPECT_EQ(g_PlayerRecord.stage, kBareStage);
    EXPECT_EQ(g_StageState.cameraX, 40.0f);
    EXPECT_EQ(g_PlayerMotion.y, 100.0f);
    EXPECT_EQ(g_PlayerMotion.screenX, 200.0f);
    EXPECT_EQ(g_PlayerRecord.hp, 310);
    EXPECT_EQ(Recorder().Count("ApiPresentScreen"), 0u);
    EXPECT_EQ(Recorder().Count("ApiClearScreenLog"), 1u);  // the player's move only
}

TEST_F(StageFlowTest, EdgeExitsFireAtTheirBoundsLeftFirstAlsoUnderASubScreen) {
    struct Case {
        float screenX;
        std::int32_t leftEnabled, rightEnabled;
        std::uint8_t mode;
        int taken;  // destination, or 0
    };
    const Case cases[] = {
        {0.0f, 1, 1, kSubScreenNone, 71},   {0.1f, 1, 1, kSubScreenNone, 0},   {-5.0f, 2, 1, kSubScreenNone, 0},
        {640.0f, 1, 1, kSubScreenNone, 72}, {639.9f, 1, 1, kSubScreenNone, 0}, {700.0f, 1, 0, kSubScreenNone, 0},
        {0.0f, 1, 1, kSubScreenStatus, 71}, {640.0f, 0, 1, kSubScreenShop, 72},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.screenX << " enabled " << c.leftEnabled << "/" << c.rightEnabled);
        ResetGameFrame();
        g_LeftEdgeExit = {1100, 150, 71, c.leftEnabled, 637};
        g_RightEdgeExit = {2200, 250, 72, c.rightEnabled, 3};
        g_SubScreenMode = c.mode;
        g_PlayerMotion.screenX = c.screenX;
        g_FrameInputState.newlyPressed = kPadUp;
        EXPECT_EQ(TakeEdgeExit(), c.taken != 0);
        if (c.taken == 0) {
            EXPECT_EQ(g_PlayerRecord.stage, 1);
            continue;
        }
        const StageExit& exit = c.taken == 71 ? g_LeftEdgeExit : g_RightEdgeExit;
        EXPECT_EQ(g_PlayerRecord.stage, c.taken);
        EXPECT_EQ(g_PlayerRecord.arrivalCameraX, exit.arrivalCameraX);
        EXPECT_EQ(g_PlayerMotion.y, static_cast<float>(exit.arrivalPlayerY));
        EXPECT_EQ(g_PlayerMotion.screenX, static_cast<float>(exit.arrivalScreenX));
        EXPECT_EQ(g_FrameInputState.newlyPressed, 0u);
    }
}

TEST_F(StageFlowTest, WarpDoorsAreEnteredWithinStrictBoundsInFieldPlayOnly) {
    struct Case {
        float screenX, y;
        std::uint32_t pressed;
        std::uint8_t mode;
        bool enters;
    };
    // The door stands at world (600, 320), the camera at 0.
    const Case cases[] = {
        {600.0f, 320.0f, kPadUp, kSubScreenNone, true},   {544.0f, 320.0f, kPadUp, kSubScreenNone, false},
        {544.5f, 320.0f, kPadUp, kSubScreenNone, true},   {656.0f, 320.0f, kPadUp, kSubScreenNone, false},
        {655.5f, 320.0f, kPadUp, kSubScreenNone, true},   {600.0f, 280.0f, kPadUp, kSubScreenNone, false},
        {600.0f, 280.5f, kPadUp, kSubScreenNone, true},   {600.0f, 404.0f, kPadUp, kSubScreenNone, false},
        {600.0f, 403.5f, kPadUp, kSubScreenNone, true},   {600.0f, 320.0f, kPadDown, kSubScreenNone, false},
        {600.0f, 320.0f, kPadUp, kSubScreenStatus, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.screenX << "," << c.y << " mode " << int{c.mode});
        ResetGameFrame();
        g_WarpDoors[4] = {600.0f, 320.0f, 1500, 260, kBareStage, 33, 1};
        g_SubScreenMode = c.mode;
        g_PlayerMotion.screenX = c.screenX;
        g_PlayerMotion.y = c.y;
        g_FrameInputState.newlyPressed = c.pressed;
        EXPECT_FALSE(RunWarpDoors());
        // Drawn whatever happens, before its test.
        EXPECT_EQ(BlitsOf(kWarpBase, 6), (std::vector<Blit>{{kWarpBase, 536, 284}}));
        EXPECT_EQ(g_PlayerRecord.stage, c.enters ? kBareStage : 1);
        if (c.enters) {
            EXPECT_EQ(g_StageState.cameraX, 1500.0f);
            EXPECT_EQ(g_PlayerMotion.y, 260.0f);
            EXPECT_EQ(g_PlayerMotion.screenX, 33.0f);
        }
    }

    // The door's six frames turn every 12 field frames.
    for (auto [counter, frame] : {std::pair{0, 0}, {11, 0}, {12, 1}, {71, 5}, {72, 0}}) {
        ResetGameFrame();
        g_WarpDoors[0] = {100.0f, 100.0f, 0, 0, 2, 0, 1};
        g_FieldFrameCounter = counter;
        RunWarpDoors();
        EXPECT_EQ(BlitsOf(kWarpBase, 6).at(0).handle, kWarpBase + frame) << counter;
    }
}

TEST_F(StageFlowTest, AWarpDoorLoadsItsStageAndTheFrameGoesOnToItsPresent) {
    g_WarpDoors[6] = {320.0f, 320.0f, 1000, 200, kBareStage, 320, 1};
    EXPECT_EQ(Frame(kPadUp), FrameResult::kPresented);
    EXPECT_EQ(g_PlayerRecord.stage, kBareStage);
    const std::vector<std::string> steps = FrameSteps();
    ASSERT_GE(steps.size(), 3u);
    EXPECT_EQ(std::vector<std::string>(steps.end() - 3, steps.end()),
              (std::vector<std::string>{"doors", "hud", "present"}));
}

TEST_F(StageFlowTest, TheEndingDoorSavesTheGameOnStage43AndLeavesForTheTitle) {
    ScopedWorkingDir dir;
    g_WarpDoors[6] = {320.0f, 320.0f, 1952, 296, kEndingDestination, 3, 1};
    g_PlayerRecord.stage = 61;
    g_ReturnedFromGameFlag = 0;
    EXPECT_EQ(Frame(kPadUp), FrameResult::kQuitToTitle);
    EXPECT_EQ(Recorder().Count("ApiPresentScreen"), 768u);  // the ending's own frames
    EXPECT_EQ(g_PlayerRecord.stage, 43);
    EXPECT_EQ(g_WarpDoors[6].destination, 43);
    EXPECT_EQ(g_ReturnedFromGameFlag, 1);
    TitleMenu menu;
    BeginTitleMenu(menu);
    EXPECT_EQ(g_ReturnedFromGameFlag, 0);  // the title clears it
    int musicStops = 0;
    for (const ApiCall& call : Recorder().Calls("ApiStopSoundHandle")) musicStops += call.Int(0) >= kMusicBase;
    EXPECT_EQ(musicStops, 16);  // by the ending, then by the door

    g_PlayerRecord = PlayerRecord{};
    ASSERT_TRUE(LoadGameFile());
    EXPECT_EQ(g_PlayerRecord.stage, 43);
    EXPECT_EQ(g_PlayerRecord.arrivalCameraX, 1952);
    EXPECT_EQ(g_PlayerRecord.arrivalPlayerY, 296);
    EXPECT_EQ(g_PlayerRecord.arrivalScreenX, 3);
}

TEST_F(StageFlowTest, TheFirstKindInOrderThatLeavesHpAt0DecidesTheDefeat) {
    ScopedWorkingDir dir;
    g_PlayerRecord.stage = kBareStage;
    g_PlayerRecord.hp = 1;
    g_PlayerRecord.exp = 30;
    // Kinds 12, 13 and 30 run in that order; 13 and 30 both bite this frame.
    for (int kind : {12, 13, 30}) {
        PlaceLiveMonster(kind, 0, 340.0f, 359.0f);
        MonsterRecord& m = g_MonsterPools[kind][0];
        m.engage = kMonsterAttacking;
        m.attackTimer = kind == 12 ? 0 : 3 * kMonsterKindParams[kind].frameTime - 1;
    }
    g_PlayerPopupRing.timer[7] = 50;
    // GAME OVER takes a key from its 769th frame on.
    std::vector<std::uint32_t> pads(769, 0);  // this frame and GAME OVER's first 768
    pads.push_back(0x20);
    Recorder().ClearCalls();
    Recorder().QueuePadStates(pads);
    EXPECT_EQ(RunGameFrame(), FrameResult::kNextFrame);

    EXPECT_EQ(g_DefeatPictureIndex, kMonsterKindParams[13].defeatPicture);
    EXPECT_EQ(g_GalleryFlags[kMonsterKindParams[13].defeatPicture], 1);
    EXPECT_TRUE(BlitsOf(kMonsterSheetBase + 17 * 30, 17).empty());  // kind 30 never ran
    EXPECT_EQ(Recorder().Count("ApiPresentScreen"), 768u);
    // The penalty, and the stage reloaded at its point of entry.
    EXPECT_EQ(g_PlayerRecord.hp, 310);
    EXPECT_EQ(g_PlayerRecord.exp, 25);
    EXPECT_EQ(g_PlayerPopupRing.timer[7], 0);
    EXPECT_EQ(g_MonsterPools[12][0].alive, kMonsterFree);
    EXPECT_EQ(g_PlayerMotion.y, kStandingY);
}

}  // namespace
