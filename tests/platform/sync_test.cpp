// Events, threads and critical sections of the platform layer.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "platform/backend.h"
#include "platform/kernel.h"

namespace {

TEST(Events, WaitTimesOutWhenNobodySets) {
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(event, nullptr);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
    EXPECT_EQ(WaitForSingleObject(event, 20), WAIT_TIMEOUT);
    EXPECT_TRUE(CloseHandle(event));
}

TEST(Events, AnotherThreadWakesAnInfiniteWait) {
    HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    std::thread setter([event] {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        SetEvent(event);
    });
    EXPECT_EQ(WaitForSingleObject(event, INFINITE), WAIT_OBJECT_0);
    setter.join();
    // Auto-reset: the successful wait consumed the signal.
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
    CloseHandle(event);
}

TEST(Events, ManualResetStaysSignalledForEveryWaiterUntilReset) {
    HANDLE event = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    ResetEvent(event);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);

    std::atomic<int> woken{0};
    std::thread a([&] { if (WaitForSingleObject(event, 5000) == WAIT_OBJECT_0) ++woken; });
    std::thread b([&] { if (WaitForSingleObject(event, 5000) == WAIT_OBJECT_0) ++woken; });
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    SetEvent(event);
    a.join();
    b.join();
    EXPECT_EQ(woken.load(), 2);
    CloseHandle(event);
}

DWORD ReturnAtOnce(LPVOID) { return 3; }

// Every handle is counted open from its creation to its close, each a
// different value; a closed, forged or wrong-kind handle is refused with the
// invalid-handle error (6).
TEST(Handles, ClosedOrForgedHandlesAreRefused) {
    const int before = PlatformOpenKernelHandleCount();
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE other = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    HANDLE thread = CreateThread(nullptr, 0, ReturnAtOnce, nullptr, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    EXPECT_NE(event, other);
    EXPECT_NE(other, thread);
    EXPECT_EQ(PlatformOpenKernelHandleCount(), before + 3);
    EXPECT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(PlatformOpenKernelHandleCount(), before + 3) << "an ended thread stays open until closed";
    DWORD code = 0;
    EXPECT_FALSE(GetExitCodeThread(event, &code)) << "not a thread";
    EXPECT_FALSE(GetExitCodeThread(thread, nullptr));
    EXPECT_FALSE(SetEvent(thread)) << "not an event";
    EXPECT_FALSE(ResetEvent(thread));
    EXPECT_EQ(CreateThread(nullptr, 0, nullptr, nullptr, 0, nullptr), nullptr);
    ASSERT_TRUE(CloseHandle(event));
    ASSERT_TRUE(CloseHandle(thread));
    EXPECT_EQ(PlatformOpenKernelHandleCount(), before + 1);
    SetLastError(0);
    EXPECT_FALSE(CloseHandle(event));
    EXPECT_EQ(GetLastError(), 6u);
    EXPECT_FALSE(SetEvent(event));
    EXPECT_FALSE(ResetEvent(event));
    SetLastError(0);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), 6u);
    EXPECT_EQ(WaitForSingleObject(reinterpret_cast<HANDLE>(0x12345), 0), WAIT_FAILED);
    EXPECT_FALSE(GetExitCodeThread(thread, &code));
    EXPECT_FALSE(SetEvent(nullptr));
    EXPECT_EQ(PlatformOpenKernelHandleCount(), before + 1);
    EXPECT_TRUE(CloseHandle(other));
    EXPECT_EQ(PlatformOpenKernelHandleCount(), before);
    // The wait values as the system numbers them.
    EXPECT_EQ(WAIT_OBJECT_0, 0u);
    EXPECT_EQ(WAIT_TIMEOUT, 0x102u);
    EXPECT_EQ(WAIT_FAILED, 0xFFFFFFFFu);
    EXPECT_EQ(STILL_ACTIVE, 0x103u);
}

DWORD SlowThread(LPVOID parameter) {
    auto* flag = static_cast<std::atomic<bool>*>(parameter);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    flag->store(true);
    return 7;
}

TEST(Threads, WaitObservesTheEndAndTheExitCode) {
    std::atomic<bool> done{false};
    DWORD id = 0;
    HANDLE thread = CreateThread(nullptr, 0, SlowThread, &done, 0, &id);
    ASSERT_NE(thread, nullptr);
    EXPECT_NE(id, 0u);
    EXPECT_NE(id, GetCurrentThreadId());
    DWORD code = 0;
    ASSERT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, STILL_ACTIVE);
    EXPECT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
    EXPECT_TRUE(done.load());
    ASSERT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, 7u);
    CloseHandle(thread);
}

DWORD ReportId(LPVOID parameter) {
    *static_cast<DWORD*>(parameter) = GetCurrentThreadId();
    return 0;
}

TEST(Threads, IdsAreUniqueNonZeroAndKnownToTheCreator) {
    DWORD seen = 0, given = 0;
    HANDLE thread = CreateThread(nullptr, 0, ReportId, &seen, 0, &given);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    EXPECT_EQ(seen, given);
    EXPECT_NE(seen, 0u);
    EXPECT_NE(seen, 0xFFFFFFFFu);
    EXPECT_EQ(GetCurrentThreadId(), GetCurrentThreadId());
}

