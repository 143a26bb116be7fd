// The graphics device's start with its fall-back to software rendering, and
// the graphics manager that a screen mode starts and ends.
#include "core/fatal_error.h"
#include "core/log.h"
#include "graphics/d3d/direct3d.h"
#include "graphics/device/screen_device.h"
#include "graphics/device/surface2d.h"
#include "graphics/device/surface_data.h"
#include "graphics/draw/draw_state.h"
#include "graphics/draw/graph_load.h"
#include "graphics/draw/graph_record.h"
#include "graphics/draw/mask.h"
#include "graphics/image/color_format.h"
#include "graphics/text/font.h"

namespace {
int g_graphicsInitialised = 0;
int g_managerInitialised = 0;
}  // namespace

int InitGraphicsDevice(HWND window) {
    g_ScreenDevice.window = window;
    if (StartUpDirectDraw() != 0) {
        if (g_ScreenDevice.screenMemImg) FatalError("DirectDraw の初期化に失敗しました");
        WriteLogText("DirectDraw の初期化に失敗しました");
        WriteLogText("ソフトウエアレンダリングモードに変更します\n");
        ChangeRenderingMode(0);
        if (StartUpDirectDraw() != 0) FatalError("DirectDraw の初期化に失敗しました");
    }
    g_graphicsInitialised = 1;
    return 0;
}

int TermGraphicsDevice() {
    ShutDownDirectDraw();
    // Software rendering, once entered, holds for the device's whole life;
    // with the device ended, a later start chooses again from the settings
    // it then finds (a disable-3D setting left on still asks for software).
    g_ScreenDevice.softwareOnly = 0;
    g_ScreenDevice.screenMemImg = 0;
    g_ScreenColorInfo.screenIsMemImg = 0;
    g_graphicsInitialised = 0;
    return 0;
}

int StartUpGraphicsManager() {
    if (g_managerInitialised) return 0;
    WriteLogText("グラフィック管理系の初期化を行います\n");
    IncreaseLogIndent();
    // 2D surfaces hold references to surface data: they go first.
    InitGraphTable();
    InitSurface2DTable();
    InitSurfaceDataTable();
    InitDrawState();
    g_managerInitialised = 1;
    DeleteAllSurface2DIfReady();
    if (DeleteAllSurface3DDataIfUp() == 0)
        WriteLogText("３Ｄグラフィック描画機能を使用します\n");
    else
        WriteLogText("３Ｄグラフィック描画機能は使用しません\n");
    SelectDrawTarget(kFrontScreenTarget);
    int w = 0, h = 0;
    QueryScreenSize(&w, &h);
    SetDrawViewport(0, 0, w, h);
    g_DrawState.drawingSuppressed = 0;
    ResetDefaultFontSettings();
    ResetAllFonts();
    DecreaseLogIndent();
    WriteLogText("グラフィック管理系の初期化は正常に終了しました\n");
    return 0;
}

int ShutDownGraphicsManager() {
    if (!g_managerInitialised) return 0;
    ShutDownMask();
    FreeAllMaskHandles();
    TermGraphTable();
    ResetAllFonts();
    ReleaseFontHandle(DefaultFontHandle());
    g_managerInitialised = 0;
    WriteLogText("グラフィック管理系の終了処理は正常に終了しました\n");
    return 0;
}
