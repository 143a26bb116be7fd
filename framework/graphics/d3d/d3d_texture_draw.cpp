// Textured draws of texture graphics: at a point, stretched between two
// corners (mirrored when they are swapped) and rotated. Each tile of the
// graphic becomes one quad in the vertex batch.
#include <algorithm>
#include <cmath>

#include "graphics/d3d/d3d_device.h"
#include "graphics/d3d/d3d_texture_draw.h"
#include "graphics/device/surface_data.h"
#include "graphics/draw/draw_state.h"
#include "graphics/draw/graph_record.h"

namespace {

// Moves the corners of an axis-aligned quad into the area, each texture
// coordinate by the distance times its own rate across the quad, so that
// stretched and mirrored quads keep their mapping. False when nothing of
// the quad is left.
bool ClampQuad(QuadCorner c[4], const DrawRectF& area) {
    const float dx = c[1].x - c[0].x, dy = c[2].y - c[0].y;
    if (dx == 0.0f || dy == 0.0f) return false;
    const float uPerX = (c[1].u - c[0].u) / dx, vPerY = (c[2].v - c[0].v) / dy;
    for (int i = 0; i < 4; ++i) {
        const float x = std::clamp(c[i].x, area.left, area.right);
        const float y = std::clamp(c[i].y, area.top, area.bottom);
        c[i].u += (x - c[i].x) * uPerX;
        c[i].v += (y - c[i].y) * vPerY;
        c[i].x = x;
        c[i].y = y;
    }
    return c[1].x != c[0].x && c[2].y != c[0].y;
}

// The draw area on the target, as the clamp uses it.
DrawRectF TargetArea() {
    const DrawState& s = g_DrawState;
    const float ox = static_cast<float>(s.drawTargetRect.left), oy = static_cast<float>(s.drawTargetRect.top);
    return DrawRectF{s.drawAreaF.left + ox, s.drawAreaF.top + oy, s.drawAreaF.right + ox, s.drawAreaF.bottom + oy};
}

// Where a rectangle stands against the draw area.
enum class Overlap { Inside, Partly, Outside };
Overlap OverlapOf(long left, long top, long right, long bottom) {
    const RECT& a = g_DrawState.drawArea;
    if (right <= a.left || left >= a.right || bottom <= a.top || top >= a.bottom) return Overlap::Outside;
    if (left >= a.left && right <= a.right && top >= a.top && bottom <= a.bottom) return Overlap::Inside;
    return Overlap::Partly;
}

}  // namespace

int BeginTextureDraw(const GraphRecord* graph, Device3DRecord** device) {
    if (g_Direct3D.direct3D == nullptr) return -1;
    Device3DRecord* r = CurrentDevice3D();
    if (r == nullptr || r->device == nullptr) return -1;
    if (g_Direct3D.suppressed3D) return 0;
    if (graph == nullptr || !graph->textureGraph || graph->storageCount < 1) return -1;
    if (TileTexture(graph->storageHandles[0], nullptr) == nullptr) return -1;
    *device = r;
    return 1;
}

void UseTileTexture(Device3DRecord& r, const SurfaceDataRecord& texture) {
    const int handle = g_Direct3D.currentDevice;
    if (r.texture != texture.surface) SetDeviceTexture(handle, texture.surface);
    if (r.blendDirty || r.textureDirty) ApplyDeviceBlendState(handle);
}

int DrawGraphTiles(Device3DRecord& r, const GraphRecord& graph, int flags, const TileCornerMap& map, bool clamp) {
    const int handle = g_Direct3D.currentDevice;
    BeginSceneForDevice(handle);
    PrepareDeviceDrawState(TileTexture(graph.storageHandles[0], nullptr), flags);
    const DrawRectF area = TargetArea();
    for (int i = 0; i < graph.storageCount; ++i) {
        const Surface3DDataRecord* tile = nullptr;
        const SurfaceDataRecord* texture = TileTexture(graph.storageHandles[i], &tile);
        if (texture == nullptr) return -1;
        QuadCorner c[4];
        for (int k = 0; k < 4; ++k) {
            const Vertex28& q = tile->quad[k];
            map(q.x, q.y, &c[k].x, &c[k].y);
            c[k].u = q.u;
            c[k].v = q.v;
        }
        if (clamp && !ClampQuad(c, area)) continue;
        UseTileTexture(r, *texture);
        AppendQuad(r, c, g_Direct3D.drawColor);
    }
    return 0;
}

