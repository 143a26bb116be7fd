// PNG decoding through libpng: every colour type and the transforms that
// bring them to the framework's formats, interlacing, and damaged files.
// Fixtures are encoded here with libpng's writer.
#include <png.h>

#include "image_test_support.h"

namespace {

struct PngLayout {
    int width = 2, height = 2, bitDepth = 8, colorType = PNG_COLOR_TYPE_RGB;
    int interlace = PNG_INTERLACE_NONE;
    std::vector<png_color> palette;
    std::vector<png_byte> transparency;  // tRNS alphas for palette entries
    std::vector<std::vector<png_byte>> rows;  // packed as the file stores them
};

void AppendBytes(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

std::vector<std::uint8_t> EncodePng(PngLayout layout) {
    std::vector<std::uint8_t> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return {};
    }
    png_set_write_fn(png, &out, AppendBytes, nullptr);
    png_set_IHDR(png, info, layout.width, layout.height, layout.bitDepth, layout.colorType, layout.interlace,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!layout.palette.empty()) png_set_PLTE(png, info, layout.palette.data(), static_cast<int>(layout.palette.size()));
    if (!layout.transparency.empty())
        png_set_tRNS(png, info, layout.transparency.data(), static_cast<int>(layout.transparency.size()), nullptr);
    png_write_info(png, info);
    std::vector<png_bytep> rows;
    for (auto& row : layout.rows) rows.push_back(row.data());
    png_write_image(png, rows.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

using PngTest = ImageLoaderFixture;

TEST_F(PngTest, RgbRowsComeOutAsBgrAndPassTheEarlierLoadersFirst) {
    PngLayout layout;
    layout.rows = {{255, 0, 0, 0, 255, 0}, {0, 0, 255, 10, 20, 30}};
    // The whole table: BMP and JPEG refuse it, PNG decodes it.
    ASSERT_EQ(DecodeBytes(EncodePng(layout), &image_), 0);
    EXPECT_EQ(image_.colorFormat.depth, 24);
    EXPECT_EQ(image_.pitch, 6u);
    EXPECT_EQ(ReadBaseImagePixel(&image_, 0, 0) & 0xFFFFFF, 0xFF0000u);
    EXPECT_EQ(ReadBaseImagePixel(&image_, 1, 1) & 0xFFFFFF, 0x0A141Eu);
}

TEST_F(PngTest, SixteenBitRgbaIsStrippedToEightBitsWithAlpha) {
    PngLayout layout;
    layout.width = 1, layout.height = 1, layout.bitDepth = 16, layout.colorType = PNG_COLOR_TYPE_RGB_ALPHA;
    layout.rows = {{0x12, 0x00, 0x34, 0x00, 0x56, 0x00, 0x80, 0x00}};
    ASSERT_EQ(RunLoader(LoadPngImage, EncodePng(layout), &image_), 0);
    EXPECT_EQ(image_.colorFormat.depth, 32);
    EXPECT_EQ(image_.colorFormat.alphaMask, 0xFF000000u);
    EXPECT_EQ(ReadBaseImagePixel(&image_, 0, 0), 0x80123456u);
}

TEST_F(PngTest, FourBitGreyIsExpandedToEightBitGrey) {
    PngLayout layout;
    layout.width = 3, layout.height = 1, layout.bitDepth = 4, layout.colorType = PNG_COLOR_TYPE_GRAY;
    layout.rows = {{0xF1, 0x80}};
    ASSERT_EQ(RunLoader(LoadPngImage, EncodePng(layout), &image_), 0);
    EXPECT_EQ(image_.colorFormat.depth, 8);
    EXPECT_EQ(image_.pixels[0], 0xFF);
    EXPECT_EQ(image_.pixels[1], 0x11);
    EXPECT_EQ(image_.pixels[2], 0x88);
    EXPECT_EQ(ReadBaseImagePixel(&image_, 2, 0) & 0xFFFFFF, 0x888888u);
}

TEST_F(PngTest, GreyWithAlphaKeepsTheGreyAndDropsTheAlpha) {
    PngLayout layout;
    layout.width = 1, layout.height = 1, layout.colorType = PNG_COLOR_TYPE_GRAY_ALPHA;
    layout.rows = {{0x40, 0x99}};
    ASSERT_EQ(RunLoader(LoadPngImage, EncodePng(layout), &image_), 0);
    EXPECT_EQ(image_.colorFormat.depth, 16);
    EXPECT_EQ(image_.colorFormat.alphaWidth, 0);
    EXPECT_EQ(image_.pixels[0], 0x40);
    EXPECT_EQ(ReadBaseImagePixel(&image_, 0, 0) & 0xFFFFFF, 0x404040u);
}

TEST_F(PngTest, PalettedIndexesKeepTheirOrderAndOnlyTheFilesEntries) {
    for (int depth : {1, 2, 4, 8}) {
        PngLayout layout;
        layout.width = 3, layout.height = 1, layout.bitDepth = depth, layout.colorType = PNG_COLOR_TYPE_PALETTE;
        layout.palette = {{10, 20, 30}, {40, 50, 60}};
        // Indexes 1, 0, 1 packed high bits first.
        std::vector<png_byte> row((3 * depth + 7) / 8, 0);
        const int indexes[3] = {1, 0, 1};
        for (int i = 0; i < 3; ++i)
            row[i * depth / 8] |= static_cast<png_byte>(indexes[i] << (8 - depth - (i * depth) % 8));
        layout.rows = {row};
        ASSERT_EQ(RunLoader(LoadPngImage, EncodePng(layout), &image_), 0) << depth;
        EXPECT_EQ(image_.colorFormat.depth, 8);
        EXPECT_EQ(image_.pixels[0], 1) << depth;
        EXPECT_EQ(image_.pixels[1], 0) << depth;
        EXPECT_EQ(image_.pixels[2], 1) << depth;
        EXPECT_EQ(image_.colorFormat.palette[1], 0x28323Cu);
        EXPECT_EQ(image_.colorFormat.palette[2], 0u);
        ReleaseBaseImage(&image_);
    }
}

TEST_F(PngTest, PaletteWithTransparencyBecomesThirtyTwoBitWithAlpha) {
    PngLayout layout;
    layout.width = 2, layout.height = 1, layout.colorType = PNG_COLOR_TYPE_PALETTE;
    layout.palette = {{1, 2, 3}, {4, 5, 6}};
    layout.transparency = {0x00};
    layout.rows = {{0, 1}};
    ASSERT_EQ(RunLoader(LoadPngImage, EncodePng(layout), &image_), 0);
    EXPECT_EQ(image_.colorFormat.depth, 32);
    EXPECT_EQ(ReadBaseImagePixel(&image_, 0, 0), 0x00010203u);
    EXPECT_EQ(ReadBaseImagePixel(&image_, 1, 0), 0xFF040506u);
}

TEST_F(PngTest, InterlacedImagesAreAssembled) {
    PngLayout layout;
    layout.width = 9, layout.height = 9, layout.colorType = PNG_COLOR_TYPE_GRAY, layout.interlace = PNG_INTERLACE_ADAM7;
    for (int y = 0; y < 9; ++y) {
        std::vector<png_byte> row;
        for (int x = 0; x < 9; ++x) row.push_back(static_cast<png_byte>(y * 9 + x));
        layout.rows.push_back(row);
    }
    ASSERT_EQ(RunLoader(LoadPngImage, EncodePng(layout), &image_), 0);
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 9; ++x) EXPECT_EQ(*PixelAt(image_, x, y), y * 9 + x);
}

TEST_F(PngTest, DamagedFilesFailWithoutLeaving) {
    PngLayout layout;
    layout.rows = {{1, 2, 3, 4, 5, 6}, {7, 8, 9, 10, 11, 12}};
    const auto good = EncodePng(layout);
    for (std::size_t cut : {std::size_t{4}, std::size_t{8}, std::size_t{20}, std::size_t{40}, good.size() - 13})
        EXPECT_EQ(RunLoader(LoadPngImage, std::vector<std::uint8_t>(good.begin(), good.begin() + cut), &image_), -1)
            << cut;
    auto badCrc = good;
    badCrc[29] ^= 0xFF;  // inside the IHDR's CRC
    EXPECT_EQ(RunLoader(LoadPngImage, badCrc, &image_), -1);
    EXPECT_EQ(image_.pixels, nullptr);
}

}  // namespace
