// The collision maps, "data\<N>.col": each stage's grid put together from the
// ground profiles of its painted panels, with walls past both exits.
#pragma once

#include <cstdint>
#include <vector>

#include "world/stages/collision_grid.h"

// The grid of stage 1 to 61.
CollisionGrid MakeStageMap(int stage);

// The text file the game reads: 15 lines of 400 '0' and '1', CR LF after
// each, as a text file of the original platform.
std::vector<std::uint8_t> EncodeCollisionMap(const CollisionGrid& grid);
