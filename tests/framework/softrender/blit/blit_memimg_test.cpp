// The unscaled blit's frame: what it refuses, how it clips, when it walks the
// run list, the worked examples of its arithmetic, and its handling of
// damaged or mismatched inputs.

#include "softrender/blit/blit_memimg.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <vector>

#include "core/system_state.h"
#include "framework/softrender/blit_test_images.h"
#include "graphics/device/surface2d.h"
#include "graphics/draw/draw_state.h"
#include "graphics/image/color_format.h"

using blit_test::ImageLayout;
using blit_test::MaskImage;
using blit_test::SourceImage;
using blit_test::TestImage;

namespace {

SoftDrawSettings Settings(std::uint32_t mode = 0, std::uint32_t param = 255, std::uint32_t bright = 0xFFFFFF,
                          RECT area = RECT{0, 0, 1000, 1000}) {
    return SoftDrawSettings{area, mode, param, bright};
}

// A source of the given layout whose pixels are all `colour` (alpha `alpha`
// for alpha images), with a run list.
struct Solid {
    SourceImage src;
    Solid(ImageLayout layout, int w, int h, std::uint32_t colour, std::uint32_t alpha = 255)
        : src(layout, w, h, 1) {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) src.SetColour(x, y, colour, alpha);
        src.image()->transparentColor = 0xFFFFFFFF;
        src.BuildRunList();
    }
};

// Draws src at (x, y) onto a destination of one colour and returns the
// destination pixel at (px, py).
std::uint32_t DrawOnto(ImageLayout destLayout, std::uint32_t destColour, MEMIMG* src, int transparent,
                       const SoftDrawSettings& s, int mmx = 0, MEMIMG* mask = nullptr, int px = 0, int py = 0) {
    TestImage dest(destLayout, 16, 8, 2, 5);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 16; ++x) dest.Set(x, y, destColour);
    BlitMemImg(dest.image(), src, 0, 0, transparent, mask, s, mmx);
    EXPECT_TRUE(dest.GuardsIntact());
    return dest.Get(px, py);
}

// While alive, each blend-mask byte is its own weight (border parameter 128,
// range 255); afterwards every weight is 255 again, as with no blend graphic.
struct IdentityMaskWeights {
    IdentityMaskWeights() { BuildBlendMaskTable(128, 255); }
    ~IdentityMaskWeights() { BuildBlendMaskTable(0, 255); }
};

constexpr std::uint32_t Rgb565(std::uint32_t r, std::uint32_t g, std::uint32_t b) { return (r << 11) | (g << 5) | b; }

// ---- refusals ------------------------------------------------------------------

