#include "engine/frame_pacing.h"

#include <cstdint>

#include "engine/frame_input.h"
#include "kelvo/api.h"

namespace {

std::uint32_t Clock() { return static_cast<std::uint32_t>(ApiGetMilliseconds(0)); }

}  // namespace

void WaitForNextFrame() {
    FrameInputState& input = g_FrameInputState;
    while (static_cast<std::int32_t>(Clock() - input.lastFrameTime) < kFrameMilliseconds) {
    }
    input.lastFrameTime = Clock();
}

void ReadFrameInput() {
    FrameInputState& input = g_FrameInputState;
    auto state = static_cast<std::uint32_t>(ApiGetPadState(kPadInputKeyboardAndPad1));
    input.previousNewlyPressed = input.newlyPressed;
    input.newlyPressed = state & ~input.held;
    input.held = state;
}

void ResetFrameInput() {
    FrameInputState& input = g_FrameInputState;
    input.held = 0;
    input.newlyPressed = 0;
    input.previousNewlyPressed = 0;
    input.lastFrameTime = Clock();
}

void ClearPressed() { g_FrameInputState.newlyPressed = 0; }
