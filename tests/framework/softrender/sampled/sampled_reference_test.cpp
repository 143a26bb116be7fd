// The per-pixel reference of the rotated and triangle draws against the
// worked examples of their drawing rules, so that a misreading shared by the
// reference and the loops cannot pass the sweeps unnoticed.

#include "framework/softrender/sampled/sampled_reference.h"

#include <gtest/gtest.h>

namespace {

namespace po = pixel_oracle;
using po::PixelKind;
using blit_reference::BlitSettings;
using blit_reference::SourcePixel;

struct Example {
    const char* what;
    PixelKind kind;
    bool paletted, alpha;
    std::uint32_t mode, param, bright;
    bool mask;
    std::uint32_t weight;
    int transparent;
    SourcePixel texel;  // raw, colour, alpha
    std::uint32_t key, d, expected;
};

constexpr PixelKind k16 = PixelKind::k16, k32 = PixelKind::k32;
constexpr std::uint32_t kWhite = 0xFFFFFF;

const Example kExamples[] = {
    // Copy and alpha.
    {"alpha 128, 32-bit 255 over 0", k32, false, false, 1, 128, kWhite, false, 0, 0, {0xFF, 0xFF, 255}, 1, 0, 0x7F},
    {"alpha 128, 16-bit field 31 over 0", k16, false, false, 1, 128, kWhite, false, 0, 0, {0x1F, 0x1F, 255}, 1, 0, 15},
    {"alpha 128, 16-bit 0 over 31", k16, false, false, 1, 128, kWhite, false, 0, 0, {0, 0, 255}, 1, 0x1F, 16},
    {"alpha 1, 16-bit 0 over 31 stays", k16, false, false, 1, 1, kWhite, false, 0, 0, {0, 0, 255}, 1, 0x1F, 0x1F},
    {"alpha 1, 32-bit 0 over 31", k32, false, false, 1, 1, kWhite, false, 0, 0, {0, 0, 255}, 1, 31, 30},
    {"alpha 255 is the copy, fourth byte too", k32, false, false, 1, 255, kWhite, false, 0, 0,
     {0xAB123456, 0xAB123456, 255}, 1, 0x11000000, 0xAB123456},
    {"brightened copy keeps the fourth byte", k32, false, false, 0, 255, 0xFFFFFE, false, 0, 0,
     {0xAB1234FF, 0xAB1234FF, 255}, 1, 0x11000000, 0x111234FE},
    {"bright byte 128 halves 255 to 128", k32, false, false, 0, 255, 0x80FFFF, false, 0, 0,
     {0x00FF0000, 0x00FF0000, 255}, 1, 0, 0x00800000},
    {"mask weight 255 over black gives 254", k32, false, false, 0, 255, kWhite, true, 255, 0,
     {0xFF, 0xFF, 255}, 1, 0, 254},
    {"mask weight 0 leaves the pixel", k32, false, false, 0, 255, kWhite, true, 0, 0, {0xFF, 0xFF, 255}, 1, 0x44, 0x44},
    {"16-bit mask 128 over black", k16, false, false, 0, 255, kWhite, true, 128, 0, {0xFFFF, 0xFFFF, 255}, 1, 0, 0x7BEF},
    {"mask 255, alpha 254 over black", k32, false, false, 1, 254, kWhite, true, 255, 0, {0xFF, 0xFF, 255}, 1, 0, 252},
    {"alpha 255 texel, not transparent: 254", k32, false, true, 0, 255, kWhite, false, 0, 0,
     {0xFFFFFFFF, 0xFFFFFFFF, 255}, 1, 0, 0x00FEFEFE},
    {"alpha 255 texel, transparent: whole", k32, false, true, 0, 255, kWhite, false, 0, 1,
     {0xFF808080, 0xFF808080, 255}, 1, 0x12000000, 0xFF808080},
    {"alpha 0 texel, transparent: skipped", k32, false, true, 0, 255, kWhite, false, 0, 1,
     {0x00808080, 0x00808080, 0}, 1, 0x12345678, 0x12345678},
    {"alpha 0 texel, not transparent: unchanged by the mix", k32, false, true, 0, 255, kWhite, false, 0, 0,
     {0x00808080, 0x00808080, 0}, 1, 0x12345678, 0x12345678},
    {"alpha 254, texel alpha 255 transparent: 253", k32, false, true, 1, 254, kWhite, false, 0, 1,
     {0xFFFFFFFF, 0xFFFFFFFF, 255}, 1, 0, 0x00FDFDFD},
    {"alpha 254, texel alpha 255 not transparent: 252", k32, false, true, 1, 254, kWhite, false, 0, 0,
     {0xFFFFFFFF, 0xFFFFFFFF, 255}, 1, 0, 0x00FCFCFC},
    {"the key matches the whole 32-bit texel only", k32, false, false, 0, 255, kWhite, false, 0, 1,
     {0x01FF00FF, 0x01FF00FF, 255}, 0x00FF00FF, 0, 0x01FF00FF},
    {"a paletted key above 255 matches no index", k16, true, false, 0, 255, kWhite, false, 0, 1,
     {0xFF, 0x1234, 255}, 0x1FF, 0, 0x1234},
    // Add and subtract.
    {"add of a zero term clears the fourth byte", k32, false, false, 2, 255, kWhite, true, 0, 0,
     {0xFF, 0xFF, 255}, 1, 0x80102030, 0x00102030},
    {"add, full weight mask: 255 adds 253", k32, false, false, 2, 255, kWhite, true, 255, 0, {0xFF, 0xFF, 255}, 1, 0, 253},
    {"16-bit add, mask 255: 31 becomes 30", k16, false, false, 2, 255, kWhite, true, 255, 0, {0x1F, 0x1F, 255}, 1, 0, 30},
    {"16-bit add, alpha 200 before bright red 128", k16, false, true, 2, 255, 0x80FFFF, false, 0, 0,
     {0xF800, 0xF800, 200}, 1, 0, 12u << 11},
    {"add at 255, alpha 255 transparent: the texel", k32, false, true, 2, 255, kWhite, false, 0, 1,
     {0xFFFFFFFF, 0xFFFFFFFF, 255}, 1, 0, 0x00FFFFFF},
    {"add at 255, alpha 255 not transparent: 253", k32, false, true, 2, 255, kWhite, false, 0, 0,
     {0xFF0000FF, 0xFF0000FF, 255}, 1, 0, 0x000000FD},
    {"subtract 0x404040 from 0x808080", k32, false, false, 3, 255, kWhite, false, 0, 0,
     {0x404040, 0x404040, 255}, 1, 0x808080, 0x414140},
    {"16-bit subtract of white from white", k16, false, false, 3, 255, kWhite, false, 0, 0,
     {0xFFFF, 0xFFFF, 255}, 1, 0xFFFF, 0x0800},
    {"subtract at 0 draws nothing, paletted too", k32, true, false, 3, 0, kWhite, false, 0, 0,
     {3, 0x00FFFFFF, 255}, 1, 0x80102030, 0x80102030},
    {"16-bit subtract at 0, paletted", k16, true, false, 3, 0, kWhite, false, 0, 0, {3, 0xFFFF, 255}, 1, 0x1234, 0x1234},
    // Multiply.
    {"multiply white by white: 254", k32, false, false, 4, 0, kWhite, false, 0, 0,
     {0xFFFFFF, 0xFFFFFF, 255}, 1, 0x55FFFFFF, 0x55FEFEFE},
    {"multiply, one weight of 255: 253", k32, false, false, 4, 0, kWhite, true, 255, 0,
     {0xFFFFFF, 0xFFFFFF, 255}, 1, 0xFFFFFF, 0xFDFDFD},
    {"multiply, two weights of 255: 252", k32, false, true, 4, 0, kWhite, true, 255, 0,
     {0xFFFFFFFF, 0xFFFFFFFF, 255}, 1, 0xFFFFFF, 0xFCFCFC},
    {"16-bit multiply white by white", k16, false, false, 4, 0, kWhite, false, 0, 0, {0xFFFF, 0xFFFF, 255}, 1, 0xFFFF,
     (30u << 11) | (62u << 5) | 30u},
    {"multiply with a mask weight of 0 is black", k32, false, false, 4, 0, kWhite, true, 0, 0,
     {0xFFFFFF, 0xFFFFFF, 255}, 1, 0x77FFFFFF, 0x77000000},
    {"multiply, alpha 0 transparent: skipped", k32, false, true, 4, 0, kWhite, false, 0, 1,
     {0x00FFFFFF, 0x00FFFFFF, 0}, 1, 0x00FFFFFF, 0x00FFFFFF},
    {"multiply, alpha 0 not transparent: black", k32, false, true, 4, 0, kWhite, false, 0, 0,
     {0x00FFFFFF, 0x00FFFFFF, 0}, 1, 0x00FFFFFF, 0},
    {"multiply, alpha 255 transparent: 254", k32, false, true, 4, 0, kWhite, false, 0, 1,
     {0xFFFFFFFF, 0xFFFFFFFF, 255}, 1, 0xFFFFFF, 0xFEFEFE},
    {"multiply, alpha 255 not transparent: 253", k32, false, true, 4, 0, kWhite, false, 0, 0,
     {0xFFFFFFFF, 0xFFFFFFFF, 255}, 1, 0xFFFFFF, 0xFDFDFD},
};

TEST(SampledReference, GivesTheWorkedExamplesOfTheDrawingRules) {
    for (const Example& e : kExamples) {
        BlitSettings s;
        s.kind = e.kind;
        s.paletted = e.paletted;
        s.alphaChannel = e.alpha;
        s.mode = e.mode;
        s.param = e.param;
        s.bright = e.bright;
        s.mask = e.mask;
        s.transparent = e.transparent;
        EXPECT_EQ(sampled_reference::ExpectedPixel(s, e.texel, e.key, e.weight, e.d), e.expected) << e.what;
    }
}

}  // namespace
