// Window classes and windows: creation, destruction, showing, position,
// style, and the questions the framework asks about them.
#include <cctype>

#include "platform/backend.h"
#include "platform/display.h"
#include "platform/kernel.h"
#include "window/window_state.h"

namespace {

constexpr int kCaptionHeight = 20;

struct Frame {
    LONG left, top, right, bottom;
};

Frame FrameFor(DWORD style, DWORD exStyle) {
    Frame f{0, 0, 0, 0};
    if ((style & WS_CAPTION) == WS_CAPTION) f = {1, 1 + kCaptionHeight, 1, 1};
    if (exStyle & WS_EX_CLIENTEDGE) {
        f.left += 2;
        f.top += 2;
        f.right += 2;
        f.bottom += 2;
    }
    return f;
}

WNDPROC ProcOf(HWND window) {
    auto& s = Windows();
    std::lock_guard lock(s.mutex);
    PlatformWindow* w = FindWindowLocked(window);
    return w != nullptr ? w->proc : nullptr;
}

bool OwnedByCaller(HWND window) {
    auto& s = Windows();
    std::lock_guard lock(s.mutex);
    PlatformWindow* w = FindWindowLocked(window);
    return w != nullptr && w->ownerThread == GetCurrentThreadId();
}

}  // namespace

WindowSystemState& Windows() {
    static WindowSystemState state;
    return state;
}

PlatformWindow* FindWindowLocked(HWND window) {
    auto& s = Windows();
    auto it = s.windows.find(reinterpret_cast<std::uintptr_t>(window));
    return it == s.windows.end() ? nullptr : &it->second;
}

// The display shows the window's client area, and frames go to its SDL window.
void SyncDisplayLocked(const PlatformWindow& window) {
    PlatformDisplaySetClientRect(ClientRectOf(window));
    if (window.sdl != nullptr) PlatformAttachPresentWindow(window.sdl);
}

RECT ClientRectOf(const PlatformWindow& window) {
    Frame f = FrameFor(window.style, window.exStyle);
    RECT r{window.rect.left + f.left, window.rect.top + f.top, window.rect.right - f.right,
           window.rect.bottom - f.bottom};
    if (r.right < r.left) r.right = r.left;
    if (r.bottom < r.top) r.bottom = r.top;
    return r;
}

std::string UpperCase(const char* text) {
    std::string out = text != nullptr ? text : "";
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

// ---- classes -------------------------------------------------------------------------------

ATOM RegisterClassA(const WNDCLASSA* windowClass) {
    if (windowClass == nullptr || windowClass->lpszClassName == nullptr || windowClass->lpfnWndProc == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    auto& s = Windows();
    std::lock_guard lock(s.mutex);
    std::string key = UpperCase(windowClass->lpszClassName);
    if (s.classes.count(key) != 0) {
        SetLastError(1410);  // ERROR_CLASS_ALREADY_EXISTS
        return 0;
    }
    WindowClass entry;
    entry.wc = *windowClass;
    entry.name = windowClass->lpszClassName;
    entry.wc.lpszClassName = nullptr;  // the caller's string need not outlive the call
    s.classes.emplace(key, entry);
    return static_cast<ATOM>(0xC000 + s.classes.size());
}

BOOL UnregisterClassA(LPCSTR className, HINSTANCE) {
    auto& s = Windows();
    std::lock_guard lock(s.mutex);
    std::string key = UpperCase(className);
    for (const auto& [handle, window] : s.windows)
        if (UpperCase(window.className.c_str()) == key) return FALSE;  // still in use
    return s.classes.erase(key) != 0 ? TRUE : FALSE;
}

BOOL GetClassInfoA(HINSTANCE, LPCSTR className, WNDCLASSA* windowClass) {
    if (className == nullptr || windowClass == nullptr) return FALSE;
    auto& s = Windows();
    std::lock_guard lock(s.mutex);
    auto it = s.classes.find(UpperCase(className));
    if (it == s.classes.end()) {
        SetLastError(1411);  // ERROR_CLASS_DOES_NOT_EXIST
        return FALSE;
    }
    *windowClass = it->second.wc;
    windowClass->lpszClassName = className;
    return TRUE;
}

HWND FindWindowA(LPCSTR className, LPCSTR title) {
    std::string key = UpperCase(className);
    {
        auto& s = Windows();
        std::lock_guard lock(s.mutex);
        for (const auto& [handle, window] : s.windows) {
            if (window.messageOnly) continue;
            if (className != nullptr && UpperCase(window.className.c_str()) != key) continue;
            if (title != nullptr && window.title != title) continue;
            return window.handle;
        }
    }
    // Another running program's window: not a window of ours, but non-null
    // so the caller knows one exists.
    if (className != nullptr && SdlBackend() && ClassLockHeldElsewhere(key))
        return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(0xFFF0));
    return nullptr;
}

// ---- windows -------------------------------------------------------------------------------

HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR title, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU, HINSTANCE, LPVOID) {
    HWND handle = nullptr;
    WNDPROC proc = nullptr;
    {
        auto& s = Windows();
        std::lock_guard lock(s.mutex);
        if (s.refuseCreation) {
            SetLastError(8);  // ERROR_NOT_ENOUGH_MEMORY
            return nullptr;
        }
        auto cls = s.classes.find(UpperCase(className));
        if (cls == s.classes.end()) {
            SetLastError(1407);  // ERROR_CANNOT_FIND_WND_CLASS
            return nullptr;
        }
        PlatformWindow window;
        window.handle = reinterpret_cast<HWND>(s.nextWindow);
        window.className = cls->second.name;
        window.title = title != nullptr ? title : "";
        window.proc = cls->second.wc.lpfnWndProc;
        window.ownerThread = GetCurrentThreadId();
        window.style = style & ~WS_VISIBLE;
        window.exStyle = exStyle;
        window.topmost = (exStyle & WS_EX_TOPMOST) != 0;
        window.rect = {x, y, x + (width > 0 ? width : 0), y + (height > 0 ? height : 0)};
        window.messageOnly = parent == HWND_MESSAGE;
        if (SdlBackend() && !window.messageOnly) {
            if (!PlatformStartBackend() || !SdlCreateWindow(window)) {
                SetLastError(ERROR_INVALID_PARAMETER);
                return nullptr;
            }
            ClassLockAcquire(UpperCase(className));
        }
        s.nextWindow += 4;
        handle = window.handle;
        proc = window.proc;
        auto placed = s.windows.emplace(reinterpret_cast<std::uintptr_t>(handle), std::move(window));
        if (!placed.first->second.messageOnly) SyncDisplayLocked(placed.first->second);
    }
    proc(handle, WM_CREATE, 0, 0);
    if (style & WS_VISIBLE) ShowWindow(handle, SW_SHOW);
    return handle;
}

