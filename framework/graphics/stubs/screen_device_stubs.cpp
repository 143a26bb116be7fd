// Stand-ins for the screen device until it is built: a 640 x 480, 16-bit
// screen setting, no DirectDraw object, nothing held as software images.
#include "graphics/screen_device.h"

namespace {
int g_vblankWait = 1;
int g_disable3D = 0;
int g_screenSurfaceMode = 0;
}  // namespace

int SetVBlankWait(int flag) {
    g_vblankWait = flag;
    return 0;
}
int GetVBlankWait() { return g_vblankWait; }
const void* GetScreenPixelFormatBlock() { return nullptr; }
int ChangeRenderingMode(int) { return 0; }
int QueryScreenSize(int* width, int* height) {
    if (width != nullptr) *width = 640;
    if (height != nullptr) *height = 480;
    return 0;
}
int GetScreenColorDepth() { return 16; }
int IsScreenMemImg() { return 0; }
int IsDirectDrawInUse() { return 1; }
int HasDirectDrawObject() { return 0; }
int IsDisplayModeChanged() { return 0; }
int ReleaseDirectDrawObject() { return 0; }
int ApplyScreenMode() { return 0; }
int SetupScreenColorFormat() { return 0; }
int SetDisable3DFlag(int flag) {
    g_disable3D = flag;
    return 0;
}
int GetDisable3DFlag() { return g_disable3D; }
int SetScreenSurfaceModeFlag(int flag) {
    g_screenSurfaceMode = flag;
    return 0;
}
int GetScreenSurfaceModeFlag() { return g_screenSurfaceMode; }
int GetGdiSurfaceMode() { return 0; }
D_IDirectDraw7* GetDirectDrawObject() { return nullptr; }
int RestoreLostMainSurfaces() { return 0; }
D_IDirectDrawSurface7* GetDrawTargetSurface() { return nullptr; }
