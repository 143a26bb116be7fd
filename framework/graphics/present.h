// Presenting the screen and binding the draw target to its surface.
#pragma once

#include "graphics/handle.h"
#include "platform/types.h"

struct MEMIMG;

int PresentScreen();
int PresentToWindow();
// Points the drawing paths at the new target's surface or software image:
// the back screen (-2), the front screen (-4) or a graphic. 0 or -1.
int BindDrawTargetSurface(HandleId newTarget, HandleId oldTarget);
// The software image of the current draw target (a screen image while the
// screen is held as software images, or a graphic's); null when none.
MEMIMG* GetDrawTargetMemImg();
// (0, 0, width, height) of the screen, moved to the window's client origin
// on the primary unless screen-surface mode is on.
int GetScreenRectOnPrimary(RECT* out);
// Copies the window's contents into the front screen image when a present
// has written the window since the last pull. 0 or -1.
int PullWindowToMemImgScreen();
