// The screen device started through the framework on the headless display:
// full screen, window mode, software rendering after DirectDraw failed, the
// fatal second failure, presenting and shut-down.
#include <gtest/gtest.h>

#include <vector>

#include "core/memory.h"
#include "framework/framework_fixture.h"
#include "graphics/device/present.h"
#include "graphics/device/screen_device.h"
#include "graphics/draw/draw_state.h"
#include "platform/display.h"

namespace {

class ScreenDeviceTest : public FrameworkTest {
protected:
    void SetUp() override {
        FrameworkTest::SetUp();
        PlatformDisplayKnobsRef() = PlatformDisplayKnobs{};
        PlatformDisplayReset();
        PlatformSetFrameSink([this](const PlatformFrame& f) { frames.push_back(f); });
        ApiSetAllowDoubleStart(1);
    }
    void TearDown() override {
        FrameworkTest::TearDown();
        PlatformSetFrameSink(nullptr);
        PlatformDisplayKnobsRef() = PlatformDisplayKnobs{};
    }

    // Clears the back screen to a colour and presents it.
    void ClearAndPresent(int r, int g, int b) {
        g_SystemState.backgroundRed = r;
        g_SystemState.backgroundGreen = g;
        g_SystemState.backgroundBlue = b;
        ASSERT_EQ(ApiSelectDrawTarget(kDrawTargetBack), 0);
        ASSERT_EQ(ClearDrawTargetPixels(), 0);
        ASSERT_EQ(ApiPresentScreen(), 0);
    }

    std::vector<PlatformFrame> frames;
};

TEST_F(ScreenDeviceTest, FullScreenStartsThroughDirectDrawAndFlipsTheClearedFrame) {
    ASSERT_EQ(ApiInitFramework(), 0);
    const ScreenDeviceState& d = g_ScreenDevice;
    EXPECT_TRUE(PlatformDisplayModeChanged());
    EXPECT_EQ(PlatformDisplayWidth(), 640);
    EXPECT_EQ(PlatformDisplayLayout(), kLayout565);
    ASSERT_NE(d.primary, nullptr);
    ASSERT_NE(d.back, nullptr);
    EXPECT_EQ(d.pixelCode, kScreenPixel565);
    EXPECT_EQ(d.tablesBuilt, 1);
    EXPECT_EQ(IsDirectDrawInUse(), 1);
    auto* block = static_cast<const D_DDPIXELFORMAT*>(ApiGetScreenPixelFormatBlock());
    EXPECT_EQ(block->dwRBitMask, 0xF800u);
    // 60 Hz: 16 or 17 ms a frame, and a present interval of 9 or 10 ms.
    EXPECT_TRUE(d.frameTime == 16 || d.frameTime == 17) << d.frameTime;
    EXPECT_TRUE(d.minPresentInterval == 9 || d.minPresentInterval == 10) << d.minPresentInterval;

    ApiSetVBlankWait(0);
    frames.clear();
    std::uint64_t before = GetPresentCount();
    ClearAndPresent(255, 0, 0);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].flipFlags, D_DDFLIP_WAIT | D_DDFLIP_NOVSYNC);
    EXPECT_EQ(frames[0].width, 640);
    EXPECT_EQ(frames[0].Raw(0, 0), 0xF800u);
    EXPECT_EQ(frames[0].Raw(639, 479), 0xF800u);
    EXPECT_EQ(GetPresentCount(), before + 1);

    EXPECT_EQ(d.displayModeChanged, 1);
    EXPECT_EQ(d.sceneMayBeOpen, 1);
    ASSERT_EQ(ApiEndFramework(), 0);
    EXPECT_EQ(PlatformLiveSurfaceCount(), 0);
    EXPECT_FALSE(PlatformDisplayModeChanged());
    EXPECT_EQ(PlatformDisplayWidth(), 1024) << "the desktop's mode is back";
    EXPECT_EQ(g_ScreenDevice.displayModeChanged, 0);
    EXPECT_EQ(g_ScreenDevice.directDraw, nullptr);
}

TEST_F(ScreenDeviceTest, WindowModeCopiesTheBackSurfaceIntoTheClientArea) {
    g_SystemState.windowMode = 1;
    ASSERT_EQ(ApiInitFramework(), 0);
    EXPECT_FALSE(PlatformDisplayModeChanged());
    // The screen takes the desktop's format in a window.
    EXPECT_EQ(g_ScreenDevice.depth, 32);
    EXPECT_EQ(g_ScreenDevice.attachedBack, nullptr);
    frames.clear();
    ClearAndPresent(0, 0, 255);
    ASSERT_FALSE(frames.empty());
    const PlatformFrame& f = frames.back();
    EXPECT_EQ(f.width, 640);
    EXPECT_EQ(f.height, 480);
    EXPECT_EQ(f.Rgb(0, 0), 0x0000FFu);
    EXPECT_EQ(f.Rgb(639, 479), 0x0000FFu);
    ASSERT_EQ(ApiEndFramework(), 0);
    EXPECT_EQ(PlatformLiveSurfaceCount(), 0);
}