BOOL DestroyWindow(HWND window) {
    if (!OwnedByCaller(window)) return FALSE;
    WNDPROC proc = ProcOf(window);
    if (proc != nullptr) proc(window, WM_DESTROY, 0, 0);
    auto& s = Windows();
    std::lock_guard lock(s.mutex);
    PlatformWindow* w = FindWindowLocked(window);
    if (w == nullptr) return TRUE;  // the procedure destroyed it itself
    if (w->sdl != nullptr) {
        PlatformAttachPresentWindow(nullptr);
        SdlDestroyWindow(*w);
    }
    std::string key = UpperCase(w->className.c_str());
    for (auto& [thread, queue] : s.queues)
        std::erase_if(queue, [window](const MSG& m) { return m.hwnd == window; });
    if (s.foreground == window) s.foreground = nullptr;
    s.windows.erase(reinterpret_cast<std::uintptr_t>(window));
    bool classInUse = false;
    for (const auto& [handle, other] : s.windows)
        if (UpperCase(other.className.c_str()) == key) classInUse = true;
    if (!classInUse && SdlBackend()) ClassLockRelease(key);
    return TRUE;
}

BOOL IsWindow(HWND window) {
    auto& s = Windows();
    std::lock_guard lock(s.mutex);
    return FindWindowLocked(window) != nullptr;
}

BOOL ShowWindow(HWND window, int command) {
    bool activate = false;
    bool deactivate = false;
    BOOL wasVisible = FALSE;
    {
        auto& s = Windows();
        std::lock_guard lock(s.mutex);
        PlatformWindow* w = FindWindowLocked(window);
        if (w == nullptr) return FALSE;
        wasVisible = w->visible ? TRUE : FALSE;
        switch (command) {
            case SW_HIDE: w->visible = false; break;
            case SW_MINIMIZE:
            case SW_SHOWMINIMIZED:
                w->visible = true;
                deactivate = !w->minimized;
                w->minimized = true;
                break;
            case SW_RESTORE:
                w->visible = true;
                activate = w->minimized;
                w->minimized = false;
                break;
            default:
                w->visible = true;
                activate = !w->shownOnce;
                break;
        }
        if (w->visible) w->shownOnce = true;
        if (activate) s.foreground = window;
        if (deactivate && s.foreground == window) s.foreground = nullptr;
        if (w->sdl != nullptr) SdlApplyWindow(*w);
        SyncDisplayLocked(*w);
    }
    if (activate) {
        SendMessageA(window, WM_ACTIVATEAPP, TRUE, 0);
        SendMessageA(window, WM_ACTIVATE, WA_ACTIVE, 0);
    }
    if (deactivate) {
        SendMessageA(window, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, 1), 0);
        SendMessageA(window, WM_ACTIVATEAPP, FALSE, 0);
        SendMessageA(window, WM_SIZE, SIZE_MINIMIZED, 0);
    }
    return wasVisible;
}

