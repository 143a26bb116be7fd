// The 3D surface data table: one record per texture tile, each referring to
// the surface data that holds its texture and keeping a ready quad.
#include "core/log.h"
#include "core/memory.h"
#include "graphics/d3d/d3d_device.h"
#include "graphics/device/surface_data.h"
#include "graphics/draw/draw_state.h"
#include "graphics/draw/graph_record.h"

namespace {

using Surface3DDataTable = HandleTable<Surface3DDataRecord, kHandleTypeSurface3DData, kSurface3DDataSlotCount>;
Surface3DDataTable g_Surface3DDataTable{};

int SlotOf(HandleId handle) { return HandleSlotFor(handle, kHandleTypeSurface3DData, kSurface3DDataSlotCount); }

template <typename Visit>
void ForEachSurface3DData(Visit visit) {
    for (int slot = 0; slot < g_Surface3DDataTable.UsedEnd(); ++slot)
        if (Surface3DDataRecord* record = g_Surface3DDataTable.At(slot)) visit(g_Surface3DDataTable.HandleAt(slot), *record);
}

// The quad's corners, u and v normalised by the texture's size, and the
// corner flags against the owner graphic's diagonal.
void FillQuad(Surface3DDataRecord& r, int textureWidth, int textureHeight, int graphWidth, int graphHeight) {
    const float x0 = r.x, y0 = r.y, x1 = static_cast<float>(r.x + r.width), y1 = static_cast<float>(r.y + r.height);
    const float u0 = static_cast<float>(r.uOffset) / textureWidth;
    const float u1 = static_cast<float>(r.uOffset + r.width) / textureWidth;
    const float v0 = static_cast<float>(r.vOffset) / textureHeight;
    const float v1 = static_cast<float>(r.vOffset + r.height) / textureHeight;
    r.quad[0] = Vertex28{x0, y0, 0.0f, 1.0f, 0xFFFFFFFFu, u0, v0};
    r.quad[1] = Vertex28{x1, y0, 0.0f, 1.0f, 0xFFFFFFFFu, u1, v0};
    r.quad[2] = Vertex28{x0, y1, 0.0f, 1.0f, 0xFFFFFFFFu, u0, v1};
    r.quad[3] = Vertex28{x1, y1, 0.0f, 1.0f, 0xFFFFFFFFu, u1, v1};
    const double slope = graphWidth > 0 ? static_cast<double>(graphHeight) / graphWidth : 0.0;
    for (int i = 0; i < 4; ++i)
        r.cornerFlags[i] = graphHeight - r.quad[i].x * slope >= r.quad[i].y ? 1 : 0;
}

bool FitsU16(int v) { return v >= 0 && v <= 0xFFFF; }

}  // namespace

int AddSurface3DData(int textureWidth, int textureHeight, int x, int y, int width, int height, int sourceX,
                     int sourceY, HandleId owner, const Surface3DDataRecord* source, int uOffset, int vOffset,
                     const SurfaceCreateFlags& flags) {
    if (g_Direct3D.direct3D == nullptr) return WriteLogText("３Ｄグラフィックエンジンが初期化されていません");
    Surface3DDataTable& table = g_Surface3DDataTable;
    if (table.IsFull()) return WriteLogText("３Ｄグラフィックの数が許容量を越えました。");
    if (source != nullptr) {
        uOffset += source->uOffset;
        vOffset += source->vOffset;
        sourceX += source->sourceX;
        sourceY += source->sourceY;
    }
    if (!FitsU16(x) || !FitsU16(y) || !FitsU16(width) || !FitsU16(height) || !FitsU16(uOffset) ||
        !FitsU16(vOffset) || !FitsU16(sourceX) || !FitsU16(sourceY) || width == 0 || height == 0)
        return -1;
    auto* record = static_cast<Surface3DDataRecord*>(KV_ALLOC_ZEROED(sizeof(Surface3DDataRecord)));
    if (record == nullptr) return WriteLogText("メモリの確保に失敗しました in AddSurface3DData ");
    if (source == nullptr) {
        SurfaceCreateFlags textureFlags = flags;
        textureFlags.TextureFlag = 1;
        record->surfaceData = AddSurfaceData(1, textureWidth, textureHeight, g_DrawState.transparentColor, textureFlags);
        if (record->surfaceData < 0) {
            KV_FREE(record);
            return -1;
        }
    } else {
        if (AddSurfaceDataRef(source->surfaceData) < 0) {
            KV_FREE(record);
            return -1;
        }
        record->surfaceData = source->surfaceData;
    }
    const SurfaceDataRecord* data = LookupSurfaceData(record->surfaceData);
    record->x = static_cast<std::uint16_t>(x);
    record->y = static_cast<std::uint16_t>(y);
    record->width = static_cast<std::uint16_t>(width);
    record->height = static_cast<std::uint16_t>(height);
    record->uOffset = static_cast<std::uint16_t>(uOffset);
    record->vOffset = static_cast<std::uint16_t>(vOffset);
    record->sourceX = static_cast<std::uint16_t>(sourceX);
    record->sourceY = static_cast<std::uint16_t>(sourceY);
    record->ownerGraph = owner;
    const GraphRecord* graph = LookupGraph(owner);
    FillQuad(*record, data->width, data->height, graph != nullptr ? graph->width : width,
             graph != nullptr ? graph->height : height);
    return table.Insert(table.ChooseSlot(), record, table.Counter().Take());
}

