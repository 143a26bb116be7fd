// With a display, a frame cleared to a colour and presented shows that
// colour in the real window. Skipped without a display.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "core/system_state.h"
#include "graphics/device/present.h"
#include "graphics/device/screen_device.h"
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

// What the window shows of a screen pixel: SDL's reading of it, which
// widens a 5:6:5 channel to the whole 0-255 range (the frame captures widen
// by shifting, so a 16-bit red of 224 is 230 in the window, 224 in a PNG).
Uint32 AsShown(ColorCode pixel, int depth) {
    SDL_PixelFormat* format = SDL_AllocFormat(depth == 16 ? SDL_PIXELFORMAT_RGB565 : SDL_PIXELFORMAT_RGB888);
    Uint8 r = 0, g = 0, b = 0;
    SDL_GetRGB(pixel, format, &r, &g, &b);
    SDL_FreeFormat(format);
    return static_cast<Uint32>(r) << 16 | static_cast<Uint32>(g) << 8 | b;
}

// In full screen every present is a flip; the window shows each new front
// buffer, read straight from the display's memory. The depth is set here,
// not left to whatever test ran before: the game's 16 bits, and 32.
TEST(SdlPresent, FullScreenFlipsShowTheLatestFrame) {
    if (!HaveDisplay()) GTEST_SKIP() << "no display";
    PlatformSelectBackend(PlatformBackend::Sdl);
    ApiSetLogEnabled(0);
    ApiSetAllowDoubleStart(1);
    const int colours[3][3] = {{224, 32, 32}, {32, 224, 32}, {32, 32, 224}};
    for (int depth : {16, 32}) {
        SCOPED_TRACE(depth);
        ChangeWindowMode(0);
        ASSERT_EQ(ApplyScreenMode(640, 480, depth, 0, -1), 0);
        ASSERT_EQ(ApiInitFramework(), 0);
        ASSERT_EQ(GetScreenColorDepth(), depth);
        ApiSetVBlankWait(0);
        ASSERT_EQ(ApiSelectDrawTarget(kDrawTargetBack), 0);
        for (int frame = 0; frame < 3; ++frame) {
            const int* c = colours[frame];
            Background(c[0], c[1], c[2]);
            ASSERT_EQ(ClearDrawTargetPixels(), 0);
            ASSERT_EQ(ApiPresentScreen(), 0);
            ASSERT_EQ(ApiProcessMessage(), 0);
            const Uint32 centre = WindowCentre();
            EXPECT_EQ(centre, AsShown(ApiMakeColorCode(c[0], c[1], c[2]), depth)) << std::hex << centre;
        }
        ASSERT_EQ(ApiEndFramework(), 0);
    }
    ChangeWindowMode(1);
}

}  // namespace
