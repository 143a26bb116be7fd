// The screen device started through the framework on the headless display:
// full screen, window mode, software rendering after DirectDraw failed, the
// fatal second failure, presenting and shut-down.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "core/memory.h"
#include "core/screen_log.h"
#include "framework/framework_fixture.h"
#include "screen_device_fixture.h"
#include "graphics/device/present.h"
#include "graphics/device/screen_device.h"
#include "graphics/device/surface2d.h"
#include "graphics/draw/draw_state.h"
#include "platform/display.h"

namespace {

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
    EXPECT_EQ(g_ScreenLog.setUp, 1);
    // A 2D surface no graphic owns (as the glyph cache makes) goes too.
    SurfaceCreateFlags flags{};
    ASSERT_GE(AddSurface2D(8, 8, 0, 0, kNoHandle, nullptr, 0, 0, &flags), 0);
    ASSERT_EQ(ApiEndFramework(), 0);
    EXPECT_EQ(g_Surface2DTable.Count(), 0);
    EXPECT_EQ(g_ScreenLog.setUp, 0) << "the on-screen log ends with the framework";
    EXPECT_EQ(g_ScreenLog.fontHandle, -1);
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
    // Released, the software screen gives the display settings back.
    EXPECT_EQ(ReleaseDirectDraw(), 0);
    EXPECT_FALSE(PlatformDisplayModeChanged());
    EXPECT_EQ(g_ScreenDevice.displayModeChanged, 0);
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
        if (c.count > 0) EXPECT_TRUE(PlatformInVerticalBlank()) << c.count << ": returns at the start of a blank";
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
    // Not while drawing is suppressed.
    g_DrawState.drawingSuppressed = 1;
    EXPECT_EQ(RestoreLostMainSurfaces(), 0);
    EXPECT_EQ(back->IsLost(), D_DDERR_SURFACELOST);
    g_DrawState.drawingSuppressed = 0;
    EXPECT_EQ(RestoreLostMainSurfaces(), 0);
    EXPECT_EQ(back->IsLost(), D_DD_OK);
    EXPECT_EQ(g_ScreenDevice.primary->IsLost(), D_DD_OK);
    EXPECT_EQ(g_ScreenDevice.zBuffer->IsLost(), D_DD_OK);
    ApiSetVBlankWait(0);
    frames.clear();
    ClearAndPresent(255, 255, 255);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].Raw(100, 100), 0xFFFFu);
}

