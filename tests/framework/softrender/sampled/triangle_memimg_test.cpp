// The triangle rasteriser against exact rational edges and the texture map
// in double precision: random triangles (slivers, degenerate ones, far off
// the destination and clipped) and quads, for every source kind, the flat
// colour and every loop; every destination pixel and guard byte is checked.
// Then the drawing rules' own examples of spans, rows and shared sides.

#include "softrender/sampled/triangle_memimg.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "framework/softrender/sampled/triangle_test_support.h"
#include "graphics/device/surface2d.h"
#include "softrender/blit/blit_memimg.h"
#include "softrender/sampled/rotate_memimg.h"

using blit_test::ImageLayout;
using blit_test::MaskImage;
using blit_test::SourceImage;
using blit_test::TestImage;
using triangle_reference::Corner;
using triangle_test::Draw;
using triangle_test::Tally;

namespace {

constexpr int kDestW = 48, kDestH = 40;
constexpr int kTexW = 11, kTexH = 9;
const RECT kWhole{0, 0, kDestW, kDestH};
const RECT kInset{7, 5, 37, 31};

// Random corners of a few kinds, drawn in turn.
class Shapes {
public:
    explicit Shapes(std::uint32_t seed) : rng_(seed) {}

    void Triangle(int kind, Corner out[3]) {
        for (int i = 0; i < 3; ++i) out[i] = Corner{X(), Y(), U(), V()};
        switch (kind % 6) {
        case 1: {  // a sliver: the third corner close to the line of the other two
            const int k = Pick(-3, 3);
            out[2].x = out[0].x + (out[1].x - out[0].x) * 2 + k;
            out[2].y = out[0].y + (out[1].y - out[0].y) * 2 + (k == 0 ? 1 : 0);
            break;
        }
        case 2:  // degenerate: on one line
            out[2].x = out[0].x * 2 - out[1].x;
            out[2].y = out[0].y * 2 - out[1].y;
            break;
        case 3: {  // far off the destination, crossing it
            out[0].x = Pick(-8192, -7000);
            out[0].y = Pick(-8000, 8000);
            out[1].x = Pick(7000, 8191);
            out[1].y = Pick(-300, 300);
            out[2].x = Pick(-50, 100);
            out[2].y = Pick(-8192, 8191);
            break;
        }
        case 4:  // a corner above and left of the destination
            out[0].x = Pick(-30, -1);
            out[0].y = Pick(-30, -1);
            break;
        default: break;
        }
    }

