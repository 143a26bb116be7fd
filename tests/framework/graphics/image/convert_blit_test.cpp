// The converting blit: the cases the format pairs take, the flags, and the
// fast paths against the general per-pixel loop.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "graphics/image/color_format.h"
#include "graphics/image/convert_blit.h"

namespace {

ColorFormatDesc Format(int depth, std::uint32_t r, std::uint32_t g, std::uint32_t b, std::uint32_t a) {
    ColorFormatDesc f{};
    BuildColorFormat(&f, depth, r, g, b, a);
    return f;
}

const ColorFormatDesc k565 = Format(16, 0xF800, 0x07E0, 0x001F, 0);
const ColorFormatDesc k555 = Format(16, 0x7C00, 0x03E0, 0x001F, 0);
const ColorFormatDesc k1555 = Format(16, 0x7C00, 0x03E0, 0x001F, 0x8000);
const ColorFormatDesc kXrgb = Format(32, 0xFF0000, 0xFF00, 0xFF, 0);
const ColorFormatDesc kArgb = Format(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000);

ColorFormatDesc Rgb24() {
    ColorFormatDesc f{};
    SetRGB24Format(&f);
    return f;
}

// A small image: rows of `pitch` bytes.
struct Buffer {
    int width, height, bpp, pitch;
    std::vector<std::uint8_t> bytes;
    Buffer(int w, int h, int bytesPerPixel, int padding = 0)
        : width(w), height(h), bpp(bytesPerPixel), pitch(w * bytesPerPixel + padding),
          bytes(static_cast<std::size_t>(pitch * h), 0) {}
    std::uint8_t* Row(int y) { return bytes.data() + y * pitch; }
    std::uint32_t Get(int x, int y) const {
        std::uint32_t v = 0;
        for (int i = 0; i < bpp; ++i) v |= static_cast<std::uint32_t>(bytes[y * pitch + x * bpp + i]) << (8 * i);
        return v;
    }
    void Set(int x, int y, std::uint32_t v) {
        for (int i = 0; i < bpp; ++i) bytes[y * pitch + x * bpp + i] = static_cast<std::uint8_t>(v >> (8 * i));
    }
};

struct Options {
    const Buffer* alpha = nullptr;
    const ColorFormatDesc* alphaFormat = nullptr;
    int mirror = 0, alphaFromColor = 0, dither = 0, force = 0, option = 0, transCopy = 0;
    std::uint32_t transColor = 0;
    int destX = 0, destY = 0;
};

int Blit(Buffer& dest, const ColorFormatDesc& destFormat, const Buffer& src, const ColorFormatDesc& srcFormat,
         RECT rect, const Options& o = {}) {
    return BlitConvertFormat(dest.bytes.data(), dest.pitch, &destFormat, src.bytes.data(), src.pitch, &srcFormat,
                             o.alpha ? o.alpha->bytes.data() : nullptr, o.alpha ? o.alpha->pitch : 0, o.alphaFormat,
                             o.destX, o.destY, &rect, o.mirror, o.alphaFromColor, o.transColor, o.dither, o.force,
                             o.option, o.transCopy);
}

std::uint32_t ConvertOne(const ColorFormatDesc& destFormat, const ColorFormatDesc& srcFormat, std::uint32_t pixel,
                         int force = 0) {
    Buffer src(1, 1, srcFormat.bytesPerPixel), dest(1, 1, destFormat.bytesPerPixel);
    src.Set(0, 0, pixel);
    Options o;
    o.force = force;
    EXPECT_EQ(Blit(dest, destFormat, src, srcFormat, {0, 0, 1, 1}, o), 0);
    return dest.Get(0, 0);
}

TEST(ConvertBlit, SixteenBitLayoutsBothWaysOnEveryPath) {
    for (int force : {0, 1}) {
        EXPECT_EQ(ConvertOne(k555, k565, 0xFFFF, force), 0x7FFFu);
        EXPECT_EQ(ConvertOne(k565, k555, 0x7FFF, force), 0xFFFFu);
        // The lowest 5:5:5 green bit repeats into the new 5:6:5 bit.
        EXPECT_EQ(ConvertOne(k565, k555, 0x0020, force), 0x0060u);
        EXPECT_EQ(ConvertOne(k565, k555, 0x0040, force), 0x0080u);
        EXPECT_EQ(ConvertOne(k555, k565, 0x07E0, force), 0x03E0u);
    }
}

TEST(ConvertBlit, WideningRepeatsTheLowestBitAndUnusedBitsStayClear) {
    EXPECT_EQ(ConvertOne(kXrgb, k565, 0xFFFF), 0x00FFFFFFu);
    EXPECT_EQ(ConvertOne(kXrgb, k565, 0x0821), 0x000F070Fu);
    EXPECT_EQ(ConvertOne(kXrgb, k565, 0x1042), 0x00100810u);
    EXPECT_EQ(ConvertOne(kArgb, k565, 0x0000), 0xFF000000u);  // no alpha source: opaque
    EXPECT_EQ(ConvertOne(k565, kArgb, 0x00FF8040), 0xFC08u);
    EXPECT_EQ(ConvertOne(k1555, kArgb, 0x80FFFFFF), 0xFFFFu);  // alpha 0x80 keeps its top bit
    EXPECT_EQ(ConvertOne(k1555, kArgb, 0x7FFFFFFF), 0x7FFFu);
}

TEST(ConvertBlit, TransparentCopyLeavesKeyedPixelsAtEverySize) {
    ColorFormatDesc rgb24 = Rgb24();
    ColorFormatDesc pal{};
    SetPalette8Format(&pal);
    const struct {
        const ColorFormatDesc* format;
        std::uint32_t key, other;
    } cases[] = {{&pal, 0x07, 0x08}, {&k565, 0xF81F, 0x1234}, {&rgb24, 0xFF00FF, 0xFF00FE}, {&kXrgb, 0x00FF00FF, 0x00FF00FE}};
    for (const auto& c : cases) {
        for (int force : {0, 1}) {
            const int bpp = c.format->bytesPerPixel;
            Buffer src(3, 1, bpp), dest(3, 1, bpp);
            src.Set(0, 0, c.other);
            src.Set(1, 0, c.key);
            src.Set(2, 0, c.other);
            for (int x = 0; x < 3; ++x) dest.Set(x, 0, 0x5A5A5A5A & ((bpp == 4) ? 0xFFFFFFFF : (1u << (bpp * 8)) - 1));
            const std::uint32_t before = dest.Get(1, 0);
            Options o;
            o.transCopy = 1;
            o.transColor = c.key;
            o.force = force;
            ASSERT_GE(Blit(dest, *c.format, src, *c.format, {0, 0, 3, 1}, o), 0);
            EXPECT_EQ(dest.Get(0, 0), c.other) << "depth " << c.format->depth;
            EXPECT_EQ(dest.Get(1, 0), before) << "depth " << c.format->depth;
            EXPECT_EQ(dest.Get(2, 0), c.other);
        }
    }
}

TEST(ConvertBlit, MirroredCopyReversesRows) {
    const ColorFormatDesc rgb24 = Rgb24();
    for (const ColorFormatDesc* f : {&k565, &rgb24, &kArgb}) {
        for (int force : {0, 1}) {
            Buffer src(3, 2, f->bytesPerPixel), dest(3, 2, f->bytesPerPixel);
            const std::uint32_t a = 0x00A1B2C3 & (f->redMask | f->greenMask | f->blueMask | f->alphaMask);
            const std::uint32_t b = 0x80102030 & (f->redMask | f->greenMask | f->blueMask | f->alphaMask);
            const std::uint32_t c = 0xFF0F0F0F & (f->redMask | f->greenMask | f->blueMask | f->alphaMask);
            src.Set(0, 1, a);
            src.Set(1, 1, b);
            src.Set(2, 1, c);
            Options o;
            o.mirror = 1;
            o.force = force;
            o.transCopy = 1;  // ignored when mirroring
            o.transColor = b;
            ASSERT_EQ(Blit(dest, *f, src, *f, {0, 1, 3, 2}, o), 0);
            EXPECT_EQ(dest.Get(0, 0), c);
            EXPECT_EQ(dest.Get(1, 0), b);
            EXPECT_EQ(dest.Get(2, 0), a);
        }
    }
}

TEST(ConvertBlit, EightBitCopyReturnsTheLargestIndex) {
    ColorFormatDesc pal{};
    SetPalette8Format(&pal);
    const ColorFormatDesc* onebyte = GetStandardColorFormat(kColorKindOneByte, 0, 0);
    Buffer src(4, 2, 1), dest(4, 2, 1);
    const std::uint8_t indexes[] = {3, 9, 250, 1, 7, 200, 4, 2};
    std::memcpy(src.bytes.data(), indexes, sizeof indexes);
    EXPECT_EQ(Blit(dest, *onebyte, src, pal, {0, 0, 2, 1}), 9);  // only the rectangle counts
    EXPECT_EQ(Blit(dest, *onebyte, src, pal, {0, 0, 2, 2}), 200);
    EXPECT_EQ(dest.Get(1, 1), 200u);
    EXPECT_EQ(Blit(dest, pal, src, pal, {0, 0, 4, 2}), 250);
    Options mirrored;
    mirrored.mirror = 1;
    EXPECT_EQ(Blit(dest, pal, src, pal, {0, 0, 4, 1}, mirrored), 250);
    EXPECT_EQ(dest.Get(0, 0), 1u);
    EXPECT_EQ(dest.Get(3, 0), 3u);
}

TEST(ConvertBlit, NoColourBecomesAnIndex) {
    ColorFormatDesc pal{};
    SetPalette8Format(&pal);
    Buffer src(2, 1, 2), dest(2, 1, 1);
    src.Set(0, 0, 0xFFFF);
    dest.Set(0, 0, 0x33);
    for (int force : {0, 1}) {
        Options o;
        o.force = force;
        EXPECT_EQ(Blit(dest, pal, src, k565, {0, 0, 2, 1}, o), -1);
        EXPECT_EQ(dest.Get(0, 0), 0x33u);
    }
}

TEST(ConvertBlit, PaletteSourcesConvertThroughTheirEntries) {
    ColorFormatDesc pal{};
    SetPalette8Format(&pal);
    pal.palette[0] = 0x000000;
    pal.palette[1] = 0xFF8040;
    ColorFormatDesc gray{};
    SetGray8Format(&gray);
    Buffer src(2, 1, 1), dest(2, 1, 2);
    src.Set(0, 0, 1);
    src.Set(1, 0, 0);
    ASSERT_EQ(Blit(dest, k565, src, pal, {0, 0, 2, 1}), 0);
    EXPECT_EQ(dest.Get(0, 0), 0xFC08u);
    EXPECT_EQ(dest.Get(1, 0), 0u);
    ASSERT_EQ(Blit(dest, k565, src, gray, {0, 0, 2, 1}), 0);
    EXPECT_EQ(dest.Get(0, 0), 0u);  // grey level 1 is black in 5:6:5
}

TEST(ConvertBlit, AlphaFromTheTransparentColour) {
    ColorFormatDesc rgb24 = Rgb24();
    struct Case {
        const ColorFormatDesc* src;
        const ColorFormatDesc* dest;
        std::uint32_t keyed, kept;  // source pixels
    };
    const Case cases[] = {
        {&kXrgb, &kArgb, 0x00FF00FF, 0x00FF00FE},  // same colour layout: only the alpha is made
        {&k555, &k1555, 0x7C1F, 0x7C1E},
        {&rgb24, &kArgb, 0xFF00FF, 0xFE00FF},
        {&rgb24, &k1555, 0xFC07FC, 0xF000F0},  // keyed at the 5 bits both share
        {&k565, &kArgb, 0xF81F, 0xF01F},
    };
    for (const Case& c : cases) {
        for (int force : {0, 1}) {
            Buffer src(2, 1, c.src->bytesPerPixel), dest(2, 1, c.dest->bytesPerPixel);
            src.Set(0, 0, c.keyed);
            src.Set(1, 0, c.kept);
            Options o;
            o.alphaFromColor = 1;
            o.transColor = 0xFF00FF;
            o.force = force;
            ASSERT_EQ(Blit(dest, *c.dest, src, *c.src, {0, 0, 2, 1}, o), 0);
            EXPECT_EQ(dest.Get(0, 0) & c.dest->alphaMask, 0u) << "depth " << c.src->depth << " force " << force;
            EXPECT_EQ(dest.Get(1, 0) & c.dest->alphaMask, c.dest->alphaMask);
            // Option 1 switches the colour key off: everything opaque.
            o.option = 1;
            ASSERT_EQ(Blit(dest, *c.dest, src, *c.src, {0, 0, 2, 1}, o), 0);
            EXPECT_EQ(dest.Get(0, 0) & c.dest->alphaMask, c.dest->alphaMask);
        }
    }
}

TEST(ConvertBlit, AlphaFromAnAlphaImage) {
    ColorFormatDesc rgb24 = Rgb24();
    ColorFormatDesc gray{};
    SetGray8Format(&gray);
    Buffer src(2, 2, 3), alpha(2, 2, 1), dest(1, 2, 4);
    src.Set(1, 0, 0x102030);
    src.Set(1, 1, 0x405060);
    alpha.Set(1, 0, 0x80);
    alpha.Set(1, 1, 0x00);
    Options o;
    o.alpha = &alpha;
    o.alphaFormat = &gray;
    o.alphaFromColor = 1;  // an alpha source wins over the colour key
    o.transColor = 0x102030;
    ASSERT_EQ(Blit(dest, kArgb, src, rgb24, {1, 0, 2, 2}, o), 0);
    EXPECT_EQ(dest.Get(0, 0), 0x80102030u);
    EXPECT_EQ(dest.Get(0, 1), 0x00405060u);
    // A 16-bit destination with one alpha bit keeps the level's top bit.
    Buffer dest16(1, 2, 2);
    ASSERT_EQ(Blit(dest16, k1555, src, rgb24, {1, 0, 2, 2}, o), 0);
    EXPECT_EQ(dest16.Get(0, 0) & 0x8000, 0x8000u);
    EXPECT_EQ(dest16.Get(0, 1) & 0x8000, 0u);
    // The source's own alpha comes first.
    Buffer argbSrc(2, 2, 4);
    argbSrc.Set(1, 0, 0x11223344);
    ASSERT_EQ(Blit(dest, kArgb, argbSrc, kArgb, {1, 0, 2, 1}, o), 0);
    EXPECT_EQ(dest.Get(0, 0), 0x11223344u);
}

TEST(ConvertBlit, DitherAddsTheMatrixOffsetWithoutOverflow) {
    ColorFormatDesc rgb24 = Rgb24();
    // Blue 0x04 loses 3 bits into 5:6:5; the offset is 8 x m / 16.
    Buffer src(4, 4, 3), dest(4, 4, 2);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) src.Set(x, y, 0x000004);
    Options o;
    o.dither = 1;
    ASSERT_EQ(Blit(dest, k565, src, rgb24, {0, 0, 4, 4}, o), 0);
    const int bayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 4; ++x) {
            EXPECT_EQ(dest.Get(x, y), (4u + 8u * bayer[y][x] / 16u) >> 3) << x << "," << y;
        }
    }
    // The matrix follows the destination position.
    o.destX = 1;
    Buffer wide(5, 1, 2);
    ASSERT_EQ(Blit(wide, k565, src, rgb24, {0, 0, 1, 1}, o), 0);
    EXPECT_EQ(wide.Get(1, 0), 1u);  // cell 8: 4 + 4 = 8
    // Full channels stay full: nothing spills into the next channel.
    src.Set(0, 0, 0xFFFFFF);
    o.destX = 0;
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) src.Set(x, y, 0xFFFFFF);
    ASSERT_EQ(Blit(dest, k565, src, rgb24, {0, 0, 4, 4}, o), 0);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) EXPECT_EQ(dest.Get(x, y), 0xFFFFu);
}

