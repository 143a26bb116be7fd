// Texture graphics deformed onto four corners: parallelograms as one quad
// per tile, any other shape as a grid of 8 x 8 vertices drawn as indexed
// triangle strips.
#include <cmath>
#include <vector>

#include "graphics/d3d/d3d_device.h"
#include "graphics/d3d/d3d_texture_draw.h"
#include "graphics/device/surface_data.h"
#include "graphics/draw/draw_state.h"
#include "graphics/draw/graph_record.h"

namespace {

constexpr int kGridSide = 8;
// Indices are sent before a row pair would take them above this count.
constexpr int kStripIndexLimit = 1000;

Vertex28 g_grid[kGridSide * kGridSide];

QuadCorner Lerp(const QuadCorner& a, const QuadCorner& b, float t) {
    return QuadCorner{a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t, a.u + (b.u - a.u) * t, a.v + (b.v - a.v) * t};
}

float Cross(float ax, float ay, float bx, float by) { return ax * by - ay * bx; }

}  // namespace

int DrawVertexGridStrips(int handle, int columns, int rows, Vertex28* vertices) {
    Device3DRecord* r = LookupDevice3D(handle);
    if (r == nullptr || r->device == nullptr || columns < 2 || rows < 2 || vertices == nullptr) return -1;
    FlushVertexBatchOn(handle);
    std::vector<WORD> indices;
    auto send = [&] {
        if (!indices.empty() && !r->skipDraw)
            r->device->DrawIndexedPrimitive(D_D3DPT_TRIANGLESTRIP, kVertexFvf[kVertexTypeTextured], vertices,
                                            static_cast<DWORD>(columns * rows), indices.data(),
                                            static_cast<DWORD>(indices.size()), 0);
        indices.clear();
    };
    for (int row = 0; row + 1 < rows; ++row) {
        const int pairCount = 2 * columns + (indices.empty() ? 0 : 2);
        if (static_cast<int>(indices.size()) + pairCount > kStripIndexLimit) send();
        const WORD first = static_cast<WORD>(row * columns);
        if (!indices.empty()) {
            // Two repeated indices join the strips with empty triangles.
            const WORD last = indices.back();
            indices.push_back(last);
            indices.push_back(first);
        }
        for (int c = 0; c < columns; ++c) {
            indices.push_back(static_cast<WORD>(row * columns + c));
            indices.push_back(static_cast<WORD>((row + 1) * columns + c));
        }
    }
    send();
    return 0;
}

int DrawWarpedTileGrid(const QuadCorner corners[4], HandleId tile) {
    Device3DRecord* r = CurrentDevice3D();
    const Surface3DDataRecord* record = nullptr;
    const SurfaceDataRecord* texture = TileTexture(tile, &record);
    if (r == nullptr || r->device == nullptr || texture == nullptr) return -1;
    UseTileTexture(*r, *texture);
    const QuadCorner &tl = corners[0], &tr = corners[1], &bl = corners[2], &br = corners[3];
    QuadCorner c[4];
    for (int k = 0; k < 4; ++k) c[k] = QuadCorner{corners[k].x, corners[k].y, record->quad[k].u, record->quad[k].v};

    const bool parallelogram = std::fabs((tr.x - tl.x) - (br.x - bl.x)) < 1.0f &&
                               std::fabs((tr.y - tl.y) - (br.y - bl.y)) < 1.0f &&
                               std::fabs((bl.x - tl.x) - (br.x - tr.x)) < 1.0f &&
                               std::fabs((bl.y - tl.y) - (br.y - tr.y)) < 1.0f;
    if (parallelogram) {
        const bool mirrored = Cross(tr.x - tl.x, tr.y - tl.y, bl.x - tl.x, bl.y - tl.y) <= 0.0f &&
                              Cross(bl.x - br.x, bl.y - br.y, tr.x - br.x, tr.y - br.y) <= 0.0f;
        AppendQuad(*r, c, g_Direct3D.drawColor, mirrored);
        return 0;
    }
    const float z = g_DrawState.drawZ;
    const float step = 1.0f / (kGridSide - 1);
    for (int row = 0; row < kGridSide; ++row) {
        const QuadCorner left = Lerp(c[0], c[2], row * step), right = Lerp(c[1], c[3], row * step);
        for (int col = 0; col < kGridSide; ++col) {
            const QuadCorner p = Lerp(left, right, col * step);
            g_grid[row * kGridSide + col] = Vertex28{p.x, p.y, z, 1.0f, g_Direct3D.drawColor, p.u, p.v};
        }
    }
    return DrawVertexGridStrips(g_Direct3D.currentDevice, kGridSide, kGridSide, g_grid);
}

