// The special modes: how long each kind is dazed and how the daze glows, and
// every special attack from its first frame to its end: when it hurts the
// player, what it draws, and when the mode ends. Also the drawing rules of
// the three routines and the fixed kinds' strike.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "monster_fixture.h"
#include "world/monsters/monster_combat.h"
#include "world/monsters/monster_routines.h"

namespace {

using namespace monster_test;


// Daze lengths as the kinds' rules give them.
const std::map<int, int> kDaze = {
    {0, 128},  {1, 128},  {2, 128},  {3, 256},  {4, 128},  {5, 256},  {31, 256}, {10, 256}, {11, 256}, {12, 256},
    {13, 128}, {14, 128}, {15, 128}, {16, 256}, {17, 256}, {18, 128}, {19, 128}, {20, 128}, {21, 256}, {22, 128},
    {23, 256}, {24, 128}, {25, 128}, {26, 128}, {27, 128}, {28, 256}, {29, 256}, {30, 256},
};

bool Glowed() {
    for (const ApiCall& call : Recorder().Calls("ApiSetBrightColor"))
        if (call.Int(1) == 0) return true;
    return false;
}

class MonsterSpecialTest : public MonsterTest {
protected:
    struct Run {
        std::vector<int> hurtCalls;  // attack calls (from 0) that hurt the player
        int calls = 0;               // attack calls until the mode ended
    };

