// The screen device, presenting and the restore of lost surfaces, as
// start-up, the public entries and the window procedure call them. Declared
// here until the graphics issues build them.
#pragma once

int SetVBlankWait(int flag);
int GetVBlankWait();
const void* GetScreenPixelFormatBlock();
int ChangeRenderingMode(int hardware);
int GetDisable3DFlag();
int SetScreenSurfaceModeFlag(int flag);
int GetGdiSurfaceMode();
int QueryScreenSize(int* width, int* height);
int GetScreenColorDepth();
int IsDirectDrawInUse();     // 1 unless software-only
int HasDirectDrawObject();   // 1 while the DirectDraw object exists
int IsDisplayModeChanged();
int ReleaseDirectDrawObject();
int ApplyScreenMode();       // the screen device's part of a window-mode change
int SetupScreenColorFormat();
int PresentScreen();
int PresentToWindow();
int RestoreLostSurfaces();      // 2D surfaces
int RestoreLostSurface3DData(); // texture tiles