    void Quad(int kind, std::int32_t c[8]) {
        if (kind % 3 == 0) {  // axis-aligned at the texture's size
            const int x = Pick(-8, 40), y = Pick(-6, 34);
            const std::int32_t q[8] = {x, y, x + kTexW, y, x, y + kTexH, x + kTexW, y + kTexH};
            for (int i = 0; i < 8; ++i) c[i] = q[i];
            return;
        }
        for (int i = 0; i < 4; ++i) {
            c[2 * i] = X();
            c[2 * i + 1] = Y();
        }
    }

private:
    int Pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
    int X() { return Pick(-15, kDestW + 14); }
    int Y() { return Pick(-12, kDestH + 12); }
    int U() { return Pick(-3, kTexW + 3); }
    int V() { return Pick(-3, kTexH + 3); }
    std::mt19937 rng_;
};

class TriangleSweep : public ::testing::TestWithParam<ImageLayout> {
protected:
    void SetUp() override { BuildBlendMaskTable(triangle_test::kMaskParam, triangle_test::kMaskRange); }
    void TearDown() override { BuildBlendMaskTable(0, 255); }
};

TEST_P(TriangleSweep, EveryLoopOnRandomTrianglesAndQuadsMatchesTheOracle) {
    const ImageLayout layout = GetParam();
    SourceImage texture(layout, kTexW, kTexH, 31);
    MaskImage mask(kTexW + 2, kTexH + 1, 7);
    static const std::uint32_t kParams[] = {1, 2, 127, 128, 200, 254, 255};
    static const std::uint32_t kBrights[] = {0xFFFFFF, 0x00FFFFFE, 0x00C08040, 0x0180FF30};
    Shapes shapes(static_cast<std::uint32_t>(layout) * 101u + 5u);
    Tally tally;
    int n = 0;
    for (std::uint32_t mode = 0; mode < 5; ++mode)
        for (int maskOn = 0; maskOn < 2; ++maskOn)
            for (int brightOn = 0; brightOn < 2; ++brightOn)
                for (int trans = 0; trans < 2; ++trans)
                    for (int pass = 0; pass < 8; ++pass, ++n) {
                        Draw draw;
                        draw.texture = &texture;
                        draw.mask = maskOn ? &mask : nullptr;
                        draw.transparent = trans ? (pass == 3 ? 9 : 1) : 0;
                        draw.settings.drawArea = pass % 4 == 1 ? kInset : kWhole;
                        draw.settings.blendMode = mode;
                        draw.settings.blendParam = kParams[(n + pass) % 7];
                        draw.settings.brightColor = brightOn ? kBrights[1 + (n + pass) % 3] : kBrights[0];
                        draw.quad = pass >= 6;
                        if (draw.quad) shapes.Quad(n + pass, draw.corners);
                        else shapes.Triangle(n + pass, draw.triangle);
                        TestImage dest(blit_test::DestLayoutFor(layout), kDestW, kDestH, 4, static_cast<std::uint32_t>(n));
                        ASSERT_TRUE(triangle_test::DrawMatches(dest, draw, &tally)) << "draw " << n;
                    }
    EXPECT_GT(tally.drawn, 20000);
    EXPECT_LT(tally.ambiguous * 20, tally.drawn) << tally.ambiguous << " of " << tally.drawn;
}

INSTANTIATE_TEST_SUITE_P(AllSourceKinds, TriangleSweep, ::testing::ValuesIn(blit_test::kSourceLayouts));

TEST(TriangleMemImg, FlatTrianglesMatchTheOracleInEveryMode) {
    Shapes shapes(77);
    Tally tally;
    static const std::uint32_t kParams[] = {0, 1, 128, 254, 255};
    static const std::uint32_t kBrights[] = {0xFFFFFF, 0xFF0000, 0x123456, 0x00FFFFFE};
    int n = 0;
    for (ImageLayout layout : {ImageLayout::k16, ImageLayout::k32})
        for (std::uint32_t mode = 0; mode < 6; ++mode)
            for (int pass = 0; pass < 10; ++pass, ++n) {
                Draw draw;
                draw.colour = 0xA5C3E19Fu;  // upper half ignored in 16-bit
                draw.transparent = pass % 2;
                draw.settings.drawArea = pass % 3 == 1 ? kInset : kWhole;
                draw.settings.blendMode = mode;
                draw.settings.blendParam = kParams[(n + pass) % 5];
                draw.settings.brightColor = kBrights[(n + pass) % 4];
                shapes.Triangle(n, draw.triangle);
                TestImage dest(layout, kDestW, kDestH, 4, static_cast<std::uint32_t>(n));
                ASSERT_TRUE(triangle_test::DrawMatches(dest, draw, &tally)) << "draw " << n;
            }
    EXPECT_GT(tally.drawn, 5000);
}

// ---- the drawing rules' own examples --------------------------------------------

// The columns a flat copy of colour 1 covers in each row of a zeroed image.
std::vector<std::pair<int, int>> Spans(const std::vector<Corner>& corners, int rows, int rowOffset = 0) {
    TestImage dest(ImageLayout::k16, 32, 32, 4, 1);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) dest.Set(x, y, 0);
    TriangleVertex v[3];
    for (int i = 0; i < 3; ++i) v[i] = TriangleVertex{corners[i].x, corners[i].y, corners[i].u, corners[i].v};
    DrawTriangleMemImg(dest.image(), nullptr, v, 0, nullptr, 1, SoftDrawSettings{RECT{0, 0, 32, 32}, 0, 255, 0xFFFFFF});
    std::vector<std::pair<int, int>> spans;
    for (int y = rowOffset; y < rowOffset + rows; ++y) {
        int first = -1, last = -1;
        for (int x = 0; x < 32; ++x)
            if (dest.Get(x, y) == 1) {
                if (first < 0) first = x;
                last = x;
            }
        spans.emplace_back(first, last);
    }
    return spans;
}

using SpanList = std::vector<std::pair<int, int>>;

