// The Direct3D stand-in's pixel rules on small targets: exact 1:1 copies,
// box and line coverage, blending at the ends of the alpha range, the stage
// cascade without a texture, colour key, Z, linear sampling, Gouraud
// shading and the viewport, each with the specialised loops on and off.
#include <gtest/gtest.h>

#include <random>

#include "platform/d3d_fixture.h"

namespace {

std::uint32_t To565(std::uint32_t r8, std::uint32_t g8, std::uint32_t b8) {
    return (r8 >> 3) << 11 | (g8 >> 2) << 5 | (b8 >> 3);
}

// 5-bit and 4-bit channels widened by repeating their bits.
std::uint32_t Widen5(std::uint32_t v) { return v << 3 | v >> 2; }


// An A1R5G5B5 texel as the 5:6:5 pixel a 1:1 copy must give.
std::uint32_t Copy1555To565(std::uint32_t t) {
    return To565(Widen5(t >> 10 & 31), Widen5(t >> 5 & 31), Widen5(t & 31));
}

class D3DRasterTest : public D3DTest, public ::testing::WithParamInterface<bool> {
protected:
    void SetUp() override {
        D3DTest::SetUp();
        PlatformD3DKnobsRef().fastSpans = GetParam();
    }

    // Stage 0 takes the texture as it is; no blending, no alpha test.
    void CopyStates() {
        device->SetTextureStageState(0, D_D3DTSS_COLOROP, D_D3DTOP_SELECTARG1);
        device->SetTextureStageState(0, D_D3DTSS_COLORARG1, D_D3DTA_TEXTURE);
        device->SetTextureStageState(0, D_D3DTSS_ALPHAOP, D_D3DTOP_SELECTARG1);
        device->SetTextureStageState(0, D_D3DTSS_ALPHAARG1, D_D3DTA_TEXTURE);
    }
};

TEST_P(D3DRasterTest, TexturedQuadShiftedByHalfAPixelCopiesOneToOne) {
    std::mt19937 random(7);
    D_IDirectDrawSurface7* target = MakeTarget(40, 24);
    Clear(target, 0x1234);
    Open(target);
    CopyStates();
    for (const PlatformPixelLayout& layout : {kLayoutA1R5G5B5, kLayout565}) {
        D_IDirectDrawSurface7* texture = MakeTexture(32, 16, layout);
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 32; ++x) Write(texture, x, y, (random() & 0xFFFF) | (layout.alphaMask ? 0x8000 : 0));
        ASSERT_EQ(device->SetTexture(0, texture), D_D3D_OK);
        // A 20 x 10 part of the texture, from texel (6, 3), at (5, 7).
        const float x = 5, y = 7, w = 20, h = 10;
        ASSERT_EQ(DrawTextured(Quad(x - 0.5f, y - 0.5f, x + w - 0.5f, y + h - 0.5f, 6 / 32.0f, 3 / 16.0f,
                                    (6 + w) / 32.0f, (3 + h) / 16.0f, 0xFFFFFFFF)),
                  D_D3D_OK);
        for (int py = 0; py < 24; ++py)
            for (int px = 0; px < 40; ++px) {
                const bool inside = px >= 5 && px < 25 && py >= 7 && py < 17;
                const std::uint32_t texel = inside ? Read(texture, px - 5 + 6, py - 7 + 3) : 0;
                const std::uint32_t want = !inside ? 0x1234u : layout.alphaMask ? Copy1555To565(texel) : texel;
                ASSERT_EQ(Read(target, px, py), want) << px << "," << py;
            }
    }
}

