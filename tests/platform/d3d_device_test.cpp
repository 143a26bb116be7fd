// The Direct3D stand-in's objects: what it offers and when, the test hook,
// the strict scene bracket, the copy between textures, and drawing into a
// flipping back buffer and into a texture.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>

#include "platform/d3d_fixture.h"

namespace {

struct Enumerated {
    std::vector<std::string> names;
    std::vector<GUID> guids;
    int stopAfter = 99;
};

HRESULT CollectDevice(char*, char* name, D_D3DDEVICEDESC7* desc, void* context) {
    auto* e = static_cast<Enumerated*>(context);
    e->names.emplace_back(name);
    e->guids.push_back(desc->deviceGUID);
    return static_cast<int>(e->names.size()) >= e->stopAfter ? D_D3DENUMRET_CANCEL : D_D3DENUMRET_OK;
}

HRESULT CollectFormat(D_DDPIXELFORMAT* format, void* context) {
    static_cast<std::vector<D_DDPIXELFORMAT>*>(context)->push_back(*format);
    return D_D3DENUMRET_OK;
}

using D3DDeviceTest = D3DTest;

TEST_F(D3DDeviceTest, OffersItsDevicesOnlyWhenAskedTo) {
    // Unset: the environment decides, and it says nothing.
    PlatformD3DKnobsRef().offerDevice = -1;
    unsetenv("KELVO_D3D");
    Enumerated none;
    ASSERT_EQ(d3d->EnumDevices(CollectDevice, &none), D_D3D_OK);
    EXPECT_TRUE(none.names.empty());
    setenv("KELVO_D3D", "1", 1);
    Enumerated offered;
    ASSERT_EQ(d3d->EnumDevices(CollectDevice, &offered), D_D3D_OK);
    unsetenv("KELVO_D3D");
    ASSERT_EQ(offered.names, (std::vector<std::string>{"HAL", "T&L HAL"}));
    EXPECT_TRUE(IsEqualGUID(offered.guids[0], IID_D_IDirect3DHALDevice));
    EXPECT_TRUE(IsEqualGUID(offered.guids[1], IID_D_IDirect3DTnLHalDevice));
    // A callback that cancels stops the walk.
    PlatformD3DKnobsRef().offerDevice = 1;
    Enumerated first;
    first.stopAfter = 1;
    ASSERT_EQ(d3d->EnumDevices(CollectDevice, &first), D_D3D_OK);
    EXPECT_EQ(first.names.size(), 1u);

    std::vector<D_DDPIXELFORMAT> z;
    ASSERT_EQ(d3d->EnumZBufferFormats(IID_D_IDirect3DHALDevice, CollectFormat, &z), D_D3D_OK);
    ASSERT_EQ(z.size(), 1u);
    EXPECT_EQ(z[0].dwFlags, D_DDPF_ZBUFFER);
    EXPECT_EQ(z[0].dwZBufferBitDepth, 16u);
}

TEST_F(D3DDeviceTest, TestHookReplacesWhatIsReportedAndFailsChosenCalls) {
    D3DStandInKnobs& k = PlatformD3DKnobsRef();
    k.replaceDevices = true;
    k.devices = {PlatformD3DDefaultDevices()[0]};
    k.devices[0].desc.dwMaxTextureWidth = 0;
    k.replaceTextureFormats = true;
    k.textureFormats = {PlatformD3DDefaultTextureFormats()[4]};
    Enumerated e;
    ASSERT_EQ(d3d->EnumDevices(CollectDevice, &e), D_D3D_OK);
    EXPECT_EQ(e.names, std::vector<std::string>{"HAL"});

    D_IDirectDrawSurface7* target = MakeTarget(8, 8);
    // Only reported devices can be made.
    EXPECT_EQ(d3d->CreateDevice(IID_D_IDirect3DTnLHalDevice, target, &device), D_D3DERR_INVALID_DEVICE);
    k.failNext[static_cast<int>(D3DCall::CreateDevice)] = 1;
    EXPECT_EQ(d3d->CreateDevice(IID_D_IDirect3DHALDevice, target, &device), D_D3DERR_INVALIDCALL);
    EXPECT_EQ(device, nullptr);
    ASSERT_EQ(d3d->CreateDevice(IID_D_IDirect3DHALDevice, target, &device), D_D3D_OK);
    D_D3DDEVICEDESC7 caps{};
    device->GetCaps(&caps);
    EXPECT_EQ(caps.dwMaxTextureWidth, 0u);
    std::vector<D_DDPIXELFORMAT> formats;
    ASSERT_EQ(device->EnumTextureFormats(CollectFormat, &formats), D_D3D_OK);
    ASSERT_EQ(formats.size(), 1u);
    EXPECT_EQ(formats[0].dwRGBBitCount, 32u);

    k.failNext[static_cast<int>(D3DCall::QueryInterface)] = 1;
    void* object = nullptr;
    EXPECT_EQ(dd->QueryInterface(IID_D_IDirect3D7, &object), E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);

    // The call log keeps the calls in order, with their arguments.
    k.logCalls = true;
    PlatformD3DClearCallLog();
    device->SetRenderState(D_D3DRENDERSTATE_ALPHAREF, 16);
    device->SetTextureStageState(1, D_D3DTSS_COLOROP, D_D3DTOP_DISABLE);
    const auto& log = PlatformD3DCallLog();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].call, D3DCall::SetRenderState);
    EXPECT_EQ(log[0].b, 16u);
    EXPECT_EQ(log[1].call, D3DCall::SetTextureStageState);
    EXPECT_EQ(log[1].a, 1u);
}

