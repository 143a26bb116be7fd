// Clocks: the millisecond clock, the performance counter and local time. On
// the headless backend the first two follow the virtual clock.
#include <atomic>
#include <chrono>
#include <ctime>
#include <map>
#include <mutex>
#include <thread>

#include "platform/backend.h"
#include "platform/kernel.h"

namespace {

constexpr LONGLONG kCounterFrequency = 10'000'000;  // 100 ns per count
std::atomic<LONGLONG> g_counterFrequency{kCounterFrequency};

const auto g_realStart = std::chrono::steady_clock::now();

// Both clocks start a little above zero, as a machine's would after start-up,
// so code that treats 0 as "never" is not fooled.
constexpr std::uint64_t kClockBaseMicros = 1'000'000;

std::uint64_t NowMicros() {
    return kClockBaseMicros + (PlatformIsHeadless() ? PlatformVirtualMicros() : PlatformRealMicros());
}

}  // namespace

std::uint64_t PlatformRealMicros() {
    return static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - g_realStart)
            .count());
}

void Sleep(DWORD milliseconds) {
    if (PlatformIsHeadless() && PlatformIsMainThread()) {
        PlatformAdvanceVirtualClock(static_cast<std::uint64_t>(milliseconds) * 1000);
        std::this_thread::yield();
        return;
    }
    if (milliseconds == 0)
        std::this_thread::yield();
    else
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

DWORD timeGetTime() { return static_cast<DWORD>(NowMicros() / 1000); }
DWORD GetTickCount() { return timeGetTime(); }

// Periods begun, by length; each end must match a begin of the same length.
std::mutex g_periodMutex;
std::map<UINT, int> g_periods;

UINT timeBeginPeriod(UINT period) {
    if (period == 0) return 97;  // TIMERR_NOCANDO
    std::lock_guard lock(g_periodMutex);
    ++g_periods[period];
    return TIMERR_NOERROR;
}

UINT timeEndPeriod(UINT period) {
    std::lock_guard lock(g_periodMutex);
    auto it = g_periods.find(period);
    if (it == g_periods.end()) return 97;
    if (--it->second == 0) g_periods.erase(it);
    return TIMERR_NOERROR;
}

int PlatformTimerPeriodsInForce() {
    std::lock_guard lock(g_periodMutex);
    int count = 0;
    for (const auto& [period, n] : g_periods) count += n;
    return count;
}

UINT timeGetDevCaps(TIMECAPS* caps, UINT size) {
    if (caps == nullptr || size < sizeof(TIMECAPS)) return 97;
    caps->wPeriodMin = 1;
    caps->wPeriodMax = 1000000;
    return TIMERR_NOERROR;
}

BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency) {
    if (frequency == nullptr) return FALSE;
    frequency->QuadPart = g_counterFrequency.load();
    return frequency->QuadPart != 0 ? TRUE : FALSE;  // none: a system without the counter
}

BOOL QueryPerformanceCounter(LARGE_INTEGER* count) {
    if (count == nullptr) return FALSE;
    const LONGLONG frequency = g_counterFrequency.load();
    count->QuadPart = frequency >= 1'000'000 ? static_cast<LONGLONG>(NowMicros() * (frequency / 1'000'000))
                                             : static_cast<LONGLONG>(NowMicros() * frequency / 1'000'000);
    return TRUE;
}

void PlatformSetCounterFrequency(LONGLONG frequency) {
    g_counterFrequency = frequency >= 0 ? frequency : kCounterFrequency;
}

ULONGLONG PlatformReadTimeStampCounter() {
    // A 1 GHz counter on the same time base as the performance counter.
    return NowMicros() * 1000;
}

void GetLocalTime(SYSTEMTIME* out) {
    if (out == nullptr) return;
    auto now = std::chrono::system_clock::now();
    std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm local{};
    localtime_r(&seconds, &local);
    out->wYear = static_cast<WORD>(local.tm_year + 1900);
    out->wMonth = static_cast<WORD>(local.tm_mon + 1);
    out->wDayOfWeek = static_cast<WORD>(local.tm_wday);
    out->wDay = static_cast<WORD>(local.tm_mday);
    out->wHour = static_cast<WORD>(local.tm_hour);
    out->wMinute = static_cast<WORD>(local.tm_min);
    out->wSecond = static_cast<WORD>(local.tm_sec);
    out->wMilliseconds = static_cast<WORD>(millis);
}
