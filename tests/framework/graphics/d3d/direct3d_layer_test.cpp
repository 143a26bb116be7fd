// The Direct3D layer's start-up against the devices and formats the
// stand-in is made to report, its state cache, and the draw-target switch.
#include <gtest/gtest.h>

#include <string>

#include "framework/graphics/d3d/direct3d_fixture.h"

namespace {

D3DStandInDevice DeviceOf(const IID& guid, DWORD depths = D_DDBD_16 | D_DDBD_32) {
    D3DStandInDevice d = PlatformD3DDefaultDevices()[0];
    d.desc.deviceGUID = guid;
    d.desc.dwDeviceRenderBitDepth = depths;
    return d;
}

struct ChoiceCase {
    const char* name;
    std::vector<D3DStandInDevice> devices;
    int failCreateDevice;
    bool up;
    const IID* chosen;
    const char* logLine;  // a line the log must hold
};

class Direct3DChoiceTest : public Direct3DFrameworkTest, public testing::WithParamInterface<ChoiceCase> {};

TEST_P(Direct3DChoiceTest, ChoosesTheDeviceOrRunsWithout) {
    const ChoiceCase& c = GetParam();
    D3DStandInKnobs& k = PlatformD3DKnobsRef();
    k.replaceDevices = true;
    k.devices = c.devices;
    k.failNext[static_cast<int>(D3DCall::CreateDevice)] = c.failCreateDevice;
    Start();
    EXPECT_EQ(IsDirect3DUp(), c.up ? 1 : 0);
    if (c.chosen != nullptr) {
        EXPECT_TRUE(IsEqualGUID(g_Direct3D.chosenDesc.deviceGUID, *c.chosen));
    }
    EXPECT_GE(FindLine(c.logLine), 0) << c.logLine;
    // Whatever was chosen, graphics are made and drawn.
    GraphImage image = MakeImage(40, 30, [](int x, int y) { return static_cast<std::uint32_t>(x * 5 + y); });
    const HandleId graph = MakeGraphFromImages(&image, nullptr, 1, 0, 0);
    ReleaseBaseImage(&image);
    ASSERT_GT(graph, 0);
    EXPECT_EQ(LookupGraph(graph)->textureGraph, c.up ? 1 : 0);
}

const ChoiceCase kChoiceCases[] = {
    {"NoDevice", {}, 0, false, nullptr, "現在の画面モードで使用できる描画デバイスが見つかりませんでした"},
    {"OnlyHal", {DeviceOf(IID_D_IDirect3DHALDevice)}, 0, true, &IID_D_IDirect3DHALDevice,
     "Direct3D 関連の初期化は正常に終了しました"},
    {"TnlWinsAfterHal", {DeviceOf(IID_D_IDirect3DHALDevice), DeviceOf(IID_D_IDirect3DTnLHalDevice)}, 0, true,
     &IID_D_IDirect3DTnLHalDevice, "３Ｄグラフィック描画機能を使用します"},
    {"TnlWinsBeforeHal", {DeviceOf(IID_D_IDirect3DTnLHalDevice), DeviceOf(IID_D_IDirect3DHALDevice)}, 0, true,
     &IID_D_IDirect3DTnLHalDevice, "３Ｄデバイスの作成に成功しました"},
    {"SoftwareDeviceIsSkipped", {DeviceOf(IID_D_IDirect3DRGBDevice)}, 0, false, nullptr,
     "現在の画面モードで使用できる描画デバイスが見つかりませんでした"},
    {"NoDeviceRendersAtTheScreenDepth", {DeviceOf(IID_D_IDirect3DTnLHalDevice, D_DDBD_32)}, 0, false, nullptr,
     "現在の画面モードで使用できる描画デバイスが見つかりませんでした"},
    {"FailingCreateDeviceFallsBack", {DeviceOf(IID_D_IDirect3DHALDevice)}, 1, false, nullptr,
     "３Ｄデバイスの作成に失敗しました"},
};

INSTANTIATE_TEST_SUITE_P(Devices, Direct3DChoiceTest, testing::ValuesIn(kChoiceCases),
                         [](const testing::TestParamInfo<ChoiceCase>& info) { return std::string(info.param.name); });

using Direct3DLayerTest = Direct3DFrameworkTest;

// Software rendering lasts as long as the framework runs. Ended and started
// again, the framework chooses afresh: software while the disable-3D
// setting still asks for it, Direct3D once 3D is asked for again.
TEST_F(Direct3DLayerTest, AfterASoftwareOnlyRunDirect3DComesUpAgain) {
    const struct {
        int use3D;  // set before the start; -1 leaves the setting as it is
        bool direct3D;
    } starts[] = {{0, false}, {-1, false}, {1, true}, {-1, true}};
    for (const auto& s : starts) {
        SCOPED_TRACE(s.use3D);
        if (s.use3D >= 0) SetUse3DFlag(s.use3D);
        Start();
        EXPECT_EQ(IsDirect3DUp(), s.direct3D ? 1 : 0);
        EXPECT_EQ(IsDirectDrawInUse(), s.direct3D ? 1 : 0) << "software-only mode";
        EXPECT_EQ(IsScreenMemImg(), s.direct3D ? 0 : 1);
        // Graphics are made where the road holds them.
        GraphImage image = MakeImage(16, 16, [](int x, int y) { return static_cast<std::uint32_t>(x * 9 + y); });
        const HandleId graph = MakeGraphFromImages(&image, nullptr, 1, 0, 0);
        ReleaseBaseImage(&image);
        ASSERT_GT(graph, 0);
        EXPECT_EQ(LookupGraph(graph)->textureGraph, s.direct3D ? 1 : 0);
        ASSERT_EQ(ApiEndFramework(), 0);
    }
}

TEST_F(Direct3DLayerTest, SortsTheOfferedTextureFormatsIntoTheSlots) {
    Start();
    ASSERT_EQ(IsDirect3DUp(), 1);
    struct Want {
        int slot;
        int depth;
        std::uint32_t red, alpha;
    };
    // A 5:6:5 screen: the default list fills every slot.
    const Want wants[] = {{0, 16, 0xF800, 0},
                          {1, 32, 0xFF0000, 0},
                          {2, 16, 0x0F00, 0xF000},
                          {3, 32, 0xFF0000, 0xFF000000u},
                          {4, 16, 0x7C00, 0x8000},
                          {5, 32, 0xFF0000, 0xFF000000u},
                          {6, 16, 0xF800, 0},
                          {7, 32, 0xFF0000, 0},
                          {8, 32, 0xFF0000, 0xFF000000u}};
    for (const Want& w : wants) {
        const ColorFormatDesc* f = GetTextureColorFormat(w.slot);
        ASSERT_NE(f, nullptr) << w.slot;
        EXPECT_EQ(f->depth, w.depth) << w.slot;
        EXPECT_EQ(f->redMask, w.red) << w.slot;
        EXPECT_EQ(f->alphaMask, w.alpha) << w.slot;
    }
    // Game images (alpha test set) are 1:5:5:5, as is a 16-bit font cache.
    EXPECT_EQ(GetTextureFormatIndex(0, 0, 1, 16), 4);
    EXPECT_EQ(GetFontTextureFormat(0, 1, 0, 0)->alphaMask, 0x8000u);
    EXPECT_EQ(GetTextureFormatIndex(1, 1, 0, 16), 8);
    EXPECT_EQ(GetTextureFormatIndex(0, 1, 0, 32), 7);
    EXPECT_EQ(g_Direct3D.minTextureSize, 1u);
    EXPECT_EQ(g_Direct3D.maxTextureSize, 2048u);
    EXPECT_EQ(GetZBufferPixelFormat()->dwZBufferBitDepth, 16u);
    // The log lists the formats of the plain and the alpha slots, under
    // their headings.
    for (const char* line : {"テクスチャ最大幅:2048 最小幅:1 ", "テクスチャピクセルフォーマット", "通常グラフィック用",
                             "BIT:16  RED:5  GREEN:6  BLUE:5 ", "アルファチャンネル付きグラフィック用",
                             "BIT:32  ALPHA:8  RED:8  GREEN:8  BLUE:8 "})
        EXPECT_GE(FindLine(line), 0) << line;
}

TEST_F(Direct3DLayerTest, WithoutSixteenBitAlphaFormatsTexturesTakeTheThirtyTwoBitSlot) {
    D3DStandInKnobs& k = PlatformD3DKnobsRef();
    k.replaceTextureFormats = true;
    // 5:6:5 and 8:8:8:8 of the stand-in's list.
    k.textureFormats = {PlatformD3DDefaultTextureFormats()[0], PlatformD3DDefaultTextureFormats()[5]};
    Start();
    ASSERT_EQ(IsDirect3DUp(), 1);
    // 8:8:8:8 fills slots 3 and 5; 2 and 4 stay empty.
    EXPECT_EQ(GetTextureFormatSlot(2), nullptr);
    EXPECT_EQ(GetTextureFormatSlot(4), nullptr);
    EXPECT_EQ(GetTextureColorFormat(3)->alphaMask, 0xFF000000u);
    EXPECT_EQ(GetTextureColorFormat(5)->alphaMask, 0xFF000000u);
    // An image made with the alpha test (every game image) still gets a
    // texture, in the 32-bit alpha format, its transparent colour clear.
    GraphImage image = MakeImage(8, 8, [](int x, int) { return x == 0 ? 0u : 0x102030u; });
    const HandleId graph = MakeGraphFromImages(&image, nullptr, 1, 0, 0);
    ReleaseBaseImage(&image);
    ASSERT_GT(graph, 0);
    const GraphRecord* g = LookupGraph(graph);
    ASSERT_EQ(g->textureGraph, 1);
    EXPECT_EQ(GraphTexel(*g, 0, 0) >> 24, 0u);
    EXPECT_EQ(GraphTexel(*g, 3, 3), 0xFF102030u);
}

TEST_F(Direct3DLayerTest, RefusesADeviceWithoutSixteenBitPlainFormats) {
    D3DStandInKnobs& k = PlatformD3DKnobsRef();
    k.replaceTextureFormats = true;
    k.textureFormats = {PlatformD3DDefaultTextureFormats()[4]};  // X8R8G8B8 only
    Start();
    EXPECT_EQ(IsDirect3DUp(), 0);
    EXPECT_GE(FindLine("使用可能なテクスチャフォーマットが見つかりませんでした"), 0);
    EXPECT_GE(FindLine("３Ｄグラフィック描画機能は使用しません"), 0);
}

TEST_F(Direct3DLayerTest, TextureSizeLimitsOfZeroBecomeThirtyTwoAndTwoFiftySix) {
    D3DStandInKnobs& k = PlatformD3DKnobsRef();
    k.replaceDevices = true;
    k.devices = {DeviceOf(IID_D_IDirect3DHALDevice)};
    k.devices[0].desc.dwMinTextureWidth = k.devices[0].desc.dwMaxTextureHeight = 0;
    Start();
    EXPECT_EQ(g_Direct3D.minTextureSize, 32u);
    EXPECT_EQ(g_Direct3D.maxTextureSize, 256u);
}

TEST_F(Direct3DLayerTest, SettersSendOnlyChangesUnlessAllArePushed) {
    Start();
    const int device = g_Direct3D.currentDevice;
    D3DStandInKnobs& k = PlatformD3DKnobsRef();
    k.logCalls = true;
    auto sent = [](DWORD state) {
        int n = 0;
        for (const D3DCallRecord& r : PlatformD3DCallLog()) n += r.call == D3DCall::SetRenderState && r.a == state;
        return n;
    };
    // A value other than the one start-up left in the cache.
    PlatformD3DClearCallLog();
    SetDeviceZFunc(device, 3);
    SetDeviceZFunc(device, 3);
    SetDeviceShadeMode(device, 2);
    SetDeviceShadeMode(device, 2);
    SetDeviceCullMode(device, 1);
    EXPECT_EQ(sent(D_D3DRENDERSTATE_ZFUNC), 1);
    EXPECT_EQ(sent(D_D3DRENDERSTATE_SHADEMODE), 1);
    ASSERT_EQ(sent(D_D3DRENDERSTATE_CULLMODE), 1);
    EXPECT_EQ(PlatformD3DCallLog().back().b, D_D3DCULL_CCW);
    PlatformD3DClearCallLog();
    ResetDeviceStates(device);
    EXPECT_EQ(sent(D_D3DRENDERSTATE_ZFUNC), 1);
    EXPECT_EQ(sent(D_D3DRENDERSTATE_SHADEMODE), 2);  // the default states, then the cache's
    EXPECT_EQ(SetDeviceFilterMode(device, 2), -1);
}

TEST_F(Direct3DLayerTest, DrawTargetsBecomeRenderTargets) {
    Start();
    Device3DRecord* d = CurrentDevice3D();
    ASSERT_NE(d, nullptr);
    ASSERT_EQ(SelectDrawTarget(kBackScreenTarget), 0);
    EXPECT_EQ(d->renderTarget, GetSysMemBackSurface());
    EXPECT_EQ(g_Direct3D.mainSurfaceIsTarget, 0);
    ASSERT_EQ(SelectDrawTarget(kFrontScreenTarget), 0);
    EXPECT_EQ(d->renderTarget, GetMainDrawSurface());
    EXPECT_EQ(g_Direct3D.mainSurfaceIsTarget, 1);

    // A drawable texture graphic of one tile.
    SetMakeDrawableGraphFlag(1);
    const HandleId drawable = MakeEmptyGraph(200, 100, 0);
    // Wider than the largest texture: several tiles.
    const HandleId wide = MakeEmptyGraph(3000, 64, 0);
    SetMakeDrawableGraphFlag(0);
    ASSERT_GT(drawable, 0);
    ASSERT_GT(wide, 0);
    ASSERT_EQ(LookupGraph(drawable)->storageCount, 1);
    ASSERT_GT(LookupGraph(wide)->storageCount, 1);
    ASSERT_EQ(SelectDrawTarget(drawable), 0);
    const Surface3DDataRecord* tile = LookupSurface3DData(LookupGraph(drawable)->storageHandles[0]);
    EXPECT_EQ(d->renderTarget, LookupSurfaceData(tile->surfaceData)->surface);
    EXPECT_EQ(g_Direct3D.suppressed3D, 0);
    // Several tiles cannot be one render target: 3D drawing is held back
    // instead of going to the front screen.
    ASSERT_EQ(SelectDrawTarget(wide), 0);
    EXPECT_EQ(g_Direct3D.suppressed3D, 1);
    ASSERT_EQ(SelectDrawTarget(kBackScreenTarget), 0);
    EXPECT_EQ(g_Direct3D.suppressed3D, 0);
    // A texture graphic that is not drawable is refused by the device.
    GraphImage image = MakeImage(16, 16, [](int, int) { return 0x808080u; });
    const HandleId plain = MakeGraphFromImages(&image, nullptr, 1, 0, 0);
    ReleaseBaseImage(&image);
    EXPECT_EQ(SetDrawTargetOnDevice(plain), -1);
}

}  // namespace

