// Copies into 2D surfaces from elsewhere: a movie's frame, a rectangle of
// the current draw target, and the GDI copy between two surfaces.
#include "core/log.h"
#include "graphics/d3d/direct3d.h"
#include "graphics/device/present.h"
#include "graphics/device/storage_device.h"
#include "graphics/device/surface2d.h"
#include "graphics/draw/draw_state.h"
#include "graphics/draw/graph_record.h"
#include "graphics/image/convert_blit.h"
#include "graphics/movie/movie.h"
#include "platform/gdi.h"

namespace {

// Where the draw target's pixels are: a software image or a DirectDraw
// surface, and where the target's (0, 0) lies in it.
struct DrawSource {
    MEMIMG* image = nullptr;
    D_IDirectDrawSurface7* surface = nullptr;
    int offsetX = 0, offsetY = 0;
};

// The current draw target as its binding holds it.
bool FindDrawSource(HandleId target, DrawSource* out) {
    // Drawing may have reached the window without the front image.
    if (target == kFrontScreenTarget && StorageScreenIsMemImg()) PullWindowToMemImgScreen();
    const DrawTargetBinding& binding = g_DrawTargetBinding;
    if (binding.image != nullptr && MemImgHasPixels(binding.image)) out->image = binding.image;
    else out->surface = binding.surface;
    out->offsetX = binding.offsetX;
    out->offsetY = binding.offsetY;
    if (target == kFrontScreenTarget && out->surface != nullptr) {
        // The front screen is the window's part of the primary.
        RECT onPrimary{};
        GetScreenRectOnPrimary(&onPrimary);
        out->offsetX += onPrimary.left;
        out->offsetY += onPrimary.top;
    }
    return out->image != nullptr || out->surface != nullptr;
}

int LockWhole(D_IDirectDrawSurface7* surface, DWORD flags, D_DDSURFACEDESC2* desc, ColorFormatDesc* format) {
    *desc = D_DDSURFACEDESC2{};
    desc->dwSize = sizeof *desc;
    if (surface == nullptr || FAILED(surface->Lock(nullptr, desc, flags, nullptr))) return -1;
    ColorFormatFromDDPixelFormat(&desc->ddpfPixelFormat, format);
    return 0;
}

bool Inside(const RECT& r, DWORD width, DWORD height) {
    return r.left >= 0 && r.top >= 0 && r.right <= static_cast<LONG>(width) && r.bottom <= static_cast<LONG>(height);
}

// The converting blit clips nothing, so both rectangles are checked against
// what the locks report before any pixel moves.
int CopyRect(const DrawSource& from, const RECT& source, SurfaceDataRecord& to, int destX, int destY) {
    const int width = source.right - source.left, height = source.bottom - source.top;
    const RECT dest{destX, destY, destX + width, destY + height};
    const int dither = GetTransferConvertFlag();
    if (from.image != nullptr &&
        !Inside(source, static_cast<DWORD>(from.image->width), static_cast<DWORD>(from.image->height)))
        return -1;
    if (from.image != nullptr && to.heldAsMemImg) return CopyMemImg(&to.memImg, from.image, &source, destX, destY) < 0 ? -1 : 0;

    if (from.image != nullptr) {
        D_DDSURFACEDESC2 desc;
        ColorFormatDesc format{};
        if (LockWhole(to.surface, D_DDLOCK_WAIT | D_DDLOCK_WRITEONLY, &desc, &format) < 0) return -1;
        if (!Inside(dest, desc.dwWidth, desc.dwHeight)) {
            to.surface->Unlock(nullptr);
            return -1;
        }
        const int result = BlitConvertFormat(static_cast<std::uint8_t*>(desc.lpSurface), desc.lPitch, &format,
                                             from.image->pixels, static_cast<int>(from.image->pitch),
                                             from.image->colorFormat, nullptr, 0, nullptr, destX, destY, &source, 0, 0,
                                             0, dither, 0, 0, 0);
        to.surface->Unlock(nullptr);
        return result < 0 ? -1 : 0;
    }
    if (to.heldAsMemImg) {
        D_DDSURFACEDESC2 desc;
        ColorFormatDesc format{};
        if (LockWhole(from.surface, D_DDLOCK_WAIT, &desc, &format) < 0) return -1;
        if (!Inside(source, desc.dwWidth, desc.dwHeight) ||
            !Inside(dest, static_cast<DWORD>(to.memImg.width), static_cast<DWORD>(to.memImg.height))) {
            from.surface->Unlock(nullptr);
            return -1;
        }
        const int result = BlitConvertFormat(to.memImg.pixels, static_cast<int>(to.memImg.pitch), to.memImg.colorFormat,
                                             static_cast<const std::uint8_t*>(desc.lpSurface), desc.lPitch, &format,
                                             nullptr, 0, nullptr, destX, destY, &source, 0, 0, 0, dither, 0, 0, 0);
        from.surface->Unlock(nullptr);
        InvalidateMemImgDerived(&to.memImg);
        return result < 0 ? -1 : 0;
    }
    RECT destCopy = dest, sourceCopy = source;
    if (SUCCEEDED(to.surface->Blt(&destCopy, from.surface, &sourceCopy, D_DDBLT_WAIT, nullptr))) return 0;
    return GdiCopyThroughSurfaceDC(to.surface, destX, destY, from.surface, source);
}

}  // namespace