TEST(TriangleMemImg, SpansCoverBothEndsFromTheTopCornerRowToAboveTheBottomOne) {
    EXPECT_EQ(Spans({{0, 0, 0, 0}, {4, 2, 0, 0}, {0, 4, 0, 0}}, 5), (SpanList{{0, 0}, {0, 2}, {0, 4}, {0, 2}, {-1, -1}}));
    EXPECT_EQ(Spans({{4, 0, 0, 0}, {0, 2, 0, 0}, {4, 4, 0, 0}}, 5), (SpanList{{4, 4}, {2, 4}, {0, 4}, {2, 4}, {-1, -1}}));
    SpanList right;
    for (int y = 0; y < 10; ++y) right.emplace_back(0, 10 - y);
    right.emplace_back(-1, -1);
    EXPECT_EQ(Spans({{0, 0, 0, 0}, {10, 0, 0, 0}, {0, 10, 0, 0}}, 11), right);
    // Corners on one row, or on one line, draw nothing.
    EXPECT_EQ(Spans({{1, 3, 0, 0}, {9, 3, 0, 0}, {20, 3, 0, 0}}, 1), (SpanList{{-1, -1}}));
    EXPECT_EQ(Spans({{1, 1, 0, 0}, {5, 5, 0, 0}, {9, 9, 0, 0}}, 10)[4], std::make_pair(-1, -1));
    // A top corner above row 0: at y = -1 the first row drawn is 0 (and the
    // rows run one lower); at y = -3 it is -2.
    EXPECT_EQ(Spans({{0, -1, 0, 0}, {8, -1, 0, 0}, {0, 7, 0, 0}}, 9),
              (SpanList{{0, 8}, {0, 7}, {0, 6}, {0, 5}, {0, 4}, {0, 3}, {0, 2}, {0, 1}, {-1, -1}}));
    EXPECT_EQ(Spans({{0, -3, 0, 0}, {8, -3, 0, 0}, {0, 5, 0, 0}}, 7),
              (SpanList{{0, 6}, {0, 5}, {0, 4}, {0, 3}, {0, 2}, {0, 1}, {-1, -1}}));
}

TEST(TriangleMemImg, TexelsFollowThePositionsAndAreClippedWithTheirSpans) {
    // Texels equal to the positions: pixel (x, y) takes texel (x, y).
    SourceImage texture(ImageLayout::k32, 12, 11, 3);
    TestImage dest(ImageLayout::k32, 20, 16, 4, 4);
    const TriangleVertex v[3] = {{0, 0, 0, 0}, {10, 0, 10, 0}, {0, 10, 0, 10}};
    DrawTriangleMemImg(dest.image(), texture.image(), v, 0, nullptr, 0, SoftDrawSettings{RECT{0, 0, 20, 16}, 0, 255, 0xFFFFFF});
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x <= 10 - y; ++x) ASSERT_EQ(dest.Get(x, y), texture.At(x, y).colour) << x << ", " << y;
    // A span starting left of the draw area starts at its edge, with the
    // texel of that column; nothing left of or above the area changes.
    TestImage clipped(ImageLayout::k32, 20, 16, 4, 4), fresh(ImageLayout::k32, 20, 16, 4, 4);
    DrawTriangleMemImg(clipped.image(), texture.image(), v, 0, nullptr, 0, SoftDrawSettings{RECT{3, 2, 20, 16}, 0, 255, 0xFFFFFF});
    for (int y = 0; y < 10; ++y) {
        EXPECT_EQ(clipped.Get(2, y), fresh.Get(2, y)) << y;
        if (y >= 2) {
            if (y <= 7) {
                EXPECT_EQ(clipped.Get(3, y), texture.At(3, y).colour) << y;
            }
        } else {
            EXPECT_EQ(clipped.Get(5, y), fresh.Get(5, y)) << y;
        }
    }
}

TEST(TriangleMemImg, AQuadAtTheTextureSizeIsTheUnscaledDrawAndItsDiagonalIsDrawnTwice) {
    SourceImage texture(ImageLayout::k16, kTexW, kTexH, 9);
    for (int transparent : {0, 1}) {
        TestImage quad(ImageLayout::k16, kDestW, kDestH, 4, 5), blit(ImageLayout::k16, kDestW, kDestH, 4, 5);
        const SoftDrawSettings copy{kWhole, 0, 255, 0xFFFFFF};
        const std::int32_t corners[8] = {7, 5, 7 + kTexW, 5, 7, 5 + kTexH, 7 + kTexW, 5 + kTexH};
        DrawQuadMemImg(quad.image(), texture.image(), corners, transparent, nullptr, copy);
        BlitMemImg(blit.image(), texture.image(), 7, 5, transparent, nullptr, copy, 0);
        EXPECT_EQ(quad.Pixels(), blit.Pixels()) << transparent;
    }
    // Under add, the pixels of the shared side get the texel twice.
    TestImage dest(ImageLayout::k16, kDestW, kDestH, 4, 5);
    for (int y = 0; y < kDestH; ++y)
        for (int x = 0; x < kDestW; ++x) dest.Set(x, y, 0);
    SourceImage ones(ImageLayout::k16, 8, 8, 2);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) ones.pixels().Set(x, y, 1);
    const std::int32_t corners[8] = {0, 0, 8, 0, 0, 8, 8, 8};
    DrawQuadMemImg(dest.image(), ones.image(), corners, 0, nullptr, SoftDrawSettings{kWhole, 2, 255, 0xFFFFFF});
    int twice = 0;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            ASSERT_GE(dest.Get(x, y), 1u) << x << ", " << y;
            if (dest.Get(x, y) == 2) {
                ++twice;
                EXPECT_EQ(x + y, 8) << "twice at " << x << ", " << y;  // the side from top-right to bottom-left
            }
        }
    EXPECT_EQ(twice, 7);
}

