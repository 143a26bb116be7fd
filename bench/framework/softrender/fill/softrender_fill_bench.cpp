// Throughput of the rectangle fill and the line drawing on a 640 x 480 image,
// in pixels per second, per pixel size and blend mode. Beside the fill, on
// the same pixels: memset of the same bytes, pixman_fill for the copy, and
// pixman's OVER of a solid colour for the translucent box (a solid source
// whose alpha is the blend parameter, premultiplied as pixman keeps it). The
// fade after a stage load, a full-screen translucent box whose parameter
// falls by 2 a frame, is measured as frames. The fill runs with its group
// loops and, as it drew before it had them, one pixel at a time.

#include <benchmark/benchmark.h>
#include <pixman.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "graphics/image/color_format.h"
#include "graphics/image/memimg.h"
#include "softrender/fill/fill_rect.h"
#include "softrender/fill/fill_rows.h"
#include "softrender/fill/lines.h"

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;

struct BenchImage {
    std::vector<std::uint8_t> pixels;
    MEMIMG image{};

    explicit BenchImage(std::uint32_t kind) {
        const std::size_t bytes = kind == 1 ? 4 : 2;
        pixels.assign(bytes * kWidth * kHeight, 0x5A);
        image.magic = 0x12345678;
        image.width = kWidth;
        image.height = kHeight;
        image.pitch = static_cast<std::uint32_t>(bytes * kWidth);
        image.pitchShift = -1;
        image.colorFormat = GetStandardColorFormat(static_cast<int>(kind), 0, 0);
        image.kind = kind;
        image.borrowedPixels = 1;
        image.palette = image.paletteStorage;
        image.paletteCopy = image.paletteCopyStorage;
        image.pixels = pixels.data();
    }
};

SoftDrawSettings Settings(std::uint32_t mode, std::uint32_t param, std::uint32_t bright) {
    return SoftDrawSettings{RECT{0, 0, kWidth, kHeight}, mode, param, bright};
}

// The fill's row loops: 0 one pixel at a time (as the fill drew before it
// had groups), 1 16-byte groups, 2 32-byte groups.
struct LoopsScope {
    explicit LoopsScope(std::int64_t loops) { SetFillRowLoops(static_cast<FillRowLoops>(loops)); }
    ~LoopsScope() { SetFillRowLoops(FillRowLoops::kGroups32); }
};

