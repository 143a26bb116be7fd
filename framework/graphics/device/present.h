// Presenting the screen, pacing presents to the vertical blank, binding the
// draw target to its surface or software image, and clearing it.
#pragma once

#include <cstdint>

#include "core/handle.h"
#include "graphics/image/memimg.h"
#include "platform/ddraw.h"
#include "platform/window.h"

// Where drawing on the current target goes.
struct DrawTargetBinding {
    D_IDirectDrawSurface7* surface;  // null when the target is held as a software image
    MEMIMG* image;                   // the target's software image, or null
    MEMIMG* zImage;                  // its Z-buffer image, or null
    D_IDirectDrawSurface7* zSurface; // its Z-buffer surface, or null
    int offsetX, offsetY;            // the target's place inside its surface
    int videoMemory;                 // the surface lies in video memory
};

extern DrawTargetBinding g_DrawTargetBinding;

int PresentScreen();
int PresentToWindow();
void WaitVBlankPaced();
int WaitVerticalBlankLoop(int count);
std::uint64_t GetPresentCount();
// Points the drawing paths at the new target's surface or software image:
// the back screen (-2), the front screen (-4) or a graphic. 0 or -1.
int BindDrawTargetSurface(HandleId newTarget, HandleId oldTarget);
// Fills the draw target with the background colour. 0 or -1.
int ClearDrawTargetPixels();
void PullWindowToBackSurface();
void PushBackSurfaceToWindow();
void WindowRefreshTimerProc(HWND window, UINT message, UINT_PTR id, DWORD time);
void GetScreenRectOnPrimary(RECT* rect);
int PullWindowToMemImgScreen();
int PushMemImgScreenToWindow(const RECT& rect);
