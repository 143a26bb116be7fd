// With a display (for example under xvfb-run), the framework opens a real
// 640 x 480 window, a press of the window's close button closes it, and the
// framework ends cleanly. Skipped without a display.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

#include "core/system_state.h"
#include "kelvo/api.h"
#include "platform/backend.h"
#include "platform/display.h"
#include "platform/kernel.h"
#include "support/no_progress.h"
#include "support/temp_dir.h"
#include "platform/window.h"
#include "window/window.h"

// Last: it brings the X headers, whose macros would clash with the rest.
#include <SDL_syswm.h>
#undef None
#undef Bool
#undef Status

namespace {

bool HaveDisplay() {
    const char* display = std::getenv("DISPLAY");
    return display != nullptr && *display != '\0';
}

TEST(SdlWindow, OpensAt640x480AndClosesOnTheCloseButton) {
    if (!HaveDisplay()) GTEST_SKIP() << "no display";
    PlatformSelectBackend(PlatformBackend::Sdl);
    // The counters file says when the close came.
    TempDir dir;
    const std::string counters = dir.str() + "/counters";
    setenv("KELVO_COUNTERS", counters.c_str(), 1);
    ApiSetLogEnabled(0);
    ApiSetAllowDoubleStart(1);
    ChangeWindowMode(1);  // a window rather than the whole screen
    ASSERT_EQ(ApiInitFramework(), 0);

    HWND window = g_SystemState.mainWindow;
    PlatformWindowInfo info = PlatformGetWindowInfo(window);
    ASSERT_TRUE(info.sdlWindow);
    // SDL's windows belong to the display thread: asked there.
    bool found = false, shown = false;
    int w = 0, h = 0;
    PlatformRunOnDisplayThread([&] {
        SDL_Window* sdl = SDL_GetWindowFromID(info.sdlWindowId);
        found = sdl != nullptr;
        if (!found) return;
        SDL_GetWindowSize(sdl, &w, &h);
        shown = (SDL_GetWindowFlags(sdl) & SDL_WINDOW_SHOWN) != 0;
    });
    ASSERT_TRUE(found);
    EXPECT_EQ(w, 640);
    EXPECT_EQ(h, 480);
    EXPECT_TRUE(shown);
    std::printf("window %u: %dx%d at (%ld,%ld), title \"%s\"\n", info.sdlWindowId, w, h,
                static_cast<long>(info.clientRect.left), static_cast<long>(info.clientRect.top), info.title.c_str());

    // Run a few frames as the game would, then press the close button.
    int frames = 0;
    for (; frames < 30; ++frames) {
        ASSERT_EQ(ApiProcessMessage(), 0);
        SDL_Delay(5);
    }
    SDL_Event close{};
    close.type = SDL_WINDOWEVENT;
    close.window.event = SDL_WINDOWEVENT_CLOSE;
    close.window.windowID = info.sdlWindowId;
    ASSERT_EQ(SDL_PushEvent(&close), 1);
    // The display thread pumps it within a few milliseconds, as it would a
    // press of the button (on a busy machine it may wait for the processor
    // a good while longer).
    int result = 0;
    const Uint32 pushed = SDL_GetTicks();
    while (result == 0 && SDL_GetTicks() - pushed < static_cast<Uint32>(NoProgressLimit().count())) {
        result = ApiProcessMessage();
        SDL_Delay(5);
    }
    EXPECT_NE(result, 0) << "the close button ends the game loop";
    EXPECT_FALSE(IsWindow(window));
    bool gone = false;
    PlatformRunOnDisplayThread([&] { gone = SDL_GetWindowFromID(info.sdlWindowId) == nullptr; });
    EXPECT_TRUE(gone);
    {
        std::ifstream file(counters);
        std::string name;
        long long value = 0, close = -2, presented = -2;
        while (file >> name >> value) {
            if (name == "close") close = value;
            if (name == "presented") presented = value;
        }
        EXPECT_GE(close, 0) << "the close is counted";
        EXPECT_LE(close, presented);
    }
    unsetenv("KELVO_COUNTERS");
    EXPECT_EQ(ApiEndFramework(), 0);
    EXPECT_EQ(g_SystemState.messageThread, nullptr);
    std::printf("closed after %d frames; framework ended\n", frames);
    PlatformEndBackend();
}

// The X window behind an SDL window, read where SDL's windows live.
unsigned long XWindowOf(unsigned sdlWindowId) {
    unsigned long xWindow = 0;
    PlatformRunOnDisplayThread([&] {
        SDL_Window* sdl = SDL_GetWindowFromID(sdlWindowId);
        SDL_SysWMinfo wm;
        SDL_VERSION(&wm.version);
        if (sdl != nullptr && SDL_GetWindowWMInfo(sdl, &wm) == SDL_TRUE && wm.subsystem == SDL_SYSWM_X11)
            xWindow = static_cast<unsigned long>(wm.info.x11.window);
    });
    return xWindow;
}

LRESULT PlainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}

// The window a window manager (and a user) sees once it is shown is the one
// frames are shown in: showing the first frame does not replace it with
// another X window, which would lose a close aimed at the first.
TEST(SdlWindow, TheWindowFirstShownIsTheOneFramesAreShownIn) {
    if (!HaveDisplay()) GTEST_SKIP() << "no display";
    PlatformSelectBackend(PlatformBackend::Sdl);
    WNDCLASSA wc{};
    wc.lpfnWndProc = PlainWindowProc;
    wc.lpszClassName = "KelvoShownOnce";
    ASSERT_NE(RegisterClassA(&wc), 0);
    HWND window = CreateWindowExA(0, wc.lpszClassName, "shown once", WS_POPUP | WS_CAPTION, 0, 0, 640, 480, nullptr,
                                  nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    ShowWindow(window, SW_SHOW);
    const unsigned id = PlatformGetWindowInfo(window).sdlWindowId;
    const unsigned long shown = XWindowOf(id);
    if (shown == 0) GTEST_SKIP() << "not an X display";
    for (int frame = 0; frame < 3; ++frame) {
        PlatformPresent(0);
        ASSERT_TRUE(PlatformWaitForDisplay(5000));
    }
    EXPECT_GT(PlatformShownFrameCount(), 0u);
    EXPECT_EQ(XWindowOf(id), shown);
    DestroyWindow(window);
    UnregisterClassA(wc.lpszClassName, nullptr);
    PlatformEndBackend();
}

}  // namespace