int TextureFourCornerBlitGraphF(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4,
                                const GraphRecord* graph, int transparent) {
    Device3DRecord* r = nullptr;
    if (const int go = BeginTextureDraw(graph, &r); go <= 0) return go;
    BeginSceneForDevice(g_Direct3D.currentDevice);
    PrepareDeviceDrawState(TileTexture(graph->storageHandles[0], nullptr), transparent ? kPrepTransparent : 0);
    const float ox = static_cast<float>(g_DrawState.drawTargetRect.left);
    const float oy = static_cast<float>(g_DrawState.drawTargetRect.top);
    const QuadCorner outer[4] = {{x1 + ox, y1 + oy, 0, 0}, {x2 + ox, y2 + oy, 1, 0}, {x3 + ox, y3 + oy, 0, 1},
                                 {x4 + ox, y4 + oy, 1, 1}};
    if (graph->storageCount == 1) return DrawWarpedTileGrid(outer, graph->storageHandles[0]);
    const float w = static_cast<float>(graph->width), h = static_cast<float>(graph->height);
    for (int i = 0; i < graph->storageCount; ++i) {
        const Surface3DDataRecord* tile = LookupSurface3DData(graph->storageHandles[i]);
        if (tile == nullptr) return -1;
        QuadCorner c[4];
        for (int k = 0; k < 4; ++k) {
            // Down both side edges, then across between them.
            const float tv = tile->quad[k].y / h, tu = tile->quad[k].x / w;
            c[k] = Lerp(Lerp(outer[0], outer[2], tv), Lerp(outer[1], outer[3], tv), tu);
        }
        if (DrawWarpedTileGrid(c, graph->storageHandles[i]) < 0) return -1;
    }
    return 0;
}

int TextureFourCornerBlitGraph(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4,
                               const GraphRecord* graph, int transparent) {
    if (x1 == x3 && x2 == x4 && y1 == y2 && y3 == y4)
        return TextureStretchBlitGraph(x1, y1, x4, y4, graph, transparent);
    const Device3DRecord* device = CurrentDevice3D();
    if (device == nullptr || device->blendMaskTexture == nullptr)
        return TextureFourCornerBlitGraphF(static_cast<float>(x1), static_cast<float>(y1), static_cast<float>(x2),
                                           static_cast<float>(y2), static_cast<float>(x3), static_cast<float>(y3),
                                           static_cast<float>(x4), static_cast<float>(y4), graph, transparent);
    // With a blend mask each tile is mapped affinely: points on or above the
    // graphic's rising diagonal from the top-left corner, the others from
    // the bottom-right corner backwards.
    Device3DRecord* r = nullptr;
    if (const int go = BeginTextureDraw(graph, &r); go <= 0) return go;
    const float ox = static_cast<float>(g_DrawState.drawTargetRect.left);
    const float oy = static_cast<float>(g_DrawState.drawTargetRect.top);
    const float w = static_cast<float>(graph->width), h = static_cast<float>(graph->height);
    const float slope = w > 0 ? h / w : 0.0f;
    return DrawGraphTiles(*r, *graph, transparent ? kPrepTransparent : 0,
                          [&](float qx, float qy, float* px, float* py) {
        const float s = qx / w, t = qy / h;
        if (h - qx * slope >= qy) {
            *px = x1 + (x2 - x1) * s + (x3 - x1) * t + ox;
            *py = y1 + (y2 - y1) * s + (y3 - y1) * t + oy;
        } else {
            *px = x4 + (x3 - x4) * (1 - s) + (x2 - x4) * (1 - t) + ox;
            *py = y4 + (y3 - y4) * (1 - s) + (y2 - y4) * (1 - t) + oy;
        }
    }, false);
}
