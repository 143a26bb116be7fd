// Scripted input over stages of the generated data set: the player walks
// from stage 1's arrival to its right exit, jumping where the ground steps
// up; the combo and each skill run through their phases there; and the same
// input gives the same positions and random numbers on every run, on stage 2
// with its monsters as well.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
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
#include "support/temp_dir.h"
#include "world/monsters/monster_record.h"
#include "world/stages/stage_exit.h"
#include "world/stages/stage_loader.h"
#include "world/stages/stage_state.h"

namespace {

constexpr std::uint32_t kRight = 0x4;
constexpr std::uint32_t kUp = 0x8;

float WorldX() { return g_PlayerMotion.screenX + g_StageState.cameraX; }

std::string Position(int frame) {
    char line[160];
    std::snprintf(line, sizeof line, "frame %4d: screen x %7.2f, camera x %7.2f, world x %7.2f, y %6.2f%s", frame,
                  g_PlayerMotion.screenX, g_StageState.cameraX, WorldX(), g_PlayerMotion.y,
                  g_PlayerMotion.airborne ? " (in the air)" : "");
    return line;
}

class StagePlayTest : public FieldTest {
protected:
    static void SetUpTestSuite() {
        data_ = new TempDir;
        std::string tool = std::string(KELVO_DATAGEN_PATH) + " " + data_->str() + " >/dev/null";
        ASSERT_EQ(std::system(tool.c_str()), 0);
    }
    static void TearDownTestSuite() {
        delete data_;
        data_ = nullptr;
    }
    void SetUp() override {
        ResetField();
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(data_->path());
    }
    void TearDown() override { std::filesystem::current_path(previous_); }

    // A new game's player (level 1, every stat 1) entering `stage` at the
    // arrival words, as the game loop's stage loads do.
    static void Enter(int stage, int cameraX, int y, int screenX) {
        ResetField();
        g_DerivedStats.agiTotal = 1;
        g_DerivedStats.intTotal = 1;
        g_PlayerRecord.arrivalCameraX = cameraX;
        g_PlayerRecord.arrivalPlayerY = y;
        g_PlayerRecord.arrivalScreenX = screenX;
        LoadStage(stage);
    }


