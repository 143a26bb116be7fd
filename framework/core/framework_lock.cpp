#include "core/framework_lock.h"

#include <atomic>

FrameworkLock g_FrameworkLock{};

namespace {

constexpr DWORD kNoOwner = 0xFFFFFFFFu;

FrameworkLock& L() { return g_FrameworkLock; }

// The first call is made on the main thread before any other thread exists,
// so creating needs no guard of its own.
void CreateIfNeeded() {
    if (L().created) return;
    L().created = 1;
    for (auto& entry : L().queue) {
        entry.threadId = 0;
        entry.event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    }
    InitializeCriticalSection(&L().section);
}

// Under the critical section.
int FindEntry(DWORD thread) {
    for (int i = 0; i < L().queueLength; ++i)
        if (L().queue[i].threadId == thread) return i;
    return -1;
}

// Under the critical section: later entries move down one place with their
// events; the removed entry's event goes to the freed last place.
void RemoveEntry(int index) {
    HANDLE event = L().queue[index].event;
    for (int i = index; i < L().queueLength - 1; ++i) L().queue[i] = L().queue[i + 1];
    L().queue[L().queueLength - 1] = {0, event};
    --L().queueLength;
}

void Take(DWORD thread) {
    ++L().count;
    L().owned = 1;
    L().owner = thread;
}

enum class Step { Taken, Wait, Retry };

// One pass of the entering loop, under the critical section. A thread that
// is already queued waits again on its own entry and never queues twice, so
// a wake that was not a hand-over cannot leave a stray entry behind.
Step TryEnter(DWORD me, HANDLE* event) {
    if (L().owned && L().owner == me) {
        Take(me);
        return Step::Taken;
    }
    int mine = FindEntry(me);
    if (mine < 0) {
        if (!L().owned && L().queueLength == 0) {
            Take(me);
            return Step::Taken;
        }
        if (L().queueLength >= kFrameworkLockQueueSize) return Step::Retry;
        L().queue[L().queueLength].threadId = me;
        *event = L().queue[L().queueLength].event;
        ++L().queueLength;
        return Step::Wait;
    }
    if (!L().owned && mine == 0) {
        RemoveEntry(0);
        Take(me);
        return Step::Taken;
    }
    *event = L().queue[mine].event;
    return Step::Wait;
}

// Returns the event to signal (the head's, read under the critical section),
// or null.
HANDLE Release() {
    EnterCriticalSection(&L().section);
    HANDLE wake = nullptr;
    if (L().count <= 0) {  // an unpaired leave: nothing to give up
        LeaveCriticalSection(&L().section);
        return nullptr;
    }
    if (L().count == 1) {
        L().owned = 0;
        L().owner = kNoOwner;
        if (L().queueLength > 0) wake = L().queue[0].event;
    }
    --L().count;
    LeaveCriticalSection(&L().section);
    return wake;
}

bool Quitting(const int* quitFlag) {
    return std::atomic_ref<int>(*const_cast<int*>(quitFlag)).load(std::memory_order_acquire) == 1;
}

}  // namespace

void EnterFrameworkLock() {
    CreateIfNeeded();
    DWORD me = GetCurrentThreadId();
    for (;;) {
        HANDLE event = nullptr;
        EnterCriticalSection(&L().section);
        Step step = TryEnter(me, &event);
        LeaveCriticalSection(&L().section);
        if (step == Step::Taken) return;
        if (step == Step::Retry) {
            Sleep(1);
            continue;
        }
        WaitForSingleObject(event, INFINITE);
        // Reset before looking again: a hand-over that lands after this reset
        // is seen by the next pass, since the lock is freed before the signal.
        ResetEvent(event);
    }
}

void LeaveFrameworkLock() {
    HANDLE wake = Release();
    if (wake != nullptr) {
        SetEvent(wake);
        Sleep(0);  // give the woken thread the processor
    }
}

void LeaveFrameworkLockNoYield() {
    HANDLE wake = Release();
    if (wake != nullptr) SetEvent(wake);
}

bool EnterFrameworkLockUnlessQuitting(const int* quitFlag) {
    CreateIfNeeded();
    DWORD me = GetCurrentThreadId();
    while (!Quitting(quitFlag)) {
        HANDLE event = nullptr;
        EnterCriticalSection(&L().section);
        Step step = TryEnter(me, &event);
        LeaveCriticalSection(&L().section);
        if (step == Step::Taken) return true;
        if (step == Step::Retry) {
            Sleep(1);
            continue;
        }
        DWORD result = WaitForSingleObject(event, 0);
        while (result != WAIT_OBJECT_0 && !Quitting(quitFlag)) {
            result = WaitForSingleObject(event, 1000);
            if (result == WAIT_FAILED) break;
        }
        ResetEvent(event);
    }
    return false;
}

void LeaveFrameworkLockQueue() {
    if (!L().created) return;
    DWORD me = GetCurrentThreadId();
    HANDLE wake = nullptr;
    EnterCriticalSection(&L().section);
    int mine = FindEntry(me);
    if (mine >= 0) {
        RemoveEntry(mine);
        if (mine == 0 && L().queueLength > 0) wake = L().queue[0].event;
    }
    LeaveCriticalSection(&L().section);
    if (wake != nullptr) SetEvent(wake);
}

void TeardownFrameworkLock() {
    if (!L().created) return;
    L().created = 0;
    for (auto& entry : L().queue) {
        if (entry.event != nullptr) CloseHandle(entry.event);
        entry.event = nullptr;
        entry.threadId = 0;
    }
    L().queueLength = 0;
    DeleteCriticalSection(&L().section);
}
