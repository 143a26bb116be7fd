// The framework's Mersenne Twister (MT19937), seeded once at window start.
// Nothing draws from it: the game has its own generator.
#pragma once

#include <cstdint>

constexpr int kRandomStateWords = 624;

struct RandomState {
    std::uint32_t state[kRandomStateWords];
    std::uint32_t output[kRandomStateWords];  // the tempered words of the last regeneration
    int index;                                // next output word to read
    int ready;
    int mmx;                                  // regenerate through the two-lane routine
};

extern RandomState g_RandomState;

// Fills the state from `seed` in the 69069 style (two steps per word, the
// upper halves of x), then regenerates.
void SeedRandom(std::uint32_t seed);
// The standard MT19937 step over all 624 words, then tempering into `output`.
void RegenerateRandom();
// The same results, computed two words at a time in 64-bit lanes.
void RegenerateRandomMmx();
int HasMmx();  // 1 when the processor reports MMX
