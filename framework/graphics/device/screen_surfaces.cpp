// The output surfaces of the screen (or the software images standing for
// them) and the palette of an 8-bit screen.
#include <cstring>

#include "core/fatal_error.h"
#include "core/log.h"
#include "core/system_state.h"
#include "core/utility.h"
#include "graphics/device/screen_device.h"
#include "graphics/device/screen_device_internal.h"
#include "graphics/draw/draw_state.h"

namespace {

D_IDirectDrawSurface7* MakeSurface(DWORD caps, int width, int height, bool colorKey) {
    D_DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = D_DDSD_CAPS;
    desc.ddsCaps.dwCaps = caps;
    if (width > 0) {
        desc.dwFlags |= D_DDSD_WIDTH | D_DDSD_HEIGHT;
        desc.dwWidth = static_cast<DWORD>(width);
        desc.dwHeight = static_cast<DWORD>(height);
    }
    if (colorKey) {
        desc.dwFlags |= D_DDSD_CKSRCBLT;
        std::uint32_t key = g_DrawState.transparentColor;
        std::uint32_t code = MakeColorCode(static_cast<int>((key >> 16) & 0xFF), static_cast<int>((key >> 8) & 0xFF),
                                           static_cast<int>(key & 0xFF));
        desc.ddckCKSrcBlt = D_DDCOLORKEY{code, code};
    }
    D_IDirectDrawSurface7* surface = nullptr;
    if (FAILED(g_ScreenDevice.directDraw->CreateSurface(&desc, &surface, nullptr))) return nullptr;
    return surface;
}

const char* PlaceOf(D_IDirectDrawSurface7* surface) {
    D_DDSCAPS2 caps{};
    if (surface != nullptr) surface->GetCaps(&caps);
    return (caps.dwCaps & D_DDSCAPS_VIDEOMEMORY) ? "VIDEOMEMORY" : "SYSTEMMEMORY";
}

void LogText(const char* format, const char* value) {
    char text[128];
    FormatString(text, sizeof text, format, value);
    WriteLogText(text);
}

// The back image over the locked back surface, or its own pixels.
int MakeBackImage(int width, int height) {
    ScreenDeviceState& d = g_ScreenDevice;
    const ColorFormatDesc& f = d.colorFormat;
    bool exact = (f.depth == 16 && f.redMask == 0xF800 && f.greenMask == 0x07E0 && f.blueMask == 0x001F) ||
                 (f.depth == 32 && f.redMask == 0xFF0000 && f.greenMask == 0xFF00 && f.blueMask == 0xFF);
    if (!d.softwareOnly && d.back != nullptr && d.depthSetting == d.depth && exact) {
        D_DDSURFACEDESC2 desc{};
        desc.dwSize = sizeof desc;
        if (FAILED(d.back->Lock(nullptr, &desc, D_DDLOCK_WAIT, nullptr))) {
            WriteLogText("バックサーフェスのロックに失敗しました");
            return -1;
        }
        std::memset(&d.backImage, 0, sizeof d.backImage);
        d.backImage.pixels = static_cast<std::uint8_t*>(desc.lpSurface);
        int kind = d.depth == 16 ? static_cast<int>(kMemImgKind565) : static_cast<int>(kMemImgKind888);
        if (InitMemImg(&d.backImage, width, height, desc.lPitch, 0, kind, 0, 0, 0) != 0) {
            d.back->Unlock(nullptr);
            WriteLogText("バックサーフェスのロックに失敗しました");
            return -1;
        }
        d.backImageOverSurface = 1;
        return 0;
    }
    if (InitScreenMemImg(&d.backImage, width, height, -1) != 0) {
        WriteLogText("バックサーフェス用の MEMIMG の作成に失敗しました\n");
        return -1;
    }
    return 0;
}

int CreateMemImgScreen(int width, int height) {
    ScreenDeviceState& d = g_ScreenDevice;
    if (!d.softwareOnly) {
        d.primary = MakeSurface(D_DDSCAPS_PRIMARYSURFACE, 0, 0, false);
        if (d.primary == nullptr) {
            WriteLogText("プライマリサーフェスの作成に失敗しました");
            return -1;
        }
        d.back = MakeSurface(D_DDSCAPS_OFFSCREENPLAIN | D_DDSCAPS_SYSTEMMEMORY, width, height, false);
        if (d.back == nullptr) {
            WriteLogText("バックサーフェスの作成に失敗しました");
            return -1;
        }
        ColorFillSurface(d.back, nullptr, ScreenBackgroundCode());
    }
    if (InitScreenMemImg(&d.frontImage, width, height, -1) != 0) {
        WriteLogText("プライマリサーフェス用の MEMIMG の作成に失敗しました\n");
        return -1;
    }
    if (MakeBackImage(width, height) != 0) return -1;
    d.zImageHoldsClear = 0;
    if (InitZBufferMemImg(&d.zImage, width, height) != 0) {
        WriteLogText("Ｚバッファサーフェス用の MEMIMG の作成に失敗しました\n");
        return -1;
    }
    ClearMemImgRect(&d.frontImage, nullptr, ScreenBackgroundIn(d.frontImage.colorFormat));
    ClearMemImgRect(&d.backImage, nullptr, ScreenBackgroundIn(d.backImage.colorFormat));
    return 0;
}

int CreateSurfaceScreen(int width, int height) {
    ScreenDeviceState& d = g_ScreenDevice;
    if (IsWindowMode()) {
        d.primary = MakeSurface(D_DDSCAPS_PRIMARYSURFACE | D_DDSCAPS_3DDEVICE, 0, 0, false);
        if (d.primary == nullptr) {
            WriteLogText("プライマリサーフェスの作成に失敗しました");
            return -1;
        }
        d.back = MakeSurface(D_DDSCAPS_OFFSCREENPLAIN | D_DDSCAPS_3DDEVICE, width, height, false);
        if (d.back == nullptr) {
            WriteLogText("バックサーフェスの作成に失敗しました");
            return -1;
        }
        ColorFillSurface(d.back, nullptr, ScreenBackgroundCode());
    } else {
        D_DDSURFACEDESC2 desc{};
        desc.dwSize = sizeof desc;
        desc.dwFlags = D_DDSD_CAPS | D_DDSD_BACKBUFFERCOUNT;
        desc.ddsCaps.dwCaps = D_DDSCAPS_PRIMARYSURFACE | D_DDSCAPS_FLIP | D_DDSCAPS_COMPLEX | D_DDSCAPS_3DDEVICE;
        desc.dwBackBufferCount = 1;
        if (FAILED(d.directDraw->CreateSurface(&desc, &d.primary, nullptr)) || d.primary == nullptr) {
            WriteLogText("プライマリサーフェスの作成に失敗しました");
            return -1;
        }
        D_DDSCAPS2 caps{D_DDSCAPS_BACKBUFFER, 0, 0, 0};
        if (FAILED(d.primary->GetAttachedSurface(&caps, &d.attachedBack)) || d.attachedBack == nullptr) {
            WriteLogText("バックバッファのポインタ取得に失敗しました");
            return -1;
        }
        d.back = d.attachedBack;
        // Both buffers start with the background: fill, flip, fill.
        ColorFillSurface(d.back, nullptr, ScreenBackgroundCode());
        d.primary->Flip(nullptr, D_DDFLIP_WAIT | D_DDFLIP_NOVSYNC);
        ColorFillSurface(d.back, nullptr, ScreenBackgroundCode());
    }
    if (d.screenSurfaceMode) {
        d.tempPrimary = MakeSurface(D_DDSCAPS_OFFSCREENPLAIN | D_DDSCAPS_3DDEVICE, width, height, false);
        if (d.tempPrimary == nullptr) {
            WriteLogText("テンポラリプライマリサーフェスの作成に失敗しました");
            return -1;
        }
        ColorFillSurface(d.tempPrimary, nullptr, ScreenBackgroundCode());
    }
    d.work1 = MakeSurface(D_DDSCAPS_OFFSCREENPLAIN | D_DDSCAPS_SYSTEMMEMORY, width, height, true);
    if (d.work1 == nullptr) {
        WriteLogText("作業用サーフェスの作成に失敗しました");
        return -1;
    }
    d.work2 = MakeSurface(D_DDSCAPS_OFFSCREENPLAIN | D_DDSCAPS_SYSTEMMEMORY, width, height, true);
    if (d.work2 == nullptr) {
        WriteLogText("作業用サーフェス２の作成に失敗しました");
        return -1;
    }
    d.zBuffer = MakeSurface(D_DDSCAPS_ZBUFFER, width, height, false);
    if (d.zBuffer == nullptr || FAILED(d.back->AddAttachedSurface(d.zBuffer))) {
        WriteLogText("Ｚバッファの作成に失敗しました");
        return -1;
    }
    return 0;
}

// The fixed palette of an 8-bit screen: a 3:3:2 cube, black first and white
// last.
void FillFixedPalette(PALETTEENTRY* entries) {
    for (int i = 0; i < 256; ++i) {
        entries[i].peRed = static_cast<BYTE>(((i >> 5) & 7) * 255 / 7);
        entries[i].peGreen = static_cast<BYTE>(((i >> 2) & 7) * 255 / 7);
        entries[i].peBlue = static_cast<BYTE>((i & 3) * 255 / 3);
        entries[i].peFlags = 0;
    }
}

}  // namespace

