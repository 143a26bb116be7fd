#include <gtest/gtest.h>

#include "engine/game_random.h"

TEST(GameRandom, StartsWithTheOriginalPlatformSequence) {
    ResetGameRand();
    const int expected[] = {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358, 26962, 24464};
    for (int value : expected) EXPECT_EQ(GameRand(), value);
}

TEST(GameRandom, StaysWithinFifteenBitsAndResetsToTheStart) {
    ResetGameRand();
    int lowest = kGameRandMax, highest = 0;
    for (int i = 0; i < 200000; ++i) {
        int value = GameRand();
        lowest = std::min(lowest, value);
        highest = std::max(highest, value);
    }
    EXPECT_GE(lowest, 0);
    EXPECT_EQ(highest, kGameRandMax);
    ResetGameRand();
    EXPECT_EQ(GameRand(), 41);
}
