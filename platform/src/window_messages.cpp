// Per-thread message queues: posting, peeking, dispatching and the default
// window procedure.
#include <algorithm>

#include "platform/backend.h"
#include "platform/kernel.h"
#include "platform/display.h"
#include "window_state.h"

namespace {

bool MatchesWindow(const MSG& message, HWND filter) {
    if (filter == nullptr) return true;
    if (filter == HWND_THREAD_MESSAGES) return message.hwnd == nullptr;
    return message.hwnd == filter;
}

bool MatchesRange(UINT message, UINT low, UINT high) {
    if (low == 0 && high == 0) return true;
    // WM_QUIT is returned whatever the range, as the real call does.
    return message == WM_QUIT || (message >= low && message <= high);
}

// Scripted events of the calling thread's windows become messages now.
void DeliverScriptedEvents(DWORD thread) {
    auto& s = Windows();
    std::lock_guard lock(s.mutex);
    for (auto& [key, window] : s.windows) {
        if (window.ownerThread != thread) continue;
        while (!window.scripted.empty()) {
            PlatformWindowEvent event = std::move(window.scripted.front());
            window.scripted.pop_front();
            EventToMessagesLocked(window, event);
        }
    }
}

MSG MakeMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    MSG m{};
    m.hwnd = window;
    m.message = message;
    m.wParam = wParam;
    m.lParam = lParam;
    m.time = timeGetTime();
    return m;
}

}  // namespace

void PostLocked(const PlatformWindow& window, UINT message, WPARAM wParam, LPARAM lParam) {
    Windows().queues[window.ownerThread].push_back(MakeMessage(window.handle, message, wParam, lParam));
}

BOOL PeekMessageA(MSG* message, HWND window, UINT filterMin, UINT filterMax, UINT remove) {
    DWORD thread = GetCurrentThreadId();
    if (SdlBackend() && PlatformIsMainThread()) SdlPumpEvents();
    if (PlatformIsMainThread()) PlatformPumpPresent();
    DeliverScriptedEvents(thread);
    auto& s = Windows();
    std::lock_guard lock(s.mutex);
    auto q = s.queues.find(thread);
    if (q == s.queues.end()) return FALSE;
    auto& queue = q->second;
    for (auto it = queue.begin(); it != queue.end(); ++it) {
        if (!MatchesWindow(*it, window) || !MatchesRange(it->message, filterMin, filterMax)) continue;
        if (message != nullptr) *message = *it;
        if (remove & PM_REMOVE) queue.erase(it);
        return TRUE;
    }
    return FALSE;
}

BOOL TranslateMessage(const MSG* message) {
    if (message == nullptr || message->message != WM_KEYDOWN) return FALSE;
    switch (message->wParam) {
        case VK_BACK:
        case VK_TAB:
        case VK_RETURN:
        case VK_ESCAPE: break;
        default: return FALSE;
    }
    auto& s = Windows();
    std::lock_guard lock(s.mutex);
    PlatformWindow* w = FindWindowLocked(message->hwnd);
    if (w == nullptr) return FALSE;
    PostLocked(*w, WM_CHAR, message->wParam, message->lParam);
    return TRUE;
}

LRESULT DispatchMessageA(const MSG* message) {
    if (message == nullptr || message->hwnd == nullptr) return 0;
    WNDPROC proc = nullptr;
    {
        auto& s = Windows();
        std::lock_guard lock(s.mutex);
        PlatformWindow* w = FindWindowLocked(message->hwnd);
        if (w == nullptr) return 0;  // the window went while the message waited
        proc = w->proc;
    }
    return proc != nullptr ? proc(message->hwnd, message->message, message->wParam, message->lParam) : 0;
}

BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto& s = Windows();
    std::lock_guard lock(s.mutex);
    if (window == nullptr) {
        s.queues[GetCurrentThreadId()].push_back(MakeMessage(nullptr, message, wParam, lParam));
        return TRUE;
    }
    PlatformWindow* w = FindWindowLocked(window);
    if (w == nullptr) return FALSE;
    PostLocked(*w, message, wParam, lParam);
    return TRUE;
}

BOOL PostThreadMessageA(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam) {
    if (threadId == 0) return FALSE;
    auto& s = Windows();
    std::lock_guard lock(s.mutex);
    s.queues[threadId].push_back(MakeMessage(nullptr, message, wParam, lParam));
    return TRUE;
}

void PostQuitMessage(int exitCode) {
    PostThreadMessageA(GetCurrentThreadId(), WM_QUIT, static_cast<WPARAM>(exitCode), 0);
}

LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    WNDPROC proc = nullptr;
    {
        auto& s = Windows();
        std::lock_guard lock(s.mutex);
        PlatformWindow* w = FindWindowLocked(window);
        if (w == nullptr) return 0;
        if (w->ownerThread != GetCurrentThreadId()) {
            // Only the owner runs its window procedure; another thread's send
            // waits in the owner's queue instead of blocking.
            PostLocked(*w, message, wParam, lParam);
            return 0;
        }
        proc = w->proc;
    }
    return proc != nullptr ? proc(window, message, wParam, lParam) : 0;
}

LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_CLOSE: DestroyWindow(window); return 0;
        case WM_DROPFILES: DragFinish(reinterpret_cast<HDROP>(wParam)); return 0;
        default: return 0;
    }
}

int TranslateAcceleratorA(HWND, HACCEL, MSG*) { return 0; }

std::size_t PlatformPendingMessages(DWORD threadId) {
    auto& s = Windows();
    std::lock_guard lock(s.mutex);
    auto q = s.queues.find(threadId);
    return q == s.queues.end() ? 0 : q->second.size();
}
