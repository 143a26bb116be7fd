// Primitives: cutting a primitive list into triangles, quads and lines,
// and setting each up for scanning (snapped edges, the top-left rule,
// attribute planes).
#include <algorithm>
#include <cmath>

#include "d3d/raster_internal.h"

namespace {

// Positions are held to this many pixels either side of the origin, so
// every edge product fits in 64 bits.
constexpr double kCoordinateLimit = 2097152.0;

bool Finite(const RasterVertex& v) { return std::isfinite(v.x) && std::isfinite(v.y); }

// v x 256 rounded to the nearest whole number, halves away from zero (as
// llround, without its call: every vertex of a draw is snapped).
std::int64_t Snap(float v) {
    const double scaled = std::clamp(static_cast<double>(v), -kCoordinateLimit, kCoordinateLimit) * kSubPixel;
    const std::int64_t whole = static_cast<std::int64_t>(scaled);
    const double rest = scaled - static_cast<double>(whole);
    return whole + (rest >= 0.5) - (rest <= -0.5);
}

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {  // b > 0
    std::int64_t q = a / b;
    if ((a % b != 0) && (a < 0)) --q;
    return q;
}

std::int64_t CeilDiv(std::int64_t a, std::int64_t b) { return -FloorDiv(-a, b); }

bool SamePlace(const RasterVertex& a, const RasterVertex& b) {
    return Snap(a.x) == Snap(b.x) && Snap(a.y) == Snap(b.y) && a.z == b.z && a.u[0] == b.u[0] && a.v[0] == b.v[0] &&
           a.u[1] == b.u[1] && a.v[1] == b.v[1];
}

// Two triangles (top-left, top-right, bottom-left) and (bottom-right,
// bottom-left, top-right) over one axis-aligned rectangle, u following x
// and v following y alone, of one colour.
bool IsQuad(const RasterVertex* t, bool gouraud) {
    const RasterVertex &tl = t[0], &tr = t[1], &bl = t[2], &br = t[3];
    if (!SamePlace(t[4], bl) || !SamePlace(t[5], tr)) return false;
    if (Snap(tl.y) != Snap(tr.y) || Snap(bl.y) != Snap(br.y) || Snap(tl.x) != Snap(bl.x) || Snap(tr.x) != Snap(br.x))
        return false;
    if (Snap(tl.x) == Snap(tr.x) || Snap(tl.y) == Snap(bl.y)) return false;
    if (tl.z != tr.z || tl.z != bl.z || tl.z != br.z) return false;
    for (int i = 0; i < 2; ++i)
        if (tl.u[i] != bl.u[i] || tr.u[i] != br.u[i] || tl.v[i] != tr.v[i] || bl.v[i] != br.v[i]) return false;
    // Flat shading reads only each triangle's first vertex.
    if (tl.diffuse != br.diffuse || tl.specular != br.specular) return false;
    if (gouraud && (tr.diffuse != tl.diffuse || bl.diffuse != tl.diffuse || tr.specular != tl.specular ||
                    bl.specular != tl.specular))
        return false;
    return true;
}

Plane PlaneOf(double x0, double y0, double a0, double x1, double y1, double a1, double x2, double y2, double a2) {
    const double area = (x1 - x0) * (y2 - y0) - (x2 - x0) * (y1 - y0);
    Plane p;
    p.dx = ((a1 - a0) * (y2 - y0) - (a2 - a0) * (y1 - y0)) / area;
    p.dy = ((a2 - a0) * (x1 - x0) - (a1 - a0) * (x2 - x0)) / area;
    p.a0 = a0 - p.dx * x0 - p.dy * y0;
    return p;
}

double Channel(std::uint32_t argb, int c) { return static_cast<double>(argb >> (24 - 8 * c) & 0xFF); }

void SetUpColours(const RasterPipeline& p, const RasterVertex* v[3], int provoking, PrimSetup* s,
                  const double xs[3], const double ys[3]) {
    s->diffuse = v[provoking]->diffuse;
    s->specular = v[provoking]->specular;
    s->gouraud = p.gouraud && !(v[0]->diffuse == v[1]->diffuse && v[0]->diffuse == v[2]->diffuse &&
                                v[0]->specular == v[1]->specular && v[0]->specular == v[2]->specular);
    if (!s->gouraud) return;
    for (int c = 0; c < 4; ++c) {
        s->color[c] = PlaneOf(xs[0], ys[0], Channel(v[0]->diffuse, c), xs[1], ys[1], Channel(v[1]->diffuse, c), xs[2],
                              ys[2], Channel(v[2]->diffuse, c));
        s->color[4 + c] = PlaneOf(xs[0], ys[0], Channel(v[0]->specular, c), xs[1], ys[1],
                                  Channel(v[1]->specular, c), xs[2], ys[2], Channel(v[2]->specular, c));
    }
}

bool SetUpTriangle(const RasterPipeline& p, const std::vector<RasterVertex>& vertices, const RasterPrim& prim,
                   PrimSetup* s) {
    const RasterVertex* v[3] = {&vertices[prim.v[0]], &vertices[prim.v[1]], &vertices[prim.v[2]]};
    for (const RasterVertex* vertex : v)
        if (!Finite(*vertex)) return false;
    std::int64_t X[3], Y[3];
    for (int i = 0; i < 3; ++i) {
        X[i] = Snap(v[i]->x);
        Y[i] = Snap(v[i]->y);
    }
    const std::int64_t area = (X[1] - X[0]) * (Y[2] - Y[0]) - (X[2] - X[0]) * (Y[1] - Y[0]);
    if (area == 0) return false;
    // Positive area is clockwise on the screen (y runs down).
    if ((p.cull == D_D3DCULL_CCW && area < 0) || (p.cull == D_D3DCULL_CW && area > 0)) return false;
    // The edge functions below are positive inside when the triangle runs
    // counter-clockwise on the screen.
    int order[3] = {0, 1, 2};
    if (area > 0) std::swap(order[1], order[2]);
    for (int i = 0; i < 3; ++i) {
        const int a = order[i], b = order[(i + 1) % 3];
        Edge& e = s->edges[i];
        e.x0 = X[a];
        e.y0 = Y[a];
        e.dx = X[b] - X[a];
        e.dy = Y[b] - Y[a];
        const bool topLeft = e.dy > 0 || (e.dy == 0 && e.dx < 0);
        e.bias = topLeft ? 0 : 1;
    }
    const std::int64_t minY = std::min({Y[0], Y[1], Y[2]}), maxY = std::max({Y[0], Y[1], Y[2]});
    const std::int64_t minX = std::min({X[0], X[1], X[2]}), maxX = std::max({X[0], X[1], X[2]});
    s->top = static_cast<int>(std::max<std::int64_t>(CeilDiv(minY, kSubPixel), p.clip.top));
    s->bottom = static_cast<int>(std::min<std::int64_t>(FloorDiv(maxY, kSubPixel) + 1, p.clip.bottom));
    s->left = static_cast<int>(std::max<std::int64_t>(CeilDiv(minX, kSubPixel), p.clip.left));
    s->right = static_cast<int>(std::min<std::int64_t>(FloorDiv(maxX, kSubPixel) + 1, p.clip.right));
    if (s->top >= s->bottom || s->left >= s->right) return false;

    double xs[3], ys[3];
    for (int i = 0; i < 3; ++i) {
        xs[i] = static_cast<double>(X[i]) / kSubPixel;
        ys[i] = static_cast<double>(Y[i]) / kSubPixel;
    }
    for (int t = 0; t < 2; ++t) {
        s->u[t] = PlaneOf(xs[0], ys[0], v[0]->u[t], xs[1], ys[1], v[1]->u[t], xs[2], ys[2], v[2]->u[t]);
        s->v[t] = PlaneOf(xs[0], ys[0], v[0]->v[t], xs[1], ys[1], v[1]->v[t], xs[2], ys[2], v[2]->v[t]);
    }
    s->z = PlaneOf(xs[0], ys[0], v[0]->z, xs[1], ys[1], v[1]->z, xs[2], ys[2], v[2]->z);
    const int provoking = prim.v[1] == prim.provoking ? 1 : prim.v[2] == prim.provoking ? 2 : 0;
    SetUpColours(p, v, provoking, s, xs, ys);
    return true;
}

// The plane of an attribute that changes along one axis only.
Plane AxisPlane(double c0, double a0, double c1, double a1, bool alongX) {
    Plane p;
    const double slope = (a1 - a0) / (c1 - c0);
    p.a0 = a0 - slope * c0;
    (alongX ? p.dx : p.dy) = slope;
    return p;
}

bool SetUpQuad(const RasterPipeline& p, const std::vector<RasterVertex>& vertices, const RasterPrim& prim,
               PrimSetup* s) {
    const RasterVertex &tl = vertices[prim.v[0]], &tr = vertices[prim.v[1]], &bl = vertices[prim.v[2]];
    if (!Finite(tl) || !Finite(tr) || !Finite(bl)) return false;
    const std::int64_t xl = Snap(tl.x), xr = Snap(tr.x), yt = Snap(tl.y), yb = Snap(bl.y);
    if (p.cull != D_D3DCULL_NONE) {
        const bool clockwise = (xr > xl) == (yb > yt);
        if ((p.cull == D_D3DCULL_CCW && !clockwise) || (p.cull == D_D3DCULL_CW && clockwise)) return false;
    }
    // Left and top edges take the centres on them, right and bottom not.
    s->left = static_cast<int>(std::max<std::int64_t>(CeilDiv(std::min(xl, xr), kSubPixel), p.clip.left));
    s->right = static_cast<int>(std::min<std::int64_t>(CeilDiv(std::max(xl, xr), kSubPixel), p.clip.right));
    s->top = static_cast<int>(std::max<std::int64_t>(CeilDiv(std::min(yt, yb), kSubPixel), p.clip.top));
    s->bottom = static_cast<int>(std::min<std::int64_t>(CeilDiv(std::max(yt, yb), kSubPixel), p.clip.bottom));
    if (s->top >= s->bottom || s->left >= s->right) return false;
    const double x0 = static_cast<double>(xl) / kSubPixel, x1 = static_cast<double>(xr) / kSubPixel;
    const double y0 = static_cast<double>(yt) / kSubPixel, y1 = static_cast<double>(yb) / kSubPixel;
    for (int t = 0; t < 2; ++t) {
        s->u[t] = AxisPlane(x0, tl.u[t], x1, tr.u[t], true);
        s->v[t] = AxisPlane(y0, tl.v[t], y1, bl.v[t], false);
    }
    s->z = Plane{tl.z, 0, 0};
    s->diffuse = tl.diffuse;
    s->specular = tl.specular;
    s->gouraud = false;
    return true;
}

bool SetUpLine(const RasterPipeline& p, const std::vector<RasterVertex>& vertices, const RasterPrim& prim,
               PrimSetup* s) {
    const RasterVertex &a = vertices[prim.v[0]], &b = vertices[prim.v[1]];
    if (!Finite(a) || !Finite(b)) return false;
    auto pixel = [](float v) {
        return static_cast<int>(std::floor(std::clamp(static_cast<double>(v), -kCoordinateLimit, kCoordinateLimit)));
    };
    s->lineX0 = pixel(a.x);
    s->lineY0 = pixel(a.y);
    s->lineX1 = pixel(b.x);
    s->lineY1 = pixel(b.y);
    s->lineStart = &a;
    s->lineEnd = &b;
    s->top = std::max(std::min(s->lineY0, s->lineY1), static_cast<int>(p.clip.top));
    s->bottom = std::min(std::max(s->lineY0, s->lineY1) + 1, static_cast<int>(p.clip.bottom));
    s->left = std::max(std::min(s->lineX0, s->lineX1), static_cast<int>(p.clip.left));
    s->right = std::min(std::max(s->lineX0, s->lineX1) + 1, static_cast<int>(p.clip.right));
    return s->top < s->bottom && s->left < s->right;
}

}  // namespace