// Unset sizes read as 640 x 480 and depth 16; the settings that need a
// rebuild are taken only before the DirectDraw object exists.
TEST_F(ScreenDeviceTest, SettingsAndGettersBeforeAndAfterStartUp) {
    ScreenDeviceState& d = g_ScreenDevice;
    d.width = d.height = d.depthSetting = 0;
    int w = -1, h = -1;
    EXPECT_EQ(QueryScreenSize(&w, &h), 0);
    EXPECT_EQ(w, 640);
    EXPECT_EQ(h, 480);
    EXPECT_EQ(GetScreenColorDepth(), 16);
    EXPECT_EQ(QueryScreenSize(nullptr, nullptr), 0);
    d.width = 800;
    d.height = 600;
    d.depthSetting = 32;
    QueryScreenSize(&w, &h);
    EXPECT_EQ(w, 800);
    EXPECT_EQ(h, 600);
    EXPECT_EQ(GetScreenColorDepth(), 32);
    d.width = d.height = d.depthSetting = 0;

    EXPECT_EQ(SetDisable3DFlag(1), 0);
    EXPECT_EQ(GetDisable3DFlag(), 1);
    EXPECT_EQ(SetDisable3DFlag(0), 0);
    EXPECT_EQ(GetDisable3DFlag(), 0);
    EXPECT_EQ(SetScreenSurfaceModeFlag(0), 0);
    EXPECT_EQ(CopyDirectDrawCaps(nullptr), -1);

    ASSERT_EQ(ApiInitFramework(), 0);
    EXPECT_EQ(HasDirectDrawObject(), 1);
    EXPECT_EQ(IsDisplayModeChanged(), 1);
    EXPECT_EQ(GetVBlankWait(), 1) << "start-up waits for the blank";
    EXPECT_EQ(SetDisable3DFlag(1), -1);
    EXPECT_EQ(GetDisable3DFlag(), 0);
    EXPECT_EQ(SetScreenSurfaceModeFlag(1), -1);
    EXPECT_EQ(GetScreenSurfaceModeFlag(), 0);
    EXPECT_EQ(GetMainDrawSurface(), d.primary);
    EXPECT_EQ(GetSysMemBackSurface(), d.back);
    ASSERT_NE(GetWorkSurface1(), nullptr);
    EXPECT_NE(GetWorkSurface1(), d.back);
    D_DDCAPS caps{};
    EXPECT_EQ(CopyDirectDrawCaps(&caps), 0);
    EXPECT_EQ(caps.dwSize, 380u);
    EXPECT_EQ(caps.dwVidMemTotal, 64u << 20) << "the driver's own caps";
    // Full screen: the front target is the primary, but not in a window.
    ASSERT_EQ(ApiSelectDrawTarget(kDrawTargetFront), 0);
    EXPECT_EQ(GetDrawTargetSurface(), d.primary);
    EXPECT_EQ(IsTargetBackSurfaceInWindowMode(), 0);
    ASSERT_EQ(ApiSelectDrawTarget(kDrawTargetBack), 0);
    EXPECT_EQ(GetDrawTargetSurface(), d.back);
    EXPECT_EQ(g_DrawTargetBinding.videoMemory, 1) << "the flipping chain lies in video memory";

    // Only a flag of exactly 1 is the GDI-surface mode; a full-screen
    // present then copies instead of flipping.
    const struct {
        int flag, mode;
        DWORD flipFlags;
    } gdi[] = {{1, 1, 0}, {2, 0, D_DDFLIP_WAIT | D_DDFLIP_NOVSYNC}, {0, 0, D_DDFLIP_WAIT | D_DDFLIP_NOVSYNC}};
    ApiSetVBlankWait(0);
    for (const auto& c : gdi) {
        EXPECT_EQ(SetGdiSurfaceMode(c.flag), 0);
        EXPECT_EQ(GetGdiSurfaceMode(), c.mode) << c.flag;
        EXPECT_EQ(GetDrawTarget(), kBackScreenTarget) << c.flag;
        frames.clear();
        ClearAndPresent(0, 0, 255);
        ASSERT_EQ(frames.size(), 1u) << c.flag;
        EXPECT_EQ(frames[0].flipFlags, c.flipFlags) << c.flag;
        EXPECT_EQ(frames[0].Raw(320, 240), 0x001Fu) << c.flag;
    }
    ASSERT_EQ(ApiEndFramework(), 0);
    EXPECT_EQ(HasDirectDrawObject(), 0);
    EXPECT_EQ(IsDisplayModeChanged(), 0);

    g_SystemState.windowMode = 1;
    ASSERT_EQ(ApiInitFramework(), 0);
    EXPECT_EQ(IsDisplayModeChanged(), 0);
    ASSERT_EQ(ApiSelectDrawTarget(kDrawTargetFront), 0);
    EXPECT_EQ(IsTargetBackSurfaceInWindowMode(), 1);
    ASSERT_EQ(ApiSelectDrawTarget(kDrawTargetBack), 0);
    EXPECT_EQ(IsTargetBackSurfaceInWindowMode(), 0);
}

