// The framework lock: recursion, strict first-come order, the message
// thread's polling form, and teardown.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "core/framework_lock.h"
#include "framework/framework_fixture.h"

namespace {

using Ms = std::chrono::milliseconds;

int QueueLength() {
    EnterCriticalSection(&g_FrameworkLock.section);
    int n = g_FrameworkLock.queueLength;
    LeaveCriticalSection(&g_FrameworkLock.section);
    return n;
}

bool WaitForQueueLength(int n) {
    for (int i = 0; i < 2000; ++i) {
        if (QueueLength() == n) return true;
        std::this_thread::sleep_for(Ms(1));
    }
    return false;
}

class FrameworkLockTest : public ::testing::Test {
protected:
    void SetUp() override { TeardownFrameworkLock(); }
    void TearDown() override { TeardownFrameworkLock(); }
};

TEST_F(FrameworkLockTest, TheFirstCallCreatesTheEventsAndRecursionCountsLevels) {
    EXPECT_EQ(g_FrameworkLock.created, 0);
    EnterFrameworkLock();
    EXPECT_EQ(g_FrameworkLock.created, 1);
    EXPECT_NE(g_FrameworkLock.queue[0].event, nullptr);
    EXPECT_NE(g_FrameworkLock.queue[kFrameworkLockQueueSize - 1].event, nullptr);
    EnterFrameworkLock();
    EXPECT_EQ(g_FrameworkLock.count, 2);
    EXPECT_EQ(g_FrameworkLock.owner, GetCurrentThreadId());
    LeaveFrameworkLock();
    EXPECT_EQ(g_FrameworkLock.owned, 1);
    LeaveFrameworkLock();
    EXPECT_EQ(g_FrameworkLock.owned, 0);
    EXPECT_EQ(g_FrameworkLock.count, 0);
    EXPECT_EQ(g_FrameworkLock.owner, 0xFFFFFFFFu);
    // An unpaired leave leaves the count alone.
    LeaveFrameworkLock();
    EXPECT_EQ(g_FrameworkLock.count, 0);
}

TEST_F(FrameworkLockTest, WaitersGetTheLockInTheOrderTheyArrived) {
    EnterFrameworkLock();
    std::mutex orderMutex;
    std::vector<int> order;
    std::vector<std::thread> threads;
    constexpr int kThreads = 6;
    for (int i = 0; i < kThreads; ++i) {
        threads.emplace_back([&, i] {
            EnterFrameworkLock();
            {
                std::lock_guard g(orderMutex);
                order.push_back(i);
            }
            std::this_thread::sleep_for(Ms(1));  // a newcomer must still wait its turn
            LeaveFrameworkLock();
        });
        ASSERT_TRUE(WaitForQueueLength(i + 1));
    }
    LeaveFrameworkLock();
    for (auto& t : threads) t.join();
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4, 5}));
    EXPECT_EQ(QueueLength(), 0);
}

// With the lock free but a thread queued, a newcomer queues behind it.
TEST_F(FrameworkLockTest, ANewcomerQueuesBehindAWaiterEvenWhenTheLockIsFree) {
    EnterFrameworkLock();
    std::atomic<int> firstIn{-1};
    std::thread queued([&] {
        EnterFrameworkLock();
        int expected = -1;
        firstIn.compare_exchange_strong(expected, 1);
        LeaveFrameworkLock();
    });
    ASSERT_TRUE(WaitForQueueLength(1));
    // Free the lock without handing it over, as a leave does just before
    // its wake-up reaches the waiter.
    EnterCriticalSection(&g_FrameworkLock.section);
    g_FrameworkLock.count = 0;
    g_FrameworkLock.owned = 0;
    g_FrameworkLock.owner = 0xFFFFFFFFu;
    LeaveCriticalSection(&g_FrameworkLock.section);
    std::thread newcomer([&] {
        EnterFrameworkLock();
        int expected = -1;
        firstIn.compare_exchange_strong(expected, 2);
        LeaveFrameworkLock();
    });
    ASSERT_TRUE(WaitForQueueLength(2));
    SetEvent(g_FrameworkLock.queue[0].event);
    queued.join();
    newcomer.join();
    EXPECT_EQ(firstIn.load(), 1);
}

