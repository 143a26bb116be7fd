// The scaled blit's whole loop matrix against the per-pixel reference and a
// closed form of its stepping: every source kind, blend mode, parameter,
// bright colour, blend mask and transparent flag, at scales of 0.5, 0.7, 1,
// 1.3, 2 and 3 on each axis, plain and mirrored either way, unclipped and
// clipped at each edge of the draw area. Destination column j, counted from
// the unclipped left edge, must show source column floor(j * 65536 / x
// scale) (from the right edge when mirrored), and each pixel what the
// reference says that source pixel makes of it. Guard bytes must stay.

#include "softrender/scaled/blit_scaled.h"

#include <gtest/gtest.h>

#include <sstream>

#include "framework/softrender/blit_reference.h"
#include "framework/softrender/blit_test_images.h"
#include "graphics/device/surface2d.h"

namespace po = pixel_oracle;
namespace ref = blit_reference;
using blit_test::ImageLayout;
using blit_test::MaskImage;
using blit_test::SourceImage;
using blit_test::TestImage;

namespace {

constexpr int kSrcW = 7, kSrcH = 5;
constexpr int kDestW = 28, kDestH = 22;
const RECT kArea{2, 2, 26, 20};
constexpr std::uint32_t kMaskParam = 100, kMaskRange = 90;

// Scale factors in tenths, paired so that each appears on both axes; 10 x 10
// unmirrored is handed to the unscaled blit.
struct ScalePair {
    int x, y;
};
constexpr ScalePair kScales[] = {{5, 20}, {10, 30}, {13, 7}, {20, 5}, {30, 10}, {7, 13}, {10, 10}};

enum class Place { kInside, kLeft, kRight, kTop, kBottom };
constexpr Place kPlaces[] = {Place::kInside, Place::kLeft, Place::kRight, Place::kTop, Place::kBottom};

struct Geometry {
    int left, top, width, height;
    bool mirrorX, mirrorY;
    int corners[4];
};

Geometry MakeGeometry(ScalePair scale, Place place, bool mirrorX, bool mirrorY) {
    Geometry g{};
    g.width = kSrcW * scale.x / 10;
    g.height = kSrcH * scale.y / 10;
    const int areaW = kArea.right - kArea.left, areaH = kArea.bottom - kArea.top;
    g.left = kArea.left + (areaW - g.width) / 2;
    g.top = kArea.top + (areaH - g.height) / 2;
    // A third of the rectangle (at least one pixel) hangs past the edge.
    const int overX = g.width / 3 + 1, overY = g.height / 3 + 1;
    switch (place) {
    case Place::kInside: break;
    case Place::kLeft: g.left = kArea.left - overX; break;
    case Place::kRight: g.left = kArea.right - g.width + overX; break;
    case Place::kTop: g.top = kArea.top - overY; break;
    case Place::kBottom: g.top = kArea.bottom - g.height + overY; break;
    }
    g.mirrorX = mirrorX;
    g.mirrorY = mirrorY;
    const int right = g.left + g.width, bottom = g.top + g.height;
    g.corners[0] = mirrorX ? right : g.left;
    g.corners[2] = mirrorX ? g.left : right;
    g.corners[1] = mirrorY ? bottom : g.top;
    g.corners[3] = mirrorY ? g.top : bottom;
    return g;
}

// The source column (or row) that destination offset j from the unclipped
// edge shows, by the closed form.
int SourceIndex(std::int64_t j, int destSize, int srcSize, bool mirrored) {
    const std::int64_t scale = (std::int64_t{destSize} << 16) / srcSize;
    const int k = static_cast<int>((j << 16) / scale);
    return mirrored ? srcSize - 1 - k : k;
}

struct Draw {
    int transparent = 0;
    bool useMask = false;
    SoftDrawSettings settings{};
    int mmx = 0;
};

::testing::AssertionResult DrawMatchesReference(SourceImage& src, MaskImage& mask, const Geometry& g,
                                                const Draw& draw, std::uint32_t destSeed) {
    const ImageLayout layout = src.layout();
    TestImage dest(blit_test::DestLayoutFor(layout), kDestW, kDestH, 4, destSeed);
    const std::vector<std::uint32_t> before = dest.Pixels();
    DrawExtendMemImg(dest.image(), src.image(), g.corners, draw.transparent, draw.useMask ? mask.image() : nullptr,
                     draw.settings, draw.mmx);

    const int left = std::max(g.left, static_cast<int>(kArea.left));
    const int top = std::max(g.top, static_cast<int>(kArea.top));
    const int right = std::min(g.left + g.width, static_cast<int>(kArea.right));
    const int bottom = std::min(g.top + g.height, static_cast<int>(kArea.bottom));
    const bool unscaled = g.width == kSrcW && g.height == kSrcH && !g.mirrorX && !g.mirrorY;
    const bool whole = left == g.left && top == g.top && right == g.left + g.width && bottom == g.top + g.height;

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
    s.scaled = !unscaled;
    s.runList = unscaled && whole && draw.transparent == 1 && src.image()->runTableValid == 1;

    for (int y = 0; y < kDestH; ++y)
        for (int x = 0; x < kDestW; ++x) {
            const std::uint32_t old = before[static_cast<std::size_t>(y * kDestW + x)];
            std::uint32_t expected = old;
            const bool inside = x >= left && x < right && y >= top && y < bottom;
            int sx = 0, sy = 0;
            if (inside) {
                sx = SourceIndex(x - g.left, g.width, kSrcW, g.mirrorX);
                sy = SourceIndex(y - g.top, g.height, kSrcH, g.mirrorY);
                const std::uint32_t weight = draw.useMask ? po::MaskWeight(kMaskParam, kMaskRange, mask.At(sx, sy)) : 0;
                expected = ref::ExpectedPixel(s, src.At(sx, sy), src.key(), weight, old);
            }
            if (dest.Get(x, y) != expected) {
                std::ostringstream msg;
                msg << "dest (" << x << ", " << y << ") is 0x" << std::hex << dest.Get(x, y) << ", expected 0x"
                    << expected << " (was 0x" << old << ")" << std::dec << "; source layout "
                    << static_cast<int>(layout) << ", corners " << g.corners[0] << ", " << g.corners[1] << ", "
                    << g.corners[2] << ", " << g.corners[3] << ", mode " << s.mode << " param " << s.param
                    << " bright 0x" << std::hex << s.bright << std::dec << " mask " << s.mask << " transparent "
                    << s.transparent << " mmx " << s.mmx;
                if (inside) {
                    const ref::SourcePixel sp = src.At(sx, sy);
                    msg << "; source (" << sx << ", " << sy << ") raw 0x" << std::hex << sp.raw << " colour 0x"
                        << sp.colour << std::dec << " alpha " << sp.alpha;
                }
                return ::testing::AssertionFailure() << msg.str();
            }
        }
    if (!dest.GuardsIntact()) return ::testing::AssertionFailure() << "a guard byte of the destination changed";
    return ::testing::AssertionSuccess();
}

class ScaledBlitSweep : public ::testing::TestWithParam<ImageLayout> {
protected:
    void SetUp() override { BuildBlendMaskTable(kMaskParam, kMaskRange); }
    void TearDown() override { BuildBlendMaskTable(0, 255); }
};

TEST_P(ScaledBlitSweep, EveryLoopAtEveryScaleMirroredAndClippedMatchesTheReference) {
    const ImageLayout layout = GetParam();
    const bool is32 = blit_test::Is32(layout);
    SourceImage src(layout, kSrcW, kSrcH, 17);
    // The unscaled hand-off walks it when drawn whole with flag 1; the
    // scaled loops never do.
    src.BuildRunList();
    MaskImage mask(kSrcW + 2, kSrcH + 1, 5);

    struct ModeParams {
        std::uint32_t mode;
        std::vector<std::uint32_t> params;
    };
    const ModeParams modes[] = {{0, {255}},           {1, {1, 128, 200, 255}}, {2, {0, 100, 255}},
                                {3, {0, 77, 255}},    {4, {50}},               {5, {128}}};
    const std::uint32_t brights[] = {0xFFFFFF, 0x40C080};

    std::uint32_t seed = 7000;
    for (const ScalePair scale : kScales)
        for (const Place place : kPlaces)
            for (int mirror = 0; mirror < 4; ++mirror) {
                const Geometry g = MakeGeometry(scale, place, (mirror & 1) != 0, (mirror & 2) != 0);
                for (const ModeParams& mp : modes)
                    for (std::uint32_t param : mp.params)
                        for (std::uint32_t bright : brights)
                            for (bool useMask : {false, true})
                                for (int transparent : {0, 1, 2})
                                    for (int mmx : {0, 1}) {
                                        // The bytewise form exists only for 32-bit
                                        // full-strength subtract.
                                        if (mmx == 1 && !(is32 && mp.mode == 3 && param == 255)) continue;
                                        Draw draw;
                                        draw.transparent = transparent;
                                        draw.useMask = useMask;
                                        draw.settings = SoftDrawSettings{kArea, mp.mode, param, bright};
                                        draw.mmx = mmx;
                                        ASSERT_TRUE(DrawMatchesReference(src, mask, g, draw, ++seed));
                                    }
            }
}

// Sources with a colour key (no alpha channel).
class ScaledBlitKeySweep : public ScaledBlitSweep {};

TEST_P(ScaledBlitKeySweep, KeyOutsideThePixelRangeMakesNoPixelTransparent) {
    // Images made without a transparent colour carry -1: then the highest
    // index and the 16-bit word 0xFFFF are ordinary colours in every loop,
    // the plain copy's included.
    const ImageLayout layout = GetParam();
    SourceImage src(layout, kSrcW, kSrcH, 23, /*keyOutOfRange=*/true);
    MaskImage mask(kSrcW, kSrcH, 9);
    std::uint32_t seed = 9100;
    for (const ScalePair scale : {kScales[3], kScales[4]})
        for (std::uint32_t mode = 0; mode <= 4; ++mode)
            for (std::uint32_t bright : {0xFFFFFFu, 0x808080u})
                for (bool useMask : {false, true}) {
                    const Geometry g = MakeGeometry(scale, Place::kLeft, true, false);
                    Draw draw;
                    draw.transparent = 1;
                    draw.useMask = useMask;
                    draw.settings = SoftDrawSettings{kArea, mode, 255, bright};
                    ASSERT_TRUE(DrawMatchesReference(src, mask, g, draw, ++seed));
                }
}

std::string LayoutName(const ::testing::TestParamInfo<ImageLayout>& info) {
    static const char* const kNames[] = {"Direct16", "Direct32", "Paletted16", "Paletted32", "Alpha16", "Alpha32"};
    return kNames[static_cast<int>(info.param)];
}

INSTANTIATE_TEST_SUITE_P(SourceKinds, ScaledBlitSweep,
                         ::testing::Values(ImageLayout::k16, ImageLayout::k32, ImageLayout::kPaletted16,
                                           ImageLayout::kPaletted32, ImageLayout::kAlpha16, ImageLayout::kAlpha32),
                         LayoutName);
INSTANTIATE_TEST_SUITE_P(KeyedSourceKinds, ScaledBlitKeySweep,
                         ::testing::Values(ImageLayout::k16, ImageLayout::k32, ImageLayout::kPaletted16,
                                           ImageLayout::kPaletted32),
                         LayoutName);

}  // namespace
