// 2D surfaces: the handle table, part graphics sharing surface data, writes,
// fills and copies, and what a device loss and a DirectDraw rebuild leave.
#include <gtest/gtest.h>

#include <string>

#include "framework/core/log_capture.h"
#include "graphics/device/present.h"
#include "graphics/draw/draw_state.h"
#include "graphics/image/memimg.h"
#include "softrender/render_tables.h"
#include "storage_fixture.h"

namespace {

class Surface2DTest : public StorageTest {
protected:
    // A graphic cut from the parent at (x, y), sharing its storage.
    static GraphRecord* NewPart(GraphRecord* parent, int x, int y, int width, int height) {
        GraphRecord* part = nullptr;
        NewGraphHandle(width, height, 0, &part, 0, 0);
        if (part == nullptr || AttachPartSurface2D(part, x, y, width, height, parent) < 0) return nullptr;
        return part;
    }
    static HandleId DataHandle(const GraphRecord* graph) { return First2D(graph)->surfaceData; }
    static std::uint32_t At(const GraphRecord* graph, int x, int y) { return PixelAt(DataHandle(graph), x, y); }
    static int Write(GraphRecord* graph, const Picture565& picture) {
        return WriteImageToGraphSurface2Ds(graph, &picture.image, nullptr, 0, 0, 0);
    }
    static bool Shows(const GraphRecord* graph, const Picture565& picture) {
        for (int y = 0; y < graph->height; ++y)
            for (int x = 0; x < graph->width; ++x) {
                std::uint16_t want;
                std::memcpy(&want, &picture.storage[y * picture.image.pitch + x * 2], 2);
                if (At(graph, x, y) != want) return false;
            }
        return true;
    }
    // Draws the graphic's surface onto a fresh black surface with the source
    // colour key, as a transparent draw does, and reads one pixel back.
    std::uint32_t KeyedDrawPixel(const GraphRecord* graph, int x, int y) {
        D_DDSURFACEDESC2 desc{};
        desc.dwSize = sizeof desc;
        desc.dwFlags = D_DDSD_CAPS | D_DDSD_WIDTH | D_DDSD_HEIGHT;
        desc.dwWidth = static_cast<DWORD>(graph->width);
        desc.dwHeight = static_cast<DWORD>(graph->height);
        desc.ddsCaps.dwCaps = D_DDSCAPS_OFFSCREENPLAIN | D_DDSCAPS_SYSTEMMEMORY;
        D_IDirectDrawSurface7* target = nullptr;
        if (dd->CreateSurface(&desc, &target, nullptr) != D_DD_OK) return 0xDEADBEEF;
        std::uint32_t v = 0xDEADBEEF;
        if (target->BltFast(0, 0, DataOf(graph)->surface, nullptr, D_DDBLTFAST_SRCCOLORKEY) == D_DD_OK &&
            target->Lock(nullptr, &desc, D_DDLOCK_WAIT, nullptr) == D_DD_OK) {
            std::uint16_t p;
            std::memcpy(&p, static_cast<std::uint8_t*>(desc.lpSurface) + y * desc.lPitch + x * 2, 2);
            v = p;
            target->Unlock(nullptr);
        }
        target->Release();
        return v;
    }
};

TEST_F(Surface2DTest, AWholeGraphicGetsOneSurfaceOverItsOwnData) {
    GraphRecord* graph = NewGraph(20, 10);
    ASSERT_NE(graph, nullptr);
    EXPECT_EQ(graph->storageCount, 1);
    EXPECT_EQ(graph->storageHandles[0], 0x28000000);
    const Surface2DRecord* s = First2D(graph);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->owner, graph->handle);
    EXPECT_EQ(s->width, 20);
    EXPECT_EQ(s->height, 10);
    EXPECT_EQ(s->partX + s->partY + s->x + s->y, 0);
    EXPECT_EQ(DataOf(graph)->refCount, 1);
    EXPECT_EQ(LookupSurface2D(0x28010000), nullptr);  // stale check number
    EXPECT_EQ(LookupSurface2D(graph->handle), nullptr);  // a graphic handle
    EXPECT_EQ(DeleteSurface2D(-5), 0);
}