TEST(BlitMemImg, RefusalsLeaveTheDestinationUntouched) {
    SourceImage src16(ImageLayout::k16, 9, 5, 3), src32(ImageLayout::k32, 9, 5, 3);
    SourceImage srcP16(ImageLayout::kPaletted16, 9, 5, 3);
    TestImage oneByte(ImageLayout::kOneByte, 9, 5, 0, 4);
    MaskImage smallMask(8, 5, 6);

    struct Refused {
        const char* what;
        ImageLayout destLayout;
        MEMIMG* src;
        SoftDrawSettings settings;
        MEMIMG* mask;
    };
    const Refused cases[] = {
        {"16-bit source on 32-bit destination", ImageLayout::k32, src16.image(), Settings(), nullptr},
        {"32-bit source on 16-bit destination", ImageLayout::k16, src32.image(), Settings(), nullptr},
        {"paletted destination", ImageLayout::kPaletted16, src16.image(), Settings(), nullptr},
        {"alpha destination", ImageLayout::kAlpha32, src32.image(), Settings(), nullptr},
        {"blend mode 5", ImageLayout::k16, src16.image(), Settings(5, 200), nullptr},
        {"blend mode -1", ImageLayout::k16, src16.image(), Settings(0xFFFFFFFFu, 200), nullptr},
        {"alpha at parameter 0", ImageLayout::k16, srcP16.image(), Settings(1, 0), nullptr},
        {"add at parameter 0", ImageLayout::k32, src32.image(), Settings(2, 0, 0x123456), nullptr},
        {"subtract at parameter 0", ImageLayout::k16, src16.image(), Settings(3, 0), nullptr},
        {"empty draw area", ImageLayout::k16, src16.image(), Settings(0, 255, 0xFFFFFF, RECT{3, 3, 3, 9}), nullptr},
        {"draw area outside the image", ImageLayout::k16, src16.image(),
         Settings(0, 255, 0xFFFFFF, RECT{40, 0, 80, 9}), nullptr},
        {"mask narrower than the source", ImageLayout::k16, src16.image(), Settings(), smallMask.image()},
    };
    for (const Refused& c : cases) {
        TestImage dest(c.destLayout, 12, 7, 3, 8);
        const std::vector<std::uint8_t> before = dest.Bytes();
        BlitMemImg(dest.image(), c.src, 1, 1, 1, c.mask, c.settings, 1);
        EXPECT_EQ(dest.Bytes(), before) << c.what;
    }

    // A source of another kind, a source whose format does not match its
    // pixel size, and records that are not images at all.
    TestImage dest(ImageLayout::k16, 12, 7, 3, 8);
    const std::vector<std::uint8_t> before = dest.Bytes();
    oneByte.image()->kind = kMemImgKind565;
    oneByte.image()->colorFormat = GetStandardColorFormat(kMemImgKindOneByte, 0, 0);
    BlitMemImg(dest.image(), oneByte.image(), 0, 0, 0, nullptr, Settings(), 1);
    const ColorFormatDesc* own = src16.image()->colorFormat;
    src16.image()->colorFormat = GetStandardColorFormat(kMemImgKind565, 1, 0);  // 4 bytes per pixel
    BlitMemImg(dest.image(), src16.image(), 0, 0, 0, nullptr, Settings(), 1);
    src16.image()->colorFormat = own;
    MEMIMG blank{};
    BlitMemImg(dest.image(), &blank, 0, 0, 0, nullptr, Settings(), 1);
    BlitMemImg(dest.image(), nullptr, 0, 0, 0, nullptr, Settings(), 1);
    BlitMemImg(nullptr, src16.image(), 0, 0, 0, nullptr, Settings(), 1);
    EXPECT_EQ(dest.Bytes(), before);
}

TEST(BlitMemImg, MultiplyIgnoresTheParameter) {
    Solid white(ImageLayout::k32, 4, 2, 0x00FFFFFF);
    EXPECT_EQ(DrawOnto(ImageLayout::k32, 0x00804020, white.src.image(), 0, Settings(4, 0)),
              0x00804020u - 0x00010101u);  // (d * 255) >> 8
}

// ---- clipping -----------------------------------------------------------------------

TEST(BlitMemImg, ClippedSourceStartsAtItsVisibleOffsetWithTheMaskAligned) {
    // Each source pixel encodes its position; the mask weights are 255 at
    // one pixel and 0 elsewhere, so only that pixel moves in mode 0.
    const IdentityMaskWeights weights;
    SourceImage src(ImageLayout::k32, 10, 6, 2);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 10; ++x) src.SetColour(x, y, 0x00100000u * static_cast<std::uint32_t>(x) + 0x0800u * static_cast<std::uint32_t>(y) + 0x40);
    MaskImage mask(10, 6, 1);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 10; ++x) mask.Set(x, y, 0);
    mask.Set(3, 2, 255);  // source pixel (3, 2), drawn at dest (1, 0)
    TestImage copy(ImageLayout::k32, 12, 8, 0, 1), masked(ImageLayout::k32, 12, 8, 0, 1);
    const std::vector<std::uint32_t> before = masked.Pixels();
    const SoftDrawSettings area = Settings(0, 255, 0xFFFFFF, RECT{1, 0, 12, 8});
    BlitMemImg(copy.image(), src.image(), -2, -2, 0, nullptr, area, 0);
    BlitMemImg(masked.image(), src.image(), -2, -2, 0, mask.image(), area, 0);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 12; ++x) {
            const bool inside = x >= 1 && x < 8 && y < 4;
            const std::uint32_t old = before[static_cast<std::size_t>(y * 12 + x)];
            EXPECT_EQ(copy.Get(x, y), inside ? src.At(x + 2, y + 2).colour : old) << x << ", " << y;
            if (x != 1 || y != 0) {
                EXPECT_EQ(masked.Get(x, y), old) << x << ", " << y;
            }
        }
    EXPECT_NE(masked.Get(1, 0), before[1]);
}