// The display's format decides the screen's: its masks, its depth and the
// pixel code (0 for 5:6:5, 1 for 5:5:5, 2 for 8:8:8 at 32 bits, 3 for any
// other); an 8-bit screen gets the fixed palette, black first, white last.
TEST_F(ScreenDeviceTest, TheScreenFormatFollowsTheDisplayMode) {
    const struct {
        int depth;
        bool use555;
        DWORD red, green, blue;
        int code;
    } cases[] = {
        {16, false, 0xF800, 0x07E0, 0x001F, 0},
        {16, true, 0x7C00, 0x03E0, 0x001F, 1},
        {32, false, 0xFF0000, 0x00FF00, 0x0000FF, 2},
        {8, false, 0, 0, 0, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.depth << (c.use555 ? " 5:5:5" : ""));
        PlatformDisplayKnobsRef().use555 = c.use555;
        ASSERT_EQ(ApplyScreenMode(-1, -1, c.depth, 0, -1), 0);
        ASSERT_EQ(ApiInitFramework(), 0);
        const ScreenDeviceState& d = g_ScreenDevice;
        EXPECT_EQ(PlatformDisplayLayout().bitsPerPixel, c.depth);
        EXPECT_EQ(d.depth, c.depth);
        EXPECT_EQ(GetScreenColorDepth(), c.depth);
        EXPECT_EQ(d.pixelCode, c.code);
        EXPECT_EQ(d.pixelFormatBlock.dwRGBBitCount, static_cast<DWORD>(c.depth));
        EXPECT_EQ(d.pixelFormatBlock.dwRBitMask, c.red);
        EXPECT_EQ(d.pixelFormatBlock.dwGBitMask, c.green);
        EXPECT_EQ(d.pixelFormatBlock.dwBBitMask, c.blue);
        EXPECT_EQ(GetScreenColorFormat()->depth, c.depth);
        EXPECT_EQ(GetScreenColorFormat()->redMask, c.red);
        EXPECT_EQ(g_ScreenColorFormat.greenMask, c.green);
        if (c.depth == 8) {
            ASSERT_NE(d.palette, nullptr);
            const PALETTEENTRY& first = d.paletteEntries[0];
            const PALETTEENTRY& last = d.paletteEntries[255];
            EXPECT_EQ(first.peRed + first.peGreen + first.peBlue, 0);
            EXPECT_EQ(last.peRed + last.peGreen + last.peBlue, 3 * 255);
            // Entry 0x6D: 3:3:2 gives red 3, green 3, blue 1 of 7, 7 and 3.
            EXPECT_EQ(d.paletteEntries[0x6D].peRed, 3 * 255 / 7);
            EXPECT_EQ(d.paletteEntries[0x6D].peGreen, 3 * 255 / 7);
            EXPECT_EQ(d.paletteEntries[0x6D].peBlue, 255 / 3);
            EXPECT_EQ(g_ScreenColorInfo.palette[0x6D].peRed, 3 * 255 / 7);
            EXPECT_EQ(d.window, g_SystemState.mainWindow) << "the palette stays in its 256 entries";
            int flagged = 0;
            for (const PALETTEENTRY& e : d.paletteEntries) flagged += e.peFlags != 0;
            EXPECT_EQ(flagged, 0);
        } else {
            EXPECT_EQ(d.palette, nullptr);
        }
        ASSERT_EQ(ApiEndFramework(), 0);
        PlatformDisplayKnobsRef().use555 = false;
    }
}

// In software-only mode the screen is 16 or 32 bits: any other depth is 16,
// in the standard formats, with pixel code 1 for 16 bits and 2 for 32.
TEST_F(ScreenDeviceTest, SoftwareOnlyScreensAreSixteenOrThirtyTwoBits) {
    const struct {
        int depth, depthAfter, code;
        DWORD red, green, blue;
    } cases[] = {
        {24, 16, 1, 0xF800, 0x07E0, 0x001F},
        {16, 16, 1, 0xF800, 0x07E0, 0x001F},
        {8, 16, 1, 0xF800, 0x07E0, 0x001F},
        {32, 32, 2, 0xFF0000, 0x00FF00, 0x0000FF},
    };
    ScreenDeviceState& d = g_ScreenDevice;
    d.softwareOnly = 1;
    for (const auto& c : cases) {
        d.depth = c.depth;
        d.pixelCode = -1;
        EXPECT_EQ(SetupScreenColorFormat(), 0);
        EXPECT_EQ(d.depth, c.depthAfter) << c.depth;
        EXPECT_EQ(d.pixelCode, c.code) << c.depth;
        EXPECT_EQ(d.colorFormat.depth, c.depthAfter) << c.depth;
        EXPECT_EQ(d.colorFormat.redMask, c.red) << c.depth;
        EXPECT_EQ(d.colorFormat.greenMask, c.green) << c.depth;
        EXPECT_EQ(d.colorFormat.blueMask, c.blue) << c.depth;
        EXPECT_EQ(d.pixelFormatBlock.dwRGBBitCount, static_cast<DWORD>(c.depthAfter)) << c.depth;
        EXPECT_EQ(d.pixelFormatBlock.dwRBitMask, c.red) << c.depth;
        EXPECT_EQ(g_ScreenColorFormat.blueMask, c.blue) << c.depth;
    }
}

