// Texture tiles: the planner's lengths, the tiles a graphic gets, their
// quads and corner flags, part graphics sharing textures, uploads read
// back texel by texel, and the tiles across a device loss.
#include <gtest/gtest.h>

#include <vector>

#include "framework/graphics/d3d/direct3d_fixture.h"
#include "graphics/draw/draw_ops.h"
#include "platform/d3d.h"

namespace {

std::vector<int> Plan(int length, int single, int minimum = 32, int maximum = 1024, int fixed = 0, int screen = 640) {
    int out[64];
    const int n = PlanTextureTilesFor(length, out, 64, single, minimum, maximum, fixed, screen);
    return n < 0 ? std::vector<int>{} : std::vector<int>(out, out + n);
}

TEST(TexturePlanner, SplitsLengthsAsTheDeviceLimitsAllow) {
    struct Case {
        int length, single;
        std::vector<int> tiles;
    };
    const Case cases[] = {
        {20, 0, {32}},          {100, 0, {128}},          {300, 0, {512}},
        {640, 0, {512, 128}},   {700, 0, {512, 128, 64}}, {2000, 0, {1024, 1024}},
        {2100, 0, {1024, 1024, 64}}, {640, 1, {1024}},    {32, 0, {32}},
        {33, 0, {64}},          {1024, 0, {1024}},        {1536, 0, {1024, 512}},
        {768, 0, {512, 256}},   {384, 0, {512}},          {480, 0, {512}},
        {416, 0, {512}},        {288, 0, {512}},
    };
    for (const Case& c : cases) EXPECT_EQ(Plan(c.length, c.single), c.tiles) << c.length << " single " << c.single;
    // The device's own minimum above 32, and a small one.
    EXPECT_EQ(Plan(20, 0, 64), std::vector<int>{64});
    EXPECT_EQ(Plan(5, 0, 4), std::vector<int>{8});
    // A fixed tile size cuts every length alike.
    EXPECT_EQ(Plan(300, 0, 32, 1024, 128), (std::vector<int>{128, 128, 64}));
    // A screen wider than any texture: tiles of the largest the device takes.
    EXPECT_EQ(Plan(1200, 0, 32, 512, 0, 1280), (std::vector<int>{512, 512, 128, 64}));
    // Every length comes out covered, and no tile beyond the ceiling.
    for (int length = 1; length < 5000; length += 37) {
        const auto tiles = Plan(length, 0);
        int total = 0;
        for (int t : tiles) {
            EXPECT_LE(t, 1024) << length;
            total += t;
        }
        EXPECT_GE(total, length);
    }
}

using TextureTilesTest = Direct3DFrameworkTest;

TEST_F(TextureTilesTest, GraphicsAreCutIntoTilesWithReadyQuads) {
    Start();
    GraphImage image = MakeImage(1536, 700, [](int x, int y) { return static_cast<std::uint32_t>(x ^ (y << 9)); });
    const HandleId handle = MakeGraphFromImages(&image, nullptr, 1, 0, 0);
    ASSERT_GT(handle, 0);
    const GraphRecord& g = *LookupGraph(handle);
    // Columns 1024 + 512, rows 512 + 128 + 64: six tiles, row by row.
    ASSERT_EQ(g.storageCount, 6);
    const int xs[] = {0, 1024, 0, 1024, 0, 1024}, ys[] = {0, 0, 512, 512, 640, 640};
    const int widths[] = {1024, 512, 1024, 512, 1024, 512}, heights[] = {512, 512, 128, 128, 60, 60};
    const int textureHeights[] = {512, 512, 128, 128, 64, 64};
    for (int i = 0; i < 6; ++i) {
        const Surface3DDataRecord* t = LookupSurface3DData(g.storageHandles[i]);
        ASSERT_NE(t, nullptr);
        EXPECT_EQ(t->x, xs[i]);
        EXPECT_EQ(t->y, ys[i]);
        EXPECT_EQ(t->width, widths[i]);
        EXPECT_EQ(t->height, heights[i]);
        EXPECT_EQ(LookupSurfaceData(t->surfaceData)->height, textureHeights[i]);
        EXPECT_FLOAT_EQ(t->quad[3].x, static_cast<float>(xs[i] + widths[i]));
        EXPECT_FLOAT_EQ(t->quad[3].v, static_cast<float>(heights[i]) / textureHeights[i]);
        EXPECT_FLOAT_EQ(t->quad[0].rhw, 1.0f);
    }
    // Corner flags: above or on the diagonal from lower left to upper right.
    const Surface3DDataRecord* first = LookupSurface3DData(g.storageHandles[0]);
    EXPECT_EQ(first->cornerFlags[0], 1);  // (0, 0)
    EXPECT_EQ(first->cornerFlags[1], 1);  // (1024, 0)
    EXPECT_EQ(first->cornerFlags[2], 1);  // (0, 512)
    EXPECT_EQ(first->cornerFlags[3], 0);  // (1024, 512): 700 - 1024 * 700 / 1536 < 512
    // Every pixel arrived, each tile holding its own part of the image.
    for (int y = 0; y < 700; y += 23)
        for (int x = 0; x < 1536; x += 29) {
            const std::uint32_t rgb = static_cast<std::uint32_t>(x ^ (y << 9)) & 0xFFFFFF;
            ASSERT_EQ(GraphTexel(g, x, y), Expected1555(rgb, 0)) << x << "," << y;
        }
    ReleaseBaseImage(&image);
}

TEST_F(TextureTilesTest, RefusesMoreThanSixtyFourTilesBeforeMakingAny) {
    Start();
    const int before = g_SurfaceDataTable.Count();
    // 33 x 33 tiles of 32 would be needed with a fixed tile size of 32.
    g_Direct3D.fixedTileSize = 32;
    EXPECT_EQ(MakeEmptyGraph(33 * 32, 33 * 32, 0), kNoHandle);
    EXPECT_GE(FindLine("エラー：画像の分割数が最大数の 64 を超えました"), 0);
    EXPECT_EQ(g_SurfaceDataTable.Count(), before);
    g_Direct3D.fixedTileSize = 0;
}

TEST_F(TextureTilesTest, SquareOnlyDevicesCountTheirSquaresFirst) {
    D3DStandInKnobs& k = PlatformD3DKnobsRef();
    k.replaceDevices = true;
    k.devices = {PlatformD3DDefaultDevices()[1]};
    k.devices[0].desc.dpcTriCaps.dwTextureCaps |= D_D3DPTEXTURECAPS_SQUAREONLY;
    Start();
    // 1024 x 64: one tile cut into 16 squares of 64.
    const HandleId wide = MakeEmptyGraph(1024, 64, 0);
    ASSERT_GT(wide, 0);
    ASSERT_EQ(LookupGraph(wide)->storageCount, 16);
    const Surface3DDataRecord* last = LookupSurface3DData(LookupGraph(wide)->storageHandles[15]);
    EXPECT_EQ(last->x, 960);
    EXPECT_EQ(LookupSurfaceData(last->surfaceData)->width, 64);
    // 2048 x 16 in tiles of 1024 x 16 would need 64 squares each: refused
    // with the tile-count message, and nothing is written past the list.
    EXPECT_EQ(MakeEmptyGraph(2048, 16, 0), kNoHandle);
    EXPECT_GE(FindLine("エラー：画像の分割数が最大数の 64 を超えました"), 0);
}

TEST_F(TextureTilesTest, PartGraphicsShareTexturesAndOutliveTheirParent) {
    Start();
    GraphImage image = MakeImage(1200, 100, [](int x, int y) { return static_cast<std::uint32_t>(x * 97 + y * 3001); });
    const HandleId parent = MakeGraphFromImages(&image, nullptr, 1, 0, 0);
    ASSERT_GT(parent, 0);
    ASSERT_EQ(LookupGraph(parent)->storageCount, 3);  // 1024 + 128 + 64
    // A part over the tile boundary takes a piece of each tile.
    const HandleId across = MakePartGraph(1000, 10, 50, 40, parent);
    // A part of a part: offsets add up.
    const HandleId inner = MakePartGraph(30, 5, 10, 10, across);
    ASSERT_GT(across, 0);
    ASSERT_GT(inner, 0);
    ASSERT_EQ(LookupGraph(across)->storageCount, 2);
    const int texturesBefore = g_SurfaceDataTable.Count();
    // The parts hold the two textures they show; the third goes.
    ASSERT_EQ(ReleaseGraph(parent, 0), 0);
    EXPECT_EQ(g_SurfaceDataTable.Count(), texturesBefore - 1);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 50; ++x)
            ASSERT_EQ(GraphTexel(*LookupGraph(across), x, y),
                      Expected1555(static_cast<std::uint32_t>((1000 + x) * 97 + (10 + y) * 3001) & 0xFFFFFF, 0));
    EXPECT_EQ(GraphTexel(*LookupGraph(inner), 9, 9),
              Expected1555(static_cast<std::uint32_t>((1039) * 97 + (24) * 3001) & 0xFFFFFF, 0));
    // The last part gone, the textures go too.
    ReleaseGraph(across, 0);
    ReleaseGraph(inner, 0);
    EXPECT_LT(g_SurfaceDataTable.Count(), texturesBefore);
    ReleaseBaseImage(&image);
}

