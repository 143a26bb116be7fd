// Stand-ins until the renderer's scaled draw is built: it draws
// nothing and fails.
#include "softrender/stubs/soft_draw_stubs.h"

int SoftDrawExtend(int, int, int, int, const GraphRecord*, int, int) { return -1; }
