// The memory tracker. Live blocks form one list, newest first, ending at a
// sentinel that is never freed. Each header carries a copy of its leading
// bytes so that code writing in front of its block is caught.
//
// The tracker has no lock of its own: every caller runs under the framework
// lock.
#include "core/memory.h"

#include <cstdlib>
#include <cstring>
#include <iterator>

#include "core/log.h"
#include "core/system_state.h"
#include "core/utility.h"

MemoryTracker g_MemoryTracker{};

namespace {

int g_failuresToInject = 0;
std::size_t g_failAtLeast = 0;  // 0: off

const char kDamagedHeaderText[] = "以下のメモリ確保情報が破損しました";

TrackedAllocHeader* HeaderOf(void* block) {
    return reinterpret_cast<TrackedAllocHeader*>(static_cast<unsigned char*>(block) - kTrackedAllocHeaderSize);
}

unsigned char* BlockOf(const TrackedAllocHeader* header) {
    return reinterpret_cast<unsigned char*>(const_cast<TrackedAllocHeader*>(header)) + kTrackedAllocHeaderSize;
}

void RefreshCopy(TrackedAllocHeader* header) {
    std::memcpy(header->copy, header, kTrackedAllocCheckedBytes);
}

bool HeaderIntact(const TrackedAllocHeader* header) {
    return std::memcmp(header->copy, header, kTrackedAllocCheckedBytes) == 0;
}

void StoreSourceName(TrackedAllocHeader* header, const char* name) {
    std::memset(header->sourceName, 0, sizeof header->sourceName);
    if (name == nullptr) return;
    std::size_t length = std::strlen(name);
    const std::size_t keep = sizeof header->sourceName - 1;  // 15
    const char* from = length > keep ? name + (length - keep) : name;
    std::memcpy(header->sourceName, from, length > keep ? keep : length);
}

// Whether the allocation or free of a block of this size is logged.
bool ShouldLog(std::uint32_t size) {
    const MemoryTracker& t = g_MemoryTracker;
    return t.logEach == 1 || t.logOnlySize < 0 || static_cast<std::uint32_t>(t.logOnlySize) == size;
}

void LogTotals() {
    const MemoryTracker& t = g_MemoryTracker;
    WriteLogFormat("\tTotal size:%lld(%.3fkb)  Alloc num:%d", static_cast<long long>(t.totalSize),
                   static_cast<double>(t.totalSize) / 1024.0, t.count);
}

void ReportDamaged(const TrackedAllocHeader* header) {
    WriteLogText(kDamagedHeaderText);
    LogAllocationInfo(header);
}

}  // namespace

void SetTrackedAllocFailures(int count) { g_failuresToInject = count < 0 ? 0 : count; }
void SetTrackedAllocFailuresFromSize(std::size_t size) { g_failAtLeast = size; }

void* TrackedAlloc(std::size_t size, const char* sourceName, int line) {
    MemoryTracker& t = g_MemoryTracker;

    // A size near the top of the range would wrap the header arithmetic (and
    // the 32-bit size field) into a tiny block that the caller then overruns.
    void* memory = nullptr;
    if (size > kTrackedAllocMaxSize) {
        WriteLogFormat("Tracked allocation of %zu bytes refused: larger than %zu bytes", size,
                       kTrackedAllocMaxSize);
    } else if (g_failuresToInject > 0) {
        --g_failuresToInject;
    } else if (g_failAtLeast != 0 && size >= g_failAtLeast) {
        // a test's injected failure of large blocks
    } else {
        memory = std::malloc(size + kTrackedAllocHeaderSize);
    }
    if (memory == nullptr) {
        DumpAllocations();
        return nullptr;
    }

    auto* header = static_cast<TrackedAllocHeader*>(memory);
    std::memset(header, 0, sizeof *header);
    header->size = static_cast<std::uint32_t>(size);
    StoreSourceName(header, sourceName);
    header->line = static_cast<std::uint16_t>(line);
    header->id = t.nextId;
    t.nextId = static_cast<std::uint16_t>(t.nextId + 1);

    TrackedAllocHeader* newest = t.head != nullptr ? t.head : &t.sentinel;
    newest->next = header;
    header->previous = newest;
    header->next = nullptr;
    t.head = header;
    RefreshCopy(newest);
    RefreshCopy(header);

    t.totalSize += static_cast<std::int64_t>(size);
    if (t.totalSize > t.peakSize) t.peakSize = t.totalSize;
    t.count += 1;

    if (ShouldLog(header->size)) {
        WriteLogText("mem alloc  ");
        LogAllocationInfo(header);
    }
    if (t.logTotals == 1) LogTotals();
    if (t.checkEach == 1) CheckAllocations();
    return BlockOf(header);
}

