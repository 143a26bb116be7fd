// Memory block routines.
#include <cstring>

#include "core/utility.h"

int CompareBytes(const void* a, const void* b, int count) {
    if (count < 0) return 1;
    if (count == 0) return 0;
    return std::memcmp(a, b, static_cast<std::size_t>(count)) == 0 ? 0 : 1;
}

void MemoryFill(void* dest, int byte, std::size_t count) {
    if (count > 0) std::memset(dest, byte, count);
}

int MemoryCompare(const void* a, const void* b, std::size_t count) {
    if (count == 0) return 0;
    return std::memcmp(a, b, count) == 0 ? 0 : 1;
}

void MemoryCopy(void* dest, const void* src, std::size_t count) {
    if (count > 0) std::memcpy(dest, src, count);
}

void MemoryMove(void* dest, const void* src, std::size_t count) {
    // Copies backward when the source lies below the destination, so an
    // overlapping block arrives intact.
    if (count > 0) std::memmove(dest, src, count);
}
