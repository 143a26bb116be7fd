// The sdl backend's windows: a real SDL window behind each window, made and
// changed on the video thread, and the main thread's turning of the SDL
// events that thread pumps into window messages.
#include <SDL.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdio>
#include <functional>

#include "ddraw/display_internal.h"
#include "kernel/video_thread.h"
#include "platform/backend.h"
#include "platform/kernel.h"
#include "window/window_state.h"

bool SdlBackend() { return PlatformGetBackend() == PlatformBackend::Sdl; }

namespace {

PlatformWindow* FindBySdlId(unsigned id) {
    for (auto& [key, window] : Windows().windows)
        if (window.sdl != nullptr && window.sdlId == id) return &window;
    return nullptr;
}

// Files dropped in one go arrive as one SDL event each; they are handed over
// as one drop when SDL says the drop is complete.
std::vector<std::string> g_pendingDrop;
unsigned g_pendingDropWindow = 0;

WPARAM VirtualKeyOf(SDL_Keycode key) {
    if (key >= SDLK_a && key <= SDLK_z) return static_cast<WPARAM>('A' + (key - SDLK_a));
    if (key >= SDLK_0 && key <= SDLK_9) return static_cast<WPARAM>('0' + (key - SDLK_0));
    if (key >= SDLK_F1 && key <= SDLK_F12) return static_cast<WPARAM>(0x70 + (key - SDLK_F1));
    switch (key) {
        case SDLK_BACKSPACE: return VK_BACK;
        case SDLK_TAB: return VK_TAB;
        case SDLK_RETURN:
        case SDLK_KP_ENTER: return VK_RETURN;
        case SDLK_ESCAPE: return VK_ESCAPE;
        case SDLK_SPACE: return VK_SPACE;
        case SDLK_LEFT: return VK_LEFT;
        case SDLK_UP: return VK_UP;
        case SDLK_RIGHT: return VK_RIGHT;
        case SDLK_DOWN: return VK_DOWN;
        case SDLK_DELETE: return VK_DELETE;
        case SDLK_LSHIFT:
        case SDLK_RSHIFT: return VK_SHIFT;
        case SDLK_LCTRL:
        case SDLK_RCTRL: return VK_CONTROL;
        case SDLK_INSERT: return 0x2D;
        case SDLK_HOME: return 0x24;
        case SDLK_END: return 0x23;
        case SDLK_PAGEUP: return 0x21;
        case SDLK_PAGEDOWN: return 0x22;
        default: return 0;
    }
}

void WindowEvent(const SDL_WindowEvent& e) {
    using Kind = PlatformWindowEvent::Kind;
    PlatformWindow* w = FindBySdlId(e.windowID);
    if (w == nullptr) return;
    PlatformWindowEvent ev;
    switch (e.event) {
        case SDL_WINDOWEVENT_CLOSE:
            ev.kind = Kind::Close;
            PlatformNoteCloseRequest();
            break;
        case SDL_WINDOWEVENT_FOCUS_GAINED:
        case SDL_WINDOWEVENT_RESTORED:
            if (e.event == SDL_WINDOWEVENT_RESTORED && !w->minimized) return;
            ev.kind = Kind::Activate;
            break;
        case SDL_WINDOWEVENT_FOCUS_LOST: ev.kind = Kind::Deactivate; break;
        case SDL_WINDOWEVENT_MINIMIZED: ev.kind = Kind::Minimize; break;
        case SDL_WINDOWEVENT_EXPOSED: ev.kind = Kind::Expose; break;
        case SDL_WINDOWEVENT_MOVED: {
            // SDL reports the client area's position; keep the frame around it.
            RECT c = ClientRectOf(*w);
            LONG dx = e.data1 - c.left, dy = e.data2 - c.top;
            if ((w->style & WS_CAPTION) != WS_CAPTION) return;  // full screen: SDL places it
            w->rect.left += dx;
            w->rect.right += dx;
            w->rect.top += dy;
            w->rect.bottom += dy;
            PostLocked(*w, WM_MOVE, 0, MAKELPARAM(e.data1, e.data2));
            return;
        }
        default: return;
    }
    EventToMessagesLocked(*w, ev);
}

void ToMessages(const SDL_Event& e) {
    using Kind = PlatformWindowEvent::Kind;
    PlatformWindowEvent ev;
    unsigned id = 0;
    switch (e.type) {
        case SDL_WINDOWEVENT: WindowEvent(e.window); return;
        case SDL_KEYDOWN:
        case SDL_KEYUP:
            ev.kind = e.type == SDL_KEYDOWN ? Kind::KeyDown : Kind::KeyUp;
            ev.value = static_cast<int>(VirtualKeyOf(e.key.keysym.sym));
            if (ev.value == 0) return;
            id = e.key.windowID;
            break;
        // Typed and committed text, and the desktop input method's
        // composition: the window's input context turns them into messages.
        case SDL_TEXTINPUT:
            ev.kind = Kind::Text;
            ev.text = e.text.text;
            id = e.text.windowID;
            break;
        case SDL_TEXTEDITING:
            ev.kind = Kind::Compose;
            ev.text = e.edit.text;
            ev.value = e.edit.start;
            id = e.edit.windowID;
            break;
        case SDL_TEXTEDITING_EXT:
            ev.kind = Kind::Compose;
            if (e.editExt.text != nullptr) {
                ev.text = e.editExt.text;
                SDL_free(e.editExt.text);
            }
            ev.value = e.editExt.start;
            id = e.editExt.windowID;
            break;
        case SDL_MOUSEWHEEL:
            ev.kind = Kind::Wheel;
            ev.value = e.wheel.y;
            if (ev.value == 0) return;
            id = e.wheel.windowID;
            break;
        case SDL_MOUSEMOTION:
            ev.kind = Kind::MouseMove;
            ev.value = e.motion.x;
            ev.value2 = e.motion.y;
            id = e.motion.windowID;
            break;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP: {
            PlatformWindow* w = FindBySdlId(e.button.windowID);
            if (w == nullptr) return;
            bool down = e.type == SDL_MOUSEBUTTONDOWN;
            UINT message = 0;
            if (e.button.button == SDL_BUTTON_LEFT) message = down ? WM_LBUTTONDOWN : WM_LBUTTONUP;
            if (e.button.button == SDL_BUTTON_RIGHT) message = down ? WM_RBUTTONDOWN : WM_RBUTTONUP;
            if (e.button.button == SDL_BUTTON_MIDDLE) message = down ? WM_MBUTTONDOWN : WM_MBUTTONUP;
            if (message != 0) PostLocked(*w, message, 0, MAKELPARAM(e.button.x, e.button.y));
            return;
        }
        case SDL_DROPBEGIN:
            g_pendingDrop.clear();
            g_pendingDropWindow = e.drop.windowID;
            return;
        case SDL_DROPFILE:
            if (e.drop.file != nullptr) {
                g_pendingDrop.emplace_back(e.drop.file);
                SDL_free(e.drop.file);
            }
            g_pendingDropWindow = e.drop.windowID;
            return;
        case SDL_DROPCOMPLETE:
            ev.kind = Kind::Drop;
            ev.files = std::move(g_pendingDrop);
            g_pendingDrop.clear();
            id = e.drop.windowID != 0 ? e.drop.windowID : g_pendingDropWindow;
            if (ev.files.empty()) return;
            break;
        case SDL_DROPTEXT: SDL_free(e.drop.file); return;
        default: return;  // SDL_QUIT among them: the close event already says it
    }
    PlatformWindow* w = FindBySdlId(id);
    if (w == nullptr && Windows().windows.size() == 1) w = &Windows().windows.begin()->second;
    if (w != nullptr) EventToMessagesLocked(*w, ev);
}

}  // namespace

