// A rectangle of the draw target copied into a graphic and drawn back gives
// the same pixels, on every route and from both kinds of graphic storage;
// a graphic painted whole in one colour; what each refuses.
#include <gtest/gtest.h>

#include "framework/graphics/draw/mask_fixture.h"
#include "graphics/draw/draw_ops.h"

using namespace mask_test;

namespace {

TEST_F(MaskTest, ACapturedRectangleDrawnBackGivesTheSamePixels) {
    for (Route route : kAllRoutes) {
        SCOPED_TRACE(RouteName(route));
        StartOn(route);
        const HandleId background = MakePicture(Width(), Height(), 0);
        for (int systemMemory = 0; systemMemory < 2; ++systemMemory) {
            SCOPED_TRACE(systemMemory ? "into a software image" : "into a surface");
            ASSERT_EQ(ApiBlitGraph(0, 0, background, 0), 0);
            const std::vector<std::uint32_t> shown = Snapshot();
            const HandleId g = MakePicture(57, 33, systemMemory, [](int, int) { return 0x102030u; });
            ASSERT_EQ(CopyDrawScreenToGraph(101, 70, 158, 103, g, 0), 0);
            // Elsewhere over something else, then back in its place.
            ASSERT_EQ(ApiPaintBox(0, 0, Width(), Height(), ApiMakeColorCode(0, 0, 0), 1), 0);
            ASSERT_EQ(ApiBlitGraph(101, 70, g, 0), 0);
            ASSERT_EQ(ApiBlitGraph(400, 300, g, 0), 0);
            const std::vector<std::uint32_t> back = Snapshot();
            // Bits no channel uses carry no colour and may come back clear.
            const std::uint32_t colour = ~g_ScreenColorFormat.unusedBitMask;
            int differing = 0;
            for (int y = 0; y < 33; ++y)
                for (int x = 0; x < 57; ++x) {
                    const std::uint32_t want = shown[static_cast<std::size_t>(70 + y) * Width() + 101 + x] & colour;
                    if ((back[static_cast<std::size_t>(70 + y) * Width() + 101 + x] & colour) != want) ++differing;
                    if ((back[static_cast<std::size_t>(300 + y) * Width() + 400 + x] & colour) != want) ++differing;
                }
            EXPECT_EQ(differing, 0);
            ApiReleaseGraph(g, 0);
        }
        EndRoute();
    }
}

TEST_F(MaskTest, ACaptureRefusesBadHandlesAndRectanglesItCannotTake) {
    StartOn(Route::kBackScreen);
    const HandleId g = MakePicture(20, 10, 0);
    EXPECT_EQ(CopyDrawScreenToGraph(0, 0, 20, 10, 0x08001234, 0), -1);
    EXPECT_EQ(CopyDrawScreenToGraph(0, 0, 21, 10, g, 0), -1);       // not the graphic's size
    EXPECT_EQ(CopyDrawScreenToGraph(630, 0, 650, 10, g, 0), -1);   // past the target
    EXPECT_EQ(CopyDrawScreenToGraph(-5, 0, 15, 10, g, 0), -1);
    EXPECT_EQ(CopyDrawScreenToGraph(20, 10, 0, 0, g, 0), -1);      // reversed
    g_DrawState.drawingSuppressed = 1;
    EXPECT_EQ(CopyDrawScreenToGraph(0, 0, 21, 10, g, 0), 0);
    EXPECT_EQ(PaintWholeGraph(0x08001234, 1, 2, 3, 4), 0);
    g_DrawState.drawingSuppressed = 0;
    EXPECT_EQ(PaintWholeGraph(0x08001234, 1, 2, 3, 4), -1);
}

TEST_F(MaskTest, PaintWholeGraphFillsEveryPixelOfTheGraphicAndOnlyOfIt) {
    for (Route route : {Route::kBackScreen, Route::kSoftwareScreen, Route::kWindowFront}) {
        SCOPED_TRACE(RouteName(route));
        StartOn(route);
        for (int systemMemory = 0; systemMemory < 2; ++systemMemory) {
            const HandleId whole = MakePicture(30, 20, systemMemory);
            ASSERT_EQ(PaintWholeGraph(whole, 10, 200, 30, 255), 0);
            ASSERT_EQ(ApiPaintBox(0, 0, Width(), Height(), ApiMakeColorCode(0, 0, 0), 1), 0);
            ASSERT_EQ(ApiBlitGraph(50, 40, whole, 0), 0);
            const std::vector<std::uint32_t> shown = Snapshot();
            const std::uint32_t colour = shown[static_cast<std::size_t>(40) * Width() + 50];
            EXPECT_NE(colour, shown[0]);
            for (int y = 0; y < 20; ++y)
                for (int x = 0; x < 30; ++x)
                    ASSERT_EQ(shown[static_cast<std::size_t>(40 + y) * Width() + 50 + x], colour) << x << ", " << y;
            EXPECT_EQ(shown[static_cast<std::size_t>(40) * Width() + 80], shown[0]);
            int r = 0, g = 0, b = 0;
            ASSERT_EQ(SplitColorCode(ApiMakeColorCode(10, 200, 30), &r, &g, &b), 0);
            EXPECT_EQ(colour & ~g_ScreenColorFormat.unusedBitMask, ApiMakeColorCode(r, g, b) & ~g_ScreenColorFormat.unusedBitMask);
            ApiReleaseGraph(whole, 0);
        }
        EndRoute();
    }
}

}  // namespace
