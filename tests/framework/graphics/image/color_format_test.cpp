// Pixel formats: building, composing, converting, the standard and fixed
// formats, and the screen's colour codes in each screen state.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <random>

#include "graphics/image/color_format.h"

namespace {

ColorFormatDesc Format(int depth, std::uint32_t r, std::uint32_t g, std::uint32_t b, std::uint32_t a) {
    ColorFormatDesc f{};
    BuildColorFormat(&f, depth, r, g, b, a);
    return f;
}

TEST(ColorFormat, BuildMeasuresChannelsAndUnusedBits) {
    ColorFormatDesc f = Format(16, 0xF800, 0x07E0, 0x001F, 0);
    EXPECT_EQ(f.bytesPerPixel, 2);
    EXPECT_EQ(f.redWidth, 5);
    EXPECT_EQ(f.greenWidth, 6);
    EXPECT_EQ(f.blueWidth, 5);
    EXPECT_EQ(f.alphaWidth, 0);
    EXPECT_EQ(f.redShift, 11);
    EXPECT_EQ(f.greenShift, 5);
    EXPECT_EQ(f.blueShift, 0);
    EXPECT_EQ(f.alphaShift, 0);
    EXPECT_EQ(f.unusedBitMask, 0u);
    EXPECT_EQ(f.unusedBitsShift, 0);
    EXPECT_EQ(f.unusedBitsWidth, 0);

    ColorFormatDesc x = Format(32, 0xFF0000, 0xFF00, 0xFF, 0);
    EXPECT_EQ(x.unusedBitMask, 0xFF000000u);
    EXPECT_EQ(x.unusedBitsShift, 24);
    EXPECT_EQ(x.unusedBitsWidth, 8);
    EXPECT_EQ(ComposePixel(&x, 0x12, 0x34, 0x56, 0x99), 0xFF123456u);

    ColorFormatDesc x555 = Format(16, 0x7C00, 0x03E0, 0x001F, 0);
    EXPECT_EQ(x555.unusedBitMask, 0x8000u);
    EXPECT_EQ(x555.unusedBitsShift, 15);
    EXPECT_EQ(x555.unusedBitsWidth, 1);
}

TEST(ColorFormat, BuildKeepsThePalette) {
    ColorFormatDesc f{};
    f.palette[7] = 0x123456;
    BuildColorFormat(&f, 8, 0xFF0000, 0xFF00, 0xFF, 0);
    EXPECT_EQ(f.palette[7], 0x123456u);
}

TEST(ColorFormat, FromDDPixelFormatMatchesBuild) {
    D_DDPIXELFORMAT pf{};
    BuildDDPixelFormat(&pf, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000);
    ColorFormatDesc f{};
    f.palette[3] = 0xABCDEF;
    ASSERT_EQ(ColorFormatFromDDPixelFormat(&pf, &f), 0);
    ColorFormatDesc built = Format(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000);
    EXPECT_EQ(f.depth, 32);
    EXPECT_EQ(f.bytesPerPixel, 4);
    EXPECT_EQ(f.alphaWidth, 8);
    EXPECT_EQ(f.alphaShift, 24);
    EXPECT_EQ(f.unusedBitMask, built.unusedBitMask);
    EXPECT_EQ(f.palette[3], 0xABCDEFu);
}

TEST(ColorFormat, ComposeCutsAndPlacesEachChannel) {
    ColorFormatDesc f565 = Format(16, 0xF800, 0x07E0, 0x001F, 0);
    EXPECT_EQ(ComposePixel(&f565, 255, 255, 255, 0), 0xFFFFu);
    EXPECT_EQ(ComposePixel(&f565, 0x80, 0x40, 0x08, 255), 0x8201u);
    // Alpha only where the format has it.
    ColorFormatDesc argb = Format(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000);
    EXPECT_EQ(ComposePixel(&argb, 1, 2, 3, 0x80), 0x80010203u);
    ColorFormatDesc a1555 = Format(16, 0x7C00, 0x03E0, 0x001F, 0x8000);
    EXPECT_EQ(ComposePixel(&a1555, 0, 0, 0, 0x80), 0x8000u);
    EXPECT_EQ(ComposePixel(&a1555, 0, 0, 0, 0x7F), 0u);
}

TEST(ColorFormat, WideAndMissingChannelsComposeWithoutBadShifts) {
    // Channels wider than 8 bits take the value in their top bits.
    ColorFormatDesc ten = Format(32, 0x3FF00000, 0x000FFC00, 0x000003FF, 0xC0000000);
    EXPECT_EQ(ten.redWidth, 10);
    EXPECT_EQ(ComposePixel(&ten, 0xFF, 0, 0x01, 0xFF), 0x3FC00000u | 0x004u | 0xC0000000u);
    const ColorFormatDesc* z = GetStandardColorFormat(kColorKindTwoByte, 0, 0);
    EXPECT_EQ(ComposePixel(z, 0x80, 0, 0, 0), 0x8000u);
    // A format without blue composes blue to nothing.
    ColorFormatDesc noBlue = Format(16, 0xFF00, 0x00FF, 0, 0);
    EXPECT_EQ(ComposePixel(&noBlue, 0x11, 0x22, 0xFF, 0), 0x1122u);
    // Values outside 0-255 do not spill into the next channel.
    ColorFormatDesc f565 = Format(16, 0xF800, 0x07E0, 0x001F, 0);
    EXPECT_EQ(ComposePixel(&f565, 0x1FF, 0, 0, 0), 0xF800u);
}

TEST(ColorFormat, ConvertShiftsWithoutReplicationAndSetsOpaqueAlpha) {
    ColorFormatDesc f565 = Format(16, 0xF800, 0x07E0, 0x001F, 0);
    ColorFormatDesc x888 = Format(32, 0xFF0000, 0xFF00, 0xFF, 0);
    ColorFormatDesc argb = Format(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000);
    ColorFormatDesc a1555 = Format(16, 0x7C00, 0x03E0, 0x001F, 0x8000);
    EXPECT_EQ(ConvertPixel(&x888, &f565, 0xFFFF), 0xFFF8FCF8u);
    EXPECT_EQ(ConvertPixel(&argb, &f565, 0x0000), 0xFF000000u);
    EXPECT_EQ(ConvertPixel(&f565, &argb, 0x80FFFFFF), 0xFFFFu);
    EXPECT_EQ(ConvertPixel(&a1555, &argb, 0x7FFF0000), 0x7C00u);   // alpha 0x7F cut to 0
    EXPECT_EQ(ConvertPixel(&argb, &a1555, 0x8000), 0x80000000u);   // 1 bit widened by shifting
    EXPECT_EQ(ConvertPixel(&a1555, &f565, 0x001F), 0x801Fu);       // opaque bit and unused none
}

TEST(ColorFormat, FixedFormats) {
    ColorFormatDesc f{};
    f.unusedBitsShift = 3;  // not touched by the fixed formats
    ASSERT_EQ(SetPalette8Format(&f), 0);
    EXPECT_EQ(f.depth, 8);
    EXPECT_EQ(f.bytesPerPixel, 1);
    EXPECT_EQ(f.redMask, 0xFF0000u);
    EXPECT_EQ(f.redShift, 16);
    EXPECT_EQ(f.greenShift, 8);
    EXPECT_EQ(f.alphaWidth, 0);
    EXPECT_EQ(f.unusedBitMask, 0xFF000000u);
    EXPECT_EQ(f.unusedBitsShift, 3);

    f.palette[5] = 0x010203;
    ASSERT_EQ(SetRGB24Format(&f), 0);
    EXPECT_EQ(f.depth, 24);
    EXPECT_EQ(f.bytesPerPixel, 3);
    EXPECT_EQ(f.unusedBitMask, 0u);
    EXPECT_EQ(f.palette[5], 0x010203u);

    ASSERT_EQ(SetGray8Format(&f), 0);
    EXPECT_EQ(f.depth, 8);
    EXPECT_EQ(f.palette[0], 0u);
    EXPECT_EQ(f.palette[5], 0x050505u);
    EXPECT_EQ(f.palette[255], 0xFFFFFFu);
}

TEST(ColorFormat, UnusedBitMaskRule) {
    ColorFormatDesc f = Format(32, 0xFF0000, 0xFF00, 0xFF, 0);
    f.unusedBitsShift = 9;
    f.alphaWidth = 8;  // the widths now add up to the depth
    ComputeUnusedBitMask(&f);
    EXPECT_EQ(f.unusedBitMask, 0u);
    EXPECT_EQ(f.unusedBitsShift, 9);
    f.alphaWidth = 0;
    ComputeUnusedBitMask(&f);
    EXPECT_EQ(f.unusedBitMask, 0xFF000000u);
}

TEST(ColorFormat, SameFormatComparesDepthAndMasks) {
    ColorFormatDesc a = Format(16, 0xF800, 0x07E0, 0x001F, 0);
    ColorFormatDesc b = a;
    b.palette[0] = 1;
    b.unusedBitsWidth = 4;
    EXPECT_EQ(SameColorFormat(&a, &b), 1);
    b.blueMask = 0x000F;
    EXPECT_EQ(SameColorFormat(&a, &b), 0);
    ColorFormatDesc c = Format(32, 0xF800, 0x07E0, 0x001F, 0);
    EXPECT_EQ(SameColorFormat(&a, &c), 0);
}

struct StandardRow {
    int kind, alpha, paletted, depth;
    std::uint32_t r, g, b, a, unused;
};

TEST(ColorFormat, StandardFormatTable) {
    const StandardRow rows[] = {
        {0, 0, 0, 16, 0xF800, 0x07E0, 0x001F, 0, 0},
        {0, 0, 1, 8, 0xF800, 0x07E0, 0x001F, 0, 0},
        {0, 1, 0, 32, 0xF800, 0x07E0, 0x001F, 0x00FF0000, 0xFF000000},
        {0, 1, 1, 8, 0xF800, 0x07E0, 0x001F, 0x00FF0000, 0},
        {1, 0, 0, 32, 0xFF0000, 0xFF00, 0xFF, 0, 0xFF000000},
        {1, 0, 1, 8, 0xFF0000, 0xFF00, 0xFF, 0, 0},
        {1, 1, 0, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, 0},
        {1, 1, 1, 8, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, 0},
        {2, 0, 0, 8, 0xFF, 0xFF, 0xFF, 0xFF, 0},
        {3, 0, 0, 16, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0},
    };
    for (const StandardRow& row : rows) {
        SCOPED_TRACE(testing::Message() << row.kind << "/" << row.alpha << "/" << row.paletted);
        const ColorFormatDesc* f = GetStandardColorFormat(row.kind, row.alpha, row.paletted);
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(f->depth, row.depth);
        EXPECT_EQ(f->bytesPerPixel, row.depth / 8);
        EXPECT_EQ(f->redMask, row.r);
        EXPECT_EQ(f->greenMask, row.g);
        EXPECT_EQ(f->blueMask, row.b);
        EXPECT_EQ(f->alphaMask, row.a);
        EXPECT_EQ(f->unusedBitMask, row.unused);
        EXPECT_EQ(f, GetStandardColorFormat(row.kind, row.alpha, row.paletted));  // kept, not rebuilt

        const D_DDPIXELFORMAT* pf = GetStandardDDPixelFormat(row.kind, row.alpha, row.paletted);
        ASSERT_NE(pf, nullptr);
        EXPECT_EQ(pf->dwRGBBitCount, static_cast<DWORD>(row.depth));
        EXPECT_EQ(pf->dwRBitMask, row.r);
        EXPECT_EQ(pf->dwRGBAlphaBitMask, row.a);
        EXPECT_EQ(pf->dwSize, row.kind >= 2 ? 0u : 32u);
        EXPECT_EQ(pf->dwFlags, row.kind >= 2 ? 0u : D_DDPF_RGB);
    }
    const ColorFormatDesc* one = GetStandardColorFormat(2, 0, 0);
    EXPECT_EQ(one->redWidth, 8);
    EXPECT_EQ(one->alphaShift, 0);
    EXPECT_EQ(GetStandardColorFormat(3, 0, 0)->greenWidth, 16);
    EXPECT_EQ(GetStandardColorFormat(2, 1, 1), one);  // the flags do not matter for kind 2
    EXPECT_EQ(GetStandardColorFormat(4, 0, 0), nullptr);
    EXPECT_EQ(GetStandardColorFormat(-1, 0, 0), nullptr);
    EXPECT_EQ(GetStandardDDPixelFormat(4, 0, 0), nullptr);
}

TEST(ColorFormat, DDPixelFormatHasOnlyTheRgbFlag) {
    D_DDPIXELFORMAT pf;
    std::memset(&pf, 0xCC, sizeof pf);
    ASSERT_EQ(BuildDDPixelFormat(&pf, 16, 0x7C00, 0x03E0, 0x001F, 0x8000), 0);
    EXPECT_EQ(pf.dwSize, 32u);
    EXPECT_EQ(pf.dwFlags, D_DDPF_RGB);
    EXPECT_EQ(pf.dwFourCC, 0u);
    EXPECT_EQ(pf.dwRGBBitCount, 16u);
    EXPECT_EQ(pf.dwRGBAlphaBitMask, 0x8000u);
}

// The colour-code operations read the screen device's state; each test
// sets it and the fixture puts the default back.
class ScreenColorTest : public testing::Test {
protected:
    void SetUp() override {
        savedFormat_ = g_ScreenColorFormat;
        savedInfo_ = g_ScreenColorInfo;
    }
    void TearDown() override {
        g_ScreenColorFormat = savedFormat_;
        g_ScreenColorInfo = savedInfo_;
    }
    ColorFormatDesc savedFormat_;
    ScreenColorInfo savedInfo_;
};

TEST_F(ScreenColorTest, DefaultScreenIs565) {
    EXPECT_EQ(MakeColorCode(255, 0, 0), 0xF800u);
    EXPECT_EQ(MakeColorCode(255, 255, 255), 0xFFFFu);
    int r = -1, g = -1, b = -1;
    EXPECT_EQ(SplitColorCode(0xFFFF, &r, &g, &b), 0);
    EXPECT_EQ(r, 255);
    EXPECT_EQ(g, 255);
    EXPECT_EQ(b, 255);
    EXPECT_EQ(SplitColorCode(0x0400, &r, &g, &b), 0);  // green 32 of 63
    EXPECT_EQ(g, 32 * 255 / 63);
}

TEST_F(ScreenColorTest, EightBitScreenFindsTheNearestEntryLowestFirst) {
    BuildColorFormat(&g_ScreenColorFormat, 8, 0, 0, 0, 0);
    for (auto& e : g_ScreenColorInfo.palette) e = {255, 255, 255, 0};
    g_ScreenColorInfo.palette[10] = {100, 0, 0, 0};
    g_ScreenColorInfo.palette[20] = {110, 0, 0, 0};  // as near to 105 as entry 10
    g_ScreenColorInfo.palette[30] = {0, 0, 200, 0};
    EXPECT_EQ(MakeColorCode(105, 0, 0), 10u);
    EXPECT_EQ(MakeColorCode(108, 0, 0), 20u);
    EXPECT_EQ(MakeColorCode(0, 0, 190), 30u);
    EXPECT_EQ(MakeColorCode(255, 255, 255), 0u);
    int r, g, b;
    EXPECT_EQ(SplitColorCode(30, &r, &g, &b), 0);
    EXPECT_EQ(b, 200);
    EXPECT_EQ(SplitColorCode(256, &r, &g, &b), -1);
}

TEST_F(ScreenColorTest, MemImgScreenComposesInTheStandardFormatOfTheSetting) {
    g_ScreenColorFormat = Format(32, 0xFF0000, 0xFF00, 0xFF, 0);  // the display's format
    g_ScreenColorInfo.screenIsMemImg = 1;
    g_ScreenColorInfo.depthSetting = 16;
    EXPECT_EQ(MakeColorCode(0xFF, 0x80, 0x08), 0xFC01u);
    EXPECT_EQ(MakeColorCode(0x1FF, 0, 0), 0xF800u);  // low 8 bits only
    int r, g, b;
    // The display's depth differs from the setting: split in the standard format.
    EXPECT_EQ(SplitColorCode(0xF800, &r, &g, &b), 0);
    EXPECT_EQ(r, 255);
    EXPECT_EQ(g, 0);
    g_ScreenColorInfo.depthSetting = 32;
    EXPECT_EQ(MakeColorCode(0x12, 0x34, 0x56), 0xFF123456u);
    EXPECT_EQ(SplitColorCode(0xFF123456, &r, &g, &b), 0);
    EXPECT_EQ(r, 0x12);
    EXPECT_EQ(b, 0x56);
    g_ScreenColorInfo.depthSetting = 0;  // reads as 16
    EXPECT_EQ(MakeColorCode(255, 255, 255), 0xFFFFu);
}

TEST_F(ScreenColorTest, ZeroWidthChannelSplitsToZero) {
    g_ScreenColorFormat = Format(16, 0xFF00, 0x00FF, 0, 0);
    int r, g, b = -1;
    EXPECT_EQ(SplitColorCode(0xFFFF, &r, &g, &b), 0);
    EXPECT_EQ(r, 255);
    EXPECT_EQ(b, 0);
    EXPECT_EQ(SplitColorCode(0xFFFF, nullptr, nullptr, nullptr), 0);
}

// Composing and splitting again gives each channel back within what the
// format keeps of it.
TEST_F(ScreenColorTest, ComposeThenSplitKeepsChannelsWithinPrecision) {
    const ColorFormatDesc formats[] = {
        Format(16, 0xF800, 0x07E0, 0x001F, 0),
        Format(16, 0x7C00, 0x03E0, 0x001F, 0),
        Format(16, 0x0F00, 0x00F0, 0x000F, 0xF000),
        Format(24, 0xFF0000, 0xFF00, 0xFF, 0),
        Format(32, 0xFF0000, 0xFF00, 0xFF, 0),
        Format(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000),
        Format(32, 0x3FF00000, 0x000FFC00, 0x000003FF, 0xC0000000),
        *GetStandardColorFormat(0, 1, 0),
    };
    std::mt19937 random(7);
    for (const ColorFormatDesc& f : formats) {
        g_ScreenColorFormat = f;
        const int widths[3] = {f.redWidth, f.greenWidth, f.blueWidth};
        for (int n = 0; n < 2000; ++n) {
            const int in[3] = {static_cast<int>(random() & 0xFF), static_cast<int>(random() & 0xFF),
                               static_cast<int>(random() & 0xFF)};
            std::uint32_t code = ComposePixel(&f, in[0], in[1], in[2], 0);
            EXPECT_EQ(code, MakeColorCode(in[0], in[1], in[2]));
            int out[3];
            ASSERT_EQ(SplitColorCode(code, &out[0], &out[1], &out[2]), 0);
            for (int c = 0; c < 3; ++c) {
                // A channel of w bits keeps the value to within one step of
                // 256 / 2^w; a wider one holds the 8 bits and splits back
                // to within 1.
                int step = widths[c] > 8 ? 2 : 1 << (8 - widths[c]);
                EXPECT_LT(std::abs(out[c] - in[c]), step) << "depth " << f.depth << " channel " << c;
            }
        }
    }
}

}  // namespace
