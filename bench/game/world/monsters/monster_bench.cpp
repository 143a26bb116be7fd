// One frame of the monster routines with all 20 slots of each kind of the
// busiest stage alive: wandering, engaged, attacking and in their special
// modes, drawn through the framework into the 640 x 480 16-bit back screen on
// the headless backend. Beside it: the same frame with every draw refused
// (the routines' own work), the damage numbers of that frame, and as the
// peer, SDL2's software blitter drawing one colour-keyed 128 x 128 sprite per
// monster onto a 5:6:5 surface.
//
// Needs the data set beside the program (the build writes it there).
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <kelvo/api.h>

#include <climits>
#include <cstring>

#include "engine/handles.h"
#include "field/stage_flow.h"
#include "rules/player_motion.h"
#include "rules/player_record.h"
#include "rules/sub_screen.h"
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
    int monsters = 0;
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
        for (const StageMonsterCount& c : kStageMonsterCounts) {
            if (c.stage != f.stage) continue;
            for (int slot = 0; slot < kMonsterSlotCount; ++slot) {
                PlaceMonster(c.kind, slot, 4000.0f + 32.0f * slot, 300.0f);
                MonsterRecord& m = g_MonsterPools[c.kind][slot];
                if (slot % 2 == 1) m.speed = -m.speed;  // half face left, half right
                // A mix of what monsters do in play.
                switch (slot % 4) {
                    case 0: break;
                    case 1: m.engage = kMonsterEngaged; break;
                    case 2: m.engage = kMonsterAttacking; m.attackTimer = slot; break;
                    case 3: m.specialMode = 1; m.specialTimer = slot * 13; break;
                }
                ++f.monsters;
            }
        }
        f.ready = true;
        return f;
    }();
    return field;
}

void Frame() {
    ++g_FieldFrameCounter;
    g_PlayerRecord.hp = INT_MAX / 2;  // the monsters' attacks land, but the player stands
    RunMonsterRoutines();
}

void BM_MonsterRoutinesDrawn(benchmark::State& state) {
    Field& f = SetUpField();
    if (!f.ready) return state.SkipWithError("no data set beside the program, or the framework did not start");
    for (auto _ : state) Frame();
    state.counters["stage"] = f.stage;
    state.counters["monsters"] = f.monsters;
}
BENCHMARK(BM_MonsterRoutinesDrawn)->Unit(benchmark::kMicrosecond);

void BM_MonsterRoutinesDrawsRefused(benchmark::State& state) {
    Field& f = SetUpField();
    if (!f.ready) return state.SkipWithError("no data set");
    int saved[kMonsterKindCount][kMonsterSheetFrames];
    std::memcpy(saved, g_MonsterSheets, sizeof saved);
    std::memset(g_MonsterSheets, 0xFF, sizeof g_MonsterSheets);  // -1: every draw is refused at once
    for (auto _ : state) Frame();
    std::memcpy(g_MonsterSheets, saved, sizeof saved);
    state.counters["monsters"] = f.monsters;
}
BENCHMARK(BM_MonsterRoutinesDrawsRefused)->Unit(benchmark::kMicrosecond);

// Every entry of every slot of the stage's kinds showing a 3-digit number,
// all at the age `state.range(0)` (above 100 they fade: alpha-blended).
void BM_DamageNumbersFull(benchmark::State& state) {
    Field& f = SetUpField();
    if (!f.ready) return state.SkipWithError("no data set");
    for (auto _ : state) {
        state.PauseTiming();
        for (auto& pool : g_MonsterPools)
            for (MonsterRecord& m : pool)
                if (m.alive != kMonsterFree)
                    for (int i = 0; i < kMonsterPopupCount; ++i) {
                        m.popupValue[i] = 345;
                        m.popupTimer[i] = static_cast<std::int32_t>(state.range(0));
                    }
        state.ResumeTiming();
        DrawMonsterDamagePopups();
    }
    state.counters["glyphs"] = 3.0 * kMonsterPopupCount * f.monsters;
}
BENCHMARK(BM_DamageNumbersFull)->Arg(50)->Arg(150)->Unit(benchmark::kMicrosecond);

// The peer: SDL2 blitting one keyed 128 x 128 sprite per monster.
void BM_SdlSpritesPerMonster(benchmark::State& state) {
    Field& f = SetUpField();
    const int sprites = f.ready ? f.monsters : 140;
    SDL_Surface* screen = SDL_CreateRGBSurfaceWithFormat(0, 640, 480, 16, SDL_PIXELFORMAT_RGB565);
    SDL_Surface* sprite = SDL_CreateRGBSurfaceWithFormat(0, 128, 128, 16, SDL_PIXELFORMAT_RGB565);
    auto* pixels = static_cast<std::uint16_t*>(sprite->pixels);
    for (int y = 0; y < 128; ++y)
        for (int x = 0; x < 128; ++x) {
            const int dx = x - 64, dy = y - 64;
            pixels[y * (sprite->pitch / 2) + x] = dx * dx + dy * dy < 50 * 50 ? 0x07E0 : 0;
        }
    SDL_SetColorKey(sprite, SDL_TRUE, 0);
    SDL_SetSurfaceRLE(sprite, 1);  // run-length acceleration of the key, as fast as SDL goes
    for (auto _ : state) {
        for (int i = 0; i < sprites; ++i) {
            SDL_Rect at{(i * 37) % 512, 200 + (i % 3) * 20, 128, 128};
            SDL_BlitSurface(sprite, nullptr, screen, &at);
        }
        benchmark::ClobberMemory();
    }
    SDL_FreeSurface(sprite);
    SDL_FreeSurface(screen);
    state.counters["sprites"] = sprites;
}
BENCHMARK(BM_SdlSpritesPerMonster)->Unit(benchmark::kMicrosecond);

}  // namespace
