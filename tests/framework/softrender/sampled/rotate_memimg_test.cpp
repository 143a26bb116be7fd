// The rotated blit against the double-precision inverse turn and the
// per-pixel reference: every source kind and every loop (blend mode, mask,
// bright colour, transparency) at right angles, small and odd angles and
// scales from 0.5 to 3, clipped and unclipped. Every destination pixel and
// guard byte is checked; a pixel may differ from the ideal texel only where
// its ideal position lies within the draw's fixed-point error of a texel
// edge, and those pixels are counted.

#include "softrender/sampled/rotate_memimg.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <sstream>
#include <vector>

#include "framework/softrender/blit_test_images.h"
#include "framework/softrender/sampled/rotate_reference.h"
#include "framework/softrender/sampled/sampled_reference.h"
#include "framework/softrender/sampled/triangle_test_support.h"
#include "graphics/device/surface2d.h"

namespace po = pixel_oracle;
namespace ref = blit_reference;
using blit_test::ImageLayout;
using blit_test::MaskImage;
using blit_test::SourceImage;
using blit_test::TestImage;

namespace {

constexpr int kDestW = 48, kDestH = 40;
constexpr float kPi = 3.14159265358979f;
constexpr std::uint32_t kMaskParam = blit_test::kSweepMaskParam, kMaskRange = blit_test::kSweepMaskRange;

struct Turning {
    float angle, scale;
    bool exact;
};

// Right angles with scales whose reciprocal is a power of two are drawn
// exactly; the rest round.
const Turning kTurnings[] = {
    {0, 1, true},          {kPi / 2, 1, true},    {kPi, 2, true},        {kPi * 1.5f, 0.5f, true},
    {0, 2, true},          {kPi, 0.5f, true},     {0.01f, 1, false},     {kPi / 5, 1.3f, false},
    {1.234f, 3, false},    {-2.5f, 0.75f, false}, {kPi / 2 + 0.003f, 1.7f, false},
    {3.0f, 2.2f, false},   {0.7f, 0.5f, false},   {-0.3f, 2.6f, false},
};
constexpr int kTurningCount = sizeof kTurnings / sizeof kTurnings[0];

struct RotateDraw {
    int x = 24, y = 20;
    Turning turning{0, 1, true};
    int transparent = 0;
    bool useMask = false;
    SoftDrawSettings settings{RECT{0, 0, kDestW, kDestH}, 0, 255, 0xFFFFFF};
};

struct Tally {
    long drawn = 0, ambiguous = 0;
};

// Draws, then checks every destination pixel: outside the draw area it is
// unchanged; inside, it is what the reference gives for one of the texels
// the inverse turn allows (or unchanged where the position may lie outside
// the source).
::testing::AssertionResult RotateMatches(SourceImage& src, MaskImage* mask, const RotateDraw& draw,
                                         std::uint32_t destSeed, Tally* tally) {
    const ImageLayout layout = src.layout();
    TestImage dest(blit_test::DestLayoutFor(layout), kDestW, kDestH, 4, destSeed);
    const std::vector<std::uint32_t> before = dest.Pixels();
    MEMIMG* srcImg = src.image();
    DrawRotateMemImg(dest.image(), srcImg, draw.x, draw.y, draw.turning.angle, draw.turning.scale, draw.transparent,
                     0, draw.useMask ? mask->image() : nullptr, draw.settings);

    const ref::BlitSettings s = blit_test::ReferenceSettings(layout, draw.settings, draw.useMask, draw.transparent);

    const RECT& area = draw.settings.drawArea;
    rotate_reference::Geometry geometry{srcImg->width, srcImg->height, draw.x, draw.y, draw.turning.angle,
                                        draw.turning.scale, draw.turning.exact};
    geometry.clipLeft = std::max<int>(area.left, 0);
    geometry.clipTop = std::max<int>(area.top, 0);
    geometry.clipRight = std::min<int>(area.right, kDestW);
    geometry.clipBottom = std::min<int>(area.bottom, kDestH);
    const rotate_reference::Oracle oracle(geometry);
    for (int y = 0; y < kDestH; ++y)
        for (int x = 0; x < kDestW; ++x) {
            const std::uint32_t old = before[static_cast<std::size_t>(y * kDestW + x)];
            const std::uint32_t got = dest.Get(x, y);
            const bool inArea = x >= area.left && x < area.right && y >= area.top && y < area.bottom;
            rotate_reference::Cover cover;
            if (inArea) cover = oracle.At(x, y);
            else cover.mayStay = true;
            bool ok = cover.mayStay && got == old;
            std::uint32_t wanted = old;
            for (int i = 0; i < cover.count && !ok; ++i) {
                const int col = cover.col[i], row = cover.row[i];
                const std::uint32_t w = draw.useMask ? po::MaskWeight(kMaskParam, kMaskRange, mask->At(col, row)) : 0;
                wanted = sampled_reference::ExpectedPixel(s, src.At(col, row), src.key(), w, old);
                ok = got == wanted;
            }
            if (inArea && cover.count > 0) ++tally->drawn;
            // A turn of a hundredth of a radian keeps the rows near the
            // centre on texel edges by construction; it is left out of the
            // count.
            if (inArea && cover.ambiguous && std::fabs(draw.turning.angle) > 0.05f) ++tally->ambiguous;
            if (!ok) {
                std::ostringstream msg;
                msg << "dest (" << x << ", " << y << ") is 0x" << std::hex << got << ", expected 0x" << wanted
                    << " (was 0x" << old << ")" << std::dec << "; layout " << static_cast<int>(layout) << " source "
                    << srcImg->width << "x" << srcImg->height << " centre (" << draw.x << ", " << draw.y
                    << ") angle " << draw.turning.angle << " scale " << draw.turning.scale << " mode " << s.mode
                    << " param " << s.param << " bright 0x" << std::hex << s.bright << std::dec << " mask "
                    << s.mask << " transparent " << s.transparent << "; texels allowed " << cover.count
                    << (cover.mayStay ? " or unchanged" : "");
                if (cover.count > 0) msg << ", first (" << cover.col[0] << ", " << cover.row[0] << ")";
                return ::testing::AssertionFailure() << msg.str();
            }
        }
    if (!dest.GuardsIntact()) return ::testing::AssertionFailure() << "a guard byte of the destination changed";
    return ::testing::AssertionSuccess();
}

class RotateSweep : public ::testing::TestWithParam<ImageLayout> {
protected:
    void SetUp() override { BuildBlendMaskTable(kMaskParam, kMaskRange); }
    void TearDown() override { BuildBlendMaskTable(0, 255); }
};

TEST_P(RotateSweep, EveryLoopAtEveryTurnMatchesTheInverseTurn) {
    const ImageLayout layout = GetParam();
    SourceImage odd(layout, 13, 7, 21);
    SourceImage even(layout, 12, 8, 22);
    MaskImage mask(15, 9, 5);
    static const std::uint32_t kParams[] = {1, 2, 127, 128, 200, 254, 255};
    static const std::uint32_t kBrights[] = {0xFFFFFF, 0x00FFFFFE, 0x00C08040, 0x0180FF30};
    // Centres: inside, across the draw area's edges, and a draw area that
    // cuts the box.
    struct Place {
        int x, y;
        RECT area;
    };
    const Place kPlaces[] = {
        {24, 20, {0, 0, kDestW, kDestH}}, {2, 3, {0, 0, kDestW, kDestH}},     {45, 37, {0, 0, kDestW, kDestH}},
        {24, 20, {19, 13, 30, 26}},       {-4, 20, {0, 0, kDestW, kDestH}}, {24, 44, {5, 0, 40, kDestH}},
    };
    Tally tally;
    int n = 0;
    const bool alpha = blit_test::HasAlpha(layout);
    for (std::uint32_t mode = 0; mode < 5; ++mode)
        for (int maskOn = 0; maskOn < 2; ++maskOn)
            for (int brightOn = 0; brightOn < 2; ++brightOn)
                for (int trans = 0; trans < 2; ++trans)
                    for (int pass = 0; pass < 3; ++pass, ++n) {
                        RotateDraw draw;
                        const Place& place = kPlaces[(n * 5 + pass) % 6];
                        draw.x = place.x;
                        draw.y = place.y;
                        draw.settings.drawArea = place.area;
                        draw.turning = kTurnings[(n * 7 + pass * 3) % kTurningCount];
                        draw.transparent = trans ? (pass == 2 ? 5 : 1) : 0;
                        draw.useMask = maskOn != 0;
                        draw.settings.blendMode = mode;
                        draw.settings.blendParam = kParams[(n + pass * 2) % 7];
                        draw.settings.brightColor = brightOn ? kBrights[1 + (n + pass) % 3] : kBrights[0];
                        SourceImage& src = (n + pass) % 2 ? odd : even;
                        ASSERT_TRUE(RotateMatches(src, &mask, draw, static_cast<std::uint32_t>(n * 3 + pass), &tally))
                            << "alpha layout " << alpha;
                    }
    // Every turning in copy mode with the colour key, at the centre.
    for (int t = 0; t < kTurningCount; ++t) {
        RotateDraw draw;
        draw.turning = kTurnings[t];
        draw.transparent = 1;
        ASSERT_TRUE(RotateMatches(odd, &mask, draw, 900u + static_cast<std::uint32_t>(t), &tally));
        draw.x = 23;
        draw.y = 21;
        ASSERT_TRUE(RotateMatches(even, &mask, draw, 950u + static_cast<std::uint32_t>(t), &tally));
    }
    // Pixels left to either side by the fixed-point rounding stay rare.
    EXPECT_GT(tally.drawn, 5000);
    EXPECT_LT(tally.ambiguous * 100, tally.drawn) << tally.ambiguous << " of " << tally.drawn;
}

// The turn flag mirrors the image left to right through the quad path: the
// source's top-left corner goes where the unmirrored draw puts its
// top-right one, and so on. The corners, turned in double precision with
// the sine and cosine kept to 18 fraction bits and truncated to whole
// pixels, give the two triangles the triangle oracle checks.
TEST_P(RotateSweep, MirroredDrawsAreTheTrianglesOfTheTurnedCorners) {
    const ImageLayout layout = GetParam();
    SourceImage src(layout, 13, 7, 23);
    MaskImage mask(15, 9, 5);
    triangle_test::Tally tally;
    int checked = 0, n = 0;
    for (std::uint32_t mode = 0; mode < 5; ++mode)
        for (int t = 0; t < kTurningCount; ++t, ++n) {
            const Turning& turning = kTurnings[t];
            const int x = 20 + n % 7, y = 18 + n % 5;
            const double c = std::trunc(static_cast<double>(static_cast<float>(std::cos(turning.angle))) * 262144) / 262144;
            const double s = std::trunc(static_cast<double>(static_cast<float>(std::sin(turning.angle))) * 262144) / 262144;
            const double hw = 13 * static_cast<double>(turning.scale) / 2, hh = 7 * static_cast<double>(turning.scale) / 2;
            // Texture top-left, top-right, bottom-left, bottom-right.
            const double offsets[4][2] = {{hw, -hh}, {-hw, -hh}, {hw, hh}, {-hw, hh}};
            std::int32_t corners[8];
            bool clear = true;
            for (int i = 0; i < 4; ++i) {
                const double px = x + offsets[i][0] * c - offsets[i][1] * s;
                const double py = y + offsets[i][0] * s + offsets[i][1] * c;
                for (double v : {px, py}) {
                    const double off = std::fabs(v - std::round(v));
                    if (off > 0 && off < 1e-3) clear = false;  // single precision may truncate it either way
                }
                corners[2 * i] = static_cast<std::int32_t>(std::trunc(px));
                corners[2 * i + 1] = static_cast<std::int32_t>(std::trunc(py));
            }
            if (!clear) continue;
            ++checked;
            triangle_test::Draw draw;
            draw.texture = &src;
            draw.mask = n % 3 == 0 ? &mask : nullptr;
            draw.transparent = n % 2;
            draw.settings = SoftDrawSettings{n % 4 == 1 ? RECT{9, 7, 37, 30} : RECT{0, 0, kDestW, kDestH}, mode,
                                             static_cast<std::uint32_t>(n % 2 ? 255 : 100 + n),
                                             n % 5 == 2 ? 0x00C08040u : 0xFFFFFFu};
            TestImage dest(blit_test::DestLayoutFor(layout), kDestW, kDestH, 4, static_cast<std::uint32_t>(n));
            const std::vector<std::uint32_t> before = dest.Pixels();
            DrawRotateMemImg(dest.image(), src.image(), x, y, turning.angle, turning.scale, draw.transparent, 1,
                             draw.mask != nullptr ? mask.image() : nullptr, draw.settings);
            ASSERT_TRUE(triangle_test::PiecesMatch(dest, before, triangle_test::QuadTriangles(corners, 13, 7), draw, &tally))
                << "angle " << turning.angle << " scale " << turning.scale;
        }
    EXPECT_GT(checked, 60);
    EXPECT_GT(tally.drawn, 10000);
}

INSTANTIATE_TEST_SUITE_P(AllSourceKinds, RotateSweep, ::testing::ValuesIn(blit_test::kSourceLayouts));

// ---- draws that must leave the destination alone -------------------------------------------

TEST(RotateMemImg, RefusedDrawsLeaveTheDestinationUntouched) {
    SourceImage src16(ImageLayout::k16, 13, 7, 3), src32(ImageLayout::k32, 13, 7, 4);
    SourceImage pal16(ImageLayout::kPaletted16, 13, 7, 5), pal32(ImageLayout::kPaletted32, 13, 7, 6);
    TestImage dest16(ImageLayout::k16, kDestW, kDestH, 4, 7), dest32(ImageLayout::k32, kDestW, kDestH, 4, 8);
    TestImage palDest(ImageLayout::kPaletted16, kDestW, kDestH, 4, 9), alphaDest(ImageLayout::kAlpha32, kDestW, kDestH, 4, 10);
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    const SoftDrawSettings copy{RECT{0, 0, kDestW, kDestH}, 0, 255, 0xFFFFFF};
    struct Case {
        const char* what;
        TestImage* dest;
        SourceImage* src;
        float angle, scale;
        std::uint32_t mode, param;
        RECT area;
    };
    const RECT all{0, 0, kDestW, kDestH};
    const Case cases[] = {
        {"scale 0", &dest16, &src16, 0.5f, 0.0f, 0, 255, all},
        {"angle not a number", &dest16, &src16, nan, 1.0f, 0, 255, all},
        {"infinite angle", &dest32, &src32, inf, 1.0f, 0, 255, all},
        {"infinite scale", &dest16, &src16, 0.5f, inf, 0, 255, all},
        {"scale not a number", &dest16, &src16, 0.5f, nan, 0, 255, all},
        {"scale too small for the steps", &dest16, &src16, 0.5f, 1e-5f, 0, 255, all},
        {"16-bit source, 32-bit destination", &dest32, &src16, 0.5f, 1.0f, 0, 255, all},
        {"32-bit source, 16-bit destination", &dest16, &src32, 0.5f, 1.0f, 0, 255, all},
        {"paletted destination", &palDest, &pal16, 0.5f, 1.0f, 0, 255, all},
        {"destination with alpha", &alphaDest, &src32, 0.5f, 1.0f, 0, 255, all},
        {"blend mode 5", &dest16, &src16, 0.5f, 1.0f, 5, 255, all},
        {"alpha at 0", &dest16, &src16, 0.5f, 1.0f, 1, 0, all},
        {"add at 0", &dest32, &src32, 0.5f, 1.0f, 2, 0, all},
        {"subtract at 0", &dest16, &src16, 0.5f, 1.0f, 3, 0, all},
        {"subtract at 0, paletted 16-bit", &dest16, &pal16, 0.5f, 1.0f, 3, 0, all},
        {"subtract at 0, paletted 32-bit", &dest32, &pal32, 0.5f, 1.0f, 3, 0, all},
        {"box wholly outside the draw area", &dest16, &src16, 0.5f, 1.0f, 0, 255, RECT{0, 0, 8, 8}},
        {"empty draw area", &dest16, &src16, 0.5f, 1.0f, 0, 255, RECT{20, 20, 20, 30}},
    };
    for (const Case& c : cases) {
        const std::vector<std::uint8_t> bytes = c.dest->Bytes();
        SoftDrawSettings settings = copy;
        settings.blendMode = c.mode;
        settings.blendParam = c.param;
        settings.drawArea = c.area;
        DrawRotateMemImg(c.dest->image(), c.src->image(), 30, 25, c.angle, c.scale, 0, 0, nullptr, settings);
        EXPECT_EQ(c.dest->Bytes(), bytes) << c.what;
    }
    // A mask smaller than the source is not read past its end: nothing is
    // drawn.
    MaskImage small(12, 7, 2);
    const std::vector<std::uint8_t> bytes = dest16.Bytes();
    DrawRotateMemImg(dest16.image(), src16.image(), 24, 20, 0.3f, 1.0f, 0, 0, small.image(), copy);
    EXPECT_EQ(dest16.Bytes(), bytes) << "mask smaller than the source";
}

// An odd-sized source is sampled about its integer half size while the box
// comes from the exact corners: at large scales the image reaches past the
// box's margin (2 pixels left and above, 4 right and below), and what lies
// beyond the box is not drawn.
TEST(RotateMemImg, NothingIsDrawnBeyondTheWidenedBoxOfTheCorners) {
    SourceImage src(ImageLayout::k16, 3, 3, 15);
    MaskImage mask(3, 3, 5);
    Tally tally;
    struct Cut {
        float angle, scale;
        int x, y;
        int lastX, lastY, beyondX, beyondY;  // the last pixel drawn and the first cut, on the centre's row and column
    };
    // Angle 0, scale 11: columns x - 11 .. x + 21 show the source, the box
    // ends before x + 16 + 4. Angle pi, scale 9: x - 17 .. x + 9, the box
    // starts at x - 14 - 2.
    const Cut kCuts[] = {{0, 11, 20, 15, 39, 34, 40, 35}, {kPi, 9, 20, 20, 4, 4, 3, 3}};
    for (const Cut& c : kCuts) {
        TestImage dest(ImageLayout::k16, kDestW, kDestH, 4, 16);
        const std::vector<std::uint32_t> before = dest.Pixels();
        const SoftDrawSettings copy{RECT{0, 0, kDestW, kDestH}, 0, 255, 0xFFFFFF};
        DrawRotateMemImg(dest.image(), src.image(), c.x, c.y, c.angle, c.scale, 0, 0, nullptr, copy);
        EXPECT_NE(dest.Get(c.lastX, c.y), before[static_cast<std::size_t>(c.y * kDestW + c.lastX)]);
        EXPECT_NE(dest.Get(c.x, c.lastY), before[static_cast<std::size_t>(c.lastY * kDestW + c.x)]);
        EXPECT_EQ(dest.Get(c.beyondX, c.y), before[static_cast<std::size_t>(c.y * kDestW + c.beyondX)]);
        EXPECT_EQ(dest.Get(c.x, c.beyondY), before[static_cast<std::size_t>(c.beyondY * kDestW + c.x)]);

        RotateDraw draw;
        draw.x = c.x;
        draw.y = c.y;
        draw.turning = Turning{c.angle, c.scale, false};
        EXPECT_TRUE(RotateMatches(src, &mask, draw, 16, &tally));
    }
}

// ---- sources and centres the fixed-size set-up could not hold -----------------------------

TEST(RotateMemImg, ASourceOfMoreThan4096RowsIsSampledInFull) {
    SourceImage tall(ImageLayout::k16, 3, 5000, 12);
    MaskImage mask(3, 5000, 13);
    BuildBlendMaskTable(kMaskParam, kMaskRange);
    Tally tally;
    for (int y : {-2470, -2450, 2480}) {
        RotateDraw draw;
        draw.y = y;
        draw.turning = Turning{0, 1, true};
        draw.settings.blendMode = 2;
        draw.settings.blendParam = 200;
        draw.useMask = true;
        EXPECT_TRUE(RotateMatches(tall, &mask, draw, 31, &tally)) << y;
        draw.turning = Turning{kPi / 2, 2, true};
        draw.x = 2490;
        draw.y = 20;
        EXPECT_TRUE(RotateMatches(tall, &mask, draw, 32, &tally)) << y;
    }
    EXPECT_GT(tally.drawn, 200);
    BuildBlendMaskTable(0, 255);
}

TEST(RotateMemImg, FarCentresAndLargeScalesDoNotWrapPositionsBackIntoTheSource) {
    SourceImage src(ImageLayout::k32, 13, 7, 14);
    MaskImage mask(15, 9, 5);
    Tally tally;
    struct Far {
        int x, y;
        float angle, scale;
    };
    // Offsets of tens of thousands of pixels times 2^18 are far beyond 32
    // bits; a centre so far away that the image misses the destination
    // draws nothing, one whose huge image covers it draws its texels.
    const Far kFar[] = {{20000, 20, 0.2f, 3000.0f}, {-30000, -9000, 2.0f, 6000.0f}, {200000, 20, 0.2f, 2.0f},
                        {24, 20, 0.4f, 900000.0f},  {-2000000, 20, 1.0f, 1.0f}};
    for (const Far& f : kFar) {
        RotateDraw draw;
        draw.x = f.x;
        draw.y = f.y;
        draw.turning = Turning{f.angle, f.scale, false};
        EXPECT_TRUE(RotateMatches(src, &mask, draw, 40, &tally)) << f.x << ", " << f.y;
    }
    EXPECT_GT(tally.drawn, 1000);
}

}  // namespace
