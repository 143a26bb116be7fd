// The scaled blit's worked examples one pixel at a time, where its stepping
// puts every source pixel for many sizes (a probe image whose pixels name
// their own place), and what it refuses: far-away corners, sizes past its
// range, mismatched images.

#include "softrender/scaled/blit_scaled.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <random>

#include "framework/softrender/pixel_oracle.h"
#include "framework/softrender/soft_test_image.h"
#include "graphics/device/surface2d.h"
#include "softrender/blit/blit_memimg.h"

using soft_test::ImageLayout;
using soft_test::TestImage;

namespace {

SoftDrawSettings Settings(std::uint32_t mode, std::uint32_t param, std::uint32_t bright = 0xFFFFFF,
                          RECT area = RECT{0, 0, 1000, 1000}) {
    return SoftDrawSettings{area, mode, param, bright};
}

// ---- worked examples -----------------------------------------------------------
//
// One source pixel drawn mirrored into one destination pixel: the scaled
// loops at a scale of exactly 1.

struct Example {
    const char* what;
    ImageLayout layout;
    std::uint32_t mode, param, bright;
    int maskWeight;  // -1: no blend mask; else 0 or 255
    int transparent;
    int mmx;
    std::uint32_t source, alpha, dest, expected;
};

// 5:6:5 from channel values.
constexpr std::uint32_t W565(std::uint32_t r, std::uint32_t g, std::uint32_t b) { return r << 11 | g << 5 | b; }

const Example kExamples[] = {
    // 16-bit.
    {"alpha 255 under the flag copies the word", ImageLayout::kAlpha16, 0, 255, 0xFFFFFF, -1, 1, 0, 0x1234, 255, 0,
     0x1234},
    {"alpha 255 without the flag weighs 255/256", ImageLayout::kAlpha16, 0, 255, 0xFFFFFF, -1, 0, 0, 0xFFFF, 255, 0,
     W565(30, 62, 30)},
    {"alpha 128 truncates toward the destination", ImageLayout::k16, 1, 128, 0xFFFFFF, -1, 0, 0, W565(31, 0, 0), 255,
     0, W565(15, 0, 0)},
    {"alpha 128 from above", ImageLayout::k16, 1, 128, 0xFFFFFF, -1, 0, 0, 0, 255, W565(31, 0, 0), W565(16, 0, 0)},
    {"alpha 128 with weight 255 rounds down", ImageLayout::k16, 1, 128, 0xFFFFFF, 255, 0, 0, W565(31, 0, 0), 255, 0,
     W565(15, 0, 0)},
    {"alpha 128 with weight 255 from above", ImageLayout::k16, 1, 128, 0xFFFFFF, 255, 0, 0, 0, 255, W565(31, 0, 0),
     W565(15, 0, 0)},
    {"add 255: white over anything", ImageLayout::k16, 2, 255, 0xFFFFFF, -1, 0, 0, 0xFFFF, 255, 0x1234, 0xFFFF},
    {"add 255: ones and ones", ImageLayout::k16, 2, 255, 0xFFFFFF, -1, 0, 0, W565(1, 1, 1), 255, W565(1, 1, 1),
     W565(1, 1, 2)},
    {"add 255: blue overflows into green's lowest bit", ImageLayout::k16, 2, 255, 0xFFFFFF, -1, 0, 0, 20, 255, 20,
     W565(0, 1, 31)},
    {"subtract 255: black from white", ImageLayout::k16, 3, 255, 0xFFFFFF, -1, 0, 0, 0, 255, 0xFFFF, 0xFFDF},
    {"subtract 255: ones from fives", ImageLayout::k16, 3, 255, 0xFFFFFF, -1, 0, 0, W565(1, 1, 1), 255,
     W565(5, 5, 5), W565(5, 4, 4)},
    {"subtract 255: sixes from fives", ImageLayout::k16, 3, 255, 0xFFFFFF, -1, 0, 0, W565(6, 6, 6), 255,
     W565(5, 5, 5), 0},
    {"multiply by white", ImageLayout::k16, 4, 0, 0xFFFFFF, -1, 0, 0, 0xFFFF, 255, 0xFFFF, W565(30, 62, 30)},
    {"multiply with weight 0 is black", ImageLayout::k16, 4, 0, 0xFFFFFF, 0, 0, 0, 0xFFFF, 255, 0xFFFF, 0},
    {"bright blue 254 lowers blue 31", ImageLayout::k16, 0, 255, 0xFFFFFE, -1, 0, 0, 31, 255, 0, 30},
    {"multiply skips alpha 0 under the flag", ImageLayout::kAlpha16, 4, 0, 0xFFFFFF, -1, 1, 0, 0xFFFF, 0, 0x1234,
     0x1234},
    {"multiply by alpha 0 without the flag is black", ImageLayout::kAlpha16, 4, 0, 0xFFFFFF, -1, 0, 0, 0xFFFF, 0,
     0x1234, 0},
    // 32-bit.
    {"the copy takes the fourth byte", ImageLayout::k32, 0, 255, 0xFFFFFF, -1, 0, 0, 0xAB102030, 255, 0x11223344,
     0xAB102030},
    {"a bright copy keeps it", ImageLayout::k32, 0, 255, 0xFFFFFE, -1, 0, 0, 0xAB102030, 255, 0x11223344,
     0x1110202F},
    {"add 255: 240 and 32", ImageLayout::k32, 2, 255, 0xFFFFFF, -1, 0, 0, 0x00202020, 255, 0x00F0F0F0, 0x01FFFFFF},
    {"add 255: blue's carry lands in green", ImageLayout::k32, 2, 255, 0xFFFFFF, -1, 0, 0, 0x80, 255, 0x80, 0x01FF},
    {"add 255: blue adds exactly", ImageLayout::k32, 2, 255, 0xFFFFFF, -1, 0, 0, 0x01, 255, 0x01, 0x02},
    {"add 255: green's lowest bits are ORed", ImageLayout::k32, 2, 255, 0xFFFFFF, -1, 0, 0, 0x0100, 255, 0x0100,
     0x0100},
    {"subtract 255, guard-bit form", ImageLayout::k32, 3, 255, 0xFFFFFF, -1, 0, 0, 0x00323232, 255, 0x00646464,
     0x00333332},
    {"subtract 255, bytewise form", ImageLayout::k32, 3, 255, 0xFFFFFF, -1, 0, 1, 0x00323232, 255, 0x00646464,
     0x00323232},
    {"a colour from itself", ImageLayout::k32, 3, 255, 0xFFFFFF, -1, 0, 0, 0x00646464, 255, 0x00646464, 0x00010100},
    {"alpha 128 is a fraction of 256", ImageLayout::k32, 1, 128, 0xFFFFFF, -1, 0, 0, 0x00FFFFFF, 255, 0, 0x007F7F7F},
    {"alpha 255 under the flag copies the pixel", ImageLayout::kAlpha32, 0, 255, 0xFFFFFF, -1, 1, 0, 0x00102030, 255,
     0, 0xFF102030},
    {"alpha 255 without the flag", ImageLayout::kAlpha32, 0, 255, 0xFFFFFF, -1, 0, 0, 0x00FFFFFF, 255, 0,
     0x00FEFEFE},
    {"multiply with weight 0 is black", ImageLayout::k32, 4, 0, 0xFFFFFF, 0, 0, 0, 0x00FFFFFF, 255, 0x00FFFFFF, 0},
    {"multiply by 255 lowers 255", ImageLayout::k32, 4, 0, 0xFFFFFF, -1, 0, 0, 0x00FFFFFF, 255, 0x00FFFFFF,
     0x00FEFEFE},
};

TEST(DrawExtendMemImg, WorkedExamples) {
    for (const Example& e : kExamples) {
        SCOPED_TRACE(e.what);
        const bool is32 = e.layout == ImageLayout::k32 || e.layout == ImageLayout::kAlpha32;
        TestImage src(e.layout, 1, 1, 0, 1), dest(is32 ? ImageLayout::k32 : ImageLayout::k16, 1, 1, 0, 2);
        TestImage mask(ImageLayout::kOneByte, 1, 1, 0, 3);
        if (e.layout == ImageLayout::kAlpha16) src.Set(0, 0, e.source | e.alpha << 16);
        else if (e.layout == ImageLayout::kAlpha32) src.Set(0, 0, (e.source & 0xFFFFFF) | e.alpha << 24);
        else src.Set(0, 0, e.source);
        dest.Set(0, 0, e.dest);
        // Weight 255 for every byte, or 0 for byte 0.
        mask.Set(0, 0, 0);
        if (e.maskWeight == 0) BuildBlendMaskTable(255, 255);
        else BuildBlendMaskTable(0, 255);
        const int corners[4] = {1, 0, 0, 1};
        DrawExtendMemImg(dest.image(), src.image(), corners, e.transparent, e.maskWeight < 0 ? nullptr : mask.image(),
                         Settings(e.mode, e.param, e.bright), e.mmx);
        EXPECT_EQ(dest.Get(0, 0), e.expected) << std::hex << "got 0x" << dest.Get(0, 0);
    }
    BuildBlendMaskTable(0, 255);
}

// ---- where the stepping puts the source ------------------------------------------

// A 32-bit probe whose pixel (x, y) holds x | y << 16.
void FillProbe(TestImage& img) {
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            img.Set(x, y, static_cast<std::uint32_t>(x) | static_cast<std::uint32_t>(y) << 16);
}

TEST(DrawExtendMemImg, EveryPixelShowsTheSourcePixelOfTheClosedForm) {
    TestImage probe(ImageLayout::k32, 40, 9, 0, 1);
    FillProbe(probe);
    struct Size {
        int w, h;
    };
    // Shrinking far, by exact halves and by odd amounts, the source's own
    // size mirrored, and magnifying by whole and odd amounts.
    const Size sizes[] = {{1, 1}, {3, 2}, {20, 4}, {27, 7}, {39, 8}, {40, 9}, {41, 10}, {80, 18}, {97, 23}, {333, 40}};
    const RECT areas[] = {RECT{0, 0, 400, 60}, RECT{13, 3, 60, 11}, RECT{0, 5, 17, 60}};
    for (const Size size : sizes)
        for (const RECT& area : areas)
            for (int mirror = 0; mirror < 4; ++mirror)
                for (int at : {0, -5}) {
                    if (mirror == 0 && size.w == 40 && size.h == 9) continue;  // the unscaled blit's
                    TestImage dest(ImageLayout::k32, 400, 60, 0, 9);
                    for (int y = 0; y < 60; ++y)
                        for (int x = 0; x < 400; ++x) dest.Set(x, y, 0xDEADBEEF);
                    const bool mx = (mirror & 1) != 0, my = (mirror & 2) != 0;
                    const int left = at, top = at + 2;
                    const int corners[4] = {mx ? left + size.w : left, my ? top + size.h : top,
                                            mx ? left : left + size.w, my ? top : top + size.h};
                    DrawExtendMemImg(dest.image(), probe.image(), corners, 0, nullptr, Settings(0, 0, 0xFFFFFF, area),
                                     0);
                    const std::int64_t xs = (std::int64_t{size.w} << 16) / 40, ys = (std::int64_t{size.h} << 16) / 9;
                    for (int y = 0; y < 60; ++y)
                        for (int x = 0; x < 400; ++x) {
                            const bool inside = x >= std::max<int>(left, area.left) &&
                                                x < std::min<int>(left + size.w, area.right) &&
                                                y >= std::max<int>(top, area.top) &&
                                                y < std::min<int>(top + size.h, area.bottom);
                            std::uint32_t want = 0xDEADBEEF;
                            if (inside) {
                                const int cx = static_cast<int>((std::int64_t{x - left} << 16) / xs);
                                const int cy = static_cast<int>((std::int64_t{y - top} << 16) / ys);
                                want = static_cast<std::uint32_t>(mx ? 39 - cx : cx) |
                                       static_cast<std::uint32_t>(my ? 8 - cy : cy) << 16;
                            }
                            ASSERT_EQ(dest.Get(x, y), want)
                                << "(" << x << ", " << y << ") size " << size.w << " x " << size.h << " mirror "
                                << mirror << " area " << area.left << "," << area.top << "," << area.right << ","
                                << area.bottom << " at " << at;
                        }
                    ASSERT_TRUE(dest.GuardsIntact());
                }
}

TEST(DrawExtendMemImg, ExactHalvingAndDoublingPickEveryOtherColumnAndEachColumnTwice) {
    TestImage probe(ImageLayout::k32, 8, 1, 0, 1);
    FillProbe(probe);
    TestImage half(ImageLayout::k32, 4, 1, 0, 1), twice(ImageLayout::k32, 16, 1, 0, 1);
    const int halfCorners[4] = {0, 0, 4, 1}, twiceCorners[4] = {0, 0, 16, 1};
    DrawExtendMemImg(half.image(), probe.image(), halfCorners, 0, nullptr, Settings(0, 0), 0);
    DrawExtendMemImg(twice.image(), probe.image(), twiceCorners, 0, nullptr, Settings(0, 0), 0);
    EXPECT_EQ(half.Pixels(), (std::vector<std::uint32_t>{0, 2, 4, 6}));
    EXPECT_EQ(twice.Pixels(), (std::vector<std::uint32_t>{0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7}));
}

TEST(DrawExtendMemImg, TheSourcesOwnSizeIsTheUnscaledBlitAndMirroredIsNot) {
    // 16-bit alpha at 100 without weights: the unscaled blit mixes by 64
    // levels, the scaled loops by the signed difference.
    TestImage src(ImageLayout::k16, 6, 4, 0, 5);
    TestImage viaCorners(ImageLayout::k16, 20, 10, 0, 6), direct(ImageLayout::k16, 20, 10, 0, 6);
    const SoftDrawSettings s = Settings(1, 100);
    const int corners[4] = {10, 3, 16, 7};
    DrawExtendMemImg(viaCorners.image(), src.image(), corners, 0, nullptr, s, 0);
    BlitMemImg(direct.image(), src.image(), 10, 3, 0, nullptr, s, 0);
    EXPECT_EQ(viaCorners.Pixels(), direct.Pixels());

    TestImage mirrored(ImageLayout::k16, 20, 10, 0, 6);
    const int swapped[4] = {16, 3, 10, 7};
    DrawExtendMemImg(mirrored.image(), src.image(), swapped, 0, nullptr, s, 0);
    // Destination column 10 + i shows source column 5 - i, mixed by the
    // signed difference: d + trunc(p * (s - d) / 255) per channel.
    TestImage before(ImageLayout::k16, 20, 10, 0, 6);
    for (int y = 3; y < 7; ++y)
        for (int i = 0; i < 6; ++i) {
            const std::uint32_t sv = src.Get(5 - i, y - 3), dv = before.Get(10 + i, y);
            auto mix = [](int s, int d) { return d + 100 * (s - d) / 255; };
            const std::uint32_t want = static_cast<std::uint32_t>(mix(sv >> 11, dv >> 11)) << 11 |
                                       static_cast<std::uint32_t>(mix(sv >> 5 & 63, dv >> 5 & 63)) << 5 |
                                       static_cast<std::uint32_t>(mix(sv & 31, dv & 31));
            EXPECT_EQ(mirrored.Get(10 + i, y), want) << i << ", " << y;
        }
}

TEST(DrawExtendMemImg, RandomCornersNearAndFarDrawTheClosedFormAndNothingElse) {
    // Corners anywhere, from a few pixels to the ends of the range: every
    // pixel drawn shows the closed form's source pixel, nothing outside the
    // draw area changes, and sizes of 32768 or more draw nothing.
    TestImage probe(ImageLayout::k32, 37, 23, 0, 1);
    FillProbe(probe);
    std::mt19937 rng(77);
    auto coordinate = [&rng]() -> int {
        switch (rng() % 4) {
        case 0: return static_cast<int>(rng() % 120) - 30;
        case 1: return static_cast<int>(rng() % 80000) - 40000;
        case 2: return static_cast<int>(rng() % 20) + (rng() % 2 ? INT_MAX - 20 : INT_MIN);
        default: return static_cast<int>(rng() % 66000) - 33000;
        }
    };
    for (int i = 0; i < 2000; ++i) {
        const int corners[4] = {coordinate(), coordinate(), coordinate(), coordinate()};
        const RECT area{static_cast<LONG>(rng() % 20), static_cast<LONG>(rng() % 12), static_cast<LONG>(40 + rng() % 20),
                        static_cast<LONG>(20 + rng() % 12)};
        TestImage dest(ImageLayout::k32, 60, 32, 4, 2);
        const std::vector<std::uint32_t> before = dest.Pixels();
        DrawExtendMemImg(dest.image(), probe.image(), corners, 0, nullptr, Settings(0, 0, 0xFFFFFF, area), 0);
        ASSERT_TRUE(dest.GuardsIntact());
        const std::int64_t left = std::min(corners[0], corners[2]), right = std::max(corners[0], corners[2]);
        const std::int64_t top = std::min(corners[1], corners[3]), bottom = std::max(corners[1], corners[3]);
        const bool draws = right - left >= 1 && right - left < 32768 && bottom - top >= 1 && bottom - top < 32768;
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 60; ++x) {
                std::uint32_t want = before[static_cast<std::size_t>(y * 60 + x)];
                if (draws && x >= std::max<std::int64_t>(left, area.left) && x < std::min<std::int64_t>(right, area.right) &&
                    y >= std::max<std::int64_t>(top, area.top) && y < std::min<std::int64_t>(bottom, area.bottom)) {
                    const std::int64_t cx = ((x - left) << 16) / (((right - left) << 16) / 37);
                    const std::int64_t cy = ((y - top) << 16) / (((bottom - top) << 16) / 23);
                    want = static_cast<std::uint32_t>(corners[0] > corners[2] ? 36 - cx : cx) |
                           static_cast<std::uint32_t>(corners[1] > corners[3] ? 22 - cy : cy) << 16;
                }
                ASSERT_EQ(dest.Get(x, y), want) << "(" << x << ", " << y << ") corners " << corners[0] << ", "
                                                << corners[1] << ", " << corners[2] << ", " << corners[3];
            }
    }
}

