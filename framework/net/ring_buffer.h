// A growable byte ring, used by the socket layer for what it sends and
// receives.
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
