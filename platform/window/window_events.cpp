// User events into window messages, dropped files, the cursor, display
// metrics, system settings and the little GDI the window needs.
#include <cstring>

#include "platform/backend.h"
#include "platform/display.h"
#include "platform/gdi.h"
#include "platform/kernel.h"
#include "window/window_state.h"

namespace {

// A full-screen program that loses the focus loses exclusive use of the
// display, and with it every surface in video memory.
void LoseExclusiveIfFullScreen(const PlatformWindow& window) {
    if ((window.style & WS_CAPTION) != WS_CAPTION && PlatformDisplayModeChanged()) PlatformDisplayLoseExclusive();
}

}  // namespace

void EventToMessagesLocked(PlatformWindow& window, const PlatformWindowEvent& event) {
    using Kind = PlatformWindowEvent::Kind;
    auto& s = Windows();
    switch (event.kind) {
        case Kind::Close: PostLocked(window, WM_CLOSE, 0, 0); break;
        case Kind::Activate:
            window.minimized = false;
            s.foreground = window.handle;
            PostLocked(window, WM_ACTIVATEAPP, TRUE, 0);
            PostLocked(window, WM_ACTIVATE, WA_ACTIVE, 0);
            break;
        case Kind::Deactivate:
            LoseExclusiveIfFullScreen(window);
            if (s.foreground == window.handle) s.foreground = nullptr;
            PostLocked(window, WM_ACTIVATE, WA_INACTIVE, 0);
            PostLocked(window, WM_ACTIVATEAPP, FALSE, 0);
            break;
        case Kind::Minimize:
            LoseExclusiveIfFullScreen(window);
            window.minimized = true;
            if (s.foreground == window.handle) s.foreground = nullptr;
            PostLocked(window, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, 1), 0);
            PostLocked(window, WM_ACTIVATEAPP, FALSE, 0);
            PostLocked(window, WM_SIZE, SIZE_MINIMIZED, 0);
            break;
        case Kind::KeyDown: PostLocked(window, WM_KEYDOWN, static_cast<WPARAM>(event.value), 1); break;
        case Kind::KeyUp: PostLocked(window, WM_KEYUP, static_cast<WPARAM>(event.value), 1); break;
        case Kind::Char: PostLocked(window, WM_CHAR, static_cast<WPARAM>(event.value & 0xFF), 1); break;
        case Kind::Wheel: PostLocked(window, WM_MOUSEWHEEL, MAKEWPARAM(0, event.value * WHEEL_DELTA), 0); break;
        case Kind::Drop:
            PostLocked(window, WM_DROPFILES, reinterpret_cast<WPARAM>(NewDropLocked(event.files)), 0);
            break;
        case Kind::Expose: PostLocked(window, WM_PAINT, 0, 0); break;
        case Kind::ScreenSave: PostLocked(window, WM_SYSCOMMAND, SC_SCREENSAVE, 0); break;
        case Kind::MouseMove: {
            RECT c = ClientRectOf(window);
            s.cursorPos = {c.left + event.value, c.top + event.value2};
            PostLocked(window, WM_SETCURSOR, reinterpret_cast<WPARAM>(window.handle), 1);
            PostLocked(window, WM_MOUSEMOVE, 0, MAKELPARAM(event.value, event.value2));
            break;
        }
        case Kind::DisplayChange:
            PostLocked(window, WM_DISPLAYCHANGE, static_cast<WPARAM>(s.desktopBits),
                       MAKELPARAM(event.value, event.value2));
            break;
        case Kind::Message: PostLocked(window, event.message, event.wParam, event.lParam); break;
        case Kind::Text: ImmTextToMessagesLocked(window, event.text); break;
        case Kind::Compose: ImmCompositionToMessagesLocked(window, event.text, event.value); break;
    }
}

// ---- dropped files ---------------------------------------------------------------------------

HDROP NewDropLocked(std::vector<std::string> files) {
    auto& s = Windows();
    std::uintptr_t key = s.nextDrop;
    s.nextDrop += 4;
    s.drops.emplace(key, std::move(files));
    return reinterpret_cast<HDROP>(key);
}

UINT DragQueryFileA(HDROP drop, UINT index, LPSTR buffer, UINT size) {
    auto& s = Windows();
    std::lock_guard lock(s.mutex);
    auto it = s.drops.find(reinterpret_cast<std::uintptr_t>(drop));
    if (it == s.drops.end()) return 0;
    const auto& files = it->second;
    if (index == 0xFFFFFFFFu) return static_cast<UINT>(files.size());
    if (index >= files.size()) return 0;
    const std::string& name = files[index];
    if (buffer != nullptr && size > 0) {
        std::size_t n = name.size() < size - 1 ? name.size() : size - 1;
        std::memcpy(buffer, name.data(), n);
        buffer[n] = '\0';
        return static_cast<UINT>(n);
    }
    return static_cast<UINT>(name.size());
}

void DragFinish(HDROP drop) {
    auto& s = Windows();
    std::lock_guard lock(s.mutex);
    s.drops.erase(reinterpret_cast<std::uintptr_t>(drop));
}

// ---- cursor ------------------------------------------------------------------------------------

HCURSOR LoadCursorA(HINSTANCE, LPCSTR name) {
    return reinterpret_cast<HCURSOR>(reinterpret_cast<std::uintptr_t>(name) | 0x10000);
}