Surface3DDataRecord* LookupSurface3DData(HandleId handle) { return g_Surface3DDataTable.Lookup(handle); }

int DeleteSurface3DData(HandleId handle) {
    Surface3DDataRecord* record = LookupSurface3DData(handle);
    if (record == nullptr) return -1;
    ReleaseSurfaceDataRef(record->surfaceData);
    KV_FREE(g_Surface3DDataTable.Remove(SlotOf(handle)));
    return 0;
}

int DeleteAllSurface3DData() {
    if (g_Direct3D.direct3D == nullptr && !g_Direct3D.started) return -1;
    ForEachSurface3DData([](HandleId handle, const Surface3DDataRecord&) { DeleteSurface3DData(handle); });
    return 0;
}

int RestoreAllSurface3DData() {
    if (g_Direct3D.direct3D == nullptr) return -1;
    int result = 0;
    ForEachSurface3DData(
        [&](HandleId, const Surface3DDataRecord& record) { result |= RestoreSurfaceData(record.surfaceData); });
    return result;
}

int RestoreGraphSurface3Ds(GraphRecord* graph) {
    if (graph == nullptr) return -1;
    int result = 0;
    for (int i = 0; i < graph->storageCount; ++i) {
        const Surface3DDataRecord* tile = LookupSurface3DData(graph->storageHandles[i]);
        if (tile == nullptr) return -1;
        result |= RestoreSurfaceData(tile->surfaceData);
    }
    return result;
}

int ReleaseAllSurface3DDataSurfaces() {
    ForEachSurface3DData(
        [](HandleId, const Surface3DDataRecord& record) { ReleaseSurfaceDataSurfaces(record.surfaceData); });
    return 0;
}

int RecreateAllSurface3DDataSurfaces() {
    int result = 0;
    // A shared texture is made once, by the first of its tiles.
    ForEachSurface3DData([&](HandleId, const Surface3DDataRecord& record) {
        result |= CreateSurfaceDataSurfaces(record.surfaceData);
        result |= SetSurfaceDataColorKey(record.surfaceData);
    });
    return result;
}

int FillGraphSurface3Ds(GraphRecord* graph, int r, int g, int b, int a) {
    if (graph == nullptr) return -1;
    if (g_Direct3D.suppressed3D) return 0;
    FlushDeviceVertices();
    for (int i = 0; i < graph->storageCount; ++i) {
        const Surface3DDataRecord* tile = LookupSurface3DData(graph->storageHandles[i]);
        if (tile == nullptr) return -1;
        // Only the tile's own rectangle: part graphics share the rest.
        const RECT area{tile->uOffset, tile->vOffset, tile->uOffset + tile->width, tile->vOffset + tile->height};
        if (FillSurfaceDataRect(tile->surfaceData, &area, r, g, b, a) < 0) return -1;
    }
    return 0;
}

int UnlockSurface3DData(HandleId handle) {
    const Surface3DDataRecord* tile = LookupSurface3DData(handle);
    return tile != nullptr ? UnlockSurfaceData(tile->surfaceData) : -1;
}
