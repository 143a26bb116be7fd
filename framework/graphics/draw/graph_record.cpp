#include "graphics/draw/graph_record.h"

#include <cstdio>

#include "core/fatal_error.h"
#include "core/log.h"
#include "core/memory.h"
#include "graphics/d3d/direct3d.h"
#include "graphics/device/screen_device.h"
#include "graphics/device/surface2d.h"
#include "graphics/draw/draw_state.h"
#include "graphics/draw/graph_load.h"
#include "graphics/movie/movie.h"
#include "graphics/text/font.h"

GraphTable g_GraphTable{};

namespace {

GraphFatalHook g_fatalHook = nullptr;

// The fatal path of the table. Only a test hook lets it come back.
HandleId FailFatally(const char* text) {
    if (g_fatalHook == nullptr) FatalError(text);
    g_fatalHook(text);
    return kNoHandle;
}

void FreeRecord(GraphRecord* record) {
    if (record->ownedBuffer != nullptr) KV_FREE(record->ownedBuffer);
    if (record->lostFlagLink != nullptr) *record->lostFlagLink = 1;
    KV_FREE(record);
}

}  // namespace

void SetGraphFatalHookForTest(GraphFatalHook hook) { g_fatalHook = hook; }

int InitGraphTable() {
    GraphHandleTable& table = g_GraphTable.handles;
    for (int slot = 0; slot < table.UsedEnd(); ++slot) {
        if (GraphRecord* record = table.At(slot)) FreeRecord(record);
    }
    table.Clear();
    g_GraphTable.initialised = 1;
    return 0;
}

int TermGraphTable() {
    ReleaseAllGraphs(0);
    g_GraphTable.initialised = 0;
    return 0;
}

HandleId NewGraphHandle(int width, int height, int textureRequest, GraphRecord** outRecord,
                        int alphaSetting, int palettedSource) {
    if (g_DrawState.drawingSuppressed) return 0;

    GraphHandleTable& table = g_GraphTable.handles;
    if (table.IsFull()) return FailFatally("グラフィックの数が許容量を越えました終了します");
    const int slot = table.ChooseSlot();

    auto* record = static_cast<GraphRecord*>(KV_ALLOC_ZEROED(sizeof(GraphRecord)));
    if (record == nullptr) return FailFatally("メモリの確保に失敗しました");

    const HandleId handle = table.Insert(slot, record, table.Counter().Take());
    record->handle = handle;
    record->width = width;
    record->height = height;
    record->movieHandle = kNoHandle;

    record->textureGraph = textureRequest != 0 && g_DrawState.use3D != 0 && IsDirect3DUp() != 0 &&
                           IsScreenMemImg() == 0;

    if (g_DrawState.makeDrawable == 1) {
        record->drawable = 1;
        record->alphaTest = 0;
        record->alphaSetting = 0;
    } else {
        record->drawable = 0;
        record->alphaSetting = static_cast<std::uint8_t>(alphaSetting);
        record->alphaTest = static_cast<std::uint8_t>(g_DrawState.createAlphaTest);
    }

    if (g_DrawState.createColorDepth != 0) {
        record->colorBitDepth = static_cast<std::uint8_t>(g_DrawState.createColorDepth);
    } else if (record->textureGraph && alphaSetting == 1) {
        record->colorBitDepth = 32;
    } else {
        record->colorBitDepth = static_cast<std::uint8_t>(GetScreenColorDepth());
    }

    if (record->textureGraph) {
        record->systemMemory = 0;
    } else {
        record->systemMemory = static_cast<std::uint8_t>(g_DrawState.createSystemMemory);
        record->palettedSource = static_cast<std::uint8_t>(palettedSource);
    }

    if (outRecord != nullptr) *outRecord = record;
    return handle;
}

HandleId CreateGraphWithSurfaces(int width, int height, int textureRequest, int alphaSetting,
                                 int palettedSource) {
    GraphRecord* record = nullptr;
    const HandleId handle =
        NewGraphHandle(width, height, textureRequest, &record, alphaSetting, palettedSource);
    if (record == nullptr) return handle;  // suppressed (0) or refused (-1)

    const int result = record->textureGraph ? CreateGraphTextures(record) : AttachNewSurface2D(record);
    if (result < 0) {
        // The caller only learns -1, so the half-made graphic must not stay
        // behind in the table; its release also removes any storage made.
        ReleaseGraph(handle, 0);
        WriteLogText("グラフィックの作成に失敗しました\n");
        return kNoHandle;
    }
    return handle;
}

HandleId MakeEmptyGraph(int width, int height, int plainFlag) {
    return CreateGraphWithSurfaces(width, height, plainFlag == 0 ? 1 : 0,
                                   g_DrawState.defaultTransparency, 0);
}


int LinkGraphLostFlag(HandleId handle, int* lostFlag) {
    GraphRecord* record = LookupGraph(handle);
    if (record == nullptr) return -1;
    record->lostFlagLink = lostFlag;
    if (lostFlag != nullptr) *lostFlag = 0;
    return 0;
}

int QueryGraphSize(HandleId handle, int* width, int* height) {
    int w = 0;
    int h = 0;
    if (handle == kBackScreenTarget || handle == kFrontScreenTarget) {
        QueryScreenSize(&w, &h);
    } else {
        const GraphRecord* record = LookupGraph(handle);
        if (record == nullptr) return -1;
        w = record->width;
        h = record->height;
    }
    if (width != nullptr) *width = w;
    if (height != nullptr) *height = h;
    return 0;
}

int ReleaseGraph(HandleId handle, int logFlag) {
    if (g_DrawState.drawingSuppressed) return 0;
    GraphRecord* record = LookupGraph(handle);
    if (record == nullptr) return -1;

    if (record->movieHandle >= 0) CloseGraphMovie(record);

    if (record->textureGraph) {
        DeleteGraphTextures(record);
    } else {
        DeleteGraphSurface2Ds(record);
    }

    if (logFlag) {
        char text[kGraphNameSize + 64];
        std::snprintf(text, sizeof text, "グラフィック %.*s の削除", kGraphNameSize, record->name);
        WriteLogText(text);
    }

    g_GraphTable.handles.Remove(HandleSlotFor(handle, kHandleTypeGraph, kGraphSlotCount));
    FreeRecord(record);
    return 0;
}

int ReleaseAllGraphs(int logFlag) {
    if (!g_GraphTable.initialised || g_DrawState.drawingSuppressed) return 0;
    const GraphHandleTable& table = g_GraphTable.handles;
    // The end of the used area shrinks as the highest graphics go.
    for (int slot = 0; slot < table.UsedEnd(); ++slot) {
        if (table.At(slot) != nullptr) ReleaseGraph(table.HandleAt(slot), logFlag);
    }
    return 0;
}

int SetGraphReloadHandler(GraphReloadHandler handler) {
    g_GraphTable.reloadHandler = handler != nullptr ? handler : DefaultGraphReloadHandler;
    return 0;
}

int HasGraphReloadHandler() { return g_GraphTable.reloadHandler != nullptr ? 1 : 0; }

int FlagGraphsLostAndReload() {
    const GraphHandleTable& table = g_GraphTable.handles;
    int seen = 0;
    for (int slot = 0; slot < table.UsedEnd() && seen < table.Count(); ++slot) {
        if (GraphRecord* record = table.At(slot)) {
            record->lost = 1;
            ++seen;
        }
    }
    if (g_GraphTable.reloadHandler != nullptr) g_GraphTable.reloadHandler();
    RecreateAllFonts();
    return 0;
}