HICON LoadIconA(HINSTANCE, LPCSTR name) {
    return reinterpret_cast<HICON>(reinterpret_cast<std::uintptr_t>(name) | 0x20000);
}

HCURSOR SetCursor(HCURSOR cursor) {
    auto& s = Windows();
    std::lock_guard lock(s.mutex);
    HCURSOR previous = s.cursor;
    s.cursor = cursor;
    return previous;
}

HCURSOR GetCursor() {
    auto& s = Windows();
    std::lock_guard lock(s.mutex);
    return s.cursor;
}

int ShowCursor(BOOL show) {
    auto& s = Windows();
    std::lock_guard lock(s.mutex);
    s.cursorCount += show ? 1 : -1;
    if (SdlBackend()) SdlSetCursorVisible(s.cursorCount >= 0);
    return s.cursorCount;
}

BOOL GetCursorPos(POINT* point) {
    if (point == nullptr) return FALSE;
    if (SdlBackend() && SdlCursorPosition(point)) return TRUE;
    auto& s = Windows();
    std::lock_guard lock(s.mutex);
    *point = s.cursorPos;
    return TRUE;
}

int PlatformCursorCount() {
    auto& s = Windows();
    std::lock_guard lock(s.mutex);
    return s.cursorCount;
}

// ---- metrics and settings -------------------------------------------------------------------

namespace {

// The display's current mode: the desktop, or the full-screen mode in force.
void DesktopMode(int* width, int* height, int* bits) {
    *width = PlatformDisplayWidth();
    *height = PlatformDisplayHeight();
    *bits = PlatformDisplayLayout().bitsPerPixel;
}

}  // namespace

int GetSystemMetrics(int index) {
    int w = 0, h = 0, bits = 0;
    DesktopMode(&w, &h, &bits);
    if (index == SM_CXSCREEN) return w;
    if (index == SM_CYSCREEN) return h;
    return 0;
}

void PlatformSetHeadlessDesktop(int width, int height, int bits) {
    {
        auto& s = Windows();
        std::lock_guard lock(s.mutex);
        s.desktopWidth = width;
        s.desktopHeight = height;
        s.desktopBits = bits;
    }
    PlatformDisplayKnobs& knobs = PlatformDisplayKnobsRef();
    knobs.desktopWidth = width;
    knobs.desktopHeight = height;
    // A 24-bit desktop is shown as 32-bit: every display here converts.
    knobs.desktopLayout = bits <= 8 ? kLayout8 : bits <= 16 ? kLayout565 : kLayoutX888;
    PlatformDisplayReset();
}

BOOL SystemParametersInfoA(UINT action, UINT uiParam, LPVOID pvParam, UINT) {
    auto& s = Windows();
    std::lock_guard lock(s.mutex);
    switch (action) {
        case SPI_GETSCREENSAVEACTIVE:
            if (pvParam == nullptr) return FALSE;
            *static_cast<BOOL*>(pvParam) = s.screenSaverActive ? TRUE : FALSE;
            return TRUE;
        case SPI_SETSCREENSAVEACTIVE:
            s.screenSaverActive = uiParam != 0;
            if (SdlBackend()) SdlSetScreenSaver(s.screenSaverActive);
            return TRUE;
        case SPI_GETFOREGROUNDLOCKTIMEOUT:
            if (pvParam == nullptr) return FALSE;
            *static_cast<UINT*>(pvParam) = s.foregroundLockTimeout;
            return TRUE;
        case SPI_SETFOREGROUNDLOCKTIMEOUT:
            // The real call takes the value in the pointer argument itself.
            s.foregroundLockTimeout = static_cast<UINT>(reinterpret_cast<std::uintptr_t>(pvParam));
            return TRUE;
        default: return FALSE;
    }
}

bool PlatformScreenSaverActive() {
    auto& s = Windows();
    std::lock_guard lock(s.mutex);
    return s.screenSaverActive;
}

// ---- GDI ----------------------------------------------------------------------------------------

HDC BeginPaint(HWND window, PAINTSTRUCT* paint) {
    if (paint == nullptr || !IsWindow(window)) return nullptr;
    RECT client{};
    GetClientRect(window, &client);
    paint->hdc = GetDC(window);
    paint->fErase = FALSE;
    paint->rcPaint = client;
    return paint->hdc;
}

BOOL EndPaint(HWND window, const PAINTSTRUCT* paint) {
    if (paint == nullptr) return FALSE;
    ReleaseDC(window, paint->hdc);
    return TRUE;
}

HGDIOBJ GetStockObject(int index) {
    return reinterpret_cast<HGDIOBJ>(static_cast<std::uintptr_t>(0x900 + index));
}

int FillRect(HDC dc, const RECT* rect, HBRUSH) { return dc != nullptr && rect != nullptr; }

int SetWindowRgn(HWND window, HRGN region, BOOL) {
    auto& s = Windows();
    std::lock_guard lock(s.mutex);
    PlatformWindow* w = FindWindowLocked(window);
    if (w == nullptr) return 0;
    w->region = region;
    return 1;
}

BOOL DestroyMenu(HMENU menu) { return menu != nullptr; }
BOOL UnhookWindowsHookEx(HHOOK hook) { return hook != nullptr; }
