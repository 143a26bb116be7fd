// The rotated draw of a graphic through the drawing operations: on a
// DirectDraw screen (the draw target opened as a work image, with the
// graphic held as a software image or as a DirectDraw surface) and on a
// software screen (drawn straight into the screen image), each frame equal
// to the renderer drawing the same pixels into an image of its own, with
// the draw area cutting the turned image.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "core/utility.h"
#include "framework/graphics/draw/draw_ops_fixture.h"
#include "graphics/draw/draw_ops.h"
#include "graphics/draw/graph_load.h"
#include "softrender/sampled/rotate_memimg.h"

namespace {

using namespace draw_test;

constexpr int kGraphW = 24, kGraphH = 12;

// Black (the colour key) in a diagonal band, colours elsewhere.
std::uint16_t Pattern(int x, int y) {
    if ((x + 2 * y) % 9 < 2) return 0;
    return static_cast<std::uint16_t>(((x * 2113 + y * 977) & 0xFFFF) | 0x0841);
}

struct Turned {
    float x, y;
    double scale, angle;
    int transparent, turn;
};

class RotateDrawTest : public DrawOpsTest {
protected:
    // The rotated draw of graph, whose pixels are those of the function
    // over w x h, against the renderer's.
    void ExpectAsTheRenderer(HandleId graph, int w, int h, const std::function<std::uint16_t(int, int)>& pixel,
                             const Turned& t, const RECT& area, int mode, int param) {
        const int changed = DrawOpsTest::ExpectAsTheRenderer(
            w, h, pixel, area, mode, param,
            [&](MEMIMG* reference, const MEMIMG* source, const SoftDrawSettings& settings) {
                DrawRotateMemImg(reference, source, FloatToInt(t.x), FloatToInt(t.y), static_cast<float>(t.angle),
                                 static_cast<float>(t.scale), t.transparent, t.turn, nullptr, settings);
            },
            [&] { return RotateBlitGraphF(t.x, t.y, t.scale, t.angle, graph, t.transparent, t.turn); });
        EXPECT_GT(changed, 20) << "centre " << t.x << ", " << t.y << " angle " << t.angle << " scale " << t.scale
                               << " turn " << t.turn;
    }

    void EveryTurnAndModeAsTheRenderer() {
        const Turned turns[] = {{320, 240, 1.3, 3.14159265 / 5, 1, 0}, {100.9f, 60.5f, 2.5, -1.1, 0, 0},
                                {320, 240, 0.5, 2.0, 1, 1},            {4, 3, 3.0, 0.3, 1, 0},
                                {10.9f, -0.5f, 1.0, 0.0, 0, 0}};
        for (int systemMemory = 0; systemMemory < 2; ++systemMemory) {
            HandleId g = MakeGraph(kGraphW, kGraphH, systemMemory, Pattern);
            int n = 0;
            for (const Turned& t : turns)
                for (int mode : {kBlendModeNone, kBlendModeAlpha, kBlendModeAdd, kBlendModeSubtract, kBlendModeMultiply}) {
                    SCOPED_TRACE(testing::Message() << "system memory " << systemMemory << " draw " << n);
                    // Every fifth draw has a draw area that cuts the turned
                    // image on every side.
                    const int cx = FloatToInt(t.x), cy = FloatToInt(t.y);
                    const RECT area = n++ % 5 == 0 ? RECT{std::max(cx - 10, 0), std::max(cy - 7, 0), cx + 11, cy + 7}
                                                   : RECT{0, 0, 640, 480};
                    ExpectAsTheRenderer(g, kGraphW, kGraphH, Pattern, t, area, mode, 170);
                }
            ApiReleaseGraph(g, 0);
        }
    }
};

TEST_F(RotateDrawTest, OnADirectDrawScreenTheOpenedTargetGetsWhatTheRendererDraws) {
    Start();
    ASSERT_EQ(IsScreenMemImg(), 0);
    EveryTurnAndModeAsTheRenderer();
}

TEST_F(RotateDrawTest, OnASoftwareScreenTheRendererDrawsStraightIntoTheScreen) {
    PlatformDisplayKnobsRef().videoMemoryFails = true;
    Start();
    ASSERT_EQ(IsScreenMemImg(), 1);
    EveryTurnAndModeAsTheRenderer();
}

TEST_F(RotateDrawTest, APartGraphicTurnsAboutItsOwnCentre) {
    Start();
    for (int systemMemory = 0; systemMemory < 2; ++systemMemory) {
        HandleId parent = MakeGraph(kGraphW, kGraphH, systemMemory, Pattern);
        HandleId part = MakePartGraph(8, 2, 12, 9, parent);
        ASSERT_GE(part, 0);
        ExpectAsTheRenderer(part, 12, 9, [](int x, int y) { return Pattern(x + 8, y + 2); },
                            Turned{200, 150, 2.0, 0.7, 1, 0}, RECT{0, 0, 640, 480}, kBlendModeNone, 0);
        ApiReleaseGraph(part, 0);
        ApiReleaseGraph(parent, 0);
    }
}

TEST_F(RotateDrawTest, DrawsThatCannotBeMadeFailAndEmptyOnesSucceed) {
    Start();
    HandleId g = MakeGraph(kGraphW, kGraphH, 1, Pattern);
    const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(ApiRotateBlitGraph(100, 100, 1.0, 0.5, 0x08001234, 1, 0), -1);
    EXPECT_EQ(ApiRotateBlitGraph(100, 100, 1.0, nan, g, 1, 0), -1);
    EXPECT_EQ(ApiRotateBlitGraph(100, 100, inf, 0.5, g, 1, 0), -1);
    // Scale 0 draws nothing but is a draw.
    EXPECT_EQ(ApiRotateBlitGraph(100, 100, 0.0, 0.5, g, 1, 0), 0);
    // Wholly outside the draw area: the target cannot be opened.
    EXPECT_EQ(ApiRotateBlitGraph(2000, 100, 1.0, 0.5, g, 1, 0), -1);
    const PlatformFrame& f = Present();
    for (int y = 80; y < 120; ++y)
        for (int x = 80; x < 120; ++x) ASSERT_EQ(f.Raw(x, y), kGrey) << x << ", " << y;
    ApiReleaseGraph(g, 0);

    // On a software screen the same draw outside is drawn into the screen
    // image, where nothing lands: a draw that drew nothing.
    ApiEndFramework();
    PlatformDisplayKnobsRef().videoMemoryFails = true;
    Start();
    g = MakeGraph(kGraphW, kGraphH, 1, Pattern);
    EXPECT_EQ(ApiRotateBlitGraph(2000, 100, 1.0, 0.5, g, 1, 0), 0);
    ApiReleaseGraph(g, 0);
}

}  // namespace
