// The DirectDraw screen device: the display mode, the output surfaces and
// the flags that decide how everything is drawn and presented.
#pragma once

struct D_IDirectDraw7;
struct D_IDirectDrawSurface7;

int SetVBlankWait(int flag);
int GetVBlankWait();
const void* GetScreenPixelFormatBlock();
int ChangeRenderingMode(int hardware);
// Screen size; 640 x 480 while none is set. Null pointers are skipped.
int QueryScreenSize(int* width, int* height);
// The colour depth asked for; 16 while none is set.
int GetScreenColorDepth();
// 1 while the screen is held as software images (`MEMIMG`).
int IsScreenMemImg();
// 1 unless the framework runs in software-only mode.
int IsDirectDrawInUse();
// 1 once the DirectDraw object exists; some settings act only before that.
int HasDirectDrawObject();
int IsDisplayModeChanged();
int ReleaseDirectDrawObject();
// The screen device's part of a window-mode change.
int ApplyScreenMode();
int SetupScreenColorFormat();
// Disable-3D flag: no Direct3D device is started when it is set.
int SetDisable3DFlag(int flag);
int GetDisable3DFlag();
// Screen-surface mode: front-screen drawing goes to a screen-sized surface
// that is copied to the window. Set only before the DirectDraw object exists.
int SetScreenSurfaceModeFlag(int flag);
int GetScreenSurfaceModeFlag();
int GetGdiSurfaceMode();
// The DirectDraw object; null when none exists.
D_IDirectDraw7* GetDirectDrawObject();
// Restores the primary, back and work surfaces that report themselves lost. 0 or -1.
int RestoreLostMainSurfaces();
// The surface the current draw target lives in (back or front screen, or a
// graphic's); null when none.
D_IDirectDrawSurface7* GetDrawTargetSurface();
