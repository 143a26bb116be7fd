// Copying a rectangle of the draw target into a texture graphic. Five ways
// of copying are tried in a fixed order; the one that worked is remembered,
// once for textures with alpha and once for the others.
#include <algorithm>
#include <functional>

#include "core/system_state.h"
#include "graphics/d3d/d3d_device.h"
#include "graphics/d3d/d3d_texture_draw.h"
#include "graphics/device/screen_device.h"
#include "graphics/device/surface_data.h"
#include "graphics/draw/draw_state.h"
#include "graphics/draw/graph_record.h"
#include "graphics/image/convert_blit.h"
#include "platform/gdi.h"
#include "platform/window.h"

namespace {

// One tile's share of a capture: where it comes from on the source
// surface and where it goes in the tile's texture.
struct TilePart {
    HandleId tile;
    SurfaceDataRecord* data;
    RECT source;
    int destX, destY;
};
using PartCopy = std::function<int(const TilePart&)>;

// Checks the rectangle against the source and the graphic and hands every
// tile's share to `copy`; the first failure ends the walk.
int ForEachTilePart(int x1, int y1, int x2, int y2, GraphRecord* graph, int fullScreen, const PartCopy& copy) {
    const DrawState& s = g_DrawState;
    int width = s.targetWidth, height = s.targetHeight;
    int originX = s.drawTargetRect.left, originY = s.drawTargetRect.top;
    if (fullScreen == 0 && g_SystemState.windowMode && s.drawTarget == kFrontScreenTarget &&
        IsTargetBackSurfaceInWindowMode()) {
        width = GetSystemMetrics(SM_CXSCREEN);
        height = GetSystemMetrics(SM_CYSCREEN);
        originX = originY = 0;
    }
    if (x1 < 0 || x1 >= x2 || x2 > width || y1 < 0 || y1 >= y2 || y2 > height || x2 - x1 > graph->width ||
        y2 - y1 > graph->height)
        return -1;
    for (int i = 0; i < graph->storageCount; ++i) {
        const Surface3DDataRecord* tile = LookupSurface3DData(graph->storageHandles[i]);
        SurfaceDataRecord* data = tile != nullptr ? LookupSurfaceData(tile->surfaceData) : nullptr;
        if (data == nullptr || data->surface == nullptr) return -1;
        const LONG left = std::max<LONG>(tile->x, 0), top = std::max<LONG>(tile->y, 0);
        const LONG right = std::min<LONG>(tile->x + tile->width, x2 - x1);
        const LONG bottom = std::min<LONG>(tile->y + tile->height, y2 - y1);
        if (left >= right || top >= bottom) continue;
        const TilePart part{graph->storageHandles[i], data,
                            RECT{x1 + left + originX, y1 + top + originY, x1 + right + originX, y1 + bottom + originY},
                            tile->uOffset + static_cast<int>(left) - tile->x,
                            tile->vOffset + static_cast<int>(top) - tile->y};
        const int result = copy(part);
        SetSurfaceDataColorKey(tile->surfaceData);
        if (result < 0) return result;
    }
    return 0;
}

struct Locked {
    D_IDirectDrawSurface7* surface = nullptr;
    D_DDSURFACEDESC2 desc{};
    HRESULT Lock(D_IDirectDrawSurface7* s, DWORD flags) {
        desc.dwSize = sizeof desc;
        const HRESULT hr = s->Lock(nullptr, &desc, D_DDLOCK_WAIT | flags, nullptr);
        if (SUCCEEDED(hr)) surface = s;
        return hr;
    }
    ~Locked() {
        if (surface != nullptr) surface->Unlock(nullptr);
    }
    std::uint8_t* Pixels() const { return static_cast<std::uint8_t*>(desc.lpSurface); }
};

const ColorFormatDesc* TextureFormatOf(const SurfaceDataRecord& data) {
    return GetTextureColorFormat(static_cast<int>(data.kind));
}

int Convert(const Locked& to, const ColorFormatDesc* toFormat, const Locked& from, const ColorFormatDesc* fromFormat,
            const RECT& source, int destX, int destY) {
    return BlitConvertFormat(to.Pixels(), to.desc.lPitch, toFormat, from.Pixels(), from.desc.lPitch, fromFormat,
                             nullptr, 0, nullptr, destX, destY, &source, 0, 0, 0, GetTransferConvertFlag(), 0, 0, 0);
}

// A system-memory texture of the tile's size and format, filled with the
// part by GDI (at the part's place in it). Null after a logged failure.
D_IDirectDrawSurface7* GdiWorkTexture(const char* name, const TilePart& part, D_IDirectDrawSurface7* source) {
    const TextureFormatSlot* slot = GetTextureFormatSlot(static_cast<int>(part.data->kind));
    D_IDirectDraw7* dd = GetDirectDrawObject();
    if (slot == nullptr || dd == nullptr) return nullptr;
    HDC sourceDc = nullptr;
    if (HRESULT hr = source->GetDC(&sourceDc); FAILED(hr)) {
        WriteD3DLog("Error  %s 　ＤＣ取得に失敗しました  GetDC  ReturnValue:%d\n", name, static_cast<int>(hr));
        return nullptr;
    }
    D_DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = D_DDSD_CAPS | D_DDSD_HEIGHT | D_DDSD_WIDTH | D_DDSD_PIXELFORMAT;
    desc.ddsCaps.dwCaps = D_DDSCAPS_TEXTURE | D_DDSCAPS_SYSTEMMEMORY;
    desc.dwWidth = part.data->width;
    desc.dwHeight = part.data->height;
    desc.ddpfPixelFormat = slot->pixelFormat;
    D_IDirectDrawSurface7* work = nullptr;
    HDC workDc = nullptr;
    HRESULT hr = dd->CreateSurface(&desc, &work, nullptr);
    if (FAILED(hr)) {
        WriteD3DLog("Error  %s 　作業用テクスチャサーフェスの作成に失敗しました  CreateSurface  ReturnValue:%d\n", name,
                    static_cast<int>(hr));
    } else if (hr = work->GetDC(&workDc); FAILED(hr)) {
        WriteD3DLog("Error  %s 　作業用テクスチャサーフェスのＤＣ取得に失敗しました  GetDC  ReturnValue:%d\n", name,
                    static_cast<int>(hr));
    } else {
        const RECT& r = part.source;
        const BOOL copied = BitBlt(workDc, part.destX, part.destY, r.right - r.left, r.bottom - r.top, sourceDc, r.left,
                                   r.top, SRCCOPY);
        if (!copied)
            WriteD3DLog("Error  %s 　作業用テクスチャサーフェスへのイメージ転送に失敗しました  BitBlt  ErrorCode:%x\n",
                        name, 0u);
        if (hr = work->ReleaseDC(workDc); FAILED(hr))
            WriteD3DLog("Error  %s 　作業用テクスチャサーフェスのＤＣ解放に失敗しました  ReleaseDC  ReturnValue:%d\n",
                        name, static_cast<int>(hr));
        source->ReleaseDC(sourceDc);
        if (copied && SUCCEEDED(hr)) return work;
        work->Release();
        return nullptr;
    }
    if (work != nullptr) work->Release();
    source->ReleaseDC(sourceDc);
    return nullptr;
}

// Locks the target and each tile's texture and converts the pixels.
int CaptureByConversion(int x1, int y1, int x2, int y2, GraphRecord* graph, int fullScreen) {
    D_IDirectDrawSurface7* source = GetDrawTargetSurface();
    if (source == nullptr) return -1;
    return ForEachTilePart(x1, y1, x2, y2, graph, fullScreen, [&](const TilePart& part) {
        Locked to, from;
        if (HRESULT hr = to.Lock(part.data->surface, D_DDLOCK_WRITEONLY); FAILED(hr))
            return WriteD3DLog("Error  G_D3D_GetDrawScreenGraphFunction5 　転送先テクスチャサーフェスのロックに失敗しました  "
                               "Lock  ReturnValue:%d\n", static_cast<int>(hr));
        if (HRESULT hr = from.Lock(source, 0); FAILED(hr))
            return WriteD3DLog("Error  G_D3D_GetDrawScreenGraphFunction5 　作業用テクスチャサーフェスのロックに失敗しました  "
                               "Lock  ReturnValue:%d\n", static_cast<int>(hr));
        return Convert(to, TextureFormatOf(*part.data), from, GetScreenColorFormat(), part.source, part.destX,
                       part.destY);
    });
}

// BltFast from the target into each tile's texture.
int CaptureByBltFast(int x1, int y1, int x2, int y2, GraphRecord* graph, int fullScreen) {
    D_IDirectDrawSurface7* source = GetDrawTargetSurface();
    if (source == nullptr) return -1;
    return ForEachTilePart(x1, y1, x2, y2, graph, fullScreen, [&](const TilePart& part) {
        RECT from = part.source;
        const HRESULT hr = part.data->surface->BltFast(static_cast<DWORD>(part.destX), static_cast<DWORD>(part.destY),
                                                       source, &from, D_DDBLTFAST_WAIT);
        if (FAILED(hr))
            return WriteD3DLog("Error G_D3D_GetDrawScreenGraphFunction1  BltFast ReturnValue:%d\n",
                               static_cast<int>(hr));
        return 0;
    });
}

// GDI into a system-memory work texture, then both locked and converted.
int CaptureByGdiAndConversion(int x1, int y1, int x2, int y2, GraphRecord* graph, int fullScreen) {
    D_IDirectDrawSurface7* source = GetDrawTargetSurface();
    if (source == nullptr) return -1;
    const char* name = "G_D3D_GetDrawScreenGraphFunction3";
    return ForEachTilePart(x1, y1, x2, y2, graph, fullScreen, [&](const TilePart& part) {
        D_IDirectDrawSurface7* work = GdiWorkTexture(name, part, source);
        if (work == nullptr) return -1;
        int result = 0;
        {
            Locked to, from;
            if (HRESULT hr = to.Lock(part.data->surface, D_DDLOCK_WRITEONLY); FAILED(hr)) {
                result = WriteD3DLog("Error  %s 　転送先テクスチャサーフェスのロックに失敗しました  Lock  ReturnValue:%d\n",
                                     name, static_cast<int>(hr));
            } else if (HRESULT hr2 = from.Lock(work, 0); FAILED(hr2)) {
                result = WriteD3DLog("Error  %s 　作業用テクスチャサーフェスのロックに失敗しました  Lock  ReturnValue:%d\n",
                                     name, static_cast<int>(hr2));
            } else {
                const ColorFormatDesc* format = TextureFormatOf(*part.data);
                const RECT at{part.destX, part.destY, part.destX + (part.source.right - part.source.left),
                              part.destY + (part.source.bottom - part.source.top)};
                result = Convert(to, format, from, format, at, part.destX, part.destY);
            }
        }
        work->Release();
        return result;
    });
}

// GDI straight from the target into each tile texture.
int CaptureByGdi(int x1, int y1, int x2, int y2, GraphRecord* graph, int fullScreen) {
    D_IDirectDrawSurface7* source = GetDrawTargetSurface();
    if (source == nullptr) return -1;
    const char* name = "G_D3D_GetDrawScreenGraphFunction2";
    return ForEachTilePart(x1, y1, x2, y2, graph, fullScreen, [&](const TilePart& part) {
        HDC from = nullptr, to = nullptr;
        if (HRESULT hr = source->GetDC(&from); FAILED(hr))
            return WriteD3DLog("Error  %s  ＤＣ取得に失敗しました  GetDC ReturnValue:%d\n", name, static_cast<int>(hr));
        int result = 0;
        if (HRESULT hr = part.data->surface->GetDC(&to); FAILED(hr)) {
            result = WriteD3DLog("Error  %s 　作業用テクスチャサーフェスのＤＣ取得に失敗しました  GetDC ReturnValue:%d\n",
                                 name, static_cast<int>(hr));
        } else {
            const RECT& r = part.source;
            if (!BitBlt(to, part.destX, part.destY, r.right - r.left, r.bottom - r.top, from, r.left, r.top, SRCCOPY))
                result = WriteD3DLog(
                    "Error  %s 　作業用テクスチャサーフェスへのイメージ転送に失敗しました  BitBlt  ErrorCode:%x\n", name,
                    0u);
            if (HRESULT hr2 = part.data->surface->ReleaseDC(to); FAILED(hr2))
                result = WriteD3DLog("Error  %s 　作業用テクスチャサーフェスのＤＣ解放に失敗しました  ReleaseDC ReturnValue:%d\n",
                                     name, static_cast<int>(hr2));
        }
        source->ReleaseDC(from);
        return result;
    });
}

// GDI into a system-memory work texture, then Load into the tile texture.
int CaptureByGdiAndLoad(int x1, int y1, int x2, int y2, GraphRecord* graph, int fullScreen) {
    D_IDirectDrawSurface7* source = GetDrawTargetSurface();
    const Device3DRecord* device = CurrentDevice3D();
    if (source == nullptr || device == nullptr || device->device == nullptr) return -1;
    return ForEachTilePart(x1, y1, x2, y2, graph, fullScreen, [&](const TilePart& part) {
        D_IDirectDrawSurface7* work = GdiWorkTexture("G_D3D_GetDrawScreenGraphFunction4", part, source);
        if (work == nullptr) return -1;
        POINT at{part.destX, part.destY};
        RECT from{part.destX, part.destY, part.destX + (part.source.right - part.source.left),
                  part.destY + (part.source.bottom - part.source.top)};
        const HRESULT hr = device->device->Load(part.data->surface, &at, work, &from, 0);
        work->Release();
        if (FAILED(hr))
            return WriteD3DLog("hr:%d  W:%d  H:%d  FullMode:%d  Point x:%d y:%d   Rect top:%d bottom:%d left:%d right:%d\n",
                               static_cast<int>(hr), static_cast<int>(part.data->width),
                               static_cast<int>(part.data->height), fullScreen, part.destX, part.destY,
                               static_cast<int>(from.top), static_cast<int>(from.bottom), static_cast<int>(from.left),
                               static_cast<int>(from.right));
        return 0;
    });
}

using CaptureVariant = int (*)(int, int, int, int, GraphRecord*, int);
// Tried in this order; a null entry ends the table.
constexpr CaptureVariant kCaptureTable[] = {CaptureByConversion, CaptureByBltFast, CaptureByGdiAndConversion,
                                            CaptureByGdi, CaptureByGdiAndLoad, nullptr};

}  // namespace

int CaptureScreenToGraphTextures(int x1, int y1, int x2, int y2, GraphRecord* graph, int fullScreen) {
    if (g_Direct3D.direct3D == nullptr || graph == nullptr || !graph->textureGraph || graph->storageCount < 1)
        return -1;
    const SurfaceDataRecord* first = TileTexture(graph->storageHandles[0], nullptr);
    if (first == nullptr) return -1;
    if (g_Direct3D.suppressed3D) return 0;
    FlushDeviceVertices();
    EndDeviceScene();
    int& remembered = g_Direct3D.captureVariant[first->flags.AlphaChFlag || first->flags.AlphaTestFlag ? 1 : 0];
    if (remembered >= 0) {
        const int result = kCaptureTable[remembered](x1, y1, x2, y2, graph, fullScreen);
        if (result >= 0) return result;
    }
    int result = -1;
    for (int i = 0; kCaptureTable[i] != nullptr; ++i) {
        remembered = i;
        result = kCaptureTable[i](x1, y1, x2, y2, graph, fullScreen);
        if (result == 0) return 0;
    }
    remembered = -1;
    return result;
}
