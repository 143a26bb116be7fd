// A run of destination pixels whose source position steps by a fixed amount,
// and the tables that name one run loop for each combination of settings.
//
// A position is inside the source when 0 <= u < width * 2^18 and
// 0 <= v < height * 2^18. Along a run u and v are linear in the pixel
// number, so the inside pixels form one stretch: it is worked out exactly
// before the loop, which then draws it with no bounds test per pixel.
#pragma once

#include <array>
#include <utility>

#include "softrender/blit/blit_walk.h"
#include "softrender/sampled/sampled_pixel.h"

namespace sampled {

// floor(n / d) and ceil(n / d) for d > 0.
constexpr std::int64_t FloorDiv(std::int64_t n, std::int64_t d) { return n >= 0 ? n / d : -((-n + d - 1) / d); }
constexpr std::int64_t CeilDiv(std::int64_t n, std::int64_t d) { return n >= 0 ? (n + d - 1) / d : -(-n / d); }

// Narrows [*first, *last) to the pixels i with 0 <= start + i * step < limit.
constexpr void KeepInside(std::int64_t start, std::int64_t step, std::int64_t limit, std::int64_t* first,
                          std::int64_t* last) {
    if (step == 0) {
        if (start < 0 || start >= limit) *last = *first;
        return;
    }
    // With a negative step the same holds for the mirrored position
    // (limit - 1) - (start + i * step), which grows by -step.
    if (step < 0) {
        start = limit - 1 - start;
        step = -step;
    }
    const std::int64_t lo = start >= 0 ? 0 : CeilDiv(-start, step);
    const std::int64_t hi = limit - 1 - start < 0 ? -1 : FloorDiv(limit - 1 - start, step);
    if (lo > *first) *first = lo;
    if (hi + 1 < *last) *last = hi + 1;
    if (*last < *first) *last = *first;
}

template <BlitLoopKind K>
void Run(const SampledFrame& f, std::uint8_t* dest, std::int64_t u, std::int64_t v, std::int64_t du,
         std::int64_t dv, int n) {
    using P = Pixel<K>;
    std::int64_t first = 0, last = n;
    KeepInside(u, du, f.limitU, &first, &last);
    KeepInside(v, dv, f.limitV, &first, &last);
    u += first * du;
    v += first * dv;
    std::uint8_t* d = dest + first * P::kDestStep;
    const std::uint8_t* const src = f.src;
    const std::ptrdiff_t pitch = f.srcPitch;
    for (std::int64_t i = first; i < last; ++i, u += du, v += dv, d += P::kDestStep) {
        const std::ptrdiff_t col = static_cast<std::ptrdiff_t>(u >> kTexelShift);
        const std::ptrdiff_t row = static_cast<std::ptrdiff_t>(v >> kTexelShift);
        std::uint32_t w = 0;
        if constexpr (K.mask) w = f.maskWeights[f.mask[row * f.maskPitch + col]];
        P::Draw(f, src + row * pitch + col * P::kSrcStep, d, w);
    }
}

// ---- loop tables ----------------------------------------------------------------
//
// Per family, the blit's matrix of kinds: 5 modes x mask x bright x alpha x
// trans, without special loops.

template <BlitFamily F, std::size_t... I>
constexpr std::array<SampledRunFn, sizeof...(I)> MakeRunTable(std::index_sequence<I...>) {
    return {{&Run<blit::MatrixKindAt(F, static_cast<int>(I))>...}};
}

inline SampledRunFn PickRun(const SampledRunFn* table, BlitLoopKind k) {
    if (k.mode > 4) return nullptr;
    if (IsPaletted(k.family)) k.alpha = false;
    return table[blit::MatrixIndex(k)];
}

}  // namespace sampled
