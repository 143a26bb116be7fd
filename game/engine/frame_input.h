// The input of one frame, shared by every screen loop of the game, and the
// pad-state bits the game reads.
#pragma once

#include <cstdint>

// ApiGetPadState's argument: the keyboard merged with pad 1.
constexpr int kPadInputKeyboardAndPad1 = 0x1001;

// Fixed keys. Button n of the pad is 0x10 << (n - 1); the menu key is button 9.
constexpr std::uint32_t kPadDown = 0x1;
constexpr std::uint32_t kPadLeft = 0x2;
constexpr std::uint32_t kPadRight = 0x4;
constexpr std::uint32_t kPadUp = 0x8;
constexpr std::uint32_t kPadMenu = 0x1000;

// Every screen loop waits until this many milliseconds have passed since the
// last frame: the only frame pacing the game has.
constexpr std::int32_t kFrameMilliseconds = 5;

struct FrameInputState {
    std::uint32_t held;                  // the pad state of this frame
    std::uint32_t newlyPressed;          // held now and not in the previous frame
    std::uint32_t previousNewlyPressed;  // last frame's newlyPressed
    std::uint32_t lastFrameTime;         // millisecond clock after the last pacing wait
};

extern FrameInputState g_FrameInputState;