TEST_P(D3DRasterTest, FilledBoxCoversItsLeftAndTopEdgesOnly) {
    D_IDirectDrawSurface7* target = MakeTarget(24, 24);
    Open(target);
    struct Box {
        float x1, y1, x2, y2;
    };
    // Whole-pixel corners, corners just either side of pixel centres, and a
    // box given as two triangles in another order (no quad).
    for (const Box b : {Box{3, 4, 11, 9}, Box{2.99f, 4.01f, 11.01f, 8.99f}, Box{0, 0, 24, 24}, Box{-5, 20, 5, 30}}) {
        for (bool asQuad : {true, false}) {
            Clear(target, 0);
            const std::uint32_t c = 0xFFFF8000;
            std::vector<ColorVertex> v = {{b.x1, b.y1, 0, 1, c}, {b.x2, b.y1, 0, 1, c}, {b.x1, b.y2, 0, 1, c},
                                          {b.x2, b.y2, 0, 1, c}, {b.x1, b.y2, 0, 1, c}, {b.x2, b.y1, 0, 1, c}};
            if (!asQuad) v = {v[0], v[1], v[2], v[1], v[3], v[2]};
            ASSERT_EQ(DrawColored(v), D_D3D_OK);
            for (int y = 0; y < 24; ++y)
                for (int x = 0; x < 24; ++x) {
                    const bool inside = x >= b.x1 && x < b.x2 && y >= b.y1 && y < b.y2;
                    ASSERT_EQ(Read(target, x, y), inside ? To565(255, 128, 0) : 0u)
                        << b.x1 << "," << b.y1 << " " << x << "," << y << (asQuad ? " quad" : " triangles");
                }
        }
    }
}

TEST_P(D3DRasterTest, BoxOutlineLinesCoverEachPixelOnce) {
    D_IDirectDrawSurface7* target = MakeTarget(32, 32);
    Clear(target, 0);
    Open(target);
    // Counting: every fragment adds 1 to the blue channel.
    device->SetRenderState(D_D3DRENDERSTATE_ALPHABLENDENABLE, 1);
    device->SetRenderState(D_D3DRENDERSTATE_SRCBLEND, D_D3DBLEND_ONE);
    device->SetRenderState(D_D3DRENDERSTATE_DESTBLEND, D_D3DBLEND_ONE);
    // The outline of (10, 10)-(20, 20) as the box outline draws it.
    const float L = 10, T = 10, R = 19, B = 19;
    const std::uint32_t c = 0xFF000008;
    ASSERT_EQ(DrawColored({{L, T, 0, 1, c}, {R - 0.1f, T, 0, 1, c}, {R, T, 0, 1, c}, {R, B - 1, 0, 1, c},
                           {L, B, 0, 1, c}, {R + 0.9f, B, 0, 1, c}, {L, T + 1, 0, 1, c}, {L, B - 1, 0, 1, c}},
                          D_D3DPT_LINELIST),
              D_D3D_OK);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            const bool edge = x >= 10 && x <= 19 && y >= 10 && y <= 19 && (x == 10 || x == 19 || y == 10 || y == 19);
            ASSERT_EQ(Read(target, x, y), edge ? 1u : 0u) << x << "," << y;
        }
}

TEST_P(D3DRasterTest, AlphaOneIsOpaqueAndAlphaZeroChangesNothing) {
    std::mt19937 random(3);
    for (const PlatformPixelLayout& targetLayout : {kLayout565, kLayoutX888}) {
        D_IDirectDrawSurface7* target = MakeTarget(16, 16, targetLayout);
        D_IDirectDrawSurface7* texture = MakeTexture(16, 16, kLayoutA8R8G8B8);
        std::vector<std::uint32_t> background(256);
        for (int i = 0; i < 256; ++i) {
            background[i] = random() & (targetLayout.bitsPerPixel == 16 ? 0xFFFFu : 0xFFFFFFu);
            Write(target, i % 16, i / 16, background[i]);
            Write(texture, i % 16, i / 16, ((i & 1) ? 0xFF000000u : 0u) | (random() & 0xFFFFFF));
        }
        if (device != nullptr) device->Release();
        Open(target);
        CopyStates();
        device->SetTexture(0, texture);
        device->SetRenderState(D_D3DRENDERSTATE_ALPHABLENDENABLE, 1);
        device->SetRenderState(D_D3DRENDERSTATE_SRCBLEND, D_D3DBLEND_SRCALPHA);
        device->SetRenderState(D_D3DRENDERSTATE_DESTBLEND, D_D3DBLEND_INVSRCALPHA);
        ASSERT_EQ(DrawTextured(Quad(-0.5f, -0.5f, 15.5f, 15.5f, 0, 0, 1, 1, 0xFFFFFFFF)), D_D3D_OK);
        for (int i = 0; i < 256; ++i) {
            const std::uint32_t texel = Read(texture, i % 16, i / 16);
            std::uint32_t want = background[i];
            if (i & 1)
                want = targetLayout.bitsPerPixel == 16 ? To565(texel >> 16 & 255, texel >> 8 & 255, texel & 255)
                                                       : texel & 0xFFFFFF;
            ASSERT_EQ(Read(target, i % 16, i / 16), want) << i;
        }
    }
}