    static TempDir* data_;
    std::filesystem::path previous_;
};
TempDir* StagePlayTest::data_ = nullptr;

// Holds RIGHT; when a wall stops the player on the ground, presses jump and
// holds it until the landing. Returns the pad states it played.
struct WalkResult {
    std::vector<std::uint32_t> script;
    std::vector<std::string> log;
    int exitFrame = 0;
    int jumps = 0;
};

WalkResult WalkRightToTheExit(int maxFrames) {
    WalkResult r;
    bool jumping = false;
    for (int n = 1; n <= maxFrames; ++n) {
        std::uint32_t held = kRight;
        const PlayerMotion& p = g_PlayerMotion;
        if (jumping && p.airborne) held |= kTestJump;
        if (!jumping && p.airborne == 0 && p.wallContact) {
            held |= kTestJump;
            ++r.jumps;
        }
        jumping = (held & kTestJump) != 0;
        r.script.push_back(held);
        FieldTest::PlayFrame(held);
        if (n % 50 == 0) r.log.push_back(Position(n));
        // The game loop takes the right exit here.
        if (g_RightEdgeExit.enabled == 1 && p.screenX >= 640.0f) {
            r.exitFrame = n;
            r.log.push_back(Position(n) + ": the right exit");
            break;
        }
    }
    return r;
}

std::vector<std::string> Replay(const std::vector<std::uint32_t>& script) {
    std::vector<std::string> log;
    for (std::size_t i = 0; i < script.size(); ++i) {
        FieldTest::PlayFrame(script[i]);
        int n = static_cast<int>(i) + 1;
        if (n % 50 == 0 || i + 1 == script.size()) log.push_back(Position(n));
    }
    return log;
}

TEST_F(StagePlayTest, WalkFromTheArrivalToTheRightExitOfStage1) {
    Enter(1, 2096, 192, 320);
    ASSERT_EQ(g_StageState.cameraRightBound, 2528);
    WalkResult walk = WalkRightToTheExit(3000);
    for (const std::string& line : walk.log) std::printf("%s\n", line.c_str());
    ASSERT_GT(walk.exitFrame, 0) << "the player got stuck";
    EXPECT_LT(walk.exitFrame, 1000);
    // The ground dips a row on the way: the player drops in and jumps out
    // onto the step. The camera stops within a step past its right bound, and
    // the player crosses the screen to the exit.
    EXPECT_EQ(walk.jumps, 1);
    EXPECT_GE(g_StageState.cameraX, 2528.0f);
    EXPECT_LT(g_StageState.cameraX, 2530.0f);

    // Never stuck: every 50 frames the player gets on by at least 30 pixels.
    Enter(1, 2096, 192, 320);
    float last = WorldX();
    for (std::size_t i = 0; i < walk.script.size(); ++i) {
        PlayFrame(walk.script[i]);
        if ((i + 1) % 50 == 0) {
            EXPECT_GT(WorldX() - last, 30.0f) << "frames " << i - 49 << " to " << i;
            last = WorldX();
        }
    }
    EXPECT_GE(g_PlayerMotion.screenX, 640.0f);
}

// The full chain with AGI 1 (the timer advances 1.006 a frame): each press
// during a step buffers the next, each step chains once its timer passes 75,
// 75 and 90, the third chain only with RIGHT held into the facing. Swing
// sounds and strike bytes mark each blow once; the running blow carries the
// player on, the camera taking the step.
TEST_F(StagePlayTest, ComboOnStage1) {
    Enter(1, 2096, 192, 320);
    g_DerivedStats.agiTotal = 0;  // a timer step of exactly 1.0
    PlayFrames(120, 0);           // land from the arrival height
    ASSERT_EQ(g_PlayerMotion.airborne, 0);
    const float start = WorldX();
    Recorder().Reset();
    std::vector<std::string> events;
    const PlayerActionState& a = g_PlayerActionState;
    std::int8_t step = 0;
    std::uint8_t active = 0;
    std::size_t sounds = 0;
    for (int n = 1; n <= 400; ++n) {
        std::uint32_t held = 0;
        if (n == 1 || n == 10 || n == 80) held = kTestAttack;
        if (n == 160) held = kTestAttack | kRight;
        PlayFrame(held);
        const std::string at = std::to_string(n) + ": ";
        if (a.attackActive != active) events.push_back(at + (a.attackActive ? "attack" : "end"));
        if (a.comboStep != step) events.push_back(at + "step " + std::to_string(a.comboStep));
        if (a.strike != a.previousStrike) events.push_back(at + "strike");
        auto plays = Recorder().Calls("ApiPlaySoundHandle");
        for (; sounds < plays.size(); ++sounds)
            events.push_back(at + (plays[sounds].Int(0) == 900 + kSoundSwing ? "th" : "th2"));
        step = a.comboStep;
        active = a.attackActive;
    }
    const std::vector<std::string> expected = {
        "1: attack",      "45: strike",  "45: th",      "75: step 1",  "120: strike", "120: th",
        "150: step 2",    "230: strike", "230: th2",    "240: step 3", "330: strike", "330: th2",
        "384: end",       "384: step 0",
    };
    EXPECT_EQ(events, expected);
    // The running blow: t from 81 to 144, 64 frames at 3.0 slowing by 0.05.
    EXPECT_NEAR(WorldX() - start, 64 * 3.0f - 0.05f * 63 * 64 / 2, 1e-2);
    std::printf("combo, %.2f pixels on:", WorldX() - start);
    for (const std::string& e : events) std::printf(" [%s]", e.c_str());
    std::printf("\n");
}

// A new game's 210 SP and INT 1: the still skill costs 38, the side skill 40
// (its power 5), the up skill 25. Each runs through its phases on the frames
// its timers give; 500 frames under the status screen hold the recoveries.
TEST_F(StagePlayTest, EachSkillOnStage1) {
    Enter(1, 2096, 192, 320);
    PlayFrames(120, 0);
    ASSERT_EQ(g_PlayerMotion.airborne, 0);
    g_PlayerRecord.hp = 200;
    for (auto& pool : g_MonsterPools)
        for (MonsterRecord& m : pool) m.skillHitCount = 9;
    const PlayerActionState& a = g_PlayerActionState;
    std::vector<std::string> events;
    auto note = [&events](int n, const std::string& what) {
        events.push_back(std::to_string(n) + ": " + what + ", SP " + std::to_string(g_PlayerRecord.sp));
    };
    std::uint8_t stillWas = 0, sideWas = 0, upWas = 0, upActiveWas = 0;
    bool runningWas = false;
    for (int n = 1; n <= 8200; ++n) {
        std::uint32_t held = 0;
        if (n == 1) held = kTestSkill;
        if (n == 210) held = kTestSkill | kRight;
        if (n == 420) held = kTestSkill | kUp;
        g_SubScreenMode = n > 1000 && n <= 1500 ? kSubScreenStatus : kSubScreenNone;
        const int sp = g_PlayerRecord.sp;
        const float y = g_PlayerMotion.y;
        PlayFrame(held);
        if (a.skillAActive != stillWas) note(n, a.skillAActive ? "still skill on" : "still skill off");
        if (a.skillBState != sideWas) note(n, "side skill state " + std::to_string(a.skillBState));
        if (a.skillCState != upWas) note(n, "up skill state " + std::to_string(a.skillCState));
        if (a.skillCActive != upActiveWas) note(n, a.skillCActive ? "up skill effect on" : "up skill effect off");
        if (IsSkillRunning() != runningWas) note(n, IsSkillRunning() ? "running" : "not running");
        if (n == 1) {
            EXPECT_EQ(sp - g_PlayerRecord.sp, 38);
            // (41 % 21 + 80) / 100 x 210 + 70, 41 being the first number drawn.
            EXPECT_EQ(g_PlayerRecord.hp, 200 + 280);
        }
        if (n == 210) {
            EXPECT_EQ(sp - g_PlayerRecord.sp, 40);
            EXPECT_EQ(a.skillBPower, 5);
            EXPECT_EQ(a.accuracyBonus, 5);
        }
        if (n == 420) {
            EXPECT_EQ(sp - g_PlayerRecord.sp, 25);
            EXPECT_EQ(a.skillCOriginX, 320.0f);
            EXPECT_EQ(a.skillCOriginY, y - 35.0f);
            for (auto& pool : g_MonsterPools)
                for (MonsterRecord& m : pool) ASSERT_EQ(m.skillHitCount, 0);
        }
        stillWas = a.skillAActive;
        sideWas = a.skillBState;
        upWas = a.skillCState;
        upActiveWas = a.skillCActive;
        runningWas = IsSkillRunning();
    }
    EXPECT_EQ(a.skillBPower, 0);
    EXPECT_EQ(a.accuracyBonus, 0);
    for (const std::string& e : events) std::printf("%s\n", e.c_str());
    std::vector<std::string> frames;
    for (const std::string& e : events) frames.push_back(e.substr(0, e.find(',')));
    // SkillA runs for timer 0 to 150 and ends after 201 frames; SkillB runs
    // 200 frames, recovers 1 x 70 + 7000 field frames; SkillC runs to 156,
    // its ball ends at timer 377 (which restarts its timer), then it
    // recovers to 5000.
    EXPECT_EQ(frames, (std::vector<std::string>{
                          "1: still skill on", "1: running", "151: not running", "201: still skill off",
                          "210: side skill state 1", "210: running", "360: not running", "410: side skill state 2",
                          "420: up skill state 1", "420: up skill effect on", "420: running", "576: not running",
                          "620: up skill state 2", "796: up skill effect off", "6295: up skill state 0",
                          "7979: side skill state 0"}));
}

// The same input script, run again from the same start, gives the same
// positions and the same random numbers: on stage 1 (the walk) and on stage
// 2, whose monsters draw numbers as they turn and attack.
TEST_F(StagePlayTest, SameScriptSamePositionsAndNumbers) {
    Enter(1, 2096, 192, 320);
    ResetGameRand();
    WalkResult walk = WalkRightToTheExit(3000);
    ASSERT_GT(walk.exitFrame, 0);
    std::vector<std::string> logs[2];
    std::uint32_t rand[2];
    for (int run = 0; run < 2; ++run) {
        Enter(1, 2096, 192, 320);
        ResetGameRand();
        logs[run] = Replay(walk.script);
        rand[run] = GameRandState();
    }
    EXPECT_EQ(logs[0], logs[1]);
    EXPECT_EQ(rand[0], rand[1]);
    EXPECT_EQ(logs[0].back(), walk.log.back().substr(0, logs[0].back().size()));

    // Stage 2: walking, jumping and attacking among its monsters for 1500
    // frames, three times from a fresh start.
    std::vector<std::uint32_t> script;
    for (int n = 0; n < 1500; ++n) {
        std::uint32_t held = (n / 200) % 2 == 0 ? kRight : 0x2;
        if (n % 97 == 0) held |= kTestJump;
        if (n % 131 == 0) held = kTestAttack;
        script.push_back(held);
    }
    std::vector<std::string> monsterLogs[3];
    for (int run = 0; run < 3; ++run) {
        ResetGameRand();
        Enter(2, 1952, 296, 3);
        std::vector<std::string> log = Replay(script);
        int live = 0;
        for (int kind = 0; kind < kMonsterKindCount; ++kind)
            for (int slot = 0; slot < kMonsterSlotCount; ++slot) {
                const MonsterRecord& m = g_MonsterPools[kind][slot];
                if (m.alive != kMonsterAlive) continue;
                ++live;
                char line[120];
                std::snprintf(line, sizeof line, "kind %d slot %d at (%.3f, %.3f) speed %.3f mode %d", kind, slot, m.x,
                              m.y, m.speed, m.specialMode);
                log.push_back(line);
            }
        log.push_back("random state " + std::to_string(GameRandState()));
        monsterLogs[run] = log;
        EXPECT_GT(live, 10);
    }
    EXPECT_EQ(monsterLogs[0], monsterLogs[1]);
    EXPECT_EQ(monsterLogs[0], monsterLogs[2]);
    EXPECT_NE(monsterLogs[0].back(), "random state 1");  // the monsters did draw
}

}  // namespace
