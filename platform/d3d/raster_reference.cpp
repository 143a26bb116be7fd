// The reference pixel pipeline: sampling, the texture stages, colour key,
// alpha test, Z, blend and write, one fragment at a time. The specialised
// loops are proven against it.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "d3d/raster_internal.h"

namespace {

std::uint32_t ReadRaw(const std::uint8_t* p, int bytes) {
    switch (bytes) {
        case 1: return p[0];
        case 2: return static_cast<std::uint32_t>(p[0] | p[1] << 8);
        case 3: return static_cast<std::uint32_t>(p[0] | p[1] << 8 | p[2] << 16);
        default: return static_cast<std::uint32_t>(p[0] | p[1] << 8 | p[2] << 16) | static_cast<std::uint32_t>(p[3]) << 24;
    }
}

void WriteRaw(std::uint8_t* p, int bytes, std::uint32_t v) {
    for (int i = 0; i < bytes; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// A texel coordinate under the address mode.
int Address(int i, int size, DWORD mode) {
    if (size <= 0) return 0;
    switch (mode) {
        case D_D3DTADDRESS_WRAP: return ((i % size) + size) % size;
        case D_D3DTADDRESS_MIRROR: {
            const int period = 2 * size;
            int m = ((i % period) + period) % period;
            return m < size ? m : period - 1 - m;
        }
        default: return std::clamp(i, 0, size - 1);
    }
}

std::uint32_t RawTexel(const RasterTexture& t, int x, int y) {
    const int bytes = t.layout.BytesPerPixel();
    return ReadRaw(t.bits + static_cast<std::ptrdiff_t>(y) * t.pitch + static_cast<std::ptrdiff_t>(x) * bytes, bytes);
}

bool KeyedRaw(const RasterTexture& t, std::uint32_t raw) {
    const DWORD mask = t.layout.redMask | t.layout.greenMask | t.layout.blueMask;
    const std::uint32_t v = raw & mask;
    return v >= (t.keyLow & mask) && v <= (t.keyHigh & mask);
}

std::uint32_t Lerp8(std::uint32_t a, std::uint32_t b, std::uint32_t w) { return a * (256 - w) + b * w; }

// The texel at (u, v); *keyed tells whether it matches the colour key.
std::uint32_t Sample(const RasterTexture& t, double u, double v, bool linear, DWORD address, bool* keyed) {
    const double fu = u * t.width, fv = v * t.height;
    const int nx = Address(FloorIndex(fu), t.width, address), ny = Address(FloorIndex(fv), t.height, address);
    const std::uint32_t nearest = RawTexel(t, nx, ny);
    *keyed = t.hasKey && KeyedRaw(t, nearest);
    if (!linear) return ExpandPixel(t.layout, nearest);
    const double sx = fu - 0.5, sy = fv - 0.5;
    const int x0 = FloorIndex(sx), y0 = FloorIndex(sy);
    const std::uint32_t wx = static_cast<std::uint32_t>(std::floor((sx - std::floor(sx)) * 256.0));
    const std::uint32_t wy = static_cast<std::uint32_t>(std::floor((sy - std::floor(sy)) * 256.0));
    const int xa = Address(x0, t.width, address), xb = Address(x0 + 1, t.width, address);
    const int ya = Address(y0, t.height, address), yb = Address(y0 + 1, t.height, address);
    const std::uint32_t t00 = ExpandPixel(t.layout, RawTexel(t, xa, ya)), t10 = ExpandPixel(t.layout, RawTexel(t, xb, ya));
    const std::uint32_t t01 = ExpandPixel(t.layout, RawTexel(t, xa, yb)), t11 = ExpandPixel(t.layout, RawTexel(t, xb, yb));
    std::uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const std::uint32_t top = Lerp8(t00 >> shift & 0xFF, t10 >> shift & 0xFF, wx);
        const std::uint32_t bottom = Lerp8(t01 >> shift & 0xFF, t11 >> shift & 0xFF, wx);
        const std::uint32_t c = (top * (256 - wy) + bottom * wy + 32768) >> 16;
        out |= std::min<std::uint32_t>(c, 255) << shift;
    }
    return out;
}

// Channel-wise operations on 0xAARRGGBB words.
template <typename F>
std::uint32_t PerChannel(std::uint32_t a, std::uint32_t b, F f) {
    std::uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8)
        out |= std::clamp<int>(f(static_cast<int>(a >> shift & 0xFF), static_cast<int>(b >> shift & 0xFF)), 0, 255)
               << shift;
    return out;
}

std::uint32_t Operate(DWORD op, std::uint32_t a, std::uint32_t b) {
    switch (op) {
        case D_D3DTOP_SELECTARG1: return a;
        case D_D3DTOP_SELECTARG2: return b;
        case D_D3DTOP_MODULATE:
            return PerChannel(a, b, [](int x, int y) { return static_cast<int>(Mul255(x, y)); });
        case D_D3DTOP_MODULATE2X:
            return PerChannel(a, b, [](int x, int y) { return static_cast<int>(Mul255(x, y)) * 2; });
        case D_D3DTOP_MODULATE4X:
            return PerChannel(a, b, [](int x, int y) { return static_cast<int>(Mul255(x, y)) * 4; });
        case D_D3DTOP_ADD: return PerChannel(a, b, [](int x, int y) { return x + y; });
        case D_D3DTOP_ADDSIGNED: return PerChannel(a, b, [](int x, int y) { return x + y - 128; });
        case D_D3DTOP_ADDSIGNED2X: return PerChannel(a, b, [](int x, int y) { return (x + y - 128) * 2; });
        case D_D3DTOP_SUBTRACT: return PerChannel(a, b, [](int x, int y) { return x - y; });
        default: return a;
    }
}

bool Reads(DWORD op, DWORD arg1, DWORD arg2, DWORD which) {
    if (op == D_D3DTOP_DISABLE) return false;
    const bool first = (arg1 & D_D3DTA_SELECTMASK) == which, second = (arg2 & D_D3DTA_SELECTMASK) == which;
    if (op == D_D3DTOP_SELECTARG1) return first;
    if (op == D_D3DTOP_SELECTARG2) return second;
    return first || second;
}

struct StageInputs {
    std::uint32_t diffuse, current, texture, factor, specular;
};

std::uint32_t Argument(DWORD arg, const StageInputs& in) {
    std::uint32_t v;
    switch (arg & D_D3DTA_SELECTMASK) {
        case D_D3DTA_DIFFUSE: v = in.diffuse; break;
        case D_D3DTA_CURRENT: v = in.current; break;
        case D_D3DTA_TEXTURE: v = in.texture; break;
        case D_D3DTA_TFACTOR: v = in.factor; break;
        case D_D3DTA_SPECULAR: v = in.specular; break;
        default: v = in.current; break;
    }
    if (arg & D_D3DTA_COMPLEMENT) v = ~v;
    if (arg & D_D3DTA_ALPHAREPLICATE) {
        const std::uint32_t a = v >> 24;
        v = a << 24 | a << 16 | a << 8 | a;
    }
    return v;
}

std::uint8_t* PixelAt(const RasterTarget& t, int x, int y) {
    return t.bits + static_cast<std::ptrdiff_t>(y) * t.pitch + static_cast<std::ptrdiff_t>(x) * t.layout.BytesPerPixel();
}

}  // namespace