TEST(ConvertBlit, EmptyRectanglesAndBadArguments) {
    Buffer src(2, 2, 2), dest(2, 2, 2);
    dest.Set(0, 0, 0x1234);
    EXPECT_EQ(Blit(dest, k565, src, k565, {1, 1, 1, 2}), 0);
    EXPECT_EQ(Blit(dest, k565, src, k565, {1, 1, 0, 2}), 0);
    EXPECT_EQ(dest.Get(0, 0), 0x1234u);
    EXPECT_EQ(BlitConvertFormat(nullptr, 4, &k565, src.bytes.data(), 4, &k565, nullptr, 0, nullptr, 0, 0, nullptr, 0,
                                0, 0, 0, 0, 0, 0),
              -1);
    ColorFormatDesc zero{};
    EXPECT_EQ(Blit(dest, zero, src, k565, {0, 0, 1, 1}), -1);
    EXPECT_EQ(dest.Get(0, 0), 0x1234u);
}

TEST(ConvertBlit, FillUnusedBits) {
    Buffer x32(3, 2, 4), x16(3, 2, 2), plain(3, 2, 2);
    x32.Set(0, 0, 0x00123456);
    RECT reversed{2, 1, 0, 0};  // normalised to (0, 0)-(2, 1)
    EXPECT_EQ(FillUnusedBitsInRect(&reversed, x32.bytes.data(), x32.pitch, &kXrgb, 0x1FF), 0);
    EXPECT_EQ(x32.Get(0, 0), 0xFF123456u);
    EXPECT_EQ(x32.Get(1, 0), 0xFF000000u);
    EXPECT_EQ(x32.Get(2, 0), 0u);
    EXPECT_EQ(x32.Get(0, 1), 0u);
    RECT all{0, 0, 3, 2};
    EXPECT_EQ(FillUnusedBitsInRect(&all, x16.bytes.data(), x16.pitch, &k555, 0xFF), 0);
    EXPECT_EQ(x16.Get(2, 1), 0x8000u);  // only the one unused bit, never a channel
    EXPECT_EQ(FillUnusedBitsInRect(&all, plain.bytes.data(), plain.pitch, &k565, 0xFF), 0);
    EXPECT_EQ(plain.Get(1, 1), 0u);
    EXPECT_EQ(FillUnusedBitsInRect(nullptr, plain.bytes.data(), plain.pitch, &k565, 1), -1);
}