BOOL UpdateWindow(HWND window) { return IsWindow(window); }

BOOL IsIconic(HWND window) {
    auto& s = Windows();
    std::lock_guard lock(s.mutex);
    PlatformWindow* w = FindWindowLocked(window);
    return w != nullptr && w->minimized;
}

BOOL IsZoomed(HWND) { return FALSE; }

// A top-level window brought to the top is activated as well.
BOOL BringWindowToTop(HWND window) {
    if (!IsWindow(window)) return FALSE;
    SetActiveWindow(window);
    return TRUE;
}

HWND SetActiveWindow(HWND window) {
    auto& s = Windows();
    std::lock_guard lock(s.mutex);
    if (FindWindowLocked(window) == nullptr) return nullptr;
    HWND previous = s.foreground;
    s.foreground = window;
    return previous;
}

BOOL SetForegroundWindow(HWND window) {
    auto& s = Windows();
    std::lock_guard lock(s.mutex);
    PlatformWindow* w = FindWindowLocked(window);
    if (w == nullptr) return FALSE;
    s.foreground = window;
    if (w->sdl != nullptr) SdlApplyWindow(*w);
    return TRUE;
}

HWND GetForegroundWindow() {
    auto& s = Windows();
    std::lock_guard lock(s.mutex);
    return s.foreground;
}

HWND GetDesktopWindow() { return reinterpret_cast<HWND>(std::uintptr_t{0x10010}); }

DWORD GetWindowThreadProcessId(HWND window, DWORD* processId) {
    auto& s = Windows();
    std::lock_guard lock(s.mutex);
    PlatformWindow* w = FindWindowLocked(window);
    if (processId != nullptr) *processId = w != nullptr ? 1 : 0;
    return w != nullptr ? w->ownerThread : 0;
}

BOOL AttachThreadInput(DWORD, DWORD, BOOL) { return TRUE; }

BOOL SetWindowPos(HWND window, HWND after, int x, int y, int width, int height, UINT flags) {
    bool moved = false;
    bool sized = false;
    RECT client{};
    {
        auto& s = Windows();
        std::lock_guard lock(s.mutex);
        PlatformWindow* w = FindWindowLocked(window);
        if (w == nullptr) return FALSE;
        RECT before = ClientRectOf(*w);
        if (!(flags & SWP_NOMOVE)) {
            LONG wdt = w->rect.right - w->rect.left, hgt = w->rect.bottom - w->rect.top;
            w->rect = {x, y, x + wdt, y + hgt};
        }
        if (!(flags & SWP_NOSIZE)) {
            w->rect.right = w->rect.left + (width > 0 ? width : 0);
            w->rect.bottom = w->rect.top + (height > 0 ? height : 0);
        }
        if (!(flags & SWP_NOZORDER)) {
            if (after == HWND_TOPMOST) w->topmost = true;
            if (after == HWND_NOTOPMOST) w->topmost = false;
        }
        if (flags & SWP_SHOWWINDOW) w->visible = true;
        client = ClientRectOf(*w);
        moved = client.left != before.left || client.top != before.top;
        sized = (client.right - client.left) != (before.right - before.left) ||
                (client.bottom - client.top) != (before.bottom - before.top);
        if (w->sdl != nullptr) SdlApplyWindow(*w);
        SyncDisplayLocked(*w);
    }
    // Only real changes are reported, so a handler that sets the size it
    // already has does not call itself again.
    if (moved) SendMessageA(window, WM_MOVE, 0, MAKELPARAM(client.left, client.top));
    if (sized)
        SendMessageA(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right - client.left, client.bottom - client.top));
    return TRUE;
}

BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL) {
    return SetWindowPos(window, nullptr, x, y, width, height, SWP_NOZORDER);
}

LONG SetWindowLongA(HWND window, int index, LONG value) {
    auto& s = Windows();
    std::lock_guard lock(s.mutex);
    PlatformWindow* w = FindWindowLocked(window);
    if (w == nullptr) return 0;
    LONG previous = 0;
    if (index == GWL_STYLE) {
        previous = static_cast<LONG>(w->style);
        w->style = static_cast<DWORD>(value) & ~WS_VISIBLE;
    } else if (index == GWL_EXSTYLE) {
        previous = static_cast<LONG>(w->exStyle);
        w->exStyle = static_cast<DWORD>(value);
        w->topmost = (w->exStyle & WS_EX_TOPMOST) != 0;
    }
    if (w->sdl != nullptr) SdlApplyWindow(*w);
    SyncDisplayLocked(*w);
    return previous;
}