TEST(BlitMemImg, DrawAreaBeyondTheDestinationIsClippedToIt) {
    SourceImage src(ImageLayout::k16, 9, 9, 4);
    for (const RECT& area : {RECT{-50, -50, 500, 500}, RECT{INT_MIN, INT_MIN, INT_MAX, INT_MAX}})
        for (int x : {-3, 0, 3}) {
            TestImage dest(ImageLayout::k16, 6, 5, 0, 3);
            BlitMemImg(dest.image(), src.image(), x, x, 0, nullptr, Settings(0, 255, 0xFFFFFF, area), 0);
            EXPECT_TRUE(dest.GuardsIntact());
            EXPECT_EQ(dest.Get(5, 4), src.At(5 - x, 4 - x).colour);
        }
}

TEST(BlitMemImg, FarAwayPositionsDrawNothing) {
    SourceImage src(ImageLayout::k32, 9, 9, 4);
    src.BuildRunList();
    const int far[][2] = {{INT_MAX, 0}, {INT_MAX - 4, INT_MAX - 4}, {INT_MIN, INT_MIN}, {0, INT_MAX}, {-9, 0}};
    for (const auto& at : far) {
        TestImage dest(ImageLayout::k32, 6, 5, 0, 3);
        const std::vector<std::uint8_t> before = dest.Bytes();
        BlitMemImg(dest.image(), src.image(), at[0], at[1], 1, nullptr,
                   Settings(0, 255, 0xFFFFFF, RECT{INT_MIN, INT_MIN, INT_MAX, INT_MAX}), 0);
        EXPECT_EQ(dest.Bytes(), before) << at[0] << ", " << at[1];
    }
}

// ---- run list or general loops ------------------------------------------------------------

TEST(BlitMemImg, RunListOnlyForUnclippedDrawsWithTransparentFlagOne) {
    // 16-bit alpha at 128 with white: the general loops halve and add
    // (white on white gives 0xF7DE), the run-list loops blend by the
    // parameter (white on white stays 0xFFFF).
    Solid white(ImageLayout::k16, 6, 3, 0xFFFF);
    const SoftDrawSettings half = Settings(1, 128);
    EXPECT_EQ(DrawOnto(ImageLayout::k16, 0xFFFF, white.src.image(), 1, half), 0xFFFFu);
    EXPECT_EQ(DrawOnto(ImageLayout::k16, 0xFFFF, white.src.image(), 2, half), 0xF7DEu);
    EXPECT_EQ(DrawOnto(ImageLayout::k16, 0xFFFF, white.src.image(), 0, half), 0xF7DEu);
    // Clipped by one column: the general loops.
    EXPECT_EQ(DrawOnto(ImageLayout::k16, 0xFFFF, white.src.image(), 1,
                       Settings(1, 128, 0xFFFFFF, RECT{0, 0, 5, 8})),
              0xF7DEu);
    // A run list that no longer describes the pixels is not used.
    white.src.image()->runTableValid = 0;
    EXPECT_EQ(DrawOnto(ImageLayout::k16, 0xFFFF, white.src.image(), 1, half), 0xF7DEu);
}

