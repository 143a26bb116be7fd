// The rectangle fill against the per-pixel reference over every pixel size,
// blend mode, parameter and bright colour, with rectangles clipped at every
// edge of the draw area, plus the refusals and the guard bytes around the
// image.

#include "graphics/draw/draw_state.h"
#include "softrender/fill/fill_rect.h"
#include "softrender/fill/lines.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <sstream>

#include "framework/softrender/pixel_oracle.h"
#include "framework/softrender/soft_test_image.h"

namespace po = pixel_oracle;
using soft_test::ImageLayout;
using soft_test::TestImage;

namespace {

SoftDrawSettings Settings(RECT area, std::uint32_t mode, std::uint32_t param, std::uint32_t bright = 0xFFFFFF) {
    return SoftDrawSettings{area, mode, param, bright};
}

po::PixelKind KindOf(ImageLayout layout) { return layout == ImageLayout::k32 ? po::PixelKind::k32 : po::PixelKind::k16; }

// Fills and compares every pixel with the reference: pixels inside both the
// ordered rectangle and the draw area change as the reference says, all
// others keep their value, and no guard byte changes.
::testing::AssertionResult FillMatchesReference(ImageLayout layout, const RECT* rect, const SoftDrawSettings& s,
                                                std::uint32_t colour, std::uint32_t seed) {
    TestImage img(layout, 27, 7, 6, seed);
    const std::vector<std::uint32_t> before = img.Pixels();
    FillRectMemImg(img.image(), rect, colour, s);

    RECT want = rect ? RECT{std::min(rect->left, rect->right), std::min(rect->top, rect->bottom),
                            std::max(rect->left, rect->right), std::max(rect->top, rect->bottom)}
                     : RECT{0, 0, img.width(), img.height()};
    po::ConstantColourDraw draw;
    draw.kind = KindOf(layout);
    draw.mode = s.blendMode;
    draw.param = s.blendParam;
    draw.bright = s.brightColor;
    draw.colour = colour;

    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const bool inside = x >= want.left && x < want.right && y >= want.top && y < want.bottom &&
                                x >= s.drawArea.left && x < s.drawArea.right && y >= s.drawArea.top &&
                                y < s.drawArea.bottom;
            const std::uint32_t old = before[static_cast<std::size_t>(y * img.width() + x)];
            const std::uint32_t expected = inside ? po::ConstantColourPixel(draw, old) : old;
            if (img.Get(x, y) != expected) {
                std::ostringstream msg;
                msg << std::hex << "pixel (" << std::dec << x << ", " << y << ") is 0x" << std::hex << img.Get(x, y)
                    << ", expected 0x" << expected << " (was 0x" << old << "); layout "
                    << static_cast<int>(layout) << " mode " << std::dec << s.blendMode << " param " << s.blendParam
                    << " bright 0x" << std::hex << s.brightColor << " colour 0x" << colour;
                return ::testing::AssertionFailure() << msg.str();
            }
        }
    if (!img.GuardsIntact()) return ::testing::AssertionFailure() << "a guard byte changed";
    return ::testing::AssertionSuccess();
}

