#include "graphics/image/color_format.h"

#include <bit>

#include "graphics/image/color_channel.h"

namespace {

struct MaskRun {
    std::uint8_t shift;
    std::uint8_t width;
};

// Position and length of the run of ones that starts at the mask's lowest
// set bit. Every format the framework builds has contiguous masks.
constexpr MaskRun MeasureMask(std::uint32_t mask) {
    if (mask == 0) return {0, 0};
    int shift = std::countr_zero(mask);
    int width = std::countr_one(mask >> shift);
    return {static_cast<std::uint8_t>(shift), static_cast<std::uint8_t>(width)};
}

constexpr std::uint32_t OnesBelow(int depth) {
    if (depth <= 0) return 0;
    if (depth >= 32) return 0xFFFFFFFFu;
    return (1u << depth) - 1u;
}

constexpr void ComputeUnusedBits(ColorFormatDesc& desc) {
    int total = desc.redWidth + desc.greenWidth + desc.blueWidth + desc.alphaWidth;
    if (total == desc.depth) {
        desc.unusedBitMask = 0;
    } else {
        desc.unusedBitMask =
            OnesBelow(desc.depth) & ~(desc.redMask | desc.greenMask | desc.blueMask | desc.alphaMask);
    }
}

// Everything BuildColorFormat sets; the palette is left alone.
constexpr void FillFormat(ColorFormatDesc& desc, int depth, std::uint32_t redMask, std::uint32_t greenMask,
                          std::uint32_t blueMask, std::uint32_t alphaMask) {
    if (depth < 0) depth = 0;
    desc.depth = static_cast<std::uint16_t>(depth);
    desc.bytesPerPixel = static_cast<std::uint16_t>(depth / 8);
    desc.redMask = redMask;
    desc.greenMask = greenMask;
    desc.blueMask = blueMask;
    desc.alphaMask = alphaMask;
    MaskRun r = MeasureMask(redMask), g = MeasureMask(greenMask), b = MeasureMask(blueMask),
            a = MeasureMask(alphaMask);
    desc.redShift = r.shift;
    desc.redWidth = r.width;
    desc.greenShift = g.shift;
    desc.greenWidth = g.width;
    desc.blueShift = b.shift;
    desc.blueWidth = b.width;
    desc.alphaShift = a.shift;
    desc.alphaWidth = a.width;
    ComputeUnusedBits(desc);
    MaskRun unused = MeasureMask(desc.unusedBitMask);
    desc.unusedBitsShift = unused.shift;
    desc.unusedBitsWidth = unused.width;
}

constexpr ColorFormatDesc MakeFormat(int depth, std::uint32_t redMask, std::uint32_t greenMask,
                                     std::uint32_t blueMask, std::uint32_t alphaMask) {
    ColorFormatDesc desc{};
    FillFormat(desc, depth, redMask, greenMask, blueMask, alphaMask);
    return desc;
}

// A single-channel format: every channel is the whole pixel.
constexpr ColorFormatDesc MakeSingleChannelFormat(int depth) {
    ColorFormatDesc desc{};
    std::uint32_t mask = OnesBelow(depth);
    auto width = static_cast<std::uint8_t>(depth);
    desc.depth = static_cast<std::uint16_t>(depth);
    desc.bytesPerPixel = static_cast<std::uint16_t>(depth / 8);
    desc.redMask = desc.greenMask = desc.blueMask = desc.alphaMask = mask;
    desc.redWidth = desc.greenWidth = desc.blueWidth = desc.alphaWidth = width;
    return desc;
}

constexpr std::uint32_t kStandardRgb[2][3] = {
    {0xF800, 0x07E0, 0x001F},
    {0xFF0000, 0xFF00, 0xFF},
};
constexpr std::uint32_t kStandardAlpha[2] = {0x00FF0000, 0xFF000000};
constexpr int kStandardDepth[2] = {16, 32};

constexpr int StandardSlot(int kind, int alpha, int paletted) {
    if (kind == kColorKindOneByte) return 8;
    if (kind == kColorKindTwoByte) return 9;
    return kind * 4 + alpha * 2 + paletted;
}

constexpr ColorFormatDesc MakeStandardFormat(int slot) {
    if (slot == 8) return MakeSingleChannelFormat(8);
    if (slot == 9) return MakeSingleChannelFormat(16);
    int kind = slot / 4, alpha = (slot / 2) % 2, paletted = slot % 2;
    // With alpha, a 5:6:5 colour takes a 32-bit pixel with alpha in bits 16-23.
    int depth = paletted ? 8 : (alpha ? 32 : kStandardDepth[kind]);
    return MakeFormat(depth, kStandardRgb[kind][0], kStandardRgb[kind][1], kStandardRgb[kind][2],
                      alpha ? kStandardAlpha[kind] : 0);
}

constexpr auto BuildStandardFormats() {
    struct Table {
        ColorFormatDesc slots[10];
    } table{};
    for (int i = 0; i < 10; ++i) table.slots[i] = MakeStandardFormat(i);
    return table;
}

// Built once and kept for the life of the program; callers hold pointers.
constexpr auto kStandardFormats = BuildStandardFormats();

constexpr D_DDPIXELFORMAT MakeDDPixelFormat(int bitCount, std::uint32_t r, std::uint32_t g, std::uint32_t b,
                                            std::uint32_t a) {
    D_DDPIXELFORMAT pf{};
    pf.dwSize = sizeof(D_DDPIXELFORMAT);
    // Only the RGB flag, also when an alpha mask is given.
    pf.dwFlags = D_DDPF_RGB;
    pf.dwRGBBitCount = static_cast<DWORD>(bitCount);
    pf.dwRBitMask = r;
    pf.dwGBitMask = g;
    pf.dwBBitMask = b;
    pf.dwRGBAlphaBitMask = a;
    return pf;
}

constexpr D_DDPIXELFORMAT MakeStandardDDPixelFormat(int slot) {
    const ColorFormatDesc& f = kStandardFormats.slots[slot];
    if (slot >= 8) {
        // The single-channel kinds carry only the bit count and the masks.
        D_DDPIXELFORMAT pf{};
        pf.dwRGBBitCount = f.depth;
        pf.dwRBitMask = f.redMask;
        pf.dwGBitMask = f.greenMask;
        pf.dwBBitMask = f.blueMask;
        pf.dwRGBAlphaBitMask = f.alphaMask;
        return pf;
    }
    return MakeDDPixelFormat(f.depth, f.redMask, f.greenMask, f.blueMask, f.alphaMask);
}

constexpr auto BuildStandardDDPixelFormats() {
    struct Table {
        D_DDPIXELFORMAT slots[10];
    } table{};
    for (int i = 0; i < 10; ++i) table.slots[i] = MakeStandardDDPixelFormat(i);
    return table;
}

constexpr auto kStandardDDPixelFormats = BuildStandardDDPixelFormats();

// The 8:8:8 layout of the two 8-bit fixed formats, whose palette entries are
// 0x00RRGGBB words.
void SetFixed888(ColorFormatDesc* desc, int depth, std::uint32_t unusedBitMask) {
    desc->depth = static_cast<std::uint16_t>(depth);
    desc->bytesPerPixel = static_cast<std::uint16_t>(depth / 8);
    desc->redMask = 0xFF0000;
    desc->greenMask = 0xFF00;
    desc->blueMask = 0xFF;
    desc->alphaMask = 0;
    desc->redShift = 16;
    desc->greenShift = 8;
    desc->blueShift = 0;
    desc->alphaShift = 0;
    desc->redWidth = desc->greenWidth = desc->blueWidth = 8;
    desc->alphaWidth = 0;
    desc->unusedBitMask = unusedBitMask;
}

std::uint32_t ComposeRgb(const ColorFormatDesc& f, int r, int g, int b) {
    return ComposeChannel(r, f.redWidth, f.redShift, f.redMask) |
           ComposeChannel(g, f.greenWidth, f.greenShift, f.greenMask) |
           ComposeChannel(b, f.blueWidth, f.blueShift, f.blueMask) | f.unusedBitMask;
}

// channel * 255 / (2^width - 1); an absent channel reads as 0.
int SplitChannel(std::uint32_t code, std::uint32_t mask, int shift, int width) {
    if (width == 0) return 0;
    std::uint64_t top = (std::uint64_t{1} << width) - 1;
    std::uint64_t c = (code & mask) >> shift;
    return static_cast<int>(c * 255 / top);
}

int DepthSetting() { return g_ScreenColorInfo.depthSetting == 0 ? 16 : g_ScreenColorInfo.depthSetting; }

const ColorFormatDesc* MemImgScreenFormat() {
    return GetStandardColorFormat(DepthSetting() == 16 ? kColorKind565 : kColorKind888, 0, 0);
}

}  // namespace

