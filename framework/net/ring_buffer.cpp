// Growing the byte ring. A grown ring holds its bytes from the front of the
// new storage, in order, whatever wrap they had.
#include "net/ring_buffer.h"

#include <cstring>

#include "core/log.h"
#include "core/memory.h"

namespace {

// Some room beyond what is asked for, so that a stream of small additions
// does not reallocate each time.
constexpr std::uint64_t kGrowthSlack = 1000;

}  // namespace

int FreeRingBuffer(RingBuffer* ring) {
    if (ring == nullptr) return 0;
    TrackedFree(ring->data);
    *ring = RingBuffer{};
    return 0;
}

int ReserveRingBuffer(std::uint32_t need, RingBuffer* ring) {
    if (ring->readPosition == ring->capacity) ring->readPosition = 0;
    if (ring->writePosition == ring->capacity) ring->writePosition = 0;

    // Computed wide: `need` can come from a peer's frame header, and a sum
    // that wrapped would leave a small block for a large receive.
    std::uint64_t wanted = static_cast<std::uint64_t>(ring->dataSize) + need;
    if (ring->capacity >= wanted) return 0;
    std::uint64_t newCapacity = wanted + kGrowthSlack;

    std::uint8_t* grown = nullptr;
    if (newCapacity <= UINT32_MAX) grown = static_cast<std::uint8_t*>(KV_ALLOC(newCapacity));
    if (grown == nullptr) {
        FreeRingBuffer(ring);
        WriteLogFormat("リングバッファの再確保に失敗しました(確保しようとしたサイズ %llu byte)",
                       static_cast<unsigned long long>(newCapacity));
        return -1;
    }

    std::uint32_t stored = ring->dataSize;
    if (stored > 0) {
        std::uint32_t first = ring->capacity - ring->readPosition;  // up to the old end
        if (first > stored) first = stored;
        std::memcpy(grown, ring->data + ring->readPosition, first);
        std::memcpy(grown + first, ring->data, stored - first);  // the wrapped rest, from the old start
    }
    TrackedFree(ring->data);
    ring->data = grown;
    ring->readPosition = 0;
    ring->writePosition = stored;
    ring->capacity = static_cast<std::uint32_t>(newCapacity);
    return 0;
}
