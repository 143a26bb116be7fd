// Stand-in until the triangle draw is built: the mirrored rotated draw
// draws nothing.
#include "softrender/triangle_memimg.h"

void DrawQuadMemImg(MEMIMG*, const MEMIMG*, const std::int32_t*, int, const MEMIMG*, const SoftDrawSettings&) {}
