// The Direct3D road after the device was made again: a device loss and its
// recovery (the layer's own release and reacquire, or the whole recovery a
// full-screen program runs when it is activated again) and a forced screen
// mode change. Afterwards the device must hold every state its cache says
// it holds, and blended, bright and plain draws must give the pixels the
// blend rules give, as they do on a device that was never lost.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>

#include "framework/graphics/d3d/direct3d_fixture.h"
#include "graphics/draw/draw_ops.h"
#include "kelvo/api.h"

namespace {

struct Recovery {
    const char* name;
    std::function<void()> run;
};

const Recovery kRecoveries[] = {
    {"none", [] {}},
    {"objects released and reacquired",
     [] {
         ASSERT_EQ(ReleaseDirect3DObjects(), 0);
         ASSERT_EQ(ReacquireDirect3D(), 0);
     }},
    {"recovery on reactivation", [] { ASSERT_EQ(RecoverGraphicsAfterDeviceLoss(), 0); }},
    {"forced mode change",
     [] {
         ASSERT_EQ(ApplyScreenMode(-1, -1, -1, 1, -1), 0);
         ASSERT_EQ(ApiSelectDrawTarget(kDrawTargetBack), 0);
     }},
};

struct DrawCase {
    int mode, param;
    std::uint32_t bright, background;  // 0xRRGGBB
};

// Each blend mode the draw state sets, white and coloured bright colours,
// over dark and light backgrounds.
const DrawCase kCases[] = {
    {0, 0, 0xFFFFFF, 0x404040},   {0, 0, 0xFF8040, 0x404040},   {1, 128, 0xFFFFFF, 0x000000},
    {1, 200, 0x40C0FF, 0x808080}, {2, 128, 0xFFFFFF, 0x404040}, {2, 255, 0xFF8040, 0x202020},
    {4, 255, 0xFFFFFF, 0x808080}, {4, 90, 0xFF8040, 0xC0C0C0}, {3, 128, 0xFFFFFF, 0x404040},
    {3, 255, 0x40C0FF, 0xC08040},
};

std::uint32_t Channel(std::uint32_t rgb, int shift) { return rgb >> shift & 0xFF; }

// What a white source modulated by the bright colour gives over the
// background under the blend rules, as a 5:6:5 pixel. Subtraction is
// computed from a fresh device's pixels instead (-1 here).
std::int64_t Expected565(const DrawCase& c) {
    const std::uint32_t widths[3] = {5, 6, 5};
    std::uint32_t out = 0;
    for (int i = 0; i < 3; ++i) {
        const int shift = 16 - 8 * i;
        const std::uint32_t w = widths[i];
        // The background as the screen holds it, widened by repeating bits.
        const std::uint32_t stored = Channel(c.background, shift) >> (8 - w);
        const std::uint32_t d = (stored << (8 - w)) | (stored >> (2 * w - 8));
        const std::uint32_t s = Channel(c.bright, shift), a = c.param;
        std::uint32_t v;
        switch (c.mode) {
            case 0: v = s; break;
            case 1: v = (s * a + d * (255 - a) + 127) / 255; break;
            case 2: v = std::min<std::uint32_t>(255, (s * a + d * 255 + 127) / 255); break;
            case 4: v = (d * s + 127) / 255; break;
            default: return -1;
        }
        out = out << w | v >> (8 - w);
    }
    return out;
}

class Direct3DRecoveryBase : public Direct3DFrameworkTest {
protected:
    // The back screen's pixel.
    static std::uint16_t BackPixel(int x, int y) {
        EndDeviceScene();
        D_DDSURFACEDESC2 desc{};
        desc.dwSize = sizeof desc;
        EXPECT_EQ(g_ScreenDevice.back->Lock(nullptr, &desc, D_DDLOCK_WAIT, nullptr), D_DD_OK);
        std::uint16_t v = 0;
        std::memcpy(&v, static_cast<std::uint8_t*>(desc.lpSurface) + y * desc.lPitch + x * 2, 2);
        g_ScreenDevice.back->Unlock(nullptr);
        return v;
    }

