// Specialised span loops: a span is fetched into a row of 0xAARRGGBB
// texels, combined with the primitive's flat colour, then tested, blended
// and written, each pass a plain loop over the row. They give the pixels of
// the reference pipeline exactly; the tests prove it state by state.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "d3d/raster_internal.h"

namespace {

// ---- planning ------------------------------------------------------------------

enum class Arg { Texture, Diffuse, Other };

Arg ArgOf(DWORD arg) {
    if (arg & ~D_D3DTA_SELECTMASK) return Arg::Other;
    switch (arg) {
        case D_D3DTA_TEXTURE: return Arg::Texture;
        case D_D3DTA_DIFFUSE:
        case D_D3DTA_CURRENT: return Arg::Diffuse;  // stage 0: the diffuse colour
        default: return Arg::Other;
    }
}

// What one stage-0 operation makes of texture and diffuse; false when it is
// none of the three sources.
bool SourceOf(DWORD op, DWORD arg1, DWORD arg2, bool hasTexture, FastSource* out) {
    const Arg a = ArgOf(arg1), b = ArgOf(arg2);
    auto single = [&](Arg arg) {
        if (arg == Arg::Other) return false;
        *out = arg == Arg::Texture && hasTexture ? FastSource::Texel : FastSource::Diffuse;
        return true;
    };
    switch (op) {
        case D_D3DTOP_SELECTARG1: return single(a);
        case D_D3DTOP_SELECTARG2: return single(b);
        case D_D3DTOP_MODULATE:
            if (a == Arg::Other || b == Arg::Other) return false;
            if (a == Arg::Texture || b == Arg::Texture) {
                if (!hasTexture) {  // passes CURRENT through
                    *out = FastSource::Diffuse;
                    return true;
                }
                if (a == b) return false;
                *out = FastSource::Modulate;
                return true;
            }
            return false;
        default: return false;
    }
}

bool TargetOf(const PlatformPixelLayout& l, FastTarget* out) {
    if (l.alphaMask != 0) return false;
    if (l.bitsPerPixel == 16 && l.redMask == 0xF800 && l.greenMask == 0x07E0 && l.blueMask == 0x001F) {
        *out = FastTarget::R5G6B5;
        return true;
    }
    if (l.bitsPerPixel == 16 && l.redMask == 0x7C00 && l.greenMask == 0x03E0 && l.blueMask == 0x001F) {
        *out = FastTarget::X1R5G5B5;
        return true;
    }
    if (l.bitsPerPixel == 32 && l.redMask == 0xFF0000 && l.greenMask == 0xFF00 && l.blueMask == 0xFF) {
        *out = FastTarget::X8R8G8B8;
        return true;
    }
    return false;
}

bool TexelOf(const RasterTexture* t, FastTexel* out) {
    if (t == nullptr) {
        *out = FastTexel::None;
        return true;
    }
    if (t->width <= 0 || t->height <= 0) return false;
    const PlatformPixelLayout& l = t->layout;
    // The layouts textures are made in are decoded in arithmetic.
    constexpr PlatformPixelLayout kA1R5G5B5{16, 0x7C00, 0x03E0, 0x001F, 0x8000};
    constexpr PlatformPixelLayout kA4R4G4B4{16, 0x0F00, 0x00F0, 0x000F, 0xF000};
    const std::pair<PlatformPixelLayout, FastTexel> known[] = {{kA1R5G5B5, FastTexel::A1R5G5B5},
                                                               {kLayout565, FastTexel::R5G6B5},
                                                               {kLayout555, FastTexel::X1R5G5B5},
                                                               {kA4R4G4B4, FastTexel::A4R4G4B4}};
    for (const auto& [layout, texel] : known)
        if (l == layout) {
            *out = texel;
            return true;
        }
    if (l.bitsPerPixel == 16 && t->decode16 != nullptr) {
        *out = FastTexel::Table16;
        return true;
    }
    if (l.bitsPerPixel == 32 && l.redMask == 0xFF0000 && l.greenMask == 0xFF00 && l.blueMask == 0xFF) {
        if (l.alphaMask == 0xFF000000u) {
            *out = FastTexel::A8R8G8B8;
            return true;
        }
        if (l.alphaMask == 0) {
            *out = FastTexel::X8R8G8B8;
            return true;
        }
    }
    return false;
}

FastBlend BlendOf(const RasterPipeline& p) {
    if (!p.blend) return FastBlend::None;
    if (p.srcBlend == D_D3DBLEND_SRCALPHA && p.destBlend == D_D3DBLEND_INVSRCALPHA) return FastBlend::Alpha;
    if (p.srcBlend == D_D3DBLEND_SRCALPHA && p.destBlend == D_D3DBLEND_ONE) return FastBlend::Add;
    return FastBlend::General;
}

// ---- the passes ------------------------------------------------------------------

struct Scratch {
    std::vector<std::uint32_t> texels;
    std::vector<std::uint32_t> colors;
    std::vector<int> columns;
};

Scratch& ScratchForThread() {
    thread_local Scratch scratch;
    return scratch;
}

// A 16-bit texel as 0xAARRGGBB, its channels widened by repeating their
// bits as the decode tables do.
template <FastTexel kTexel>
std::uint32_t Decode16(std::uint32_t raw) {
    if constexpr (kTexel == FastTexel::A1R5G5B5 || kTexel == FastTexel::X1R5G5B5) {
        const std::uint32_t a = kTexel == FastTexel::X1R5G5B5 || (raw & 0x8000) ? 0xFF000000u : 0;
        return a | Widen5(raw >> 10 & 31) << 16 | Widen5(raw >> 5 & 31) << 8 | Widen5(raw & 31);
    } else if constexpr (kTexel == FastTexel::R5G6B5) {
        return 0xFF000000u | Widen5(raw >> 11) << 16 | Widen6(raw >> 5 & 63) << 8 | Widen5(raw & 31);
    } else {
        return (raw >> 12) * 17 << 24 | (raw >> 8 & 15) * 17 << 16 | (raw >> 4 & 15) * 17 << 8 | (raw & 15) * 17;
    }
}

template <FastTexel kTexel>
std::uint32_t ReadTexel(const RasterTexture& t, const std::uint8_t* row, int x) {
    if constexpr (kTexel == FastTexel::Table16) {
        std::uint16_t raw;
        std::memcpy(&raw, row + static_cast<std::ptrdiff_t>(x) * 2, 2);
        return t.decode16[raw];
    } else if constexpr (kTexel == FastTexel::A1R5G5B5 || kTexel == FastTexel::R5G6B5 ||
                         kTexel == FastTexel::X1R5G5B5 || kTexel == FastTexel::A4R4G4B4) {
        std::uint16_t raw;
        std::memcpy(&raw, row + static_cast<std::ptrdiff_t>(x) * 2, 2);
        return Decode16<kTexel>(raw);
    } else {
        std::uint32_t raw;
        std::memcpy(&raw, row + static_cast<std::ptrdiff_t>(x) * 4, 4);
        return kTexel == FastTexel::X8R8G8B8 ? (raw | 0xFF000000u) : raw;
    }
}

// Quads: u follows x alone and v follows y alone, so a span reads one
// texel row through a table of columns.
template <FastTexel kTexel>
void FetchQuad(const RasterTexture& t, const PrimSetup& s, int set, int y, int x0, int n, std::uint32_t* out) {
    const int* columns = s.columns != nullptr ? s.columns + (x0 - s.left) : nullptr;
    if (columns == nullptr) {
        Scratch& scratch = ScratchForThread();
        scratch.columns.resize(static_cast<std::size_t>(n));
        for (int i = 0; i < n; ++i) scratch.columns[i] = TexelIndexClamped(s.u[set].At(x0 + i, y), t.width);
        columns = scratch.columns.data();
    }
    const int ty = s.rows != nullptr ? s.rows[y - s.top] : TexelIndex(s.v[set].At(x0, y), t.height);
    const std::uint8_t* row = t.bits + static_cast<std::ptrdiff_t>(ty) * t.pitch;
    if (s.columnsRun && s.columns != nullptr) {
        // 1:1: texels one after another, read straight.
        const std::uint8_t* run = row + static_cast<std::ptrdiff_t>(columns[0]) * (kTexel == FastTexel::A8R8G8B8 ||
                                                                                   kTexel == FastTexel::X8R8G8B8
                                                                               ? 4
                                                                               : 2);
        for (int i = 0; i < n; ++i) out[i] = ReadTexel<kTexel>(t, run, i);
        return;
    }
    for (int i = 0; i < n; ++i) out[i] = ReadTexel<kTexel>(t, row, columns[i]);
}

template <FastTexel kTexel>
void FetchTriangle(const RasterTexture& t, const PrimSetup& s, int set, int y, int x0, int n, std::uint32_t* out) {
    for (int i = 0; i < n; ++i) {
        const int tx = TexelIndexClamped(s.u[set].At(x0 + i, y), t.width);
        const int ty = TexelIndexClamped(s.v[set].At(x0 + i, y), t.height);
        out[i] = ReadTexel<kTexel>(t, t.bits + static_cast<std::ptrdiff_t>(ty) * t.pitch, tx);
    }
}

template <FastTexel kTexel>
void Fetch(const RasterTexture& t, const PrimSetup& s, int set, int y, int x0, int n, std::uint32_t* out) {
    if (s.kind == PrimKind::Quad)
        FetchQuad<kTexel>(t, s, set, y, x0, n, out);
    else
        FetchTriangle<kTexel>(t, s, set, y, x0, n, out);
}

std::uint32_t ModulateRgb(std::uint32_t t, std::uint32_t d) {
    return Mul255(t >> 16 & 0xFF, d >> 16 & 0xFF) << 16 | Mul255(t >> 8 & 0xFF, d >> 8 & 0xFF) << 8 |
           Mul255(t & 0xFF, d & 0xFF);
}

template <FastSource kColor, FastSource kAlpha>
void Combine(const std::uint32_t* texels, std::uint32_t diffuse, int n, std::uint32_t* out) {
    for (int i = 0; i < n; ++i) {
        const std::uint32_t t = kColor == FastSource::Diffuse && kAlpha == FastSource::Diffuse ? 0 : texels[i];
        std::uint32_t rgb, a;
        if constexpr (kColor == FastSource::Texel)
            rgb = t & 0xFFFFFF;
        else if constexpr (kColor == FastSource::Diffuse)
            rgb = diffuse & 0xFFFFFF;
        else
            rgb = ModulateRgb(t, diffuse);
        if constexpr (kAlpha == FastSource::Texel)
            a = t >> 24;
        else if constexpr (kAlpha == FastSource::Diffuse)
            a = diffuse >> 24;
        else
            a = Mul255(t >> 24, diffuse >> 24);
        out[i] = a << 24 | rgb;
    }
}

using CombineFn = void (*)(const std::uint32_t*, std::uint32_t, int, std::uint32_t*);

template <FastSource kColor>
CombineFn CombineFor(FastSource alpha) {
    switch (alpha) {
        case FastSource::Texel: return Combine<kColor, FastSource::Texel>;
        case FastSource::Diffuse: return Combine<kColor, FastSource::Diffuse>;
        default: return Combine<kColor, FastSource::Modulate>;
    }
}

CombineFn CombineFor(FastSource color, FastSource alpha) {
    switch (color) {
        case FastSource::Texel: return CombineFor<FastSource::Texel>(alpha);
        case FastSource::Diffuse: return CombineFor<FastSource::Diffuse>(alpha);
        default: return CombineFor<FastSource::Modulate>(alpha);
    }
}

// The target has no alpha: only the colour channels are blended.
std::uint32_t BlendAlpha(std::uint32_t s, std::uint32_t d) {
    const std::uint32_t a = s >> 24, na = 255 - a;
    const std::uint32_t r = ((s >> 16 & 0xFF) * a + (d >> 16 & 0xFF) * na + 127) / 255;
    const std::uint32_t g = ((s >> 8 & 0xFF) * a + (d >> 8 & 0xFF) * na + 127) / 255;
    const std::uint32_t b = ((s & 0xFF) * a + (d & 0xFF) * na + 127) / 255;
    return r << 16 | g << 8 | b;
}

std::uint32_t BlendAdd(std::uint32_t s, std::uint32_t d) {
    const std::uint32_t a = s >> 24;
    const std::uint32_t r = std::min<std::uint32_t>(((s >> 16 & 0xFF) * a + (d >> 16 & 0xFF) * 255 + 127) / 255, 255);
    const std::uint32_t g = std::min<std::uint32_t>(((s >> 8 & 0xFF) * a + (d >> 8 & 0xFF) * 255 + 127) / 255, 255);
    const std::uint32_t b = std::min<std::uint32_t>(((s & 0xFF) * a + (d & 0xFF) * 255 + 127) / 255, 255);
    return r << 16 | g << 8 | b;
}

// The pixel as 0xAARRGGBB, widened by repeating its bits as the layout's
// table does, in arithmetic so blend loops need no look-ups.
template <FastTarget kTarget>
std::uint32_t ReadDest(const std::uint8_t* p) {
    if constexpr (kTarget == FastTarget::X8R8G8B8) {
        std::uint32_t raw;
        std::memcpy(&raw, p, 4);
        return raw | 0xFF000000u;
    } else {
        std::uint16_t v;
        std::memcpy(&v, p, 2);
        const std::uint32_t raw = v;
        const std::uint32_t b = raw & 31, b8 = b << 3 | b >> 2;
        if constexpr (kTarget == FastTarget::R5G6B5) {
            const std::uint32_t r = raw >> 11, g = raw >> 5 & 63;
            return 0xFF000000u | (r << 3 | r >> 2) << 16 | (g << 2 | g >> 4) << 8 | b8;
        } else {
            const std::uint32_t r = raw >> 10 & 31, g = raw >> 5 & 31;
            return 0xFF000000u | (r << 3 | r >> 2) << 16 | (g << 3 | g >> 2) << 8 | b8;
        }
    }
}

// Alpha and add blends onto 16-bit targets, a row of pixels at a time: the
// channels unpacked, blended and packed in straight loops that the
// compiler runs several pixels at a time. The same arithmetic as
// BlendAlpha and BlendAdd: an add of d 255 / 255 is d itself.
template <FastTarget kTarget, FastBlend kBlend>
void BlendRow16(const std::uint32_t* colors, std::uint8_t* out, int n) {
    constexpr int kChunk = 64;
    constexpr bool k565 = kTarget == FastTarget::R5G6B5;
    for (int base = 0; base < n; base += kChunk) {
        const int m = std::min(kChunk, n - base);
        std::uint16_t pixels[kChunk];
        std::memcpy(pixels, out + static_cast<std::ptrdiff_t>(base) * 2, static_cast<std::size_t>(m) * 2);
        for (int k = 0; k < m; ++k) {
            const std::uint32_t c = colors[base + k], d = pixels[k];
            const std::uint32_t a = c >> 24;
            const std::uint32_t dr = k565 ? d >> 11 : d >> 10 & 31, db = d & 31;
            const std::uint32_t dg = k565 ? d >> 5 & 63 : d >> 5 & 31;
            const std::uint32_t r8 = dr << 3 | dr >> 2, b8 = db << 3 | db >> 2;
            const std::uint32_t g8 = k565 ? (dg << 2 | dg >> 4) : (dg << 3 | dg >> 2);
            std::uint32_t r, g, b;
            if constexpr (kBlend == FastBlend::Alpha) {
                r = Div255((c >> 16 & 0xFF) * a + r8 * (255 - a) + 127);
                g = Div255((c >> 8 & 0xFF) * a + g8 * (255 - a) + 127);
                b = Div255((c & 0xFF) * a + b8 * (255 - a) + 127);
            } else {
                r = std::min<std::uint32_t>(r8 + Div255((c >> 16 & 0xFF) * a + 127), 255);
                g = std::min<std::uint32_t>(g8 + Div255((c >> 8 & 0xFF) * a + 127), 255);
                b = std::min<std::uint32_t>(b8 + Div255((c & 0xFF) * a + 127), 255);
            }
            pixels[k] = static_cast<std::uint16_t>(k565 ? (r >> 3) << 11 | (g >> 2) << 5 | b >> 3
                                                        : (r >> 3) << 10 | (g >> 3) << 5 | b >> 3);
        }
        std::memcpy(out + static_cast<std::ptrdiff_t>(base) * 2, pixels, static_cast<std::size_t>(m) * 2);
    }
}

// An untextured flat blend (a fade or a tinted box) onto a 16-bit target:
// the source's share of each channel is the same for every pixel, and the
// whole sum fits 16 bits (at most 255 * 255 + 127), so the loop runs in
// 16-bit lanes, many pixels at a time. The arithmetic of BlendRow16.
inline std::uint16_t Div255x16(std::uint16_t t) {
    return static_cast<std::uint16_t>(static_cast<std::uint16_t>(t + 1 + (t >> 8)) >> 8);
}

template <FastTarget kTarget, FastBlend kBlend>
void FillBlendRow16(std::uint32_t c, std::uint8_t* out, int n) {
    constexpr int kChunk = 64;
    constexpr bool k565 = kTarget == FastTarget::R5G6B5;
    const std::uint32_t a = c >> 24;
    const auto na = static_cast<std::uint16_t>(255 - a);
    // Alpha: c a + 127, added to d (255 - a); add: what is added to d.
    std::uint16_t sr, sg, sb;
    if constexpr (kBlend == FastBlend::Alpha) {
        sr = static_cast<std::uint16_t>((c >> 16 & 0xFF) * a + 127);
        sg = static_cast<std::uint16_t>((c >> 8 & 0xFF) * a + 127);
        sb = static_cast<std::uint16_t>((c & 0xFF) * a + 127);
    } else {
        sr = static_cast<std::uint16_t>(Div255((c >> 16 & 0xFF) * a + 127));
        sg = static_cast<std::uint16_t>(Div255((c >> 8 & 0xFF) * a + 127));
        sb = static_cast<std::uint16_t>(Div255((c & 0xFF) * a + 127));
    }
    auto mix = [&](std::uint16_t d8, std::uint16_t share) -> std::uint16_t {
        if constexpr (kBlend == FastBlend::Alpha)
            return Div255x16(static_cast<std::uint16_t>(share + d8 * na));
        else
            return std::min<std::uint16_t>(static_cast<std::uint16_t>(d8 + share), 255);
    };
    for (int base = 0; base < n; base += kChunk) {
        const int m = std::min(kChunk, n - base);
        std::uint16_t pixels[kChunk];
        std::memcpy(pixels, out + static_cast<std::ptrdiff_t>(base) * 2, static_cast<std::size_t>(m) * 2);
        for (int k = 0; k < m; ++k) {
            const std::uint16_t d = pixels[k];
            const std::uint16_t dr = k565 ? d >> 11 : d >> 10 & 31, db = d & 31;
            const std::uint16_t dg = k565 ? d >> 5 & 63 : d >> 5 & 31;
            const auto r8 = static_cast<std::uint16_t>(dr << 3 | dr >> 2), b8 = static_cast<std::uint16_t>(db << 3 | db >> 2);
            const auto g8 = static_cast<std::uint16_t>(k565 ? (dg << 2 | dg >> 4) : (dg << 3 | dg >> 2));
            const std::uint16_t r = mix(r8, sr), g = mix(g8, sg), b = mix(b8, sb);
            pixels[k] = static_cast<std::uint16_t>(k565 ? (r >> 3) << 11 | (g >> 2) << 5 | b >> 3
                                                        : (r >> 3) << 10 | (g >> 3) << 5 | b >> 3);
        }
        std::memcpy(out + static_cast<std::ptrdiff_t>(base) * 2, pixels, static_cast<std::size_t>(m) * 2);
    }
}

// The span of an untextured flat alpha or add blend onto a 16-bit target;
// false for any other.
bool FillBlendSpan(const FastPlan& plan, std::uint32_t diffuse, std::uint8_t* out, int n) {
    if (plan.texel != FastTexel::None || plan.color != FastSource::Diffuse || plan.alpha != FastSource::Diffuse)
        return false;
    if (plan.blend != FastBlend::Alpha && plan.blend != FastBlend::Add) return false;
    if (plan.target == FastTarget::X8R8G8B8) return false;
    if (plan.alphaTest && !plan.alphaPasses[diffuse >> 24]) return true;
    const bool alpha = plan.blend == FastBlend::Alpha;
    if (plan.target == FastTarget::R5G6B5)
        alpha ? FillBlendRow16<FastTarget::R5G6B5, FastBlend::Alpha>(diffuse, out, n)
              : FillBlendRow16<FastTarget::R5G6B5, FastBlend::Add>(diffuse, out, n);
    else
        alpha ? FillBlendRow16<FastTarget::X1R5G5B5, FastBlend::Alpha>(diffuse, out, n)
              : FillBlendRow16<FastTarget::X1R5G5B5, FastBlend::Add>(diffuse, out, n);
    return true;
}

template <FastTarget kTarget, FastBlend kBlend, bool kTest>
void Write(const FastPlan& plan, const RasterPipeline& p, const std::uint32_t* colors, std::uint8_t* out, int n) {
    constexpr int kBytes = kTarget == FastTarget::X8R8G8B8 ? 4 : 2;
    if constexpr (!kTest && kBytes == 2 && (kBlend == FastBlend::Alpha || kBlend == FastBlend::Add)) {
        BlendRow16<kTarget, kBlend>(colors, out, n);
        return;
    }
    for (int i = 0; i < n; ++i, out += kBytes) {
        std::uint32_t c = colors[i];
        if constexpr (kTest)
            if (!plan.alphaPasses[c >> 24]) continue;
        if constexpr (kBlend == FastBlend::Alpha)
            c = BlendAlpha(c, ReadDest<kTarget>(out));
        else if constexpr (kBlend == FastBlend::Add)
            c = BlendAdd(c, ReadDest<kTarget>(out));
        else if constexpr (kBlend == FastBlend::General)
            c = BlendPixel(p.srcBlend, p.destBlend, c, ReadDest<kTarget>(out), false);
        Store<kTarget>(out, Encode<kTarget>(c));
    }
}

using WriteFn = void (*)(const FastPlan&, const RasterPipeline&, const std::uint32_t*, std::uint8_t*, int);

template <FastTarget kTarget, FastBlend kBlend>
WriteFn WriteFor(bool test) {
    return test ? Write<kTarget, kBlend, true> : Write<kTarget, kBlend, false>;
}

template <FastTarget kTarget>
WriteFn WriteFor(FastBlend blend, bool test) {
    switch (blend) {
        case FastBlend::None: return WriteFor<kTarget, FastBlend::None>(test);
        case FastBlend::Alpha: return WriteFor<kTarget, FastBlend::Alpha>(test);
        case FastBlend::Add: return WriteFor<kTarget, FastBlend::Add>(test);
        default: return WriteFor<kTarget, FastBlend::General>(test);
    }
}

WriteFn WriteFor(const FastPlan& plan) {
    switch (plan.target) {
        case FastTarget::R5G6B5: return WriteFor<FastTarget::R5G6B5>(plan.blend, plan.alphaTest);
        case FastTarget::X1R5G5B5: return WriteFor<FastTarget::X1R5G5B5>(plan.blend, plan.alphaTest);
        default: return WriteFor<FastTarget::X8R8G8B8>(plan.blend, plan.alphaTest);
    }
}

// Compare(func, a, ref) for every alpha a, as ranges.
void FillAlphaPasses(DWORD func, std::uint32_t ref, bool passes[256]) {
    auto fill = [&](std::uint32_t from, std::uint32_t to, bool value) {
        if (from < to) std::memset(passes + from, value, to - from);
    };
    const bool below = Compare(func, 0, 1), at = Compare(func, ref, ref), above = Compare(func, 1, 0);
    fill(0, ref, below);
    passes[ref] = at;
    fill(ref + 1, 256, above);
}

}  // namespace

