// The raw "BGRA" format and DDS: layouts, the FourCC table, refusals.
#include <cstring>

#include "graphics/image/image_loader_dds_table.h"
#include "image_test_support.h"

namespace {

using BgraTest = ImageLoaderFixture;

TEST_F(BgraTest, EightAndSixteenBitChannels) {
    Bytes eight;
    eight.Text("BGRA").U32(0x08080808).U32(2).U32(1).U8(1).U8(2).U8(3).U8(4).U8(5).U8(6).U8(7).U8(8);
    ASSERT_EQ(RunLoader(LoadBgraImage, eight.data, &image_), 0);
    EXPECT_EQ(image_.pitch, 8u);
    EXPECT_EQ(image_.colorFormat.alphaMask, 0xFF000000u);
    EXPECT_EQ(ReadBaseImagePixel(&image_, 1, 0), 0x08070605u);
    ReleaseBaseImage(&image_);

    Bytes sixteen;
    sixteen.Text("BGRA").U32(0x10101010).U32(1).U32(2).U16(0x11FF).U16(0x22FF).U16(0x33FF).U16(0x44FF);
    sixteen.U16(0xAA00).U16(0xBB00).U16(0xCC00).U16(0xDD00);
    ASSERT_EQ(RunLoader(LoadBgraImage, sixteen.data, &image_), 0);
    EXPECT_EQ(ReadBaseImagePixel(&image_, 0, 0), 0x44332211u);
    EXPECT_EQ(ReadBaseImagePixel(&image_, 0, 1), 0xDDCCBBAAu);
}

TEST_F(BgraTest, ShortOrAbsurdFilesFail) {
    Bytes shortFile;
    shortFile.Text("BGRA").U32(0x08080808).U32(2).U32(2).Fill(15, 0);
    EXPECT_EQ(RunLoader(LoadBgraImage, shortFile.data, &image_), -1);
    Bytes shortSixteen;
    shortSixteen.Text("BGRA").U32(0x10101010).U32(1).U32(2).Fill(15, 0);
    EXPECT_EQ(RunLoader(LoadBgraImage, shortSixteen.data, &image_), -1);
    Bytes huge;
    huge.Text("BGRA").U32(0x08080808).U32(0x40000000).U32(0x40000000).Fill(64, 0);
    EXPECT_EQ(RunLoader(LoadBgraImage, huge.data, &image_), -1);
    Bytes badBits;
    badBits.Text("BGRA").U32(0x08080800).U32(1).U32(1).Fill(4, 0);
    EXPECT_EQ(RunLoader(LoadBgraImage, badBits.data, &image_), -1);
    EXPECT_EQ(image_.pixels, nullptr);
}

// A DDS header: flags, height, width, pitch, then the pixel format.
Bytes Dds(std::uint32_t flags, std::uint32_t width, std::uint32_t height, std::uint32_t pitch,
          std::uint32_t pixelFlags, std::uint32_t fourCC, std::uint32_t bits, std::uint32_t r, std::uint32_t g,
          std::uint32_t b, std::uint32_t a) {
    Bytes d;
    d.Text("DDS ").U32(124).U32(flags).U32(height).U32(width).U32(pitch).Fill(4 * 13, 0);
    d.U32(32).U32(pixelFlags).U32(fourCC).U32(bits).U32(r).U32(g).U32(b).U32(a).Fill(20, 0);
    return d;
}

using DdsTest = ImageLoaderFixture;

TEST_F(DdsTest, TableHasItsFourteenRows) {
    int rows = 0;
    std::uint64_t codeSum = 0;
    while (DdsFormatTable[rows].code != kDdsFormatTableEnd) codeSum += DdsFormatTable[rows++].code;
    EXPECT_EQ(rows, 14);
    EXPECT_EQ(codeSum, 378u);
    ASSERT_NE(FindDdsFormat(26), nullptr);
    EXPECT_EQ(FindDdsFormat(26)->alphaMask, 0xF000u);
    EXPECT_EQ(FindDdsFormat(35)->redMask, 0x3FF00000u);
    EXPECT_EQ(FindDdsFormat(28), nullptr);
}

TEST_F(DdsTest, MasksFourCCAndPitch) {
    // RGB masks, 16-bit 5:6:5, file pitch 8 for a 2-pixel row.
    Bytes rgb = Dds(0x8, 2, 2, 8, 0x40, 0, 16, 0xF800, 0x07E0, 0x001F, 0);
    rgb.U16(0xF800).U16(0).U32(0).U16(0x001F).U16(0).U32(0);
    ASSERT_EQ(RunLoader(LoadDdsImage, rgb.data, &image_), 0);
    EXPECT_EQ(image_.pitch, 8u);
    EXPECT_EQ(ReadBaseImagePixel(&image_, 0, 0) & 0xFFFFFF, 0xF80000u);
    EXPECT_EQ(ReadBaseImagePixel(&image_, 0, 1) & 0xFFFFFF, 0x0000F8u);
    ReleaseBaseImage(&image_);

    // FourCC 21: 32-bit with alpha; no pitch flag, so pitch = 4 x width.
    Bytes argb = Dds(0, 1, 1, 0, 0x4, 21, 0, 0, 0, 0, 0);
    argb.U32(0x80FF0000);
    ASSERT_EQ(RunLoader(LoadDdsImage, argb.data, &image_), 0);
    EXPECT_EQ(image_.colorFormat.alphaMask, 0xFF000000u);
    EXPECT_EQ(ReadBaseImagePixel(&image_, 0, 0), 0x80FF0000u);
}

TEST_F(DdsTest, CompressedShortAndBadPitchAreRefused) {
    EXPECT_EQ(RunLoader(LoadDdsImage, Dds(0, 4, 4, 0, 0x4, 0x31545844, 0, 0, 0, 0, 0).Fill(8, 0).data, &image_), -1);
    EXPECT_EQ(RunLoader(LoadDdsImage, Dds(0, 2, 2, 0, 0x4, 21, 0, 0, 0, 0, 0).Fill(15, 0).data, &image_), -1);
    EXPECT_EQ(RunLoader(LoadDdsImage, Dds(0x8, 4, 1, 2, 0x41, 0, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000)
                                          .Fill(64, 0)
                                          .data,
                        &image_),
              -1);
    EXPECT_EQ(RunLoader(LoadDdsImage, Dds(0, 1, 1, 0, 0x40, 0, 12, 0xF00, 0xF0, 0xF, 0).Fill(8, 0).data, &image_),
              -1);
    EXPECT_EQ(RunLoader(LoadDdsImage, Dds(0, 0x10000, 0x10000, 0, 0x4, 21, 0, 0, 0, 0, 0).data, &image_), -1);
    EXPECT_EQ(RunLoader(LoadDdsImage, {'D', 'D', 'S', ' ', 1, 2}, &image_), -1);
    EXPECT_EQ(image_.pixels, nullptr);
}

}  // namespace
