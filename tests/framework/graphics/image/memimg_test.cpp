// Software images: initialisers, ownership, views, copies, fills, and the
// run table and premultiplied copy after every kind of write.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "core/memory.h"
#include "graphics/image/color_format.h"
#include "graphics/image/memimg.h"

namespace {

// Every test gives back what it allocated.
class MemImgTest : public testing::Test {
protected:
    void SetUp() override { blocksAtStart_ = g_MemoryTracker.count; }
    void TearDown() override {
        SetTrackedAllocFailures(0);
        EXPECT_EQ(g_MemoryTracker.count, blocksAtStart_);
    }
    int Blocks() const { return g_MemoryTracker.count - blocksAtStart_; }
    int blocksAtStart_ = 0;
};

// An image to write from, with storage of its own.
struct TestImage {
    GraphImage image{};
    std::vector<std::uint8_t> storage;
    TestImage(const ColorFormatDesc& format, int w, int h) {
        image.colorFormat = format;
        image.width = static_cast<std::uint32_t>(w);
        image.height = static_cast<std::uint32_t>(h);
        image.pitch = static_cast<std::uint32_t>((w * format.bytesPerPixel + 3) / 4 * 4);
        storage.assign(image.pitch * image.height, 0);
        image.pixels = storage.data();
    }
    void Set(int x, int y, std::uint32_t v) {
        for (int i = 0; i < image.colorFormat.bytesPerPixel; ++i)
            storage[y * image.pitch + x * image.colorFormat.bytesPerPixel + i] = static_cast<std::uint8_t>(v >> (8 * i));
    }
};

ColorFormatDesc Format(int depth, std::uint32_t r, std::uint32_t g, std::uint32_t b, std::uint32_t a) {
    ColorFormatDesc f{};
    BuildColorFormat(&f, depth, r, g, b, a);
    return f;
}

std::uint32_t Pixel(const MEMIMG& m, int x, int y) {
    const int bpp = m.colorFormat->bytesPerPixel;
    std::uint32_t v = 0;
    for (int i = 0; i < bpp; ++i) v |= static_cast<std::uint32_t>(m.pixels[y * m.pitch + x * bpp + i]) << (8 * i);
    return v;
}

void SetPixel(MEMIMG& m, int x, int y, std::uint32_t v) {
    const int bpp = m.colorFormat->bytesPerPixel;
    for (int i = 0; i < bpp; ++i) m.pixels[y * m.pitch + x * bpp + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::vector<std::uint8_t> RunRow(const MEMIMG& m, int row) {
    // Rows follow each other without padding: skip to the row's start.
    const std::uint8_t* p = m.runTable;
    for (int r = 0; r < row; ++r)
        while (*p++ != kRunEndOfRow) {
        }
    std::vector<std::uint8_t> codes;
    do codes.push_back(*p);
    while (*p++ != kRunEndOfRow);
    return codes;
}

MEMIMG Make(int w, int h, std::uint32_t kind, int paletted, int alpha, int derived, std::uint32_t trans = 0) {
    MEMIMG m{};
    EXPECT_EQ(InitMemImg(&m, w, h, -1, trans, static_cast<int>(kind), paletted, alpha, derived), 0);
    return m;
}

TEST_F(MemImgTest, PitchAndPitchShift) {
    struct Row {
        int width, kind, pitch;
        std::uint32_t expectPitch;
        int expectShift;
    };
    const Row rows[] = {
        {640, 0, -1, 1280, -1}, {512, 0, -1, 1024, 10}, {4, 0, -1, 16, -1},  {256, 1, -1, 1024, 10},
        {640, 0, 2048, 2048, 11}, {640, 0, 1280, 1280, -1}, {1, 2, -1, 16, -1}, {16, 2, -1, 16, 4},
    };
    for (const Row& r : rows) {
        MEMIMG m{};
        ASSERT_EQ(InitMemImg(&m, r.width, 2, r.pitch, 0, r.kind, 0, 0, 0), 0);
        EXPECT_EQ(m.pitch, r.expectPitch) << r.width;
        EXPECT_EQ(m.pitchShift, r.expectShift) << r.width;
        ReleaseMemImg(&m);
    }
    MEMIMG z{};
    ASSERT_EQ(InitZBufferMemImg(&z, 8, 3), 0);
    EXPECT_EQ(z.pitch, 16u);
    EXPECT_EQ(z.pitchShift, 4);
    EXPECT_EQ(z.kind, kMemImgKindZBuffer);
    EXPECT_EQ(z.colorFormat, GetStandardColorFormat(kColorKindTwoByte, 0, 0));
    ReleaseMemImg(&z);
    // A pitch shorter than a row is refused.
    MEMIMG tight{};
    EXPECT_EQ(InitMemImg(&tight, 640, 2, 1000, 0, 0, 0, 0, 0), -1);
    EXPECT_EQ(tight.magic, 0u);
}

TEST_F(MemImgTest, KindsAndFlagsPickTheStandardFormat) {
    MEMIMG a = Make(3, 3, kMemImgKind565, 0, 1, 0);
    EXPECT_EQ(a.colorFormat->bytesPerPixel, 4);
    EXPECT_EQ(a.alphaChannel, 1u);
    MEMIMG p = Make(3, 3, kMemImgKind888, 1, 1, 0);  // paletted images get no alpha
    EXPECT_EQ(p.colorFormat->bytesPerPixel, 1);
    EXPECT_EQ(p.alphaChannel, 0u);
    EXPECT_EQ(p.palette, static_cast<void*>(p.paletteStorage));
    EXPECT_EQ(p.paletteCopy, static_cast<void*>(p.paletteCopyStorage));
    MEMIMG one = Make(3, 3, kMemImgKindOneByte, 1, 1, 0);
    EXPECT_EQ(one.paletted, 0u);
    EXPECT_EQ(one.alphaChannel, 0u);
    EXPECT_EQ(one.colorFormat->bytesPerPixel, 1);
    MEMIMG bad{};
    EXPECT_EQ(InitMemImg(&bad, 3, 3, -1, 0, 4, 0, 0, 0), -1);
    EXPECT_EQ(InitMemImg(&bad, 0, 3, -1, 0, 0, 0, 0, 0), -1);
    ReleaseMemImg(&a);
    ReleaseMemImg(&p);
    ReleaseMemImg(&one);
}

TEST_F(MemImgTest, SecondInitIsRefusedAndChangesNothing) {
    MEMIMG m = Make(5, 5, kMemImgKind888, 0, 1, 1, 0x123);
    MEMIMG before;
    std::memcpy(&before, &m, sizeof m);
    EXPECT_EQ(InitMemImg(&m, 9, 9, -1, 0, 0, 0, 0, 1), -1);
    EXPECT_EQ(std::memcmp(&before, &m, sizeof m), 0);
    ReleaseMemImg(&m);
}

TEST_F(MemImgTest, OwnershipOfPixelsAndDerivedBuffers) {
    MEMIMG full = Make(8, 4, kMemImgKind888, 0, 1, 1);
    EXPECT_EQ(Blocks(), 3);  // pixels, premultiplied copy, run table
    MEMIMG mask = Make(8, 4, kMemImgKindOneByte, 0, 0, 1);
    EXPECT_EQ(mask.runTable, nullptr);  // no run table for masks
    EXPECT_EQ(Blocks(), 4);
    ReleaseMemImg(&mask);
    ReleaseMemImg(&full);
    EXPECT_EQ(full.magic, 0u);
    EXPECT_EQ(full.pixels, nullptr);
    EXPECT_EQ(Blocks(), 0);
    ReleaseMemImg(&full);  // released already: nothing happens
    EXPECT_EQ(Blocks(), 0);

    std::vector<std::uint8_t> mine(64 * 4, 0xAB);
    MEMIMG borrowed{};
    borrowed.pixels = mine.data();
    ASSERT_EQ(InitMemImg(&borrowed, 8, 4, 64, 0, 1, 0, 1, 1), 0);
    EXPECT_EQ(borrowed.borrowedPixels, 1u);
    EXPECT_EQ(Blocks(), 2);
    ReleaseMemImg(&borrowed);
    EXPECT_EQ(Blocks(), 0);
    EXPECT_EQ(mine[0], 0xAB);
}

TEST_F(MemImgTest, FailedAllocationLeavesTheRecordUninitialised) {
    MEMIMG m{};
    SetTrackedAllocFailures(1);
    EXPECT_EQ(InitMemImg(&m, 8, 4, -1, 0, 1, 0, 1, 1), -1);
    EXPECT_NE(m.magic, kMemImgMagic);
    EXPECT_EQ(m.pixels, nullptr);
    EXPECT_EQ(Blocks(), 0);
    // With borrowed pixels the first allocation is the premultiplied copy.
    std::vector<std::uint8_t> mine(32 * 4);
    MEMIMG b{};
    b.pixels = mine.data();
    SetTrackedAllocFailures(1);
    EXPECT_EQ(InitMemImg(&b, 8, 4, -1, 0, 1, 0, 1, 1), -1);
    EXPECT_EQ(b.premultiplied, nullptr);
    EXPECT_EQ(Blocks(), 0);
    EXPECT_EQ(InitMemImg(&b, 8, 4, -1, 0, 1, 0, 1, 1), 0);  // once memory is there again it works
    ReleaseMemImg(&b);
}

TEST_F(MemImgTest, ScreenImagesFollowTheDepthSetting) {
    const ScreenColorInfo saved = g_ScreenColorInfo;
    MEMIMG m;
    m.magic = kMemImgMagic;  // screen images are zeroed first
    g_ScreenColorInfo.depthSetting = 32;
    ASSERT_EQ(InitScreenMemImg(&m, 10, 2, -1), 0);
    EXPECT_EQ(m.kind, kMemImgKind888);
    EXPECT_EQ(m.transparentColor, 0u);
    EXPECT_EQ(m.runTable, nullptr);
    ReleaseMemImg(&m);
    g_ScreenColorInfo.depthSetting = 16;
    ASSERT_EQ(InitScreenMemImg(&m, 10, 2, -1), 0);
    EXPECT_EQ(m.kind, kMemImgKind565);
    ReleaseMemImg(&m);
    ASSERT_EQ(InitScreenMemImg(&m, 10, 2, static_cast<int>(kMemImgKindOneByte)), 0);
    EXPECT_EQ(m.kind, kMemImgKindOneByte);
    ReleaseMemImg(&m);
    g_ScreenColorInfo = saved;
}

TEST_F(MemImgTest, ViewsWindowTheSourceAndOwnNothing) {
    MEMIMG source = Make(10, 6, kMemImgKind888, 0, 0, 1, 7);
    source.paletteCount = 3;
    MEMIMG view{};
    InitMemImgView(&view, &source, 2, 3, 4, 2);
    EXPECT_EQ(view.magic, kMemImgMagic);
    EXPECT_EQ(view.pixels, source.pixels + 3 * source.pitch + 2 * 4);
    EXPECT_EQ(view.width, 4);
    EXPECT_EQ(view.pitch, source.pitch);
    EXPECT_EQ(view.transparentColor, 7u);
    EXPECT_EQ(view.paletteCount, 3u);
    EXPECT_EQ(view.palette, source.palette);
    EXPECT_EQ(view.runTable, nullptr);
    EXPECT_EQ(view.runTableValid, 0u);
    // Releasing a view by mistake frees none of the source's memory.
    const int blocks = Blocks();
    ReleaseMemImg(&view);
    EXPECT_EQ(Blocks(), blocks);
    EXPECT_EQ(source.magic, kMemImgMagic);
    // A window reaching outside the source is kept inside it.
    InitMemImgView(&view, &source, 8, -2, 5, 10);
    EXPECT_EQ(view.width, 2);
    EXPECT_EQ(view.height, 6);
    EXPECT_EQ(view.pixels, source.pixels + 8 * 4);
    ReleaseMemImg(&source);
}

TEST_F(MemImgTest, RunTableCodes) {
    // 70 transparent pixels and 1 opaque one.
    const ColorFormatDesc* f565 = GetStandardColorFormat(kColorKind565, 0, 0);
    TestImage row(*f565, 71, 1);
    for (int x = 0; x < 70; ++x) row.Set(x, 0, 0xF81F);
    row.Set(70, 0, 0x1234);
    MEMIMG m = Make(71, 1, kMemImgKind565, 0, 0, 1, 0xF81F);
    ASSERT_EQ(WriteGraphImageToMemImg(&row.image, nullptr, &m, 0, 0, 71, 1, 0, 0, 0), 0);
    EXPECT_EQ(m.runTableValid, 1u);
    EXPECT_EQ(RunRow(m, 0), (std::vector<std::uint8_t>{0x3F, 0x05, 0x40, 0xC0}));
    ReleaseMemImg(&m);

    // Exactly 64, and 65, transparent pixels.
    for (int width : {64, 65}) {
        TestImage run(*f565, width, 1);
        MEMIMG r = Make(width, 1, kMemImgKind565, 0, 0, 1, 0);
        ASSERT_EQ(WriteGraphImageToMemImg(&run.image, nullptr, &r, 0, 0, width, 1, 0, 0, 0), 0);
        const std::vector<std::uint8_t> expected =
            width == 64 ? std::vector<std::uint8_t>{0x3F, 0xC0} : std::vector<std::uint8_t>{0x3F, 0x00, 0xC0};
        EXPECT_EQ(RunRow(r, 0), expected);
        ReleaseMemImg(&r);
    }

    // Alpha 0, 128, 255, on two rows.
    const ColorFormatDesc argb = Format(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000);
    TestImage alpha(argb, 3, 2);
    alpha.Set(0, 0, 0x00FFFFFF);
    alpha.Set(1, 0, 0x80FFFFFF);
    alpha.Set(2, 0, 0xFF000000);
    alpha.Set(0, 1, 0xFF000000);
    alpha.Set(1, 1, 0xFF000000);
    alpha.Set(2, 1, 0x01000000);
    MEMIMG a = Make(3, 2, kMemImgKind888, 0, 1, 1);
    ASSERT_EQ(WriteGraphImageToMemImg(&alpha.image, nullptr, &a, 0, 0, 3, 2, 0, 0, 0), 0);
    EXPECT_EQ(RunRow(a, 0), (std::vector<std::uint8_t>{0x00, 0x80, 0x40, 0xC0}));
    EXPECT_EQ(RunRow(a, 1), (std::vector<std::uint8_t>{0x41, 0x80, 0xC0}));
    ReleaseMemImg(&a);
}

TEST_F(MemImgTest, PremultipliedCopy) {
    MEMIMG k1 = Make(2, 1, kMemImgKind888, 0, 1, 1);
    const ColorFormatDesc argb = Format(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000);
    TestImage src(argb, 2, 1);
    src.Set(0, 0, 0x80FF4020);
    src.Set(1, 0, 0xFFFFFFFF);
    ASSERT_EQ(WriteGraphImageToMemImg(&src.image, nullptr, &k1, 0, 0, 2, 1, 0, 0, 0), 0);
    ASSERT_EQ(k1.premultipliedValid, 1u);
    auto pre = [](const MEMIMG& m, int x) {
        std::uint32_t v;
        std::memcpy(&v, m.premultiplied + x * 4, 4);
        return v;
    };
    EXPECT_EQ(pre(k1, 0), 0x807F2010u);  // each channel x 128 >> 8, alpha kept
    EXPECT_EQ(pre(k1, 1), 0xFFFEFEFEu);  // x 255 >> 8 takes one off
    ReleaseMemImg(&k1);

    MEMIMG k0 = Make(1, 1, kMemImgKind565, 0, 1, 1);
    ASSERT_EQ(k0.colorFormat->alphaMask, 0x00FF0000u);
    TestImage one(argb, 1, 1);
    one.Set(0, 0, 0x80FFFFFF);  // 5:6:5 white, alpha 128
    ASSERT_EQ(WriteGraphImageToMemImg(&one.image, nullptr, &k0, 0, 0, 1, 1, 0, 0, 0), 0);
    EXPECT_EQ(Pixel(k0, 0, 0), 0x0080FFFFu);
    EXPECT_EQ(pre(k0, 0), 0x00807BEFu);  // 31 -> 15, 63 -> 31, 31 -> 15
    ReleaseMemImg(&k0);
}

TEST_F(MemImgTest, ColourKeyedAlphaImagesKeepTheirKeyAsTransparent) {
    // A 16-bit image with alpha whose transparent colour is a pixel of its
    // own format: writing a picture without alpha makes the keyed pixels
    // transparent.
    const ColorFormatDesc* format = GetStandardColorFormat(kColorKind565, 1, 0);
    MEMIMG m = Make(3, 1, kMemImgKind565, 0, 1, 1, ComposePixel(format, 255, 0, 255, 255));
    ColorFormatDesc rgb24{};
    SetRGB24Format(&rgb24);
    TestImage src(rgb24, 3, 1);
    src.Set(0, 0, 0xFF00FF);
    src.Set(1, 0, 0x00FF00);
    src.Set(2, 0, 0xFF00FF);
    ASSERT_EQ(WriteGraphImageToMemImg(&src.image, nullptr, &m, 0, 0, 3, 1, 0, 0, 0), 0);
    EXPECT_EQ(Pixel(m, 0, 0) >> 16 & 0xFF, 0u);
    EXPECT_EQ(Pixel(m, 1, 0), 0x00FF07E0u);
    EXPECT_EQ(RunRow(m, 0), (std::vector<std::uint8_t>{0x00, 0x40, 0x00, 0xC0}));
    // The conversion option switches the key off.
    ASSERT_EQ(WriteGraphImageToMemImg(&src.image, nullptr, &m, 0, 0, 3, 1, 0, 0, 1), 0);
    EXPECT_EQ(RunRow(m, 0), (std::vector<std::uint8_t>{0x42, 0xC0}));
    ReleaseMemImg(&m);
}

TEST_F(MemImgTest, PalettedWriteRebuildsThePaletteAndCountsIndexes) {
    ColorFormatDesc pal{};
    SetPalette8Format(&pal);
    pal.palette[0] = 0x000000;
    pal.palette[5] = 0xFF8040;
    pal.palette[255] = 0x123456;
    TestImage src(pal, 4, 1);
    src.Set(0, 0, 5);
    src.Set(1, 0, 2);
    src.Set(2, 0, 9);
    for (std::uint32_t kind : {kMemImgKind565, kMemImgKind888}) {
        MEMIMG m = Make(4, 1, kind, 1, 0, 1, 2);
        ASSERT_EQ(WriteGraphImageToMemImg(&src.image, nullptr, &m, 0, 0, 4, 1, 0, 0, 0), 0);
        EXPECT_EQ(m.paletteCount, 10u);
        EXPECT_EQ(Pixel(m, 2, 0), 9u);
        if (kind == kMemImgKind565) {
            auto* entries = static_cast<std::uint16_t*>(m.palette);
            EXPECT_EQ(entries[5], 0xFC08);
            EXPECT_EQ(entries[255], ((0x12 & 0xF8) << 8) | ((0x34 & 0xFC) << 3) | (0x56 >> 3));
            EXPECT_EQ(std::memcmp(m.palette, m.paletteCopy, 512), 0);
        } else {
            auto* entries = static_cast<std::uint32_t*>(m.palette);
            EXPECT_EQ(entries[5], 0xFF8040u);
            EXPECT_EQ(std::memcmp(m.palette, m.paletteCopy, 1024), 0);
        }
        // Index 2 is the transparent colour.
        EXPECT_EQ(RunRow(m, 0), (std::vector<std::uint8_t>{0x40, 0x00, 0x41, 0xC0}));
        ReleaseMemImg(&m);
    }
}

TEST_F(MemImgTest, CopyConvertsAndClips) {
    MEMIMG src = Make(4, 2, kMemImgKind565, 0, 0, 0);
    MEMIMG dest = Make(3, 3, kMemImgKind888, 0, 0, 0);
    ClearMemImgRect(&dest, nullptr, 0x11111111);
    ClearMemImgRect(&src, nullptr, 0);
    SetPixel(src, 0, 0, 0xFFFF);
    SetPixel(src, 1, 0, 0xF800);
    SetPixel(src, 3, 1, 0x001F);
    // Placed at (-1, 2): only source columns 1-3 of row 0 land, on row 2.
    ASSERT_EQ(CopyMemImg(&dest, &src, nullptr, -1, 2), 0);
    EXPECT_EQ(Pixel(dest, 0, 2), 0x00FF0000u);
    EXPECT_EQ(Pixel(dest, 0, 1), 0x11111111u);
    RECT part{3, 1, 4, 2};
    ASSERT_EQ(CopyMemImg(&dest, &src, &part, 2, 0), 0);
    EXPECT_EQ(Pixel(dest, 2, 0), 0x000000FFu);
    EXPECT_EQ(Pixel(dest, 1, 0), 0x11111111u);
    ASSERT_EQ(CopyMemImg(&dest, &src, nullptr, 5, 5), 0);  // wholly outside
    EXPECT_EQ(Pixel(dest, 2, 2), 0x00000000u);

    // A paletted image converts through its own palette.
    MEMIMG pal = Make(2, 1, kMemImgKind565, 1, 0, 0);
    ClearMemImgRect(&pal, nullptr, 0);
    static_cast<std::uint16_t*>(pal.palette)[4] = 0xF800;
    SetPixel(pal, 0, 0, 4);
    ASSERT_EQ(CopyMemImg(&dest, &pal, nullptr, 0, 0), 0);
    EXPECT_EQ(Pixel(dest, 0, 0), 0x00FF0000u);
    ReleaseMemImg(&pal);
    ReleaseMemImg(&src);
    ReleaseMemImg(&dest);
}

TEST_F(MemImgTest, ConvertRectIntoAGraphImage) {
    ColorFormatDesc rgb24{};
    SetRGB24Format(&rgb24);
    TestImage target(rgb24, 2, 2);
    MEMIMG screen = Make(4, 4, kMemImgKind565, 0, 0, 0);
    ClearMemImgRect(&screen, nullptr, 0);
    SetPixel(screen, 1, 1, 0xFFFF);
    EXPECT_EQ(ConvertMemImgRectToGraphImage(&target.image, &screen, 1, 1, 4, 4, 1, 1, 0, 0), 0);
    EXPECT_EQ(target.storage[target.image.pitch + 3], 0xFF);  // (1, 1) is white; the rest was clipped
    MEMIMG alpha = Make(4, 4, kMemImgKind888, 0, 1, 0);
    std::memset(alpha.pixels, 0xEE, alpha.pitch * 4);
    std::fill(target.storage.begin(), target.storage.end(), 0);
    EXPECT_EQ(ConvertMemImgRectToGraphImage(&target.image, &alpha, 0, 0, 2, 2, 0, 0, 0, 0), 0);
    EXPECT_EQ(target.storage[0], 0);  // images with alpha are not copied
    ReleaseMemImg(&alpha);
    ReleaseMemImg(&screen);
}

TEST_F(MemImgTest, ClearFillsTheClippedRectangleAtEveryPixelSize) {
    for (std::uint32_t kind : {kMemImgKindOneByte, kMemImgKind565, kMemImgKind888}) {
        MEMIMG m = Make(4, 3, kind, 0, 0, 0);
        ClearMemImgRect(&m, nullptr, 0);
        RECT r{-2, 1, 2, 9};
        ASSERT_EQ(ClearMemImgRect(&m, &r, 0xA1B2C3D4), 0);
        const std::uint32_t full = m.colorFormat->bytesPerPixel == 4   ? 0xA1B2C3D4
                                   : m.colorFormat->bytesPerPixel == 2 ? 0xC3D4
                                                                       : 0xD4;
        EXPECT_EQ(Pixel(m, 0, 1), full);
        EXPECT_EQ(Pixel(m, 1, 2), full);
        EXPECT_EQ(Pixel(m, 2, 1), 0u);
        EXPECT_EQ(Pixel(m, 0, 0), 0u);
        RECT outside{10, 10, 20, 20};
        ASSERT_EQ(ClearMemImgRect(&m, &outside, 0xFFFFFFFF), 0);
        EXPECT_EQ(Pixel(m, 3, 2), 0u);
        ReleaseMemImg(&m);
    }
}

TEST_F(MemImgTest, ClearMatchesAPixelByPixelFillOverSizesPitchesRectanglesAndValues) {
    // Whole unpadded images go as one run of bytes, values whose bytes are
    // all alike by memset: every case against a plain per-pixel fill, with
    // the pitch padding left as it was.
    const std::uint32_t values[] = {0, 0xFFFF, 0xFFFFFFFF, 0xA1B2C3D4, 0x12121212, 0x00FF00FF, 0x3434};
    for (std::uint32_t kind : {kMemImgKindOneByte, kMemImgKind565, kMemImgKind888})
        for (int w : {1, 2, 3, 5, 8, 13})
            for (int h : {1, 4})
                for (int padded : {0, 1}) {
                    MEMIMG m{};
                    const int bpp = kind == kMemImgKind888 ? 4 : kind == kMemImgKind565 ? 2 : 1;
                    const int pitch = padded ? (w * bpp + 8) / 4 * 4 : -1;
                    ASSERT_EQ(InitMemImg(&m, w, h, pitch, 0, static_cast<int>(kind), 0, 0, 0), 0);
                    const std::size_t bytes = static_cast<std::size_t>(m.pitch) * h;
                    const RECT rects[] = {{0, 0, w, h}, {1, 0, w, h}, {0, 1, w - 1, h}, {-3, -1, w + 4, h + 2}};
                    for (const RECT& r : rects)
                        for (std::uint32_t v : values) {
                            std::memset(m.pixels, 0x5A, bytes);
                            std::vector<std::uint8_t> expected(m.pixels, m.pixels + bytes);
                            for (int y = std::max(0, static_cast<int>(r.top)); y < std::min(h, static_cast<int>(r.bottom)); ++y)
                                for (int x = std::max(0, static_cast<int>(r.left)); x < std::min(w, static_cast<int>(r.right)); ++x)
                                    for (int i = 0; i < bpp; ++i)
                                        expected[y * m.pitch + x * bpp + i] = static_cast<std::uint8_t>(v >> (8 * i));
                            ASSERT_EQ(ClearMemImgRect(&m, &r, v), 0);
                            ASSERT_EQ(std::vector<std::uint8_t>(m.pixels, m.pixels + bytes), expected)
                                << "kind " << kind << " " << w << "x" << h << " pitch " << m.pitch << " rect "
                                << r.left << "," << r.top << "," << r.right << "," << r.bottom << " value " << std::hex << v;
                        }
                    ReleaseMemImg(&m);
                }
}

// The run table and premultiplied copy, worked out independently of the
// image code, for checking.
std::vector<std::uint8_t> ExpectedRuns(const MEMIMG& m) {
    std::vector<std::uint8_t> out;
    for (int y = 0; y < m.height; ++y) {
        std::vector<int> types;
        for (int x = 0; x < m.width; ++x) {
            std::uint32_t p = Pixel(m, x, y);
            int type;
            if (m.alphaChannel) {
                std::uint32_t a = m.kind == kMemImgKind565 ? (p >> 16) & 0xFF : p >> 24;
                type = a == 0 ? 0 : a == 255 ? 1 : 2;
            } else {
                type = p == m.transparentColor ? 0 : 1;
            }
            types.push_back(type);
        }
        for (std::size_t x = 0; x < types.size();) {
            std::size_t n = 1;
            while (x + n < types.size() && n < 64 && types[x + n] == types[x]) ++n;
            out.push_back(static_cast<std::uint8_t>((types[x] << 6) | (n - 1)));
            x += n;
        }
        out.push_back(0xC0);
    }
    return out;
}

std::uint32_t ExpectedPremultiplied(const MEMIMG& m, std::uint32_t p) {
    if (m.kind == kMemImgKind565) {
        std::uint32_t a = (p >> 16) & 0xFF, c = p & 0xFFFF;
        std::uint32_t r = (c >> 11) * a >> 8, g = ((c >> 5) & 63) * a >> 8, b = (c & 31) * a >> 8;
        return (r << 11) | (g << 5) | b | (a << 16) | (p & 0xFF000000);
    }
    std::uint32_t a = p >> 24;
    return ((p >> 16 & 0xFF) * a >> 8) << 16 | ((p >> 8 & 0xFF) * a >> 8) << 8 | ((p & 0xFF) * a >> 8) | (a << 24);
}

// Whatever writes an image, its derived buffers either describe the pixels
// exactly or are marked invalid.
void ExpectDerivedAgree(const MEMIMG& m) {
    if (m.runTableValid) {
        std::vector<std::uint8_t> expected = ExpectedRuns(m);
        ASSERT_EQ(std::vector<std::uint8_t>(m.runTable, m.runTable + expected.size()), expected);
    }
    if (m.premultipliedValid) {
        for (int y = 0; y < m.height; ++y) {
            for (int x = 0; x < m.width; ++x) {
                std::uint32_t got;
                std::memcpy(&got, m.premultiplied + y * m.pitch + x * 4, 4);
                ASSERT_EQ(got, ExpectedPremultiplied(m, Pixel(m, x, y))) << x << "," << y;
            }
        }
    }
}

TEST_F(MemImgTest, DerivedBuffersAgreeWithThePixelsAfterEveryWrite) {
    std::mt19937 random(99);
    const ColorFormatDesc argb = Format(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000);
    const ColorFormatDesc* f565 = GetStandardColorFormat(kColorKind565, 0, 0);
    struct Setup {
        std::uint32_t kind;
        int alpha;
    };
    for (Setup s : {Setup{kMemImgKind565, 0}, Setup{kMemImgKind565, 1}, Setup{kMemImgKind888, 0},
                    Setup{kMemImgKind888, 1}}) {
        const int w = 70, h = 5;
        MEMIMG m = Make(w, h, s.kind, 0, s.alpha, 1, s.kind == kMemImgKind565 ? 0xF81F : 0x00FF00FF);
        MEMIMG other = Make(w, h, s.kind, 0, s.alpha, 0);
        // Pictures with runs of transparent, opaque and translucent pixels.
        TestImage picture(s.alpha ? argb : *f565, w, h);
        auto paint = [&] {
            for (int y = 0; y < h; ++y) {
                for (int x = 0; x < w; ++x) {
                    std::uint32_t v = random();
                    if ((x / 7 + y) % 3 == 0) v = s.alpha ? v & 0x00FFFFFF : 0xF81F;
                    else if (s.alpha && (x / 5) % 2 == 0) v |= 0xFF000000;
                    picture.Set(x, y, v);
                }
            }
        };
        for (int round = 0; round < 3; ++round) {
            paint();
            ASSERT_EQ(WriteGraphImageToMemImg(&picture.image, nullptr, &m, 0, 0, w, h, 0, 0, 0), 0);
            EXPECT_EQ(m.runTableValid, 1u);
            EXPECT_EQ(m.premultipliedValid, s.alpha ? 1u : 0u);
            ExpectDerivedAgree(m);

            paint();
            ASSERT_EQ(WriteGraphImageToMemImg(&picture.image, nullptr, &m, 3, 1, 20, 2, 40, 2, 0), 0);
            ExpectDerivedAgree(m);
            EXPECT_EQ(m.runTableValid, 0u);

            ASSERT_EQ(WriteGraphImageToMemImg(&picture.image, nullptr, &m, 0, 0, w, h, 0, 0, 0), 0);
            ClearMemImgRect(&other, nullptr, random());
            RECT part{0, 0, 9, 3};
            ASSERT_EQ(CopyMemImg(&m, &other, &part, 10, 1), 0);
            ExpectDerivedAgree(m);
            EXPECT_EQ(m.runTableValid, 0u);

            ASSERT_EQ(WriteGraphImageToMemImg(&picture.image, nullptr, &m, 0, 0, w, h, 0, 0, 0), 0);
            RECT box{5, 0, 8, 5};
            ASSERT_EQ(ClearMemImgRect(&m, &box, random()), 0);
            ExpectDerivedAgree(m);
            EXPECT_EQ(m.runTableValid, 0u);
            EXPECT_EQ(m.premultipliedValid, 0u);

            // A whole-image write placed off the corner is no whole write.
            ASSERT_EQ(WriteGraphImageToMemImg(&picture.image, nullptr, &m, 0, 0, w, h, 1, 0, 0), 0);
            ExpectDerivedAgree(m);
        }
        ReleaseMemImg(&other);
        ReleaseMemImg(&m);
    }
}

}  // namespace