// The refresh rate is the display's own when it gives one of 60 or more;
// otherwise it is measured over 20 blanks instead of 4. The frame time is
// the first repeated time between blanks, and the least present interval
// (frame time x 2 - 4) / 3.
TEST_F(ScreenDeviceTest, TheRefreshRateIsMeasuredWhenTheDisplayGivesNone) {
    const struct {
        int modeRefresh, reported, refresh, samples, frameTime, interval;
    } cases[] = {
        {60, -1, 60, 4, 16, 9},
        {60, 0, 60, 20, 16, 9},
        {70, 0, 70, 20, 14, 8},
        {50, 59, 50, 20, 20, 12},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.modeRefresh << " Hz, reported " << c.reported);
        PlatformDisplayKnobsRef().modeRefresh = c.modeRefresh;
        PlatformDisplayKnobsRef().reportedRefresh = c.reported;
        ASSERT_EQ(ApiInitFramework(), 0);
        const ScreenDeviceState& d = g_ScreenDevice;
        EXPECT_EQ(d.displayRefresh, c.refresh);
        // The virtual clock's milliseconds: 16 or 17 at 60 Hz, 14 or 15 at 70.
        EXPECT_TRUE(d.frameTime == c.frameTime || d.frameTime == c.frameTime + 1) << d.frameTime;
        EXPECT_EQ(d.minPresentInterval, (d.frameTime * 2 - 4) / 3);
        EXPECT_TRUE(d.minPresentInterval == c.interval || d.minPresentInterval == c.interval + 1);
        const int last = FindLine("スキャンラインの数:");
        ASSERT_GE(last, 0);
        // The deepest scan line seen over 600 reads, counted from 1: up to
        // the display's 525.
        const std::string scan = LogLines()[last];
        const int lines = std::atoi(scan.c_str() + scan.find(':') + 1);
        EXPECT_GT(lines, 1) << scan;
        EXPECT_LE(lines, 525) << scan;
        char sample[16];
        std::snprintf(sample, sizeof sample, "Tri%02d:", c.samples - 1);
        EXPECT_GT(FindLine(sample, last), last);
        std::snprintf(sample, sizeof sample, "Tri%02d:", c.samples);
        EXPECT_EQ(FindLine(sample, last), -1);
        char line[64];
        std::snprintf(line, sizeof line, "１フレーム当たりの時間は %d msecです", d.frameTime);
        EXPECT_GT(FindLine(line, last), last);
        ASSERT_EQ(ApiEndFramework(), 0);
        std::filesystem::remove(dir_.path() / "Log.txt");
    }
    PlatformDisplayKnobsRef() = PlatformDisplayKnobs{};
}

