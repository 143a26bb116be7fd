// Moving an actor's box against the stage's collision grid, once per frame:
// the player (in screen coordinates) and the walking monsters (in world
// coordinates). The move code an actor passes says which coordinates it is
// held in, what the horizontal step moves and what a wall does to it.
#pragma once

#include <cstdint>

// Move codes of the player. The other codes belong to the monster kinds
// (monster_move_table.h) and the further actor pools (actor_pools.h).
constexpr int kMoveScrolling = 0;      // the camera scrolls: the step moves the camera x
constexpr int kMoveAtLeftBound = 'n';  // the camera rests at its left bound: the step moves the screen x
constexpr int kMoveAtRightBound = 'o'; // the camera rests at its right bound
constexpr int kMoveLunge = 'x';        // the running blow: camera or screen x by the on-screen byte

// What a probe met.
constexpr int kProbeClear = 0;
constexpr int kProbeWallStepRight = 1;
constexpr int kProbeWallStepLeft = 2;
constexpr int kProbeFloor = 3;
constexpr int kProbeCeiling = 4;  // also a solid target with both steps 0

// The player's codes read the grid at their point plus the camera x.
constexpr bool IsScreenRelativeMoveCode(int code) {
    return code == kMoveScrolling || code == kMoveAtLeftBound || code == kMoveAtRightBound || code == kMoveLunge;
}

// The grid cell (0 empty, 1 solid) under the point, or 0 outside the grid.
// Coordinates truncate toward zero before the division by the cell size, so a
// point up to 31 pixels left of or above the stage reads column or row 0.
int GetMapCell(float x, float y, int code);

// Tests the point (px, py) moved by the step (vx, vy). When the target lies in
// a solid cell, shortens the step so that the point stops one pixel short of
// it (vertical steps first; a horizontal step only when vy is 0), answers a
// wall as the code says, and returns what was met (kProbe*). `slot` is the
// monster slot a monster code's wall response writes.
int ResolveMapProbe(float px, float py, float& vx, float& vy, int code, int slot);

// Moves the box width x height centred on (x, y) by sx and sy: lands it on a
// floor (vertical speed 0), bounces it off a ceiling (vertical speed x -0.1),
// stops it at walls, and sets the airborne byte by whether ground lies one
// pixel under its feet. The player's landing ends its attack; a lunge that
// would leave the player over an edge is taken back. No gravity is added here.
void MoveActorOnMap(float& x, float& y, float& verticalSpeed, float sx, float sy, float width, float height,
                    std::uint8_t& airborne, int code, int slot);
