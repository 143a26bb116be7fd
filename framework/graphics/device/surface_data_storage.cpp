// The storage behind a surface-data record: making and releasing it, its
// colour key and Z buffer, restoring it after device loss, locking and
// filling it.
#include <cstring>

#include "core/log.h"
#include "graphics/d3d/direct3d.h"
#include "graphics/device/screen_device.h"
#include "graphics/device/storage_device.h"
#include "graphics/device/surface_data.h"

namespace {

constexpr int kMemImgKindFor16 = static_cast<int>(kMemImgKind565);
constexpr int kMemImgKindFor32 = static_cast<int>(kMemImgKind888);

bool HasStorage(const SurfaceDataRecord& r) { return r.surface != nullptr || r.memImg.magic == kMemImgMagic; }

bool HasZBuffer(const SurfaceDataRecord& r) {
    return r.zBufferSurface != nullptr || r.zBufferMemImg.magic == kMemImgMagic;
}

const TextureFormatSlot* TextureSlotOf(const SurfaceDataRecord& r) {
    return GetTextureFormatSlot(static_cast<int>(r.kind));
}

// The transparent colour as a pixel of a software image. Software images
// hold the bits no channel uses as 0 (a 32-bit pixel is 0x00RRGGBB), so the
// composed value drops them too, or no pixel could ever match it.
std::uint32_t MemImgTransparentColor(const SurfaceDataRecord& r, int memKind) {
    if (r.flags.NoTransColorFlag || r.flags.Palette8Flag) return kNoTransparentColor;
    const ColorFormatDesc* format = GetStandardColorFormat(memKind, r.flags.AlphaChFlag, 0);
    const std::uint32_t c = r.transparentColor;
    return ComposePixel(format, static_cast<int>(c >> 16 & 0xFF), static_cast<int>(c >> 8 & 0xFF),
                        static_cast<int>(c & 0xFF), 255) &
           ~format->unusedBitMask;
}

int CreateMemImgStorage(SurfaceDataRecord& r) {
    const bool deep = r.flags.ColorBitDepth == 32;
    r.kind = (deep ? kSurfaceKindMemImg32 : kSurfaceKindMemImg16) + (r.flags.AlphaChFlag ? 1 : 0);
    const int memKind = deep ? kMemImgKindFor32 : kMemImgKindFor16;
    std::memset(&r.memImg, 0, sizeof r.memImg);
    if (InitMemImg(&r.memImg, r.width, r.height, -1, MemImgTransparentColor(r, memKind), memKind,
                   r.flags.Palette8Flag, r.flags.AlphaChFlag, 1) < 0) {
        WriteLogText("メモリイメージの作成に失敗しました\n");
        return -1;
    }
    // New storage starts black, as a new DirectDraw surface does, rather
    // than showing whatever the memory held before.
    std::memset(r.memImg.pixels, 0, static_cast<std::size_t>(r.memImg.pitch) * r.memImg.height);
    return 0;
}

D_DDSURFACEDESC2 SurfaceDesc(const SurfaceDataRecord& r, DWORD caps) {
    D_DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = D_DDSD_CAPS | D_DDSD_WIDTH | D_DDSD_HEIGHT;
    desc.dwWidth = r.width;
    desc.dwHeight = r.height;
    desc.ddsCaps.dwCaps = caps;
    return desc;
}

int CreatePlainStorage(SurfaceDataRecord& r, D_IDirectDraw7* dd) {
    r.kind = kSurfaceKindPlain;
    int screenWidth = 0;
    QueryScreenSize(&screenWidth, nullptr);
    const bool system = r.flags.SystemMemFlag == 1 || r.width > screenWidth || StorageScreenIsMemImg();
    constexpr DWORD kVideo = D_DDSCAPS_OFFSCREENPLAIN | D_DDSCAPS_VIDEOMEMORY | D_DDSCAPS_LOCALVIDMEM;
    constexpr DWORD kSystem = D_DDSCAPS_OFFSCREENPLAIN | D_DDSCAPS_SYSTEMMEMORY;
    D_DDSURFACEDESC2 desc = SurfaceDesc(r, system ? kSystem : kVideo);
    HRESULT hr = dd->CreateSurface(&desc, &r.surface, nullptr);
    if (FAILED(hr) && !system) {
        // Video memory ran out: system memory serves as well, only slower.
        desc = SurfaceDesc(r, kSystem);
        hr = dd->CreateSurface(&desc, &r.surface, nullptr);
    }
    if (FAILED(hr) || r.surface == nullptr) {
        r.surface = nullptr;
        WriteLogText("標準サーフェスの作成に失敗しました\n");
        return -1;
    }
    D_DDSCAPS2 caps{};
    r.surface->GetCaps(&caps);
    r.flags.SystemMemFlag = (caps.dwCaps & D_DDSCAPS_SYSTEMMEMORY) != 0 ? 1 : 0;
    r.flags.DrawValid = 1;
    return 0;
}

void LogTextureFailure(const SurfaceDataRecord& r) {
    WriteLogText("テクスチャサーフェスの作成に失敗しました\n");
    WriteLogFormat("DrawValid:%d  AlphaChFlag%d  AlphaTestFlag:%d  ColorBitDepth:%d", r.flags.DrawValid,
                   r.flags.AlphaChFlag, r.flags.AlphaTestFlag, r.flags.ColorBitDepth);
}

int CreateTextureStorage(SurfaceDataRecord& r, D_IDirectDraw7* dd) {
    const int index = GetTextureFormatIndex(r.flags.AlphaChFlag, r.flags.DrawValid, r.flags.AlphaTestFlag,
                                            r.flags.ColorBitDepth);
    const TextureFormatSlot* slot = index >= 0 ? GetTextureFormatSlot(index) : nullptr;
    if (slot == nullptr) {
        LogTextureFailure(r);
        return -1;
    }
    r.kind = static_cast<std::uint32_t>(index);
    D_DDSURFACEDESC2 desc = SurfaceDesc(r, D_DDSCAPS_TEXTURE | (r.flags.DrawValid ? D_DDSCAPS_3DDEVICE : 0));
    desc.dwFlags |= D_DDSD_PIXELFORMAT;
    desc.ddpfPixelFormat = slot->pixelFormat;
    // A texture that is never drawn into is left to Direct3D to manage.
    if (!r.flags.DrawValid) desc.ddsCaps.dwCaps2 = D_DDSCAPS2_TEXTUREMANAGE;
    if (FAILED(dd->CreateSurface(&desc, &r.surface, nullptr)) || r.surface == nullptr) {
        r.surface = nullptr;
        LogTextureFailure(r);
        return -1;
    }
    return 0;
}

void ReleaseZBuffer(SurfaceDataRecord& r) {
    if (r.zBufferSurface != nullptr) {
        if (r.surface != nullptr) r.surface->DeleteAttachedSurface(0, r.zBufferSurface);
        r.zBufferSurface->Release();
        r.zBufferSurface = nullptr;
    }
    ReleaseMemImg(&r.zBufferMemImg);
}

int CreateZBuffer(SurfaceDataRecord& r) {
    if (r.heldAsMemImg) {
        if (InitZBufferMemImg(&r.zBufferMemImg, r.width, r.height) < 0) {
            WriteLogText("Ｚバッファの作成に失敗しました");
            return -1;
        }
        return 0;
    }
    D_IDirectDraw7* dd = StorageDirectDraw();
    if (dd == nullptr || r.surface == nullptr) return -1;
    D_DDSURFACEDESC2 desc = SurfaceDesc(
        r, D_DDSCAPS_ZBUFFER | (r.flags.SystemMemFlag ? D_DDSCAPS_SYSTEMMEMORY : D_DDSCAPS_VIDEOMEMORY));
    if (const D_DDPIXELFORMAT* z = GetZBufferPixelFormat()) {
        desc.dwFlags |= D_DDSD_PIXELFORMAT;
        desc.ddpfPixelFormat = *z;
    }
    if (FAILED(dd->CreateSurface(&desc, &r.zBufferSurface, nullptr)) || r.zBufferSurface == nullptr ||
        FAILED(r.surface->AddAttachedSurface(r.zBufferSurface))) {
        if (r.zBufferSurface != nullptr) r.zBufferSurface->Release();
        r.zBufferSurface = nullptr;
        WriteLogText("Ｚバッファの作成に失敗しました");
        return -1;
    }
    return 0;
}

// Brings the Z buffer in line with the wanted state.
int ApplyZBuffer(SurfaceDataRecord& r) {
    const bool want = r.zBufferWanted != 0;
    if (want == HasZBuffer(r)) return 0;
    if (!want) {
        ReleaseZBuffer(r);
        return 0;
    }
    return CreateZBuffer(r);
}

// The pixel value a fill writes: in the software image's own format, in the
// texture format, or as the screen's colour code.
std::uint32_t FillValue(const SurfaceDataRecord& r, int red, int green, int blue, int alpha) {
    if (r.heldAsMemImg)
        return ComposePixel(r.memImg.colorFormat, red, green, blue, alpha) & ~r.memImg.colorFormat->unusedBitMask;
    if (r.flags.TextureFlag) {
        const TextureFormatSlot* slot = TextureSlotOf(r);
        return slot != nullptr ? ComposePixel(&slot->colorFormat, red, green, blue, alpha) : 0;
    }
    if (g_ScreenColorFormat.depth == 8) return MakeColorCode(red, green, blue);
    return ComposePixel(&g_ScreenColorFormat, red, green, blue, alpha);
}

bool RectInsideRecord(const RECT& rect, const SurfaceDataRecord& r) {
    return rect.left >= 0 && rect.top >= 0 && rect.left <= rect.right && rect.top <= rect.bottom &&
           rect.right <= r.width && rect.bottom <= r.height;
}

}  // namespace