constinit ColorFormatDesc g_ScreenColorFormat = MakeFormat(16, 0xF800, 0x07E0, 0x001F, 0);
constinit ScreenColorInfo g_ScreenColorInfo{};

int BuildColorFormat(ColorFormatDesc* desc, int depth, std::uint32_t redMask, std::uint32_t greenMask,
                     std::uint32_t blueMask, std::uint32_t alphaMask) {
    if (desc == nullptr) return -1;
    FillFormat(*desc, depth, redMask, greenMask, blueMask, alphaMask);
    return 0;
}

int ColorFormatFromDDPixelFormat(const D_DDPIXELFORMAT* pixelFormat, ColorFormatDesc* desc) {
    if (pixelFormat == nullptr || desc == nullptr) return -1;
    // depth >> 3 and depth / 8 agree for every non-negative depth.
    int depth = pixelFormat->dwRGBBitCount > 32 ? 32 : static_cast<int>(pixelFormat->dwRGBBitCount);
    FillFormat(*desc, depth, pixelFormat->dwRBitMask, pixelFormat->dwGBitMask, pixelFormat->dwBBitMask,
               pixelFormat->dwRGBAlphaBitMask);
    return 0;
}

std::uint32_t ComposePixel(const ColorFormatDesc* desc, int r, int g, int b, int a) {
    if (desc == nullptr) return 0;
    std::uint32_t value = ComposeRgb(*desc, r, g, b);
    if (desc->alphaWidth != 0) value |= ComposeChannel(a, desc->alphaWidth, desc->alphaShift, desc->alphaMask);
    return value;
}

