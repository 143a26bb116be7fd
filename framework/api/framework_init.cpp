#include "api/framework_init.h"
#include "core/system_info.h"

#include "core/log.h"
#include "core/memory.h"
#include "core/screen_log.h"
#include "core/system_state.h"
#include "files/archive_files.h"
#include "files/file_functions.h"
#include "files/stream_functions.h"
#include "graphics/device/screen_device.h"
#include "graphics/draw/draw_state.h"
#include "graphics/draw/draw_ops.h"
#include "graphics/draw/draw_state.h"
#include "graphics/image/color_format.h"
#include "graphics/text/font.h"
#include "graphics/draw/graph_load.h"
#include "graphics/draw/graph_record.h"
#include "input/char_input.h"
#include "input/input.h"
#include "net/http.h"
#include "net/network.h"
#include "platform/com.h"
#include "sound/midi.h"
#include "sound/sound.h"
#include "window/window.h"

FrameworkSubsystems DefaultFrameworkSubsystems() {
    return {InitCom,       InitWindowSystem, InitInput,          InitSound,
            InitGraphicsDevice, InitCharCodeBuffer, TermGraphicsDevice, TerminateInput,
            TerminateSound, TerminateWindowSystem, EndNetwork,     EndCurrentMusic};
}

FrameworkSubsystems g_FrameworkSubsystems = DefaultFrameworkSubsystems();

namespace {

int DesktopColorBits() {
    HDC dc = GetDC(nullptr);
    int bits = GetDeviceCaps(dc, BITSPIXEL);
    ReleaseDC(nullptr, dc);
    return bits;
}

// What a failure after the window start does: end what was started.
int FailStart() {
    EndFramework();
    g_SystemState.initialising = 0;
    return -1;
}

// Both screens start black: a black graphic is subtracted from the back
// screen (which changes nothing, and is kept as the start-up always did it),
// drawn on the front screen, and a second one stretched over the whole back
// screen.
void ClearBothScreens() {
    int drawable = MakeDrawableGraph(256, 256);
    SelectDrawTarget(drawable);
    SelectDrawTarget(-4);
    ReleaseGraph(drawable, 0);
    SelectDrawTarget(-2);
    int black = MakeScreenClearGraph(256, 256);
    SetBlendModeParam(3, 128);
    BlitGraph(0, 0, black, 0);
    SetBlendModeParam(0, 0);
    SelectDrawTarget(-4);
    BlitGraph(0, 0, black, 0);
    ReleaseGraph(black, 0);
    int second = MakeScreenClearGraph(256, 256);
    StretchBlitGraph(0, 0, 640, 480, second, 0);
    ReleaseGraph(second, 0);
}

}  // namespace

int InitFramework() {
    SystemState& s = g_SystemState;
    const FrameworkSubsystems& sub = g_FrameworkSubsystems;
    s.ending = 0;  // a framework ended before may be started again
    s.initialising = 1;
    if (GetDisable3DFlag() == 1) ChangeRenderingMode(0);

    InitArchiveAccess();
    SelectFileFunctions(nullptr);
    if (FileGetCurrentDir(s.startDirectory) != 0) s.startDirectory[0] = '\0';
    s.startDirectory[sizeof s.startDirectory - 1] = '\0';

    InitLogFile();

    if ((DesktopColorBits() == 24 && s.windowMode) || GetScreenColorDepth() == 24) {
        WriteLogText("ＫＶライブラリは２４ビットカラーモードに対応していません\n");
        s.initialising = 0;
        return -1;
    }

    LARGE_INTEGER frequency{};
    QueryPerformanceFrequency(&frequency);
    s.performanceFrequency = frequency.QuadPart;
    s.usePerformanceCounter = frequency.QuadPart != 0 ? 1 : 0;

    LogSystemInfo();
    if (s.osCode == 0x108) SetScreenSurfaceModeFlag(1);

    FillStreamFunctionTables();
    SetGraphReloadHandler(nullptr);

    if (sub.initCom() == -1 || sub.initWindowSystem() == -1) return FailStart();

    ClearHttpRequestTable();
    if (sub.initInput() == -1) return FailStart();
    sub.initSound();  // the framework runs on without sound
    if (sub.initGraphicsDevice(s.mainWindow) < 0) return FailStart();

    sub.initCharCodeBuffer();
    s.initialised = 1;
    SetVBlankWait(1);

    if (!s.windowMode) ForceForegroundWindow(s.mainWindow, 1);

    InitScreenLog();
    SelectDrawTarget(-2);
    SelectDrawTarget(-4);
    ClearBothScreens();

    s.initialising = 0;
    return 0;
}

int EndFramework() {
    SystemState& s = g_SystemState;
    const FrameworkSubsystems& sub = g_FrameworkSubsystems;
    s.ending = 1;
    TerminateScreenLog();
    DeleteAllHttpRequests();
    sub.endNetwork();
    sub.stopMusic();

    sub.termGraphicsDevice();
    sub.terminateInput();
    sub.terminateSound();
    sub.terminateWindowSystem();

    if (s.comStarted) {
        CoUninitialize();
        WriteLogText("ＣＯＭを終了... 完了\n");
        s.comStarted = 0;
    }
    s.initialised = 0;

    // Drain what is left until the quit arrives. Without a window no quit
    // ever comes, so the loop only runs while there is one.
    while (!GetQuitFlag() && s.mainWindow != nullptr)
        if (ProcessMessage() != 0) break;

    if (s.startDirectory[0] != '\0') FileSetCurrentDir(s.startDirectory);
    TerminateArchiveAccess();
    DumpAllocations();
    return 0;
}
