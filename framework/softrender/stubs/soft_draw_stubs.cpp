// Stand-ins until the renderer's rotated and free-corner draws are built:
// they draw nothing and fail.
#include "softrender/stubs/soft_draw_stubs.h"

int SoftDrawRotate(float, float, double, double, const GraphRecord*, int, int) { return -1; }
int SoftDrawFourCornerF(float, float, float, float, float, float, float, float, const GraphRecord*, int) { return -1; }
