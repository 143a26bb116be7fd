// The bridge between the drawing operations and the software renderer. The
// renderer draws only into and from software images (`MEMIMG`); when the
// draw target is a DirectDraw surface, the rectangle a draw touches is opened
// as a work image (the surface locked in place, or copied through a
// screen-sized work surface and converted to the standard format) and put
// back afterwards. A draw that needs no blending can instead go by a plain
// `BltFast`, which the opening reports.
#pragma once

#include <cstdint>
#include <cstring>

#include "core/handle.h"
#include "graphics/device/screen_device.h"
#include "graphics/image/color_format.h"
#include "graphics/image/memimg.h"
#include "platform/ddraw.h"
#include "platform/types.h"
#include "softrender/fill/lines.h"
#include "softrender/sampled/triangle_memimg.h"
#include "softrender/soft_draw_settings.h"

struct GraphRecord;
struct Surface2DRecord;
struct SurfaceDataRecord;

// The one access in progress; only one software draw runs at a time, under
// the framework lock. Kept to flags, pointers and rectangles, so that
// clearing it for every draw is cheap; the software image records laid over
// locked pixels live beside it and are set up only on the road that uses
// them.
struct TargetMemImgAccess {
    int open;                         // between a successful begin and its end
    int useBlt;                       // draw with BltFast instead of the renderer
    D_IDirectDrawSurface7* destSurface;
    RECT destRect;                    // the opened rectangle in surface coordinates
    RECT drawRect;                    // the same in draw-target coordinates
    D_IDirectDrawSurface7* destLocked;    // the surface locked for the work image, or null
    int copiedThroughWork1;
    int convert;                      // pixels converted between the screen and the standard format
    MEMIMG* workImage;                // what the renderer draws into
    MEMIMG* sourceImage;              // what it draws from, or null
    D_IDirectDrawSurface7* sourceSurface;
    RECT sourceRect;                  // the source rectangle in surface coordinates
    D_IDirectDrawSurface7* sourceLocked;  // the surface locked for the source image, or null
    int sourceCopiedThroughWork2;
    RECT work2Rect;                   // where the source lies in work surface 2
};

extern TargetMemImgAccess g_TargetMemImgAccess;

// What ClipRectToRect leaves of `r`, worked out in one register: the
// draws' rectangles are moved and stored whole afterwards, and a rectangle
// stored edge by edge and read back whole stalls on the stores that made it.
inline RECT ClippedRect(const RECT& r, const RECT& clip) {
    typedef LONG Edges __attribute__((vector_size(16)));
    static_assert(sizeof(Edges) == sizeof(RECT));
    const auto maxOf = [](Edges a, Edges b) { return a > b ? a : b; };
    const auto minOf = [](Edges a, Edges b) { return a < b ? a : b; };
    Edges v{r.left, r.top, r.right, r.bottom};
    // Right at least left, bottom at least top.
    v = maxOf(v, Edges{r.left, r.top, r.left, r.top});
    const Edges low{clip.left, clip.top, clip.left, clip.top}, high{clip.right, clip.bottom, clip.right, clip.bottom};
    v = maxOf(minOf(v, high), low);
    RECT out;
    std::memcpy(&out, &v, sizeof out);
    return out;
}

// The blend graphic's software image, or null when none is set or it has no
// pixels a software draw can weight by.
const MEMIMG* GetBlendMaskMemImg();

// Opens the draw target for a software draw of the destination rectangle
// (draw-target coordinates; clipped here to the draw area) from the source
// rectangle of the 2D surface (its own coordinates; null with no source).
// The two colours, when given, are pixel values of the screen format and come
// back in the work image's. 0, or -1 when nothing can be drawn (nothing left
// after clipping, a failed lock, a software draw on an 8-bit DirectDraw
// screen). With the screen held as software images this opens nothing.
int BeginTargetMemImgAccess(HandleId sourceSurface2D, int allowBlt, const RECT* sourceRect, const RECT* destRect,
                            int keep, std::uint32_t* color1, std::uint32_t* color2);
// The same with the source's 2D surface and surface data already looked up
// (both null: no source).
int BeginTargetMemImgAccessFor(const Surface2DRecord* part, SurfaceDataRecord* data, int allowBlt,
                               const RECT* sourceRect, const RECT* destRect, int keep, std::uint32_t* color1,
                               std::uint32_t* color2);
// Puts the work image back and unlocks what was locked. 0.
int EndTargetMemImgAccess();

// The renderer's settings for drawing into the open work image: the draw
// state's, with the clip narrowed to the opened rectangle, so that nothing
// outside what was locked or copied is ever touched.
SoftDrawSettings TargetAccessSettings();

// The software image of a 2D surface's part, when its surface data is held
// as one: the whole image, or a view of the part kept in `view`. Null when
// there are no such pixels.
MEMIMG* PartMemImg(const Surface2DRecord& part, SurfaceDataRecord& data, MEMIMG* view);
// A coordinate given as a double, truncated toward zero into an int (NaN
// gives 0, values past the range its ends).
int TruncateToInt(double v);