// Arguments: pixel kind (0 16-bit, 1 32-bit), blend mode, parameter, bright,
// row loops.
void BM_FillRect(benchmark::State& state) {
    BenchImage img(static_cast<std::uint32_t>(state.range(0)));
    const SoftDrawSettings s = Settings(static_cast<std::uint32_t>(state.range(1)),
                                        static_cast<std::uint32_t>(state.range(2)),
                                        static_cast<std::uint32_t>(state.range(3)));
    LoopsScope loops(state.range(4));
    for (auto _ : state) {
        FillRectMemImg(&img.image, nullptr, 0x00C08040, s);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}
void FillRectArgs(benchmark::internal::Benchmark* b) {
    b->ArgNames({"kind", "mode", "param", "bright", "loops"});
    const std::int64_t cases[][4] = {{0, 0, 255, 0xFFFFFF}, {0, 1, 128, 0xFFFFFF}, {0, 2, 200, 0xFFFFFF},
                                     {0, 3, 128, 0xFFFFFF}, {0, 4, 0, 0xFFFFFF},   {0, 1, 128, 0x8080FF},
                                     {1, 0, 255, 0xFFFFFF}, {1, 1, 128, 0xFFFFFF}, {1, 2, 200, 0xFFFFFF},
                                     {1, 3, 128, 0xFFFFFF}, {1, 4, 0, 0xFFFFFF}};
    for (const auto& c : cases)
        for (std::int64_t loops : {0, 2}) b->Args({c[0], c[1], c[2], c[3], loops});
}
BENCHMARK(BM_FillRect)->Apply(FillRectArgs);

void BM_Memset(benchmark::State& state) {
    BenchImage img(static_cast<std::uint32_t>(state.range(0)));
    for (auto _ : state) {
        std::memset(img.pixels.data(), 0x3C, img.pixels.size());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}
BENCHMARK(BM_Memset)->ArgName("kind")->Arg(0)->Arg(1);

// The fill's colour 0x00C08040 as pixman keeps a solid colour: 16 bits a
// channel, premultiplied by alpha. In a 16-bit image the colour is its low
// half, 5:6:5 red 16, green 2, blue 0.
pixman_color_t PixmanColour(std::uint32_t kind, std::uint32_t alpha) {
    const std::uint32_t c = 0x00C08040;
    std::uint32_t r = (c >> 16) & 0xFF, g = (c >> 8) & 0xFF, b = c & 0xFF;
    if (kind == 0) {
        const std::uint32_t v = c & 0xFFFF;
        r = ((v >> 11) & 31) * 255 / 31;
        g = ((v >> 5) & 63) * 255 / 63;
        b = (v & 31) * 255 / 31;
    }
    const auto premultiplied = [alpha](std::uint32_t channel) {
        return static_cast<std::uint16_t>(channel * 257 * alpha / 255);
    };
    return pixman_color_t{premultiplied(r), premultiplied(g), premultiplied(b), static_cast<std::uint16_t>(alpha * 257)};
}

pixman_image_t* PixmanImageOf(BenchImage& img) {
    return pixman_image_create_bits(img.image.kind == 1 ? PIXMAN_x8r8g8b8 : PIXMAN_r5g6b5, kWidth, kHeight,
                                    reinterpret_cast<std::uint32_t*>(img.pixels.data()),
                                    static_cast<int>(img.image.pitch));
}

// Arguments: pixel kind, alpha (the blend parameter).
void BM_PixmanOverSolid(benchmark::State& state) {
    const auto kind = static_cast<std::uint32_t>(state.range(0));
    BenchImage img(kind);
    pixman_image_t* dest = PixmanImageOf(img);
    const pixman_color_t colour = PixmanColour(kind, static_cast<std::uint32_t>(state.range(1)));
    pixman_image_t* solid = pixman_image_create_solid_fill(&colour);
    for (auto _ : state) {
        pixman_image_composite32(PIXMAN_OP_OVER, solid, nullptr, dest, 0, 0, 0, 0, 0, 0, kWidth, kHeight);
        benchmark::ClobberMemory();
    }
    pixman_image_unref(solid);
    pixman_image_unref(dest);
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}
BENCHMARK(BM_PixmanOverSolid)->ArgNames({"kind", "param"})->Args({0, 128})->Args({1, 128});

void BM_PixmanFill(benchmark::State& state) {
    const auto kind = static_cast<std::uint32_t>(state.range(0));
    BenchImage img(kind);
    const std::uint32_t value = kind == 1 ? 0x00C08040u : 0x80408040u;
    for (auto _ : state) {
        pixman_fill(reinterpret_cast<std::uint32_t*>(img.pixels.data()), static_cast<int>(img.image.pitch / 4),
                    kind == 1 ? 32 : 16, 0, 0, kWidth, kHeight, value);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}
BENCHMARK(BM_PixmanFill)->ArgName("kind")->Arg(0)->Arg(1);

// The fade: a full-screen translucent box of the colour (0, 0, 16), 5:6:5
// blue 2, at parameter 2n for n = 85 down to 1, frame after frame. Items are
// frames.
void BM_FadeFrames(benchmark::State& state) {
    BenchImage img(0);
    LoopsScope loops(state.range(0));
    int n = 85;
    for (auto _ : state) {
        FillRectMemImg(&img.image, nullptr, 0x0002, Settings(1, static_cast<std::uint32_t>(2 * n), 0xFFFFFF));
        benchmark::ClobberMemory();
        if (--n == 0) n = 85;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FadeFrames)->ArgName("loops")->Arg(0)->Arg(2);

// Lines from the image's centre to every 8th point of its border: pixels
// counted are those drawn.
void BM_Lines(benchmark::State& state) {
    BenchImage img(static_cast<std::uint32_t>(state.range(0)));
    const SoftDrawSettings s = Settings(static_cast<std::uint32_t>(state.range(1)), 160, 0xFFFFFF);
    std::vector<LineRecord> lines;
    std::int64_t pixels = 0;
    auto add = [&](int x, int y) {
        lines.push_back(LineRecord{kWidth / 2, kHeight / 2, x, y, 0x00FF8040, 0});
        const int run = x - kWidth / 2, rise = y - kHeight / 2;
        pixels += std::max(run < 0 ? -run : run, rise < 0 ? -rise : rise);
    };
    for (int x = 0; x < kWidth; x += 8) {
        add(x, 0);
        add(x, kHeight - 1);
    }
    for (int y = 0; y < kHeight; y += 8) {
        add(0, y);
        add(kWidth - 1, y);
    }
    for (auto _ : state) {
        SoftDrawLines(&img.image, lines.data(), static_cast<std::int32_t>(lines.size()), s);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * pixels);
}
BENCHMARK(BM_Lines)->ArgNames({"kind", "mode"})->Args({0, 0})->Args({0, 1})->Args({0, 2})->Args({1, 0})->Args({1, 1});

}  // namespace