TEST_F(Surface2DTest, PartsShareTheDataUntilTheLastOneIsDeleted) {
    GraphRecord* parent = NewGraph(8, 4);
    ASSERT_NE(parent, nullptr);
    Picture565 picture(8, 4);
    ASSERT_EQ(Write(parent, picture.Numbered()), 0);
    GraphRecord* part = NewPart(parent, 4, 1, 4, 3);
    GraphRecord* inner = NewPart(part, 1, 1, 2, 2);  // a part of a part
    ASSERT_NE(part, nullptr);
    ASSERT_NE(inner, nullptr);
    const HandleId data = DataHandle(parent);
    EXPECT_EQ(DataHandle(part), data);
    EXPECT_EQ(First2D(inner)->partX, 5);
    EXPECT_EQ(First2D(inner)->partY, 2);
    EXPECT_EQ(LookupSurfaceData(data)->refCount, 3);

    const HandleId parentHandle = parent->handle, partHandle = part->handle;
    ASSERT_EQ(ReleaseGraph(parentHandle, 0), 0);
    ASSERT_EQ(ReleaseGraph(partHandle, 0), 0);
    ASSERT_NE(LookupSurfaceData(data), nullptr);
    EXPECT_EQ(LookupSurfaceData(data)->refCount, 1);
    EXPECT_EQ(PixelAt(data, 5, 2), 0x100u + (2 << 8) + 5);  // the pixels live on
    ASSERT_EQ(ReleaseGraph(inner->handle, 0), 0);
    EXPECT_EQ(LookupSurfaceData(data), nullptr);
    EXPECT_EQ(g_SurfaceDataTable.Count(), 0);
    EXPECT_EQ(g_Surface2DTable.Count(), 0);
}

// A record keeps where it sits in its graphic and in its data, and hands
// back the flags its data was made with (none asked for is fine).
TEST_F(Surface2DTest, ARecordKeepsItsPlaceAndHandsBackTheFlagsOfItsData) {
    SurfaceCreateFlags flags = PlainFlags();
    flags.AlphaChFlag = 1;
    const HandleId whole = AddSurface2D(8, 6, 3, 4, 77, nullptr, 0, 0, &flags);
    ASSERT_GE(whole, 0);
    const Surface2DRecord* first = LookupSurface2D(whole);
    EXPECT_EQ(first->x, 3);
    EXPECT_EQ(first->y, 4);
    EXPECT_EQ(first->owner, 77);
    EXPECT_EQ(flags.AlphaChFlag, 1);
    EXPECT_EQ(flags.ColorBitDepth, 16);
    const struct {
        int partX, partY, width, height;
        bool shared;
    } parts[] = {{2, 1, 6, 5, true}, {3, 1, 6, 5, false}, {0, 0, 8, 6, true}, {2, 2, 6, 5, false}};
    for (const auto& p : parts) {
        SCOPED_TRACE(testing::Message() << p.partX << "," << p.partY);
        SurfaceCreateFlags handed{};
        const HandleId part = AddSurface2D(p.width, p.height, 1, 2, 78, first, p.partX, p.partY, &handed);
        if (!p.shared) {
            EXPECT_EQ(part, -1) << "not inside the data";
            continue;
        }
        ASSERT_GE(part, 0);
        const Surface2DRecord* record = LookupSurface2D(part);
        EXPECT_EQ(record->surfaceData, first->surfaceData);
        EXPECT_EQ(record->partX, p.partX);
        EXPECT_EQ(record->partY, p.partY);
        EXPECT_EQ(record->x + record->y, 3);
        EXPECT_EQ(handed.AlphaChFlag, 1) << "the shared data's own flags";
        EXPECT_GE(AddSurface2D(p.width, p.height, 0, 0, 79, first, p.partX, p.partY, nullptr), 0);
    }
    EXPECT_GE(AddSurface2D(2, 2, 0, 0, 80, nullptr, 0, 0, nullptr), 0);
    EXPECT_EQ(DeleteAllSurface2DIfReady(), 0);
    EXPECT_EQ(g_Surface2DTable.Count(), 0);
    EXPECT_EQ(g_SurfaceDataTable.Count(), 0);
    // A graphic that is a texture, or has no storage, is no draw target here.
    GraphRecord* graph = NewGraph(4, 4);
    DrawTargetBinding binding{};
    EXPECT_EQ(GetGraphTargetStorage(graph, &binding), 0);
    EXPECT_EQ(GetGraphTargetStorage(graph, nullptr), -1);
    graph->textureGraph = 1;
    EXPECT_EQ(GetGraphTargetStorage(graph, &binding), -1);
    graph->textureGraph = 0;
    graph->storageCount = 0;
    EXPECT_EQ(GetGraphTargetStorage(graph, &binding), -1);
    graph->storageCount = 1;
}

