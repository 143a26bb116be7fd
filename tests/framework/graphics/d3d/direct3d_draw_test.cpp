// Drawing on the Direct3D road: the game's mix of draws against the same
// draws on the software road, the vertex batch's sending rules, boxes,
// clamping at the draw area, clearing and capture.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <string>
#include <tuple>
#include <utility>

#include "framework/graphics/d3d/direct3d_fixture.h"
#include "graphics/d3d/d3d_texture_draw.h"
#include "graphics/draw/draw_ops.h"
#include "graphics/text/font.h"
#include "kelvo/api.h"

namespace {

// Sprite pixels: colours that survive 5 bits a channel, a black key in
// stripes and a hole, so that keyed and opaque copies can match exactly.
std::uint32_t SpritePixel(int x, int y) {
    if ((x + 2 * y) % 9 == 0 || (x > 10 && x < 14 && y > 4 && y < 20)) return 0;
    return static_cast<std::uint32_t>((x * 8 + 8) & 0xF8) << 16 | static_cast<std::uint32_t>((y * 8 + 16) & 0x78) << 8 |
           static_cast<std::uint32_t>(((x ^ y) * 24 + 40) & 0xF8);
}
std::uint32_t LayerPixel(int x, int y) {
    return static_cast<std::uint32_t>(x * 2 & 0xF8) << 16 | static_cast<std::uint32_t>((x + y) & 0x78) << 8 | 0x80;
}

// A keyed draw under a blend mode, which is put back to none afterwards.
void BlitBlended(int mode, int param, int x, int y, HandleId graph) {
    ApiSetBlendModeParam(mode, param);
    ApiBlitGraph(x, y, graph, 1);
    ApiSetBlendModeParam(0, 0);
}

// Each draw of the mix lands in its own cell of the screen.
struct SceneItem {
    const char* name;
    RECT cell;
    // 0: identical; 1: each channel within one 5-bit step (in 5:6:5 units,
    // 1 for red and blue, 2 for green); 2: as 1, except at the edge of a
    // turned graphic, where the roads may take the neighbouring texel;
    // 3: the same pixels covered, but for the edges. A four-cornered draw
    // puts its corners on pixel centres, so texel edges fall on pixel
    // centres and either neighbour may be taken, and the Direct3D road
    // maps any other shape than a parallelogram through a grid of 8 x 8
    // vertices where the software road maps it through two triangles;
    // 4: each channel within three 5-bit steps: the software road subtracts
    // a graphic in packed arithmetic that keeps a guard bit in the lowest
    // bit of red and green, the Direct3D road adds between two inversions.
    int tolerance;
    std::function<void(HandleId sprite, HandleId layer)> draw;
};

const SceneItem kScene[] = {
    {"far layer, opaque", {0, 0, 160, 64}, 0, [](HandleId, HandleId layer) { ApiBlitGraph(0, 0, layer, 0); }},
    {"panel, keyed", {160, 0, 320, 64}, 0, [](HandleId, HandleId layer) { ApiBlitGraph(160, 0, layer, 1); }},
    {"sprite 1:1 keyed", {320, 0, 360, 40}, 0, [](HandleId s, HandleId) { ApiBlitGraph(320, 0, s, 1); }},
    {"sprite half outside", {600, 0, 640, 40}, 0, [](HandleId s, HandleId) { ApiBlitGraph(620, 0, s, 1); }},
    {"sprite 2x", {0, 64, 64, 128}, 1, [](HandleId s, HandleId) { ApiStretchBlitGraph(0, 64, 64, 128, s, 1); }},
    {"sprite mirrored", {64, 64, 96, 96}, 1, [](HandleId s, HandleId) { ApiMirrorBlitGraph(64, 64, s, 1); }},
    {"sprite 2x mirrored at the left edge", {0, 128, 40, 192}, 1,
     [](HandleId s, HandleId) { ApiStretchBlitGraph(40, 128, -24, 192, s, 1); }},
    {"logo turned", {96, 64, 200, 168}, 2,
     [](HandleId, HandleId layer) { ApiRotateBlitGraph(148, 116, 0.5, 0.3, layer, 1, 0); }},
    {"logo at scale 1", {200, 64, 400, 168}, 1,
     [](HandleId, HandleId layer) { ApiRotateBlitGraph(300, 116, 1.0, 0.0, layer, 1, 0); }},
    {"alpha 128", {400, 64, 440, 104}, 1,
     [](HandleId s, HandleId) { BlitBlended(1, 128, 400, 64, s); }},
    {"add 200", {440, 64, 480, 104}, 1,
     [](HandleId s, HandleId) { BlitBlended(2, 200, 440, 64, s); }},
    {"bright colour", {480, 64, 520, 104}, 1,
     [](HandleId s, HandleId) {
         ApiSetBrightColor(255, 128, 64);
         ApiBlitGraph(480, 64, s, 1);
         ApiSetBrightColor(255, 255, 255);
     }},
    {"parallelogram", {520, 64, 640, 140}, 3,
     [](HandleId s, HandleId) { FourCornerBlitGraph(530, 70, 570, 70, 590, 110, 550, 110, s, 0); }},
    {"trapezoid", {400, 104, 520, 200}, 3,
     [](HandleId s, HandleId) { FourCornerBlitGraph(440, 110, 470, 110, 500, 190, 410, 190, s, 0); }},
    {"boxes", {0, 200, 120, 260}, 1,
     [](HandleId, HandleId) {
         ApiPaintBox(4, 204, 100, 250, ApiMakeColorCode(200, 40, 40), 1);
         ApiPaintBox(10, 210, 116, 256, ApiMakeColorCode(255, 255, 255), 0);
     }},
    {"box at half alpha", {120, 200, 220, 260}, 1,
     [](HandleId, HandleId) {
         ApiSetBlendModeParam(1, 128);
         ApiPaintBox(124, 204, 216, 250, ApiMakeColorCode(248, 248, 0), 1);
         ApiSetBlendModeParam(0, 0);
     }},
    {"text", {0, 300, 200, 340}, 0,
     [](HandleId, HandleId) { ApiDrawTextFormatted(4, 304, ApiMakeColorCode(255, 255, 0), "Lv 12 HP 99"); }},
    {"text subtracted", {400, 300, 600, 340}, 1,
     [](HandleId, HandleId) {
         ApiSetBlendModeParam(3, 255);
         ApiDrawTextFormatted(404, 304, ApiMakeColorCode(255, 255, 0), "Lv 12 HP 99");
         ApiSetBlendModeParam(0, 0);
     }},
    {"sprite subtracted", {520, 200, 560, 240}, 4,
     [](HandleId s, HandleId) { BlitBlended(3, 160, 520, 200, s); }},
    {"edged text", {200, 300, 400, 340}, 0,
     [](HandleId, HandleId) {
         const int font = CreateFontToHandle(nullptr, 16, 6, kFontTypeEdge, -1, 1, 0, -1, -1);
         DrawTextWithFont(204, 304, "Gold 1234", ApiMakeColorCode(255, 255, 255), font, ApiMakeColorCode(0, 0, 248), 0);
         ReleaseFontHandle(font);
     }},
};

class Direct3DDrawTest : public Direct3DFrameworkTest {
protected:
    // Starts the framework on the Direct3D road or the software road.
    void StartOn(bool direct3D) {
        PlatformD3DKnobsRef().offerDevice = direct3D ? 1 : 0;
        Start();
        ASSERT_EQ(IsDirect3DUp(), direct3D ? 1 : 0);
        ASSERT_EQ(ApiSelectDrawTarget(kDrawTargetBack), 0);
    }

