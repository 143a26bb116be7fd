// Stand-ins until the renderer's scaled and free-corner draws are built: they
// draw nothing and fail.
#include "softrender/stubs/soft_draw_stubs.h"

int SoftDrawExtend(int, int, int, int, const GraphRecord*, int, int) { return -1; }
int SoftDrawFourCornerF(float, float, float, float, float, float, float, float, const GraphRecord*, int) { return -1; }
