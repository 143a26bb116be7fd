// Window and full-screen mode, the window's size and place, the cursor and
// the mouse position, and the menu and tool-bar operations.
#include "core/log.h"
#include "core/system_state.h"
#include "window/window.h"

namespace {

constexpr DWORD kWindowModeStyle = 0x80CA0000u;
constexpr DWORD kWindowModeExStyle = 0x300u;
constexpr DWORD kFullScreenStyle = 0x80000000u;
constexpr DWORD kFullScreenExStyle = 0x8u;

struct ClientSize {
    int width, height;
};

ClientSize ScaledScreenSize() {
    const SystemState& s = g_SystemState;
    double scale = GetWindowScale();
    return {static_cast<int>(s.screenWidth * scale), static_cast<int>(s.screenHeight * scale)};
}

bool MenuInUse() { return g_SystemState.menu != nullptr; }

}  // namespace

int StoreWindowModeFlag(int flag) {
    g_SystemState.windowMode = flag;
    WriteLogText(flag ? "ウインドウモードフラグが立てられました\n" : "ウインドウモードフラグが倒されました\n");
    return 0;
}

int ChangeWindowMode(int flag) {
    SystemState& s = g_SystemState;
    WriteLogText("ChangeWindowMode実行 \n");
    if (flag == s.windowMode) return 0;
    StoreWindowModeFlag(flag);
    if (s.mainWindow == nullptr) return 0;
    s.windowModeChanging = 1;
    ApplyWindowStyle();
    int result = g_WindowHooks.ApplyWindowModeChangeToScreen();
    ProcessMessage();  // the style and size changes report themselves as messages
    s.windowModeChanging = 0;
    return result;
}

int ApplyWindowStyle() {
    SystemState& s = g_SystemState;
    HWND window = s.mainWindow;
    ClientSize size = ScaledScreenSize();
    if (!s.windowMode) {
        WriteLogText("ウインドウスタイルをフルスクリーンモード用に変更します... ");
        SetWindowLongA(window, GWL_STYLE, static_cast<LONG>(kFullScreenStyle));
        SetWindowLongA(window, GWL_EXSTYLE, static_cast<LONG>(kFullScreenExStyle));
        SetWindowPos(window, HWND_TOPMOST, 0, 0, s.screenWidth, s.screenHeight, SWP_SHOWWINDOW);
        SetMouseCursorVisible(0);
    } else {
        WriteLogText("ウインドウスタイルをウインドウモード用に変更します... ");
        SetWindowLongA(window, GWL_STYLE, static_cast<LONG>(kWindowModeStyle));
        SetWindowLongA(window, GWL_EXSTYLE, static_cast<LONG>(kWindowModeExStyle));
        RECT r{0, 0, size.width, size.height};
        AdjustWindowRectEx(&r, kWindowModeStyle, FALSE, kWindowModeExStyle);
        int width = r.right - r.left, height = r.bottom - r.top;
        int x = (s.desktopWidth - width) / 2;
        int y = (s.desktopHeight - height) / 2;
        // A client area that would start above or left of the desktop is
        // moved back onto it.
        if (x - r.left < 0) x = r.left;
        if (y - r.top < 0) y = r.top;
        SetWindowPos(window, HWND_NOTOPMOST, x, y, width, height, SWP_SHOWWINDOW);
        SetMouseCursorVisible(1);
    }
    WriteLogText("完了\n");
    SetActiveWindow(window);
    PostMessageA(window, WM_SETCURSOR, reinterpret_cast<WPARAM>(window), 1);
    return 0;
}

int ResizeWindowToScreen() {
    SystemState& s = g_SystemState;
    if (s.mainWindow == nullptr) return 0;
    ClientSize size = ScaledScreenSize();
    RECT frame{0, 0, size.width, size.height};
    AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongA(s.mainWindow, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongA(s.mainWindow, GWL_EXSTYLE)));
    RECT now{};
    GetWindowRect(s.mainWindow, &now);
    SetWindowPos(s.mainWindow, nullptr, now.left, now.top, frame.right - frame.left,
                 frame.bottom - frame.top + QueryToolBarHeight(), SWP_NOZORDER | SWP_NOACTIVATE);
    if (s.windowMode) {
        RECT client{};
        GetClientScreenRect(&client);
    }
    return 0;
}

void GetClientScreenRect(RECT* rect) {
    SystemState& s = g_SystemState;
    RECT r{};
    GetClientRect(s.mainWindow, &r);
    POINT origin{0, 0};
    ClientToScreen(s.mainWindow, &origin);
    r = {origin.x, origin.y, origin.x + r.right, origin.y + r.bottom};
    s.clientLeft = r.left;
    s.clientTop = r.top;
    s.clientRight = r.right;
    s.clientBottom = r.bottom;
    if (rect != nullptr) *rect = r;
}

