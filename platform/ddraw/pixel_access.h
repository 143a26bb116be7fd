// Reading and writing one pixel of 1 to 4 bytes, little-endian, at any
// address: shared by the DirectDraw surfaces and the GDI device contexts.
#pragma once

#include <cstdint>

#include "platform/types.h"

inline DWORD ReadPixel(const std::uint8_t* p, int bytes) {
    switch (bytes) {
        case 1: return p[0];
        case 2: return static_cast<DWORD>(p[0] | (p[1] << 8));
        case 3: return static_cast<DWORD>(p[0] | (p[1] << 8) | (p[2] << 16));
        default: return static_cast<DWORD>(p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<DWORD>(p[3]) << 24));
    }
}

inline void WritePixel(std::uint8_t* p, int bytes, DWORD v) {
    for (int i = 0; i < bytes; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
