// The common frame of every drawing operation and the choice of its path.
#include "graphics/draw/draw_ops.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "core/rect.h"
#include "graphics/d3d/d3d_texture_draw.h"
#include "graphics/d3d/direct3d.h"
#include "graphics/device/present.h"
#include "graphics/device/screen_device.h"
#include "graphics/device/surface2d.h"
#include "graphics/draw/draw_frame.h"
#include "graphics/draw/draw_state.h"
#include "graphics/draw/graph_record.h"
#include "graphics/draw/soft_bridge.h"
#include "graphics/movie/movie.h"
#include "window/window.h"

namespace {

bool DrawingSkipped() { return g_DrawState.drawingSuppressed || g_DrawState.emptyDrawArea; }

// Boxes follow the device: Direct3D drawing is in use when asked for, the
// device is up and the screen is not held as software images.
bool Direct3DDrawingInUse() {
    return g_DrawState.use3D == 1 && IsDirect3DUp() && !g_ScreenDevice.screenMemImg;
}

// A front screen held as a software image must be read back from the window
// before a draw and shown again after it.
bool FrontScreenIsMemImg() {
    return g_ScreenDevice.screenMemImg && g_ScreenColorFormat.depth > 8 && g_DrawState.drawTarget == kFrontScreenTarget;
}

LONG ClampToLong(std::int64_t v) {
    return static_cast<LONG>(std::clamp<std::int64_t>(v, std::numeric_limits<std::int32_t>::min(),
                                                      std::numeric_limits<std::int32_t>::max()));
}

// The steps shared by the graphic draws before their rectangle: the handle
// and the blend graphic are checked, an inactive application is waited
// for, and a graphic that shows a movie gets the movie's newest frame. The
// graphic, or null when the draw fails.
GraphRecord* GraphForDraw(GraphRecord* graph) {
    if (graph == nullptr) return nullptr;
    if (g_DrawState.blendGraph >= 0 && BlendGraphCoversGraph(graph) < 0) return nullptr;
    WaitWhileInactive();
    if (graph->movieHandle >= 0) UpdateGraphMovieFrame(graph, 0);
    return graph;
}
GraphRecord* GraphForDraw(HandleId handle) { return GraphForDraw(LookupGraph(handle)); }

// Subtraction on the Direct3D path is an add between two inversions.
template <typename Draw>
int DrawTexture(const RECT& rect, Draw draw) {
    if (g_DrawState.blendMode != kBlendModeSubtract) return draw();
    const int param = g_DrawState.blendParam;
    InvertRectBeforeSubtract(rect, param);
    const int result = draw();
    InvertRectAfterSubtract(rect, param);
    return result;
}

}  // namespace

int BlitGraph(int x, int y, HandleId graphHandle, int transparent) {
    if (DrawingSkipped()) return 0;
    const GraphRecord* graph = GraphForDraw(graphHandle);
    if (graph == nullptr) return -1;
    const RECT rect{x, y, ClampToLong(std::int64_t{x} + graph->width), ClampToLong(std::int64_t{y} + graph->height)};
    if (!graph->textureGraph)
        if (const int outside = SoftDrawOutsideResult(rect, *graph, false); outside <= 0) return outside;
    DrawFrameScope frame(rect);
    if (graph->textureGraph)
        return DrawTexture(rect, [&] { return TextureBlitGraph(x, y, graph, transparent, 1); });
    return SoftBlitGraphF(x, y, graph, transparent, 1);
}

namespace {

int StretchBlitGraphRecord(int x1, int y1, int x2, int y2, GraphRecord* record, int transparent) {
    if (DrawingSkipped()) return 0;
    const GraphRecord* graph = GraphForDraw(record);
    if (graph == nullptr) return -1;
    const RECT rect{x1, y1, x2, y2};
    if (!graph->textureGraph)
        if (const int outside = SoftDrawOutsideResult(rect, *graph, true); outside <= 0) return outside;
    DrawFrameScope frame(rect);
    if (graph->textureGraph)
        return DrawTexture(rect, [&] { return TextureStretchBlitGraph(x1, y1, x2, y2, graph, transparent); });
    return SoftDrawExtend(x1, y1, x2, y2, graph, transparent, 1, kNoHandle);
}

}  // namespace

int StretchBlitGraph(int x1, int y1, int x2, int y2, HandleId graphHandle, int transparent) {
    return StretchBlitGraphRecord(x1, y1, x2, y2, LookupGraph(graphHandle), transparent);
}

