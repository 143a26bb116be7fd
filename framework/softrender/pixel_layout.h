// How the loops of one kind read and write pixels: the pixel sizes of the
// source and the destination, and the loads and stores of whole pixels.
#pragma once

#include <cstdint>

#include "softrender/blit_frame.h"
#include "softrender/packed_math.h"

template <BlitLoopKind K>
struct PixelLayout {
    static constexpr bool k32 = Is32(K.family);
    static constexpr bool kPaletted = IsPaletted(K.family);
    static constexpr bool kAlpha = K.alpha && !kPaletted;
    static constexpr int kSrcStep = kPaletted ? 1 : (k32 || kAlpha ? 4 : 2);
    static constexpr int kDestStep = k32 ? 4 : 2;

    static std::uint32_t LoadDest(const std::uint8_t* p) {
        if constexpr (k32) return LoadPixel32(p);
        else return LoadPixel16(p);
    }
    static void StoreDest(std::uint8_t* p, std::uint32_t v) {
        if constexpr (k32) StorePixel32(p, v);
        else StorePixel16(p, v);
    }
    // The value compared with the transparent colour: the index, the 5:6:5
    // word or the whole 32-bit pixel.
    static std::uint32_t Raw(const std::uint8_t* s) {
        if constexpr (kPaletted) return s[0];
        else if constexpr (k32) return LoadPixel32(s);
        else return LoadPixel16(s);
    }
    static std::uint32_t AlphaOf(const std::uint8_t* s) { return k32 ? s[3] : s[2]; }
};