    HandleId Graph(int w, int h, std::uint32_t (*pixel)(int, int)) {
        GraphImage image = MakeImage(w, h, pixel);
        const HandleId g = MakeGraphFromImages(&image, nullptr, 1, 0, 0);
        ReleaseBaseImage(&image);
        EXPECT_GT(g, 0);
        return g;
    }

    // The back screen's 5:6:5 pixels.
    static std::vector<std::uint16_t> BackPixels() {
        FlushDeviceVertices();
        EndDeviceScene();
        std::vector<std::uint16_t> out(640 * 480);
        D_DDSURFACEDESC2 desc{};
        desc.dwSize = sizeof desc;
        EXPECT_EQ(g_ScreenDevice.back->Lock(nullptr, &desc, D_DDLOCK_WAIT, nullptr), D_DD_OK);
        for (int y = 0; y < 480; ++y)
            std::memcpy(&out[y * 640], static_cast<std::uint8_t*>(desc.lpSurface) + y * desc.lPitch, 640 * 2);
        g_ScreenDevice.back->Unlock(nullptr);
        return out;
    }

    std::vector<std::uint16_t> DrawScene(bool direct3D) {
        StartOn(direct3D);
        const HandleId sprite = Graph(32, 32, SpritePixel);
        const HandleId layer = Graph(160, 64, LayerPixel);
        g_SystemState.backgroundRed = 0x40;
        g_SystemState.backgroundGreen = 0x60;
        g_SystemState.backgroundBlue = 0x80;
        ApiClearDrawTarget();
        for (const SceneItem& item : kScene) {
            SetDrawViewport(item.cell.left, item.cell.top, item.cell.right, item.cell.bottom);
            item.draw(sprite, layer);
        }
        SetDrawViewport(0, 0, 640, 480);
        // Text on the Direct3D road comes from the font's texture cache.
        EXPECT_EQ(LookupFont(FetchDefaultFontHandle())->textureCache, direct3D ? 1 : 0);
        std::vector<std::uint16_t> pixels = BackPixels();
        ApiEndFramework();
        return pixels;
    }