// A device made (or made again after a loss) holds the documented
// defaults, which the framework's push-all has to overwrite; a call with a
// bad argument, or one the test hook fails, is refused and changes nothing.
TEST_F(D3DDeviceTest, AFreshDeviceHoldsTheDefaultsAndBadCallsChangeNothing) {
    D_IDirectDrawSurface7* target = MakeTarget(8, 8);
    ASSERT_EQ(d3d->CreateDevice(IID_D_IDirect3DHALDevice, target, &device), D_D3D_OK);
    auto rs = [this](DWORD state) {
        DWORD v = 0xDEADu;
        EXPECT_EQ(device->GetRenderState(state, &v), D_D3D_OK);
        return v;
    };
    auto tss = [this](DWORD stage, DWORD state) {
        DWORD v = 0xDEADu;
        EXPECT_EQ(device->GetTextureStageState(stage, state, &v), D_D3D_OK);
        return v;
    };
    const std::pair<DWORD, DWORD> renderDefaults[] = {
        {D_D3DRENDERSTATE_SHADEMODE, D_D3DSHADE_GOURAUD},
        {D_D3DRENDERSTATE_ZWRITEENABLE, 1},
        {D_D3DRENDERSTATE_SRCBLEND, D_D3DBLEND_ONE},
        {D_D3DRENDERSTATE_DESTBLEND, D_D3DBLEND_ZERO},
        {D_D3DRENDERSTATE_CULLMODE, D_D3DCULL_CCW},
        {D_D3DRENDERSTATE_ZFUNC, D_D3DCMP_LESSEQUAL},
        {D_D3DRENDERSTATE_ALPHAFUNC, D_D3DCMP_ALWAYS},
        {D_D3DRENDERSTATE_TEXTUREFACTOR, 0xFFFFFFFFu},
        {D_D3DRENDERSTATE_LIGHTING, 1},
        {D_D3DRENDERSTATE_ALPHABLENDENABLE, 0},
    };
    // Four stages and textures, as many as the framework's blend-mask draws use.
    D_D3DDEVICEDESC7 caps{};
    ASSERT_EQ(device->GetCaps(&caps), D_D3D_OK);
    EXPECT_EQ(caps.wMaxSimultaneousTextures, 4u);
    EXPECT_EQ(caps.wMaxTextureBlendStages, 4u);
    for (const auto& [state, value] : renderDefaults) EXPECT_EQ(rs(state), value) << "render state " << state;
    for (DWORD s = 0; s < kD3DMaxStages; ++s) {
        SCOPED_TRACE(testing::Message() << "stage " << s);
        const std::pair<DWORD, DWORD> stageDefaults[] = {
            {D_D3DTSS_COLOROP, s == 0 ? D_D3DTOP_MODULATE : D_D3DTOP_DISABLE},
            {D_D3DTSS_ALPHAOP, s == 0 ? D_D3DTOP_SELECTARG1 : D_D3DTOP_DISABLE},
            {D_D3DTSS_COLORARG1, D_D3DTA_TEXTURE},
            {D_D3DTSS_ALPHAARG1, D_D3DTA_TEXTURE},
            {D_D3DTSS_COLORARG2, D_D3DTA_CURRENT},
            {D_D3DTSS_ALPHAARG2, D_D3DTA_CURRENT},
            {D_D3DTSS_TEXCOORDINDEX, s},
            {D_D3DTSS_ADDRESSU, D_D3DTADDRESS_WRAP},
            {D_D3DTSS_ADDRESSV, D_D3DTADDRESS_WRAP},
            {D_D3DTSS_MAGFILTER, D_D3DTFG_POINT},
            {D_D3DTSS_MINFILTER, D_D3DTFN_POINT},
        };
        for (const auto& [state, value] : stageDefaults) EXPECT_EQ(tss(s, state), value) << "stage state " << state;
    }

    D_D3DVIEWPORT7 view{0, 0, 8, 8, 0.0f, 1.0f};
    ASSERT_EQ(device->SetViewport(&view), D_D3D_OK);
    D3DStandInKnobs& k = PlatformD3DKnobsRef();
    D_D3DVIEWPORT7 wide{0, 0, 9, 8, 0.0f, 1.0f}, empty{2, 2, 0, 4, 0.0f, 1.0f}, small{1, 1, 4, 4, 0.0f, 1.0f};
    D_D3DMATRIX matrix{};
    DWORD value = 0;
    D_IDirectDrawSurface7* texture = nullptr;
    struct BadCall {
        const char* name;
        std::function<HRESULT()> call;
    };
    const BadCall bad[] = {
        {"no viewport", [&] { return device->SetViewport(nullptr); }},
        {"a viewport wider than the target", [&] { return device->SetViewport(&wide); }},
        {"an empty viewport", [&] { return device->SetViewport(&empty); }},
        {"a failed viewport",
         [&] {
             k.failNext[static_cast<int>(D3DCall::SetViewport)] = 1;
             return device->SetViewport(&small);
         }},
        {"no viewport to read into", [&] { return device->GetViewport(nullptr); }},
        {"a render state past the last", [&] { return device->SetRenderState(D_D3DRENDERSTATE_COUNT, 1); }},
        {"a failed render state",
         [&] {
             k.failNext[static_cast<int>(D3DCall::SetRenderState)] = 1;
             return device->SetRenderState(D_D3DRENDERSTATE_ZFUNC, D_D3DCMP_NEVER);
         }},
        {"no render state to read into", [&] { return device->GetRenderState(D_D3DRENDERSTATE_ZFUNC, nullptr); }},
        {"a stage past the last",
         [&] { return device->SetTextureStageState(kD3DMaxStages, D_D3DTSS_COLOROP, D_D3DTOP_ADD); }},
        {"a stage state past the last", [&] { return device->SetTextureStageState(0, D_D3DTSS_COUNT, 1); }},
        {"a failed stage state",
         [&] {
             k.failNext[static_cast<int>(D3DCall::SetTextureStageState)] = 1;
             return device->SetTextureStageState(0, D_D3DTSS_COLOROP, D_D3DTOP_ADD);
         }},
        {"no stage state to read into", [&] { return device->GetTextureStageState(0, D_D3DTSS_COLOROP, nullptr); }},
        {"a stage state read past the last stage",
         [&] { return device->GetTextureStageState(kD3DMaxStages, D_D3DTSS_COLOROP, &value); }},
        {"a texture on a stage past the last", [&] { return device->SetTexture(kD3DMaxStages, nullptr); }},
        {"no texture to read into", [&] { return device->GetTexture(0, nullptr); }},
        {"a texture read past the last stage", [&] { return device->GetTexture(kD3DMaxStages, &texture); }},
        {"a transform of no kind",
         [&] { return device->GetTransform(static_cast<D_D3DTRANSFORMSTATETYPE>(0), &matrix); }},
        {"a transform past the last",
         [&] { return device->GetTransform(static_cast<D_D3DTRANSFORMSTATETYPE>(4), &matrix); }},
        {"no transform to read into", [&] { return device->GetTransform(D_D3DTRANSFORMSTATE_WORLD, nullptr); }},
        {"indices missing",
         [&] { return device->DrawIndexedPrimitive(D_D3DPT_TRIANGLELIST, kTexturedFvf, nullptr, 0, nullptr, 3, 0); }},
    };
    for (const BadCall& c : bad) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.call(), D_D3DERR_INVALIDCALL);
        D_D3DVIEWPORT7 now{};
        ASSERT_EQ(device->GetViewport(&now), D_D3D_OK);
        EXPECT_EQ(now.dwX, 0u);
        EXPECT_EQ(now.dwWidth, 8u);
        EXPECT_EQ(rs(D_D3DRENDERSTATE_ZFUNC), D_D3DCMP_LESSEQUAL);
        EXPECT_EQ(tss(0, D_D3DTSS_COLOROP), D_D3DTOP_MODULATE);
    }
    EXPECT_EQ(texture, nullptr);
    // Refused once, the call goes through the next time.
    EXPECT_EQ(device->SetViewport(&small), D_D3D_OK);
    EXPECT_EQ(device->SetRenderState(D_D3DRENDERSTATE_ZFUNC, D_D3DCMP_NEVER), D_D3D_OK);
    EXPECT_EQ(rs(D_D3DRENDERSTATE_ZFUNC), D_D3DCMP_NEVER);
}

