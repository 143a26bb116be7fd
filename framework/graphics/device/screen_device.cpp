// The screen device's life: obtaining the DirectDraw object, the window
// clipper, shut-down, release and rebuild after a device loss, the main
// surfaces' release and restore, and the settings and getters.
#include "graphics/device/screen_device.h"

#include <cstdio>
#include <cstring>

#include "core/fatal_error.h"
#include "core/log.h"
#include "core/system_state.h"
#include "graphics/d3d/direct3d.h"
#include "graphics/device/present.h"
#include "graphics/device/screen_device_internal.h"
#include "graphics/device/surface2d.h"
#include "graphics/draw/draw_state.h"
#include "graphics/draw/graph_load.h"
#include "platform/com.h"
#include "platform/display.h"

ScreenDeviceState g_ScreenDevice{};

namespace {

template <class T>
void ReleaseInterface(T*& object) {
    if (object != nullptr) {
        object->Release();
        object = nullptr;
    }
}

// The overlay formats tried at start-up, in order.
struct OverlayFormat {
    const char* name;
    D_DDPIXELFORMAT format;
};

D_DDPIXELFORMAT FourCCFormat(DWORD fourCC) {
    D_DDPIXELFORMAT pf{};
    pf.dwSize = sizeof pf;
    pf.dwFlags = D_DDPF_FOURCC;
    pf.dwFourCC = fourCC;
    return pf;
}

D_DDPIXELFORMAT RgbFormat(DWORD r, DWORD g, DWORD b) {
    D_DDPIXELFORMAT pf{};
    pf.dwSize = sizeof pf;
    pf.dwFlags = D_DDPF_RGB;
    pf.dwRGBBitCount = 16;
    pf.dwRBitMask = r;
    pf.dwGBitMask = g;
    pf.dwBBitMask = b;
    return pf;
}

const OverlayFormat kOverlayFormats[4] = {
    {" UYVY", FourCCFormat(D_MAKEFOURCC('U', 'Y', 'V', 'Y'))},
    {" YUY2", FourCCFormat(D_MAKEFOURCC('Y', 'U', 'Y', '2'))},
    {" 16-bit RGB 5:5:5 ", RgbFormat(0x7C00, 0x03E0, 0x001F)},
    {" 16-bit RGB 5:6:5 ", RgbFormat(0xF800, 0x07E0, 0x001F)},
};

// Picks the first overlay format the driver can make in video memory.
void ChooseOverlayFormat() {
    ScreenDeviceState& d = g_ScreenDevice;
    d.overlayFormatIndex = -1;
    if (g_SystemState.osCode == 0x108 || d.directDraw == nullptr) return;
    void* old = nullptr;
    if (SUCCEEDED(d.directDraw->QueryInterface(IID_D_IDirectDraw, &old)) && old != nullptr) {
        auto* ddraw = static_cast<D_IDirectDraw7*>(old);
        std::memset(&d.driverCaps, 0, sizeof d.driverCaps);
        d.driverCaps.dwSize = sizeof d.driverCaps;
        ddraw->GetCaps(&d.driverCaps, nullptr);
        ddraw->Release();
    }
    if (d.driverCaps.dwMinOverlayStretch < 1000 || d.driverCaps.dwMaxOverlayStretch < 2000) {
        for (int i = 0; i < 4; ++i) {
            D_DDSURFACEDESC2 desc{};
            desc.dwSize = sizeof desc;
            desc.dwFlags = D_DDSD_CAPS | D_DDSD_WIDTH | D_DDSD_HEIGHT | D_DDSD_PIXELFORMAT;
            desc.dwWidth = desc.dwHeight = 16;
            desc.ddsCaps.dwCaps = D_DDSCAPS_OVERLAY | D_DDSCAPS_VIDEOMEMORY;
            desc.ddpfPixelFormat = kOverlayFormats[i].format;
            D_IDirectDrawSurface7* surface = nullptr;
            if (FAILED(d.directDraw->CreateSurface(&desc, &surface, nullptr)) || surface == nullptr) continue;
            D_DDSCAPS2 caps{};
            surface->GetCaps(&caps);
            surface->Release();
            if (caps.dwCaps & D_DDSCAPS_SYSTEMMEMORY) continue;
            d.overlayFormatIndex = i;
            WriteLogFormat("オーバーレイサーフェスを使用します　　　%s", kOverlayFormats[i].name);
            return;
        }
    }
    WriteLogText("オーバーレイサーフェスは使用しません\n");
}

}  // namespace

