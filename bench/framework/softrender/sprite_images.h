// The pixels the renderer's benchmarks draw with: a 128 x 128 sprite (a disc
// with a hole and a few stripes of the transparent colour, about 60% of it
// opaque) and a 640 x 480 screen, as software images in 16-bit 5:6:5 or
// 32-bit.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "graphics/image/memimg.h"

namespace bench_images {

constexpr int kScreenW = 640, kScreenH = 480, kSprite = 128;
constexpr std::uint32_t kKey565 = 0xF81F, kKey888 = 0x00FF00FF;

inline bool Opaque(int x, int y) {
    const int dx = x - 64, dy = y - 64, r2 = dx * dx + dy * dy;
    return r2 < 60 * 60 && r2 > 12 * 12 && (y % 16) != 3;
}

// 0x00RRGGBB.
inline std::uint32_t ColourAt(int x, int y) {
    return static_cast<std::uint32_t>((x * 2) & 0xFF) << 16 | static_cast<std::uint32_t>((y * 2) & 0xFF) << 8 |
           static_cast<std::uint32_t>((x + y) & 0xFF);
}
inline std::uint16_t To565(std::uint32_t c) {
    return static_cast<std::uint16_t>(((c >> 8) & 0xF800) | ((c >> 5) & 0x07E0) | ((c >> 3) & 0x001F));
}

struct MemImgDeleter {
    void operator()(MEMIMG* image) const {
        ReleaseMemImg(image);
        delete image;
    }
};
using MemImgPtr = std::unique_ptr<MEMIMG, MemImgDeleter>;

// With derivedBuffers the run table (and premultiplied copy) are made too.
inline MemImgPtr NewMemImg(int w, int h, int kind, std::uint32_t key, int derivedBuffers) {
    MemImgPtr image(new MEMIMG{});
    if (InitMemImg(image.get(), w, h, -1, key, kind, 0, 0, derivedBuffers) != 0) std::abort();
    return image;
}

inline void Put(MEMIMG* image, int x, int y, std::uint32_t v) {
    std::uint8_t* p = image->pixels + static_cast<std::size_t>(y) * image->pitch;
    if (image->kind == kMemImgKind888) {
        std::memcpy(p + x * 4, &v, 4);
    } else {
        const auto w = static_cast<std::uint16_t>(v);
        std::memcpy(p + x * 2, &w, 2);
    }
}

// The sprite's pixel (the transparent colour where it is not opaque) and
// the screen's, in the image's format.
inline std::uint32_t SpritePixel(int x, int y, bool is32) {
    if (!Opaque(x, y)) return is32 ? kKey888 : kKey565;
    return is32 ? ColourAt(x, y) : To565(ColourAt(x, y));
}
inline std::uint32_t ScreenPixel(int x, int y, bool is32) {
    return is32 ? ColourAt(x * 3, y * 5) : To565(ColourAt(x * 3, y * 5));
}

}  // namespace bench_images
