#include "softrender/sampled/sampled_frame.h"

#include <algorithm>

#include "softrender/blit_frame_setup.h"
#include "softrender/packed_math.h"
#include "softrender/render_tables.h"

SampledRunFn PrepareSampledDraw(const MEMIMG* dest, const MEMIMG* src, int transparent, const MEMIMG* blendMask,
                                const SoftDrawSettings& settings, SampledFrame* frame) {
    if (!BlitImagesDrawable(dest, src, blendMask)) return nullptr;
    if (src->width <= 0 || src->height <= 0) return nullptr;
    // The mask is read at the source's texel positions, so it must cover
    // the whole source.
    if (blendMask != nullptr && (blendMask->width < src->width || blendMask->height < src->height)) return nullptr;

    // A parameter of 0 draws nothing in alpha, add and subtract, for
    // paletted sources as for all others.
    BlitLoopKind kind;
    if (!BlitKindFor(*src, settings, transparent, blendMask != nullptr, &kind)) return nullptr;
    DropUnmatchableKey(*src, &kind);

    const std::uint32_t p = std::min<std::uint32_t>(settings.blendParam, 255);
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
    if (src->paletted) CopyBlitPalette(*src, f.palette);
    return src->kind == kMemImgKind888 ? SelectSampledRun32(kind) : SelectSampledRun16(kind);
}
