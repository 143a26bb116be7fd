// The framework's random generator, seeded by the window system at start-up.
// Declared here until the utilities land.
#pragma once

#include <cstdint>

void SeedRandom(std::uint32_t seed);
