// The framework's main window: start and end of the window system, message
// processing and the message thread, the wait while the application is
// inactive, the window procedure, window and full-screen mode, the cursor and
// the IME messages.
#pragma once

#include "platform/window.h"

int InitWindowSystem();
int TerminateWindowSystem();
// 0 while running, -1 once the quit flag is 1.
int ProcessMessage();
DWORD ProcessMessageThread(LPVOID parameter);
void WaitWhileInactive();
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
