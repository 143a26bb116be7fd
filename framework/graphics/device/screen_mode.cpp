// Display modes: the cooperative level and mode for the window or the full
// screen with their fall-backs, applying a screen mode (which rebuilds every
// surface), the switch to software rendering, the screen's colour format and
// the timing measured after each change.
#include <cstring>

#include "core/fatal_error.h"
#include "core/log.h"
#include "core/screen_log.h"
#include "core/system_info.h"
#include "core/system_state.h"
#include "graphics/d3d/direct3d.h"
#include "graphics/device/present.h"
#include "graphics/device/screen_device.h"
#include "graphics/device/screen_device_internal.h"
#include "graphics/device/surface2d.h"
#include "graphics/draw/draw_state.h"
#include "graphics/draw/graph_load.h"
#include "graphics/draw/graph_record.h"
#include "graphics/text/font.h"
#include "platform/gdi.h"

namespace {

constexpr HRESULT kAcceptedCooperativeResults[] = {D_DD_OK, D_DDERR_EXCLUSIVEMODEALREADYSET,
                                                   D_DDERR_HWNDALREADYSET, D_DDERR_HWNDSUBCLASSED};

bool CooperativeResultAccepted(HRESULT hr) {
    for (HRESULT ok : kAcceptedCooperativeResults)
        if (hr == ok) return true;
    return false;
}

DWORD MultithreadFlag() { return g_ScreenDevice.multithreaded ? D_DDSCL_MULTITHREADED : 0; }

int DesktopDepth() {
    HDC dc = GetDC(nullptr);
    int bits = GetDeviceCaps(dc, BITSPIXEL);
    ReleaseDC(nullptr, dc);
    return bits;
}

// The software-only mode's display change.
bool ChangeDisplaySettingsTo(int width, int height, int depth, int refresh, DWORD flags) {
    DEVMODEA mode{};
    mode.dmSize = 156;
    mode.dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT;
    if (refresh != 0) mode.dmFields |= DM_DISPLAYFREQUENCY;
    mode.dmBitsPerPel = static_cast<DWORD>(depth);
    mode.dmPelsWidth = static_cast<DWORD>(width);
    mode.dmPelsHeight = static_cast<DWORD>(height);
    mode.dmDisplayFrequency = static_cast<DWORD>(refresh);
    return ChangeDisplaySettingsA(&mode, flags) == DISP_CHANGE_SUCCESSFUL;
}

// One try at a full-screen mode: DirectDraw's or, in software-only mode,
// the display settings'.
bool TryFullScreenMode(D_IDirectDraw7* object, int width, int height, int depth, int refresh, DWORD softwareFlags) {
    if (g_ScreenDevice.softwareOnly) return ChangeDisplaySettingsTo(width, height, depth, refresh, softwareFlags);
    return object != nullptr &&
           SUCCEEDED(object->SetDisplayMode(static_cast<DWORD>(width), static_cast<DWORD>(height),
                                            static_cast<DWORD>(depth), static_cast<DWORD>(refresh), 0));
}

void SetCooperativeLevelOrDie(D_IDirectDraw7* object, HWND window, DWORD flags, DWORD* outFlags) {
    HRESULT hr = object->SetCooperativeLevel(window, flags);
    if (!CooperativeResultAccepted(hr))
        FatalError("DirectDrawの協調レベルの設定に失敗しました、ソフトを終了します");
    if (outFlags != nullptr) *outFlags = flags;
}

// Times eight copies between the main draw surface and work surface 1 each
// way and keeps the faster way.
void ChooseSurfaceCopyWay() {
    ScreenDeviceState& d = g_ScreenDevice;
    D_IDirectDrawSurface7* main = GetMainDrawSurface();
    if (main == nullptr || d.work1 == nullptr) return;
    int w = 0, h = 0;
    QueryScreenSize(&w, &h);
    RECT rect{0, 0, w, h};
    long long start = GetMicroseconds(1);
    for (int i = 0; i < 8; ++i) d.work1->BltFast(0, 0, main, &rect, D_DDBLTFAST_WAIT);
    long long bltFast = GetMicroseconds(1) - start;
    HDC from = nullptr, to = nullptr;
    long long bitBlt = 0;
    if (SUCCEEDED(main->GetDC(&from)) && SUCCEEDED(d.work1->GetDC(&to))) {
        start = GetMicroseconds(1);
        for (int i = 0; i < 8; ++i) BitBlt(to, 0, 0, w, h, from, 0, 0, SRCCOPY);
        bitBlt = GetMicroseconds(1) - start;
    }
    if (to != nullptr) d.work1->ReleaseDC(to);
    if (from != nullptr) main->ReleaseDC(from);
    d.preferBitBlt = bitBlt < bltFast ? 1 : 0;
    WriteLogFormat("サーフェス間転送には %s を使用します", d.preferBitBlt ? "BitBlt" : "BltFast");
    WriteLogFormat("BitBlt:%.0lfμs   BltFast:%.0lfμs", static_cast<double>(bitBlt), static_cast<double>(bltFast));
}

// Waits for the start of the next vertical blank by polling; false when the
// window was closed meanwhile.
bool PollForBlankStart(D_IDirectDraw7* object) {
    BOOL inBlank = FALSE;
    // A poll limit keeps a stalled display from hanging start-up.
    for (int polls = 0; polls < 2'000'000; ++polls) {
        object->GetVerticalBlankStatus(&inBlank);
        if (!inBlank) break;
    }
    for (int polls = 0; polls < 2'000'000; ++polls) {
        object->GetVerticalBlankStatus(&inBlank);
        if (inBlank) return true;
    }
    return false;
}

// Measures the milliseconds between vertical blanks (and the refresh rate
// when the display did not say it).
void MeasureFrameTime() {
    ScreenDeviceState& d = g_ScreenDevice;
    D_IDirectDraw7* object = d.directDraw;
    if (object == nullptr) return;
    int maxLine = 0;
    for (int i = 0; i < 600; ++i) {
        DWORD line = 0;
        object->GetScanLine(&line);
        if (static_cast<int>(line) > maxLine) maxLine = static_cast<int>(line);
    }
    WriteLogFormat("スキャンラインの数:%d\n", maxLine + 1);
    const int samples = d.displayRefresh > 0 ? 4 : 20;
    int times[20] = {};
    int found = -1;
    long long microsStart = 0, microsEnd = 0;
    for (int round = 0; round < 5 && found < 0; ++round) {
        PollForBlankStart(object);
        DWORD previous = timeGetTime();
        microsStart = GetMicroseconds(1);
        for (int s = 0; s < samples; ++s) {
            PollForBlankStart(object);
            DWORD now = timeGetTime();
            times[s] = static_cast<int>(now - previous);
            previous = now;
        }
        microsEnd = GetMicroseconds(1);
        for (int s = 0; s < samples && found < 0; ++s)
            for (int t = 0; t < s; ++t)
                if (times[t] == times[s]) {
                    found = times[s];
                    break;
                }
    }
    if (found < 0) {
        WriteLogText("１フレームの時間を正常に取得できませんでした\n");
        d.frameTime = -1;
    } else {
        d.frameTime = found;
        WriteLogFormat("１フレーム当たりの時間は %d msecです", found);
    }
    for (int s = 0; s < samples; ++s) WriteLogFormat("\tTri%02d:%d msec", s, times[s]);
    if (d.displayRefresh < 0 && microsEnd > microsStart) {
        long long perFrame = (microsEnd - microsStart) / samples;
        if (perFrame > 0) {
            long long v = 10'000'000 / perFrame;
            d.displayRefresh = static_cast<int>(v / 10 + (v % 10 > 5 ? 1 : 0));
        }
    }
    d.minPresentInterval = d.frameTime < 0 ? -1 : (d.frameTime * 2 - 4) / 3;
}

// The display's own idea of its refresh rate, from Windows NT 4.0 on.
void ReadDisplayRefresh() {
    ScreenDeviceState& d = g_ScreenDevice;
    d.displayRefresh = -1;
    if (g_SystemState.osCode >= 0x105) {
        HDC dc = GetDC(nullptr);
        int hz = GetDeviceCaps(dc, VREFRESH);
        ReleaseDC(nullptr, dc);
        d.displayRefresh = hz < 60 ? -1 : hz;
    }
}

// The full-screen mode of a later change, down its fall-back chain.
bool SetLaterFullScreenMode(int oldWidth, int oldHeight, int oldDepth) {
    ScreenDeviceState& d = g_ScreenDevice;
    if (TryFullScreenMode(d.directDraw, d.width, d.height, d.depth, d.refreshRate, CDS_FULLSCREEN)) return true;
    d.refreshRate = 0;
    if (TryFullScreenMode(d.directDraw, d.width, d.height, d.depth, 0, 0)) return true;
    if (TryFullScreenMode(d.directDraw, oldWidth, oldHeight, oldDepth, 0, 0)) {
        d.width = oldWidth;
        d.height = oldHeight;
        d.depth = oldDepth;
        return true;
    }
    if (TryFullScreenMode(d.directDraw, 640, 480, 16, 0, 0)) {
        d.width = 640;
        d.height = 480;
        d.depth = 16;
        return true;
    }
    return false;
}

}  // namespace

