// Texture graphics as grids of power-of-two texture tiles: planning the
// tile lengths under the device's limits, making the tiles of a graphic or
// of a part graphic that shares its parent's textures, and deleting them.
#include <algorithm>
#include <vector>

#include "core/log.h"
#include "graphics/d3d/d3d_device.h"
#include "graphics/device/present.h"
#include "graphics/device/screen_device.h"
#include "graphics/device/surface_data.h"
#include "graphics/draw/graph_record.h"

namespace {

// Tiles per side the planner may give; a graphic takes at most 64 tiles.
constexpr int kTilesPerSide = kGraphStorageMax;

SurfaceCreateFlags FlagsOf(const GraphRecord& graph) {
    SurfaceCreateFlags flags{};
    flags.TextureFlag = 1;
    flags.AlphaChFlag = graph.alphaSetting;
    flags.DrawValid = graph.drawable;
    flags.AlphaTestFlag = graph.alphaTest;
    flags.ColorBitDepth = graph.colorBitDepth;
    return flags;
}

int LargestPowerOfTwoAtMost(int v) {
    int p = 1;
    while (p <= v / 2) p *= 2;
    return p;
}

struct Tile {
    int x, y, textureWidth, textureHeight;
};

// Tiles of one axis pair, row by row; square-only devices cut every
// non-square tile into squares of its shorter side.
bool LayOutTiles(const std::vector<int>& columns, const std::vector<int>& rows, bool squareOnly,
                 std::vector<Tile>* tiles) {
    int y = 0;
    for (int h : rows) {
        int x = 0;
        for (int w : columns) {
            if (!squareOnly || w == h) {
                tiles->push_back({x, y, w, h});
            } else {
                const int side = std::min(w, h);
                for (int along = 0; along < std::max(w, h); along += side)
                    tiles->push_back({w > h ? x + along : x, w > h ? y : y + along, side, side});
            }
            x += w;
        }
        y += h;
    }
    return true;
}

// How many tiles the layout gives, counted before any is made.
long CountTiles(const std::vector<int>& columns, const std::vector<int>& rows, bool squareOnly) {
    long count = 0;
    for (int h : rows)
        for (int w : columns) count += !squareOnly || w == h ? 1 : std::max(w, h) / std::min(w, h);
    return count;
}

}  // namespace

int PlanTextureTilesFor(int length, int* out, int capacity, int single, int deviceMin, int deviceMax, int fixedSize,
                        int screenWidth) {
    if (length <= 0 || capacity < 1) return -1;
    const int mn = deviceMin > 32 ? deviceMin : 32;
    if (length <= mn) {
        int t = mn;
        while (deviceMin < t && t / 2 >= length) t /= 2;
        out[0] = t;
        return 1;
    }
    int mx;
    if (fixedSize != 0)
        mx = fixedSize;
    else if (single)
        mx = deviceMax;
    else if (screenWidth <= deviceMax) {
        mx = 8;
        while (mx < screenWidth) mx *= 2;
    } else {
        // A screen wider than any texture: the largest power of two the
        // device takes, never below the smallest tile.
        mx = std::max(LargestPowerOfTwoAtMost(deviceMax), mn);
    }
    int t = mx;
    while (t > mn && t > length) t /= 2;
    if (single || (fixedSize == 0 && length < screenWidth)) {
        if (2 * t <= mx) {
            out[0] = t >= length ? t : 2 * t;
            return 1;
        }
    }
    int count = 0;
    long left = length;
    for (;;) {
        if (count == capacity) return -1;
        out[count++] = t;
        left -= t;
        if (left <= 0) break;
        if (left > (3 * t) / 4 && t < mx) {
            out[count - 1] = 2 * t;
            break;
        }
        while (left < t && t > mn) t /= 2;
    }
    if (count >= 2 && out[count - 1] == out[count - 2] && 2 * out[count - 1] <= mx) {
        out[count - 2] *= 2;
        --count;
    }
    return count;
}

int PlanTextureTiles(int length, int* out, int capacity, int single) {
    int screenWidth = 0;
    QueryScreenSize(&screenWidth, nullptr);
    return PlanTextureTilesFor(length, out, capacity, single, static_cast<int>(g_Direct3D.minTextureSize),
                               static_cast<int>(g_Direct3D.maxTextureSize), static_cast<int>(g_Direct3D.fixedTileSize),
                               screenWidth);
}