TEST(FillRectMemImg, MatchesReferenceOverModesParametersBrightsAndClips) {
    // The whole image, wide enough for the fill's groups of pixels, and an
    // inner area.
    const RECT areas[] = {{0, 0, 27, 7}, {2, 1, 8, 5}};
    // Rectangles against the inner area (2, 1, 8, 5): inside, across each
    // edge, across all of them, outside each edge, reversed, empty, one
    // pixel wide and one row high.
    const RECT rects[] = {
        {3, 2, 6, 4},    {-4, 2, 5, 4},  {4, 2, 30, 4},   {3, -9, 6, 3},   {3, 3, 6, 99},  {-50, -50, 50, 50},
        {-5, 0, 1, 7},   {9, 0, 11, 7},  {0, -3, 11, 0},  {0, 6, 11, 9},   {7, 4, 2, 1},   {4, 2, 4, 5},
        {5, 1, 6, 7},    {0, 3, 11, 4},  {10, 0, 11, 7},  {0, 0, 11, 7},   {3, 1, 26, 6},  {1, 0, 27, 7},
    };
    const std::uint32_t modes[] = {0, 1, 2, 3, 4, 5, 0xFFFFFFFFu};
    const std::uint32_t params[] = {0, 1, 2, 127, 128, 129, 254, 255, 77};
    const std::uint32_t brights[] = {0xFFFFFF, 0xFFFFFFFF, 0xFFFFFE, 0xFF0000, 0x8040C0, 0x000000};

    std::mt19937 rng(5202);
    std::uint32_t seed = 1;
    for (ImageLayout layout : {ImageLayout::k16, ImageLayout::k32})
        for (const RECT& area : areas)
            for (std::uint32_t mode : modes)
                for (std::uint32_t param : params)
                    for (std::uint32_t bright : brights) {
                        std::uint32_t colour = rng();
                        if (layout == ImageLayout::k16) colour &= 0xFFFF;
                        const SoftDrawSettings s = Settings(area, mode, param, bright);
                        for (const RECT& r : rects) ASSERT_TRUE(FillMatchesReference(layout, &r, s, colour, ++seed));
                        ASSERT_TRUE(FillMatchesReference(layout, nullptr, s, colour, ++seed));
                    }
}

TEST(FillRectMemImg, WhiteAndBlackColoursAtEveryParameter) {
    // The extremes of the colour range are where rounding and saturation
    // differ; every parameter, both pixel sizes.
    const RECT area{0, 0, 27, 7};
    for (ImageLayout layout : {ImageLayout::k16, ImageLayout::k32})
        for (std::uint32_t colour : {0u, 0xFFFFFFFFu, 0x00FFFFFFu, 0x01010101u})
            for (std::uint32_t mode = 1; mode <= 4; ++mode)
                for (std::uint32_t p = 0; p < 256; p += 3) {
                    const std::uint32_t c = layout == ImageLayout::k16 ? (colour & 0xFFFF) : colour;
                    ASSERT_TRUE(FillMatchesReference(layout, nullptr, Settings(area, mode, p), c, p + mode));
                }
}

TEST(FillRectMemImg, RefusesPalettedAlphaAndOtherKinds) {
    const RECT area{0, 0, 11, 7};
    for (ImageLayout layout : {ImageLayout::kPaletted16, ImageLayout::kPaletted32, ImageLayout::kAlpha16,
                               ImageLayout::kAlpha32, ImageLayout::kOneByte})
        for (std::uint32_t mode = 0; mode <= 4; ++mode) {
            TestImage img(layout, 11, 7, 3, 42);
            const std::vector<std::uint8_t> before = img.Bytes();
            FillRectMemImg(img.image(), nullptr, 0x12345678, Settings(area, mode, 200));
            EXPECT_EQ(img.Bytes(), before) << "layout " << static_cast<int>(layout) << " mode " << mode;
        }
    FillRectMemImg(nullptr, nullptr, 0, Settings(area, 0, 255));  // no image: nothing to do
}

TEST(FillRectMemImg, CornersInEitherOrderFillTheSamePixels) {
    const RECT area{0, 0, 32, 24};
    TestImage a(ImageLayout::k32, 32, 24, 0, 9), b(ImageLayout::k32, 32, 24, 0, 9);
    const RECT forward{10, 10, 20, 15}, reversed{20, 15, 10, 10};
    FillRectMemImg(a.image(), &forward, 0xFFFFFFFF, Settings(area, 0, 0));
    FillRectMemImg(b.image(), &reversed, 0xFFFFFFFF, Settings(area, 0, 0));
    EXPECT_EQ(a.Pixels(), b.Pixels());
    int filled = 0;
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 32; ++x)
            if (a.Get(x, y) == 0xFFFFFFFF) {
                ++filled;
                EXPECT_TRUE(x >= 10 && x <= 19 && y >= 10 && y <= 14) << x << ", " << y;
            }
    EXPECT_EQ(filled, 50);
}