TEST(BlitMemImg, RunListSkipsTransparentRunsAndKeepsTheMaskAligned) {
    // 70 pixels a row: an opaque run of 64 and one of 6, then a transparent
    // run of 64 and one of 6, then alternating single pixels.
    SourceImage src(ImageLayout::k16, 70, 3, 8);
    for (int x = 0; x < 70; ++x) {
        src.pixels().Set(x, 0, 0x1000u + static_cast<std::uint32_t>(x));
        src.pixels().Set(x, 1, src.key());
        src.pixels().Set(x, 2, x % 2 ? src.key() : 0x2000u + static_cast<std::uint32_t>(x));
    }
    src.BuildRunList();
    const std::vector<std::uint8_t>& runs = src.runList();
    ASSERT_GE(runs.size(), 6u);
    EXPECT_EQ(runs[0], 0x7F);  // 64 opaque
    EXPECT_EQ(runs[1], 0x45);  // 6 opaque
    EXPECT_EQ(runs[2], 0xC0);
    EXPECT_EQ(runs[3], 0x3F);  // 64 transparent
    EXPECT_EQ(runs[4], 0x05);
    EXPECT_EQ(runs[5], 0xC0);

    // Mask weight 255 on odd columns and 0 on even ones; in mode 0 a weight
    // of 0 leaves the pixel, so on row 2 nothing changes at all, and on row 0
    // only odd columns change.
    const IdentityMaskWeights weights;
    MaskImage mask(70, 3, 2);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 70; ++x) mask.Set(x, y, x % 2 ? 255 : 0);
    TestImage dest(ImageLayout::k16, 72, 3, 0, 7);
    const std::vector<std::uint32_t> before = dest.Pixels();
    BlitMemImg(dest.image(), src.image(), 1, 0, 1, mask.image(), Settings(), 0);
    for (int x = 1; x < 71; ++x) {
        const std::size_t i = static_cast<std::size_t>(x);
        if ((x - 1) % 2 == 0) {
            EXPECT_EQ(dest.Get(x, 0), before[i]) << x;
        }
        EXPECT_EQ(dest.Get(x, 1), before[72 + i]) << x;
        EXPECT_EQ(dest.Get(x, 2), before[144 + i]) << x;
    }
    EXPECT_TRUE(dest.GuardsIntact());
}

TEST(BlitMemImg, DamagedRunListStopsInsteadOfOverrunning) {
    SourceImage src(ImageLayout::k32, 8, 3, 9);
    src.BuildRunList();
    std::vector<std::uint8_t> damaged(static_cast<std::size_t>(13 * 3), 0x7F);  // runs of 64 everywhere
    src.image()->runTable = damaged.data();
    TestImage dest(ImageLayout::k32, 8, 3, 0, 7);
    const std::vector<std::uint8_t> before = dest.Bytes();
    BlitMemImg(dest.image(), src.image(), 0, 0, 1, nullptr, Settings(), 1);
    EXPECT_EQ(dest.Bytes(), before);

    // A row whose runs stop short: the rest of that row is left, the next
    // row goes on.
    std::vector<std::uint8_t> shortRow = {0x42, 0xC0, 0x47, 0xC0, 0x47, 0xC0};
    src.image()->runTable = shortRow.data();
    BlitMemImg(dest.image(), src.image(), 0, 0, 1, nullptr, Settings(), 1);
    const std::vector<std::uint32_t> after = dest.Pixels();
    for (int x = 0; x < 8; ++x) {
        EXPECT_EQ(after[static_cast<std::size_t>(x)], x < 3 ? src.At(x, 0).colour : TestImage(ImageLayout::k32, 8, 3, 0, 7).Get(x, 0));
        EXPECT_EQ(after[static_cast<std::size_t>(8 + x)], src.At(x, 1).colour);
    }
    EXPECT_TRUE(dest.GuardsIntact());
}

TEST(BlitMemImg, DrawingMarksTheDestinationsRunListStale) {
    SourceImage target(ImageLayout::k16, 12, 6, 3);
    target.BuildRunList();
    target.image()->premultipliedValid = 1;
    SourceImage src(ImageLayout::k16, 4, 4, 5);
    // Drawn outside: nothing changes, the list stays valid.
    BlitMemImg(target.image(), src.image(), 40, 0, 0, nullptr, Settings(), 1);
    EXPECT_EQ(target.image()->runTableValid, 1u);
    BlitMemImg(target.image(), src.image(), 2, 1, 0, nullptr, Settings(), 1);
    EXPECT_EQ(target.image()->runTableValid, 0u);
    EXPECT_EQ(target.image()->premultipliedValid, 0u);
}

// ---- palettes --------------------------------------------------------------------------

