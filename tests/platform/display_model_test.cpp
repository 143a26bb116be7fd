// The display model under the DirectDraw stand-in: which modes it takes and
// what a mode change does, row pitches, the client rectangle kept inside the
// screen, losses of the surfaces, the framebuffer trade of a flip and the
// vertical-blank timeline.
#include <gtest/gtest.h>

#include <cstring>

#include "ddraw/display_internal.h"
#include "platform/ddraw_fixture.h"

namespace {

using DisplayModel = DirectDrawFixture;

bool AllBytesAre(const std::uint8_t* bytes, std::size_t n, std::uint8_t value) {
    for (std::size_t i = 0; i < n; ++i)
        if (bytes[i] != value) return false;
    return true;
}

// Modes are 640 x 480 at 8, 16 or 32 bits and 60 Hz (0: any). A mode taken
// changes the layout, clears the framebuffer at its new pitch, loses every
// surface and puts the client rectangle over the whole screen; a refused one
// changes nothing. Giving the mode back returns to the desktop once.
TEST_F(DisplayModel, ModesTakenAndRefused) {
    const struct {
        int width, height, bits, refresh;
        void (*knobs)(PlatformDisplayKnobs&);
        bool taken;
        PlatformPixelLayout layout;
    } cases[] = {
        {640, 480, 8, 0, [](PlatformDisplayKnobs&) {}, true, {8, 0, 0, 0, 0}},
        {640, 480, 16, 0, [](PlatformDisplayKnobs&) {}, true, {16, 0xF800, 0x07E0, 0x001F, 0}},
        {640, 480, 16, 0, [](PlatformDisplayKnobs& k) { k.use555 = true; }, true, {16, 0x7C00, 0x03E0, 0x001F, 0}},
        {640, 480, 32, 60, [](PlatformDisplayKnobs&) {}, true, {32, 0xFF0000, 0xFF00, 0xFF, 0}},
        {640, 480, 16, 0, [](PlatformDisplayKnobs& k) { k.refusedRefresh = 60; }, true, {16, 0xF800, 0x07E0, 0x001F, 0}},
        {640, 480, 24, 0, [](PlatformDisplayKnobs&) {}, false, {}},
        {640, 480, 15, 0, [](PlatformDisplayKnobs&) {}, false, {}},
        {640, 480, 16, 75, [](PlatformDisplayKnobs&) {}, false, {}},
        {640, 480, 16, 59, [](PlatformDisplayKnobs&) {}, false, {}},
        {640, 480, 16, 60, [](PlatformDisplayKnobs& k) { k.refusedRefresh = 60; }, false, {}},
        {640, 480, 16, 0, [](PlatformDisplayKnobs& k) { k.refuseAllModes = true; }, false, {}},
        {800, 600, 16, 0, [](PlatformDisplayKnobs&) {}, false, {}},
        {640, 481, 16, 0, [](PlatformDisplayKnobs&) {}, false, {}},
        {639, 480, 16, 0, [](PlatformDisplayKnobs&) {}, false, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << "x" << c.bits << " @" << c.refresh);
        PlatformDisplayKnobsRef() = PlatformDisplayKnobs{};
        PlatformDisplayKnobsRef().desktopRefresh = 75;
        c.knobs(PlatformDisplayKnobsRef());
        PlatformDisplayReset();
        PlatformDisplaySetClientRect(RECT{10, 10, 100, 100});
        const std::uint64_t epoch = PlatformDisplayLossEpoch();
        const std::size_t desktopBytes = static_cast<std::size_t>(PlatformFramebufferPitch()) * 768;
        std::memset(PlatformFramebuffer(), 0xAB, desktopBytes);
        EXPECT_EQ(PlatformDisplaySetMode(c.width, c.height, c.bits, c.refresh), c.taken);
        EXPECT_EQ(PlatformDisplayModeChanged(), c.taken);
        if (!c.taken) {
            EXPECT_EQ(PlatformDisplayWidth(), 1024);
            EXPECT_EQ(PlatformDisplayHeight(), 768);
            EXPECT_EQ(PlatformDisplayLayout(), kLayoutX888);
            EXPECT_EQ(PlatformDisplayRefresh(), 75);
            EXPECT_EQ(PlatformDisplayLossEpoch(), epoch);
            EXPECT_EQ(PlatformDisplayClientRect().right, 100);
            EXPECT_TRUE(AllBytesAre(PlatformFramebuffer(), desktopBytes, 0xAB));
            continue;
        }
        EXPECT_EQ(PlatformDisplayWidth(), 640);
        EXPECT_EQ(PlatformDisplayHeight(), 480);
        EXPECT_EQ(PlatformDisplayLayout(), c.layout);
        EXPECT_EQ(PlatformDisplayRefresh(), 60);
        EXPECT_EQ(PlatformDisplayLossEpoch(), epoch + 1);
        const RECT client = PlatformDisplayClientRect();
        EXPECT_EQ(client.left, 0);
        EXPECT_EQ(client.top, 0);
        EXPECT_EQ(client.right, 640);
        EXPECT_EQ(client.bottom, 480);
        EXPECT_EQ(PlatformFramebufferPitch(), 640 * c.bits / 8);
        EXPECT_TRUE(AllBytesAre(PlatformFramebuffer(), static_cast<std::size_t>(640 * c.bits / 8) * 480, 0));
        // Back to the desktop: its size, layout and refresh, once.
        PlatformDisplayRestoreMode();
        EXPECT_FALSE(PlatformDisplayModeChanged());
        EXPECT_EQ(PlatformDisplayWidth(), 1024);
        EXPECT_EQ(PlatformDisplayHeight(), 768);
        EXPECT_EQ(PlatformDisplayLayout(), kLayoutX888);
        EXPECT_EQ(PlatformDisplayRefresh(), 75);
        EXPECT_EQ(PlatformFramebufferPitch(), 4096);
        EXPECT_EQ(PlatformDisplayLossEpoch(), epoch + 2);
        PlatformDisplayRestoreMode();
        EXPECT_EQ(PlatformDisplayLossEpoch(), epoch + 2) << "nothing to give back";
    }
}

// Rows are 8-byte aligned, plus the test's padding; the client rectangle
// never reaches outside the screen (1024 x 768 here).
TEST_F(DisplayModel, PitchesAndTheClientRectangle) {
    const struct {
        int width, bytes, pitch;
    } pitches[] = {{1, 1, 8}, {8, 1, 8}, {9, 1, 16}, {3, 2, 8}, {4, 2, 8}, {5, 2, 16},
                   {3, 3, 16}, {640, 2, 1280}, {100, 4, 400}, {0, 4, 0}};
    for (const auto& p : pitches) {
        PlatformDisplayKnobsRef().pitchPadding = 0;
        EXPECT_EQ(PlatformSurfacePitch(p.width, p.bytes), p.pitch) << p.width << " x " << p.bytes;
        PlatformDisplayKnobsRef().pitchPadding = 40;
        EXPECT_EQ(PlatformSurfacePitch(p.width, p.bytes), p.pitch + 40) << p.width << " x " << p.bytes;
    }
    PlatformDisplayKnobsRef().pitchPadding = 0;
    const struct {
        RECT asked, kept;
    } rects[] = {
        {{-10, -20, 50, 60}, {0, 0, 50, 60}},
        {{1000, 700, 1100, 800}, {1000, 700, 1024, 768}},
        {{50, 60, 40, 50}, {50, 60, 50, 60}},
        {{2000, 2000, 3000, 3000}, {1024, 768, 1024, 768}},
        {{-5, -5, -1, -1}, {0, 0, 0, 0}},
        {{0, 0, 1024, 768}, {0, 0, 1024, 768}},
    };
    for (const auto& r : rects) {
        PlatformDisplaySetClientRect(r.asked);
        const RECT got = PlatformDisplayClientRect();
        EXPECT_EQ(got.left, r.kept.left) << r.asked.left << "," << r.asked.top;
        EXPECT_EQ(got.top, r.kept.top) << r.asked.left << "," << r.asked.top;
        EXPECT_EQ(got.right, r.kept.right) << r.asked.left << "," << r.asked.top;
        EXPECT_EQ(got.bottom, r.kept.bottom) << r.asked.left << "," << r.asked.top;
    }
}

// Exclusive mode is lost once (one loss, however often it is said) and
// taken back without a loss; a reset keeps the knobs, loses everything and
// puts back the fixed palette. The framebuffer is traded only for memory of
// its own size and pitch.
TEST_F(DisplayModel, LossesResetsAndTheFramebufferTrade) {
    const std::uint64_t epoch = PlatformDisplayLossEpoch();
    EXPECT_TRUE(PlatformDisplayHasExclusive());
    PlatformDisplayLoseExclusive();
    PlatformDisplayLoseExclusive();
    EXPECT_FALSE(PlatformDisplayHasExclusive());
    EXPECT_EQ(PlatformDisplayLossEpoch(), epoch + 1);
    PlatformDisplayRegainExclusive();
    EXPECT_TRUE(PlatformDisplayHasExclusive());
    EXPECT_EQ(PlatformDisplayLossEpoch(), epoch + 1);

    std::uint32_t grey[256];
    for (auto& c : grey) c = 0x808080;
    PlatformSetFramebufferPalette(grey);
    PlatformDisplayKnobsRef().desktopWidth = 800;
    PlatformDisplayKnobsRef().desktopHeight = 600;
    PlatformDisplayReset();
    EXPECT_EQ(PlatformDisplayLossEpoch(), epoch + 2);
    EXPECT_EQ(PlatformDisplayWidth(), 800);
    EXPECT_EQ(PlatformDisplayHeight(), 600);
    std::uint32_t palette[256];
    PlatformFramebufferPalette(palette);
    EXPECT_EQ(palette[255], 0xFFFFFFu);
    EXPECT_EQ(palette[0x92], 0x9191AAu);

    const int pitch = PlatformFramebufferPitch();
    const std::size_t size = static_cast<std::size_t>(pitch) * 600;
    std::memset(PlatformFramebuffer(), 1, size);
    PixelMemory wrongPitch(size, 2), wrongSize(size - pitch, 2), right(size, 3);
    EXPECT_FALSE(PlatformSwapFramebuffer(wrongPitch, pitch + 8));
    EXPECT_FALSE(PlatformSwapFramebuffer(wrongSize, pitch));
    EXPECT_TRUE(AllBytesAre(PlatformFramebuffer(), size, 1));
    EXPECT_TRUE(AllBytesAre(wrongPitch.data(), size, 2));
    EXPECT_TRUE(PlatformSwapFramebuffer(right, pitch));
    EXPECT_TRUE(AllBytesAre(PlatformFramebuffer(), size, 3));
    EXPECT_TRUE(AllBytesAre(right.data(), size, 1));
}

// 525 lines a period, the last 45 of them the blank. A wait ends as the
// blank begins, one period after the last wait, at the desktop's refresh
// (60 when it gives none).
TEST_F(DisplayModel, WaitsEndAsTheBlankBeginsOncePerPeriod) {
    for (int refresh : {60, 50, 0}) {
        SCOPED_TRACE(refresh);
        PlatformDisplayKnobsRef().desktopRefresh = refresh;
        PlatformDisplayReset();
        PlatformResetVirtualClock();
        const std::uint64_t period = 1'000'000 / (refresh > 0 ? refresh : 60);
        EXPECT_LT(PlatformScanLine(), 5) << "a period starts at one second";
        EXPECT_FALSE(PlatformInVerticalBlank());
        ASSERT_TRUE(PlatformWaitVerticalBlankStart());
        const std::uint64_t first = PlatformPeekVirtualMicros();
        // Each read of the clock moves it on 100 us, three lines.
        const int line = PlatformScanLine();
        EXPECT_GE(line, 480);
        EXPECT_LE(line, 484);
        EXPECT_TRUE(PlatformInVerticalBlank());
        ASSERT_TRUE(PlatformWaitVerticalBlankStart());
        const std::uint64_t second = PlatformPeekVirtualMicros();
        EXPECT_GE(second - first, period - 2 * kVirtualClockReadStepMicros);
        EXPECT_LE(second - first, period + 2 * kVirtualClockReadStepMicros);
        // Where a line falls: a whole period is 525 lines, so 100 lines on
        // from the blank's start is line 55 of the next period.
        PlatformAdvanceVirtualClock(period * 100 / 525);
        const int later = PlatformScanLine();
        EXPECT_GE(later, 55);
        EXPECT_LE(later, 59);
    }
}

}  // namespace
