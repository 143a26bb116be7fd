// The framework's system-wide state block. InitWindowSystem clears it at
// initialisation but keeps the settings made before initialisation.
#pragma once

#include <cstdint>

#include "platform/kernel.h"
#include "platform/types.h"
#include "platform/window.h"

constexpr int kMaxDroppedFiles = 1000;

struct SystemState {
    // ---- window and process ----
    HWND mainWindow;
    HINSTANCE moduleInstance;
    DWORD mainThreadId;
    LONG clientLeft, clientTop, clientRight, clientBottom;  // client rectangle, screen coordinates
    int windowMode;          // 0 full screen (default), 1 window mode
    int quitFlag;            // 1 once the window is destroyed or a quit message arrived
    int closePosted;         // 1 once the framework posted a close request to its window
    int windowDestroyed;
    int applicationActive;   // 1 while the window is active
    int inactiveSinceValid;
    DWORD inactiveSince;     // milliseconds
    int painting;
    int paintingWindowPicture;
    int creatingWindow;
    int cursorShown;
    int cursorRequest;
    int codePageKind;        // 2 when the OEM code page is 949, else 1
    HANDLE messageThread;
    DWORD messageThreadId;
    int messageThreadEnded;
    int windowModeChanging;
    int lostWhileInactive;
    int wheelCounter;
    int keyInputRunning;     // re-entry guard of ProcessMessage's key-input pass
    int windowPicture;       // graphic shown while inactive in window mode; 0 none
    HRGN windowRegion;
    HMENU menu;              // nothing in this program makes a menu or tool-bar
    HACCEL accelerator;
    int menuVisible;
    int toolBarButtonCount;
    HHOOK messageHook;
    char* droppedFiles[kMaxDroppedFiles];  // tracked memory, one name each
    int droppedFileCount;
    int screenWidth, screenHeight;  // the screen size chosen for the screen device

    // ---- start-up and end ----
    int initialising;
    int initialised;
    int ending;
    int comStarted;
    char startDirectory[260];
    char windowTitle[256];
    char windowClassName[256];

    // ---- clocks and processor ----
    LONGLONG performanceFrequency;
    int usePerformanceCounter;
    int timeStampCounterAvailable;
    LONGLONG timeStampFrequency;  // ticks per second
    int mmxAvailable;
    int osCode;
    int directXVersion;
    UINT timerPeriodMin;

    // The colour that clears the draw target (black unless set).
    int backgroundRed, backgroundGreen, backgroundBlue;

    // ---- video card (asked for only while Shift is held at start-up) ----
    char videoDriver[512];
    char videoDescription[512];
    DWORD videoMemoryTotal, videoMemoryFree;

    // ---- desktop ----
    int desktopWidth, desktopHeight, desktopColorBits;

    // ---- settings made before initialisation ----
    int allowDoubleStart;
    double windowScale;  // 0 reads as 1.0
    int notUseInput, notUseSound, notUseGraphics, noWindow, hiddenWindow;
    int windowStyleIndex;
    int iconId;
    int noMessageThread;    // 1: no message thread is started (deterministic tests)
    void (*activationCallback)(int active, void* argument);
    void* activationCallbackArgument;

    // ---- log (the log keeps its state here) ----
    int logOff;             // 1: no log at all
    int logDateStamp;       // "Log<date>.txt" instead of "Log.txt"
    int logNoTimePrefix;
    char logFileName[256];
    std::uint32_t logIndent;
    int logMidLine;         // 1 when the last text did not end with a line feed
    DWORD logStartTime;
    int externalWindow;     // the window belongs to a host program
};

extern SystemState g_SystemState;

// The quit flag is read by the message thread outside the framework lock.
void SetQuitFlag();
int GetQuitFlag();

// Plain reads of one field each.
SystemState* GetSystemState();
HWND GetFrameworkWindow();
int IsWindowMode();
int GetDesktopMode(int* width, int* height, int* bits);
int IsWindowActive();
int GetMmxAvailable();
int IsClosePosted();
int HasWindowRegion();
// A stored 0 reads as 1.0; full-screen mode always reads 1.0.
double GetWindowScale();

// Settings made before initialisation.
int SetAllowDoubleStart(int flag);
// 0 keeps the message thread from starting, so a test drives every pass of
// message processing itself.
int SetUseMessageThread(int flag);
