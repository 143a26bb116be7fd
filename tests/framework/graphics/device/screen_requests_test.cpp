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
#include "graphics/text/font.h"
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
        // A later mode change makes the palette again, the old one given
        // back, and hands it to the new surfaces.
        ASSERT_EQ(ApplyScreenMode(-1, -1, -1, 1, -1), 0);
        const int objects = PlatformLiveComObjectCount();
        ASSERT_EQ(ApplyScreenMode(-1, -1, -1, 1, -1), 0);
        EXPECT_EQ(PlatformLiveComObjectCount(), objects) << "none left behind";
        ASSERT_NE(d.palette, nullptr);
        D_IDirectDrawPalette* onPrimary = nullptr;
        EXPECT_EQ(d.primary->GetPalette(&onPrimary), D_DD_OK);
        EXPECT_EQ(onPrimary, d.palette);
        if (onPrimary != nullptr) onPrimary->Release();
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

// A graphic that is the draw target is cleared whole to the background, in
// a surface or a software image, and its depth buffer to the farthest depth.
TEST_F(ScreenDeviceTest, ClearingAGraphicTargetFillsItWhole) {
    for (bool software : {false, true}) {
        SCOPED_TRACE(software ? "software" : "DirectDraw");
        PlatformDisplayKnobsRef().videoMemoryFails = software;
        ASSERT_EQ(ApiInitFramework(), 0);
        const HandleId graph = MakeDrawableGraph(24, 10);
        ASSERT_GT(graph, 0);
        ASSERT_EQ(ApiSelectDrawTarget(graph), 0);
        g_SystemState.backgroundGreen = 255;
        ASSERT_EQ(ClearDrawTargetPixels(), 0);
        const GraphRecord* record = LookupGraph(graph);
        ASSERT_NE(record, nullptr);
        const HandleId dataHandle = LookupSurface2D(record->storageHandles[0])->surfaceData;
        const SurfaceDataRecord* data = LookupSurfaceData(dataHandle);
        ASSERT_NE(data, nullptr);
        ASSERT_EQ(data->heldAsMemImg, software ? 1u : 0u);
        int pitch = 0;
        void* pixels = nullptr;
        const ColorFormatDesc* format = nullptr;
        ASSERT_EQ(LockSurfaceData(dataHandle, &pitch, &pixels, 0, nullptr, &format), 0);
        const struct {
            int x, y;
        } points[] = {{0, 0}, {23, 0}, {0, 9}, {23, 9}};
        for (const auto& p : points) {
            std::uint16_t v = 0;
            std::memcpy(&v, static_cast<const std::uint8_t*>(pixels) + p.y * pitch + p.x * 2, 2);
            EXPECT_EQ(v, 0x07E0u) << p.x << "," << p.y;
        }
        UnlockSurfaceData(dataHandle);
        ASSERT_EQ(ApiSelectDrawTarget(kDrawTargetBack), 0);
        ASSERT_EQ(ApiEndFramework(), 0);
        g_ScreenDevice = ScreenDeviceState{};
        g_SystemState.backgroundGreen = 0;
    }
}

}  // namespace

