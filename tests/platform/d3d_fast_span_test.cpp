// The specialised span loops against the plain
// per-pixel reference: random states, textures, targets and geometry drawn
// both ways must give the same bytes. Quads joined from two triangles must
// also give the pixels of the same triangles drawn one by one.
#include <gtest/gtest.h>

#include <random>

#include "platform/d3d_fixture.h"

namespace {

struct StageChoice {
    DWORD op, arg1, arg2;
};

// The stage-0 operations the loops know, and some they must leave to the
// reference.
const StageChoice kColorChoices[] = {
    {D_D3DTOP_SELECTARG1, D_D3DTA_TEXTURE, D_D3DTA_DIFFUSE}, {D_D3DTOP_SELECTARG2, D_D3DTA_TEXTURE, D_D3DTA_DIFFUSE},
    {D_D3DTOP_MODULATE, D_D3DTA_TEXTURE, D_D3DTA_DIFFUSE},   {D_D3DTOP_MODULATE, D_D3DTA_DIFFUSE, D_D3DTA_TEXTURE},
    {D_D3DTOP_SELECTARG1, D_D3DTA_CURRENT, D_D3DTA_TEXTURE}, {D_D3DTOP_ADD, D_D3DTA_TEXTURE, D_D3DTA_DIFFUSE},
    {D_D3DTOP_SELECTARG1, D_D3DTA_TFACTOR, D_D3DTA_TEXTURE},
};
const StageChoice kAlphaChoices[] = {
    {D_D3DTOP_SELECTARG1, D_D3DTA_TEXTURE, D_D3DTA_DIFFUSE}, {D_D3DTOP_SELECTARG2, D_D3DTA_TEXTURE, D_D3DTA_DIFFUSE},
    {D_D3DTOP_MODULATE, D_D3DTA_TEXTURE, D_D3DTA_DIFFUSE},   {D_D3DTOP_DISABLE, D_D3DTA_TEXTURE, D_D3DTA_DIFFUSE},
    {D_D3DTOP_SUBTRACT, D_D3DTA_TEXTURE, D_D3DTA_DIFFUSE},
};
const std::pair<DWORD, DWORD> kBlendChoices[] = {
    {D_D3DBLEND_SRCALPHA, D_D3DBLEND_INVSRCALPHA}, {D_D3DBLEND_SRCALPHA, D_D3DBLEND_ONE},
    {D_D3DBLEND_INVDESTCOLOR, D_D3DBLEND_ZERO},    {D_D3DBLEND_ZERO, D_D3DBLEND_SRCCOLOR},
    {D_D3DBLEND_ONE, D_D3DBLEND_ONE},              {D_D3DBLEND_ZERO, D_D3DBLEND_ONE},
};

class D3DFastSpanTest : public D3DTest {
protected:
    struct Scene {
        PlatformPixelLayout targetLayout;
        int textureKind;  // 0 none, else a layout below
        StageChoice color, alpha;
        bool alphaTest;
        DWORD alphaFunc, alphaRef;
        int blend;  // -1 off
        bool gouraud;
        std::vector<TexturedVertex> vertices;
        std::vector<TexturedVertex> lines;
    };

    static PlatformPixelLayout TextureLayout(int kind) {
        switch (kind) {
            case 1: return kLayoutA1R5G5B5;
            case 2: return kLayout565;
            case 3: return kLayoutA4R4G4B4;
            case 4: return kLayoutA8R8G8B8;
            default: return kLayoutX888;
        }
    }

