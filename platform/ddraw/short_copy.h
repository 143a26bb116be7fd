// Copies of a few bytes to a few hundred, inline: the opaque runs of keyed
// pictures and the rows of small rectangles are mostly 8 to 64 bytes, where
// a library call per run costs more than the move itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

// Moves `n` bytes (n >= 1) from `in` to `out`; the two must not overlap.
// Every length is done as two moves of a fixed size that meet or overlap in
// the middle, or as 32-byte steps and a last 32 bytes that may overlap them.
inline void CopyShortRun(std::uint8_t* out, const std::uint8_t* in, std::size_t n) {
    typedef std::uint8_t Block16 __attribute__((vector_size(16)));
    if (n <= 16) {
        if (n >= 8) {
            std::uint64_t head, tail;
            std::memcpy(&head, in, 8);
            std::memcpy(&tail, in + n - 8, 8);
            std::memcpy(out, &head, 8);
            std::memcpy(out + n - 8, &tail, 8);
        } else if (n >= 4) {
            std::uint32_t head, tail;
            std::memcpy(&head, in, 4);
            std::memcpy(&tail, in + n - 4, 4);
            std::memcpy(out, &head, 4);
            std::memcpy(out + n - 4, &tail, 4);
        } else if (n >= 2) {
            std::uint16_t head, tail;
            std::memcpy(&head, in, 2);
            std::memcpy(&tail, in + n - 2, 2);
            std::memcpy(out, &head, 2);
            std::memcpy(out + n - 2, &tail, 2);
        } else {
            *out = *in;
        }
        return;
    }
    if (n <= 32) {
        Block16 head, tail;
        std::memcpy(&head, in, 16);
        std::memcpy(&tail, in + n - 16, 16);
        std::memcpy(out, &head, 16);
        std::memcpy(out + n - 16, &tail, 16);
        return;
    }
    if (n > 512) {
        std::memcpy(out, in, n);  // long enough for the library's own loop to pay
        return;
    }
    Block16 lastA, lastB;
    std::memcpy(&lastA, in + n - 32, 16);
    std::memcpy(&lastB, in + n - 16, 16);
    for (std::size_t i = 0; i + 32 < n; i += 32) {
        Block16 a, b;
        std::memcpy(&a, in + i, 16);
        std::memcpy(&b, in + i + 16, 16);
        std::memcpy(out + i, &a, 16);
        std::memcpy(out + i + 16, &b, 16);
    }
    std::memcpy(out + n - 32, &lastA, 16);
    std::memcpy(out + n - 16, &lastB, 16);
}
