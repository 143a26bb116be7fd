// One whole frame of the game loop on the busiest stage of the data set,
// drawn through the framework into the 640 x 480 16-bit back screen on the
// headless backend (the pacing wait runs on the virtual clock, so it costs
// next to nothing here). Then the drawing of such frames alone: the drawing
// calls of 64 frames of it kept as the game made them (layers, shop doors,
// monsters plain, mirrored and scaled, effects, damage numbers, the HUD's
// boxes, glyphs and text), drawn again in turn through the framework, and
// as the peer through SDL2's software blitter onto a 5:6:5 surface, the same
// pictures and the same draws (support/frame_draws.h says how SDL draws each).
//
// Needs the data set beside the program (the build writes it there).
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <kelvo/api.h>

#include "field/game_loop.h"
#include "rules/key_config.h"
#include "rules/player_record.h"
#include "rules/save_data.h"
#include "support/frame_draws.h"
#include "support/replay_bench.h"
#include "support/game_data_field.h"
#include "world/monsters/monster_record.h"
#include "world/stages/stage_state.h"

namespace {

struct Field {
    bool ready = false;
    int stage = 0;
};

int LiveMonsters() {
    int n = 0;
    for (const auto& pool : g_MonsterPools)
        for (const MonsterRecord& m : pool) n += m.alive != kMonsterFree;
    return n;
}

// One frame of play; false when, the player beaten after all, the frame
// loaded the stage again instead.
bool PlayFrame() {
    g_PlayerRecord.hp = g_PlayerRecord.maxHp = 1'000'000;  // the monsters' attacks land, the player stands
    return RunGameFrame() == FrameResult::kPresented;
}

// The stage started afresh, past its fade-in: the frames a player sees most.
void Restart() {
    StartGame();
    g_StageState.fadeCounter = 0;
}

Field& SetUpField() {
    static Field field = [] {
        Field f;
        if (!StartGameBesideItsData()) return f;
        LoadKeyConfig();
        ApplyKeyConfig();
        f.stage = BusiestStage();
        InitNewGame();
        g_PlayerRecord.stage = static_cast<std::int8_t>(f.stage);
        g_PlayerRecord.arrivalCameraX = kCameraLeftBound + 1000;
        g_PlayerRecord.arrivalPlayerY = 200;
        g_PlayerRecord.arrivalScreenX = 320;
        g_LoadedGameFlag = 1;
        Restart();
        f.ready = true;
        return f;
    }();
    return field;
}

void BM_GameFrame(benchmark::State& state) {
    Field& f = SetUpField();
    if (!f.ready) return state.SkipWithError("no data set beside the program, or the framework did not start");
    for (auto _ : state) {
        if (!PlayFrame()) {
            state.PauseTiming();
            Restart();
            state.ResumeTiming();
        }
    }
    state.counters["stage"] = f.stage;
    state.counters["monsters"] = LiveMonsters();
}
BENCHMARK(BM_GameFrame)->Unit(benchmark::kMicrosecond);

constexpr int kRecordedFrames = 64;

// The drawing calls of the frames after the set-up, made once.
const std::vector<RecordedFrame>& FieldDraws() {
    static const std::vector<RecordedFrame> frames = [] {
        if (!SetUpField().ready) return std::vector<RecordedFrame>{};
        DrawRecorder recorder;
        for (int i = 0; i < kRecordedFrames; ++i)
            if (!PlayFrame()) Restart();
        return recorder.Frames();
    }();
    return frames;
}

void BM_GameFrameDrawsThroughFramework(benchmark::State& state) {
    const std::vector<RecordedFrame>& frames = FieldDraws();
    if (frames.empty()) return state.SkipWithError("no data set beside the program, or the framework did not start");
    ReplayOurs(state, frames);
}
BENCHMARK(BM_GameFrameDrawsThroughFramework)->Unit(benchmark::kMicrosecond);

// The peer: SDL2 drawing the same calls with the same pictures.
void BM_SdlFieldFrame(benchmark::State& state) {
    const std::vector<RecordedFrame>& frames = FieldDraws();
    if (frames.empty()) return state.SkipWithError("no data set beside the program, or the framework did not start");
    ReplaySdl(state, frames);
}
BENCHMARK(BM_SdlFieldFrame)->Unit(benchmark::kMicrosecond);

}  // namespace