// Every pair of the formats the framework uses: whatever case a call takes,
// it gives the general per-pixel loop's pixels exactly.
struct NamedFormat {
    std::string name;
    ColorFormatDesc format;
};

std::vector<NamedFormat> PropertyFormats(std::mt19937& random) {
    ColorFormatDesc pal{};
    SetPalette8Format(&pal);
    for (auto& e : pal.palette) e = random() & 0xFFFFFF;
    ColorFormatDesc gray{};
    SetGray8Format(&gray);
    return {
        {"565", k565},
        {"555", k555},
        {"1555", k1555},
        {"888 24-bit", Rgb24()},
        {"x888", kXrgb},
        {"8888", kArgb},
        {"565 with alpha", *GetStandardColorFormat(kColorKind565, 1, 0)},
        {"paletted 8-bit", pal},
        {"grey 8-bit", gray},
        {"one channel", *GetStandardColorFormat(kColorKindOneByte, 0, 0)},
        {"two-byte channel", *GetStandardColorFormat(kColorKindTwoByte, 0, 0)},
    };
}

Buffer RandomImage(const ColorFormatDesc& f, int w, int h, std::mt19937& random) {
    Buffer b(w, h, f.bytesPerPixel, 3);
    for (auto& byte : b.bytes) byte = static_cast<std::uint8_t>(random());
    // Pixels carry nothing in the bits no channel uses (a same-format copy
    // moves those bits, a conversion makes them 0).
    const std::uint32_t used = f.depth == 8 ? 0xFF : f.redMask | f.greenMask | f.blueMask | f.alphaMask;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) b.Set(x, y, b.Get(x, y) & used);
    return b;
}

