// The guard-bit add and subtract against the channel-by-channel rules, and
// the brightening and wrap-around helpers.

#include "softrender/packed_math.h"

#include <gtest/gtest.h>

#include <climits>
#include <random>

#include "framework/softrender/pixel_oracle.h"

namespace po = pixel_oracle;
using po::PixelKind;

namespace {

// Channel values that sit on the edges of carries and borrows.
constexpr std::uint32_t kEdges8[] = {0, 1, 2, 0x7E, 0x7F, 0x80, 0x81, 0xFE, 0xFF};
constexpr std::uint32_t kEdges6[] = {0, 1, 2, 30, 31, 32, 33, 62, 63};
constexpr std::uint32_t kEdges5[] = {0, 1, 2, 14, 15, 16, 17, 30, 31};

TEST(PackedMath, Add565AndSubtract565AgreeWithChannelRulesEverywhere) {
    // Every destination against a spread of sources that includes every
    // combination of edge channel values.
    std::uint32_t sources[9 * 9 * 9];
    int n = 0;
    for (auto r : kEdges5)
        for (auto g : kEdges6)
            for (auto b : kEdges5) sources[n++] = Pack565(r, g, b);
    for (std::uint32_t d = 0; d < 65536; ++d)
        for (std::uint32_t s : sources) {
            ASSERT_EQ(AddSaturate565(d, s), po::AddPixels(PixelKind::k16, d, s)) << std::hex << d << " + " << s;
            ASSERT_EQ(SubtractSaturate565(d, s), po::SubtractPixels(PixelKind::k16, d, s)) << std::hex << d << " - " << s;
        }
}

TEST(PackedMath, Add565AndSubtract565RandomPairs) {
    std::mt19937 rng(565);
    for (int i = 0; i < 1 << 20; ++i) {
        const std::uint32_t d = rng() & 0xFFFF, s = rng() & 0xFFFF;
        ASSERT_EQ(AddSaturate565(d, s), po::AddPixels(PixelKind::k16, d, s));
        ASSERT_EQ(SubtractSaturate565(d, s), po::SubtractPixels(PixelKind::k16, d, s));
    }
}

TEST(PackedMath, Add888AndSubtract888AgreeWithChannelRules) {
    // Exhaustive over blue and green pairs with red on its edges, then the
    // same over green and red; the fourth bytes are random, since the result
    // must not depend on them.
    std::mt19937 rng(888);
    for (std::uint32_t db = 0; db < 256; ++db)
        for (std::uint32_t sb = 0; sb < 256; ++sb)
            for (auto dg : kEdges8)
                for (auto sg : kEdges8) {
                    const std::uint32_t r1 = kEdges8[rng() % 9], r2 = kEdges8[rng() % 9];
                    const std::uint32_t d = Pack888(r1, dg, db, rng() & 0xFF), s = Pack888(r2, sg, sb, rng() & 0xFF);
                    ASSERT_EQ(AddSaturate888(d, s), po::AddPixels(PixelKind::k32, d, s)) << std::hex << d << " + " << s;
                    ASSERT_EQ(SubtractSaturate888(d, s), po::SubtractPixels(PixelKind::k32, d, s))
                        << std::hex << d << " - " << s;
                    const std::uint32_t d2 = Pack888(db, sb, dg, rng() & 0xFF), s2 = Pack888(sg, r2, r1, rng() & 0xFF);
                    ASSERT_EQ(AddSaturate888(d2, s2), po::AddPixels(PixelKind::k32, d2, s2));
                    ASSERT_EQ(SubtractSaturate888(d2, s2), po::SubtractPixels(PixelKind::k32, d2, s2));
                }
    for (int i = 0; i < 1 << 20; ++i) {
        const std::uint32_t d = rng(), s = rng();
        ASSERT_EQ(AddSaturate888(d, s), po::AddPixels(PixelKind::k32, d, s));
        ASSERT_EQ(SubtractSaturate888(d, s), po::SubtractPixels(PixelKind::k32, d, s));
    }
}

TEST(PackedMath, WorkedExamples) {
    EXPECT_EQ(AddSaturate888(0x00808080, 0x00808080), 0x01FFFFFFu);
    EXPECT_EQ(AddSaturate888(0x000000FF, 0x00000001), 0x000001FFu);
    EXPECT_EQ(AddSaturate565(0x001F, 0x001F), 0x003Fu);
    EXPECT_EQ(SubtractSaturate888(0x00808080, 0x00202020), 0x00616160u);
    EXPECT_EQ(SubtractSaturate888(0, 0x00010101), 0x00010000u);
    EXPECT_EQ(SubtractSaturate888(0x00FFFFFF, 0x00FFFFFF), 0x00010100u);
    EXPECT_EQ(SubtractSaturate565(0, 0x0821), 0x0800u);
    // Upper halves of 16-bit arguments are ignored, not carried into the result.
    EXPECT_EQ(AddSaturate565(0xABCD001F, 0x1234001F), 0x003Fu);
    EXPECT_EQ(SubtractSaturate565(0xFFFF0000, 0xFFFF0821), 0x0800u);
}

TEST(PackedMath, BrightenConstantMatchesRule) {
    std::mt19937 rng(7);
    for (int i = 0; i < 200000; ++i) {
        const std::uint32_t c = rng();
        std::uint32_t bright = rng() & 0xFFFFFF;
        if (i % 3 == 0) bright = 0xFFFFFE;
        po::ConstantColourDraw draw;
        draw.bright = bright;
        draw.colour = c;
        draw.kind = PixelKind::k32;
        ASSERT_EQ(BrightenConstant888(c, bright), po::BrightenedColour(draw));
        draw.kind = PixelKind::k16;
        ASSERT_EQ(BrightenConstant565(c & 0xFFFF, bright), po::BrightenedColour(draw));
    }
    EXPECT_TRUE(IsBrightWhite(0xFFFFFF));
    EXPECT_TRUE(IsBrightWhite(0xFFFFFFFF));
    EXPECT_FALSE(IsBrightWhite(0xFFFFFE));
    EXPECT_FALSE(IsBrightWhite(0xFEFFFF));
}

TEST(PackedMath, ChannelsRoundTrip) {
    for (std::uint32_t v = 0; v < 65536; ++v) ASSERT_EQ(Pack565(Red565(v), Green565(v), Blue565(v)), v);
    const std::uint32_t px = 0x89ABCDEF;
    EXPECT_EQ(Pack888(Red888(px), Green888(px), Blue888(px), Fourth888(px)), px);
    EXPECT_EQ(Red888(px), 0xABu);
    EXPECT_EQ(Blue888(px), 0xEFu);
}

TEST(PackedMath, WrapAroundIsTwosComplement) {
    EXPECT_EQ(WrapAdd32(INT_MAX, 1), INT_MIN);
    EXPECT_EQ(WrapSub32(INT_MIN, 1), INT_MAX);
    EXPECT_EQ(WrapMul32(0x10000, 0x10000), 0);
    EXPECT_EQ(WrapMul32(-3, 0x40000), -0xC0000);
    EXPECT_EQ(WrapAdd32(-5, 3), -2);
}

TEST(PackedMath, PixelLoadsAndStoresAtAnyEvenOffset) {
    alignas(4) std::uint8_t buffer[12] = {};
    StorePixel32(buffer + 2, 0x11223344);
    EXPECT_EQ(buffer[2], 0x44);
    EXPECT_EQ(buffer[5], 0x11);
    EXPECT_EQ(LoadPixel32(buffer + 2), 0x11223344u);
    StorePixel16(buffer + 6, 0xABCDEF);
    EXPECT_EQ(LoadPixel16(buffer + 6), 0xCDEFu);
    EXPECT_EQ(buffer[8], 0);
}

}  // namespace
