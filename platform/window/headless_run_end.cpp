// A headless run of a program ends by itself, as a user would end it: once
// KELVO_FRAMES frames have been presented (2000 when unset), or once the
// input script from KELVO_INPUT has run out, every visible window is closed.
// The program sees the close in its message loop and shuts down normally, so
// whatever it saves on the way out is saved. Runs whose backend a test
// selects in code are left alone.
#include <cstdlib>

#include "platform/backend.h"
#include "platform/dinput.h"
#include "window/window_state.h"

namespace {

constexpr std::uint64_t kDefaultFrameLimit = 2000;

bool g_closed = false;

}  // namespace

std::uint64_t PlatformHeadlessFrameLimit() {
    const char* text = std::getenv("KELVO_FRAMES");
    if (text == nullptr || *text == '\0') return kDefaultFrameLimit;
    char* end = nullptr;
    long long frames = std::strtoll(text, &end, 10);
    if (*end != '\0' || frames <= 0) return kDefaultFrameLimit;
    return static_cast<std::uint64_t>(frames);
}

void PlatformEndHeadlessRunIfDue(std::uint64_t programFrames) {
    if (g_closed || !PlatformIsHeadless() || !PlatformIsProgramRun()) return;
    static const std::uint64_t limit = PlatformHeadlessFrameLimit();
    if (programFrames < limit && !PlatformEnvironmentInputScriptEnded()) return;
    g_closed = true;
    auto& s = Windows();
    std::lock_guard lock(s.mutex);
    for (auto& [key, window] : s.windows)
        if (window.visible) window.scripted.push_back(PlatformWindowEvent{});
}
