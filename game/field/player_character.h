// The player on screen: the pose of each frame from the 144-frame sheet (walk
// and idle cycles, the four-step ground combo, the air attack, jumps and
// falls, crouching, skill poses), the swing sounds, the lunge of the running
// blow, the strike bytes the monsters test, SkillC's cross and ball, and HP
// and SP regeneration.
#pragma once

#include <cstdint>

constexpr int kPlayerSheetFrames = 144;

// Field play: animates what UpdatePlayerActions started, regenerates HP and
// SP, raises the strike byte for the next frame's monster routines, and draws
// the player and SkillC's effect. The game loop calls it once per field frame
// after the monster routines, with the player's horizontal speed and facing.
void UpdatePlayer(const int (&sheet)[kPlayerSheetFrames], float horizontalSpeed, std::uint8_t facing);

// Under a sub-screen: a still pose in place of UpdatePlayer. Only a running
// attack goes on, to let it time out; nothing else advances.
void DrawPlayerFrozen(const int (&sheet)[kPlayerSheetFrames], float horizontalSpeed, std::uint8_t facing);
