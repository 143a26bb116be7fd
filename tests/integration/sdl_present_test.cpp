// With a display, a frame cleared to a colour and presented shows that
// colour in the real window. Skipped without a display.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "core/system_state.h"
#include "graphics/device/present.h"
#include "kelvo/api.h"
#include "platform/backend.h"
#include "platform/display.h"
#include "platform/kernel.h"
#include "platform/window.h"
#include "window/window.h"

namespace {

bool HaveDisplay() {
    const char* display = std::getenv("DISPLAY");
    return display != nullptr && *display != '\0';
}

// The window's pixel at its centre, once the newest frame is shown; read
// on the thread that owns the window's renderer.
Uint32 WindowCentre() {
    EXPECT_TRUE(PlatformWaitForDisplay(5000));
    PlatformWindowInfo info = PlatformGetWindowInfo(g_SystemState.mainWindow);
    Uint32 centre = 0xDEAD;
    PlatformRunOnDisplayThread([&] {
        SDL_Window* sdl = SDL_GetWindowFromID(info.sdlWindowId);
        SDL_Renderer* renderer = sdl != nullptr ? SDL_GetRenderer(sdl) : nullptr;
        if (renderer == nullptr) return;
        int w = 0, h = 0;
        SDL_GetRendererOutputSize(renderer, &w, &h);
        if (w <= 0 || h <= 0) return;
        std::vector<Uint32> pixels(static_cast<std::size_t>(w) * h);
        if (SDL_RenderReadPixels(renderer, nullptr, SDL_PIXELFORMAT_RGB888, pixels.data(), w * 4) == 0)
            centre = pixels[static_cast<std::size_t>(h / 2) * w + w / 2] & 0xFFFFFF;
    });
    return centre;
}

void Background(int r, int g, int b) {
    g_SystemState.backgroundRed = r;
    g_SystemState.backgroundGreen = g;
    g_SystemState.backgroundBlue = b;
}

TEST(SdlPresent, AClearedFrameShowsItsColourInTheWindow) {
    if (!HaveDisplay()) GTEST_SKIP() << "no display";
    PlatformSelectBackend(PlatformBackend::Sdl);
    ApiSetLogEnabled(0);
    ApiSetAllowDoubleStart(1);
    ChangeWindowMode(1);
    ASSERT_EQ(ApiInitFramework(), 0);
    Background(32, 160, 224);
    ApiSetVBlankWait(0);
    // KELVO_HOLD_MS keeps the window up for a person (or a screenshot).
    const char* hold = std::getenv("KELVO_HOLD_MS");
    DWORD until = timeGetTime() + (hold != nullptr ? static_cast<DWORD>(std::atoi(hold)) : 300);
    do {
        ASSERT_EQ(ApiSelectDrawTarget(kDrawTargetBack), 0);
        ASSERT_EQ(ClearDrawTargetPixels(), 0);
        ASSERT_EQ(ApiPresentScreen(), 0);
        ASSERT_EQ(ApiProcessMessage(), 0);
        Sleep(16);
    } while (static_cast<std::int32_t>(until - timeGetTime()) > 0);

    const Uint32 centre = WindowCentre();
    EXPECT_EQ(centre, 0x20A0E0u) << std::hex << centre;
    ASSERT_EQ(ApiEndFramework(), 0);
}

// In full screen every present is a flip; the window shows each new front
// buffer, read straight from the display's memory.
TEST(SdlPresent, FullScreenFlipsShowTheLatestFrame) {
    if (!HaveDisplay()) GTEST_SKIP() << "no display";
    PlatformSelectBackend(PlatformBackend::Sdl);
    ApiSetLogEnabled(0);
    ApiSetAllowDoubleStart(1);
    ChangeWindowMode(0);
    ASSERT_EQ(ApiInitFramework(), 0);
    ApiSetVBlankWait(0);
    ASSERT_EQ(ApiSelectDrawTarget(kDrawTargetBack), 0);
    const int colours[3][3] = {{224, 32, 32}, {32, 224, 32}, {32, 32, 224}};
    const Uint32 expected[3] = {0xE02020, 0x20E020, 0x2020E0};
    for (int frame = 0; frame < 3; ++frame) {
        Background(colours[frame][0], colours[frame][1], colours[frame][2]);
        ASSERT_EQ(ClearDrawTargetPixels(), 0);
        ASSERT_EQ(ApiPresentScreen(), 0);
        ASSERT_EQ(ApiProcessMessage(), 0);
        const Uint32 centre = WindowCentre();
        EXPECT_EQ(centre, expected[frame]) << std::hex << centre;
    }
    ASSERT_EQ(ApiEndFramework(), 0);
    ChangeWindowMode(1);
}

}  // namespace
