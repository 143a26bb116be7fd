// The software draws built on the target access: a graphic unscaled, a list
// of lines, and the filled and outlined box.
#include <algorithm>
#include <cstdint>
#include <limits>

#include "core/rect.h"
#include "core/system_state.h"
#include "graphics/d3d/direct3d.h"
#include "graphics/device/present.h"
#include "graphics/device/screen_device.h"
#include "graphics/device/surface2d.h"
#include "graphics/draw/draw_state.h"
#include "graphics/draw/graph_record.h"
#include "graphics/draw/soft_bridge.h"
#include "graphics/image/color_format.h"
#include "softrender/blit/blit_memimg.h"
#include "softrender/fill/fill_rect.h"

namespace {

LONG ClampToLong(std::int64_t v) {
    return static_cast<LONG>(std::clamp<std::int64_t>(v, std::numeric_limits<std::int32_t>::min(),
                                                      std::numeric_limits<std::int32_t>::max()));
}

bool PlainFill() {
    const DrawState& s = g_DrawState;
    const bool opaque = s.blendMode == kBlendModeNone || (s.blendMode == kBlendModeAlpha && s.blendParam == 255);
    return opaque && (s.brightColor & 0xFFFFFF) == 0xFFFFFF;
}

// Line colours are screen pixel values; a work image converted to the
// standard format needs them converted too. Done in batches on the stack.
void DrawLinesIntoWork(const LineRecord* records, int count) {
    const TargetMemImgAccess& a = g_TargetMemImgAccess;
    const SoftDrawSettings settings = TargetAccessSettings();
    if (!(a.copiedThroughWork1 && a.convert)) {
        SoftDrawLines(a.workImage, records, count, settings);
        return;
    }
    const ColorFormatDesc* standard = a.workImage->colorFormat;
    constexpr int kBatch = 64;
    LineRecord batch[kBatch];
    for (int done = 0; done < count; done += kBatch) {
        const int n = std::min(kBatch, count - done);
        for (int i = 0; i < n; ++i) {
            batch[i] = records[done + i];
            batch[i].colour = ConvertPixel(standard, &g_ScreenDevice.colorFormat, batch[i].colour);
        }
        SoftDrawLines(a.workImage, batch, n, settings);
    }
}

}  // namespace

MEMIMG* StraightDrawTarget(MEMIMG* view) {
    const SoftDrawDestination dest = CurrentSoftDrawDestination();
    if (dest.image == nullptr || !MemImgHasPixels(dest.image)) return nullptr;
    if (dest.offsetX == 0 && dest.offsetY == 0) return dest.image;
    InitMemImgView(view, dest.image, dest.offsetX, dest.offsetY, g_DrawState.targetWidth, g_DrawState.targetHeight);
    return view;
}

SurfaceDataRecord* LookupPartData(HandleId surface2D, const Surface2DRecord** part) {
    *part = LookupSurface2D(surface2D);
    SurfaceDataRecord* data = *part != nullptr ? LookupSurfaceData((*part)->surfaceData) : nullptr;
    if (data == nullptr) *part = nullptr;
    return data;
}

bool FindStraightImages(const Surface2DRecord& part, SurfaceDataRecord& data, StraightImages* images) {
    images->source = PartMemImg(part, data, &images->sourceView);
    images->target = StraightDrawTarget(&images->targetView);
    return images->source != nullptr && images->target != nullptr;
}

int SoftDrawOutsideResult(RECT corners, const GraphRecord& graph, bool stretched) {
    const RECT ordered{std::min(corners.left, corners.right), std::min(corners.top, corners.bottom),
                       std::max(corners.left, corners.right), std::max(corners.top, corners.bottom)};
    // Clipped as ClipRectToRect clips (each edge pulled into the area's
    // range, the far edge first), in line: every draw asks this.
    const RECT& area = g_DrawState.drawArea;
    auto into = [](LONG v, LONG low, LONG high) { return v > high ? (high < low ? low : high) : (v < low ? low : v); };
    if (into(ordered.left, area.left, area.right) < into(ordered.right, area.left, area.right) &&
        into(ordered.top, area.top, area.bottom) < into(ordered.bottom, area.top, area.bottom))
        return 1;
    if (SoftDrawingUnavailable()) return -1;
    if (!stretched || DrawsStraightIntoScreenMemImg()) return 0;
    // An opened stretched draw refuses an empty rectangle, except at the
    // graphic's own size unmirrored, which goes by the plain draw.
    const bool plain = std::int64_t{ordered.right} - ordered.left == graph.width &&
                       std::int64_t{ordered.bottom} - ordered.top == graph.height && corners.left <= corners.right &&
                       corners.top <= corners.bottom && graph.width > 0 && graph.height > 0;
    return plain ? 0 : -1;
}

