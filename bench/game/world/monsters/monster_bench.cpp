// One frame of the monster routines of the busiest stage's kinds, with a
// count of monsters alive (the benchmark's argument, 1 to 80, one of each
// kind in turn, 20 of a kind at most): wandering, engaged, attacking and in
// their special modes, drawn through the framework into the 640 x 480 16-bit
// back screen on the headless backend. Beside it: the same frame with every
// draw refused (the routines' own work), the damage numbers of a frame, and
// for both the drawing alone, the calls of 16 frames kept as the routines
// made them and drawn again in turn through the framework and, as the peer,
// through SDL2's software blitter onto a 5:6:5 surface: the same pictures
// and the same draws, monsters plain, mirrored and scaled, their effects and
// the glyphs of the numbers (support/frame_draws.h says how SDL draws each).
//
// Needs the data set beside the program (the build writes it there).
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <kelvo/api.h>

#include <climits>
#include <cstring>
#include <vector>

#include "engine/handles.h"
#include "field/stage_flow.h"
#include "rules/player_motion.h"
#include "rules/player_record.h"
#include "rules/sub_screen.h"
#include "support/frame_draws.h"
#include "support/replay_bench.h"
#include "support/game_data_field.h"
#include "world/monsters/damage_numbers.h"
#include "world/monsters/monster_placement.h"
#include "world/monsters/monster_record.h"
#include "world/stages/stage_monster_counts.h"
#include "world/stages/stage_state.h"

