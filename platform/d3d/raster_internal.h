// Inside the rasteriser: primitives set up for scanning, the attributes of
// one fragment, and the two ways of shading spans (the plain per-pixel
// reference and the specialised loops).
#pragma once

#include <cstdint>
#include <vector>

#include "d3d/raster.h"

// Vertex positions are snapped to 1/256 pixel; edge tests are then exact.
constexpr int kSubPixelBits = 8;
constexpr std::int64_t kSubPixel = 1 << kSubPixelBits;

// An attribute over the target: a0 + dx x + dy y at the pixel (x, y).
struct Plane {
    double a0 = 0, dx = 0, dy = 0;
    double At(int x, int y) const { return a0 + dx * x + dy * y; }
};

struct Edge {
    std::int64_t x0, y0, dx, dy;
    std::int64_t bias;  // 0 on a top or left edge (centres on it are inside), else 1
};

struct PrimSetup {
    PrimKind kind;
    int top, bottom;     // rows [top, bottom), clipped
    int left, right;     // columns [left, right), clipped (triangles: their bounds)
    Edge edges[3];       // triangles
    int lineX0, lineY0, lineX1, lineY1;  // lines, endpoints in pixels
    const RasterVertex* lineStart;
    const RasterVertex* lineEnd;
    Plane u[2], v[2], z;
    Plane color[8];          // Gouraud: diffuse a r g b, specular a r g b
    bool gouraud;            // colours vary across the primitive
    std::uint32_t diffuse, specular;
};

// The attributes one fragment is shaded from.
struct FragmentIn {
    double u[2], v[2];
    double z;
    std::uint32_t diffuse, specular;
};

// Sets up a primitive; false when it covers nothing (degenerate, culled,
// outside the clip, or with coordinates that are not numbers).
bool SetUpPrim(const RasterPipeline& p, const std::vector<RasterVertex>& vertices, const RasterPrim& prim,
               PrimSetup* out);

// The covered columns [x0, x1) of a triangle or quad on row y, clipped.
void SpanOnRow(const PrimSetup& s, int y, int* x0, int* x1);

FragmentIn FragmentAt(const PrimSetup& s, int x, int y);

// The reference: every stage, test and blend evaluated pixel by pixel.
void ShadePixel(const RasterPipeline& p, const FragmentIn& in, int x, int y);
void ShadeSpanReference(const RasterPipeline& p, const PrimSetup& s, int y, int x0, int x1);
void DrawLineRows(const RasterPipeline& p, const PrimSetup& s, int rowTop, int rowBottom);

// floor(v) as an int, with values far outside any texture held to a range
// where texel addressing still works.
inline int FloorIndex(double v) {
    if (!(v > -1.0e9)) return -1000000000;
    if (v > 1.0e9) return 1000000000;
    const int i = static_cast<int>(v);
    return static_cast<double>(i) > v ? i - 1 : i;
}

// The specialised loops for the states the framework draws with most: one
// texture stage (or none) selecting or modulating texture and diffuse,
// point sampling, no Z, no colour key, a target without alpha.
enum class FastTarget : std::uint8_t { R5G6B5, X1R5G5B5, X8R8G8B8 };
enum class FastTexel : std::uint8_t { None, Table16, A8R8G8B8, X8R8G8B8 };
enum class FastSource : std::uint8_t { Texel, Diffuse, Modulate };
enum class FastBlend : std::uint8_t { None, Alpha, Add, General };

struct FastPlan {
    FastTarget target;
    FastTexel texel;
    FastSource color, alpha;
    FastBlend blend;
    bool alphaTest;
    bool alphaPasses[256];
    int texCoordSet;
};

// Fills *plan for the pipeline; false when the states need the reference.
bool PlanFastSpans(const RasterPipeline& p, FastPlan* plan);
// Shades a span through the plan; false when this primitive needs the
// reference (its colours vary).
bool ShadeSpanFast(const FastPlan& plan, const RasterPipeline& p, const PrimSetup& s, int y, int x0, int x1);