int SoftBlitGraph(int x, int y, HandleId surface2D, int transparent) {
    if (SoftDrawingUnavailable()) return -1;
    const Surface2DRecord* part = nullptr;
    SurfaceDataRecord* data = LookupPartData(surface2D, &part);
    if (data == nullptr) return -1;

    if (DrawsStraightIntoScreenMemImg()) {
        StraightImages images;
        if (!FindStraightImages(*part, *data, &images)) return -1;
        BlitMemImg(images.target, images.source, x, y, transparent, GetBlendMaskMemImg());
        return 0;
    }

    // Nothing of it inside the draw area: nothing to open or flush.
    const RECT dest = ClippedRect(
        RECT{x, y, ClampToLong(std::int64_t{x} + part->width), ClampToLong(std::int64_t{y} + part->height)},
        g_DrawState.drawArea);
    if (dest.left >= dest.right || dest.top >= dest.bottom) return 0;
    EndDeviceScene();
    FlushVertexBatch();
    const RECT source{dest.left - x, dest.top - y, dest.right - x, dest.bottom - y};
    if (BeginTargetMemImgAccessFor(part, data, 1, &source, &dest, 0, nullptr, nullptr) < 0) return -1;
    TargetMemImgAccess& a = g_TargetMemImgAccess;
    if (a.useBlt) {
        a.useBlt = 0;
        RECT from = a.sourceRect;
        const DWORD flags = (transparent ? D_DDBLTFAST_SRCCOLORKEY : D_DDBLTFAST_NOCOLORKEY) | D_DDBLTFAST_WAIT;
        const HRESULT hr = a.destSurface->BltFast(static_cast<DWORD>(a.destRect.left),
                                                  static_cast<DWORD>(a.destRect.top), a.sourceSurface, &from, flags);
        return FAILED(hr) ? -1 : 0;
    }
    BlitMemImg(a.workImage, a.sourceImage, x, y, transparent, GetBlendMaskMemImg(), TargetAccessSettings(),
               g_SystemState.mmxAvailable);
    EndTargetMemImgAccess();
    return 0;
}

int SoftBlitGraphF(double x, double y, const GraphRecord* graph, int transparent, int integerCoords) {
    FlushVertexBatch();
    if (graph == nullptr || graph->storageCount < 1) return -1;
    // Integer coordinates pass through unchanged; others lose their fraction.
    (void)integerCoords;
    return SoftBlitGraph(TruncateToInt(x), TruncateToInt(y), graph->storageHandles[0], transparent);
}

int SoftDrawLineList(const LineRecord* records, int count) {
    if (SoftDrawingUnavailable()) return -1;
    if (count > 0 && records == nullptr) return -1;
    if (DrawsStraightIntoScreenMemImg()) {
        MEMIMG view;  // filled in whole when a view is needed; too large (2 KB) to clear each draw
        MEMIMG* target = StraightDrawTarget(&view);
        if (target == nullptr) return -1;
        SoftDrawLines(target, records, count);
        return 0;
    }
    EndDeviceScene();
    FlushVertexBatch();
    // The bounding rectangle of every endpoint, right and bottom inclusive.
    std::int64_t left = 1000000, top = 1000000, right = -1000000, bottom = -1000000;
    for (int i = 0; i < count; ++i) {
        const LineRecord& r = records[i];
        left = std::min<std::int64_t>({left, r.x1, r.x2});
        top = std::min<std::int64_t>({top, r.y1, r.y2});
        right = std::max<std::int64_t>({right, std::int64_t{r.x1} + 1, std::int64_t{r.x2} + 1});
        bottom = std::max<std::int64_t>({bottom, std::int64_t{r.y1} + 1, std::int64_t{r.y2} + 1});
    }
    const RECT rect{ClampToLong(left), ClampToLong(top), ClampToLong(right), ClampToLong(bottom)};
    if (BeginTargetMemImgAccess(kNoHandle, 0, nullptr, &rect, 0, nullptr, nullptr) < 0) return -1;
    DrawLinesIntoWork(records, count);
    EndTargetMemImgAccess();
    return 0;
}