namespace {

// A loss and its recovery said twice over do no more than once: the
// second release and the second reacquire only say so, the device handle
// stays, and the layer still ends once.
TEST_F(Direct3DLayerTest, LossAndRecoveryRepeatedDoNoMoreThanOnce) {
    Start();
    const int device = g_Direct3D.currentDevice;
    ASSERT_EQ(ReleaseDirect3DObjects(), 0);
    EXPECT_EQ(IsDirect3DUp(), 0);
    EXPECT_EQ(HasDevice3DInterface(), 0);
    EXPECT_GE(FindLine("Ｄｉｒｅｃｔ３Ｄオブジェクトを解放しました"), 0);
    ASSERT_EQ(ReleaseDirect3DObjects(), 0);
    EXPECT_GE(FindLine("Ｄｉｒｅｃｔ３Ｄオブジェクトは既に解放されています"), 0);
    // The records outlive the loss; without their device they refuse.
    EXPECT_EQ(ApplyDeviceBlendState(device), -1);
    EXPECT_EQ(SetDeviceFilterMode(device, 1), -1);
    EXPECT_EQ(ResetDeviceStates(device), -1);
    ASSERT_EQ(ReacquireDirect3D(), 0);
    EXPECT_EQ(IsDirect3DUp(), 1);
    EXPECT_EQ(HasDevice3DInterface(), 1);
    EXPECT_EQ(g_Direct3D.currentDevice, device);
    EXPECT_GE(FindLine("Ｄｉｒｅｃｔ３Ｄオブジェクトは正常に取得されました"), 0);
    ASSERT_EQ(ReacquireDirect3D(), 0);
    EXPECT_GE(FindLine("Ｄｉｒｅｃｔ３Ｄオブジェクトは既に取得されています"), 0);
    // Made again, the device draws.
    GraphImage image = MakeImage(8, 8, [](int, int) { return 0xF8F8F8u; });
    const HandleId graph = MakeGraphFromImages(&image, nullptr, 1, 0, 0);
    ReleaseBaseImage(&image);
    ASSERT_GT(graph, 0);
    ASSERT_EQ(ApiSelectDrawTarget(kDrawTargetBack), 0);
    ASSERT_EQ(ApiBlitGraph(2, 2, graph, 0), 0);
    EndDeviceScene();
    D_DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    ASSERT_EQ(g_ScreenDevice.back->Lock(nullptr, &desc, D_DDLOCK_WAIT, nullptr), D_DD_OK);
    std::uint16_t drawn = 0;
    std::memcpy(&drawn, static_cast<std::uint8_t*>(desc.lpSurface) + 5 * desc.lPitch + 5 * 2, 2);
    g_ScreenDevice.back->Unlock(nullptr);
    EXPECT_EQ(drawn, 0xFFFFu);
    ASSERT_EQ(ShutDownDirect3D(), 0);
    EXPECT_EQ(ShutDownDirect3D(), -1);
    EXPECT_EQ(ReleaseDirect3DObjects(), -1);
    EXPECT_EQ(ReacquireDirect3D(), 0);
    EXPECT_EQ(IsDirect3DUp(), 0);
    // Ended, the layer starts again, once.
    EXPECT_EQ(StartUpDirect3D(), 0);
    EXPECT_EQ(IsDirect3DUp(), 1);
    EXPECT_EQ(StartUpDirect3D(), -1);
}

}  // namespace