int CreateSurfaceDataSurfaces(HandleId handle) {
    SurfaceDataRecord* record = LookupSurfaceData(handle);
    if (record == nullptr) return -1;
    SurfaceDataRecord& r = *record;
    if (HasStorage(r)) return 0;
    if (r.heldAsMemImg) {
        if (CreateMemImgStorage(r) < 0) return -1;
    } else {
        D_IDirectDraw7* dd = StorageDirectDraw();
        if (dd == nullptr) return -1;
        if ((r.flags.TextureFlag ? CreateTextureStorage(r, dd) : CreatePlainStorage(r, dd)) < 0) return -1;
    }
    if (ApplyZBuffer(r) < 0) {
        ReleaseSurfaceDataSurfaces(handle);
        return -1;
    }
    return 0;
}

int ReleaseSurfaceDataSurfaces(HandleId handle) {
    SurfaceDataRecord* record = LookupSurfaceData(handle);
    if (record == nullptr) return -1;
    SurfaceDataRecord& r = *record;
    // Locks do not outlive the storage they opened.
    if (r.lockCount > 0 && r.surface != nullptr) r.surface->Unlock(nullptr);
    r.lockCount = 0;
    r.lockPixels = nullptr;
    r.lockPitch = 0;
    ReleaseZBuffer(r);
    if (r.surface != nullptr) {
        r.surface->Release();
        r.surface = nullptr;
    }
    ReleaseMemImg(&r.memImg);
    return 0;
}

