// The stage's two edge exits. The game loop takes the left one when the
// player's screen x is 0.0 or less and the right one at 640.0 or more, each
// only while `enabled` is exactly 1.
#pragma once

#include <cstdint>

struct StageExit {
    std::int32_t arrivalCameraX;
    std::int32_t arrivalPlayerY;
    std::int32_t destination;  // stage number to load
    std::int32_t enabled;
    std::int32_t arrivalScreenX;  // 3 left end of the view, 637 right end, 320 mid-screen
};

extern StageExit g_RightEdgeExit;
extern StageExit g_LeftEdgeExit;
