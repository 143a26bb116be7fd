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
                                     std::uint8_t (*sample)(int x, int y, int c), bool progressive = false) {
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
    if (progressive) jpeg_simple_progression(&info);
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

std::vector<std::uint8_t> Cut(const std::vector<std::uint8_t>& bytes, std::size_t size) {
    return std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(size));
}

// A file cut short gets the end marker supplied and decodes whole in size:
// what the data held comes out as a whole file gives it, the rest in the
// colour the decoder carries on with; the log tells of it.
TEST_F(JpegTest, CutFilesDecodeWithTheEndMarkerSupplied) {
    struct Case {
        const char* name;
        bool progressive;
        int percent;      // of the file kept
        int exactRows;    // rows that must equal the whole file's
    };
    const Case cases[] = {
        {"only the end marker missing", false, -1, 64},
        {"baseline cut at 90%", false, 90, 40},
        {"baseline cut at half", false, 50, 8},
        {"progressive cut at 90%", true, 90, 16},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LogCapture log;
        const auto bytes = EncodeJpeg(64, 64, 3, 90, Noise, c.progressive);
        GraphImage whole = {};
        ASSERT_EQ(RunLoader(LoadJpegImage, bytes, &whole), 0);
        const std::size_t kept = c.percent < 0 ? bytes.size() - 2 : bytes.size() * c.percent / 100;
        ASSERT_EQ(RunLoader(LoadJpegImage, Cut(bytes, kept), &image_), 0);
        EXPECT_EQ(image_.width, 64u);
        EXPECT_EQ(image_.height, 64u);
        EXPECT_EQ(image_.pitch, 192u);
        int same = 0;
        while (same < 64 && std::memcmp(PixelAt(image_, 0, same), PixelAt(whole, 0, same), 192) == 0) ++same;
        EXPECT_GE(same, c.exactRows) << "rows as the whole file gives them";
        if (c.percent > 0 && c.percent <= 50) {
            // Past the data every block carries the last colour on: the
            // bottom row is one colour, where the whole file's is noise.
            EXPECT_EQ(std::memcmp(PixelAt(image_, 0, 63), PixelAt(image_, 1, 63), 3), 0);
            EXPECT_EQ(std::memcmp(PixelAt(image_, 0, 63), PixelAt(image_, 63, 63), 3), 0);
            EXPECT_NE(std::memcmp(PixelAt(whole, 0, 63), PixelAt(whole, 63, 63), 3), 0);
        }
        if (c.percent > 0) {
            EXPECT_NE(log.File().find("ＪＰＥＧファイルのデータに異常がありました"), std::string::npos);
        }
        ReleaseBaseImage(&whole);
        ReleaseBaseImage(&image_);
    }
}

// The last scan of a progressive file (from its marker to the end marker)
// repeated: a file of many scans.
std::vector<std::uint8_t> WithLastScanRepeated(const std::vector<std::uint8_t>& bytes, int copies) {
    std::size_t last = 0;
    for (std::size_t i = 0; i + 1 < bytes.size(); ++i)
        if (bytes[i] == 0xFF && bytes[i + 1] == 0xDA) last = i;
    const std::vector<std::uint8_t> scan(bytes.begin() + static_cast<std::ptrdiff_t>(last), bytes.end() - 2);
    std::vector<std::uint8_t> out(bytes.begin(), bytes.end() - 2);
    for (int i = 0; i < copies; ++i) out.insert(out.end(), scan.begin(), scan.end());
    out.insert(out.end(), {0xFF, 0xD9});
    return out;
}

TEST_F(JpegTest, AProgressiveFileOfEndlessScansIsRefused) {
    LogCapture log;
    const auto bytes = EncodeJpeg(16, 16, 1, 90, Noise, true);
    ASSERT_EQ(RunLoader(LoadJpegImage, WithLastScanRepeated(bytes, 20), &image_), 0) << "a few scans too many";
    ReleaseBaseImage(&image_);
    EXPECT_EQ(RunLoader(LoadJpegImage, WithLastScanRepeated(bytes, 1000), &image_), -1);
    EXPECT_NE(log.File().find("スキャンの数が多すぎます"), std::string::npos);
}

// Headers that claim more than the file could hold, and files that are
// damaged before their picture, fail with the loader's log line.
TEST_F(JpegTest, ClaimsBeyondTheFileAndDamagedHeadersFail) {
    LogCapture log;
    const auto bytes = EncodeJpeg(64, 64, 3, 90, Noise);
    // A few hundred bytes with the size patched to 4000 x 4000: the file
    // cannot hold that picture, and it is not decoded at that size.
    const auto small = EncodeJpeg(16, 16, 3, 50, Flat);
    ASSERT_LT(small.size(), 1000u);
    EXPECT_EQ(RunLoader(LoadJpegImage, WithFrameSize(small, 4000, 4000), &image_), -1);
    EXPECT_NE(log.File().find("4000 x 4000 の画像はファイルの"), std::string::npos) << log.File();
    // Up to a megapixel is decoded whatever the file holds.
    ASSERT_EQ(RunLoader(LoadJpegImage, WithFrameSize(small, 1024, 1024), &image_), 0);
    EXPECT_EQ(image_.width, 1024u);
    EXPECT_EQ(image_.height, 1024u);
    ReleaseBaseImage(&image_);
    // Cut inside the headers, nothing but the start marker, garbage after it.
    EXPECT_EQ(RunLoader(LoadJpegImage, Cut(bytes, 40), &image_), -1);
    EXPECT_EQ(RunLoader(LoadJpegImage, {0xFF, 0xD8}, &image_), -1);
    EXPECT_EQ(RunLoader(LoadJpegImage, {0xFF, 0xD8, 0xFF, 0x00, 1, 2, 3, 4, 5, 6}, &image_), -1);
    // A frame header claiming 40000 x 40000 pixels: past the size caps.
    EXPECT_EQ(RunLoader(LoadJpegImage, WithFrameSize(bytes, 40000, 40000), &image_), -1);
    EXPECT_NE(log.File().find("ＪＰＥＧファイルの読み込みに失敗しました"), std::string::npos);
    // Not a JPEG at all.
    EXPECT_EQ(RunLoader(LoadJpegImage, {'B', 'M', 0, 0}, &image_), -1);
    EXPECT_EQ(image_.pixels, nullptr);
}

}  // namespace
