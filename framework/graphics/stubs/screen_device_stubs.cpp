// Stand-ins until the screen device is built: a 640 x 480, 16-bit screen
// setting and no DirectDraw object.
#include "graphics/stubs/screen_device_stubs.h"

namespace {
int g_vblankWait = 1;
}

int SetVBlankWait(int flag) {
    g_vblankWait = flag;
    return 0;
}
int GetVBlankWait() { return g_vblankWait; }
const void* GetScreenPixelFormatBlock() { return nullptr; }
int ChangeRenderingMode(int) { return 0; }
int GetDisable3DFlag() { return 0; }
int SetScreenSurfaceModeFlag(int) { return 0; }
int GetGdiSurfaceMode() { return 0; }
int QueryScreenSize(int* width, int* height) {
    if (width != nullptr) *width = 640;
    if (height != nullptr) *height = 480;
    return 0;
}
int GetScreenColorDepth() { return 16; }
int IsDirectDrawInUse() { return 1; }
int HasDirectDrawObject() { return 0; }
int IsDisplayModeChanged() { return 0; }
int ReleaseDirectDrawObject() { return 0; }
int ApplyScreenMode() { return 0; }
int SetupScreenColorFormat() { return 0; }
int PresentScreen() { return -1; }
int PresentToWindow() { return -1; }
int RestoreLostSurfaces() { return 0; }
int RestoreLostSurface3DData() { return 0; }
