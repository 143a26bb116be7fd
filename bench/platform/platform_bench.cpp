// Costs of the platform calls the game makes every frame.
#include <benchmark/benchmark.h>

#include "platform/backend.h"
#include "platform/kernel.h"

static void BM_TimeGetTime(benchmark::State& state) {
    PlatformSelectBackend(PlatformBackend::Sdl);  // the real clock
    for (auto _ : state) benchmark::DoNotOptimize(timeGetTime());
}
BENCHMARK(BM_TimeGetTime);

static void BM_EnterLeaveCriticalSection(benchmark::State& state) {
    CRITICAL_SECTION section;
    InitializeCriticalSection(&section);
    for (auto _ : state) {
        EnterCriticalSection(&section);
        LeaveCriticalSection(&section);
    }
    DeleteCriticalSection(&section);
}
BENCHMARK(BM_EnterLeaveCriticalSection);
