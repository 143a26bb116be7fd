// Opening the draw target (and the source) as software images for one
// software draw, and putting them back afterwards.
#include "graphics/draw/soft_bridge.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "core/rect.h"
#include "graphics/device/present.h"
#include "graphics/device/screen_device.h"
#include "graphics/device/surface2d.h"
#include "graphics/device/surface_data.h"
#include "graphics/draw/draw_state.h"
#include "graphics/draw/graph_record.h"
#include "graphics/draw/mask.h"
#include "graphics/image/convert_blit.h"

TargetMemImgAccess g_TargetMemImgAccess{};

namespace {

// The records laid over locked destination and source pixels (or a view of
// the target at its offset). Each is set up afresh by the road that uses
// it, never cleared whole: a record carries two palette stores of 1 KB.
MEMIMG g_accessWorkRecord;
MEMIMG g_accessSourceRecord;

bool IsEmpty(const RECT& r) { return r.left >= r.right || r.top >= r.bottom; }

RECT Moved(const RECT& r, LONG dx, LONG dy) {
    return RECT{r.left + dx, r.top + dy, r.right + dx, r.bottom + dy};
}

// The two work surfaces are made at the screen's size with the other output
// surfaces, and made again whenever that size changes.
bool FitsWorkSurface(D_IDirectDrawSurface7* surface, const RECT& r) {
    if (surface == nullptr) return false;
    int width = 0, height = 0;
    QueryScreenSize(&width, &height);
    return r.left >= 0 && r.top >= 0 && r.right <= width && r.bottom <= height;
}

// The standard kind of the screen depth: 5:6:5 words at 16 bits, else
// 0x00RRGGBB words.
int ScreenMemImgKind() {
    return g_ScreenColorFormat.depth == 16 ? static_cast<int>(kMemImgKind565) : static_cast<int>(kMemImgKind888);
}

const ColorFormatDesc* ScreenStandardFormat() { return GetStandardColorFormat(ScreenMemImgKind(), 0, 0); }

// Lays a record over locked pixels. `corner` is the pixel at (atX, atY) of
// the image; the record starts at the image's (0, 0), so that the renderer
// addresses it in the image's own coordinates.
//
// A record is laid in full once; after that, a lay with the same pitch and
// kind and no larger a size (which the full lay would accept as well: its
// limits only grow with the size) writes the header fields the full lay
// would, keeping the pitch shift and format it worked out. Each draw lays
// a record again, and the full lay's clearing and checks would cost more
// than a small draw's pixels.
struct LaidRecord {
    MEMIMG* record;
    int pitch, kind, width, height;  // the last full lay that succeeded
    std::int32_t pitchShift;
    const ColorFormatDesc* format;
};
LaidRecord g_laidWork{&g_accessWorkRecord, 0, -1, 0, 0, -1, nullptr};
LaidRecord g_laidSource{&g_accessSourceRecord, 0, -1, 0, 0, -1, nullptr};

// The header is what the quick lay writes: a field added to it must be
// written there too.
static_assert(offsetof(MEMIMG, paletteStorage) == 80);

// The full lay, on its own: the quick one below is all most draws need.
__attribute__((noinline)) int LayOverInFull(LaidRecord& laid, std::uint8_t* corner, int pitch, int atX, int atY,
                                            int width, int height, std::uint32_t transparentColor) {
    MEMIMG* record = laid.record;
    const int kind = ScreenMemImgKind();
    ClearMemImgRecord(record);
    const ColorFormatDesc* format = ScreenStandardFormat();
    record->pixels = corner - (static_cast<std::ptrdiff_t>(atY) * pitch +
                               static_cast<std::ptrdiff_t>(atX) * format->bytesPerPixel);
    if (InitMemImg(record, width, height, pitch, transparentColor, kind, 0, 0, 0) < 0) return -1;
    laid = LaidRecord{record, pitch, kind, width, height, record->pitchShift, record->colorFormat};
    return 0;
}

inline int LayOver(LaidRecord& laid, std::uint8_t* corner, int pitch, int atX, int atY, int width, int height,
                   std::uint32_t transparentColor) {
    MEMIMG* record = laid.record;
    const int kind = ScreenMemImgKind();
    if (laid.format != nullptr && pitch == laid.pitch && kind == laid.kind && width >= 1 && height >= 1 &&
        width <= laid.width && height <= laid.height) {
        record->magic = kMemImgMagic;
        record->width = width;
        record->height = height;
        record->pitch = static_cast<std::uint32_t>(pitch);
        record->pitchShift = laid.pitchShift;
        record->colorFormat = laid.format;
        record->transparentColor = transparentColor;
        record->kind = static_cast<std::uint32_t>(kind);
        record->paletted = 0;
        record->paletteCount = 0;
        record->alphaChannel = 0;
        record->premultipliedValid = 0;
        record->runTableValid = 0;
        record->borrowedPixels = 1;
        record->palette = record->paletteStorage;
        record->paletteCopy = record->paletteCopyStorage;
        record->pixels = corner - (static_cast<std::ptrdiff_t>(atY) * pitch +
                                   static_cast<std::ptrdiff_t>(atX) * laid.format->bytesPerPixel);
        record->premultiplied = nullptr;
        record->runTable = nullptr;
        return 0;
    }
    return LayOverInFull(laid, corner, pitch, atX, atY, width, height, transparentColor);
}

// Converts the rectangle of a locked buffer in place, one format to another
// of the same pixel size.
void ConvertInPlace(std::uint8_t* origin, int pitch, const ColorFormatDesc* to, const ColorFormatDesc* from,
                    const RECT& r) {
    BlitConvertFormat(origin, pitch, to, origin, pitch, from, nullptr, 0, nullptr, r.left, r.top, &r, 0, 0, 0, 0,
                      0, 0, 0);
}

// Clears what tells the roads apart; the rectangles are written by the
// road that reads them. Field by field: a block clear of the whole record
// costs more than the rest of a small draw's set-up.
void ResetAccess(TargetMemImgAccess& a) {
    a.open = 0;
    a.useBlt = 0;
    a.destSurface = nullptr;
    a.destLocked = nullptr;
    a.copiedThroughWork1 = 0;
    a.convert = 0;
    a.workImage = nullptr;
    a.sourceImage = nullptr;
    a.sourceSurface = nullptr;
    a.sourceLocked = nullptr;
    a.sourceCopiedThroughWork2 = 0;
}

void UnlockAll(TargetMemImgAccess& a) {
    if (a.destLocked != nullptr) a.destLocked->Unlock(nullptr);
    if (a.sourceLocked != nullptr) a.sourceLocked->Unlock(nullptr);
    a.destLocked = nullptr;
    a.sourceLocked = nullptr;
}

bool NeedsBlending(const SurfaceDataRecord* source) {
    const DrawState& s = g_DrawState;
    if (s.blendMode != kBlendModeNone && !(s.blendMode == kBlendModeAlpha && s.blendParam == 255)) return true;
    if (source != nullptr && source->flags.AlphaChFlag) return true;
    return s.blendGraph >= 0;
}

// Opens the destination rectangle (draw-target coordinates, already
// clipped). 0 or -1.
int OpenDestination(TargetMemImgAccess& a, const SoftDrawDestination& dest, const RECT& r, bool blending, int keep,
                    std::uint32_t* color1, std::uint32_t* color2) {
    const DrawState& s = g_DrawState;
    if (dest.image != nullptr && MemImgHasPixels(dest.image)) {
        if (dest.offsetX == 0 && dest.offsetY == 0) {
            a.workImage = dest.image;
        } else {
            InitMemImgView(&g_accessWorkRecord, dest.image, dest.offsetX, dest.offsetY, s.targetWidth,
                           s.targetHeight);
            a.workImage = &g_accessWorkRecord;
        }
        return 0;
    }
    if (dest.surface == nullptr) return -1;
    const ScreenDeviceState& d = g_ScreenDevice;
    a.destSurface = dest.surface;
    // Kept in a local as well: read back from the record it would wait on
    // the store just made.
    const RECT destRect = Moved(r, dest.originX + dest.offsetX, dest.originY + dest.offsetY);
    a.destRect = destRect;

    bool throughWork1 = (dest.videoMemory && blending) || (a.convert && (blending || keep == 0));
    // The work surface is screen-sized and holds the rectangle where the
    // target has it; a target larger than the screen (a wide graphic) may
    // not fit. It is then locked in place, which is only right when no
    // conversion is needed.
    if (throughWork1 && !FitsWorkSurface(d.work1, r)) {
        if (a.convert) return -1;
        throughWork1 = false;
    }
    // Lock fills in what is read of the description: the pointer and pitch.
    D_DDSURFACEDESC2 desc;
    desc.dwSize = sizeof desc;
    RECT lockRect = throughWork1 ? r : destRect;
    D_IDirectDrawSurface7* locked = throughWork1 ? d.work1 : dest.surface;
    if (throughWork1) {
        if (GdiCopyThroughSurfaceDC(d.work1, r.left, r.top, dest.surface, destRect) < 0) return -1;
        a.copiedThroughWork1 = 1;
    }
    if (FAILED(locked->Lock(&lockRect, &desc, D_DDLOCK_WAIT, nullptr))) {
        a.copiedThroughWork1 = 0;
        return -1;
    }
    a.destLocked = locked;
    auto* corner = static_cast<std::uint8_t*>(desc.lpSurface);
    // The record reaches only as far as the opened rectangle: a work
    // surface's rows are narrower than a wide target's.
    if (LayOver(g_laidWork, corner, desc.lPitch, r.left, r.top, r.right, r.bottom, 0) < 0) {
        UnlockAll(a);
        a.copiedThroughWork1 = 0;
        return -1;
    }
    a.workImage = &g_accessWorkRecord;
    if (a.copiedThroughWork1 && a.convert) {
        const ColorFormatDesc* standard = ScreenStandardFormat();
        ConvertInPlace(g_accessWorkRecord.pixels, desc.lPitch, standard, &d.colorFormat, r);
        if (color1 != nullptr) *color1 = ConvertPixel(standard, &d.colorFormat, *color1);
        if (color2 != nullptr) *color2 = ConvertPixel(standard, &d.colorFormat, *color2);
    }
    return 0;
}

// Opens the source rectangle (2D-surface coordinates) of the 2D surface. 0
// or -1.
int OpenSource(TargetMemImgAccess& a, const Surface2DRecord& part, SurfaceDataRecord& data, const RECT& sourceRect) {
    if (data.heldAsMemImg) {
        a.sourceImage = PartMemImg(part, data, &g_accessSourceRecord);
        return a.sourceImage != nullptr ? 0 : -1;
    }
    if (data.surface == nullptr) return -1;
    const ScreenDeviceState& d = g_ScreenDevice;
    a.sourceSurface = data.surface;
    a.sourceRect = Moved(sourceRect, part.partX, part.partY);
    D_DDSCAPS2 caps{};
    data.surface->GetCaps(&caps);
    const bool video = (caps.dwCaps & D_DDSCAPS_VIDEOMEMORY) != 0;
    const bool throughWork2 = video || a.convert;
    // Work surface 2 holds the source rectangle where the part has it.
    if (throughWork2 && !FitsWorkSurface(d.work2, sourceRect)) return -1;
    D_IDirectDrawSurface7* locked = throughWork2 ? d.work2 : data.surface;
    RECT lockRect = throughWork2 ? sourceRect : a.sourceRect;
    if (throughWork2) {
        if (GdiCopyThroughSurfaceDC(d.work2, sourceRect.left, sourceRect.top, data.surface, a.sourceRect) < 0)
            return -1;
        a.sourceCopiedThroughWork2 = 1;
        a.work2Rect = sourceRect;
    }
    D_DDSURFACEDESC2 desc;
    desc.dwSize = sizeof desc;
    if (FAILED(locked->Lock(&lockRect, &desc, D_DDLOCK_WAIT, nullptr))) return -1;
    a.sourceLocked = locked;
    const ColorFormatDesc* standard = ScreenStandardFormat();
    const std::uint32_t key = data.transparentColor;
    const std::uint32_t transparent =
        ComposePixel(standard, static_cast<int>(key >> 16 & 0xFF), static_cast<int>(key >> 8 & 0xFF),
                     static_cast<int>(key & 0xFF), 255) &
        ~standard->unusedBitMask;
    if (LayOver(g_laidSource, static_cast<std::uint8_t*>(desc.lpSurface), desc.lPitch, sourceRect.left,
                sourceRect.top, sourceRect.right, sourceRect.bottom, transparent) < 0)
        return -1;
    a.sourceImage = &g_accessSourceRecord;
    // The copy holds screen pixels; the renderer reads the standard format.
    if (a.sourceCopiedThroughWork2 && a.convert)
        ConvertInPlace(g_accessSourceRecord.pixels, desc.lPitch, standard, &d.colorFormat, sourceRect);
    return 0;
}

}  // namespace

