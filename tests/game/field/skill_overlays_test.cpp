// The skills' captions, heal number, rising words and buff readout.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "engine/handles.h"
#include "field/skill_overlays.h"
#include "game/support/game_frame.h"
#include "rules/player_action_state.h"
#include "rules/player_motion.h"
#include "rules/player_record.h"
#include "rules/sub_screen.h"

namespace {

class SkillOverlaysTest : public GameFrameTest {};

// The alphas of the caption's two pieces as drawn (-1: no blending).
std::pair<int, int> CaptionAlphas() {
    int alpha = -1, pieces[2] = {-2, -2};
    for (const ApiCall& call : Recorder().Calls()) {
        if (call.name == "ApiSetBlendModeParam") alpha = call.Int(0) == 1 ? static_cast<int>(call.Int(1)) : -1;
        if (call.name == "ApiBlitGraph") pieces[call.Int(2) - kCaptionBase] = alpha;
    }
    return {pieces[1], pieces[0]};
}

TEST_F(SkillOverlaysTest, CaptionsFadeInHoldAndFadeOutOverTheirTimer) {
    g_PlayerMotion.screenX = 300.7f;
    g_PlayerMotion.y = 327.0f;
    for (int t = 0; t <= 200; ++t) {
        Recorder().ClearCalls();
        DrawSkillCaption(g_HealCaption, static_cast<float>(t));
        const auto expected = t < 32 ? std::pair{4 * t, 8 * t} : t <= 168 ? std::pair{128, -1}
                                                                          : std::pair{4 * (200 - t), 8 * (200 - t)};
        EXPECT_EQ(CaptionAlphas(), expected) << t;
        ASSERT_EQ(BlitsOf(kCaptionBase, 2), (std::vector<Blit>{{kCaptionBase + 1, 236, 227}, {kCaptionBase, 236, 227}}));
    }
    // The up skill's float timer: alphas truncated, bounds on the floats.
    for (auto [t, expected] : {std::pair{31.5f, std::pair{126, 252}}, {32.0f, {128, -1}}, {168.0f, {128, -1}},
                               {168.5f, {126, 252}}}) {
        Recorder().ClearCalls();
        DrawSkillCaption(g_HealCaption, t);
        EXPECT_EQ(CaptionAlphas(), expected) << t;
    }
}

TEST_F(SkillOverlaysTest, TheStillSkillHealsOnItsFirstFrameAndShowsTheAmountRising) {
    g_PlayerRecord.maxSp = 210;
    g_PlayerRecord.maxHp = 100000;
    std::vector<int> heals;
    for (int n = 0; n < 300; ++n) {
        g_PlayerRecord.hp = 1;
        g_PlayerActionState.skillAActive = 1;
        g_PlayerActionState.skillATimer = 0;
        Recorder().ClearCalls();
        DrawSkillOverlays();
        heals.push_back(g_PlayerRecord.hp - 1);
        ASSERT_EQ(g_PlayerActionState.skillATimer, 1);
        // The amount in set 2 digits, centred on the player, no rise yet.
        std::vector<Blit> digits = BlitsOf(kDigitBase + 20, 10);
        ASSERT_EQ(digits.size(), 3u);
        EXPECT_EQ(digits[0], (Blit{kDigitBase + 20 + heals.back() / 100, 296, 327}));
    }
    EXPECT_EQ(*std::min_element(heals.begin(), heals.end()), 238);
    EXPECT_EQ(*std::max_element(heals.begin(), heals.end()), 280);

    // Never past max HP; no second heal on the next frame.
    g_PlayerRecord.hp = 600, g_PlayerRecord.maxHp = 620;
    g_PlayerActionState.skillATimer = 0;
    DrawSkillOverlays();
    EXPECT_EQ(g_PlayerRecord.hp, 620);
    g_PlayerRecord.hp = 100;
    DrawSkillOverlays();
    EXPECT_EQ(g_PlayerRecord.hp, 100);
}

TEST_F(SkillOverlaysTest, SideSkillWordsBlinkWithTheFieldFramesAndTheReadoutShowsItsPower) {
    PlayerActionState& a = g_PlayerActionState;
    a.skillBState = kSkillRunning;
    a.skillBActive = 1;
    a.skillBTimer = 0;
    a.skillBPower = 12;
    g_PlayerMotion.screenX = 320.0f;
    g_PlayerMotion.y = 327.0f;
    const int offsets[] = {-88, -72, -56, -35, -19, 8, 24, 40, 61, 77};
    const char* letters = "STRUPDEXUP";
    int t = 0;
    for (auto [counter, set] : {std::pair{8, 1}, {9, 0}, {16, 1}, {0, 1}}) {
        g_FieldFrameCounter = counter;
        // The words rise by sin(t / 200 * 3.14) * 77 with the timer t.
        const int y = 327 - static_cast<int>(std::sin(t++ / 200.0 * 3.14) * 77);
        Recorder().ClearCalls();
        DrawSkillOverlays();
        std::vector<Blit> expected;
        for (int i = 0; i < 10; ++i) expected.push_back({kLetterBase + 26 * set + letters[i] - 'A', 320 + offsets[i], y});
        std::vector<Blit> words;
        for (const Blit& b : BlitsOf(kLetterBase, 104))
            if (b.y != 50) words.push_back(b);
        EXPECT_EQ(words, expected) << counter;
    }
    // S, the sign, 1, 2 and D, the sign, 1, 2 at the top.
    std::vector<Blit> readout;
    for (const Blit& b : BlitsOf(kLetterBase, 108))
        if (b.y == 50) readout.push_back(b);
    const std::vector<Blit> digits = BlitsOf(kDigitBase, 10);
    EXPECT_EQ(readout, (std::vector<Blit>{{1018, 400, 50}, {1106, 418, 50}, {1003, 480, 50}, {1106, 498, 50}}));
    EXPECT_EQ(digits, (std::vector<Blit>{{1201, 436, 50}, {1202, 450, 50}, {1201, 516, 50}, {1202, 530, 50}}));
    EXPECT_EQ(a.skillBTimer, 4);

    // The fourth skill's slot never shows, and a readout of one digit.
    a.skillBState = kSkillRecovering;
    a.skillBPower = 7;
    Recorder().ClearCalls();
    DrawSkillOverlays();
    EXPECT_TRUE(BlitsOf(kCaptionBase, 8).empty());
    EXPECT_EQ(BlitsOf(kDigitBase, 10), (std::vector<Blit>{{1207, 436, 50}, {1207, 516, 50}}));
}

}  // namespace
