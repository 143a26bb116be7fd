// Changing the current stage, and the setters the stage set-ups call.
#pragma once

#include <cstdint>

// Replaces the current stage by stage `stageNumber`: empties every actor and
// door slot, puts camera and player at the PlayerRecord's arrival words,
// picks the music, releases the previous stage's images and runs the stage's
// set-up. A number outside 1 to 61 stores the number, picks the music and
// releases the images, but sets nothing up: grid, bounds, divisors and exits
// keep what the previous stage set.
void LoadStage(int stageNumber);

// The music track (1 to 6) of a stage number; numbers no stage uses get 1.
int StageMusicTrack(std::int8_t stageNumber);

// Starts the current stage's track, unless it is already playing: then it
// plays on across the stage change.
void PlayStageMusic();

// Releases the two far-layer images, the middle-layer image and the 20 panel
// images, and forgets their handles. The title menu does this too before it
// puts its own background into the far layer.
void ReleaseStageImages();

// Empties every monster, door and shop slot and restores the per-stage
// player and draw state.
void ResetStageActors();

void SetRightEdgeExit(std::int32_t arrivalCameraX, std::int32_t arrivalPlayerY, std::int32_t destination,
                      std::int8_t enabled, std::int32_t arrivalScreenX);
void SetLeftEdgeExit(std::int32_t arrivalCameraX, std::int32_t arrivalPlayerY, std::int32_t destination,
                     std::int8_t enabled, std::int32_t arrivalScreenX);
// Fills warp door `slot` (0 to 19); a slot out of range is refused.
void PlaceWarpDoor(std::int8_t slot, float x, float y, std::int32_t arrivalCameraX, std::int32_t arrivalPlayerY,
                   std::int32_t destination, std::uint8_t alive, std::int32_t arrivalScreenX);