int TruncateToInt(double v) {
    if (!(v == v)) return 0;  // NaN
    return static_cast<int>(std::clamp(v, -2147483648.0, 2147483647.0));
}

MEMIMG* PartMemImg(const Surface2DRecord& part, SurfaceDataRecord& data, MEMIMG* view) {
    if (!data.heldAsMemImg || !MemImgHasPixels(&data.memImg)) return nullptr;
    if (part.partX == 0 && part.partY == 0 && part.width == data.memImg.width && part.height == data.memImg.height)
        return &data.memImg;
    InitMemImgView(view, &data.memImg, part.partX, part.partY, part.width, part.height);
    return view;
}

SoftDrawDestination CurrentSoftDrawDestination() {
    const DrawTargetBinding& b = g_DrawTargetBinding;
    if (IsMaskInEffect()) {
        const MaskScreenState& m = g_MaskScreen;
        return SoftDrawDestination{m.workSurface, GetMaskDrawMemImg(), 0, 0, 0, 0, m.workVideoMemory, 1,
                                   RECT{0, 0, m.width, m.height}};
    }
    const RECT& origin = g_DrawState.drawTargetRect;
    return SoftDrawDestination{b.surface, b.image, b.offsetX, b.offsetY, origin.left, origin.top, b.videoMemory, 0,
                               RECT{}};
}