    // Draws the scene onto a copy of `background`, the loops on or off, and
    // with them on over textures' shadows (made at the first draw) or not.
    std::vector<std::uint32_t> Render(const Scene& s, const std::vector<std::uint32_t>& background,
                                      const std::vector<std::uint32_t>& texels, bool fast, bool shadows = false) {
        PlatformD3DKnobsRef().fastSpans = fast;
        PlatformD3DKnobsRef().shadowAfterDraws = shadows ? 1 : 0;
        D_IDirectDrawSurface7* target = MakeTarget(kSide, kSide, s.targetLayout);
        for (int i = 0; i < kSide * kSide; ++i) Write(target, i % kSide, i / kSide, background[i]);
        if (device != nullptr) device->Release();
        device = nullptr;
        Open(target);
        if (s.textureKind != 0) {
            D_IDirectDrawSurface7* texture = MakeTexture(kTexture, kTexture, TextureLayout(s.textureKind));
            for (int i = 0; i < kTexture * kTexture; ++i) Write(texture, i % kTexture, i / kTexture, texels[i]);
            device->SetTexture(0, texture);
        }
        device->SetTextureStageState(0, D_D3DTSS_COLOROP, s.color.op);
        device->SetTextureStageState(0, D_D3DTSS_COLORARG1, s.color.arg1);
        device->SetTextureStageState(0, D_D3DTSS_COLORARG2, s.color.arg2);
        device->SetTextureStageState(0, D_D3DTSS_ALPHAOP, s.alpha.op);
        device->SetTextureStageState(0, D_D3DTSS_ALPHAARG1, s.alpha.arg1);
        device->SetTextureStageState(0, D_D3DTSS_ALPHAARG2, s.alpha.arg2);
        device->SetRenderState(D_D3DRENDERSTATE_TEXTUREFACTOR, 0x80C0A060);
        device->SetRenderState(D_D3DRENDERSTATE_ALPHATESTENABLE, s.alphaTest);
        device->SetRenderState(D_D3DRENDERSTATE_ALPHAFUNC, s.alphaFunc);
        device->SetRenderState(D_D3DRENDERSTATE_ALPHAREF, s.alphaRef);
        device->SetRenderState(D_D3DRENDERSTATE_ALPHABLENDENABLE, s.blend >= 0);
        if (s.blend >= 0) {
            device->SetRenderState(D_D3DRENDERSTATE_SRCBLEND, kBlendChoices[s.blend].first);
            device->SetRenderState(D_D3DRENDERSTATE_DESTBLEND, kBlendChoices[s.blend].second);
        }
        device->SetRenderState(D_D3DRENDERSTATE_SHADEMODE, s.gouraud ? D_D3DSHADE_GOURAUD : D_D3DSHADE_FLAT);
        EXPECT_EQ(DrawTextured(s.vertices), D_D3D_OK);
        // Lines in every direction, across and off the target.
        EXPECT_EQ(DrawTextured(s.lines, D_D3DPT_LINELIST), D_D3D_OK);
        return Pixels(target);
    }

