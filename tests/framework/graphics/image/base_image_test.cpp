// Base images: size and pitch, fill, pixel reads across formats, mirroring,
// and the 24-bit and DIB-section copies for GDI.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "core/memory.h"
#include "graphics/image/base_image.h"
#include "platform/backend.h"

namespace {

class BaseImageTest : public testing::Test {
protected:
    void SetUp() override {
        PlatformSelectBackend(PlatformBackend::Headless);
        blocks_ = g_MemoryTracker.count;
    }
    void TearDown() override {
        SetTrackedAllocFailures(0);
        EXPECT_EQ(g_MemoryTracker.count, blocks_);
    }
    int blocks_ = 0;
};

// An image of any format over storage the test keeps.
struct Image {
    GraphImage image{};
    std::vector<std::uint8_t> storage;
    Image(int depth, std::uint32_t r, std::uint32_t g, std::uint32_t b, std::uint32_t a, int w, int h) {
        BuildColorFormat(&image.colorFormat, depth, r, g, b, a);
        image.width = static_cast<std::uint32_t>(w);
        image.height = static_cast<std::uint32_t>(h);
        image.pitch = static_cast<std::uint32_t>((w * (depth / 8) + 3) / 4 * 4);
        storage.assign(image.pitch * image.height, 0);
        image.pixels = storage.data();
    }
    void Set(int x, int y, std::uint32_t v) {
        const int bytes = image.colorFormat.bytesPerPixel;
        for (int i = 0; i < bytes; ++i) storage[y * image.pitch + x * bytes + i] = static_cast<std::uint8_t>(v >> (8 * i));
    }
    std::uint32_t Get(int x, int y) const {
        const int bytes = image.colorFormat.bytesPerPixel;
        std::uint32_t v = 0;
        for (int i = 0; i < bytes; ++i) v |= static_cast<std::uint32_t>(storage[y * image.pitch + x * bytes + i]) << (8 * i);
        return v;
    }
};

TEST_F(BaseImageTest, CreatedImagesAre24BitWithRowsPaddedToFourBytes) {
    GraphImage image{};
    ASSERT_EQ(CreateBaseImage(5, 2, &image), 0);
    EXPECT_EQ(image.pitch, 16u);
    EXPECT_EQ(image.colorFormat.depth, 24);
    EXPECT_EQ(image.colorFormat.redMask, 0xFF0000u);
    EXPECT_NE(image.pixels, nullptr);
    ASSERT_EQ(FillBaseImage(&image, 0x12, 0x34, 0x56, 255), 0);
    EXPECT_EQ(ReadBaseImagePixel(&image, 4, 1), 0x123456u);
    EXPECT_EQ(ReleaseBaseImage(&image), 0);
    EXPECT_EQ(image.pixels, nullptr);
    EXPECT_EQ(image.width, 0u);
    EXPECT_EQ(image.colorFormat.depth, 0);

    EXPECT_EQ(CreateBaseImage(0, 4, &image), -1);
    EXPECT_EQ(CreateBaseImage(4, -1, &image), -1);
    EXPECT_EQ(CreateBaseImage(1 << 20, 1 << 20, &image), -1);
    SetTrackedAllocFailures(1);
    EXPECT_EQ(CreateBaseImage(4, 4, &image), -1);
    EXPECT_EQ(image.pixels, nullptr);
}

TEST_F(BaseImageTest, FillWritesTheWholeComposedPixel) {
    Image argb(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, 3, 2);
    ASSERT_EQ(FillBaseImage(&argb.image, 1, 2, 3, 4), 0);
    EXPECT_EQ(argb.Get(2, 1), 0x04010203u);
    Image xrgb(32, 0xFF0000, 0xFF00, 0xFF, 0, 3, 2);
    ASSERT_EQ(FillBaseImage(&xrgb.image, 1, 2, 3, 4), 0);
    EXPECT_EQ(xrgb.Get(0, 0), 0xFF010203u);  // unused bits set, as composed
    Image rgb565(16, 0xF800, 0x07E0, 0x001F, 0, 3, 2);
    ASSERT_EQ(FillBaseImage(&rgb565.image, 255, 255, 255, 0), 0);
    EXPECT_EQ(rgb565.Get(1, 1), 0xFFFFu);
    EXPECT_EQ(FillBaseImage(nullptr, 0, 0, 0, 0), 0);
}

TEST_F(BaseImageTest, PixelReadsPutEachChannelsTopBitAtItsBytesTop) {
    Image rgb565(16, 0xF800, 0x07E0, 0x001F, 0, 2, 1);
    rgb565.Set(0, 0, 0xFFFF);
    rgb565.Set(1, 0, 0x0821);  // the lowest bit of each channel
    EXPECT_EQ(ReadBaseImagePixel(&rgb565.image, 0, 0), 0x00F8FCF8u);
    EXPECT_EQ(ReadBaseImagePixel(&rgb565.image, 1, 0), 0x00080408u);
    Image argb4444(16, 0x0F00, 0x00F0, 0x000F, 0xF000, 1, 1);
    argb4444.Set(0, 0, 0x8421);
    EXPECT_EQ(ReadBaseImagePixel(&argb4444.image, 0, 0), 0x80402010u);
    // Channels wider than a byte keep their top 8 bits.
    Image deep(32, 0x3FF00000, 0x000FFC00, 0x000003FF, 0, 1, 1);
    deep.Set(0, 0, 0x3FF00000 | (0x200u << 10) | 0x001);
    EXPECT_EQ(ReadBaseImagePixel(&deep.image, 0, 0), 0x00FF8000u);
    // A palette index reads its entry.
    Image indexed(8, 0xFF0000, 0xFF00, 0xFF, 0, 2, 1);
    indexed.image.colorFormat.palette[7] = 0xAB1234;
    indexed.Set(1, 0, 7);
    EXPECT_EQ(ReadBaseImagePixel(&indexed.image, 1, 0), 0xAB1234u);
    EXPECT_EQ(ReadBaseImagePixel(&indexed.image, 2, 0), 0u);
    GraphImage empty{};
    EXPECT_EQ(ReadBaseImagePixel(&empty, 0, 0), 0u);
}

TEST_F(BaseImageTest, MirroringTwiceRestoresEveryPixelSize) {
    for (int depth : {8, 16, 24, 32}) {
        Image image(depth, 0xFF0000, 0xFF00, 0xFF, 0, 5, 3);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 5; ++x) image.Set(x, y, static_cast<std::uint32_t>(0x01020304 * (y * 5 + x + 1)));
        const std::vector<std::uint8_t> before = image.storage;
        const std::uint32_t rightmost = image.Get(4, 1);
        ASSERT_EQ(MirrorBaseImage(&image.image), 0);
        EXPECT_EQ(image.Get(0, 1), rightmost) << depth;
        EXPECT_NE(image.storage, before);
        ASSERT_EQ(MirrorBaseImage(&image.image), 0);
        EXPECT_EQ(image.storage, before) << depth;
    }
    GraphImage empty{};
    EXPECT_EQ(MirrorBaseImage(&empty), -1);
}

