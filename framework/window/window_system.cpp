// Start and end of the window system: the window class and the main window,
// the timer choice, the screen saver, the double-start check and the message
// thread.
#include <atomic>
#include <cstdio>
#include <cstring>

#include "core/framework_lock.h"
#include "core/log.h"
#include "core/memory.h"
#include "core/random.h"
#include "core/system_state.h"
#include "core/utility.h"
#include "window/window.h"

namespace {

constexpr DWORD kWindowModeStyle = 0x80CA0000u;
constexpr DWORD kWindowModeExStyle = 0x300u;
constexpr DWORD kFullScreenStyle = 0x80000000u;
constexpr DWORD kFullScreenExStyle = 0x8u;

// Clears the window system's own fields. What start-up set before the window
// starts (start directory, log state, processor and system data, COM) and the
// settings made before initialisation stay as they are.
void ResetWindowSystemFields() {
    SystemState& s = g_SystemState;
    ClearDroppedFiles();
    s.mainWindow = nullptr;
    s.moduleInstance = nullptr;
    s.mainThreadId = 0;
    s.clientLeft = s.clientTop = s.clientRight = s.clientBottom = 0;
    s.quitFlag = 0;
    s.closePosted = 0;
    s.windowDestroyed = 0;
    s.applicationActive = 0;
    s.inactiveSinceValid = 0;
    s.inactiveSince = 0xFFFFFFFFu;
    s.painting = 0;
    s.paintingWindowPicture = 0;
    s.creatingWindow = 0;
    s.cursorShown = 0;
    s.cursorRequest = 0;
    s.codePageKind = 0;
    s.messageThread = nullptr;
    s.messageThreadId = 0;
    s.messageThreadEnded = 0;
    s.windowModeChanging = 0;
    s.lostWhileInactive = 0;
    s.wheelCounter = 0;
    s.keyInputRunning = 0;
    s.windowPicture = 0;
    s.desktopWidth = s.desktopHeight = s.desktopColorBits = 0;
    s.timerPeriodMin = 0;
}

void LogMemoryStatus() {
    MEMORYSTATUS status{};
    status.dwLength = sizeof status;
    GlobalMemoryStatus(&status);
    double total = static_cast<double>(status.dwTotalPhys) / 1048576.0;
    double available = static_cast<double>(status.dwAvailPhys) / 1048576.0;
    char text[128];
    FormatString(text, sizeof text, "メモリ総量:%.2fMB  空きメモリ領域:%.2fMB ", total, available);
    WriteLogText(text);
    FormatString(text, sizeof text, "%.2fMB\n", available);
    OutputDebugStringA(text);
}

// Counts how often each clock changes over up to a second and keeps the one
// that moves at least as often as the other.
void ChooseTimer() {
    SystemState& s = g_SystemState;
    LARGE_INTEGER frequency{};
    QueryPerformanceFrequency(&frequency);
    s.performanceFrequency = frequency.QuadPart;
    s.usePerformanceCounter = frequency.QuadPart != 0 ? 1 : 0;
    TIMECAPS caps{};
    timeGetDevCaps(&caps, sizeof caps);
    s.timerPeriodMin = caps.wPeriodMin;
    timeBeginPeriod(s.timerPeriodMin);
    if (!s.usePerformanceCounter) return;

    WriteLogText("タイマーの精度を検査します\n");
    int mmChanges = 0, counterChanges = 0;
    DWORD start = timeGetTime();
    DWORD lastMm = start;
    LARGE_INTEGER lastCounter{};
    QueryPerformanceCounter(&lastCounter);
    while (timeGetTime() - start < 1000) {
        DWORD mm = timeGetTime();
        if (mm != lastMm) {
            ++mmChanges;
            lastMm = mm;
        }
        LARGE_INTEGER counter{};
        QueryPerformanceCounter(&counter);
        if (counter.QuadPart != lastCounter.QuadPart) {
            ++counterChanges;
            lastCounter = counter;
        }
        if (ProcessMessage() != 0 || mmChanges >= 60 || counterChanges >= 60) break;
    }
    WriteLogFormat("精度結果 更新回数 マルチメディアタイマー：%d  パフォーマンスカウンター：%d", mmChanges,
                   counterChanges);
    WriteLogText(" ");
    if (mmChanges <= counterChanges) {
        WriteLogFormat("パフォーマンスカウンターを使用します タイマー分解能 : %lf KHz ",
                       static_cast<double>(s.performanceFrequency) * 0.001);
    } else {
        WriteLogFormat("マルチメディアタイマーを使用します タイマー分解能 : %d.00 ms ",
                       static_cast<int>(s.timerPeriodMin));
        s.usePerformanceCounter = 0;
    }
    WriteLogText(" ");
}

// 0 to go on, -1 when a second instance must end itself.
int CheckDoubleStart() {
    SystemState& s = g_SystemState;
    WriteLogText("ソフトの二重起動検査... ");
    if (FindWindowA(s.windowClassName, nullptr) != nullptr) {
        if (!s.allowDoubleStart) {
            WriteLogText("二重起動されています、ソフトを終了します\n");
            SetQuitFlag();
            return -1;
        }
        WriteLogText("二重起動されていますが続行します\n");
    } else {
        WriteLogText("二重起動はされていませんでした\n");
    }
    return 0;
}

int RegisterWindowClass() {
    SystemState& s = g_SystemState;
    WNDCLASSA wc{};
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = FrameworkWindowProc;
    wc.hInstance = s.moduleInstance;
    wc.hIcon = LoadIconA(s.moduleInstance, MAKEINTRESOURCEA(s.iconId != 0 ? s.iconId : 32512));
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
    wc.lpszClassName = s.windowClassName;
    WriteLogText("ウインドウクラスを登録します... ");
    if (RegisterClassA(&wc) == 0) {
        SetQuitFlag();
        WriteLogText("ウインドウクラスの登録に失敗しました\n");
        return -1;
    }
    WriteLogText("登録に成功しました\n");
    return 0;
}

int CreateMainWindow() {
    SystemState& s = g_SystemState;
    DWORD style, exStyle;
    int x, y, width, height;
    if (s.windowMode) {
        WriteLogText("ウインドウモード起動用のウインドウを作成します\n");
        style = kWindowModeStyle;
        exStyle = kWindowModeExStyle;
        double scale = GetWindowScale();
        RECT r{0, 0, static_cast<LONG>(s.screenWidth * scale), static_cast<LONG>(s.screenHeight * scale)};
        AdjustWindowRectEx(&r, style, FALSE, exStyle);
        width = r.right - r.left;
        height = r.bottom - r.top;
        x = (s.desktopWidth - width) / 2;
        y = (s.desktopHeight - height) / 2;
    } else {
        WriteLogText("フルスクリーンモード用のウインドウを作成します\n");
        style = kFullScreenStyle;
        exStyle = kFullScreenExStyle;
        x = y = 0;
        width = s.screenWidth;
        height = s.screenHeight;
    }
    s.mainWindow = CreateWindowExA(exStyle, s.windowClassName, s.windowTitle, style, x, y, width, height, nullptr,
                                   s.menu, s.moduleInstance, nullptr);
    if (s.mainWindow == nullptr) {
        SetQuitFlag();
        WriteLogText("ウインドウの作成に失敗しました\n");
        return -1;
    }
    ShowWindow(s.mainWindow, SW_SHOW);
    UpdateWindow(s.mainWindow);
    return 0;
}

bool MessageThreadEnded() {
    return std::atomic_ref<int>(g_SystemState.messageThreadEnded).load(std::memory_order_acquire) != 0;
}

}  // namespace