TEST(DrawExtendMemImg, IndicesPastThePaletteCountDrawAsZeroInEveryLoop) {
    // Only the palette's own entries are read, at most 256, whichever loop
    // draws: the copy, the full-strength subtract and the blended ones.
    for (ImageLayout layout : {ImageLayout::kPaletted16, ImageLayout::kPaletted32}) {
        const bool is32 = layout == ImageLayout::kPaletted32;
        TestImage src(layout, 4, 1, 0, 1);
        for (int i = 0; i < 256; ++i) {
            const std::uint32_t entry = 0x00A0B0C0u + static_cast<std::uint32_t>(i);
            std::memcpy(src.image()->paletteStorage + i * (is32 ? 4 : 2), &entry, is32 ? 4 : 2);
        }
        src.Set(0, 0, 10);
        src.Set(1, 0, 149);
        src.Set(2, 0, 150);
        src.Set(3, 0, 255);
        src.image()->transparentColor = 0xFFFFFFFF;
        const std::uint32_t entryMask = is32 ? 0xFFFFFFFF : 0xFFFF;
        for (std::uint32_t count : {150u, 100000u})
            for (std::uint32_t mode : {0u, 3u, 1u}) {
                SCOPED_TRACE(testing::Message() << "count " << count << " mode " << mode);
                src.image()->paletteCount = count;
                TestImage dest(is32 ? ImageLayout::k32 : ImageLayout::k16, 4, 1, 0, 3);
                for (int x = 0; x < 4; ++x) dest.Set(x, 0, is32 ? 0x00FFFFFF : 0xFFFF);
                const int corners[4] = {4, 0, 0, 1};
                DrawExtendMemImg(dest.image(), src.image(), corners, 0, nullptr, Settings(mode, 255), 0);
                // Mirrored: destination column x shows source column 3 - x.
                for (int x = 0; x < 4; ++x) {
                    const std::uint32_t index = src.Get(3 - x, 0);
                    const std::uint32_t entry = index < count ? (0x00A0B0C0u + index) & entryMask : 0;
                    // Copy (and alpha at 255) gives the entry; the
                    // full-strength subtract takes it from white.
                    const auto kind = is32 ? pixel_oracle::PixelKind::k32 : pixel_oracle::PixelKind::k16;
                    const std::uint32_t want =
                        mode == 3 ? pixel_oracle::SubtractPixels(kind, is32 ? 0x00FFFFFF : 0xFFFF, entry) : entry;
                    EXPECT_EQ(dest.Get(x, 0), want) << x;
                }
            }
    }
}