int SetSurfaceDataZBuffer(HandleId handle, int flag) {
    SurfaceDataRecord* record = LookupSurfaceData(handle);
    if (record == nullptr || !record->flags.DrawValid) return -1;
    record->zBufferWanted = flag != 0 ? 1 : 0;
    // Storage made later follows the wanted state when it is made.
    if (!HasStorage(*record)) return 0;
    return ApplyZBuffer(*record);
}

int SetSurfaceDataColorKey(HandleId handle) {
    SurfaceDataRecord* record = LookupSurfaceData(handle);
    if (record == nullptr) return -1;
    const SurfaceDataRecord& r = *record;
    if (r.heldAsMemImg) return 0;
    const bool texture = r.flags.TextureFlag != 0;
    const char* failure = texture ? "テクスチャサーフェスのカラーキーの設定に失敗しました\n"
                                  : "標準サーフェスのカラーキーの設定に失敗しました\n";
    const int red = static_cast<int>(r.transparentColor >> 16 & 0xFF);
    const int green = static_cast<int>(r.transparentColor >> 8 & 0xFF);
    const int blue = static_cast<int>(r.transparentColor & 0xFF);
    DWORD key = 0;
    if (texture) {
        const TextureFormatSlot* slot = TextureSlotOf(r);
        if (slot == nullptr) return WriteLogText(failure);
        key = ComposePixel(&slot->colorFormat, red, green, blue, 255);
    } else if (g_ScreenColorFormat.depth != 8) {
        key = MakeColorCode(red, green, blue);
    }
    D_DDCOLORKEY colorKey{key, key};
    if (r.surface == nullptr || FAILED(r.surface->SetColorKey(D_DDCKEY_SRCBLT, &colorKey))) return WriteLogText(failure);
    return 0;
}

int IsSurfaceDataLost(HandleId handle) {
    const SurfaceDataRecord* record = LookupSurfaceData(handle);
    if (record == nullptr || record->surface == nullptr) return 0;
    return record->surface->IsLost() == D_DDERR_SURFACELOST ? 1 : 0;
}

int RestoreSurfaceData(HandleId handle) {
    SurfaceDataRecord* record = LookupSurfaceData(handle);
    if (record == nullptr) return -1;
    if (record->heldAsMemImg || record->surface == nullptr) return 0;
    if (record->surface->IsLost() == D_DDERR_SURFACELOST && FAILED(record->surface->Restore())) return -1;
    if (record->zBufferSurface != nullptr && record->zBufferSurface->IsLost() == D_DDERR_SURFACELOST &&
        FAILED(record->zBufferSurface->Restore()))
        return -1;
    return 0;
}

