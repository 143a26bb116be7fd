// Pixel formats: the descriptor every pixel buffer of the framework carries,
// single-pixel composition and conversion, the framework's fixed and
// standard formats, and the screen's colour codes.
#pragma once

#include <cstdint>

#include "platform/ddraw.h"

struct ColorFormatDesc {
    std::uint16_t depth;          // bits per pixel: 8, 16, 24 or 32
    std::uint16_t bytesPerPixel;  // depth / 8
    // Channel widths in bits; 0 when the channel is absent.
    std::uint8_t redWidth, greenWidth, blueWidth, alphaWidth;
    // Bit position of each channel's lowest bit; 0 when absent.
    std::uint8_t redShift, greenShift, blueShift, alphaShift;
    std::uint32_t redMask, greenMask, blueMask, alphaMask;
    // The bits below the depth that no channel uses. Composed and converted
    // single pixels have them set (an X8R8G8B8 pixel has 0xFF on top).
    std::uint32_t unusedBitMask;
    // 0x00RRGGBB words (blue, green, red, 0 in memory); meaningful for
    // 8-bit formats.
    std::uint32_t palette[256];
    std::uint8_t unusedBitsShift;  // lowest bit of the unused-bit mask
    std::uint8_t unusedBitsWidth;  // run of ones from there
};

// Standard format kinds (GetStandardColorFormat), shared with MEMIMG.
constexpr int kColorKind565 = 0;        // 16-bit 5:6:5 colour
constexpr int kColorKind888 = 1;        // 32-bit 8:8:8 colour
constexpr int kColorKindOneByte = 2;    // one-byte single channel (masks)
constexpr int kColorKindTwoByte = 3;    // two-byte single channel (Z buffers)

int BuildColorFormat(ColorFormatDesc* desc, int depth, std::uint32_t redMask, std::uint32_t greenMask,
                     std::uint32_t blueMask, std::uint32_t alphaMask);
// The palette is left as it was.
int ColorFormatFromDDPixelFormat(const D_DDPIXELFORMAT* pixelFormat, ColorFormatDesc* desc);
// r, g, b, a are 8-bit values; alpha takes part only when the format has it.
std::uint32_t ComposePixel(const ColorFormatDesc* desc, int r, int g, int b, int a);
// One pixel into another format, channel by channel, without bit
// replication; a source without alpha gives fully opaque alpha.
std::uint32_t ConvertPixel(const ColorFormatDesc* dest, const ColorFormatDesc* src, std::uint32_t value);
int SetPalette8Format(ColorFormatDesc* desc);
int SetRGB24Format(ColorFormatDesc* desc);
int SetGray8Format(ColorFormatDesc* desc);
void ComputeUnusedBitMask(ColorFormatDesc* desc);
int SameColorFormat(const ColorFormatDesc* a, const ColorFormatDesc* b);
// Null for a kind above 3. Kinds 2 and 3 ignore the two flags.
const ColorFormatDesc* GetStandardColorFormat(int kind, int alphaChannel, int paletted);
int BuildDDPixelFormat(D_DDPIXELFORMAT* out, int bitCount, std::uint32_t redMask, std::uint32_t greenMask,
                       std::uint32_t blueMask, std::uint32_t alphaMask);
const D_DDPIXELFORMAT* GetStandardDDPixelFormat(int kind, int alphaChannel, int paletted);

// What the colour-code operations read of the screen device, which owns
// these and fills them when it starts and whenever the mode changes.
// g_ScreenColorFormat's depth is the screen's depth; until the device starts
// it is 16-bit 5:6:5.
extern ColorFormatDesc g_ScreenColorFormat;
struct ScreenColorInfo {
    int depthSetting;        // the depth asked for; 0 reads as 16
    int screenIsMemImg;      // 1 when the screen is held as MEMIMG
    PALETTEENTRY palette[256];  // the current palette of an 8-bit screen
};
extern ScreenColorInfo g_ScreenColorInfo;

// r, g, b (their low 8 bits) as a pixel value of the screen.
std::uint32_t MakeColorCode(int r, int g, int b);
// A screen colour code back into 0-255 channels; -1 for a code that is no
// palette index on an 8-bit screen. Null outputs are skipped.
int SplitColorCode(std::uint32_t colorCode, int* r, int* g, int* b);
