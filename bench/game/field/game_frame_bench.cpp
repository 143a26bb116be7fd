// One whole frame of the game loop on the busiest stage of the data set,
// drawn through the framework into the 640 x 480 16-bit back screen on the
// headless backend (the pacing wait runs on the virtual clock, so it costs
// next to nothing here), and as the peer, SDL2's software blitter drawing
// what such a frame shows: two colour-keyed 640 x 480 layers and one
// colour-keyed 128 x 128 sprite per monster, onto a 5:6:5 surface.
//
// Needs the data set beside the program (the build writes it there).
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <kelvo/api.h>

#include "field/game_loop.h"
#include "rules/key_config.h"
#include "rules/player_record.h"
#include "rules/save_data.h"
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
        StartGame();
        // Measured after the stage's fade-in: the frames a player sees most.
        g_StageState.fadeCounter = 0;
        f.ready = true;
        return f;
    }();
    return field;
}

void BM_GameFrame(benchmark::State& state) {
    Field& f = SetUpField();
    if (!f.ready) return state.SkipWithError("no data set beside the program, or the framework did not start");
    for (auto _ : state) {
        g_PlayerRecord.hp = g_PlayerRecord.maxHp = 1'000'000;  // the monsters' attacks land, the player stands
        if (RunGameFrame() != FrameResult::kPresented) {
            state.PauseTiming();
            StartGame();
            g_StageState.fadeCounter = 0;
            state.ResumeTiming();
        }
    }
    state.counters["stage"] = f.stage;
    state.counters["monsters"] = LiveMonsters();
}
BENCHMARK(BM_GameFrame)->Unit(benchmark::kMicrosecond);

// The peer: SDL2 blitting two keyed full-screen layers and one keyed sprite
// per monster of that stage.
void BM_SdlFieldFrame(benchmark::State& state) {
    Field& f = SetUpField();
    const int sprites = f.ready ? LiveMonsters() : 20;
    SDL_Surface* screen = SDL_CreateRGBSurfaceWithFormat(0, 640, 480, 16, SDL_PIXELFORMAT_RGB565);
    SDL_Surface* layer = SDL_CreateRGBSurfaceWithFormat(0, 640, 480, 16, SDL_PIXELFORMAT_RGB565);
    SDL_Surface* sprite = SDL_CreateRGBSurfaceWithFormat(0, 128, 128, 16, SDL_PIXELFORMAT_RGB565);
    auto* pixels = static_cast<std::uint16_t*>(layer->pixels);
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x) pixels[y * (layer->pitch / 2) + x] = y > 300 || (x / 40 + y / 40) % 3 ? 0x2965 : 0;
    pixels = static_cast<std::uint16_t*>(sprite->pixels);
    for (int y = 0; y < 128; ++y)
        for (int x = 0; x < 128; ++x) {
            const int dx = x - 64, dy = y - 64;
            pixels[y * (sprite->pitch / 2) + x] = dx * dx + dy * dy < 50 * 50 ? 0x07E0 : 0;
        }
    SDL_SetColorKey(layer, SDL_TRUE, 0);
    SDL_SetColorKey(sprite, SDL_TRUE, 0);
    SDL_SetSurfaceRLE(layer, 1);
    SDL_SetSurfaceRLE(sprite, 1);
    for (auto _ : state) {
        SDL_FillRect(screen, nullptr, 0);
        for (int i = 0; i < 2; ++i) SDL_BlitSurface(layer, nullptr, screen, nullptr);
        for (int i = 0; i < sprites; ++i) {
            SDL_Rect at{(i * 37) % 512, 200 + (i % 3) * 20, 128, 128};
            SDL_BlitSurface(sprite, nullptr, screen, &at);
        }
        benchmark::ClobberMemory();
    }
    SDL_FreeSurface(sprite);
    SDL_FreeSurface(layer);
    SDL_FreeSurface(screen);
    state.counters["sprites"] = sprites;
}
BENCHMARK(BM_SdlFieldFrame)->Unit(benchmark::kMicrosecond);

}  // namespace
