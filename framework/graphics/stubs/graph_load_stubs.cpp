// Stand-ins until graphic loading and the graphics device are built: the
// device starts (so the framework can run without graphics), nothing loads
// and nothing can be reloaded.
#include "graphics/graph_load.h"

int LoadImageToGraph(const char*, int) { return -1; }
int LoadImageToDivGraphs(const char*, int, int, int, int, int, int*, int) { return -1; }
int RestoreAllGraphs() { return 0; }
int RecoverGraphicsAfterDeviceLoss() { return 0; }
int MakeDrawableGraph(int, int) { return -1; }
int MakeScreenClearGraph(int, int) { return -1; }
void DefaultGraphReloadHandler() {}