TEST_F(Surface2DTest, APartMustLieInsideItsSource) {
    GraphRecord* parent = NewGraph(8, 4);
    EXPECT_EQ(NewPart(parent, 6, 0, 4, 4), nullptr);
    EXPECT_EQ(NewPart(parent, 0, -1, 2, 2), nullptr);
    EXPECT_EQ(LookupSurfaceData(DataHandle(parent))->refCount, 1);
}

TEST_F(Surface2DTest, TheEndOfTheUsedAreaFallsPastEmptySlots) {
    SurfaceCreateFlags flags = PlainFlags();
    HandleId h[3];
    for (HandleId& handle : h) handle = AddSurface2D(4, 4, 0, 0, 0, nullptr, 0, 0, &flags);
    EXPECT_EQ(g_Surface2DTable.UsedEnd(), 3);
    DeleteSurface2D(h[1]);
    EXPECT_EQ(g_Surface2DTable.UsedEnd(), 3);
    DeleteSurface2D(h[2]);
    EXPECT_EQ(g_Surface2DTable.UsedEnd(), 1);
    DeleteSurface2D(h[0]);
    EXPECT_EQ(g_Surface2DTable.UsedEnd(), 0);
    EXPECT_EQ(g_SurfaceDataTable.Count(), 0);
}

TEST_F(Surface2DTest, TheTableRefusesThe32769thSurface) {
    LogCapture log;
    SurfaceCreateFlags flags = PlainFlags();
    const HandleId first = AddSurface2D(2, 2, 0, 0, 0, nullptr, 0, 0, &flags);
    const Surface2DRecord source = *LookupSurface2D(first);
    for (int i = 1; i < kSurface2DSlotCount; ++i)
        ASSERT_GE(AddSurface2D(2, 2, 0, 0, 0, &source, 0, 0, &flags), 0) << i;
    EXPECT_EQ(AddSurface2D(2, 2, 0, 0, 0, &source, 0, 0, &flags), -1);
    EXPECT_NE(log.File().find("２Ｄグラフィックの量が許容量を越えました"), std::string::npos);
    EXPECT_EQ(LookupSurfaceData(source.surfaceData)->refCount, kSurface2DSlotCount);
    DeleteAllSurface2D();
    EXPECT_EQ(g_SurfaceDataTable.Count(), 0);
}