// A mode the display refuses falls back: a later change to the refresh rate
// 0, then to the mode before it, then to 640 x 480 x 16; the first start to
// 640 x 480 x 16 at once.
TEST_F(ScreenDeviceTest, RefusedModesFallBackDownTheChain) {
    const struct {
        const char* name;
        int startDepth;
        std::uint64_t refused;  // depths the display refuses after the start
        int depth, refresh;     // asked for
        int depthAfter, refreshAfter;
    } cases[] = {
        {"the same mode at its own refresh", 16, 0, 16, 60, 16, 60},
        {"another refresh", 16, 0, 16, 75, 16, 0},
        {"the mode before", 16, 1ull << 32, 32, 0, 16, 0},
        {"the mode before, at 32 bits", 32, 1ull << 16, 16, -1, 32, 0},
        {"640 x 480 x 16", 32, (1ull << 8) | (1ull << 32), 8, -1, 16, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(ApplyScreenMode(-1, -1, c.startDepth, 0, 0), 0);
        ASSERT_EQ(ApiInitFramework(), 0);
        ASSERT_EQ(g_ScreenDevice.depth, c.startDepth);
        PlatformDisplayKnobsRef().refusedDepthBits = c.refused;
        EXPECT_EQ(ApplyScreenMode(-1, -1, c.depth, 1, c.refresh), 0);
        const ScreenDeviceState& d = g_ScreenDevice;
        EXPECT_EQ(d.depth, c.depthAfter);
        EXPECT_EQ(d.refreshRate, c.refreshAfter);
        EXPECT_EQ(d.width, 640);
        EXPECT_EQ(d.height, 480);
        EXPECT_EQ(g_SystemState.screenWidth, 640);
        EXPECT_EQ(PlatformDisplayLayout().bitsPerPixel, c.depthAfter);
        EXPECT_EQ(static_cast<int>(d.pixelFormatBlock.dwRGBBitCount), c.depthAfter);
        EXPECT_EQ(d.displayModeChanged, 1);
        EXPECT_EQ(GetPresentCount(), 0u);
        ApiSetVBlankWait(0);
        frames.clear();
        ClearAndPresent(255, 255, 255);
        ASSERT_EQ(frames.size(), 1u);
        EXPECT_EQ(frames[0].Rgb(10, 10) & 0xF8F8F8u, 0xF8F8F8u);
        ASSERT_EQ(ApiEndFramework(), 0);
        PlatformDisplayKnobsRef().refusedDepthBits = 0;
    }

    // Asked for directly, a refused mode is -1 with the refresh rate dropped.
    ASSERT_EQ(ApiInitFramework(), 0);
    PlatformDisplayKnobsRef().refuseAllModes = true;
    g_ScreenDevice.refreshRate = 60;
    int depth = 0, changed = 0;
    DWORD flags = 0;
    EXPECT_EQ(SetDisplayModeForScreen(g_ScreenDevice.directDraw, 1024, 768, 640, 480, 32, &depth, &flags, 0, &changed,
                                      g_ScreenDevice.window),
              -1);
    EXPECT_EQ(changed, 0);
    EXPECT_EQ(g_ScreenDevice.refreshRate, 0);
    EXPECT_EQ(flags, 17u) << "exclusive and full screen";
    PlatformDisplayKnobsRef().refuseAllModes = false;
    ASSERT_EQ(ApiEndFramework(), 0);

    // The first start asked for a depth the display refuses.
    ASSERT_EQ(ApplyScreenMode(-1, -1, 32, 0, -1), 0);
    PlatformDisplayKnobsRef().refusedDepthBits = 1ull << 32;
    ASSERT_EQ(ApiInitFramework(), 0);
    EXPECT_EQ(g_ScreenDevice.depth, 16);
    EXPECT_EQ(g_ScreenDevice.pixelCode, 0);
    EXPECT_EQ(PlatformDisplayLayout().bitsPerPixel, 16);
    ASSERT_EQ(ApiEndFramework(), 0);
    PlatformDisplayKnobsRef().refusedDepthBits = 0;
}

// A refresh rate the display refuses is dropped (0: the display's own), in
// DirectDraw's mode change and in the display settings' alike.
TEST_F(ScreenDeviceTest, ARefusedRefreshRateIsDropped) {
    const struct {
        bool software;
        int refresh, refreshAfter;
    } cases[] = {{false, 60, 60}, {false, 75, 0}, {true, 60, 60}, {true, 75, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << (c.software ? "software " : "DirectDraw ") << c.refresh);
        PlatformDisplayKnobsRef().videoMemoryFails = c.software;
        ASSERT_EQ(ApplyScreenMode(-1, -1, -1, 0, c.refresh), 0);
        ASSERT_EQ(ApiInitFramework(), 0);
        EXPECT_EQ(g_ScreenDevice.softwareOnly, c.software ? 1 : 0);
        EXPECT_EQ(g_ScreenDevice.refreshRate, c.refreshAfter);
        EXPECT_TRUE(PlatformDisplayModeChanged());
        // And in a later change, asked for again.
        EXPECT_EQ(ApplyScreenMode(-1, -1, -1, 1, c.refresh), 0);
        EXPECT_EQ(g_ScreenDevice.refreshRate, c.refreshAfter);
        EXPECT_EQ(PlatformDisplayRefresh(), 60);
        ASSERT_EQ(ApiEndFramework(), 0);
        g_ScreenDevice = ScreenDeviceState{};
    }
}

// A software screen in a window one and a half times its size is stretched
// over the whole client area.
TEST_F(ScreenDeviceTest, ASoftwareScreenIsStretchedOverALargerWindow) {
  for (bool software : {true, false}) {
    SCOPED_TRACE(software ? "software" : "DirectDraw");
    PlatformDisplayKnobsRef().videoMemoryFails = software;
    g_SystemState.windowMode = 1;
    g_SystemState.windowScale = 1.5;
    ASSERT_EQ(ApiInitFramework(), 0);
    ASSERT_EQ(g_ScreenDevice.softwareOnly, software ? 1 : 0);
    ApiSetVBlankWait(0);
    frames.clear();
    ClearAndPresent(0, 255, 0);
    ASSERT_FALSE(frames.empty());
    const PlatformFrame& f = frames.back();
    RECT client{};
    GetClientScreenRect(&client);
    ASSERT_EQ(client.right - client.left, 960);
    ASSERT_EQ(f.width, 960) << "the client area";
    ASSERT_EQ(f.height, 720);
    const struct {
        int x, y;
    } points[] = {{0, 0}, {959, 0}, {0, 719}, {959, 719}, {480, 360}};
    for (const auto& p : points)
        EXPECT_EQ(f.Rgb(p.x, p.y), 0x00FF00u) << p.x << "," << p.y;
    ASSERT_EQ(ApiEndFramework(), 0);
    g_ScreenDevice = ScreenDeviceState{};
  }
}

TEST_F(ScreenDeviceTest, AModeChangeWithNoModeLeftIsFatal) {
    EXPECT_EXIT(
        {
            ApiInitFramework();
            PlatformDisplayKnobsRef().refuseAllModes = true;
            ApplyScreenMode(-1, -1, 32, 1, -1);
        },
        ::testing::ExitedWithCode(255), "");
}

// A software screen shows drawing on the front screen by reading the window
// back into the front image once after each present, and pushing what was
// drawn there to the window.
TEST_F(ScreenDeviceTest, TheSoftwareFrontImageIsReadBackFromTheWindowOncePerPresent) {
    PlatformDisplayKnobsRef().videoMemoryFails = true;
    g_SystemState.backgroundBlue = 255;
    ASSERT_EQ(ApiInitFramework(), 0);
    ScreenDeviceState& d = g_ScreenDevice;
    ASSERT_EQ(d.softwareOnly, 1);
    ASSERT_EQ(d.frontImage.magic, kMemImgMagic);
    EXPECT_EQ(g_DrawTargetBinding.videoMemory, 0);
    auto frontPixel = [&](int x, int y) {
        return *reinterpret_cast<const std::uint16_t*>(d.frontImage.pixels + y * d.frontImage.pitch + x * 2);
    };
    auto setFront = [&](int x, int y, std::uint16_t v) {
        *reinterpret_cast<std::uint16_t*>(d.frontImage.pixels + y * d.frontImage.pitch + x * 2) = v;
    };
    // Both screen images start with the background colour when the screen
    // is made again.
    setFront(639, 479, 0x1234);
    ASSERT_EQ(ApplyScreenMode(-1, -1, -1, 1, -1), 0);
    EXPECT_EQ(frontPixel(639, 479), 0x001Fu);
    EXPECT_EQ(*reinterpret_cast<const std::uint16_t*>(d.backImage.pixels + 479 * d.backImage.pitch + 639 * 2), 0x001Fu);
    ClearAndPresent(255, 0, 0);
    EXPECT_EQ(d.presentedSinceLastPull, 1);
    setFront(5, 7, 0x1234);
    EXPECT_EQ(PullWindowToMemImgScreen(), 0);
    EXPECT_EQ(d.presentedSinceLastPull, 0);
    EXPECT_EQ(frontPixel(5, 7), 0xF800u);
    EXPECT_EQ(frontPixel(639, 479), 0xF800u);
    // Once only: a second pull without a present changes nothing.
    setFront(5, 7, 0x1234);
    EXPECT_EQ(PullWindowToMemImgScreen(), 0);
    EXPECT_EQ(frontPixel(5, 7), 0x1234u);

    // Pushed to the window, clipped to the screen; an empty rectangle
    // pushes nothing.
    for (int x = 600; x < 640; ++x) setFront(x, 0, 0x07E0);
    EXPECT_EQ(PushMemImgScreenToWindow(RECT{600, -5, 700, 1}), 0);
    EXPECT_EQ(PushMemImgScreenToWindow(RECT{10, 10, 10, 20}), 0);
    for (int x = 600; x < 640; ++x) setFront(x, 0, 0);
    d.presentedSinceLastPull = 1;
    EXPECT_EQ(PullWindowToMemImgScreen(), 0);
    EXPECT_EQ(frontPixel(600, 0), 0x07E0u);
    EXPECT_EQ(frontPixel(639, 0), 0x07E0u);
    EXPECT_EQ(frontPixel(599, 0), 0xF800u);
    EXPECT_EQ(frontPixel(600, 1), 0xF800u);

    ASSERT_EQ(ApiEndFramework(), 0);
    // The screen images are released and zeroed.
    EXPECT_EQ(d.frontImage.magic, 0u);
    EXPECT_EQ(d.frontImage.pixels, nullptr);
    EXPECT_EQ(d.backImage.pixels, nullptr);
    EXPECT_EQ(d.zImage.pixels, nullptr);
    EXPECT_EQ(PushMemImgScreenToWindow(RECT{0, 0, 1, 1}), -1);
}

// Screen-surface mode keeps the front screen in a screen-sized surface of
// its own: selecting the front screen pulls the window into it, a 17 ms
// timer pushes it to the window while it is the target, and leaving it
// pushes it once more.
TEST_F(ScreenDeviceTest, ScreenSurfaceModeKeepsTheFrontScreenInASurfaceOfItsOwn) {
    EXPECT_EQ(SetScreenSurfaceModeFlag(1), 0);
    EXPECT_EQ(GetScreenSurfaceModeFlag(), 1);
    g_SystemState.windowMode = 1;
    ASSERT_EQ(ApiInitFramework(), 0);
    const ScreenDeviceState& d = g_ScreenDevice;
    ASSERT_NE(d.tempPrimary, nullptr);
    EXPECT_EQ(GetMainDrawSurface(), d.tempPrimary);
    RECT onPrimary{};
    GetScreenRectOnPrimary(&onPrimary);
    EXPECT_EQ(onPrimary.left, 0) << "the surface's own rectangle, not the window's";
    EXPECT_EQ(onPrimary.right, 640);
    EXPECT_EQ(onPrimary.bottom, 480);

    ApiSetVBlankWait(0);
    ClearAndPresent(255, 0, 0);
    ASSERT_EQ(ApiSelectDrawTarget(kDrawTargetFront), 0);
    EXPECT_EQ(GetDrawTargetSurface(), d.tempPrimary);
    // The window's red was pulled in: pushed back, it shows red again.
    frames.clear();
    Sleep(20);
    ApiProcessMessage();
    ASSERT_FALSE(frames.empty()) << "the refresh timer pushed the front screen";
    EXPECT_EQ(frames.back().Rgb(320, 240), 0xFF0000u);

    // Drawn on while it is the target, each timer tick shows it.
    g_SystemState.backgroundGreen = 255;
    g_SystemState.backgroundRed = 0;
    ASSERT_EQ(ClearDrawTargetPixels(), 0);
    for (int tick = 0; tick < 2; ++tick) {
        frames.clear();
        Sleep(20);
        ApiProcessMessage();
        ASSERT_FALSE(frames.empty()) << tick;
        EXPECT_EQ(frames.back().Rgb(0, 0), 0x00FF00u) << tick;
        EXPECT_EQ(frames.back().Rgb(639, 479), 0x00FF00u) << tick;
    }
    // Leaving it pushes it once more and stops the timer.
    g_SystemState.backgroundBlue = 255;
    ASSERT_EQ(ClearDrawTargetPixels(), 0);
    frames.clear();
    ASSERT_EQ(ApiSelectDrawTarget(kDrawTargetBack), 0);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].Rgb(320, 240), 0x00FFFFu);
    frames.clear();
    Sleep(40);
    ApiProcessMessage();
    EXPECT_TRUE(frames.empty()) << "no timer while the back screen is the target";
}

