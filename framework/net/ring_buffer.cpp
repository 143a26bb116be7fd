// Growing the byte ring. A ring grows to what it must hold and 1000 bytes
// more, and to at least twice its size, so that a stream of additions costs
// time in proportion to its bytes; a grown ring holds its bytes from the
// front of the new storage, in order, whatever wrap they had.
#include "net/ring_buffer.h"

#include <cstring>

#include "core/log.h"
#include "core/memory.h"

namespace {

// Some room beyond what is asked for, so that a stream of small additions
// does not reallocate each time.
constexpr std::uint64_t kGrowthSlack = 1000;
// The most a ring can hold: what one tracked block can be.
constexpr std::uint64_t kMaxCapacity = kTrackedAllocMaxSize;

}  // namespace

int FreeRingBuffer(RingBuffer* ring) {
    if (ring == nullptr) return 0;
    TrackedFree(ring->data);
    *ring = RingBuffer{};
    return 0;
}

void WrapRingBufferPositions(RingBuffer* ring) {
    if (ring->readPosition == ring->capacity) ring->readPosition = 0;
    if (ring->writePosition == ring->capacity) ring->writePosition = 0;
}

int ReserveRingBuffer(std::uint32_t need, RingBuffer* ring) {
    WrapRingBufferPositions(ring);

    // Computed wide: `need` can come from a peer's frame header, and a sum
    // that wrapped would leave a small block for a large receive.
    std::uint64_t wanted = static_cast<std::uint64_t>(ring->dataSize) + need;
    if (ring->capacity >= wanted) return 0;
    // At least double: a ring grown by each addition's size alone copies all
    // it holds on every addition, and a stream of them costs time quadratic
    // in what is queued.
    std::uint64_t newCapacity = wanted + kGrowthSlack;
    std::uint64_t doubled = 2 * static_cast<std::uint64_t>(ring->capacity);
    if (doubled > newCapacity) newCapacity = doubled < kMaxCapacity ? doubled : kMaxCapacity;
    if (newCapacity < wanted + kGrowthSlack) newCapacity = wanted + kGrowthSlack;  // beyond the most: refused

    std::uint8_t* grown = nullptr;
    if (newCapacity <= kMaxCapacity) grown = static_cast<std::uint8_t*>(KV_ALLOC(newCapacity));
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

int AppendRingBuffer(RingBuffer* ring, const void* data, std::uint32_t n) {
    WrapRingBufferPositions(ring);
    if (ReserveRingBuffer(n, ring) != 0) {
        WriteLogFormat("リングバッファへのデータの追加に失敗しました(追加する長さ %u byte)", n);
        return -1;
    }
    if (n == 0) return 0;
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    std::uint32_t first = ring->capacity - ring->writePosition;  // up to the end of the storage
    if (first > n) first = n;
    std::memcpy(ring->data + ring->writePosition, bytes, first);
    std::memcpy(ring->data, bytes + first, n - first);
    ring->writePosition = (ring->writePosition + n) % ring->capacity;
    ring->dataSize += n;
    return 0;
}

int ReadRingBuffer(RingBuffer* ring, void* out, std::uint32_t n, int peek) {
    if (ring->dataSize < n) return -1;
    WrapRingBufferPositions(ring);
    if (n == 0) return 0;
    auto* bytes = static_cast<std::uint8_t*>(out);
    std::uint32_t first = ring->capacity - ring->readPosition;
    if (first > n) first = n;
    std::memcpy(bytes, ring->data + ring->readPosition, first);
    std::memcpy(bytes + first, ring->data, n - first);
    if (!peek) {
        ring->readPosition = (ring->readPosition + n) % ring->capacity;
        ring->dataSize -= n;
    }
    return 0;
}
