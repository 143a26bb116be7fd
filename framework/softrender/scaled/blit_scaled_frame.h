// What the scaled blit works out once per call and hands to exactly one of
// its loops, and the names of those loops.
//
// A destination pixel of the scaled blit gets the same per-pixel formula as
// a pixel of the unscaled blit's general loops, for a loop kind marked
// `scaled` (which has no half-weight or full-strength add loop and mixes
// 16-bit alpha by the signed difference only). What differs is the walk: each
// destination row shows one source row, and each of its pixels one source
// column, chosen by 16.16 stepping once per call and kept in a column table.
#pragma once

#include <cstdint>

#include "softrender/blit_frame.h"

struct ScaledBlitFrame {
    // width and height: the clipped rectangle. src: the first source pixel
    // drawn, srcPitch: the signed step from one source row to the next shown
    // (negative when mirrored upside down); mask and maskPitch the same for
    // the blend mask; dest and destPitch the clipped rectangle's first pixel
    // and its row step. Everything else as for the unscaled blit.
    BlitFrame pixels;

    // For each destination column of the clipped rectangle, the source
    // column it shows, counted in pixels from the first source pixel along
    // the source's rows (negative when mirrored left-right). The mask is
    // addressed with the same counts, one byte a pixel.
    const std::int32_t* columns = nullptr;
    // +1 or -1 when the table is simply j or -j (one source column per
    // destination column), else 0.
    int unitColumns = 0;
    // 1 when the table is j / 2, 2 when it is (j + 1) / 2 (each source
    // column shown twice, unmirrored), else 0.
    int doubledColumns = 0;

    // 16.16 destination rows per source row, and the row accumulator as the
    // first clipped row starts: after each destination row 0x10000 is
    // taken off, and while it is zero or below the source moves one row on
    // and the scale is added.
    std::int64_t yScale = 0;
    std::int64_t rowStart = 0;

    // Room for one row of source pixels (width x 4 bytes) and of mask bytes
    // (width), gathered in destination order.
    std::uint8_t* rowBuffer = nullptr;
    std::uint8_t* maskBuffer = nullptr;
};

using ScaledLoopFn = void (*)(const ScaledBlitFrame&);

// The loop for a kind of the scaled blit (kind.scaled set), or null for a
// combination that does not exist.
ScaledLoopFn SelectScaledLoop32(const BlitLoopKind& kind);
ScaledLoopFn SelectScaledLoop16(const BlitLoopKind& kind);
// The plain copies of direct pixels (transparent or not) built for 32-byte
// moves, or null for any other kind. Only where WideMovesAvailable().
ScaledLoopFn SelectWideScaledCopyLoop(const BlitLoopKind& kind);