int SetDisplayModeForScreen(D_IDirectDraw7* object, int desktopWidth, int desktopHeight, int width, int height,
                            int depth, int* outDepth, DWORD* outCooperativeFlags, int windowMode, int* modeChanged,
                            HWND window) {
    ScreenDeviceState& d = g_ScreenDevice;
    WriteLogFormat("画面モードの変更処理を開始します %u x %u  %u bit ", static_cast<unsigned>(width),
                   static_cast<unsigned>(height), static_cast<unsigned>(depth));
    if (d.multithreaded) WriteLogText("協調レベルはマルチスレッド対応にします\n");
    if (windowMode) {
        WriteLogText("ウインドウモードにします\n");
        if (width > desktopWidth || height > desktopHeight)
            FatalError("デスクトップ画面のサイズが足りません、ソフトを終了します");
        if (*modeChanged) {
            WriteLogText("フルスクリーンモードから抜けます\n");
            if (d.softwareOnly)
                ChangeDisplaySettingsA(nullptr, 0);
            else if (object != nullptr)
                object->RestoreDisplayMode();
            *modeChanged = 0;
        }
        int bits = DesktopDepth();
        if (bits == 24) return -1;
        *outDepth = bits;
        if (!d.softwareOnly) SetCooperativeLevelOrDie(object, window, D_DDSCL_NORMAL | MultithreadFlag(), outCooperativeFlags);
    } else {
        if (depth == 24) return -1;
        WriteLogText("画面解像度を変更します... ");
        if (!d.softwareOnly)
            SetCooperativeLevelOrDie(object, window, D_DDSCL_EXCLUSIVE | D_DDSCL_FULLSCREEN | MultithreadFlag(),
                                     outCooperativeFlags);
        bool ok = TryFullScreenMode(object, width, height, depth, d.refreshRate, CDS_FULLSCREEN);
        if (!ok) {
            d.refreshRate = 0;
            ok = TryFullScreenMode(object, width, height, depth, 0, 0);
        }
        if (!ok) {
            WriteLogText("画面モードの変更に失敗しました\n");
            return -1;
        }
        *modeChanged = 1;
        WriteLogText("成功しました\n");
    }
    WriteLogText("画面モードの変更は正常に終了しました \n");
    return 0;
}