int InitWindowSystem() {
    SystemState& s = g_SystemState;
    ResetWindowSystemFields();

    // The class is named before the title gets its default: with neither
    // set, the class is "K123987V", and a second instance's double-start
    // check looks for that class.
    static_assert(sizeof s.windowClassName == sizeof s.windowTitle);
    if (s.windowClassName[0] == '\0') {
        if (s.windowTitle[0] != '\0')
            std::memcpy(s.windowClassName, s.windowTitle, sizeof s.windowClassName);
        else
            std::snprintf(s.windowClassName, sizeof s.windowClassName, "%s", "K123987V");
    }
    if (s.windowTitle[0] == '\0') std::snprintf(s.windowTitle, sizeof s.windowTitle, "%s", "Kelvo");
    s.moduleInstance = GetModuleHandleA(nullptr);
    s.mainThreadId = GetCurrentThreadId();

    LogMemoryStatus();

    s.desktopWidth = GetSystemMetrics(SM_CXSCREEN);
    s.desktopHeight = GetSystemMetrics(SM_CYSCREEN);
    HDC dc = GetDC(nullptr);
    s.desktopColorBits = GetDeviceCaps(dc, BITSPIXEL);
    ReleaseDC(nullptr, dc);
    g_WindowHooks.QueryScreenSize(&s.screenWidth, &s.screenHeight);

    ChooseTimer();
    SeedRandom(timeGetTime());
    SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, FALSE, nullptr, SPIF_SENDCHANGE);

    // A start that stops here ends the timer period it began: the end of the
    // window system, which would, finds no window and does nothing.
    if (CheckDoubleStart() != 0 || RegisterWindowClass() != 0) {
        timeEndPeriod(s.timerPeriodMin);
        return -1;
    }
    s.creatingWindow = 1;
    if (CreateMainWindow() != 0) {
        s.creatingWindow = 0;
        UnregisterClassA(s.windowClassName, s.moduleInstance);
        timeEndPeriod(s.timerPeriodMin);
        return -1;
    }

    s.closePosted = 0;
    s.windowDestroyed = 0;
    s.applicationActive = 1;

    if (!s.windowMode) {
        WriteLogText("カーソルを不可視にしました\n");
        SetCursor(nullptr);
    }
    WriteLogText("ＩＭＥを無効にしました\n");
    WINNLSEnableIME(s.mainWindow, FALSE);
    if (s.windowMode) {
        RECT r{};
        GetClientScreenRect(&r);
    }

    s.codePageKind = GetOEMCP() == 949 ? 2 : 1;
    SetMouseCursorVisible(s.windowMode ? 1 : 0);

    BringWindowToTop(s.mainWindow);
    DWORD start = timeGetTime();
    while (timeGetTime() - start < 200) ProcessMessage();
    ResizeWindowToScreen();
    s.creatingWindow = 0;

    if (!s.noMessageThread) {
        DWORD id = 0;
        s.messageThread = CreateThread(nullptr, 0, ProcessMessageThread, nullptr, 0, &id);
        if (s.messageThread == nullptr)
            WriteLogText("ProcessMessage をひたすら呼びつづけるスレッドの立ち上げに失敗しました\n");
        else
            s.messageThreadId = id;
    }
    return 0;
}