std::uint32_t ConvertPixel(const ColorFormatDesc* dest, const ColorFormatDesc* src, std::uint32_t value) {
    if (dest == nullptr || src == nullptr) return 0;
    auto channel = [value](std::uint32_t srcMask, int srcShift, int srcWidth, std::uint32_t destMask,
                           int destShift, int destWidth) {
        std::uint64_t c = (value & srcMask) >> srcShift;
        // Plain shifts, no bit replication: 5:6:5 white becomes 0xF8FCF8.
        if (destWidth > srcWidth) c <<= (destWidth - srcWidth);
        else c >>= (srcWidth - destWidth);
        return static_cast<std::uint32_t>((c << destShift) & destMask);
    };
    std::uint32_t result =
        channel(src->redMask, src->redShift, src->redWidth, dest->redMask, dest->redShift, dest->redWidth) |
        channel(src->greenMask, src->greenShift, src->greenWidth, dest->greenMask, dest->greenShift,
                dest->greenWidth) |
        channel(src->blueMask, src->blueShift, src->blueWidth, dest->blueMask, dest->blueShift, dest->blueWidth);
    if (src->alphaWidth == 0) {
        result |= dest->alphaMask;  // fully opaque
    } else {
        result |= channel(src->alphaMask, src->alphaShift, src->alphaWidth, dest->alphaMask, dest->alphaShift,
                          dest->alphaWidth);
    }
    return result | dest->unusedBitMask;
}

int SetPalette8Format(ColorFormatDesc* desc) {
    if (desc == nullptr) return -1;
    SetFixed888(desc, 8, 0xFF000000u);
    return 0;
}