// ---- refusals ----------------------------------------------------------------------

TEST(DrawExtendMemImg, RefusalsLeaveTheDestinationAsItWas) {
    TestImage src(ImageLayout::k16, 8, 8, 0, 1), src32(ImageLayout::k32, 8, 8, 0, 1);
    TestImage palettedDest(ImageLayout::kPaletted16, 40, 40, 0, 2), alphaDest(ImageLayout::kAlpha16, 40, 40, 0, 2);
    TestImage smallMask(ImageLayout::kOneByte, 7, 8, 0, 3);
    const int corners[4] = {2, 2, 30, 20};
    struct Case {
        const char* what;
        MEMIMG* src;
        int corners[4];
        SoftDrawSettings settings;
        MEMIMG* mask;
        TestImage* dest;
    };
    TestImage dest(ImageLayout::k16, 40, 40, 0, 4);
    const int big = 32768;
    const Case cases[] = {
        {"no width", src.image(), {5, 2, 5, 20}, Settings(0, 0), nullptr, &dest},
        {"no height", src.image(), {2, 9, 30, 9}, Settings(0, 0), nullptr, &dest},
        {"32-bit source on a 16-bit destination", src32.image(), {2, 2, 30, 20}, Settings(0, 0), nullptr, &dest},
        {"paletted destination", src.image(), {2, 2, 30, 20}, Settings(0, 0), nullptr, &palettedDest},
        {"alpha destination", src.image(), {2, 2, 30, 20}, Settings(0, 0), nullptr, &alphaDest},
        {"blend mode 5", src.image(), {2, 2, 30, 20}, Settings(5, 128), nullptr, &dest},
        {"alpha at 0", src.image(), {2, 2, 30, 20}, Settings(1, 0), nullptr, &dest},
        {"add at 0", src.image(), {2, 2, 30, 20}, Settings(2, 0), nullptr, &dest},
        {"subtract at 0", src.image(), {2, 2, 30, 20}, Settings(3, 0), nullptr, &dest},
        {"a blend mask narrower than the source", src.image(), {2, 2, 30, 20}, Settings(0, 0), smallMask.image(), &dest},
        {"outside the draw area", src.image(), {2, 2, 30, 20}, Settings(0, 0, 0xFFFFFF, RECT{30, 0, 40, 40}), nullptr,
         &dest},
        {"32768 wide", src.image(), {-big + 10, 0, 10, 8}, Settings(0, 0), nullptr, &dest},
        {"32768 high, mirrored", src.image(), {0, 10, 8, 10 - big}, Settings(0, 0), nullptr, &dest},
        {"the widest corners there are", src.image(), {INT_MIN, INT_MIN, INT_MAX, INT_MAX}, Settings(0, 0), nullptr,
         &dest},
        {"mirrored across all of them", src.image(), {INT_MAX, 0, INT_MIN, 8}, Settings(0, 0), nullptr, &dest},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::vector<std::uint8_t> before = c.dest->Bytes();
        DrawExtendMemImg(c.dest->image(), c.src, c.corners, 1, c.mask, c.settings, 0);
        EXPECT_EQ(c.dest->Bytes(), before);
    }
    TestImage untouched(ImageLayout::k16, 40, 40, 0, 4);
    DrawExtendMemImg(dest.image(), src.image(), nullptr, 0, nullptr, Settings(0, 0), 0);
    DrawExtendMemImg(dest.image(), nullptr, corners, 0, nullptr, Settings(0, 0), 0);
    EXPECT_EQ(dest.Bytes(), untouched.Bytes());
}