namespace {

// The output surfaces as made: the work surfaces keyed with the transparent
// colour, the depth buffer attached to the back buffer and cleared to the
// farthest depth, no surface left busy, where each lies, said in the log;
// the cooperative level asked to be safe for threads when wanted. A
// software screen has no measured timing and clears its depth image once.
TEST_F(ScreenDeviceTest, TheOutputSurfacesAsMade) {
    const struct {
        const char* name;
        bool window, software, threads;
        const char* primaryPlace;
    } cases[] = {
        {"full screen", false, false, false, "PrimaryBuffer : VIDEOMEMORY"},
        {"window", true, false, false, "PrimaryBuffer : VIDEOMEMORY"},
        {"threads", false, false, true, "PrimaryBuffer : VIDEOMEMORY"},
        {"software", false, true, false, "PrimaryBuffer : SYSTEMMEMORY( MEMIMG )"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        g_SystemState.windowMode = c.window ? 1 : 0;
        PlatformDisplayKnobsRef().videoMemoryFails = c.software;
        g_ScreenDevice.multithreaded = c.threads ? 1 : 0;
        ASSERT_EQ(ApiInitFramework(), 0);
        const ScreenDeviceState& d = g_ScreenDevice;
        EXPECT_GE(FindLine(c.primaryPlace), 0);
        EXPECT_EQ(FindLine("協調レベルはマルチスレッド対応にします") >= 0, c.threads);
        ASSERT_EQ(ApiSelectDrawTarget(kDrawTargetBack), 0);
        ASSERT_EQ(ClearDrawTargetPixels(), 0);
        if (c.software) {
            EXPECT_EQ(d.displayRefresh, 60);
            EXPECT_EQ(d.frameTime, -1);
            EXPECT_EQ(d.minPresentInterval, -1);
            EXPECT_EQ(d.zImageHoldsClear, 1);
            std::uint16_t depth = 0;
            std::memcpy(&depth, d.zImage.pixels + 479 * d.zImage.pitch + 639 * 2, 2);
            EXPECT_EQ(depth, 0xFFFFu);
        } else {
            EXPECT_GE(FindLine("BaskBuffer : VIDEOMEMORY"), 0);
            EXPECT_EQ((d.cooperativeFlags & D_DDSCL_MULTITHREADED) != 0, c.threads);
            EXPECT_EQ(d.cooperativeFlags & ~D_DDSCL_MULTITHREADED, c.window ? 8u : 17u);
            const std::uint32_t key = MakeColorCode(static_cast<int>(g_DrawState.transparentColor >> 16 & 0xFF),
                                                    static_cast<int>(g_DrawState.transparentColor >> 8 & 0xFF),
                                                    static_cast<int>(g_DrawState.transparentColor & 0xFF));
            for (D_IDirectDrawSurface7* work : {d.work1, d.work2}) {
                D_DDCOLORKEY got{};
                ASSERT_EQ(work->GetColorKey(D_DDCKEY_SRCBLT, &got), D_DD_OK);
                EXPECT_EQ(got.dwColorSpaceLowValue, key);
                EXPECT_EQ(got.dwColorSpaceHighValue, key);
            }
            D_DDSCAPS2 zCaps{D_DDSCAPS_ZBUFFER, 0, 0, 0};
            D_IDirectDrawSurface7* attached = nullptr;
            ASSERT_EQ(d.back->GetAttachedSurface(&zCaps, &attached), D_DD_OK);
            EXPECT_EQ(attached, d.zBuffer);
            attached->Release();
            for (D_IDirectDrawSurface7* s : {d.primary, d.back, d.work1, d.work2}) {
                HDC dc = nullptr;
                EXPECT_EQ(s->GetDC(&dc), D_DD_OK) << "not left busy";
                if (dc != nullptr) s->ReleaseDC(dc);
            }
            D_DDSURFACEDESC2 desc{};
            desc.dwSize = sizeof desc;
            ASSERT_EQ(d.zBuffer->Lock(nullptr, &desc, D_DDLOCK_WAIT, nullptr), D_DD_OK);
            std::uint16_t depth = 0;
            std::memcpy(&depth, static_cast<const std::uint8_t*>(desc.lpSurface) + 479 * desc.lPitch + 639 * 2, 2);
            EXPECT_EQ(depth, 0xFFFFu);
            d.zBuffer->Unlock(nullptr);
        }
        ASSERT_EQ(ApiEndFramework(), 0);
        g_ScreenDevice = ScreenDeviceState{};
        std::filesystem::remove(dir_.path() / "Log.txt");
        PlatformDisplayKnobsRef() = PlatformDisplayKnobs{};
    }
}

// A later change from full screen to a window gives the display its mode
// back and takes the desktop's depth; back to full screen it sets the mode
// again at that depth. Changes come at least two seconds apart, and the
// default font keeps its size and thickness through them.
TEST_F(ScreenDeviceTest, LaterChangesMoveBetweenFullScreenAndAWindow) {
    for (bool software : {false, true}) {
        SCOPED_TRACE(software ? "software" : "DirectDraw");
        PlatformDisplayKnobsRef().videoMemoryFails = software;
        ASSERT_EQ(ApiInitFramework(), 0);
        ScreenDeviceState& d = g_ScreenDevice;
        ASSERT_EQ(SetDefaultFontSizeThickness(24, 3), 0);
        const struct {
            int window;
            bool modeChanged;
            int depth;
        } steps[] = {{1, false, 32}, {0, true, 32}};
        for (const auto& s : steps) {
            const DWORD previous = d.lastModeChangeTime;
            g_SystemState.windowMode = s.window;
            ASSERT_EQ(ApplyScreenMode(-1, -1, -1, 1, -1), 0) << s.window;
            EXPECT_GE(d.lastModeChangeTime - previous, 2000u) << s.window;
            EXPECT_EQ(PlatformDisplayModeChanged(), s.modeChanged) << s.window;
            EXPECT_EQ(d.displayModeChanged, s.modeChanged ? 1 : 0) << s.window;
            EXPECT_EQ(d.depth, s.depth) << s.window;
            EXPECT_EQ(PlatformDisplayLayout().bitsPerPixel, s.modeChanged ? s.depth : 32) << s.window;
            if (!software) EXPECT_EQ(d.cooperativeFlags, s.window ? 8u : 17u) << s.window;
            int size = 0, thickness = 0;
            ASSERT_EQ(QueryFontHandleInfo(DefaultFontHandle(), nullptr, &thickness, &size), 0);
            EXPECT_EQ(size, 24);
            EXPECT_EQ(thickness, 3);
        }
        ASSERT_EQ(ApiEndFramework(), 0);
        g_ScreenDevice = ScreenDeviceState{};
    }
}

// In a window with the blank wait, a present waits out the least interval
// after the one before and then the start of a blank.
TEST_F(ScreenDeviceTest, WindowPresentsArePacedToTheBlank) {
    g_SystemState.windowMode = 1;
    ASSERT_EQ(ApiInitFramework(), 0);
    ScreenDeviceState& d = g_ScreenDevice;
    ApiSetVBlankWait(1);
    ASSERT_EQ(ApiSelectDrawTarget(kDrawTargetBack), 0);
    ASSERT_GT(d.minPresentInterval, 0);
    for (int interval : {d.minPresentInterval, -1}) {
        d.minPresentInterval = interval;
        ASSERT_EQ(ApiPresentScreen(), 0);
        const DWORD first = d.lastPresentTime;
        EXPECT_LE(timeGetTime() - first, 2u);
        ASSERT_EQ(ApiPresentScreen(), 0);
        EXPECT_LE(timeGetTime() - d.lastPresentTime, 2u);
        if (interval > 0) {
            EXPECT_GE(d.lastPresentTime - first, static_cast<DWORD>(interval));
            EXPECT_TRUE(PlatformInVerticalBlank());
        }
    }
}

}  // namespace

namespace {

// In a window the front screen is the client area's part of the primary:
// cleared there, and copied from there into a graphic.
TEST_F(ScreenDeviceTest, TheFrontScreenInAWindowIsTheClientAreaOfThePrimary) {
    g_SystemState.windowMode = 1;
    ASSERT_EQ(ApiInitFramework(), 0);
    RECT client{};
    GetClientScreenRect(&client);
    ASSERT_GT(client.left, 0) << "the window lies inside the desktop";
    ASSERT_EQ(ApiSelectDrawTarget(kDrawTargetFront), 0);
    g_SystemState.backgroundRed = 255;
    frames.clear();
    ASSERT_EQ(ClearDrawTargetPixels(), 0);
    PlatformPumpPresent();
    ASSERT_FALSE(frames.empty());
    const struct {
        int x, y;
    } corners[] = {{0, 0}, {639, 0}, {0, 479}, {639, 479}};
    for (const auto& c : corners) EXPECT_EQ(frames.back().Rgb(c.x, c.y), 0xFF0000u) << c.x << "," << c.y;

    const HandleId graph = MakeDrawableGraph(8, 8);
    ASSERT_GT(graph, 0);
    GraphRecord* record = LookupGraph(graph);
    ASSERT_EQ(FillGraphSurface2Ds(record, 0, 0, 255, 255), 0);
    ASSERT_EQ(CopyDrawScreenToSurface2D(632, 472, 640, 480, record), 0);
    const HandleId data = LookupSurface2D(record->storageHandles[0])->surfaceData;
    int pitch = 0;
    void* pixels = nullptr;
    const ColorFormatDesc* format = nullptr;
    ASSERT_EQ(LockSurfaceData(data, &pitch, &pixels, 0, nullptr, &format), 0);
    for (int y : {0, 7})
        for (int x : {0, 7}) {
            std::uint32_t v = 0;
            std::memcpy(&v, static_cast<const std::uint8_t*>(pixels) + y * pitch + x * format->bytesPerPixel,
                        format->bytesPerPixel);
            EXPECT_EQ(v & 0xFFFFFF, 0xFF0000u) << x << "," << y;
        }
    UnlockSurfaceData(data);
    ASSERT_EQ(ApiSelectDrawTarget(kDrawTargetBack), 0);
}

}  // namespace