const MEMIMG* GetBlendMaskMemImg() {
    const GraphRecord* graph = g_DrawState.blendGraph >= 0 ? LookupGraph(g_DrawState.blendGraph) : nullptr;
    if (graph == nullptr || graph->textureGraph || graph->storageCount < 1) return nullptr;
    const Surface2DRecord* first = LookupSurface2D(graph->storageHandles[0]);
    SurfaceDataRecord* data = first != nullptr ? LookupSurfaceData(first->surfaceData) : nullptr;
    if (data == nullptr || !data->heldAsMemImg || !MemImgHasPixels(&data->memImg)) return nullptr;
    return &data->memImg;
}

int BeginTargetMemImgAccess(HandleId sourceSurface2D, int allowBlt, const RECT* sourceRect, const RECT* destRect,
                            int keep, std::uint32_t* color1, std::uint32_t* color2) {
    if (DrawsStraightIntoScreenMemImg()) return 0;
    const Surface2DRecord* part = nullptr;
    SurfaceDataRecord* data = nullptr;
    if (sourceSurface2D != kNoHandle) {
        data = LookupPartData(sourceSurface2D, &part);
        if (data == nullptr) {
            if (!g_TargetMemImgAccess.open) ResetAccess(g_TargetMemImgAccess);
            return -1;
        }
    }
    return BeginTargetMemImgAccessFor(part, data, allowBlt, sourceRect, destRect, keep, color1, color2);
}