void SetVideoCardInfo(const char* driver, const char* description, DWORD totalMemory, DWORD freeMemory) {
    SystemState& s = g_SystemState;
    std::snprintf(s.videoDriver, sizeof s.videoDriver, "%s", driver);
    std::snprintf(s.videoDescription, sizeof s.videoDescription, "%s", description);
    s.videoMemoryTotal = totalMemory;
    s.videoMemoryFree = freeMemory;
}

// ---- start-up --------------------------------------------------------------------------

int StartUpDirectDraw() {
    ScreenDeviceState& d = g_ScreenDevice;
    if (d.directDraw != nullptr) return -1;
    WriteLogText("DirectDraw 関連の初期化を行います\n");
    IncreaseLogIndent();
    if (d.softwareOnly) {
        SetUse3DFlag(0);
        ChooseGraphMemoryPlaceForMode(0);
        ChangeRenderingMode(0);
    }
    if (ObtainDirectDrawObject(&d.directDraw) != 0) FatalError("DirectDrawオブジェクトの作成に失敗しました");
    if (!d.softwareOnly && NewClipperForWindow(&d.clipper, d.window) != 0)
        FatalError("DirectDrawClipperオブジェクトの作成時にエラーが発生しました");
    if (d.width == 0) d.width = 640;
    if (d.height == 0) d.height = 480;
    if (d.depth == 0) d.depth = 16;
    d.depthSetting = d.depth;
    g_ScreenColorInfo.depthSetting = d.depthSetting;
    if (ApplyScreenMode(-1, -1, -1, 1, -1) < 0) {
        DecreaseLogIndent();
        ShutDownDirectDraw();
        return -1;
    }
    if (!HasWindowRegion()) {
        SelectDrawTarget(kBackScreenTarget);
        ClearDrawTargetPixels();
        SelectDrawTarget(kFrontScreenTarget);
    }
    d.sceneMayBeOpen = 1;
    d.mmx = GetMmxAvailable();
    ChooseOverlayFormat();
    DecreaseLogIndent();
    WriteLogText("DirectDraw 関連の初期化は正常に終了しました\n");
    // The renderer's arithmetic tables are filled when the program starts.
    d.tablesBuilt = 1;
    return 0;
}

int ObtainDirectDrawObject(D_IDirectDraw7** out) {
    WriteLogText("DirectDraw オブジェクトの取得を行います....  ");
    void* object = nullptr;
    if (FAILED(CoCreateInstance(CLSID_D_DirectDraw7, nullptr, CLSCTX_ALL, IID_D_IDirectDraw7, &object)) ||
        object == nullptr) {
        WriteLogText("オブジェクトの取得に失敗しました\n");
        return -1;
    }
    auto* ddraw = static_cast<D_IDirectDraw7*>(object);
    WriteLogText("成功\n");
    WriteLogText("引き続き初期化処理... ");
    if (FAILED(ddraw->Initialize(nullptr))) {
        WriteLogText("DirectDrawオブジェクトの初期化に失敗しました\n");
        ddraw->Release();
        return -1;
    }
    WriteLogText("初期化に成功しました\n");
    WriteLogText("ビデオカードの情報\n");
    if (GetKeyState(static_cast<int>(VK_SHIFT)) < 0) {
        D_DDDEVICEIDENTIFIER2 id{};
        ddraw->GetDeviceIdentifier(&id, 0);
        D_DDSCAPS2 caps{D_DDSCAPS_VIDEOMEMORY, 0, 0, 0};
        DWORD total = 0, free = 0;
        ddraw->GetAvailableVidMem(&caps, &total, &free);
        auto version = static_cast<std::uint64_t>(id.liDriverVersion.QuadPart);
        WriteLogFormat("ビデオカードドライバ:%s バージョン:%u.%u.%u.%u ", id.szDriver,
                       static_cast<unsigned>(version >> 48), static_cast<unsigned>((version >> 32) & 0xFFFF),
                       static_cast<unsigned>((version >> 16) & 0xFFFF), static_cast<unsigned>(version & 0xFFFF));
        WriteLogFormat("ドライバ記述:%s \n", id.szDescription);
        WriteLogFormat("ビデオメモリ総量:%.2fMB ビデオメモリ空き容量:%.2fMB", total / 1048576.0, free / 1048576.0);
        SetVideoCardInfo(id.szDriver, id.szDescription, total, free);
    } else {
        SetVideoCardInfo("", "", 0x1000000, 0);
    }
    *out = ddraw;
    return 0;
}

