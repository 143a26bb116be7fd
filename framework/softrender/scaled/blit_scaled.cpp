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
#include "softrender/scaled/blit_scaled.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "core/system_state.h"
#include "softrender/blit/blit_memimg.h"
#include "softrender/blit_frame_setup.h"
#include "softrender/scaled/blit_scaled_frame.h"

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

// Where a draw lands and what it reads, along one axis.
struct Stepping {
    std::int64_t scale = 0;        // 16.16 destination pixels per source pixel
    std::int64_t from = 0, to = 0; // the clipped destination span
    std::int64_t skip = 0, rest = 0;  // source pixels passed over by the clipping, and what is left of the next
    std::int64_t first = 0, last = 0; // the source pixels read, in the source's own order
};

// False when nothing is drawn along the axis, or its sizes are out of range.
bool StepAxis(const Axis& axis, int sourceSize, LONG clipLow, LONG clipHigh, Stepping* s) {
    const std::int64_t size = axis.high - axis.low;
    if (size < 1 || size >= kSizeLimit || sourceSize < 1 || sourceSize >= kSizeLimit) return false;
    // At the source's own size (a mirrored draw) every division below is
    // by 0x10000 of a value that is not negative: a shift. Mirrored draws
    // are many and small, and a 64-bit division is slow.
    const bool unit = size == sourceSize;
    s->scale = unit ? 0x10000 : (size << 16) / sourceSize;
    s->from = std::max<std::int64_t>(axis.low, clipLow);
    s->to = std::min<std::int64_t>(axis.high, clipHigh);
    if (s->to <= s->from) return false;
    const std::int64_t offset = (s->from - axis.low) << 16;
    s->skip = unit ? offset >> 16 : offset / s->scale;
    s->rest = unit ? 0 : offset % s->scale;
    // The last visible destination pixel shows this many pixels in.
    const std::int64_t end = unit ? s->to - 1 - axis.low : ((s->to - 1 - axis.low) << 16) / s->scale;
    s->first = axis.mirrored ? sourceSize - 1 - end : s->skip;
    s->last = axis.mirrored ? sourceSize - 1 - s->skip : end;
    return true;
}

// 1 when columns[j] is j / 2 for every column, 2 when it is (j + 1) / 2,
// else 0: a source row drawn at twice its width, which the wide loops build
// without the table.
int DoubledColumns(const std::int32_t* columns, int n) {
    for (int phase = 0; phase < 2; ++phase) {
        int j = 0;
        while (j < n && columns[j] == (j + phase) >> 1) ++j;
        if (j == n) return phase + 1;
    }
    return 0;
}

}  // namespace

void DrawExtendMemImg(MEMIMG* dest, const MEMIMG* src, const int corners[4], int transparent,
                      const MEMIMG* blendMask) {
    DrawExtendMemImg(dest, src, corners, transparent, blendMask, CurrentSoftDrawSettings(),
                     g_SystemState.mmxAvailable);
}

void DrawExtendMemImg(MEMIMG* dest, const MEMIMG* src, const int corners[4], int transparent,
                      const MEMIMG* blendMask, const SoftDrawSettings& settings, int mmxForms) {
    if (src == nullptr) return;
    DrawExtendMemImg(dest, src, src->width, src->height, corners, transparent, blendMask, settings, mmxForms);
}

bool ScaledSourceRect(int sourceWidth, int sourceHeight, const int corners[4], const RECT& clip, RECT* read) {
    if (corners == nullptr) return false;
    Stepping x, y;
    if (!StepAxis(AxisOf(corners[0], corners[2]), sourceWidth, clip.left, clip.right, &x) ||
        !StepAxis(AxisOf(corners[1], corners[3]), sourceHeight, clip.top, clip.bottom, &y))
        return false;
    *read = RECT{static_cast<LONG>(x.first), static_cast<LONG>(y.first), static_cast<LONG>(x.last + 1),
                 static_cast<LONG>(y.last + 1)};
    return true;
}