// A top corner above row 0 with the middle corner on the left at or below
// it: the upper left side's rows run one lower than its corners (int(-0.5)
// is 0) and so reach the middle corner's row, where the lower side starts.
// That row is drawn once, by the lower side. Each shape is drawn twice: a
// texture of ones added onto black, so that every pixel counts its draws,
// and half alpha onto random pixels; both are held to the oracle.
TEST(TriangleMemImg, EachRowIsDrawnOnceWhenTheTopCornerLiesAboveRowZero) {
    struct Shape {
        const char* what;
        std::vector<Corner> triangle;  // or, when empty:
        std::int32_t quad[8];          // the corners of a quad (unless rotated)
        bool rotated = false;          // a mirrored rotated draw of the texture
    };
    const Shape shapes[] = {
        {"middle corner on row 0", {{20, -1, 0, 0}, {5, 0, 0, 8}, {30, 25, 10, 8}}, {}},
        {"top at -1, middle at 12", {{24, -1, 5, 0}, {2, 12, 0, 8}, {40, 30, 10, 4}}, {}},
        {"top at -3, middle at 6", {{25, -3, 0, 0}, {3, 6, 0, 8}, {35, 30, 10, 8}}, {}},
        {"top far above, middle at 10", {{10, -30, 0, 0}, {2, 10, 3, 8}, {40, 35, 10, 2}}, {}},
        {"middle corner left of the destination", {{12, -5, 0, 0}, {-9, 7, 0, 8}, {33, 20, 10, 8}}, {}},
        {"a quad whose second triangle has it", {}, {8, -6, 40, -2, 4, 20, 38, 34}},
        {"a quad turned the other way", {}, {30, -1, 44, 16, 2, 9, 20, 33}},
        {"a mirrored rotated draw over the top edge", {}, {}, true},
    };
    for (ImageLayout layout : {ImageLayout::k16, ImageLayout::k32}) {
        SourceImage ones(layout, kTexW, kTexH, 2), texture(layout, kTexW, kTexH, 8);
        for (int y = 0; y < kTexH; ++y)
            for (int x = 0; x < kTexW; ++x) ones.pixels().Set(x, y, 1);
        for (const Shape& shape : shapes) {
            std::vector<std::vector<Corner>> pieces;
            std::int32_t quad[8];
            if (shape.rotated) {
                ASSERT_TRUE(RotateTurnCorners(kTexW, kTexH, 24, 3, 0.4f, 2.0f, quad));
                pieces = triangle_test::QuadTriangles(quad, kTexW, kTexH);
            } else if (shape.triangle.empty()) {
                for (int i = 0; i < 8; ++i) quad[i] = shape.quad[i];
                pieces = triangle_test::QuadTriangles(quad, kTexW, kTexH);
            } else {
                pieces.push_back(shape.triangle);
            }
            for (SourceImage* tex : {&ones, &texture}) {
                const bool counting = tex == &ones;
                Draw draw;
                draw.texture = tex;
                draw.settings = SoftDrawSettings{kWhole, counting ? 2u : 1u, counting ? 255u : 128u, 0xFFFFFF};
                TestImage dest(layout, kDestW, kDestH, 4, 11);
                if (counting)
                    for (int y = 0; y < kDestH; ++y)
                        for (int x = 0; x < kDestW; ++x) dest.Set(x, y, 0);
                const std::vector<std::uint32_t> before = dest.Pixels();
                if (shape.rotated) {
                    DrawRotateMemImg(dest.image(), tex->image(), 24, 3, 0.4f, 2.0f, 0, 1, nullptr, draw.settings);
                } else if (shape.triangle.empty()) {
                    DrawQuadMemImg(dest.image(), tex->image(), quad, 0, nullptr, draw.settings);
                } else {
                    TriangleVertex v[3];
                    for (int i = 0; i < 3; ++i)
                        v[i] = TriangleVertex{shape.triangle[i].x, shape.triangle[i].y, shape.triangle[i].u,
                                              shape.triangle[i].v};
                    DrawTriangleMemImg(dest.image(), tex->image(), v, 0, nullptr, 0, draw.settings);
                }
                Tally tally;
                EXPECT_TRUE(triangle_test::PiecesMatch(dest, before, pieces, draw, &tally))
                    << shape.what << (counting ? ", counting draws" : ", half alpha");
                EXPECT_GT(tally.drawn, 100) << shape.what;
                if (counting && pieces.size() == 1) {
                    // A lone triangle draws no pixel twice.
                    for (int y = 0; y < kDestH; ++y)
                        for (int x = 0; x < kDestW; ++x)
                            EXPECT_LE(dest.Get(x, y), 1u) << shape.what << " at " << x << ", " << y;
                }
            }
        }
    }
}

