// With a display (for example under xvfb-run) and xdotool: keys typed at the
// framework's real window arrive as characters in a key-input string, the
// editing keys edit it and return ends it. Skipped without either.
#include <SDL.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <string>
#include <thread>

#include "core/system_state.h"
#include "kelvo/api.h"
#include "platform/backend.h"
#include "platform/display.h"
#include "platform/window.h"
#include "window/window.h"

namespace {

bool HaveDisplay() {
    const char* display = std::getenv("DISPLAY");
    return display != nullptr && *display != '\0';
}

bool HaveXdotool() { return std::system("command -v xdotool >/dev/null 2>&1") == 0; }

TEST(SdlKeyInput, TypedKeysArriveAsCharacters) {
    if (!HaveDisplay() || !HaveXdotool()) GTEST_SKIP() << "no display or no xdotool";
    PlatformSelectBackend(PlatformBackend::Sdl);
    ApiSetLogEnabled(0);
    ApiSetAllowDoubleStart(1);
    ChangeWindowMode(1);
    ASSERT_EQ(ApiInitFramework(), 0);
    const PlatformWindowInfo info = PlatformGetWindowInfo(g_SystemState.mainWindow);
    ASSERT_TRUE(info.sdlWindow);

    const int h = ApiMakeKeyInput(16, 1, 0, 0);
    ASSERT_GE(h, 0);
    for (int i = 0; i < 20; ++i) ApiProcessMessage();
    // The keyboard's focus on the window (there may be no window manager to
    // give it), then xdotool types beside the loop, which keeps taking the
    // window's events.
    int focused = -2;
    std::string error;
    PlatformRunOnDisplayThread([&] {
        SDL_Window* sdl = SDL_GetWindowFromID(info.sdlWindowId);
        if (sdl == nullptr) return;
        SDL_RaiseWindow(sdl);
        focused = SDL_SetWindowInputFocus(sdl);
        if (focused != 0) error = SDL_GetError();
    });
    ASSERT_EQ(focused, 0) << error;
    for (int i = 0; i < 20; ++i) ApiProcessMessage();
    const std::string command = "xdotool type --delay 15 'Kelvo 7' && xdotool key --delay 15 BackSpace Left x Right Return";
    std::atomic<int> status{-1};
    std::thread typist([&] { status = std::system(command.c_str()); });
    int result = 0;
    for (int i = 0; i < 4000 && ApiCheckKeyInput(h) == 0 && result == 0; ++i) {
        result = ApiProcessMessage();
        ApiClearDrawTarget();
        ApiDrawKeyInputString(20, 20, h);
        ApiPresentScreen();
        SDL_Delay(2);
    }
    typist.join();
    EXPECT_EQ(status.load(), 0) << command;
    char text[32] = {};
    ASSERT_EQ(ApiGetKeyInputString(h, text, sizeof text), 0);
    std::printf("typed: \"%s\"\n", text);
    EXPECT_EQ(ApiCheckKeyInput(h), 1) << "return ended the string";
    // "Kelvo 7", the 7 taken back, x typed before the blank.
    EXPECT_EQ(std::string(text), "Kelvox ");
    EXPECT_EQ(ApiDeleteKeyInput(h), 0);
    EXPECT_EQ(ApiEndFramework(), 0);
    PlatformEndBackend();
}

}  // namespace
