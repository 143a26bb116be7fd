// The Direct3D layer's start-up with its choice of device, Z format and
// texture formats, its shut-down, and its release and re-acquisition when
// the display device is lost.
#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "core/log.h"
#include "core/utility.h"
#include "graphics/d3d/d3d_device.h"
#include "graphics/device/screen_device.h"

Direct3DLayerState g_Direct3D{};
Device3DRecord g_Devices3D[kDevice3DCount]{};

namespace {

struct DeviceSearch {
    DWORD depthBit;
    bool found;
};

HRESULT ChooseDevice(char*, char*, D_D3DDEVICEDESC7* desc, void* context) {
    auto* search = static_cast<DeviceSearch*>(context);
    const bool tnl = IsEqualGUID(desc->deviceGUID, IID_D_IDirect3DTnLHalDevice);
    if (!tnl && !IsEqualGUID(desc->deviceGUID, IID_D_IDirect3DHALDevice)) return D_D3DENUMRET_OK;
    if (search->depthBit == 0 || (desc->dwDeviceRenderBitDepth & search->depthBit) == 0) return D_D3DENUMRET_OK;
    g_Direct3D.chosenDesc = *desc;
    search->found = true;
    // The T&L HAL device wins over the HAL device whatever their order.
    return tnl ? D_D3DENUMRET_CANCEL : D_D3DENUMRET_OK;
}

HRESULT ChooseZFormat(D_DDPIXELFORMAT* format, void* context) {
    if (format->dwFlags != D_DDPF_ZBUFFER || format->dwZBufferBitDepth != 16) return D_D3DENUMRET_OK;
    g_Direct3D.zFormat = *format;
    *static_cast<bool*>(context) = true;
    return D_D3DENUMRET_CANCEL;
}

bool SlotEmpty(int slot) { return g_Direct3D.formats[slot].colorFormat.depth == 0; }

void FillSlot(int slot, const D_DDPIXELFORMAT& format, const ColorFormatDesc& desc) {
    g_Direct3D.formats[slot].pixelFormat = format;
    g_Direct3D.formats[slot].colorFormat = desc;
}

bool SameAsScreen(const ColorFormatDesc& d) {
    const ColorFormatDesc& s = g_ScreenColorFormat;
    return d.depth == s.depth && d.redMask == s.redMask && d.greenMask == s.greenMask && d.blueMask == s.blueMask;
}

HRESULT SortTextureFormat(D_DDPIXELFORMAT* format, void* context) {
    constexpr DWORD kSkipped = D_DDPF_LUMINANCE | D_DDPF_BUMPLUMINANCE | D_DDPF_BUMPDUDV | D_DDPF_FOURCC | D_DDPF_ALPHA;
    if (format->dwFlags & kSkipped) return D_D3DENUMRET_OK;
    ColorFormatDesc desc{};
    ColorFormatFromDDPixelFormat(format, &desc);
    if (format->dwFlags & D_DDPF_ALPHAPIXELS) {
        switch (format->dwRGBAlphaBitMask) {
            case 0xF000:
                if (SlotEmpty(2)) FillSlot(2, *format, desc);
                break;
            case 0xFF000000u:
                if (SlotEmpty(3)) FillSlot(3, *format, desc);
                if (SlotEmpty(5)) FillSlot(5, *format, desc);
                break;
            case 0x8000:
                if (SlotEmpty(4)) FillSlot(4, *format, desc);
                break;
            default: break;
        }
        return D_D3DENUMRET_OK;
    }
    const int slot = desc.depth == 16 ? 0 : desc.depth == 32 ? 1 : -1;
    if (slot < 0) return D_D3DENUMRET_OK;
    // The first of a depth, unless a later one is the screen's own format.
    if (SlotEmpty(slot) || SameAsScreen(desc)) FillSlot(slot, *format, desc);
    if (slot == 0) *static_cast<bool*>(context) = true;
    return D_D3DENUMRET_OK;
}

void ReleaseObject() {
    if (g_Direct3D.direct3D != nullptr) g_Direct3D.direct3D->Release();
    g_Direct3D.direct3D = nullptr;
}

int Fail(const char* text) {
    WriteLogText(text);
    ReleaseObject();
    return -1;
}

void LogFormats() {
    const Direct3DLayerState& s = g_Direct3D;
    const DWORD caps = s.chosenDesc.dpcTriCaps.dwTextureCaps;
    IncreaseLogIndent();
    WriteD3DLog("テクスチャ最大幅:%u 最小幅:%u ", s.maxTextureSize, s.minTextureSize);
    WriteD3DLog("描画制限: D_D3DPTEXTURECAPS_POW2 = %d  D_D3DPTEXTURECAPS_SQUAREONLY = %d ",
                (caps & D_D3DPTEXTURECAPS_POW2) ? 1 : 0, (caps & D_D3DPTEXTURECAPS_SQUAREONLY) ? 1 : 0);
    WriteLogText("テクスチャピクセルフォーマット");
    WriteLogText("\t通常グラフィック用");
    for (int slot : {0, 1}) {
        const ColorFormatDesc& f = s.formats[slot].colorFormat;
        WriteD3DLog("\t\t BIT:%u  RED:%u  GREEN:%u  BLUE:%u ", f.depth, f.redWidth, f.greenWidth, f.blueWidth);
        WriteD3DLog("\t\t RED:%06x GREEN:%06x BLUE:%06x \n", f.redMask, f.greenMask, f.blueMask);
    }
    WriteLogText("\tアルファチャンネル付きグラフィック用");
    for (int slot : {2, 3}) {
        const ColorFormatDesc& f = s.formats[slot].colorFormat;
        WriteD3DLog("\t\t BIT:%u  ALPHA:%u  RED:%u  GREEN:%u  BLUE:%u ", f.depth, f.alphaWidth, f.redWidth,
                    f.greenWidth, f.blueWidth);
        WriteD3DLog("\t\t ALPHA:%08x RED:%08x GREEN:%08x BLUE:%08x \n", f.alphaMask, f.redMask, f.greenMask,
                    f.blueMask);
    }
    DecreaseLogIndent();
}

}  // namespace

