#include "core/system_state.h"

#include <atomic>

SystemState g_SystemState{};

void SetQuitFlag() { std::atomic_ref<int>(g_SystemState.quitFlag).store(1, std::memory_order_release); }
int GetQuitFlag() { return std::atomic_ref<int>(g_SystemState.quitFlag).load(std::memory_order_acquire); }

SystemState* GetSystemState() { return &g_SystemState; }
HWND GetFrameworkWindow() { return g_SystemState.mainWindow; }
int IsWindowMode() { return g_SystemState.windowMode; }

int GetDesktopMode(int* width, int* height, int* bits) {
    if (width != nullptr) *width = g_SystemState.desktopWidth;
    if (height != nullptr) *height = g_SystemState.desktopHeight;
    if (bits != nullptr) *bits = g_SystemState.desktopColorBits;
    return 0;
}

int IsWindowActive() { return g_SystemState.applicationActive; }
int GetMmxAvailable() { return g_SystemState.mmxAvailable; }
int IsClosePosted() { return g_SystemState.closePosted; }
int HasWindowRegion() { return g_SystemState.windowRegion != nullptr ? 1 : 0; }

double GetWindowScale() {
    if (g_SystemState.windowScale == 0.0) g_SystemState.windowScale = 1.0;
    return g_SystemState.windowMode ? g_SystemState.windowScale : 1.0;
}

int SetAllowDoubleStart(int flag) {
    g_SystemState.allowDoubleStart = flag;
    return 0;
}

int SetUseMessageThread(int flag) {
    g_SystemState.noMessageThread = flag ? 0 : 1;
    return 0;
}
