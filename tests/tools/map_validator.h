// Checks a stage's collision map against the stage table, the way a player
// would find it: every arrival lands on a floor without standing in the
// ground, every exit, warp door and shop door can be reached from every
// arrival by walking, dropping and jumping, and every monster starts in open
// air, over a floor the player reaches unless it flies, and (where the game's
// design does not fix the position) clear of arrivals and doors.
//
// It is written apart from the generator, from the player's movement rules:
// a jump lifts the 32 x 112 player box about 119 pixels and carries it about
// 190 pixels, so two rows are the highest step it climbs and three columns
// the widest gap it crosses, with room to spare.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "world/stages/collision_grid.h"
#include "world/stages/stage_table.h"

struct MapFindings {
    std::vector<std::string> faults;  // empty when the stage is sound
    int arrivals = 0;
    int droppingArrivals = 0;  // arrivals that fall a row or two onto their floor
    int targets = 0;           // exits and doors reached from every arrival
    int monsters = 0;
    int pits = 0;
    int widestPit = 0;
    int highestFloorRow = 15, lowestFloorRow = 0;  // over the columns the player sees
};

// Checks `grid` as stage `stage` (1 to 61) with the placement calls
// `placements` of that stage.
MapFindings ValidateStageMap(int stage, const CollisionGrid& grid, std::span<const MonsterPlacement> placements);

constexpr int kValidatorMaxStepRows = 2;
constexpr int kValidatorMaxGapColumns = 3;
