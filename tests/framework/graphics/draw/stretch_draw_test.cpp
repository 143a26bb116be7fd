// Stretched and mirrored drawing through the drawing operations: on every
// route (a software image or a video-memory surface opened on a DirectDraw
// screen, or straight into a software screen) each draw gives what the
// renderer gives; what fails where; the clipped part draws; and a monster
// of the game's data set drawn at twice its size, mirrored, blended.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <filesystem>

#include "framework/graphics/draw/draw_ops_fixture.h"
#include "graphics/draw/draw_ops.h"
#include "graphics/draw/soft_bridge.h"
#include "platform/files.h"
#include "platform/kernel.h"
#include "softrender/scaled/blit_scaled.h"

using namespace draw_test;

namespace {

// A picture whose every pixel differs from its neighbours, with a few of
// the colour key (black).
std::uint16_t Pattern(int x, int y) {
    if ((x * 7 + y * 3) % 11 == 0) return kBlack;
    return static_cast<std::uint16_t>(0x0841 + x * 2113 + y * 977);
}

enum class Route { kSoftwareImage, kVideoSurface, kSoftwareScreen };

class StretchDrawTest : public DrawOpsTest {
protected:
    void StartOn(Route route) {
        if (route == Route::kSoftwareScreen) PlatformDisplayKnobsRef().videoMemoryFails = true;
        Start();
        ASSERT_EQ(IsScreenMemImg(), route == Route::kSoftwareScreen ? 1 : 0);
    }

    // The screen's pixels as the renderer would leave them: the same
    // source, drawn by DrawExtendMemImg onto the same background.
    ::testing::AssertionResult MatchesRenderer(const int corners[4], int w, int h, int transparent,
                                               std::uint32_t background) {
        MEMIMG reference{}, source{};
        InitMemImg(&reference, 640, 480, -1, 0, kMemImgKind565, 0, 0, 0);
        InitMemImg(&source, w, h, -1, 0, kMemImgKind565, 0, 0, 0);
        ClearMemImgRect(&reference, nullptr, background);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const std::uint16_t v = Pattern(x, y);
                std::memcpy(source.pixels + y * source.pitch + x * 2, &v, 2);
            }
        DrawExtendMemImg(&reference, &source, corners, transparent, nullptr, CurrentSoftDrawSettings(),
                         g_SystemState.mmxAvailable);
        const PlatformFrame& f = Present();
        int differing = 0, firstX = -1, firstY = -1;
        for (int y = 0; y < 480; ++y)
            for (int x = 0; x < 640; ++x) {
                std::uint16_t want = 0;
                std::memcpy(&want, reference.pixels + y * reference.pitch + x * 2, 2);
                if (f.Raw(x, y) != want && differing++ == 0) firstX = x, firstY = y;
            }
        ReleaseMemImg(&reference);
        ReleaseMemImg(&source);
        if (differing == 0) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << differing << " pixels differ, the first at (" << firstX << ", "
                                             << firstY << ")";
    }
};

TEST_F(StretchDrawTest, EveryRouteGivesWhatTheRendererGives) {
    struct Corners {
        const char* what;
        int c[4];
    };
    // The graphic is 24 x 12.
    const Corners cornerSets[] = {
        {"twice the size", {100, 50, 148, 74}},
        {"mirrored at its own size", {324, 60, 300, 72}},
        {"mirrored twice the size, off the left edge", {30, 200, -18, 224}},
        {"1.3 times, off the right and bottom edges", {620, 470, 651, 486}},
        {"upside down at half size", {400, 306, 412, 300}},
        {"32700 wide, mostly off the left edge", {-32000, 100, 700, 112}},
    };
    struct Blend {
        int mode, param, r, g, b, transparent;
    };
    const Blend blends[] = {{0, 0, 255, 255, 255, 0}, {0, 0, 255, 255, 255, 1}, {kBlendModeAlpha, 150, 255, 200, 120, 1},
                            {kBlendModeAdd, 255, 255, 0, 0, 1}, {kBlendModeSubtract, 255, 255, 255, 255, 1}};
    for (Route route : {Route::kSoftwareImage, Route::kVideoSurface, Route::kSoftwareScreen}) {
        SCOPED_TRACE(static_cast<int>(route));
        StartOn(route);
        HandleId g = MakeGraph(24, 12, route == Route::kSoftwareImage ? 1 : 0, Pattern);
        for (const Corners& cs : cornerSets)
            for (const Blend& b : blends) {
                SCOPED_TRACE(testing::Message() << cs.what << ", mode " << b.mode << " transparent " << b.transparent);
                Background(0x40, 0x90, 0xC0);
                ApiSetBlendModeParam(b.mode, b.param);
                ApiSetBrightColor(b.r, b.g, b.b);
                EXPECT_EQ(ApiStretchBlitGraph(cs.c[0], cs.c[1], cs.c[2], cs.c[3], g, b.transparent), 0);
                EXPECT_TRUE(MatchesRenderer(cs.c, 24, 12, b.transparent, ApiMakeColorCode(0x40, 0x90, 0xC0)));
                ApiSetBlendModeParam(0, 0);
                ApiSetBrightColor(255, 255, 255);
            }
        ApiReleaseGraph(g, 0);
        ApiEndFramework();
        PlatformDisplayKnobsRef() = PlatformDisplayKnobs{};
        PlatformDisplayReset();
        g_ScreenDevice.softwareOnly = 0;
    }
}