    // Runs the kind's special attack from its first call to the end of the
    // mode, the monster `dx` right of the player, in the air for the first
    // `airborneCalls` calls.
    Run RunSpecialAttack(int kind, float dx, int airborneCalls = 0,
                         const std::function<void(MonsterRecord&)>& beforeCall = {}) {
        MonsterRecord& m = Put(kind, 0, dx);
        m.facesLeft = 1;
        m.engage = kMonsterEngaged;
        m.specialMode = 1;
        m.specialTimer = kDaze.at(kind) - 1;
        g_FieldFrameCounter = 1;
        Run run;
        while (m.specialMode == 1 && run.calls < 3000) {
            m.airborne = run.calls < airborneCalls ? 1 : 0;
            if (beforeCall) beforeCall(m);
            const std::int8_t cursor = g_PlayerPopupRing.cursor;
            CallRoutine(kind);
            if (g_PlayerPopupRing.cursor != cursor) run.hurtCalls.push_back(run.calls);
            ++run.calls;
        }
        return run;
    }
};

TEST_F(MonsterSpecialTest, EveryKindIsDazedForItsOwnLengthWhateverRanBefore) {
    // The large kinds 2 and 31 run here without kinds 1 and 5 before them.
    for (auto [kind, daze] : kDaze) {
        SetUp();
        MonsterRecord& m = Put(kind, 0, 100.0f);
        m.specialMode = 1;
        int glowing = 0;
        for (; glowing < 300; ++glowing) {
            Recorder().Reset();
            CallRoutine(kind);
            if (!Glowed()) break;
        }
        EXPECT_EQ(glowing, daze - 1) << "kind " << kind;  // timer 1 to daze - 1
        EXPECT_EQ(m.specialTimer, daze);
    }
}

TEST_F(MonsterSpecialTest, TheDazeGlowsRedAndPulsesTowardsThePlayer) {
    MonsterRecord& m = Put(10, 0, -100.0f);  // left of the player: drawn mirrored
    m.specialMode = 1;
    std::vector<int> parameters;
    for (int t = 1; t < 256; ++t) {
        Recorder().Reset();
        CallRoutine(10);
        std::vector<std::string> calls;
        for (const ApiCall& call : Recorder().Calls()) calls.push_back(call.name);
        ASSERT_EQ(calls, (std::vector<std::string>{"ApiMirrorBlitGraph", "ApiSetBlendModeParam", "ApiSetBrightColor",
                                                   "ApiMirrorBlitGraph", "ApiSetBlendModeParam", "ApiSetBrightColor"}));
        const std::vector<ApiCall> blends = Recorder().Calls("ApiSetBlendModeParam");
        EXPECT_EQ(blends[0].Int(0), 2);
        EXPECT_EQ(blends[1].ToString(), "ApiSetBlendModeParam(0, 0)");
        EXPECT_EQ(Recorder().Calls("ApiSetBrightColor")[0].ToString(), "ApiSetBrightColor(255, 0, 0)");
        EXPECT_EQ(Recorder().Calls("ApiSetBrightColor")[1].ToString(), "ApiSetBrightColor(255, 255, 255)");
        EXPECT_EQ(FramesDrawn(10), (std::vector<int>{10, 10}));
        parameters.push_back(static_cast<int>(blends[0].Int(1)));
    }
    EXPECT_EQ(m.facesLeft, 0);
    for (int t = 1; t < 256; ++t) {
        const int p = t % 128;
        ASSERT_EQ(parameters[t - 1], p < 64 ? 4 * p : 512 - 4 * p) << t;
    }
    // 4, 8, ... 252, then 256 (passed as computed), 252, ... 4, 0 at 128.
    EXPECT_EQ(parameters[62], 252);
    EXPECT_EQ(parameters[63], 256);
    EXPECT_EQ(parameters[126], 4);
    EXPECT_EQ(parameters[127], 0);
}

TEST_F(MonsterSpecialTest, SwingSeriesHitOnTheirThirdFrameTimeAndEndByGroup) {
    struct Case {
        const char* group;
        int kind;
        int airborneCalls;
        std::vector<int> hurtCalls;
        int calls;
    };
    const Case cases[] = {
        // T = 12: swings of 84 calls hitting on the 36th; 21 T after the daze.
        {"S1", 10, 0, {35, 119, 203}, 253},
        {"S2", 12, 0, {17, 59, 101}, 127},                     // T = 6, 21 T
        {"S3", 19, 0, {8, 29, 50, 71, 92, 113, 134}, 148},      // T = 3, 49 T
        {"S4", 16, 0, {35, 119, 203, 287, 371}, 421},           // T = 12, 35 T
        {"S5 in the air", 14, 100, {11, 39, 67, 95}, 101},      // T = 4, until it lands
        {"S6 on the ground", 15, 0, {}, 3},                     // over once 129 frames are past
        {"S6 in the air", 26, 40, {5, 19, 33}, 41},             // T = 2
    };
    for (const Case& c : cases) {
        SetUp();
        const Run run = RunSpecialAttack(c.kind, 20.0f, c.airborneCalls);
        EXPECT_EQ(run.hurtCalls, c.hurtCalls) << c.group;
        EXPECT_EQ(run.calls, c.calls) << c.group;
        const MonsterRecord& m = g_MonsterPools[c.kind][0];
        EXPECT_EQ(m.specialTimer, 0);
        EXPECT_EQ(m.attackTimer, 0);
    }
    // Between swings the monster lets go of the player (engage 0), and a
    // swing out of reach hits nothing.
    SetUp();
    const Run away = RunSpecialAttack(10, 300.0f);
    EXPECT_TRUE(away.hurtCalls.empty());
    EXPECT_EQ(g_MonsterPools[10][0].engage, kMonsterWandering);
}

TEST_F(MonsterSpecialTest, TheFireBreathTravelsFadesAndHitsEveryEightPixelsWithoutANegativeFrame) {
    for (auto [kind, firstHit] : {std::pair{18, -32}, {27, -24}}) {
        SetUp();
        const int c6 = kMonsterKindParams[kind].frameTime;
        std::vector<int> hitE;
        const Run run = RunSpecialAttack(kind, 20.0f, 0, [&](MonsterRecord& m) {
            // The player stands where the fire will be after this call.
            g_PlayerMotion.screenX = m.x - kCameraX - (m.attackTimer + 1 - 3 * c6);
        });
        // Each hurt came at a multiple of 8 below 239, from the first one
        // the attack reaches.
        for (int call : run.hurtCalls) hitE.push_back(call + 1 - 3 * c6);
        std::vector<int> expected;
        for (int e = firstHit; e < 239; e += 8) expected.push_back(e);
        EXPECT_EQ(hitE, expected) << kind;
        EXPECT_EQ(run.calls, 3 * c6 + 256) << kind;
    }

    // What one call draws: the sprite, then the fire over it.
    for (auto [facesLeft, e] : {std::pair{1, -8}, {1, -3}, {1, 50}, {0, 50}}) {
        SetUp();
        MonsterRecord& m = Put(18, 0, 20.0f);
        m.specialMode = 1;
        m.specialTimer = 200;
        m.facesLeft = static_cast<std::uint8_t>(facesLeft);
        m.attackTimer = e + 36;
        g_FieldFrameCounter = 1;
        CallRoutine(18);
        const std::vector<ApiCall> fire = Recorder().Calls("ApiRotateBlitGraph");
        const std::vector<ApiCall> blends = Recorder().Calls("ApiSetBlendModeParam");
        ASSERT_EQ(blends.size(), 2u);
        EXPECT_EQ(blends[0].Int(1), 255 - e);
        if (e == -8) {
            EXPECT_TRUE(fire.empty()) << "(e / 6) mod 8 is -1: no frame";
            continue;
        }
        ASSERT_EQ(fire.size(), 1u);
        const int screenX = 320 + 20;
        EXPECT_EQ(fire[0].Int(0), facesLeft ? screenX - e : screenX + e);
        EXPECT_EQ(fire[0].Int(1), static_cast<int>(kPlayerY - 19));
        EXPECT_DOUBLE_EQ(fire[0].Real(2), e / 100.0 + 1.3);
        EXPECT_DOUBLE_EQ(fire[0].Real(3), facesLeft ? 0.0 : 3.141592);
        EXPECT_EQ(fire[0].Int(4), kFireBase + (e < 0 ? 0 : (e / 6) % 8));
    }
}

TEST_F(MonsterSpecialTest, TheGasCloudSwellsOverEightFramesAndHitsThreeTimes) {
    for (int kind : {13, 22}) {
        SetUp();
        const int c6 = kMonsterKindParams[kind].frameTime;
        const Run run = RunSpecialAttack(kind, 20.0f);
        std::vector<int> hitE;
        for (int call : run.hurtCalls) hitE.push_back(call + 1 - 3 * c6);
        EXPECT_EQ(hitE, (std::vector<int>{0, 2 * c6, 4 * c6})) << kind;
        EXPECT_EQ(run.calls, 3 * c6 + 8 * c6) << kind;
    }
    // The cloud of one call: frame e / c6 at scale e / (7 c6) + 2, in front.
    for (int e : {-5, 0, 30, 95}) {
        SetUp();
        MonsterRecord& m = Put(13, 0, 20.0f);
        m.specialMode = 1;
        m.specialTimer = 300;
        m.facesLeft = 1;
        m.attackTimer = e + 36;
        g_FieldFrameCounter = 1;
        CallRoutine(13);
        const std::vector<ApiCall> cloud = Recorder().Calls("ApiRotateBlitGraph");
        ASSERT_EQ(cloud.size(), 1u) << e;
        EXPECT_EQ(cloud[0].Int(0), 320 + 20 - 64);
        EXPECT_EQ(cloud[0].Int(1), static_cast<int>(kPlayerY - 24));
        EXPECT_DOUBLE_EQ(cloud[0].Real(2), e / 84.0 + 2.0);
        EXPECT_EQ(cloud[0].Int(4), kGasBase + e / 12);
        EXPECT_EQ(Recorder().Calls("ApiSetBlendModeParam")[0].ToString(), "ApiSetBlendModeParam(2, 255)");
    }
}

TEST_F(MonsterSpecialTest, TheSwoopDivesFourTimesAtWhereThePlayerStood) {
    for (int kind : {28, 29, 30}) {
        SetUp();
        std::vector<float> targets;
        const Run run = RunSpecialAttack(kind, 20.0f, 0, [&](MonsterRecord& m) {
            if (m.attackTimer % 50 == 0) g_PlayerMotion.y = kPlayerY + static_cast<float>(m.attackTimer / 50);
            if (m.attackTimer % 50 == 1) targets.push_back(g_DiveTargetY[kind - kFirstDivingKind][0]);
        });
        EXPECT_EQ(run.hurtCalls, (std::vector<int>{24, 74, 124, 174})) << kind;
        EXPECT_EQ(run.calls, 200) << kind;
        EXPECT_EQ(targets, (std::vector<float>{kPlayerY, kPlayerY + 1, kPlayerY + 2, kPlayerY + 3})) << kind;
    }
}

TEST_F(MonsterSpecialTest, LargeKindsSpecialAttacksHitAndEndByTheirRows) {
    struct Case {
        int kind;
        float dx;
        int airborneCalls;
        std::vector<int> hurtCalls;
        int calls;
    };
    std::vector<int> kind2Hits;
    for (int k = 0; k < 14; ++k) kind2Hits.push_back(11 + 28 * k);
    const Case cases[] = {
        {3, 20.0f, 0, {35, 119, 203}, 253},         // 84-frame cycles for 252 frames
        {2, 20.0f, 0, kind2Hits, 385},              // 28-frame cycles for 384 frames
        {0, 20.0f, 0, {}, 3},                       // on the ground: over after 129 frames of the mode
        {1, 20.0f, 150, {35, 119}, 151},            // in the air: on until it lands
        {5, 20.0f, 60, {11, 39}, 61},
        {4, 100.0f, 0, {35, 59, 83}, 132},          // the gas cloud's three breaths
        {31, 20.0f, 0, {24, 74, 124, 174, 224}, 250},  // five dives
    };
    for (const Case& c : cases) {
        SetUp();
        const Run run = RunSpecialAttack(c.kind, c.dx, c.airborneCalls);
        EXPECT_EQ(run.hurtCalls, c.hurtCalls) << "kind " << c.kind;
        EXPECT_EQ(run.calls, c.calls) << "kind " << c.kind;
    }
    // Kinds 3 and 2 end with the attack timer where it stood.
    SetUp();
    RunSpecialAttack(3, 20.0f);
    EXPECT_EQ(g_MonsterPools[3][0].attackTimer, 253 % 84);
}

TEST_F(MonsterSpecialTest, KindFoursGasCloudShowsFromAttackTimerTwentyFive) {
    MonsterRecord& m = Put(4, 0, 100.0f);
    m.facesLeft = 0;
    m.specialMode = 1;
    m.specialTimer = 128;
    g_FieldFrameCounter = 1;
    std::vector<int> frames;
    for (int at = 0; at < 132; ++at) {
        Recorder().Reset();
        CallRoutine(4);
        const std::vector<ApiCall> cloud = Recorder().Calls("ApiRotateBlitGraph");
        if (at < 25) {
            ASSERT_TRUE(cloud.empty()) << at;
            continue;
        }
        ASSERT_EQ(cloud.size(), 1u) << at;
        frames.push_back(static_cast<int>(cloud[0].Int(4)) - kGasBase);
        EXPECT_EQ(cloud[0].Int(0), 320 + 100 + 96);  // facing right: in front, to the right
        EXPECT_EQ(cloud[0].Int(1), static_cast<int>(kPlayerY - 70 + 32));
        EXPECT_DOUBLE_EQ(cloud[0].Real(2), (at - 36) / 84.0 + 2.0);
    }
    EXPECT_EQ(frames.front(), 0);
    EXPECT_EQ(frames.back(), 7);
    EXPECT_EQ(frames.size(), 132u - 25u);
}

TEST_F(MonsterSpecialTest, RoutinesDrawTheirFramesWhereTheirRulesPutThem) {
    g_FieldFrameCounter = 45;
    struct Case {
        const char* what;
        int kind;
        float dx, speed;
        std::uint8_t engage, airborne;
        std::string expected;
    };
    const int x = 320 + 100, y = 300;
    auto blit = [](const char* name, int left, int top, int handle) {
        return std::string(name) + "(" + std::to_string(left) + ", " + std::to_string(top) + ", " +
               std::to_string(handle) + ", 1)";
    };
    auto stretch = [](int x1, int y1, int x2, int y2, int handle) {
        return "ApiStretchBlitGraph(" + std::to_string(x1) + ", " + std::to_string(y1) + ", " + std::to_string(x2) +
               ", " + std::to_string(y2) + ", " + std::to_string(handle) + ", 1)";
    };
    const int bob = static_cast<int>(y - 64 - 12 + 7 * std::sin(2 + 45 / 30.0));
    const int bigBob = static_cast<int>(y - 128 - 41 + 7 * std::sin(45 / 30.0 + 2));
    const Case cases[] = {
        {"walking, right", 11, 100, 0.7f, 0, 0, blit("ApiMirrorBlitGraph", x - 64, y - 64 - 12, SheetHandle(11, (78 + 45) / 12 % 10))},
        {"walking, left", 11, 100, -0.7f, 0, 0, blit("ApiBlitGraph", x - 64, y - 64 - 12, SheetHandle(11, (78 + 45) / 12 % 10))},
        {"falling", 11, 100, -0.7f, 0, 1, blit("ApiBlitGraph", x - 64, y - 64 - 12, SheetHandle(11, 0))},
        {"engaged", 15, -100, 1.0f, 1, 0, blit("ApiMirrorBlitGraph", 320 - 100 - 64, y - 64 - 4, SheetHandle(15, 10))},
        {"floating", 28, 100, 1.3f, 0, 0, blit("ApiMirrorBlitGraph", x - 64, bob, SheetHandle(28, (78 + 45) / 2 % 10))},
        {"large, right", 3, 100, 0.7f, 0, 0, stretch(x + 128, y - 128 - 50, x - 128, y + 128 - 50, SheetHandle(3, (78 + 45) / 12 % 10))},
        {"large, left", 3, 100, -0.7f, 0, 1, stretch(x - 128, y - 128 - 50, x + 128, y + 128 - 50, SheetHandle(3, 0))},
        {"large, engaged", 0, 100, 0.3f, 1, 0, stretch(x - 128, y - 128 - 36, x + 128, y + 128 - 36, SheetHandle(0, 10))},
        {"large, hovering", 31, 100, -1.7f, 0, 0, stretch(x - 128, bigBob, x + 128, bigBob + 256, SheetHandle(31, (78 + 45) / 3 % 10))},
        {"fixed, wandering", 8, 100, 0.0f, 0, 0, blit("ApiMirrorBlitGraph", x - 64, y - 64 + 10, SheetHandle(8, (78 + 45) / 12 % 10))},
        {"fixed, engaged", 9, 100, 0.0f, 1, 0, blit("ApiBlitGraph", x - 64, y - 64 + 10, SheetHandle(9, 45 / 12 % 10))},
    };
    for (const Case& c : cases) {
        Recorder().Reset();
        MonsterRecord& m = Put(c.kind, 2, c.dx);
        m.speed = c.speed;
        m.engage = c.engage;
        m.airborne = c.airborne;
        CallRoutine(c.kind, 2);
        EXPECT_EQ(Recorder().Trace(), c.expected + "\n") << c.what;
    }
}

TEST_F(MonsterSpecialTest, AFixedMonsterStrikesWhereThePlayerStandsFromAnyDistance) {
    MonsterRecord& m = Put(7, 0, 230.0f, 20.0f);
    m.engage = kMonsterAttacking;
    g_FieldFrameCounter = 1;
    std::vector<int> strikeFrames;
    int hurtAt = -1;
    for (int call = 0; call < 84; ++call) {
        Recorder().Reset();
        g_PlayerMotion.screenX = kPlayerX + call;  // the strike follows the player
        CallRoutine(7);
        const std::vector<ApiCall> blits = Recorder().Calls("ApiBlitGraph");
        ASSERT_EQ(blits.size(), 2u);  // the monster facing the player, then the strike
        EXPECT_EQ(blits[1].Int(0), static_cast<int>(kPlayerX + call - 64));
        EXPECT_EQ(blits[1].Int(1), static_cast<int>(kPlayerY + 20 - 64 - 22));
        strikeFrames.push_back(static_cast<int>(blits[1].Int(2)) - SheetHandle(7, 0));
        if (g_PlayerPopupRing.cursor == 1 && hurtAt < 0) hurtAt = call;
    }
    EXPECT_EQ(hurtAt, 35);
    EXPECT_EQ(strikeFrames.front(), 10);
    EXPECT_EQ(strikeFrames.back(), 16);
    EXPECT_EQ(m.engage, kMonsterEngaged);
    EXPECT_EQ(m.attackTimer, 0);

    // A blow may start the special mode, but this routine never runs it.
    m.specialMode = 1;
    for (int call = 0; call < 300; ++call) CallRoutine(7);
    EXPECT_EQ(m.specialMode, 1);
    EXPECT_EQ(m.specialTimer, 0);
}

}  // namespace