int ApplyScreenMode(int width, int height, int depth, int force, int refresh) {
    ScreenDeviceState& d = g_ScreenDevice;
    const int newWidth = width == -1 ? d.width : width;
    const int newHeight = height == -1 ? d.height : height;
    const int newDepth = depth == -1 ? d.depth : depth;
    const int newRefresh = refresh == -1 ? d.refreshRate : refresh;
    const bool deviceUp = g_SystemState.mainWindow != nullptr && (d.directDraw != nullptr || d.softwareOnly);
    // Before start-up a request is only stored, and start-up refuses to run
    // at a depth of 24: refused here instead, so the settings keep a depth
    // that starts.
    if (!deviceUp && depth == 24) {
        WriteLogText("ＫＶライブラリは２４ビットカラーモードに対応していません\n");
        return -1;
    }
    if (!force && newWidth == d.width && newHeight == d.height && newDepth == d.depth && newRefresh == d.refreshRate)
        return 0;
    WriteLogText("画面モード変更処理を開始します\n");
    // The default font's size and thickness outlive the change.
    int keptFontSize = -1, keptFontThickness = -1;
    const bool keptFont = QueryFontHandleInfo(DefaultFontHandle(), nullptr, &keptFontThickness, &keptFontSize) == 0;
    const int oldWidth = d.width, oldHeight = d.height, oldDepth = d.depth, oldRefresh = d.refreshRate;
    d.width = newWidth;
    d.height = newHeight;
    d.depth = newDepth;
    d.refreshRate = newRefresh;
    if (!deviceUp) return 0;

    d.gdiSurfaceApplied = -1;
    if (d.lastModeChangeTime != 0)
        while (timeGetTime() - d.lastModeChangeTime < 2000) Sleep(10);
    ReleaseAllGraphs(0);
    ShutDownGraphicsManager();
    ShutDownDirect3D();
    if (d.palette != nullptr) {
        d.palette->Release();
        d.palette = nullptr;
    }
    ReleaseMainSurfaces();

    const int windowMode = IsWindowMode();
    if (!d.tablesBuilt) {
        int outDepth = d.depth;
        if (SetDisplayModeForScreen(d.directDraw, g_SystemState.desktopWidth, g_SystemState.desktopHeight, d.width,
                                    d.height, d.depth, &outDepth, &d.cooperativeFlags, windowMode,
                                    &d.displayModeChanged, d.window) != 0) {
            d.width = oldWidth;
            d.height = oldHeight;
            d.depth = oldDepth;
            d.refreshRate = oldRefresh;
            bool ok = false;
            if (oldWidth != newWidth || oldHeight != newHeight || oldDepth != newDepth)
                ok = SetDisplayModeForScreen(d.directDraw, g_SystemState.desktopWidth, g_SystemState.desktopHeight,
                                             d.width, d.height, d.depth, &outDepth, &d.cooperativeFlags, windowMode,
                                             &d.displayModeChanged, d.window) == 0;
            if (!ok) {
                d.width = 640;
                d.height = 480;
                d.depth = 16;
                d.refreshRate = 0;
                if (SetDisplayModeForScreen(d.directDraw, g_SystemState.desktopWidth, g_SystemState.desktopHeight,
                                            640, 480, 16, &outDepth, &d.cooperativeFlags, windowMode,
                                            &d.displayModeChanged, d.window) != 0)
                    FatalError("予期せぬ画面モード変更不能現象が起きました\n");
            }
        }
        if (windowMode) d.depth = outDepth;
    } else {
        DeleteAllSurface2D();
        if (!d.softwareOnly) {
            if (d.directDraw != nullptr) d.directDraw->SetCooperativeLevel(d.window, D_DDSCL_NORMAL);
            ReleaseDirectDraw();
            if (ObtainDirectDrawObject(&d.directDraw) != 0) FatalError("DirectDrawオブジェクトの作成に失敗しました");
            DWORD flags = windowMode ? (D_DDSCL_NORMAL | MultithreadFlag())
                                     : (D_DDSCL_EXCLUSIVE | D_DDSCL_FULLSCREEN | MultithreadFlag());
            SetCooperativeLevelOrDie(d.directDraw, d.window, flags, &d.cooperativeFlags);
            CreateDirectDrawClipper();
        }
        if (windowMode) {
            if (d.displayModeChanged) {
                if (d.softwareOnly)
                    ChangeDisplaySettingsA(nullptr, 0);
                else
                    d.directDraw->RestoreDisplayMode();
                d.displayModeChanged = 0;
            }
            d.depth = DesktopDepth();
        } else {
            if (!SetLaterFullScreenMode(oldWidth, oldHeight, oldDepth))
                FatalError("予期せぬ画面モード変更不能現象が起きました2\n");
            d.displayModeChanged = 1;
            WriteLogText("成功しました\n");
        }
    }
    g_SystemState.screenWidth = d.width;
    g_SystemState.screenHeight = d.height;

    SetupScreenColorFormat();
    if (CreateOutputSurfaces() < 0) {
        WriteLogText("DirectDrawSurface の初期化に失敗しました\n");
        return -1;
    }
    if (!d.softwareOnly && !d.disable3D && !d.screenMemImg) StartUpDirect3D();
    StartUpGraphicsManager();
    if (keptFont) SetDefaultFontSizeThickness(keptFontSize, keptFontThickness);
    InitScreenLog();
    CreateScreenPalette();

    if (!(d.screenMemImg && d.depth != 8)) ChooseSurfaceCopyWay();

    if (d.softwareOnly) {
        d.displayRefresh = 60;
        d.frameTime = -1;
        d.minPresentInterval = -1;
    } else {
        ReadDisplayRefresh();
        MeasureFrameTime();
    }
    WriteLogText("画面モード変更処理は正常に終了しました");
    d.presentCount = 0;
    d.lastModeChangeTime = timeGetTime();
    return 0;
}

