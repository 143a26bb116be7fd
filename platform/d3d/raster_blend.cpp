// Runs of a quad's texels whose alpha is the same for all of them (a
// sprite's opaque runs under a blend parameter, its clear runs under an
// add): fetched, modulated by the diffuse colour, blended with the target
// and written in one straight loop over the run. The pixels of the passes
// (and of the reference pipeline): the same channel arithmetic, with the
// alpha known beforehand.
#include <algorithm>
#include <cstring>

#include "d3d/raster_internal.h"

namespace {

// The colour channels of a texel, widened to 8 bits.
template <FastTexel kTexel>
void TexelChannels(const std::uint8_t* p, std::uint32_t* r, std::uint32_t* g, std::uint32_t* b) {
    if constexpr (kTexel == FastTexel::A8R8G8B8 || kTexel == FastTexel::X8R8G8B8) {
        std::uint32_t raw;
        std::memcpy(&raw, p, 4);
        *r = raw >> 16 & 0xFF;
        *g = raw >> 8 & 0xFF;
        *b = raw & 0xFF;
    } else {
        std::uint16_t v;
        std::memcpy(&v, p, 2);
        const std::uint32_t raw = v;
        if constexpr (kTexel == FastTexel::R5G6B5) {
            *r = Widen5(raw >> 11);
            *g = Widen6(raw >> 5 & 63);
            *b = Widen5(raw & 31);
        } else if constexpr (kTexel == FastTexel::A4R4G4B4) {
            *r = (raw >> 8 & 15) * 17;
            *g = (raw >> 4 & 15) * 17;
            *b = (raw & 15) * 17;
        } else {
            *r = Widen5(raw >> 10 & 31);
            *g = Widen5(raw >> 5 & 31);
            *b = Widen5(raw & 31);
        }
    }
}

// A target pixel's channels: those of the texel of the same layout.
template <FastTarget kTarget>
void TargetChannels(const std::uint8_t* p, std::uint32_t* r, std::uint32_t* g, std::uint32_t* b) {
    constexpr FastTexel kSame = kTarget == FastTarget::X8R8G8B8 ? FastTexel::X8R8G8B8
                                : kTarget == FastTarget::R5G6B5 ? FastTexel::R5G6B5
                                                                : FastTexel::X1R5G5B5;
    TexelChannels<kSame>(p, r, g, b);
}

template <FastTarget kTarget>
void StoreChannels(std::uint8_t* p, std::uint32_t r, std::uint32_t g, std::uint32_t b) {
    if constexpr (kTarget == FastTarget::X8R8G8B8) {
        const std::uint32_t v = r << 16 | g << 8 | b;
        std::memcpy(p, &v, 4);
    } else {
        const std::uint16_t v = static_cast<std::uint16_t>(
            kTarget == FastTarget::R5G6B5 ? (r >> 3) << 11 | (g >> 2) << 5 | b >> 3 : (r >> 3) << 10 | (g >> 3) << 5 | b >> 3);
        std::memcpy(p, &v, 2);
    }
}

// One channel: the texel's modulated by the diffuse's, blended.
template <FastBlend kBlend>
std::uint32_t Mix(std::uint32_t texel, std::uint32_t diffuse, std::uint32_t dest, std::uint32_t a) {
    const std::uint32_t s = Div255(texel * diffuse + 127);
    if constexpr (kBlend == FastBlend::Alpha)
        return Div255(s * a + dest * (255 - a) + 127);
    else if constexpr (kBlend == FastBlend::Add)
        return std::min<std::uint32_t>(dest + Div255(s * a + 127), 255);
    else
        return s;
}

template <FastTexel kTexel, FastTarget kTarget, FastBlend kBlend>
void BlendRun(const std::uint8_t* row, const int* columns, bool run, std::uint8_t* out, int n, std::uint32_t diffuse,
              std::uint32_t alpha) {
    constexpr int kIn = kTexel == FastTexel::A8R8G8B8 || kTexel == FastTexel::X8R8G8B8 ? 4 : 2;
    constexpr int kOut = kTarget == FastTarget::X8R8G8B8 ? 4 : 2;
    const std::uint32_t dr = diffuse >> 16 & 0xFF, dg = diffuse >> 8 & 0xFF, db = diffuse & 0xFF;
    for (int k = 0; k < n; ++k) {
        const std::uint8_t* in = row + static_cast<std::ptrdiff_t>(run ? columns[0] + k : columns[k]) * kIn;
        std::uint32_t tr, tg, tb, r, g, b;
        TexelChannels<kTexel>(in, &tr, &tg, &tb);
        std::uint8_t* to = out + static_cast<std::ptrdiff_t>(k) * kOut;
        if constexpr (kBlend != FastBlend::None) TargetChannels<kTarget>(to, &r, &g, &b);
        r = Mix<kBlend>(tr, dr, r, alpha);
        g = Mix<kBlend>(tg, dg, g, alpha);
        b = Mix<kBlend>(tb, db, b, alpha);
        StoreChannels<kTarget>(to, r, g, b);
    }
}

using BlendRunFn = void (*)(const std::uint8_t*, const int*, bool, std::uint8_t*, int, std::uint32_t, std::uint32_t);

template <FastTexel kTexel, FastTarget kTarget>
BlendRunFn BlendRunFor(FastBlend blend) {
    switch (blend) {
        case FastBlend::None: return BlendRun<kTexel, kTarget, FastBlend::None>;
        case FastBlend::Alpha: return BlendRun<kTexel, kTarget, FastBlend::Alpha>;
        case FastBlend::Add: return BlendRun<kTexel, kTarget, FastBlend::Add>;
        default: return nullptr;
    }
}

template <FastTexel kTexel>
BlendRunFn BlendRunFor(FastTarget target, FastBlend blend) {
    switch (target) {
        case FastTarget::R5G6B5: return BlendRunFor<kTexel, FastTarget::R5G6B5>(blend);
        case FastTarget::X1R5G5B5: return BlendRunFor<kTexel, FastTarget::X1R5G5B5>(blend);
        default: return BlendRunFor<kTexel, FastTarget::X8R8G8B8>(blend);
    }
}

}  // namespace