bool PlanFastSpans(const RasterPipeline& p, FastPlan* plan) {
    if (!p.fastSpans) return false;
    if (p.zTest && p.target.zBits != nullptr) return false;
    if (!TargetOf(p.target.layout, &plan->target)) return false;
    if (p.target.layout.bitsPerPixel == 16 && p.target.decode16 == nullptr) return false;
    const RasterStage& st = p.stages[0];
    if (p.stageCount > 1) return false;
    const RasterTexture* texture = p.stageCount == 1 ? st.texture : nullptr;
    if (!TexelOf(texture, &plan->texel)) return false;
    if (texture != nullptr) {
        if (st.linear || (st.address != D_D3DTADDRESS_CLAMP && st.address != D_D3DTADDRESS_BORDER)) return false;
        if (p.colorKey && texture->hasKey) return false;
    }
    plan->texCoordSet = st.texCoordIndex == 0 ? 0 : 1;
    const bool hasTexture = texture != nullptr;
    if (p.stageCount == 0) {
        plan->color = plan->alpha = FastSource::Diffuse;
    } else {
        if (!SourceOf(st.colorOp, st.colorArg1, st.colorArg2, hasTexture, &plan->color)) return false;
        if (st.alphaOp == D_D3DTOP_DISABLE)
            plan->alpha = FastSource::Diffuse;
        else if (!SourceOf(st.alphaOp, st.alphaArg1, st.alphaArg2, hasTexture, &plan->alpha))
            return false;
    }
    if (!hasTexture) plan->texel = FastTexel::None;
    plan->blend = BlendOf(p);
    plan->alphaTest = p.alphaTest;
    FillAlphaPasses(p.alphaFunc, p.alphaRef & 0xFF, plan->alphaPasses);
    plan->convert = nullptr;
    plan->convertIsCopy = false;
    if (IsTexel16(plan->texel))
        plan->convert = ConvertTable16(texture->layout, p.target.layout, &plan->convertIsCopy);
    return true;
}