int ChangeRenderingMode(int hardware) {
    ScreenDeviceState& d = g_ScreenDevice;
    if (d.softwareOnly || hardware == 0) {
        SetUse3DFlag(0);
        ChooseGraphMemoryPlaceForMode(0);
        d.softwareOnly = 1;
        d.disable3D = 1;
    }
    // Software-only mode is never left; the screen is then held as images.
    d.screenMemImg = d.softwareOnly ? 1 : 0;
    g_ScreenColorInfo.screenIsMemImg = d.screenMemImg;
    if (d.directDraw != nullptr) {
        HandleId target = GetDrawTarget();
        ReleaseAllGraphs(0);
        ApplyScreenMode(-1, -1, -1, 1, -1);
        if (target == kBackScreenTarget || target == kFrontScreenTarget) SelectDrawTarget(target);
    }
    return 0;
}

int ReapplyDisplayMode() {
    ScreenDeviceState& d = g_ScreenDevice;
    int outDepth = d.depth;
    int result = SetDisplayModeForScreen(d.directDraw, g_SystemState.desktopWidth, g_SystemState.desktopHeight,
                                         d.width, d.height, d.depth, &outDepth, &d.cooperativeFlags, IsWindowMode(),
                                         &d.displayModeChanged, d.window);
    if (result == 0 && IsWindowMode()) d.depth = outDepth;
    return result;
}

