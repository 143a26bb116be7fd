// The two ways the unscaled blit walks its rectangle, and the tables that
// name one specialised loop for each combination of settings.
//
// General loops visit every pixel and test it (colour key, or alpha 0 and
// 255) as the loop kind says. Run-list loops read the source's run list
// instead: transparent runs are stepped over whole, opaque runs go through
// the opaque formula without any test, and only the partly transparent
// pixels of alpha images pay for their alpha weight. A general loop with the
// transparent flag walks the run list too when the source has a valid one,
// cut to its rectangle, since the list classifies every pixel exactly as
// its own test would; it keeps its own formulas.
#pragma once

#include <array>
#include <cstring>
#include <type_traits>
#include <utility>

#include "softrender/blit/blit_pixel.h"
#include "softrender/blit/blit_vector.h"
#include "softrender/blit_frame.h"

namespace blit {

// ---- rows ---------------------------------------------------------------------

typedef std::uint8_t U8x32 __attribute__((vector_size(32)));

template <std::size_t N>
using CopyChunk = std::conditional_t<
    N == 32, U8x32,
    std::conditional_t<N == 16, U8x16, std::conditional_t<N == 8, std::uint64_t, std::uint32_t>>>;

// Copies N <= bytes <= 2N bytes by two moves of N bytes that may overlap;
// both are loaded before either is stored.
template <std::size_t N>
inline void CopyTwoMoves(std::uint8_t* d, const std::uint8_t* s, std::size_t bytes) {
    CopyChunk<N> a, b;
    std::memcpy(&a, s, N);
    std::memcpy(&b, s + bytes - N, N);
    std::memcpy(d, &a, N);
    std::memcpy(d + bytes - N, &b, N);
}

// Copies an opaque run (2 to 256 bytes). Runs are short, so calling the
// library's copy costs more than the copy itself. The 32-byte moves are
// one register in the loops built for processors that have them, two
// elsewhere.
inline void CopyRun(std::uint8_t* d, const std::uint8_t* s, std::size_t bytes) {
    if (bytes > 64) {
        // The last 64 bytes are loaded first, so the moves may overlap them.
        const std::size_t last = bytes - 64;
        U8x32 tail0, tail1;
        std::memcpy(&tail0, s + last, 32);
        std::memcpy(&tail1, s + last + 32, 32);
        for (std::size_t i = 0; i < last; i += 32) {
            U8x32 v;
            std::memcpy(&v, s + i, 32);
            std::memcpy(d + i, &v, 32);
        }
        std::memcpy(d + last, &tail0, 32);
        std::memcpy(d + last + 32, &tail1, 32);
    } else if (bytes >= 32) {
        CopyTwoMoves<32>(d, s, bytes);
    } else if (bytes >= 16) {
        CopyTwoMoves<16>(d, s, bytes);
    } else if (bytes >= 8) {
        CopyTwoMoves<8>(d, s, bytes);
    } else if (bytes >= 4) {
        CopyTwoMoves<4>(d, s, bytes);
    } else {
        std::memcpy(d, s, 2);
    }
}

// Copies a whole row of at least 64 bytes that does not overlap its source:
// 32-byte moves whose stores are aligned (a store across two cache lines
// costs two), with one unaligned move at each end. Short rows go as runs.
inline void CopyRow(std::uint8_t* d, const std::uint8_t* s, std::size_t bytes) {
    if (bytes < 64) {
        if (bytes >= 2) CopyRun(d, s, bytes);
        return;
    }
    U8x32 head, tail;
    std::memcpy(&head, s, 32);
    std::memcpy(&tail, s + bytes - 32, 32);
    const std::size_t first = 32 - (reinterpret_cast<std::uintptr_t>(d) & 31);
    for (std::size_t i = first; i + 32 <= bytes; i += 32) {
        U8x32 v;
        std::memcpy(&v, s + i, 32);
        std::memcpy(__builtin_assume_aligned(d + i, 32), &v, 32);
    }
    std::memcpy(d, &head, 32);
    std::memcpy(d + bytes - 32, &tail, 32);
}

// A row copied as a whole. An image drawn into itself may overlap its own
// rows; only then does the library's memmove do it.
inline void CopyWholeRow(std::uint8_t* d, const std::uint8_t* s, std::size_t bytes) {
    const auto dv = reinterpret_cast<std::uintptr_t>(d), sv = reinterpret_cast<std::uintptr_t>(s);
    if (dv + bytes <= sv || sv + bytes <= dv) CopyRow(d, s, bytes);
    else std::memmove(d, s, bytes);
}

// n pixels of the opaque formula, without any transparency test. W is the
// width of the registers the groups of pixels use (blit_vector.h).
template <BlitLoopKind K, int W = 16>
[[gnu::always_inline]] inline void OpaqueRow(const BlitFrame& f, const VectorContext<W>& c, const std::uint8_t* s,
                                             std::uint8_t* d, const std::uint8_t* m, int n) {
    using P = Pixel<K>;
    using G = Group<K, W>;
    if constexpr (K.mode == 0 && !K.mask && !K.bright && !P::kPaletted && P::kSrcStep == P::kDestStep) {
        CopyRun(d, s, static_cast<std::size_t>(n) * P::kDestStep);
        return;
    }
    if constexpr (G::kAvailable) {
        if (n >= G::kLanes) {
            G::template Row<false>(f, c, s, d, n);
            return;
        }
    }
    for (int i = 0; i < n; ++i) {
        std::uint32_t w = 0;
        if constexpr (K.mask) w = f.maskWeights[m[i]];
        std::uint8_t* dp = d + i * P::kDestStep;
        P::StoreDest(dp, P::Opaque(f, P::Colour(f, s + i * P::kSrcStep), P::LoadDest(dp), w));
    }
}

// n pixels of the weighted formula (partly transparent run pixels, and alpha
// images drawn without the transparent flag).
template <BlitLoopKind K>
inline void WeightedRow(const BlitFrame& f, const std::uint8_t* s, std::uint8_t* d, const std::uint8_t* m, int n) {
    using P = Pixel<K>;
    for (int i = 0; i < n; ++i) {
        std::uint32_t w = 0;
        if constexpr (K.mask) w = f.maskWeights[m[i]];
        const std::uint8_t* sp = s + i * P::kSrcStep;
        std::uint8_t* dp = d + i * P::kDestStep;
        P::StoreDest(dp, P::Weighted(f, P::Colour(f, sp), P::LoadDest(dp), w, P::AlphaOf(sp)));
    }
}

// One row of a general loop.
template <BlitLoopKind K, int W = 16>
[[gnu::always_inline]] inline void GeneralRow(const BlitFrame& f, const VectorContext<W>& c, const std::uint8_t* s,
                                              std::uint8_t* d, const std::uint8_t* m, int n) {
    using P = Pixel<K>;
    using G = Group<K, W>;
    if constexpr (!P::kAlpha && !K.trans) {
        if constexpr (K.mode == 0 && !K.mask && !K.bright && !P::kPaletted) {
            CopyWholeRow(d, s, static_cast<std::size_t>(n) * P::kDestStep);
        } else {
            OpaqueRow<K, W>(f, c, s, d, m, n);
        }
    } else if constexpr (!P::kAlpha) {
        // The colour key.
        if constexpr (G::kAvailable) {
            if (n >= G::kLanes) {
                G::template Row<true>(f, c, s, d, n);
                return;
            }
        }
        for (int i = 0; i < n; ++i) {
            const std::uint8_t* sp = s + i * P::kSrcStep;
            if (P::Raw(sp) == f.key) continue;
            std::uint32_t w = 0;
            if constexpr (K.mask) w = f.maskWeights[m[i]];
            std::uint8_t* dp = d + i * P::kDestStep;
            P::StoreDest(dp, P::Opaque(f, P::Colour(f, sp), P::LoadDest(dp), w));
        }
    } else if constexpr (!K.trans) {
        WeightedRow<K>(f, s, d, m, n);
    } else {
        // Alpha 0 is skipped (also when multiplying) and alpha 255 takes the
        // opaque formula.
        for (int i = 0; i < n; ++i) {
            const std::uint8_t* sp = s + i * P::kSrcStep;
            const std::uint32_t a = P::AlphaOf(sp);
            if (a == 0) continue;
            std::uint32_t w = 0;
            if constexpr (K.mask) w = f.maskWeights[m[i]];
            std::uint8_t* dp = d + i * P::kDestStep;
            const std::uint32_t colour = P::Colour(f, sp), dv = P::LoadDest(dp);
            P::StoreDest(dp, a == 255 ? P::Opaque(f, colour, dv, w) : P::Weighted(f, colour, dv, w, a));
        }
    }
}

// ---- whole rectangles -----------------------------------------------------------

// Walks the source's run list over the visible rectangle. Run codes: kind in
// the top two bits, length - 1 in the low six; a row ends with a code of
// kind 3. Transparent runs are stepped over; opaque runs take the opaque
// formula; partly transparent runs (alpha images) the weighted one.
//
// Clipped, the rectangle is source columns [runLeft, runLeft + width) of
// rows [runTop, runTop + height) of a source runRowWidth wide: the rows
// above are read past, and runs are cut to the columns. The list is trusted
// to describe the pixels, but a run that would pass its row's end stops the
// draw instead of overrunning, so at most runRowWidth + 1 codes are read
// per row.
template <BlitLoopKind K, bool kClipped, int W = 16>
__attribute__((always_inline)) inline void RunWalk(const BlitFrame& f) {
    using P = Pixel<K>;
    const VectorContext<W> c = MakeVectorContext<W>(f);
    const std::uint8_t* codes = f.runList;
    // Locals, so that the pixel stores need not be assumed to change them.
    const int height = f.height;
    const int rowWidth = kClipped ? f.runRowWidth : f.width;
    const int left = kClipped ? f.runLeft : 0, right = left + f.width;
    const std::ptrdiff_t srcPitch = f.srcPitch, destPitch = f.destPitch, maskPitch = f.maskPitch;
    if constexpr (kClipped) {
        for (int y = 0; y < f.runTop; ++y) {
            for (int x = 0;;) {
                const std::uint8_t code = *codes++;
                if (code >= 0xC0) break;
                x += (code & 0x3F) + 1;
                if (x > rowWidth) return;
            }
        }
    }
    for (int y = 0; y < height; ++y) {
        // Row addresses from the row number, so that no pointer is ever
        // stepped past the last row.
        const std::uint8_t* s = f.src + y * srcPitch;
        std::uint8_t* d = f.dest + y * destPitch;
        const std::uint8_t* m = nullptr;
        if constexpr (K.mask) m = f.mask + y * maskPitch;
        int x = 0;
        for (;;) {
            const std::uint8_t code = *codes++;
            if (code >= 0xC0) break;
            const int length = (code & 0x3F) + 1;
            if (length > rowWidth - x) return;
            if (code >= 0x40) {
                int from = x, to = x + length;
                if constexpr (kClipped) {
                    if (from < left || to > right) {
                        from = from < left ? left : from;
                        to = to > right ? right : to;
                        if (from >= to) {
                            x += length;
                            continue;
                        }
                    }
                }
                const int i = from - left;  // offset into the visible row
                const int n = to - from;    // at most 64
                const std::uint8_t* sp = s + i * P::kSrcStep;
                std::uint8_t* dp = d + i * P::kDestStep;
                const std::uint8_t* mp = nullptr;
                if constexpr (K.mask) mp = m + i;
                if (!P::kAlpha || code < 0x80) OpaqueRow<K, W>(f, c, sp, dp, mp, n);
                else WeightedRow<K>(f, sp, dp, mp, n);
            }
            x += length;
        }
    }
}

// A general loop. With the transparent flag and a run list that describes
// the source, the run list tells the transparent pixels apart exactly as
// the per-pixel test would, so it is walked instead (clipped to the visible
// rectangle), with this loop's own formulas.
template <BlitLoopKind K, int W = 16>
__attribute__((always_inline)) inline void GeneralBody(const BlitFrame& f) {
    if constexpr (K.trans) {
        if (f.runList != nullptr) {
            RunWalk<K, true, W>(f);
            return;
        }
    }
    const VectorContext<W> c = MakeVectorContext<W>(f);
    const int width = f.width, height = f.height;
    const std::ptrdiff_t srcPitch = f.srcPitch, destPitch = f.destPitch, maskPitch = f.maskPitch;
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* m = nullptr;
        if constexpr (K.mask) m = f.mask + y * maskPitch;
        GeneralRow<K, W>(f, c, f.src + y * srcPitch, f.dest + y * destPitch, m, width);
    }
}

