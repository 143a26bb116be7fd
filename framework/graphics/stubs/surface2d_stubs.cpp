// Stand-ins for 2D surfaces until they are built: no DirectDraw, so no
// surface can be made or deleted.
#include "graphics/graph_record.h"
#include "graphics/present.h"
#include "graphics/surface2d.h"

int AttachNewSurface2D(GraphRecord*) { return -1; }
int DeleteGraphSurface2Ds(GraphRecord*) { return -1; }
int RestoreLostSurfaces() { return 0; }

int DeleteAllSurface2D() { return 0; }
int ReleaseAllSurface2DSurfaces() { return 0; }
int RecreateAllSurface2DSurfaces() { return 0; }

// Until 2D surfaces exist a graphic target binds with nothing to draw into.
int GetGraphTargetStorage(const GraphRecord* graph, DrawTargetBinding* binding) {
    *binding = DrawTargetBinding{};
    return graph->storageCount > 0 ? 0 : -1;
}
