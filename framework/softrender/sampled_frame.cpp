#include "softrender/sampled_frame.h"

#include <algorithm>

#include "softrender/memimg_layout.h"
#include "softrender/packed_math.h"
#include "softrender/render_tables.h"

SampledRunFn PrepareSampledDraw(const MEMIMG* dest, const MEMIMG* src, int transparent, const MEMIMG* blendMask,
                                const SoftDrawSettings& settings, SampledFrame* frame) {
    if (!MemImgUsable(dest) || !MemImgUsable(src)) return nullptr;
    if (dest->kind != src->kind || dest->paletted || dest->alphaChannel) return nullptr;
    if (src->kind != kMemImgKind565 && src->kind != kMemImgKind888) return nullptr;
    if (!MemImgStepMatchesFormat(*dest) || !MemImgStepMatchesFormat(*src)) return nullptr;
    if (src->width <= 0 || src->height <= 0) return nullptr;
    // The mask is read at the source's texel positions, so it must cover
    // the whole source.
    if (blendMask != nullptr &&
        (blendMask->pixels == nullptr || blendMask->width < src->width || blendMask->height < src->height))
        return nullptr;

    // A parameter of 0 draws nothing in alpha, add and subtract, for
    // paletted sources as for all others.
    std::uint32_t mode, p;
    if (!DrawingBlendMode(settings, &mode, &p)) return nullptr;

    const bool is32 = src->kind == kMemImgKind888;
    const bool paletted = src->paletted != 0;
    BlitLoopKind kind = PlainLoopKindFor(*src, mode, blendMask != nullptr, settings.brightColor, transparent);
    // A key no texel can hold (an index above 255, a 16-bit key above
    // 0xFFFF) skips nothing, so the loop without the test gives the same.
    const std::uint32_t widest = paletted ? 0xFF : (is32 ? 0xFFFFFFFF : 0xFFFF);
    if (kind.trans && !kind.alpha && src->transparentColor > widest) kind.trans = false;

    SampledFrame& f = *frame;
    f.src = src->pixels;
    f.srcPitch = src->pitch;
    f.limitU = std::int64_t{src->width} << kTexelShift;
    f.limitV = std::int64_t{src->height} << kTexelShift;
    f.mask = blendMask != nullptr ? blendMask->pixels : nullptr;
    f.maskPitch = blendMask != nullptr ? static_cast<std::ptrdiff_t>(blendMask->pitch) : 0;
    f.maskWeights = MaskWeightTable.data();
    f.key = src->transparentColor;
    f.param = p;
    f.paramRow = ProductTable255[p].data();
    f.diffRow = BlendParamRow(p);
    f.brightRowRed = ProductTable255[BrightRed(settings.brightColor)].data();
    f.brightRowGreen = ProductTable255[BrightGreen(settings.brightColor)].data();
    f.brightRowBlue = ProductTable255[BrightBlue(settings.brightColor)].data();
    if (paletted) CopyPaletteForDraw(*src, f.palette);
    return is32 ? SelectSampledRun32(kind) : SelectSampledRun16(kind);
}