TEST_P(D3DRasterTest, StageWithoutTextureHandsOnTheDiffuseColour) {
    D_IDirectDrawSurface7* target = MakeTarget(8, 8, kLayoutX888);
    Clear(target, 0x000000);
    Open(target);
    // The states a sprite leaves behind: modulate the texture by the
    // diffuse colour, alpha from the texture; then no texture is bound.
    device->SetTextureStageState(0, D_D3DTSS_COLOROP, D_D3DTOP_MODULATE);
    device->SetTextureStageState(0, D_D3DTSS_COLORARG1, D_D3DTA_TEXTURE);
    device->SetTextureStageState(0, D_D3DTSS_COLORARG2, D_D3DTA_DIFFUSE);
    device->SetTextureStageState(0, D_D3DTSS_ALPHAOP, D_D3DTOP_SELECTARG1);
    device->SetTextureStageState(0, D_D3DTSS_ALPHAARG1, D_D3DTA_TEXTURE);
    device->SetRenderState(D_D3DRENDERSTATE_ALPHABLENDENABLE, 1);
    device->SetRenderState(D_D3DRENDERSTATE_SRCBLEND, D_D3DBLEND_SRCALPHA);
    device->SetRenderState(D_D3DRENDERSTATE_DESTBLEND, D_D3DBLEND_INVSRCALPHA);
    const std::uint32_t c = 0x80FF8040;  // half alpha over black
    ASSERT_EQ(DrawColored({{0, 0, 0, 1, c}, {8, 0, 0, 1, c}, {0, 8, 0, 1, c}, {8, 8, 0, 1, c}, {0, 8, 0, 1, c},
                           {8, 0, 0, 1, c}}),
              D_D3D_OK);
    auto half = [](std::uint32_t v) { return (v * 0x80 + 127) / 255; };
    EXPECT_EQ(Read(target, 3, 3), half(0xFF) << 16 | half(0x80) << 8 | half(0x40));

    // Each argument of either operation reaches the stage: the texture
    // factor or the diffuse colour, picked as first or second argument.
    const std::uint32_t factor = 0x40204080;
    device->SetRenderState(D_D3DRENDERSTATE_TEXTUREFACTOR, factor);
    struct Case {
        DWORD colorOp, colorArg1, colorArg2, alphaOp, alphaArg1, alphaArg2;
        std::uint32_t rgb, alpha;
    };
    const DWORD F = D_D3DTA_TFACTOR, D = D_D3DTA_DIFFUSE, Sel1 = D_D3DTOP_SELECTARG1, Sel2 = D_D3DTOP_SELECTARG2;
    const Case cases[] = {
        {Sel1, F, D, Sel2, D, F, factor & 0xFFFFFF, factor >> 24},
        {Sel2, D, F, Sel1, D, F, factor & 0xFFFFFF, c >> 24},
        {Sel1, D, F, Sel2, F, F, c & 0xFFFFFF, factor >> 24},
        {Sel2, F, D, Sel1, F, D, c & 0xFFFFFF, factor >> 24},
    };
    for (const Case& k : cases) {
        device->SetTextureStageState(0, D_D3DTSS_COLOROP, k.colorOp);
        device->SetTextureStageState(0, D_D3DTSS_COLORARG1, k.colorArg1);
        device->SetTextureStageState(0, D_D3DTSS_COLORARG2, k.colorArg2);
        device->SetTextureStageState(0, D_D3DTSS_ALPHAOP, k.alphaOp);
        device->SetTextureStageState(0, D_D3DTSS_ALPHAARG1, k.alphaArg1);
        device->SetTextureStageState(0, D_D3DTSS_ALPHAARG2, k.alphaArg2);
        Clear(target, 0x000000);
        ASSERT_EQ(DrawColored({{0, 0, 0, 1, c}, {8, 0, 0, 1, c}, {0, 8, 0, 1, c}, {8, 8, 0, 1, c}, {0, 8, 0, 1, c},
                               {8, 0, 0, 1, c}}),
                  D_D3D_OK);
        auto scaled = [&k](std::uint32_t v) { return (v * k.alpha + 127) / 255; };
        EXPECT_EQ(Read(target, 3, 3), scaled(k.rgb >> 16) << 16 | scaled(k.rgb >> 8 & 0xFF) << 8 | scaled(k.rgb & 0xFF))
            << std::hex << k.colorOp << " " << k.colorArg1 << " " << k.colorArg2 << " / " << k.alphaOp << " "
            << k.alphaArg1 << " " << k.alphaArg2;
    }
}

