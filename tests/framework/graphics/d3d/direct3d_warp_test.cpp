// Graphics deformed onto four corners on the Direct3D road: what is sent
// (a parallelogram as one quad, any other shape as a grid of triangle
// strips, joined and split where they must be), and that the shape is
// covered exactly once, each pixel counted by an additive blend, for one
// texture tile and several, mirrored or not.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "framework/graphics/d3d/direct3d_fixture.h"
#include "graphics/d3d/d3d_texture_draw.h"
#include "graphics/draw/draw_ops.h"
#include "kelvo/api.h"

namespace {

struct Point {
    double x, y;
};

// Where a pixel centre lies against the quadrilateral (corners in order
// round it): 1 inside, 0 outside, -1 too near an edge to say.
int Inside(const Point quad[4], double x, double y) {
    double area = 0;
    for (int i = 0; i < 4; ++i) area += quad[i].x * quad[(i + 1) % 4].y - quad[(i + 1) % 4].x * quad[i].y;
    int inside = 1;
    for (int i = 0; i < 4; ++i) {
        const Point a = quad[i], b = quad[(i + 1) % 4];
        const double length = std::hypot(b.x - a.x, b.y - a.y);
        const double side = ((b.x - a.x) * (y - a.y) - (b.y - a.y) * (x - a.x)) / length * (area > 0 ? 1 : -1);
        if (std::fabs(side) < 0.01) return -1;
        if (side < 0) inside = 0;
    }
    return inside;
}

class Direct3DWarpTest : public Direct3DFrameworkTest {
protected:
    void SetUp() override {
        Direct3DFrameworkTest::SetUp();
        Start();
        ASSERT_EQ(IsDirect3DUp(), 1);
        ASSERT_EQ(ApiSelectDrawTarget(kDrawTargetBack), 0);
        g_SystemState.backgroundRed = g_SystemState.backgroundGreen = g_SystemState.backgroundBlue = 0;
        ApiClearDrawTarget();
        EndDeviceScene();
        PlatformD3DKnobsRef().logCalls = true;
        PlatformD3DClearCallLog();
    }

    static HandleId White(int w, int h) {
        GraphImage image = MakeImage(w, h, [](int, int) { return 0xFFFFFFu; });
        const HandleId g = MakeGraphFromImages(&image, nullptr, 1, 0, 0);
        ReleaseBaseImage(&image);
        EXPECT_GT(g, 0);
        return g;
    }

    // The index counts of the strips sent, and the vertex counts of the
    // lists sent.
    static std::vector<int> Sent(D3DCall kind) {
        std::vector<int> out;
        for (const D3DCallRecord& c : PlatformD3DCallLog())
            if (c.call == kind) out.push_back(static_cast<int>(c.b));
        return out;
    }

