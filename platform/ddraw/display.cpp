// The display model: modes, the framebuffer, exclusive mode and the
// vertical-blank timeline. Presenting to the backend is in present.cpp.
#include "platform/display.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>

#include "ddraw/display_internal.h"
#include "platform/backend.h"
#include "platform/kernel.h"
#include "window/window_state.h"

namespace {

struct DisplayState {
    PlatformDisplayKnobs knobs;
    bool modeChanged = false;
    int width = 0, height = 0, refresh = 60;
    PlatformPixelLayout layout{};
    bool exclusive = true;
    RECT client{0, 0, 640, 480};
    PixelMemory framebuffer;
    int pitch = 0;
    std::uint32_t palette[256] = {};
    bool initialised = false;
};

std::recursive_mutex g_mutex;
DisplayState g_display;

void DefaultPalette(std::uint32_t* palette) {
    // A fixed 3:3:2 palette: entry 0 black, entry 255 white.
    for (int i = 0; i < 256; ++i) {
        std::uint32_t r = ((i >> 5) & 7) * 255 / 7, g = ((i >> 2) & 7) * 255 / 7, b = (i & 3) * 255 / 3;
        palette[i] = (r << 16) | (g << 8) | b;
    }
}

void AllocateFramebuffer() {
    g_display.pitch = PlatformSurfacePitch(g_display.width, g_display.layout.BytesPerPixel());
    g_display.framebuffer.assign(static_cast<std::size_t>(g_display.pitch) * g_display.height, 0);
}

void EnsureInitialised() {
    if (g_display.initialised) return;
    g_display.initialised = true;
    // A real window lives on the real desktop.
    int w = 0, h = 0, bits = 0;
    if (!PlatformIsHeadless() && PlatformStartBackend() && SdlDesktopMode(&w, &h, &bits) && w >= 640 && h >= 480) {
        g_display.knobs.desktopWidth = w;
        g_display.knobs.desktopHeight = h;
        g_display.knobs.desktopLayout = bits == 16 ? kLayout565 : kLayoutX888;
    }
    g_display.width = g_display.knobs.desktopWidth;
    g_display.height = g_display.knobs.desktopHeight;
    g_display.layout = g_display.knobs.desktopLayout;
    g_display.refresh = g_display.knobs.desktopRefresh;
    DefaultPalette(g_display.palette);
    AllocateFramebuffer();
}

std::uint64_t NowMicros() {
    LARGE_INTEGER count{}, frequency{};
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&count);
    return static_cast<std::uint64_t>(count.QuadPart) * 1'000'000 / static_cast<std::uint64_t>(frequency.QuadPart);
}

std::uint64_t PeriodMicros() {
    int refresh = PlatformDisplayRefresh();
    return 1'000'000 / static_cast<std::uint64_t>(refresh > 0 ? refresh : 60);
}

}  // namespace

std::atomic<std::uint64_t> g_PlatformLossEpoch{0};

std::recursive_mutex& PlatformDisplayMutex() { return g_mutex; }

int PlatformSurfacePitch(int width, int bytesPerPixel) {
    int pitch = (width * bytesPerPixel + 7) & ~7;
    std::lock_guard lock(g_mutex);
    return pitch + g_display.knobs.pitchPadding;
}

PlatformDisplayKnobs& PlatformDisplayKnobsRef() {
    std::lock_guard lock(g_mutex);
    return g_display.knobs;
}

void PlatformDisplayReset() {
    std::lock_guard lock(g_mutex);
    PlatformDisplayKnobs knobs = g_display.knobs;
    g_display = DisplayState{};
    g_display.knobs = knobs;
    g_PlatformLossEpoch.fetch_add(1, std::memory_order_release);
    EnsureInitialised();
    PlatformResetPresentState();
}

int PlatformDisplayWidth() {
    std::lock_guard lock(g_mutex);
    EnsureInitialised();
    return g_display.width;
}

int PlatformDisplayHeight() {
    std::lock_guard lock(g_mutex);
    EnsureInitialised();
    return g_display.height;
}

PlatformPixelLayout PlatformDisplayLayout() {
    std::lock_guard lock(g_mutex);
    EnsureInitialised();
    return g_display.layout;
}

int PlatformDisplayRefresh() {
    std::lock_guard lock(g_mutex);
    EnsureInitialised();
    return g_display.refresh;
}

bool PlatformDisplayModeChanged() {
    std::lock_guard lock(g_mutex);
    return g_display.modeChanged;
}