TEST_F(Surface2DTest, WritesLandInDirectDrawAndSoftwareStorage) {
    Picture565 picture(6, 3);
    picture.Numbered();
    GraphRecord* video = NewGraph(6, 3);
    g_DrawState.createSystemMemory = 1;
    GraphRecord* soft = NewGraph(6, 3);
    g_DrawState.createSystemMemory = 0;
    ASSERT_NE(video, nullptr);
    ASSERT_NE(soft, nullptr);
    EXPECT_EQ(DataOf(video)->kind, kSurfaceKindPlain);
    EXPECT_EQ(DataOf(soft)->kind, kSurfaceKindMemImg16);
    ASSERT_EQ(Write(video, picture), 0);
    ASSERT_EQ(Write(soft, picture), 0);
    EXPECT_EQ(DataOf(soft)->memImg.runTableValid, 1u);
    EXPECT_TRUE(Shows(video, picture));
    EXPECT_TRUE(Shows(soft, picture));
    // A lock may write anything: the run table no longer counts.
    EXPECT_EQ(DataOf(soft)->memImg.runTableValid, 0u);

    // A block at a position, partly outside the graphic: only what fits.
    Picture565 block(4, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) block.Set(x, y, 0x7777);
    ASSERT_EQ(WriteImageToSurface2DAt(video, &block.image, nullptr, 4, 1, 0), 0);
    EXPECT_EQ(At(video, 3, 1), 0x100u + (1 << 8) + 3);
    EXPECT_EQ(At(video, 4, 1), 0x7777u);
    EXPECT_EQ(At(video, 5, 2), 0x7777u);
    // A source rectangle reaching beyond the picture is clipped to it; the
    // picture's left edge still lands 3 pixels in.
    const RECT beyond{-3, 0, 100, 100};
    EXPECT_EQ(WriteImageToSurface2D(&block.image, nullptr, beyond, 0, 0, video->storageHandles[0], 0), 0);
    EXPECT_EQ(At(video, 3, 0), 0x7777u);
    EXPECT_EQ(At(video, 2, 0), 0x100u + 2);
    EXPECT_EQ(WriteImageToSurface2D(nullptr, nullptr, beyond, 0, 0, video->storageHandles[0], 0), -1);
    EXPECT_EQ(WriteImageToSurface2D(&block.image, nullptr, beyond, 0, 0, -1, 0), -1);
    g_DrawState.drawingSuppressed = 1;
    EXPECT_EQ(WriteImageToSurface2D(&block.image, nullptr, beyond, 0, 0, -1, 0), 0);
    g_DrawState.drawingSuppressed = 0;
}

TEST_F(Surface2DTest, APartWritesAndFillsOnlyItsWindowOfTheSharedData) {
    GraphRecord* parent = NewGraph(8, 4);
    ASSERT_EQ(FillGraphSurface2Ds(parent, 0, 0, 255, 255), 0);
    GraphRecord* part = NewPart(parent, 4, 1, 3, 2);
    ASSERT_NE(part, nullptr);
    ASSERT_EQ(FillGraphSurface2Ds(part, 255, 0, 0, 255), 0);
    EXPECT_EQ(At(parent, 3, 1), 0x001Fu);
    EXPECT_EQ(At(parent, 4, 1), 0xF800u);
    EXPECT_EQ(At(parent, 6, 2), 0xF800u);
    EXPECT_EQ(At(parent, 7, 2), 0x001Fu);
    EXPECT_EQ(At(parent, 4, 3), 0x001Fu);
    Picture565 picture(3, 2);
    ASSERT_EQ(Write(part, picture.Numbered()), 0);
    EXPECT_EQ(At(parent, 4, 1), 0x100u);
    EXPECT_EQ(At(parent, 6, 2), 0x100u + (1 << 8) + 2);
    EXPECT_EQ(At(parent, 7, 1), 0x001Fu);
}

// The must-have of device loss: video-memory storage is lost with exclusive
// mode; restored, it is written again from the image (as the reload handler
// does) and keeps its colour key. Software storage keeps its pixels.
TEST_F(Surface2DTest, ALostSurfaceIsRestoredWithItsPixelsAndColourKey) {
    g_DrawState.transparentColor = 0xFF00FF;
    Picture565 picture(4, 2);
    picture.Numbered().Set(1, 0, 0xF81F);
    GraphRecord* video = NewGraph(4, 2);
    g_DrawState.createSystemMemory = 1;
    GraphRecord* soft = NewGraph(4, 2);
    g_DrawState.createSystemMemory = 0;
    int videoLost = 7, softLost = 7;
    ASSERT_EQ(LinkSurface2DLostFlag(video->storageHandles[0], &videoLost), 0);
    ASSERT_EQ(LinkSurface2DLostFlag(soft->storageHandles[0], &softLost), 0);
    EXPECT_EQ(videoLost + softLost, 0);
    ASSERT_EQ(Write(video, picture), 0);
    ASSERT_EQ(Write(soft, picture), 0);

    PlatformDisplayLoseExclusive();
    EXPECT_EQ(RestoreGraphSurface2Ds(video), -1);  // not before exclusive mode is back
    EXPECT_EQ(RestoreGraphSurface2Ds(soft), 0);
    EXPECT_EQ(videoLost, 1);
    EXPECT_EQ(softLost, 0);
    PlatformDisplayRegainExclusive();
    videoLost = 0;
    // The main surfaces' part answers for a screen device not started here.
    RestoreAllSurface2D();
    EXPECT_EQ(videoLost, 1);
    EXPECT_EQ(IsSurfaceDataLost(DataHandle(video)), 0);
    EXPECT_TRUE(Shows(soft, picture));
    EXPECT_FALSE(Shows(video, picture));  // restored memory holds no picture

    ASSERT_EQ(Write(video, picture), 0);
    EXPECT_TRUE(Shows(video, picture));
    D_DDCOLORKEY key{};
    ASSERT_EQ(DataOf(video)->surface->GetColorKey(D_DDCKEY_SRCBLT, &key), D_DD_OK);
    EXPECT_EQ(key.dwColorSpaceLowValue, 0xF81Fu);
    EXPECT_EQ(KeyedDrawPixel(video, 1, 0), 0u);  // the keyed pixel is skipped
    EXPECT_EQ(KeyedDrawPixel(video, 2, 0), 0x102u);
    EXPECT_EQ(RestoreGraphSurface2Ds(video), 0);
    EXPECT_EQ(RestoreGraphSurface2Ds(nullptr), -1);
}

