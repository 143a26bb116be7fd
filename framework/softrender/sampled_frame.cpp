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

    std::uint32_t mode = settings.blendMode;
    const std::uint32_t p = std::min<std::uint32_t>(settings.blendParam, 255);
    if (mode > 4) return nullptr;
    if (mode == 1 && p == 255) mode = 0;  // alpha at full weight is the copy
    // A parameter of 0 draws nothing in alpha, add and subtract, for
    // paletted sources as for all others.
    if (mode >= 1 && mode <= 3 && p == 0) return nullptr;

    const bool is32 = src->kind == kMemImgKind888;
    const bool paletted = src->paletted != 0;
    BlitLoopKind kind;
    kind.family = SourceFamily(*src);
    kind.mode = static_cast<std::uint8_t>(mode);
    kind.mask = blendMask != nullptr;
    kind.bright = !IsBrightWhite(settings.brightColor);
    kind.alpha = !paletted && src->alphaChannel != 0;
    kind.trans = transparent != 0;
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
