// The game loop's move of every live monster, once per frame of field play,
// after the player has moved: when a monster stops near the player, turns
// about, starts its attack (the special mode), charges or jumps, and its move
// against the grid. The behaviour routines, which run later in the frame,
// draw the monsters, time their attacks and end them.
#pragma once

// Moves every live monster, kind by kind in the game's fixed order and slot by
// slot, then the further actor pools. Draws random numbers in that order.
void MoveMonsters();

// The move of one live slot; MoveMonsters calls it for every alive slot.
void MoveMonster(int kind, int slot);