// The display's format is read again when it changes under a running
// screen: the depth and the pixel code follow it.
TEST_F(ScreenDeviceTest, TheScreenFormatIsReadAgainFromTheDisplay) {
    ASSERT_EQ(ApiInitFramework(), 0);
    ASSERT_EQ(g_ScreenDevice.depth, 16);
    ASSERT_TRUE(PlatformDisplaySetMode(640, 480, 32, 0));
    EXPECT_EQ(SetupScreenColorFormat(), 0);
    EXPECT_EQ(g_ScreenDevice.depth, 32);
    EXPECT_EQ(g_ScreenDevice.pixelCode, 2);
    EXPECT_EQ(g_ScreenColorFormat.redMask, 0xFF0000u);
    ASSERT_TRUE(PlatformDisplaySetMode(640, 480, 16, 0));
    EXPECT_EQ(SetupScreenColorFormat(), 0);
    EXPECT_EQ(g_ScreenDevice.depth, 16);
    EXPECT_EQ(g_ScreenDevice.pixelCode, 0);
}

// Going from full screen to a window gives the display its own mode back,
// through DirectDraw or the display settings.
TEST_F(ScreenDeviceTest, LeavingFullScreenGivesTheDisplayBack) {
    for (bool software : {false, true}) {
        SCOPED_TRACE(software ? "software" : "DirectDraw");
        PlatformDisplayKnobsRef().videoMemoryFails = software;
        ASSERT_EQ(ApiInitFramework(), 0);
        ScreenDeviceState& d = g_ScreenDevice;
        ASSERT_TRUE(PlatformDisplayModeChanged());
        int depth = 0, changed = 1;
        DWORD flags = 0;
        EXPECT_EQ(SetDisplayModeForScreen(d.directDraw, 1024, 768, 640, 480, 16, &depth, &flags, 1, &changed, d.window),
                  0);
        EXPECT_EQ(changed, 0);
        EXPECT_FALSE(PlatformDisplayModeChanged());
        EXPECT_EQ(depth, 32) << "the desktop's";
        EXPECT_NE(FindLine("フルスクリーンモードから抜けます"), -1);
        d.displayModeChanged = 0;
        ASSERT_EQ(ApiEndFramework(), 0);
        g_ScreenDevice = ScreenDeviceState{};
        std::filesystem::remove(dir_.path() / "Log.txt");
    }
}