bool BuildPrims(D_D3DPRIMITIVETYPE type, const std::vector<RasterVertex>& vertices, bool gouraud,
                std::vector<RasterPrim>* prims) {
    prims->clear();
    const int n = static_cast<int>(vertices.size());
    switch (type) {
        case D_D3DPT_TRIANGLELIST:
            for (int i = 0; i + 2 < n; i += 3) {
                if (i + 5 < n && IsQuad(&vertices[i], gouraud)) {
                    prims->push_back({PrimKind::Quad, {i, i + 1, i + 2, i + 3}, i});
                    i += 3;
                    continue;
                }
                prims->push_back({PrimKind::Triangle, {i, i + 1, i + 2, 0}, i});
            }
            return true;
        case D_D3DPT_TRIANGLESTRIP:
            for (int i = 0; i + 2 < n; ++i) prims->push_back({PrimKind::Triangle, {i, i + 1, i + 2, 0}, i});
            return true;
        case D_D3DPT_TRIANGLEFAN:
            for (int i = 1; i + 1 < n; ++i) prims->push_back({PrimKind::Triangle, {0, i, i + 1, 0}, i});
            return true;
        case D_D3DPT_LINELIST:
            for (int i = 0; i + 1 < n; i += 2) prims->push_back({PrimKind::Line, {i, i + 1, 0, 0}, i});
            return true;
        case D_D3DPT_LINESTRIP:
            for (int i = 0; i + 1 < n; ++i) prims->push_back({PrimKind::Line, {i, i + 1, 0, 0}, i});
            return true;
        default: return false;
    }
}