TEST_P(D3DRasterTest, ColourKeyedTexelsLeaveTheTarget) {
    D_IDirectDrawSurface7* target = MakeTarget(4, 1);
    D_IDirectDrawSurface7* texture = MakeTexture(4, 1, kLayout565);
    const std::uint32_t key = 0xF81F;
    for (int x = 0; x < 4; ++x) Write(texture, x, 0, x % 2 ? key : 0x07E0);
    D_DDCOLORKEY ck{key, key};
    ASSERT_EQ(texture->SetColorKey(D_DDCKEY_SRCBLT, &ck), D_DD_OK);
    Clear(target, 0x001F);
    Open(target);
    CopyStates();
    device->SetTexture(0, texture);
    device->SetRenderState(D_D3DRENDERSTATE_COLORKEYENABLE, 1);
    ASSERT_EQ(DrawTextured(Quad(-0.5f, -0.5f, 3.5f, 0.5f, 0, 0, 1, 1, 0xFFFFFFFF)), D_D3D_OK);
    EXPECT_EQ(Pixels(target), (std::vector<std::uint32_t>{0x07E0, 0x001F, 0x07E0, 0x001F}));
    // With keying off the key colour is drawn like any other.
    device->SetRenderState(D_D3DRENDERSTATE_COLORKEYENABLE, 0);
    ASSERT_EQ(DrawTextured(Quad(-0.5f, -0.5f, 3.5f, 0.5f, 0, 0, 1, 1, 0xFFFFFFFF)), D_D3D_OK);
    EXPECT_EQ(Read(target, 1, 0), key);
}

TEST_P(D3DRasterTest, ZBufferKeepsTheNearestFragment) {
    D_IDirectDrawSurface7* target = MakeTarget(8, 8);
    D_DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = D_DDSD_CAPS | D_DDSD_WIDTH | D_DDSD_HEIGHT;
    desc.dwWidth = desc.dwHeight = 8;
    desc.ddsCaps.dwCaps = D_DDSCAPS_ZBUFFER | D_DDSCAPS_SYSTEMMEMORY;
    D_IDirectDrawSurface7* z = nullptr;
    ASSERT_EQ(dd->CreateSurface(&desc, &z, nullptr), D_DD_OK);
    surfaces.push_back(z);
    ASSERT_EQ(target->AddAttachedSurface(z), D_DD_OK);
    z->AddRef();
    const ULONG references = z->Release();
    D_DDBLTFX fx{};
    fx.dwSize = sizeof fx;
    fx.dwFillDepth = 0xFFFF;
    ASSERT_EQ(z->Blt(nullptr, nullptr, nullptr, D_DDBLT_DEPTHFILL | D_DDBLT_WAIT, &fx), D_DD_OK);
    Clear(target, 0);
    Open(target);
    device->SetRenderState(D_D3DRENDERSTATE_ZENABLE, 1);
    device->SetRenderState(D_D3DRENDERSTATE_ZWRITEENABLE, 1);
    device->SetRenderState(D_D3DRENDERSTATE_ZFUNC, D_D3DCMP_LESSEQUAL);
    auto box = [&](float x0, float x1, float depth, std::uint32_t c) {
        return DrawColored({{x0, 0, depth, 1, c}, {x1, 0, depth, 1, c}, {x0, 8, depth, 1, c}, {x1, 8, depth, 1, c},
                            {x0, 8, depth, 1, c}, {x1, 0, depth, 1, c}});
    };
    ASSERT_EQ(box(0, 6, 0.8f, 0xFFFF0000), D_D3D_OK);
    ASSERT_EQ(box(2, 8, 0.2f, 0xFF00FF00), D_D3D_OK);
    ASSERT_EQ(box(0, 8, 0.5f, 0xFF0000FF), D_D3D_OK);
    EXPECT_EQ(Read(target, 0, 0), 0x001Fu);  // blue is nearer than red
    EXPECT_EQ(Read(target, 4, 0), 0x07E0u);  // green is nearest
    EXPECT_EQ(Read(z, 4, 0), static_cast<std::uint32_t>(0.2 * 65535 + 0.5));
    // Drawing looks the Z buffer up each time and keeps no hold on it.
    z->AddRef();
    EXPECT_EQ(z->Release(), references);
}