FragmentIn FragmentAt(const PrimSetup& s, int x, int y) {
    FragmentIn in{};
    for (int i = 0; i < 2; ++i) {
        in.u[i] = s.u[i].At(x, y);
        in.v[i] = s.v[i].At(x, y);
    }
    in.z = s.z.At(x, y);
    if (!s.gouraud) {
        in.diffuse = s.diffuse;
        in.specular = s.specular;
        return in;
    }
    std::uint32_t channels[8];
    for (int c = 0; c < 8; ++c) {
        const double value = std::floor(s.color[c].At(x, y) + 0.5);
        channels[c] = static_cast<std::uint32_t>(std::clamp(value, 0.0, 255.0));
    }
    in.diffuse = channels[0] << 24 | channels[1] << 16 | channels[2] << 8 | channels[3];
    in.specular = channels[4] << 24 | channels[5] << 16 | channels[6] << 8 | channels[7];
    return in;
}

void ShadePixel(const RasterPipeline& p, const FragmentIn& in, int x, int y) {
    StageInputs si{in.diffuse, in.diffuse, 0, p.textureFactor, in.specular};
    for (int s = 0; s < p.stageCount; ++s) {
        const RasterStage& st = p.stages[s];
        const bool hasTexture = st.texture != nullptr;
        si.texture = si.current;
        if (hasTexture) {
            const int set = st.texCoordIndex == 0 ? 0 : 1;
            bool keyed = false;
            si.texture = Sample(*st.texture, in.u[set], in.v[set], st.linear, st.address, &keyed);
            if (keyed && p.colorKey) return;
        }
        // Without a texture, an operation on TEXTURE passes CURRENT through.
        std::uint32_t rgb = si.current & 0xFFFFFF, alpha = si.current >> 24;
        if (hasTexture || !Reads(st.colorOp, st.colorArg1, st.colorArg2, D_D3DTA_TEXTURE))
            rgb = Operate(st.colorOp, Argument(st.colorArg1, si), Argument(st.colorArg2, si)) & 0xFFFFFF;
        if (st.alphaOp != D_D3DTOP_DISABLE &&
            (hasTexture || !Reads(st.alphaOp, st.alphaArg1, st.alphaArg2, D_D3DTA_TEXTURE)))
            alpha = Operate(st.alphaOp, Argument(st.alphaArg1, si), Argument(st.alphaArg2, si)) >> 24;
        si.current = alpha << 24 | rgb;
    }
    const std::uint32_t src = si.current;
    if (p.alphaTest && !Compare(p.alphaFunc, src >> 24, p.alphaRef & 0xFF)) return;

    const RasterTarget& t = p.target;
    if (p.zTest && t.zBits != nullptr) {
        std::uint8_t* zp = t.zBits + static_cast<std::ptrdiff_t>(y) * t.zPitch + static_cast<std::ptrdiff_t>(x) * 2;
        const double zc = std::clamp(in.z, 0.0, 1.0);
        const std::uint32_t z = static_cast<std::uint32_t>(std::floor(zc * 65535.0 + 0.5));
        const std::uint32_t stored = static_cast<std::uint32_t>(zp[0] | zp[1] << 8);
        if (!Compare(p.zFunc, z, stored)) return;
        if (p.zWrite) {
            zp[0] = static_cast<std::uint8_t>(z);
            zp[1] = static_cast<std::uint8_t>(z >> 8);
        }
    }

    std::uint8_t* out = PixelAt(t, x, y);
    const int bytes = t.layout.BytesPerPixel();
    std::uint32_t result = src;
    if (p.blend) {
        const std::uint32_t dst = ExpandPixel(t.layout, ReadRaw(out, bytes));
        result = BlendPixel(p.srcBlend, p.destBlend, src, dst, t.layout.alphaMask != 0);
    }
    WriteRaw(out, bytes, EncodePixel(t.layout, result));
}

