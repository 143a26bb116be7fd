// Events, threads and critical sections of the platform layer.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

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

TEST(Handles, ClosedOrForgedHandlesAreRefused) {
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ASSERT_TRUE(CloseHandle(event));
    EXPECT_FALSE(CloseHandle(event));
    EXPECT_FALSE(SetEvent(event));
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_FAILED);
    EXPECT_EQ(WaitForSingleObject(reinterpret_cast<HANDLE>(0x12345), 0), WAIT_FAILED);
    EXPECT_FALSE(SetEvent(nullptr));
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
    DeleteCriticalSection(&section);
}

}  // namespace
