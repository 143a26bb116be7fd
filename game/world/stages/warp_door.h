// Warp doors: UP at one moves the player to its destination stage.
#pragma once

#include <cstdint>

constexpr int kWarpDoorCount = 20;
constexpr std::int32_t kEndingDestination = 100;  // a door to 100 runs the ending

struct WarpDoor {
    float x;  // world x of the door's centre
    float y;  // world y of its reference point
    std::int32_t arrivalCameraX;
    std::int32_t arrivalPlayerY;
    std::int32_t destination;
    std::int32_t arrivalScreenX;
    std::uint8_t alive;  // 1: the door stands on this stage
};

extern WarpDoor g_WarpDoors[kWarpDoorCount];