TEST(BlitMemImg, IndicesPastThePaletteCountDrawAsZero) {
    SourceImage src(ImageLayout::kPaletted32, 4, 1, 2);
    for (int x = 0; x < 4; ++x) src.pixels().Set(x, 0, static_cast<std::uint32_t>(x * 100));  // 0, 100, 200, 44
    src.pixels().Set(3, 0, 255);
    src.image()->transparentColor = 0xFFFFFFFF;
    src.image()->paletteCount = 150;  // entries 150 and above are stale storage
    TestImage dest(ImageLayout::k32, 4, 1, 0, 3);
    BlitMemImg(dest.image(), src.image(), 0, 0, 0, nullptr, Settings(), 0);
    EXPECT_EQ(dest.Get(0, 0), src.At(0, 0).colour);
    EXPECT_EQ(dest.Get(1, 0), src.At(1, 0).colour);
    EXPECT_EQ(dest.Get(2, 0), 0u);
    EXPECT_EQ(dest.Get(3, 0), 0u);
    // A count above 256 is read as 256.
    src.image()->paletteCount = 100000;
    BlitMemImg(dest.image(), src.image(), 0, 0, 0, nullptr, Settings(), 0);
    EXPECT_EQ(dest.Get(3, 0), src.At(3, 0).colour);
}

// ---- worked examples -------------------------------------------------------------------------

TEST(BlitMemImg, CopyAndBrightExamples) {
    // A 32-bit copy takes the fourth byte too; with a bright colour, even
    // (255, 255, 254), the destination keeps its own and blue is scaled.
    Solid px(ImageLayout::k32, 3, 2, 0xAB10C8FE);
    for (int transparent : {0, 1}) {
        EXPECT_EQ(DrawOnto(ImageLayout::k32, 0x55000000, px.src.image(), transparent, Settings()), 0xAB10C8FEu);
        EXPECT_EQ(DrawOnto(ImageLayout::k32, 0x55000000, px.src.image(), transparent, Settings(0, 255, 0xFFFFFE)),
                  0x5510C8FDu);  // 254 * 254 / 255 = 253
    }
    Solid white(ImageLayout::k32, 3, 2, 0x00FFFFFF), grey(ImageLayout::k32, 3, 2, 0x00646464);
    EXPECT_EQ(DrawOnto(ImageLayout::k32, 0, white.src.image(), 0, Settings(0, 255, 0x808080)), 0x00808080u);
    EXPECT_EQ(DrawOnto(ImageLayout::k32, 0, grey.src.image(), 0, Settings(0, 255, 0x808080)), 0x00323232u);
    // 16-bit bright scales the 5-bit value: red 31 under 128 gives 15.
    Solid red(ImageLayout::k16, 3, 2, Rgb565(31, 0, 0));
    EXPECT_EQ(DrawOnto(ImageLayout::k16, 0, red.src.image(), 0, Settings(0, 255, 0x80FFFF)), Rgb565(15, 0, 0));
    // Alpha at 255 is the copy.
    EXPECT_EQ(DrawOnto(ImageLayout::k32, 0x55000000, px.src.image(), 0, Settings(1, 255)), 0xAB10C8FEu);
}

TEST(BlitMemImg, AlphaExamples) {
    Solid white32(ImageLayout::k32, 3, 2, 0x00FFFFFF);
    // Half weight (general loops): byte 3 becomes 0. Through the run list,
    // 128 is an ordinary weight: d = 0, s = 255 gives 127 and byte 3 stays.
    EXPECT_EQ(DrawOnto(ImageLayout::k32, 0xEE000000, white32.src.image(), 0, Settings(1, 128)), 0x007F7F7Fu);
    EXPECT_EQ(DrawOnto(ImageLayout::k32, 0xEE000000, white32.src.image(), 0, Settings(1, 128), 1), 0x007F7F7Fu);
    EXPECT_EQ(DrawOnto(ImageLayout::k32, 0xEE000000, white32.src.image(), 1, Settings(1, 128)), 0xEE7F7F7Fu);

    Solid white16(ImageLayout::k16, 3, 2, 0xFFFF), black16(ImageLayout::k16, 3, 2, 0);
    EXPECT_EQ(DrawOnto(ImageLayout::k16, 0, white16.src.image(), 0, Settings(1, 128)), 0x7BEFu);
    // Run list, 16-bit: d + trunc(p * (s - d) / 255), rounding toward d.
    EXPECT_EQ(DrawOnto(ImageLayout::k16, 0, white16.src.image(), 1, Settings(1, 128)), Rgb565(15, 31, 15));
    EXPECT_EQ(DrawOnto(ImageLayout::k16, 0xFFFF, black16.src.image(), 1, Settings(1, 128)), Rgb565(16, 32, 16));
    // General 16-bit with white: the 64-level mix, q = 100 / 4 = 25:
    // 31 * 25 / 63 = 12.
    Solid red16(ImageLayout::k16, 3, 2, Rgb565(31, 0, 0));
    EXPECT_EQ(DrawOnto(ImageLayout::k16, 0, red16.src.image(), 0, Settings(1, 100)), Rgb565(12, 0, 0));
}