TEST(ConvertBlitProperty, FastPathsGiveTheGeneralLoopsPixels) {
    std::mt19937 random(12345);
    const std::vector<NamedFormat> formats = PropertyFormats(random);
    ColorFormatDesc gray{};
    SetGray8Format(&gray);
    const ColorFormatDesc* onebyte = GetStandardColorFormat(kColorKindOneByte, 0, 0);
    enum Variant { kPlain, kMirror, kTransCopy, kAlphaFromColor, kAlphaImage, kAlphaImageOneByte, kVariants };
    int compared = 0;
    for (const NamedFormat& s : formats) {
        for (const NamedFormat& d : formats) {
            for (int variant = 0; variant < kVariants; ++variant) {
                SCOPED_TRACE(s.name + " -> " + d.name + " variant " + std::to_string(variant));
                const int w = 13, h = 7;
                Buffer src = RandomImage(s.format, w, h, random);
                Buffer alpha = RandomImage(variant == kAlphaImage ? gray : *onebyte, w, h, random);
                Buffer start = RandomImage(d.format, w + 4, h + 3, random);
                // Make some source pixels equal to the key.
                const std::uint32_t key = src.Get(2, 1);
                src.Set(5, 3, key);
                src.Set(6, 3, key);
                Options o;
                o.destX = 3;
                o.destY = 2;
                if (variant == kMirror) o.mirror = 1;
                if (variant == kTransCopy) {
                    o.transCopy = 1;
                    o.transColor = key;
                }
                if (variant == kAlphaFromColor) {
                    o.alphaFromColor = 1;
                    // The key pixel's colour as 0x00RRGGBB.
                    const ColorFormatDesc* x888 = GetStandardColorFormat(kColorKind888, 0, 0);
                    std::uint32_t rgb = s.format.depth == 8 && (s.format.redMask & ~0xFFu)
                                            ? s.format.palette[key & 0xFF]
                                            : ConvertPixel(x888, &s.format, key);
                    o.transColor = rgb & 0xFFFFFF;
                }
                if (variant == kAlphaImage || variant == kAlphaImageOneByte) {
                    o.alpha = &alpha;
                    o.alphaFormat = variant == kAlphaImage ? &gray : onebyte;
                }
                const RECT rect{1, 1, 12, 6};
                Buffer fast = start, general = start;
                int fastResult = Blit(fast, d.format, src, s.format, rect, o);
                o.force = 1;
                int generalResult = Blit(general, d.format, src, s.format, rect, o);
                EXPECT_EQ(fastResult < 0, generalResult < 0);
                ASSERT_EQ(fast.bytes, general.bytes);
                ++compared;
            }
        }
    }
    EXPECT_EQ(compared, 11 * 11 * 6);
}

}  // namespace