    static constexpr int kSide = 200;
    static constexpr int kTexture = 64;
};

TEST_F(D3DFastSpanTest, LoopsGiveTheReferencePixels) {
    std::mt19937 random(2024);
    auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    std::uniform_real_distribution<float> place(-40.0f, 240.0f);
    // The last rounds are flat untextured alpha and add blends (fades and
    // tinted boxes) at the alphas at the ends and the middle of the range.
    constexpr int kRounds = 60;
    const std::uint32_t kFlatAlphas[] = {0, 1, 2, 127, 128, 129, 200, 253, 254, 255, 64, 96};
    for (int round = 0; round < kRounds + static_cast<int>(std::size(kFlatAlphas)); ++round) {
        Scene s;
        const PlatformPixelLayout targets[] = {kLayout565, kLayout555, kLayoutX888};
        s.targetLayout = targets[pick(3)];
        s.textureKind = pick(6);
        s.color = kColorChoices[pick(std::size(kColorChoices))];
        s.alpha = kAlphaChoices[pick(std::size(kAlphaChoices))];
        s.alphaTest = pick(2) == 1;
        s.alphaFunc = static_cast<DWORD>(1 + pick(8));
        s.alphaRef = static_cast<DWORD>(pick(3) == 0 ? 16 : pick(256));
        s.blend = pick(std::size(kBlendChoices) + 1) - 1;
        s.gouraud = pick(4) == 0;
        std::uint32_t diffuse = random() | (pick(3) == 0 ? 0xFF000000u : 0);
        if (round >= kRounds) {
            const int flat = round - kRounds;
            s.targetLayout = targets[flat % 3 == 2 ? 0 : flat % 3];
            s.textureKind = 0;
            s.color = kColorChoices[flat % 5];  // those that take the diffuse colour
            s.alpha = kAlphaChoices[flat % 4];
            s.blend = flat % 2;
            s.gouraud = false;
            diffuse = (diffuse & 0xFFFFFF) | kFlatAlphas[flat] << 24;
        }
        // Quads: 1:1, scaled, mirrored, off the edges; a whole-target one
        // sometimes, so the bands are used; and loose triangles.
        for (int q = 0; q < 6; ++q) {
            float x0 = std::floor(place(random)), y0 = std::floor(place(random));
            float w = static_cast<float>(8 + pick(120)), h = static_cast<float>(8 + pick(120));
            if (q == 0 && pick(2) == 0) {
                x0 = -10;
                y0 = -10;
                w = h = 230;
            }
            const float scale = pick(3) == 0 ? 1.0f : 0.5f + pick(7) * 0.37f;
            float x1 = x0 + w, y1 = y0 + h;
            if (pick(3) == 0) std::swap(x0, x1);
            if (pick(5) == 0) std::swap(y0, y1);
            const float u0 = pick(16) / 64.0f, v0 = pick(16) / 64.0f;
            const float u1 = u0 + w * scale / 64.0f, v1 = v0 + h * scale / 64.0f;
            // Flat rounds: a colour of each quad's own, so the rounding of
            // many channel sums is tried.
            const std::uint32_t colour = round >= kRounds ? (diffuse & 0xFF000000u) | (random() & 0xFFFFFF) : diffuse;
            auto quad = Quad(x0 - 0.5f, y0 - 0.5f, x1 - 0.5f, y1 - 0.5f, u0, v0, u1, v1, colour);
            if (s.gouraud && pick(2) == 0) quad[1].diffuse = random();
            s.vertices.insert(s.vertices.end(), quad.begin(), quad.end());
        }
        for (int t = 0; t < 4; ++t)
            for (int k = 0; k < 3; ++k)
                s.vertices.push_back({place(random), place(random), 0.2f, 1.0f, k == 0 ? diffuse : static_cast<std::uint32_t>(random()),
                                      pick(100) / 64.0f, pick(100) / 64.0f});

        for (int l = 0; l < 12; ++l)
            for (int k = 0; k < 2; ++k)
                s.lines.push_back({k == 1 && l % 3 == 0 ? s.lines.back().x : place(random),
                                   k == 1 && l % 3 == 1 ? s.lines.back().y : place(random), 0.2f, 1.0f,
                                   k == 0 ? diffuse : static_cast<std::uint32_t>(random()), pick(100) / 64.0f,
                                   pick(100) / 64.0f});
        std::vector<std::uint32_t> background(kSide * kSide), texels(kTexture * kTexture);
        const std::uint32_t backgroundMask = s.targetLayout.bitsPerPixel == 16 ? 0xFFFFu : 0xFFFFFFu;
        for (auto& b : background) b = random() & backgroundMask;
        const std::uint32_t texelMask = TextureLayout(s.textureKind).bitsPerPixel == 16 ? 0xFFFFu : 0xFFFFFFFFu;
        for (auto& t : texels) t = random() & texelMask;
        const auto reference = Render(s, background, texels, false);
        const auto fast = Render(s, background, texels, true);
        ASSERT_EQ(reference, fast) << "round " << round << " texture " << s.textureKind << " colour op " << s.color.op
                                   << " alpha op " << s.alpha.op << " blend " << s.blend;
        ASSERT_EQ(reference, Render(s, background, texels, true, true))
            << "over the shadow, round " << round << " texture " << s.textureKind << " colour op " << s.color.op
            << " alpha op " << s.alpha.op << " blend " << s.blend;
        for (D_IDirectDrawSurface7* surface : surfaces) surface->Release();
        surfaces.clear();
    }
}

// Each quad drawn as the joined quad and as its two triangles in another
// order (so they are not joined) gives the same pixels wherever the texel
// choice is exact: 1:1, twice the size, mirrored.
TEST_F(D3DFastSpanTest, JoinedQuadMatchesItsTriangles) {
    PlatformD3DKnobsRef().fastSpans = false;
    std::mt19937 random(5);
    D_IDirectDrawSurface7* texture = MakeTexture(32, 32, kLayoutA1R5G5B5);
    for (int i = 0; i < 32 * 32; ++i) Write(texture, i % 32, i / 32, random() & 0xFFFF);
    D_IDirectDrawSurface7* joined = MakeTarget(96, 96);
    D_IDirectDrawSurface7* split = MakeTarget(96, 96);
    struct Case {
        float x0, y0, x1, y1;
    };
    for (const Case c : {Case{10, 12, 42, 44}, Case{-7, 3, 57, 67}, Case{70, 5, 6, 37}, Case{20, 90, 52, 26}}) {
        for (D_IDirectDrawSurface7* target : {joined, split}) {
            Clear(target, 0);
            if (device != nullptr) device->Release();
            Open(target);
            device->SetTexture(0, texture);
            device->SetTextureStageState(0, D_D3DTSS_COLOROP, D_D3DTOP_SELECTARG1);
            device->SetTextureStageState(0, D_D3DTSS_ALPHAOP, D_D3DTOP_SELECTARG1);
            device->SetRenderState(D_D3DRENDERSTATE_ALPHATESTENABLE, 1);
            device->SetRenderState(D_D3DRENDERSTATE_ALPHAFUNC, D_D3DCMP_GREATER);
            device->SetRenderState(D_D3DRENDERSTATE_ALPHAREF, 16);
            auto q = Quad(c.x0 - 0.5f, c.y0 - 0.5f, c.x1 - 0.5f, c.y1 - 0.5f, 0, 0, 1, 1, 0xFFFFFFFF);
            if (target == split) q = {q[0], q[1], q[2], q[1], q[3], q[2]};
            ASSERT_EQ(DrawTextured(q), D_D3D_OK);
        }
        const auto a = Pixels(joined), b = Pixels(split);
        for (std::size_t i = 0; i < a.size(); ++i)
            ASSERT_EQ(a[i], b[i]) << c.x0 << "," << c.y0 << " at " << i % 96 << "," << i / 96;
    }
}

}  // namespace
