// Which sub-screen is open over field play, and the field frame counter.
#pragma once

#include <cstdint>

enum SubScreenModeValue : std::uint8_t {
    kSubScreenNone = 0,  // field play
    kSubScreenSystemMenu = 1,
    kSubScreenStatus = 2,
    kSubScreenShop = 3,
};

// A SubScreenModeValue. While it is not 0 the player does not move and field
// timers stand still; monsters are still drawn.
extern std::uint8_t g_SubScreenMode;

// Counts frames of field play only (not while a sub-screen is open); drives
// animations and periodic monster decisions.
extern std::int32_t g_FieldFrameCounter;
