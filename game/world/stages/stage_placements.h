// The monster placement calls of a stage, in call order.
#pragma once

#include <span>

#include "world/stages/stage_table.h"

// The generated list of the stage when the game data provides one, else the
// placements the game's design fixes (possibly none).
std::span<const MonsterPlacement> StagePlacements(int stageNumber);

// The calls of one stage within a list whose stages run together.
std::span<const MonsterPlacement> PlacementsOfStage(std::span<const MonsterPlacement> list, int stageNumber);
