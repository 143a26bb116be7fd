// Pixels in and out of surface layouts, and the blend of two pixels.
#include <algorithm>
#include <bit>
#include <map>
#include <memory>
#include <mutex>
#include <tuple>

#include "d3d/raster.h"

namespace {

struct ChannelField {
    int shift, width;
};

ChannelField FieldOf(DWORD mask) {
    if (mask == 0) return {0, 0};
    const int shift = std::countr_zero(mask);
    return {shift, std::popcount(mask)};
}

std::uint32_t Widen(std::uint32_t raw, DWORD mask) {
    const ChannelField f = FieldOf(mask);
    return WidenChannel((raw & mask) >> f.shift, f.width);
}

std::uint32_t Narrow(std::uint32_t value8, DWORD mask) {
    const ChannelField f = FieldOf(mask);
    if (f.width == 0) return 0;
    const std::uint32_t v = f.width >= 8 ? value8 << (f.width - 8) : value8 >> (8 - f.width);
    return (v << f.shift) & mask;
}

}  // namespace

std::uint32_t ExpandPixel(const PlatformPixelLayout& layout, std::uint32_t raw) {
    const std::uint32_t a = layout.alphaMask != 0 ? Widen(raw, layout.alphaMask) : 255;
    return a << 24 | Widen(raw, layout.redMask) << 16 | Widen(raw, layout.greenMask) << 8 | Widen(raw, layout.blueMask);
}

std::uint32_t EncodePixel(const PlatformPixelLayout& layout, std::uint32_t argb) {
    return Narrow(argb >> 24 & 0xFF, layout.alphaMask) | Narrow(argb >> 16 & 0xFF, layout.redMask) |
           Narrow(argb >> 8 & 0xFF, layout.greenMask) | Narrow(argb & 0xFF, layout.blueMask);
}

const std::uint32_t* DecodeTable16(const PlatformPixelLayout& layout) {
    if (layout.bitsPerPixel != 16) return nullptr;
    // Draws ask for the same one or two layouts over and over.
    thread_local PlatformPixelLayout lastLayout{};
    thread_local const std::uint32_t* lastTable = nullptr;
    if (lastTable != nullptr && layout == lastLayout) return lastTable;
    static std::mutex mutex;
    static std::map<std::tuple<DWORD, DWORD, DWORD, DWORD>, std::unique_ptr<std::uint32_t[]>> tables;
    std::lock_guard lock(mutex);
    auto& table = tables[{layout.redMask, layout.greenMask, layout.blueMask, layout.alphaMask}];
    if (!table) {
        table = std::make_unique<std::uint32_t[]>(65536);
        for (std::uint32_t raw = 0; raw < 65536; ++raw) table[raw] = ExpandPixel(layout, raw);
    }
    lastLayout = layout;
    lastTable = table.get();
    return table.get();
}

namespace {

// The factor of one channel: `channel` 0-2 colour, 3 alpha.
std::uint32_t Factor(DWORD blend, std::uint32_t src, std::uint32_t dst, int channel) {
    auto part = [](std::uint32_t argb, int c) { return c == 3 ? argb >> 24 : argb >> (16 - 8 * c) & 0xFF; };
    const std::uint32_t sa = src >> 24, da = dst >> 24;
    switch (blend) {
        case D_D3DBLEND_ZERO: return 0;
        case D_D3DBLEND_ONE: return 255;
        case D_D3DBLEND_SRCCOLOR: return part(src, channel);
        case D_D3DBLEND_INVSRCCOLOR: return 255 - part(src, channel);
        case D_D3DBLEND_SRCALPHA: return sa;
        case D_D3DBLEND_INVSRCALPHA: return 255 - sa;
        case D_D3DBLEND_DESTALPHA: return da;
        case D_D3DBLEND_INVDESTALPHA: return 255 - da;
        case D_D3DBLEND_DESTCOLOR: return part(dst, channel);
        case D_D3DBLEND_INVDESTCOLOR: return 255 - part(dst, channel);
        case D_D3DBLEND_SRCALPHASAT: return channel == 3 ? 255 : std::min(sa, 255 - da);
        default: return 255;
    }
}

}  // namespace

std::uint32_t BlendPixel(DWORD srcBlend, DWORD destBlend, std::uint32_t src, std::uint32_t dst, bool destHasAlpha) {
    if (!destHasAlpha) dst |= 0xFF000000u;
    std::uint32_t out = 0;
    for (int c = 0; c < 4; ++c) {
        const int shift = c == 3 ? 24 : 16 - 8 * c;
        const std::uint32_t s = src >> shift & 0xFF, d = dst >> shift & 0xFF;
        const std::uint32_t v =
            (s * Factor(srcBlend, src, dst, c) + d * Factor(destBlend, src, dst, c) + 127) / 255;
        out |= std::min<std::uint32_t>(v, 255) << shift;
    }
    return out;
}
