// Mask data: byte images behind mask handles, kept in a table of records
// that lives inline, and drawn into the mask screen.
#include <algorithm>
#include <array>
#include <cstring>

#include "core/memory.h"
#include "graphics/draw/mask.h"

namespace {

struct MaskRecord {
    std::uint32_t checkNumber;
    std::uint8_t* buffer;  // width x height bytes, owned
    int inUse;
    int width, height;
};

struct MaskTable {
    std::array<MaskRecord, kMaskSlotCount> records;
    HandleCheckCounter counter;
};

MaskTable g_maskTable{};

MaskRecord* LookupMask(HandleId handle) {
    const int slot = HandleSlotFor(handle, kHandleTypeMask, kMaskSlotCount);
    if (slot < 0) return nullptr;
    MaskRecord& record = g_maskTable.records[static_cast<std::size_t>(slot)];
    if (!record.inUse || !HandleCheckMatches(handle, record.checkNumber)) return nullptr;
    return &record;
}

}  // namespace

HandleId MakeMask(int width, int height) {
    // The product must fit a tracked block; a mask larger than any screen
    // is still allowed.
    if (width <= 0 || height <= 0 || static_cast<std::int64_t>(width) * height > 0x7FFFFFF) return kNoHandle;
    auto free = std::find_if(g_maskTable.records.begin(), g_maskTable.records.end(),
                             [](const MaskRecord& r) { return !r.inUse; });
    if (free == g_maskTable.records.end()) return kNoHandle;
    auto* buffer = static_cast<std::uint8_t*>(
        KV_ALLOC_ZEROED(static_cast<std::size_t>(width) * static_cast<std::size_t>(height)));
    if (buffer == nullptr) return kNoHandle;
    const int slot = static_cast<int>(free - g_maskTable.records.begin());
    *free = MaskRecord{g_maskTable.counter.Take(), buffer, 1, width, height};
    return MakeHandleId(kHandleTypeMask, free->checkNumber, slot);
}

int SetMaskData(HandleId mask, const std::uint8_t* bytes, int pitch) {
    MaskRecord* record = LookupMask(mask);
    if (record == nullptr || bytes == nullptr || pitch < record->width) return -1;
    for (int y = 0; y < record->height; ++y)
        std::memcpy(record->buffer + static_cast<std::size_t>(y) * static_cast<std::size_t>(record->width),
                    bytes + static_cast<std::size_t>(y) * static_cast<std::size_t>(pitch),
                    static_cast<std::size_t>(record->width));
    return 0;
}

int GetMaskSize(HandleId mask, int* width, int* height) {
    const MaskRecord* record = LookupMask(mask);
    if (record == nullptr) return -1;
    if (width != nullptr) *width = record->width;
    if (height != nullptr) *height = record->height;
    return 0;
}

int DrawMask(int x, int y, HandleId mask, int transparent) {
    const MaskRecord* record = LookupMask(mask);
    const MaskScreenState& screen = g_MaskScreen;
    if (record == nullptr || screen.buffer == nullptr) return -1;
    // The part of the mask that lies on the mask screen, in 64 bits so that
    // far-off positions cannot wrap.
    const std::int64_t left = std::max<std::int64_t>(x, 0), top = std::max<std::int64_t>(y, 0);
    const std::int64_t right = std::min<std::int64_t>(std::int64_t{x} + record->width, screen.width);
    const std::int64_t bottom = std::min<std::int64_t>(std::int64_t{y} + record->height, screen.height);
    if (left >= right) return 0;
    for (std::int64_t row = top; row < bottom; ++row) {
        const std::uint8_t* from = record->buffer + (row - y) * record->width + (left - x);
        std::uint8_t* to = screen.buffer + row * screen.rowBytes + left;
        const std::int64_t count = right - left;
        if (!transparent) {
            std::memcpy(to, from, static_cast<std::size_t>(count));
            continue;
        }
        for (std::int64_t i = 0; i < count; ++i)
            if (from[i] != 0) to[i] = from[i];
    }
    return 0;
}

int FreeMaskHandle(HandleId mask) {
    MaskRecord* record = LookupMask(mask);
    if (record == nullptr) return -1;
    KV_FREE(record->buffer);
    *record = MaskRecord{};
    return 0;
}

int FreeAllMaskHandles() {
    for (int slot = 0; slot < kMaskSlotCount; ++slot) {
        const MaskRecord& record = g_maskTable.records[static_cast<std::size_t>(slot)];
        if (record.inUse) FreeMaskHandle(MakeHandleId(kHandleTypeMask, record.checkNumber, slot));
    }
    return 0;
}
