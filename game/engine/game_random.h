// The game's random numbers: its own copy of the original platform's C library
// generator, so that every run draws the same sequence on every system (the
// C library here has a different one). One sequence is shared by monster
// placement, movement, behaviour and the heal skill; the order of the draws is
// part of the game's behaviour.
#pragma once

#include <cstdint>

constexpr int kGameRandMax = 0x7FFF;

// The next number, 0 to kGameRandMax. The state starts at 1 and the game never
// reseeds it: the first values are 41, 18467, 6334, 26500, ...
int GameRand();

// Back to the start-of-run state. Only tests call this: the game itself runs
// one sequence from start to end.
void ResetGameRand();
std::uint32_t GameRandState();
