// Stand-in until colour formats are built: every colour is 0.
#include "graphics/stubs/color_stubs.h"

std::uint32_t MakeColorCode(int, int, int) { return 0; }
