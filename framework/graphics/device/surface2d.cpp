// The 2D-surface table, and attaching, restoring, filling and deleting the
// 2D surfaces of graphics. Writes and copies are in surface2d_write.cpp and
// surface2d_copy.cpp.
#include "graphics/device/surface2d.h"

#include "core/log.h"
#include "core/memory.h"
#include "graphics/d3d/direct3d.h"
#include "graphics/device/present.h"
#include "graphics/device/screen_device.h"
#include "graphics/device/storage_device.h"
#include "graphics/draw/draw_state.h"
#include "graphics/draw/graph_record.h"

Surface2DTable g_Surface2DTable{};

namespace {

int SlotOf(HandleId handle) { return HandleSlotFor(handle, kHandleTypeSurface2D, kSurface2DSlotCount); }

bool FitsU16(int value) { return value >= 0 && value <= 0xFFFF; }

SurfaceCreateFlags FlagsOf(const GraphRecord& graph) {
    SurfaceCreateFlags flags{};
    flags.TextureFlag = graph.textureGraph;
    flags.AlphaChFlag = graph.alphaSetting;
    flags.DrawValid = graph.drawable;
    flags.SystemMemFlag = graph.systemMemory;
    flags.AlphaTestFlag = graph.alphaTest;
    flags.ColorBitDepth = graph.colorBitDepth;
    flags.Palette8Flag = graph.palettedSource;
    flags.NoTransColorFlag = 0;
    return flags;
}

// The handle of every filled slot, in ascending order.
template <typename Visit>
void ForEachSurface2D(Visit visit) {
    for (int slot = 0; slot < g_Surface2DTable.UsedEnd(); ++slot) {
        if (Surface2DRecord* record = g_Surface2DTable.At(slot)) visit(g_Surface2DTable.HandleAt(slot), *record);
    }
}

void MarkLost(const Surface2DRecord& record) {
    if (record.lostFlag != nullptr) *record.lostFlag = 1;
}

int AttachOne(GraphRecord* graph, HandleId surface) {
    if (surface < 0) return -1;
    graph->storageHandles[0] = surface;
    graph->storageCount = 1;
    return 0;
}

}  // namespace

int InitSurface2DTable() {
    DeleteAllSurface2D();
    g_Surface2DTable.Clear();
    return 0;
}

HandleId AddSurface2D(int width, int height, int x, int y, HandleId owner, const Surface2DRecord* source, int partX,
                      int partY, SurfaceCreateFlags* createFlags) {
    if (StorageDeviceMissing()) return WriteLogText("ＫＶライブラリが初期化されていません");
    Surface2DTable& table = g_Surface2DTable;
    if (table.IsFull()) return WriteLogText("２Ｄグラフィックの量が許容量を越えました\n");
    if (width <= 0 || height <= 0 || !FitsU16(width) || !FitsU16(height) || !FitsU16(x) || !FitsU16(y) ||
        !FitsU16(partX) || !FitsU16(partY))
        return WriteLogFormat("２Ｄグラフィックの位置かサイズが不正です");
    const int slot = table.ChooseSlot();

    auto* record = static_cast<Surface2DRecord*>(KV_ALLOC_ZEROED(sizeof(Surface2DRecord)));
    if (record == nullptr) return WriteLogText("メモリの確保に失敗しました in AddSurface2D \n");

    HandleId data = kNoHandle;
    if (source != nullptr) {
        // The window must lie inside the shared surface data.
        const SurfaceDataRecord* shared = LookupSurfaceData(source->surfaceData);
        if (shared != nullptr && partX + width <= shared->width && partY + height <= shared->height &&
            AddSurfaceDataRef(source->surfaceData) > 0) {
            data = source->surfaceData;
            if (createFlags != nullptr) *createFlags = shared->flags;
        }
    } else {
        SurfaceCreateFlags flags = createFlags != nullptr ? *createFlags : SurfaceCreateFlags{};
        data = AddSurfaceData(1, width, height, g_DrawState.transparentColor, flags);
        const SurfaceDataRecord* made = LookupSurfaceData(data);
        if (made != nullptr && createFlags != nullptr) *createFlags = made->flags;
    }
    if (data < 0) {
        KV_FREE(record);
        return WriteLogText("メモリの確保に失敗しました in AddSurface2D \n");
    }

    record->x = static_cast<std::uint16_t>(x);
    record->y = static_cast<std::uint16_t>(y);
    record->partX = static_cast<std::uint16_t>(partX);
    record->partY = static_cast<std::uint16_t>(partY);
    record->width = static_cast<std::uint16_t>(width);
    record->height = static_cast<std::uint16_t>(height);
    record->owner = owner;
    record->surfaceData = data;
    return table.Insert(slot, record, table.Counter().Take());
}

Surface2DRecord* LookupSurface2D(HandleId handle) { return g_Surface2DTable.Lookup(handle); }

int DeleteSurface2D(HandleId handle) {
    Surface2DRecord* record = LookupSurface2D(handle);
    if (record == nullptr) return 0;
    ReleaseSurfaceDataRef(record->surfaceData);
    KV_FREE(g_Surface2DTable.Remove(SlotOf(handle)));
    return 0;
}

int LinkSurface2DLostFlag(HandleId handle, int* lostFlag) {
    Surface2DRecord* record = LookupSurface2D(handle);
    if (record == nullptr) return -1;
    record->lostFlag = lostFlag;
    if (lostFlag != nullptr) *lostFlag = 0;
    return 0;
}