int CreateGraphTextures(GraphRecord* graph) {
    if (g_Direct3D.direct3D == nullptr || graph == nullptr) return -1;
    int columns[kTilesPerSide], rows[kTilesPerSide];
    const int single = graph->drawable;
    const int across = PlanTextureTiles(graph->width, columns, kTilesPerSide, single);
    const int down = PlanTextureTiles(graph->height, rows, kTilesPerSide, single);
    const bool squareOnly = (g_Direct3D.chosenDesc.dpcTriCaps.dwTextureCaps & D_D3DPTEXTURECAPS_SQUAREONLY) != 0;
    const std::vector<int> columnList(columns, columns + std::max(across, 0)), rowList(rows, rows + std::max(down, 0));
    if (across < 0 || down < 0 || CountTiles(columnList, rowList, squareOnly) > kGraphStorageMax)
        return WriteD3DLog("エラー：画像の分割数が最大数の %d を超えました", kGraphStorageMax);
    std::vector<Tile> tiles;
    LayOutTiles(columnList, rowList, squareOnly, &tiles);
    const SurfaceCreateFlags flags = FlagsOf(*graph);
    graph->storageCount = 0;
    for (const Tile& t : tiles) {
        const int width = std::min(t.textureWidth, graph->width - t.x);
        const int height = std::min(t.textureHeight, graph->height - t.y);
        if (width <= 0 || height <= 0) continue;  // a square past the graphic's edge
        const HandleId handle = AddSurface3DData(t.textureWidth, t.textureHeight, t.x, t.y, width, height, t.x, t.y,
                                                 graph->handle, nullptr, 0, 0, flags);
        if (handle < 0) return -1;
        graph->storageHandles[graph->storageCount++] = handle;
    }
    return 0;
}

int CreatePartGraphTextures(GraphRecord* part, int x, int y, const GraphRecord* source) {
    if (g_Direct3D.direct3D == nullptr || part == nullptr || source == nullptr) return -1;
    const SurfaceCreateFlags flags = FlagsOf(*part);
    part->storageCount = 0;
    auto fail = [&] {
        DeleteGraphTextures(part);
        return -1;
    };
    if (source->storageCount == 1) {
        const Surface3DDataRecord* tile = LookupSurface3DData(source->storageHandles[0]);
        if (tile == nullptr) return fail();
        const HandleId handle =
            AddSurface3DData(0, 0, 0, 0, part->width, part->height, x, y, part->handle, tile, x, y, flags);
        if (handle < 0) return fail();
        part->storageHandles[part->storageCount++] = handle;
        return 0;
    }
    const RECT want{x, y, x + part->width, y + part->height};
    for (int i = 0; i < source->storageCount; ++i) {
        const Surface3DDataRecord* tile = LookupSurface3DData(source->storageHandles[i]);
        if (tile == nullptr) return fail();
        const RECT have{tile->x, tile->y, tile->x + tile->width, tile->y + tile->height};
        const LONG left = std::max(want.left, have.left), top = std::max(want.top, have.top);
        const LONG right = std::min(want.right, have.right), bottom = std::min(want.bottom, have.bottom);
        if (left >= right || top >= bottom) continue;
        if (part->storageCount == kGraphStorageMax) return fail();
        const int inX = left - have.left, inY = top - have.top;
        const HandleId handle = AddSurface3DData(0, 0, left - x, top - y, right - left, bottom - top, inX, inY,
                                                 part->handle, tile, inX, inY, flags);
        if (handle < 0) return fail();
        part->storageHandles[part->storageCount++] = handle;
    }
    return 0;
}

int DeleteGraphTextures(GraphRecord* graph) {
    if (graph == nullptr) return -1;
    if (g_Direct3D.direct3D == nullptr && !g_Direct3D.started) return -1;
    for (int i = 0; i < graph->storageCount; ++i) DeleteSurface3DData(graph->storageHandles[i]);
    graph->storageCount = 0;
    return 0;
}

int GetTextureTargetStorage(const GraphRecord* graph, DrawTargetBinding* binding) {
    if (graph == nullptr || binding == nullptr || !graph->textureGraph || graph->storageCount < 1) return -1;
    *binding = DrawTargetBinding{};
    const Surface3DDataRecord* tile = LookupSurface3DData(graph->storageHandles[0]);
    const SurfaceDataRecord* data = tile != nullptr ? LookupSurfaceData(tile->surfaceData) : nullptr;
    if (data == nullptr || data->surface == nullptr) return -1;
    binding->surface = data->surface;
    binding->zSurface = data->zBufferSurface;
    binding->offsetX = tile->uOffset;
    binding->offsetY = tile->vOffset;
    return 0;
}