bool CanBlendRuns(const FastPlan& plan) {
    const bool texel = plan.texel == FastTexel::A1R5G5B5 || plan.texel == FastTexel::X1R5G5B5 ||
                       plan.texel == FastTexel::R5G6B5 || plan.texel == FastTexel::A4R4G4B4 ||
                       plan.texel == FastTexel::A8R8G8B8 || plan.texel == FastTexel::X8R8G8B8;
    const bool color = plan.color == FastSource::Texel || plan.color == FastSource::Modulate;
    return texel && color &&
           (plan.blend == FastBlend::None || plan.blend == FastBlend::Alpha || plan.blend == FastBlend::Add);
}

void BlendQuadRun(const FastPlan& plan, const RasterPipeline& p, const PrimSetup& s, int y, int i, int j,
                  std::uint32_t alpha) {
    BlendRunFn fn = nullptr;
    switch (plan.texel) {
        case FastTexel::A1R5G5B5:
        case FastTexel::X1R5G5B5: fn = BlendRunFor<FastTexel::A1R5G5B5>(plan.target, plan.blend); break;
        case FastTexel::R5G6B5: fn = BlendRunFor<FastTexel::R5G6B5>(plan.target, plan.blend); break;
        case FastTexel::A4R4G4B4: fn = BlendRunFor<FastTexel::A4R4G4B4>(plan.target, plan.blend); break;
        default: fn = BlendRunFor<FastTexel::A8R8G8B8>(plan.target, plan.blend); break;
    }
    const RasterTexture& t = *p.stages[0].texture;
    const std::uint8_t* row = t.bits + static_cast<std::ptrdiff_t>(s.rows[y - s.top]) * t.pitch;
    const RasterTarget& target = p.target;
    const int bytes = target.layout.BytesPerPixel();
    std::uint8_t* out = target.bits + static_cast<std::ptrdiff_t>(y) * target.pitch +
                        static_cast<std::ptrdiff_t>(s.left + i) * bytes;
    // The texel colour alone is the texel times white.
    const std::uint32_t diffuse = plan.color == FastSource::Texel ? 0xFFFFFFu : s.diffuse;
    fn(row, s.columns + i, s.columnsRun, out, j - i, diffuse, alpha);
}
