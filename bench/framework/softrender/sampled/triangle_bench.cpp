// Throughput of the triangle rasteriser: right triangles filling half of a
// 64 x 64 and of a 256 x 256 box, flat (one colour) and textured (the
// opaque 128 x 128 sprite mapped onto them), copied and added, onto a 640 x 480
// screen in 16-bit 5:6:5 and 32-bit. Beside each, pixman rasterising the
// same triangle with pixman_composite_triangles (aliased, an a1 mask) and
// compositing with the same operator: OVER of the opaque source for the
// copy (SRC under a mask would clear everything outside it), ADD for the add; the
// flat colour as a solid source, the texture as the sprite under the affine
// transform that maps the triangle's corners onto it, nearest filter. Their
// arithmetic differs from ours: only the speed is compared. Items are the
// pixels of the triangle, so items/s are pixels per second (and
// items/s / (size * size / 2) is triangles per second).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "framework/softrender/blit_bench_images.h"
#include "softrender/sampled/triangle_memimg.h"

namespace {

using namespace blit_bench;

struct Case {
    int size;       // the legs of the right triangle
    bool textured;
    bool add;
};

// Top-left corners spread over the screen, the triangle wholly on it.
void NextCorner(int size, int* i, int* x, int* y) {
    *x = (*i * 37) % (kScreenW - size);
    *y = (*i * 23) % (kScreenH - size);
    ++*i;
}

void Finish(benchmark::State& state, int size) {
    state.SetItemsProcessed(state.iterations() * size * size / 2);
}

void Ours(benchmark::State& state, bool is32, Case c) {
    Images& im = ImagesFor(is32);
    const SoftDrawSettings settings{RECT{0, 0, kScreenW, kScreenH}, c.add ? 2u : 0u, 200, 0xFFFFFFu};
    const std::uint32_t colour = is32 ? 0x0040A0E0u : 0x451Cu;
    int i = 0;
    for (auto _ : state) {
        int x, y;
        NextCorner(c.size, &i, &x, &y);
        const TriangleVertex v[3] = {{x, y, 0, 0}, {x + c.size, y, kSprite, 0}, {x, y + c.size, 0, kSprite}};
        DrawTriangleMemImg(im.screen.get(), c.textured ? im.opaqueSprite.get() : nullptr, v, 0, nullptr, colour,
                           settings);
        benchmark::ClobberMemory();
    }
    Finish(state, c.size);
}

void Pixman(benchmark::State& state, bool is32, Case c) {
    Images& im = ImagesFor(is32);
    pixman_image_t* src = im.pxOpaque;
    pixman_image_t* solid = nullptr;
    if (!c.textured) {
        const pixman_color_t colour{0x4040, 0xA0A0, 0xE0E0, 0xFFFF};
        solid = pixman_image_create_solid_fill(&colour);
        src = solid;
    }
    // Destination pixel (X, Y) of the triangle's box samples the sprite at
    // ((X - x) * 128 / size, (Y - y) * 128 / size); the box's corner is
    // passed as the source offset.
    pixman_transform_t t;
    const pixman_fixed_t k = pixman_double_to_fixed(static_cast<double>(kSprite) / c.size);
    pixman_transform_init_scale(&t, k, k);
    const PixmanTransformScope scaled(im.pxOpaque, t);
    const pixman_op_t op = c.add ? PIXMAN_OP_ADD : PIXMAN_OP_OVER;
    int i = 0;
    for (auto _ : state) {
        int x, y;
        NextCorner(c.size, &i, &x, &y);
        pixman_triangle_t tri;
        tri.p1 = {pixman_int_to_fixed(x), pixman_int_to_fixed(y)};
        tri.p2 = {pixman_int_to_fixed(x + c.size), pixman_int_to_fixed(y)};
        tri.p3 = {pixman_int_to_fixed(x), pixman_int_to_fixed(y + c.size)};
        pixman_composite_triangles(op, src, im.pxScreen, PIXMAN_a1, -x, -y, 0, 0, 1, &tri);
        benchmark::ClobberMemory();
    }
    if (solid != nullptr) pixman_image_unref(solid);
    Finish(state, c.size);
}

void RegisterAll() {
    for (bool is32 : {false, true})
        for (int size : {64, 256})
            for (bool textured : {false, true})
                for (bool add : {false, true}) {
                    const Case c{size, textured, add};
                    const std::string name = std::string(is32 ? "32/" : "16/") + (textured ? "textured_" : "flat_") +
                                             (add ? "add_" : "copy_") + std::to_string(size);
                    benchmark::RegisterBenchmark(("ours/" + name).c_str(),
                                                 [is32, c](benchmark::State& s) { Ours(s, is32, c); });
                    benchmark::RegisterBenchmark(("pixman/" + name).c_str(),
                                                 [is32, c](benchmark::State& s) { Pixman(s, is32, c); });
                }
}

const bool kRegistered = (RegisterAll(), true);

}  // namespace
