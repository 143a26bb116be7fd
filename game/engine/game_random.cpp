#include "engine/game_random.h"

namespace {

std::uint32_t g_RandState = 1;

}  // namespace

int GameRand() {
    // A 32-bit linear congruential step; the wrap-around is the generator's.
    g_RandState = g_RandState * 214013u + 2531011u;
    return static_cast<int>((g_RandState >> 16) & 0x7FFFu);
}

void ResetGameRand() { g_RandState = 1; }

std::uint32_t GameRandState() { return g_RandState; }
