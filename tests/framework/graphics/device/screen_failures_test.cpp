// The screen device when the display refuses it: the DirectDraw object, each
// output surface, the attached back buffer and depth buffer; what is given
// back afterwards, and the results callers see.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "graphics/device/screen_device.h"
#include "graphics/device/screen_device_internal.h"
#include "graphics/device/surface2d.h"
#include "graphics/draw/draw_state.h"
#include "platform/com.h"
#include "screen_device_fixture.h"

namespace {

// The DirectDraw object refused outright or at its initialisation: -1, the
// object given back, nothing handed out. With the shift key held the
// driver's own name and memory are read; otherwise they are taken as 16 MB.
TEST_F(ScreenDeviceTest, ARefusedDirectDrawObjectIsGivenBack) {
    const struct {
        bool refuse, refuseInitialize, shift;
        int result;
        const char* line;
        const char* driver;
        DWORD memory;
    } cases[] = {
        {true, false, false, -1, "オブジェクトの取得に失敗しました", "", 0},
        {false, true, false, -1, "DirectDrawオブジェクトの初期化に失敗しました", "", 0},
        {false, false, false, 0, "初期化に成功しました", "", 0x1000000},
        {false, false, true, 0, "ビデオカードドライバ:display バージョン:0.0.0.0", "display", 64u << 20},
    };
    ASSERT_EQ(ApiInitFramework(), 0);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        PlatformDisplayKnobsRef().refuseDirectDraw = c.refuse;
        PlatformDisplayKnobsRef().refuseDirectDrawInitialize = c.refuseInitialize;
        PlatformDisplayKnobsRef().shiftHeld = c.shift;
        std::snprintf(g_SystemState.videoDriver, sizeof g_SystemState.videoDriver, "%s", "before");
        g_SystemState.videoMemoryTotal = 0;
        const int objects = PlatformLiveComObjectCount();
        const int from = static_cast<int>(LogLines().size());
        D_IDirectDraw7* object = nullptr;
        EXPECT_EQ(ObtainDirectDrawObject(&object), c.result);
        EXPECT_EQ(object != nullptr, c.result == 0);
        EXPECT_EQ(PlatformLiveComObjectCount(), objects + (c.result == 0 ? 1 : 0));
        if (object != nullptr) object->Release();
        EXPECT_GE(FindLine(c.line, from), from);
        EXPECT_EQ(std::string(g_SystemState.videoDriver), c.result == 0 ? c.driver : "before");
        EXPECT_EQ(g_SystemState.videoMemoryTotal, c.memory);
    }
    PlatformDisplayKnobsRef() = PlatformDisplayKnobs{};
    ASSERT_EQ(ApiEndFramework(), 0);
    EXPECT_EQ(NewClipperForWindow(&g_ScreenDevice.clipper, nullptr), -1) << "no DirectDraw object";
    EXPECT_EQ(g_ScreenDevice.clipper, nullptr);
}

