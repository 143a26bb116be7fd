#include "platform/backend.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

#include "kernel/video_thread.h"

namespace {

// Static initialisation runs on the thread that starts the process.
const std::thread::id g_mainThread = std::this_thread::get_id();

std::mutex g_backendMutex;
bool g_chosen = false;
bool g_chosenFromEnvironment = false;
PlatformBackend g_backend = PlatformBackend::Headless;
bool g_started = false;

std::atomic<std::uint64_t> g_virtualMicros{0};
std::atomic<std::uint64_t> g_virtualReads{0};

PlatformBackend ChooseFromEnvironment() {
    const char* choice = std::getenv("KELVO_PLATFORM");
    if (choice != nullptr) {
        if (std::strcmp(choice, "headless") == 0) return PlatformBackend::Headless;
        if (std::strcmp(choice, "sdl") == 0) return PlatformBackend::Sdl;
    }
    const char* display = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    bool hasDisplay = (display != nullptr && *display != '\0') || (wayland != nullptr && *wayland != '\0');
    return hasDisplay ? PlatformBackend::Sdl : PlatformBackend::Headless;
}

}  // namespace

PlatformBackend PlatformGetBackend() {
    std::lock_guard lock(g_backendMutex);
    if (!g_chosen) {
        g_backend = ChooseFromEnvironment();
        g_chosen = true;
        g_chosenFromEnvironment = true;
    }
    return g_backend;
}

bool PlatformIsProgramRun() {
    PlatformGetBackend();
    std::lock_guard lock(g_backendMutex);
    return g_chosenFromEnvironment;
}

void PlatformSelectBackend(PlatformBackend backend) {
    std::lock_guard lock(g_backendMutex);
    g_backend = backend;
    g_chosen = true;
    g_chosenFromEnvironment = false;
}

void PlatformForgetBackendChoice() {
    std::lock_guard lock(g_backendMutex);
    g_chosen = false;
    g_chosenFromEnvironment = false;
}

bool PlatformIsHeadless() { return PlatformGetBackend() == PlatformBackend::Headless; }

bool PlatformStartBackend() {
    PlatformBackend backend = PlatformGetBackend();
    std::lock_guard lock(g_backendMutex);
    if (g_started) return true;
    // SDL's video runs on a thread of its own (video_thread.h).
    if (backend == PlatformBackend::Sdl && !VideoThreadStart()) return false;
    g_started = true;
    return true;
}

void PlatformEndBackend() {
    bool sdl = false;
    {
        std::lock_guard lock(g_backendMutex);
        if (!g_started) return;
        sdl = g_backend == PlatformBackend::Sdl;
        g_started = false;
    }
    // Without the lock: the video thread's last work may ask for the backend.
    if (sdl) VideoThreadStop();
}

bool PlatformBackendStarted() {
    std::lock_guard lock(g_backendMutex);
    return g_started;
}

bool PlatformIsMainThread() { return std::this_thread::get_id() == g_mainThread; }

std::uint64_t PlatformVirtualMicros() {
    if (PlatformIsMainThread()) {
        ++g_virtualReads;
        return g_virtualMicros.fetch_add(kVirtualClockReadStepMicros) + kVirtualClockReadStepMicros;
    }
    return g_virtualMicros.load();
}

std::uint64_t PlatformPeekVirtualMicros() { return g_virtualMicros.load(); }

void PlatformAdvanceVirtualClock(std::uint64_t micros) { g_virtualMicros += micros; }

void PlatformResetVirtualClock() {
    g_virtualMicros = 0;
    g_virtualReads = 0;
}

std::uint64_t PlatformVirtualClockReads() { return g_virtualReads.load(); }
