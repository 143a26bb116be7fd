// The DirectDraw screen device: the display mode, the output surfaces and
// the flags that decide how everything is drawn and presented.
#pragma once

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
// Disable-3D flag: no Direct3D device is started when it is set.
int SetDisable3DFlag(int flag);
int GetDisable3DFlag();
// 1 in screen-surface mode: front-screen drawing goes to a screen-sized
// surface that is copied to the window.
int GetScreenSurfaceModeFlag();