void* TrackedAllocZeroed(std::size_t size, const char* sourceName, int line) {
    void* block = TrackedAlloc(size, sourceName, line);
    if (block != nullptr) std::memset(block, 0, size);
    return block;
}

void TrackedFree(void* block) {
    if (block == nullptr) return;
    MemoryTracker& t = g_MemoryTracker;
    TrackedAllocHeader* header = HeaderOf(block);

    // Unlinking through an overwritten header would follow wild links: report
    // it and leave the block where it is.
    if (!HeaderIntact(header)) {
        ReportDamaged(header);
        return;
    }

    t.totalSize -= static_cast<std::int64_t>(header->size);
    t.count -= 1;
    if (t.checkEach == 1) CheckAllocations();

    TrackedAllocHeader* previous = header->previous;
    TrackedAllocHeader* next = header->next;
    if (previous != nullptr) {
        previous->next = next;
        RefreshCopy(previous);
    }
    if (next != nullptr) {
        next->previous = previous;
        RefreshCopy(next);
    }
    if (t.head == header) t.head = previous;

    if (ShouldLog(header->size)) {
        WriteLogText("mem free  ");
        LogAllocationInfo(header);
    }
    if (t.logTotals == 1) LogTotals();
    std::free(header);
}

int CheckAllocations() {
    const MemoryTracker& t = g_MemoryTracker;
    for (const TrackedAllocHeader* h = t.head; h != nullptr && h != &t.sentinel; h = h->previous) {
        if (!HeaderIntact(h)) {
            ReportDamaged(h);
            return -1;
        }
    }
    return 0;
}

void LogAllocationInfo(const TrackedAllocHeader* header) {
    // At most 16 bytes are shown, so the text stays well inside the buffer
    // (the name is at most 15 characters).
    char text[256];
    FormatString(text, sizeof text, "\tsize:%u(%.3fkb)  file:%s  line:%u  ID:%u  data:<",
                              header->size, static_cast<double>(header->size) / 1024.0, header->sourceName,
                              static_cast<unsigned>(header->line), static_cast<unsigned>(header->id));
    std::size_t at = std::strlen(text);
    const unsigned char* data = BlockOf(header);
    // The size as it stood when the header was last written counts too: a
    // damaged size field must not make this read past the block.
    std::uint32_t copiedSize = 0;
    std::memcpy(&copiedSize, header->copy + offsetof(TrackedAllocHeader, size), sizeof copiedSize);
    std::size_t shown = 16;
    if (header->size < shown) shown = header->size;
    if (copiedSize < shown) shown = copiedSize;

    for (std::size_t i = 0; i < shown; ++i) {
        unsigned char c = data[i];
        text[at++] = (c < 0x20 || c > 0x7F) ? '.' : static_cast<char>(c);
    }
    text[at++] = '>';
    text[at++] = ' ';
    text[at++] = '[';
    static const char kHex[] = "0123456789abcdef";
    for (std::size_t i = 0; i < shown; ++i) {
        text[at++] = kHex[data[i] >> 4];
        text[at++] = kHex[data[i] & 0xF];
        text[at++] = ' ';
    }
    text[at - 1] = ']';  // the last space, or the opening bracket of an empty block
    text[at++] = '\n';
    text[at] = '\0';
    WriteLogText(text);
}

void DumpAllocations() {
    const MemoryTracker& t = g_MemoryTracker;
    WriteLogText("\n");
    WriteLogText("Alloc memory dump");
    for (const TrackedAllocHeader* h = t.head; h != nullptr && h != &t.sentinel; h = h->previous) {
        if (!HeaderIntact(h)) {
            // Its links cannot be trusted; the blocks behind it stay unlisted.
            ReportDamaged(h);
            break;
        }
        LogAllocationInfo(h);
    }
    LogTotals();
    WriteLogText("\n");
}

int ClearDroppedFiles() {
    SystemState& s = g_SystemState;
    for (int i = 0; i < s.droppedFileCount && i < static_cast<int>(std::size(s.droppedFiles)); ++i) {
        TrackedFree(s.droppedFiles[i]);
        s.droppedFiles[i] = nullptr;
    }
    s.droppedFileCount = 0;
    return 0;
}