template <BlitLoopKind K>
void GeneralLoop(const BlitFrame& f) {
    GeneralBody<K>(f);
}

template <BlitLoopKind K>
void RunListLoop(const BlitFrame& f) {
    RunWalk<K, false>(f);
}
// ---- loop tables ------------------------------------------------------------------
//
// General loops of one family: 5 modes x mask x bright x alpha x trans, then
// the special loops (half weight with and without trans; full strength for
// add and subtract with and without trans, in the guard-bit and the bytewise
// form). Run-list loops: 5 modes x mask x bright x alpha.

constexpr int kGeneralLoopCount = 80 + 2 + 4 + 4;
constexpr int kRunListLoopCount = 40;

// The first 80 loops of a family's general (and scaled) table: every
// combination of mode, mask, bright, alpha and trans, without a special
// loop.
constexpr int kMatrixLoopCount = 80;

constexpr BlitLoopKind MatrixKindAt(BlitFamily family, int i) {
    BlitLoopKind k;
    k.family = family;
    k.mode = static_cast<std::uint8_t>(i / 16);
    k.mask = (i & 8) != 0;
    k.bright = (i & 4) != 0;
    k.alpha = (i & 2) != 0 && !IsPaletted(family);
    k.trans = (i & 1) != 0;
    return k;
}