std::uint32_t ScreenBackgroundCode() {
    const SystemState& s = g_SystemState;
    return MakeColorCode(s.backgroundRed, s.backgroundGreen, s.backgroundBlue);
}

std::uint32_t ScreenBackgroundIn(const ColorFormatDesc* format) {
    const SystemState& s = g_SystemState;
    return ComposePixel(format, s.backgroundRed, s.backgroundGreen, s.backgroundBlue, 255);
}

HRESULT ColorFillSurface(D_IDirectDrawSurface7* surface, RECT* rect, std::uint32_t color) {
    D_DDBLTFX fx{};
    fx.dwSize = sizeof fx;
    fx.dwFillColor = color;
    return surface->Blt(rect, nullptr, nullptr, D_DDBLT_COLORFILL | D_DDBLT_WAIT, &fx);
}

int CreateOutputSurfaces() {
    ScreenDeviceState& d = g_ScreenDevice;
    if (!d.softwareOnly && (d.directDraw == nullptr || d.primary != nullptr)) return -1;
    WriteLogText("出力画面用の DirectDrawSurface を作成します\n");
    int width = 0, height = 0;
    QueryScreenSize(&width, &height);
    int result = (d.screenMemImg && d.depth != 8) ? CreateMemImgScreen(width, height)
                                                  : CreateSurfaceScreen(width, height);
    if (result != 0) {
        ReleaseMainSurfaces();
        return -1;
    }
    WriteLogText("各スクリーンメモリの配置位置\n");
    if (d.screenMemImg) {
        WriteLogText("PrimaryBuffer : SYSTEMMEMORY( MEMIMG ) ");
        WriteLogText("BaskBuffer : SYSTEMMEMORY( MEMIMG ) ");
    } else {
        LogText("PrimaryBuffer : %s  ", PlaceOf(d.primary));
        LogText("BaskBuffer : %s  ", PlaceOf(d.back));
    }
    WriteLogText("出力画面用の DirectDrawSurface の作成は正常に終了しました\n");
    return 0;
}

