// Where the player stands and how it moves. The player is kept in screen
// coordinates: its world x is the camera x (StageState) plus the screen x.
#pragma once

#include <cstdint>

struct PlayerMotion {
    float screenX;
    float y;
    float verticalSpeed;
    float verticalSpeedCopy;  // the vertical step handed to the collision move
    float horizontalSpeed;    // the sign is the direction
    float drift;              // sideways push built up in the air; 0 after a jump or an exit
    float walkSpeed;          // recomputed every field frame from the AGI total
    std::uint8_t facing;      // 0 right, 1 left
    std::uint8_t airborne;    // 1 while no ground is under the player
    std::uint8_t onScreen;    // 1 while the camera rests at a bound and the player crosses the screen
    std::uint8_t wallContact; // 1 after a probe met a wall this frame
    std::uint8_t stopRequest; // set at each stage load; the next field frame stops the player
    std::uint8_t jumpRelease1;
    std::uint8_t jumpRelease2;
};

extern PlayerMotion g_PlayerMotion;
