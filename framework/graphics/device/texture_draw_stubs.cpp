// Stand-ins until the Direct3D layer draws: no texture graphic exists while
// it is down, so these are never reached with one.
#include "graphics/device/texture_draw_stubs.h"

int TextureBlitGraph(int, int, const GraphRecord*, int, int) { return -1; }
int TextureStretchBlitGraph(int, int, int, int, const GraphRecord*, int) { return -1; }
int TextureRotateBlitGraph(float, float, double, double, const GraphRecord*, int, int) { return -1; }
int FillBox3D(int, int, int, int, std::uint32_t) { return -1; }
int TextureFourCornerBlitGraphF(float, float, float, float, float, float, float, float, const GraphRecord*, int) {
    return -1;
}
int FrameBox3D(int, int, int, int, std::uint32_t) { return -1; }
int ClearTextureDrawTarget() { return 0; }
int CaptureScreenToGraphTextures(int, int, int, int, GraphRecord*, int) { return -1; }
