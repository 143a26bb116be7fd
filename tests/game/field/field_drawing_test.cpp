// The field's drawing on the recording stand-in: the scrolling layers, the
// light effects, the shop doors and their entry test, the water, the
// player's damage numbers and the HUD.
#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "engine/frame_input.h"
#include "engine/handles.h"
#include "field/field_drawing.h"
#include "field/hud.h"
#include "game/support/game_frame.h"
#include "rules/player_action_state.h"
#include "rules/player_motion.h"
#include "rules/player_record.h"
#include "rules/sub_screen.h"
#include "screens/equipment_shop.h"
#include "world/monsters/damage_numbers.h"
#include "world/stages/shop_door.h"
#include "world/stages/stage_event_state.h"
#include "world/stages/stage_state.h"

namespace {

using Blits = std::vector<Blit>;

class FieldDrawingTest : public GameFrameTest {};

// The digit glyphs drawn at row y: (digit, x), in order.
std::vector<std::pair<int, int>> DigitsAt(int y, int set = 0) {
    std::vector<std::pair<int, int>> found;
    for (const Blit& b : BlitsOf(kDigitBase + 10 * set, 10))
        if (b.y == y) found.push_back({b.handle - kDigitBase - 10 * set, b.x});
    return found;
}

TEST_F(FieldDrawingTest, LayersDrawTheirTwoPanelsAroundTheScrollPosition) {
    struct Case {
        float camera;
        std::int32_t farDivisor, panelDivisor;
        Blits expected;
    };
    const Case cases[] = {
        // Camera 0 with divisor 7: images 0 and 1 at 0 and 640.
        {0.0f, 7, 42, {{100, 0, 0}, {101, 640, 0}}},
        // s = 640 exactly: both pairs.
        {4480.0f, 7, 42, {{100, -640, 0}, {101, 0, 0}, {101, 0, 0}, {100, 640, 0}}},
        {2100.0f, 3, 42, {{101, -60, 0}, {100, 580, 0}}},
        {3000.5f, 42, 1, {{204, -440, 0}, {205, 199, 0}}},
        // The last panel has no neighbour to draw.
        {12160.0f, 42, 1, {{218, -640, 0}, {219, 0, 0}, {219, 0, 0}}},
        {0.0f, 42, 42, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.camera << " / " << c.farDivisor << ", " << c.panelDivisor);
        ResetGameFrame();
        g_StageState.cameraX = c.camera;
        g_StageState.farLayerDivisor = c.farDivisor;
        g_StageState.panelDivisor = c.panelDivisor;
        DrawFieldLayers();
        Blits drawn = BlitsOf(kFarBase, 2);
        Blits panels = BlitsOf(kPanelBase, kStagePanelCount);
        drawn.insert(drawn.end(), panels.begin(), panels.end());
        EXPECT_EQ(drawn, c.expected);
    }
}

TEST_F(FieldDrawingTest, LightEffectsColourTheLayersAndTheStageResetSwitchesThemOff) {
    struct Case {
        const char* what;
        void (*set)(StageEventState&);
        std::vector<std::vector<std::int64_t>> colours;  // ApiSetBrightColor calls of the second frame
        std::vector<std::int64_t> alphas;                // ApiSetBlendModeParam parameters of mode 1
    };
    const Case cases[] = {
        {"none", [](StageEventState&) {}, {}, {}},
        {"red pulse", [](StageEventState& e) { e.redPulse = 1, e.pulse = 150; },
         {{255, 0, 0}, {255, 255, 255}}, {}},
        {"darkening 1", [](StageEventState& e) { e.darkening = 1, e.darkness = 100; },
         {{153, 153, 153}, {255, 255, 255}}, {}},
        {"darkening 2", [](StageEventState& e) { e.darkening = 2, e.darkness = 253; },
         {{255, 255, 255}, {255, 255, 255}}, {}},
        {"tint 1", [](StageEventState& e) { e.tint = 1; }, {{130, 170, 255}}, {}},
        {"tint 2", [](StageEventState& e) { e.tint = 2; }, {{250, 125, 50}}, {}},
        {"colour cycle 1", [](StageEventState& e) { e.colourCycle = 1; },
         {{4, 130, 4}, {255, 255, 255}, {255, 255, 255}}, {}},
        {"colour cycle 3", [](StageEventState& e) { e.colourCycle = 3, e.cycle = 200; },
         {{255, 255, 255}, {250, 208, 208}, {255, 255, 255}}, {}},
        {"colour cycle 3 wrapping", [](StageEventState& e) { e.colourCycle = 3, e.cycle = 250; },
         {{255, 255, 255}, {255, 255, 255}, {255, 255, 255}}, {}},
        {"middle fade 1", [](StageEventState& e) { e.middleLayerFade = 1; }, {}, {251}},
        {"middle fade 3", [](StageEventState& e) { e.middleLayerFade = 3, e.fadeStep = -600; }, {}, {250, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ResetGameFrame();
        c.set(g_StageEventState);
        DrawFieldLayers();
        Recorder().ClearCalls();
        DrawFieldLayers();
        std::vector<std::vector<std::int64_t>> colours;
        for (const ApiCall& call : Recorder().Calls("ApiSetBrightColor"))
            colours.push_back({call.Int(0), call.Int(1), call.Int(2)});
        std::vector<std::int64_t> alphas;
        for (const ApiCall& call : Recorder().Calls("ApiSetBlendModeParam"))
            if (call.Int(0) == 1) alphas.push_back(call.Int(1));
        EXPECT_EQ(colours, c.colours);
        EXPECT_EQ(alphas, c.alphas);
        // Blending is off once the layers are drawn.
        EXPECT_EQ(Recorder().Calls("ApiSetBlendModeParam").back().Int(0), 0);

        ResetStageEvents();
        EXPECT_EQ(g_StageEventState.darkness, 255);
        EXPECT_EQ(g_StageEventState.middleLayerFade + g_StageEventState.redPulse + g_StageEventState.tint, 0);
    }
}

TEST_F(FieldDrawingTest, UpOpensAShopOnlyStrictlyInFrontOfItsDoorWithNothingGoingOn) {
    struct Case {
        const char* what;
        float screenX;
        void (*set)();
        bool opens;
    };
    const auto none = [] {};
    // Door slot 1 at world x 1000 with the camera at 600: its screen x is 400.
    const Case cases[] = {
        {"centre", 400.0f, none, true},
        {"left bound", 336.0f, none, false},
        {"inside the left bound", 336.5f, none, true},
        {"inside the right bound", 463.5f, none, true},
        {"right bound", 464.0f, none, false},
        {"UP held, not new", 400.0f, [] { g_FrameInputState.newlyPressed = 0; }, false},
        {"airborne", 400.0f, [] { g_PlayerMotion.airborne = 1; }, false},
        {"attacking", 400.0f, [] { g_PlayerActionState.attackActive = 1; }, false},
        {"still skill at 150", 400.0f, [] { g_PlayerActionState.skillAActive = 1, g_PlayerActionState.skillATimer = 150; }, false},
        {"still skill past 150", 400.0f, [] { g_PlayerActionState.skillAActive = 1, g_PlayerActionState.skillATimer = 151; }, true},
        {"system menu open", 400.0f, [] { g_SubScreenMode = kSubScreenSystemMenu; }, false},
        {"door off", 400.0f, [] { g_ShopDoors[1].on = 2; }, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ResetGameFrame();
        g_StageState.cameraX = 600.0f;
        g_ShopDoors[1] = {1000, 300, 1};
        g_PlayerMotion.screenX = c.screenX;
        g_FrameInputState.newlyPressed = kPadUp;
        c.set();
        const std::uint8_t mode = g_SubScreenMode;
        DrawShopDoors();
        EXPECT_EQ(g_SubScreenMode, c.opens ? std::uint8_t{kSubScreenShop} : mode);
        if (c.opens) {
            EXPECT_EQ(g_ShopState.doorIndex, 1);
            EXPECT_EQ(g_FrameInputState.newlyPressed, 0u);
        }
        if (g_ShopDoors[1].on == 1)
            EXPECT_EQ(BlitsOf(kShopDoorBase, 20), (Blits{{301, 336, 208}, {311, 296, 172}}));
        else
            EXPECT_TRUE(BlitsOf(kShopDoorBase, 20).empty());
    }
}

TEST_F(FieldDrawingTest, WaterLiesOverStages38To47AtHalfStrength) {
    for (int stage : {37, 38, 42, 47, 48}) {
        ResetGameFrame();
        g_PlayerRecord.stage = static_cast<std::int8_t>(stage);
        DrawFieldOverlays();
        const auto& calls = Recorder().Calls();
        const bool water = stage >= 38 && stage <= 47;
        ASSERT_EQ(BlitsOf(kWaterHandle, 1).size(), water ? 1u : 0u) << stage;
        if (!water) continue;
        EXPECT_EQ(calls.at(0).ToString(), "ApiSetBlendModeParam(1, 128)");
        EXPECT_EQ(calls.at(1).ToString(), "ApiBlitGraph(0, 0, 330, 1)");
        EXPECT_EQ(calls.at(2).ToString(), "ApiSetBlendModeParam(0, 0)");
    }
}

TEST_F(FieldDrawingTest, PlayerDamageNumbersRiseDriftFadeAndGo) {
    PlayerPopupRing& ring = g_PlayerPopupRing;
    ring.value[0] = 0, ring.timer[0] = 1;        // MISS, just hit
    ring.value[1] = 7, ring.timer[1] = 101;      // fading
    ring.value[2] = 1234, ring.timer[2] = 200;   // its last frame, drifting right
    ring.value[3] = 99, ring.timer[3] = 0;       // idle
    ring.value[4] = 123456, ring.timer[4] = 50;  // wider than four digits
    g_PlayerMotion.screenX = 320.0f;
    g_PlayerMotion.y = 327.0f;
    DrawPlayerDamagePopups();

    // MISS in letter set 0 at x0 - 32 ... x0 + 16, no rise yet.
    EXPECT_EQ(BlitsOf(kLetterBase, 26), (Blits{{1012, 288, 327}, {1008, 304, 327}, {1018, 320, 327}, {1018, 336, 327}}));
    // 7 at alpha 253, 82 pixels up; 1234 drifted 40 to the right at alpha 0;
    // 123456 centred, no drift for i mod 3 = 1 (rise sin(50/200*3.14)*60 = 42).
    EXPECT_EQ(DigitsAt(245, 1), (std::vector<std::pair<int, int>>{{7, 312}}));
    EXPECT_EQ(DigitsAt(327, 1), (std::vector<std::pair<int, int>>{{1, 328}, {2, 344}, {3, 360}, {4, 376}}));
    EXPECT_EQ(DigitsAt(285, 1),
              (std::vector<std::pair<int, int>>{{1, 272}, {2, 288}, {3, 304}, {4, 320}, {5, 336}, {6, 352}}));
    std::vector<std::int64_t> alphas;
    for (const ApiCall& call : Recorder().Calls("ApiSetBlendModeParam"))
        if (call.Int(0) == 1) alphas.push_back(call.Int(1));
    EXPECT_EQ(alphas, (std::vector<std::int64_t>{253, 0}));
    EXPECT_EQ(ring.timer[0], 2);
    EXPECT_EQ(ring.timer[1], 102);
    EXPECT_EQ(ring.timer[2], 0);
    EXPECT_EQ(ring.timer[3], 0);
}

TEST_F(FieldDrawingTest, HudRowsBarsLevelAndFade) {
    struct Case {
        std::int32_t hp, maxHp, level, exp;
        std::vector<int> hpXs;  // x of each HP digit
        std::int64_t hpBarEnd;
        std::uint32_t hpColour;
        std::int64_t expBarEnd;
    };
    const std::uint32_t green = 0x00FF80, red = 0xFF0000;
    const Case cases[] = {
        {7, 1000, 1, 25, {96}, 218, red, 580},
        {299, 1000, 1, 0, {64, 80, 96}, 305, red, 530},
        {300, 1000, 1, 0, {64, 80, 96}, 306, red, 530},
        {301, 1000, 1, 0, {64, 80, 96}, 306, green, 530},
        {1000, 1000, 42, 0, {48, 64, 80, 96}, 516, green, 530},
        {12345, 12345, 88, 50000000, {32, 48, 64, 80, 96}, 516, green, 580},  // a 64-bit EXP product
        {45, 90, 89, INT_MAX, {80, 96}, 366, green, 630},  // EXP past the last level's need: a full bar
        {45, 0, 0, 10, {80, 96}, 216, green, 550},           // no maximum, no level: nothing divides by 0
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.hp << "/" << c.maxHp << " level " << c.level);
        ResetGameFrame();
        g_PlayerRecord.hp = c.hp, g_PlayerRecord.maxHp = c.maxHp;
        g_PlayerRecord.level = c.level, g_PlayerRecord.exp = c.exp;
        DrawHud();
        std::vector<int> xs;
        for (auto [digit, x] : DigitsAt(-2))
            if (x < 112) xs.push_back(x);
        EXPECT_EQ(xs, c.hpXs);
        const auto boxes = Recorder().Calls("ApiPaintBox");
        ASSERT_GE(boxes.size(), 6u);
        EXPECT_EQ(boxes[1].Int(2), c.hpBarEnd);
        EXPECT_EQ(boxes[1].Int(4), c.hpColour);
        EXPECT_EQ(boxes[5].Int(2), c.expBarEnd);
    }

    // Letters, separators, the SP row, the money with its shadow, the level.
    ResetGameFrame();
    g_PlayerRecord.hp = g_PlayerRecord.maxHp = 620;
    g_PlayerRecord.sp = 5, g_PlayerRecord.maxSp = 210;
    g_PlayerRecord.level = 42;
    g_StageState.fadeCounter = 127;
    DrawHud();
    const Blits letters = BlitsOf(kLetterBase, kGlyphLetterCount);
    EXPECT_EQ(letters, (Blits{{1007, 0, -2}, {1015, 16, -2}, {1104, 112, -2}, {1018, 0, 25}, {1015, 16, 25},
                              {1104, 112, 25}, {1011, 530, -2}, {1021, 546, -2}}));
    EXPECT_EQ(DigitsAt(25), (std::vector<std::pair<int, int>>{{5, 96}, {2, 144}, {1, 160}, {0, 176}}));
    EXPECT_EQ(DigitsAt(-2).back(), (std::pair<int, int>{2, 594}));
    EXPECT_EQ(DigitsAt(-2).at(DigitsAt(-2).size() - 2), (std::pair<int, int>{4, 578}));
    const auto texts = Recorder().Calls("ApiDrawTextFormatted");
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0].ToString(), "ApiDrawTextFormatted(9, 57, 657950, \"Vesk:10\")");
    EXPECT_EQ(texts[1].ToString(), "ApiDrawTextFormatted(8, 56, 16777215, \"Vesk:10\")");
    // The fade: the whole screen at alpha 2n, one step less each frame.
    EXPECT_EQ(Recorder().Calls("ApiPaintBox").back().ToString(), "ApiPaintBox(0, 0, 640, 480, 16, 1)");
    EXPECT_EQ(g_StageState.fadeCounter, 126);
}

TEST_F(FieldDrawingTest, ALevelGainedInTheHudShowsAtOnceAndOpensTheStatusScreen) {
    g_PlayerRecord.level = 9;
    g_PlayerRecord.exp = 1000;
    DrawHud();
    EXPECT_EQ(g_PlayerRecord.level, 10);
    EXPECT_EQ(g_SubScreenMode, kSubScreenStatus);
    EXPECT_EQ(DigitsAt(-2).back(), (std::pair<int, int>{0, 594}));
    const auto boxes = Recorder().Calls("ApiPaintBox");
    EXPECT_EQ(boxes.back().Int(2), 530);  // EXP back to 0
}

}  // namespace
