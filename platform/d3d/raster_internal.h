// Inside the rasteriser: primitives set up for scanning, the attributes of
// one fragment, and the two ways of shading spans (the plain per-pixel
// reference and the specialised loops).
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
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
    // Textured quads on the fast road: the texel column of every covered
    // column [left, right), and whether they run on one by one (a 1:1 copy).
    const int* columns = nullptr;
    bool columnsRun = false;
    const int* rows = nullptr;  // the texel row of every covered row [top, bottom)
    // Columns that do not run on one by one: for each texel column c from
    // the lowest to one past the highest the quad shows, the first of its
    // columns [left, right) past those showing texels before c (increasing
    // columns) or after it (decreasing, mirrored).
    const int* pixelOfColumn = nullptr;
    int lowColumn = 0;
    // The columns show each texel twice over (a quad at twice its size,
    // mirrored or not).
    bool columnsDoubled = false;
    // Quads drawn over their texture's shadow: what becomes of a texel of
    // each alpha kind (clear, opaque, partial), by RunAction.
    bool overRuns = false;
    std::uint8_t runActions[3] = {};
    std::uint8_t runAlphas[3] = {};  // the fragment alpha of a run of each kind, when known
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
void DrawLine(const RasterPipeline& p, const PrimSetup& s);

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
enum class FastTexel : std::uint8_t {
    None,
    Table16,  // any other 16-bit layout, through its decode table
    A1R5G5B5,
    R5G6B5,
    X1R5G5B5,
    A4R4G4B4,
    A8R8G8B8,
    X8R8G8B8,
};
enum class FastSource : std::uint8_t { Texel, Diffuse, Modulate };
enum class FastBlend : std::uint8_t { None, Alpha, Add, General };

// 5- and 6-bit channels widened to 8 by repeating their high bits, as the
// decode tables do; floor(t / 255) for t up to 65152 (the largest a blend of
// two 8-bit channels gives).
constexpr std::uint32_t Widen5(std::uint32_t v) { return v << 3 | v >> 2; }
constexpr std::uint32_t Widen6(std::uint32_t v) { return v << 2 | v >> 4; }
constexpr std::uint32_t Div255(std::uint32_t t) { return (t + 1 + (t >> 8)) >> 8; }

inline bool IsTexel16(FastTexel t) {
    return t == FastTexel::Table16 || t == FastTexel::A1R5G5B5 || t == FastTexel::R5G6B5 ||
           t == FastTexel::X1R5G5B5 || t == FastTexel::A4R4G4B4;
}

struct FastPlan {
    FastTarget target;
    FastTexel texel;
    FastSource color, alpha;
    FastBlend blend;
    bool alphaTest;
    bool alphaPasses[256];
    int texCoordSet;
    // 16-bit textures: every texel value as the target's pixel, and whether
    // that is the value itself (texture and target share their colours).
    const std::uint32_t* convert = nullptr;
    bool convertIsCopy = false;
};

// A colour 0xAARRGGBB as a pixel of the target, and a pixel stored.
template <FastTarget kTarget>
inline std::uint32_t Encode(std::uint32_t c) {
    if constexpr (kTarget == FastTarget::R5G6B5)
        return (c >> 8 & 0xF800) | (c >> 5 & 0x07E0) | (c >> 3 & 0x001F);
    else if constexpr (kTarget == FastTarget::X1R5G5B5)
        return (c >> 9 & 0x7C00) | (c >> 6 & 0x03E0) | (c >> 3 & 0x001F);
    else
        return c & 0xFFFFFF;
}

template <FastTarget kTarget>
inline void Store(std::uint8_t* p, std::uint32_t v) {
    if constexpr (kTarget == FastTarget::X8R8G8B8) {
        std::memcpy(p, &v, 4);
    } else {
        const std::uint16_t w = static_cast<std::uint16_t>(v);
        std::memcpy(p, &w, 2);
    }
}

// Fills *plan for the pipeline; false when the states need the reference.
bool PlanFastSpans(const RasterPipeline& p, FastPlan* plan);
// Every 16-bit texel value of `texture` encoded as a pixel of `target` (one
// table per pair of layouts, built once); *isCopy tells whether every entry
// is the texel value itself.
const std::uint32_t* ConvertTable16(const PlatformPixelLayout& texture, const PlatformPixelLayout& target,
                                    bool* isCopy);
// Works out the column tables of the plan's textured quads, once per draw;
// `store` holds them.
void PrepareColumns(const FastPlan& plan, const RasterPipeline& p, std::vector<PrimSetup>* setups,
                    std::vector<int>* store);
// The straight loops: texel copies and colour fills written without the
// passes through rows of colours. False when the span needs those.
bool ShadeSpanDirect(const FastPlan& plan, const RasterPipeline& p, const PrimSetup& s, int y, int x0, int x1);
// The texel column a coordinate selects (clamped).
inline int TexelIndex(double coordinate, int size) {
    const int i = FloorIndex(coordinate * size);
    return i < 0 ? 0 : i >= size ? size - 1 : i;
}
// The same index, clamped before it is cut to an integer: without branches,
// so that loops over many coordinates run several at a time. (A value in
// [0, size - 0.5] is cut to its floor; below 0, and not a number, gives 0;
// size - 0.5 and above give size - 1.)
inline int TexelIndexClamped(double coordinate, int size) {
    const double v = std::min(size - 0.5, std::max(0.0, coordinate * size));
    return static_cast<int>(v);
}

// Shades a span through the plan; false when this primitive needs the
// reference (its colours vary).
bool ShadeSpanFast(const FastPlan& plan, const RasterPipeline& p, const PrimSetup& s, int y, int x0, int x1);
// What the span over a shadow's runs does with a run of texels: step over
// it, copy the shadow's pixels, blend its texels of one alpha in one loop,
// or shade it through the passes.
enum class RunAction : std::uint8_t { Skip, Copy, Blend, Shade };
// Whether runs of one alpha can be blended in one loop under the plan.
bool CanBlendRuns(const FastPlan& plan);
// The quad's pixels [i, j) of row y, every texel's fragment alpha `alpha`.
void BlendQuadRun(const FastPlan& plan, const RasterPipeline& p, const PrimSetup& s, int y, int i, int j,
                  std::uint32_t alpha);
// Whether a quad can be drawn over its texture's shadow, and what becomes
// of each kind of run; once per quad and draw.
void PrepareRuns(const FastPlan& plan, const RasterPipeline& p, PrimSetup* s);
// A quad whose setup says it goes over its texture's shadow (overRuns):
// row by row, runs stepped over or copied, the rest shaded by the passes.
void DrawQuadOverRuns(const FastPlan& plan, const RasterPipeline& p, const PrimSetup& s);
// A line of a plan without a texture: the reference's pixels, a row's
// run of them at a time through the fast spans.
void DrawLineFast(const FastPlan& plan, const RasterPipeline& p, const PrimSetup& s);
// The passes: texels fetched into a row of colours, combined, then tested,
// blended and written.
void ShadeSpanPasses(const FastPlan& plan, const RasterPipeline& p, const PrimSetup& s, int y, int x0, int x1);