// The on-screen log is drawn over the frame with plain settings, and the
// caller's settings are put back.
TEST_F(ScreenDeviceTest, TheOnScreenLogLeavesTheDrawSettingsAsTheyWere) {
    ASSERT_EQ(ApiInitFramework(), 0);
    ApiSetVBlankWait(0);
    ASSERT_EQ(ApiSelectDrawTarget(kDrawTargetBack), 0);
    g_ScreenLog.lineCount = 1;
    std::snprintf(g_ScreenLog.text[0], sizeof g_ScreenLog.text[0], "%s", "log");
    for (bool toWindow : {false, true}) {
        ASSERT_EQ(ApiSetBlendModeParam(1, 100), 0);
        ASSERT_EQ(ApiSetBrightColor(10, 20, 30), 0);
        SetDrawViewport(5, 6, 70, 80);
        const DrawState before = g_DrawState;
        EXPECT_EQ(toWindow ? PresentToWindow() : ApiPresentScreen(), 0);
        EXPECT_EQ(g_DrawState.blendMode, 1);
        EXPECT_EQ(g_DrawState.blendParam, 100);
        EXPECT_EQ(g_DrawState.brightColor, before.brightColor);
        EXPECT_EQ(g_DrawState.drawArea.left, 5);
        EXPECT_EQ(g_DrawState.drawArea.bottom, 80);
    }
    ClearScreenLog();
}

}  // namespace