bool PlatformDisplaySetMode(int width, int height, int bitsPerPixel, int refresh) {
    std::lock_guard lock(g_mutex);
    EnsureInitialised();
    const auto& knobs = g_display.knobs;
    if (knobs.refuseAllModes) return false;
    if (width != 640 || height != 480) return false;
    if (refresh != 0 && (refresh != knobs.modeRefresh || refresh == knobs.refusedRefresh)) return false;
    if (bitsPerPixel >= 0 && bitsPerPixel < 64 && (knobs.refusedDepthBits >> bitsPerPixel & 1)) return false;
    PlatformPixelLayout layout;
    switch (bitsPerPixel) {
        case 8: layout = kLayout8; break;
        case 16: layout = knobs.use555 ? kLayout555 : kLayout565; break;
        case 32: layout = kLayoutX888; break;
        default: return false;
    }
    g_display.width = width;
    g_display.height = height;
    g_display.layout = layout;
    g_display.refresh = knobs.modeRefresh;
    g_display.modeChanged = true;
    g_display.client = RECT{0, 0, width, height};
    g_PlatformLossEpoch.fetch_add(1, std::memory_order_release);
    AllocateFramebuffer();
    return true;
}

void PlatformDisplayRestoreMode() {
    std::lock_guard lock(g_mutex);
    EnsureInitialised();
    if (!g_display.modeChanged) return;
    g_display.modeChanged = false;
    g_display.width = g_display.knobs.desktopWidth;
    g_display.height = g_display.knobs.desktopHeight;
    g_display.layout = g_display.knobs.desktopLayout;
    g_display.refresh = g_display.knobs.desktopRefresh;
    g_PlatformLossEpoch.fetch_add(1, std::memory_order_release);
    AllocateFramebuffer();
}

void PlatformDisplaySetClientRect(const RECT& rect) {
    std::lock_guard lock(g_mutex);
    g_display.client = rect;
}

RECT PlatformDisplayClientRect() {
    std::lock_guard lock(g_mutex);
    EnsureInitialised();
    RECT r = g_display.client;
    // Never outside the framebuffer.
    r.left = std::clamp<LONG>(r.left, 0, g_display.width);
    r.right = std::clamp<LONG>(r.right, r.left, g_display.width);
    r.top = std::clamp<LONG>(r.top, 0, g_display.height);
    r.bottom = std::clamp<LONG>(r.bottom, r.top, g_display.height);
    return r;
}

void PlatformDisplayLoseExclusive() {
    std::lock_guard lock(g_mutex);
    if (!g_display.exclusive) return;
    g_display.exclusive = false;
    g_PlatformLossEpoch.fetch_add(1, std::memory_order_release);
}

void PlatformDisplayRegainExclusive() {
    std::lock_guard lock(g_mutex);
    g_display.exclusive = true;
}

bool PlatformDisplayHasExclusive() {
    std::lock_guard lock(g_mutex);
    return g_display.exclusive;
}


std::uint8_t* PlatformFramebuffer() {
    std::lock_guard lock(g_mutex);
    EnsureInitialised();
    return g_display.framebuffer.data();
}

int PlatformFramebufferPitch() {
    std::lock_guard lock(g_mutex);
    EnsureInitialised();
    return g_display.pitch;
}

bool PlatformSwapFramebuffer(PixelMemory& memory, int pitch) {
    std::lock_guard lock(g_mutex);
    EnsureInitialised();
    if (pitch != g_display.pitch || memory.size() != g_display.framebuffer.size()) return false;
    g_display.framebuffer.swap(memory);
    return true;
}

void PlatformFramebufferPalette(std::uint32_t* out256) {
    std::lock_guard lock(g_mutex);
    EnsureInitialised();
    std::memcpy(out256, g_display.palette, sizeof g_display.palette);
}

void PlatformSetFramebufferPalette(const std::uint32_t* rgb256) {
    std::lock_guard lock(g_mutex);
    EnsureInitialised();
    std::memcpy(g_display.palette, rgb256, sizeof g_display.palette);
}

// ---- vertical blank ----------------------------------------------------------------

bool PlatformInVerticalBlank() { return PlatformScanLine() >= kVisibleScanLines; }

int PlatformScanLine() {
    std::uint64_t period = PeriodMicros();
    std::uint64_t within = NowMicros() % period;
    return static_cast<int>(within * kScanLinesPerFrame / period);
}

bool PlatformWaitVerticalBlankStart() {
    std::uint64_t period = PeriodMicros();
    std::uint64_t blankOffset = period * kVisibleScanLines / kScanLinesPerFrame;
    std::uint64_t now = NowMicros();
    std::uint64_t frameStart = now - now % period;
    std::uint64_t target = frameStart + blankOffset;
    if (target <= now) target += period;
    if (PlatformIsHeadless() && PlatformIsMainThread()) {
        PlatformAdvanceVirtualClock(target - now);
        return true;
    }
    // Never wait longer than 100 ms, whatever the clock does.
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(100);
    while (NowMicros() < target) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::uint64_t left = target - NowMicros();
        if (left > 1500)
            std::this_thread::sleep_for(std::chrono::microseconds(left - 1000));
        else
            std::this_thread::yield();
    }
    return true;
}