TEST_F(Surface2DTest, ARebuiltDirectDrawGetsTheSameHandlesAndColourKeys) {
    g_DrawState.transparentColor = 0xFF00FF;
    Picture565 picture(4, 2);
    picture.Numbered();
    GraphRecord* video = NewGraph(4, 2);
    GraphRecord* part = NewPart(video, 1, 0, 2, 2);
    g_DrawState.createSystemMemory = 1;
    GraphRecord* soft = NewGraph(4, 2);
    g_DrawState.createSystemMemory = 0;
    int partLost = 0, softLost = 0;
    LinkSurface2DLostFlag(part->storageHandles[0], &partLost);
    LinkSurface2DLostFlag(soft->storageHandles[0], &softLost);
    ASSERT_EQ(Write(video, picture), 0);
    ASSERT_EQ(Write(soft, picture), 0);
    const HandleId videoData = DataHandle(video);

    ASSERT_EQ(ReleaseAllSurface2DSurfaces(), 0);
    EXPECT_EQ(DataOf(video)->surface, nullptr);
    EXPECT_EQ(Write(video, picture), -1) << "no storage to write into";
    EXPECT_EQ(partLost, 1);  // a part sharing released storage hears of it
    EXPECT_EQ(softLost, 0);  // software storage belongs to no device
    dd->Release();
    dd = NewDirectDraw();
    ASSERT_NE(dd, nullptr);
    UseDirectDraw(dd);
    // A surface the new object refuses is -1; the next try makes it.
    PlatformDisplayKnobsRef().surfacesBeforeRefusal = 0;
    EXPECT_EQ(RecreateAllSurface2DSurfaces(), -1);
    EXPECT_EQ(DataOf(video)->surface, nullptr);
    PlatformDisplayKnobsRef().surfacesBeforeRefusal = -1;
    ASSERT_EQ(RecreateAllSurface2DSurfaces(), 0);

    EXPECT_EQ(DataHandle(video), videoData);
    EXPECT_EQ(DataHandle(part), videoData);
    ASSERT_NE(DataOf(video)->surface, nullptr);
    D_DDCOLORKEY key{};
    ASSERT_EQ(DataOf(video)->surface->GetColorKey(D_DDCKEY_SRCBLT, &key), D_DD_OK);
    EXPECT_EQ(key.dwColorSpaceLowValue, 0xF81Fu);
    EXPECT_TRUE(Shows(soft, picture));
    ASSERT_EQ(Write(video, picture), 0);
    EXPECT_TRUE(Shows(video, picture));
}