int AttachNewSurface2D(GraphRecord* graph) {
    if (graph == nullptr || StorageDeviceMissing()) return -1;
    SurfaceCreateFlags flags = FlagsOf(*graph);
    return AttachOne(graph, AddSurface2D(graph->width, graph->height, 0, 0, graph->handle, nullptr, 0, 0, &flags));
}

int AttachPartSurface2D(GraphRecord* graph, int partX, int partY, int width, int height, const GraphRecord* source) {
    if (graph == nullptr || source == nullptr || source->storageCount < 1 || StorageDeviceMissing()) return -1;
    const Surface2DRecord* sourceSurface = LookupSurface2D(source->storageHandles[0]);
    if (sourceSurface == nullptr || partX < 0 || partY < 0) return -1;
    SurfaceCreateFlags flags = FlagsOf(*graph);
    // The part is placed inside the source's own window of the surface data.
    return AttachOne(graph, AddSurface2D(width, height, 0, 0, graph->handle, sourceSurface,
                                         sourceSurface->partX + partX, sourceSurface->partY + partY, &flags));
}

int RestoreGraphSurface2Ds(GraphRecord* graph) {
    if (graph == nullptr) return -1;
    int result = 0;
    for (int i = 0; i < graph->storageCount; ++i) {
        const Surface2DRecord* record = LookupSurface2D(graph->storageHandles[i]);
        if (record == nullptr) return -1;
        if (IsSurfaceDataLost(record->surfaceData)) MarkLost(*record);
        result |= RestoreSurfaceData(record->surfaceData);
    }
    return result;
}

int RestoreAllSurface2D() {
    int result = RestoreLostMainSurfaces();
    // Every owner of a lost surface data hears of it before the first
    // restore of a shared one hides the loss from the others.
    ForEachSurface2D([](HandleId, const Surface2DRecord& record) {
        if (IsSurfaceDataLost(record.surfaceData)) MarkLost(record);
    });
    ForEachSurface2D([&result](HandleId, const Surface2DRecord& record) {
        result |= RestoreSurfaceData(record.surfaceData);
    });
    return result;
}

int FillGraphSurface2Ds(GraphRecord* graph, int r, int g, int b, int a) {
    if (graph == nullptr) return -1;
    EndDeviceScene();
    FlushVertexBatch();
    for (int i = 0; i < graph->storageCount; ++i) {
        const Surface2DRecord* record = LookupSurface2D(graph->storageHandles[i]);
        if (record == nullptr) return -1;
        // Only the window: a part graphic shares the rest with others.
        const RECT window{record->partX, record->partY, record->partX + record->width,
                          record->partY + record->height};
        if (FillSurfaceDataRect(record->surfaceData, &window, r, g, b, a) < 0) return -1;
    }
    return 0;
}

int DeleteGraphSurface2Ds(GraphRecord* graph) {
    if (graph == nullptr || StorageDeviceMissing()) return -1;
    int result = 0;
    for (int i = 0; i < graph->storageCount; ++i) result |= DeleteSurface2D(graph->storageHandles[i]);
    graph->storageCount = 0;
    return result;
}

int DeleteAllSurface2D() {
    ForEachSurface2D([](HandleId handle, const Surface2DRecord&) { DeleteSurface2D(handle); });
    return 0;
}

int DeleteAllSurface2DIfReady() {
    if (StorageDeviceMissing()) return -1;
    return DeleteAllSurface2D();
}

int ReleaseAllSurface2DSurfaces() {
    auto deviceStorage = [](const Surface2DRecord& record) {
        const SurfaceDataRecord* data = LookupSurfaceData(record.surfaceData);
        return data != nullptr && !data->heldAsMemImg && data->surface != nullptr;
    };
    // Every owner of a shared surface data is told before it is released.
    ForEachSurface2D([&](HandleId, const Surface2DRecord& record) {
        if (deviceStorage(record)) MarkLost(record);
    });
    ForEachSurface2D([&](HandleId, const Surface2DRecord& record) {
        if (deviceStorage(record)) ReleaseSurfaceDataSurfaces(record.surfaceData);
    });
    return 0;
}

int RecreateAllSurface2DSurfaces() {
    int result = 0;
    ForEachSurface2D([&result](HandleId, const Surface2DRecord& record) {
        if (CreateSurfaceDataSurfaces(record.surfaceData) < 0) {
            result = -1;
            return;
        }
        result |= SetSurfaceDataColorKey(record.surfaceData);
    });
    return result;
}

int GetGraphTargetStorage(const GraphRecord* graph, DrawTargetBinding* binding) {
    if (graph == nullptr || binding == nullptr) return -1;
    *binding = DrawTargetBinding{};
    // Texture graphics are drawn into by the Direct3D layer.
    if (graph->textureGraph || graph->storageCount < 1) return -1;
    const Surface2DRecord* first = LookupSurface2D(graph->storageHandles[0]);
    SurfaceDataRecord* data = first != nullptr ? LookupSurfaceData(first->surfaceData) : nullptr;
    if (data == nullptr) return -1;
    if (data->heldAsMemImg) {
        if (!MemImgHasPixels(&data->memImg)) return -1;
        binding->image = &data->memImg;
        if (data->zBufferMemImg.magic == kMemImgMagic) binding->zImage = &data->zBufferMemImg;
    } else {
        if (data->surface == nullptr) return -1;
        binding->surface = data->surface;
        binding->zSurface = data->zBufferSurface;
    }
    binding->offsetX = first->partX;
    binding->offsetY = first->partY;
    return 0;
}
