// Throughput of the scaled blit on the stretched and mirrored drawing the
// game does: the 128 x 128 sprite of the unscaled benchmark drawn at twice
// its size (the large monsters) and at 1.3 times, unclipped, onto a
// 640 x 480 screen, in 16-bit 5:6:5 and 32-bit, as a plain copy,
// colour-keyed, with an alpha parameter and added, each with and without a
// bright colour; and mirrored at its own size and at twice it (monsters
// facing the other way). Beside each: SDL2's scaled blit (SDL_BlitScaled,
// which cannot mirror) and pixman compositing through a scaling transform
// with the nearest filter, set up for each draw as in the unscaled
// benchmark (blit_bench_images.h). Items are destination pixels drawn, so
// items/s are pixels per second.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

#include "framework/softrender/blit_bench_images.h"
#include "softrender/scaled/blit_scaled.h"

namespace {

using namespace blit_bench;

struct Case {
    Op op;
    bool bright;
    int size;  // the drawn width and height
    bool mirrored = false;
};

// Rectangle positions spread over the screen.
struct Positions {
    int size;
    int i = 0;
    void Next(int* x, int* y) {
        *x = (i * 37) % (kScreenW - size);
        *y = (i * 23) % (kScreenH - size);
        ++i;
    }
};

void Finish(benchmark::State& state, const Case& c) {
    state.SetItemsProcessed(state.iterations() * c.size * c.size);
}

// ---- ours -------------------------------------------------------------------

void Ours(benchmark::State& state, bool is32, Case c) {
    Images& im = ImagesFor(is32);
    const SoftDrawSettings settings = SettingsFor(c.op, c.bright);
    const MEMIMG* src = SourceFor(im, c.op);
    const int transparent = c.op == Op::kCopy ? 0 : 1;
    Positions at{c.size};
    for (auto _ : state) {
        int x, y;
        at.Next(&x, &y);
        const int corners[4] = {c.mirrored ? x + c.size : x, y, c.mirrored ? x : x + c.size, y + c.size};
        DrawExtendMemImg(im.screen.get(), src, corners, transparent, nullptr, settings, 1);
        benchmark::ClobberMemory();
    }
    Finish(state, c);
}

// ---- SDL2 -------------------------------------------------------------------

void Sdl(benchmark::State& state, bool is32, Case c) {
    Images& im = ImagesFor(is32);
    SDL_Surface* src = SdlSourceFor(im, c.op, c.bright);
    Positions at{c.size};
    for (auto _ : state) {
        int x, y;
        at.Next(&x, &y);
        SDL_Rect dst{x, y, c.size, c.size};
        SDL_BlitScaled(src, nullptr, im.sdlScreen, &dst);
        benchmark::ClobberMemory();
    }
    SdlReset(src);
    Finish(state, c);
}

// ---- pixman -------------------------------------------------------------------

void Pixman(benchmark::State& state, bool is32, Case c) {
    Images& im = ImagesFor(is32);
    pixman_image_t* mask = PixmanMaskFor(c.op, c.bright);
    pixman_image_t* src = PixmanSourceFor(im, c.op);
    const pixman_op_t op = PixmanOpFor(c.op);
    // Destination to source: a scale, and for the mirror a turn about the
    // source's middle. The nearest filter samples at pixel centres.
    pixman_transform_t transform;
    const pixman_fixed_t scale = pixman_double_to_fixed(static_cast<double>(kSprite) / c.size);
    pixman_transform_init_scale(&transform, c.mirrored ? -scale : scale, scale);
    if (c.mirrored) transform.matrix[0][2] = pixman_int_to_fixed(kSprite);
    pixman_image_set_transform(src, &transform);
    pixman_image_set_filter(src, PIXMAN_FILTER_NEAREST, nullptr, 0);
    Positions at{c.size};
    for (auto _ : state) {
        int x, y;
        at.Next(&x, &y);
        pixman_image_composite32(op, src, mask, im.pxScreen, 0, 0, 0, 0, x, y, c.size, c.size);
        benchmark::ClobberMemory();
    }
    pixman_image_set_transform(src, nullptr);
    if (mask != nullptr) pixman_image_unref(mask);
    Finish(state, c);
}

void RegisterAll() {
    struct Named {
        const char* name;
        Op op;
        bool bright;
    };
    const Named ops[] = {
        {"copy", Op::kCopy, false},   {"copy_bright", Op::kCopy, true}, {"keyed", Op::kKeyed, false},
        {"keyed_bright", Op::kKeyed, true}, {"alpha", Op::kAlpha, false}, {"alpha_bright", Op::kAlpha, true},
        {"add", Op::kAdd, false},     {"add_bright", Op::kAdd, true},
    };
    struct Scale {
        const char* name;
        int size;
        bool mirrored;
    };
    const Scale scales[] = {{"2x", 2 * kSprite, false}, {"1.3x", kSprite * 13 / 10, false},
                            {"mirrored", kSprite, true}, {"mirrored_2x", 2 * kSprite, true}};
    for (bool is32 : {false, true})
        for (const Scale& scale : scales)
            for (const Named& n : ops) {
                const Case c{n.op, n.bright, scale.size, scale.mirrored};
                const std::string name = std::string(is32 ? "32/" : "16/") + scale.name + "/" + n.name;
                benchmark::RegisterBenchmark(("ours/" + name).c_str(),
                                             [is32, c](benchmark::State& s) { Ours(s, is32, c); });
                if (!scale.mirrored)
                    benchmark::RegisterBenchmark(("sdl/" + name).c_str(),
                                                 [is32, c](benchmark::State& s) { Sdl(s, is32, c); });
                benchmark::RegisterBenchmark(("pixman/" + name).c_str(),
                                             [is32, c](benchmark::State& s) { Pixman(s, is32, c); });
            }
}

const bool kRegistered = (RegisterAll(), true);

}  // namespace