TEST_F(BaseImageTest, The24BitCopyConvertsOrCopiesAndCanRunBottomUp) {
    Image rgb565(16, 0xF800, 0x07E0, 0x001F, 0, 3, 2);
    rgb565.Set(0, 0, 0xF800);
    rgb565.Set(2, 1, 0x001F);
    BITMAPINFO header{};
    void* pixels = nullptr;
    ASSERT_EQ(MakeBaseImage24Copy(&rgb565.image, &header, &pixels, 0), 0);
    EXPECT_EQ(header.bmiHeader.biBitCount, 24);
    EXPECT_EQ(header.bmiHeader.biWidth, 3);
    EXPECT_EQ(header.bmiHeader.biHeight, -2);
    const auto* bytes = static_cast<const std::uint8_t*>(pixels);
    // Stored blue, green, red; the converting blit widens a full channel to 0xFF.
    EXPECT_EQ(bytes[2], 0xFF);       // red of (0, 0)
    EXPECT_EQ(bytes[1], 0x00);
    EXPECT_EQ(bytes[12 + 6], 0xFF);  // blue of (2, 1), on the second 12-byte row
    KV_FREE(pixels);

    GraphImage image{};
    ASSERT_EQ(CreateBaseImage(2, 2, &image), 0);
    FillBaseImage(&image, 0, 0, 0, 0);
    image.pixels[0] = 0x11;  // blue of the top-left pixel
    ASSERT_EQ(MakeBaseImage24Copy(&image, &header, &pixels, 1), 1);
    EXPECT_EQ(header.bmiHeader.biHeight, 2);
    EXPECT_EQ(static_cast<const std::uint8_t*>(pixels)[8], 0x11);  // now the last row
    KV_FREE(pixels);
    ReleaseBaseImage(&image);
    EXPECT_EQ(MakeBaseImage24Copy(&image, &header, &pixels, 0), -1);
    EXPECT_EQ(pixels, nullptr);
}