TEST_F(D3DDeviceTest, DrawsOnlyInsideAScene) {
    D_IDirectDrawSurface7* target = MakeTarget(8, 8);
    ASSERT_EQ(d3d->CreateDevice(IID_D_IDirect3DHALDevice, target, &device), D_D3D_OK);
    std::vector<ColorVertex> box = {{0, 0, 0, 1, 0xFFFFFFFF}, {8, 0, 0, 1, 0xFFFFFFFF}, {0, 8, 0, 1, 0xFFFFFFFF}};
    EXPECT_EQ(DrawColored(box), D_D3DERR_SCENE_NOT_IN_SCENE);
    EXPECT_EQ(Read(target, 1, 1), 0u);
    EXPECT_EQ(device->EndScene(), D_D3DERR_SCENE_NOT_IN_SCENE);
    ASSERT_EQ(device->BeginScene(), D_D3D_OK);
    EXPECT_EQ(device->BeginScene(), D_D3DERR_SCENE_IN_SCENE);
    device->SetRenderState(D_D3DRENDERSTATE_CULLMODE, D_D3DCULL_NONE);
    EXPECT_EQ(DrawColored(box), D_D3D_OK);
    EXPECT_EQ(Read(target, 1, 1), 0xFFFFu);
    EXPECT_EQ(device->EndScene(), D_D3D_OK);
    // Vertex formats without pre-transformed positions, and types it does
    // not draw, are refused.
    ASSERT_EQ(device->BeginScene(), D_D3D_OK);
    EXPECT_EQ(device->DrawPrimitive(D_D3DPT_TRIANGLELIST, D_D3DFVF_DIFFUSE, box.data(), 3, 0), D_D3DERR_INVALIDCALL);
    EXPECT_EQ(device->DrawPrimitive(D_D3DPT_POINTLIST, kColorFvf, box.data(), 3, 0), D_D3DERR_INVALIDCALL);
    WORD indices[] = {0, 1, 7};
    EXPECT_EQ(device->DrawIndexedPrimitive(D_D3DPT_TRIANGLELIST, kColorFvf, box.data(), 3, indices, 3, 0),
              D_D3DERR_INVALIDCALL);
}