TEST(TriangleMemImg, RefusedDrawsLeaveTheDestinationUntouched) {
    SourceImage tex16(ImageLayout::k16, kTexW, kTexH, 3), pal16(ImageLayout::kPaletted16, kTexW, kTexH, 4);
    SourceImage pal32(ImageLayout::kPaletted32, kTexW, kTexH, 5), tex32(ImageLayout::k32, kTexW, kTexH, 6);
    TestImage dest16(ImageLayout::k16, kDestW, kDestH, 4, 7), dest32(ImageLayout::k32, kDestW, kDestH, 4, 8);
    TestImage palDest(ImageLayout::kPaletted16, kDestW, kDestH, 4, 9), alphaDest(ImageLayout::kAlpha16, kDestW, kDestH, 4, 10);
    MaskImage small(kTexW - 1, kTexH, 2);
    struct Case {
        const char* what;
        TestImage* dest;
        SourceImage* tex;
        std::uint32_t mode, param;
        TriangleVertex v[3];
        MaskImage* mask = nullptr;
    };
    const TriangleVertex a{2, 2, 0, 0}, b{40, 5, 10, 0}, c{10, 35, 0, 8};
    const Case cases[] = {
        {"16-bit texture, 32-bit destination", &dest32, &tex16, 0, 255, {a, b, c}},
        {"32-bit texture, 16-bit destination", &dest16, &tex32, 0, 255, {a, b, c}},
        {"paletted destination", &palDest, &pal16, 0, 255, {a, b, c}},
        {"destination with alpha", &alphaDest, &tex16, 0, 255, {a, b, c}},
        {"flat into a paletted destination", &palDest, nullptr, 0, 255, {a, b, c}},
        {"blend mode 5", &dest16, &tex16, 5, 255, {a, b, c}},
        {"flat, blend mode 5", &dest16, nullptr, 5, 255, {a, b, c}},
        {"alpha at 0", &dest16, &tex16, 1, 0, {a, b, c}},
        {"add at 0", &dest16, &tex16, 2, 0, {a, b, c}},
        {"subtract at 0", &dest32, &tex32, 3, 0, {a, b, c}},
        {"subtract at 0, paletted 16-bit", &dest16, &pal16, 3, 0, {a, b, c}},
        {"subtract at 0, paletted 32-bit", &dest32, &pal32, 3, 0, {a, b, c}},
        {"flat subtract at 0", &dest16, nullptr, 3, 0, {a, b, c}},
        {"corners on one line", &dest16, &tex16, 0, 255, {{0, 0, 0, 0}, {10, 10, 5, 5}, {30, 30, 9, 9}}},
        {"a corner left of -8192", &dest16, &tex16, 0, 255, {{-8193, 0, 0, 0}, b, c}},
        {"a texel beyond 8191", &dest16, nullptr, 0, 255, {a, {40, 5, 8192, 0}, c}},
        {"a mask narrower than the texture", &dest16, &tex16, 0, 255, {a, b, c}, &small},
    };
    for (const Case& k : cases) {
        const std::vector<std::uint8_t> bytes = k.dest->Bytes();
        DrawTriangleMemImg(k.dest->image(), k.tex != nullptr ? k.tex->image() : nullptr, k.v, 0,
                           k.mask != nullptr ? k.mask->image() : nullptr, 0x1234,
                           SoftDrawSettings{kWhole, k.mode, k.param, 0xFFFFFF});
        EXPECT_EQ(k.dest->Bytes(), bytes) << k.what;
    }
}

}  // namespace