int RotateBlitGraphF(float x, float y, double scale, double angle, HandleId graphHandle, int transparent, int turn) {
    if (DrawingSkipped()) return 0;
    const GraphRecord* graph = GraphForDraw(graphHandle);
    if (graph == nullptr) return -1;
    // The bounding box of the four turned corners, widened by 5 pixels.
    const double halfW = graph->width / 2, halfH = graph->height / 2;
    const double c = std::cos(angle) * scale, s = std::sin(angle) * scale;
    double minX = 0, minY = 0, maxX = 0, maxY = 0;
    const double corners[4][2] = {{-halfW, -halfH}, {halfW, -halfH}, {halfW, halfH}, {-halfW, halfH}};
    for (int i = 0; i < 4; ++i) {
        const double px = corners[i][0] * c - corners[i][1] * s, py = corners[i][0] * s + corners[i][1] * c;
        minX = i == 0 ? px : std::min(minX, px);
        maxX = i == 0 ? px : std::max(maxX, px);
        minY = i == 0 ? py : std::min(minY, py);
        maxY = i == 0 ? py : std::max(maxY, py);
    }
    auto edge = [](double v) { return ClampToLong(static_cast<std::int64_t>(std::clamp(v, -2.0e9, 2.0e9))); };
    const RECT rect{edge(x + minX - 5), edge(y + minY - 5), edge(x + maxX + 5), edge(y + maxY + 5)};
    DrawFrameScope frame(rect);
    if (graph->textureGraph)
        return DrawTexture(rect, [&] { return TextureRotateBlitGraph(x, y, scale, angle, graph, transparent, turn); });
    return SoftDrawRotate(x, y, scale, angle, graph, transparent, turn);
}

int RotateBlitGraph(int x, int y, double scale, double angle, HandleId graphHandle, int transparent, int turn) {
    return RotateBlitGraphF(static_cast<float>(x), static_cast<float>(y), scale, angle, graphHandle, transparent, turn);
}

int FourCornerBlitGraph(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4,
                        HandleId graphHandle, int transparent) {
    if (DrawingSkipped()) return 0;
    const GraphRecord* graph = GraphForDraw(graphHandle);
    if (graph == nullptr) return -1;
    // The bounding box of the four points; the triangles draw the column
    // and row of their corners, so it reaches one past the greatest.
    auto edge = [](float v, int past) {
        return ClampToLong(static_cast<std::int64_t>(std::clamp(static_cast<double>(v), -2.0e9, 2.0e9)) + past);
    };
    const RECT rect{edge(std::min({x1, x2, x3, x4}), 0), edge(std::min({y1, y2, y3, y4}), 0),
                    edge(std::max({x1, x2, x3, x4}), 1), edge(std::max({y1, y2, y3, y4}), 1)};
    DrawFrameScope frame(rect);
    // Both paths take the corners in the order top-left, top-right,
    // bottom-left, bottom-right.
    if (graph->textureGraph)
        return DrawTexture(rect, [&] {
            return TextureFourCornerBlitGraphF(x1, y1, x2, y2, x4, y4, x3, y3, graph, transparent);
        });
    return SoftDrawFourCornerF(x1, y1, x2, y2, x4, y4, x3, y3, graph, transparent);
}

int MirrorBlitGraph(int x, int y, HandleId graphHandle, int transparent) {
    GraphRecord* graph = LookupGraph(graphHandle);
    if (graph == nullptr) return DrawingSkipped() ? 0 : -1;
    return StretchBlitGraphRecord(static_cast<int>(ClampToLong(std::int64_t{x} + graph->width)), y, x,
                                  static_cast<int>(ClampToLong(std::int64_t{y} + graph->height)), graph, transparent);
}

namespace {

// Draws with the draw area narrowed to the rectangle (within the area as it
// was), and puts the area back. The empty-area flag and the Direct3D
// viewport are left alone.
template <typename Draw>
int DrawInsideArea(RECT rect, Draw draw) {
    DrawState& s = g_DrawState;
    const RECT savedArea = s.drawArea;
    const DrawRectF savedAreaF = s.drawAreaF;
    ClipRectToRect(&rect, &savedArea);
    s.drawArea = rect;
    s.drawAreaF = DrawRectF{static_cast<float>(rect.left), static_cast<float>(rect.top),
                            static_cast<float>(rect.right), static_cast<float>(rect.bottom)};
    const int result = draw();
    s.drawArea = savedArea;
    s.drawAreaF = savedAreaF;
    return result;
}

// An edge of the whole graphic stretched so that its part's first pixel
// lands on `corner` and `partSize` of its pixels span `span` destination
// pixels (negative when mirrored), for an edge `before` graphic pixels
// before the part's first (negative: after it). Rounded down.
int WholeEdge(int corner, std::int64_t span, int before, int partSize) {
    const std::int64_t offset = before * span;
    const std::int64_t moved = offset >= 0 ? offset / partSize : -((-offset + partSize - 1) / partSize);
    return static_cast<int>(ClampToLong(corner - moved));
}

}  // namespace