void DrawExtendMemImg(MEMIMG* dest, const MEMIMG* src, int sourceWidth, int sourceHeight, const int corners[4],
                      int transparent, const MEMIMG* blendMask, const SoftDrawSettings& settings, int mmxForms) {
    if (corners == nullptr || !BlitImagesDrawable(dest, src, blendMask)) return;
    const Axis across = AxisOf(corners[0], corners[2]), down = AxisOf(corners[1], corners[3]);
    const std::int64_t dw = across.high - across.low, dh = down.high - down.low;
    if (dw == 0 || dh == 0) return;

    // The source's own size, not mirrored: the unscaled blit.
    if (dw == sourceWidth && dh == sourceHeight && !across.mirrored && !down.mirrored) {
        BlitMemImg(dest, src, static_cast<int>(across.low), static_cast<int>(down.low), transparent, blendMask,
                   settings, mmxForms);
        return;
    }
    // Clipped to the draw area, itself kept inside the destination.
    RECT area;
    if (!ClipDrawAreaToImage(settings, dest->width, dest->height, &area)) return;
    Stepping x, y;
    if (!StepAxis(across, sourceWidth, area.left, area.right, &x) || !StepAxis(down, sourceHeight, area.top, area.bottom, &y))
        return;
    // Everything read must lie in the source, and under the blend mask,
    // which walks with it.
    if (x.last >= src->width || y.last >= src->height) return;
    if (blendMask != nullptr && (x.last >= blendMask->width || y.last >= blendMask->height)) return;

    BlitLoopKind kind;
    if (!BlitKindFor(*src, settings, transparent, blendMask != nullptr, &kind)) return;
    kind.scaled = true;
    DropUnmatchableKey(*src, &kind);
    const bool is32 = src->kind == kMemImgKind888;
    if (kind.mode == 3 && !kind.mask && !kind.bright && !kind.alpha && std::min(settings.blendParam, 255u) == 255)
        kind.special = is32 && mmxForms ? BlitSpecial::kFullStrengthMmx : BlitSpecial::kFullStrength;
    ScaledLoopFn loop = is32 ? SelectScaledLoop32(kind) : SelectScaledLoop16(kind);
    if (BlitWideMovesInUse()) {
        if (ScaledLoopFn wide = SelectWideScaledCopyLoop(kind)) loop = wide;
    }
    if (loop == nullptr) return;

    const int cw = static_cast<int>(x.to - x.from), ch = static_cast<int>(y.to - y.from);
    ScaledScratch& scratch = ScratchFor(cw);
    ScaledBlitFrame frame;
    BlitFrame& f = frame.pixels;
    f.width = cw;
    f.height = ch;
    // The first source pixel drawn: skip pixels in from the left (top) edge,
    // or from the right (bottom) edge when mirrored.
    const std::int64_t firstColumn = across.mirrored ? sourceWidth - 1 - x.skip : x.skip;
    const std::int64_t firstRow = down.mirrored ? sourceHeight - 1 - y.skip : y.skip;
    const std::ptrdiff_t srcPitch = src->pitch;
    f.srcPitch = down.mirrored ? -srcPitch : srcPitch;
    f.src = src->pixels + firstRow * srcPitch + firstColumn * BlitLayoutBytes(*src);
    f.destPitch = dest->pitch;
    f.dest = dest->pixels + y.from * f.destPitch + x.from * BlitLayoutBytes(*dest);
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
    if (x.scale == 0x10000) {
        // At the source's own width the clipping leaves no remainder and
        // each column steps once: the table is j (or -j), filled straight.
        for (int j = 0; j < cw; ++j) columns[j] = j * step;
    } else {
        std::int64_t accumulator = x.scale - x.rest;
        std::int32_t column = 0;
        for (int j = 0; j < cw; ++j) {
            columns[j] = column;
            accumulator -= 0x10000;
            while (accumulator <= 0) {
                column += step;
                accumulator += x.scale;
            }
        }
    }
    frame.columns = columns;
    if (x.scale == 0x10000) frame.unitColumns = step;
    if (!across.mirrored) frame.doubledColumns = DoubledColumns(columns, cw);
    frame.yScale = y.scale;
    frame.rowStart = y.scale - y.rest;
    frame.rowBuffer = scratch.row.data();
    frame.maskBuffer = scratch.mask.data();

    loop(frame);
    // The destination's pixels changed: its run list and premultiplied copy
    // no longer describe them.
    InvalidateMemImgDerived(dest);
}
