// Untextured primitives on the Direct3D road (filled boxes and outlines),
// and clearing a texture draw target.
#include "core/rect.h"
#include "core/system_state.h"
#include "graphics/d3d/d3d_device.h"
#include "graphics/d3d/d3d_texture_draw.h"
#include "graphics/device/surface_data.h"
#include "graphics/draw/draw_state.h"
#include "graphics/draw/graph_record.h"
#include "graphics/draw/soft_bridge.h"
#include "graphics/image/color_format.h"

namespace {

// The box colour: the colour code's channels scaled by the draw colour
// word's, with its alpha.
std::uint32_t BoxColor(std::uint32_t colorCode) {
    int r = 0, g = 0, b = 0;
    SplitColorCode(colorCode, &r, &g, &b);
    const std::uint32_t draw = g_Direct3D.drawColor;
    auto scale = [](int channel, std::uint32_t by) { return static_cast<std::uint32_t>(channel) * (by & 0xFF) / 255; };
    return (draw & 0xFF000000u) | scale(r, draw >> 16) << 16 | scale(g, draw >> 8) << 8 | scale(b, draw);
}

// Opens the scene and sets the untextured state. The device, or null when
// it is down.
Device3DRecord* BeginPrimitive() {
    Device3DRecord* r = CurrentDevice3D();
    if (g_Direct3D.direct3D == nullptr || r == nullptr || r->device == nullptr) return nullptr;
    const int handle = g_Direct3D.currentDevice;
    BeginSceneForDevice(handle);
    SetDeviceTexture(handle, nullptr);
    PrepareDeviceDrawState(nullptr, kPrepDrawStateZ);
    return r;
}

// Boxes on the front screen are shown at once.
void EndPrimitive() {
    if (g_Direct3D.mainSurfaceIsTarget) EndSceneForDevice(g_Direct3D.currentDevice);
}

}  // namespace

int FillBox3D(int x1, int y1, int x2, int y2, std::uint32_t colorCode) {
    if (g_Direct3D.direct3D == nullptr) return -1;
    if (g_Direct3D.suppressed3D) return SoftDrawFilledBox(x1, y1, x2, y2, colorCode);
    RECT box{x1, y1, x2, y2};
    NormalizeRect(&box);
    ClipRectToRect(&box, &g_DrawState.drawArea);
    if (box.left >= box.right || box.top >= box.bottom) return 0;
    Device3DRecord* r = BeginPrimitive();
    if (r == nullptr) return -1;
    const float ox = static_cast<float>(g_DrawState.drawTargetRect.left);
    const float oy = static_cast<float>(g_DrawState.drawTargetRect.top);
    const float l = static_cast<float>(box.left) + ox, t = static_cast<float>(box.top) + oy;
    const float rt = static_cast<float>(box.right) + ox, b = static_cast<float>(box.bottom) + oy;
    const QuadCorner c[4] = {{l, t, 0, 0}, {rt, t, 0, 0}, {l, b, 0, 0}, {rt, b, 0, 0}};
    AppendQuad(*r, c, BoxColor(colorCode));
    EndPrimitive();
    return 0;
}

int FrameBox3D(int x1, int y1, int x2, int y2, std::uint32_t colorCode) {
    if (g_Direct3D.direct3D == nullptr) return -1;
    if (g_Direct3D.suppressed3D) return SoftDrawBoxOutline(x1, y1, x2, y2, colorCode);
    // Each axis is put in order on its own; a box without width or height
    // has no outline.
    RECT box{x1, y1, x2, y2};
    NormalizeRect(&box);
    if (box.right <= box.left || box.bottom <= box.top) return 0;
    Device3DRecord* r = BeginPrimitive();
    if (r == nullptr) return -1;
    const std::uint32_t color = BoxColor(colorCode);
    const float z = g_DrawState.drawZ;
    const float L = static_cast<float>(box.left + g_DrawState.drawTargetRect.left);
    const float T = static_cast<float>(box.top + g_DrawState.drawTargetRect.top);
    const float R = static_cast<float>(box.right - 1 + g_DrawState.drawTargetRect.left);
    const float B = static_cast<float>(box.bottom - 1 + g_DrawState.drawTargetRect.top);
    // Top, right, bottom and left, each line drawn with both ends; the ends
    // are placed so that each pixel of the outline is drawn once. Those
    // ends need a box at least two pixels wide and high: one pixel wide or
    // high, the outline is one column or row (a 1 x 1 box one pixel), and
    // two high, the left side has no pixel of its own.
    float ends[8][2] = {{L, T}, {R - 0.1f, T}, {R, T}, {R, B - 1}, {L, B}, {R + 0.9f, B}, {L, T + 1}, {L, B - 1}};
    int count = B - T >= 2 ? 8 : 6;
    if (L == R || T == B) {
        ends[0][0] = L;
        ends[0][1] = T;
        ends[1][0] = R;
        ends[1][1] = B;
        count = 2;
    }
    auto* v = static_cast<Vertex20*>(ReserveBatch(*r, D_D3DPT_LINELIST, count));
    for (int i = 0; i < count; ++i) v[i] = Vertex20{ends[i][0], ends[i][1], z, 1.0f, color};
    r->pendingCount += count;
    EndPrimitive();
    return 0;
}

int ClearTextureDrawTarget() {
    if (g_Direct3D.direct3D == nullptr) return -1;
    const HandleId target = g_DrawState.drawTarget;
    if (g_Direct3D.suppressed3D || target == kBackScreenTarget || target == kFrontScreenTarget || target == -3)
        return 0;
    const GraphRecord* graph = LookupGraph(target);
    if (graph == nullptr || !graph->textureGraph || graph->storageCount < 1) return 0;
    FlushDeviceVertices();
    EndDeviceScene();
    const SurfaceDataRecord* data = TileTexture(graph->storageHandles[0], nullptr);
    if (data == nullptr) return -1;
    if (data->zBufferSurface != nullptr) {
        D_DDBLTFX fx{};
        fx.dwSize = sizeof(fx);
        fx.dwFillDepth = 0xFFFF;
        data->zBufferSurface->Blt(nullptr, nullptr, nullptr, D_DDBLT_DEPTHFILL | D_DDBLT_WAIT, &fx);
    }
    const ColorFormatDesc* format = GetTextureColorFormat(static_cast<int>(data->kind));
    if (format == nullptr) return -1;
    const SystemState& s = g_SystemState;
    D_DDBLTFX fx{};
    fx.dwSize = sizeof(fx);
    fx.dwFillColor = ComposePixel(format, s.backgroundRed, s.backgroundGreen, s.backgroundBlue, 255);
    RECT whole{0, 0, data->width, data->height};
    data->surface->Blt(&whole, nullptr, nullptr, D_DDBLT_COLORFILL | D_DDBLT_WAIT, &fx);
    return 0;
}
