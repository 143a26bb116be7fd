// The headless screen that the drawing-operation tests draw on: started in
// DirectDraw mode (or software mode when video memory fails), the back
// screen as the draw target, graphics made from a pixel function, and the
// presented frames kept.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <vector>

#include "framework/framework_fixture.h"
#include "graphics/device/present.h"
#include "graphics/device/screen_device.h"
#include "graphics/device/surface2d.h"
#include "graphics/device/surface_data.h"
#include "graphics/draw/draw_state.h"
#include "graphics/draw/graph_record.h"
#include "graphics/image/memimg.h"
#include "kelvo/api.h"
#include "softrender/soft_draw_settings.h"
#include "platform/display.h"

namespace draw_test {

inline constexpr std::uint32_t kRed = 0xF800, kGreen = 0x07E0, kBlue = 0x001F, kBlack = 0, kGrey = 0x8410;

class DrawOpsTest : public FrameworkTest {
protected:
    void SetUp() override {
        FrameworkTest::SetUp();
        ResetDisplay();
        PlatformSetFrameSink([this](const PlatformFrame& f) { frames.push_back(f); });
        ApiSetAllowDoubleStart(1);
    }
    void TearDown() override {
        FrameworkTest::TearDown();
        PlatformSetFrameSink(nullptr);
        PlatformDisplayKnobsRef() = PlatformDisplayKnobs{};
    }

    // The stand-in's display and the screen settings as at a fresh start.
    void ResetDisplay() {
        PlatformDisplayKnobsRef() = PlatformDisplayKnobs{};
        PlatformDisplayReset();
        // Software-only mode, once entered, outlives the framework's end.
        g_ScreenDevice.softwareOnly = 0;
        g_ScreenDevice.screenMemImg = 0;
        // So does a screen mode applied before the start (an 8-bit one).
        ApplyScreenMode(640, 480, 16, 0, -1);
        g_ScreenDevice.disable3D = 0;
    }

    void Start() {
        ASSERT_EQ(ApiInitFramework(), 0);
        ApiSetVBlankWait(0);
        ASSERT_EQ(ApiSelectDrawTarget(kDrawTargetBack), 0);
        Background(0x80, 0x80, 0x80);
    }

    void Background(int r, int g, int b) {
        g_SystemState.backgroundRed = r;
        g_SystemState.backgroundGreen = g;
        g_SystemState.backgroundBlue = b;
        ASSERT_EQ(ApiClearDrawTarget(), 0);
    }

    // A graphic whose 16-bit 5:6:5 pixels come from the function; in
    // system memory it is held as a software image, else as a DirectDraw
    // surface in video memory.
    HandleId MakeGraph(int w, int h, int systemMemory, const std::function<std::uint16_t(int, int)>& pixel) {
        const int saved = g_DrawState.createSystemMemory;
        g_DrawState.createSystemMemory = systemMemory;
        HandleId g = CreateGraphWithSurfaces(w, h, 0, 0, 0);
        g_DrawState.createSystemMemory = saved;
        EXPECT_GE(g, 0);
        if (g < 0) return g;
        const GraphRecord* graph = LookupGraph(g);
        const HandleId data = LookupSurface2D(graph->storageHandles[0])->surfaceData;
        int pitch = 0;
        void* pixels = nullptr;
        const ColorFormatDesc* format = nullptr;
        EXPECT_EQ(LockSurfaceData(data, &pitch, &pixels, 0, nullptr, &format), 0);
        EXPECT_EQ(format->bytesPerPixel, 2);
        // Anything but 5:6:5 words is left as it is.
        if (pixels != nullptr && format->bytesPerPixel == 2)
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    const std::uint16_t v = pixel(x, y);
                    std::memcpy(static_cast<std::uint8_t*>(pixels) + y * pitch + x * 2, &v, 2);
                }
        UnlockSurfaceData(data);
        return g;
    }

    // Left half red, right half black (the colour key), 16 x 8.
    HandleId HalfKeyed(int systemMemory) {
        return MakeGraph(16, 8, systemMemory, [](int x, int) { return x < 8 ? kRed : kBlack; });
    }

    // Draws with the operation and checks the presented frame against the
    // renderer drawing (through drawReference) a source of the function's
    // w x h pixels, colour key black, onto the same background in an image
    // of its own, under the same draw area, blend mode and parameter and a
    // bright colour. The number of pixels the reference changed.
    using ReferenceDraw = std::function<void(MEMIMG* reference, const MEMIMG* source, const SoftDrawSettings&)>;
    int ExpectAsTheRenderer(int w, int h, const std::function<std::uint16_t(int, int)>& pixel, const RECT& area,
                            int mode, int param, const ReferenceDraw& drawReference,
                            const std::function<int()>& draw) {
        Background(0x40, 0x90, 0xC0);
        const std::uint32_t background = ApiMakeColorCode(0x40, 0x90, 0xC0);
        MEMIMG reference{}, source{};
        EXPECT_EQ(InitMemImg(&reference, 640, 480, -1, 0, kMemImgKind565, 0, 0, 0), 0);
        EXPECT_EQ(InitMemImg(&source, w, h, -1, 0, kMemImgKind565, 0, 0, 0), 0);
        ClearMemImgRect(&reference, nullptr, background);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const std::uint16_t v = pixel(x, y);
                std::memcpy(source.pixels + y * source.pitch + x * 2, &v, 2);
            }
        EXPECT_EQ(SetDrawViewport(area.left, area.top, area.right, area.bottom), 0);
        ApiSetBlendModeParam(mode, param);
        ApiSetBrightColor(255, 200, 120);
        drawReference(&reference, &source, CurrentSoftDrawSettings());
        EXPECT_EQ(draw(), 0);
        ApiSetBlendModeParam(0, 0);
        ApiSetBrightColor(255, 255, 255);
        SetDrawViewport(0, 0, 640, 480);

        const PlatformFrame& f = Present();
        int differing = 0, changed = 0;
        for (int y = 0; y < 480; ++y)
            for (int x = 0; x < 640; ++x) {
                std::uint16_t want = 0;
                std::memcpy(&want, reference.pixels + y * reference.pitch + x * 2, 2);
                if (f.Raw(x, y) != want) ++differing;
                if (want != background) ++changed;
            }
        EXPECT_EQ(differing, 0) << "mode " << mode;
        ReleaseMemImg(&reference);
        ReleaseMemImg(&source);
        return changed;
    }

    const PlatformFrame& Present() {
        EXPECT_EQ(ApiPresentScreen(), 0);
        return frames.back();
    }

    std::vector<PlatformFrame> frames;
};

}  // namespace draw_test