TEST_P(D3DRasterTest, LinearSamplingBlendsNeighbouringTexels) {
    D_IDirectDrawSurface7* target = MakeTarget(4, 1, kLayoutX888);
    D_IDirectDrawSurface7* texture = MakeTexture(2, 1, kLayoutA8R8G8B8);
    Write(texture, 0, 0, 0xFF000000);
    Write(texture, 1, 0, 0xFFFFFFFF);
    Open(target);
    CopyStates();
    device->SetTexture(0, texture);
    device->SetTextureStageState(0, D_D3DTSS_MAGFILTER, D_D3DTFG_LINEAR);
    // Four pixels over the two texels: the samples fall at texel x 0.25,
    // 0.75, 1.25 and 1.75, clamped at both ends.
    ASSERT_EQ(DrawTextured(Quad(-0.5f, -0.5f, 3.5f, 0.5f, 0, 0, 1, 1, 0xFFFFFFFF)), D_D3D_OK);
    auto grey = [](std::uint32_t w) {
        const std::uint32_t v = (255 * w * 256 + 32768) >> 16;
        return v << 16 | v << 8 | v;
    };
    EXPECT_EQ(Read(target, 0, 0), 0u);
    EXPECT_EQ(Read(target, 1, 0), grey(64));
    EXPECT_EQ(Read(target, 2, 0), grey(192));
    EXPECT_EQ(Read(target, 3, 0), 0xFFFFFFu);
}

TEST_P(D3DRasterTest, GouraudInterpolatesAndFlatTakesTheFirstVertex) {
    D_IDirectDrawSurface7* target = MakeTarget(16, 16, kLayoutX888);
    Open(target);
    const std::vector<ColorVertex> triangle = {{0, 0, 0, 1, 0xFF000000}, {16, 0, 0, 1, 0xFFFF0000}, {0, 16, 0, 1, 0xFF0000FF}};
    ASSERT_EQ(DrawColored(triangle), D_D3D_OK);
    EXPECT_EQ(Read(target, 8, 3), 0u);  // flat: the first vertex's black
    device->SetRenderState(D_D3DRENDERSTATE_SHADEMODE, D_D3DSHADE_GOURAUD);
    ASSERT_EQ(DrawColored(triangle), D_D3D_OK);
    // At (8, 4): red 8/16 of the way, blue 4/16.
    EXPECT_EQ(Read(target, 8, 4), 128u << 16 | 64u);
}

