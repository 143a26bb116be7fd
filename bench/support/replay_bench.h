// The two sides of a benchmark of recorded frames: our framework drawing the
// game's calls, and SDL2 drawing the same calls with the same pictures. Both
// report what a frame holds, so a run shows the two did the same work.
#pragma once

#include <benchmark/benchmark.h>

#include <cstddef>
#include <vector>

#include "frame_draws.h"

inline void ReportDraws(benchmark::State& state, const std::vector<RecordedFrame>& frames) {
    const DrawCounts n = CountDraws(frames);
    state.counters["blits"] = n.blits;
    state.counters["scaled"] = n.scaled;
    state.counters["mirrored"] = n.mirrored;
    state.counters["boxes"] = n.boxes;
    state.counters["texts"] = n.texts;
}

inline void ReplayOurs(benchmark::State& state, const std::vector<RecordedFrame>& frames) {
    std::size_t i = 0;
    for (auto _ : state) ReplayThroughFramework(frames[i++ % frames.size()]);
    ReportDraws(state, frames);
}

inline void ReplaySdl(benchmark::State& state, const std::vector<RecordedFrame>& frames) {
    SdlFrameReplay sdl(frames);
    if (!sdl.Ready()) return state.SkipWithError("SDL made no surface");
    std::size_t i = 0;
    for (auto _ : state) {
        sdl.Draw(frames[i++ % frames.size()]);
        benchmark::ClobberMemory();
    }
    ReportDraws(state, frames);
    // Draws SDL has no counterpart for, a frame: 0 when the work is the same.
    state.counters["unmatched"] = static_cast<double>(sdl.Unmatched()) / static_cast<double>(state.iterations());
}