constexpr int MatrixIndex(const BlitLoopKind& k) {
    return k.mode * 16 + (k.mask ? 8 : 0) + (k.bright ? 4 : 0) + (k.alpha ? 2 : 0) + (k.trans ? 1 : 0);
}

constexpr BlitLoopKind GeneralKindAt(BlitFamily family, int i) {
    if (i < kMatrixLoopCount) return MatrixKindAt(family, i);
    BlitLoopKind k;
    k.family = family;
    i -= kMatrixLoopCount;
    k.trans = (i & 1) != 0;
    if (i < 2) {
        k.mode = 1;
        k.special = BlitSpecial::kHalfWeight;
    } else {
        k.mode = static_cast<std::uint8_t>(2 + ((i - 2) / 2) % 2);
        // The bytewise form exists only for 32-bit pixels.
        k.special = i >= 6 && Is32(family) ? BlitSpecial::kFullStrengthMmx : BlitSpecial::kFullStrength;
    }
    return k;
}

constexpr int GeneralIndex(const BlitLoopKind& k) {
    switch (k.special) {
    case BlitSpecial::kNone: return MatrixIndex(k);
    case BlitSpecial::kHalfWeight: return 80 + (k.trans ? 1 : 0);
    case BlitSpecial::kFullStrength: return 82 + (k.mode - 2) * 2 + (k.trans ? 1 : 0);
    case BlitSpecial::kFullStrengthMmx: return 86 + (k.mode - 2) * 2 + (k.trans ? 1 : 0);
    }
    return -1;
}

