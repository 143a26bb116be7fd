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
#include "platform/kernel.h"
#include "platform/window.h"
#include "window/window.h"

namespace {

bool HaveDisplay() {
    const char* display = std::getenv("DISPLAY");
    return display != nullptr && *display != '\0';
}

TEST(SdlPresent, AClearedFrameShowsItsColourInTheWindow) {
    if (!HaveDisplay()) GTEST_SKIP() << "no display";
    PlatformSelectBackend(PlatformBackend::Sdl);
    ApiSetLogEnabled(0);
    ApiSetAllowDoubleStart(1);
    ChangeWindowMode(1);
    ASSERT_EQ(ApiInitFramework(), 0);
    g_SystemState.backgroundRed = 32;
    g_SystemState.backgroundGreen = 160;
    g_SystemState.backgroundBlue = 224;
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

    PlatformWindowInfo info = PlatformGetWindowInfo(g_SystemState.mainWindow);
    SDL_Window* sdl = SDL_GetWindowFromID(info.sdlWindowId);
    ASSERT_NE(sdl, nullptr);
    SDL_Renderer* renderer = SDL_GetRenderer(sdl);
    ASSERT_NE(renderer, nullptr);
    int w = 0, h = 0;
    SDL_GetRendererOutputSize(renderer, &w, &h);
    ASSERT_GT(w, 0);
    std::vector<Uint32> pixels(static_cast<std::size_t>(w) * h);
    ASSERT_EQ(SDL_RenderReadPixels(renderer, nullptr, SDL_PIXELFORMAT_RGB888, pixels.data(), w * 4), 0);
    Uint32 centre = pixels[static_cast<std::size_t>(h / 2) * w + w / 2] & 0xFFFFFF;
    EXPECT_EQ(centre, 0x20A0E0u) << std::hex << centre;
    ASSERT_EQ(ApiEndFramework(), 0);
}

}  // namespace