int LockSurfaceData(HandleId handle, int* pitch, void** pixels, int writeOnly, const RECT* rect,
                    const ColorFormatDesc** format) {
    SurfaceDataRecord* record = LookupSurfaceData(handle);
    if (record == nullptr) return -1;
    SurfaceDataRecord& r = *record;
    const ColorFormatDesc* pixelFormat = SurfaceDataColorFormat(record);
    if (format != nullptr) *format = pixelFormat;
    if (pixelFormat == nullptr || (rect != nullptr && !RectInsideRecord(*rect, r))) {
        WriteLogText("グラフィックのロックに失敗しました");
        return -1;
    }

    int result = -2;
    if (r.lockCount > 0) {
        ++r.lockCount;
    } else {
        if (r.heldAsMemImg) {
            if (!MemImgHasPixels(&r.memImg)) return WriteLogText("グラフィックのロックに失敗しました");
            // Whatever the caller writes, the run table and premultiplied
            // copy may no longer match.
            InvalidateMemImgDerived(&r.memImg);
            r.lockPixels = r.memImg.pixels;
            r.lockPitch = static_cast<std::int32_t>(r.memImg.pitch);
        } else {
            D_DDSURFACEDESC2 desc{};
            desc.dwSize = sizeof desc;
            const DWORD flags = D_DDLOCK_WAIT | (writeOnly ? D_DDLOCK_WRITEONLY : 0);
            if (r.surface == nullptr || FAILED(r.surface->Lock(nullptr, &desc, flags, nullptr)))
                return WriteLogText("グラフィックのロックに失敗しました");
            r.lockPixels = static_cast<std::uint8_t*>(desc.lpSurface);
            r.lockPitch = desc.lPitch;
        }
        r.lockCount = 1;
        result = 0;
    }
    // A nested lock may ask for another rectangle: its corner is found from
    // the storage's first pixel, not from the first lock's rectangle.
    std::uint8_t* corner = r.lockPixels;
    if (rect != nullptr)
        corner += static_cast<std::ptrdiff_t>(rect->top) * r.lockPitch +
                  static_cast<std::ptrdiff_t>(rect->left) * pixelFormat->bytesPerPixel;
    if (pitch != nullptr) *pitch = r.lockPitch;
    if (pixels != nullptr) *pixels = corner;
    return result;
}

int UnlockSurfaceData(HandleId handle) {
    SurfaceDataRecord* record = LookupSurfaceData(handle);
    if (record == nullptr || record->lockCount <= 0) return -1;
    if (--record->lockCount == 0) {
        if (!record->heldAsMemImg && record->surface != nullptr) record->surface->Unlock(nullptr);
        record->lockPixels = nullptr;
        record->lockPitch = 0;
    }
    return 0;
}

int FillSurfaceDataColor(HandleId handle, int r, int g, int b, int a) {
    return FillSurfaceDataRect(handle, nullptr, r, g, b, a);
}

int FillSurfaceDataRect(HandleId handle, const RECT* rect, int r, int g, int b, int a) {
    SurfaceDataRecord* record = LookupSurfaceData(handle);
    if (record == nullptr || !HasStorage(*record) || (rect != nullptr && !RectInsideRecord(*rect, *record)))
        return -1;
    const std::uint32_t value = FillValue(*record, r, g, b, a);
    if (record->heldAsMemImg) {
        ClearMemImgRect(&record->memImg, rect, value);
        InvalidateMemImgDerived(&record->memImg);
        return 0;
    }
    D_DDBLTFX fx{};
    fx.dwSize = sizeof fx;
    fx.dwFillColor = value;
    RECT area = rect != nullptr ? *rect : RECT{0, 0, record->width, record->height};
    return FAILED(record->surface->Blt(&area, nullptr, nullptr, D_DDBLT_COLORFILL | D_DDBLT_WAIT, &fx)) ? -1 : 0;
}

const ColorFormatDesc* SurfaceDataColorFormat(const SurfaceDataRecord* record) {
    if (record == nullptr) return nullptr;
    if (record->heldAsMemImg) {
        if (record->memImg.magic == kMemImgMagic) return record->memImg.colorFormat;
        return GetStandardColorFormat(record->flags.ColorBitDepth == 32 ? kMemImgKindFor32 : kMemImgKindFor16,
                                      record->flags.AlphaChFlag, record->flags.Palette8Flag);
    }
    if (record->flags.TextureFlag) {
        const TextureFormatSlot* slot = TextureSlotOf(*record);
        return slot != nullptr ? &slot->colorFormat : nullptr;
    }
    return &g_ScreenColorFormat;
}