TEST(FillRectMemImg, NullRectangleIsTheWholeImageWithinTheDrawArea) {
    TestImage img(ImageLayout::k16, 9, 6, 0, 3);
    const std::vector<std::uint32_t> before = img.Pixels();
    FillRectMemImg(img.image(), nullptr, 0x1234, Settings(RECT{1, 2, 7, 5}, 0, 0));
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 9; ++x) {
            const bool inside = x >= 1 && x < 7 && y >= 2 && y < 5;
            EXPECT_EQ(img.Get(x, y), inside ? 0x1234u : before[static_cast<std::size_t>(y * 9 + x)]);
        }
    TestImage whole(ImageLayout::k16, 9, 6, 0, 3);
    FillRectMemImg(whole.image(), nullptr, 0x1234, Settings(RECT{0, 0, 9, 6}, 0, 0));
    for (std::uint32_t v : whole.Pixels()) EXPECT_EQ(v, 0x1234u);
}

TEST(FillRectMemImg, OnePixelWide16BitColumnStoresOnePixelPerRow) {
    // No row padding: a 32-bit store for the last column would land on the
    // next row's first pixel (or past the image on the last row).
    for (int column : {0, 5, 6}) {
        TestImage img(ImageLayout::k16, 7, 5, 0, 11);
        const std::vector<std::uint32_t> before = img.Pixels();
        const RECT r{column, 0, column + 1, 5};
        FillRectMemImg(img.image(), &r, 0xF81F, Settings(RECT{0, 0, 7, 5}, 0, 0));
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 7; ++x)
                EXPECT_EQ(img.Get(x, y), x == column ? 0xF81Fu : before[static_cast<std::size_t>(y * 7 + x)]);
        EXPECT_TRUE(img.GuardsIntact());
    }
}

TEST(FillRectMemImg, HalfAlphaExamples) {
    TestImage img16(ImageLayout::k16, 4, 2, 0, 1);
    for (int x = 0; x < 4; ++x) img16.Set(x, 0, 0);
    const RECT row{0, 0, 4, 1};
    FillRectMemImg(img16.image(), &row, 0xFFFF, Settings(RECT{0, 0, 4, 2}, 1, 128));
    EXPECT_EQ(img16.Get(2, 0), (15u << 11) | (31u << 5) | 15u);

    TestImage img32(ImageLayout::k32, 4, 2, 0, 1);
    for (int x = 0; x < 4; ++x) img32.Set(x, 0, 0xAB000000);
    FillRectMemImg(img32.image(), &row, 0x00FFFFFF, Settings(RECT{0, 0, 4, 2}, 1, 128));
    EXPECT_EQ(img32.Get(3, 0), 0xAB7F7F7Fu);
}

TEST(FillRectMemImg, CopyWritesTheFourthByteAndTheLowHalfOnly) {
    TestImage img32(ImageLayout::k32, 5, 3, 0, 2);
    FillRectMemImg(img32.image(), nullptr, 0x80FF0000, Settings(RECT{0, 0, 5, 3}, 0, 0));
    for (std::uint32_t v : img32.Pixels()) EXPECT_EQ(v, 0x80FF0000u);

    // A 16-bit colour with stray upper bits still fills every pixel with its
    // low half, also the second pixel of each doubled word.
    TestImage img16(ImageLayout::k16, 5, 3, 2, 2);
    FillRectMemImg(img16.image(), nullptr, 0xBEEF07E0, Settings(RECT{0, 0, 5, 3}, 0, 0));
    for (std::uint32_t v : img16.Pixels()) EXPECT_EQ(v, 0x07E0u);
    EXPECT_TRUE(img16.GuardsIntact());
}

