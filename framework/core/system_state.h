// The framework's system-wide state block. InitWindowSystem clears it at
// initialisation but keeps the settings made before initialisation.
#pragma once

#include <cstdint>

#include "platform/kernel.h"
#include "platform/types.h"

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
    char* droppedFiles[1000];  // names of files dropped on the window, in tracked memory
    int droppedFileCount;

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

    // ---- desktop ----
    int desktopWidth, desktopHeight, desktopColorBits;

    // ---- settings made before initialisation ----
    int allowDoubleStart;
    double windowScale;  // 0 reads as 1.0
    int notUseInput, notUseSound, notUseGraphics, noWindow, hiddenWindow;
    int windowStyleIndex;
    int iconId;

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

SystemState* GetSystemState();
