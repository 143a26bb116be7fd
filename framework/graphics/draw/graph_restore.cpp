// Keeping graphics alive across a lost display device: restoring surfaces
// when the application comes back, rebuilding the device after a loss, and
// the default reload handler that loads every lost graphic from its file
// again.
#include <cstring>

#include "core/log.h"
#include "core/system_state.h"
#include "files/file_functions.h"
#include "graphics/d3d/direct3d.h"
#include "graphics/device/present.h"
#include "graphics/device/screen_device.h"
#include "graphics/device/surface2d.h"
#include "graphics/device/surface_data.h"
#include "graphics/draw/draw_state.h"
#include "graphics/draw/graph_load.h"
#include "graphics/draw/graph_record.h"
#include "graphics/draw/mask.h"
#include "graphics/image/base_image.h"
#include "graphics/image/image_loader.h"
#include "graphics/movie/movie.h"
#include "platform/types.h"

namespace {

// Limits of a reloadable record: longer texts cannot be the ones stored.
constexpr std::size_t kReloadDirectoryMax = 128;
constexpr std::size_t kReloadNameMax = 64;

// The decoded file of the previous reloaded graphic, reused by the next
// graphic of the same file (the cells of one grid lie next to each other).
struct ReloadCache {
    GraphImage image;
    GraphImage alphaImage;
    int loadResult = -1;  // of LoadImageWithAlphaFile; -1: nothing cached
    const GraphRecord* previous = nullptr;

    void Free() {
        if (loadResult >= 0) ReleaseBaseImage(&image);
        if (loadResult == 0) ReleaseBaseImage(&alphaImage);
        loadResult = -1;
    }
    bool Matches(const GraphRecord& record) const {
        return previous != nullptr && loadResult >= 0 && std::strcmp(previous->name, record.name) == 0 &&
               std::strcmp(previous->directory, record.directory) == 0 &&
               previous->repackFlag == record.repackFlag;
    }
};

bool Reloadable(const GraphRecord& record) {
    return record.lost == 1 && record.name[0] != '\0' &&
           strnlen(record.directory, kGraphDirectorySize) <= kReloadDirectoryMax &&
           strnlen(record.name, kGraphNameSize) <= kReloadNameMax;
}

}  // namespace

void DefaultGraphReloadHandler() {
    WriteLogText("グラフィックを復帰します\n");
    char savedDirectory[MAX_PATH + 1] = {};
    const bool haveDirectory = FileGetCurrentDir(savedDirectory) == 0;

    ReloadCache cache;
    // Names and directories are copied: the previous record may be the one
    // the handler writes next, but its texts stay as they were.
    GraphRecord previous{};
    const GraphHandleTable& table = g_GraphTable.handles;
    for (int slot = 0; slot < table.UsedEnd(); ++slot) {
        GraphRecord* record = table.At(slot);
        if (record == nullptr || !Reloadable(*record)) continue;
        if (!cache.Matches(*record)) {
            cache.Free();
            FileSetCurrentDir(record->directory);
            cache.loadResult = LoadImageWithAlphaFile(record->name, nullptr, 0, 0, nullptr, 0, kAlphaSourceFile,
                                                      &cache.image, &cache.alphaImage,
                                                      static_cast<int>(record->repackFlag));
        }
        if (cache.loadResult >= 0) {
            // The stored name and position are written back as they were.
            char name[kGraphNameSize];
            std::memcpy(name, record->name, sizeof name);
            const int repack = static_cast<int>(record->repackFlag);
            TransferImageToGraph(0, 0, name, &cache.image, cache.loadResult == 0 ? &cache.alphaImage : nullptr,
                                 record->sourceX, record->sourceY, record->handle, repack);
            // TransferImageToGraph stores the directory current now, which
            // is the record's own: it was set for the load above.
        }
        record->lost = 0;
        std::memcpy(previous.name, record->name, sizeof previous.name);
        std::memcpy(previous.directory, record->directory, sizeof previous.directory);
        previous.repackFlag = record->repackFlag;
        cache.previous = &previous;
    }
    cache.Free();
    if (haveDirectory) FileSetCurrentDir(savedDirectory);
}

int RecoverGraphImage(HandleId handle) {
    GraphRecord* record = LookupGraph(handle);
    if (record == nullptr) return -1;
    const int result = record->textureGraph ? RestoreGraphSurface3Ds(record) : RestoreGraphSurface2Ds(record);
    if (record->movieHandle >= 0) {
        D_IDirectDrawSurface7* surface = GetGraphMovieSurface(record);
        if (surface != nullptr && surface->IsLost() != D_DD_OK) surface->Restore();
    }
    return result < 0 ? -1 : 0;
}

int RestoreAllGraphs() {
    if (!g_GraphTable.initialised || g_DrawState.drawingSuppressed) return 0;
    RestoreLostMainSurfaces();
    const GraphHandleTable& table = g_GraphTable.handles;
    for (int slot = 0; slot < table.UsedEnd(); ++slot) {
        if (table.At(slot) != nullptr) RecoverGraphImage(table.HandleAt(slot));
    }
    return 0;
}

int RecoverGraphicsAfterDeviceLoss() {
    // Before graphics start-up there is no device to rebuild.
    if (!g_GraphTable.initialised) return 0;
    IncreaseLogIndent();
    ScreenDeviceState& d = g_ScreenDevice;
    // Everything made on the old device goes first; the Direct3D layer keeps
    // its records and tiles and makes their surfaces again below. The mask
    // keeps its buffer and gets its work surface back with the draw state.
    ReleaseDirect3DObjects();
    ReleaseMaskWorkSurface();
    ReleaseMainSurfaces();
    ReleaseAllSurface2DSurfaces();
    ReleaseWindowClipper();

    if (!d.softwareOnly) {
        if (g_SystemState.windowMode) {
            ReapplyDisplayMode();
            RecreateAllSurface2DSurfaces();
            CreateDirectDrawClipper();
        } else {
            ReleaseDirectDraw();
            RebuildDirectDraw();
        }
    }

    CreateOutputSurfaces();
    RecreateScreenPalette();
    BindDrawTargetSurface(g_DrawState.drawTarget, g_DrawState.drawTarget);
    ReacquireDirect3D();
    ClearDrawTargetPixels();
    PresentScreen();

    FlagGraphsLostAndReload();
    ReopenAllMovies();
    RestoreDrawStateAfterLoss();
    DecreaseLogIndent();
    return 0;
}