TEST(DrawExtendMemImg, AFarOffCornerStillStartsAtTheRightSourcePixel) {
    // 32000 pixels of the rectangle lie left of the screen: the skipped
    // source columns are worked out in 64 bits, so the visible part shows
    // exactly the columns the closed form gives, and nothing is read
    // outside the source (the sanitizer builds would see it).
    TestImage probe(ImageLayout::k32, 40, 9, 0, 1);
    FillProbe(probe);
    TestImage dest(ImageLayout::k32, 64, 9, 0, 1);
    const int left = -32000, right = 700;  // 32700 wide, 817.5 per source column
    for (bool mirrored : {false, true}) {
        const int corners[4] = {mirrored ? right : left, 0, mirrored ? left : right, 9};
        DrawExtendMemImg(dest.image(), probe.image(), corners, 0, nullptr, Settings(0, 0), 0);
        const std::int64_t xs = (std::int64_t{right - left} << 16) / 40;
        for (int x = 0; x < 64; ++x) {
            const int c = static_cast<int>((std::int64_t{x - left} << 16) / xs);
            EXPECT_EQ(dest.Get(x, 0), static_cast<std::uint32_t>(mirrored ? 39 - c : c)) << x;
        }
    }
    EXPECT_TRUE(dest.GuardsIntact());
}

}  // namespace