HRESULT SetPaletteOnAttachedSurface(D_IDirectDrawSurface7* surface, D_DDSURFACEDESC2*, void* context) {
    surface->SetPalette(static_cast<D_IDirectDrawPalette*>(context));
    surface->Release();
    return 1;
}

int CreateScreenPalette() {
    ScreenDeviceState& d = g_ScreenDevice;
    if (d.directDraw == nullptr || d.palette != nullptr || d.depth != 8) return 0;
    FillFixedPalette(d.paletteEntries);
    if (FAILED(d.directDraw->CreatePalette(D_DDPCAPS_8BIT, d.paletteEntries, &d.palette, nullptr)) ||
        d.palette == nullptr)
        FatalError("パレットの作成に失敗しました");
    if (d.primary != nullptr) d.primary->SetPalette(d.palette);
    if (!IsWindowMode()) {
        if (d.primary != nullptr) d.primary->EnumAttachedSurfaces(d.palette, SetPaletteOnAttachedSurface);
    } else if (d.back != nullptr) {
        d.back->SetPalette(d.palette);
    }
    std::memcpy(g_ScreenColorInfo.palette, d.paletteEntries, sizeof d.paletteEntries);
    return 0;
}

int RecreateScreenPalette() {
    ScreenDeviceState& d = g_ScreenDevice;
    if (d.depth != 8) return 0;
    PALETTEENTRY kept[256];
    std::memcpy(kept, d.paletteEntries, sizeof kept);
    if (d.palette != nullptr) {
        d.palette->Release();
        d.palette = nullptr;
    }
    CreateScreenPalette();
    if (d.palette != nullptr) {
        d.palette->SetEntries(0, 0, 256, kept);
        d.palette->GetEntries(0, 0, 256, d.paletteEntries);
    }
    return 0;
}