int SetRGB24Format(ColorFormatDesc* desc) {
    if (desc == nullptr) return -1;
    SetFixed888(desc, 24, 0);
    return 0;
}

int SetGray8Format(ColorFormatDesc* desc) {
    if (desc == nullptr) return -1;
    SetFixed888(desc, 8, 0xFF000000u);
    for (std::uint32_t i = 0; i < 256; ++i) desc->palette[i] = (i << 16) | (i << 8) | i;
    return 0;
}

void ComputeUnusedBitMask(ColorFormatDesc* desc) {
    if (desc != nullptr) ComputeUnusedBits(*desc);
}

int SameColorFormat(const ColorFormatDesc* a, const ColorFormatDesc* b) {
    if (a == nullptr || b == nullptr) return 0;
    return a->depth == b->depth && a->redMask == b->redMask && a->greenMask == b->greenMask &&
                   a->blueMask == b->blueMask && a->alphaMask == b->alphaMask
               ? 1
               : 0;
}

const ColorFormatDesc* GetStandardColorFormat(int kind, int alphaChannel, int paletted) {
    if (kind < 0 || kind > kColorKindTwoByte) return nullptr;
    return &kStandardFormats.slots[StandardSlot(kind, alphaChannel != 0, paletted != 0)];
}

int BuildDDPixelFormat(D_DDPIXELFORMAT* out, int bitCount, std::uint32_t redMask, std::uint32_t greenMask,
                       std::uint32_t blueMask, std::uint32_t alphaMask) {
    if (out == nullptr) return -1;
    *out = MakeDDPixelFormat(bitCount, redMask, greenMask, blueMask, alphaMask);
    return 0;
}

const D_DDPIXELFORMAT* GetStandardDDPixelFormat(int kind, int alphaChannel, int paletted) {
    if (kind < 0 || kind > kColorKindTwoByte) return nullptr;
    return &kStandardDDPixelFormats.slots[StandardSlot(kind, alphaChannel != 0, paletted != 0)];
}

std::uint32_t MakeColorCode(int r, int g, int b) {
    r &= 0xFF;
    g &= 0xFF;
    b &= 0xFF;
    if (g_ScreenColorFormat.depth == 8) {
        // Nearest palette entry; the lowest index wins a tie.
        std::uint32_t best = 0;
        long bestDistance = 0xFFFFFF;
        for (std::uint32_t i = 0; i < 256; ++i) {
            const PALETTEENTRY& e = g_ScreenColorInfo.palette[i];
            long dr = r - e.peRed, dg = g - e.peGreen, db = b - e.peBlue;
            long distance = dr * dr + dg * dg + db * db;
            if (distance < bestDistance) {
                bestDistance = distance;
                best = i;
            }
        }
        return best;
    }
    if (g_ScreenColorInfo.screenIsMemImg) return ComposeRgb(*MemImgScreenFormat(), r, g, b);
    return ComposeRgb(g_ScreenColorFormat, r, g, b);
}

int SplitColorCode(std::uint32_t colorCode, int* r, int* g, int* b) {
    int red, green, blue;
    if (g_ScreenColorFormat.depth == 8) {
        if (colorCode > 255) return -1;
        const PALETTEENTRY& e = g_ScreenColorInfo.palette[colorCode];
        red = e.peRed;
        green = e.peGreen;
        blue = e.peBlue;
    } else {
        const ColorFormatDesc* f = &g_ScreenColorFormat;
        if (g_ScreenColorInfo.screenIsMemImg && f->depth != DepthSetting()) f = MemImgScreenFormat();
        red = SplitChannel(colorCode, f->redMask, f->redShift, f->redWidth);
        green = SplitChannel(colorCode, f->greenMask, f->greenShift, f->greenWidth);
        blue = SplitChannel(colorCode, f->blueMask, f->blueShift, f->blueWidth);
    }
    if (r != nullptr) *r = red;
    if (g != nullptr) *g = green;
    if (b != nullptr) *b = blue;
    return 0;
}
