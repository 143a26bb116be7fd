// The window stand-in's shared state: classes, windows, message queues and
// the scripted events. One recursive mutex guards all of it; window
// procedures are always called with it released.
#pragma once

#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "imm/imm_context.h"
#include "platform/window.h"

struct SDL_Window;

struct PlatformWindow {
    HWND handle = nullptr;
    std::string className;
    std::string title;
    WNDPROC proc = nullptr;
    DWORD ownerThread = 0;
    DWORD style = 0;
    DWORD exStyle = 0;
    RECT rect{};  // the window's outer rectangle, screen coordinates
    bool visible = false;
    bool shownOnce = false;
    bool minimized = false;
    bool topmost = false;
    bool imeEnabled = true;  // WINNLSEnableIME: recorded only
    bool messageOnly = false;  // made with HWND_MESSAGE as parent
    ImmContext ime;
    HRGN region = nullptr;
    SDL_Window* sdl = nullptr;
    unsigned sdlId = 0;
    std::deque<PlatformWindowEvent> scripted;
};

struct WindowClass {
    WNDCLASSA wc{};
    std::string name;
};

struct WindowSystemState {
    std::recursive_mutex mutex;
    std::map<std::string, WindowClass> classes;  // by upper-case name
    std::map<std::uintptr_t, PlatformWindow> windows;
    std::uintptr_t nextWindow = 0x10010;
    std::map<DWORD, std::deque<MSG>> queues;
    std::map<std::uintptr_t, std::vector<std::string>> drops;
    std::uintptr_t nextDrop = 0x20010;
    HWND foreground = nullptr;
    bool screenSaverActive = true;
    UINT foregroundLockTimeout = 200000;
    int cursorCount = 0;
    HCURSOR cursor = nullptr;
    POINT cursorPos{};
    int desktopWidth = 1024;
    int desktopHeight = 768;
    int desktopBits = 32;
    bool refuseCreation = false;
};

WindowSystemState& Windows();

// Under the mutex: the window for a handle, or null.
PlatformWindow* FindWindowLocked(HWND window);
// Under the mutex: queue a message on the window's owner thread.
void PostLocked(const PlatformWindow& window, UINT message, WPARAM wParam, LPARAM lParam);
// Under the mutex: the client rectangle (screen coordinates) of a window.
RECT ClientRectOf(const PlatformWindow& window);
std::string UpperCase(const char* text);
HDROP NewDropLocked(std::vector<std::string> files);
// Takes the queued messages of `window` with this message and wParam out of
// every queue (a socket's events once it is deselected or closed).
void PlatformRemoveQueuedMessages(HWND window, UINT message, WPARAM wParam);
// Turns one user event into the window messages a real system would queue.
void EventToMessagesLocked(PlatformWindow& window, const PlatformWindowEvent& event);
// Main thread, headless: the input script's typing since the last call, as
// messages to the foreground window (headless_typing.cpp).
void DeliverScriptedTyping();

// ---- the sdl backend (window_sdl.cpp) ----
bool SdlCreateWindow(PlatformWindow& window);
void SdlDestroyWindow(PlatformWindow& window);
void SdlApplyWindow(PlatformWindow& window);  // position, size, full screen, visibility, topmost
void SdlPumpEvents();                         // main thread: SDL events into window messages
void SdlSetCursorVisible(bool visible);
void SdlSetScreenSaver(bool active);
bool SdlDesktopMode(int* width, int* height, int* bits);
void SyncDisplayLocked(const PlatformWindow& window);
bool SdlCursorPosition(POINT* point);
bool SdlBackend();
// Cross-process record of a window class in use, so a second running copy of
// a program can find the first (sdl backend only).
void ClassLockAcquire(const std::string& upperName);
void ClassLockRelease(const std::string& upperName);
bool ClassLockHeldElsewhere(const std::string& upperName);