TEST(BlitMemImg, AddAndSubtractExamples) {
    Solid mid(ImageLayout::k32, 3, 2, 0x00808080), one(ImageLayout::k32, 3, 2, 0x00010101);
    // Full strength, guard-bit form and bytewise form.
    EXPECT_EQ(DrawOnto(ImageLayout::k32, 0x00808080, mid.src.image(), 0, Settings(2, 255), 0), 0x01FFFFFFu);
    EXPECT_EQ(DrawOnto(ImageLayout::k32, 0x00808080, mid.src.image(), 0, Settings(2, 255), 1), 0x00FFFFFFu);
    EXPECT_EQ(DrawOnto(ImageLayout::k32, 0x00010101, one.src.image(), 0, Settings(2, 255), 0), 0x00000002u);
    EXPECT_EQ(DrawOnto(ImageLayout::k32, 0x00010101, one.src.image(), 0, Settings(2, 255), 1), 0x00020202u);
    // Subtracting a slightly larger colour: red keeps the no-borrow bit of
    // green's equal halves.
    Solid s21(ImageLayout::k32, 3, 2, 0x00212121);
    EXPECT_EQ(DrawOnto(ImageLayout::k32, 0x00202020, s21.src.image(), 0, Settings(3, 255), 0), 0x00010000u);
    EXPECT_EQ(DrawOnto(ImageLayout::k32, 0x00202020, s21.src.image(), 0, Settings(3, 255), 1), 0x00000000u);
    // Run list at 255: the general add with t = s; white plus anything is
    // white, and blue's overflow sets green's lowest bit.
    Solid white(ImageLayout::k32, 3, 2, 0x00FFFFFF), blue1(ImageLayout::k32, 3, 2, 0x00000001);
    EXPECT_EQ(DrawOnto(ImageLayout::k32, 0x00123456, white.src.image(), 1, Settings(2, 255)) & 0x00FFFFFFu,
              0x00FFFFFFu);
    EXPECT_EQ(DrawOnto(ImageLayout::k32, 0x000000FF, blue1.src.image(), 1, Settings(2, 255)), 0x000001FFu);
    // With a mask of weight 255 at 255, t = floor(255 * 65025 / 65536) = 253.
    MaskImage full(3, 2, 1);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) full.Set(x, y, 255);
    Solid blue(ImageLayout::k32, 3, 2, 0x000000FF);
    EXPECT_EQ(DrawOnto(ImageLayout::k32, 0, blue.src.image(), 1, Settings(2, 255), 0, full.image()), 0x000000FDu);
}

TEST(BlitMemImg, MaskAndMultiplyExamples) {
    const IdentityMaskWeights weights;
    MaskImage mask(3, 2, 1);
    auto fill = [&mask](std::uint8_t v) {
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 3; ++x) mask.Set(x, y, v);
    };
    Solid white(ImageLayout::k32, 3, 2, 0x00FFFFFF);
    // Mode 0 with weight 255 falls one short of the source; weight 0 leaves.
    fill(255);
    EXPECT_EQ(DrawOnto(ImageLayout::k32, 0x77000000, white.src.image(), 1, Settings(), 0, mask.image()), 0x77FEFEFEu);
    fill(0);
    EXPECT_EQ(DrawOnto(ImageLayout::k32, 0x77123456, white.src.image(), 1, Settings(), 0, mask.image()), 0x77123456u);
    // Multiply: weight 0 gives black; white on white gives 254 (30, 62, 30
    // in 16-bit).
    EXPECT_EQ(DrawOnto(ImageLayout::k32, 0x00FFFFFF, white.src.image(), 1, Settings(4), 0, mask.image()), 0u);
    EXPECT_EQ(DrawOnto(ImageLayout::k32, 0x00FFFFFF, white.src.image(), 1, Settings(4)), 0x00FEFEFEu);
    Solid white16(ImageLayout::k16, 3, 2, 0xFFFF);
    EXPECT_EQ(DrawOnto(ImageLayout::k16, 0xFFFF, white16.src.image(), 1, Settings(4)), Rgb565(30, 62, 30));
    // A partly transparent pixel of alpha 128 and channel 200 on 255:
    // floor(200 * 255 * 128 / 65536) = 99.
    Solid partial(ImageLayout::kAlpha32, 3, 2, 0x00C8C8C8, 128);
    EXPECT_EQ(DrawOnto(ImageLayout::k32, 0x00FFFFFF, partial.src.image(), 1, Settings(4)), 0x00636363u);
}