TEST_F(ScreenDeviceTest, AFailedDirectDrawStartFallsBackToSoftwareRendering) {
    // No video memory: the output surfaces cannot be made.
    PlatformDisplayKnobsRef().videoMemoryFails = true;
    ASSERT_EQ(ApiInitFramework(), 0);
    EXPECT_EQ(IsDirectDrawInUse(), 0);
    EXPECT_EQ(IsScreenMemImg(), 1);
    EXPECT_GE(FindLine("ソフトウエアレンダリングモードに変更します"), 0);
    // Software-only full screen changes the display settings itself.
    EXPECT_TRUE(PlatformDisplayModeChanged());
    EXPECT_EQ(PlatformDisplayLayout().bitsPerPixel, 16);
    EXPECT_EQ(g_ScreenDevice.pixelCode, kScreenPixel555);
    frames.clear();
    ClearAndPresent(0, 255, 0);
    ASSERT_FALSE(frames.empty());
    EXPECT_EQ(frames.back().Raw(0, 0), 0x07E0u);
    EXPECT_EQ(frames.back().Raw(639, 479), 0x07E0u);
    ASSERT_EQ(ApiEndFramework(), 0);
    EXPECT_EQ(PlatformLiveSurfaceCount(), 0);
    EXPECT_FALSE(PlatformDisplayModeChanged());
}

TEST_F(ScreenDeviceTest, ASecondFailureIsFatal) {
    EXPECT_EXIT(
        {
            PlatformDisplayKnobsRef().videoMemoryFails = true;
            // The software screen's images cannot be made either.
            SetTrackedAllocFailuresFromSize(300'000);
            ApiInitFramework();
        },
        ::testing::ExitedWithCode(255), "");
}

TEST_F(ScreenDeviceTest, PresentingWithTheWaitFlipsWithoutNoVsyncAndCountsFrames) {
    ASSERT_EQ(ApiInitFramework(), 0);
    ApiSetVBlankWait(1);
    frames.clear();
    ClearAndPresent(10, 20, 30);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].flipFlags, D_DDFLIP_WAIT);
    // With the front screen as target a present only waits for a blank.
    ASSERT_EQ(ApiSelectDrawTarget(kDrawTargetFront), 0);
    std::uint64_t count = GetPresentCount();
    ASSERT_EQ(ApiPresentScreen(), 0);
    EXPECT_EQ(frames.size(), 1u);
    EXPECT_EQ(GetPresentCount(), count + 1);
}

// Waiting for n blanks takes between n - 1 and n refresh periods of the
// display's clock (one at most for n = 0); none is waited for with drawing
// suppressed, and without DirectDraw there is nothing to wait on.
TEST_F(ScreenDeviceTest, WaitingForBlanksWaitsForAsManyAsAsked) {
    EXPECT_EQ(WaitVerticalBlankLoop(1), -1);
    ASSERT_EQ(ApiInitFramework(), 0);
    const double period = 1000.0 / PlatformDisplayRefresh();
    const struct {
        int count;
        double least, most;  // periods
    } cases[] = {{0, 0, 1}, {1, 0, 1}, {3, 2, 3}, {5, 4, 5}, {-1, 0, 0}};
    for (const auto& c : cases) {
        const DWORD start = timeGetTime();
        EXPECT_EQ(WaitVerticalBlankLoop(c.count), 0) << c.count;
        const double elapsed = timeGetTime() - start;
        EXPECT_GE(elapsed, c.least * period - 1) << c.count;
        EXPECT_LE(elapsed, c.most * period + 1) << c.count;
    }
    g_DrawState.drawingSuppressed = 1;
    const DWORD start = timeGetTime();
    EXPECT_EQ(WaitVerticalBlankLoop(5), 0);
    EXPECT_LE(timeGetTime() - start, 1u);
    g_DrawState.drawingSuppressed = 0;
}

