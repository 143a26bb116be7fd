// Message processing, the message thread that keeps it going while the game
// is busy, and the wait while the application is inactive.
#include <atomic>

#include "core/framework_lock.h"
#include "core/system_state.h"
#include "window/window.h"

namespace {

constexpr int kMessagesPerPass = 5;

// Removes the next message for this thread: a screen-save command as it
// stands, otherwise the thread's own messages first, then the main window's.
bool RemoveNextMessage(MSG* msg) {
    const SystemState& s = g_SystemState;
    MSG peeked{};
    if (!PeekMessageA(&peeked, nullptr, 0, 0, PM_NOREMOVE)) return false;
    if (peeked.message == WM_SYSCOMMAND && peeked.wParam == SC_SCREENSAVE)
        return PeekMessageA(msg, peeked.hwnd, WM_SYSCOMMAND, WM_SYSCOMMAND, PM_REMOVE) != 0;
    if (PeekMessageA(msg, HWND_THREAD_MESSAGES, 0, 0, PM_REMOVE)) return true;
    return PeekMessageA(msg, s.mainWindow, 0, 0, PM_REMOVE) != 0;
}

// One pass: up to five messages. Returns how many were handled, or -1 when
// the quit flag was already set as one arrived.
int MessagePass() {
    SystemState& s = g_SystemState;
    int handled = 0;
    for (int n = 0; n < kMessagesPerPass; ++n) {
        MSG msg{};
        if (!RemoveNextMessage(&msg)) break;
        ++handled;
        if (msg.message == WM_ACTIVATEAPP && s.windowMode) s.applicationActive = LOWORD(msg.wParam) != 0 ? 1 : 0;
        if (GetQuitFlag()) return -1;
        if (msg.message == WM_QUIT) SetQuitFlag();
        if (TranslateAcceleratorA(s.mainWindow, s.accelerator, &msg) == 0) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    return handled;
}

void PumpWindowMessages() {
    SystemState& s = g_SystemState;
    bool mainThread = GetCurrentThreadId() == s.mainThreadId;
    bool noted = false;
    for (;;) {
        if (!s.applicationActive) {
            if (!noted) {
                s.inactiveSince = timeGetTime();
                s.inactiveSinceValid = 1;
                noted = true;
            }
            Sleep(1);
        }
        int handled = MessagePass();
        if (handled < 0) break;
        if (!s.applicationActive) {
            // Keep sound and the network going while the game is held.
            g_WindowHooks.ProcessNetwork();
            g_WindowHooks.StepAllHttpRequests();
            g_WindowHooks.ProcessStreamSounds();
            Sleep(1);
        }
        if (GetQuitFlag() || !mainThread) break;
        if (s.applicationActive && handled == 0) break;
    }
    if (mainThread) UpdateFullScreenMenu();
}

}  // namespace

int ProcessMessage() {
    SystemState& s = g_SystemState;
    if (s.keyInputRunning) return 0;
    if (s.mainWindow != nullptr) PumpWindowMessages();

    g_WindowHooks.ProcessStreamSounds();
    g_WindowHooks.UpdateMidiPlayState();
    g_WindowHooks.UpdatePadVibration();
    g_WindowHooks.ProcessNetwork();
    g_WindowHooks.StepAllHttpRequests();

    s.keyInputRunning = 1;
    g_WindowHooks.ProcessKeyInput();
    s.keyInputRunning = 0;
    return GetQuitFlag() == 1 ? -1 : 0;
}

DWORD ProcessMessageThread(LPVOID) {
    SystemState& s = g_SystemState;
    while (GetQuitFlag() != 1) {
        if (!EnterFrameworkLockUnlessQuitting(&s.quitFlag)) break;
        int result = ProcessMessage();
        LeaveFrameworkLockNoYield();
        if (result < 0) break;
        Sleep(17);
    }
    LeaveFrameworkLockQueue();
    std::atomic_ref<int>(s.messageThreadEnded).store(1, std::memory_order_release);
    return 0;
}

void WaitUntilActive() {
    SystemState& s = g_SystemState;
    if (s.painting || s.applicationActive || s.externalWindow) return;
    if (s.paintingWindowPicture && (s.windowMode || g_WindowHooks.GetGdiSurfaceMode())) return;
    // Only the main thread receives the activation; waiting for it on any
    // other thread, which holds the framework lock the main thread needs,
    // would never end.
    if (GetCurrentThreadId() != s.mainThreadId) return;
    s.inactiveSince = timeGetTime();
    s.inactiveSinceValid = 1;
    while (ProcessMessage() == 0 && !s.applicationActive) {
    }
    g_WindowHooks.RestoreAllGraphs();
}
