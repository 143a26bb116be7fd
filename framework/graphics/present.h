// Presenting the screen and binding the draw target to its surface.
#pragma once

#include "graphics/handle.h"

// Points the drawing paths at the new target's surface or software image:
// the back screen (-2), the front screen (-4) or a graphic. 0 or -1.
int BindDrawTargetSurface(HandleId newTarget, HandleId oldTarget);