// A wake that was not a hand-over (a stale signal) sends the waiter back to
// its own place; it never takes a second one.
TEST_F(FrameworkLockTest, AStrayWakeNeverQueuesAThreadTwice) {
    EnterFrameworkLock();
    std::vector<std::thread> threads;
    for (int i = 0; i < 3; ++i) {
        threads.emplace_back([] {
            EnterFrameworkLock();
            LeaveFrameworkLock();
        });
        ASSERT_TRUE(WaitForQueueLength(i + 1));
    }
    for (int round = 0; round < 20; ++round)
        for (int i = 0; i < 3; ++i) SetEvent(g_FrameworkLock.queue[i].event);
    std::this_thread::sleep_for(Ms(20));
    EXPECT_EQ(QueueLength(), 3);
    LeaveFrameworkLock();
    for (auto& t : threads) t.join();
    EXPECT_EQ(QueueLength(), 0);
    EXPECT_EQ(g_FrameworkLock.owned, 0);
}

TEST_F(FrameworkLockTest, APollingWaiterLeavesTheQueueOnQuitWithoutDisturbingTheOthers) {
    int quit = 0;
    EnterFrameworkLock();
    std::atomic<bool> pollerGotLock{false};
    std::atomic<bool> pollerDone{false};
    std::thread first([] {
        EnterFrameworkLock();
        LeaveFrameworkLock();
    });
    ASSERT_TRUE(WaitForQueueLength(1));
    std::thread poller([&] {
        if (EnterFrameworkLockUnlessQuitting(&quit)) {
            pollerGotLock = true;
            LeaveFrameworkLockNoYield();
        }
        LeaveFrameworkLockQueue();
        pollerDone = true;
    });
    ASSERT_TRUE(WaitForQueueLength(2));
    std::vector<DWORD> before;
    std::thread last([] {
        EnterFrameworkLock();
        LeaveFrameworkLock();
    });
    ASSERT_TRUE(WaitForQueueLength(3));
    DWORD firstId = g_FrameworkLock.queue[0].threadId;
    DWORD lastId = g_FrameworkLock.queue[2].threadId;

    auto start = std::chrono::steady_clock::now();
    std::atomic_ref<int>(quit).store(1);
    poller.join();
    auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_TRUE(pollerDone);
    EXPECT_FALSE(pollerGotLock);
    EXPECT_LT(std::chrono::duration_cast<Ms>(waited).count(), 1500);
    ASSERT_EQ(QueueLength(), 2);
    EXPECT_EQ(g_FrameworkLock.queue[0].threadId, firstId);
    EXPECT_EQ(g_FrameworkLock.queue[1].threadId, lastId);

    // Handing the lock over yields the processor without sleeping.
    const std::uint64_t clock = PlatformPeekVirtualMicros();
    LeaveFrameworkLock();
    EXPECT_EQ(PlatformPeekVirtualMicros(), clock);
    first.join();
    last.join();
    EXPECT_EQ(QueueLength(), 0);
}

// What the platform holds for the framework: with it running, the lock's
// 4096 events and the keyboard's event as kernel handles (no message thread
// here), and DirectDraw's objects; after the end, nothing; after a
// later call, the lock's events alone.
TEST_F(FrameworkTest, TheLockIsTornDownAfterTheEndAndMadeAgainByTheNextCall) {
    ASSERT_EQ(CountOpen(), (OpenCounts{0, 0, 0, 0}));
    ASSERT_EQ(ApiInitFramework(), 0);
    EXPECT_EQ(g_FrameworkLock.created, 1);
    const OpenCounts running = CountOpen();
    EXPECT_EQ(running.kernelHandles, 4096 + 1) << running;
    EXPECT_GT(running.comObjects, 0);
    EXPECT_GE(running.surfaces, 2) << "the primary surface and its back surface";
    EXPECT_EQ(ApiEndFramework(), 0);
    EXPECT_EQ(CountOpen(), (OpenCounts{0, 0, 0, 0}));
    EXPECT_EQ(g_FrameworkLock.created, 0);
    EXPECT_EQ(g_FrameworkLock.queue[0].event, nullptr);
    EXPECT_EQ(g_FrameworkLock.owned, 0);
    ApiSetAllowDoubleStart(1);
    EXPECT_EQ(g_FrameworkLock.created, 1);
    EXPECT_EQ(g_SystemState.allowDoubleStart, 1);
    EXPECT_EQ(CountOpen(), (OpenCounts{4096, 0, 0, 0}));
}

}  // namespace