TEST_F(TextureTilesTest, UploadsClipToTheImageAndTheTexture) {
    Start();
    SetMakeDrawableGraphFlag(0);
    const HandleId handle = MakeEmptyGraph(64, 64, 0);
    ASSERT_GT(handle, 0);
    GraphRecord& g = *LookupGraph(handle);
    GraphImage small = MakeImage(10, 6, [](int x, int y) { return 0x1000u * static_cast<std::uint32_t>(x + 1) + y; });
    // The whole graphic from an image far smaller: only what exists is
    // written; the rest keeps what it had.
    ASSERT_EQ(FillGraphSurface3Ds(&g, 0, 0, 255, 255), 0);
    ASSERT_EQ(WriteImageToGraphTextures(&g, &small, nullptr, 4, 2), 0);
    EXPECT_EQ(GraphTexel(g, 0, 0), Expected1555(0x1000u * 5 + 2, 0));
    EXPECT_EQ(GraphTexel(g, 5, 3), Expected1555(0x1000u * 10 + 5, 0));
    EXPECT_EQ(GraphTexel(g, 6, 0), 0x801Fu);  // past the image: as painted
    EXPECT_EQ(GraphTexel(g, 0, 4), 0x801Fu);
    // A rectangle reaching past the graphic and starting left of the image.
    const RECT source{-3, 0, 10, 6};
    ASSERT_EQ(WriteRectToGraphTextures(&g, &small, nullptr, source, 58, 60), 0);
    EXPECT_EQ(GraphTexel(g, 61, 60), Expected1555(0x1000u * 1, 0));
    EXPECT_EQ(GraphTexel(g, 63, 63), Expected1555(0x1000u * 3 + 3, 0));
    EXPECT_EQ(GraphTexel(g, 60, 60), 0x801Fu);
    ReleaseBaseImage(&small);
}

