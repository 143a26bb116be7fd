// The frame of the unscaled blit: checks, clipping, the values worked out
// once per call, and the choice of the one loop that draws.
#include "softrender/blit_memimg.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "core/system_state.h"
#include "softrender/blit_frame.h"
#include "softrender/memimg_layout.h"
#include "softrender/packed_math.h"
#include "softrender/render_tables.h"

namespace {

// -1 until the processor has been asked.
int g_WideMoves = -1;

bool WideMoves() {
    if (g_WideMoves < 0) g_WideMoves = WideMovesAvailable() ? 1 : 0;
    return g_WideMoves != 0;
}

}  // namespace

void SetBlitMemImgWideMoves(int allowed) { g_WideMoves = allowed && WideMovesAvailable() ? 1 : 0; }

void BlitMemImg(MEMIMG* dest, const MEMIMG* src, int x, int y, int transparent, const MEMIMG* blendMask) {
    BlitMemImg(dest, src, x, y, transparent, blendMask, CurrentSoftDrawSettings(), g_SystemState.mmxAvailable);
}

void BlitMemImg(MEMIMG* dest, const MEMIMG* src, int x, int y, int transparent, const MEMIMG* blendMask,
                const SoftDrawSettings& settings, int mmxForms) {
    if (!MemImgUsable(dest) || !MemImgUsable(src)) return;
    if (blendMask != nullptr && blendMask->pixels == nullptr) return;
    // Both 16-bit or both 32-bit; no conversion happens here.
    if (dest->kind != src->kind) return;
    if (dest->paletted || dest->alphaChannel) return;
    if (src->kind != kMemImgKind565 && src->kind != kMemImgKind888) return;
    // The loops step by fixed pixel sizes; an image whose format disagrees
    // would be walked past its rows.
    if (!MemImgStepMatchesFormat(*dest) || !MemImgStepMatchesFormat(*src)) return;

    // The source's rectangle clipped to the draw area, which is itself kept
    // inside the destination: the visible part that ClipRectToRect leaves,
    // worked out here in 64 bits so that no edge can wrap.
    const RECT& area = settings.drawArea;
    const std::int64_t left = std::max<std::int64_t>({x, area.left, 0});
    const std::int64_t top = std::max<std::int64_t>({y, area.top, 0});
    const std::int64_t right = std::min<std::int64_t>({std::int64_t{x} + src->width, area.right, dest->width});
    const std::int64_t bottom = std::min<std::int64_t>({std::int64_t{y} + src->height, area.bottom, dest->height});
    if (right <= left || bottom <= top) return;
    const int w = static_cast<int>(right - left), h = static_cast<int>(bottom - top);
    const int ox = static_cast<int>(left - x), oy = static_cast<int>(top - y);
    // The mask must cover the visible part of the source.
    if (blendMask != nullptr && (std::int64_t{ox} + w > blendMask->width || std::int64_t{oy} + h > blendMask->height))
        return;

    std::uint32_t mode, p;
    if (!DrawingBlendMode(settings, &mode, &p)) return;

    const bool is32 = src->kind == kMemImgKind888;
    const bool paletted = src->paletted != 0;
    BlitLoopKind kind = PlainLoopKindFor(*src, mode, blendMask != nullptr, settings.brightColor, transparent);
    kind.runList = transparent == 1 && src->runTableValid == 1 && src->runTable != nullptr && w == src->width &&
                   h == src->height;

    BlitFrame frame;
    frame.width = w;
    frame.height = h;
    frame.srcPitch = src->pitch;
    frame.src = src->pixels + static_cast<std::ptrdiff_t>(oy) * frame.srcPitch +
                static_cast<std::ptrdiff_t>(ox) * MemImgStepBytes(*src);
    frame.destPitch = dest->pitch;
    frame.dest = dest->pixels + static_cast<std::ptrdiff_t>(top) * frame.destPitch +
                 static_cast<std::ptrdiff_t>(left) * MemImgStepBytes(*dest);
    if (blendMask != nullptr) {
        frame.maskPitch = blendMask->pitch;
        frame.mask = blendMask->pixels + static_cast<std::ptrdiff_t>(oy) * frame.maskPitch + ox;
        frame.maskWeights = MaskWeightTable.data();
    }
    if (kind.trans && src->runTableValid == 1 && src->runTable != nullptr) {
        frame.runList = src->runTable;
        frame.runRowWidth = src->width;
        frame.runLeft = ox;
        frame.runTop = oy;
    }
    frame.key = src->transparentColor;
    frame.param = p;
    frame.brightRed = BrightRed(settings.brightColor);
    frame.brightGreen = BrightGreen(settings.brightColor);
    frame.brightBlue = BrightBlue(settings.brightColor);
    frame.brightRowRed = ProductTable255[frame.brightRed].data();
    frame.brightRowGreen = ProductTable255[frame.brightGreen].data();
    frame.brightRowBlue = ProductTable255[frame.brightBlue].data();
    frame.paramRow = ProductTable255[p].data();
    frame.diffRow = BlendParamRow(p);
    frame.levelBlock = &LevelTable63[p / 4];
    if (paletted) CopyPaletteForDraw(*src, frame.palette);

    BlitLoopFn loop = nullptr;
    if (kind.runList) {
        loop = is32 ? SelectRunListLoop32(kind) : SelectRunListLoop16(kind);
    } else {
        // A key no pixel can hold (an index above 255, a 16-bit key above
        // 0xFFFF) skips nothing, so the loop without the test gives the same.
        const std::uint32_t widest = paletted ? 0xFF : (is32 ? 0xFFFFFFFF : 0xFFFF);
        if (kind.trans && !kind.alpha && frame.key > widest) kind.trans = false;
        if (!kind.mask && !kind.bright && !kind.alpha) {
            if (mode == 1 && p == 128) kind.special = BlitSpecial::kHalfWeight;
            if ((mode == 2 || mode == 3) && p == 255)
                kind.special = is32 && mmxForms ? BlitSpecial::kFullStrengthMmx : BlitSpecial::kFullStrength;
        }
        loop = is32 ? SelectGeneralLoop32(kind) : SelectGeneralLoop16(kind);
    }
    if (WideMoves()) {
        if (BlitLoopFn wide = SelectWideCopyLoop(kind)) loop = wide;
    }
    if (loop == nullptr) return;
    loop(frame);
    // The destination's pixels changed: its run list and premultiplied copy
    // no longer describe them.
    InvalidateMemImgDerived(dest);
}