LONG GetWindowLongA(HWND window, int index) {
    auto& s = Windows();
    std::lock_guard lock(s.mutex);
    PlatformWindow* w = FindWindowLocked(window);
    if (w == nullptr) return 0;
    if (index == GWL_STYLE) return static_cast<LONG>(w->style | (w->visible ? WS_VISIBLE : 0));
    if (index == GWL_EXSTYLE) return static_cast<LONG>(w->exStyle);
    return 0;
}

BOOL GetWindowRect(HWND window, RECT* rect) {
    auto& s = Windows();
    std::lock_guard lock(s.mutex);
    PlatformWindow* w = FindWindowLocked(window);
    if (w == nullptr || rect == nullptr) return FALSE;
    *rect = w->rect;
    return TRUE;
}

BOOL GetClientRect(HWND window, RECT* rect) {
    auto& s = Windows();
    std::lock_guard lock(s.mutex);
    PlatformWindow* w = FindWindowLocked(window);
    if (w == nullptr || rect == nullptr) return FALSE;
    RECT c = ClientRectOf(*w);
    *rect = {0, 0, c.right - c.left, c.bottom - c.top};
    return TRUE;
}

BOOL ClientToScreen(HWND window, POINT* point) {
    auto& s = Windows();
    std::lock_guard lock(s.mutex);
    PlatformWindow* w = FindWindowLocked(window);
    if (w == nullptr || point == nullptr) return FALSE;
    RECT c = ClientRectOf(*w);
    point->x += c.left;
    point->y += c.top;
    return TRUE;
}

BOOL ScreenToClient(HWND window, POINT* point) {
    auto& s = Windows();
    std::lock_guard lock(s.mutex);
    PlatformWindow* w = FindWindowLocked(window);
    if (w == nullptr || point == nullptr) return FALSE;
    RECT c = ClientRectOf(*w);
    point->x -= c.left;
    point->y -= c.top;
    return TRUE;
}

BOOL AdjustWindowRectEx(RECT* rect, DWORD style, BOOL, DWORD exStyle) {
    if (rect == nullptr) return FALSE;
    Frame f = FrameFor(style, exStyle);
    rect->left -= f.left;
    rect->top -= f.top;
    rect->right += f.right;
    rect->bottom += f.bottom;
    return TRUE;
}

BOOL SetWindowTextA(HWND window, LPCSTR text) {
    auto& s = Windows();
    std::lock_guard lock(s.mutex);
    PlatformWindow* w = FindWindowLocked(window);
    if (w == nullptr) return FALSE;
    w->title = text != nullptr ? text : "";
    if (w->sdl != nullptr) SdlApplyWindow(*w);
    return TRUE;
}

// ---- user events ---------------------------------------------------------------------------

void PlatformQueueWindowEvent(HWND window, const PlatformWindowEvent& event) {
    auto& s = Windows();
    std::lock_guard lock(s.mutex);
    PlatformWindow* w = FindWindowLocked(window);
    if (w != nullptr) w->scripted.push_back(event);
}

PlatformWindowInfo PlatformGetWindowInfo(HWND window) {
    PlatformWindowInfo info;
    auto& s = Windows();
    std::lock_guard lock(s.mutex);
    PlatformWindow* w = FindWindowLocked(window);
    if (w == nullptr) return info;
    info.exists = true;
    info.visible = w->visible;
    info.topmost = w->topmost;
    info.minimized = w->minimized;
    info.imeEnabled = w->imeEnabled;
    info.sdlWindow = w->sdl != nullptr;
    info.sdlWindowId = w->sdlId;
    info.ownerThread = w->ownerThread;
    info.style = w->style;
    info.exStyle = w->exStyle;
    info.windowRect = w->rect;
    info.clientRect = ClientRectOf(*w);
    info.region = w->region;
    info.title = w->title;
    info.className = w->className;
    return info;
}

void PlatformResetWindows() {
    auto& s = Windows();
    std::lock_guard lock(s.mutex);
    for (auto& [key, window] : s.windows) {
        if (window.sdl != nullptr) SdlDestroyWindow(window);
        if (SdlBackend()) ClassLockRelease(UpperCase(window.className.c_str()));
    }
    s.windows.clear();
    s.classes.clear();
    s.queues.clear();
    s.drops.clear();
    s.foreground = nullptr;
    s.screenSaverActive = true;
    s.cursorCount = 0;
    s.cursor = nullptr;
    s.refuseCreation = false;
}

void PlatformRefuseWindowCreation(bool refuse) {
    auto& s = Windows();
    std::lock_guard lock(s.mutex);
    s.refuseCreation = refuse;
}