TEST_F(Surface2DTest, TheDrawTargetIsCopiedIntoAGraphicOfTheSameSize) {
    // A surface a copy left locked could not be locked again.
    PlatformDisplayKnobsRef().strictLocks = true;
    Picture565 picture(8, 8);
    picture.Numbered();
    g_DrawState.createSystemMemory = 1;
    GraphRecord* softTarget = NewGraph(8, 8);
    GraphRecord* softCopy = NewGraph(3, 2);
    g_DrawState.createSystemMemory = 0;
    GraphRecord* videoTarget = NewGraph(8, 8);
    GraphRecord* videoCopy = NewGraph(3, 2);
    ASSERT_EQ(Write(softTarget, picture), 0);
    ASSERT_EQ(Write(videoTarget, picture), 0);

    // Every pairing of software and DirectDraw storage.
    for (GraphRecord* target : {videoTarget, softTarget}) {
        ASSERT_EQ(SelectDrawTarget(target->handle), 0);
        for (GraphRecord* copy : {videoCopy, softCopy}) {
            FillGraphSurface2Ds(copy, 0, 0, 0, 255);
            ASSERT_EQ(CopyDrawScreenToSurface2D(2, 5, 5, 7, copy), 0);
            EXPECT_EQ(At(copy, 0, 0), 0x100u + (5 << 8) + 2);
            EXPECT_EQ(At(copy, 2, 1), 0x100u + (6 << 8) + 4);
        }
    }
    // Rectangles refused, each leaving the copy as it was.
    const struct {
        int x1, y1, x2, y2;
        const char* why;
    } refused[] = {
        {2, 5, 6, 7, "not the graphic's size"}, {6, 5, 9, 7, "past the right"}, {2, 7, 5, 9, "past the bottom"},
        {-1, 5, 2, 7, "left of it"},            {2, -1, 5, 1, "above it"},       {2, 5, 2, 7, "empty"},
        {5, 7, 2, 5, "upside down"},
    };
    const std::uint32_t kept = At(videoCopy, 0, 0);
    for (const auto& r : refused) {
        EXPECT_EQ(CopyDrawScreenToSurface2D(r.x1, r.y1, r.x2, r.y2, videoCopy), -1) << r.why;
        EXPECT_EQ(At(videoCopy, 0, 0), kept) << r.why;
    }
    EXPECT_EQ(CopyDrawScreenToSurface2D(2, 5, 5, 7, nullptr), -1);
    ASSERT_EQ(SelectDrawTarget(kFrontScreenTarget), 0);
}

TEST_F(Surface2DTest, GdiCopiesBetweenSurfaces) {
    Picture565 picture(4, 4);
    GraphRecord* a = NewGraph(4, 4);
    GraphRecord* b = NewGraph(4, 4);
    ASSERT_EQ(Write(a, picture.Numbered()), 0);
    ASSERT_EQ(FillGraphSurface2Ds(b, 0, 0, 0, 255), 0);
    ASSERT_EQ(GdiCopyThroughSurfaceDC(DataOf(b)->surface, 1, 2, DataOf(a)->surface, RECT{0, 0, 2, 2}), 0);
    EXPECT_EQ(At(b, 1, 2), 0x100u);
    EXPECT_EQ(At(b, 2, 3), 0x100u + (1 << 8) + 1);
    EXPECT_EQ(At(b, 0, 0), 0u);
    EXPECT_EQ(GdiCopyThroughSurfaceDC(nullptr, 0, 0, DataOf(a)->surface, RECT{0, 0, 1, 1}), -1);
    EXPECT_EQ(GdiCopyThroughSurfaceDC(DataOf(b)->surface, 0, 0, nullptr, RECT{0, 0, 1, 1}), -1);
    // A copy inside one surface, rows moved down by one.
    ASSERT_EQ(GdiCopyThroughSurfaceDC(DataOf(a)->surface, 0, 1, DataOf(a)->surface, RECT{0, 0, 4, 1}), 0);
    EXPECT_EQ(At(a, 3, 1), 0x100u + 3);
    // Either side busy (locked): refused, the DCs given back.
    for (bool lockDest : {true, false}) {
        D_IDirectDrawSurface7* locked = lockDest ? DataOf(b)->surface : DataOf(a)->surface;
        D_DDSURFACEDESC2 desc{};
        desc.dwSize = sizeof desc;
        ASSERT_EQ(locked->Lock(nullptr, &desc, 0, nullptr), D_DD_OK);
        EXPECT_EQ(GdiCopyThroughSurfaceDC(DataOf(b)->surface, 0, 0, DataOf(a)->surface, RECT{0, 0, 1, 1}), -1);
        locked->Unlock(nullptr);
    }
    EXPECT_EQ(At(b, 0, 0), 0u);
    EXPECT_EQ(GdiCopyThroughSurfaceDC(DataOf(b)->surface, 0, 0, DataOf(a)->surface, RECT{0, 0, 1, 1}), 0)
        << "no DC was left out";
}