int BeginTargetMemImgAccessFor(const Surface2DRecord* part, SurfaceDataRecord* data, int allowBlt,
                               const RECT* sourceRect, const RECT* destRect, int keep, std::uint32_t* color1,
                               std::uint32_t* color2) {
    if (DrawsStraightIntoScreenMemImg()) return 0;
    TargetMemImgAccess& a = g_TargetMemImgAccess;
    if (a.open || destRect == nullptr) return -1;
    ResetAccess(a);
    if (data != nullptr && (part == nullptr || sourceRect == nullptr)) return -1;

    const SoftDrawDestination dest = CurrentSoftDrawDestination();
    const DrawState& s = g_DrawState;
    const bool blending = NeedsBlending(data);
    // Through the mask the work image ends at the screen's edge; the
    // blitter cannot clip, so what reaches past it goes by the renderer.
    RECT within = *destRect;
    if (dest.throughMask) ClipRectToRect(&within, &dest.bounds);
    const bool fits = !dest.throughMask || std::memcmp(&within, destRect, sizeof within) == 0;

    if (allowBlt == 1 && data != nullptr && !blending && (s.brightColor & 0xFFFFFF) == 0xFFFFFF &&
        !data->heldAsMemImg && data->surface != nullptr && dest.surface != nullptr && dest.image == nullptr && fits) {
        D_DDSCAPS2 caps{};
        data->surface->GetCaps(&caps);
        const bool sourceSystem = (caps.dwCaps & D_DDSCAPS_SYSTEMMEMORY) != 0;
        if (sourceSystem == !dest.videoMemory) {
            a.useBlt = 1;
            a.destSurface = dest.surface;
            a.sourceSurface = data->surface;
            a.sourceRect = Moved(*sourceRect, part->partX, part->partY);
            a.destRect = Moved(*destRect, dest.originX + dest.offsetX, dest.originY + dest.offsetY);
            return 0;
        }
    }

    // The renderer's work image has 16- or 32-bit pixels; laid over the
    // one-byte rows of an 8-bit screen it would write far past each row.
    if (g_ScreenColorFormat.depth == 8) return -1;
    a.convert = g_ScreenDevice.pixelCode == kScreenPixel555 || g_ScreenDevice.pixelCode == kScreenPixelOther;
    const RECT r = ClippedRect(within, s.drawArea);
    if (IsEmpty(r)) return -1;
    a.drawRect = r;

    if (OpenDestination(a, dest, r, blending, keep, color1, color2) < 0) {
        ResetAccess(a);
        return -1;
    }
    if (data != nullptr && OpenSource(a, *part, *data, *sourceRect) < 0) {
        UnlockAll(a);
        ResetAccess(a);
        return -1;
    }
    a.open = 1;
    return 0;
}

int EndTargetMemImgAccess() {
    TargetMemImgAccess& a = g_TargetMemImgAccess;
    if (DrawsStraightIntoScreenMemImg() || !a.open) {
        a.useBlt = 0;
        return 0;
    }
    const ScreenDeviceState& d = g_ScreenDevice;
    if (a.copiedThroughWork1 && a.convert)
        ConvertInPlace(g_accessWorkRecord.pixels, static_cast<int>(g_accessWorkRecord.pitch), &d.colorFormat,
                       ScreenStandardFormat(), a.drawRect);
    UnlockAll(a);
    if (a.copiedThroughWork1) GdiCopyThroughSurfaceDC(a.destSurface, a.destRect.left, a.destRect.top, d.work1, a.drawRect);
    ResetAccess(a);
    return 0;
}

SoftDrawSettings TargetAccessSettings() {
    SoftDrawSettings settings = CurrentSoftDrawSettings();
    const TargetMemImgAccess& a = g_TargetMemImgAccess;
    if (a.open) settings.drawArea = a.drawRect;
    return settings;
}