TEST_F(D3DDeviceTest, CullsByWindingWhenAsked) {
    D_IDirectDrawSurface7* target = MakeTarget(8, 8);
    Open(target);
    const std::uint32_t c = 0xFFFFFFFF;
    const std::vector<ColorVertex> clockwise = {{0, 0, 0, 1, c}, {8, 0, 0, 1, c}, {0, 8, 0, 1, c}};
    const std::vector<ColorVertex> counter = {{0, 0, 0, 1, c}, {0, 8, 0, 1, c}, {8, 0, 0, 1, c}};
    device->SetRenderState(D_D3DRENDERSTATE_CULLMODE, D_D3DCULL_CCW);
    ASSERT_EQ(DrawColored(counter), D_D3D_OK);
    EXPECT_EQ(Read(target, 1, 1), 0u);
    ASSERT_EQ(DrawColored(clockwise), D_D3D_OK);
    EXPECT_EQ(Read(target, 1, 1), 0xFFFFu);
}

TEST_F(D3DDeviceTest, LoadCopiesARectangleBetweenTexturesOfOneFormat) {
    D_IDirectDrawSurface7* source = MakeTexture(8, 8, kLayoutA1R5G5B5);
    D_IDirectDrawSurface7* dest = MakeTexture(8, 8, kLayoutA1R5G5B5);
    D_IDirectDrawSurface7* other = MakeTexture(8, 8, kLayout565);
    for (int i = 0; i < 64; ++i) Write(source, i % 8, i / 8, 0x8000u | static_cast<std::uint32_t>(i));
    D_IDirectDrawSurface7* target = MakeTarget(8, 8);
    ASSERT_EQ(d3d->CreateDevice(IID_D_IDirect3DHALDevice, target, &device), D_D3D_OK);
    RECT r{2, 3, 5, 7};
    POINT at{4, 1};
    ASSERT_EQ(device->Load(dest, &at, source, &r, 0), D_D3D_OK);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            const bool inside = x >= 4 && x < 7 && y >= 1 && y < 5;
            ASSERT_EQ(Read(dest, x, y), inside ? 0x8000u | static_cast<std::uint32_t>((y + 2) * 8 + x - 2) : 0u);
        }
    EXPECT_EQ(device->Load(other, nullptr, source, nullptr, 0), D_DDERR_INVALIDPIXELFORMAT);
    POINT outside{6, 6};
    EXPECT_EQ(device->Load(dest, &outside, source, &r, 0), D_DDERR_INVALIDRECT);
}

