// Throughput of the rectangle fill and the line drawing on a 640 x 480 image,
// in pixels per second, per pixel size and blend mode. A full-screen fill in
// copy mode is also measured beside memset of the same bytes.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "graphics/image/color_format.h"
#include "graphics/image/memimg.h"
#include "softrender/fill/fill_rect.h"
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

// Arguments: pixel kind (0 16-bit, 1 32-bit), blend mode, parameter, bright.
void BM_FillRect(benchmark::State& state) {
    BenchImage img(static_cast<std::uint32_t>(state.range(0)));
    const SoftDrawSettings s = Settings(static_cast<std::uint32_t>(state.range(1)),
                                        static_cast<std::uint32_t>(state.range(2)),
                                        static_cast<std::uint32_t>(state.range(3)));
    for (auto _ : state) {
        FillRectMemImg(&img.image, nullptr, 0x00C08040, s);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}
BENCHMARK(BM_FillRect)
    ->ArgNames({"kind", "mode", "param", "bright"})
    ->Args({0, 0, 255, 0xFFFFFF})
    ->Args({0, 1, 128, 0xFFFFFF})
    ->Args({0, 2, 200, 0xFFFFFF})
    ->Args({0, 3, 128, 0xFFFFFF})
    ->Args({0, 4, 0, 0xFFFFFF})
    ->Args({0, 1, 128, 0x8080FF})
    ->Args({1, 0, 255, 0xFFFFFF})
    ->Args({1, 1, 128, 0xFFFFFF})
    ->Args({1, 2, 200, 0xFFFFFF})
    ->Args({1, 3, 128, 0xFFFFFF})
    ->Args({1, 4, 0, 0xFFFFFF});

void BM_Memset(benchmark::State& state) {
    BenchImage img(static_cast<std::uint32_t>(state.range(0)));
    for (auto _ : state) {
        std::memset(img.pixels.data(), 0x3C, img.pixels.size());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}
BENCHMARK(BM_Memset)->ArgName("kind")->Arg(0)->Arg(1);

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
