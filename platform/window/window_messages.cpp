// Per-thread message queues: posting, peeking, dispatching and the default
// window procedure.
#include <algorithm>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

#include "platform/backend.h"
#include "platform/display.h"
#include "platform/kernel.h"
#include "window/window_state.h"

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

struct Timer {
    HWND window;
    UINT_PTR id;
    UINT period;
    TIMERPROC proc;
    DWORD ownerThread;
    DWORD due;
    bool queued;
};

std::mutex g_timerMutex;
std::vector<Timer> g_timers;

MSG MakeMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// A due timer of this thread, as a WM_TIMER message.
bool TakeDueTimer(DWORD thread, MSG* out) {
    std::lock_guard lock(g_timerMutex);
    DWORD now = timeGetTime();
    for (Timer& t : g_timers) {
        if (t.ownerThread != thread || static_cast<std::int32_t>(now - t.due) < 0) continue;
        t.due = now + t.period;
        *out = MakeMessage(t.window, WM_TIMER, t.id, reinterpret_cast<LPARAM>(t.proc));
        return true;
    }
    return false;
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

namespace {
std::atomic<void (*)()> g_pumpHook{nullptr};
}  // namespace

void PlatformSetMessagePumpHook(void (*hook)()) { g_pumpHook = hook; }

BOOL PeekMessageA(MSG* message, HWND window, UINT filterMin, UINT filterMax, UINT remove) {
    DWORD thread = GetCurrentThreadId();
    if (auto hook = g_pumpHook.load()) hook();
    if (SdlBackend() && PlatformIsMainThread()) SdlPumpEvents();
    if (PlatformIsMainThread()) PlatformPumpPresent();
    DeliverScriptedTyping();
    DeliverScriptedEvents(thread);
    auto& s = Windows();
    std::lock_guard lock(s.mutex);
    auto& queue = s.queues[thread];
    MSG timer{};
    if ((filterMin == 0 && filterMax == 0) || (WM_TIMER >= filterMin && WM_TIMER <= filterMax))
        if (TakeDueTimer(thread, &timer)) queue.push_back(timer);
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
    // The character is taken next, before any key message queued behind the
    // key that made it, as a real queue gives it ahead of later input.
    Windows().queues[w->ownerThread].push_front(MakeMessage(w->handle, WM_CHAR, message->wParam, message->lParam));
    return TRUE;
}

UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT milliseconds, TIMERPROC proc) {
    std::lock_guard lock(g_timerMutex);
    UINT period = milliseconds < 10 ? 10 : milliseconds;
    for (Timer& t : g_timers)
        if (t.window == window && t.id == id) {
            t.period = period;
            t.proc = proc;
            t.due = timeGetTime() + period;
            return id;
        }
    g_timers.push_back(Timer{window, id, period, proc, GetCurrentThreadId(), timeGetTime() + period, false});
    return id;
}

BOOL KillTimer(HWND window, UINT_PTR id) {
    std::lock_guard lock(g_timerMutex);
    auto before = g_timers.size();
    std::erase_if(g_timers, [&](const Timer& t) { return t.window == window && t.id == id; });
    return g_timers.size() != before;
}

short GetKeyState(int virtualKey) {
    if (static_cast<WPARAM>(virtualKey) == VK_SHIFT && PlatformDisplayKnobsRef().shiftHeld) return static_cast<short>(0x8000);
    return 0;
}

LRESULT DispatchMessageA(const MSG* message) {
    if (message == nullptr) return 0;
    if (message->message == WM_TIMER && message->lParam != 0) {
        reinterpret_cast<TIMERPROC>(message->lParam)(message->hwnd, WM_TIMER, message->wParam, timeGetTime());
        return 0;
    }
    if (message->hwnd == nullptr) return 0;
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

void PlatformRemoveQueuedMessages(HWND window, UINT message, WPARAM wParam) {
    auto& s = Windows();
    std::lock_guard lock(s.mutex);
    for (auto& [thread, queue] : s.queues)
        std::erase_if(queue, [&](const MSG& m) { return m.hwnd == window && m.message == message && m.wParam == wParam; });
}

std::size_t PlatformPendingMessages(DWORD threadId) {
    auto& s = Windows();
    std::lock_guard lock(s.mutex);
    auto q = s.queues.find(threadId);
    return q == s.queues.end() ? 0 : q->second.size();
}
