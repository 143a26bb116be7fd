// Drawing operations on the headless screen: graphics with and without their
// colour key, new graphics, boxes, clipping at the draw area, blended
// software draws against the renderer itself, the software front screen,
// and the refusal of software drawing on an 8-bit DirectDraw screen.
#include <gtest/gtest.h>

#include <cstring>

#include "framework/graphics/draw/draw_ops_fixture.h"
#include "core/rect.h"
#include "graphics/d3d/direct3d.h"
#include "graphics/draw/draw_ops.h"
#include "graphics/draw/graph_load.h"
#include "graphics/draw/soft_bridge.h"
#include "platform/d3d.h"
#include "softrender/blit/blit_memimg.h"

namespace {

using namespace draw_test;

// ---- graphics ----------------------------------------------------------------------

TEST_F(DrawOpsTest, AGraphicIsDrawnWithAndWithoutItsColourKeyOnEveryRoute) {
    Start();
    for (int systemMemory = 0; systemMemory < 2; ++systemMemory) {
        SCOPED_TRACE(systemMemory ? "software image (renderer)" : "video memory (blitter)");
        Background(0x80, 0x80, 0x80);
        HandleId g = HalfKeyed(systemMemory);
        ASSERT_EQ(ApiBlitGraph(100, 50, g, 0), 0);
        ASSERT_EQ(ApiBlitGraph(200, 50, g, 1), 0);
        const PlatformFrame& f = Present();
        EXPECT_EQ(f.Raw(100, 50), kRed);
        EXPECT_EQ(f.Raw(107, 57), kRed);
        EXPECT_EQ(f.Raw(108, 50), kBlack);  // opaque: the key colour is drawn
        EXPECT_EQ(f.Raw(115, 57), kBlack);
        EXPECT_EQ(f.Raw(116, 50), kGrey);
        EXPECT_EQ(f.Raw(99, 50), kGrey);
        EXPECT_EQ(f.Raw(100, 58), kGrey);
        EXPECT_EQ(f.Raw(200, 50), kRed);
        EXPECT_EQ(f.Raw(208, 50), kGrey);  // transparent: the key is skipped
        EXPECT_EQ(f.Raw(215, 57), kGrey);
        ApiReleaseGraph(g, 0);
    }
}

TEST_F(DrawOpsTest, ABadHandleFailsAndAnEmptyDrawAreaDrawsNothing) {
    Start();
    HandleId g = HalfKeyed(0);
    EXPECT_EQ(ApiBlitGraph(0, 0, 0x08001234, 0), -1);
    EXPECT_EQ(ApiMirrorBlitGraph(0, 0, -5, 0), -1);
    ASSERT_EQ(SetDrawViewport(10, 10, 10, 30), 0);
    EXPECT_EQ(ApiBlitGraph(10, 10, g, 0), 0);
    EXPECT_EQ(ApiPaintBox(0, 0, 100, 100, kBlue, 1), 0);
    SetDrawViewport(0, 0, 640, 480);
    const PlatformFrame& f = Present();
    EXPECT_EQ(f.Raw(10, 10), kGrey);
    EXPECT_EQ(f.Raw(50, 50), kGrey);
}

TEST_F(DrawOpsTest, DrawingIsClippedToTheDrawAreaOnEveryRoute) {
    Start();
    for (int systemMemory = 0; systemMemory < 2; ++systemMemory) {
        SCOPED_TRACE(systemMemory);
        Background(0x80, 0x80, 0x80);
        HandleId g = MakeGraph(32, 32, systemMemory, [](int, int) { return kGreen; });
        ASSERT_EQ(SetDrawViewport(10, 20, 30, 40), 0);
        ASSERT_EQ(ApiBlitGraph(0, 0, g, 0), 0);
        ApiSetBlendModeParam(kBlendModeAdd, 255);  // forces the renderer
        ASSERT_EQ(ApiBlitGraph(24, 34, g, 0), 0);
        ApiSetBlendModeParam(0, 0);
        SetDrawViewport(0, 0, 640, 480);
        const PlatformFrame& f = Present();
        EXPECT_EQ(f.Raw(10, 20), kGreen);
        EXPECT_EQ(f.Raw(29, 31), kGreen);
        EXPECT_EQ(f.Raw(9, 20), kGrey);
        EXPECT_EQ(f.Raw(10, 19), kGrey);
        EXPECT_EQ(f.Raw(30, 25), kGrey);
        EXPECT_EQ(f.Raw(31, 39), kGrey);  // the second draw stops at the area too
        EXPECT_NE(f.Raw(29, 39), kGrey);
        EXPECT_EQ(f.Raw(20, 40), kGrey);
        ApiReleaseGraph(g, 0);
    }
}

TEST_F(DrawOpsTest, BlendedDrawsGiveWhatTheRendererGives) {
    Start();
    auto pattern = [](int x, int y) { return static_cast<std::uint16_t>((x * 2113 + y * 977) & 0xFFFF); };
    for (int systemMemory = 0; systemMemory < 2; ++systemMemory)
        for (int mode : {kBlendModeAlpha, kBlendModeAdd, kBlendModeSubtract, kBlendModeMultiply}) {
            SCOPED_TRACE(testing::Message() << "system " << systemMemory << " mode " << mode);
            Background(0x40, 0x90, 0xC0);
            HandleId g = MakeGraph(24, 12, systemMemory, pattern);

            // The reference: the renderer drawing the same source onto the
            // same background in an image of its own.
            MEMIMG reference{}, source{};
            ASSERT_EQ(InitMemImg(&reference, 640, 480, -1, 0, kMemImgKind565, 0, 0, 0), 0);
            ASSERT_EQ(InitMemImg(&source, 24, 12, -1, 0, kMemImgKind565, 0, 0, 1), 0);
            const std::uint32_t bg = ApiMakeColorCode(0x40, 0x90, 0xC0);
            ClearMemImgRect(&reference, nullptr, bg);
            for (int y = 0; y < 12; ++y)
                for (int x = 0; x < 24; ++x) {
                    const std::uint16_t v = pattern(x, y);
                    std::memcpy(source.pixels + y * source.pitch + x * 2, &v, 2);
                }
            BuildMemImgRunTable(&source);

            ApiSetBlendModeParam(mode, 150);
            ApiSetBrightColor(255, 200, 120);
            SoftDrawSettings settings = CurrentSoftDrawSettings();
            BlitMemImg(&reference, &source, 300, 200, 1, nullptr, settings, g_SystemState.mmxAvailable);
            ASSERT_EQ(ApiBlitGraph(300, 200, g, 1), 0);
            ApiSetBlendModeParam(0, 0);
            ApiSetBrightColor(255, 255, 255);

            const PlatformFrame& f = Present();
            int differing = 0;
            for (int y = 198; y < 214; ++y)
                for (int x = 298; x < 326; ++x) {
                    std::uint16_t want = 0;
                    std::memcpy(&want, reference.pixels + y * reference.pitch + x * 2, 2);
                    if (f.Raw(x, y) != want) ++differing;
                }
            EXPECT_EQ(differing, 0);
            ReleaseMemImg(&reference);
            ReleaseMemImg(&source);
            ApiReleaseGraph(g, 0);
        }
}

TEST_F(DrawOpsTest, AnOpaqueDrawBetweenVideoSurfacesGoesByTheBlitterAndABlendedOneByTheRenderer) {
    Start();
    HandleId g = HalfKeyed(0);
    // The blitter route hands the copy over instead of opening the target.
    RECT source{0, 0, 16, 8}, dest{5, 5, 21, 13};
    const HandleId part = LookupGraph(g)->storageHandles[0];
    ASSERT_EQ(BeginTargetMemImgAccess(part, 1, &source, &dest, 0, nullptr, nullptr), 0);
    EXPECT_EQ(g_TargetMemImgAccess.useBlt, 1);
    EXPECT_EQ(g_TargetMemImgAccess.open, 0);
    EXPECT_EQ(EndTargetMemImgAccess(), 0);

    ApiSetBlendModeParam(kBlendModeAlpha, 128);
    ASSERT_EQ(BeginTargetMemImgAccess(part, 1, &source, &dest, 0, nullptr, nullptr), 0);
    EXPECT_EQ(g_TargetMemImgAccess.useBlt, 0);
    EXPECT_EQ(g_TargetMemImgAccess.open, 1);
    EXPECT_EQ(g_TargetMemImgAccess.copiedThroughWork1, 1);  // a video target is copied out for blending
    EXPECT_EQ(g_TargetMemImgAccess.sourceCopiedThroughWork2, 1);
    // A second opening before the end is refused.
    EXPECT_EQ(BeginTargetMemImgAccess(part, 1, &source, &dest, 0, nullptr, nullptr), -1);
    EXPECT_EQ(EndTargetMemImgAccess(), 0);

    // Records laid again over the locked pixels, larger, smaller and moved,
    // read as a record laid afresh over the same pixels would.
    auto sameAsFresh = [](const MEMIMG* laid) {
        MEMIMG fresh;
        ClearMemImgRecord(&fresh);
        fresh.pixels = laid->pixels;
        if (InitMemImg(&fresh, laid->width, laid->height, static_cast<int>(laid->pitch), laid->transparentColor,
                       static_cast<int>(laid->kind), 0, 0, 0) < 0)
            return false;
        return laid->magic == fresh.magic && laid->pitchShift == fresh.pitchShift &&
               laid->colorFormat == fresh.colorFormat && laid->paletted == 0 && laid->paletteCount == 0 &&
               laid->alphaChannel == 0 && laid->premultipliedValid == 0 && laid->runTableValid == 0 &&
               laid->borrowedPixels == 1 && laid->palette == laid->paletteStorage &&
               laid->paletteCopy == laid->paletteCopyStorage && laid->premultiplied == nullptr &&
               laid->runTable == nullptr;
    };
    const struct {
        RECT source, dest;
    } lays[] = {{{0, 0, 16, 8}, {300, 200, 316, 208}}, {{2, 1, 10, 5}, {7, 9, 15, 13}},
                {{0, 0, 16, 8}, {600, 400, 616, 408}}, {{4, 2, 8, 4}, {100, 50, 104, 52}}};
    for (const auto& lay : lays) {
        ASSERT_EQ(BeginTargetMemImgAccess(part, 1, &lay.source, &lay.dest, 0, nullptr, nullptr), 0);
        const TargetMemImgAccess& a = g_TargetMemImgAccess;
        ASSERT_NE(a.workImage, nullptr);
        ASSERT_NE(a.sourceImage, nullptr);
        EXPECT_EQ(a.workImage->width, lay.dest.right);
        EXPECT_EQ(a.workImage->height, lay.dest.bottom);
        EXPECT_EQ(a.sourceImage->width, lay.source.right);
        EXPECT_TRUE(sameAsFresh(a.workImage)) << lay.dest.left;
        EXPECT_TRUE(sameAsFresh(a.sourceImage)) << lay.dest.left;
        EXPECT_EQ(EndTargetMemImgAccess(), 0);
    }
    ApiSetBlendModeParam(0, 0);

    // Wholly outside the draw area: the access fails and the draw is a no-op.
    RECT outside{700, 10, 716, 18};
    EXPECT_EQ(BeginTargetMemImgAccess(part, 0, &source, &outside, 0, nullptr, nullptr), -1);
    EXPECT_EQ(ApiBlitGraph(700, 10, g, 0), 0);
}

TEST_F(DrawOpsTest, ClipBlitGraphRectDrawsOnlyThePartAndPutsTheDrawAreaBack) {
    Start();
    // Columns 0-7 red, 8-15 green, 16-23 blue.
    HandleId g = MakeGraph(24, 4, 1, [](int x, int) { return x < 8 ? kRed : x < 16 ? kGreen : kBlue; });
    const RECT before = g_DrawState.drawArea;
    ASSERT_EQ(ClipBlitGraphRect(100, 10, 8, 0, 8, 4, g, 0, 0), 0);
    EXPECT_EQ(g_DrawState.drawArea.right, before.right);
    EXPECT_EQ(g_DrawState.drawArea.left, before.left);
    // Mirrored, the part stays in the same rectangle (its column order is
    // tested with the stretched draws).
    EXPECT_EQ(ClipBlitGraphRect(200, 10, 8, 0, 8, 4, g, 0, 1), 0);
    EXPECT_EQ(g_DrawState.drawArea.right, before.right);
    const PlatformFrame& f = Present();
    EXPECT_EQ(f.Raw(99, 10), kGrey);
    EXPECT_EQ(f.Raw(100, 10), kGreen);
    EXPECT_EQ(f.Raw(107, 13), kGreen);
    EXPECT_EQ(f.Raw(108, 10), kGrey);
    EXPECT_EQ(f.Raw(92, 10), kGrey);
    EXPECT_EQ(f.Raw(199, 10), kGrey);
    EXPECT_EQ(f.Raw(200, 10), kGreen);
    EXPECT_EQ(f.Raw(207, 13), kGreen);
    EXPECT_EQ(f.Raw(208, 10), kGrey);
}

// ---- new graphics --------------------------------------------------------------------

// A drawable graphic made where another was just filled and released shows
// black, not what that one left in memory, on every road.
TEST_F(DrawOpsTest, ANewDrawableGraphicIsBlackOnEveryRoad) {
    enum class Road { kDirectDraw, kSoftware, kDirect3D };
    for (Road road : {Road::kDirectDraw, Road::kSoftware, Road::kDirect3D}) {
        SCOPED_TRACE(road == Road::kDirectDraw ? "DirectDraw" : road == Road::kSoftware ? "software" : "Direct3D");
        ResetDisplay();
        PlatformD3DReset();
        PlatformDisplayKnobsRef().videoMemoryFails = road == Road::kSoftware;
        PlatformD3DKnobsRef().offerDevice = road == Road::kDirect3D ? 1 : 0;
        Start();
        ASSERT_EQ(IsScreenMemImg(), road == Road::kSoftware ? 1 : 0);
        ASSERT_EQ(IsDirect3DUp(), road == Road::kDirect3D ? 1 : 0);
        for (int round = 0; round < 3; ++round) {
            const HandleId used = MakeDrawableGraph(96, 72);
            ASSERT_GT(used, 0);
            ASSERT_EQ(ApiSelectDrawTarget(used), 0);
            Background(0xFF, 0xFF, 0xFF);
            ASSERT_EQ(ApiSelectDrawTarget(kDrawTargetBack), 0);
            ApiReleaseGraph(used, 0);

            Background(0x80, 0x80, 0x80);
            const HandleId fresh = MakeDrawableGraph(96, 72);
            ASSERT_GT(fresh, 0);
            ASSERT_EQ(ApiBlitGraph(100, 50, fresh, 0), 0);
            const PlatformFrame& f = Present();
            int lit = 0;
            for (int y = 50; y < 122; ++y)
                for (int x = 100; x < 196; ++x) lit += f.Raw(x, y) != kBlack;
            EXPECT_EQ(lit, 0) << "round " << round;
            EXPECT_EQ(f.Raw(99, 50), kGrey);
            EXPECT_EQ(f.Raw(196, 121), kGrey);
            ApiReleaseGraph(fresh, 0);
        }
        ApiEndFramework();
        PlatformD3DReset();
    }
}

// ---- boxes ---------------------------------------------------------------------------

TEST_F(DrawOpsTest, FilledAndOutlinedBoxesCoverExactlyTheirPixels) {
    Start();
    for (int blended = 0; blended < 2; ++blended) {
        SCOPED_TRACE(blended ? "renderer" : "colour fill");
        Background(0x80, 0x80, 0x80);
        // Add at full strength onto black gives the colour itself, through the renderer.
        if (blended) Background(0, 0, 0);
        const std::uint32_t under = blended ? kBlack : kGrey;
        if (blended) ApiSetBlendModeParam(kBlendModeAdd, 255);
        ASSERT_EQ(ApiPaintBox(30, 20, 10, 10, kBlue, 1), 0);  // corners in any order
        ASSERT_EQ(ApiPaintBox(100, 100, 110, 105, kRed, 0), 0);
        ASSERT_EQ(ApiPaintBox(200, 100, 201, 101, kGreen, 0), 0);  // four lines of no length
        ASSERT_EQ(ApiPaintBox(210, 100, 212, 102, kGreen, 0), 0);  // the 2 x 2 square
        ASSERT_EQ(ApiPaintBox(220, 100, 225, 101, kGreen, 0), 0);  // one pixel high
        ApiSetBlendModeParam(0, 0);
        const PlatformFrame& f = Present();
        EXPECT_EQ(f.Raw(10, 10), kBlue);
        EXPECT_EQ(f.Raw(29, 19), kBlue);
        EXPECT_EQ(f.Raw(30, 19), under);
        EXPECT_EQ(f.Raw(29, 20), under);
        EXPECT_EQ(f.Raw(9, 10), under);
        // The outline: all four edges, right and bottom inside the box,
        // and nothing inside it.
        for (int x = 100; x < 110; ++x) {
            EXPECT_EQ(f.Raw(x, 100), kRed) << x;
            EXPECT_EQ(f.Raw(x, 104), kRed) << x;
        }
        for (int y = 100; y < 105; ++y) {
            EXPECT_EQ(f.Raw(100, y), kRed) << y;
            EXPECT_EQ(f.Raw(109, y), kRed) << y;
        }
        EXPECT_EQ(f.Raw(105, 102), under);
        EXPECT_EQ(f.Raw(110, 100), under);
        EXPECT_EQ(f.Raw(100, 105), under);
        EXPECT_EQ(f.Raw(200, 100), under);
        for (int y = 100; y < 102; ++y)
            for (int x = 210; x < 212; ++x) EXPECT_EQ(f.Raw(x, y), kGreen) << x << "," << y;
        EXPECT_EQ(f.Raw(212, 100), under);
        EXPECT_EQ(f.Raw(210, 102), under);
        // Once each, also where the two long sides lie on one another.
        for (int x = 220; x < 225; ++x) EXPECT_EQ(f.Raw(x, 100), kGreen) << x;
        EXPECT_EQ(f.Raw(225, 100), under);
        EXPECT_EQ(f.Raw(222, 101), under);
    }
}

TEST_F(DrawOpsTest, BoxesAreClippedToTheDrawArea) {
    Start();
    ASSERT_EQ(SetDrawViewport(50, 50, 60, 60), 0);
    ASSERT_EQ(ApiPaintBox(0, 0, 640, 480, kBlue, 1), 0);
    ASSERT_EQ(ApiPaintBox(40, 40, 70, 55, kRed, 0), 0);
    SetDrawViewport(0, 0, 640, 480);
    const PlatformFrame& f = Present();
    EXPECT_EQ(f.Raw(50, 50), kBlue);
    EXPECT_EQ(f.Raw(59, 59), kBlue);
    EXPECT_EQ(f.Raw(49, 50), kGrey);
    EXPECT_EQ(f.Raw(60, 59), kGrey);
    EXPECT_EQ(f.Raw(55, 54), kRed);  // the outline's bottom edge, inside the area
    EXPECT_EQ(f.Raw(55, 40), kGrey);
}

// ---- a 5:5:5 screen: the renderer works on converted copies ----------------------------

TEST_F(DrawOpsTest, OnAFiveFiveFiveScreenRendererDrawsComeBackInTheScreenFormat) {
    PlatformDisplayKnobsRef().use555 = true;
    Start();
    ASSERT_EQ(g_ScreenDevice.pixelCode, kScreenPixel555);
    Background(0, 0, 0);
    HandleId g = MakeGraph(8, 8, 1, [](int, int) { return kRed; });  // standard 5:6:5 pixels
    HandleId dd = MakeGraph(8, 8, 0, [](int x, int) { return x < 4 ? 0x7C00 : 0x001F; });  // screen pixels
    // With conversion even an unblended software draw works on a
    // converted copy; the outline always goes through the renderer.
    ASSERT_EQ(ApiBlitGraph(10, 10, g, 0), 0);
    ASSERT_EQ(ApiBlitGraph(30, 10, dd, 0), 0);
    ASSERT_EQ(ApiPaintBox(70, 10, 78, 18, ApiMakeColorCode(0, 255, 0), 0), 0);
    const PlatformFrame& f = Present();
    // The bit no channel uses is left out of the comparison.
    auto at = [&](int x, int y) { return f.Raw(x, y) & 0x7FFF; };
    EXPECT_EQ(at(10, 10), 0x7C00u);
    EXPECT_EQ(at(17, 17), 0x7C00u);
    EXPECT_EQ(at(30, 10), 0x7C00u);
    EXPECT_EQ(at(37, 10), 0x001Fu);
    EXPECT_EQ(at(70, 17), 0x03E0u);
    EXPECT_EQ(at(77, 10), 0x03E0u);
    EXPECT_EQ(at(74, 14), 0u);
    EXPECT_EQ(at(9, 10), 0u);
}

TEST_F(DrawOpsTest, AConvertedDrawOnATargetWiderThanTheScreenIsRefusedNotOverrun) {
    PlatformDisplayKnobsRef().use555 = true;
    Start();
    // A drawable graphic wider than the screen is a system-memory surface;
    // the screen-sized work surface cannot hold its right-hand part.
    g_DrawState.createSystemMemory = 0;
    SetMakeDrawableGraphFlag(1);
    HandleId wide = CreateGraphWithSurfaces(800, 16, 0, 0, 0);
    SetMakeDrawableGraphFlag(0);
    ASSERT_GE(wide, 0);
    ASSERT_EQ(ApiSelectDrawTarget(wide), 0);
    ASSERT_NE(g_DrawTargetBinding.surface, nullptr);
    ApiSetBlendModeParam(kBlendModeAlpha, 100);
    EXPECT_EQ(ApiPaintBox(700, 0, 780, 16, 0x7C00, 1), -1);
    // Where it fits, the same draw works.
    EXPECT_EQ(ApiPaintBox(10, 0, 20, 16, 0x7C00, 1), 0);
    ApiSetBlendModeParam(0, 0);
}

// ---- the software screen -------------------------------------------------------------

TEST_F(DrawOpsTest, OnASoftwareScreenTheRendererDrawsStraightIntoTheScreenImage) {
    PlatformDisplayKnobsRef().videoMemoryFails = true;
    Start();
    ASSERT_EQ(IsScreenMemImg(), 1);
    HandleId g = HalfKeyed(0);
    ASSERT_EQ(ApiBlitGraph(20, 20, g, 1), 0);
    ASSERT_EQ(ApiPaintBox(60, 60, 64, 64, kBlue, 1), 0);
    ASSERT_EQ(ApiPaintBox(80, 60, 84, 64, kGreen, 0), 0);
    const PlatformFrame& f = Present();
    EXPECT_EQ(f.Raw(20, 20), kRed);
    EXPECT_EQ(f.Raw(28, 20), kGrey);
    EXPECT_EQ(f.Raw(63, 63), kBlue);
    EXPECT_EQ(f.Raw(83, 63), kGreen);
    EXPECT_EQ(f.Raw(82, 62), kGrey);
}

// Drawn on the front screen of a software screen, a box or a mirrored
// stretch given with its corners in reverse order reaches the window whole.
TEST_F(DrawOpsTest, OnASoftwareFrontScreenDrawsWithTurnedCornersReachTheWindow) {
    PlatformDisplayKnobsRef().videoMemoryFails = true;
    Start();
    ASSERT_EQ(IsScreenMemImg(), 1);
    ASSERT_EQ(ApiPresentScreen(), 0);  // the grey back screen in the window
    HandleId g = HalfKeyed(0);
    ASSERT_EQ(ApiSelectDrawTarget(kDrawTargetFront), 0);
    // Each draw goes to the window as it is made.
    frames.clear();
    ASSERT_EQ(ApiPaintBox(200, 200, 100, 100, kBlue, 1), 0);
    ASSERT_EQ(ApiPaintBox(300, 150, 260, 110, kGreen, 0), 0);
    ASSERT_EQ(ApiStretchBlitGraph(432, 100, 400, 116, g, 0), 0);  // mirrored, twice as wide
    ASSERT_EQ(frames.size(), 3u);
    const PlatformFrame& f = frames.back();
    EXPECT_EQ(f.Raw(100, 100), kBlue);
    EXPECT_EQ(f.Raw(150, 150), kBlue);
    EXPECT_EQ(f.Raw(199, 199), kBlue);
    EXPECT_EQ(f.Raw(200, 150), kGrey);
    EXPECT_EQ(f.Raw(150, 200), kGrey);
    EXPECT_EQ(f.Raw(260, 110), kGreen);
    EXPECT_EQ(f.Raw(299, 149), kGreen);
    EXPECT_EQ(f.Raw(280, 130), kGrey);
    EXPECT_EQ(f.Raw(400, 100), kBlack);  // the graphic's right half, mirrored to the left
    EXPECT_EQ(f.Raw(431, 115), kRed);
    EXPECT_EQ(f.Raw(432, 100), kGrey);
    ApiSelectDrawTarget(kDrawTargetBack);
    ApiReleaseGraph(g, 0);
}

// The depth image is written only by the clear, which need write it only
// once per screen; a screen made again after a restart is cleared afresh.
TEST_F(DrawOpsTest, OnASoftwareScreenEveryClearLeavesTheDepthImageAtItsFarthest) {
    PlatformDisplayKnobsRef().videoMemoryFails = true;
    auto depthCleared = [] {
        const MEMIMG& z = g_ScreenDevice.zImage;
        int wrong = 0;
        for (int y = 0; y < static_cast<int>(z.height); ++y)
            for (int x = 0; x < static_cast<int>(z.width); ++x) {
                std::uint16_t v = 0;
                std::memcpy(&v, z.pixels + y * z.pitch + x * 2, 2);
                wrong += v != 65535;
            }
        return wrong == 0;
    };
    for (int start = 0; start < 2; ++start) {
        Start();
        ASSERT_EQ(IsScreenMemImg(), 1);
        for (int frame = 0; frame < 2; ++frame) {
            ASSERT_EQ(ApiClearDrawTarget(), 0);
            EXPECT_TRUE(depthCleared()) << "start " << start << ", frame " << frame;
            Present();
        }
        ApiEndFramework();
    }
}

// ---- the 8-bit screen ------------------------------------------------------------------

TEST_F(DrawOpsTest, SoftwareDrawingOnAnEightBitScreenIsRefusedAndWritesNothing) {
    ASSERT_EQ(ApplyScreenMode(640, 480, 8, 0, -1), 0);
    ASSERT_EQ(ApiInitFramework(), 0);
    ASSERT_EQ(g_ScreenColorFormat.depth, 8);
    ApiSetVBlankWait(0);
    ASSERT_EQ(ApiSelectDrawTarget(kDrawTargetBack), 0);
    ASSERT_EQ(ApiClearDrawTarget(), 0);
    ApiSetBlendModeParam(kBlendModeAlpha, 128);
    // The renderer's 16- and 32-bit pixels would run past every byte row.
    EXPECT_EQ(ApiPaintBox(0, 0, 640, 480, 5, 1), -1);
    EXPECT_EQ(ApiPaintBox(0, 0, 640, 480, 5, 0), -1);
    RECT dest{0, 0, 640, 480};
    EXPECT_EQ(BeginTargetMemImgAccess(kNoHandle, 0, nullptr, &dest, 0, nullptr, nullptr), -1);
    EXPECT_EQ(g_TargetMemImgAccess.open, 0);
    ApiSetBlendModeParam(0, 0);
    // An opaque box is the blitter's fill and still works.
    EXPECT_EQ(ApiPaintBox(0, 0, 4, 4, 5, 1), 0);
    const PlatformFrame& f = Present();
    EXPECT_EQ(f.Raw(0, 0), 5u);
    EXPECT_NE(f.Raw(10, 10), 5u);
}

}  // namespace

