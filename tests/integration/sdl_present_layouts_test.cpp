// With a display, what the display stand-in shows in a real window: the
// client area of the framebuffer in every layout the display can take, scaled
// to the window, from whichever thread presents; and a display that cannot
// keep up never holds presenting up: it shows the newest frame and drops the
// rest. Skipped without a display.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/backend.h"
#include "platform/display.h"

namespace {

bool HaveDisplay() {
    const char* display = std::getenv("DISPLAY");
    return display != nullptr && *display != '\0';
}

// Whether two 0xRRGGBB colours are within 8 in every channel: SDL widens
// narrow channels its own way.
bool Near(Uint32 a, Uint32 b) {
    for (int shift = 0; shift < 24; shift += 8) {
        const int d = static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF);
        if (d < -8 || d > 8) return false;
    }
    return true;
}

// The window's pixel at (x, y), 0xRRGGBB, once the newest frame is shown;
// read on the thread that owns the window's renderer.
Uint32 Shown(SDL_Window* window, int x, int y) {
    EXPECT_TRUE(PlatformWaitForDisplay(5000));
    Uint32 pixel = 0xDEAD;
    PlatformRunOnDisplayThread([&] {
        SDL_Renderer* renderer = SDL_GetRenderer(window);
        if (renderer == nullptr) return;
        int w = 0, h = 0;
        SDL_GetRendererOutputSize(renderer, &w, &h);
        std::vector<Uint32> pixels(static_cast<std::size_t>(w) * h);
        if (SDL_RenderReadPixels(renderer, nullptr, SDL_PIXELFORMAT_RGB888, pixels.data(), w * 4) == 0)
            pixel = pixels[static_cast<std::size_t>(y) * w + x] & 0xFFFFFF;
    });
    return pixel;
}

bool HasRenderer(SDL_Window* window) {
    bool has = false;
    PlatformRunOnDisplayThread([&] { has = SDL_GetRenderer(window) != nullptr; });
    return has;
}

// A window of 640 x 480 made where SDL's windows live, frames shown in it.
SDL_Window* OpenWindow(const char* title) {
    SDL_Window* window = nullptr;
    PlatformRunOnDisplayThread([&] { window = SDL_CreateWindow(title, 0, 0, 640, 480, SDL_WINDOW_SHOWN); });
    if (window != nullptr) PlatformAttachPresentWindow(window);
    return window;
}

void CloseWindow(SDL_Window* window) {
    PlatformAttachPresentWindow(nullptr);
    PlatformRunOnDisplayThread([&] { SDL_DestroyWindow(window); });
}

// Fills framebuffer rows [top, bottom) and columns [left, right) with a raw value.
void Paint(int left, int top, int right, int bottom, DWORD value) {
    const int bytes = PlatformDisplayLayout().BytesPerPixel(), pitch = PlatformFramebufferPitch();
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x)
            std::memcpy(PlatformFramebuffer() + static_cast<std::size_t>(y) * pitch + static_cast<std::size_t>(x) * bytes,
                        &value, static_cast<std::size_t>(bytes));
}

