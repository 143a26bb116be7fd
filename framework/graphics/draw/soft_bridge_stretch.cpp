// The software stretched draw: a graphic scaled into the rectangle between
// two corners, mirrored when they come the other way round.
#include <algorithm>
#include <cstdint>

#include "core/rect.h"
#include "core/system_state.h"
#include "core/utility.h"
#include "graphics/d3d/direct3d.h"
#include "graphics/device/surface2d.h"
#include "graphics/device/surface_data.h"
#include "graphics/draw/draw_state.h"
#include "graphics/draw/graph_record.h"
#include "graphics/draw/soft_bridge.h"
#include "softrender/scaled/blit_scaled.h"

int SoftDrawExtend(double x1, double y1, double x2, double y2, const GraphRecord* graph, int transparent,
                   int integerCoords, HandleId surface2D) {
    if (SoftDrawingUnavailable()) return -1;
    if (graph == nullptr) return -1;
    auto corner = [integerCoords](double v) {
        return integerCoords == 1 ? TruncateToInt(v) : FloatToInt(static_cast<float>(v));
    };
    // The destination block, in the order given: reversed corners mirror.
    const int corners[4] = {corner(x1), corner(y1), corner(x2), corner(y2)};

    // The graphic's first 2D surface at the graphic's own size, or the one
    // asked for at its part's size.
    HandleId handle = surface2D;
    int sourceWidth = 0, sourceHeight = 0;
    if (surface2D == kNoHandle) {
        if (graph->storageCount < 1) return -1;
        handle = graph->storageHandles[0];
        sourceWidth = graph->width;
        sourceHeight = graph->height;
    }
    const Surface2DRecord* part = nullptr;
    SurfaceDataRecord* data = LookupPartData(handle, &part);
    if (data == nullptr) return -1;
    if (surface2D != kNoHandle) {
        sourceWidth = part->width;
        sourceHeight = part->height;
    }
    if (DrawsStraightIntoScreenMemImg()) {
        StraightImages images;
        if (!FindStraightImages(*part, *data, &images)) return -1;
        DrawExtendMemImg(images.target, images.source, corners, transparent, GetBlendMaskMemImg());
        return 0;
    }

    RECT ordered{corners[0], corners[1], corners[2], corners[3]};
    NormalizeRect(&ordered);
    const std::int64_t w = std::int64_t{ordered.right} - ordered.left, h = std::int64_t{ordered.bottom} - ordered.top;
    if (w == 0 || h == 0) return -1;
    // The graphic's own size, not mirrored: the plain software draw.
    if (w == sourceWidth && h == sourceHeight && corners[0] <= corners[2] && corners[1] <= corners[3])
        return SoftBlitGraph(ordered.left, ordered.top, handle, transparent);

    // Open only what is seen: the destination clipped to the draw area, and
    // the source columns and rows that part shows. Nothing seen: nothing to
    // open or flush.
    const RECT clipped = ClippedRect(ordered, g_DrawState.drawArea);
    if (clipped.left >= clipped.right || clipped.top >= clipped.bottom) return -1;
    RECT source;
    if (!ScaledSourceRect(sourceWidth, sourceHeight, corners, clipped, &source)) return -1;
    EndDeviceScene();
    FlushVertexBatch();
    if (BeginTargetMemImgAccessFor(part, data, 0, &source, &clipped, 0, nullptr, nullptr) < 0) return -1;
    const TargetMemImgAccess& a = g_TargetMemImgAccess;
    DrawExtendMemImg(a.workImage, a.sourceImage, sourceWidth, sourceHeight, corners, transparent, GetBlendMaskMemImg(),
                     TargetAccessSettings(), g_SystemState.mmxAvailable);
    EndTargetMemImgAccess();
    return 0;
}