bool SetUpPrim(const RasterPipeline& p, const std::vector<RasterVertex>& vertices, const RasterPrim& prim,
               PrimSetup* out) {
    *out = PrimSetup{};
    out->kind = prim.kind;
    switch (prim.kind) {
        case PrimKind::Quad: return SetUpQuad(p, vertices, prim, out);
        case PrimKind::Line: return SetUpLine(p, vertices, prim, out);
        default: return SetUpTriangle(p, vertices, prim, out);
    }
}

void SpanOnRow(const PrimSetup& s, int y, int* x0, int* x1) {
    *x0 = s.left;
    *x1 = s.right;
    if (s.kind != PrimKind::Triangle) return;
    // Each edge keeps the centres (x, y) with
    // (x - x0) dy - (y - y0) dx >= bias, in sub-pixel units.
    std::int64_t left = s.left, right = s.right - 1;
    const std::int64_t sy = static_cast<std::int64_t>(y) * kSubPixel;
    for (const Edge& e : s.edges) {
        const std::int64_t k = -e.x0 * e.dy - (sy - e.y0) * e.dx - e.bias;  // x M + k >= 0
        const std::int64_t m = e.dy * kSubPixel;
        if (e.dy > 0)
            left = std::max(left, CeilDiv(-k, m));
        else if (e.dy < 0)
            right = std::min(right, FloorDiv(k, -m));
        else if (k < 0)
            right = left - 1;
    }
    if (right < left) {
        *x1 = *x0;
        return;
    }
    *x0 = static_cast<int>(left);
    *x1 = static_cast<int>(right + 1);
}
