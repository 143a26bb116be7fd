// Stand-in for graphic loading until it is built: nothing can be reloaded.
#include "graphics/graph_load.h"

void DefaultGraphReloadHandler() {}
