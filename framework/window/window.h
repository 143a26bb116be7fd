// The framework's main window: start and end of the window system, message
// processing and the message thread, the wait while the application is
// inactive, the window procedure, window and full-screen mode, the cursor and
// the IME messages.
//
// The window system reaches the layers above it only through the hooks in
// WindowHooks below, which api/subsystem_hooks.cpp binds to their operations
// from the program's start (a test may put its own in their place):
//   input        pad vibration and cooperation on activation; character input
//                and key-input handles (typed characters, the IME reopen)
//   sound        stream sounds and MIDI, kept going by message processing
//   net          sockets and HTTP requests, kept going likewise
//   graphics     restore and recovery on activation and display change,
//                presenting on paint, the window picture, the screen size and
//                mode, the front screen's draw area
#pragma once

#include <cstdint>

#include "core/handle.h"
#include "core/system_state.h"
#include "platform/window.h"

struct WindowHooks {
    // input
    int (*ApplyPadVibration)();
    int (*UpdatePadVibration)();
    int (*ResetInputCooperation)();
    int (*FlagImeReopen)();
    int (*PushCharCode)(int byte);
    int (*ProcessKeyInput)();
    int (*ReleaseAllKeyInputHandles)();
    // sound
    int (*ProcessStreamSounds)();
    int (*UpdateMidiPlayState)();
    int (*OnMidiPlayEnd)();
    // net
    int (*ProcessNetwork)();
    int (*StepAllHttpRequests)();
    // graphics: the screen device
    int (*HasDirectDrawObject)();
    int (*IsDirectDrawInUse)();
    int (*ReleaseDirectDrawObject)();
    int (*IsDisplayModeChanged)();
    int (*ApplyWindowModeChangeToScreen)();
    int (*SetupScreenColorFormat)();
    int (*GetScreenColorDepth)();
    int (*QueryScreenSize)(int* width, int* height);
    int (*GetGdiSurfaceMode)();
    int (*GetVBlankWait)();
    int (*SetVBlankWait)(int flag);
    int (*PresentToWindow)();
    int (*RestoreAllSurface2D)();
    int (*RestoreLostSurface3DData)();
    // graphics: graphics, drawing and movies
    int (*HasGraphReloadHandler)();
    int (*RestoreAllGraphs)();
    int (*RecoverGraphicsAfterDeviceLoss)();
    int (*ReleaseGraph)(HandleId handle, int logFlag);
    HandleId (*GetDrawTarget)();
    int (*SelectDrawTarget)(HandleId target);
    int (*StretchBlitGraph)(int x1, int y1, int x2, int y2, HandleId graphHandle, int transparent);
    int (*PlayAllGraphMovies)();
    int (*HoldAllGraphMovies)();
    int (*ReleaseAllMovieObjects)();
};

extern WindowHooks g_WindowHooks;

int InitWindowSystem();
int TerminateWindowSystem();
// 0 while running, -1 once the quit flag is 1.
int ProcessMessage();
DWORD ProcessMessageThread(LPVOID parameter);
void WaitUntilActive();
// Returns at once while the application is active, as it nearly always is
// when something is drawn: only the rest is worth a call.
inline void WaitWhileInactive() {
    const SystemState& s = g_SystemState;
    if (s.painting || s.applicationActive || s.externalWindow) return;
    WaitUntilActive();
}
LRESULT FrameworkWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

int ChangeWindowMode(int flag);
int StoreWindowModeFlag(int flag);
int ApplyWindowStyle();
int ResizeWindowToScreen();
int SetMouseCursorVisible(int flag);
int QueryMousePosition(int* x, int* y);
void ForceForegroundWindow(HWND window, int topmost);
void OnWindowMoved(LPARAM lParam);
void GetClientScreenRect(RECT* rect);
void PaintWindowPicture(HDC dc);
LRESULT OnImeMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Menus and the tool-bar: used only when one exists; nothing in this program
// makes one.
int ShouldShowMenu();
int SetMenuVisible(int flag);
int UpdateFullScreenMenu();
int IsMenuEnabled();
struct MenuItemRecord {
    HMENU menu;
    int position;
    int id;
    char name[128];
};
int CollectMenuItems(HMENU menu);
int ReadMenuItemInfo(HMENU menu, int position, MenuItemRecord* out);
int LookupMenuItemName(int id, char* buffer);
int LookupToolBarButton(int id);
int QueryToolBarHeight();
int ClearToolBarButtons();

// The key-to-character table: virtual key -> character stored, ended by a
// zero key.
struct KeyCharEntry {
    unsigned char virtualKey;
    unsigned char character;
};
extern const KeyCharEntry kKeyToCharTable[6];

// The IME's state as the window procedure keeps it.
constexpr int kImeCompositionSize = 1024;
struct ImeState {
    int inUse;              // set by every IME message
    DWORD lastMessageTime;
    int composing;
    char composition[kImeCompositionSize];
    int cursorPosition;
    void* candidates;       // tracked memory, or null
    DWORD candidateSize;
    int settingOpenStatus;  // a set-open-status pass is running
    int openStatus;
};
extern ImeState g_ImeState;
