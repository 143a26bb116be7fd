// Stand-ins for the screen device until it is built: no DirectDraw object,
// the default 640 x 480 x 16 screen, nothing held as software images.
#include "graphics/screen_device.h"

namespace {
int g_disable3D = 0;
}

int QueryScreenSize(int* width, int* height) {
    if (width) *width = 640;
    if (height) *height = 480;
    return 0;
}

int GetScreenColorDepth() { return 16; }
int IsScreenMemImg() { return 0; }
int IsDirectDrawInUse() { return 1; }
int HasDirectDrawObject() { return 0; }

int SetDisable3DFlag(int flag) {
    g_disable3D = flag;
    return 0;
}

int GetDisable3DFlag() { return g_disable3D; }
int GetScreenSurfaceModeFlag() { return 0; }
