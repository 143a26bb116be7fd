// The converting blit's working record and the per-pixel conversion that
// its general loop and its table-driven fast loops share.
#pragma once

#include <cstddef>
#include <cstdint>

#include "graphics/image/color_format.h"

// One call of the blit, with its flags settled and the descriptors copied.
struct ConvertJob {
    ColorFormatDesc dest;
    ColorFormatDesc src;
    ColorFormatDesc alpha;  // meaningful when hasAlphaImage
    std::uint8_t* destPixels;
    std::ptrdiff_t destPitch;
    const std::uint8_t* srcPixels;
    std::ptrdiff_t srcPitch;
    const std::uint8_t* alphaPixels;
    std::ptrdiff_t alphaPitch;
    bool hasAlphaImage;
    int destBpp, srcBpp, alphaBpp;
    int destX, destY;
    int left, top, width, height;  // source rectangle
    bool mirror;
    bool alphaWanted;     // the destination takes alpha from the source or the alpha image
    bool alphaFromImage;  // ... from the alpha image
    bool alphaFromColor;
    bool dither;
    bool transCopy;
    int forceGeneralLoop;
    int convertOption;
    std::uint32_t transColor;

    const std::uint8_t* SrcRow(int row) const {
        return srcPixels + static_cast<std::ptrdiff_t>(top + row) * srcPitch +
               static_cast<std::ptrdiff_t>(left) * srcBpp;
    }
    const std::uint8_t* AlphaRow(int row) const {
        return alphaPixels + static_cast<std::ptrdiff_t>(top + row) * alphaPitch +
               static_cast<std::ptrdiff_t>(left) * alphaBpp;
    }
    std::uint8_t* DestRow(int row) const {
        return destPixels + static_cast<std::ptrdiff_t>(destY + row) * destPitch +
               static_cast<std::ptrdiff_t>(destX) * destBpp;
    }
};

// Pixels are little-endian, 1 to 4 bytes.
inline std::uint32_t ReadPixel(const std::uint8_t* p, int bytes) {
    switch (bytes) {
        case 1: return p[0];
        case 2: return static_cast<std::uint32_t>(p[0] | (p[1] << 8));
        case 3: return static_cast<std::uint32_t>(p[0] | (p[1] << 8) | (p[2] << 16));
        default:
            return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
                   (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
    }
}

inline void WritePixel(std::uint8_t* p, int bytes, std::uint32_t value) {
    p[0] = static_cast<std::uint8_t>(value);
    if (bytes > 1) p[1] = static_cast<std::uint8_t>(value >> 8);
    if (bytes > 2) p[2] = static_cast<std::uint8_t>(value >> 16);
    if (bytes > 3) p[3] = static_cast<std::uint8_t>(value >> 24);
}

// The bits of a pixel that a comparison at pixel size looks at.
inline std::uint32_t PixelSizeMask(int bytes) {
    return bytes >= 4 ? 0xFFFFFFFFu : (1u << (bytes * 8)) - 1u;
}

// An 8-bit format is paletted when its channel masks reach above the byte
// (their layout is the palette entries'); a one-byte single-channel format
// (masks 0xFF) holds its values directly.
inline bool IsPalettedFormat(const ColorFormatDesc& f) {
    return f.depth == 8 && ((f.redMask | f.greenMask | f.blueMask) & ~0xFFu) != 0;
}

// How one source pixel becomes one destination pixel, worked out once per call.
struct ChannelPlan {
    std::uint32_t srcMask;
    int srcShift, srcWidth;
    std::uint32_t destMask;
    int destShift, destWidth;
    // Alpha from the transparent colour compares each channel at the
    // precision both formats share.
    int compareDrop;
    std::uint32_t compareValue;
};

enum class AlphaSource { None, Source, Image, Color, Opaque };

struct PixelPlan {
    ChannelPlan color[3];  // red, green, blue
    ChannelPlan alpha;
    AlphaSource alphaSource;
    bool srcPaletted;
    const std::uint32_t* srcPalette;
    bool alphaPaletted;
    const std::uint32_t* alphaPalette;
    bool dither;
};

void MakePixelPlan(const ConvertJob& job, PixelPlan* plan);
// ditherLevel is the ordered-dither matrix value (0-15) of the destination
// position; it is read only when the plan dithers.
std::uint32_t ConvertOnePixel(const PixelPlan& plan, std::uint32_t srcPixel, std::uint32_t alphaPixel,
                              int ditherLevel);
// The 4 x 4 ordered-dither matrix value at a destination position.
int DitherLevel(int x, int y);

// The general per-pixel loop. Returns 0, or -1 when the destination is
// 8-bit and the source is not.
int RunGeneralLoop(const ConvertJob& job);
// The fast conversions; false when none fits the job.
bool RunFastConversion(const ConvertJob& job);