// Any output surface the display refuses at the first start (or a back
// buffer or depth buffer it will not attach) ends DirectDraw's start; the
// screen is then made in software, and everything made before the refusal
// is given back.
TEST_F(ScreenDeviceTest, ARefusedOutputSurfaceAtStartUpFallsBackToSoftware) {
    const struct {
        bool window, screenSurface;
        int madeBefore;  // surfaces made before the refused one; -1: attaching is refused
        const char* line;
    } cases[] = {
        {false, false, 0, "プライマリサーフェスの作成に失敗しました"},
        {false, false, 1, "作業用サーフェスの作成に失敗しました"},
        {false, false, 2, "作業用サーフェス２の作成に失敗しました"},
        {false, false, 3, "Ｚバッファの作成に失敗しました"},
        {false, false, -1, "バックバッファのポインタ取得に失敗しました"},
        {false, true, 1, "テンポラリプライマリサーフェスの作成に失敗しました"},
        {true, false, 0, "プライマリサーフェスの作成に失敗しました"},
        {true, false, 1, "バックサーフェスの作成に失敗しました"},
        {true, false, -1, "Ｚバッファの作成に失敗しました"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        g_SystemState.windowMode = c.window ? 1 : 0;
        ASSERT_EQ(SetScreenSurfaceModeFlag(c.screenSurface ? 1 : 0), 0);
        PlatformDisplayKnobsRef().surfacesBeforeRefusal = c.madeBefore;
        PlatformDisplayKnobsRef().refuseAttachments = c.madeBefore < 0;
        ASSERT_EQ(ApiInitFramework(), 0);
        PlatformDisplayKnobsRef().refuseAttachments = false;
        const int refused = FindLine(c.line);
        ASSERT_GE(refused, 0);
        const int failed = FindLine("DirectDrawSurface の初期化に失敗しました", refused);
        EXPECT_EQ(failed, refused + 1) << "the surfaces' failure is the mode change's";
        EXPECT_GT(FindLine("ソフトウエアレンダリングモードに変更します", failed), failed);
        EXPECT_EQ(g_ScreenDevice.softwareOnly, 1);
        EXPECT_EQ(PlatformLiveSurfaceCount(), 0) << "a software screen holds no surface";
        ClearAndPresent(0, 255, 0);
        ASSERT_FALSE(frames.empty());
        EXPECT_EQ(frames.back().Rgb(320, 240) & 0xF8F8F8u, 0x00F800u);
        ASSERT_EQ(ApiEndFramework(), 0);
        EXPECT_EQ(CountOpen(), openBefore_);
        g_ScreenDevice = ScreenDeviceState{};
        std::filesystem::remove(dir_.path() / "Log.txt");
    }
}

// A later mode change whose surfaces are refused is -1 with every main
// surface given back and none left pointed at; the next change makes the
// screen whole again. (The change first makes the default font again, with
// its one surface.)
TEST_F(ScreenDeviceTest, ARefusedSurfaceInALaterModeChangeIsMinusOneWithNothingLeft) {
    const struct {
        bool window;
        int madeBefore;
        const char* line;
    } cases[] = {
        {false, 1, "プライマリサーフェスの作成に失敗しました"},
        {false, 2, "作業用サーフェスの作成に失敗しました"},
        {false, 3, "作業用サーフェス２の作成に失敗しました"},
        {false, 4, "Ｚバッファの作成に失敗しました"},
        {true, 2, "バックサーフェスの作成に失敗しました"},
        {true, 4, "作業用サーフェス２の作成に失敗しました"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        g_SystemState.windowMode = c.window ? 1 : 0;
        ASSERT_EQ(ApiInitFramework(), 0);
        ApiSetVBlankWait(0);
        ASSERT_EQ(ApiSelectDrawTarget(kDrawTargetBack), 0);
        const int surfaces = PlatformLiveSurfaceCount();
        const int from = static_cast<int>(LogLines().size());
        PlatformDisplayKnobsRef().surfacesBeforeRefusal = c.madeBefore;
        EXPECT_EQ(ApplyScreenMode(-1, -1, -1, 1, -1), -1);
        EXPECT_GE(FindLine(c.line, from), from);
        const ScreenDeviceState& d = g_ScreenDevice;
        for (D_IDirectDrawSurface7* s : {d.primary, d.back, d.attachedBack, d.tempPrimary, d.work1, d.work2,
                                         d.zBuffer, d.targetSurface})
            EXPECT_EQ(s, nullptr);
        EXPECT_LT(PlatformLiveSurfaceCount(), surfaces);
        // Nothing is drawn into, or shown from, surfaces that are gone.
        EXPECT_EQ(g_DrawTargetBinding.surface, nullptr);
        EXPECT_EQ(g_DrawTargetBinding.zSurface, nullptr);
        EXPECT_EQ(ClearDrawTargetPixels(), -1);
        EXPECT_EQ(PresentScreen(), -1);
        PlatformDisplayKnobsRef().surfacesBeforeRefusal = -1;
        EXPECT_EQ(ApplyScreenMode(-1, -1, -1, 1, -1), 0);
        EXPECT_EQ(d.softwareOnly, 0);
        ClearAndPresent(0, 0, 255);
        ASSERT_FALSE(frames.empty());
        EXPECT_EQ(frames.back().Rgb(10, 10) & 0xF8F8F8u, 0x0000F8u);
        ASSERT_EQ(ApiEndFramework(), 0);
        EXPECT_EQ(CountOpen(), openBefore_);
        g_ScreenDevice = ScreenDeviceState{};
    }
}

// What the device's calls give back where nothing is to be done, or where
// they cannot be done.
TEST_F(ScreenDeviceTest, ResultsOfCallsWithNothingToDoOrNoDevice) {
    ScreenDeviceState& d = g_ScreenDevice;
    const struct {
        const char* name;
        int (*call)();
        int result;
    } before[] = {
        {"shut-down", ShutDownDirectDraw, 0},
        {"release", ReleaseDirectDraw, 0},
        {"clipper released", ReleaseWindowClipper, 0},
        {"main surfaces restored", RestoreLostMainSurfaces, -1},
        {"present", PresentScreen, -1},
        {"present to the window", PresentToWindow, -1},
        {"clear", ClearDrawTargetPixels, -1},
        {"wait", [] { return WaitVerticalBlankLoop(1); }, -1},
        {"output surfaces", CreateOutputSurfaces, -1},
        {"palette", CreateScreenPalette, 0},
        {"palette again", RecreateScreenPalette, 0},
        {"window mode applied", ApplyWindowModeChangeToScreen, 0},
    };
    for (const auto& c : before) EXPECT_EQ(c.call(), c.result) << c.name << ", before the start";
    EXPECT_EQ(d.directDraw, nullptr);

    ASSERT_EQ(ApiInitFramework(), 0);
    const struct {
        const char* name;
        int (*call)();
        int result;
    } running[] = {
        {"output surfaces made twice", CreateOutputSurfaces, -1},
        {"palette at 16 bits", CreateScreenPalette, 0},
        {"palette again at 16 bits", RecreateScreenPalette, 0},
        {"clipper made again", CreateDirectDrawClipper, 0},
        {"main surfaces restored", RestoreLostMainSurfaces, 0},
        {"window mode applied", ApplyWindowModeChangeToScreen, 0},
    };
    for (const auto& c : running) EXPECT_EQ(c.call(), c.result) << c.name;
    EXPECT_EQ(d.palette, nullptr);
    EXPECT_NE(d.clipper, nullptr);
    EXPECT_EQ(ReleaseWindowClipper(), 0);
    EXPECT_EQ(d.clipper, nullptr);
    EXPECT_EQ(CreateDirectDrawClipper(), 0);
    // Released, DirectDraw gives the display its mode back; made again, it
    // sets the screen's mode again.
    EXPECT_EQ(ReleaseDirectDraw(), 0);
    EXPECT_FALSE(PlatformDisplayModeChanged());
    EXPECT_EQ(d.displayModeChanged, 0);
    EXPECT_EQ(d.clipper, nullptr);
    EXPECT_EQ(RebuildDirectDraw(), 0);
    EXPECT_TRUE(PlatformDisplayModeChanged());
    EXPECT_EQ(d.displayModeChanged, 1);
    EXPECT_NE(d.clipper, nullptr);
    ASSERT_EQ(ApiEndFramework(), 0);
    EXPECT_EQ(d.tablesBuilt, 0) << "the next start is a first one again";
    EXPECT_EQ(d.directDraw, nullptr);
}

}  // namespace
