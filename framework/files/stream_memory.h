// A read-only stream over a block of memory. It does not own the data.
#pragma once

#include <cstddef>
#include <cstdint>

struct MemoryStream {
    const unsigned char* data;
    std::size_t size;
    std::size_t position;
    int eof;  // 1 once a read found the end
};

// A new stream in tracked memory at position 0; null when memory runs out.
MemoryStream* OpenMemoryStream(const void* data, std::size_t size);
int CloseMemoryStream(MemoryStream* stream);  // frees the record, not the data
std::int64_t MemStreamTell(const MemoryStream* stream);
int MemStreamEof(const MemoryStream* stream);  // 1 at the end, else 0
// Offset from the start (0), the position (1) or the end (2); the result is
// clamped to 0..size and the end-of-file flag cleared. -1 for another origin.
int MemStreamSeek(MemoryStream* stream, std::int64_t offset, int origin);
// Whole items, except that a tail shorter than one item is copied and
// counted as 1.
std::int64_t MemStreamRead(void* buffer, std::size_t size, std::size_t count, MemoryStream* stream);
