// The monster positions the stage table leaves open, chosen on the generated
// collision maps: every monster starts in open air, the walking and standing
// ones over a floor away from pits, all of them clear of where the player
// arrives and of the warp door. The result is committed as
// game/world/stages/stage_placements_generated.h, which `datagen --placements`
// writes.
#pragma once

#include <string>
#include <vector>

#include "world/stages/stage_table.h"

// Every placement call of the stages whose positions are not all given, in
// stage order and, within a stage, in call order. Stages 19, 21 and 29 start
// with their two given calls into one slot.
std::vector<MonsterPlacement> GeneratePlacements();

// The C++ header that holds `placements` as kGeneratedPlacements.
std::string PlacementsHeader(const std::vector<MonsterPlacement>& placements);
