// The framework's MT19937 against the standard library's engine: the same
// state must give the same words, through both regenerations.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <sstream>

#include "core/random.h"

namespace {

// The state the seeding fills: for each word, the upper halves of two
// successive x, with x = x * 69069 + 1.
void SeedWords(std::uint32_t seed, std::uint32_t* words) {
    std::uint32_t x = seed;
    for (int i = 0; i < kRandomStateWords; ++i) {
        std::uint32_t hi = x >> 16;
        x = x * 69069u + 1u;
        std::uint32_t lo = x >> 16;
        x = x * 69069u + 1u;
        words[i] = hi << 16 | lo;
    }
}

std::mt19937 EngineFrom(const std::uint32_t* words) {
    std::stringstream text;
    for (int i = 0; i < kRandomStateWords; ++i) text << words[i] << ' ';
    std::mt19937 engine;
    text >> engine;
    return engine;
}

TEST(Random, SeedingMatchesTheStandardEngine) {
    for (std::uint32_t seed : {0u, 1u, 4357u, 0xDEADBEEFu}) {
        std::uint32_t words[kRandomStateWords];
        SeedWords(seed, words);
        std::mt19937 engine = EngineFrom(words);
        SeedRandom(seed);
        EXPECT_EQ(g_RandomState.ready, 1);
        EXPECT_EQ(g_RandomState.index, 0);
        for (int i = 0; i < kRandomStateWords; ++i) ASSERT_EQ(g_RandomState.output[i], engine()) << seed << " " << i;
        // The next block from the next regeneration.
        RegenerateRandom();
        for (int i = 0; i < kRandomStateWords; ++i) ASSERT_EQ(g_RandomState.output[i], engine()) << seed << " " << i;
    }
}

TEST(Random, BothRegenerationsGiveTheSameWords) {
    SeedRandom(20240607u);
    for (int round = 0; round < 3; ++round) {
        RandomState saved = g_RandomState;
        RegenerateRandom();
        RandomState plain = g_RandomState;
        g_RandomState = saved;
        RegenerateRandomMmx();
        EXPECT_EQ(std::memcmp(plain.state, g_RandomState.state, sizeof plain.state), 0) << round;
        EXPECT_EQ(std::memcmp(plain.output, g_RandomState.output, sizeof plain.output), 0) << round;
    }
}

TEST(Random, SeedRecordsTheMmxFlag) {
    SeedRandom(5);
    EXPECT_EQ(g_RandomState.mmx, HasMmx());
}

}  // namespace