    // A texel of a graphic and a 0xRRGGBB colour, both cut to the channel
    // widths of the graphic's texture format.
    static std::pair<std::uint32_t, std::uint32_t> TexelAndColour(const GraphRecord& graph, int x, int y,
                                                                  std::uint32_t rgb) {
        const Surface3DDataRecord* t = LookupSurface3DData(graph.storageHandles[0]);
        const ColorFormatDesc* f = GetTextureColorFormat(static_cast<int>(LookupSurfaceData(t->surfaceData)->kind));
        const std::uint32_t texel = GraphTexel(graph, x, y);
        auto cut = [](std::uint32_t c, int width) { return (c & 0xFF) >> (8 - width); };
        const std::uint32_t got = (texel & f->redMask) >> f->redShift << 16 | (texel & f->greenMask) >> f->greenShift << 8 |
                                  (texel & f->blueMask) >> f->blueShift;
        return {got, cut(rgb >> 16, f->redWidth) << 16 | cut(rgb >> 8, f->greenWidth) << 8 | cut(rgb, f->blueWidth)};
    }

    static int Count(int kind) {
        int n = 0;
        for (const D3DCallRecord& c : PlatformD3DCallLog()) n += static_cast<int>(c.call) == kind;
        return n;
    }
    // The vertex counts of every DrawPrimitive so far.
    static std::vector<int> Batches() {
        std::vector<int> out;
        for (const D3DCallRecord& c : PlatformD3DCallLog())
            if (c.call == D3DCall::DrawPrimitive) out.push_back(static_cast<int>(c.b));
        return out;
    }
};

TEST_F(Direct3DDrawTest, TheGamesDrawMixLooksTheSameOnBothRoads) {
    const std::vector<std::uint16_t> soft = DrawScene(false);
    const std::vector<std::uint16_t> d3d = DrawScene(true);
    for (const SceneItem& item : kScene) {
        SCOPED_TRACE(item.name);
        int drawn = 0, off = 0, farOff = 0, farther = 0, cover = 0;
        for (int y = item.cell.top; y < item.cell.bottom; ++y)
            for (int x = item.cell.left; x < item.cell.right; ++x) {
                const std::uint16_t a = soft[y * 640 + x], b = d3d[y * 640 + x];
                drawn += a != 0x4310;  // the cleared background
                if (a == b) continue;
                ++off;
                cover += (a == 0x4310) != (b == 0x4310);
                const int dr = std::abs((a >> 11) - (b >> 11)), dg = std::abs((a >> 5 & 63) - (b >> 5 & 63)),
                          db = std::abs((a & 31) - (b & 31));
                if (dr > 1 || dg > 2 || db > 1) ++farOff;
                if (dr > 3 || dg > 6 || db > 3) ++farther;
            }
        EXPECT_GT(drawn, 0);
        if (item.tolerance == 0) {
            EXPECT_EQ(off, 0);
        } else if (item.tolerance == 1) {
            EXPECT_EQ(farOff, 0);
        } else if (item.tolerance == 4) {
            EXPECT_EQ(farther, 0);
        } else if (item.tolerance == 3) {
            EXPECT_LT(cover * 8, drawn);
        } else {
            // Only edge pixels of a turned graphic, where the roads may
            // take the neighbouring texel or cover the pixel or not.
            EXPECT_LT(farOff * 12, drawn);
        }
    }
}

struct BatchCase {
    const char* name;
    std::function<void(HandleId a, HandleId b)> draw;
    std::vector<int> batches;  // vertex counts sent, the scene end included
};

const BatchCase kBatchCases[] = {
    {"400 quads of one texture", [](HandleId a, HandleId) { for (int i = 0; i < 400; ++i) ApiBlitGraph(i % 600, 10, a, 1); },
     {2340, 60}},
    {"another texture sends the batch", [](HandleId a, HandleId b) {
         ApiBlitGraph(0, 0, a, 1);
         ApiBlitGraph(0, 0, a, 1);
         ApiBlitGraph(0, 0, b, 1);
     }, {12, 6}},
    {"bright colours other than white share a batch", [](HandleId a, HandleId) {
         ApiSetBrightColor(255, 0, 0);
         ApiBlitGraph(0, 0, a, 1);
         ApiSetBrightColor(0, 255, 0);
         ApiBlitGraph(0, 0, a, 1);
     }, {12}},
    {"to and from white sends it", [](HandleId a, HandleId) {
         ApiBlitGraph(0, 0, a, 1);
         ApiSetBrightColor(255, 0, 0);
         ApiBlitGraph(0, 0, a, 1);
         ApiSetBrightColor(255, 255, 255);
         ApiBlitGraph(0, 0, a, 1);
     }, {6, 6, 6}},
    {"a blend change sends it", [](HandleId a, HandleId) {
         ApiBlitGraph(0, 0, a, 1);
         ApiSetBlendModeParam(2, 100);
         ApiBlitGraph(0, 0, a, 1);
         ApiSetBlendModeParam(2, 90);
         ApiBlitGraph(0, 0, a, 1);
     }, {6, 12}},
    {"a box is another vertex type", [](HandleId a, HandleId) {
         ApiBlitGraph(0, 0, a, 1);
         ApiPaintBox(0, 0, 10, 10, 0, 1);
         ApiPaintBox(0, 0, 10, 10, 0, 1);
         ApiPaintBox(0, 0, 10, 10, 0, 0);
     }, {6, 12, 8}},
    {"text subtracted between one pair of inversions", [](HandleId, HandleId) {
         ApiSetBlendModeParam(3, 255);
         ApiDrawTextFormatted(4, 4, ApiMakeColorCode(255, 255, 0), "AB");
         ApiSetBlendModeParam(0, 0);
     }, {6, 12, 6}},
    {"nothing outside the draw area", [](HandleId a, HandleId) {
         ApiBlitGraph(700, 0, a, 1);
         ApiStretchBlitGraph(-100, 0, -40, 60, a, 1);
         ApiPaintBox(-20, -20, -10, -10, 0, 1);
     }, {}},
};

class Direct3DBatchTest : public Direct3DDrawTest, public testing::WithParamInterface<BatchCase> {};

TEST_P(Direct3DBatchTest, SendsTheBatchOnlyWhenItMust) {
    StartOn(true);
    const HandleId a = Graph(32, 32, SpritePixel), b = Graph(32, 32, SpritePixel);
    ApiClearDrawTarget();
    EndDeviceScene();
    PlatformD3DKnobsRef().logCalls = true;
    PlatformD3DClearCallLog();
    GetParam().draw(a, b);
    EndDeviceScene();
    EXPECT_EQ(Batches(), GetParam().batches);
}

INSTANTIATE_TEST_SUITE_P(Cases, Direct3DBatchTest, testing::ValuesIn(kBatchCases),
                         [](const testing::TestParamInfo<BatchCase>& info) {
                             std::string name;
                             for (const char* p = info.param.name; *p != '\0'; ++p)
                                 if (std::isalnum(static_cast<unsigned char>(*p))) name += *p;
                             return name;
                         });

TEST_F(Direct3DDrawTest, DrawsKeepTheirPartsRules) {
    StartOn(true);
    const HandleId sprite = Graph(32, 32, SpritePixel);
    const GraphRecord* graph = LookupGraph(sprite);
    EXPECT_EQ(TextureStretchBlitGraph(10, 10, 10, 40, graph, 1), -1);
    EXPECT_EQ(TextureStretchBlitGraph(10, 10, 40, 10, graph, 1), -1);
    EXPECT_EQ(TextureRotateBlitGraph(10, 10, 0.0, 0.0, graph, 1, 0), -1);
    EXPECT_EQ(TextureBlitGraph(0, 0, nullptr, 1, 1), -1);

    // An outline covers the edge pixels of its box, each once (added up
    // one blue step a time), whichever corner comes first on each axis; a
    // box one pixel wide or high is one column or row, 1 x 1 one pixel.
    g_SystemState.backgroundRed = g_SystemState.backgroundGreen = g_SystemState.backgroundBlue = 0;
    ApiSetBlendModeParam(2, 255);
    const RECT boxes[] = {{10, 10, 20, 20}, {20, 10, 10, 20}, {10, 20, 20, 10}, {20, 20, 10, 10}, {10, 10, 11, 20},
                          {11, 20, 10, 10}, {10, 10, 20, 11}, {10, 10, 12, 12}, {10, 10, 12, 15}, {10, 10, 15, 12},
                          {10, 10, 11, 11}, {10, 10, 10, 20}};
    for (const RECT& box : boxes) {
        ApiClearDrawTarget();
        ASSERT_EQ(FrameBox3D(box.left, box.top, box.right, box.bottom, ApiMakeColorCode(0, 0, 8)), 0);
        const std::vector<std::uint16_t> px = BackPixels();
        const int l = std::min(box.left, box.right), r = std::max(box.left, box.right) - 1;
        const int t = std::min(box.top, box.bottom), b = std::max(box.top, box.bottom) - 1;
        for (int y = 6; y < 24; ++y)
            for (int x = 6; x < 24; ++x) {
                const bool edge = (x == l || x == r || y == t || y == b) && x >= l && x <= r && y >= t && y <= b;
                EXPECT_EQ(px[y * 640 + x], edge ? 1 : 0)
                    << box.left << "," << box.top << "-" << box.right << "," << box.bottom << " at " << x << "," << y;
            }
    }
    ApiSetBlendModeParam(0, 0);

    // Filled boxes on the front screen are shown one by one.
    ASSERT_EQ(ApiSelectDrawTarget(kDrawTargetFront), 0);
    PlatformD3DKnobsRef().logCalls = true;
    PlatformD3DClearCallLog();
    ApiPaintBox(0, 0, 10, 10, 0, 1);
    ApiPaintBox(20, 0, 30, 10, 0, 1);
    EXPECT_EQ(Count(static_cast<int>(D3DCall::EndScene)), 2);
    EXPECT_EQ(Batches(), (std::vector<int>{6, 6}));
}

TEST_F(Direct3DDrawTest, ATargetInSystemMemoryDrawsNothing) {
    StartOn(true);
    const HandleId sprite = Graph(32, 32, SpritePixel);
    g_DrawState.createSystemMemory = 1;
    const HandleId plain = MakeEmptyGraph(64, 64, 1);
    g_DrawState.createSystemMemory = 0;
    ASSERT_GT(plain, 0);
    ApiSelectDrawTarget(plain);
    ASSERT_EQ(g_Direct3D.suppressed3D, 1);
    const std::vector<std::uint16_t> before = (ApiSelectDrawTarget(kDrawTargetBack), BackPixels());
    ApiSelectDrawTarget(plain);
    PlatformD3DKnobsRef().logCalls = true;
    PlatformD3DClearCallLog();
    EXPECT_EQ(TextureBlitGraph(0, 0, LookupGraph(sprite), 1, 1), 0);
    EXPECT_EQ(TextureRotateBlitGraph(10, 10, 1.0, 0.5, LookupGraph(sprite), 1, 0), 0);
    EndDeviceScene();
    EXPECT_TRUE(Batches().empty());
    ApiSelectDrawTarget(kDrawTargetBack);
    EXPECT_EQ(BackPixels(), before);
}

TEST_F(Direct3DDrawTest, ClearAndCaptureOfTextureGraphics) {
    StartOn(true);
    const HandleId layer = Graph(160, 64, LayerPixel);
    g_DrawState.makeDrawable = 1;
    const HandleId target = MakeEmptyGraph(64, 64, 0);
    const HandleId copy = MakeEmptyGraph(64, 32, 0);
    g_DrawState.makeDrawable = 0;
    ASSERT_GT(target, 0);
    ASSERT_GT(copy, 0);
    ASSERT_EQ(LookupGraph(target)->textureGraph, 1);

    // A texture target cleared to the background colour, then drawn into.
    g_SystemState.backgroundRed = 0xF8;
    g_SystemState.backgroundGreen = 0;
    g_SystemState.backgroundBlue = 0;
    ASSERT_EQ(ApiSelectDrawTarget(target), 0);
    ASSERT_EQ(ApiClearDrawTarget(), 0);
    EndDeviceScene();
    for (const auto& [x, y] : {std::pair{0, 0}, std::pair{63, 63}}) {
        const auto [got, want] = TexelAndColour(*LookupGraph(target), x, y, 0xF80000u);
        EXPECT_EQ(got, want) << "cleared at " << x << "," << y;
    }
    ApiBlitGraph(-8, -8, layer, 0);
    ApiPaintBox(0, 40, 64, 64, 0, 1);
    EndDeviceScene();
    const GraphRecord& t = *LookupGraph(target);
    for (const auto& [x, y, rgb] : {std::tuple{0, 0, LayerPixel(8, 8)}, std::tuple{63, 39, LayerPixel(71, 47)},
                                    std::tuple{10, 50, 0u}}) {
        const auto [got, want] = TexelAndColour(t, x, y, rgb);
        EXPECT_EQ(got, want) << x << "," << y;
    }

    // The back screen captured into a texture graphic.
    ASSERT_EQ(ApiSelectDrawTarget(kDrawTargetBack), 0);
    ApiBlitGraph(0, 0, layer, 0);
    EndDeviceScene();
    GraphRecord* c = LookupGraph(copy);
    ASSERT_EQ(CaptureScreenToGraphTextures(10, 5, 74, 37, c, 1), 0);
    EXPECT_EQ(g_Direct3D.captureVariant[LookupSurfaceData(LookupSurface3DData(c->storageHandles[0])->surfaceData)
                                            ->flags.AlphaChFlag ? 1 : 0] >= 0, true);
    for (const POINT& p : {POINT{0, 0}, POINT{63, 31}, POINT{20, 7}}) {
        const auto [got, want] = TexelAndColour(*c, p.x, p.y, LayerPixel(p.x + 10, p.y + 5));
        EXPECT_EQ(got, want) << p.x << "," << p.y;
    }
    // Larger than the graphic, or past the screen: every way fails.
    EXPECT_EQ(CaptureScreenToGraphTextures(0, 0, 65, 10, c, 1), -1);
    EXPECT_EQ(CaptureScreenToGraphTextures(600, 0, 650, 10, c, 1), -1);
    EXPECT_EQ(g_Direct3D.captureVariant[0], -1);
}

}  // namespace

