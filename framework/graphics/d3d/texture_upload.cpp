// Writing images into texture tiles: each tile takes the part of the image
// that lies over it, converted into the texture's format, the transparent
// colour becoming alpha 0 where the texture has alpha.
#include <algorithm>

#include "core/fatal_error.h"
#include "core/rect.h"
#include "graphics/d3d/d3d_device.h"
#include "graphics/device/screen_device.h"
#include "graphics/device/surface_data.h"
#include "graphics/draw/draw_state.h"
#include "graphics/draw/graph_record.h"
#include "graphics/image/convert_blit.h"
#include "graphics/image/graph_image.h"

namespace {

bool ImageUsable(const GraphImage* image) {
    return image != nullptr && image->pixels != nullptr && image->width > 0 && image->height > 0;
}

// The part of the image (and its alpha image) that exists.
RECT ImageArea(const GraphImage& image, const GraphImage* alphaImage) {
    RECT area{0, 0, static_cast<LONG>(image.width), static_cast<LONG>(image.height)};
    if (alphaImage != nullptr) {
        area.right = std::min<LONG>(area.right, static_cast<LONG>(alphaImage->width));
        area.bottom = std::min<LONG>(area.bottom, static_cast<LONG>(alphaImage->height));
    }
    return area;
}

// A system-memory texture of the tile texture's size and format, for a
// texture that cannot be locked itself.
D_IDirectDrawSurface7* MakeTemporaryTexture(const SurfaceDataRecord& data, const TextureFormatSlot& slot) {
    D_IDirectDraw7* dd = GetDirectDrawObject();
    D_DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = D_DDSD_CAPS | D_DDSD_HEIGHT | D_DDSD_WIDTH | D_DDSD_PIXELFORMAT;
    desc.ddsCaps.dwCaps = D_DDSCAPS_TEXTURE | D_DDSCAPS_SYSTEMMEMORY;
    desc.dwWidth = data.width;
    desc.dwHeight = data.height;
    desc.ddpfPixelFormat = slot.pixelFormat;
    D_IDirectDrawSurface7* temporary = nullptr;
    if (dd == nullptr || FAILED(dd->CreateSurface(&desc, &temporary, nullptr)) || temporary == nullptr)
        FatalError("テンポラリテクスチャサーフェスの作成に失敗しました");
    return temporary;
}

}  // namespace

int UploadImageToTexture(const GraphImage* image, const GraphImage* alphaImage, const RECT& sourceRect, int destX,
                         int destY, HandleId tileHandle, int colorKey) {
    if (g_Direct3D.direct3D == nullptr) return -1;
    FlushDeviceVertices();
    const Surface3DDataRecord* tile = LookupSurface3DData(tileHandle);
    SurfaceDataRecord* data = tile != nullptr ? LookupSurfaceData(tile->surfaceData) : nullptr;
    const TextureFormatSlot* slot = data != nullptr ? GetTextureFormatSlot(static_cast<int>(data->kind)) : nullptr;
    if (slot == nullptr || data->surface == nullptr || !ImageUsable(image)) return -1;
    if (alphaImage != nullptr && !ImageUsable(alphaImage)) alphaImage = nullptr;

    // Clip the source to the image and the destination to the texture.
    RECT source = sourceRect;
    if (!ClipCopyRects(&source, &destX, &destY, ImageArea(*image, alphaImage), RECT{0, 0, data->width, data->height}))
        return 0;
    const RECT dest{destX, destY, destX + (source.right - source.left), destY + (source.bottom - source.top)};

    int pitch = 0;
    void* pixels = nullptr;
    D_IDirectDrawSurface7* temporary = nullptr;
    if (LockSurfaceData(tile->surfaceData, &pitch, &pixels, 1, nullptr, nullptr) != 0) {
        temporary = MakeTemporaryTexture(*data, *slot);
        D_DDSURFACEDESC2 desc{};
        desc.dwSize = sizeof desc;
        if (FAILED(temporary->Lock(nullptr, &desc, D_DDLOCK_WAIT | D_DDLOCK_WRITEONLY, nullptr)))
            FatalError("テンポラリテクスチャサーフェスの作成に失敗しました");
        pitch = desc.lPitch;
        pixels = desc.lpSurface;
    }
    const int result = BlitConvertFormat(
        static_cast<std::uint8_t*>(pixels), pitch, &slot->colorFormat, image->pixels, static_cast<int>(image->pitch),
        &image->colorFormat, alphaImage != nullptr ? alphaImage->pixels : nullptr,
        alphaImage != nullptr ? static_cast<int>(alphaImage->pitch) : 0,
        alphaImage != nullptr ? &alphaImage->colorFormat : nullptr, dest.left, dest.top, &source, 0, colorKey,
        data->transparentColor, GetTransferConvertFlag(), 0, 0, 0);
    if (temporary == nullptr) {
        UnlockSurfaceData(tile->surfaceData);
    } else {
        temporary->Unlock(nullptr);
        data->surface->Restore();
        const Device3DRecord* device = CurrentDevice3D();
        POINT at{dest.left, dest.top};
        RECT copied = dest;
        if (device == nullptr || device->device == nullptr ||
            FAILED(device->device->Load(data->surface, &at, temporary, &copied, 0)))
            FatalError("作業用テクスチャサーフェスから描画用テクスチャサーフェスへの画像転送に失敗しました");
        temporary->Release();
    }
    SetSurfaceDataColorKey(tile->surfaceData);
    return result < 0 ? -1 : 0;
}

int WriteRectToGraphTextures(GraphRecord* graph, const GraphImage* image, const GraphImage* alphaImage,
                             const RECT& sourceRect, int destX, int destY) {
    if (g_Direct3D.direct3D == nullptr || graph == nullptr || !ImageUsable(image)) return -1;
    RECT source = sourceRect;
    NormalizeRect(&source);
    const RECT dest{destX, destY, destX + (source.right - source.left), destY + (source.bottom - source.top)};
    for (int i = 0; i < graph->storageCount; ++i) {
        const Surface3DDataRecord* tile = LookupSurface3DData(graph->storageHandles[i]);
        if (tile == nullptr) return -1;
        const RECT window{tile->x, tile->y, tile->x + tile->width, tile->y + tile->height};
        RECT part, partSource;
        if (!CopyPartInWindow(source, dest, window, &part, &partSource)) continue;
        if (UploadImageToTexture(image, alphaImage, partSource, tile->uOffset + part.left - tile->x,
                                 tile->vOffset + part.top - tile->y, graph->storageHandles[i], 1) < 0)
            return -1;
    }
    return 0;
}

int WriteImageToGraphTextures(GraphRecord* graph, const GraphImage* image, const GraphImage* alphaImage,
                              int sourceX, int sourceY) {
    if (graph == nullptr) return -1;
    const RECT source{sourceX, sourceY, sourceX + graph->width, sourceY + graph->height};
    return WriteRectToGraphTextures(graph, image, alphaImage, source, 0, 0);
}
