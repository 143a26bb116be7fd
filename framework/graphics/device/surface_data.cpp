// The surface-data table: adding, looking up, sharing and deleting records.
// Making and changing the storage itself is in surface_data_storage.cpp.
#include "graphics/device/surface_data.h"

#include "core/log.h"
#include "core/memory.h"
#include "graphics/device/storage_device.h"

SurfaceDataTable g_SurfaceDataTable{};

namespace {

int SlotOf(HandleId handle) { return HandleSlotFor(handle, kHandleTypeSurfaceData, kSurfaceDataSlotCount); }

// Not a texture: software images with an alpha channel or a palette live in
// system memory, and a plain surface is always drawable. A texture never
// lies in system memory, and alpha test gives way to drawing and to an
// alpha channel.
void SettleFlags(SurfaceCreateFlags& f) {
    if (!f.TextureFlag) {
        if (f.AlphaChFlag || f.Palette8Flag) f.SystemMemFlag = 1;
        f.DrawValid = 1;
        f.AlphaTestFlag = 0;
    } else {
        f.SystemMemFlag = 0;
        if (f.DrawValid || f.AlphaChFlag) f.AlphaTestFlag = 0;
    }
    if (f.ColorBitDepth != 32) f.ColorBitDepth = 16;
}

}  // namespace

int InitSurfaceDataTable() {
    for (int slot = 0; slot < g_SurfaceDataTable.UsedEnd(); ++slot) {
        if (g_SurfaceDataTable.At(slot) != nullptr) DeleteSurfaceData(g_SurfaceDataTable.HandleAt(slot));
    }
    g_SurfaceDataTable.Clear();
    return 0;
}

HandleId AddSurfaceData(int initialRefCount, int width, int height, std::uint32_t transparentColor,
                        const SurfaceCreateFlags& flags) {
    SurfaceDataTable& table = g_SurfaceDataTable;
    if (table.IsFull()) {
        WriteLogText("サーフェスのデータ数が許容量を越えました。\n");
        return kNoHandle;
    }
    // The record keeps its size in 16 bits.
    if (width <= 0 || height <= 0 || width > 0xFFFF || height > 0xFFFF) {
        WriteLogFormat("サーフェスのサイズが不正です %d x %d", width, height);
        return kNoHandle;
    }
    const int slot = table.ChooseSlot();
    auto* record = static_cast<SurfaceDataRecord*>(KV_ALLOC_ZEROED(sizeof(SurfaceDataRecord)));
    if (record == nullptr) {
        WriteLogText("サーフェス用データを保存するメモリ領域の確保に失敗しました\n");
        return kNoHandle;
    }
    record->flags = flags;
    record->width = static_cast<std::uint16_t>(width);
    record->height = static_cast<std::uint16_t>(height);
    record->refCount = initialRefCount;
    record->transparentColor = transparentColor & 0xFFFFFFu;
    SettleFlags(record->flags);
    record->heldAsMemImg =
        record->flags.SystemMemFlag == 1 || (StorageScreenIsMemImg() && g_ScreenColorFormat.depth > 8) ? 1 : 0;

    const HandleId handle = table.Insert(slot, record, table.Counter().Take());
    if (CreateSurfaceDataSurfaces(handle) < 0) {
        DeleteSurfaceData(handle);
        return kNoHandle;
    }
    SetSurfaceDataColorKey(handle);
    return handle;
}

int DeleteSurfaceData(HandleId handle) {
    if (LookupSurfaceData(handle) == nullptr) return -1;
    ReleaseSurfaceDataSurfaces(handle);
    KV_FREE(g_SurfaceDataTable.Remove(SlotOf(handle)));
    return 0;
}

SurfaceDataRecord* LookupSurfaceData(HandleId handle) { return g_SurfaceDataTable.Lookup(handle); }

int AddSurfaceDataRef(HandleId handle) {
    SurfaceDataRecord* record = LookupSurfaceData(handle);
    if (record == nullptr) return -1;
    return ++record->refCount;
}

int ReleaseSurfaceDataRef(HandleId handle) {
    SurfaceDataRecord* record = LookupSurfaceData(handle);
    if (record == nullptr) return -1;
    const int left = --record->refCount;
    if (left <= 0) {
        DeleteSurfaceData(handle);
        return 0;
    }
    return left;
}