TEST_F(Surface2DTest, SoftwareOnlyModeHoldsEveryGraphicAsASoftwareImage) {
    UseSoftwareOnly();
    GraphRecord* graph = NewGraph(5, 3);
    ASSERT_NE(graph, nullptr);
    EXPECT_EQ(DataOf(graph)->heldAsMemImg, 1u);
    EXPECT_EQ(DataOf(graph)->kind, kSurfaceKindMemImg16);
    Picture565 picture(5, 3);
    ASSERT_EQ(Write(graph, picture.Numbered()), 0);
    EXPECT_TRUE(Shows(graph, picture));
    EXPECT_EQ(RestoreGraphSurface2Ds(graph), 0);
    EXPECT_EQ(DeleteGraphSurface2Ds(graph), 0);
    EXPECT_EQ(graph->storageCount, 0);
}

TEST_F(Surface2DTest, NothingIsMadeOrDeletedWithoutADevice) {
    LogCapture log;
    GraphRecord* graph = NewGraph(4, 4);
    UseNoDevice();
    GraphRecord* none = nullptr;
    NewGraphHandle(4, 4, 0, &none, 0, 0);
    EXPECT_EQ(AttachNewSurface2D(none), -1);
    SurfaceCreateFlags flags = PlainFlags();
    EXPECT_EQ(AddSurface2D(4, 4, 0, 0, 0, nullptr, 0, 0, &flags), -1);
    EXPECT_NE(log.File().find("ＫＶライブラリが初期化されていません"), std::string::npos);
    EXPECT_EQ(DeleteGraphSurface2Ds(graph), -1);
    EXPECT_EQ(DeleteAllSurface2DIfReady(), -1);
    EXPECT_EQ(g_Surface2DTable.Count(), 1);
    UseDirectDraw(dd);
}

TEST_F(Surface2DTest, AssigningABlendGraphicRebuildsTheWeightTable) {
    GraphRecord* blend = NewGraph(4, 4);
    ASSERT_EQ(AssignBlendMaskGraph(blend->handle, 128, 255), 0);
    for (int i = 0; i < 256; ++i) ASSERT_EQ(MaskWeightTable[i], i);
    ASSERT_EQ(AssignBlendMaskGraph(blend->handle, 255, 0), 0);
    EXPECT_EQ(MaskWeightTable[254], 0);
    EXPECT_EQ(MaskWeightTable[255], 1);
    ASSERT_EQ(AssignBlendMaskGraph(kNoHandle, 0, 255), 0);
    for (int i = 0; i < 256; ++i) ASSERT_EQ(MaskWeightTable[i], 255);
}

