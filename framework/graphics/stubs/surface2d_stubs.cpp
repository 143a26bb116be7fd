// Stand-ins for 2D surfaces until they are built: no DirectDraw, so no
// surface can be made or deleted.
#include "graphics/surface2d.h"

int AttachNewSurface2D(GraphRecord*) { return -1; }
int DeleteGraphSurface2Ds(GraphRecord*) { return -1; }