bool ShadeSpanFast(const FastPlan& plan, const RasterPipeline& p, const PrimSetup& s, int y, int x0, int x1) {
    if (s.gouraud || (s.kind != PrimKind::Quad && s.kind != PrimKind::Triangle)) return false;
    if (x1 <= x0) return true;
    if (ShadeSpanDirect(plan, p, s, y, x0, x1)) return true;
    ShadeSpanPasses(plan, p, s, y, x0, x1);
    return true;
}

void ShadeSpanPasses(const FastPlan& plan, const RasterPipeline& p, const PrimSetup& s, int y, int x0, int x1) {
    const int n = x1 - x0;
    const RasterTarget& t = p.target;
    std::uint8_t* out = t.bits + static_cast<std::ptrdiff_t>(y) * t.pitch +
                        static_cast<std::ptrdiff_t>(x0) * t.layout.BytesPerPixel();
    if (FillBlendSpan(plan, s.diffuse, out, n)) return;
    Scratch& scratch = ScratchForThread();
    if (scratch.texels.size() < static_cast<std::size_t>(n)) {
        scratch.texels.resize(static_cast<std::size_t>(n));
        scratch.colors.resize(static_cast<std::size_t>(n));
    }
    std::uint32_t* texels = scratch.texels.data();
    std::uint32_t* colors = scratch.colors.data();
    const RasterTexture* texture = p.stages[0].texture;
    const int set = plan.texCoordSet;
    switch (plan.texel) {
        case FastTexel::Table16: Fetch<FastTexel::Table16>(*texture, s, set, y, x0, n, texels); break;
        case FastTexel::A1R5G5B5: Fetch<FastTexel::A1R5G5B5>(*texture, s, set, y, x0, n, texels); break;
        case FastTexel::R5G6B5: Fetch<FastTexel::R5G6B5>(*texture, s, set, y, x0, n, texels); break;
        case FastTexel::X1R5G5B5: Fetch<FastTexel::X1R5G5B5>(*texture, s, set, y, x0, n, texels); break;
        case FastTexel::A4R4G4B4: Fetch<FastTexel::A4R4G4B4>(*texture, s, set, y, x0, n, texels); break;
        case FastTexel::A8R8G8B8: Fetch<FastTexel::A8R8G8B8>(*texture, s, set, y, x0, n, texels); break;
        case FastTexel::X8R8G8B8: Fetch<FastTexel::X8R8G8B8>(*texture, s, set, y, x0, n, texels); break;
        default: break;
    }
    CombineFor(plan.color, plan.alpha)(texels, s.diffuse, n, colors);
    WriteFor(plan)(plan, p, colors, out, n);
}

