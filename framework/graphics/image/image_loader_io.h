// Helpers the image loaders share: exact reads through a StreamData,
// little-endian fields, and pixel buffers sized with overflow checks.
#pragma once

#include <cstddef>
#include <cstdint>

#include "files/stream_functions.h"
#include "graphics/image/graph_image.h"

// Decoded images above this many bytes are refused: no asset comes near it,
// and a damaged header must not make the loader ask for gigabytes.
constexpr std::uint64_t kMaxImageBytes = 128ull << 20;
// Widths and heights above this are refused for the same reason.
constexpr std::uint32_t kMaxImageSide = 32768;

// true when exactly `size` bytes were read.
bool StreamReadExact(StreamData* stream, void* buffer, std::size_t size);
bool StreamSeekTo(StreamData* stream, std::int64_t offset);
// The stream's length (seek to the end, tell, seek back to where it was);
// -1 on failure.
std::int64_t StreamLength(StreamData* stream);
std::int64_t StreamPosition(StreamData* stream);

inline std::uint16_t ReadLe16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
inline std::uint32_t ReadLe32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

// pitch x height when both sides are in range and the product is below the
// cap; 0 otherwise.
std::size_t CheckedImageBytes(std::uint64_t width, std::uint64_t height, std::uint64_t pitch);

// A tracked buffer of `bytes` (zero-filled when asked); null on failure.
std::uint8_t* AllocImageBuffer(std::size_t bytes, bool zeroed);

// Gives the image its pixels and size; the format is filled by the caller.
void SetImagePixels(GraphImage* image, std::uint32_t width, std::uint32_t height, std::uint32_t pitch,
                    std::uint8_t* pixels);