int TextureBlitGraph(float x, float y, const GraphRecord* graph, int transparent, int integerCoords) {
    Device3DRecord* r = nullptr;
    if (const int go = BeginTextureDraw(graph, &r); go <= 0) return go;
    const long ix = static_cast<long>(x), iy = static_cast<long>(y);
    const Overlap overlap = OverlapOf(ix, iy, ix + graph->width, iy + graph->height);
    if (overlap == Overlap::Outside) return 0;
    const float ox = x - 0.5f + static_cast<float>(g_DrawState.drawTargetRect.left);
    const float oy = y - 0.5f + static_cast<float>(g_DrawState.drawTargetRect.top);
    const int flags = (transparent ? kPrepTransparent : 0) | (integerCoords ? kPrepExactPixels : 0);
    return DrawGraphTiles(*r, *graph, flags, [&](float qx, float qy, float* px, float* py) {
        *px = qx + ox;
        *py = qy + oy;
    }, overlap == Overlap::Partly);
}

int TextureStretchBlitGraph(int x1, int y1, int x2, int y2, const GraphRecord* graph, int transparent) {
    Device3DRecord* r = nullptr;
    if (const int go = BeginTextureDraw(graph, &r); go <= 0) return go;
    if (x1 == x2 || y1 == y2 || graph->width <= 0 || graph->height <= 0) return -1;
    const Overlap overlap = OverlapOf(std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2));
    if (overlap == Overlap::Outside) return 0;
    const float sx = static_cast<float>(x2 - x1) / static_cast<float>(graph->width);
    const float sy = static_cast<float>(y2 - y1) / static_cast<float>(graph->height);
    const float ox = static_cast<float>(x1) - 0.5f + static_cast<float>(g_DrawState.drawTargetRect.left);
    const float oy = static_cast<float>(y1) - 0.5f + static_cast<float>(g_DrawState.drawTargetRect.top);
    const int flags =
        (transparent ? kPrepTransparent : 0) | (g_DrawState.filterMode == kFilterPoint ? kPrepExactPixels : 0);
    return DrawGraphTiles(*r, *graph, flags, [&](float qx, float qy, float* px, float* py) {
        *px = qx * sx + ox;
        *py = qy * sy + oy;
    }, overlap == Overlap::Partly);
}

int TextureRotateBlitGraph(float x, float y, double scale, double angle, const GraphRecord* graph, int transparent,
                           int turn) {
    Device3DRecord* r = nullptr;
    if (const int go = BeginTextureDraw(graph, &r); go <= 0) return go;
    // A place, scale or turn that is not a number has no pixels to draw:
    // refused, as on the software road.
    if (scale == 0.0 || !std::isfinite(scale) || !std::isfinite(angle) || !std::isfinite(x) || !std::isfinite(y))
        return -1;
    const int w = graph->width, h = graph->height;
    // Where the graphic's centre lies, and whether the position moves by
    // half a pixel: at scale 1 the centre falls on the pixel grid so that
    // the graphic's texels land on whole pixels.
    float cx = w * 0.5f, cy = h * 0.5f, move = -0.5f;
    if (scale == 1.0) {
        const bool evenW = w % 2 == 0, evenH = h % 2 == 0;
        if (evenW && evenH) {
            cx = static_cast<float>(w / 2);
            cy = static_cast<float>(h / 2);
        } else if (evenW != evenH) {
            if (evenW) cx = static_cast<float>(w / 2) - 0.5f;
            if (evenH) cy = static_cast<float>(h / 2) - 0.5f;
            move = 0.0f;
        } else {
            move = 0.0f;
        }
    }
    const double hf = turn == 1 ? -scale : scale;
    const double c = std::cos(angle), s = std::sin(angle);
    const double px0 = x + move + g_DrawState.drawTargetRect.left, py0 = y + move + g_DrawState.drawTargetRect.top;
    const int flags = transparent ? kPrepTransparent : 0;
    return DrawGraphTiles(*r, *graph, flags, [&](float qx, float qy, float* px, float* py) {
        const double a = (qx - cx) * hf, b = (qy - cy) * scale;
        if (angle == 0.0) {
            *px = static_cast<float>(px0 + a);
            *py = static_cast<float>(py0 + b);
        } else {
            *px = static_cast<float>(px0 + a * c - b * s);
            *py = static_cast<float>(py0 + a * s + b * c);
        }
    }, false);
}
