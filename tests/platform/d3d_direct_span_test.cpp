// The rasteriser's straight loops (texel copies through column tables, keyed
// copies, fills, blends on 16-bit targets) against its plain per-pixel
// reference, drawn straight into memory: every state the framework draws
// with, over the quads it sends (1:1, stretched, mirrored, clipped), and
// every 16-bit texel and pixel value, must give the same bytes both ways.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "d3d/raster.h"
#include "d3d/texture_shadow.h"

namespace {

constexpr PlatformPixelLayout kA1R5G5B5{16, 0x7C00, 0x03E0, 0x001F, 0x8000};
constexpr PlatformPixelLayout kA4R4G4B4{16, 0x0F00, 0x00F0, 0x000F, 0xF000};
constexpr PlatformPixelLayout kA8R8G8B8{32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000u};

struct Image {
    PlatformPixelLayout layout;
    int width, height;
    std::vector<std::uint8_t> bytes;

    Image(const PlatformPixelLayout& l, int w, int h)
        : layout(l), width(w), height(h), bytes(static_cast<std::size_t>(w * h * l.BytesPerPixel())) {}
    void Set(int i, std::uint32_t v) { std::memcpy(&bytes[static_cast<std::size_t>(i * layout.BytesPerPixel())], &v, static_cast<std::size_t>(layout.BytesPerPixel())); }
    int Pitch() const { return width * layout.BytesPerPixel(); }
};

struct States {
    DWORD colorOp, colorArg1, colorArg2;
    DWORD alphaOp, alphaArg1, alphaArg2;
    bool alphaTest;
    DWORD alphaFunc, alphaRef;
    int blend;  // 0 none, 1 alpha, 2 add, 3 invert (subtraction's step), 4 multiply
};

// A framework quad: (top-left, top-right, bottom-left), (bottom-right,
// bottom-left, top-right), pixel centres on the corners minus a half.
void AddQuad(std::vector<RasterVertex>* v, float x0, float y0, float x1, float y1, float u0, float v0, float u1,
             float v1, std::uint32_t diffuse) {
    auto at = [&](float x, float y, float u, float vv) {
        return RasterVertex{x - 0.5f, y - 0.5f, 0.2f, diffuse, 0, {u, u}, {vv, vv}};
    };
    const RasterVertex tl = at(x0, y0, u0, v0), tr = at(x1, y0, u1, v0), bl = at(x0, y1, u0, v1),
                       br = at(x1, y1, u1, v1);
    v->insert(v->end(), {tl, tr, bl, br, bl, tr});
}

// How a draw is rasterised: per pixel, by the straight loops reading the
// texels, or by them over the texture's shadow.
enum class Way { Reference, Loops, Shadow };

// Draws onto a copy of `background` the given way.
std::vector<std::uint8_t> Render(const Image& background, const Image* texture, const States& s,
                                 const std::vector<RasterVertex>& vertices, Way way) {
    Image target = background;
    RasterPipeline p;
    p.target = {target.bytes.data(), target.Pitch(), target.width, target.height, target.layout,
                DecodeTable16(target.layout), nullptr, 0};
    p.clip = {0, 0, target.width, target.height};
    RasterTexture t;
    if (texture != nullptr) {
        t.bits = texture->bytes.data();
        t.pitch = texture->Pitch();
        t.width = texture->width;
        t.height = texture->height;
        t.layout = texture->layout;
        t.decode16 = DecodeTable16(texture->layout);
    }
    std::unique_ptr<TextureShadow> shadow;
    if (texture != nullptr && way == Way::Shadow) {
        shadow = std::make_unique<TextureShadow>(t.bits, t.pitch, t.width, t.height, t.layout, target.layout);
        t.shadow = shadow.get();
    }
    p.stages[0] = {s.colorOp, s.colorArg1, s.colorArg2, s.alphaOp, s.alphaArg1, s.alphaArg2,
                   0,         D_D3DTADDRESS_CLAMP, false, texture != nullptr ? &t : nullptr};
    p.stageCount = 1;
    p.alphaTest = s.alphaTest;
    p.alphaFunc = s.alphaFunc;
    p.alphaRef = s.alphaRef;
    p.blend = s.blend != 0;
    const DWORD factors[][2] = {{D_D3DBLEND_ONE, D_D3DBLEND_ZERO},
                                {D_D3DBLEND_SRCALPHA, D_D3DBLEND_INVSRCALPHA},
                                {D_D3DBLEND_SRCALPHA, D_D3DBLEND_ONE},
                                {D_D3DBLEND_INVDESTCOLOR, D_D3DBLEND_ZERO},
                                {D_D3DBLEND_ZERO, D_D3DBLEND_SRCCOLOR}};
    p.srcBlend = factors[s.blend][0];
    p.destBlend = factors[s.blend][1];
    p.fastSpans = way != Way::Reference;
    std::vector<RasterPrim> prims;
    EXPECT_TRUE(BuildPrims(D_D3DPT_TRIANGLELIST, vertices, false, &prims));
    RasterDraw(p, vertices, prims);
    return target.bytes;
}

// Random pixels; the alpha of a texture comes in runs of 1 to 24 texels, as
// in keyed sprites, so whole blocks of kept or dropped texels occur.
Image Random(const PlatformPixelLayout& layout, int w, int h, std::mt19937* random) {
    Image image(layout, w, h);
    std::uint32_t alpha = 0;
    int left = 0;
    for (int i = 0; i < w * h; ++i, --left) {
        if (left == 0) {
            // Clear, opaque and partly clear runs alike.
            left = 1 + static_cast<int>((*random)() % 24);
            const std::uint32_t kind = (*random)() % 3;
            alpha = kind == 0 ? 0 : kind == 1 ? layout.alphaMask : (*random)() & layout.alphaMask;
        }
        image.Set(i, ((*random)() & ~layout.alphaMask) | alpha);
    }
    return image;
}

const PlatformPixelLayout kTargets[] = {kLayout565, kLayout555, kLayoutX888};

// Every way a draw can go against the reference, for the states the
// framework draws with: each target and texture format, the stage
// operations of the stage table, the alpha test either way round, every
// blend of the blend table, white, bright and translucent diffuse colours;
// over the quads it sends (1:1 inside and over every edge, twice the size
// and mirrored at both, three times, shrunk, stretched by odd steps) and
// loose triangles.
TEST(D3DDirectSpanTest, EveryDrawStateOverTheFrameworksQuadsGivesTheReferenceBytes) {
    std::mt19937 random(77);
    const PlatformPixelLayout textureLayouts[] = {kA1R5G5B5, kLayout565, kA4R4G4B4, kA8R8G8B8, kLayoutX888};
    const DWORD colorChoices[][3] = {{D_D3DTOP_SELECTARG1, D_D3DTA_TEXTURE, D_D3DTA_DIFFUSE},
                                     {D_D3DTOP_MODULATE, D_D3DTA_TEXTURE, D_D3DTA_DIFFUSE},
                                     {D_D3DTOP_SELECTARG2, D_D3DTA_TEXTURE, D_D3DTA_DIFFUSE}};
    const DWORD alphaChoices[][3] = {{D_D3DTOP_SELECTARG1, D_D3DTA_TEXTURE, D_D3DTA_DIFFUSE},
                                     {D_D3DTOP_MODULATE, D_D3DTA_TEXTURE, D_D3DTA_DIFFUSE},
                                     {D_D3DTOP_SELECTARG2, D_D3DTA_TEXTURE, D_D3DTA_DIFFUSE},
                                     {D_D3DTOP_DISABLE, D_D3DTA_TEXTURE, D_D3DTA_DIFFUSE}};
    const DWORD tests[][3] = {{0, D_D3DCMP_ALWAYS, 0},
                              {1, D_D3DCMP_GREATER, 16},
                              {1, D_D3DCMP_GREATER, 0},
                              {1, D_D3DCMP_GREATEREQUAL, 128},
                              {1, D_D3DCMP_LESS, 200}};
    const std::uint32_t diffuses[] = {0xFFFFFFFF, 0x80FFFFFF, 0xFF8040C0, 0x40FF2010, 0x00FFFFFF, 0xC8FFFFFF};
    constexpr int kSide = 64, kTexture = 40;
    int round = 0, drawn = 0;
    for (const PlatformPixelLayout& targetLayout : kTargets)
        for (int textureKind = -1; textureKind < 5; ++textureKind)
            for (const auto& color : colorChoices)
                for (const auto& alpha : alphaChoices)
                    for (const auto& test : tests)
                        for (int blend = 0; blend < 5; ++blend, ++round) {
                            if (random() % 5 != 0) continue;  // a fifth of the states, in seeded turn
                            ++drawn;
                            const Image background = Random(targetLayout, kSide, kSide, &random);
                            const Image texture =
                                Random(textureKind < 0 ? kA1R5G5B5 : textureLayouts[textureKind], kTexture, kTexture,
                                       &random);
                            const States s{color[0], color[1], color[2], alpha[0], alpha[1], alpha[2],
                                           test[0] != 0, test[1], test[2], blend};
                            const std::uint32_t d = diffuses[round % std::size(diffuses)];
                            std::vector<RasterVertex> v;
                            AddQuad(&v, 3, 4, 43, 44, 0, 0, 1, 1, d);
                            AddQuad(&v, -5, -7, 35, 33, 0, 0, 1, 1, d);
                            AddQuad(&v, 37, 30, 77, 70, 0, 0, 1, 1, d);
                            AddQuad(&v, 20, 2, 60, 42, 0.1f, 0.2f, 0.6f, 0.7f, d);
                            AddQuad(&v, 40, 30, 0, 70, 0, 0, 1, 1, d);
                            AddQuad(&v, 60, 20, 28, 52, 0.25f, 0, 1, 1, d);
                            AddQuad(&v, 2, 40, 14, 52, 0.0625f, 0, 0.9375f, 1, d);
                            AddQuad(&v, 10, 22, 31, 39, 0, 0.125f, 1, 0.875f, d);
                            // Twice the size, and mirrored, from odd and even
                            // places; three times; shrunk.
                            AddQuad(&v, -9, 5, 71, 85, 0, 0, 1, 1, d);
                            AddQuad(&v, 61, -3, -19, 77, 0, 0, 1, 1, d);
                            AddQuad(&v, 8, 9, 48, 49, 0.25f, 0.25f, 0.75f, 0.75f, d);
                            AddQuad(&v, 50, 12, 10, 52, 0.275f, 0.1f, 0.775f, 0.6f, d);
                            AddQuad(&v, 1, 1, 61, 61, 0.25f, 0.25f, 0.75f, 0.75f, d);
                            AddQuad(&v, 30, 30, 50, 50, 0, 0, 1, 1, d);
                            v.push_back({5.3f, 60.1f, 0.2f, d, 0, {0.1f, 0.1f}, {0.9f, 0.9f}});
                            v.push_back({30.7f, 41.0f, 0.2f, d, 0, {0.8f, 0.8f}, {0.2f, 0.2f}});
                            v.push_back({44.2f, 63.5f, 0.2f, d, 0, {0.5f, 0.5f}, {0.6f, 0.6f}});
                            const Image* t = textureKind < 0 ? nullptr : &texture;
                            const auto reference = Render(background, t, s, v, Way::Reference);
                            for (Way way : {Way::Loops, Way::Shadow})
                                ASSERT_EQ(Render(background, t, s, v, way), reference)
                                    << (way == Way::Shadow ? "over the shadow, " : "") << "round " << round
                                    << " target " << targetLayout.bitsPerPixel << "/" << targetLayout.greenMask
                                    << " texture " << textureKind << " colour op " << color[0] << " alpha op "
                                    << alpha[0] << " test " << test[1] << "/" << test[2] << " blend " << blend
                                    << " diffuse " << std::hex << d;
                        }
    EXPECT_GT(drawn, 200);
}

// Every 16-bit texel value over every 16-bit pixel value: a 256 x 256
// texture holding each value once, drawn 1:1 and at 2x over a target
// holding each value once (in another order), copied, keyed by the alpha
// test either way, and blended.
TEST(D3DDirectSpanTest, EverySixteenBitValueGivesTheReferenceBytes) {
    const States copy{D_D3DTOP_SELECTARG1, D_D3DTA_TEXTURE, D_D3DTA_DIFFUSE, D_D3DTOP_SELECTARG1, D_D3DTA_TEXTURE,
                      D_D3DTA_DIFFUSE,     false,           D_D3DCMP_ALWAYS, 0,
                      0};
    States keyed = copy;
    keyed.alphaTest = true;
    keyed.alphaFunc = D_D3DCMP_GREATER;
    States inverse = keyed;
    inverse.alphaFunc = D_D3DCMP_LESS;
    inverse.alphaRef = 128;
    States blended = copy;
    blended.alphaOp = D_D3DTOP_MODULATE;
    blended.blend = 1;
    States added = blended;
    added.blend = 2;
    const States states[] = {copy, keyed, inverse, blended, added};
    for (const PlatformPixelLayout& textureLayout : {kA1R5G5B5, kLayout565, kA4R4G4B4})
        for (const PlatformPixelLayout& targetLayout : {kLayout565, kLayout555}) {
            Image texture(textureLayout, 256, 256), background(targetLayout, 256, 256);
            for (int i = 0; i < 65536; ++i) {
                texture.Set(i, static_cast<std::uint32_t>(i));
                background.Set(i, static_cast<std::uint32_t>((i % 256) << 8 | i / 256));
            }
            for (const States& s : states) {
                // Copies go 1:1 and at 2x; blends take half the alpha.
                const std::uint32_t d = s.blend != 0 ? 0x80FFFFFFu : 0xFFFFFFFFu;
                std::vector<RasterVertex> one, twice;
                AddQuad(&one, -3, 0, 253, 256, 0, 0, 1, 1, d);
                AddQuad(&twice, 0, 0, 256, 256, 0.25f, 0.5f, 0.75f, 1, d);
                for (const auto* quads : {&one, &twice}) {
                    if (quads == &twice && s.blend != 0) continue;
                    const auto reference = Render(background, &texture, s, *quads, Way::Reference);
                    ASSERT_EQ(Render(background, &texture, s, *quads, Way::Loops), reference)
                        << "texture " << textureLayout.alphaMask << " target " << targetLayout.greenMask << " test "
                        << s.alphaTest << s.alphaFunc << " blend " << s.blend << (quads == &one ? " 1:1" : " 2x");
                    ASSERT_EQ(Render(background, &texture, s, *quads, Way::Shadow), reference)
                        << "texture " << textureLayout.alphaMask << " target " << targetLayout.greenMask << " test "
                        << s.alphaTest << s.alphaFunc << " blend " << s.blend << (quads == &one ? " 1:1" : " 2x");
                }
            }
        }
}

}  // namespace
