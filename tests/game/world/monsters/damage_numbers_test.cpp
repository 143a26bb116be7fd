// Damage numbers: where each glyph of a number stands, how an entry rises,
// drifts, fades and goes, the colours of criticals, the rings' cursors, and
// the order in which the game loop's step draws every slot.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "monster_fixture.h"
#include "world/monsters/damage_numbers.h"

namespace {

using namespace monster_test;

struct Glyph {
    int x, y, handle;
    bool operator==(const Glyph&) const = default;
};

std::vector<Glyph> GlyphsDrawn() {
    std::vector<Glyph> glyphs;
    for (const ApiCall& call : Recorder().Calls("ApiBlitGraph"))
        glyphs.push_back({static_cast<int>(call.Int(0)), static_cast<int>(call.Int(1)), static_cast<int>(call.Int(2))});
    return glyphs;
}

// A row of glyphs from left to right, 16 pixels apart.
std::vector<Glyph> Row(int left, int y, std::vector<int> handles) {
    std::vector<Glyph> row;
    for (int h : handles) row.push_back({left, y, h}), left += 16;
    return row;
}

std::vector<int> Digits(const std::string& text, int set) {
    std::vector<int> handles;
    for (char c : text) handles.push_back(kDigitBase + 10 * set + (c - '0'));
    return handles;
}

class DamageNumbersTest : public MonsterTest {};

TEST_F(DamageNumbersTest, NumbersOfAnyLengthStandCentredOnTheirSlot) {
    // Slot 10 rises straight up; at age 50 it stands trunc(sin(0.785) * 80)
    // = 56 pixels up. The slot is at screen x 300.5, y 200.
    const float x = kCameraX + 300.5f, y = 200.0f;
    const int top = 200 - 56;
    struct Case {
        std::int32_t value;
        std::vector<Glyph> glyphs;
    };
    const int letterSet1 = kLetterBase + 26;
    const Case cases[] = {
        {7, Row(292, top, Digits("7", 0))},
        {42, Row(284, top, Digits("42", 0))},
        {315, Row(276, top, Digits("315", 0))},
        {2024, Row(268, top, Digits("2024", 0))},
        {12345, Row(260, top, Digits("12345", 0))},  // five digits, centred the same way
        {0, Row(268, top, {letterSet1 + 12, letterSet1 + 8, letterSet1 + 18, letterSet1 + 18})},
        {100000, Row(252, top, Digits("100000", 0))},   // a plain hit of exactly 100000
        {100001, Row(292, top, Digits("1", 0))},        // a critical of 1, first colour
        {2147483647, Row(220, top, Digits("2147383647", 3))},  // a critical, counter in set 3
    };
    for (const Case& c : cases) {
        Recorder().Reset();
        if (c.value == 2147483647) g_CriticalColourCounter = 14;
        std::int32_t timers[5] = {0, 0, 50, 0, 0};
        const std::int32_t values[5] = {9, 9, c.value, 9, 9};
        DrawDamagePopups(timers, values, x, y, 10);
        EXPECT_EQ(GlyphsDrawn(), c.glyphs) << c.value << "\n" << Recorder().Trace();
        EXPECT_EQ(timers[2], 51);
        EXPECT_EQ(timers[0] + timers[1] + timers[3] + timers[4], 0) << "idle entries stay idle";
    }
}

TEST_F(DamageNumbersTest, AnEntryRisesDriftsFadesAndGoesIdleAfterTwoHundredFrames) {
    const float x = kCameraX + 400.25f, y = 250.0f;
    for (int slot : {0, 10, 19}) {
        std::int32_t timers[5] = {0, 1, 0, 0, 0};
        const std::int32_t values[5] = {0, 5, 0, 0, 0};
        int peak = 0;
        for (int t = 1; t <= 200; ++t) {
            Recorder().Reset();
            DrawDamagePopups(timers, values, x, y, slot);
            const int rise = static_cast<int>(std::sin(t / 200.0 * 3.14) * (2 * slot + 60));
            const int drift = static_cast<int>((slot - 10) / 20.0 * t);
            peak = std::max(peak, rise);
            ASSERT_EQ(GlyphsDrawn(), (std::vector<Glyph>{{static_cast<int>(x + drift - 8 - kCameraX),
                                                          static_cast<int>(y - rise), kDigitBase + 5}}))
                << "slot " << slot << " t " << t;
            // Opaque up to 100, then alpha 253 at 101 down to 0 at 200; the
            // blend is put back after every entry.
            std::vector<std::string> blends;
            for (const ApiCall& call : Recorder().Calls("ApiSetBlendModeParam")) blends.push_back(call.ToString());
            std::vector<std::string> expected;
            if (t > 100) expected.push_back("ApiSetBlendModeParam(1, " + std::to_string(255 - (t - 100) * 255 / 100) + ")");
            expected.push_back("ApiSetBlendModeParam(0, 0)");
            ASSERT_EQ(blends, expected) << "t " << t;
            if (t == 101) { EXPECT_EQ(expected[0], "ApiSetBlendModeParam(1, 253)"); }
            if (t == 200) { EXPECT_EQ(expected[0], "ApiSetBlendModeParam(1, 0)"); }
            if (t == 100 && slot == 0) { EXPECT_EQ(drift, -50); }
            if (t == 100 && slot == 19) { EXPECT_EQ(drift, 45); }
        }
        EXPECT_EQ(peak, 2 * slot + 60 - 1) << "sin(1.57) falls just short of 1";
        EXPECT_EQ(timers[1], 0);
        Recorder().Reset();
        DrawDamagePopups(timers, values, x, y, slot);
        EXPECT_TRUE(Recorder().Calls().empty());
    }
}

TEST_F(DamageNumbersTest, CriticalColoursCycleSevenFramesEachThroughSetsZeroOneAndThree) {
    std::int32_t timers[5] = {1, 0, 0, 0, 0};
    const std::int32_t values[5] = {100004, 0, 0, 0, 0};
    std::vector<int> sets;
    for (int frame = 0; frame < 42; ++frame) {
        Recorder().Reset();
        DrawDamagePopups(timers, values, kCameraX + 100.0f, 100.0f, 4);
        sets.push_back((GlyphsDrawn().at(0).handle - kDigitBase) / 10);
    }
    std::vector<int> expected;
    for (int cycle = 0; cycle < 2; ++cycle)
        for (int set : {0, 1, 3}) expected.insert(expected.end(), 7, set);
    EXPECT_EQ(sets, expected);

    // Two criticals on screen share the counter: it steps twice a frame.
    g_CriticalColourCounter = 6;
    std::int32_t both[5] = {5, 5, 0, 0, 0};
    const std::int32_t twoCriticals[5] = {100001, 100002, 0, 0, 0};
    Recorder().Reset();
    DrawDamagePopups(both, twoCriticals, kCameraX + 100.0f, 100.0f, 4);
    EXPECT_EQ(GlyphsDrawn().at(0).handle, kDigitBase + 1);       // counter 6: set 0
    EXPECT_EQ(GlyphsDrawn().at(1).handle, kDigitBase + 10 + 2);  // counter 7: set 1
    EXPECT_EQ(g_CriticalColourCounter, 8);
}

TEST_F(DamageNumbersTest, RingsRecordHitsAtTheirCursorAndWrap) {
    MonsterRecord& m = g_MonsterPools[12][0];
    m.popupCursor = 3;
    m.popupTimer[3] = 57;  // still showing: it keeps its place in the arc
    MonsterPopupValueAtCursor(m) = 88;
    AdvanceMonsterPopup(m);
    EXPECT_EQ(m.popupValue[3], 88);
    EXPECT_EQ(m.popupTimer[3], 58);
    EXPECT_EQ(m.popupCursor, 4);
    AdvanceMonsterPopup(m);
    EXPECT_EQ(m.popupTimer[4], 1);
    EXPECT_EQ(m.popupCursor, 0);

    // The entry at the cursor lets a hit through while idle or past 20.
    for (auto [timer, free] : {std::pair{0, true}, {1, false}, {20, false}, {21, true}, {200, true}}) {
        m.popupTimer[0] = timer;
        EXPECT_EQ(IsPopupEntryFree(m), free) << timer;
    }

    g_PlayerPopupRing.cursor = 29;
    PlayerPopupValueAtCursor() = 12;
    AdvancePlayerPopup();
    EXPECT_EQ(g_PlayerPopupRing.value[29], 12);
    EXPECT_EQ(g_PlayerPopupRing.timer[29], 1);
    EXPECT_EQ(g_PlayerPopupRing.cursor, 0);
    // A damaged cursor writes entry 0, never outside the ring.
    m.popupCursor = 200;
    MonsterPopupValueAtCursor(m) = 5;
    EXPECT_EQ(m.popupValue[0], 5);
    g_PlayerPopupRing.cursor = -3;
    AdvancePlayerPopup();
    EXPECT_EQ(g_PlayerPopupRing.cursor, 1);
}

TEST_F(DamageNumbersTest, TheFrameStepDrawsSlotBySlotInTheFixedKindOrderAliveOrNot) {
    for (int kind = 0; kind < kMonsterKindCount; ++kind) {
        MonsterRecord& m = g_MonsterPools[kind][kind % 2];
        m.alive = kind % 3 == 0 ? kMonsterFree : kMonsterAlive;  // freed slots float on
        m.x = kCameraX + 300.0f;
        m.y = 200.0f;
        m.popupTimer[2] = 10;
        m.popupValue[2] = kind;  // single digits 0 to 9 would clash: use the kind's digits
    }
    DrawMonsterDamagePopups();
    std::vector<int> order;
    std::vector<Glyph> glyphs = GlyphsDrawn();
    // Each entry draws MISS (kind 0) or its digits; read them back.
    std::size_t i = 0;
    while (i < glyphs.size()) {
        if (glyphs[i].handle >= kLetterBase) {
            order.push_back(0);
            i += 4;
        } else if (i + 1 < glyphs.size() && glyphs[i + 1].x == glyphs[i].x + 16 && glyphs[i + 1].y == glyphs[i].y) {
            order.push_back((glyphs[i].handle - kDigitBase) * 10 + glyphs[i + 1].handle - kDigitBase);
            i += 2;
        } else {
            order.push_back(glyphs[i].handle - kDigitBase);
            i += 1;
        }
    }
    std::vector<int> expected;
    for (int slot = 0; slot < 2; ++slot)
        for (int kind : kDamagePopupKindOrder)
            if (kind % 2 == slot) expected.push_back(kind);
    EXPECT_EQ(order, expected);
}

}  // namespace