// Full screen is a borderless window over the whole desktop rather than SDL's
// desktop full-screen mode: without a window manager (a bare X server, as on
// a virtual display) that mode leaves the X window at its old size while the
// renderer draws for the desktop's, so only a corner of the picture showed.
static SDL_Rect DesktopBounds() {
    SDL_Rect bounds{0, 0, 640, 480};
    if (SDL_GetDisplayBounds(0, &bounds) != 0 || bounds.w <= 0 || bounds.h <= 0) bounds = {0, 0, 640, 480};
    return bounds;
}

bool SdlCreateWindow(PlatformWindow& window) {
    RECT c = ClientRectOf(window);
    int width = c.right - c.left, height = c.bottom - c.top;
    if (width <= 0) width = 1;
    if (height <= 0) height = 1;
    const bool fullScreen = (window.style & WS_CAPTION) != WS_CAPTION;
    const std::string title = window.title;
    SDL_Window* made = nullptr;
    unsigned id = 0;
    VideoThreadCall([&] {
        Uint32 flags = SDL_WINDOW_HIDDEN;
        int x = c.left, y = c.top;
        if (fullScreen) {
            const SDL_Rect desktop = DesktopBounds();
            flags |= SDL_WINDOW_BORDERLESS;
            x = desktop.x, y = desktop.y, width = desktop.w, height = desktop.h;
        }
        // Made for the renderer that will draw in it, and given it while
        // still hidden: a renderer of another kind than its window makes the
        // X window anew, so that whatever had learned the first one (a close
        // sent to it) would be lost.
        made = static_cast<SDL_Window*>(PlatformMakeRenderedWindow(title.c_str(), x, y, width, height, flags));
        if (made == nullptr) return;
        id = SDL_GetWindowID(made);
    });
    if (made == nullptr) return false;
    window.sdl = made;
    window.sdlId = id;
    return true;
}

void SdlDestroyWindow(PlatformWindow& window) {
    if (window.sdl == nullptr) return;
    SDL_Window* sdl = window.sdl;
    VideoThreadCall([sdl] { SDL_DestroyWindow(sdl); });
    window.sdl = nullptr;
    window.sdlId = 0;
}