TEST(BlitMemImg, AlphaChannelExamples) {
    Solid opaque(ImageLayout::kAlpha32, 3, 2, 0x00FFFFFF, 255), clear(ImageLayout::kAlpha32, 3, 2, 0x00FFFFFF, 0);
    // Alpha 255 under the transparent flag copies exactly; without it, the
    // alpha blend falls one short.
    EXPECT_EQ(DrawOnto(ImageLayout::k32, 0, opaque.src.image(), 1, Settings()), 0xFFFFFFFFu);
    EXPECT_EQ(DrawOnto(ImageLayout::k32, 0, opaque.src.image(), 0, Settings()), 0x00FEFEFEu);
    // Alpha 0: skipped under the flag in every mode, multiply included, and
    // through the general loops (clipped) as through the run list; without
    // the flag it leaves the pixel in mode 0 and turns it black in mode 4.
    for (std::uint32_t mode = 0; mode <= 4; ++mode) {
        EXPECT_EQ(DrawOnto(ImageLayout::k32, 0x00405060, clear.src.image(), 1, Settings(mode, 200)), 0x00405060u);
        EXPECT_EQ(DrawOnto(ImageLayout::k32, 0x00405060, clear.src.image(), 1,
                           Settings(mode, 200, 0xFFFFFF, RECT{0, 0, 2, 8})),
                  0x00405060u);
    }
    EXPECT_EQ(DrawOnto(ImageLayout::k32, 0x00405060, clear.src.image(), 0, Settings(0)), 0x00405060u);
    EXPECT_EQ(DrawOnto(ImageLayout::k32, 0x00405060, clear.src.image(), 0, Settings(4)), 0u);
    Solid clear16(ImageLayout::kAlpha16, 3, 2, 0xFFFF, 0);
    EXPECT_EQ(DrawOnto(ImageLayout::k16, 0x1234, clear16.src.image(), 2, Settings(4)), 0x1234u);
}

// ---- the draw state -------------------------------------------------------------------------------

TEST(BlitMemImg, WithoutSettingsItReadsTheDrawState) {
    const DrawState saved = g_DrawState;
    const int savedMmx = g_SystemState.mmxAvailable;
    g_DrawState.drawArea = RECT{1, 0, 10, 5};
    g_DrawState.blendMode = kBlendModeAdd;
    g_DrawState.blendParam = 255;
    g_DrawState.brightColor = 0xFFFFFF;
    SourceImage src(ImageLayout::k32, 8, 4, 6);
    for (int mmx : {0, 1}) {
        g_SystemState.mmxAvailable = mmx;
        TestImage a(ImageLayout::k32, 12, 6, 0, 2), b(ImageLayout::k32, 12, 6, 0, 2);
        BlitMemImg(a.image(), src.image(), 0, 1, 0, nullptr);
        BlitMemImg(b.image(), src.image(), 0, 1, 0, nullptr, Settings(2, 255, 0xFFFFFF, RECT{1, 0, 10, 5}), mmx);
        EXPECT_EQ(a.Pixels(), b.Pixels()) << "mmx " << mmx;
        EXPECT_EQ(a.Get(0, 1), TestImage(ImageLayout::k32, 12, 6, 0, 2).Get(0, 1));  // outside the draw area
    }
    g_DrawState = saved;
    g_SystemState.mmxAvailable = savedMmx;
}

}  // namespace
