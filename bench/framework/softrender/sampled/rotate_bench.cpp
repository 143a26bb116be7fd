// Throughput of the rotated blit as the game uses it for effects: a 128 x 128
// sprite (about 60% opaque, the rest the transparent colour) turned by pi/5
// and scaled by 1.3, drawn colour-keyed onto a 640 x 480 screen in 16-bit
// 5:6:5 and 32-bit, in each blend mode. Beside each, pixman doing the
// same operation on the same pixels: the sprite as an a8r8g8b8 image whose
// transparent pixels have alpha 0, sampled through an affine transform with
// the nearest filter over the turned image's bounding box, composited OVER
// (copy; alpha with a solid mask of the parameter) or ADD (with the
// parameter as mask). Multiply (each channel of the screen times the
// sprite's) is pixman's OVER of solid black through the sprite's inverse as
// a component-alpha mask: d * (1 - (1 - s)) = d * s, nothing where the mask
// is 0. Subtract saturates at 0, which no pixman operator does (DIFFERENCE
// is |d - s|, a heavier other thing): it has no pixman row. Their rounding
// differs from ours: only the speed is compared. Items are the destination
// pixels the turned sprite covers, so items/s are pixels per second.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "framework/softrender/blit_bench_images.h"
#include "softrender/sampled/rotate_memimg.h"

namespace {

using namespace blit_bench;

constexpr float kAngle = 3.14159265f / 5, kScale = 1.3f;
// The turned sprite's bounding box, and the pixels it covers.
const int kBox = static_cast<int>(std::ceil(kSprite * kScale * (std::cos(kAngle) + std::sin(kAngle)))) + 2;
constexpr double kCovered = kSprite * kScale * kSprite * kScale;

// The transform that turns the sprite: box pixel (X, Y) samples it at the
// inverse turn of its offset from the box's centre.
pixman_transform_t TurnTransform() {
    const double c = std::cos(kAngle) / kScale, s = std::sin(kAngle) / kScale, half = kBox / 2.0;
    pixman_transform_t t;
    pixman_transform_init_identity(&t);
    t.matrix[0][0] = pixman_double_to_fixed(c);
    t.matrix[0][1] = pixman_double_to_fixed(s);
    t.matrix[0][2] = pixman_double_to_fixed(-half * (c + s) + kSprite / 2.0);
    t.matrix[1][0] = pixman_double_to_fixed(-s);
    t.matrix[1][1] = pixman_double_to_fixed(c);
    t.matrix[1][2] = pixman_double_to_fixed(half * (s - c) + kSprite / 2.0);
    return t;
}

// How pixman draws a blend mode, if it can.
enum class PixmanWay { kNone, kSprite, kSpriteUnderParam, kBlackThroughInverse };

struct BlendCase {
    const char* name;
    std::uint32_t mode, param;
    pixman_op_t op;
    PixmanWay way;
};
const BlendCase kModes[] = {
    {"copy", 0, 255, PIXMAN_OP_OVER, PixmanWay::kSprite},
    {"alpha", 1, 100, PIXMAN_OP_OVER, PixmanWay::kSpriteUnderParam},
    {"add", 2, 200, PIXMAN_OP_ADD, PixmanWay::kSpriteUnderParam},
    {"subtract", 3, 200, PIXMAN_OP_OVER, PixmanWay::kNone},
    {"multiply", 4, 255, PIXMAN_OP_OVER, PixmanWay::kBlackThroughInverse},
};

// The sprite's inverse for multiply: 1 - s in each channel where it is
// opaque, 0 (leaving the screen alone) where it is transparent.
struct InverseSprite {
    std::vector<std::uint32_t> argb;
    pixman_image_t* image = nullptr;
    explicit InverseSprite(const Images& im) : argb(im.argb) {
        for (std::uint32_t& p : argb)
            if (p != 0) p = 0xFF000000u | (~p & 0x00FFFFFFu);
        image = pixman_image_create_bits(PIXMAN_a8r8g8b8, kSprite, kSprite, argb.data(), kSprite * 4);
        pixman_image_set_component_alpha(image, 1);
    }
    ~InverseSprite() { pixman_image_unref(image); }
    InverseSprite(const InverseSprite&) = delete;
    InverseSprite& operator=(const InverseSprite&) = delete;
};

// Centres spread over the screen, the turned sprite always wholly on it.
void NextCentre(int* i, int* x, int* y) {
    *x = kBox / 2 + (*i * 37) % (kScreenW - kBox);
    *y = kBox / 2 + (*i * 23) % (kScreenH - kBox);
    ++*i;
}

void Ours(benchmark::State& state, bool is32, const BlendCase& m) {
    Images& im = ImagesFor(is32);
    const SoftDrawSettings settings{RECT{0, 0, kScreenW, kScreenH}, m.mode, m.param, 0xFFFFFFu};
    int i = 0;
    for (auto _ : state) {
        int x, y;
        NextCentre(&i, &x, &y);
        DrawRotateMemImg(im.screen.get(), im.sprite.get(), x, y, kAngle, kScale, 1, 0, nullptr, settings);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kCovered));
}

void Pixman(benchmark::State& state, bool is32, const BlendCase& m) {
    Images& im = ImagesFor(is32);
    const InverseSprite inverse(im);
    pixman_image_t* source = im.pxSprite;
    pixman_image_t* mask = nullptr;
    pixman_image_t* turnedImage = im.pxSprite;
    if (m.way == PixmanWay::kSpriteUnderParam) {
        const pixman_color_t alpha{0, 0, 0, static_cast<std::uint16_t>(m.param * 257)};
        mask = pixman_image_create_solid_fill(&alpha);
    } else if (m.way == PixmanWay::kBlackThroughInverse) {
        const pixman_color_t black{0, 0, 0, 0xFFFF};
        source = pixman_image_create_solid_fill(&black);
        mask = inverse.image;
        turnedImage = inverse.image;
    }
    {
        const PixmanTransformScope turned(turnedImage, TurnTransform());
        int i = 0;
        for (auto _ : state) {
            int x, y;
            NextCentre(&i, &x, &y);
            pixman_image_composite32(m.op, source, mask, im.pxScreen, 0, 0, 0, 0, x - kBox / 2, y - kBox / 2, kBox,
                                     kBox);
            benchmark::ClobberMemory();
        }
    }
    if (m.way == PixmanWay::kSpriteUnderParam) pixman_image_unref(mask);
    if (m.way == PixmanWay::kBlackThroughInverse) pixman_image_unref(source);
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kCovered));
}

void RegisterAll() {
    for (bool is32 : {false, true}) {
        const std::string depth = is32 ? "32/" : "16/";
        for (const BlendCase& m : kModes) {
            benchmark::RegisterBenchmark(("ours/" + depth + m.name).c_str(),
                                         [is32, &m](benchmark::State& s) { Ours(s, is32, m); });
            if (m.way != PixmanWay::kNone)
                benchmark::RegisterBenchmark(("pixman/" + depth + m.name).c_str(),
                                             [is32, &m](benchmark::State& s) { Pixman(s, is32, m); });
        }
    }
}

const bool kRegistered = (RegisterAll(), true);

}  // namespace
