// Drawing the player: which sheet frame each state shows and where, the
// skill poses and SkillC's effect, regeneration, and the frozen pose under a
// sub-screen. Frames are read back from the recorded draw calls (sheet frame
// i is handle 5000 + i).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/handles.h"
#include "field/player_character.h"
#include "game/support/api_recorder.h"
#include "game/support/field.h"
#include "rules/derived_stats.h"
#include "rules/player_action_state.h"
#include "rules/player_motion.h"
#include "rules/player_record.h"
#include "rules/sub_screen.h"

namespace {

struct Draw {
    int frame;  // sheet frame, or -1 for a handle outside the player sheet
    int x, y;
    bool mirrored;
};

std::vector<Draw> PlayerDraws() {
    std::vector<Draw> draws;
    for (const ApiCall& call : Recorder().Calls()) {
        if (call.name != "ApiBlitGraph" && call.name != "ApiMirrorBlitGraph") continue;
        int handle = static_cast<int>(call.Int(2));
        if (handle < kTestSheetBase || handle >= kTestSheetBase + kPlayerSheetFrames) continue;
        EXPECT_EQ(call.Int(3), 1);  // always transparent
        draws.push_back({handle - kTestSheetBase, static_cast<int>(call.Int(0)), static_cast<int>(call.Int(1)),
                         call.name == "ApiMirrorBlitGraph"});
    }
    return draws;
}

// Handles drawn from one effect sheet (base 6000 cross, 7000 ball).
std::vector<int> EffectFrames(int base, int count) {
    std::vector<int> frames;
    for (const ApiCall& call : Recorder().Calls("ApiBlitGraph")) {
        int handle = static_cast<int>(call.Int(2));
        if (handle >= base && handle < base + 1000) {
            EXPECT_LT(handle, base + count);
            frames.push_back(handle - base);
        }
    }
    return frames;
}

class PlayerCharacterTest : public FieldTest {
protected:
    void SetUp() override {
        FieldTest::SetUp();
        PlacePlayer(300.7f, 295.4f, false);
    }
    static Draw UpdateOnce(float speed, std::uint8_t facing) {
        Recorder().Reset();
        UpdatePlayer(g_PlayerSheet, speed, facing);
        auto draws = PlayerDraws();
        EXPECT_EQ(draws.size(), 1u);
        return draws.empty() ? Draw{-2, 0, 0, false} : draws[0];
    }
    static Draw FrozenOnce(float speed, std::uint8_t facing) {
        Recorder().Reset();
        DrawPlayerFrozen(g_PlayerSheet, speed, facing);
        auto draws = PlayerDraws();
        return draws.empty() ? Draw{-1, 0, 0, false} : draws.at(0);
    }
};

TEST_F(PlayerCharacterTest, PosesAndAnchor) {
    // Anchor (trunc(x - 64), trunc(y - 67)); facing left draws mirrored.
    g_FieldFrameCounter = 0;
    Draw d = UpdateOnce(0.0f, 1);
    EXPECT_EQ(d.frame, 20);
    EXPECT_EQ(d.x, 236);
    EXPECT_EQ(d.y, 228);
    EXPECT_TRUE(d.mirrored);
    // Walking: mirrored by the speed's sign, not the facing.
    d = UpdateOnce(-1.2f, 0);
    EXPECT_TRUE(d.mirrored);
    d = UpdateOnce(1.2f, 1);
    EXPECT_FALSE(d.mirrored);
    // Crouching: frame 118, three pixels lower.
    g_PlayerActionState.crouch = 1;
    d = UpdateOnce(0.0f, 0);
    EXPECT_EQ(d.frame, 118);
    EXPECT_EQ(d.y, 231);
}

// Airborne with no attack, by the vertical speed; the frozen pose has its own
// group. A fall fast enough to select a frame before the group draws nothing.
TEST_F(PlayerCharacterTest, AirFrames) {
    struct Case {
        float vy;
        int frame;
        int frozen;
    } cases[] = {
        {-3.5f, 100, 23}, {-3.0f, 100, 23}, {-2.0f, 102, 25}, {-1.3f, 103, 26}, {-1.2f, 105, 29},
        {-1.0f, 105, 29}, {0.0f, 105, 29},  {1.5f, 102, 26},  {3.0f, 100, 23},  {8.5f, 90, 12},
        {14.0f, 81, 1},   {20.0f, 71, -1},
    };
    g_PlayerMotion.airborne = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.vy);
        g_PlayerMotion.verticalSpeed = c.vy;
        EXPECT_EQ(UpdateOnce(0.0f, 0).frame, c.frame);
        EXPECT_EQ(FrozenOnce(0.0f, 0).frame, c.frozen);
    }
    g_PlayerMotion.verticalSpeed = 90.0f;  // far past any pit
    Recorder().Reset();
    UpdatePlayer(g_PlayerSheet, 0.0f, 0);
    EXPECT_TRUE(PlayerDraws().empty());
}