// The bridge's own clip gives what ClipRectToRect gives, for rectangles
// inside, across each edge, wholly outside, turned round and empty, against
// ordinary and turned-round clips.
TEST(ClippedRect, AgreesWithClipRectToRect) {
    const LONG edges[] = {-50, -1, 0, 3, 10, 49, 50, 51, 100, 639, 640, 700};
    const RECT clips[] = {{0, 0, 640, 480}, {10, 5, 50, 60}, {50, 50, 10, 10}, {3, 3, 3, 3}};
    int checked = 0;
    for (const RECT& clip : clips)
        for (LONG left : edges)
            for (LONG right : edges)
                for (LONG top : {-5L, 0L, 20L, 470L, 500L})
                    for (LONG bottom : {-7L, 4L, 60L, 480L}) {
                        const RECT r{left, top, right, bottom};
                        RECT expected = r;
                        ClipRectToRect(&expected, &clip);
                        const RECT got = ClippedRect(r, clip);
                        ASSERT_TRUE(got.left == expected.left && got.top == expected.top &&
                                    got.right == expected.right && got.bottom == expected.bottom)
                            << left << "," << top << "," << right << "," << bottom << " in " << clip.left << ","
                            << clip.top << "," << clip.right << "," << clip.bottom;
                        ++checked;
                    }
    EXPECT_EQ(checked, 4 * 12 * 12 * 5 * 4);
}