TEST(SdlPresentLayouts, EveryLayoutShowsItsClientAreaScaledToTheWindow) {
    if (!HaveDisplay()) GTEST_SKIP() << "no display";
    PlatformSelectBackend(PlatformBackend::Sdl);
    ASSERT_TRUE(PlatformStartBackend());
    PlatformDisplayKnobsRef() = PlatformDisplayKnobs{};
    PlatformDisplayReset();
    SDL_Window* window = OpenWindow("layouts");
    ASSERT_NE(window, nullptr);

    // Left half one raw value, right half another; what the window shows.
    // The size stays, the depth changes: the window must follow it.
    std::uint32_t palette[256] = {};
    palette[0x21] = 0x20A0E0;
    palette[0xC4] = 0xE0A020;
    const struct {
        int bits;
        bool use555;
        DWORD left, right;
        Uint32 leftShown, rightShown;
    } cases[] = {
        {16, false, 0xF800, 0x07FF, 0xF80000, 0x00FCF8},
        {16, true, 0x7C00, 0x03FF, 0xF80000, 0x00F8F8},
        {32, false, 0x123456, 0xABCDEF, 0x123456, 0xABCDEF},
        {8, false, 0x21, 0xC4, 0x20A0E0, 0xE0A020},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.bits << (c.use555 ? " 5:5:5" : ""));
        PlatformDisplayKnobsRef().use555 = c.use555;
        ASSERT_TRUE(PlatformDisplaySetMode(640, 480, c.bits, 0));
        PlatformSetFramebufferPalette(palette);
        Paint(0, 0, 320, 480, c.left);
        Paint(320, 0, 640, 480, c.right);
        PlatformPresent(0);
        EXPECT_PRED2(Near, Shown(window, 10, 10), c.leftShown);
        EXPECT_PRED2(Near, Shown(window, 319, 479), c.leftShown);
        EXPECT_PRED2(Near, Shown(window, 320, 0), c.rightShown);
        EXPECT_PRED2(Near, Shown(window, 639, 240), c.rightShown);
    }

    // A window's client area of 320 x 240 at (100, 50) fills the window at
    // twice its size; what lies outside it is not shown.
    ASSERT_TRUE(PlatformDisplaySetMode(640, 480, 32, 0));
    Paint(0, 0, 640, 480, 0xFF0000);
    Paint(100, 50, 420, 290, 0x00FF00);
    Paint(100, 50, 260, 170, 0x0000FF);
    PlatformDisplaySetClientRect(RECT{100, 50, 420, 290});
    PlatformPresent(0);
    EXPECT_EQ(Shown(window, 2, 2), 0x0000FFu);
    EXPECT_EQ(Shown(window, 316, 236), 0x0000FFu);
    EXPECT_EQ(Shown(window, 324, 244), 0x00FF00u);
    EXPECT_EQ(Shown(window, 637, 477), 0x00FF00u);
    // Back to the whole screen: the texture follows the new size.
    PlatformDisplaySetClientRect(RECT{0, 0, 640, 480});
    PlatformPresent(0);
    EXPECT_EQ(Shown(window, 2, 2), 0xFF0000u);
    EXPECT_EQ(Shown(window, 300, 150), 0x00FF00u);
    EXPECT_EQ(Shown(window, 200, 100), 0x0000FFu);

    // Presented on another thread: shown as well.
    Paint(0, 0, 640, 480, 0x404040);
    std::thread([] { PlatformPresent(0); }).join();
    EXPECT_EQ(Shown(window, 2, 2), 0x404040u);
    // Drawing marked for the pump is shown by it.
    Paint(0, 0, 640, 480, 0x808080);
    PlatformMarkDirty();
    PlatformPumpPresent();
    EXPECT_EQ(Shown(window, 600, 400), 0x808080u);

    // Taken off the window, the presenter lets go of the renderer it made.
    ASSERT_TRUE(HasRenderer(window));
    PlatformAttachPresentWindow(nullptr);
    EXPECT_FALSE(HasRenderer(window));
    PlatformRunOnDisplayThread([&] { SDL_DestroyWindow(window); });
    PlatformDisplayKnobsRef() = PlatformDisplayKnobs{};
    PlatformDisplayReset();
    PlatformEndBackend();
}

// The display held up (its thread busy) while 40 frames are presented:
// every present returns at once, a frame sink still sees each of them in
// order, and once the display is free it shows the newest; the others are
// counted as dropped, none as shown twice.
TEST(SdlPresentLayouts, ABusyDisplayNeverHoldsPresentingUp) {
    if (!HaveDisplay()) GTEST_SKIP() << "no display";
    PlatformSelectBackend(PlatformBackend::Sdl);
    ASSERT_TRUE(PlatformStartBackend());
    PlatformDisplayKnobsRef() = PlatformDisplayKnobs{};
    PlatformDisplayReset();
    ASSERT_TRUE(PlatformDisplaySetMode(640, 480, 32, 0));
    SDL_Window* window = OpenWindow("busy");
    ASSERT_NE(window, nullptr);
    Paint(0, 0, 640, 480, 0x000000);
    PlatformPresent(0);
    ASSERT_TRUE(PlatformWaitForDisplay(5000));
    const std::uint64_t shownBefore = PlatformShownFrameCount(), droppedBefore = PlatformDroppedFrameCount();

    std::mutex mutex;
    std::condition_variable changed;
    bool busy = false, release = false;
    std::thread holder([&] {
        PlatformRunOnDisplayThread([&] {
            std::unique_lock lock(mutex);
            busy = true;
            changed.notify_all();
            changed.wait(lock, [&] { return release; });
        });
    });
    {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return busy; });
    }
    std::vector<DWORD> sunk;
    PlatformSetFrameSink([&](const PlatformFrame& frame) { sunk.push_back(frame.Raw(5, 5)); });
    constexpr int kFrames = 40;
    for (int i = 1; i <= kFrames; ++i) {
        Paint(0, 0, 640, 480, static_cast<DWORD>(i * 0x010203));
        PlatformPresent(0);  // would never return if it waited for the display
    }
    PlatformSetFrameSink(nullptr);
    EXPECT_EQ(PlatformShownFrameCount(), shownBefore) << "nothing shown while the display is busy";
    {
        std::lock_guard lock(mutex);
        release = true;
    }
    changed.notify_all();
    holder.join();

    ASSERT_EQ(sunk.size(), static_cast<std::size_t>(kFrames));
    for (int i = 1; i <= kFrames; ++i) EXPECT_EQ(sunk[i - 1], static_cast<DWORD>(i * 0x010203)) << i;
    EXPECT_EQ(Shown(window, 320, 240), static_cast<Uint32>(kFrames * 0x010203));
    EXPECT_EQ(PlatformShownFrameCount(), shownBefore + 1);
    EXPECT_EQ(PlatformDroppedFrameCount(), droppedBefore + kFrames - 1);

    CloseWindow(window);
    PlatformDisplayKnobsRef() = PlatformDisplayKnobs{};
    PlatformDisplayReset();
    PlatformEndBackend();
}

}  // namespace