int SoftDrawFilledBox(int x1, int y1, int x2, int y2, std::uint32_t color) {
    if (SoftDrawingUnavailable()) return -1;
    RECT box{x1, y1, x2, y2};
    NormalizeRect(&box);
    if (DrawsStraightIntoScreenMemImg()) {
        MEMIMG view;  // filled in whole when a view is needed; too large (2 KB) to clear each draw
        MEMIMG* target = StraightDrawTarget(&view);
        if (target == nullptr) return -1;
        FillRectMemImg(target, &box, color);
        return 0;
    }
    EndDeviceScene();
    FlushVertexBatch();
    RECT clipped = box;
    ClipRectToRect(&clipped, &g_DrawState.drawArea);
    if (clipped.left >= clipped.right || clipped.top >= clipped.bottom) return 0;

    // An opaque box on a DirectDraw surface is the blitter's colour fill.
    const SoftDrawDestination dest = CurrentSoftDrawDestination();
    if (dest.throughMask) ClipRectToRect(&clipped, &dest.bounds);
    if (clipped.left >= clipped.right || clipped.top >= clipped.bottom) return 0;
    if (PlainFill() && dest.surface != nullptr && dest.image == nullptr) {
        const LONG dx = dest.originX + dest.offsetX, dy = dest.originY + dest.offsetY;
        RECT onSurface{clipped.left + dx, clipped.top + dy, clipped.right + dx, clipped.bottom + dy};
        D_DDBLTFX fx{};
        fx.dwSize = sizeof fx;
        fx.dwFillColor = color;
        return FAILED(dest.surface->Blt(&onSurface, nullptr, nullptr, D_DDBLT_COLORFILL | D_DDBLT_WAIT, &fx)) ? -1 : 0;
    }
    std::uint32_t workColor = color;
    if (BeginTargetMemImgAccess(kNoHandle, 0, nullptr, &clipped, 1, &workColor, nullptr) < 0) return -1;
    FillRectMemImg(g_TargetMemImgAccess.workImage, &clipped, workColor, TargetAccessSettings());
    EndTargetMemImgAccess();
    return 0;
}

int SoftDrawBoxOutline(int x1, int y1, int x2, int y2, std::uint32_t color) {
    RECT box{x1, y1, x2, y2};
    NormalizeRect(&box);
    const std::uint32_t param = static_cast<std::uint32_t>(g_DrawState.blendParam);
    const LONG l = box.left, t = box.top, r = box.right - 1, b = box.bottom - 1;
    if (box.right <= box.left || box.bottom <= box.top) return SoftDrawingUnavailable() ? -1 : 0;
    // Each line leaves out its end point, so the four meet without drawing
    // a corner twice. In a box one pixel high or wide two of them have no
    // length and the other two run over one another; their pixels are
    // drawn once, as one line, so a blend is not applied twice. A 1 x 1 box
    // has four lines of no length and draws nothing.
    LineRecord lines[4];
    int count = 0;
    if (t == b && l != r) {
        lines[count++] = LineRecord{l, t, r + 1, t, color, param};
    } else if (l == r && t != b) {
        lines[count++] = LineRecord{l, t, l, b + 1, color, param};
    } else {
        lines[count++] = LineRecord{l, t, r, t, color, param};
        lines[count++] = LineRecord{r, t, r, b, color, param};
        lines[count++] = LineRecord{r, b, l, b, color, param};
        lines[count++] = LineRecord{l, b, l, t, color, param};
    }
    return SoftDrawLineList(lines, count);
}
