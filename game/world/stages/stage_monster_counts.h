// How many placement calls each stage makes per monster kind, in the order
// of kinds. Stages not listed place no monsters: exactly the shop towns.
#pragma once

#include <array>

#include "world/stages/stage_table.h"

// clang-format off
inline constexpr std::array kStageMonsterCounts = {
    StageMonsterCount{2, 10, 4}, StageMonsterCount{2, 11, 7}, StageMonsterCount{2, 12, 3}, StageMonsterCount{2, 13, 1},
    StageMonsterCount{3, 10, 4}, StageMonsterCount{3, 11, 4}, StageMonsterCount{3, 12, 4}, StageMonsterCount{3, 13, 3}, StageMonsterCount{3, 28, 2},
    StageMonsterCount{4, 12, 5}, StageMonsterCount{4, 13, 5}, StageMonsterCount{4, 14, 3},
    StageMonsterCount{5, 13, 5}, StageMonsterCount{5, 14, 5}, StageMonsterCount{5, 28, 6},
    StageMonsterCount{6, 14, 2}, StageMonsterCount{6, 28, 9},
    StageMonsterCount{7, 13, 3}, StageMonsterCount{7, 14, 5}, StageMonsterCount{7, 15, 3}, StageMonsterCount{7, 28, 4},
    StageMonsterCount{9, 14, 5}, StageMonsterCount{9, 15, 4}, StageMonsterCount{9, 17, 3},
    StageMonsterCount{10, 3, 1}, StageMonsterCount{10, 17, 5},
    StageMonsterCount{11, 14, 4}, StageMonsterCount{11, 15, 5}, StageMonsterCount{11, 16, 3}, StageMonsterCount{11, 28, 4},
    StageMonsterCount{12, 14, 3}, StageMonsterCount{12, 15, 5}, StageMonsterCount{12, 16, 5}, StageMonsterCount{12, 18, 2},
    StageMonsterCount{13, 15, 2}, StageMonsterCount{13, 16, 3}, StageMonsterCount{13, 18, 2},
    StageMonsterCount{15, 4, 1}, StageMonsterCount{15, 13, 10},
    StageMonsterCount{17, 18, 2},
    StageMonsterCount{18, 10, 4}, StageMonsterCount{18, 11, 7}, StageMonsterCount{18, 12, 3}, StageMonsterCount{18, 13, 2},
    StageMonsterCount{19, 10, 4}, StageMonsterCount{19, 11, 3}, StageMonsterCount{19, 12, 3}, StageMonsterCount{19, 13, 2}, StageMonsterCount{19, 14, 2}, StageMonsterCount{19, 18, 1}, StageMonsterCount{19, 28, 2},
    StageMonsterCount{20, 17, 5}, StageMonsterCount{20, 18, 6},
    StageMonsterCount{21, 17, 4}, StageMonsterCount{21, 18, 5}, StageMonsterCount{21, 19, 3},
    StageMonsterCount{22, 18, 4}, StageMonsterCount{22, 19, 5}, StageMonsterCount{22, 20, 3},
    StageMonsterCount{23, 18, 4}, StageMonsterCount{23, 19, 14},
    StageMonsterCount{24, 8, 3}, StageMonsterCount{24, 18, 3}, StageMonsterCount{24, 19, 4}, StageMonsterCount{24, 20, 4},
    StageMonsterCount{26, 8, 6}, StageMonsterCount{26, 19, 4}, StageMonsterCount{26, 20, 4},
    StageMonsterCount{27, 8, 4}, StageMonsterCount{27, 20, 4},
    StageMonsterCount{28, 8, 4}, StageMonsterCount{28, 19, 4}, StageMonsterCount{28, 20, 4}, StageMonsterCount{28, 29, 5},
    StageMonsterCount{29, 8, 3}, StageMonsterCount{29, 29, 12},
    StageMonsterCount{30, 8, 2}, StageMonsterCount{30, 19, 2}, StageMonsterCount{30, 20, 4}, StageMonsterCount{30, 24, 4}, StageMonsterCount{30, 29, 6},
    StageMonsterCount{32, 5, 1}, StageMonsterCount{32, 24, 4},
    StageMonsterCount{33, 16, 4}, StageMonsterCount{33, 19, 7}, StageMonsterCount{33, 24, 4},
    StageMonsterCount{35, 19, 7}, StageMonsterCount{35, 21, 3}, StageMonsterCount{35, 24, 6},
    StageMonsterCount{36, 19, 5}, StageMonsterCount{36, 21, 7}, StageMonsterCount{36, 22, 2}, StageMonsterCount{36, 24, 4},
    StageMonsterCount{37, 21, 8}, StageMonsterCount{37, 22, 5}, StageMonsterCount{37, 24, 4},
    StageMonsterCount{38, 6, 5}, StageMonsterCount{38, 21, 7}, StageMonsterCount{38, 22, 5},
    StageMonsterCount{39, 6, 6}, StageMonsterCount{39, 21, 5}, StageMonsterCount{39, 22, 5},
    StageMonsterCount{41, 6, 5},
    StageMonsterCount{42, 6, 4}, StageMonsterCount{42, 21, 3}, StageMonsterCount{42, 22, 7}, StageMonsterCount{42, 23, 3},
    StageMonsterCount{43, 21, 3}, StageMonsterCount{43, 22, 7}, StageMonsterCount{43, 23, 8},
    StageMonsterCount{44, 22, 5}, StageMonsterCount{44, 23, 7}, StageMonsterCount{44, 25, 4},
    StageMonsterCount{45, 19, 5}, StageMonsterCount{45, 22, 5}, StageMonsterCount{45, 23, 6}, StageMonsterCount{45, 25, 3},
    StageMonsterCount{47, 2, 1}, StageMonsterCount{47, 6, 5}, StageMonsterCount{47, 25, 5},
    StageMonsterCount{48, 10, 4}, StageMonsterCount{48, 19, 4}, StageMonsterCount{48, 20, 4}, StageMonsterCount{48, 25, 3}, StageMonsterCount{48, 28, 2},
    StageMonsterCount{49, 10, 4}, StageMonsterCount{49, 19, 4}, StageMonsterCount{49, 20, 4}, StageMonsterCount{49, 25, 4}, StageMonsterCount{49, 26, 3},
    StageMonsterCount{50, 20, 8}, StageMonsterCount{50, 26, 7},
    StageMonsterCount{51, 0, 2}, StageMonsterCount{51, 20, 4}, StageMonsterCount{51, 25, 3}, StageMonsterCount{51, 26, 5},
    StageMonsterCount{52, 0, 5}, StageMonsterCount{52, 9, 2}, StageMonsterCount{52, 25, 3}, StageMonsterCount{52, 26, 4},
    StageMonsterCount{53, 0, 4}, StageMonsterCount{53, 9, 2}, StageMonsterCount{53, 26, 3}, StageMonsterCount{53, 27, 3},
    StageMonsterCount{55, 0, 4}, StageMonsterCount{55, 1, 1},
    StageMonsterCount{56, 0, 3}, StageMonsterCount{56, 7, 2}, StageMonsterCount{56, 9, 1}, StageMonsterCount{56, 26, 3}, StageMonsterCount{56, 27, 6},
    StageMonsterCount{57, 0, 5}, StageMonsterCount{57, 1, 3}, StageMonsterCount{57, 26, 4}, StageMonsterCount{57, 27, 5},
    StageMonsterCount{58, 0, 3}, StageMonsterCount{58, 1, 6}, StageMonsterCount{58, 7, 3}, StageMonsterCount{58, 9, 1}, StageMonsterCount{58, 27, 5},
    StageMonsterCount{59, 0, 3}, StageMonsterCount{59, 1, 5}, StageMonsterCount{59, 26, 2}, StageMonsterCount{59, 27, 5}, StageMonsterCount{59, 30, 3},
    StageMonsterCount{61, 30, 9}, StageMonsterCount{61, 31, 1},
};
// clang-format on
