// What one destination pixel of the unscaled or the scaled blit should become, worked out
// from the drawing rules one pixel at a time: which loop the settings choose
// (special parameter values, run list or general), how the pixel's
// transparency is decided, the bright colour, then the blend. Products and
// divisions are plain 64-bit arithmetic through the per-pixel reference, never
// the renderer's tables, packed recipes or vector forms.
#pragma once

#include <cstdint>

#include "framework/softrender/pixel_oracle.h"

namespace blit_reference {

struct BlitSettings {
    pixel_oracle::PixelKind kind = pixel_oracle::PixelKind::k16;
    bool paletted = false;
    bool alphaChannel = false;  // the source has alpha (never with a palette)
    std::uint32_t mode = 0;
    std::uint32_t param = 255;
    std::uint32_t bright = 0xFFFFFF;  // 0x00RRGGBB
    bool mask = false;
    int transparent = 0;  // the caller's flag
    bool mmx = false;
    bool runList = false;  // the draw walks the source's run list
    // A pixel of the scaled blit: no half-weight alpha and no full-strength
    // add, 16-bit alpha always by the signed difference, and only the
    // subtract at 255 has a full-strength form.
    bool scaled = false;
};

// One source pixel as the loops see it.
struct SourcePixel {
    std::uint32_t raw = 0;     // index, 5:6:5 word or whole 32-bit pixel: what the key is compared with
    std::uint32_t colour = 0;  // the palette entry or the pixel (16-bit: the word; 32-bit: all 4 bytes)
    std::uint32_t alpha = 255; // alpha images only
};

// key: the source's transparent colour. weight: the blend-mask weight of
// the pixel (ignored without a mask). d: the destination pixel before.
std::uint32_t ExpectedPixel(const BlitSettings& s, const SourcePixel& src, std::uint32_t key, std::uint32_t weight,
                            std::uint32_t d);

// The whole-pixel operations of the special loops, channel by channel.
// Full-strength add: the general add whose lowest green and red bits come
// from the carry below alone.
std::uint32_t AddPixelsFullStrength(pixel_oracle::PixelKind kind, std::uint32_t d, std::uint32_t s);
// Each of the four bytes added (or subtracted) and clamped on its own.
std::uint32_t AddBytesClamped(std::uint32_t d, std::uint32_t s);
std::uint32_t SubtractBytesClamped(std::uint32_t d, std::uint32_t s);

}  // namespace blit_reference