// Software rendering, once chosen, is kept: the screen is then held as
// images with the back screen still the target. DirectDraw released and
// made again comes back with its screen; a second release says so.
TEST_F(ScreenDeviceTest, SoftwareRenderingIsKeptAndDirectDrawComesBackWhole) {
    ASSERT_EQ(ApiInitFramework(), 0);
    ASSERT_EQ(ApiSelectDrawTarget(kDrawTargetBack), 0);
    ASSERT_EQ(g_ScreenDevice.softwareOnly, 0);
    const struct {
        int hardware, softwareAfter;
    } steps[] = {{1, 0}, {0, 1}, {1, 1}};
    for (const auto& step : steps) {
        EXPECT_EQ(ChangeRenderingMode(step.hardware), 0) << step.hardware;
        EXPECT_EQ(g_ScreenDevice.softwareOnly, step.softwareAfter) << step.hardware;
        EXPECT_EQ(g_ScreenDevice.disable3D, step.softwareAfter) << step.hardware;
        EXPECT_EQ(g_ScreenDevice.screenMemImg, step.softwareAfter);
        EXPECT_EQ(g_ScreenColorInfo.screenIsMemImg, step.softwareAfter);
        EXPECT_EQ(GetDrawTarget(), kBackScreenTarget);
    }
    ClearAndPresent(40, 50, 60);

    EXPECT_EQ(RebuildDirectDraw(), 0) << "there already";
    EXPECT_EQ(ReleaseDirectDraw(), 0);
    EXPECT_EQ(g_ScreenDevice.directDraw, nullptr);
    EXPECT_EQ(RebuildDirectDraw(), 0);
    EXPECT_NE(g_ScreenDevice.directDraw, nullptr);
    ClearAndPresent(70, 80, 90);
}

TEST_F(ScreenDeviceTest, ScreenModeChangesThatChangeNothingDoNothing) {
    ASSERT_EQ(ApiInitFramework(), 0);
    int surfaces = PlatformLiveSurfaceCount();
    D_IDirectDrawSurface7* primary = g_ScreenDevice.primary;
    EXPECT_EQ(ApplyScreenMode(-1, -1, -1, 0, -1), 0);
    EXPECT_EQ(g_ScreenDevice.primary, primary);
    EXPECT_EQ(PlatformLiveSurfaceCount(), surfaces);
    EXPECT_EQ(StartUpDirectDraw(), -1);  // the object exists already
}

TEST_F(ScreenDeviceTest, DepthTwentyFourIsRefusedForTheScreen) {
    int depth = 0, changed = 0;
    DWORD flags = 0;
    EXPECT_EQ(SetDisplayModeForScreen(nullptr, 1024, 768, 640, 480, 24, &depth, &flags, 0, &changed, nullptr), -1);
    EXPECT_EQ(changed, 0);
}

// Asked for before start-up, a depth of 24 is refused at the request and
// leaves the settings as they were, so this start and every later one run;
// a depth that works is kept for start-up.
TEST_F(ScreenDeviceTest, DepthTwentyFourAskedBeforeStartUpIsRefusedAtTheRequest) {
    const int before = g_ScreenDevice.depth;
    EXPECT_EQ(ApplyScreenMode(-1, -1, 24, 0, -1), -1);
    EXPECT_EQ(g_ScreenDevice.depth, before);
    for (int start = 0; start < 2; ++start) {
        ASSERT_EQ(ApiInitFramework(), 0) << "start " << start;
        EXPECT_EQ(GetScreenColorDepth(), 16);
        EXPECT_EQ(PlatformDisplayLayout().bitsPerPixel, 16);
        ApiEndFramework();
    }
    EXPECT_EQ(ApplyScreenMode(-1, -1, 32, 0, -1), 0);
    ASSERT_EQ(ApiInitFramework(), 0);
    EXPECT_EQ(GetScreenColorDepth(), 32);
    EXPECT_EQ(PlatformDisplayLayout().bitsPerPixel, 32);
}

TEST_F(ScreenDeviceTest, AWindowLargerThanTheDesktopIsFatal) {
    auto tooLarge = [] {
        int depth = 0;
        int changed = 0;
        DWORD flags = 0;
        SetDisplayModeForScreen(nullptr, 320, 240, 640, 480, 16, &depth, &flags, 1, &changed, nullptr);
    };
    EXPECT_EXIT(tooLarge(), ::testing::ExitedWithCode(255), "");
}

TEST_F(ScreenDeviceTest, ALostFullScreenIsRestoredWithItsSurfaces) {
    ASSERT_EQ(ApiInitFramework(), 0);
    D_IDirectDrawSurface7* back = g_ScreenDevice.back;
    PlatformDisplayLoseExclusive();
    EXPECT_EQ(back->IsLost(), D_DDERR_SURFACELOST);
    PlatformDisplayRegainExclusive();
    EXPECT_EQ(RestoreLostMainSurfaces(), 0);
    EXPECT_EQ(back->IsLost(), D_DD_OK);
    ApiSetVBlankWait(0);
    frames.clear();
    ClearAndPresent(255, 255, 255);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].Raw(100, 100), 0xFFFFu);
}

}  // namespace
