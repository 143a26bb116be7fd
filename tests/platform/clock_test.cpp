// The headless virtual clock and the clock calls over it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>
#include <thread>

#include "platform/backend.h"
#include "platform/kernel.h"

namespace {

class VirtualClock : public ::testing::Test {
protected:
    void SetUp() override {
        PlatformSelectBackend(PlatformBackend::Headless);
        PlatformResetVirtualClock();
    }
};

TEST_F(VirtualClock, AFiveMillisecondBusyWaitEndsInBoundedReads) {
    DWORD start = timeGetTime();
    std::uint64_t readsBefore = PlatformVirtualClockReads();
    int loops = 0;
    while (timeGetTime() - start < 5) {
        ASSERT_LT(++loops, 1000) << "busy-wait never ended";
    }
    std::uint64_t reads = PlatformVirtualClockReads() - readsBefore;
    EXPECT_LE(reads, 5000 / kVirtualClockReadStepMicros + 2);
    EXPECT_GE(reads, 5000 / kVirtualClockReadStepMicros - 2);
}

TEST_F(VirtualClock, SleepOnTheMainThreadAdvancesTimeWithoutWaiting) {
    auto realStart = std::chrono::steady_clock::now();
    DWORD start = timeGetTime();
    Sleep(10'000);
    DWORD elapsed = timeGetTime() - start;
    EXPECT_GE(elapsed, 10'000u);
    EXPECT_LE(elapsed, 10'001u);
    EXPECT_LT(std::chrono::steady_clock::now() - realStart, std::chrono::seconds(1));
}

TEST_F(VirtualClock, OtherThreadsNeitherAdvanceNorStepTheClock) {
    std::uint64_t before = PlatformVirtualMicros();
    std::uint64_t slept = 0;
    std::thread other([&slept] {
        // Another thread really sleeps, for at least the time asked.
        const std::uint64_t start = PlatformRealMicros();
        Sleep(5);
        slept = PlatformRealMicros() - start;
        for (int i = 0; i < 100; ++i) timeGetTime();
    });
    other.join();
    // One read of our own since: exactly one step.
    EXPECT_EQ(PlatformVirtualMicros() - before, kVirtualClockReadStepMicros);
    EXPECT_GE(slept, 5000u);
}

TEST_F(VirtualClock, PerformanceCounterFollowsTheSameTimeBase) {
    LARGE_INTEGER frequency{}, a{}, b{};
    ASSERT_TRUE(QueryPerformanceFrequency(&frequency));
    ASSERT_GT(frequency.QuadPart, 0);
    QueryPerformanceCounter(&a);
    Sleep(100);
    QueryPerformanceCounter(&b);
    double seconds = static_cast<double>(b.QuadPart - a.QuadPart) / static_cast<double>(frequency.QuadPart);
    EXPECT_NEAR(seconds, 0.1, 0.001);
    EXPECT_NE(timeGetTime(), 0u);
}

// After a reset every clock reads one second, the counters in their own
// units: 10 MHz for the performance counter, 1 GHz for the time stamp.
TEST_F(VirtualClock, EveryClockStartsAtOneSecond) {
    LARGE_INTEGER frequency{}, count{};
    ASSERT_TRUE(QueryPerformanceFrequency(&frequency));
    EXPECT_EQ(frequency.QuadPart, 10'000'000);
    EXPECT_EQ(timeGetTime(), 1000u);
    EXPECT_EQ(GetTickCount(), 1000u);
    ASSERT_TRUE(QueryPerformanceCounter(&count));
    EXPECT_GE(count.QuadPart, 10'000'000);
    EXPECT_LT(count.QuadPart, 10'000'000 + 10'000);  // reads step the clock a little
    const ULONGLONG stamp = PlatformReadTimeStampCounter();
    EXPECT_GE(stamp, 1'000'000'000u);
    EXPECT_LT(stamp, 1'001'000'000u);
    EXPECT_FALSE(QueryPerformanceFrequency(nullptr));
    EXPECT_FALSE(QueryPerformanceCounter(nullptr));
}

TEST(TimerPeriod, MinimumPeriodIsOneMillisecond) {
    TIMECAPS caps{};
    ASSERT_EQ(timeGetDevCaps(&caps, sizeof caps), TIMERR_NOERROR);
    EXPECT_EQ(caps.wPeriodMin, 1u);
    const int before = PlatformTimerPeriodsInForce();
    EXPECT_EQ(timeBeginPeriod(caps.wPeriodMin), TIMERR_NOERROR);
    EXPECT_EQ(PlatformTimerPeriodsInForce(), before + 1);
    EXPECT_EQ(timeEndPeriod(5), 97u) << "a period not begun";
    EXPECT_EQ(timeEndPeriod(caps.wPeriodMin), TIMERR_NOERROR);
    EXPECT_EQ(timeEndPeriod(caps.wPeriodMin), 97u) << "ended already";
    EXPECT_EQ(PlatformTimerPeriodsInForce(), before);
    EXPECT_EQ(caps.wPeriodMax, 1000000u);
    // No period of zero, and no caps into too little room (97: cannot do).
    EXPECT_EQ(timeBeginPeriod(0), 97u);
    EXPECT_EQ(timeEndPeriod(0), 97u);
    EXPECT_EQ(timeGetDevCaps(&caps, sizeof caps - 1), 97u);
    EXPECT_EQ(timeGetDevCaps(nullptr, sizeof caps), 97u);
}

// The local time as the C library breaks it down, month counted from 1
// and the year in full; read twice in case a second turns in between.
TEST(LocalTime, FieldsAreTheCalendarsOwn) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        const std::time_t before = std::time(nullptr);
        SYSTEMTIME t{};
        GetLocalTime(&t);
        if (std::time(nullptr) != before) continue;
        std::tm local{};
        localtime_r(&before, &local);
        EXPECT_EQ(t.wYear, local.tm_year + 1900);
        EXPECT_EQ(t.wMonth, local.tm_mon + 1);
        EXPECT_EQ(t.wDayOfWeek, local.tm_wday);
        EXPECT_EQ(t.wDay, local.tm_mday);
        EXPECT_EQ(t.wHour, local.tm_hour);
        EXPECT_EQ(t.wMinute, local.tm_min);
        EXPECT_EQ(t.wSecond, local.tm_sec);
        EXPECT_LE(t.wMilliseconds, 999);
        GetLocalTime(nullptr);
        return;
    }
    FAIL() << "the clock never held still for a second";
}

// With a window the clocks follow real time, from the same one-second start.
TEST(RealClock, StartsAtOneSecondAndFollowsRealTime) {
    PlatformSelectBackend(PlatformBackend::Sdl);
    const std::uint64_t real = PlatformRealMicros();
    const DWORD ms = timeGetTime();
    LARGE_INTEGER count{};
    QueryPerformanceCounter(&count);
    const ULONGLONG stamp = PlatformReadTimeStampCounter();
    const std::uint64_t after = PlatformRealMicros();
    const std::uint64_t virtualBefore = PlatformPeekVirtualMicros();
    Sleep(0);
    EXPECT_EQ(PlatformPeekVirtualMicros(), virtualBefore) << "a real sleep leaves the virtual clock";
    PlatformSelectBackend(PlatformBackend::Headless);
    EXPECT_GE(ms, 1000 + real / 1000);
    EXPECT_LE(ms, 1000 + after / 1000);
    EXPECT_GE(count.QuadPart, static_cast<LONGLONG>((1'000'000 + real) * 10));
    EXPECT_LE(count.QuadPart, static_cast<LONGLONG>((1'000'000 + after) * 10));
    EXPECT_GE(stamp, (1'000'000 + real) * 1000);
    EXPECT_LE(stamp, (1'000'000 + after) * 1000);
}

}  // namespace

namespace {

// A program run takes its backend from KELVO_PLATFORM ("headless" or "sdl",
// exactly); anything else means a window when there is a display to show it
// on, X or Wayland.
TEST(Backend, ChosenFromTheEnvironmentAsForAProgramRun) {
    const char* names[] = {"KELVO_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"};
    std::string saved[3];
    bool had[3];
    for (int i = 0; i < 3; ++i) {
        const char* v = std::getenv(names[i]);
        had[i] = v != nullptr;
        saved[i] = v != nullptr ? v : "";
    }
    const PlatformBackend sdl = PlatformBackend::Sdl, headless = PlatformBackend::Headless;
    const struct {
        const char* platform;  // null: unset
        const char* display;
        const char* wayland;
        PlatformBackend want;
    } cases[] = {
        {"headless", ":0", "wayland-0", headless}, {"sdl", nullptr, nullptr, sdl},
        {nullptr, ":0", nullptr, sdl},             {nullptr, nullptr, "wayland-0", sdl},
        {nullptr, nullptr, nullptr, headless},     {nullptr, "", "", headless},
        {"SDL", nullptr, nullptr, headless},       {"Headless", ":1", nullptr, sdl},
        {"", nullptr, "w", sdl},                   {"sdl2", nullptr, nullptr, headless},
    };
    for (const auto& c : cases) {
        const char* values[3] = {c.platform, c.display, c.wayland};
        for (int i = 0; i < 3; ++i) {
            if (values[i] != nullptr)
                setenv(names[i], values[i], 1);
            else
                unsetenv(names[i]);
        }
        PlatformForgetBackendChoice();
        EXPECT_EQ(PlatformGetBackend(), c.want) << (c.platform ? c.platform : "-") << " "
                                                << (c.display ? c.display : "-") << " " << (c.wayland ? c.wayland : "-");
        EXPECT_TRUE(PlatformIsProgramRun());
        EXPECT_EQ(PlatformIsHeadless(), c.want == headless);
        setenv("KELVO_PLATFORM", c.want == headless ? "sdl" : "headless", 1);
        EXPECT_EQ(PlatformGetBackend(), c.want) << "chosen once";
    }
    for (int i = 0; i < 3; ++i) {
        if (had[i])
            setenv(names[i], saved[i].c_str(), 1);
        else
            unsetenv(names[i]);
    }
    PlatformSelectBackend(PlatformBackend::Headless);
    EXPECT_FALSE(PlatformIsProgramRun()) << "selected in code";
}

TEST(Backend, SdlStartsAndEndsWithoutADisplayDriver) {
    // The dummy driver lets SDL start on machines with no display.
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    PlatformSelectBackend(PlatformBackend::Sdl);
    ASSERT_TRUE(PlatformStartBackend());
    EXPECT_TRUE(PlatformBackendStarted());
    EXPECT_TRUE(PlatformStartBackend());  // a second start is harmless
    PlatformEndBackend();
    EXPECT_FALSE(PlatformBackendStarted());
    PlatformSelectBackend(PlatformBackend::Headless);
    ASSERT_TRUE(PlatformStartBackend());
    PlatformEndBackend();
}

}  // namespace