TEST_F(StretchDrawTest, MirrorBlitGraphFillsTheSameRectangleTurnedRound) {
    Start();
    HandleId g = MakeGraph(32, 16, 1, Pattern);
    ASSERT_EQ(ApiMirrorBlitGraph(10, 20, g, 0), 0);
    const PlatformFrame& f = Present();
    for (int y = 19; y < 37; ++y)
        for (int x = 9; x < 43; ++x) {
            const bool inside = x >= 10 && x < 42 && y >= 20 && y < 36;
            ASSERT_EQ(f.Raw(x, y), inside ? Pattern(41 - x, y - 20) : kGrey) << x << ", " << y;
        }
}

TEST_F(StretchDrawTest, WhatFailsWhereTheTargetIsOpenedAndWhereItIsNot) {
    // Opened (a DirectDraw screen): nothing seen or no width is a failure.
    // Straight into a software screen the renderer simply draws nothing.
    for (Route route : {Route::kVideoSurface, Route::kSoftwareScreen}) {
        SCOPED_TRACE(static_cast<int>(route));
        StartOn(route);
        const int fails = route == Route::kSoftwareScreen ? 0 : -1;
        HandleId g = MakeGraph(24, 12, 0, Pattern);
        EXPECT_EQ(ApiStretchBlitGraph(700, 10, 748, 34, g, 0), fails);
        EXPECT_EQ(ApiStretchBlitGraph(10, 10, 10, 40, g, 0), fails);
        EXPECT_EQ(ApiStretchBlitGraph(INT_MIN, 0, INT_MAX, 100, g, 0), fails);
        EXPECT_EQ(ApiStretchBlitGraph(0, 0, 40000, 100, g, 0), fails);
        EXPECT_EQ(ApiStretchBlitGraph(0, 0, 10, 10, 0x08001234, 0), -1);
        // Wholly outside the draw area a draw ends before anything is
        // opened, with what its road gives for it: at the graphic's own size
        // the right way round the plain draw's 0, else the opened target's
        // failure. Plain draws give 0 everywhere.
        struct Outside {
            int x1, y1, x2, y2;
            int result;
        };
        const Outside outside[] = {
            {-100, 10, -76, 22, 0},        // own size, left of the area
            {-76, 10, -100, 22, fails},    // mirrored
            {10, 500, 34, 488, fails},     // upside down, below the area
            {640, 0, 688, 24, fails},      // stretched, right of it
            {200, -12, 224, 0, 0},         // touching the top edge from outside
        };
        for (const Outside& o : outside) {
            SCOPED_TRACE(o.x1);
            EXPECT_EQ(ApiStretchBlitGraph(o.x1, o.y1, o.x2, o.y2, g, 1), o.result);
        }
        EXPECT_EQ(ApiMirrorBlitGraph(-24, 0, g, 1), fails);
        EXPECT_EQ(ApiBlitGraph(10, 480, g, 1), 0);
        EXPECT_EQ(ApiBlitGraph(-24, -12, g, 0), 0);
        // The same against a narrowed area, inside the screen.
        ASSERT_EQ(SetDrawViewport(300, 300, 400, 400), 0);
        EXPECT_EQ(ApiBlitGraph(10, 10, g, 1), 0);
        EXPECT_EQ(ApiMirrorBlitGraph(400, 300, g, 1), fails);
        SetDrawViewport(0, 0, 640, 480);
        const PlatformFrame& f = Present();
        for (int y = 0; y < 480; y += 7)
            for (int x = 0; x < 640; x += 5) ASSERT_EQ(f.Raw(x, y), kGrey) << x << ", " << y;
        // At its own size and the right way round the opened target takes
        // the plain draw, with the same pixels.
        Background(0x80, 0x80, 0x80);
        ASSERT_EQ(ApiStretchBlitGraph(100, 100, 124, 112, g, 1), 0);
        const PlatformFrame& plain = Present();
        for (int y = 0; y < 12; ++y)
            for (int x = 0; x < 24; ++x)
                ASSERT_EQ(plain.Raw(100 + x, 100 + y), Pattern(x, y) == kBlack ? kGrey : Pattern(x, y));
        ApiReleaseGraph(g, 0);
        ApiEndFramework();
        PlatformDisplayKnobsRef() = PlatformDisplayKnobs{};
        PlatformDisplayReset();
        g_ScreenDevice.softwareOnly = 0;
    }
}