namespace {

// Each way of the capture, tried first as the remembered way: every way
// the stand-in can run gives the screen's pixels in each tile, and one that
// cannot hands over to the next; a plain texture and one with the alpha
// test remember their ways apart.
TEST_F(Direct3DDrawTest, EveryWayOfTheCaptureGivesTheScreensPixels) {
    StartOn(true);
    const HandleId layer = Graph(160, 64, LayerPixel);
    ASSERT_EQ(ApiSelectDrawTarget(kDrawTargetBack), 0);
    ApiBlitGraph(0, 0, layer, 0);
    ApiBlitGraph(160, 0, layer, 0);
    ApiBlitGraph(320, 0, layer, 0);
    ApiBlitGraph(480, 0, layer, 0);
    EndDeviceScene();
    g_DrawState.createAlphaTest = 0;
    const HandleId plain = MakeEmptyGraph(64, 32, 0);
    g_DrawState.createAlphaTest = 1;
    const HandleId keyed = MakeEmptyGraph(64, 32, 0);
    const HandleId wide = MakeEmptyGraph(600, 40, 0);  // three tiles
    for (HandleId handle : {plain, keyed, wide}) {
        GraphRecord* g = LookupGraph(handle);
        ASSERT_NE(g, nullptr);
        const SurfaceDataRecord* first = LookupSurfaceData(LookupSurface3DData(g->storageHandles[0])->surfaceData);
        const int kind = first->flags.AlphaChFlag || first->flags.AlphaTestFlag ? 1 : 0;
        for (int way = 0; way < 5; ++way) {
            SCOPED_TRACE(testing::Message() << "graphic " << g->width << "x" << g->height << " kind " << kind
                                            << " way " << way);
            PaintWholeGraph(handle, 0, 0, 0, 255);
            g_Direct3D.captureVariant[kind] = way;
            g_Direct3D.captureVariant[1 - kind] = -1;
            const int x0 = 7 + way, y0 = 3;
            ASSERT_EQ(CaptureScreenToGraphTextures(x0, y0, x0 + g->width, y0 + g->height, g, 1), 0);
            // A copy by the blitter needs one format on both sides: into
            // 1:5:5:5 texels the walk goes on from the first way.
            EXPECT_EQ(g_Direct3D.captureVariant[kind], way == 1 && kind == 1 ? 0 : way);
            EXPECT_EQ(g_Direct3D.captureVariant[1 - kind], -1);
            for (const POINT& p : {POINT{0, 0}, POINT{g->width - 1, g->height - 1}, POINT{g->width / 2, 5},
                                   POINT{g->width - 3, 1}}) {
                const int sx = x0 + p.x, sy = y0 + p.y;
                const auto [got, want] = TexelAndColour(*g, p.x, p.y, LayerPixel(sx % 160, sy));
                EXPECT_EQ(got, want) << p.x << "," << p.y;
            }
        }
    }
}

}  // namespace
