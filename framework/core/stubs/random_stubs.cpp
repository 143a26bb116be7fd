// Stand-in until the utilities land: nothing draws from the generator yet.
#include "core/stubs/random_stubs.h"

void SeedRandom(std::uint32_t) {}