TEST_F(TextureTilesTest, TextureThatCannotBeLockedIsWrittenThroughATemporaryOne) {
    Start();
    const HandleId handle = MakeEmptyGraph(32, 32, 0);
    ASSERT_GT(handle, 0);
    const GraphRecord& g = *LookupGraph(handle);
    const Surface3DDataRecord* tile = LookupSurface3DData(g.storageHandles[0]);
    D_IDirectDrawSurface7* texture = LookupSurfaceData(tile->surfaceData)->surface;
    // Someone else holds the texture locked, and a second lock is refused.
    PlatformDisplayKnobsRef().strictLocks = true;
    D_DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    ASSERT_EQ(texture->Lock(nullptr, &desc, D_DDLOCK_WAIT, nullptr), D_DD_OK);
    PlatformD3DKnobsRef().logCalls = true;
    GraphImage image = MakeImage(32, 32, [](int x, int y) { return static_cast<std::uint32_t>(x * 8 << 16 | y * 8); });
    ASSERT_EQ(WriteImageToGraphTextures(LookupGraph(handle), &image, nullptr, 0, 0), 0);
    texture->Unlock(nullptr);
    PlatformDisplayKnobsRef().strictLocks = false;
    bool loaded = false;
    for (const D3DCallRecord& r : PlatformD3DCallLog()) loaded = loaded || r.call == D3DCall::Load;
    EXPECT_TRUE(loaded);
    EXPECT_EQ(GraphTexel(g, 7, 9), Expected1555(56u << 16 | 72u, 0));
    ReleaseBaseImage(&image);
}

TEST_F(TextureTilesTest, TilesSurviveADeviceLossWithTheirPixelsRewritten) {
    Start();
    GraphImage image = MakeImage(700, 300, [](int x, int y) { return static_cast<std::uint32_t>(x * 11 + y * 977); });
    const HandleId handle = MakeGraphFromImages(&image, nullptr, 1, 0, 0);
    ASSERT_GT(handle, 0);
    const std::vector<HandleId> tiles(LookupGraph(handle)->storageHandles,
                                      LookupGraph(handle)->storageHandles + LookupGraph(handle)->storageCount);
    ASSERT_EQ(ReleaseDirect3DObjects(), 0);
    EXPECT_EQ(HasDevice3DInterface(), 0);
    EXPECT_EQ(LookupSurfaceData(LookupSurface3DData(tiles[0])->surfaceData)->surface, nullptr);
    ASSERT_EQ(ReacquireDirect3D(), 0);
    EXPECT_EQ(HasDevice3DInterface(), 1);
    // The same tiles under the same handles, with new textures to fill.
    const GraphRecord& g = *LookupGraph(handle);
    ASSERT_EQ(std::vector<HandleId>(g.storageHandles, g.storageHandles + g.storageCount), tiles);
    ASSERT_NE(LookupSurfaceData(LookupSurface3DData(tiles[0])->surfaceData)->surface, nullptr);
    ASSERT_EQ(WriteImageToGraphTextures(LookupGraph(handle), &image, nullptr, 0, 0), 0);
    EXPECT_EQ(GraphTexel(g, 650, 290), Expected1555(static_cast<std::uint32_t>(650 * 11 + 290 * 977), 0));
    EXPECT_GE(FindLine("Ｄｉｒｅｃｔ３Ｄデバイスを削除しました"), 0);
    EXPECT_GE(FindLine("Ｄｉｒｅｃｔ３Ｄオブジェクトは正常に取得されました"), 0);
    ReleaseBaseImage(&image);
}

}  // namespace
