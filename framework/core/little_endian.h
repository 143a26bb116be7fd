// Little-endian fields of file formats, read and written byte by byte so
// that neither the host's byte order nor alignment matters.
#pragma once

#include <cstdint>

inline std::uint16_t LoadU16(const unsigned char* b) { return static_cast<std::uint16_t>(b[0] | (b[1] << 8)); }

inline std::uint32_t LoadU32(const unsigned char* b) {
    return static_cast<std::uint32_t>(b[0]) | (static_cast<std::uint32_t>(b[1]) << 8) |
           (static_cast<std::uint32_t>(b[2]) << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
}

inline std::uint64_t LoadU64(const unsigned char* b) {
    return static_cast<std::uint64_t>(LoadU32(b)) | (static_cast<std::uint64_t>(LoadU32(b + 4)) << 32);
}

inline void StoreU16(unsigned char* b, std::uint16_t v) {
    b[0] = static_cast<unsigned char>(v);
    b[1] = static_cast<unsigned char>(v >> 8);
}

inline void StoreU32(unsigned char* b, std::uint32_t v) {
    StoreU16(b, static_cast<std::uint16_t>(v));
    StoreU16(b + 2, static_cast<std::uint16_t>(v >> 16));
}

inline void StoreU64(unsigned char* b, std::uint64_t v) {
    StoreU32(b, static_cast<std::uint32_t>(v));
    StoreU32(b + 4, static_cast<std::uint32_t>(v >> 32));
}