Device3DRecord* LookupDevice3D(int handle) {
    const int slot = handle & 0xFFFF;
    if (handle < 0 || slot >= kDevice3DCount || !g_Devices3D[slot].inUse) return nullptr;
    return &g_Devices3D[slot];
}

Device3DRecord* CurrentDevice3D() { return LookupDevice3D(g_Direct3D.currentDevice); }

int WriteD3DLog(const char* format, ...) {
    char text[kLogFormatBufferSize];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return WriteLogText(text);
}

int IsDirect3DSuppressed() { return g_Direct3D.suppressed3D ? 1 : 0; }

int IsDirect3DUp() { return g_Direct3D.direct3D != nullptr ? 1 : 0; }

int HasDevice3DInterface() {
    const Device3DRecord* d = CurrentDevice3D();
    return d != nullptr && d->device != nullptr ? 1 : 0;
}

int StartUpDirect3D() {
    if (g_Direct3D.direct3D != nullptr) return -1;
    WriteLogText("Direct3D 関連の初期化を行います");
    g_Direct3D = Direct3DLayerState{};
    WriteLogText("Ｄｉｒｅｃｔ３Ｄオブジェクトを取得します");
    D_IDirectDraw7* dd = GetDirectDrawObject();
    void* object = nullptr;
    if (dd == nullptr || FAILED(dd->QueryInterface(IID_D_IDirect3D7, &object)) || object == nullptr) {
        WriteLogText("Direct3Dオブジェクトの作成に失敗しました");
        return -1;
    }
    g_Direct3D.direct3D = static_cast<D_IDirect3D7*>(object);
    WriteLogText("Ｄｉｒｅｃｔ３Ｄオブジェクトを取得しました");

    const int depth = g_ScreenColorFormat.depth;
    DeviceSearch search{depth == 16 ? D_DDBD_16 : depth == 32 ? D_DDBD_32 : 0u, false};
    if (FAILED(g_Direct3D.direct3D->EnumDevices(ChooseDevice, &search)) || !search.found)
        return Fail("現在の画面モードで使用できる描画デバイスが見つかりませんでした");

    bool zFound = false;
    if (FAILED(g_Direct3D.direct3D->EnumZBufferFormats(IID_D_IDirect3DHALDevice, ChooseZFormat, &zFound)) || !zFound)
        return Fail("使用可能なＺバッファが見つかりませんでした");

    const int handle = MakeDevice3D(GetMainDrawSurface());
    if (handle < 0) {
        ReleaseObject();
        return -1;
    }
    g_Direct3D.currentDevice = handle;
    SetDeviceRenderTarget(handle, GetMainDrawSurface());
    Device3DRecord* device = LookupDevice3D(handle);
    for (int stage = 3; stage >= 0; --stage) {
        if (FAILED(device->device->SetTextureStageState(static_cast<DWORD>(stage), D_D3DTSS_ADDRESS,
                                                         D_D3DTADDRESS_CLAMP)) &&
            stage == 0) {
            DeleteAllDevices3D();
            ReleaseObject();
            return -1;
        }
    }

    bool sixteenBit = false;
    if (FAILED(device->device->EnumTextureFormats(SortTextureFormat, &sixteenBit)) || !sixteenBit) {
        WriteLogText("使用可能なテクスチャフォーマットが見つかりませんでした");
        DeleteAllDevices3D();
        ReleaseObject();
        return -1;
    }
    const int fills[][2] = {{1, 0}, {3, 2}, {4, 2}, {5, 3}, {6, 0}, {7, 1}, {8, 3}};
    for (const auto& fill : fills)
        if (SlotEmpty(fill[0])) g_Direct3D.formats[fill[0]] = g_Direct3D.formats[fill[1]];

    Direct3DLayerState& s = g_Direct3D;
    s.mainSurfaceIsTarget = 1;
    const D_D3DDEVICEDESC7& d = s.chosenDesc;
    s.minTextureSize = std::min(d.dwMinTextureWidth, d.dwMinTextureHeight);
    if (s.minTextureSize == 0) s.minTextureSize = 32;
    s.maxTextureSize = std::min(d.dwMaxTextureWidth, d.dwMaxTextureHeight);
    if (s.maxTextureSize == 0) s.maxTextureSize = 256;
    s.captureVariant[0] = s.captureVariant[1] = -1;
    s.suppressed3D = 0;
    // The colour word was zeroed with the rest: it follows the draw state.
    UpdateDrawColorState();
    LogFormats();
    WriteLogText("Direct3D 関連の初期化は正常に終了しました");
    s.started = 1;
    return 0;
}

