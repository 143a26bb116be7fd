// Throughput of the unscaled blit on the drawing the game does most: a
// 128 x 128 sprite (about 60% of it opaque, the rest the transparent colour)
// drawn unclipped onto a 640 x 480 screen, in 16-bit 5:6:5 and 32-bit, as a
// plain copy, colour-keyed, with an alpha parameter and added, each with and
// without a bright colour; and the keyed and alpha draws once more with 16
// columns hanging off the screen's edge, where our general loops stand in for
// the run-list ones. Beside each: SDL2's software blitter and pixman doing
// the nearest equivalent on the same pixels, and memcpy of the same bytes
// (row by row, the opaque sprite's 128 x 128). Items are the source pixels
// on the screen, so items/s are pixels per second.
//
// SDL: colour key with run-length acceleration, alpha modulation with the
// blend mode BLEND, additive blend ADD, colour modulation for the bright
// colour. pixman: SRC for the copy; the keyed sprite as an a8r8g8b8 image
// whose transparent pixels have alpha 0, composited OVER (alpha: with a solid
// mask of the parameter) or ADD; the bright colour as a component-alpha
// solid mask. Their arithmetic differs from ours (rounding, no guard bits):
// only the speed is compared.
#include <benchmark/benchmark.h>

#include <SDL.h>
#include <pixman.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "graphics/image/memimg.h"
#include "softrender/blit_memimg.h"

namespace {

constexpr int kScreenW = 640, kScreenH = 480, kSprite = 128;
constexpr std::uint32_t kKey565 = 0xF81F, kKey888 = 0x00FF00FF;
constexpr std::uint32_t kBright = 0xFFA060;  // red 255, green 160, blue 96

enum class Op { kCopy, kKeyed, kAlpha, kAdd };

struct Case {
    Op op;
    bool bright;
    bool clipped = false;  // 16 columns hang off the screen's left edge
};

std::uint32_t Mode(Op op) { return op == Op::kAlpha ? 1 : (op == Op::kAdd ? 2 : 0); }
std::uint32_t Param(Op op) { return op == Op::kAlpha ? 100 : (op == Op::kAdd ? 200 : 255); }

// The sprite: a disc with a hole and a few stripes of the transparent colour.
bool Opaque(int x, int y) {
    const int dx = x - 64, dy = y - 64, r2 = dx * dx + dy * dy;
    return r2 < 60 * 60 && r2 > 12 * 12 && (y % 16) != 3;
}

std::uint32_t ColourAt(int x, int y) {
    return static_cast<std::uint32_t>((x * 2) & 0xFF) << 16 | static_cast<std::uint32_t>((y * 2) & 0xFF) << 8 |
           static_cast<std::uint32_t>((x + y) & 0xFF);
}
std::uint16_t To565(std::uint32_t c) {
    return static_cast<std::uint16_t>(((c >> 8) & 0xF800) | ((c >> 5) & 0x07E0) | ((c >> 3) & 0x001F));
}

struct MemImgDeleter {
    void operator()(MEMIMG* image) const {
        ReleaseMemImg(image);
        delete image;
    }
};
using MemImgPtr = std::unique_ptr<MEMIMG, MemImgDeleter>;

MemImgPtr NewMemImg(int w, int h, int kind, std::uint32_t key) {
    MemImgPtr image(new MEMIMG{});
    if (InitMemImg(image.get(), w, h, -1, key, kind, 0, 0, 1) != 0) std::abort();
    return image;
}

// The same pixels as a MEMIMG (with its run list), an SDL surface and a
// pixman image, plus a screen of each.
struct Images {
    bool is32;
    MemImgPtr sprite, opaqueSprite, screen;
    SDL_Surface* sdlSprite = nullptr;
    SDL_Surface* sdlOpaque = nullptr;
    SDL_Surface* sdlScreen = nullptr;
    std::vector<std::uint32_t> argb;  // the keyed sprite, premultiplied, alpha 0 where transparent
    pixman_image_t* pxSprite = nullptr;
    pixman_image_t* pxOpaque = nullptr;
    pixman_image_t* pxScreen = nullptr;

