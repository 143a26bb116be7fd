// The player drawn by the real framework over stage 1 of the generated data
// set, headless: the sprite lands where its anchor says, transparent around
// it, mirrored when it faces left, and SkillC's cross and ball show. Run with
// KELVO_CAPTURE=<folder> (and KELVO_CAPTURE_EVERY) to keep the frames as PNG.
#include <gtest/gtest.h>

#include "engine/frame_input.h"
#include "engine/handles.h"
#include "field/player_actions.h"
#include "field/player_character.h"
#include "integration/support/generated_game_folder.h"
#include "kelvo/api.h"
#include "platform/display.h"
#include "rules/derived_stats.h"
#include "rules/key_config.h"
#include "rules/player_action_state.h"
#include "rules/player_motion.h"
#include "rules/player_record.h"
#include "rules/sub_screen.h"
#include "world/stages/stage_loader.h"
#include "world/stages/stage_state.h"

namespace {

constexpr std::uint32_t kRight = 0x4;
constexpr std::uint32_t kUp = 0x8;
constexpr std::uint32_t kAttack = 0x10;
constexpr std::uint32_t kJump = 0x20;
constexpr std::uint32_t kSkill = 0x40;

class PlayerOnScreen : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(game_.Start());
        PlatformSetFrameSink([this](const PlatformFrame& frame) { last_ = frame; });
    }
    void TearDown() override {
        PlatformSetFrameSink(nullptr);
        game_.End();
    }

    // The background the game loop draws: the stage's panels at the camera.
    static void DrawPanels() {
        const int camera = static_cast<int>(g_StageState.cameraX);
        for (int i = 0; i < kStagePanelCount; ++i) {
            int x = i * kPanelWidth - camera;
            if (x > -kPanelWidth && x < 640) ApiBlitGraph(x, 0, g_StageState.panelImages[i], 0);
        }
    }

    // One field frame, drawn and presented.
    void Frame(std::uint32_t held, bool drawPlayer = true) {
        FrameInputState& input = g_FrameInputState;
        input.newlyPressed = held & ~input.held;
        input.held = held;
        ++g_FieldFrameCounter;
        ApiSelectDrawTarget(kDrawTargetBack);
        ApiClearDrawTarget();
        UpdatePlayerActions();
        DrawPanels();
        if (drawPlayer) UpdatePlayer(g_PlayerSheet, g_PlayerMotion.horizontalSpeed, g_PlayerMotion.facing);
        AdvanceSkillTimers();
        ApiPresentScreen();
        ApiProcessMessage();
    }

    // Pixels of the last frame that differ from `before` inside and outside
    // the rectangle.
    struct Diff {
        int inside = 0, outside = 0;
    };
    Diff Compare(const PlatformFrame& before, int x0, int y0, int x1, int y1) const {
        Diff d;
        for (int y = 0; y < 480; ++y)
            for (int x = 0; x < 640; ++x) {
                if (last_.Rgb(x, y) == before.Rgb(x, y)) continue;
                (x >= x0 && x < x1 && y >= y0 && y < y1 ? d.inside : d.outside)++;
            }
        return d;
    }

    GeneratedGameFolder game_;
    PlatformFrame last_;
};

TEST_F(PlayerOnScreen, StandWalkFightAndCastOverStage1) {
    ASSERT_EQ(ApiLoadImageToDivGraphs("rukbmp\\rukall.bmp", 144, 12, 12, 128, 128, g_PlayerSheet, 0), 0);
    ASSERT_EQ(ApiLoadImageToDivGraphs("rukbmp\\juujiall.bmp", 24, 6, 4, 64, 64, g_CrossEffectSheet, 0), 0);
    ASSERT_EQ(ApiLoadImageToDivGraphs("rukbmp\\ball.bmp", 32, 8, 4, 64, 64, g_BallEffectSheet, 0), 0);
    g_KeyMasks[kKeyCancelAttack] = kAttack;
    g_KeyMasks[kKeyDecideJump] = kJump;
    g_KeyMasks[kKeySkill] = kSkill;
    g_DerivedStats = DerivedStats{};
    g_DerivedStats.agiTotal = 1;
    g_DerivedStats.intTotal = 1;
    g_PlayerRecord.hp = g_PlayerRecord.maxHp = 620;
    g_PlayerRecord.sp = g_PlayerRecord.maxSp = 210;
    g_PlayerMotion = PlayerMotion{};
    g_PlayerActionState = PlayerActionState{};
    g_SubScreenMode = kSubScreenNone;
    g_PlayerRecord.arrivalCameraX = 2096;
    g_PlayerRecord.arrivalPlayerY = 192;
    g_PlayerRecord.arrivalScreenX = 320;
    LoadStage(1);

    // Land, then stand still facing right: frame 100 shows the stage alone,
    // frame 101 the player on it (the idle pose), drawn only inside its
    // 128 x 128 frame at (screen x - 64, y - 67).
    for (int n = 0; n < 99; ++n) Frame(0);
    ASSERT_EQ(g_PlayerMotion.airborne, 0);
    Frame(0, false);
    const PlatformFrame background = last_;
    ASSERT_EQ(background.width, 640);
    Frame(0);
    const int left = static_cast<int>(g_PlayerMotion.screenX - 64.0f);
    const int top = static_cast<int>(g_PlayerMotion.y - 67.0f);
    Diff idle = Compare(background, left, top, left + 128, top + 128);
    EXPECT_GT(idle.inside, 500);
    EXPECT_EQ(idle.outside, 0);

    // Walking left (drawn mirrored) and back right, a jump, two blows of the
    // combo, and the up skill until its ball flies: the frames to look at.
    for (int n = 0; n < 30; ++n) Frame(0x2);
    EXPECT_EQ(g_PlayerMotion.facing, 1);
    for (int n = 0; n < 30; ++n) Frame(kRight);
    EXPECT_EQ(g_PlayerMotion.facing, 0);
    for (int n = 0; n < 60; ++n) Frame(n == 0 ? kJump : kJump | kRight);
    for (int n = 0; n < 120; ++n) Frame(0);
    ASSERT_EQ(g_PlayerMotion.airborne, 0);
    for (int n = 1; n <= 100; ++n) Frame(n == 1 || n == 10 ? kAttack : 0);
    EXPECT_EQ(g_PlayerActionState.comboStep, 1);
    for (int n = 0; n < 50; ++n) Frame(0);
    EXPECT_EQ(g_PlayerActionState.attackActive, 0);
    for (int n = 0; n < 140; ++n) Frame(n == 0 ? kSkill | kUp : 0);
    EXPECT_EQ(g_PlayerActionState.skillCActive, 1);
}

}  // namespace