int ShutDownDirect3D() {
    // A layer whose object was released by a device loss still owns its
    // records and tiles.
    if (g_Direct3D.direct3D == nullptr && !g_Direct3D.started) return -1;
    WriteLogText("Direct3D 関連の終了処理を行います");
    EndDeviceScene();
    g_Direct3D.mainSurfaceIsTarget = 0;
    if (Device3DRecord* d = CurrentDevice3D(); d != nullptr && d->device != nullptr)
        SetDeviceTexture(g_Direct3D.currentDevice, nullptr);
    DeleteAllSurface3DData();
    DeleteAllDevices3D();
    ReleaseObject();
    WriteLogText("Direct3D 関連の終了処理は正常に終了しました");
    g_Direct3D.started = 0;
    return 0;
}

int ReleaseDirect3DObjects() {
    if (!g_Direct3D.started) return -1;
    ReleaseDevice3D(g_Direct3D.currentDevice);
    WriteLogText("Ｄｉｒｅｃｔ３Ｄオブジェクトを解放します");
    if (g_Direct3D.direct3D != nullptr) {
        ReleaseObject();
        WriteLogText("Ｄｉｒｅｃｔ３Ｄオブジェクトを解放しました");
    } else {
        WriteLogText("Ｄｉｒｅｃｔ３Ｄオブジェクトは既に解放されています");
    }
    return 0;
}

int ReacquireDirect3D() {
    if (!g_Direct3D.started) return 0;
    WriteLogText("Ｄｉｒｅｃｔ３Ｄオブジェクトを取得します");
    if (g_Direct3D.direct3D != nullptr) {
        WriteLogText("Ｄｉｒｅｃｔ３Ｄオブジェクトは既に取得されています");
        return 0;
    }
    D_IDirectDraw7* dd = GetDirectDrawObject();
    void* object = nullptr;
    if (dd == nullptr || FAILED(dd->QueryInterface(IID_D_IDirect3D7, &object)) || object == nullptr)
        return WriteLogText("Direct3Dオブジェクトの作成に失敗しました");
    g_Direct3D.direct3D = static_cast<D_IDirect3D7*>(object);
    WriteLogText("Ｄｉｒｅｃｔ３Ｄオブジェクトは正常に取得されました");
    if (Device3DRecord* d = CurrentDevice3D()) {
        d->creationSurface = GetMainDrawSurface();
        d->renderTarget = GetDrawTargetSurface();
    }
    return RecreateDevice3D(g_Direct3D.currentDevice);
}

int DeleteAllSurface3DDataIfUp() {
    if (g_Direct3D.direct3D == nullptr) return -1;
    return DeleteAllSurface3DData();
}

const D_DDPIXELFORMAT* GetZBufferPixelFormat() {
    return g_Direct3D.direct3D != nullptr ? &g_Direct3D.zFormat : nullptr;
}

// ---- texture formats -------------------------------------------------------------------

int GetTextureFormatIndex(int alphaChannel, int drawValid, int alphaTest, int colorBitDepth) {
    if (g_Direct3D.direct3D == nullptr) return -1;
    const int d = colorBitDepth == 16 ? 0 : 1;
    int index;
    if (drawValid && (alphaChannel || alphaTest))
        index = 8;
    else if (drawValid)
        index = 6 + d;
    else if (alphaChannel)
        index = 2 + d;
    else if (alphaTest)
        index = 4 + d;
    else
        index = d;
    // A device without 16-bit alpha formats leaves those slots empty: the
    // 32-bit slot of the same kind serves instead.
    if (SlotEmpty(index) && d == 0 && (index == 2 || index == 4)) ++index;
    return SlotEmpty(index) ? -1 : index;
}

const TextureFormatSlot* GetTextureFormatSlot(int index) {
    if (g_Direct3D.direct3D == nullptr || index < 0 || index >= kTextureFormatSlotCount || SlotEmpty(index))
        return nullptr;
    return &g_Direct3D.formats[index];
}

const ColorFormatDesc* GetTextureColorFormat(int index) {
    const TextureFormatSlot* slot = GetTextureFormatSlot(index);
    return slot != nullptr ? &slot->colorFormat : nullptr;
}

const ColorFormatDesc* GetTextureFormatDesc(int alphaChannel, int drawValid, int alphaTest, int colorBitDepth) {
    return GetTextureColorFormat(GetTextureFormatIndex(alphaChannel, drawValid, alphaTest, colorBitDepth));
}

const ColorFormatDesc* GetFontTextureFormat(int alphaChannel, int alphaTest, int deep, int drawable) {
    return GetTextureFormatDesc(alphaChannel, drawable, alphaTest, deep ? 32 : 16);
}
