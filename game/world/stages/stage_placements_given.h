// The monster placements whose positions are fixed by the game's own design,
// in call order: stages 2, 10, 17, 32, 47 and 61 in full; on stages 19, 21 and
// 29 only the two calls that put two monsters into one slot, the second
// replacing the first. The other placements of those three stages, and all of
// the remaining stages, are made with the collision maps and come in
// stage_placements_generated.h.
#pragma once

#include <array>

#include "world/stages/stage_table.h"

// clang-format off
inline constexpr std::array kGivenPlacements = {
    // stage 2
    MonsterPlacement{2, 11, 0, 2240, 172},
    MonsterPlacement{2, 11, 10, 2560, 172},
    MonsterPlacement{2, 11, 19, 3200, 172},
    MonsterPlacement{2, 11, 15, 4480, 172},
    MonsterPlacement{2, 11, 4, 5760, 172},
    MonsterPlacement{2, 11, 8, 5408, 108},
    MonsterPlacement{2, 11, 2, 4032, 172},
    MonsterPlacement{2, 10, 15, 2400, 108},
    MonsterPlacement{2, 10, 4, 3200, 108},
    MonsterPlacement{2, 10, 8, 4480, 108},
    MonsterPlacement{2, 10, 2, 5440, 108},
    MonsterPlacement{2, 12, 1, 3040, 108},
    MonsterPlacement{2, 12, 13, 4160, 108},
    MonsterPlacement{2, 12, 4, 5312, 108},
    MonsterPlacement{2, 13, 0, 5920, 108},
    // stage 10
    MonsterPlacement{10, 17, 12, 2240, 172},
    MonsterPlacement{10, 17, 15, 2240, 172},
    MonsterPlacement{10, 17, 4, 3520, 172},
    MonsterPlacement{10, 17, 11, 3520, 172},
    MonsterPlacement{10, 17, 17, 4160, 172},
    MonsterPlacement{10, 3, 2, 4096, 108},
    // stage 17
    MonsterPlacement{17, 18, 0, 2240, 172},
    MonsterPlacement{17, 18, 10, 2336, 172},
    // stage 19
    MonsterPlacement{19, 14, 19, 2400, 108},
    MonsterPlacement{19, 14, 19, 2880, 108},
    // stage 21
    MonsterPlacement{21, 19, 10, 3520, 108},
    MonsterPlacement{21, 19, 10, 4160, 108},
    // stage 29
    MonsterPlacement{29, 29, 0, 2240, 140},
    MonsterPlacement{29, 29, 0, 5440, 140},
    // stage 32
    MonsterPlacement{32, 24, 19, 3488, 108},
    MonsterPlacement{32, 24, 14, 3520, 140},
    MonsterPlacement{32, 24, 16, 3520, 172},
    MonsterPlacement{32, 24, 13, 3552, 172},
    MonsterPlacement{32, 5, 16, 3552, 172},
    // stage 47
    MonsterPlacement{47, 6, 0, 2304, 108},
    MonsterPlacement{47, 6, 2, 2400, 108},
    MonsterPlacement{47, 6, 10, 2496, 108},
    MonsterPlacement{47, 6, 19, 2592, 108},
    MonsterPlacement{47, 6, 15, 2688, 108},
    MonsterPlacement{47, 25, 0, 4000, 108},
    MonsterPlacement{47, 25, 10, 4000, 108},
    MonsterPlacement{47, 25, 19, 4000, 108},
    MonsterPlacement{47, 25, 15, 4160, 108},
    MonsterPlacement{47, 25, 4, 4160, 108},
    MonsterPlacement{47, 2, 15, 4064, 108},
    // stage 61
    MonsterPlacement{61, 30, 0, 2240, 140},
    MonsterPlacement{61, 30, 10, 2880, 172},
    MonsterPlacement{61, 30, 13, 3520, 204},
    MonsterPlacement{61, 30, 11, 2400, 140},
    MonsterPlacement{61, 30, 14, 3040, 172},
    MonsterPlacement{61, 30, 17, 3680, 204},
    MonsterPlacement{61, 30, 1, 2336, 140},
    MonsterPlacement{61, 30, 4, 2976, 172},
    MonsterPlacement{61, 30, 7, 3616, 204},
    MonsterPlacement{61, 31, 14, 3040, 172},
};
// clang-format on