int SetupScreenColorFormat() {
    ScreenDeviceState& d = g_ScreenDevice;
    if (d.softwareOnly) {
        if (d.depth != 16 && d.depth != 32) d.depth = 16;
        if (d.depth == 32) {
            d.colorFormat = *GetStandardColorFormat(kColorKind888, 0, 0);
            d.pixelCode = kScreenPixel888;
        } else {
            d.colorFormat = *GetStandardColorFormat(kColorKind565, 0, 0);
            // The software-only 16-bit screen reports the 5:5:5 code.
            d.pixelCode = kScreenPixel555;
        }
        BuildDDPixelFormat(&d.pixelFormatBlock, d.colorFormat.depth, d.colorFormat.redMask, d.colorFormat.greenMask,
                           d.colorFormat.blueMask, d.colorFormat.alphaMask);
    } else if (d.directDraw != nullptr) {
        D_DDSURFACEDESC2 desc{};
        desc.dwSize = sizeof desc;
        d.directDraw->GetDisplayMode(&desc);
        d.pixelFormatBlock = desc.ddpfPixelFormat;
        ColorFormatFromDDPixelFormat(&d.pixelFormatBlock, &d.colorFormat);
        WriteLogText("カラー情報\n");
        WriteLogFormat("A:%08x  B:%08x  G:%08x  B:%08x", d.pixelFormatBlock.dwRGBAlphaBitMask,
                       d.pixelFormatBlock.dwRBitMask, d.pixelFormatBlock.dwGBitMask, d.pixelFormatBlock.dwBBitMask);
        d.depth = static_cast<int>(d.pixelFormatBlock.dwRGBBitCount);
        const D_DDPIXELFORMAT& pf = d.pixelFormatBlock;
        if (pf.dwRGBBitCount == 16 && pf.dwRBitMask == 0xF800 && pf.dwGBitMask == 0x07E0 && pf.dwBBitMask == 0x001F)
            d.pixelCode = kScreenPixel565;
        else if (pf.dwRGBBitCount == 16 && pf.dwRBitMask == 0x7C00 && pf.dwGBitMask == 0x03E0 &&
                 pf.dwBBitMask == 0x001F)
            d.pixelCode = kScreenPixel555;
        else if (pf.dwRGBBitCount == 32 && pf.dwRBitMask == 0xFF0000 && pf.dwGBitMask == 0xFF00 &&
                 pf.dwBBitMask == 0xFF)
            d.pixelCode = kScreenPixel888;
        else
            d.pixelCode = kScreenPixelOther;
    }
    // The colour codes follow the screen.
    g_ScreenColorFormat = d.colorFormat;
    g_ScreenColorInfo.depthSetting = d.depthSetting;
    g_ScreenColorInfo.screenIsMemImg = d.screenMemImg;
    std::memcpy(g_ScreenColorInfo.palette, d.paletteEntries, sizeof d.paletteEntries);
    return 0;
}
