// The unscaled blit's whole loop matrix against the per-pixel reference:
// every source kind, transparent flag, blend mode, parameter, bright colour
// and blend mask, with and without the bytewise full-strength forms, drawn
// unclipped (through the run list and without one) and clipped at both
// corners. Every destination pixel and guard byte is checked.

#include "softrender/blit/blit_memimg.h"

#include <gtest/gtest.h>

#include <sstream>

#include "framework/softrender/blit_reference.h"
#include "framework/softrender/blit_test_images.h"
#include "graphics/device/surface2d.h"
#include "softrender/render_tables.h"

namespace po = pixel_oracle;
namespace ref = blit_reference;
using blit_test::ImageLayout;
using blit_test::MaskImage;
using blit_test::SourceImage;
using blit_test::TestImage;

namespace {

constexpr int kDestW = 23, kDestH = 12;
constexpr std::uint32_t kMaskParam = blit_test::kSweepMaskParam, kMaskRange = blit_test::kSweepMaskRange;

struct Draw {
    int x = 0, y = 0;
    int transparent = 0;
    bool useMask = false;
    SoftDrawSettings settings{};
    int mmx = 0;
};

// Draws and checks every destination pixel against the reference.
::testing::AssertionResult DrawMatchesReference(SourceImage& src, MaskImage* mask, const Draw& draw,
                                                std::uint32_t destSeed) {
    const ImageLayout layout = src.layout();
    TestImage dest(blit_test::DestLayoutFor(layout), kDestW, kDestH, 4, destSeed);
    const std::vector<std::uint32_t> before = dest.Pixels();
    MEMIMG* srcImg = src.image();
    BlitMemImg(dest.image(), srcImg, draw.x, draw.y, draw.transparent, draw.useMask ? mask->image() : nullptr,
               draw.settings, draw.mmx);

    const RECT& area = draw.settings.drawArea;
    const int left = std::max({draw.x, static_cast<int>(area.left), 0});
    const int top = std::max({draw.y, static_cast<int>(area.top), 0});
    const int right = std::min({draw.x + srcImg->width, static_cast<int>(area.right), kDestW});
    const int bottom = std::min({draw.y + srcImg->height, static_cast<int>(area.bottom), kDestH});
    const bool whole = left == draw.x && top == draw.y && right == draw.x + srcImg->width &&
                       bottom == draw.y + srcImg->height;

    ref::BlitSettings s;
    s.kind = blit_test::KindOf(layout);
    s.paletted = blit_test::IsPaletted(layout);
    s.alphaChannel = blit_test::HasAlpha(layout);
    s.mode = draw.settings.blendMode;
    s.param = draw.settings.blendParam;
    s.bright = draw.settings.brightColor;
    s.mask = draw.useMask;
    s.transparent = draw.transparent;
    s.mmx = draw.mmx != 0;
    s.runList = draw.transparent == 1 && srcImg->runTableValid == 1 && whole;

    for (int y = 0; y < kDestH; ++y)
        for (int x = 0; x < kDestW; ++x) {
            const std::uint32_t old = before[static_cast<std::size_t>(y * kDestW + x)];
            std::uint32_t expected = old;
            if (x >= left && x < right && y >= top && y < bottom) {
                const int sx = x - draw.x, sy = y - draw.y;
                const std::uint32_t weight = draw.useMask ? po::MaskWeight(kMaskParam, kMaskRange, mask->At(sx, sy)) : 0;
                expected = ref::ExpectedPixel(s, src.At(sx, sy), src.key(), weight, old);
            }
            if (dest.Get(x, y) != expected) {
                std::ostringstream msg;
                msg << "dest (" << x << ", " << y << ") is 0x" << std::hex << dest.Get(x, y) << ", expected 0x"
                    << expected << " (was 0x" << old << ")" << std::dec << "; source layout "
                    << static_cast<int>(layout) << " at (" << draw.x << ", " << draw.y << ") mode "
                    << s.mode << " param " << s.param << " bright 0x" << std::hex << s.bright << std::dec
                    << " mask " << s.mask << " transparent " << s.transparent << " mmx " << s.mmx
                    << " run list " << s.runList;
                if (x >= left && x < right && y >= top && y < bottom) {
                    const ref::SourcePixel sp = src.At(x - draw.x, y - draw.y);
                    msg << std::hex << "; source raw 0x" << sp.raw << " colour 0x" << sp.colour << std::dec
                        << " alpha " << sp.alpha;
                }
                return ::testing::AssertionFailure() << msg.str();
            }
        }
    if (!dest.GuardsIntact()) return ::testing::AssertionFailure() << "a guard byte of the destination changed";
    return ::testing::AssertionSuccess();
}

class BlitSweep : public ::testing::TestWithParam<ImageLayout> {
protected:
    void SetUp() override { BuildBlendMaskTable(kMaskParam, kMaskRange); }
    void TearDown() override {
        BuildBlendMaskTable(0, 255);
        SetBlitMemImgWideMoves(1);
    }
};

TEST_P(BlitSweep, EveryLoopMatchesTheReference) {
    const ImageLayout layout = GetParam();
    const bool is32 = blit_test::Is32(layout);
    // 13 x 6: rows of one full group of pixels and a tail, in both sizes.
    SourceImage withRuns(layout, 13, 6, 11);
    withRuns.BuildRunList();
    SourceImage withoutRuns(layout, 13, 6, 11);
    MaskImage mask(15, 8, 3);

    struct Placement {
        SourceImage* src;
        int x, y;
    };
    const Placement placements[] = {
        {&withRuns, 4, 3},     // unclipped: the run-list loops under transparent flag 1
        {&withoutRuns, 5, 2},  // unclipped, no run list: the general loops
        {&withRuns, -3, -2},   // clipped at the top left
        {&withRuns, 16, 8},    // clipped at the bottom right (7 x 4 visible)
        {&withRuns, 20, 9},    // 3 x 3 visible: shorter than any group of pixels
    };
    const std::uint32_t modes[] = {0, 1, 2, 3, 4, 5};
    const std::uint32_t params[] = {0, 1, 64, 100, 127, 128, 254, 255};
    const std::uint32_t brights[] = {0xFFFFFF, 0xFFFFFE, 0x40C080};
    const RECT area{0, 0, kDestW, kDestH};

    std::uint32_t seed = 100;
    for (int wide : {1, 0}) {
        for (const Placement& at : placements)
            for (std::uint32_t mode : modes)
                for (std::uint32_t param : params)
                    for (std::uint32_t bright : brights)
                        for (bool useMask : {false, true})
                            for (int transparent : {0, 1, 2})
                                for (int mmx : {0, 1}) {
                                    if (mmx == 1 && !is32) continue;
                                    Draw draw;
                                    draw.x = at.x;
                                    draw.y = at.y;
                                    draw.transparent = transparent;
                                    draw.useMask = useMask;
                                    draw.settings = SoftDrawSettings{area, mode, param, bright};
                                    draw.mmx = mmx;
                                    SetBlitMemImgWideMoves(wide);
                                    ASSERT_TRUE(DrawMatchesReference(*at.src, &mask, draw, ++seed)) << "wide moves " << wide;
                                }
    }
}

TEST_P(BlitSweep, RunListAndGeneralLoopsAgreeOutsideTheirKnownDifferences) {
    // The same unclipped draw through the run list and through the general
    // loops (the same pixels without a run list) gives the same result, except where
    // the two kinds of loop are defined differently: the half-weight alpha
    // at 128 and the full-strength add and subtract at 255 (general loops,
    // no mask, white, no alpha channel), and 16-bit alpha without mask with
    // white, where the general loops mix by 64 levels and the run list by
    // the signed difference (sources without alpha channel).
    const ImageLayout layout = GetParam();
    const bool is32 = blit_test::Is32(layout), alpha = blit_test::HasAlpha(layout);
    SourceImage src(layout, 13, 6, 41), noRuns(layout, 13, 6, 41);
    src.BuildRunList();
    MaskImage mask(13, 6, 6);
    const RECT area{0, 0, kDestW, kDestH};
    for (std::uint32_t mode = 0; mode <= 4; ++mode)
        for (std::uint32_t param : {1u, 77u, 128u, 200u, 255u})
            for (std::uint32_t bright : {0xFFFFFFu, 0x9090FFu})
                for (bool useMask : {false, true})
                    for (int mmx : {0, 1}) {
                        const bool white = bright == 0xFFFFFF;
                        const bool plain = !useMask && white && !alpha;
                        const bool differs = (plain && mode == 1 && param == 128) ||
                                             (plain && (mode == 2 || mode == 3) && param == 255) ||
                                             (plain && !is32 && mode == 1 && param != 255);
                        if (differs) continue;
                        const SoftDrawSettings settings{area, mode, param, bright};
                        TestImage viaRuns(blit_test::DestLayoutFor(layout), kDestW, kDestH, 0, mode + param);
                        TestImage general(blit_test::DestLayoutFor(layout), kDestW, kDestH, 0, mode + param);
                        MEMIMG* m = useMask ? mask.image() : nullptr;
                        BlitMemImg(viaRuns.image(), src.image(), 3, 2, 1, m, settings, mmx);
                        BlitMemImg(general.image(), noRuns.image(), 3, 2, 1, m, settings, mmx);
                        ASSERT_EQ(viaRuns.Pixels(), general.Pixels())
                            << "mode " << mode << " param " << param << " bright " << std::hex << bright << std::dec
                            << " mask " << useMask << " mmx " << mmx;
                    }
}

// Sources with a colour key (no alpha channel).
class BlitKeySweep : public BlitSweep {};

TEST_P(BlitKeySweep, KeyOutsideThePixelRangeMakesNoPixelTransparent) {
    // An image without a transparent colour carries -1. The highest index,
    // the 16-bit value 0xFFFF and the 32-bit value 0xFFFFFFFF are then
    // ordinary colours in every loop.
    const ImageLayout layout = GetParam();
    SourceImage src(layout, 13, 6, 21, /*keyOutOfRange=*/true);
    src.BuildRunList();
    MaskImage mask(13, 6, 4);
    const RECT area{0, 0, kDestW, kDestH};
    std::uint32_t seed = 900;
    for (int x : {2, -1})
        for (std::uint32_t mode = 0; mode <= 4; ++mode)
            for (std::uint32_t param : {1u, 128u, 200u, 255u})
                for (std::uint32_t bright : {0xFFFFFFu, 0x808080u})
                    for (bool useMask : {false, true}) {
                        Draw draw;
                        draw.x = x;
                        draw.y = 1;
                        draw.transparent = 1;
                        draw.useMask = useMask;
                        draw.settings = SoftDrawSettings{area, mode, param, bright};
                        draw.mmx = 1;
                        ASSERT_TRUE(DrawMatchesReference(src, &mask, draw, ++seed));
                    }
}

TEST_P(BlitSweep, LongRowsAndRunsOfSixtyFourPixels) {
    // Rows wider than one run, so opaque and transparent stretches are split
    // into runs of 64, through the run list and through the general loops.
    const ImageLayout layout = GetParam();
    SourceImage src(layout, 70, 3, 31);
    for (int x = 0; x < 70; ++x) {
        src.SetColour(x, 0, 0x12345678u + static_cast<std::uint32_t>(x) * 0x01030507u, 255);
        if (blit_test::HasAlpha(layout)) src.SetColour(x, 1, 0, 0);
        else src.pixels().Set(x, 1, src.key());
    }
    src.BuildRunList();
    for (int wide : {1, 0}) {
        for (std::uint32_t mode = 0; mode <= 4; ++mode)
            for (std::uint32_t param : {100u, 128u, 255u})
                for (std::uint32_t bright : {0xFFFFFFu, 0xC08040u})
                    for (int transparent : {0, 1}) {
                        SetBlitMemImgWideMoves(wide);
                        const SoftDrawSettings settings{RECT{0, 0, 80, 5}, mode, param, bright};
                        TestImage dest(blit_test::DestLayoutFor(layout), 80, 5, 4, mode * 7 + param);
                        const std::vector<std::uint32_t> before = dest.Pixels();
                        BlitMemImg(dest.image(), src.image(), 5, 1, transparent, nullptr, settings, 1);
                        ref::BlitSettings s;
                        s.kind = blit_test::KindOf(layout);
                        s.paletted = blit_test::IsPaletted(layout);
                        s.alphaChannel = blit_test::HasAlpha(layout);
                        s.mode = mode;
                        s.param = param;
                        s.bright = bright;
                        s.transparent = transparent;
                        s.mmx = true;
                        s.runList = transparent == 1;
                        for (int y = 0; y < 5; ++y)
                            for (int x = 0; x < 80; ++x) {
                                const std::uint32_t old = before[static_cast<std::size_t>(y * 80 + x)];
                                const bool inside = x >= 5 && x < 75 && y >= 1 && y < 4;
                                const std::uint32_t expected =
                                    inside ? ref::ExpectedPixel(s, src.At(x - 5, y - 1), src.key(), 0, old) : old;
                                ASSERT_EQ(dest.Get(x, y), expected)
                                    << "(" << x << ", " << y << ") mode " << mode << " param " << param << " bright "
                                    << std::hex << bright << std::dec << " transparent " << transparent;
                            }
                        ASSERT_TRUE(dest.GuardsIntact());
                    }
    }
}

std::string LayoutName(const ::testing::TestParamInfo<ImageLayout>& info) {
    static const char* const kNames[] = {"Direct16", "Direct32", "Paletted16", "Paletted32", "Alpha16", "Alpha32"};
    return kNames[static_cast<int>(info.param)];
}

INSTANTIATE_TEST_SUITE_P(SourceKinds, BlitSweep,
                         ::testing::Values(ImageLayout::k16, ImageLayout::k32, ImageLayout::kPaletted16,
                                           ImageLayout::kPaletted32, ImageLayout::kAlpha16, ImageLayout::kAlpha32),
                         LayoutName);
INSTANTIATE_TEST_SUITE_P(KeyedSourceKinds, BlitKeySweep,
                         ::testing::Values(ImageLayout::k16, ImageLayout::k32, ImageLayout::kPaletted16,
                                           ImageLayout::kPaletted32),
                         LayoutName);

}  // namespace
