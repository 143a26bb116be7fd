// The memory tracker: every allocation the framework makes for itself goes
// through here, with a header before each block.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr std::size_t kTrackedAllocHeaderSize = 64;

// Null on failure (the whole list is dumped to the log first). A size whose
// header arithmetic would wrap is refused.
void* TrackedAlloc(std::size_t size, const char* sourceName, int line);
void* TrackedAllocZeroed(std::size_t size, const char* sourceName, int line);
void TrackedFree(void* block);  // null is ignored
int CheckAllocations();          // 0 when every header matches its copy, else -1
void DumpAllocations();

// Convenience for framework code: the caller's file and line.
#define KV_ALLOC(size) TrackedAlloc((size), __FILE__, __LINE__)
#define KV_ALLOC_ZEROED(size) TrackedAllocZeroed((size), __FILE__, __LINE__)
#define KV_FREE(block) TrackedFree(block)
