// The screens the mask tests draw on, graphics in whatever format the
// screen gives them, and a way to read the draw target's pixels wherever
// they are (a software image, a DirectDraw surface, the window's part of the
// primary surface).
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <vector>

#include "framework/graphics/draw/draw_ops_fixture.h"
#include "graphics/d3d/direct3d.h"
#include "graphics/draw/graph_load.h"
#include "graphics/draw/mask.h"
#include "graphics/draw/soft_bridge.h"
#include "graphics/image/base_image.h"
#include "platform/d3d.h"

namespace mask_test {

using namespace draw_test;

enum class Route {
    kBackScreen,       // a 5:6:5 DirectDraw back buffer
    kBackScreen32,     // a 32-bit one
    kSoftwareScreen,   // the screen held as software images
    kWindowFront,      // the front screen of a window away from the desktop's corner
    kConvertedScreen,  // a 5:5:5 DirectDraw screen, drawn on converted copies
    kGraphTarget,      // a drawable graphic larger than the screen
    kDirect3D,         // the back screen drawn by the Direct3D device, graphics as textures
};

inline const char* RouteName(Route r) {
    switch (r) {
        case Route::kBackScreen: return "back screen";
        case Route::kBackScreen32: return "32-bit back screen";
        case Route::kSoftwareScreen: return "software screen";
        case Route::kWindowFront: return "front screen in a window";
        case Route::kConvertedScreen: return "5:5:5 screen";
        case Route::kGraphTarget: return "graphic larger than the screen";
        case Route::kDirect3D: return "Direct3D back screen";
    }
    return "?";
}

constexpr Route kAllRoutes[] = {Route::kBackScreen,      Route::kBackScreen32, Route::kSoftwareScreen,
                                 Route::kWindowFront,     Route::kConvertedScreen, Route::kGraphTarget,
                                 Route::kDirect3D};

// 0x00RRGGBB of a picture whose neighbouring pixels differ, with a few black
// ones (the colour key).
inline std::uint32_t Picture(int x, int y) {
    if ((x * 5 + y * 3) % 13 == 0) return 0;
    return static_cast<std::uint32_t>(((x * 37 + y * 11) & 0xFF) << 16 | ((x * 3 + y * 29) & 0xFF) << 8 |
                                      ((x * 17 + y * 7 + 90) & 0xFF));
}

class MaskTest : public DrawOpsTest {
protected:
    void StartOn(Route route) {
        route_ = route;
        if (route == Route::kSoftwareScreen) PlatformDisplayKnobsRef().videoMemoryFails = true;
        if (route == Route::kConvertedScreen) PlatformDisplayKnobsRef().use555 = true;
        if (route == Route::kBackScreen32) {
            ASSERT_EQ(ApplyScreenMode(640, 480, 32, 0, -1), 0);
        }
        if (route == Route::kWindowFront) {
            // A 16-bit desktop: graphics in system memory are then 16-bit
            // software images the renderer can draw onto the window's screen.
            PlatformSetHeadlessDesktop(1024, 768, 16);
            g_SystemState.windowMode = 1;
        }
        PlatformD3DReset();
        PlatformD3DKnobsRef().offerDevice = route == Route::kDirect3D ? 1 : 0;
        Start();
        ASSERT_EQ(IsScreenMemImg(), route == Route::kSoftwareScreen ? 1 : 0);
        ASSERT_EQ(IsDirect3DUp(), route == Route::kDirect3D ? 1 : 0);
        if (route == Route::kWindowFront) {
            // The window away from the desktop's corner, so that window and
            // target coordinates differ.
            RECT window{};
            GetWindowRect(g_SystemState.mainWindow, &window);
            SetWindowPos(g_SystemState.mainWindow, nullptr, 150, 90, window.right - window.left,
                         window.bottom - window.top, SWP_NOZORDER);
            ASSERT_EQ(ApiSelectDrawTarget(kDrawTargetFront), 0);
            RECT onPrimary{};
            GetScreenRectOnPrimary(&onPrimary);
            ASSERT_GT(onPrimary.left, 0);
            ASSERT_GT(onPrimary.top, 0);
        }
        if (route == Route::kGraphTarget) {
            SetMakeDrawableGraphFlag(1);
            target_ = CreateGraphWithSurfaces(800, 520, 0, 0, 0);
            SetMakeDrawableGraphFlag(0);
            ASSERT_GE(target_, 0);
            ASSERT_EQ(ApiSelectDrawTarget(target_), 0);
        }
        ASSERT_EQ(g_DrawState.targetWidth > 0, true);
    }

    // Ends the framework started on a route, so that the next can start.
    void EndRoute() {
        ApiSetBlendModeParam(0, 0);
        ApiSetBrightColor(255, 255, 255);
        ApiEndFramework();
        PlatformD3DReset();
        ResetDisplay();
        g_SystemState.windowMode = 0;
        PlatformSetHeadlessDesktop(1024, 768, 32);
        target_ = kNoHandle;
    }

    int Width() const { return g_DrawState.targetWidth; }
    int Height() const { return g_DrawState.targetHeight; }

