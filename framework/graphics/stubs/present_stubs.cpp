// Stand-ins for presenting until it is built. Nothing can be presented. The
// screens always bind; a graphic binds when it is valid and has storage, as
// the real binding needs its first surface.
#include "graphics/graph_record.h"
#include "graphics/present.h"

int PresentScreen() { return -1; }
int PresentToWindow() { return -1; }
MEMIMG* GetDrawTargetMemImg() { return nullptr; }
int GetScreenRectOnPrimary(RECT* out) {
    if (out != nullptr) *out = RECT{0, 0, 640, 480};
    return 0;
}
int PullWindowToMemImgScreen() { return 0; }

int BindDrawTargetSurface(HandleId newTarget, HandleId /*oldTarget*/) {
    if (newTarget == kBackScreenTarget || newTarget == kFrontScreenTarget) return 0;
    const GraphRecord* graph = LookupGraph(newTarget);
    return graph != nullptr && graph->storageCount > 0 ? 0 : -1;
}