int NewClipperForWindow(D_IDirectDrawClipper** out, HWND window) {
    ScreenDeviceState& d = g_ScreenDevice;
    if (d.directDraw == nullptr || FAILED(d.directDraw->CreateClipper(0, out, nullptr)) || *out == nullptr) {
        WriteLogText("ＤｉｒｅｃｔＤｒａｗＣｌｉｐｐｅｒオブジェクトの作成に失敗しました\n");
        return -1;
    }
    (*out)->SetHWnd(0, window);
    return 0;
}

int CreateDirectDrawClipper() {
    ScreenDeviceState& d = g_ScreenDevice;
    if (d.softwareOnly) return 0;
    ReleaseWindowClipper();
    if (NewClipperForWindow(&d.clipper, d.window) != 0) FatalError("クリッパーオブジェクトの作成失敗しました");
    return 0;
}

int ReleaseWindowClipper() {
    ReleaseInterface(g_ScreenDevice.clipper);
    return 0;
}

// ---- shut-down ---------------------------------------------------------------------------

int ShutDownDirectDraw() {
    ScreenDeviceState& d = g_ScreenDevice;
    KillTimer(d.window, kWindowRefreshTimerId);
    if (!d.softwareOnly && d.directDraw == nullptr) return 0;
    WriteLogText("DirectDraw 関連の終了処理をおこないます\n");
    IncreaseLogIndent();
    if (d.directDraw != nullptr && !d.softwareOnly) {
        ReleaseInterface(d.palette);
        ShutDownGraphicsManager();
        DeleteAllSurface2D();
        ShutDownDirect3D();
        ReleaseMainSurfaces();
        ReleaseWindowClipper();
    } else {
        ShutDownGraphicsManager();
        DeleteAllSurface2D();
        ReleaseMainSurfaces();
    }
    WriteLogText("ＤｉｒｅｃｔＤｒａｗオブジェクトを解放します\n");
    ReleaseInterface(d.directDraw);
    WriteLogText("ＤｉｒｅｃｔＤｒａｗオブジェクトを解放しました\n");
    RevertDisplayModeAtExit();
    DecreaseLogIndent();
    WriteLogText("DirectDraw 関連の終了処理は正常に終了しました\n");
    d.tablesBuilt = 0;
    return 0;
}

int ReleaseDirectDraw() {
    ScreenDeviceState& d = g_ScreenDevice;
    WriteLogText("ＤｉｒｅｃｔＤｒａｗオブジェクトを解放します\n");
    if (!d.softwareOnly && d.directDraw == nullptr) {
        WriteLogText("既に解放されています\n");
        return 0;
    }
    ReleaseAllSurface2DSurfaces();
    RevertDisplayMode();
    ReleaseInterface(d.palette);
    ReleaseWindowClipper();
    ReleaseInterface(d.directDraw);
    WriteLogText("ＤｉｒｅｃｔＤｒａｗオブジェクトを解放しました\n");
    return 0;
}

int ReleaseDirectDrawObject() { return ReleaseDirectDraw(); }