TEST(FillRectMemImg, EmptyOrOversizedDrawAreas) {
    for (const RECT& area : {RECT{4, 1, 4, 6}, RECT{0, 3, 9, 3}, RECT{8, 5, 2, 1}}) {
        TestImage img(ImageLayout::k32, 9, 6, 4, 8);
        const std::vector<std::uint8_t> before = img.Bytes();
        FillRectMemImg(img.image(), nullptr, 0xFFFFFFFF, Settings(area, 0, 0));
        EXPECT_EQ(img.Bytes(), before);
    }
    // A draw area that reaches past the image (a work image smaller than the
    // target) is cut at the image's edges.
    TestImage img(ImageLayout::k32, 9, 6, 4, 8);
    const RECT big{-20, -20, 100, 100};
    FillRectMemImg(img.image(), &big, 0x00112233, Settings(RECT{-10, -10, 50, 50}, 0, 0));
    for (std::uint32_t v : img.Pixels()) EXPECT_EQ(v, 0x00112233u);
    EXPECT_TRUE(img.GuardsIntact());
}

}  // namespace

namespace {

TEST(SoftConstantColour, DrawingLeavesDerivedBuffersInvalidAndRefusalsKeepThem) {
    // The run table and premultiplied copy describe the old pixels once a
    // fill or a line has changed them; a call that draws nothing keeps them.
    const RECT all{0, 0, 9, 5};
    TestImage img(ImageLayout::k16, 9, 5, 0, 1);
    img.image()->runTableValid = 1;
    img.image()->premultipliedValid = 1;
    FillRectMemImg(img.image(), nullptr, 0xFFFF, Settings(all, 1, 0));
    PlotLineMemImg(img.image(), 0, 0, 5, 5, 0xFFFF, Settings(all, 3, 0));
    PlotLineMemImg(img.image(), 3, 3, 3, 3, 0xFFFF, Settings(all, 0, 0));
    EXPECT_EQ(img.image()->runTableValid, 1u);
    EXPECT_EQ(img.image()->premultipliedValid, 1u);

    FillRectMemImg(img.image(), nullptr, 0xFFFF, Settings(all, 0, 0));
    EXPECT_EQ(img.image()->runTableValid, 0u);
    EXPECT_EQ(img.image()->premultipliedValid, 0u);

    img.image()->runTableValid = 1;
    PlotLineMemImg(img.image(), 0, 0, 5, 5, 0xFFFF, Settings(all, 4, 0));
    EXPECT_EQ(img.image()->runTableValid, 0u);
}

}  // namespace

namespace {

TEST(SoftConstantColour, EntriesWithoutSettingsReadTheDrawState) {
    const DrawState saved = g_DrawState;
    g_DrawState.drawArea = RECT{1, 1, 8, 4};
    g_DrawState.blendMode = 2;
    g_DrawState.blendParam = 300;  // beyond what the setter allows: read as 255
    g_DrawState.brightColor = 0x00FF80FF;

    TestImage viaState(ImageLayout::k32, 9, 5, 0, 12), explicitly(ImageLayout::k32, 9, 5, 0, 12);
    FillRectMemImg(viaState.image(), nullptr, 0x00406080);
    PlotLineMemImg(viaState.image(), 0, 0, 9, 5, 0x00FFFFFF);
    const LineRecord record{8, 0, 0, 4, 0x00010203, 0};
    SoftDrawLines(viaState.image(), &record, 1);
    const SoftDrawSettings s = Settings(RECT{1, 1, 8, 4}, 2, 255, 0x00FF80FF);
    FillRectMemImg(explicitly.image(), nullptr, 0x00406080, s);
    PlotLineMemImg(explicitly.image(), 0, 0, 9, 5, 0x00FFFFFF, s);
    SoftDrawLines(explicitly.image(), &record, 1, s);
    EXPECT_EQ(viaState.Pixels(), explicitly.Pixels());

    // A negative mode is above 4 when compared unsigned: nothing is drawn.
    g_DrawState.blendMode = -1;
    const std::vector<std::uint32_t> before = viaState.Pixels();
    FillRectMemImg(viaState.image(), nullptr, 0);
    PlotLineMemImg(viaState.image(), 0, 0, 9, 5, 0);
    EXPECT_EQ(viaState.Pixels(), before);
    g_DrawState = saved;
}

}  // namespace