void SdlApplyWindow(PlatformWindow& window) {
    if (window.sdl == nullptr) return;
    // What the SDL window is to become, taken while the caller holds the
    // window state; the video thread applies it.
    SDL_Window* sdl = window.sdl;
    const bool fullScreen = (window.style & WS_CAPTION) != WS_CAPTION;
    const RECT c = ClientRectOf(window);
    const bool topmost = window.topmost, visible = window.visible, minimized = window.minimized;
    const std::string title = window.title;
    VideoThreadCall([&] {
        Uint32 current = SDL_GetWindowFlags(sdl);
        SDL_SetWindowBordered(sdl, fullScreen ? SDL_FALSE : SDL_TRUE);
        if (fullScreen) {
            const SDL_Rect desktop = DesktopBounds();
            SDL_SetWindowPosition(sdl, desktop.x, desktop.y);
            SDL_SetWindowSize(sdl, desktop.w, desktop.h);
        } else {
            SDL_SetWindowPosition(sdl, c.left, c.top);
            SDL_SetWindowSize(sdl, c.right - c.left > 0 ? c.right - c.left : 1,
                              c.bottom - c.top > 0 ? c.bottom - c.top : 1);
        }
        SDL_SetWindowAlwaysOnTop(sdl, topmost ? SDL_TRUE : SDL_FALSE);
        SDL_SetWindowTitle(sdl, title.c_str());
        if (visible && !minimized) {
            if (!(current & SDL_WINDOW_SHOWN)) SDL_ShowWindow(sdl);
        } else if (visible && minimized) {
            SDL_MinimizeWindow(sdl);
        } else if (current & SDL_WINDOW_SHOWN) {
            SDL_HideWindow(sdl);
        }
    });
}

// The events the video thread pumped, as window messages of their windows.
// A lost display closes every window, once, after the events that came
// before it: a close the user did not choose, so the program saves and
// ends by its own road.
void SdlPumpEvents() {
    if (!PlatformBackendStarted()) return;
    std::vector<SDL_Event> events = VideoThreadTakeEvents();
    static bool closedForLostDisplay = false;
    const bool lost = !closedForLostDisplay && VideoThreadDisplayLost();
    if (events.empty() && !lost) return;
    auto& s = Windows();
    std::lock_guard lock(s.mutex);
    for (const SDL_Event& e : events) ToMessages(e);
    if (!lost) return;
    closedForLostDisplay = true;
    PlatformNoteCloseRequest();
    PlatformWindowEvent close;
    close.kind = PlatformWindowEvent::Kind::Close;
    for (auto& [key, window] : s.windows)
        if (window.sdl != nullptr) EventToMessagesLocked(window, close);
}

void SdlSetCursorVisible(bool visible) {
    if (PlatformBackendStarted()) VideoThreadPost([visible] { SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE); });
}

void SdlSetScreenSaver(bool active) {
    if (!PlatformBackendStarted()) return;
    VideoThreadPost([active] {
        if (active)
            SDL_EnableScreenSaver();
        else
            SDL_DisableScreenSaver();
    });
}

bool SdlDesktopMode(int* width, int* height, int* bits) {
    SDL_DisplayMode mode{};
    bool ok = false;
    VideoThreadCall([&] { ok = SDL_GetDesktopDisplayMode(0, &mode) == 0; });
    if (!ok) return false;
    *width = mode.w;
    *height = mode.h;
    *bits = static_cast<int>(SDL_BITSPERPIXEL(mode.format));
    return true;
}

bool SdlCursorPosition(POINT* point) {
    if (!PlatformBackendStarted()) return false;
    int x = 0, y = 0;
    VideoThreadCall([&] { SDL_GetGlobalMouseState(&x, &y); });
    point->x = x;
    point->y = y;
    return true;
}

// ---- class locks ---------------------------------------------------------------------------------

namespace {

std::map<std::string, int> g_classLocks;  // held by this process: name -> descriptor

std::string ClassLockPath(const std::string& upperName) {
    char path[96];
    std::snprintf(path, sizeof path, "/tmp/kelvo-window-%016zx.lock", std::hash<std::string>{}(upperName));
    return path;
}

}  // namespace

void ClassLockAcquire(const std::string& upperName) {
    if (g_classLocks.count(upperName) != 0) return;
    int fd = ::open(ClassLockPath(upperName).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) return;
    if (::flock(fd, LOCK_SH | LOCK_NB) != 0) {
        ::close(fd);
        return;
    }
    g_classLocks[upperName] = fd;
}

void ClassLockRelease(const std::string& upperName) {
    auto it = g_classLocks.find(upperName);
    if (it == g_classLocks.end()) return;
    ::flock(it->second, LOCK_UN);
    ::close(it->second);
    g_classLocks.erase(it);
}

bool ClassLockHeldElsewhere(const std::string& upperName) {
    if (g_classLocks.count(upperName) != 0) return false;  // only our own windows, seen already
    int fd = ::open(ClassLockPath(upperName).c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) return false;
    // Holders keep a shared lock; an exclusive one is refused while any is held.
    bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
    if (!held) ::flock(fd, LOCK_UN);
    ::close(fd);
    return held;
}
