// The pictures the blit benchmarks draw, the same pixels as our software
// images, SDL surfaces and pixman images, and how each of the three is set
// up for the draws compared: a 128 x 128 sprite (about 60% of it opaque, the
// rest the transparent colour), the same sprite without transparent pixels,
// and a 640 x 480 screen, in 16-bit 5:6:5 and 32-bit.
//
// SDL: colour key with run-length acceleration, alpha modulation with the
// blend mode BLEND, additive blend ADD, colour modulation for the bright
// colour. pixman: SRC for the copy; the keyed sprite as an a8r8g8b8 image
// whose transparent pixels have alpha 0, composited OVER (alpha: with a solid
// mask of the parameter) or ADD; the bright colour as a component-alpha
// solid mask, scaled by the parameter for alpha and add. Their arithmetic differs from ours (rounding, no guard bits):
// only the speed is compared.
#pragma once

#include <SDL.h>
#include <pixman.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "graphics/image/memimg.h"
#include "softrender/soft_draw_settings.h"

namespace blit_bench {

constexpr int kScreenW = 640, kScreenH = 480, kSprite = 128;
constexpr std::uint32_t kKey565 = 0xF81F, kKey888 = 0x00FF00FF;
constexpr std::uint32_t kBright = 0xFFA060;  // red 255, green 160, blue 96

enum class Op { kCopy, kKeyed, kAlpha, kAdd };

inline std::uint32_t Mode(Op op) { return op == Op::kAlpha ? 1 : (op == Op::kAdd ? 2 : 0); }
inline std::uint32_t Param(Op op) { return op == Op::kAlpha ? 100 : (op == Op::kAdd ? 200 : 255); }

// The sprite: a disc with a hole and a few stripes of the transparent colour.
inline bool Opaque(int x, int y) {
    const int dx = x - 64, dy = y - 64, r2 = dx * dx + dy * dy;
    return r2 < 60 * 60 && r2 > 12 * 12 && (y % 16) != 3;
}

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

inline MemImgPtr NewMemImg(int w, int h, int kind, std::uint32_t key) {
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

inline Images& ImagesFor(bool is32) {
    static Images images16(false), images32(true);
    return is32 ? images32 : images16;
}

// Our settings for the draw, over the whole screen.
inline SoftDrawSettings SettingsFor(Op op, bool bright) {
    return SoftDrawSettings{RECT{0, 0, kScreenW, kScreenH}, Mode(op), Param(op), bright ? kBright : 0xFFFFFFu};
}

// Our sprite for the draw: the plain one for the copy, else the keyed one.
inline const MEMIMG* SourceFor(Images& im, Op op) {
    return op == Op::kCopy ? im.opaqueSprite.get() : im.sprite.get();
}

// The surface set up for the draw: the plain sprite for the copy, else the
// keyed one with its colour key and run-length acceleration, the blend mode,
// the alpha parameter and the bright colour.
inline SDL_Surface* SdlSourceFor(Images& im, Op op, bool bright) {
    SDL_Surface* src = op == Op::kCopy ? im.sdlOpaque : im.sdlSprite;
    if (op != Op::kCopy) {
        SDL_SetColorKey(src, SDL_TRUE, im.is32 ? kKey888 : kKey565);
        SDL_SetSurfaceRLE(src, 1);
    }
    SDL_SetSurfaceBlendMode(src, op == Op::kAlpha ? SDL_BLENDMODE_BLEND
                                 : op == Op::kAdd ? SDL_BLENDMODE_ADD
                                                  : SDL_BLENDMODE_NONE);
    SDL_SetSurfaceAlphaMod(src, static_cast<Uint8>(Param(op)));
    if (bright) SDL_SetSurfaceColorMod(src, 0xFF, 0xA0, 0x60);
    else SDL_SetSurfaceColorMod(src, 0xFF, 0xFF, 0xFF);
    return src;
}

// Leaves the surface as found for the next case.
inline void SdlReset(SDL_Surface* src) {
    SDL_SetColorKey(src, SDL_FALSE, 0);
    SDL_SetSurfaceRLE(src, 0);
}

// The solid mask that carries the bright colour and the parameter, or null;
// the caller releases it. With a bright colour each component of the mask
// is the bright byte scaled by the parameter, so that pixman draws the
// same picture (at 255, the copies' parameter, the bright colour alone).
inline pixman_image_t* PixmanMaskFor(Op op, bool bright) {
    if (bright) {
        const auto scaled = [op](std::uint32_t byte) {
            return static_cast<std::uint16_t>(byte * 257 * Param(op) / 255);
        };
        const pixman_color_t tint{scaled(0xFF), scaled(0xA0), scaled(0x60), scaled(0xFF)};
        pixman_image_t* mask = pixman_image_create_solid_fill(&tint);
        pixman_image_set_component_alpha(mask, 1);
        return mask;
    }
    if (op == Op::kAlpha || op == Op::kAdd) {
        const auto a = static_cast<std::uint16_t>(Param(op) * 257);
        const pixman_color_t alpha{0, 0, 0, a};
        return pixman_image_create_solid_fill(&alpha);
    }
    return nullptr;
}

inline pixman_image_t* PixmanSourceFor(Images& im, Op op) { return op == Op::kCopy ? im.pxOpaque : im.pxSprite; }

inline pixman_op_t PixmanOpFor(Op op) {
    return op == Op::kCopy ? PIXMAN_OP_SRC : (op == Op::kAdd ? PIXMAN_OP_ADD : PIXMAN_OP_OVER);
}

// A pixman image sampled through a transform with the nearest filter while
// this lives; put back untransformed afterwards.
class PixmanTransformScope {
public:
    PixmanTransformScope(pixman_image_t* image, const pixman_transform_t& transform) : image_(image) {
        pixman_image_set_transform(image_, &transform);
        pixman_image_set_filter(image_, PIXMAN_FILTER_NEAREST, nullptr, 0);
    }
    ~PixmanTransformScope() {
        pixman_image_set_transform(image_, nullptr);
        pixman_image_set_filter(image_, PIXMAN_FILTER_FAST, nullptr, 0);
    }
    PixmanTransformScope(const PixmanTransformScope&) = delete;
    PixmanTransformScope& operator=(const PixmanTransformScope&) = delete;

private:
    pixman_image_t* image_;
};

}  // namespace blit_bench
