// Stand-in for binding the draw target until presenting is built. The
// screens always bind; a graphic binds when it is valid and has storage,
// as the real binding needs its first surface.
#include "graphics/graph_record.h"
#include "graphics/present.h"

int BindDrawTargetSurface(HandleId newTarget, HandleId /*oldTarget*/) {
    if (newTarget == kBackScreenTarget || newTarget == kFrontScreenTarget) return 0;
    const GraphRecord* graph = LookupGraph(newTarget);
    return graph != nullptr && graph->storageCount > 0 ? 0 : -1;
}
