// Stand-in declaration of the screen's colour code until colour formats are
// built; the real one replaces this header and color_stubs.cpp.
#pragma once

#include <cstdint>

// r, g, b as a pixel value of the screen's format.
std::uint32_t MakeColorCode(int r, int g, int b);
