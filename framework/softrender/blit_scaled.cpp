// The frame of the scaled blit: corners, the hand-off of the unscaled case,
// the 16.16 scales, clipping and where the source starts after it,
// mirroring, and the choice of the one loop that draws.
//
// Destination column j of a row, counted from the rectangle's unclipped left
// edge, shows source column floor(j * 65536 / x scale), counted from the
// source's left edge, or from its right edge when mirrored; rows likewise.
// The loops step there with accumulators instead of dividing: a clipped
// edge starts them where the unclipped draw would have them, so clipping
// never shifts the image. Every set-up value is worked out in 64 bits.
#include "softrender/blit_scaled.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "core/system_state.h"
#include "softrender/blit_frame_setup.h"
#include "softrender/blit_memimg.h"
#include "softrender/blit_scaled_frame.h"

namespace {

// Sizes and offsets stay below this, so that every 16.16 value fits 32 bits
// as the stepping expects.
constexpr std::int64_t kSizeLimit = 32768;

// The column table and row buffers, kept between calls so that drawing
// allocates only when a wider rectangle than ever before comes along.
struct ScaledScratch {
    std::vector<std::int32_t> columns;
    std::vector<std::uint8_t> row, mask;
};

ScaledScratch& ScratchFor(int width) {
    thread_local ScaledScratch scratch;
    const auto n = static_cast<std::size_t>(width);
    if (scratch.columns.size() < n) {
        scratch.columns.resize(n);
        scratch.row.resize(n * 4);
        scratch.mask.resize(n);
    }
    return scratch;
}

struct Axis {
    std::int64_t low = 0, high = 0;  // the rectangle's edges, high exclusive
    bool mirrored = false;
};

Axis AxisOf(int a, int b) {
    Axis axis;
    axis.low = std::min(a, b);
    axis.high = std::max(a, b);
    axis.mirrored = a > b;
    return axis;
}

}  // namespace

void DrawExtendMemImg(MEMIMG* dest, const MEMIMG* src, const int corners[4], int transparent,
                      const MEMIMG* blendMask) {
    DrawExtendMemImg(dest, src, corners, transparent, blendMask, CurrentSoftDrawSettings(),
                     g_SystemState.mmxAvailable);
}

void DrawExtendMemImg(MEMIMG* dest, const MEMIMG* src, const int corners[4], int transparent,
                      const MEMIMG* blendMask, const SoftDrawSettings& settings, int mmxForms) {
    if (corners == nullptr || !BlitImagesDrawable(dest, src, blendMask)) return;
    const Axis across = AxisOf(corners[0], corners[2]), down = AxisOf(corners[1], corners[3]);
    const std::int64_t dw = across.high - across.low, dh = down.high - down.low;
    if (dw == 0 || dh == 0) return;

    // The source's own size, not mirrored: the unscaled blit.
    if (dw == src->width && dh == src->height && !across.mirrored && !down.mirrored) {
        BlitMemImg(dest, src, static_cast<int>(across.low), static_cast<int>(down.low), transparent, blendMask,
                   settings, mmxForms);
        return;
    }
    if (src->width < 1 || src->height < 1 || src->width >= kSizeLimit || src->height >= kSizeLimit) return;
    if (dw >= kSizeLimit || dh >= kSizeLimit) return;
    // The mask walks with the source over all of it.
    if (blendMask != nullptr && (blendMask->width < src->width || blendMask->height < src->height)) return;

    const std::int64_t xScale = (dw << 16) / src->width, yScale = (dh << 16) / src->height;

    // Clipped to the draw area, itself kept inside the destination.
    RECT area;
    if (!ClipDrawAreaToImage(settings, dest->width, dest->height, &area)) return;
    const std::int64_t left = std::max<std::int64_t>(across.low, area.left);
    const std::int64_t right = std::min<std::int64_t>(across.high, area.right);
    const std::int64_t top = std::max<std::int64_t>(down.low, area.top);
    const std::int64_t bottom = std::min<std::int64_t>(down.high, area.bottom);
    if (right <= left || bottom <= top) return;
    const int cw = static_cast<int>(right - left), ch = static_cast<int>(bottom - top);

    // Whole source pixels passed over by the clipping, and what is left of
    // the next one.
    const std::int64_t skipX = ((left - across.low) << 16) / xScale;
    const std::int64_t restX = ((left - across.low) << 16) % xScale;
    const std::int64_t skipY = ((top - down.low) << 16) / yScale;
    const std::int64_t restY = ((top - down.low) << 16) % yScale;

    BlitLoopKind kind;
    if (!BlitKindFor(*src, settings, transparent, blendMask != nullptr, &kind)) return;
    kind.scaled = true;
    DropUnmatchableKey(*src, &kind);
    const bool is32 = src->kind == kMemImgKind888;
    if (kind.mode == 3 && !kind.mask && !kind.bright && !kind.alpha && std::min(settings.blendParam, 255u) == 255)
        kind.special = is32 && mmxForms ? BlitSpecial::kFullStrengthMmx : BlitSpecial::kFullStrength;
    const ScaledLoopFn loop = is32 ? SelectScaledLoop32(kind) : SelectScaledLoop16(kind);
    if (loop == nullptr) return;

    ScaledScratch& scratch = ScratchFor(cw);
    ScaledBlitFrame frame;
    BlitFrame& f = frame.pixels;
    f.width = cw;
    f.height = ch;
    const std::int64_t firstColumn = across.mirrored ? src->width - 1 - skipX : skipX;
    const std::int64_t firstRow = down.mirrored ? src->height - 1 - skipY : skipY;
    const std::ptrdiff_t srcPitch = src->pitch;
    f.srcPitch = down.mirrored ? -srcPitch : srcPitch;
    f.src = src->pixels + firstRow * srcPitch + firstColumn * BlitLayoutBytes(*src);
    f.destPitch = dest->pitch;
    f.dest = dest->pixels + top * f.destPitch + left * BlitLayoutBytes(*dest);
    if (blendMask != nullptr) {
        const std::ptrdiff_t maskPitch = blendMask->pitch;
        f.maskPitch = down.mirrored ? -maskPitch : maskPitch;
        f.mask = blendMask->pixels + firstRow * maskPitch + firstColumn;
    }
    FillBlitValues(*src, settings, blendMask != nullptr, &f);

    // The source column of each destination column, by the column
    // accumulator every row starts with.
    std::int32_t* columns = scratch.columns.data();
    const std::int32_t step = across.mirrored ? -1 : 1;
    std::int64_t accumulator = xScale - restX;
    std::int32_t column = 0;
    for (int j = 0; j < cw; ++j) {
        columns[j] = column;
        accumulator -= 0x10000;
        while (accumulator <= 0) {
            column += step;
            accumulator += xScale;
        }
    }
    frame.columns = columns;
    if (xScale == 0x10000) frame.unitColumns = step;
    frame.yScale = yScale;
    frame.rowStart = yScale - restY;
    frame.rowBuffer = scratch.row.data();
    frame.maskBuffer = scratch.mask.data();

    loop(frame);
    // The destination's pixels changed: its run list and premultiplied copy
    // no longer describe them.
    InvalidateMemImgDerived(dest);
}