    explicit Images(bool thirtyTwo) : is32(thirtyTwo) {
        const int kind = is32 ? kMemImgKind888 : kMemImgKind565;
        const std::uint32_t key = is32 ? kKey888 : kKey565;
        sprite = NewMemImg(kSprite, kSprite, kind, key);
        opaqueSprite = NewMemImg(kSprite, kSprite, kind, key);
        screen = NewMemImg(kScreenW, kScreenH, kind, 0xFFFFFFFF);
        argb.resize(kSprite * kSprite);
        for (int y = 0; y < kSprite; ++y)
            for (int x = 0; x < kSprite; ++x) {
                const std::uint32_t c = ColourAt(x, y);
                const bool opaque = Opaque(x, y);
                Put(sprite.get(), x, y, opaque ? (is32 ? c : To565(c)) : key);
                Put(opaqueSprite.get(), x, y, is32 ? c : To565(c));
                argb[y * kSprite + x] = opaque ? (0xFF000000u | c) : 0;
            }
        for (int y = 0; y < kScreenH; ++y)
            for (int x = 0; x < kScreenW; ++x) {
                const std::uint32_t c = ColourAt(x * 3, y * 5);
                Put(screen.get(), x, y, is32 ? c : To565(c));
            }
        BuildMemImgRunTable(sprite.get());
        sprite->runTableValid = 1;

        const Uint32 format = is32 ? SDL_PIXELFORMAT_RGB888 : SDL_PIXELFORMAT_RGB565;
        const int depth = is32 ? 32 : 16;
        sdlSprite = SDL_CreateRGBSurfaceWithFormatFrom(sprite->pixels, kSprite, kSprite, depth,
                                                       static_cast<int>(sprite->pitch), format);
        sdlOpaque = SDL_CreateRGBSurfaceWithFormatFrom(opaqueSprite->pixels, kSprite, kSprite, depth,
                                                       static_cast<int>(opaqueSprite->pitch), format);
        sdlScreen = SDL_CreateRGBSurfaceWithFormatFrom(screen->pixels, kScreenW, kScreenH, depth,
                                                       static_cast<int>(screen->pitch), format);

        const pixman_format_code_t px = is32 ? PIXMAN_x8r8g8b8 : PIXMAN_r5g6b5;
        pxSprite = pixman_image_create_bits(PIXMAN_a8r8g8b8, kSprite, kSprite, argb.data(), kSprite * 4);
        pxOpaque = pixman_image_create_bits(px, kSprite, kSprite, reinterpret_cast<std::uint32_t*>(opaqueSprite->pixels),
                                            static_cast<int>(opaqueSprite->pitch));
        pxScreen = pixman_image_create_bits(px, kScreenW, kScreenH, reinterpret_cast<std::uint32_t*>(screen->pixels),
                                            static_cast<int>(screen->pitch));
    }
    ~Images() {
        SDL_FreeSurface(sdlSprite);
        SDL_FreeSurface(sdlOpaque);
        SDL_FreeSurface(sdlScreen);
        pixman_image_unref(pxSprite);
        pixman_image_unref(pxOpaque);
        pixman_image_unref(pxScreen);
    }