// An auto-reset event made signalled lets one wait through; a thread's
// handle reads as not yet signalled while it runs, and the handle of a
// running thread may be closed without stopping it.
TEST(Threads, HandlesSignalOnlyAtTheEnd) {
    HANDLE once = CreateEventA(nullptr, FALSE, TRUE, nullptr);
    EXPECT_EQ(WaitForSingleObject(once, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(once, 0), WAIT_TIMEOUT);
    EXPECT_TRUE(SetEvent(once));
    EXPECT_TRUE(ResetEvent(once));
    EXPECT_EQ(WaitForSingleObject(once, 0), WAIT_TIMEOUT) << "reset before anyone waited";
    CloseHandle(once);

    HANDLE go = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    auto waitForGo = [](LPVOID event) -> DWORD { return WaitForSingleObject(static_cast<HANDLE>(event), 5000) == WAIT_OBJECT_0 ? 9 : 1; };
    HANDLE first = CreateThread(nullptr, 0, waitForGo, go, 0, nullptr);
    HANDLE second = CreateThread(nullptr, 0, waitForGo, go, 0, nullptr);
    EXPECT_EQ(WaitForSingleObject(first, 0), WAIT_TIMEOUT);
    EXPECT_EQ(WaitForSingleObject(first, 5), WAIT_TIMEOUT);
    EXPECT_TRUE(CloseHandle(second));  // it runs on without its handle
    SetEvent(go);
    EXPECT_EQ(WaitForSingleObject(first, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(first, 0), WAIT_OBJECT_0) << "an ended thread stays signalled";
    DWORD code = 0;
    ASSERT_TRUE(GetExitCodeThread(first, &code));
    EXPECT_EQ(code, 9u);
    CloseHandle(first);
    CloseHandle(go);  // the second thread ends by itself
}

DWORD WaitForEvent(LPVOID event) { return WaitForSingleObject(static_cast<HANDLE>(event), INFINITE); }

// A zero time-out tests the state and returns at once, on either backend,
// for every kind of object a wait takes: it never goes to sleep on the
// object (the stand-in counts the waits that did), and an auto-reset event
// it finds signalled is consumed as by any other successful wait.
TEST(Waits, AZeroTimeOutTestsTheStateWithoutSleeping) {
    HANDLE go = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE running = CreateThread(nullptr, 0, WaitForEvent, go, 0, nullptr);
    HANDLE ended = CreateThread(nullptr, 0, ReturnAtOnce, nullptr, 0, nullptr);
    ASSERT_EQ(WaitForSingleObject(ended, INFINITE), WAIT_OBJECT_0);
    for (PlatformBackend backend : {PlatformBackend::Headless, PlatformBackend::Sdl}) {
        PlatformSelectBackend(backend);
        const struct {
            const char* name;
            HANDLE object;  // null: an event made as `manual`, `initial`
            bool manual, initial;
            DWORD first, second;  // two zero-time waits in a row
        } cases[] = {
            {"manual-reset, not set", nullptr, true, false, WAIT_TIMEOUT, WAIT_TIMEOUT},
            {"manual-reset, set", nullptr, true, true, WAIT_OBJECT_0, WAIT_OBJECT_0},
            {"auto-reset, not set", nullptr, false, false, WAIT_TIMEOUT, WAIT_TIMEOUT},
            {"auto-reset, set", nullptr, false, true, WAIT_OBJECT_0, WAIT_TIMEOUT},
            {"running thread", running, false, false, WAIT_TIMEOUT, WAIT_TIMEOUT},
            {"ended thread", ended, false, false, WAIT_OBJECT_0, WAIT_OBJECT_0},
        };
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(c.name) + (backend == PlatformBackend::Sdl ? ", sdl" : ", headless"));
            HANDLE object = c.object != nullptr ? c.object : CreateEventA(nullptr, c.manual, c.initial, nullptr);
            const std::uint64_t slept = PlatformBlockingWaitCount();
            EXPECT_EQ(WaitForSingleObject(object, 0), c.first);
            EXPECT_EQ(WaitForSingleObject(object, 0), c.second);
            EXPECT_EQ(PlatformBlockingWaitCount(), slept);
            if (c.object == nullptr) CloseHandle(object);
        }
    }
    PlatformSelectBackend(PlatformBackend::Headless);
    // Any longer time-out on an object not signalled does sleep on it.
    const std::uint64_t slept = PlatformBlockingWaitCount();
    EXPECT_EQ(WaitForSingleObject(go, 1), WAIT_TIMEOUT);
    EXPECT_EQ(PlatformBlockingWaitCount(), slept + 1);
    SetEvent(go);
    EXPECT_EQ(WaitForSingleObject(running, INFINITE), WAIT_OBJECT_0);
    CloseHandle(running);
    CloseHandle(ended);
    CloseHandle(go);
}

// Ending the process ends it at once with the code given.
TEST(ProcessDeathTest, ExitProcessEndsWithItsCode) {
    EXPECT_EXIT(ExitProcess(7), ::testing::ExitedWithCode(7), "");
}

TEST(CriticalSections, AreRecursiveAndExclusive) {
    CRITICAL_SECTION section;
    InitializeCriticalSection(&section);
    EnterCriticalSection(&section);
    EnterCriticalSection(&section);  // recursion must not deadlock
    std::atomic<bool> entered{false};
    std::thread other([&] {
        EnterCriticalSection(&section);
        entered = true;
        LeaveCriticalSection(&section);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(entered.load());
    LeaveCriticalSection(&section);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_FALSE(entered.load());
    LeaveCriticalSection(&section);
    other.join();
    EXPECT_TRUE(entered.load());

    // Contended, with waiters put to sleep and woken: no increment is lost.
    long counter = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 20000; ++i) {
                EnterCriticalSection(&section);
                EnterCriticalSection(&section);
                counter = counter + 1;
                LeaveCriticalSection(&section);
                LeaveCriticalSection(&section);
            }
        });
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(counter, 80000);
    DeleteCriticalSection(&section);
}

}  // namespace