namespace {

struct Field {
    bool ready = false;
    int stage = 0;
    std::vector<int> kinds;  // the kinds the stage places
};

Field& SetUpField() {
    static Field field = [] {
        Field f;
        if (!StartGameBesideItsData() || g_MonsterSheets[0][0] <= 0) return f;
        f.stage = BusiestStage();
        g_StageState.cameraX = 4000.0f;
        g_PlayerMotion.screenX = 320.0f;
        g_PlayerMotion.y = 300.0f;
        g_PlayerRecord.level = 1;
        for (const StageMonsterCount& c : kStageMonsterCounts)
            if (c.stage == f.stage) f.kinds.push_back(c.kind);
        f.ready = !f.kinds.empty();
        return f;
    }();
    return field;
}

// `count` monsters alive, the stage's kinds in turn, every other slot free.
// The most there can be.
int PlaceMonsters(const Field& f, int count) {
    for (auto& pool : g_MonsterPools)
        for (MonsterRecord& m : pool) m = MonsterRecord{};
    const int kinds = static_cast<int>(f.kinds.size());
    count = std::min(count, kinds * kMonsterSlotCount);
    for (int i = 0; i < count; ++i) {
        const int kind = f.kinds[i % kinds], slot = i / kinds;
        PlaceMonster(kind, slot, 4000.0f + 32.0f * slot, 300.0f);
        MonsterRecord& m = g_MonsterPools[kind][slot];
        if (slot % 2 == 1) m.speed = -m.speed;  // half face left, half right
        // A mix of what monsters do in play.
        switch (slot % 4) {
            case 0: break;
            case 1: m.engage = kMonsterEngaged; break;
            case 2: m.engage = kMonsterAttacking; m.attackTimer = slot; break;
            case 3: m.specialMode = 1; m.specialTimer = slot * 13; break;
        }
    }
    return count;
}

void Frame() {
    ++g_FieldFrameCounter;
    g_PlayerRecord.hp = INT_MAX / 2;  // the monsters' attacks land, but the player stands
    RunMonsterRoutines();
}

// The counts of monsters the frames are measured with.
void MonsterCounts(benchmark::internal::Benchmark* b) {
    b->ArgName("monsters")->Unit(benchmark::kMicrosecond);
    for (int monsters : {1, 10, 20, 40, 80}) b->Arg(monsters);
}

void BM_MonsterRoutinesDrawn(benchmark::State& state) {
    Field& f = SetUpField();
    if (!f.ready) return state.SkipWithError("no data set beside the program, or the framework did not start");
    const int monsters = PlaceMonsters(f, static_cast<int>(state.range(0)));
    for (auto _ : state) Frame();
    state.counters["stage"] = f.stage;
    state.counters["monsters"] = monsters;
}
BENCHMARK(BM_MonsterRoutinesDrawn)->Apply(MonsterCounts);

void BM_MonsterRoutinesDrawsRefused(benchmark::State& state) {
    Field& f = SetUpField();
    if (!f.ready) return state.SkipWithError("no data set");
    const int monsters = PlaceMonsters(f, static_cast<int>(state.range(0)));
    int saved[kMonsterKindCount][kMonsterSheetFrames];
    std::memcpy(saved, g_MonsterSheets, sizeof saved);
    std::memset(g_MonsterSheets, 0xFF, sizeof g_MonsterSheets);  // -1: every draw is refused at once
    for (auto _ : state) Frame();
    std::memcpy(g_MonsterSheets, saved, sizeof saved);
    state.counters["monsters"] = monsters;
}
BENCHMARK(BM_MonsterRoutinesDrawsRefused)->Apply(MonsterCounts);

constexpr int kRecordedFrames = 16;

// The drawing calls of the routines' frames with `count` monsters.
std::vector<RecordedFrame> RecordRoutines(const Field& f, int count) {
    PlaceMonsters(f, count);
    DrawRecorder recorder;
    for (int i = 0; i < kRecordedFrames; ++i) {
        Frame();
        recorder.NextFrame();
    }
    return recorder.Frames();
}

void BM_MonsterDrawsThroughFramework(benchmark::State& state) {
    Field& f = SetUpField();
    if (!f.ready) return state.SkipWithError("no data set");
    const std::vector<RecordedFrame> frames = RecordRoutines(f, static_cast<int>(state.range(0)));
    if (frames.empty()) return state.SkipWithError("nothing drawn");
    ReplayOurs(state, frames);
}
BENCHMARK(BM_MonsterDrawsThroughFramework)->Apply(MonsterCounts);

// The peer: SDL2 drawing the same calls with the same pictures.
void BM_SdlMonsterDraws(benchmark::State& state) {
    Field& f = SetUpField();
    if (!f.ready) return state.SkipWithError("no data set");
    const std::vector<RecordedFrame> frames = RecordRoutines(f, static_cast<int>(state.range(0)));
    if (frames.empty()) return state.SkipWithError("nothing drawn");
    ReplaySdl(state, frames);
}
BENCHMARK(BM_SdlMonsterDraws)->Apply(MonsterCounts);

// Every entry of every slot of all 80 monsters showing a 3-digit number, all
// at the age `state.range(0)` (above 100 they fade: alpha-blended).
void ShowFullDamageNumbers(int age) {
    for (auto& pool : g_MonsterPools)
        for (MonsterRecord& m : pool)
            if (m.alive != kMonsterFree)
                for (int i = 0; i < kMonsterPopupCount; ++i) {
                    m.popupValue[i] = 345;
                    m.popupTimer[i] = age;
                }
}

void BM_DamageNumbersFull(benchmark::State& state) {
    Field& f = SetUpField();
    if (!f.ready) return state.SkipWithError("no data set");
    const int monsters = PlaceMonsters(f, 80);
    for (auto _ : state) {
        state.PauseTiming();
        ShowFullDamageNumbers(static_cast<int>(state.range(0)));
        state.ResumeTiming();
        DrawMonsterDamagePopups();
    }
    state.counters["glyphs"] = 3.0 * kMonsterPopupCount * monsters;
}
BENCHMARK(BM_DamageNumbersFull)->Arg(50)->Arg(150)->Unit(benchmark::kMicrosecond);

// The damage numbers' drawing calls, once.
std::vector<RecordedFrame> RecordDamageNumbers(int age) {
    PlaceMonsters(SetUpField(), 80);
    ShowFullDamageNumbers(age);
    DrawRecorder recorder;
    DrawMonsterDamagePopups();
    return recorder.Frames();
}

void BM_DamageNumbersThroughFramework(benchmark::State& state) {
    if (!SetUpField().ready) return state.SkipWithError("no data set");
    ReplayOurs(state, RecordDamageNumbers(static_cast<int>(state.range(0))));
}
BENCHMARK(BM_DamageNumbersThroughFramework)->Arg(50)->Arg(150)->Unit(benchmark::kMicrosecond);

void BM_SdlDamageNumbers(benchmark::State& state) {
    if (!SetUpField().ready) return state.SkipWithError("no data set");
    ReplaySdl(state, RecordDamageNumbers(static_cast<int>(state.range(0))));
}
BENCHMARK(BM_SdlDamageNumbers)->Arg(50)->Arg(150)->Unit(benchmark::kMicrosecond);

}  // namespace