// Walk cycle (fc x 2) / (13 - AGI / 20) mod 20, idle 20 + (trunc(fc x 0.5) /
// (13 - AGI / 20)) mod 9. The divisor stays at least 1, so at every AGI and
// frame count the frames stay in their groups.
TEST_F(PlayerCharacterTest, WalkAndIdleCyclesStayInTheirGroups) {
    g_DerivedStats.agiTotal = 170;  // divisor 5
    g_FieldFrameCounter = 12;
    EXPECT_EQ(UpdateOnce(1.0f, 0).frame, 4);   // 24 / 5
    EXPECT_EQ(UpdateOnce(0.0f, 0).frame, 21);  // 20 + 6 / 5
    g_FieldFrameCounter = 61;
    EXPECT_EQ(UpdateOnce(1.0f, 0).frame, 4);   // 122 / 5 = 24, mod 20
    EXPECT_EQ(UpdateOnce(0.0f, 0).frame, 26);  // 20 + 30 / 5

    for (int agi : {0, 19, 170, 259, 260, 279, 280, 400, 2000})
        for (int frame : {0, 1, 7, 99, 1000, 123457}) {
            g_DerivedStats.agiTotal = agi;
            g_FieldFrameCounter = frame;
            int walk = UpdateOnce(1.0f, 0).frame;
            int idle = UpdateOnce(0.0f, 0).frame;
            EXPECT_TRUE(walk >= 0 && walk < 20) << agi << " " << frame << " walk " << walk;
            EXPECT_TRUE(idle >= 20 && idle < 29) << agi << " " << frame << " idle " << idle;
        }
}