// A graphic whose 2D surface is gone, or no graphic at all, is refused by
// every operation on its surfaces.
TEST_F(Surface2DTest, AGraphicWithAStaleSurfaceHandleIsRefused) {
    GraphRecord* stale = NewGraph(4, 4);
    ASSERT_NE(stale, nullptr);
    ASSERT_EQ(DeleteSurface2D(stale->storageHandles[0]), 0);
    ASSERT_EQ(stale->storageCount, 1);
    Picture565 picture(4, 4);
    DrawTargetBinding binding{};
    const struct {
        const char* name;
        int (*call)(GraphRecord*, const Picture565&, DrawTargetBinding*);
    } calls[] = {
        {"restore", [](GraphRecord* g, const Picture565&, DrawTargetBinding*) { return RestoreGraphSurface2Ds(g); }},
        {"fill", [](GraphRecord* g, const Picture565&, DrawTargetBinding*) { return FillGraphSurface2Ds(g, 1, 2, 3, 255); }},
        {"write", [](GraphRecord* g, const Picture565& p, DrawTargetBinding*) {
             return WriteImageToGraphSurface2Ds(g, &p.image, nullptr, 0, 0, 0);
         }},
        {"write at", [](GraphRecord* g, const Picture565& p, DrawTargetBinding*) {
             return WriteImageToSurface2DAt(g, &p.image, nullptr, 0, 0, 0);
         }},
        {"bind", [](GraphRecord* g, const Picture565&, DrawTargetBinding* b) { return GetGraphTargetStorage(g, b); }},
        {"copy", [](GraphRecord* g, const Picture565&, DrawTargetBinding*) {
             return CopyDrawScreenToSurface2D(0, 0, 4, 4, g);
         }},
        {"movie", [](GraphRecord* g, const Picture565&, DrawTargetBinding*) { return CopyMovieFrameToSurface2D(g); }},
    };
    for (const auto& c : calls) {
        EXPECT_EQ(c.call(stale, picture, &binding), -1) << c.name << ", stale";
        EXPECT_EQ(c.call(nullptr, picture, &binding), -1) << c.name << ", none";
    }
    EXPECT_EQ(DeleteGraphSurface2Ds(nullptr), -1);
    EXPECT_EQ(AttachNewSurface2D(nullptr), -1);
    EXPECT_EQ(AttachPartSurface2D(nullptr, 0, 0, 1, 1, stale), -1);
    EXPECT_EQ(LinkSurface2DLostFlag(stale->storageHandles[0], nullptr), -1);
    stale->storageCount = 0;

    // A write that lands wholly outside the surface is nothing, not a
    // failure; one that overlaps a corner writes that corner only.
    GraphRecord* graph = NewGraph(4, 4);
    ASSERT_NE(graph, nullptr);
    picture.Set(0, 0, 0x1234);
    const HandleId surface = graph->storageHandles[0];
    const RECT all{0, 0, 4, 4};
    const struct {
        int x, y;
    } outside[] = {{4, 0}, {0, 4}, {-4, 0}, {0, -4}, {100, 100}};
    for (const auto& o : outside)
        EXPECT_EQ(WriteImageToSurface2D(&picture.image, nullptr, all, o.x, o.y, surface, 0), 0) << o.x << "," << o.y;
    EXPECT_EQ(At(graph, 3, 3), 0u);
    EXPECT_EQ(WriteImageToSurface2D(&picture.image, nullptr, all, 3, 3, surface, 0), 0);
    EXPECT_EQ(At(graph, 3, 3), 0x1234u);
    EXPECT_EQ(At(graph, 2, 3), 0u);
    // An alpha image smaller than the image limits the write to its size.
    Picture565 alpha(2, 3);
    GraphRecord* clipped = NewGraph(4, 4);
    ASSERT_EQ(WriteImageToSurface2D(&picture.image, &alpha.image, all, 0, 0, clipped->storageHandles[0], 0), 0);
    EXPECT_EQ(At(clipped, 0, 0), 0x1234u);
    picture.Set(1, 2, 0x4321);
    picture.Set(2, 2, 0x4321);
    picture.Set(1, 3, 0x4321);
    ASSERT_EQ(WriteImageToSurface2D(&picture.image, &alpha.image, all, 0, 0, clipped->storageHandles[0], 0), 0);
    EXPECT_EQ(At(clipped, 1, 2), 0x4321u);
    EXPECT_EQ(At(clipped, 2, 2), 0u);
    EXPECT_EQ(At(clipped, 1, 3), 0u);
    // So in software storage.
    g_DrawState.createSystemMemory = 1;
    UseSoftwareOnly();
    GraphRecord* soft = NewGraph(4, 4);
    ASSERT_NE(soft, nullptr);
    EXPECT_EQ(WriteImageToSurface2D(&picture.image, nullptr, all, 3, 3, soft->storageHandles[0], 0), 0);
    EXPECT_EQ(At(soft, 3, 3), 0x1234u);
    EXPECT_EQ(WriteImageToSurface2D(&picture.image, nullptr, all, 4, 0, soft->storageHandles[0], 0), 0);
    g_DrawState.createSystemMemory = 0;
    UseDirectDraw(dd);
}

}  // namespace