    // Every pixel centre inside the shape drawn once, none outside.
    static void ExpectCoveredOnce(const Point quad[4]) {
        EndDeviceScene();
        D_DDSURFACEDESC2 desc{};
        desc.dwSize = sizeof desc;
        ASSERT_EQ(g_ScreenDevice.back->Lock(nullptr, &desc, D_DDLOCK_WAIT, nullptr), D_DD_OK);
        int wrong = 0, inside = 0, firstX = -1, firstY = -1;
        for (int y = 0; y < 480; ++y)
            for (int x = 0; x < 640; ++x) {
                const int in = Inside(quad, x, y);
                if (in < 0) continue;
                std::uint16_t v;
                std::memcpy(&v, static_cast<std::uint8_t*>(desc.lpSurface) + y * desc.lPitch + x * 2, 2);
                inside += in;
                if ((v & 31) != static_cast<std::uint16_t>(in) && wrong++ == 0) firstX = x, firstY = y;
            }
        g_ScreenDevice.back->Unlock(nullptr);
        EXPECT_EQ(wrong, 0) << "first at " << firstX << "," << firstY;
        EXPECT_GT(inside, 1000);
    }
};

struct WarpCase {
    const char* name;
    int width, height;  // of the white graphic
    Point corners[4];   // top-left, top-right, bottom-right, bottom-left
    std::vector<int> strips;  // index counts of the strips sent
    std::vector<int> lists;   // vertex counts of the lists sent
};

// An 8 x 8 grid is 7 row pairs of 16 indices, joined by 2 each.
const WarpCase kWarpCases[] = {
    {"trapezoid", 32, 32, {{100.3, 50.2}, {220.6, 60.1}, {260.2, 180.7}, {80.4, 170.3}}, {124}, {}},
    {"parallelogram", 32, 32, {{300.25, 40.5}, {400.25, 60.5}, {420.25, 160.5}, {320.25, 140.5}}, {}, {6}},
    {"mirrored trapezoid", 32, 32, {{600.2, 40.3}, {480.7, 50.6}, {470.1, 190.2}, {610.3, 180.9}}, {124}, {}},
    {"mirrored parallelogram", 32, 32, {{630.25, 240.5}, {530.25, 260.5}, {510.25, 360.5}, {610.25, 340.5}}, {}, {6}},
    {"three tiles onto a trapezoid", 700, 40, {{30.3, 250.2}, {610.7, 260.4}, {560.2, 420.6}, {60.9, 400.1}},
     {124, 124, 124}, {}},
};

class Direct3DWarpCaseTest : public Direct3DWarpTest, public testing::WithParamInterface<WarpCase> {};

TEST_P(Direct3DWarpCaseTest, SendsTheShapeAndCoversItOnce) {
    const WarpCase& c = GetParam();
    const HandleId g = White(c.width, c.height);
    ASSERT_EQ(LookupGraph(g)->storageCount, static_cast<int>(std::max(c.strips.size(), c.lists.size())));
    ApiSetBlendModeParam(kBlendModeAdd, 8);  // one blue step a fragment
    PlatformD3DClearCallLog();
    const Point* p = c.corners;
    ASSERT_EQ(FourCornerBlitGraph(static_cast<float>(p[0].x), static_cast<float>(p[0].y), static_cast<float>(p[1].x),
                                  static_cast<float>(p[1].y), static_cast<float>(p[2].x), static_cast<float>(p[2].y),
                                  static_cast<float>(p[3].x), static_cast<float>(p[3].y), g, 0),
              0);
    EndDeviceScene();
    EXPECT_EQ(Sent(D3DCall::DrawIndexedPrimitive), c.strips);
    EXPECT_EQ(Sent(D3DCall::DrawPrimitive), c.lists);
    ExpectCoveredOnce(c.corners);
}

INSTANTIATE_TEST_SUITE_P(Shapes, Direct3DWarpCaseTest, testing::ValuesIn(kWarpCases),
                         [](const testing::TestParamInfo<WarpCase>& info) {
                             std::string name;
                             for (const char* q = info.param.name; *q != '\0'; ++q)
                                 if (std::isalnum(static_cast<unsigned char>(*q))) name += *q;
                             return name;
                         });

// A grid too long for one send of strips: sent in pieces of at most 1000
// indices, every row pair once, still covering its rectangle once.
TEST_F(Direct3DWarpTest, LongGridsAreSentInPiecesThatStillCoverThemOnce) {
    const HandleId g = White(32, 32);
    ApiSetBlendModeParam(kBlendModeAdd, 8);
    // A draw first, for the texture and states of a textured grid.
    ASSERT_EQ(FourCornerBlitGraph(0.4f, 0.3f, 2.6f, 0.2f, 2.4f, 2.7f, 0.3f, 2.2f, g, 0), 0);
    EndDeviceScene();
    ApiClearDrawTarget();
    EndDeviceScene();
    constexpr int kColumns = 8, kRows = 80;
    const Point rect[4] = {{20.3, 30.2}, {300.7, 30.2}, {300.7, 430.6}, {20.3, 430.6}};
    std::vector<Vertex28> grid;
    for (int r = 0; r < kRows; ++r)
        for (int k = 0; k < kColumns; ++k) {
            const float x = static_cast<float>(rect[0].x + (rect[1].x - rect[0].x) * k / (kColumns - 1));
            const float y = static_cast<float>(rect[0].y + (rect[3].y - rect[0].y) * r / (kRows - 1));
            grid.push_back(Vertex28{x, y, 0.2f, 1.0f, g_Direct3D.drawColor, 0.5f, 0.5f});
        }
    PlatformD3DClearCallLog();
    BeginSceneForDevice(g_Direct3D.currentDevice);
    ASSERT_EQ(DrawVertexGridStrips(g_Direct3D.currentDevice, kColumns, kRows, grid.data()), 0);
    EndDeviceScene();
    const std::vector<int> sends = Sent(D3DCall::DrawIndexedPrimitive);
    ASSERT_GE(sends.size(), 2u);
    int total = 0;
    for (int n : sends) {
        EXPECT_LE(n, 1000);
        total += n;
    }
    const int pairs = kRows - 1, joins = pairs - static_cast<int>(sends.size());
    EXPECT_EQ(total, pairs * 2 * kColumns + joins * 2);
    ExpectCoveredOnce(rect);
    EXPECT_EQ(DrawVertexGridStrips(g_Direct3D.currentDevice, 1, kRows, grid.data()), -1);
}

}  // namespace
