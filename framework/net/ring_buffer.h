// A growable byte ring, used by the socket layer for what it sends and
// receives. Bytes are added at the write position and taken from the read
// position; both wrap at the capacity.
#pragma once

#include <cstdint>

struct RingBuffer {
    std::uint8_t* data;           // tracked memory
    std::uint32_t readPosition;
    std::uint32_t writePosition;
    std::uint32_t dataSize;       // bytes stored
    std::uint32_t capacity;
};

// Makes room for `need` more bytes: 0, or -1 when the ring cannot grow (it is
// then emptied, and the failure logged).
int ReserveRingBuffer(std::uint32_t need, RingBuffer* ring);
// Frees the data and clears all five fields; 0.
int FreeRingBuffer(RingBuffer* ring);

// A read or write position equal to the capacity becomes 0.
void WrapRingBufferPositions(RingBuffer* ring);
// Adds n bytes, growing the ring first: 0, or -1 when it cannot grow (logged;
// the ring is then empty).
int AppendRingBuffer(RingBuffer* ring, const void* data, std::uint32_t n);
// Copies n bytes from the read position into `out`, taking them out of the
// ring unless `peek`: 0, or -1 when fewer than n are held.
int ReadRingBuffer(RingBuffer* ring, void* out, std::uint32_t n, int peek);
