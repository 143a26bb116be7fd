// The software path of the rotated draw of a graphic: its first 2D
// surface's image turned and scaled into the draw target, straight into the
// screen image or through a work image opened over the draw target.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "core/utility.h"
#include "graphics/d3d/direct3d.h"
#include "graphics/device/surface2d.h"
#include "graphics/device/surface_data.h"
#include "graphics/draw/graph_record.h"
#include "graphics/draw/soft_bridge.h"
#include "softrender/sampled/rotate_memimg.h"

namespace {

// A turned corner's pixel, kept inside 32 bits.
LONG CornerPixel(double v) { return static_cast<LONG>(std::clamp(std::trunc(v), -1.0e9, 1.0e9)); }

// The rectangle to open on the draw target: the box of the four corners
// turned in single precision about the truncated centre. The renderer draws
// a box widened by 2 pixels left and above and 4 right and below from its
// own fixed-point corners (and a mirrored draw reaches its corners'
// columns), so the opening is widened a pixel further than that: every
// pixel the renderer may write lies inside what is opened, and the clip to
// the opened rectangle takes nothing away.
RECT OpenedBox(const GraphRecord& graph, int ix, int iy, double scale, double angle) {
    float s, c;
    SinCosFloat(static_cast<float>(angle), &s, &c);
    const float hw = static_cast<float>(graph.width * scale * 0.5), hh = static_cast<float>(graph.height * scale * 0.5);
    const float offsets[4][2] = {{-hw, -hh}, {hw, -hh}, {-hw, hh}, {hw, hh}};
    double left = 1000000, top = 1000000, right = -1000000, bottom = -1000000;
    for (const auto& o : offsets) {
        const double x = static_cast<double>(CornerPixel(static_cast<float>(c * o[0] - s * o[1]))) + ix;
        const double y = static_cast<double>(CornerPixel(static_cast<float>(s * o[0] + c * o[1]))) + iy;
        left = std::min(left, x);
        top = std::min(top, y);
        right = std::max(right, x);
        bottom = std::max(bottom, y);
    }
    return RECT{CornerPixel(left - 3), CornerPixel(top - 3), CornerPixel(right + 5), CornerPixel(bottom + 5)};
}

}  // namespace

int SoftDrawRotate(float x, float y, double scale, double angle, const GraphRecord* graph, int transparent, int turn) {
    const int ix = FloatToInt(x), iy = FloatToInt(y);
    if (SoftDrawingUnavailable()) return -1;
    // A centre, scale or angle that is not a number cannot be drawn.
    if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(scale) || !std::isfinite(angle)) return -1;
    if (graph == nullptr || graph->storageCount < 1) return -1;
    const HandleId first = graph->storageHandles[0];
    const Surface2DRecord* part = nullptr;
    SurfaceDataRecord* data = LookupPartData(first, &part);
    if (data == nullptr) return -1;
    const MEMIMG* blendMask = GetBlendMaskMemImg();

    if (DrawsStraightIntoScreenMemImg()) {
        StraightImages images;
        if (!FindStraightImages(*part, *data, &images)) return -1;
        DrawRotateMemImg(images.target, images.source, ix, iy, static_cast<float>(angle), static_cast<float>(scale),
                         transparent, turn, blendMask);
        return 0;
    }

    FlushVertexBatch();
    EndDeviceScene();
    const RECT box = OpenedBox(*graph, ix, iy, scale, angle);
    const RECT source{0, 0, part->width, part->height};
    if (BeginTargetMemImgAccess(first, 0, &source, &box, 0, nullptr, nullptr) < 0) return -1;
    const TargetMemImgAccess& a = g_TargetMemImgAccess;
    if (a.sourceImage != nullptr)
        DrawRotateMemImg(a.workImage, a.sourceImage, ix, iy, static_cast<float>(angle), static_cast<float>(scale),
                         transparent, turn, blendMask, TargetAccessSettings());
    EndTargetMemImgAccess();
    return 0;
}
