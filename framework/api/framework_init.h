// Start-up and shut-down of the framework, with COM start and end.
#pragma once

#include "platform/window.h"

int InitFramework();
int EndFramework();

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
