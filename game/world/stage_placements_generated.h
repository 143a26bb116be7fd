// The monster placements that are made together with the collision maps, so
// that every monster starts in open air above a floor. This file is written
// by the game-data generator; until it has run for a stage, that stage places
// only its placements of stage_placements_given.h.
//
// Format: one MonsterPlacement{stage, kind, slot, x, y} per call, the calls of
// one stage together and in call order, e.g.
//   inline constexpr auto kGeneratedPlacements = std::to_array<MonsterPlacement>({
//       {3, 11, 0, 2240, 172},
//       ...
//   });
// A stage listed here takes all of its calls from here: for stages 19, 21 and
// 29 the list includes the two calls into one slot of the given file.
#pragma once

#include <array>

#include "world/stage_table.h"

inline constexpr std::array<MonsterPlacement, 0> kGeneratedPlacements = {};