// Reads a DIB section back as a top-down 32-bit picture.
std::vector<std::uint32_t> ReadBack(HBITMAP bitmap, int w, int h) {
    std::vector<std::uint32_t> out(static_cast<std::size_t>(w) * h);
    BITMAPINFO want{};
    want.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    want.bmiHeader.biWidth = w;
    want.bmiHeader.biHeight = -h;
    want.bmiHeader.biBitCount = 32;
    want.bmiHeader.biCompression = BI_RGB;
    HDC screen = GetDC(nullptr);
    GetDIBits(screen, bitmap, 0, static_cast<UINT>(h), out.data(), &want, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    for (std::uint32_t& v : out) v &= 0xFFFFFF;
    return out;
}

TEST_F(BaseImageTest, DibSectionCopiesHoldThePixelsPlainOrMirrored) {
    GraphImage image{};
    ASSERT_EQ(CreateBaseImage(3, 2, &image), 0);
    for (int i = 0; i < 6; ++i) {
        std::uint8_t* p = image.pixels + (i / 3) * image.pitch + (i % 3) * 3;
        p[0] = static_cast<std::uint8_t>(0x10 * (i + 1));  // blue
        p[1] = p[2] = 0;
    }
    BITMAPINFO header{};
    void* pixels = nullptr;
    ASSERT_EQ(MakeBaseImage24Copy(&image, &header, &pixels, 1), 1);

    HBITMAP plain = MakeDibSectionCopy(&header, pixels, 0, nullptr);
    HBITMAP mirrored = MakeDibSectionCopy(&header, pixels, 1, nullptr);
    ColorFormatDesc format565{};
    BuildColorFormat(&format565, 16, 0xF800, 0x07E0, 0x001F, 0);
    HBITMAP fields = MakeDibSectionCopy(&header, pixels, 0, &format565);
    ASSERT_NE(plain, nullptr);
    ASSERT_NE(mirrored, nullptr);
    ASSERT_NE(fields, nullptr);
    EXPECT_EQ(ReadBack(plain, 3, 2), (std::vector<std::uint32_t>{0x10, 0x20, 0x30, 0x40, 0x50, 0x60}));
    EXPECT_EQ(ReadBack(mirrored, 3, 2), (std::vector<std::uint32_t>{0x30, 0x20, 0x10, 0x60, 0x50, 0x40}));
    // Through 5:6:5 bit fields: blue keeps its top 5 bits.
    EXPECT_EQ(ReadBack(fields, 3, 2)[5], 0x60u);
    EXPECT_EQ(ReadBack(fields, 3, 2)[0], 0x10u);
    DeleteObject(plain);
    DeleteObject(mirrored);
    DeleteObject(fields);

    header.bmiHeader.biWidth = 0;
    EXPECT_EQ(MakeDibSectionCopy(&header, pixels, 0, nullptr), nullptr);
    EXPECT_EQ(MakeDibSectionCopy(nullptr, pixels, 0, nullptr), nullptr);
    KV_FREE(pixels);
    ReleaseBaseImage(&image);
}

}  // namespace