    static HandleId WhiteGraph() {
        GraphImage image = MakeImage(8, 8, [](int, int) { return 0xFFFFFFu; });
        const HandleId g = MakeGraphFromImages(&image, nullptr, 1, 0, 0);
        ReleaseBaseImage(&image);
        EXPECT_GT(g, 0);
        EXPECT_EQ(LookupGraph(g)->textureGraph, 1);
        return g;
    }

    static void SetBlend(const DrawCase& c) {
        ApiSetBlendModeParam(c.mode, c.param);
        ApiSetBrightColor(static_cast<int>(Channel(c.bright, 16)), static_cast<int>(Channel(c.bright, 8)),
                          static_cast<int>(Channel(c.bright, 0)));
    }

    // The sprites and boxes of a frame, under several blends, so that the
    // cache holds other values than a new device's.
    static void WarmUp() {
        const HandleId g = WhiteGraph();
        for (const DrawCase& c : kCases) {
            SetBlend(c);
            ApiBlitGraph(100, 100, g, 1);
            ApiPaintBox(120, 100, 130, 110, ApiMakeColorCode(255, 255, 255), 1);
        }
        // Through a blend graphic too: its texture on stage 0, the
        // graphic's on the next stages, the texture factor set.
        for (const int range : {0, 100, 200}) {
            EXPECT_EQ(AssignBlendMaskGraph(g, 90, range), 0);
            ApiSetBlendModeParam(1, 200);
            ApiBlitGraph(100, 100, g, 1);
        }
        EXPECT_EQ(AssignBlendMaskGraph(kNoHandle, 0, 0), 0);
        ApiSetBlendModeParam(0, 0);
        ApiSetBrightColor(255, 255, 255);
        EndDeviceScene();
    }

    // Every state the cache holds is what the device holds.
    static void ExpectDeviceHoldsTheCache() {
        const Device3DRecord* r = CurrentDevice3D();
        ASSERT_NE(r, nullptr);
        ASSERT_NE(r->device, nullptr);
        D_IDirect3DDevice7* d = r->device;
        auto state = [d](DWORD s) {
            DWORD v = 0;
            d->GetRenderState(s, &v);
            return v;
        };
        EXPECT_EQ(state(D_D3DRENDERSTATE_ALPHATESTENABLE), r->alphaTestEnable);
        EXPECT_EQ(state(D_D3DRENDERSTATE_ALPHAREF), r->alphaRef);
        EXPECT_EQ(state(D_D3DRENDERSTATE_ALPHAFUNC), r->alphaFunc);
        EXPECT_EQ(state(D_D3DRENDERSTATE_ALPHABLENDENABLE), r->alphaBlendEnable);
        EXPECT_EQ(state(D_D3DRENDERSTATE_TEXTUREFACTOR), r->textureFactor);
        // A blend factor of 0 in the cache was never set.
        if (r->srcBlend != 0) {
            EXPECT_EQ(state(D_D3DRENDERSTATE_SRCBLEND), r->srcBlend);
        }
        if (r->destBlend != 0) {
            EXPECT_EQ(state(D_D3DRENDERSTATE_DESTBLEND), r->destBlend);
        }
        EXPECT_EQ(state(D_D3DRENDERSTATE_ZENABLE), r->zEnable);
        EXPECT_EQ(state(D_D3DRENDERSTATE_ZWRITEENABLE), r->zWriteEnable);
        EXPECT_EQ(state(D_D3DRENDERSTATE_ZFUNC), r->zFunc);
        EXPECT_EQ(state(D_D3DRENDERSTATE_SHADEMODE), r->shadeMode);
        EXPECT_EQ(state(D_D3DRENDERSTATE_CULLMODE), r->cull != 0 ? D_D3DCULL_CCW : D_D3DCULL_NONE);
        EXPECT_EQ(state(D_D3DRENDERSTATE_COLORKEYENABLE), r->colorKeyEnable);
        EXPECT_EQ(state(D_D3DRENDERSTATE_LIGHTING), r->lighting);
        for (DWORD s = 0; s < kCacheStageCount; ++s) {
            SCOPED_TRACE(testing::Message() << "stage " << s);
            auto stage = [d, s](DWORD which) {
                DWORD v = 0;
                d->GetTextureStageState(s, which, &v);
                return v;
            };
            const StageStateCache& c = r->stages[s];
            EXPECT_EQ(stage(D_D3DTSS_COLOROP), c.colorOp);
            EXPECT_EQ(stage(D_D3DTSS_COLORARG1), c.colorArg1);
            EXPECT_EQ(stage(D_D3DTSS_COLORARG2), c.colorArg2);
            EXPECT_EQ(stage(D_D3DTSS_ALPHAOP), c.alphaOp);
            EXPECT_EQ(stage(D_D3DTSS_ALPHAARG1), c.alphaArg1);
            EXPECT_EQ(stage(D_D3DTSS_ALPHAARG2), c.alphaArg2);
            if (static_cast<int>(s) < r->stagesInUse) {
                EXPECT_EQ(stage(D_D3DTSS_MAGFILTER), r->filterMode == 0 ? D_D3DTFG_POINT : D_D3DTFG_LINEAR);
                EXPECT_EQ(stage(D_D3DTSS_MINFILTER), r->filterMode == 0 ? D_D3DTFG_POINT : D_D3DTFG_LINEAR);
            }
            D_IDirectDrawSurface7* texture = nullptr;
            d->GetTexture(s, &texture);
            EXPECT_EQ(texture, c.texture);
            if (texture != nullptr) texture->Release();
        }
        D_IDirectDrawSurface7* target = nullptr;
        d->GetRenderTarget(&target);
        EXPECT_EQ(target, r->renderTarget != nullptr ? r->renderTarget : r->creationSurface);
        if (target != nullptr) target->Release();
        // The draw colour word follows the draw state.
        const DrawState& s = g_DrawState;
        const std::uint32_t alpha = s.blendMode != 0 ? static_cast<std::uint32_t>(s.blendParam) : 255;
        EXPECT_EQ(g_Direct3D.drawColor, alpha << 24 | s.brightColor);
    }

