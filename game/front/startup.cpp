#include "front/startup.h"

#include "front/loading_screen.h"
#include "front/main_loop.h"
#include "front/startup_images.h"
#include "kelvo/api.h"
#include "rules/key_config.h"
#include "rules/save_data.h"

void LoadStartupImages() {
    for (const StartupImageLoad& load : kStartupImageLoads) {
        if (load.pieces == 0)
            *load.handles = ApiLoadImageToGraph(load.file, 0);
        else
            ApiLoadImageToDivGraphs(load.file, load.pieces, load.columns, load.rows, load.pieceWidth,
                                    load.pieceHeight, load.handles, 0);
    }
}

int WinMain(void*, void*, char*, int) {
    ApiSetAllowDoubleStart(1);
    ApiSetLogEnabled(0);
    if (ApiInitFramework() < 0) return -1;

    // The second face wins: the game's text is drawn in Verdana.
    ApiSetDefaultFontFace("Tahoma", -1);
    ApiSetDefaultFontFace("Verdana", -1);
    RemoveStaleSaveTemporaries();
    LoadKeyConfig();
    ApplyKeyConfig();
    // The equipment tables are constant data (equipment_tables.h): nothing
    // to fill at run time.
    LoadStartupImages();
    ApiSelectDrawTarget(kDrawTargetBack);
    ApiSetVBlankWait(0);

    ShowLoadingScreen();
    ApiClearDrawTarget();
    LoadGalleryFlags();
    GameLoop();

    ApiReleaseAllGraphs(0);
    ApiDeleteAllSounds(0);
    ApiEndFramework();
    return 0;
}
