// The frame of the unscaled blit: checks, clipping, the values worked out
// once per call, and the choice of the one loop that draws.
#include "softrender/blit/blit_memimg.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "core/system_state.h"
#include "softrender/blit_frame.h"
#include "softrender/blit_frame_setup.h"

namespace {

// -1 until the processor has been asked.
int g_WideMoves = -1;

}  // namespace

bool BlitWideMovesInUse() {
    if (g_WideMoves < 0) g_WideMoves = WideMovesAvailable() ? 1 : 0;
    return g_WideMoves != 0;
}

void SetBlitMemImgWideMoves(int allowed) { g_WideMoves = allowed && WideMovesAvailable() ? 1 : 0; }

void BlitMemImg(MEMIMG* dest, const MEMIMG* src, int x, int y, int transparent, const MEMIMG* blendMask) {
    BlitMemImg(dest, src, x, y, transparent, blendMask, CurrentSoftDrawSettings(), g_SystemState.mmxAvailable);
}

void BlitMemImg(MEMIMG* dest, const MEMIMG* src, int x, int y, int transparent, const MEMIMG* blendMask,
                const SoftDrawSettings& settings, int mmxForms) {
    if (!BlitImagesDrawable(dest, src, blendMask)) return;

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

    BlitLoopKind kind;
    if (!BlitKindFor(*src, settings, transparent, blendMask != nullptr, &kind)) return;
    const bool is32 = src->kind == kMemImgKind888;
    kind.runList = transparent == 1 && src->runTableValid == 1 && src->runTable != nullptr && w == src->width &&
                   h == src->height;

    BlitFrame frame;
    frame.width = w;
    frame.height = h;
    frame.srcPitch = src->pitch;
    frame.src = src->pixels + static_cast<std::ptrdiff_t>(oy) * frame.srcPitch +
                static_cast<std::ptrdiff_t>(ox) * BlitLayoutBytes(*src);
    frame.destPitch = dest->pitch;
    frame.dest = dest->pixels + static_cast<std::ptrdiff_t>(top) * frame.destPitch +
                 static_cast<std::ptrdiff_t>(left) * BlitLayoutBytes(*dest);
    if (blendMask != nullptr) {
        frame.maskPitch = blendMask->pitch;
        frame.mask = blendMask->pixels + static_cast<std::ptrdiff_t>(oy) * frame.maskPitch + ox;
    }
    if (kind.trans && src->runTableValid == 1 && src->runTable != nullptr) {
        frame.runList = src->runTable;
        frame.runRowWidth = src->width;
        frame.runLeft = ox;
        frame.runTop = oy;
    }
    FillBlitValues(*src, settings, blendMask != nullptr, &frame);

    BlitLoopFn loop = nullptr;
    if (kind.runList) {
        loop = is32 ? SelectRunListLoop32(kind) : SelectRunListLoop16(kind);
    } else {
        DropUnmatchableKey(*src, &kind);
        const std::uint32_t p = frame.param;
        if (!kind.mask && !kind.bright && !kind.alpha) {
            if (kind.mode == 1 && p == 128) kind.special = BlitSpecial::kHalfWeight;
            if ((kind.mode == 2 || kind.mode == 3) && p == 255)
                kind.special = is32 && mmxForms ? BlitSpecial::kFullStrengthMmx : BlitSpecial::kFullStrength;
        }
        loop = is32 ? SelectGeneralLoop32(kind) : SelectGeneralLoop16(kind);
    }
    if (BlitWideMovesInUse()) {
        if (BlitLoopFn wide = SelectWideCopyLoop(kind)) loop = wide;
        else if (BlitLoopFn groups = SelectWideGroupLoop(kind)) loop = groups;
    }
    if (loop == nullptr) return;
    loop(frame);
    // The destination's pixels changed: its run list and premultiplied copy
    // no longer describe them.
    InvalidateMemImgDerived(dest);
}