int CopyMovieFrameToSurface2D(GraphRecord* graph) {
    if (graph == nullptr || StorageDeviceMissing()) return -1;
    D_IDirectDrawSurface7* frame = GetGraphMovieSurface(graph);
    if (frame == nullptr) return -1;
    D_DDSURFACEDESC2 desc;
    GraphImage image{};
    if (LockWhole(frame, D_DDLOCK_WAIT, &desc, &image.colorFormat) < 0)
        return WriteLogText("ムービーグラフィック転送先サーフェスのロックに失敗しました");
    image.width = desc.dwWidth;
    image.height = desc.dwHeight;
    image.pitch = static_cast<std::uint32_t>(desc.lPitch);
    image.pixels = static_cast<std::uint8_t*>(desc.lpSurface);
    const int result = WriteImageToGraphSurface2Ds(graph, &image, nullptr, 0, 0, 0);
    frame->Unlock(nullptr);
    return result;
}

int CopyDrawScreenToSurface2D(int x1, int y1, int x2, int y2, GraphRecord* graph) {
    if (StorageDeviceMissing() || graph == nullptr) return -1;
    if (x1 < 0 || y1 < 0 || x2 - x1 < 1 || y2 - y1 < 1) return -1;
    if (x2 - x1 != graph->width || y2 - y1 != graph->height) return -1;
    const HandleId target = g_DrawState.drawTarget;
    int targetWidth = 0, targetHeight = 0;
    if (QueryGraphSize(target, &targetWidth, &targetHeight) < 0 || x2 > targetWidth || y2 > targetHeight) return -1;
    EndDeviceScene();

    DrawSource from;
    if (!FindDrawSource(target, &from)) return -1;
    for (int i = 0; i < graph->storageCount; ++i) {
        const Surface2DRecord* record = LookupSurface2D(graph->storageHandles[i]);
        SurfaceDataRecord* data = record != nullptr ? LookupSurfaceData(record->surfaceData) : nullptr;
        if (data == nullptr || (!data->heldAsMemImg && data->surface == nullptr)) return -1;
        const int left = x1 + record->x + from.offsetX, top = y1 + record->y + from.offsetY;
        const RECT source{left, top, left + record->width, top + record->height};
        if (CopyRect(from, source, *data, record->partX, record->partY) < 0) return -1;
    }
    return 0;
}

int GdiCopyThroughSurfaceDC(D_IDirectDrawSurface7* dest, int destX, int destY, D_IDirectDrawSurface7* source,
                            const RECT& sourceRect) {
    if (dest == nullptr || source == nullptr) return -1;
    HDC destDC = nullptr, sourceDC = nullptr;
    if (FAILED(dest->GetDC(&destDC))) return -1;
    // A copy inside one surface uses its one DC for both sides.
    if (source == dest) {
        sourceDC = destDC;
    } else if (FAILED(source->GetDC(&sourceDC))) {
        dest->ReleaseDC(destDC);
        return -1;
    }
    const BOOL copied = BitBlt(destDC, destX, destY, sourceRect.right - sourceRect.left,
                               sourceRect.bottom - sourceRect.top, sourceDC, sourceRect.left, sourceRect.top, SRCCOPY);
    if (source != dest) source->ReleaseDC(sourceDC);
    dest->ReleaseDC(destDC);
    return copied ? 0 : -1;
}
