// EXP needed to leave each level. Entry 0 is never used: levels start at 1.
// The table ends at entry 89, so the level stops at 89.
#pragma once

#include <cstdint>

constexpr int kExpTableSize = 90;
constexpr std::int32_t kMaxLevel = kExpTableSize - 1;

inline constexpr std::int32_t ExpTable[kExpTableSize] = {
    0,        50,       100,      150,      200,      300,      400,       500,       700,       1000,
    1300,     1600,     2000,     2500,     3000,     3500,     4000,      4500,      5000,      5500,
    6000,     6600,     7200,     8000,     9000,     10000,    11000,     12000,     13000,     14000,
    15000,    16000,    18000,    20000,    22000,    24000,    27000,     30000,     35000,     40000,
    45000,    50000,    60000,    70000,    80000,    90000,    100000,    120000,    140000,    160000,
    180000,   200000,   230000,   260000,   300000,   350000,   400000,    500000,    600000,    700000,
    800000,   1000000,  1300000,  1600000,  2000000,  2500000,  3000000,   4000000,   5000000,   6000000,
    8000000,  10000000, 12000000, 14000000, 16000000, 18000000, 20000000,  30000000,  40000000,  50000000,
    100000000, 100000000, 100000000, 100000000, 100000000, 100000000, 100000000, 100000000, 100000000,
    1215752192,
};

// ExpTable[level] for a level of 1 to 89; a level outside the table reads the
// nearest end, so no caller can read past it.
constexpr std::int32_t ExpToLeaveLevel(std::int32_t level) {
    if (level < 1) level = 1;
    if (level > kMaxLevel) level = kMaxLevel;
    return ExpTable[level];
}
