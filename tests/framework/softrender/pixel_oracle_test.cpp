// The reference itself is anchored to the worked results the renderer's
// rules give, so a misreading shared by the oracle and the loops shows here.

#include "framework/softrender/pixel_oracle.h"

#include <gtest/gtest.h>

namespace po = pixel_oracle;
using po::PixelKind;

namespace {

po::ConstantColourDraw Draw(PixelKind kind, std::uint32_t mode, std::uint32_t param, std::uint32_t colour,
                            std::uint32_t bright = 0xFFFFFF) {
    po::ConstantColourDraw d;
    d.kind = kind;
    d.mode = mode;
    d.param = param;
    d.colour = colour;
    d.bright = bright;
    return d;
}

TEST(PixelOracle, FullStrengthAddExamples) {
    // Red's overflow shows in the fourth byte.
    EXPECT_EQ(po::ConstantColourPixel(Draw(PixelKind::k32, po::kAdd, 255, 0x00808080), 0x00808080), 0x01FFFFFFu);
    // Blue saturates and its overflow becomes green's lowest bit.
    EXPECT_EQ(po::ConstantColourPixel(Draw(PixelKind::k32, po::kAdd, 255, 0x00000001), 0x000000FF), 0x000001FFu);
    EXPECT_EQ(po::ConstantColourPixel(Draw(PixelKind::k16, po::kAdd, 255, 0x001F), 0x001F), 0x003Fu);
}

TEST(PixelOracle, FullStrengthSubtractExamples) {
    const std::uint32_t r = po::ConstantColourPixel(Draw(PixelKind::k32, po::kSubtract, 255, 0x00202020), 0x00808080);
    EXPECT_EQ(r, 0x00616160u);  // red 97, green 97, blue 96, fourth byte 0
    EXPECT_EQ(po::ConstantColourPixel(Draw(PixelKind::k32, po::kSubtract, 255, 0x00010101), 0), 0x00010000u);
    EXPECT_EQ(po::ConstantColourPixel(Draw(PixelKind::k32, po::kSubtract, 255, 0x00FFFFFF), 0x00FFFFFF), 0x00010100u);
    EXPECT_EQ(po::ConstantColourPixel(Draw(PixelKind::k16, po::kSubtract, 255, 0x0821), 0), 0x0800u);
}

TEST(PixelOracle, AlphaEndsAndMultiplyIgnoresParameter) {
    for (PixelKind kind : {PixelKind::k16, PixelKind::k32}) {
        const std::uint32_t colour = kind == PixelKind::k32 ? 0x12345678u : 0x5A5Au;
        const std::uint32_t dest = kind == PixelKind::k32 ? 0x9ABCDEF0u : 0xC3C3u;
        EXPECT_EQ(po::ConstantColourPixel(Draw(kind, po::kAlpha, 255, colour), dest),
                  po::ConstantColourPixel(Draw(kind, po::kCopy, 0, colour), dest));
        for (std::uint32_t mode : {po::kAlpha, po::kAdd, po::kSubtract}) {
            EXPECT_FALSE(po::Draws(Draw(kind, mode, 0, colour)));
            EXPECT_EQ(po::ConstantColourPixel(Draw(kind, mode, 0, colour), dest), dest);
        }
        EXPECT_TRUE(po::Draws(Draw(kind, po::kMultiply, 0, colour)));
        EXPECT_NE(po::ConstantColourPixel(Draw(kind, po::kMultiply, 0, colour), dest), dest);
        EXPECT_EQ(po::ConstantColourPixel(Draw(kind, po::kMultiply, 0, colour), dest),
                  po::ConstantColourPixel(Draw(kind, po::kMultiply, 200, colour), dest));
        EXPECT_FALSE(po::Draws(Draw(kind, 5, 255, colour)));
    }
}

TEST(PixelOracle, BrightColourExamples) {
    // White as a whole leaves the colour alone, whatever the byte above.
    EXPECT_EQ(po::BrightenedColour(Draw(PixelKind::k32, po::kCopy, 0, 0xAB123456, 0xFFFFFFFF)), 0xAB123456u);
    // 0xFFFFFE: red and green one lower, blue b to (b * 254) >> 8; fourth byte kept.
    EXPECT_EQ(po::BrightenedColour(Draw(PixelKind::k32, po::kCopy, 0, 0xAB123456, 0x00FFFFFE)),
              0xAB000000u | (0x11u << 16) | (0x33u << 8) | ((0x56u * 254) >> 8));
    EXPECT_EQ(po::BrightenedColour(Draw(PixelKind::k32, po::kCopy, 0, 0x00000000, 0x00FFFFFE)), 0u);
    // 16-bit: the raw fields, red 31 to 30, green 63 to 62, blue 31 to (31 * 254) >> 8 = 30.
    EXPECT_EQ(po::BrightenedColour(Draw(PixelKind::k16, po::kCopy, 0, 0xFFFF, 0x00FFFFFE)), (30u << 11) | (62u << 5) | 30u);
}

TEST(PixelOracle, SourceBrighteningKeepsFullBytes) {
    // Through the product rule 255 is neutral, unlike the fill's >> 8.
    EXPECT_EQ(po::BrightenSource(PixelKind::k32, 0xAB123456, 0xFFFFFF), 0xAB123456u);
    EXPECT_EQ(po::BrightenSource(PixelKind::k32, 0x00FFFFFF, 0x808080), 0x00808080u);
    EXPECT_EQ(po::BrightenSource(PixelKind::k32, 0x00646464, 0x808080), 0x00323232u);
    EXPECT_EQ(po::BrightenSource(PixelKind::k32, 0x00FFFFFF, 0xFF0000), 0x00FF0000u);
    EXPECT_EQ(po::Split(PixelKind::k16, po::BrightenSource(PixelKind::k16, 0xF800, 0x800000)).r, 15);
}

TEST(PixelOracle, FourthByteRules) {
    EXPECT_EQ(po::ConstantColourPixel(Draw(PixelKind::k32, po::kCopy, 0, 0xAB010203), 0xCD000000), 0xAB010203u);
    EXPECT_EQ(po::ConstantColourPixel(Draw(PixelKind::k32, po::kAlpha, 100, 0xAB010203), 0xCD000000) >> 24, 0xCDu);
    EXPECT_EQ(po::ConstantColourPixel(Draw(PixelKind::k32, po::kMultiply, 0, 0xAB010203), 0xCDFFFFFF) >> 24, 0xCDu);
}

TEST(PixelOracle, AlphaHalfExamples) {
    // 16-bit, black under white at 128: red 15, green 31, blue 15.
    EXPECT_EQ(po::ConstantColourPixel(Draw(PixelKind::k16, po::kAlpha, 128, 0xFFFF), 0), (15u << 11) | (31u << 5) | 15u);
    // 32-bit, 0 under 0x00FFFFFF at 128 gives 0x7F7F7F; the fourth byte stays.
    EXPECT_EQ(po::ConstantColourPixel(Draw(PixelKind::k32, po::kAlpha, 128, 0x00FFFFFF), 0x5A000000), 0x5A7F7F7Fu);
    // The 32-bit form is floor((d(256 - p) + cp) / 256): from white toward black
    // it rounds down, the 16-bit form rounds toward d.
    EXPECT_EQ(po::ConstantColourPixel(Draw(PixelKind::k32, po::kAlpha, 1, 0), 0x00FFFFFF), 0x00FEFEFEu);
    EXPECT_EQ(po::ConstantColourPixel(Draw(PixelKind::k16, po::kAlpha, 1, 0), 0xFFFF), 0xFFFFu);
}

TEST(PixelOracle, TableRules) {
    EXPECT_EQ(po::ScaledDifference(255, -255), -255);
    EXPECT_EQ(po::ScaledDifference(1, 254), 0);
    EXPECT_EQ(po::ScaledDifference(128, 100), 50);
    EXPECT_EQ(po::ScaledDifference(128, -100), -50);  // toward zero, not -51
    EXPECT_EQ(po::Product255(255, 255), 255u);
    EXPECT_EQ(po::Product255(128, 255), 128u);
    EXPECT_EQ(po::Product255(254, 1), 0u);
    EXPECT_EQ(po::Level63(63, 40, 3), 40u);
    EXPECT_EQ(po::Level63(0, 40, 3), 3u);
    EXPECT_EQ(po::Level63(25, 31, 0), 12u);  // red 31 over 0 at parameter 100
    for (std::uint32_t i = 0; i < 256; ++i) {
        EXPECT_EQ(po::MaskWeight(0, 255, i), 255u);
        EXPECT_EQ(po::MaskWeight(0, 0, i), 255u);
        EXPECT_EQ(po::MaskWeight(128, 255, i), i);
        EXPECT_EQ(po::MaskWeight(255, 0, i), i == 255 ? 1u : 0u);
    }
}

TEST(PixelOracle, MultiplyAndMix) {
    // Multiplying by white lowers every non-zero channel by one.
    EXPECT_EQ(po::ConstantColourPixel(Draw(PixelKind::k32, po::kMultiply, 0, 0x00FFFFFF), 0x00806401), 0x007F6300u);
    EXPECT_EQ(po::ConstantColourPixel(Draw(PixelKind::k16, po::kMultiply, 0, 0xFFFF), 0xFFFF), (30u << 11) | (62u << 5) | 30u);
    EXPECT_EQ(po::MixByWeight(PixelKind::k32, 0x11000000, 0x00FFFFFF, 255), 0x11FEFEFEu);
    EXPECT_EQ(po::MixByWeight(PixelKind::k32, 0x00FFFFFF, 0, 0), 0x00FFFFFFu);
    EXPECT_EQ(po::MixByWeight(PixelKind::k16, 0, 0xFFFF, 128), (15u << 11) | (31u << 5) | 15u);
}

}  // namespace
