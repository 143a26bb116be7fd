// The four-corner draw of a graphic and the triangle entry through the
// drawing operations: on a DirectDraw screen (the draw target opened as a
// work image) and on a software screen, each frame equal to the renderer
// drawing the same quad or triangle into an image of its own.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "core/utility.h"
#include "framework/graphics/draw/draw_ops_fixture.h"
#include "graphics/draw/draw_ops.h"
#include "graphics/draw/soft_bridge.h"
#include "softrender/sampled/triangle_memimg.h"

namespace {

using namespace draw_test;

constexpr int kGraphW = 20, kGraphH = 14;

std::uint16_t Pattern(int x, int y) {
    if ((2 * x + y) % 11 < 2) return 0;  // the colour key
    return static_cast<std::uint16_t>(((x * 3001 + y * 1733) & 0xFFFF) | 0x0821);
}

// Corners as FourCornerBlitGraph takes them: top-left, top-right,
// bottom-right, bottom-left.
struct Quad {
    float x[4], y[4];
};

class FourCornerDrawTest : public DrawOpsTest {
protected:
    void EveryQuadAndModeAsTheRenderer() {
        const Quad quads[] = {
            {{300, 340, 345, 296}, {200, 205, 230, 226}},                // a gentle warp
            {{100.9f, 160.2f, 150.7f, 90.4f}, {60.6f, 40.1f, 120.9f, 110.3f}},  // fractions truncate
            {{-30, 40, 35, -25}, {-20, -10, 50, 45}},                    // cut by the screen's corner
            {{400, 440, 400, 440}, {300, 300, 330, 330}},                // a bow tie
            {{10.9f, 60, 60, -0.9f}, {400, 400, 440, 440}},              // columns 10 and 0
        };
        for (int systemMemory = 0; systemMemory < 2; ++systemMemory) {
            HandleId g = MakeGraph(kGraphW, kGraphH, systemMemory, Pattern);
            int n = 0;
            for (const Quad& q : quads)
                for (int mode : {kBlendModeNone, kBlendModeAlpha, kBlendModeAdd, kBlendModeSubtract, kBlendModeMultiply}) {
                    SCOPED_TRACE(testing::Message() << "system memory " << systemMemory << " quad " << n / 5);
                    // Every fifth draw cuts the quad with a draw area about its
                    // middle.
                    const int mx = std::max(FloatToInt((q.x[0] + q.x[2]) / 2), 12);
                    const int my = std::max(FloatToInt((q.y[0] + q.y[2]) / 2), 8);
                    const RECT area = n++ % 5 == 3 ? RECT{mx - 12, my - 8, mx + 13, my + 9} : RECT{0, 0, 640, 480};
                    const std::int32_t corners[8] = {FloatToInt(q.x[0]), FloatToInt(q.y[0]), FloatToInt(q.x[1]),
                                                     FloatToInt(q.y[1]), FloatToInt(q.x[3]), FloatToInt(q.y[3]),
                                                     FloatToInt(q.x[2]), FloatToInt(q.y[2])};
                    const int changed = ExpectAsTheRenderer(
                        kGraphW, kGraphH, Pattern, area, mode, 150,
                        [&](MEMIMG* reference, const MEMIMG* source, const SoftDrawSettings& settings) {
                            // Two triangles each; the quad's own bounds test is
                            // left out, since every quad here reaches the area.
                            const TriangleVertex v[4] = {{corners[0], corners[1], 0, 0},
                                                         {corners[2], corners[3], kGraphW, 0},
                                                         {corners[4], corners[5], 0, kGraphH},
                                                         {corners[6], corners[7], kGraphW, kGraphH}};
                            DrawTriangleMemImg(reference, source, &v[0], 1, nullptr, 0, settings);
                            DrawTriangleMemImg(reference, source, &v[1], 1, nullptr, 0, settings);
                        },
                        [&] {
                            return FourCornerBlitGraph(q.x[0], q.y[0], q.x[1], q.y[1], q.x[2], q.y[2], q.x[3], q.y[3],
                                                       g, 1);
                        });
                    EXPECT_GT(changed, 10);
                }
            ApiReleaseGraph(g, 0);
        }
    }

    // A flat triangle (no graphic) in a screen colour, with its rightmost
    // column and lowest row at the corners.
    void FlatTrianglesAsTheRenderer() {
        const TriangleVertex v[3] = {{200, 100, 0, 0}, {260, 130, 0, 0}, {215, 170, 0, 0}};
        for (int mode : {kBlendModeNone, kBlendModeAlpha, kBlendModeAdd}) {
            const std::uint32_t colour = ApiMakeColorCode(200, 60, 250);
            const int changed = ExpectAsTheRenderer(
                1, 1, Pattern, RECT{0, 0, 640, 480}, mode, 120,
                [&](MEMIMG* reference, const MEMIMG*, const SoftDrawSettings& settings) {
                    DrawTriangleMemImg(reference, nullptr, v, 0, nullptr, colour, settings);
                },
                [&] { return SoftDrawTriangle(v, nullptr, 0, colour); });
            EXPECT_GT(changed, 1000);
        }
    }
};

TEST_F(FourCornerDrawTest, OnADirectDrawScreenTheOpenedTargetGetsWhatTheRendererDraws) {
    Start();
    ASSERT_EQ(IsScreenMemImg(), 0);
    EveryQuadAndModeAsTheRenderer();
    FlatTrianglesAsTheRenderer();
}

TEST_F(FourCornerDrawTest, OnASoftwareScreenTheRendererDrawsStraightIntoTheScreen) {
    PlatformDisplayKnobsRef().videoMemoryFails = true;
    Start();
    ASSERT_EQ(IsScreenMemImg(), 1);
    EveryQuadAndModeAsTheRenderer();
    FlatTrianglesAsTheRenderer();
}

TEST_F(FourCornerDrawTest, ABadHandleFailsAndTheEntriesReportWhatTheyCannotDraw) {
    Start();
    EXPECT_EQ(FourCornerBlitGraph(0, 0, 10, 0, 10, 10, 0, 10, 0x08001234, 0), -1);
    HandleId g = MakeGraph(kGraphW, kGraphH, 1, Pattern);
    // A triangle wholly outside the draw area cannot be opened; the
    // four-corner entries hide that and return 0.
    const TriangleVertex far[3] = {{2000, 10, 0, 0}, {2040, 10, 5, 0}, {2000, 40, 0, 5}};
    EXPECT_EQ(SoftDrawTriangle(far, LookupGraph(g), 0, 0), -1);
    EXPECT_EQ(SoftDrawFourCorner(2000, 10, 2040, 10, 2000, 40, 2040, 40, LookupGraph(g), 0), 0);
    EXPECT_EQ(FourCornerBlitGraph(2000, 10, 2040, 10, 2040, 40, 2000, 40, g, 0), 0);
    ApiReleaseGraph(g, 0);
}

}  // namespace