int TerminateWindowSystem() {
    SystemState& s = g_SystemState;
    if (s.mainWindow == nullptr) return 0;
    bool onWindowThread = GetCurrentThreadId() == s.mainThreadId;

    SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, TRUE, nullptr, SPIF_SENDCHANGE);
    WINNLSEnableIME(s.mainWindow, TRUE);
    while (ShowCursor(TRUE) < 0) {
    }
    if (s.messageHook != nullptr) {
        UnhookWindowsHookEx(s.messageHook);
        s.messageHook = nullptr;
    }
    if (s.windowRegion != nullptr) {
        DeleteObject(s.windowRegion);
        s.windowRegion = nullptr;
    }
    if (s.menu != nullptr) {
        DestroyMenu(s.menu);
        s.menu = nullptr;
    }
    if (s.toolBarButtonCount > 0) ClearToolBarButtons();

    if (!s.closePosted) {
        s.closePosted = 1;
        PostMessageA(s.mainWindow, WM_CLOSE, 0, 0);
        // Only the window's own thread receives its messages; from any other
        // (a fatal error on the message thread) the close cannot be waited
        // for, so the framework simply quits.
        if (onWindowThread) {
            while (ProcessMessage() == 0) {
            }
        } else {
            SetQuitFlag();
        }
    }
    UnregisterClassA(s.windowClassName, s.moduleInstance);
    g_WindowHooks.ReleaseAllKeyInputHandles();
    if (s.windowPicture != 0) {
        g_WindowHooks.ReleaseGraph(s.windowPicture, 0);
        s.windowPicture = 0;
    }
    ClearDroppedFiles();

    // Wait only for a thread that was started, and never for ourselves.
    if (s.messageThread != nullptr) {
        if (GetCurrentThreadId() != s.messageThreadId)
            while (!MessageThreadEnded()) Sleep(1);
        CloseHandle(s.messageThread);
        s.messageThread = nullptr;
    }
    timeEndPeriod(s.timerPeriodMin);
    s.mainWindow = nullptr;
    return 0;
}
