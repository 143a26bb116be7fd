// The graphic table: handle values, stale handles, the check counter's wrap,
// the full table, release one by one and all together, lost flags.
#include <cstdio>
#include <cstring>

#include "framework/core/log_capture.h"
#include "framework/graphics/graphics_fixture.h"
#include "graphics/draw/graph_load.h"

namespace {

class GraphTableTest : public GraphicsTest {};

// The log file without the "<milliseconds>:" at the start of each line.
std::string LogWithoutTimes(const LogCapture& log) {
    const std::string file = log.File();
    std::string out;
    bool lineStart = true;
    for (std::size_t i = 0; i < file.size();) {
        if (lineStart) {
            std::size_t digits = i;
            while (digits < file.size() && file[digits] >= '0' && file[digits] <= '9') ++digits;
            if (digits > i && digits < file.size() && file[digits] == ':') i = digits + 1;
            if (i == file.size()) break;
        }
        lineStart = file[i] == '\n';
        out += file[i++];
    }
    return out;
}

HandleId NewPlain(int width = 32, int height = 16) { return NewGraphHandle(width, height, 0, nullptr, 0, 0); }

TEST_F(GraphTableTest, FirstHandlesAfterStartUpAreFixedValues) {
    EXPECT_EQ(NewPlain(), 0x08000000);
    EXPECT_EQ(NewPlain(), 0x08010001);
    EXPECT_EQ(NewPlain(), 0x08020002);
}

TEST_F(GraphTableTest, NewRecordFollowsTheCreationSettings) {
    GraphRecord* record = nullptr;
    const HandleId handle = NewGraphHandle(48, 24, 1, &record, 1, 1);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(LookupGraph(handle), record);
    EXPECT_EQ(record->handle, handle);
    EXPECT_EQ(record->movieHandle, -1);
    EXPECT_EQ(record->textureGraph, 0);  // no Direct3D device
    EXPECT_EQ(record->colorBitDepth, 16);
    EXPECT_EQ(record->alphaSetting, 1);
    EXPECT_EQ(record->alphaTest, 1);
    EXPECT_EQ(record->palettedSource, 1);

    g_DrawState.makeDrawable = 1;
    g_DrawState.createColorDepth = 32;
    g_DrawState.createSystemMemory = 1;
    NewGraphHandle(8, 8, 0, &record, 1, 0);
    EXPECT_EQ(record->drawable, 1);
    EXPECT_EQ(record->alphaSetting, 0);  // a drawable graphic has neither alpha nor alpha test
    EXPECT_EQ(record->alphaTest, 0);
    EXPECT_EQ(record->colorBitDepth, 32);
    EXPECT_EQ(record->systemMemory, 1);
}

TEST_F(GraphTableTest, ReleasedHandleIsStaleAndItsSlotReuseKeepsItStale) {
    const HandleId first = NewPlain();
    const HandleId second = NewPlain();
    ASSERT_EQ(ReleaseGraph(second, 0), 0);
    EXPECT_EQ(LookupGraph(second), nullptr);
    EXPECT_EQ(ReleaseGraph(second, 0), -1);

    const HandleId reused = NewPlain();
    EXPECT_EQ(reused & 0xFFFF, second & 0xFFFF);
    EXPECT_NE(reused, second);
    EXPECT_EQ(LookupGraph(second), nullptr);
    EXPECT_NE(LookupGraph(reused), nullptr);
    EXPECT_NE(LookupGraph(first), nullptr);

    int width = 0;
    EXPECT_EQ(QueryGraphSize(second, &width, nullptr), -1);
    EXPECT_EQ(LinkGraphLostFlag(second, &width), -1);
}

TEST_F(GraphTableTest, OtherTablesHandlesAreNotGraphics) {
    const HandleId graph = NewPlain();
    const int slotAndCheck = graph & 0x07FFFFFF;
    EXPECT_EQ(LookupGraph(slotAndCheck | static_cast<HandleId>(kHandleTypeSound)), nullptr);
    EXPECT_EQ(LookupGraph(slotAndCheck | static_cast<HandleId>(kHandleTypeSurface2D)), nullptr);
    EXPECT_EQ(LookupGraph(slotAndCheck), nullptr);
    EXPECT_EQ(LookupGraph(-2), nullptr);
    EXPECT_EQ(LookupGraph(-4), nullptr);
    EXPECT_EQ(ReleaseGraph(-1, 0), -1);
}

TEST_F(GraphTableTest, CheckNumberWrapsAfter2048Handles) {
    const HandleId first = NewPlain();
    ASSERT_EQ(first, 0x08000000);
    ReleaseGraph(first, 0);
    HandleId last = kNoHandle;
    for (int i = 1; i < 2048; ++i) {
        last = NewPlain();
        ASSERT_EQ(last, 0x08000000 | (i << 16)) << i;
        ReleaseGraph(last, 0);
    }
    EXPECT_EQ(last, 0x0FFF0000);
    // Handle 2049 takes check number 0 again, so the first value comes back.
    const HandleId again = NewPlain();
    EXPECT_EQ(again, first);
    EXPECT_EQ(LookupGraph(last), nullptr);
}

TEST_F(GraphTableTest, FullTableIsFatalAndAFullEndReusesTheLowestSlot) {
    SetGraphFatalHookForTest(&GraphicsTest::RecordFatal);
    for (int i = 0; i < kGraphSlotCount; ++i) ASSERT_GE(NewPlain(1, 1), 0) << i;
    EXPECT_EQ(g_GraphTable.handles.Count(), kGraphSlotCount);
    EXPECT_TRUE(fatalTexts().empty());

    EXPECT_EQ(NewPlain(1, 1), -1);
    ASSERT_EQ(fatalTexts().size(), 1u);
    EXPECT_EQ(fatalTexts()[0], "グラフィックの数が許容量を越えました終了します");
    EXPECT_EQ(g_GraphTable.handles.Count(), kGraphSlotCount);

    ReleaseGraph(g_GraphTable.handles.HandleAt(700), 0);
    ReleaseGraph(g_GraphTable.handles.HandleAt(5), 0);
    EXPECT_EQ(g_GraphTable.handles.UsedEnd(), kGraphSlotCount);
    EXPECT_EQ(NewPlain() & 0xFFFF, 5);
    EXPECT_EQ(NewPlain() & 0xFFFF, 700);
}

TEST_F(GraphTableTest, FullTableEndsTheProcess) {
    EXPECT_EXIT(
        {
            for (int i = 0; i <= kGraphSlotCount; ++i) NewPlain(1, 1);
        },
        ::testing::ExitedWithCode(255), "");
}

TEST_F(GraphTableTest, FailedRecordAllocationIsFatal) {
    SetGraphFatalHookForTest(&GraphicsTest::RecordFatal);
    SetTrackedAllocFailures(1);
    EXPECT_EQ(NewPlain(), -1);
    ASSERT_EQ(fatalTexts().size(), 1u);
    EXPECT_EQ(fatalTexts()[0], "メモリの確保に失敗しました");
    EXPECT_EQ(g_GraphTable.handles.Count(), 0);
    // The counter was not used up by the failed attempt.
    EXPECT_EQ(NewPlain(), 0x08000000);
}

TEST_F(GraphTableTest, ReleasingTheHighestSlotLowersTheEndPastEmptySlots) {
    HandleId handles[5];
    for (HandleId& handle : handles) handle = NewPlain();
    ReleaseGraph(handles[1], 0);
    ReleaseGraph(handles[3], 0);
    EXPECT_EQ(g_GraphTable.handles.UsedEnd(), 5);
    ReleaseGraph(handles[4], 0);
    EXPECT_EQ(g_GraphTable.handles.UsedEnd(), 3);
    // The next graphic goes to the end of the used area, not into the hole.
    EXPECT_EQ(NewPlain() & 0xFFFF, 3);
}

TEST_F(GraphTableTest, LostFlagLinkIsClearedWhenLinkedAndSetOnRelease) {
    const HandleId handle = NewPlain();
    int lost = 7;
    ASSERT_EQ(LinkGraphLostFlag(handle, &lost), 0);
    EXPECT_EQ(lost, 0);
    ReleaseGraph(handle, 0);
    EXPECT_EQ(lost, 1);
}

TEST_F(GraphTableTest, ReleaseAllGoesUpwardAndEmptiesTheTable) {
    int lost[4] = {0, 0, 0, 0};
    for (int i = 0; i < 4; ++i) {
        const HandleId handle = NewPlain();
        std::snprintf(LookupGraph(handle)->name, kGraphNameSize, "g%d.bmp", i);
        LinkGraphLostFlag(handle, &lost[i]);
    }
    ReleaseGraph(0x08010001, 0);
    LogCapture log;
    EXPECT_EQ(ReleaseAllGraphs(1), 0);
    EXPECT_EQ(g_GraphTable.handles.Count(), 0);
    EXPECT_EQ(g_GraphTable.handles.UsedEnd(), 0);
    for (int flag : lost) EXPECT_EQ(flag, 1);
    EXPECT_EQ(LogWithoutTimes(log), "グラフィック g0.bmp の削除グラフィック g2.bmp の削除グラフィック g3.bmp の削除");
}

TEST_F(GraphTableTest, NothingIsMadeOrReleasedWhileDrawingIsSuppressed) {
    const HandleId handle = NewPlain();
    g_DrawState.drawingSuppressed = 1;
    EXPECT_EQ(NewPlain(), 0);
    EXPECT_EQ(ReleaseGraph(handle, 0), 0);
    EXPECT_EQ(ReleaseAllGraphs(0), 0);
    EXPECT_EQ(CreateGraphWithSurfaces(8, 8, 0, 0, 0), 0);
    EXPECT_EQ(g_GraphTable.handles.Count(), 1);
    g_DrawState.drawingSuppressed = 0;
    EXPECT_NE(LookupGraph(handle), nullptr);
}

TEST_F(GraphTableTest, FailedStorageLeavesNoGraphicBehind) {
    // Without a screen device no 2D surface can be made.
    LogCapture log;
    EXPECT_EQ(CreateGraphWithSurfaces(16, 16, 0, 0, 0), -1);
    EXPECT_EQ(MakeEmptyGraph(256, 256, 1), -1);
    EXPECT_EQ(g_GraphTable.handles.Count(), 0);
    EXPECT_EQ(g_GraphTable.handles.UsedEnd(), 0);
    EXPECT_NE(LogWithoutTimes(log).find("グラフィックの作成に失敗しました\r\n"), std::string::npos);
}

TEST_F(GraphTableTest, ScreensAnswerTheScreenSize) {
    int width = 0;
    int height = 0;
    EXPECT_EQ(QueryGraphSize(-2, &width, &height), 0);
    EXPECT_EQ(width, 640);
    EXPECT_EQ(height, 480);
    EXPECT_EQ(QueryGraphSize(-4, nullptr, &height), 0);
    EXPECT_EQ(QueryGraphSize(-3, &width, &height), -1);
    EXPECT_EQ(QueryGraphSize(NewPlain(33, 17), &width, &height), 0);
    EXPECT_EQ(width, 33);
    EXPECT_EQ(height, 17);
}

int g_reloadCalls = 0;
int g_lostSeenByReload = 0;
void CountingReload() {
    ++g_reloadCalls;
    const GraphHandleTable& table = g_GraphTable.handles;
    for (int slot = 0; slot < table.UsedEnd(); ++slot) {
        if (const GraphRecord* record = table.At(slot)) g_lostSeenByReload += record->lost;
    }
}

TEST_F(GraphTableTest, DeviceLossFlagsEveryGraphicBeforeTheReloadHandlerRuns) {
    g_reloadCalls = 0;
    g_lostSeenByReload = 0;
    for (int i = 0; i < 4; ++i) NewPlain();
    ReleaseGraph(0x08010001, 0);

    SetGraphReloadHandler(&CountingReload);
    EXPECT_EQ(HasGraphReloadHandler(), 1);
    EXPECT_EQ(FlagGraphsLostAndReload(), 0);
    EXPECT_EQ(g_reloadCalls, 1);
    EXPECT_EQ(g_lostSeenByReload, 3);

    // Start-up keeps the handler; null puts the default one in place.
    InitGraphTable();
    EXPECT_EQ(g_GraphTable.reloadHandler, &CountingReload);
    SetGraphReloadHandler(nullptr);
    EXPECT_EQ(g_GraphTable.reloadHandler, &DefaultGraphReloadHandler);
}

TEST_F(GraphTableTest, StartUpEmptiesTheTableAndRestartsTheCounter) {
    NewPlain();
    NewPlain();
    InitGraphTable();
    EXPECT_EQ(g_GraphTable.handles.Count(), 0);
    EXPECT_EQ(g_GraphTable.initialised, 1);
    EXPECT_EQ(NewPlain(), 0x08000000);
    TermGraphTable();
    EXPECT_EQ(g_GraphTable.initialised, 0);
    EXPECT_EQ(g_GraphTable.handles.Count(), 0);
}

}  // namespace