// Where software draws land: the draw target, or the mask's work image
// while the mask is in effect (addressed in draw-target coordinates and
// only as large as the screen).
struct SoftDrawDestination {
    D_IDirectDrawSurface7* surface;
    MEMIMG* image;             // a software image, or null
    int offsetX, offsetY;      // the target's place inside the surface or image
    int originX, originY;      // the draw-target origin (the window's place for the front screen)
    int videoMemory;
    int throughMask;
    RECT bounds;               // what exists of it, when drawn through the mask
};
SoftDrawDestination CurrentSoftDrawDestination();

// 1 while the screen is held as software images the renderer draws into
// directly (any depth but 8). Inline: every software draw asks, some twice.
inline int DrawsStraightIntoScreenMemImg() { return g_ScreenDevice.screenMemImg && g_ScreenColorFormat.depth != 8; }
// The draw target's software image when the screen is held as software
// images: the target's own, or `view` laid at a part graphic's place in it;
// the mask's work image while the mask is in effect. Null when there are no
// pixels.
MEMIMG* StraightDrawTarget(MEMIMG* view);
// 1 when software drawing cannot run: drawing disabled, or neither
// software-only mode nor DirectDraw.
inline int SoftDrawingUnavailable() {
    const ScreenDeviceState& d = g_ScreenDevice;
    return d.drawingDisabled || (!d.softwareOnly && d.directDraw == nullptr);
}

// A 2D surface and its surface data; null (and part null) when either is
// missing.
SurfaceDataRecord* LookupPartData(HandleId surface2D, const Surface2DRecord** part);

// What a software draw of a 2D surface's window works with while the screen
// is held as software images: the window's image (the surface data's own,
// or a view of the window) and the draw target's.
struct StraightImages {
    MEMIMG sourceView, targetView;
    const MEMIMG* source;
    MEMIMG* target;
};
// False when either image has no pixels.
bool FindStraightImages(const Surface2DRecord& part, SurfaceDataRecord& data, StraightImages* images);

// For a software draw of the graphic between the corners (any order;
// stretched or plain at the first corner): 1 when some of it lies inside
// the draw area and it must be drawn; otherwise what the draw itself gives
// for a draw that lands wholly outside (0, or -1 where the road refuses an
// empty rectangle), found without any set-up.
int SoftDrawOutsideResult(RECT corners, const GraphRecord& graph, bool stretched);
// The plain draw of a 2D surface with its top-left at (x, y). 0 or -1.
int SoftBlitGraph(int x, int y, HandleId surface2D, int transparent);
// The same for a graphic's first 2D surface; x and y are truncated toward
// zero unless integerCoords is 1 (a double holds every integer exactly).
int SoftBlitGraphF(double x, double y, const GraphRecord* graph, int transparent, int integerCoords);
// Lines of one colour each. 0 or -1.
int SoftDrawLineList(const LineRecord* records, int count);
// The 2D surface (kNoHandle: the graphic's first) stretched into the
// rectangle between the corners, mirrored left-right when x1 > x2 and
// upside down when y1 > y2. The corners are truncated toward zero unless
// integerCoords is 1. 0, or -1 when nothing could be drawn.
int SoftDrawExtend(double x1, double y1, double x2, double y2, const GraphRecord* graph, int transparent,
                   int integerCoords, HandleId surface2D);
// A filled box and a one-pixel outline; the colour is a pixel value of the
// screen format. The corners may come in any order. 0 or -1.
int SoftDrawFilledBox(int x1, int y1, int x2, int y2, std::uint32_t color);
int SoftDrawBoxOutline(int x1, int y1, int x2, int y2, std::uint32_t color);
// The graphic scaled by scale and turned by angle (radians) about its
// centre, which lands at (x, y) truncated; turn mirrors it left to right.
// 0 after a draw (also one that drew nothing), -1 when it cannot draw.
int SoftDrawRotate(float x, float y, double scale, double angle, const GraphRecord* graph, int transparent, int turn);
// One triangle of the graphic's first 2D surface (u, v in its own texels),
// or, without a graphic, filled with colour (a pixel value of the screen
// format). 0, or -1 when no renderer is up, the graphic has no 2D surface
// or the target cannot be opened.
int SoftDrawTriangle(const TriangleVertex vertices[3], const GraphRecord* graph, int transparent, std::uint32_t colour);
// The graphic deformed onto the four corners top-left, top-right,
// bottom-left, bottom-right, as two triangles sharing the side from the
// top-right to the bottom-left corner. Always 0.
int SoftDrawFourCorner(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4, const GraphRecord* graph,
                       int transparent);
// The same with the corners truncated toward zero.
int SoftDrawFourCornerF(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4,
                        const GraphRecord* graph, int transparent);
