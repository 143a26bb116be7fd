// Events and threads live in one table of kernel objects; a HANDLE is a key
// into it, so a closed or forged handle is refused rather than followed.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <memory>
#include <thread>
#include <unordered_map>

#include "kernel/kernel_objects.h"
#include "platform/kernel.h"

namespace {

std::mutex g_tableMutex;
std::unordered_map<std::uintptr_t, std::shared_ptr<KernelObject>> g_objects;
std::uintptr_t g_nextKey = 0x100;

std::atomic<DWORD> g_nextThreadId{1};
thread_local DWORD t_lastError = 0;
thread_local std::uint64_t t_blockingWaits = 0;  // this thread's waits that slept

// Waits on `cv` until `ready` holds or `ms` pass; false on the time-out.
// The state is tested first, and a zero time-out only tests it: a
// condition-variable wait with a deadline already passed still sleeps until
// the system's timer fires (its slack), some tens of microseconds and a
// context switch, for a caller that asked not to wait at all.
template <typename Ready>
bool WaitUntil(std::condition_variable& cv, std::unique_lock<std::mutex>& lock, DWORD ms, Ready ready) {
    if (ready()) return true;
    if (ms == 0) return false;
    ++t_blockingWaits;
    if (ms == INFINITE) {
        cv.wait(lock, ready);
        return true;
    }
    return cv.wait_for(lock, std::chrono::milliseconds(ms), ready);
}

struct EventObject : KernelObject {
    explicit EventObject(bool manual, bool initial) : manualReset(manual), signalled(initial) {}
    std::mutex mutex;
    std::condition_variable cv;
    bool manualReset;
    bool signalled;

    DWORD Wait(DWORD ms) override {
        std::unique_lock lock(mutex);
        if (!WaitUntil(cv, lock, ms, [&] { return signalled; })) return WAIT_TIMEOUT;
        if (!manualReset) signalled = false;
        return WAIT_OBJECT_0;
    }
};

struct ThreadObject : KernelObject {
    std::mutex mutex;
    std::condition_variable cv;
    bool finished = false;
    DWORD exitCode = STILL_ACTIVE;
    std::thread thread;

    ~ThreadObject() override {
        if (thread.joinable()) {
            if (thread.get_id() == std::this_thread::get_id())
                thread.detach();
            else if (finished)
                thread.join();
            else
                thread.detach();
        }
    }

    DWORD Wait(DWORD ms) override {
        std::unique_lock lock(mutex);
        return WaitUntil(cv, lock, ms, [&] { return finished; }) ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
    }
};

std::shared_ptr<KernelObject> Find(HANDLE handle) {
    std::lock_guard lock(g_tableMutex);
    auto it = g_objects.find(reinterpret_cast<std::uintptr_t>(handle));
    return it == g_objects.end() ? nullptr : it->second;
}

}  // namespace

HANDLE AddKernelObject(std::shared_ptr<KernelObject> object) {
    std::lock_guard lock(g_tableMutex);
    std::uintptr_t key = g_nextKey;
    g_nextKey += 4;
    g_objects.emplace(key, std::move(object));
    return reinterpret_cast<HANDLE>(key);
}

std::shared_ptr<KernelObject> FindKernelObject(HANDLE handle) { return Find(handle); }

std::uint64_t PlatformBlockingWaitCount() { return t_blockingWaits; }

int PlatformOpenKernelHandleCount() {
    std::lock_guard lock(g_tableMutex);
    return static_cast<int>(g_objects.size());
}

DWORD GetLastError() { return t_lastError; }
void SetLastError(DWORD error) { t_lastError = error; }

BOOL CloseHandle(HANDLE handle) {
    std::shared_ptr<KernelObject> object;
    {
        std::lock_guard lock(g_tableMutex);
        auto it = g_objects.find(reinterpret_cast<std::uintptr_t>(handle));
        if (it == g_objects.end()) {
            t_lastError = ERROR_INVALID_HANDLE;
            return FALSE;
        }
        object = std::move(it->second);
        g_objects.erase(it);
    }
    object->Close();
    return TRUE;  // the object goes when its last waiter lets go of it
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
    auto object = Find(handle);
    if (!object) {
        t_lastError = ERROR_INVALID_HANDLE;
        return WAIT_FAILED;
    }
    return object->Wait(milliseconds);
}

HANDLE CreateEventA(void*, BOOL manualReset, BOOL initialState, LPCSTR) {
    return AddKernelObject(std::make_shared<EventObject>(manualReset != 0, initialState != 0));
}

static EventObject* AsEvent(const std::shared_ptr<KernelObject>& object) {
    return dynamic_cast<EventObject*>(object.get());
}

BOOL SetEvent(HANDLE handle) {
    auto object = Find(handle);
    EventObject* event = AsEvent(object);
    if (event == nullptr) return FALSE;
    {
        std::lock_guard lock(event->mutex);
        event->signalled = true;
    }
    if (event->manualReset)
        event->cv.notify_all();
    else
        event->cv.notify_one();
    return TRUE;
}

BOOL ResetEvent(HANDLE handle) {
    auto object = Find(handle);
    EventObject* event = AsEvent(object);
    if (event == nullptr) return FALSE;
    std::lock_guard lock(event->mutex);
    event->signalled = false;
    return TRUE;
}

constinit thread_local DWORD t_PlatformThreadId = 0;

DWORD AssignCurrentThreadId() {
    if (t_PlatformThreadId == 0) t_PlatformThreadId = g_nextThreadId++;
    return t_PlatformThreadId;
}

HANDLE CreateThread(void*, std::size_t, LPTHREAD_START_ROUTINE start, LPVOID parameter, DWORD, DWORD* threadId) {
    if (start == nullptr) return nullptr;
    auto object = std::make_shared<ThreadObject>();
    // The id is fixed before the thread runs so the creator can know it at once.
    DWORD id = g_nextThreadId++;
    ThreadObject* raw = object.get();
    HANDLE handle = AddKernelObject(object);
    {
        // Hold the thread's own mutex so the thread cannot finish before the
        // std::thread member is assigned.
        std::lock_guard lock(raw->mutex);
        raw->thread = std::thread([object, id, start, parameter] {
            t_PlatformThreadId = id;
            DWORD code = start(parameter);
            std::lock_guard lock(object->mutex);
            object->exitCode = code;
            object->finished = true;
            object->cv.notify_all();
        });
    }
    if (threadId != nullptr) *threadId = id;
    return handle;
}

BOOL GetExitCodeThread(HANDLE handle, DWORD* exitCode) {
    auto object = Find(handle);
    auto* thread = dynamic_cast<ThreadObject*>(object.get());
    if (thread == nullptr || exitCode == nullptr) return FALSE;
    std::lock_guard lock(thread->mutex);
    *exitCode = thread->exitCode;
    return TRUE;
}

void ExitProcess(UINT exitCode) { std::_Exit(static_cast<int>(exitCode)); }

void InitializeCriticalSection(CRITICAL_SECTION*) {}
void DeleteCriticalSection(CRITICAL_SECTION*) {}
// Marks the section as waited for and sleeps until it is free; the thread
// that leaves a waited-for section wakes one sleeper.
void WaitForCriticalSection(CRITICAL_SECTION* section) {
    while (section->state.exchange(2, std::memory_order_acquire) != 0) section->state.wait(2, std::memory_order_relaxed);
}

void WakeCriticalSectionWaiter(CRITICAL_SECTION* section) { section->state.notify_one(); }