int RebuildDirectDraw() {
    ScreenDeviceState& d = g_ScreenDevice;
    if (d.directDraw != nullptr) return 0;
    if (ObtainDirectDrawObject(&d.directDraw) != 0)
        FatalError("DirectDraw オブジェクトの作成処理時にエラーが発生しました");
    ReapplyDisplayMode();
    RecreateAllSurface2DSurfaces();
    CreateDirectDrawClipper();
    return 0;
}

int RevertDisplayMode() {
    ScreenDeviceState& d = g_ScreenDevice;
    if (!d.displayModeChanged || IsWindowMode()) return 0;
    if (d.softwareOnly) {
        ChangeDisplaySettingsA(nullptr, 0);
    } else if (d.directDraw != nullptr) {
        d.directDraw->SetCooperativeLevel(d.window, D_DDSCL_NORMAL);
        d.directDraw->RestoreDisplayMode();
    }
    d.displayModeChanged = 0;
    return 0;
}

int RevertDisplayModeAtExit() {
    ScreenDeviceState& d = g_ScreenDevice;
    // The object is gone by now; giving the mode back needs no object.
    if (d.displayModeChanged && !IsWindowMode()) {
        if (d.softwareOnly)
            ChangeDisplaySettingsA(nullptr, 0);
        else
            PlatformDisplayRestoreMode();
        d.displayModeChanged = 0;
    }
    WriteLogText("画面モードを元に戻す処理は正常に終了しました\n");
    return 0;
}

int ReleaseMainSurfaces() {
    ScreenDeviceState& d = g_ScreenDevice;
    // A binding into the screen goes with it; the screen's target is bound
    // again when the screen is made again.
    DrawTargetBinding& b = g_DrawTargetBinding;
    for (const D_IDirectDrawSurface7* s : {d.primary, d.back, d.tempPrimary, d.zBuffer})
        if (s != nullptr && (b.surface == s || b.zSurface == s)) b = DrawTargetBinding{};
    if (b.image == &d.frontImage || b.image == &d.backImage) b = DrawTargetBinding{};
    if (d.backImageOverSurface && d.back != nullptr) d.back->Unlock(nullptr);
    d.backImageOverSurface = 0;
    // The flipping chain's back buffer goes with the primary; the reference
    // taken by GetAttachedSurface is given back first.
    if (d.attachedBack != nullptr) {
        d.attachedBack->Release();
        d.attachedBack = nullptr;
        d.back = nullptr;
    }
    ReleaseInterface(d.primary);
    ReleaseInterface(d.back);
    ReleaseInterface(d.tempPrimary);
    ReleaseInterface(d.work1);
    ReleaseInterface(d.work2);
    ReleaseInterface(d.zBuffer);
    d.targetSurface = nullptr;
    if (d.screenMemImg) {
        ReleaseMemImg(&d.frontImage);
        ReleaseMemImg(&d.backImage);
        ReleaseMemImg(&d.zImage);
        std::memset(&d.frontImage, 0, sizeof d.frontImage);
        std::memset(&d.backImage, 0, sizeof d.backImage);
        std::memset(&d.zImage, 0, sizeof d.zImage);
        d.zImageHoldsClear = 0;
    }
    WriteLogText("メインサーフェスを破棄をします... 完了しました\n");
    return 0;
}

int RestoreLostMainSurfaces() {
    ScreenDeviceState& d = g_ScreenDevice;
    if (d.directDraw == nullptr) return -1;
    if (g_DrawState.drawingSuppressed) return 0;
    for (D_IDirectDrawSurface7* s : {d.primary, d.tempPrimary, d.back, d.zBuffer})
        if (s != nullptr && s->IsLost() == D_DDERR_SURFACELOST) s->Restore();
    return 0;
}

// ---- settings and getters ---------------------------------------------------------------

int SetVBlankWait(int flag) {
    g_ScreenDevice.vblankWait = flag;
    return 0;
}
int GetVBlankWait() { return g_ScreenDevice.vblankWait; }