TEST_P(D3DRasterTest, ViewportClipsAndOutlivesARenderTargetChange) {
    D_IDirectDrawSurface7* first = MakeTarget(16, 16);
    D_IDirectDrawSurface7* second = MakeTarget(16, 16);
    Clear(first, 0);
    Clear(second, 0);
    Open(first);
    D_D3DVIEWPORT7 viewport{4, 5, 6, 7, 0.0f, 1.0f};
    ASSERT_EQ(device->SetViewport(&viewport), D_D3D_OK);
    ASSERT_EQ(device->EndScene(), D_D3D_OK);
    ASSERT_EQ(device->SetRenderTarget(second, 0), D_D3D_OK);
    ASSERT_EQ(device->BeginScene(), D_D3D_OK);
    const std::uint32_t c = 0xFFFFFFFF;
    ASSERT_EQ(DrawColored({{0, 0, 0, 1, c}, {16, 0, 0, 1, c}, {0, 16, 0, 1, c}, {16, 16, 0, 1, c}, {0, 16, 0, 1, c},
                           {16, 0, 0, 1, c}}),
              D_D3D_OK);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            ASSERT_EQ(Read(second, x, y), (x >= 4 && x < 10 && y >= 5 && y < 12) ? 0xFFFFu : 0u) << x << "," << y;
    EXPECT_EQ(Read(first, 5, 6), 0u);
    // A viewport beyond the target is refused and the old one kept.
    D_D3DVIEWPORT7 outside{10, 10, 10, 10, 0.0f, 1.0f};
    EXPECT_EQ(device->SetViewport(&outside), D_D3DERR_INVALIDCALL);
    D_D3DVIEWPORT7 kept{};
    device->GetViewport(&kept);
    EXPECT_EQ(kept.dwX, 4u);
}

// A mesh of jittered triangles over the whole target, drawn additively:
// shared edges give their pixels to exactly one side, so every pixel is
// counted once.
TEST_P(D3DRasterTest, TriangleMeshCoversEveryPixelExactlyOnce) {
    std::mt19937 random(11);
    std::uniform_real_distribution<float> jitter(-3.3f, 3.3f);
    D_IDirectDrawSurface7* target = MakeTarget(120, 90);
    Clear(target, 0);
    Open(target);
    device->SetRenderState(D_D3DRENDERSTATE_ALPHABLENDENABLE, 1);
    device->SetRenderState(D_D3DRENDERSTATE_SRCBLEND, D_D3DBLEND_ONE);
    device->SetRenderState(D_D3DRENDERSTATE_DESTBLEND, D_D3DBLEND_ONE);
    const int columns = 9, rows = 7;
    std::vector<ColorVertex> grid;
    for (int r = 0; r <= rows; ++r)
        for (int k = 0; k <= columns; ++k) {
            float x = k * 120.0f / columns, y = r * 90.0f / rows;
            // Inner points move; whole and half pixel places are kept
            // often, where the tie rule decides.
            if (k > 0 && k < columns) x = (random() % 3 == 0) ? std::floor(x) + (random() % 2) * 0.5f : x + jitter(random);
            if (r > 0 && r < rows) y = (random() % 3 == 0) ? std::floor(y) : y + jitter(random);
            if (k == 0) x = -1.5f;
            if (k == columns) x = 121.25f;
            if (r == 0) y = -2.0f;
            if (r == rows) y = 91.0f;
            grid.push_back({x, y, 0, 1, 0xFF000008});
        }
    std::vector<ColorVertex> triangles;
    for (int r = 0; r < rows; ++r)
        for (int k = 0; k < columns; ++k) {
            const ColorVertex a = grid[r * (columns + 1) + k], b = grid[r * (columns + 1) + k + 1];
            const ColorVertex c = grid[(r + 1) * (columns + 1) + k], d = grid[(r + 1) * (columns + 1) + k + 1];
            // Both diagonals and both windings.
            if ((r + k) % 2)
                triangles.insert(triangles.end(), {a, b, c, d, c, b});
            else
                triangles.insert(triangles.end(), {a, d, b, a, c, d});
        }
    ASSERT_EQ(DrawColored(triangles), D_D3D_OK);
    for (int y = 0; y < 90; ++y)
        for (int x = 0; x < 120; ++x) ASSERT_EQ(Read(target, x, y), 1u) << x << "," << y;
}

INSTANTIATE_TEST_SUITE_P(Loops, D3DRasterTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "Fast" : "Reference"; });

}  // namespace
