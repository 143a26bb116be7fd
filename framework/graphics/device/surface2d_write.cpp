// Writing images into 2D surfaces: through GDI on an 8-bit screen, into the
// software image of storage held in system memory, or by locking a
// DirectDraw surface and converting into it.
#include <algorithm>

#include "core/log.h"
#include "core/memory.h"
#include "core/rect.h"
#include "graphics/device/storage_device.h"
#include "graphics/device/surface2d.h"
#include "graphics/draw/draw_state.h"
#include "graphics/draw/graph_record.h"
#include "graphics/image/base_image.h"
#include "graphics/image/convert_blit.h"

namespace {

bool ImageUsable(const GraphImage* image) {
    return image != nullptr && image->pixels != nullptr && image->width > 0 && image->height > 0;
}

// Coordinates far beyond any surface are refused before any arithmetic
// on them could overflow.
constexpr int kCoordinateLimit = 1 << 24;

bool Sane(int v) { return v > -kCoordinateLimit && v < kCoordinateLimit; }

bool SaneRect(const RECT& r, int x, int y) {
    return Sane(r.left) && Sane(r.top) && Sane(r.right) && Sane(r.bottom) && Sane(x) && Sane(y);
}

RECT ImageRect(const GraphImage& image) {
    return RECT{0, 0, static_cast<LONG>(image.width), static_cast<LONG>(image.height)};
}

// The 8-bit screen: the image goes through a GDI bitmap, which maps its
// colours onto the palette.
int WriteThroughGdi(const GraphImage& image, const RECT& source, int destX, int destY, D_IDirectDrawSurface7* surface) {
    BITMAPINFO info{};
    void* bits = nullptr;
    if (MakeBaseImage24Copy(&image, &info, &bits, 0) < 0) return WriteLogText("GraphImage を BMP に変換する処理が失敗しました");
    HBITMAP bitmap = MakeDibSectionCopy(&info, bits, 0, nullptr);
    KV_FREE(bits);
    if (bitmap == nullptr) return WriteLogText("ＢＭＰデータからＢＭＰハンドルを作成する処理が失敗しました");
    int result = -1;
    HDC memory = CreateCompatibleDC(nullptr);
    HDC target = nullptr;
    if (memory != nullptr && SUCCEEDED(surface->GetDC(&target))) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        if (BitBlt(target, destX, destY, source.right - source.left, source.bottom - source.top, memory, source.left,
                   source.top, SRCCOPY))
            result = 0;
        SelectObject(memory, old);
        surface->ReleaseDC(target);
    }
    if (memory != nullptr) DeleteDC(memory);
    DeleteObject(bitmap);
    return result;
}

int WriteByLock(const GraphImage& image, const RECT& source, int destX, int destY, D_IDirectDrawSurface7* surface,
                int convertOption) {
    RECT dest{destX, destY, destX + source.right - source.left, destY + source.bottom - source.top};
    D_DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    if (FAILED(surface->Lock(&dest, &desc, D_DDLOCK_WAIT | D_DDLOCK_WRITEONLY, nullptr)))
        return WriteLogText("２Ｄサーフェスのロックに失敗しました");
    // The surface holds the screen's format; its own description says so exactly.
    ColorFormatDesc format{};
    ColorFormatFromDDPixelFormat(&desc.ddpfPixelFormat, &format);
    const int result = BlitConvertFormat(static_cast<std::uint8_t*>(desc.lpSurface), desc.lPitch, &format,
                                         image.pixels, static_cast<int>(image.pitch), &image.colorFormat, nullptr, 0,
                                         nullptr, 0, 0, &source, 0, 0, 0, GetTransferConvertFlag(), 0, convertOption, 0);
    surface->Unlock(&dest);
    return result < 0 ? -1 : 0;
}

}  // namespace

int WriteImageToSurface2D(const GraphImage* image, const GraphImage* alphaImage, const RECT& sourceRect, int destX,
                          int destY, HandleId surface2D, int convertOption) {
    if (StorageDeviceMissing()) return -1;
    if (g_DrawState.drawingSuppressed) return 0;
    const Surface2DRecord* record = LookupSurface2D(surface2D);
    SurfaceDataRecord* data = record != nullptr ? LookupSurfaceData(record->surfaceData) : nullptr;
    if (data == nullptr || !ImageUsable(image) || !SaneRect(sourceRect, destX, destY)) return -1;
    if (alphaImage != nullptr && !ImageUsable(alphaImage)) alphaImage = nullptr;

    // Clip the source to the image (and its alpha image), then the
    // destination to the surface data, moving the source along.
    RECT source = sourceRect;
    RECT imageArea = ImageRect(*image);
    if (alphaImage != nullptr) {
        imageArea.right = std::min<LONG>(imageArea.right, static_cast<LONG>(alphaImage->width));
        imageArea.bottom = std::min<LONG>(imageArea.bottom, static_cast<LONG>(alphaImage->height));
    }
    if (!ClipCopyRects(&source, &destX, &destY, imageArea, RECT{0, 0, data->width, data->height})) return 0;

    if (data->heldAsMemImg) {
        return WriteGraphImageToMemImg(image, alphaImage, &data->memImg, source.left, source.top,
                                       source.right - source.left, source.bottom - source.top, destX, destY,
                                       convertOption) < 0
                   ? -1
                   : 0;
    }
    if (data->surface == nullptr) return -1;
    if (g_ScreenColorFormat.depth == 8) return WriteThroughGdi(*image, source, destX, destY, data->surface);
    return WriteByLock(*image, source, destX, destY, data->surface, convertOption);
}

int WriteRectToGraphSurface2Ds(GraphRecord* graph, const GraphImage* image, const GraphImage* alphaImage,
                               const RECT& sourceRect, int destX, int destY, int convertOption) {
    if (StorageDeviceMissing() || graph == nullptr || !SaneRect(sourceRect, destX, destY)) return -1;
    RECT source = sourceRect;
    NormalizeRect(&source);
    const RECT dest{destX, destY, destX + source.right - source.left, destY + source.bottom - source.top};
    for (int i = 0; i < graph->storageCount; ++i) {
        const Surface2DRecord* record = LookupSurface2D(graph->storageHandles[i]);
        if (record == nullptr) return -1;
        // The part of the destination this surface shows, in graphic coordinates.
        const RECT window{record->x, record->y, record->x + record->width, record->y + record->height};
        RECT part, partSource;
        if (!CopyPartInWindow(source, dest, window, &part, &partSource)) continue;
        if (WriteImageToSurface2D(image, alphaImage, partSource, record->partX + part.left - record->x,
                                  record->partY + part.top - record->y, graph->storageHandles[i], convertOption) < 0)
            return -1;
    }
    return 0;
}

int WriteImageToSurface2DAt(GraphRecord* graph, const GraphImage* image, const GraphImage* alphaImage, int destX,
                            int destY, int convertOption) {
    if (!ImageUsable(image)) return -1;
    return WriteRectToGraphSurface2Ds(graph, image, alphaImage, ImageRect(*image), destX, destY, convertOption);
}

int WriteImageToGraphSurface2Ds(GraphRecord* graph, const GraphImage* image, const GraphImage* alphaImage,
                                int sourceX, int sourceY, int convertOption) {
    if (graph == nullptr) return -1;
    const RECT source{sourceX, sourceY, sourceX + graph->width, sourceY + graph->height};
    return WriteRectToGraphSurface2Ds(graph, image, alphaImage, source, 0, 0, convertOption);
}
