// The player's actions through the field frame on a flat floor: walking,
// jumping, the attack combo with its timers, sounds and strike bytes, and the
// three skills with their costs and phases.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/game_random.h"
#include "engine/handles.h"
#include "field/player_actions.h"
#include "game/support/api_recorder.h"
#include "game/support/field.h"
#include "rules/derived_stats.h"
#include "rules/player_action_state.h"
#include "rules/player_motion.h"
#include "rules/player_record.h"
#include "rules/sub_screen.h"
#include "world/monsters/monster_record.h"
#include "world/stages/stage_state.h"

namespace {

constexpr std::uint32_t kDown = 0x1;
constexpr std::uint32_t kLeft = 0x2;
constexpr std::uint32_t kRight = 0x4;
constexpr std::uint32_t kUp = 0x8;
constexpr int kTakara = 900 + kSoundTakara;
constexpr int kSwing = 900 + kSoundSwing;
constexpr int kSwing2 = 900 + kSoundSwing2;

class PlayerActionsTest : public FieldTest {
protected:
    void SetUp() override {
        FieldTest::SetUp();
        Floor(0, 60, 11);
        PlacePlayer(100.0f, 295.0f, false);
    }

    static int Plays(int sound) {
        int n = 0;
        for (const ApiCall& call : Recorder().Calls("ApiPlaySoundHandle")) n += call.Int(0) == sound;
        return n;
    }
};

TEST_F(PlayerActionsTest, WalkSpeed) {
    struct Case {
        const char* name;
        int agi;
        int stage;
        int floorRow;  // 11 puts the standing player at y 295, 10 at 263
        std::uint32_t held;
        float speed;
        int facing;
    } cases[] = {
        {"right", 0, 1, 11, kRight, 1.2f, 0},
        {"left", 0, 1, 11, kLeft, -1.2f, 1},
        {"both: right wins", 0, 1, 11, kLeft | kRight, 1.2f, 0},
        {"AGI 170", 170, 1, 11, kRight, 2.2f, 0},
        {"under water (stage 40, y 295)", 0, 40, 11, kRight, 0.6f, 0},
        {"above the water line (y 263)", 0, 40, 10, kRight, 1.2f, 0},
        {"stage 48 has no water", 0, 48, 11, kRight, 1.2f, 0},
        {"down: crouching, no walk", 0, 1, 11, kDown, 0.0f, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FieldTest::SetUp();
        Floor(0, 60, c.floorRow);
        PlacePlayer(100.0f, c.floorRow * 32.0f - 57.0f, false);
        g_DerivedStats.agiTotal = c.agi;
        g_PlayerRecord.stage = static_cast<std::int8_t>(c.stage);
        PlayFrame(c.held);
        EXPECT_FLOAT_EQ(g_PlayerMotion.horizontalSpeed, c.speed);
        EXPECT_EQ(g_PlayerMotion.facing, c.facing);
        EXPECT_EQ(g_PlayerActionState.crouch, c.held == kDown ? 1 : 0);
    }
}

TEST_F(PlayerActionsTest, StopRequestHaltsThePlayerAfterAStageLoad) {
    g_PlayerMotion.airborne = 1;
    g_PlayerMotion.horizontalSpeed = 1.0f;
    g_PlayerMotion.stopRequest = 1;
    PlayFrame(0);
    EXPECT_EQ(g_PlayerMotion.horizontalSpeed, 0.0f);
    EXPECT_EQ(g_PlayerMotion.stopRequest, 0);
}

// Held, the jump rises 119.4 pixels (apex on frame 81, land on 163); let go
// after its first frame, the released-jump damping cuts it to 67.6 (apex on
// frame 38, land on 99).
TEST_F(PlayerActionsTest, JumpHeldAndReleased) {
    for (bool held : {true, false}) {
        SCOPED_TRACE(held ? "held" : "released");
        SetUp();
        float apex = 1e9f;
        int apexFrame = 0, landFrame = 0;
        for (int n = 1; n < 200 && landFrame == 0; ++n) {
            PlayFrame(held || n == 1 ? kTestJump : 0);
            if (n == 1) {
                EXPECT_FLOAT_EQ(g_PlayerMotion.verticalSpeed, -2.914f);
            }
            if (g_PlayerMotion.y < apex) {
                apex = g_PlayerMotion.y;
                apexFrame = n;
            }
            if (n > 1 && g_PlayerMotion.airborne == 0) landFrame = n;
        }
        EXPECT_NEAR(apex, held ? 175.606f : 227.432f, 1e-3);
        EXPECT_EQ(apexFrame, held ? 81 : 38);
        EXPECT_EQ(landFrame, held ? 163 : 99);
    }
}

TEST_F(PlayerActionsTest, AirSteering) {
    // A jump with nothing held keeps its sideways speed 0; RIGHT in the air
    // pushes by 0.045 a frame up to the walk speed (and one push past it).
    PlayFrame(kTestJump);
    EXPECT_EQ(g_PlayerMotion.horizontalSpeed, 0.0f);
    std::vector<float> speeds;
    for (int n = 0; n < 30; ++n) {
        PlayFrame(kRight);
        speeds.push_back(g_PlayerMotion.horizontalSpeed);
    }
    EXPECT_NEAR(speeds[0], 0.045f, 1e-6);
    EXPECT_NEAR(speeds[9], 0.45f, 1e-5);
    EXPECT_NEAR(speeds[29], 1.215f, 1e-5);
    // Let go: the speed falls by 0.007 a frame.
    PlayFrame(0);
    EXPECT_NEAR(g_PlayerMotion.horizontalSpeed, 1.208f, 1e-5);
    // LEFT: both pushes add the drift, -0.05 a frame in all.
    PlayFrame(kLeft);
    EXPECT_NEAR(g_PlayerMotion.horizontalSpeed, 1.158f, 1e-5);
}

TEST_F(PlayerActionsTest, ComboEndsWithoutABufferedStep) {
    PlayFrame(kTestAttack);
    PlayFrames(93, 0);
    EXPECT_EQ(g_PlayerActionState.attackActive, 1);
    PlayFrame(0);  // t reaches 95
    EXPECT_EQ(g_PlayerActionState.attackActive, 0);
    // A third press without RIGHT or LEFT into the facing buffers nothing.
    PlayFrame(kTestAttack);
    PlayFrame(0);
    PlayFrame(kTestAttack);  // buffered 1
    PlayFrames(80, 0);
    PlayFrame(kTestAttack);  // buffered 2, in step 1
    PlayFrames(80, 0);
    EXPECT_EQ(g_PlayerActionState.comboStep, 2);
    PlayFrame(kTestAttack);
    EXPECT_EQ(g_PlayerActionState.bufferedStep, 2);
    PlayFrame(kTestAttack | kLeft);  // LEFT while facing right
    EXPECT_EQ(g_PlayerActionState.bufferedStep, 2);
}

TEST_F(PlayerActionsTest, RunningBlowAndAirAttack) {
    PlayFrame(kRight);
    PlayFrame(kRight | kTestAttack);
    const PlayerActionState& a = g_PlayerActionState;
    EXPECT_EQ(a.attackActive, 1);
    EXPECT_EQ(a.comboStep, kComboRunningBlow);
    EXPECT_EQ(a.lungeSpeed, 3.0f);
    EXPECT_EQ(a.lungeDecrement, 0.05f);
    PlayFrames(150, 0);
    EXPECT_EQ(a.attackActive, 0);

    // In the air: the aerial blow, its swing at 30 and its end at 66 leave
    // the step at -1 until the landing clears it.
    PlayFrame(kTestJump);
    PlayFrame(kTestJump | kTestAttack);
    EXPECT_EQ(a.comboStep, kComboAirAttack);
    Recorder().Reset();
    PlayFrames(64, kTestJump);
    EXPECT_EQ(a.attackActive, 1);
    EXPECT_EQ(Plays(kSwing), 1);
    PlayFrame(kTestJump);
    EXPECT_EQ(a.attackActive, 0);
    EXPECT_EQ(a.comboStep, kComboAfterAirAttack);
    for (int n = 0; n < 200 && g_PlayerMotion.airborne; ++n) PlayFrame(kTestJump);
    EXPECT_EQ(a.comboStep, 0);
}

// With 210 max SP and INT 12 the costs are 210 / 24 + 30 = 38, (12 / 5) x 4
// + 40 = 48 and 210 / 27 + 18 = 25: one SP short nothing starts and nothing
// sounds; with exactly the cost the skill starts and SP is 0.
TEST_F(PlayerActionsTest, SkillCosts) {
    struct Case {
        const char* name;
        std::uint32_t held;
        int cost;
    } cases[] = {
        {"still", kTestSkill, 38},
        {"side", kTestSkill | kRight, 48},
        {"up", kTestSkill | kUp, 25},
    };
    for (const Case& c : cases)
        for (int sp : {c.cost - 1, c.cost}) {
            SCOPED_TRACE(std::string(c.name) + " with SP " + std::to_string(sp));
            SetUp();
            g_DerivedStats.intTotal = 12;
            g_PlayerRecord.sp = sp;
            PlayFrame(c.held);
            const bool started = sp == c.cost;
            EXPECT_EQ(Plays(kTakara), started ? 1 : 0);
            EXPECT_EQ(g_PlayerRecord.sp, started ? 0 : sp);
            const PlayerActionState& a = g_PlayerActionState;
            const int state = c.held == kTestSkill ? a.skillAActive
                              : (c.held & kRight) ? a.skillBState
                                                  : a.skillCState;
            EXPECT_EQ(state, started ? 1 : 0);
        }
    EXPECT_EQ(StillSkillCost(), 38);
    EXPECT_EQ(SideSkillCost(), 48);
    EXPECT_EQ(UpSkillCost(), 25);
}

TEST_F(PlayerActionsTest, SkillsWaitForEachOther) {
    struct Case {
        const char* name;
        std::uint32_t before;  // pressed the frame before
        std::uint32_t held;
        bool starts;
    } cases[] = {
        {"still skill while crouching", kDown, kDown | kTestSkill, false},
        {"still skill during an attack", kTestAttack, kTestSkill, false},
        {"still skill in the air", kTestJump, kTestSkill, false},
        {"side skill after a still skill", kTestSkill, kTestSkill | kRight, false},
        {"up skill after a side skill", kTestSkill | kLeft, kTestSkill | kUp, false},
        {"still skill after an up skill", kTestSkill | kUp, kTestSkill, false},
        {"plain still skill", 0, kTestSkill, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        PlayFrame(c.before);
        PlayFrame(0);
        Recorder().Reset();
        PlayFrame(c.held);
        EXPECT_EQ(Plays(kTakara), c.starts ? 1 : 0);
    }
}

}  // namespace
