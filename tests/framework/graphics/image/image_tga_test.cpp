// TGA decoding: the four orientations, colour maps, RLE packets, the
// footer, and refusals.
#include <cstring>

#include "framework/core/log_capture.h"
#include "image_test_support.h"

namespace {

Bytes TgaHeader(int type, int width, int height, int depth, int descriptor, int mapType = 0, int mapFirst = 0,
                int mapLength = 0, int mapBits = 0, int idLength = 0) {
    Bytes b;
    b.U8(idLength).U8(mapType).U8(type).U16(mapFirst).U16(mapLength).U8(mapBits);
    b.U16(0).U16(0).U16(width).U16(height).U8(depth).U8(descriptor);
    return b;
}

Bytes& Footer(Bytes& b) { return b.U32(0).U32(0).Text("TRUEVISION-XFILE").Text(".").U8(0); }

// 2 x 2 of 24-bit pixels a, b / c, d in stored order.
std::vector<std::uint8_t> Pixels2x2() {
    return {1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4};
}

using TgaTest = ImageLoaderFixture;

TEST_F(TgaTest, DescriptorBitsGiveTheOrientation) {
    struct Case {
        int descriptor;
        std::uint8_t topLeft, topRight, bottomLeft;
    };
    // Stored: 1 2 / 3 4.
    for (const Case& c : {Case{0x20, 1, 2, 3}, Case{0x00, 3, 4, 1}, Case{0x10, 4, 3, 2}, Case{0x30, 2, 1, 4}}) {
        ASSERT_EQ(RunLoader(LoadTgaImage, TgaHeader(2, 2, 2, 24, c.descriptor).Append(Pixels2x2()).data, &image_), 0);
        EXPECT_EQ(image_.pitch, 6u);
        EXPECT_EQ(*PixelAt(image_, 0, 0), c.topLeft) << c.descriptor;
        EXPECT_EQ(*PixelAt(image_, 1, 0), c.topRight) << c.descriptor;
        EXPECT_EQ(*PixelAt(image_, 0, 1), c.bottomLeft) << c.descriptor;
        ReleaseBaseImage(&image_);
    }
}

TEST_F(TgaTest, FormatsBySize) {
    ASSERT_EQ(RunLoader(LoadTgaImage, TgaHeader(2, 1, 1, 16, 0x20).U16(0x7C00).data, &image_), 0);
    EXPECT_EQ(image_.colorFormat.redMask, 0x7C00u);
    EXPECT_EQ(image_.colorFormat.alphaWidth, 0);
    EXPECT_EQ(ReadBaseImagePixel(&image_, 0, 0) & 0xFFFFFF, 0xF80000u);
    ReleaseBaseImage(&image_);
    ASSERT_EQ(RunLoader(LoadTgaImage, TgaHeader(2, 1, 1, 32, 0x20).U32(0x80112233).data, &image_), 0);
    EXPECT_EQ(image_.colorFormat.alphaMask, 0xFF000000u);
    EXPECT_EQ(image_.pitch, 4u);
    EXPECT_EQ(ReadBaseImagePixel(&image_, 0, 0), 0x80112233u);
}

TEST_F(TgaTest, ColourMappedIndexesBecomePixelsAndTheImageIdIsSkipped) {
    // Entries 2 and 3 of the map; an image ID of 3 bytes before it.
    Bytes b = TgaHeader(1, 2, 1, 8, 0x20, 1, 2, 2, 24, 3);
    b.Text("abc").U8(0x10).U8(0x20).U8(0x30).U8(0x40).U8(0x50).U8(0x60).U8(3).U8(0);
    ASSERT_EQ(RunLoader(LoadTgaImage, b.data, &image_), 0);
    EXPECT_EQ(image_.colorFormat.depth, 24);
    EXPECT_EQ(ReadBaseImagePixel(&image_, 0, 0) & 0xFFFFFF, 0x605040u);
    EXPECT_EQ(ReadBaseImagePixel(&image_, 1, 0) & 0xFFFFFF, 0u);  // entry 0 was never filled
}

TEST_F(TgaTest, AnEmptyColourMapGivesBlackPixels) {
    Bytes b = TgaHeader(1, 2, 1, 8, 0x20, 1, 0xA1, 0, 24);
    b.U8(5).U8(0xA1);
    ASSERT_EQ(RunLoader(LoadTgaImage, b.data, &image_), 0);
    EXPECT_EQ(ReadBaseImagePixel(&image_, 1, 0) & 0xFFFFFF, 0u);
}

TEST_F(TgaTest, RlePacketsWithAndWithoutFooter) {
    // 3 x 2 true colour: a run of 4 then 2 literal pixels.
    for (bool withFooter : {false, true}) {
        Bytes b = TgaHeader(10, 3, 2, 24, 0x20);
        b.U8(0x83).U8(9).U8(8).U8(7).U8(0x01).U8(1).U8(2).U8(3).U8(4).U8(5).U8(6);
        if (withFooter) Footer(b);
        ASSERT_EQ(RunLoader(LoadTgaImage, b.data, &image_), 0) << withFooter;
        EXPECT_EQ(ReadBaseImagePixel(&image_, 0, 1) & 0xFFFFFF, 0x070809u);
        EXPECT_EQ(ReadBaseImagePixel(&image_, 1, 1) & 0xFFFFFF, 0x030201u);
        EXPECT_EQ(ReadBaseImagePixel(&image_, 2, 1) & 0xFFFFFF, 0x060504u);
        ReleaseBaseImage(&image_);
    }
    // Colour-mapped RLE; a run that would go past the image is cut.
    Bytes b = TgaHeader(9, 2, 1, 8, 0x20, 1, 0, 2, 24);
    b.U8(0).U8(0).U8(0).U8(0xFF).U8(0xFF).U8(0xFF).U8(0xFF).U8(1);
    ASSERT_EQ(RunLoader(LoadTgaImage, b.data, &image_), 0);
    EXPECT_EQ(ReadBaseImagePixel(&image_, 1, 0) & 0xFFFFFF, 0xFFFFFFu);
}

TEST_F(TgaTest, RefusedAndDamagedFiles) {
    const auto pixels = Pixels2x2();
    EXPECT_EQ(RunLoader(LoadTgaImage, TgaHeader(3, 2, 2, 8, 0x20).Append(pixels).data, &image_), -1);
    EXPECT_EQ(RunLoader(LoadTgaImage, TgaHeader(2, 4096, 1, 24, 0x20).Fill(4096 * 3, 0).data, &image_), -1);
    EXPECT_EQ(RunLoader(LoadTgaImage, TgaHeader(2, 2, 2, 8, 0x20).Append(pixels).data, &image_), -1);
    Bytes origin = TgaHeader(2, 2, 2, 24, 0x20);
    origin.data[8] = 1;
    EXPECT_EQ(RunLoader(LoadTgaImage, origin.Append(pixels).data, &image_), -1);
    // Truncated pixels, RLE data that ends early, a colour map past 256.
    EXPECT_EQ(RunLoader(LoadTgaImage, TgaHeader(2, 2, 2, 24, 0x20).Fill(11, 0).data, &image_), -1);
    EXPECT_EQ(RunLoader(LoadTgaImage, TgaHeader(10, 2, 2, 24, 0x20).U8(0x81).U8(1).U8(2).U8(3).data, &image_), -1);
    EXPECT_EQ(RunLoader(LoadTgaImage, TgaHeader(1, 1, 1, 8, 0x20, 1, 200, 100, 24).Fill(301, 0).data, &image_), -1);
    EXPECT_EQ(RunLoader(LoadTgaImage, TgaHeader(1, 1, 1, 16, 0x20, 1, 0, 2, 24).Fill(8, 0).data, &image_), -1);
    EXPECT_EQ(RunLoader(LoadTgaImage, {0, 0, 2}, &image_), -1);
    EXPECT_EQ(image_.pixels, nullptr);
}

// A header alone can claim 4095 x 4095 pixels: the file must hold the data
// such an image needs before anything is allocated for it. Each file below is
// refused for its size; one byte more data than the least makes it load.
TEST_F(TgaTest, AHeaderClaimingMoreThanTheFileHoldsIsRefusedFirst) {
    LogCapture log;
    struct Case {
        const char* what;
        Bytes file;
        bool loads;
    };
    const Case cases[] = {
        {"18 bytes claiming 4095 x 4095", TgaHeader(2, 4095, 4095, 32, 0x20), false},
        {"RLE header only", TgaHeader(10, 4095, 4095, 24, 0x20), false},
        {"mapped, no indexes", TgaHeader(1, 4095, 4095, 8, 0x20, 1, 0, 2, 24).Fill(6, 0), false},
        // 3 x 3 true colour needs 27 bytes; with a footer those come before it.
        {"26 of 27 bytes", TgaHeader(2, 3, 3, 24, 0x20).Fill(26, 0), false},
        {"27 bytes", TgaHeader(2, 3, 3, 24, 0x20).Fill(27, 0), true},
        {"26 bytes and a footer", Footer(TgaHeader(2, 3, 3, 24, 0x20).Fill(26, 0)), false},
        // 300 pixels of RLE need at least three packets of 1 + 3 bytes.
        {"RLE, 11 bytes for 300 pixels", TgaHeader(10, 300, 1, 24, 0x20).Fill(11, 0xFF), false},
        {"RLE, three full run packets", TgaHeader(10, 300, 1, 24, 0x20).U8(0xFF).Fill(3, 9).U8(0xFF).Fill(3, 9)
                                            .U8(0xAB).Fill(3, 9), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(RunLoader(LoadTgaImage, c.file.data, &image_), c.loads ? 0 : -1);
        ReleaseBaseImage(&image_);
        image_ = {};
    }
    // The refusals say why, before any pixel was read.
    EXPECT_EQ(CountOf(log.File(), "pixel data shorter"), 6u) << log.File();
}

}  // namespace
