// The software path of the four-corner draw of a graphic: two triangles of
// its first 2D surface's image, straight into the screen image or through a
// work image opened over the draw target.
#include <algorithm>
#include <cstdint>

#include "core/utility.h"
#include "graphics/d3d/direct3d.h"
#include "graphics/device/screen_device.h"
#include "graphics/device/surface2d.h"
#include "graphics/device/surface_data.h"
#include "graphics/draw/graph_record.h"
#include "graphics/draw/soft_bridge.h"

int SoftDrawTriangle(const TriangleVertex vertices[3], const GraphRecord* graph, int transparent, std::uint32_t colour) {
    // Unlike the other draws this one does not ask whether drawing is
    // disabled: only whether a renderer is up.
    const ScreenDeviceState& d = g_ScreenDevice;
    if (!d.softwareOnly && d.directDraw == nullptr) return -1;
    if (vertices == nullptr) return -1;
    HandleId first = kNoHandle;
    const Surface2DRecord* part = nullptr;
    SurfaceDataRecord* data = nullptr;
    const MEMIMG* blendMask = nullptr;
    if (graph != nullptr) {
        if (graph->storageCount < 1) return -1;
        first = graph->storageHandles[0];
        data = LookupPartData(first, &part);
        if (data == nullptr) return -1;
        blendMask = GetBlendMaskMemImg();
    }

    if (DrawsStraightIntoScreenMemImg()) {
        StraightImages images;
        const MEMIMG* texture = nullptr;
        if (data != nullptr) {
            if (!FindStraightImages(*part, *data, &images)) return -1;
            texture = images.source;
        } else {
            images.target = StraightDrawTarget(&images.targetView);
            if (images.target == nullptr) return -1;
        }
        DrawTriangleMemImg(images.target, texture, vertices, transparent, blendMask, colour);
        return 0;
    }

    FlushVertexBatch();
    EndDeviceScene();
    // The triangle draws the column and the row of its rightmost and lowest
    // corners, so the opened box reaches one past them. The texels a
    // triangle maps lie inside its graphic, which is opened whole.
    std::int64_t left = 1000000, top = 1000000, right = -1000000, bottom = -1000000;
    for (int i = 0; i < 3; ++i) {
        left = std::min<std::int64_t>(left, vertices[i].x);
        top = std::min<std::int64_t>(top, vertices[i].y);
        right = std::max<std::int64_t>(right, vertices[i].x);
        bottom = std::max<std::int64_t>(bottom, vertices[i].y);
    }
    const auto edge = [](std::int64_t v) { return static_cast<LONG>(std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX)); };
    const RECT box{edge(left), edge(top), edge(right + 1), edge(bottom + 1)};
    const RECT source{0, 0, part != nullptr ? part->width : 0, part != nullptr ? part->height : 0};
    // A flat colour is a screen pixel value; a converted work image needs it
    // in its own format.
    std::uint32_t workColour = colour;
    if (BeginTargetMemImgAccess(first, 0, data != nullptr ? &source : nullptr, &box, 0, data != nullptr ? nullptr : &workColour,
                                nullptr) < 0)
        return -1;
    const TargetMemImgAccess& a = g_TargetMemImgAccess;
    if (data == nullptr || a.sourceImage != nullptr)
        DrawTriangleMemImg(a.workImage, a.sourceImage, vertices, transparent, blendMask, workColour,
                           TargetAccessSettings());
    EndTargetMemImgAccess();
    return 0;
}

int SoftDrawFourCorner(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4, const GraphRecord* graph,
                       int transparent) {
    if (graph == nullptr) return 0;
    const int w = graph->width, h = graph->height;
    const TriangleVertex quad[4] = {{x1, y1, 0, 0}, {x2, y2, w, 0}, {x3, y3, 0, h}, {x4, y4, w, h}};
    SoftDrawTriangle(&quad[0], graph, transparent, 0);
    SoftDrawTriangle(&quad[1], graph, transparent, 0);
    return 0;
}

int SoftDrawFourCornerF(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4,
                        const GraphRecord* graph, int transparent) {
    return SoftDrawFourCorner(FloatToInt(x1), FloatToInt(y1), FloatToInt(x2), FloatToInt(y2), FloatToInt(x3),
                              FloatToInt(y3), FloatToInt(x4), FloatToInt(y4), graph, transparent);
}