// A flip trades the primary's memory with the back buffer's: the device
// draws into whatever memory the back buffer has when it draws.
TEST_F(D3DDeviceTest, FollowsTheBackBufferThroughFlips) {
    ASSERT_EQ(dd->SetCooperativeLevel(FakeWindow(), D_DDSCL_EXCLUSIVE | D_DDSCL_FULLSCREEN), D_DD_OK);
    ASSERT_EQ(dd->SetDisplayMode(640, 480, 16, 0, 0), D_DD_OK);
    D_DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = D_DDSD_CAPS | D_DDSD_BACKBUFFERCOUNT;
    desc.ddsCaps.dwCaps = D_DDSCAPS_PRIMARYSURFACE | D_DDSCAPS_FLIP | D_DDSCAPS_COMPLEX | D_DDSCAPS_3DDEVICE;
    desc.dwBackBufferCount = 1;
    D_IDirectDrawSurface7* primary = nullptr;
    ASSERT_EQ(dd->CreateSurface(&desc, &primary, nullptr), D_DD_OK);
    surfaces.push_back(primary);
    D_DDSCAPS2 caps{D_DDSCAPS_BACKBUFFER, 0, 0, 0};
    D_IDirectDrawSurface7* back = nullptr;
    ASSERT_EQ(primary->GetAttachedSurface(&caps, &back), D_DD_OK);
    surfaces.push_back(back);
    Open(back);
    auto box = [&](std::uint32_t c) {
        return DrawColored({{0, 0, 0, 1, c}, {640, 0, 0, 1, c}, {0, 480, 0, 1, c}, {640, 480, 0, 1, c},
                            {0, 480, 0, 1, c}, {640, 0, 0, 1, c}});
    };
    for (std::uint32_t colour : {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu}) {
        ASSERT_EQ(box(colour), D_D3D_OK);
        ASSERT_EQ(device->EndScene(), D_D3D_OK);
        ASSERT_EQ(primary->Flip(nullptr, D_DDFLIP_WAIT | D_DDFLIP_NOVSYNC), D_DD_OK);
        const std::uint32_t want = colour == 0xFFFF0000u ? 0xF800u : colour == 0xFF00FF00u ? 0x07E0u : 0x001Fu;
        EXPECT_EQ(Read(primary, 320, 240), want);
        ASSERT_EQ(device->BeginScene(), D_D3D_OK);
    }
}

