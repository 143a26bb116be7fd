// Start-up and shut-down of the framework, the fatal-error exit, the system
// report, COM start and end, and the clocks of the system layer.
#pragma once

#include "platform/window.h"

int InitFramework();
int EndFramework();
[[noreturn]] void FatalError(const char* text);
[[noreturn]] void FatalErrorFormat(const char* format, ...) __attribute__((format(printf, 1, 2)));
int InitCom();
int LogSystemInfo();
long long GetMicroseconds(int useTimeStampCounter);
void ReadLocalTime(int* year, int* month, int* day, int* hour, int* minute, int* second);

// The start and end of the other subsystems as start-up and shut-down reach
// them. Each entry starts as the subsystem's own operation; tests put
// recorders or failures in their place.
struct FrameworkSubsystems {
    int (*initCom)();
    int (*initWindowSystem)();
    int (*initInput)();
    int (*initSound)();
    int (*initGraphicsDevice)(HWND window);
    int (*initCharCodeBuffer)();
    int (*termGraphicsDevice)();
    int (*terminateInput)();
    int (*terminateSound)();
    int (*terminateWindowSystem)();
    int (*endNetwork)();
    int (*stopMusic)();
};
extern FrameworkSubsystems g_FrameworkSubsystems;
// The subsystems' own operations, as at program start.
FrameworkSubsystems DefaultFrameworkSubsystems();
