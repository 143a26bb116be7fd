// The software rasteriser behind the Direct3D stand-in: what a draw call
// hands it (the states resolved into a pipeline, the vertices decoded) and
// the primitives it cuts them into.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/d3d.h"
#include "platform/display.h"

// A vertex as the rasteriser uses it, whatever its flexible format was.
struct RasterVertex {
    float x, y, z;
    std::uint32_t diffuse, specular;  // 0xAARRGGBB
    float u[2], v[2];
};

class TextureShadow;

// Pixels of a texture, resolved for one draw.
struct RasterTexture {
    const std::uint8_t* bits = nullptr;
    int pitch = 0, width = 0, height = 0;
    PlatformPixelLayout layout{};
    bool hasKey = false;
    DWORD keyLow = 0, keyHigh = 0;
    // 0xAARRGGBB of every 16-bit texel value; null for other depths.
    const std::uint32_t* decode16 = nullptr;
    // The texels as the target's pixels, with their runs; null when none
    // was made (the loops then read the texels).
    const TextureShadow* shadow = nullptr;
};

struct RasterTarget {
    std::uint8_t* bits = nullptr;
    int pitch = 0, width = 0, height = 0;
    PlatformPixelLayout layout{};
    const std::uint32_t* decode16 = nullptr;  // for 16-bit targets
    std::uint8_t* zBits = nullptr;            // the attached 16-bit Z buffer, when Z is on
    int zPitch = 0;
};

struct RasterStage {
    DWORD colorOp, colorArg1, colorArg2;
    DWORD alphaOp, alphaArg1, alphaArg2;
    DWORD texCoordIndex;
    DWORD address;
    bool linear;
    const RasterTexture* texture;  // null: none bound
};

// Everything the pixels of one draw depend on.
struct RasterPipeline {
    RasterTarget target;
    RECT clip{};  // viewport within the target
    RasterStage stages[kD3DMaxStages]{};
    int stageCount = 0;  // stages before the first disabled one
    bool gouraud = false;
    bool colorKey = false;
    bool alphaTest = false;
    DWORD alphaFunc = D_D3DCMP_ALWAYS, alphaRef = 0;
    bool zTest = false, zWrite = false;
    DWORD zFunc = D_D3DCMP_LESSEQUAL;
    bool blend = false;
    DWORD srcBlend = D_D3DBLEND_ONE, destBlend = D_D3DBLEND_ZERO;
    std::uint32_t textureFactor = 0xFFFFFFFF;
    DWORD cull = D_D3DCULL_NONE;
    bool fastSpans = true;
};

enum class PrimKind : std::uint8_t { Triangle, Quad, Line };

// One primitive: three vertices of a triangle; a quad's corners top-left,
// top-right, bottom-left, bottom-right (in the order drawn, so possibly
// mirrored) with the vertex that gives its flat colour; a line's two ends.
struct RasterPrim {
    PrimKind kind;
    int v[4];
    int provoking;
};

// Draws the primitives. Vertex positions are in pixels of the target.
void RasterDraw(const RasterPipeline& pipeline, const std::vector<RasterVertex>& vertices,
                const std::vector<RasterPrim>& prims);

// Cuts a primitive list into primitives, joining the framework's quads (two
// triangles over one axis-aligned rectangle with an affine texture mapping)
// into one. False for a type the stand-in does not draw.
bool BuildPrims(D_D3DPRIMITIVETYPE type, const std::vector<RasterVertex>& vertices, bool gouraud,
                std::vector<RasterPrim>* prims);

// ---- pixel arithmetic shared by the reference and the fast loops --------------

// A channel of `width` bits widened to 8 by repeating its bits.
inline std::uint32_t WidenChannel(std::uint32_t value, int width) {
    if (width <= 0) return 0;
    if (width >= 8) return (value >> (width - 8)) & 0xFF;
    std::uint32_t out = 0;
    int filled = 0;
    while (filled < 8) {
        out = (out << width) | value;
        filled += width;
    }
    return (out >> (filled - 8)) & 0xFF;
}

// A raw pixel of the layout as 0xAARRGGBB; a layout without alpha gives 255.
std::uint32_t ExpandPixel(const PlatformPixelLayout& layout, std::uint32_t raw);
// 0xAARRGGBB truncated to the layout's channel widths.
std::uint32_t EncodePixel(const PlatformPixelLayout& layout, std::uint32_t argb);
// ExpandPixel of every 16-bit value of the layout, built once per layout.
const std::uint32_t* DecodeTable16(const PlatformPixelLayout& layout);

inline std::uint32_t Mul255(std::uint32_t a, std::uint32_t b) { return (a * b + 127) / 255; }

inline bool Compare(DWORD func, std::uint32_t value, std::uint32_t reference) {
    switch (func) {
        case D_D3DCMP_NEVER: return false;
        case D_D3DCMP_LESS: return value < reference;
        case D_D3DCMP_EQUAL: return value == reference;
        case D_D3DCMP_LESSEQUAL: return value <= reference;
        case D_D3DCMP_GREATER: return value > reference;
        case D_D3DCMP_NOTEQUAL: return value != reference;
        case D_D3DCMP_GREATEREQUAL: return value >= reference;
        default: return true;
    }
}

// Source and destination blended channel by channel.
std::uint32_t BlendPixel(DWORD srcBlend, DWORD destBlend, std::uint32_t src, std::uint32_t dst, bool destHasAlpha);
