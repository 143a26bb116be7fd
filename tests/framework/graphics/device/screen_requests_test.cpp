// What the screen device asks of the display and what comes of it: the
// overlay format chosen, the flip to the GDI surface, the palette on every
// surface of an 8-bit screen, a frame copied rather than flipped, a size the
// display has no mode for, and clearing a graphic that is the draw target.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "graphics/device/screen_device.h"
#include "graphics/device/screen_device_internal.h"
#include "graphics/device/surface2d.h"
#include "graphics/device/surface_data.h"
#include "graphics/draw/draw_state.h"
#include "graphics/draw/graph_load.h"
#include "graphics/draw/graph_record.h"
#include "screen_device_fixture.h"

namespace {

// The first overlay the driver makes in video memory, tried in the order
// UYVY, YUY2, 16-bit 5:5:5, 16-bit 5:6:5, unless the driver stretches
// overlays from 1000 to 2000 (per mille) anyway. It is offered only for a
// screen of 640 x 400 or more.
TEST_F(ScreenDeviceTest, TheFirstOverlayTheDriverMakesInVideoMemoryIsChosen) {
    constexpr DWORD kUyvy = 0x59565955, kYuy2 = 0x32595559;
    const struct {
        const char* name;
        DWORD fourCC;
        PlatformPixelLayout layout;
        bool systemMemory;
        DWORD minStretch, maxStretch;
        int index;
        DWORD flags, red;
    } cases[] = {
        {"none", 0, {}, false, 0, 0, -1, 0, 0},
        {"UYVY", kUyvy, {}, false, 0, 0, 0, 4, 0},
        {"YUY2", kYuy2, {}, false, 0, 0, 1, 4, 0},
        {"5:5:5", 0, kLayout555, false, 0, 0, 2, 0x40, 0x7C00},
        {"5:6:5", 0, kLayout565, false, 0, 0, 3, 0x40, 0xF800},
        {"YUY2 in system memory", kYuy2, {}, true, 0, 0, -1, 0, 0},
        {"stretched from 1000 to 2000", kYuy2, {}, false, 1000, 2000, -1, 0, 0},
        {"stretched from 999", kYuy2, {}, false, 999, 2000, 1, 4, 0},
        {"stretched to 1999", kYuy2, {}, false, 1000, 1999, 1, 4, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PlatformDisplayKnobs& knobs = PlatformDisplayKnobsRef();
        knobs.overlayFourCC = c.fourCC;
        knobs.overlayLayout = c.layout;
        knobs.overlaysInSystemMemory = c.systemMemory;
        knobs.minOverlayStretch = c.minStretch;
        knobs.maxOverlayStretch = c.maxStretch;
        ASSERT_EQ(ApiInitFramework(), 0);
        const ScreenDeviceState& d = g_ScreenDevice;
        EXPECT_EQ(d.overlayFormatIndex, c.index);
        EXPECT_EQ(d.driverCaps.dwMinOverlayStretch, c.minStretch);
        const D_DDPIXELFORMAT* format = GetOverlayPixelFormat();
        if (c.index < 0) {
            EXPECT_EQ(format, nullptr);
            EXPECT_GE(FindLine("オーバーレイサーフェスは使用しません"), 0);
        } else {
            ASSERT_NE(format, nullptr);
            EXPECT_EQ(format->dwSize, 32u);
            EXPECT_EQ(format->dwFlags, c.flags);
            EXPECT_EQ(format->dwFourCC, c.fourCC);
            EXPECT_EQ(format->dwRBitMask, c.red);
            EXPECT_EQ(format->dwRGBBitCount, c.red != 0 ? 16u : 0u);
            EXPECT_EQ(format->dwBBitMask, c.red != 0 ? 0x1Fu : 0u);
            EXPECT_GE(FindLine("オーバーレイサーフェスを使用します"), 0);
            EXPECT_EQ(FindLine("オーバーレイサーフェスは使用しません"), -1);
            // Too small a screen takes none.
            const struct {
                int width, height;
                bool offered;
            } sizes[] = {{640, 480, true}, {639, 480, false}, {640, 399, false}, {640, 400, true}};
            for (const auto& s : sizes) {
                g_ScreenDevice.width = s.width;
                g_ScreenDevice.height = s.height;
                EXPECT_EQ(GetOverlayPixelFormat() != nullptr, s.offered) << s.width << " x " << s.height;
            }
            g_ScreenDevice.width = 640;
            g_ScreenDevice.height = 480;
        }
        ASSERT_EQ(ApiEndFramework(), 0);
        EXPECT_EQ(CountOpen(), openBefore_) << "the trial overlays are given back";
        knobs = PlatformDisplayKnobs{};
        g_ScreenDevice = ScreenDeviceState{};
        std::filesystem::remove(dir_.path() / "Log.txt");
    }
}

// The GDI-surface mode, when it comes on, flips the surface GDI draws on to
// the front if a flip left it behind; otherwise, and when it goes off,
// nothing is shown. The draw target and draw area are kept.
TEST_F(ScreenDeviceTest, TheGdiSurfaceModeFlipsTheGdiSurfaceToTheFront) {
    ASSERT_EQ(ApiInitFramework(), 0);
    ApiSetVBlankWait(0);
    ASSERT_EQ(ApiSelectDrawTarget(kDrawTargetBack), 0);
    // Start-up filled, flipped and filled the chain: the GDI surface is
    // behind, holding the background.
    const struct {
        const char* step;
        int flag;
        int flipsFirst;
        int framesShown;
    } steps[] = {
        {"on after the start's flip", 1, 0, 1},
        {"on again", 1, 0, 0},
        {"off", 0, 0, 0},
        {"2 after a flip", 2, 1, 0},
        {"on after two flips", 1, 1, 0},
        {"on after three flips", 1, 1, 1},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.step);
        for (int flip = 0; flip < s.flipsFirst; ++flip) ClearAndPresent(0, 0, 255);
        SetDrawViewport(5, 6, 70, 80);
        frames.clear();
        EXPECT_EQ(SetGdiSurfaceMode(s.flag), 0);
        ASSERT_EQ(static_cast<int>(frames.size()), s.framesShown);
        if (s.framesShown > 0 && &s == steps) EXPECT_EQ(frames[0].Raw(320, 240), 0u) << "the background";
        EXPECT_EQ(GetDrawTarget(), kBackScreenTarget);
        EXPECT_EQ(g_DrawState.drawArea.left, 5);
        EXPECT_EQ(g_DrawState.drawArea.bottom, 80);
        if (s.step[0] == 'o' && s.step[1] == 'n') {
            // With the mode on a present copies, showing the back buffer.
            frames.clear();
            ClearAndPresent(0, 255, 0);
            ASSERT_EQ(frames.size(), 1u);
            EXPECT_EQ(frames[0].flipFlags, 0u);
            EXPECT_EQ(frames[0].Raw(320, 240), 0x07E0u);
            ASSERT_EQ(SetGdiSurfaceMode(0), 0);
        }
    }
}

// An 8-bit screen hands its palette to every surface shown: the primary, and
// the back buffer, attached in full screen or of its own in a window.
TEST_F(ScreenDeviceTest, AnEightBitScreenGivesItsPaletteToThePrimaryAndTheBackBuffer) {
    for (bool window : {false, true}) {
        SCOPED_TRACE(window ? "window" : "full screen");
        g_SystemState.windowMode = window ? 1 : 0;
        if (window) PlatformSetHeadlessDesktop(1024, 768, 8);
        ASSERT_EQ(ApplyScreenMode(-1, -1, 8, 0, -1), 0);
        ASSERT_EQ(ApiInitFramework(), 0);
        const ScreenDeviceState& d = g_ScreenDevice;
        ASSERT_EQ(d.depth, 8);
        ASSERT_NE(d.palette, nullptr);
        for (D_IDirectDrawSurface7* s : {d.primary, d.back}) {
            D_IDirectDrawPalette* palette = nullptr;
            ASSERT_NE(s, nullptr);
            EXPECT_EQ(s->GetPalette(&palette), D_DD_OK);
            EXPECT_EQ(palette, d.palette);
            if (palette != nullptr) palette->Release();
        }
        // Made again after a loss with the entries it had.
        PALETTEENTRY changed = {1, 2, 3, 0};
        ASSERT_EQ(d.palette->SetEntries(0, 7, 1, &changed), D_DD_OK);
        g_ScreenDevice.paletteEntries[7] = changed;
        D_IDirectDrawPalette* before = d.palette;
        before->AddRef();
        EXPECT_EQ(RecreateScreenPalette(), 0);
        EXPECT_NE(d.palette, before);
        before->Release();
        PALETTEENTRY got{};
        ASSERT_EQ(d.palette->GetEntries(0, 7, 1, &got), D_DD_OK);
        EXPECT_EQ(got.peGreen, 2);
        EXPECT_EQ(d.paletteEntries[7].peBlue, 3);
        EXPECT_EQ(d.paletteEntries[8].peBlue, 0);
        ASSERT_EQ(ApiEndFramework(), 0);
        g_ScreenDevice = ScreenDeviceState{};
    }
}

// Copied to the window (as a repaint does) rather than flipped, a full
// screen shows the back buffer whole, with or without the GDI-surface mode.
TEST_F(ScreenDeviceTest, AFullScreenFrameCopiedRatherThanFlippedShowsTheBackBuffer) {
    ASSERT_EQ(ApiInitFramework(), 0);
    ApiSetVBlankWait(0);
    for (int gdi : {0, 1}) {
        SCOPED_TRACE(gdi);
        ASSERT_EQ(SetGdiSurfaceMode(gdi), 0);
        g_SystemState.backgroundRed = gdi ? 0 : 255;
        g_SystemState.backgroundBlue = gdi ? 255 : 0;
        ASSERT_EQ(ApiSelectDrawTarget(kDrawTargetBack), 0);
        ASSERT_EQ(ClearDrawTargetPixels(), 0);
        frames.clear();
        ASSERT_EQ(PresentToWindow(), 0);
        ASSERT_FALSE(frames.empty());
        EXPECT_EQ(frames.back().flipFlags, 0u);
        EXPECT_EQ(frames.back().Raw(0, 0), gdi ? 0x001Fu : 0xF800u);
        EXPECT_EQ(frames.back().Raw(639, 479), gdi ? 0x001Fu : 0xF800u);
    }
    ASSERT_EQ(SetGdiSurfaceMode(0), 0);
}

// A first start at a size the display has no mode for takes 640 x 480 x 16.
TEST_F(ScreenDeviceTest, AFirstStartAtASizeTheDisplayLacksTakes640By480By16) {
    ASSERT_EQ(ApplyScreenMode(320, 240, 32, 0, -1), 0);
    ASSERT_EQ(ApiInitFramework(), 0);
    frames.clear();
    const ScreenDeviceState& d = g_ScreenDevice;
    EXPECT_EQ(d.width, 640);
    EXPECT_EQ(d.height, 480);
    EXPECT_EQ(d.depth, 16);
    EXPECT_EQ(g_SystemState.screenHeight, 480);
    int w = 0, h = 0;
    QueryScreenSize(&w, &h);
    EXPECT_EQ(h, 480);
    D_DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    ASSERT_EQ(d.back->GetSurfaceDesc(&desc), D_DD_OK);
    EXPECT_EQ(desc.dwHeight, 480u);
    EXPECT_EQ(desc.ddpfPixelFormat.dwRGBBitCount, 16u);
}

// A graphic that is the draw target is cleared whole to the background.
TEST_F(ScreenDeviceTest, ClearingAGraphicTargetFillsItWhole) {
    ASSERT_EQ(ApiInitFramework(), 0);
    const HandleId graph = MakeDrawableGraph(24, 10);
    ASSERT_GT(graph, 0);
    ASSERT_EQ(ApiSelectDrawTarget(graph), 0);
    g_SystemState.backgroundGreen = 255;
    ASSERT_EQ(ClearDrawTargetPixels(), 0);
    const GraphRecord* record = LookupGraph(graph);
    ASSERT_NE(record, nullptr);
    const SurfaceDataRecord* data = LookupSurfaceData(LookupSurface2D(record->storageHandles[0])->surfaceData);
    ASSERT_NE(data, nullptr);
    ASSERT_EQ(data->heldAsMemImg, 0u);
    D_DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    ASSERT_EQ(data->surface->Lock(nullptr, &desc, D_DDLOCK_WAIT, nullptr), D_DD_OK);
    const struct {
        int x, y;
    } points[] = {{0, 0}, {23, 0}, {0, 9}, {23, 9}};
    for (const auto& p : points) {
        std::uint16_t v = 0;
        std::memcpy(&v, static_cast<const std::uint8_t*>(desc.lpSurface) + p.y * desc.lPitch + p.x * 2, 2);
        EXPECT_EQ(v, 0x07E0u) << p.x << "," << p.y;
    }
    data->surface->Unlock(nullptr);
    ASSERT_EQ(ApiSelectDrawTarget(kDrawTargetBack), 0);
}

}  // namespace
