// The draws that map each destination pixel back to one source texel (the
// rotated blit and the textured triangle) share their per-pixel rules: this
// is what they work out once per call and the names of their specialised
// loops.
//
// A loop draws one run of destination pixels along which the source position
// (u, v) moves by a fixed step. Positions are 14.18 fixed point (one texel is
// 2^18), held in 64 bits so that no set-up, however far off the image, can
// wrap a position back into it. Every setting a loop depends on (source
// family, blend mode, blend mask, bright colour, alpha channel, transparency:
// a plain BlitLoopKind) is a template argument, so no loop tests a setting
// per pixel.
#pragma once

#include <cstddef>
#include <cstdint>

#include "graphics/image/memimg.h"
#include "softrender/blit_frame.h"
#include "softrender/soft_draw_settings.h"

constexpr int kTexelShift = 18;
constexpr std::int64_t kTexelOne = std::int64_t{1} << kTexelShift;

struct SampledFrame {
    const std::uint8_t* src = nullptr;  // texel (0, 0)
    std::ptrdiff_t srcPitch = 0;
    std::int64_t limitU = 0, limitV = 0;  // source width and height in 14.18
    const std::uint8_t* mask = nullptr;   // mask byte of texel (0, 0), or null
    std::ptrdiff_t maskPitch = 0;
    const std::uint8_t* maskWeights = nullptr;  // MaskWeightTable

    std::uint32_t key = 0;    // transparent colour or index, compared whole
    std::uint32_t param = 0;  // blend parameter p, 1..255 where it is read
    const std::uint32_t* paramRow = nullptr;  // ProductTable255[p]
    const std::int32_t* diffRow = nullptr;    // BlendParamRow(p): [d] = trunc(p * d / 255)
    const std::uint32_t* brightRowRed = nullptr;  // ProductTable255[bright red]
    const std::uint32_t* brightRowGreen = nullptr;
    const std::uint32_t* brightRowBlue = nullptr;

    // The source palette in the destination's pixel format; filled only for
    // a paletted source.
    std::uint32_t palette[256];
};

// Draws n destination pixels from dest on, the first at source position
// (u, v), each next one a step (du, dv) further. Pixels whose position lies
// outside the source are left alone.
using SampledRunFn = void (*)(const SampledFrame& f, std::uint8_t* dest, std::int64_t u, std::int64_t v,
                              std::int64_t du, std::int64_t dv, int n);

// The loop of one kind (special and runList are not read); null for a
// combination that does not exist.
SampledRunFn SelectSampledRun32(const BlitLoopKind& kind);
SampledRunFn SelectSampledRun16(const BlitLoopKind& kind);

// The checks and values shared by both draws: both images usable and of one
// pixel size, a destination without palette or alpha, a blend mask that
// covers the source, and settings that draw something. Alpha at 255 is the
// copy; alpha, add and subtract at 0 draw nothing, whatever the source.
// Fills the frame and returns the loop, or null when nothing is to be drawn.
SampledRunFn PrepareSampledDraw(const MEMIMG* dest, const MEMIMG* src, int transparent, const MEMIMG* blendMask,
                                const SoftDrawSettings& settings, SampledFrame* frame);