// With 620 max HP and 210 max SP: normal HP every 39999 / 620 = 64 frames, SP
// every 36000 / 210 = 171; crouching HP every 5000 / 620 = 8, SP every
// 3900 / 210 = 18 facing right and 4500 / 210 = 21 facing left. A maximum
// above the numerator regenerates every frame; a maximum of 0 never divides.
TEST_F(PlayerCharacterTest, Regeneration) {
    struct Case {
        const char* name;
        bool crouch;
        std::uint8_t facing;
        int maxHp, maxSp;
        int frames;
        int hpGain, spGain;
    } cases[] = {
        {"normal", false, 0, 620, 210, 342, 342 / 64, 2},
        {"crouching, facing right", true, 0, 620, 210, 90, 90 / 8, 90 / 18},
        {"crouching, facing left", true, 1, 620, 210, 90, 90 / 8, 90 / 21},
        {"maxima past the numerators", false, 0, 50000, 40000, 30, 30, 30},
        {"maxima of zero", true, 1, 0, 0, 30, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        g_PlayerActionState.crouch = c.crouch;
        g_PlayerRecord.maxHp = c.maxHp;
        g_PlayerRecord.maxSp = c.maxSp;
        g_PlayerRecord.hp = c.maxHp / 2;
        g_PlayerRecord.sp = c.maxSp / 2;
        for (int n = 1; n <= c.frames; ++n) {
            g_FieldFrameCounter = n;
            UpdatePlayer(g_PlayerSheet, 0.0f, c.facing);
        }
        EXPECT_EQ(g_PlayerRecord.hp - c.maxHp / 2, c.hpGain);
        EXPECT_EQ(g_PlayerRecord.sp - c.maxSp / 2, c.spGain);
    }
    // Full HP and SP gain nothing.
    g_PlayerActionState.crouch = 0;
    g_PlayerRecord.hp = g_PlayerRecord.maxHp = 620;
    g_PlayerRecord.sp = g_PlayerRecord.maxSp = 210;
    for (int n = 1; n <= 400; ++n) {
        g_FieldFrameCounter = n;
        UpdatePlayer(g_PlayerSheet, 0.0f, 0);
    }
    EXPECT_EQ(g_PlayerRecord.hp, 620);
    EXPECT_EQ(g_PlayerRecord.sp, 210);
}

// Each active skill shows frame 119 + timer / 10 while one of them is below
// 150, but only frames on the sheet: SkillC's timer past 250 (its ball still
// flying while SkillA starts) is not drawn.
TEST_F(PlayerCharacterTest, SkillPosesStayOnTheSheet) {
    PlayerActionState& a = g_PlayerActionState;
    a.skillCActive = 1;
    a.skillCTimer = 40.0f;
    Recorder().Reset();
    UpdatePlayer(g_PlayerSheet, 0.0f, 1);
    auto draws = PlayerDraws();
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_EQ(draws[0].frame, 123);
    EXPECT_TRUE(draws[0].mirrored);

    for (float timer = 150.0f; timer < 380.0f; timer += 1.0f) {
        SCOPED_TRACE(timer);
        a.skillCActive = 1;
        a.skillCTimer = timer;
        a.skillAActive = 1;
        a.skillATimer = 30;
        Recorder().Reset();
        UpdatePlayer(g_PlayerSheet, 0.0f, 0);
        draws = PlayerDraws();
        const bool onSheet = 119 + static_cast<int>(timer / 10) <= 143;
        ASSERT_EQ(draws.size(), onSheet ? 2u : 1u);
        EXPECT_EQ(draws.back().frame, 122);
        if (onSheet) {
            EXPECT_EQ(draws[0].frame, 119 + static_cast<int>(timer / 10));
        }
    }
    // No pose once every active skill's timer is 150 or more: back to idle.
    a.skillAActive = 0;
    a.skillCTimer = 160.0f;
    EXPECT_EQ(UpdateOnce(0.0f, 0).frame, 20);
}

// The cross shows while timer / 8 < 24; from 117 on the ball flies one pixel
// a frame, growing through frames 0 to 31 and shrinking back, every frame
// shown four times; past k = 64 the effect ends.
TEST_F(PlayerCharacterTest, SkillCEffect) {
    PlayerActionState& a = g_PlayerActionState;
    a.skillCActive = 1;
    a.skillCFacing = 1;
    a.skillCOriginX = 236.0f;
    a.skillCOriginY = 260.0f;
    a.skillCScrollOffset = 10.0f;
    std::vector<int> cross, ball;
    int frames = 0;
    Recorder().Reset();
    for (float t = 0.0f; a.skillCActive && t < 1000.0f; t += 1.0f, ++frames) {
        a.skillCTimer = t;
        UpdatePlayer(g_PlayerSheet, 0.0f, 1);
    }
    cross = EffectFrames(6000, 24);
    ball = EffectFrames(7000, 32);
    EXPECT_EQ(frames, 378);  // t = 377 ends it
    EXPECT_EQ(a.skillCTimer, 0.0f);
    ASSERT_EQ(cross.size(), 192u);
    EXPECT_EQ(cross[191], 23);
    ASSERT_EQ(ball.size(), 256u);
    for (int k = 0; k < 64; ++k)
        for (int i = 0; i < 4; ++i) ASSERT_EQ(ball[4 * k + i], k < 32 ? k : 63 - k) << k;
    // The ball flew left one pixel a frame from t = 117 to 376: 260 steps;
    // drawn relative to the scroll offset, the cross over the player's left.
    EXPECT_EQ(a.skillCOriginX, 236.0f - 261.0f);
    auto calls = Recorder().Calls("ApiBlitGraph");
    bool sawCross = false, sawBall = false;
    for (const ApiCall& call : calls) {
        if (!sawCross && call.Int(2) == 6000) {
            EXPECT_EQ(call.Int(0), 236);  // trunc(300.7 - 64)
            EXPECT_EQ(call.Int(1), 260);  // trunc(295.4 - 35)
            sawCross = true;
        }
        if (!sawBall && call.Int(2) == 7000) {
            EXPECT_EQ(call.Int(0), 236 - 1 - 10);
            EXPECT_EQ(call.Int(1), 260);
            sawBall = true;
        }
    }
    EXPECT_TRUE(sawCross && sawBall);
}

// The ground combo's frames and where it draws: 12 pixels forward.
TEST_F(PlayerCharacterTest, ComboFramesAndStrikeOncePerStep) {
    PlayerActionState& a = g_PlayerActionState;
    a.attackActive = 1;
    a.comboStep = 0;
    a.comboTimer = 44.5f;
    Recorder().Reset();
    UpdatePlayer(g_PlayerSheet, 0.0f, 1);
    auto draws = PlayerDraws();
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_EQ(draws[0].frame, 37);            // trunc(44.5 / 5 + 29)
    EXPECT_EQ(draws[0].x, 224);               // trunc(300.7 - 12 - 64)
    EXPECT_EQ(a.strike, 1);                   // 45.5 passes 45
    EXPECT_EQ(a.previousStrike, 0);
    UpdatePlayer(g_PlayerSheet, 0.0f, 1);
    EXPECT_EQ(a.previousStrike, 1);           // the blow counts once
    EXPECT_EQ(Recorder().Count("ApiPlaySoundHandle"), 1u);

    // AGI 170 doubles the step: the swing sound still plays once.
    g_DerivedStats.agiTotal = 170;
    a.comboStep = 2;
    a.comboTimer = 0.0f;
    Recorder().Reset();
    for (int n = 0; n < 100 && a.attackActive; ++n) UpdatePlayer(g_PlayerSheet, 0.0f, 0);
    EXPECT_EQ(Recorder().Count("ApiPlaySoundHandle"), 1u);
    EXPECT_EQ(a.attackActive, 0);  // t reached 152 on the 76th frame
}

// Under a sub-screen only a running attack goes on, in a slow swing, until it
// times out at 144; nothing regenerates or draws SkillC.
TEST_F(PlayerCharacterTest, FrozenPose) {
    PlayerActionState& a = g_PlayerActionState;
    a.attackActive = 1;
    a.comboStep = 2;
    a.bufferedStep = 3;
    a.comboTimer = 140.0f;
    a.skillCActive = 1;
    g_PlayerRecord.hp = 100;
    g_FieldFrameCounter = 64;
    Draw d = FrozenOnce(0.0f, 1);
    EXPECT_EQ(d.frame, 22);  // trunc(140 / 12 + 11)
    EXPECT_EQ(d.x, 220);     // 16 pixels back when facing left
    for (int n = 0; n < 3; ++n) FrozenOnce(0.0f, 1);
    EXPECT_EQ(a.attackActive, 0);
    EXPECT_EQ(a.comboTimer, 0.0f);
    EXPECT_EQ(a.comboStep, 2);  // nothing else is cleared
    EXPECT_EQ(a.bufferedStep, 3);
    EXPECT_EQ(g_PlayerRecord.hp, 100);
    EXPECT_EQ(FrozenOnce(0.0f, 1).frame, 20);
    EXPECT_TRUE(FrozenOnce(-1.0f, 0).mirrored);
    EXPECT_TRUE(EffectFrames(6000, 24).empty());
}

}  // namespace