    // The sprite at (8, 8) and the box at (24, 8) of the case, over its
    // background: the pixels inside each.
    std::pair<std::uint16_t, std::uint16_t> DrawAndRead(const DrawCase& c) {
        const HandleId g = WhiteGraph();
        g_SystemState.backgroundRed = static_cast<int>(Channel(c.background, 16));
        g_SystemState.backgroundGreen = static_cast<int>(Channel(c.background, 8));
        g_SystemState.backgroundBlue = static_cast<int>(Channel(c.background, 0));
        ApiSetBlendModeParam(0, 0);
        ApiClearDrawTarget();
        SetBlend(c);
        EXPECT_EQ(ApiBlitGraph(8, 8, g, 1), 0);
        EXPECT_EQ(ApiPaintBox(24, 8, 32, 16, ApiMakeColorCode(255, 255, 255), 1), 0);
        const auto pixels = std::pair{BackPixel(11, 11), BackPixel(27, 11)};
        ApiReleaseGraph(g, 0);
        return pixels;
    }
};

class Direct3DRecoveryTest : public Direct3DRecoveryBase, public testing::WithParamInterface<Recovery> {};

TEST_P(Direct3DRecoveryTest, TheDeviceHoldsItsCacheAndDrawsByTheBlendRules) {
    // The pixels of a device that was never lost, for subtraction.
    std::vector<std::pair<std::uint16_t, std::uint16_t>> fresh;
    Start();
    ASSERT_EQ(IsDirect3DUp(), 1);
    ASSERT_EQ(ApiSelectDrawTarget(kDrawTargetBack), 0);
    ExpectDeviceHoldsTheCache();
    for (const DrawCase& c : kCases) fresh.push_back(DrawAndRead(c));
    ApiEndFramework();

    Start();
    ASSERT_EQ(ApiSelectDrawTarget(kDrawTargetBack), 0);
    WarmUp();
    for (std::size_t i = 0; i < std::size(kCases); ++i) {
        const DrawCase& c = kCases[i];
        SCOPED_TRACE(testing::Message() << "mode " << c.mode << " at " << c.param << ", bright " << std::hex
                                        << c.bright << " over " << c.background);
        // The blend is set before the device goes, and kept by the draw
        // state where it survives.
        SetBlend(c);
        GetParam().run();
        if (HasFatalFailure()) return;
        SetBlend(c);
        ExpectDeviceHoldsTheCache();
        const auto [sprite, box] = DrawAndRead(c);
        const std::int64_t want = Expected565(c);
        if (want >= 0) {
            EXPECT_EQ(sprite, want);
            EXPECT_EQ(box, want);
        }
        EXPECT_EQ(sprite, fresh[i].first);
        EXPECT_EQ(box, fresh[i].second);
        ExpectDeviceHoldsTheCache();
        if (c.mode == 3) {
            // The box, drawn last, subtracts: its colour and alpha are the
            // diffuse colour's alone.
            const std::pair<DWORD, DWORD> subtract[] = {{D_D3DTSS_COLOROP, D_D3DTOP_SELECTARG1},
                                                        {D_D3DTSS_COLORARG1, D_D3DTA_DIFFUSE},
                                                        {D_D3DTSS_ALPHAOP, D_D3DTOP_SELECTARG2},
                                                        {D_D3DTSS_ALPHAARG2, D_D3DTA_DIFFUSE}};
            for (const auto& [state, value] : subtract) {
                DWORD held = 0;
                CurrentDevice3D()->device->GetTextureStageState(0, state, &held);
                EXPECT_EQ(held, value) << "stage state " << state;
            }
        }
    }
    // Through a blend graphic, a border range below 2 is a hard edge (alpha
    // test at the border, no blending), from 2 on a soft one (blended).
    const HandleId blend = WhiteGraph();
    for (const int range : {0, 1, 2, 3}) {
        SCOPED_TRACE(testing::Message() << "border range " << range);
        ASSERT_EQ(AssignBlendMaskGraph(blend, 90, range), 0);
        ApiSetBlendModeParam(1, 200);
        ApiBlitGraph(100, 100, blend, 1);
        EndDeviceScene();
        DWORD test = 9, blended = 9, ref = 0;
        D_IDirect3DDevice7* d = CurrentDevice3D()->device;
        d->GetRenderState(D_D3DRENDERSTATE_ALPHATESTENABLE, &test);
        d->GetRenderState(D_D3DRENDERSTATE_ALPHABLENDENABLE, &blended);
        d->GetRenderState(D_D3DRENDERSTATE_ALPHAREF, &ref);
        EXPECT_EQ(test, range < 2 ? 1u : 0u);
        EXPECT_EQ(blended, range < 2 ? 0u : 1u);
        if (range < 2) {
            EXPECT_EQ(ref, 90u);
        }
        ExpectDeviceHoldsTheCache();
    }
    ASSERT_EQ(AssignBlendMaskGraph(kNoHandle, 0, 0), 0);
    ApiSetBlendModeParam(0, 0);
    // Filtering asked for before the device goes is what it filters with
    // afterwards, on every stage in use.
    ASSERT_EQ(SetTextureFilterMode(1), 0);
    EXPECT_EQ(CurrentDevice3D()->filterMode, 1u);
    GetParam().run();
    if (HasFatalFailure()) return;
    DrawAndRead(kCases[2]);
    EXPECT_GT(CurrentDevice3D()->stagesInUse, 0);
    ExpectDeviceHoldsTheCache();
}

INSTANTIATE_TEST_SUITE_P(Recoveries, Direct3DRecoveryTest, testing::ValuesIn(kRecoveries),
                         [](const testing::TestParamInfo<Recovery>& info) {
                             std::string name;
                             for (const char* p = info.param.name; *p != '\0'; ++p)
                                 if (std::isalnum(static_cast<unsigned char>(*p))) name += *p;
                             return name;
                         });

// The two pixels of the report: half of white over black and half of white
// added to dark grey, on a texture graphic made after each recovery.
TEST_F(Direct3DRecoveryBase, HalfWhiteOverBlackAndAddedToGreyAfterEveryRecovery) {
    Start();
    ASSERT_EQ(ApiSelectDrawTarget(kDrawTargetBack), 0);
    WarmUp();
    for (const Recovery& r : kRecoveries) {
        SCOPED_TRACE(r.name);
        r.run();
        EXPECT_EQ(DrawAndRead({1, 128, 0xFFFFFF, 0x000000}).first, 0x8410);
        EXPECT_EQ(DrawAndRead({2, 128, 0xFFFFFF, 0x404040}).first, 0xC618);
    }
}

}  // namespace