    static void Put(MEMIMG* image, int x, int y, std::uint32_t v) {
        std::uint8_t* p = image->pixels + static_cast<std::size_t>(y) * image->pitch;
        if (image->kind == kMemImgKind888) std::memcpy(p + x * 4, &v, 4);
        else {
            const auto w = static_cast<std::uint16_t>(v);
            std::memcpy(p + x * 2, &w, 2);
        }
    }
};

Images& ImagesFor(bool is32) {
    static Images images16(false), images32(true);
    return is32 ? images32 : images16;
}

constexpr int kClippedColumns = 16;

// Sprite positions spread over the screen, unclipped, or hanging off the
// left edge.
struct Positions {
    bool clipped = false;
    int i = 0;
    void Next(int* x, int* y) {
        *x = clipped ? -kClippedColumns : (i * 37) % (kScreenW - kSprite);
        *y = (i * 23) % (kScreenH - kSprite);
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
    const SoftDrawSettings settings{RECT{0, 0, kScreenW, kScreenH}, Mode(c.op), Param(c.op),
                                    c.bright ? kBright : 0xFFFFFFu};
    const MEMIMG* src = c.op == Op::kCopy ? im.opaqueSprite.get() : im.sprite.get();
    const int transparent = c.op == Op::kCopy ? 0 : 1;
    Positions at{c.clipped};
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
    SDL_Surface* src = c.op == Op::kCopy ? im.sdlOpaque : im.sdlSprite;
    if (c.op != Op::kCopy) {
        SDL_SetColorKey(src, SDL_TRUE, is32 ? kKey888 : kKey565);
        SDL_SetSurfaceRLE(src, 1);
    }
    SDL_SetSurfaceBlendMode(src, c.op == Op::kAlpha ? SDL_BLENDMODE_BLEND
                                 : c.op == Op::kAdd ? SDL_BLENDMODE_ADD
                                                    : SDL_BLENDMODE_NONE);
    SDL_SetSurfaceAlphaMod(src, static_cast<Uint8>(Param(c.op)));
    if (c.bright) SDL_SetSurfaceColorMod(src, 0xFF, 0xA0, 0x60);
    else SDL_SetSurfaceColorMod(src, 0xFF, 0xFF, 0xFF);
    Positions at{c.clipped};
    for (auto _ : state) {
        int x, y;
        at.Next(&x, &y);
        SDL_Rect dst{x, y, kSprite, kSprite};
        SDL_BlitSurface(src, nullptr, im.sdlScreen, &dst);
        benchmark::ClobberMemory();
    }
    // Leave the surface as found for the next case.
    SDL_SetColorKey(src, SDL_FALSE, 0);
    SDL_SetSurfaceRLE(src, 0);
    Finish(state, c.clipped);
}

// ---- pixman -------------------------------------------------------------------

void Pixman(benchmark::State& state, bool is32, Case c) {
    Images& im = ImagesFor(is32);
    pixman_image_t* mask = nullptr;
    if (c.bright) {
        const pixman_color_t tint{0xFFFF, 0xA0A0, 0x6060, 0xFFFF};
        mask = pixman_image_create_solid_fill(&tint);
        pixman_image_set_component_alpha(mask, 1);
    } else if (c.op == Op::kAlpha || c.op == Op::kAdd) {
        const auto a = static_cast<std::uint16_t>(Param(c.op) * 257);
        const pixman_color_t alpha{0, 0, 0, a};
        mask = pixman_image_create_solid_fill(&alpha);
    }
    pixman_image_t* src = c.op == Op::kCopy ? im.pxOpaque : im.pxSprite;
    const pixman_op_t op = c.op == Op::kCopy ? PIXMAN_OP_SRC : (c.op == Op::kAdd ? PIXMAN_OP_ADD : PIXMAN_OP_OVER);
    Positions at{c.clipped};
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

void Memcpy(benchmark::State& state, bool is32) {
    Images& im = ImagesFor(is32);
    const std::size_t rowBytes = static_cast<std::size_t>(kSprite) * (is32 ? 4 : 2);
    std::uint8_t* const screen = im.screen->pixels;
    const std::uint8_t* const sprite = im.opaqueSprite->pixels;
    const std::size_t destPitch = im.screen->pitch, srcPitch = im.opaqueSprite->pitch;
    Positions at;
    for (auto _ : state) {
        int x, y;
        at.Next(&x, &y);
        std::uint8_t* d = screen + static_cast<std::size_t>(y) * destPitch + x * (is32 ? 4 : 2);
        const std::uint8_t* s = sprite;
        for (int row = 0; row < kSprite; ++row) {
            std::memcpy(d, s, rowBytes);
            d += destPitch;
            s += srcPitch;
        }
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
        benchmark::RegisterBenchmark(("memcpy/" + depth + "copy").c_str(),
                                     [is32](benchmark::State& s) { Memcpy(s, is32); });
    }
}

const bool kRegistered = (RegisterAll(), true);

}  // namespace
