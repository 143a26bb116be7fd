// BMP decoding: row order, every depth and compression, palettes after
// longer headers, and damaged files that must fail cleanly.
#include <cstring>

#include "framework/core/log_capture.h"
#include "image_test_support.h"

namespace {

using BmpTest = ImageLoaderFixture;

TEST_F(BmpTest, TwentyFourBitRowsComeOutTopFirstWhateverTheStoredOrder) {
    // 2 x 2: stored rows of 6 bytes padded to 8. Row A = red, blue; row B = green, white.
    const std::vector<std::uint8_t> rowA = {0, 0, 255, 255, 0, 0, 0, 0};
    const std::vector<std::uint8_t> rowB = {0, 255, 0, 255, 255, 255, 0, 0};
    std::vector<std::uint8_t> bottomUp = rowB;
    bottomUp.insert(bottomUp.end(), rowA.begin(), rowA.end());
    std::vector<std::uint8_t> topDown = rowA;
    topDown.insert(topDown.end(), rowB.begin(), rowB.end());
    for (int height : {2, -2}) {
        ASSERT_EQ(RunLoader(LoadBmpImage, MakeBmp(2, height, 24, 0, {}, height > 0 ? bottomUp : topDown), &image_), 0);
        EXPECT_EQ(image_.width, 2u);
        EXPECT_EQ(image_.height, 2u);
        EXPECT_EQ(image_.pitch, 8u);
        EXPECT_EQ(image_.colorFormat.depth, 24);
        EXPECT_EQ(ReadBaseImagePixel(&image_, 0, 0) & 0xFFFFFF, 0xFF0000u) << height;
        EXPECT_EQ(ReadBaseImagePixel(&image_, 1, 0) & 0xFFFFFF, 0x0000FFu);
        EXPECT_EQ(ReadBaseImagePixel(&image_, 0, 1) & 0xFFFFFF, 0x00FF00u);
        ReleaseBaseImage(&image_);
    }
}

TEST_F(BmpTest, EightBitKeepsIndexesAndPalette) {
    const std::vector<std::uint32_t> palette = {0x00000000, 0xFF112233, 0x00445566};
    // 3 x 1, pitch 4, bottom-up of one row.
    ASSERT_EQ(RunLoader(LoadBmpImage, MakeBmp(3, 1, 8, 0, palette, {2, 1, 0, 0}), &image_), 0);
    EXPECT_EQ(image_.colorFormat.depth, 8);
    EXPECT_EQ(image_.pitch, 4u);
    EXPECT_EQ(image_.pixels[0], 2);
    EXPECT_EQ(image_.pixels[1], 1);
    // The fourth byte of each entry is cleared.
    EXPECT_EQ(image_.colorFormat.palette[1], 0x112233u);
    EXPECT_EQ(image_.colorFormat.palette[2], 0x445566u);
    EXPECT_EQ(image_.colorFormat.palette[3], 0u);
}

TEST_F(BmpTest, PaletteIsFoundAfterALongerInfoHeader) {
    // A 124-byte header: the palette follows it, not byte 54.
    ASSERT_EQ(RunLoader(LoadBmpImage, MakeBmp(1, 1, 8, 0, {0x00ABCDEF, 0x00123456}, {1, 0, 0, 0}, {}, 124), &image_),
              0);
    EXPECT_EQ(image_.colorFormat.palette[1], 0x123456u);
    EXPECT_EQ(image_.pixels[0], 1);
}

TEST_F(BmpTest, FourBitNibblesBecomeBytes) {
    std::vector<std::uint32_t> palette(16, 0);
    palette[0xA] = 0x00FF0000;
    // 3 x 1: nibbles A, 1, 5 packed high first; source pitch 4.
    ASSERT_EQ(RunLoader(LoadBmpImage, MakeBmp(3, 1, 4, 0, palette, {0xA1, 0x50, 0, 0}), &image_), 0);
    EXPECT_EQ(image_.colorFormat.depth, 8);
    EXPECT_EQ(image_.pitch, 4u);
    EXPECT_EQ(image_.pixels[0], 0xA);
    EXPECT_EQ(image_.pixels[1], 0x1);
    EXPECT_EQ(image_.pixels[2], 0x5);
    EXPECT_EQ(image_.colorFormat.palette[0xA], 0xFF0000u);
}

TEST_F(BmpTest, Rle8RunsAbsoluteRunsAndDeltaLeaveSkippedPixelsAtZero) {
    // 6 x 3, stored bottom row first.
    const std::vector<std::uint8_t> rle = {
        3, 7,           // row 0 (bottom): 7 7 7
        0, 3, 1, 2, 3, 0,  // absolute run 1 2 3, padded to even
        0, 0,           // end of line
        0, 2, 2, 1,     // row 1: move right 2, down 1 -> row 2 at x 2
        2, 9,           // row 2: x 2..3 = 9
        0, 1,           // end of image
    };
    ASSERT_EQ(RunLoader(LoadBmpImage, MakeBmp(6, 3, 8, 1, std::vector<std::uint32_t>(256, 0), rle), &image_), 0);
    EXPECT_EQ(image_.pitch, 8u);
    const std::uint8_t top[6] = {0, 0, 9, 9, 0, 0};       // stored row 2
    const std::uint8_t middle[6] = {0, 0, 0, 0, 0, 0};    // stored row 1, skipped
    const std::uint8_t bottom[6] = {7, 7, 7, 1, 2, 3};    // stored row 0
    EXPECT_EQ(std::memcmp(PixelAt(image_, 0, 0), top, 6), 0);
    EXPECT_EQ(std::memcmp(PixelAt(image_, 0, 1), middle, 6), 0);
    EXPECT_EQ(std::memcmp(PixelAt(image_, 0, 2), bottom, 6), 0);
}

TEST_F(BmpTest, Rle4AlternatesNibblesInRunsAndAbsoluteRuns) {
    const std::vector<std::uint8_t> rle = {5, 0x12, 0, 3, 0xAB, 0xC0, 0, 1};
    ASSERT_EQ(RunLoader(LoadBmpImage, MakeBmp(8, 1, 4, 2, std::vector<std::uint32_t>(16, 0), rle), &image_), 0);
    EXPECT_EQ(image_.pitch, 8u);
    const std::uint8_t expected[8] = {1, 2, 1, 2, 1, 0xA, 0xB, 0xC};
    EXPECT_EQ(std::memcmp(image_.pixels, expected, 8), 0);
}

TEST_F(BmpTest, RleOverrunsAreClippedToTheImage) {
    // Runs far past the row and the image, a delta far outside it, and an
    // absolute run longer than the data: all stay inside the buffer.
    const std::vector<std::uint8_t> rle = {255, 1, 0, 0, 255, 2, 0, 2, 127, 127, 3, 9};
    ASSERT_EQ(RunLoader(LoadBmpImage, MakeBmp(3, 2, 8, 1, std::vector<std::uint32_t>(256, 0), rle), &image_), 0);
    EXPECT_EQ(*PixelAt(image_, 0, 0), 2);  // top row is stored row 1
    EXPECT_EQ(*PixelAt(image_, 2, 0), 2);
    EXPECT_EQ(*PixelAt(image_, 2, 1), 1);
    ReleaseBaseImage(&image_);
    // An absolute run that promises more bytes than there are.
    ASSERT_EQ(RunLoader(LoadBmpImage, MakeBmp(3, 1, 8, 1, std::vector<std::uint32_t>(256, 0), {0, 200, 5}), &image_),
              0);
    EXPECT_EQ(image_.pixels[0], 5);
    EXPECT_EQ(image_.pixels[1], 0);
}

TEST_F(BmpTest, OneSixteenAndThirtyTwoBitAndBitFieldsBecomeTwentyFourBit) {
    struct Case {
        int depth, compression;
        std::vector<std::uint32_t> palette, masks;
        std::vector<std::uint8_t> pixels;
        std::uint32_t first, second;
    };
    const Case cases[] = {
        // 1-bit: bits 1 0 with palette white / red.
        {1, 0, {0x00FF0000, 0x00FFFFFF}, {}, {0x80, 0, 0, 0}, 0xFFFFFF, 0xFF0000},
        // 16-bit 5:5:5: pure red, pure blue.
        {16, 0, {}, {}, {0x00, 0x7C, 0x1F, 0x00}, 0xFF0000, 0x0000FF},
        // 16-bit bit fields 5:6:5: pure green, white.
        {16, 3, {}, {0xF800, 0x07E0, 0x001F}, {0xE0, 0x07, 0xFF, 0xFF}, 0x00FF00, 0xFFFFFF},
        // 32-bit: 0x00RRGGBB little-endian.
        {32, 0, {}, {}, {0x56, 0x34, 0x12, 0, 0x01, 0x02, 0x03, 0}, 0x123456, 0x030201},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(RunLoader(LoadBmpImage, MakeBmp(2, 1, c.depth, c.compression, c.palette, c.pixels, c.masks), &image_),
                  0)
            << c.depth;
        EXPECT_EQ(image_.colorFormat.depth, 24);
        EXPECT_EQ(image_.pitch, 8u);
        EXPECT_EQ(ReadBaseImagePixel(&image_, 0, 0) & 0xFFFFFF, c.first) << c.depth << "/" << c.compression;
        EXPECT_EQ(ReadBaseImagePixel(&image_, 1, 0) & 0xFFFFFF, c.second) << c.depth << "/" << c.compression;
        ReleaseBaseImage(&image_);
    }
}

TEST_F(BmpTest, DamagedFilesFailWithoutLeaving) {
    const std::vector<std::uint8_t> good = MakeBmp(2, 2, 24, 0, {}, std::vector<std::uint8_t>(16, 0x55));
    // Not a BMP at all.
    EXPECT_EQ(RunLoader(LoadBmpImage, {'P', 'K', 3, 4}, &image_), -1);
    // Truncated inside the headers.
    for (std::size_t cut : {2u, 14u, 30u, 53u})
        EXPECT_EQ(RunLoader(LoadBmpImage, std::vector<std::uint8_t>(good.begin(), good.begin() + cut), &image_), -1)
            << cut;
    // Zero and absurd sizes, a pixel offset past the end.
    auto patched = [&](std::size_t at, std::uint32_t value) {
        std::vector<std::uint8_t> b = good;
        for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
        return b;
    };
    EXPECT_EQ(RunLoader(LoadBmpImage, patched(18, 0), &image_), -1);
    EXPECT_EQ(RunLoader(LoadBmpImage, patched(22, 0), &image_), -1);
    EXPECT_EQ(RunLoader(LoadBmpImage, patched(18, 0x7FFFFFFF), &image_), -1);
    EXPECT_EQ(RunLoader(LoadBmpImage, patched(22, 0x80000000), &image_), -1);
    EXPECT_EQ(RunLoader(LoadBmpImage, patched(10, 0xFFFFFF00), &image_), -1);
    // A palette said to run past the end of the file.
    std::vector<std::uint8_t> shortPalette = MakeBmp(1, 1, 8, 0, {0, 0}, {});
    shortPalette.resize(14 + 40 + 6);
    EXPECT_EQ(RunLoader(LoadBmpImage, shortPalette, &image_), -1);
    // Unsupported compressions (JPEG and PNG inside a BMP).
    EXPECT_EQ(RunLoader(LoadBmpImage, MakeBmp(2, 2, 24, 4, {}, {1, 2, 3}), &image_), -1);
    EXPECT_EQ(image_.pixels, nullptr);
}

// Uncompressed pixel data shorter than the header's size is refused, at
// every depth, before anything is made of it; the last row may lack only its
// padding. Run-length data has no such size: what it skips stays 0.
TEST_F(BmpTest, PixelDataShorterThanTheHeaderSaysIsRefused) {
    LogCapture log;
    struct Case {
        const char* what;
        int width, height, depth, compression;
        std::size_t bytes;  // of pixel data
        bool loads;
        std::vector<std::uint32_t> masks = {};
    };
    const Case cases[] = {
        {"54 bytes claiming 7000 x 6000", 7000, 6000, 24, 0, 0, false},
        // 2 x 2 at 24 bits: rows of 6 bytes padded to 8.
        {"24-bit, whole", 2, 2, 24, 0, 16, true},
        {"24-bit, last row unpadded", 2, 2, 24, 0, 14, true},
        {"24-bit, a byte short", 2, 2, 24, 0, 13, false},
        {"24-bit, one row of two", 2, -2, 24, 0, 8, false},
        {"8-bit, 3 x 2", 3, 2, 8, 0, 7, true},
        {"8-bit, a byte short", 3, 2, 8, 0, 6, false},
        {"4-bit, 5 x 3", 5, 3, 4, 0, 11, true},
        {"4-bit, a byte short", 5, 3, 4, 0, 10, false},
        {"1-bit, 9 x 2", 9, 2, 1, 0, 6, true},
        {"1-bit, a byte short", 9, 2, 1, 0, 5, false},
        {"16-bit, 3 x 2", 3, 2, 16, 0, 14, true},
        {"16-bit, a byte short", 3, 2, 16, 0, 13, false},
        {"32-bit bit fields, 2 x 2", 2, 2, 32, 3, 16, true, {0xFF0000, 0xFF00, 0xFF}},
        {"32-bit bit fields, a byte short", 2, 2, 32, 3, 15, false, {0xFF0000, 0xFF00, 0xFF}},
        {"RLE8 with only its end", 7000, 6000, 8, 1, 2, true},
    };
    std::size_t refused = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::uint32_t> palette(c.depth <= 8 ? 1u << c.depth : 0u, 0x00FFFFFF);
        std::vector<std::uint8_t> pixels(c.bytes, 0x5A);
        if (c.compression == 1) pixels = {0, 1};
        EXPECT_EQ(RunLoader(LoadBmpImage, MakeBmp(c.width, c.height, c.depth, c.compression, palette, pixels, c.masks),
                            &image_),
                  c.loads ? 0 : -1);
        refused += c.loads ? 0 : 1;
        ReleaseBaseImage(&image_);
        image_ = {};
    }
    EXPECT_EQ(CountOf(log.File(), "shorter than the header"), refused) << log.File();

    // The unpadded last row is read whole: bottom-up, it is the top row.
    ASSERT_EQ(RunLoader(LoadBmpImage, MakeBmp(2, 2, 24, 0, {}, {1, 2, 3, 4, 5, 6, 0, 0, 7, 8, 9, 10, 11, 12}),
                        &image_),
              0);
    EXPECT_EQ(ReadBaseImagePixel(&image_, 1, 0) & 0xFFFFFF, 0x0C0B0Au);
    EXPECT_EQ(ReadBaseImagePixel(&image_, 0, 1) & 0xFFFFFF, 0x030201u);
}

}  // namespace