    // A graphic with the picture's pixels in whatever format its storage
    // has: in system memory a software image, else a DirectDraw surface, or
    // on the Direct3D road a texture graphic (black keyed by alpha).
    HandleId MakePicture(int w, int h, int systemMemory,
                         const std::function<std::uint32_t(int, int)>& rgb = Picture) {
        if (route_ == Route::kDirect3D && !systemMemory) return MakeTexturePicture(w, h, rgb);
        const int saved = g_DrawState.createSystemMemory;
        g_DrawState.createSystemMemory = systemMemory;
        HandleId g = CreateGraphWithSurfaces(w, h, 0, 0, 0);
        g_DrawState.createSystemMemory = saved;
        EXPECT_GE(g, 0);
        if (g < 0) return g;
        const HandleId data = LookupSurface2D(LookupGraph(g)->storageHandles[0])->surfaceData;
        int pitch = 0;
        void* pixels = nullptr;
        const ColorFormatDesc* format = nullptr;
        EXPECT_EQ(LockSurfaceData(data, &pitch, &pixels, 0, nullptr, &format), 0);
        for (int y = 0; y < h && pixels != nullptr; ++y)
            for (int x = 0; x < w; ++x) {
                const std::uint32_t c = rgb(x, y);
                const std::uint32_t v = c == 0 ? 0
                                               : ComposePixel(format, static_cast<int>(c >> 16 & 0xFF),
                                                              static_cast<int>(c >> 8 & 0xFF),
                                                              static_cast<int>(c & 0xFF), 255);
                std::memcpy(static_cast<std::uint8_t*>(pixels) + y * pitch + x * format->bytesPerPixel, &v,
                            format->bytesPerPixel);
            }
        UnlockSurfaceData(data);
        return g;
    }

    static HandleId MakeTexturePicture(int w, int h, const std::function<std::uint32_t(int, int)>& rgb) {
        GraphImage image{};
        EXPECT_EQ(CreateBaseImage(w, h, &image), 0);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const std::uint32_t c = rgb(x, y);
                std::uint8_t* p = image.pixels + static_cast<std::size_t>(y) * image.pitch + x * 3;
                p[0] = static_cast<std::uint8_t>(c);
                p[1] = static_cast<std::uint8_t>(c >> 8);
                p[2] = static_cast<std::uint8_t>(c >> 16);
            }
        const HandleId g = MakeGraphFromImages(&image, nullptr, 1, 0, 0);
        ReleaseBaseImage(&image);
        EXPECT_GE(g, 0);
        EXPECT_EQ(g >= 0 ? LookupGraph(g)->textureGraph : 0, 1);
        return g;
    }

    // The draw target's pixels, row by row, in draw-target coordinates.
    std::vector<std::uint32_t> Snapshot() {
        EndDeviceScene();  // what the Direct3D device holds back is drawn first
        const DrawTargetBinding& b = g_DrawTargetBinding;
        const int w = Width(), h = Height();
        std::vector<std::uint32_t> out(static_cast<std::size_t>(w) * h);
        const std::uint8_t* base = nullptr;
        int pitch = 0, bytes = 0;
        D_IDirectDrawSurface7* locked = nullptr;
        if (b.image != nullptr && MemImgHasPixels(b.image)) {
            bytes = b.image->colorFormat->bytesPerPixel;
            pitch = static_cast<int>(b.image->pitch);
            base = b.image->pixels + b.offsetY * pitch + b.offsetX * bytes;
        } else {
            RECT r{b.offsetX, b.offsetY, b.offsetX + w, b.offsetY + h};
            if (g_DrawState.drawTarget == kFrontScreenTarget) GetScreenRectOnPrimary(&r);
            D_DDSURFACEDESC2 desc{};
            desc.dwSize = sizeof desc;
            EXPECT_EQ(b.surface->Lock(&r, &desc, D_DDLOCK_WAIT, nullptr), D_DD_OK);
            locked = b.surface;
            base = static_cast<const std::uint8_t*>(desc.lpSurface);
            pitch = static_cast<int>(desc.lPitch);
            bytes = static_cast<int>(desc.ddpfPixelFormat.dwRGBBitCount / 8);
        }
        for (int y = 0; y < h && base != nullptr; ++y)
            for (int x = 0; x < w; ++x) {
                std::uint32_t v = 0;
                std::memcpy(&v, base + y * pitch + x * bytes, static_cast<std::size_t>(bytes));
                out[static_cast<std::size_t>(y) * w + x] = v;
            }
        if (locked != nullptr) locked->Unlock(nullptr);
        return out;
    }

    // Fills the mask screen from a function of the position.
    void FillMask(const std::function<std::uint8_t(int, int)>& byte) {
        const MaskScreenState& m = g_MaskScreen;
        ASSERT_NE(m.buffer, nullptr);
        for (int y = 0; y < m.height; ++y)
            for (int x = 0; x < m.width; ++x) m.buffer[y * m.rowBytes + x] = byte(x, y);
    }

    // Whether the mask lets drawing through at a draw-target pixel: only on
    // the mask screen, and where its byte is not 0.
    static bool Allowed(int x, int y) {
        const MaskScreenState& m = g_MaskScreen;
        return x < m.width && y < m.height && m.buffer[y * m.rowBytes + x] != 0;
    }

    Route route_ = Route::kBackScreen;
    HandleId target_ = kNoHandle;
};

}  // namespace mask_test
