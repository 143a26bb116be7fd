// The memory tracker: every allocation the framework makes for itself goes
// through here, with a header before each block.
#pragma once

#include <cstddef>
#include <cstdint>

// The header placed directly before each block. It keeps the fields of the
// 32-bit design (name, ID, line, size, links) and, behind them, a copy of
// those leading bytes, rewritten whenever the header changes; a header whose
// copy differs has been overwritten by someone. With 64-bit links the leading
// fields take 40 bytes, so the header is 80: the copy fits whole and the
// caller's block stays 16-byte aligned.
struct alignas(16) TrackedAllocHeader {
    char sourceName[16];           // the caller's name, or its last 15 characters
    std::uint16_t id;              // running 16-bit counter (wraps)
    std::uint16_t line;
    std::uint32_t size;            // bytes of the caller's block
    TrackedAllocHeader* previous;  // older header; the sentinel for the oldest
    TrackedAllocHeader* next;      // newer header; null for the newest
    unsigned char copy[40];        // bytes 0-39 of this header
};

constexpr std::size_t kTrackedAllocHeaderSize = sizeof(TrackedAllocHeader);
constexpr std::size_t kTrackedAllocCheckedBytes = sizeof(TrackedAllocHeader::copy);
static_assert(kTrackedAllocHeaderSize == 80 && kTrackedAllocHeaderSize % 16 == 0);
static_assert(offsetof(TrackedAllocHeader, copy) == kTrackedAllocCheckedBytes);

// The largest block the tracker hands out: the size must fit the header's
// 32-bit field and the signed 32-bit totals together with the header.
constexpr std::size_t kTrackedAllocMaxSize = 0x7FFFFFFF - kTrackedAllocHeaderSize;

// The tracker's state. It lives outside `SystemState`, so the clearing of
// that block at window start leaves it alone.
struct MemoryTracker {
    TrackedAllocHeader* head;      // newest header; null before the first allocation
    TrackedAllocHeader sentinel;   // stands before the oldest block, never freed
    std::int64_t totalSize;        // bytes in live blocks
    std::int64_t peakSize;         // the most bytes live at once; tests lower it to totalSize to measure
    int count;                     // live blocks
    std::uint16_t nextId;
    // Switches, all 0 by default; nothing in the program sets them.
    int logEach;                   // log every allocation and free
    int logTotals;                 // log the totals after each allocation and free
    int checkEach;                 // check every header on each allocation and free
    int logOnlySize;               // >= 0: log blocks of exactly this size; < 0: log all
};

extern MemoryTracker g_MemoryTracker;

// Null on failure (the whole list is dumped to the log first). A size above
// kTrackedAllocMaxSize is refused the same way.
void* TrackedAlloc(std::size_t size, const char* sourceName, int line);
void* TrackedAllocZeroed(std::size_t size, const char* sourceName, int line);
void TrackedFree(void* block);  // null is ignored
int CheckAllocations();          // 0 when every header matches its copy, else -1
void DumpAllocations();
void LogAllocationInfo(const TrackedAllocHeader* header);
// Frees every name of the window's dropped-file list and empties it; 0.
int ClearDroppedFiles();

// For tests: the next `count` allocations fail as if the heap were exhausted.
void SetTrackedAllocFailures(int count);
// For tests: every allocation of at least `size` bytes fails (0: none).
void SetTrackedAllocFailuresFromSize(std::size_t size);

// Convenience for framework code: the caller's file and line.
#define KV_ALLOC(size) TrackedAlloc((size), __FILE__, __LINE__)
#define KV_ALLOC_ZEROED(size) TrackedAllocZeroed((size), __FILE__, __LINE__)
#define KV_FREE(block) TrackedFree(block)