int ClipBlitGraphRect(int x, int y, int sourceX, int sourceY, int width, int height, HandleId graphHandle,
                      int transparent, int mirror) {
    const RECT area{x, y, ClampToLong(std::int64_t{x} + width), ClampToLong(std::int64_t{y} + height)};
    return DrawInsideArea(area, [&] {
        if (!mirror) return BlitGraph(x - sourceX, y - sourceY, graphHandle, transparent);
        int graphWidth = 0;
        QueryGraphSize(graphHandle, &graphWidth, nullptr);
        return MirrorBlitGraph(x - graphWidth + sourceX + width, y - sourceY, graphHandle, transparent);
    });
}

int ClipStretchBlitGraphRect(int x1, int y1, int x2, int y2, int sourceX, int sourceY, int width, int height,
                             HandleId graphHandle, int transparent) {
    int graphWidth = 0, graphHeight = 0;
    if (LookupGraph(graphHandle) == nullptr) return DrawingSkipped() ? 0 : -1;
    if (width <= 0 || height <= 0) return 0;
    QueryGraphSize(graphHandle, &graphWidth, &graphHeight);
    // The whole graphic stretched by the same factors, placed so that the
    // part lands between the corners; the draw area keeps the rest off.
    const std::int64_t spanX = std::int64_t{x2} - x1, spanY = std::int64_t{y2} - y1;
    const int left = WholeEdge(x1, spanX, sourceX, width), top = WholeEdge(y1, spanY, sourceY, height);
    const int right = WholeEdge(x1, spanX, sourceX - graphWidth, width);
    const int bottom = WholeEdge(y1, spanY, sourceY - graphHeight, height);
    RECT area{x1, y1, x2, y2};
    NormalizeRect(&area);
    return DrawInsideArea(area, [&] { return StretchBlitGraph(left, top, right, bottom, graphHandle, transparent); });
}

int FillBox(int x1, int y1, int x2, int y2, std::uint32_t color) {
    if (DrawingSkipped()) return 0;
    WaitWhileInactive();
    const RECT rect{x1, y1, x2, y2};
    DrawFrameScope frame(rect);
    if (Direct3DDrawingInUse()) return DrawTexture(frame.rect(), [&] { return FillBox3D(x1, y1, x2, y2, color); });
    return SoftDrawFilledBox(x1, y1, x2, y2, color);
}

int FrameBox(int x1, int y1, int x2, int y2, std::uint32_t color) {
    if (DrawingSkipped()) return 0;
    WaitWhileInactive();
    const RECT rect{x1, y1, x2, y2};
    DrawFrameScope frame(rect);
    if (Direct3DDrawingInUse()) return DrawTexture(frame.rect(), [&] { return FrameBox3D(x1, y1, x2, y2, color); });
    return SoftDrawBoxOutline(x1, y1, x2, y2, color);
}

int PaintBox(int x1, int y1, int x2, int y2, std::uint32_t color, int filled) {
    return filled ? FillBox(x1, y1, x2, y2, color) : FrameBox(x1, y1, x2, y2, color);
}

int ClearDrawTarget() {
    if (g_DrawState.drawingSuppressed) return 0;
    WaitWhileInactive();
    if (IsDirect3DUp()) ClearTextureDrawTarget();
    const int result = ClearDrawTargetPixels();
    if (FrontScreenIsMemImg()) {
        int w = 0, h = 0;
        QueryScreenSize(&w, &h);
        PushMemImgScreenToWindow(RECT{0, 0, w, h});
    }
    return result;
}

int PaintWholeGraph(HandleId graphHandle, int r, int g, int b, int a) {
    if (g_DrawState.drawingSuppressed) return 0;
    GraphRecord* graph = LookupGraph(graphHandle);
    if (graph == nullptr) return -1;
    return graph->textureGraph ? FillGraphSurface3Ds(graph, r, g, b, a) : FillGraphSurface2Ds(graph, r, g, b, a);
}

int CopyDrawScreenToGraph(int x1, int y1, int x2, int y2, HandleId graphHandle, int option) {
    if (g_DrawState.drawingSuppressed) return 0;
    GraphRecord* graph = LookupGraph(graphHandle);
    if (graph == nullptr) return -1;
    EndDeviceScene();
    if (graph->textureGraph) return CaptureScreenToGraphTextures(x1, y1, x2, y2, graph, option);
    return CopyDrawScreenToSurface2D(x1, y1, x2, y2, graph);
}
