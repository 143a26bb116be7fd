// Throughput of the unscaled blit on the drawing the game does most: a
// 128 x 128 sprite (about 60% of it opaque, the rest the transparent colour)
// drawn unclipped onto a 640 x 480 screen, in 16-bit 5:6:5 and 32-bit, as a
// plain copy, colour-keyed, with an alpha parameter and added, each with and
// without a bright colour; and the keyed and alpha draws once more with 16
// columns hanging off the screen's edge, where our general loops stand in for
// the run-list ones. Beside each: SDL2's software blitter and pixman doing
// the nearest equivalent on the same pixels, and plain copies of the same
// bytes (row by row, the opaque sprite's 128 x 128: the library's memcpy,
// and 32-byte moves), spread over the screen as the draws are and once into
// one place that stays in the cache. Items are
// the source pixels on the screen, so items/s are pixels per second. How
// SDL and pixman are set up is in blit_bench_images.h.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>

#include "framework/softrender/blit_bench_images.h"
#include "softrender/blit/blit_memimg.h"
#include "softrender/blit/blit_walk.h"

namespace {

using namespace blit_bench;

struct Case {
    Op op;
    bool bright;
    bool clipped = false;   // 16 columns hang off the screen's left edge
    bool onePlace = false;  // every draw at the same place, which stays in the cache
};

constexpr int kClippedColumns = 16;

// Sprite positions spread over the screen, unclipped, or hanging off the
// left edge; or always the same place.
struct Positions {
    bool clipped = false;
    bool onePlace = false;
    int i = 0;
    void Next(int* x, int* y) {
        *x = clipped ? -kClippedColumns : (i * 37) % (kScreenW - kSprite);
        *y = (i * 23) % (kScreenH - kSprite);
        if (onePlace) *x = *y = 100;
        ++i;
    }
};

// Items are the source pixels the draw covers on the screen.
void Finish(benchmark::State& state, bool clipped = false) {
    state.SetItemsProcessed(state.iterations() * kSprite * (kSprite - (clipped ? kClippedColumns : 0)));
}

// ---- ours -------------------------------------------------------------------

void Ours(benchmark::State& state, bool is32, Case c) {
    Images& im = ImagesFor(is32);
    const SoftDrawSettings settings = SettingsFor(c.op, c.bright);
    const MEMIMG* src = SourceFor(im, c.op);
    const int transparent = c.op == Op::kCopy ? 0 : 1;
    Positions at{c.clipped, c.onePlace};
    for (auto _ : state) {
        int x, y;
        at.Next(&x, &y);
        BlitMemImg(im.screen.get(), src, x, y, transparent, nullptr, settings, 1);
        // Drawing marks the screen's run list stale; the sprite's stays valid.
        benchmark::ClobberMemory();
    }
    Finish(state, c.clipped);
}

// ---- SDL2 -------------------------------------------------------------------

void Sdl(benchmark::State& state, bool is32, Case c) {
    Images& im = ImagesFor(is32);
    SDL_Surface* src = SdlSourceFor(im, c.op, c.bright);
    Positions at{c.clipped, c.onePlace};
    for (auto _ : state) {
        int x, y;
        at.Next(&x, &y);
        SDL_Rect dst{x, y, kSprite, kSprite};
        SDL_BlitSurface(src, nullptr, im.sdlScreen, &dst);
        benchmark::ClobberMemory();
    }
    SdlReset(src);
    Finish(state, c.clipped);
}

// ---- pixman -------------------------------------------------------------------

void Pixman(benchmark::State& state, bool is32, Case c) {
    Images& im = ImagesFor(is32);
    pixman_image_t* mask = PixmanMaskFor(c.op, c.bright);
    pixman_image_t* src = PixmanSourceFor(im, c.op);
    const pixman_op_t op = PixmanOpFor(c.op);
    Positions at{c.clipped, c.onePlace};
    for (auto _ : state) {
        int x, y;
        at.Next(&x, &y);
        pixman_image_composite32(op, src, mask, im.pxScreen, 0, 0, 0, 0, x, y, kSprite, kSprite);
        benchmark::ClobberMemory();
    }
    if (mask != nullptr) pixman_image_unref(mask);
    Finish(state, c.clipped);
}

// ---- memcpy of the same bytes ----------------------------------------------------

// Two ways of copying one row: the library's memcpy, and 32-byte moves with
// the destination's stores aligned (a store that straddles two cache lines
// costs two), where the processor has them: the renderer's own row copy,
// without the blit around it.
enum class RowCopy { kLibrary, kMoves };

// The row length is hidden from the compiler: for a length it knows (256 or
// 512 bytes) GCC expands memcpy inline as `rep movsq`, whose start-up costs
// more than the whole copy of such a short row, and the baseline would
// measure that instead of the library's copy.
__attribute__((noinline)) void CopyRowsLibrary(std::uint8_t* d, const std::uint8_t* s, std::size_t destPitch,
                                               std::size_t srcPitch, std::size_t rowBytes) {
    benchmark::DoNotOptimize(rowBytes);
    for (int row = 0; row < kSprite; ++row, d += destPitch, s += srcPitch) std::memcpy(d, s, rowBytes);
}

#if defined(__x86_64__)
// The renderer's own row copy, built for 32-byte registers.
__attribute__((target("avx2"), noinline)) void CopyRowsMoves(std::uint8_t* d, const std::uint8_t* s,
                                                            std::size_t destPitch, std::size_t srcPitch,
                                                            std::size_t rowBytes) {
    for (int row = 0; row < kSprite; ++row, d += destPitch, s += srcPitch) blit::CopyRow(d, s, rowBytes);
}
#endif

void CopyRows(benchmark::State& state, bool is32, bool onePlace, RowCopy how) {
#if defined(__x86_64__)
    auto copy = how == RowCopy::kMoves ? &CopyRowsMoves : &CopyRowsLibrary;
    if (how == RowCopy::kMoves && !__builtin_cpu_supports("avx2")) {
        state.SkipWithError("no 32-byte moves");
        return;
    }
#else
    if (how == RowCopy::kMoves) {
        state.SkipWithError("no 32-byte moves");
        return;
    }
    auto copy = &CopyRowsLibrary;
#endif
    Images& im = ImagesFor(is32);
    const std::size_t rowBytes = static_cast<std::size_t>(kSprite) * (is32 ? 4 : 2);
    std::uint8_t* const screen = im.screen->pixels;
    const std::uint8_t* const sprite = im.opaqueSprite->pixels;
    const std::size_t destPitch = im.screen->pitch, srcPitch = im.opaqueSprite->pitch;
    Positions at{false, onePlace};
    for (auto _ : state) {
        int x, y;
        at.Next(&x, &y);
        copy(screen + static_cast<std::size_t>(y) * destPitch + x * (is32 ? 4 : 2), sprite, destPitch, srcPitch,
             rowBytes);
        benchmark::ClobberMemory();
    }
    Finish(state);
}

void RegisterAll() {
    struct Named {
        const char* name;
        Case c;
    };
    const Named cases[] = {
        {"copy", {Op::kCopy, false}},      {"copy_bright", {Op::kCopy, true}},
        {"keyed", {Op::kKeyed, false}},    {"keyed_bright", {Op::kKeyed, true}},
        {"alpha", {Op::kAlpha, false}},    {"alpha_bright", {Op::kAlpha, true}},
        {"add", {Op::kAdd, false}},        {"add_bright", {Op::kAdd, true}},
        // Clipped: our general loops (no run list) against SDL's clipped
        // run-length blit.
        {"keyed_clipped", {Op::kKeyed, false, true}}, {"alpha_clipped", {Op::kAlpha, false, true}},
        {"copy_one_place", {Op::kCopy, false, false, true}},
    };
    for (bool is32 : {false, true}) {
        const std::string depth = is32 ? "32/" : "16/";
        for (const Named& n : cases) {
            benchmark::RegisterBenchmark(("ours/" + depth + n.name).c_str(),
                                         [is32, n](benchmark::State& s) { Ours(s, is32, n.c); });
            benchmark::RegisterBenchmark(("sdl/" + depth + n.name).c_str(),
                                         [is32, n](benchmark::State& s) { Sdl(s, is32, n.c); });
            benchmark::RegisterBenchmark(("pixman/" + depth + n.name).c_str(),
                                         [is32, n](benchmark::State& s) { Pixman(s, is32, n.c); });
        }
        for (bool onePlace : {false, true})
            for (RowCopy how : {RowCopy::kLibrary, RowCopy::kMoves}) {
                const std::string name = std::string(how == RowCopy::kLibrary ? "memcpy/" : "moves32/") + depth +
                                         (onePlace ? "copy_one_place" : "copy");
                benchmark::RegisterBenchmark(name.c_str(), [is32, onePlace, how](benchmark::State& s) {
                    CopyRows(s, is32, onePlace, how);
                });
            }
    }
}

const bool kRegistered = (RegisterAll(), true);

}  // namespace
