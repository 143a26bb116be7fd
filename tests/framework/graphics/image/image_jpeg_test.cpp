// JPEG decoding through libjpeg: grey and colour output, the stream source
// across many buffer fills, and damaged or cut files. Fixtures are encoded
// here; pixel values are compared with a tolerance, as the codec is lossy.
#include <cstdio>  // jpeglib.h needs FILE
#include <jpeglib.h>

#include <cstdlib>
#include <cstring>

#include "framework/core/log_capture.h"
#include "image_test_support.h"

namespace {

std::vector<std::uint8_t> EncodeJpeg(int width, int height, int components, int quality,
                                     std::uint8_t (*sample)(int x, int y, int c)) {
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &out, &size);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = components;
    info.in_color_space = components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    std::vector<JSAMPLE> row(static_cast<std::size_t>(width) * components);
    while (info.next_scanline < info.image_height) {
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < components; ++c)
                row[x * components + c] = sample(x, static_cast<int>(info.next_scanline), c);
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::vector<std::uint8_t> bytes(out, out + size);
    std::free(out);
    return bytes;
}

std::uint8_t Flat(int, int, int c) { return c == 0 ? 200 : c == 1 ? 100 : 30; }
std::uint8_t Noise(int x, int y, int c) { return static_cast<std::uint8_t>((x * 37 + y * 91 + c * 53) * 2654435761u >> 24); }

bool Near(int a, int b) { return std::abs(a - b) <= 6; }

using JpegTest = ImageLoaderFixture;

TEST_F(JpegTest, ColourComesOutAsBgrRows) {
    ASSERT_EQ(RunLoader(LoadJpegImage, EncodeJpeg(17, 5, 3, 95, Flat), &image_), 0);
    EXPECT_EQ(image_.width, 17u);
    EXPECT_EQ(image_.height, 5u);
    EXPECT_EQ(image_.pitch, 51u);  // no row padding
    EXPECT_EQ(image_.colorFormat.depth, 24);
    const std::uint8_t* p = PixelAt(image_, 16, 4);
    EXPECT_TRUE(Near(p[0], 30) && Near(p[1], 100) && Near(p[2], 200)) << int(p[0]) << " " << int(p[1]) << " " << int(p[2]);
}

TEST_F(JpegTest, GreyComesOutAsEightBitGrey) {
    ASSERT_EQ(RunLoader(LoadJpegImage, EncodeJpeg(8, 8, 1, 95, Flat), &image_), 0);
    EXPECT_EQ(image_.colorFormat.depth, 8);
    EXPECT_EQ(image_.pitch, 8u);
    EXPECT_TRUE(Near(image_.pixels[63], 200));
    EXPECT_EQ(image_.colorFormat.palette[200], 0xC8C8C8u);
}

TEST_F(JpegTest, LargeFilesAreReadAcrossManyBufferFills) {
    // Noise at top quality compresses badly: well over one 4096-byte fill.
    const auto bytes = EncodeJpeg(96, 96, 3, 100, Noise);
    ASSERT_GT(bytes.size(), 3u * 4096);
    ASSERT_EQ(DecodeBytes(bytes, &image_), 0);
    EXPECT_EQ(image_.width, 96u);
    // The same data through the table, after the BMP loader refused it.
    GraphImage direct = {};
    ASSERT_EQ(RunLoader(LoadJpegImage, bytes, &direct), 0);
    EXPECT_EQ(std::memcmp(direct.pixels, image_.pixels, image_.pitch * image_.height), 0);
    ReleaseBaseImage(&direct);
}

// The frame header's size, patched: height and width at offsets 5 and 7
// after the 0xFFC0 marker.
std::vector<std::uint8_t> WithFrameSize(std::vector<std::uint8_t> bytes, unsigned width, unsigned height) {
    for (std::size_t i = 0; i + 8 < bytes.size(); ++i)
        if (bytes[i] == 0xFF && bytes[i + 1] == 0xC0) {
            bytes[i + 5] = static_cast<std::uint8_t>(height >> 8), bytes[i + 6] = static_cast<std::uint8_t>(height);
            bytes[i + 7] = static_cast<std::uint8_t>(width >> 8), bytes[i + 8] = static_cast<std::uint8_t>(width);
            break;
        }
    return bytes;
}

TEST_F(JpegTest, CutOrCorruptFilesStopAtTheirFirstBadDataAndDamagedOnesFail) {
    LogCapture log;
    const auto bytes = EncodeJpeg(64, 64, 3, 90, Noise);
    // Only the end-of-image marker missing: the supplied one ends the
    // picture, which is whole.
    ASSERT_EQ(RunLoader(LoadJpegImage, std::vector<std::uint8_t>(bytes.begin(), bytes.end() - 2), &image_), 0);
    EXPECT_EQ(image_.height, 64u);
    ReleaseBaseImage(&image_);
    // Cut in the middle of the scan: the data stops short of the picture,
    // and the decode stops there instead of filling the rest.
    EXPECT_EQ(RunLoader(LoadJpegImage, std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + bytes.size() / 2),
                        &image_),
              -1);
    // A few hundred bytes with the size patched to 4000 x 4000: refused at
    // the first corrupt-data warning, not decoded at full size.
    const auto small = EncodeJpeg(16, 16, 3, 50, Flat);
    ASSERT_LT(small.size(), 1000u);
    EXPECT_EQ(RunLoader(LoadJpegImage, WithFrameSize(small, 4000, 4000), &image_), -1);
    EXPECT_NE(log.File().find("Corrupt JPEG data"), std::string::npos) << log.File();
    // Cut inside the headers, nothing but the start marker, garbage after it.
    EXPECT_EQ(RunLoader(LoadJpegImage, std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 40), &image_), -1);
    EXPECT_EQ(RunLoader(LoadJpegImage, {0xFF, 0xD8}, &image_), -1);
    EXPECT_EQ(RunLoader(LoadJpegImage, {0xFF, 0xD8, 0xFF, 0x00, 1, 2, 3, 4, 5, 6}, &image_), -1);
    // A frame header claiming 40000 x 40000 pixels.
    EXPECT_EQ(RunLoader(LoadJpegImage, WithFrameSize(bytes, 40000, 40000), &image_), -1);
    // Not a JPEG at all.
    EXPECT_EQ(RunLoader(LoadJpegImage, {'B', 'M', 0, 0}, &image_), -1);
    EXPECT_EQ(image_.pixels, nullptr);
}

}  // namespace
