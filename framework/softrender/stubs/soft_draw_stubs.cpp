// Stand-in until the renderer's free-corner draw is built: it draws nothing
// and fails.
#include "softrender/stubs/soft_draw_stubs.h"

int SoftDrawFourCornerF(float, float, float, float, float, float, float, float, const GraphRecord*, int) { return -1; }