// A texture made as a render target is drawn into, then drawn from.
TEST_F(D3DDeviceTest, DrawsIntoATextureAndFromIt) {
    D_IDirectDrawSurface7* screen = MakeTarget(8, 8);
    D_IDirectDrawSurface7* texture = MakeSurface(4, 4, kLayout565, D_DDSCAPS_TEXTURE | D_DDSCAPS_3DDEVICE);
    Clear(screen, 0);
    Open(screen);
    ASSERT_EQ(device->SetRenderTarget(texture, 0), D_D3D_OK);
    const std::uint32_t c = 0xFF00FF00;
    ASSERT_EQ(DrawColored({{0, 0, 0, 1, c}, {4, 0, 0, 1, c}, {0, 4, 0, 1, c}, {4, 4, 0, 1, c}, {0, 4, 0, 1, c},
                           {4, 0, 0, 1, c}}),
              D_D3D_OK);
    ASSERT_EQ(device->SetRenderTarget(screen, 0), D_D3D_OK);
    device->SetTexture(0, texture);
    device->SetTextureStageState(0, D_D3DTSS_COLOROP, D_D3DTOP_SELECTARG1);
    ASSERT_EQ(DrawTextured(Quad(1.5f, 1.5f, 5.5f, 5.5f, 0, 0, 1, 1, 0xFFFFFFFF)), D_D3D_OK);
    EXPECT_EQ(Read(screen, 3, 3), 0x07E0u);
    EXPECT_EQ(Read(screen, 1, 1), 0u);
    // Without a surface there is no render target.
    EXPECT_EQ(device->SetRenderTarget(nullptr, 0), D_DDERR_INVALIDPARAMS);
}

}  // namespace

namespace {

// A texture drawn (so that its shadow is made), changed one way or another,
// and drawn again: the second draw shows the texels as they are now.
TEST_F(D3DDeviceTest, ATextureChangedAfterItsShadowWasMadeIsDrawnAsItIsNow) {
    PlatformD3DKnobsRef().shadowAfterDraws = 1;
    D_IDirectDrawSurface7* target = MakeTarget(8, 8);
    D_IDirectDrawSurface7* other = MakeTexture(4, 4, kLayout565);
    Clear(other, 0x07E0);
    D_IDirectDrawSurface7* screen = MakeTarget(4, 4);
    struct Change {
        const char* what;
        std::function<void(D_IDirectDrawSurface7* texture)> run;
        std::uint32_t texel;  // what the texture then holds at (1, 1)
    };
    const Change changes[] = {
        {"written through a lock", [](D_IDirectDrawSurface7* t) { Write(t, 1, 1, 0xF800); }, 0xF800},
        {"filled", [](D_IDirectDrawSurface7* t) { Clear(t, 0x001F); }, 0x001F},
        {"copied onto", [&](D_IDirectDrawSurface7* t) { t->BltFast(0, 0, other, nullptr, D_DDBLTFAST_WAIT); }, 0x07E0},
        {"loaded", [&](D_IDirectDrawSurface7* t) { device->Load(t, nullptr, other, nullptr, 0); }, 0x07E0},
        {"drawn into",
         [&](D_IDirectDrawSurface7* t) {
             device->SetRenderTarget(t, 0);
             device->SetTexture(0, nullptr);
             const std::uint32_t c = 0xFFFFFF00;
             device->BeginScene();
             DrawColored({{0, 0, 0, 1, c}, {4, 0, 0, 1, c}, {0, 4, 0, 1, c}, {4, 4, 0, 1, c}, {0, 4, 0, 1, c},
                          {4, 0, 0, 1, c}});
             device->EndScene();
             device->SetTexture(0, t);
             device->SetRenderTarget(screen, 0);
         },
         0xFFE0},
    };
    Open(screen);
    device->SetTextureStageState(0, D_D3DTSS_COLOROP, D_D3DTOP_SELECTARG1);
    device->SetTextureStageState(0, D_D3DTSS_ALPHAOP, D_D3DTOP_SELECTARG1);
    for (const Change& change : changes) {
        SCOPED_TRACE(change.what);
        D_IDirectDrawSurface7* texture = MakeTexture(4, 4, kLayout565);
        Clear(texture, 0x1234);
        device->SetTexture(0, texture);
        const auto quad = Quad(-0.5f, -0.5f, 3.5f, 3.5f, 0, 0, 1, 1, 0xFFFFFFFF);
        ASSERT_EQ(DrawTextured(quad), D_D3D_OK);
        ASSERT_EQ(DrawTextured(quad), D_D3D_OK);
        ASSERT_EQ(Read(screen, 1, 1), 0x1234u);
        device->EndScene();
        change.run(texture);
        device->BeginScene();
        ASSERT_EQ(DrawTextured(quad), D_D3D_OK);
        EXPECT_EQ(Read(screen, 1, 1), change.texel);
        device->SetTexture(0, nullptr);
    }
    (void)target;
}

}  // namespace
