// The main window's procedure and the activation steps.
#include "core/log.h"
#include "core/memory.h"
#include "core/system_state.h"
#include "window/window.h"

const KeyCharEntry kKeyToCharTable[6] = {
    {0x2E, 0x10},  // delete
    {0x25, 0x1D},  // left
    {0x27, 0x1C},  // right
    {0x26, 0x1E},  // up
    {0x28, 0x1F},  // down
    {0x00, 0x00},
};

namespace {

void PostCloseOnce() {
    SystemState& s = g_SystemState;
    if (s.closePosted) return;
    s.closePosted = 1;
    PostMessageA(s.mainWindow, WM_CLOSE, 0, 0);
}

void BecomeActive(WPARAM wParam) {
    SystemState& s = g_SystemState;
    g_WindowHooks.FlagImeReopen();
    g_WindowHooks.RestoreAllSurface2D();
    g_WindowHooks.RestoreLostSurface3DData();
    if (!s.windowMode && s.initialised) {
        if (HIWORD(wParam) == 0) g_WindowHooks.RecoverGraphicsAfterDeviceLoss();
        s.lostWhileInactive = 0;
    } else {
        g_WindowHooks.PlayAllGraphMovies();
    }
    g_WindowHooks.ResetInputCooperation();
}

// False when the framework asked to close and nothing more is to be done.
bool BecomeInactive() {
    SystemState& s = g_SystemState;
    bool deviceLost = false;
    if (!s.windowMode) {
        if (g_WindowHooks.IsDisplayModeChanged() && !g_WindowHooks.IsDirectDrawInUse()) {
            g_WindowHooks.ReleaseDirectDrawObject();
            ShowWindow(s.mainWindow, SW_MINIMIZE);
        }
        if (g_WindowHooks.IsDisplayModeChanged() && g_WindowHooks.HasDirectDrawObject()) {
            if (!g_WindowHooks.HasGraphReloadHandler()) {
                WriteLogText("復元関数が登録されていないため終了します\n");
                PostCloseOnce();
                return false;
            }
            s.lostWhileInactive = 1;
            deviceLost = true;
        }
    }
    if (!deviceLost) {
        g_WindowHooks.HoldAllGraphMovies();
        g_WindowHooks.ResetInputCooperation();
    }
    HDC dc = GetDC(s.mainWindow);
    PaintWindowPicture(dc);
    ReleaseDC(s.mainWindow, dc);
    return true;
}

void OnActivate(WPARAM wParam) {
    SystemState& s = g_SystemState;
    int active = LOWORD(wParam) != 0 ? 1 : 0;
    s.applicationActive = active;
    if (s.creatingWindow) return;
    if (active)
        BecomeActive(wParam);
    else if (!BecomeInactive())
        return;
    g_WindowHooks.ApplyPadVibration();
    if (s.activationCallback != nullptr) s.activationCallback(active, s.activationCallbackArgument);
}

void OnPaint(HWND window) {
    SystemState& s = g_SystemState;
    PAINTSTRUCT paint{};
    BeginPaint(window, &paint);
    if (s.windowMode) {
        s.painting = 1;
        if (!s.applicationActive && s.windowPicture != 0) {
            PaintWindowPicture(paint.hdc);
        } else if (!s.initialised && s.windowRegion == nullptr) {
            RECT client{};
            GetClientRect(window, &client);
            FillRect(paint.hdc, &client, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        } else if (g_WindowHooks.GetDrawTarget() == -2) {
            int wait = g_WindowHooks.GetVBlankWait();
            g_WindowHooks.SetVBlankWait(0);
            g_WindowHooks.PresentToWindow();
            g_WindowHooks.SetVBlankWait(wait);
        }
        s.painting = 0;
    }
    EndPaint(window, &paint);
}

void OnDisplayChange(WPARAM wParam, LPARAM lParam) {
    SystemState& s = g_SystemState;
    if (!s.windowMode || s.windowModeChanging) return;
    int bits = static_cast<int>(wParam);
    int width = LOWORD(static_cast<WPARAM>(lParam));
    int height = HIWORD(static_cast<WPARAM>(lParam));
    int screenBits = g_WindowHooks.GetScreenColorDepth();
    int screenWidth = 0, screenHeight = 0;
    g_WindowHooks.QueryScreenSize(&screenWidth, &screenHeight);
    bool differs = bits != screenBits;
    if ((differs && !g_WindowHooks.HasGraphReloadHandler()) || bits == 24 || (bits == 8 && screenBits != 8) ||
        width < screenWidth || height < screenHeight) {
        WriteLogText("復元関数が登録されていないためか画面が２４ビットカラーに変更されたため終了します\n");
        WriteLogText("またはスクリーンが小さすぎるためか色ビット数の違いが大きいためか終了します\n");
        PostCloseOnce();
        return;
    }
    g_WindowHooks.ReleaseAllMovieObjects();
    g_WindowHooks.SetupScreenColorFormat();
    g_WindowHooks.RecoverGraphicsAfterDeviceLoss();
    g_WindowHooks.PlayAllGraphMovies();
}

void OnDropFiles(HDROP drop) {
    SystemState& s = g_SystemState;
    UINT count = DragQueryFileA(drop, 0xFFFFFFFFu, nullptr, 0);
    for (UINT i = 0; i < count && s.droppedFileCount < kMaxDroppedFiles; ++i) {
        UINT length = DragQueryFileA(drop, i, nullptr, 0);
        auto* name = static_cast<char*>(KV_ALLOC(static_cast<std::size_t>(length) + 1));
        if (name == nullptr) break;
        DragQueryFileA(drop, i, name, length + 1);
        s.droppedFiles[s.droppedFileCount++] = name;
    }
    DragFinish(drop);
}

void HideCursorIfWanted() {
    if (g_SystemState.cursorShown) return;
    SetCursor(nullptr);
    while (ShowCursor(FALSE) >= 0) {
    }
}

}  // namespace

LRESULT FrameworkWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    SystemState& s = g_SystemState;
    switch (message) {
        case WM_CREATE:
            if (s.windowRegion != nullptr) SetWindowRgn(window, s.windowRegion, TRUE);
            break;
        case WM_DESTROY:
            WriteLogText("ウインドウが破棄されようとしています\n");
            s.windowDestroyed = 1;
            WriteLogText("ソフトを終了する準備が整いました\n");
            PostQuitMessage(0);
            SetQuitFlag();
            break;
        case WM_MOVE:
            if (s.windowMode && !s.windowModeChanging) OnWindowMoved(lParam);
            break;
        case WM_SIZE:
            if (wParam != SIZE_MAXIMIZED) ResizeWindowToScreen();
            break;
        case WM_ACTIVATE: OnActivate(wParam); break;
        case WM_ACTIVATEAPP:
            if (wParam == 0) OnActivate(wParam);
            break;
        case WM_PAINT: OnPaint(window); break;
        case WM_CLOSE:
            WriteLogText("ウインドウを閉じようとしています\n");
            DestroyWindow(window);
            return 0;
        case WM_SETCURSOR:
        case WM_MOUSEMOVE:
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
        case WM_RBUTTONDOWN:
        case WM_RBUTTONUP:
        case WM_MBUTTONDOWN:
        case WM_MBUTTONUP: HideCursorIfWanted(); break;
        case WM_DISPLAYCHANGE: OnDisplayChange(wParam, lParam); break;
        case WM_KEYDOWN:
            for (const KeyCharEntry* e = kKeyToCharTable; e->virtualKey != 0; ++e)
                if (e->virtualKey == wParam) g_WindowHooks.PushCharCode(e->character);
            break;
        case WM_CHAR: g_WindowHooks.PushCharCode(static_cast<int>(wParam & 0xFF)); break;
        case WM_SYSCOMMAND:
            if (wParam == SC_SCREENSAVE) return 1;  // no screen saver while the window exists
            break;
        case WM_IME_STARTCOMPOSITION:
        case WM_IME_ENDCOMPOSITION:
        case WM_IME_COMPOSITION:
        case WM_IME_SETCONTEXT:
        case WM_IME_NOTIFY: return OnImeMessage(window, message, wParam, lParam);
        case WM_MOUSEWHEEL: s.wheelCounter += GET_WHEEL_DELTA_WPARAM(wParam) > 0 ? 1 : -1; break;
        case WM_DROPFILES: OnDropFiles(reinterpret_cast<HDROP>(wParam)); return 0;
        case MM_MCINOTIFY: g_WindowHooks.OnMidiPlayEnd(); break;
        default: break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}