void OnWindowMoved(LPARAM lParam) {
    SystemState& s = g_SystemState;
    RECT client{};
    GetClientRect(s.mainWindow, &client);
    s.clientLeft = static_cast<short>(LOWORD(static_cast<WPARAM>(lParam)));
    s.clientTop = static_cast<short>(HIWORD(static_cast<WPARAM>(lParam)));
    s.clientRight = s.clientLeft + client.right;
    s.clientBottom = s.clientTop + client.bottom;
    // The front screen's draw area follows the window.
    if (g_WindowHooks.GetDrawTarget() == -4) g_WindowHooks.SelectDrawTarget(-4);
}

void ForceForegroundWindow(HWND window, int topmost) {
    DWORD foregroundThread = GetWindowThreadProcessId(GetForegroundWindow(), nullptr);
    DWORD me = GetCurrentThreadId();
    AttachThreadInput(me, foregroundThread, TRUE);
    UINT timeout = 0;
    SystemParametersInfoA(SPI_GETFOREGROUNDLOCKTIMEOUT, 0, &timeout, 0);
    SystemParametersInfoA(SPI_SETFOREGROUNDLOCKTIMEOUT, 0, nullptr, 0);
    SetForegroundWindow(window);
    SystemParametersInfoA(SPI_SETFOREGROUNDLOCKTIMEOUT, 0,
                          reinterpret_cast<LPVOID>(static_cast<std::uintptr_t>(timeout)), 0);
    AttachThreadInput(me, foregroundThread, FALSE);
    if (topmost == 1) SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

int SetMouseCursorVisible(int flag) {
    SystemState& s = g_SystemState;
    s.cursorRequest = flag;
    bool show = flag != 0 || (MenuInUse() && s.menuVisible);
    s.cursorShown = show ? 1 : 0;
    if (show) {
        while (ShowCursor(TRUE) < 0) {
        }
    } else {
        while (ShowCursor(FALSE) >= 0) {
        }
    }
    if (s.mainWindow != nullptr)
        PostMessageA(s.mainWindow, WM_SETCURSOR, reinterpret_cast<WPARAM>(s.mainWindow), 1);
    return 0;
}

int QueryMousePosition(int* x, int* y) {
    const SystemState& s = g_SystemState;
    POINT p{};
    GetCursorPos(&p);
    if (s.windowMode && s.mainWindow != nullptr) {
        ScreenToClient(s.mainWindow, &p);
        p.y -= QueryToolBarHeight();
        double scale = GetWindowScale();
        p.x = static_cast<LONG>(p.x / scale);
        p.y = static_cast<LONG>(p.y / scale);
    }
    if (x != nullptr) *x = p.x;
    if (y != nullptr) *y = p.y;
    return 0;
}

// The window picture is drawn over the screen and shown while the
// application is inactive; nothing in this program sets one.
void PaintWindowPicture(HDC) {
    SystemState& s = g_SystemState;
    if (s.windowPicture == 0 || s.mainWindow == nullptr) return;
    s.paintingWindowPicture = 1;
    g_WindowHooks.StretchBlitGraph(0, 0, s.screenWidth, s.screenHeight, s.windowPicture, 0);
    g_WindowHooks.PresentToWindow();
    s.paintingWindowPicture = 0;
}

// ---- menus and the tool-bar ------------------------------------------------------

int ShouldShowMenu() { return MenuInUse() && g_SystemState.menuVisible ? 1 : 0; }

int SetMenuVisible(int flag) {
    g_SystemState.menuVisible = flag;
    return 0;
}

int UpdateFullScreenMenu() {
    // Only a menu shown over the full screen needs the cursor kept in step.
    if (!MenuInUse() || g_SystemState.windowMode) return 0;
    return SetMouseCursorVisible(g_SystemState.cursorRequest);
}

int IsMenuEnabled() { return MenuInUse() ? 1 : 0; }
int CollectMenuItems(HMENU) { return 0; }
int ReadMenuItemInfo(HMENU, int, MenuItemRecord*) { return -1; }
int LookupMenuItemName(int, char* buffer) {
    if (buffer != nullptr) buffer[0] = '\0';
    return -1;
}
int LookupToolBarButton(int) { return -1; }
int QueryToolBarHeight() { return 0; }
int ClearToolBarButtons() {
    g_SystemState.toolBarButtonCount = 0;
    return 0;
}
