// For the benchmarks: a graphic made from a 24-bit picture given as a function
// of (x, y), the way the framework makes a loaded image on the road it runs
// (black is the transparent colour). Aborts when it cannot be made.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "graphics/draw/graph_load.h"
#include "graphics/image/base_image.h"

template <typename Rgb>
HandleId MakeGraphFromRgb(int w, int h, Rgb rgb) {
    GraphImage image{};
    if (CreateBaseImage(w, h, &image) != 0) std::abort();
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const std::uint32_t c = rgb(x, y);
            std::uint8_t* p = image.pixels + static_cast<std::size_t>(y) * image.pitch + x * 3;
            p[0] = static_cast<std::uint8_t>(c);
            p[1] = static_cast<std::uint8_t>(c >> 8);
            p[2] = static_cast<std::uint8_t>(c >> 16);
        }
    const HandleId g = MakeGraphFromImages(&image, nullptr, 1, 0, 0);
    ReleaseBaseImage(&image);
    if (g < 0) std::abort();
    return g;
}