constexpr BlitLoopKind RunListKindAt(BlitFamily family, int i) {
    BlitLoopKind k;
    k.family = family;
    k.runList = true;
    k.mode = static_cast<std::uint8_t>(i / 8);
    k.mask = (i & 4) != 0;
    k.bright = (i & 2) != 0;
    k.alpha = (i & 1) != 0 && !IsPaletted(family);
    return k;
}

constexpr int RunListIndex(const BlitLoopKind& k) {
    return k.mode * 8 + (k.mask ? 4 : 0) + (k.bright ? 2 : 0) + (k.alpha ? 1 : 0);
}

template <BlitFamily F, std::size_t... I>
constexpr std::array<BlitLoopFn, sizeof...(I)> MakeGeneralTable(std::index_sequence<I...>) {
    return {{&GeneralLoop<GeneralKindAt(F, static_cast<int>(I))>...}};
}
template <BlitFamily F, std::size_t... I>
constexpr std::array<BlitLoopFn, sizeof...(I)> MakeRunListTable(std::index_sequence<I...>) {
    return {{&RunListLoop<RunListKindAt(F, static_cast<int>(I))>...}};
}

// The loop of one kind from a family's tables; null for a kind outside them.
inline BlitLoopFn PickGeneral(const BlitLoopFn* table, const BlitLoopKind& k) {
    if (k.mode > 4) return nullptr;
    if (k.special != BlitSpecial::kNone && (k.mask || k.bright || k.alpha)) return nullptr;
    if (k.special == BlitSpecial::kHalfWeight && k.mode != 1) return nullptr;
    if ((k.special == BlitSpecial::kFullStrength || k.special == BlitSpecial::kFullStrengthMmx) &&
        k.mode != 2 && k.mode != 3)
        return nullptr;
    return table[GeneralIndex(k)];
}
inline BlitLoopFn PickRunList(const BlitLoopFn* table, const BlitLoopKind& k) {
    if (k.mode > 4) return nullptr;
    return table[RunListIndex(k)];
}

}  // namespace blit