void DrawLineFast(const FastPlan& plan, const RasterPipeline& p, const PrimSetup& s) {
    // The reference's walk from the first end to the second, both ends
    // drawn; the pixels of a row that follow one another go as one span of
    // the line's flat colour.
    PrimSetup span{};
    span.kind = PrimKind::Triangle;
    span.diffuse = s.lineStart->diffuse;
    span.specular = s.lineStart->specular;
    int x = s.lineX0, y = s.lineY0;
    const int dx = std::abs(s.lineX1 - s.lineX0), dy = -std::abs(s.lineY1 - s.lineY0);
    const int sx = s.lineX0 < s.lineX1 ? 1 : -1, sy = s.lineY0 < s.lineY1 ? 1 : -1;
    int error = dx + dy;
    int runStart = x, runEnd = x, runY = y;  // [min, max] of the run's columns
    bool open = false;
    auto flush = [&] {
        if (!open) return;
        open = false;
        if (runY < p.clip.top || runY >= p.clip.bottom) return;
        const int x0 = std::max<int>(runStart, p.clip.left), x1 = std::min<int>(runEnd + 1, p.clip.right);
        if (x0 < x1) ShadeSpanFast(plan, p, span, runY, x0, x1);
    };
    for (;;) {
        if (open && y == runY && (x == runEnd + 1 || x == runStart - 1)) {
            runStart = std::min(runStart, x);
            runEnd = std::max(runEnd, x);
        } else {
            flush();
            runStart = runEnd = x;
            runY = y;
            open = true;
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
    flush();
}