int SetDisable3DFlag(int flag) {
    if (g_ScreenDevice.directDraw != nullptr) return -1;
    g_ScreenDevice.disable3D = g_ScreenDevice.softwareOnly ? 1 : flag;
    return 0;
}
int GetDisable3DFlag() { return g_ScreenDevice.softwareOnly ? 1 : g_ScreenDevice.disable3D; }

int SetGdiSurfaceMode(int flag) {
    ScreenDeviceState& d = g_ScreenDevice;
    int state = (flag == 1) ? 1 : 0;
    if (state == d.gdiSurfaceApplied) return 0;
    d.gdiSurfaceMode = flag;
    d.gdiSurfaceApplied = state;
    if (d.directDraw != nullptr) {
        if (state == 1) d.directDraw->FlipToGDISurface();
        HandleId previous = GetDrawTarget();
        RECT area{};
        CopyDrawAreaRect(&area);
        SelectDrawTarget(kBackScreenTarget);
        SelectDrawTarget(kFrontScreenTarget);
        SelectDrawTarget(previous);
        SetDrawViewport(area.left, area.top, area.right, area.bottom);
    }
    return 0;
}
int GetGdiSurfaceMode() { return g_ScreenDevice.gdiSurfaceMode == 1 ? 1 : 0; }

int SetScreenSurfaceModeFlag(int flag) {
    if (g_ScreenDevice.directDraw != nullptr) return -1;
    g_ScreenDevice.screenSurfaceMode = flag;
    return 0;
}
int GetScreenSurfaceModeFlag() { return g_ScreenDevice.screenSurfaceMode; }

int QueryScreenSize(int* width, int* height) {
    if (width != nullptr) *width = g_ScreenDevice.width != 0 ? g_ScreenDevice.width : 640;
    if (height != nullptr) *height = g_ScreenDevice.height != 0 ? g_ScreenDevice.height : 480;
    return 0;
}

int GetScreenColorDepth() { return g_ScreenDevice.depthSetting != 0 ? g_ScreenDevice.depthSetting : 16; }
const void* GetScreenPixelFormatBlock() { return &g_ScreenDevice.pixelFormatBlock; }
D_IDirectDraw7* GetDirectDrawObject() { return g_ScreenDevice.directDraw; }
int IsDirectDrawInUse() { return g_ScreenDevice.softwareOnly ? 0 : 1; }
int HasDirectDrawObject() { return g_ScreenDevice.directDraw != nullptr ? 1 : 0; }
int IsScreenMemImg() { return g_ScreenDevice.screenMemImg; }
int IsDisplayModeChanged() { return g_ScreenDevice.displayModeChanged; }
D_IDirectDrawSurface7* GetDrawTargetSurface() { return g_ScreenDevice.targetSurface; }

D_IDirectDrawSurface7* GetMainDrawSurface() {
    return g_ScreenDevice.screenSurfaceMode ? g_ScreenDevice.tempPrimary : g_ScreenDevice.primary;
}

D_IDirectDrawSurface7* GetSysMemBackSurface() { return g_ScreenDevice.back; }
D_IDirectDrawSurface7* GetWorkSurface1() { return g_ScreenDevice.work1; }

int IsTargetBackSurfaceInWindowMode() {
    return IsWindowMode() && g_ScreenDevice.targetSurface != nullptr &&
                   g_ScreenDevice.targetSurface == g_ScreenDevice.primary
               ? 1
               : 0;
}

const D_DDPIXELFORMAT* GetOverlayPixelFormat() {
    int w = 0, h = 0;
    QueryScreenSize(&w, &h);
    if (g_ScreenDevice.overlayFormatIndex < 0 || w < 640 || h < 400) return nullptr;
    return &kOverlayFormats[g_ScreenDevice.overlayFormatIndex].format;
}

int CopyDirectDrawCaps(D_DDCAPS* out) {
    if (out == nullptr) return -1;
    *out = g_ScreenDevice.driverCaps;
    return 0;
}

int ApplyWindowModeChangeToScreen() {
    if (g_ScreenDevice.directDraw == nullptr && !g_ScreenDevice.softwareOnly) return 0;
    return ApplyScreenMode(-1, -1, -1, 1, -1);
}