void ShadeSpanReference(const RasterPipeline& p, const PrimSetup& s, int y, int x0, int x1) {
    for (int x = x0; x < x1; ++x) ShadePixel(p, FragmentAt(s, x, y), x, y);
}

void DrawLine(const RasterPipeline& p, const PrimSetup& s) {
    // Bresenham from the first end to the second, both ends drawn.
    int x = s.lineX0, y = s.lineY0;
    const int dx = std::abs(s.lineX1 - s.lineX0), dy = -std::abs(s.lineY1 - s.lineY0);
    const int sx = s.lineX0 < s.lineX1 ? 1 : -1, sy = s.lineY0 < s.lineY1 ? 1 : -1;
    const int steps = std::max(dx, -dy);
    int error = dx + dy;
    const RasterVertex& a = *s.lineStart;
    const RasterVertex& b = *s.lineEnd;
    for (int step = 0;; ++step) {
        if (x >= p.clip.left && x < p.clip.right && y >= p.clip.top && y < p.clip.bottom) {
            const double t = steps == 0 ? 0.0 : static_cast<double>(step) / steps;
            FragmentIn in{};
            for (int i = 0; i < 2; ++i) {
                in.u[i] = a.u[i] + (b.u[i] - a.u[i]) * t;
                in.v[i] = a.v[i] + (b.v[i] - a.v[i]) * t;
            }
            in.z = a.z + (b.z - a.z) * t;
            in.diffuse = a.diffuse;  // lines are flat: the first end's colour
            in.specular = a.specular;
            ShadePixel(p, in, x, y);
        }
        if (x == s.lineX1 && y == s.lineY1) break;
        const int e2 = 2 * error;
        if (e2 >= dy) {
            error += dy;
            x += sx;
        }
        if (e2 <= dx) {
            error += dx;
            y += sy;
        }
    }
}