TEST_F(StretchDrawTest, APartDrawsMirroredInItsPlaceAndStretchedBetweenTheCorners) {
    Start();
    const RECT before = g_DrawState.drawArea;
    HandleId g = MakeGraph(24, 4, 1, Pattern);
    // Columns 4-11 of the graphic, mirrored in place at x 200.
    ASSERT_EQ(ClipBlitGraphRect(200, 10, 4, 0, 8, 4, g, 0, 1), 0);
    // The same part twice as large between the corners, and reversed.
    ASSERT_EQ(ClipStretchBlitGraphRect(300, 20, 316, 28, 4, 0, 8, 4, g, 0), 0);
    ASSERT_EQ(ClipStretchBlitGraphRect(416, 28, 400, 20, 4, 0, 8, 4, g, 0), 0);
    EXPECT_EQ(g_DrawState.drawArea.left, before.left);
    EXPECT_EQ(g_DrawState.drawArea.right, before.right);
    const PlatformFrame& f = Present();
    for (int y = 0; y < 4; ++y)
        for (int i = 0; i < 8; ++i) EXPECT_EQ(f.Raw(200 + i, 10 + y), Pattern(11 - i, y)) << i << ", " << y;
    for (int y = 0; y < 8; ++y)
        for (int i = 0; i < 16; ++i) {
            EXPECT_EQ(f.Raw(300 + i, 20 + y), Pattern(4 + i / 2, y / 2)) << i << ", " << y;
            EXPECT_EQ(f.Raw(400 + i, 20 + y), Pattern(11 - i / 2, 3 - y / 2)) << i << ", " << y;
        }
    EXPECT_EQ(f.Raw(199, 10), kGrey);
    EXPECT_EQ(f.Raw(208, 10), kGrey);
    EXPECT_EQ(f.Raw(299, 20), kGrey);
    EXPECT_EQ(f.Raw(316, 20), kGrey);
    EXPECT_EQ(f.Raw(399, 20), kGrey);
    EXPECT_EQ(f.Raw(416, 27), kGrey);
}

// ---- a monster of the game's data set ------------------------------------------------

// Where the test program started: the build folder, beside the game's data set.
const std::filesystem::path g_startPath = std::filesystem::current_path();

TEST_F(StretchDrawTest, AMonsterTwiceItsSizeMirroredAndBlended) {
    // With KELVO_CAPTURE set the presented frame is written as a picture.
    if (!std::filesystem::is_regular_file(g_startPath / "rukbmp" / "algall.bmp"))
        GTEST_SKIP() << "no data set beside the test program";
    ASSERT_TRUE(SetCurrentDirectoryA(PlatformWindowsPath(g_startPath.string()).c_str()));
    Start();
    Background(0x30, 0x50, 0x70);
    // A stage panel under the lower half, for the blended draws.
    const int panel = ApiLoadImageToGraph("bmp\\0101.bmp", 0);
    ASSERT_GE(panel, 0);
    ASSERT_EQ(ApiBlitGraph(0, 240, panel, 0), 0);
    int frames[17];
    ASSERT_EQ(ApiLoadImageToDivGraphs("rukbmp\\algall.bmp", 17, 6, 3, 128, 128, frames, 0), 0);

    // Above, left to right: its own size, twice, twice mirrored. Below:
    // twice at alpha 128, and twice mirrored and added in red, as hit
    // monsters flash.
    const int m = frames[0];
    ASSERT_EQ(ApiBlitGraph(0, 0, m, 1), 0);
    ASSERT_EQ(ApiStretchBlitGraph(128, 0, 384, 256, m, 1), 0);
    ASSERT_EQ(ApiStretchBlitGraph(640, 0, 384, 256, m, 1), 0);
    ApiSetBlendModeParam(kBlendModeAlpha, 128);
    ASSERT_EQ(ApiStretchBlitGraph(-64, 224, 192, 480, m, 1), 0);
    ApiSetBlendModeParam(kBlendModeAdd, 200);
    ApiSetBrightColor(255, 0, 0);
    ASSERT_EQ(ApiStretchBlitGraph(576, 224, 320, 480, m, 1), 0);
    ApiSetBlendModeParam(0, 0);
    ApiSetBrightColor(255, 255, 255);
    const PlatformFrame& f = Present();

    // Each pixel of the sprite at its own size is a 2 x 2 block in the
    // stretched one, and the mirrored one shows the same blocks turned
    // round (above the panel, where the background is one colour).
    const std::uint32_t background = ApiMakeColorCode(0x30, 0x50, 0x70);
    int opaque = 0;
    for (int y = 0; y < 112; ++y)
        for (int x = 0; x < 128; ++x) {
            const std::uint32_t small = f.Raw(x, y);
            for (int k = 0; k < 4; ++k) {
                ASSERT_EQ(f.Raw(128 + 2 * x + k % 2, 2 * y + k / 2), small) << x << ", " << y;
                ASSERT_EQ(f.Raw(639 - 2 * x - k % 2, 2 * y + k / 2), small) << x << ", " << y;
            }
            if (small != background) ++opaque;
        }
    // The monster is there: a good part of the frame is not background.
    EXPECT_GT(opaque, 128 * 112 / 8);
    for (int h : frames) ApiReleaseGraph(h, 0);
    ApiReleaseGraph(panel, 0);
}

}  // namespace
