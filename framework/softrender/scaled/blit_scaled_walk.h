// How the scaled blit walks its rectangle, and the table that names one
// specialised loop for each combination of settings.
//
// A source row is gathered once into a row of destination order (each
// destination column takes the source pixel, and mask byte, its column
// table entry names), and the unscaled blit's row code then draws that row
// with the loop kind's formulas. Rows that show the same source row while
// magnifying reuse the gathered row; plain copies gather straight into the
// destination and copy a repeated row from the one above.
#pragma once

#include <array>
#include <cstring>
#include <type_traits>
#include <utility>

#include "softrender/blit/blit_walk.h"
#include "softrender/scaled/blit_scaled_frame.h"

namespace blit {

// Pixels of S bytes, as one integer.
template <int S>
using PixelBits = std::conditional_t<S == 1, std::uint8_t, std::conditional_t<S == 2, std::uint16_t, std::uint32_t>>;

template <int S>
inline std::uint64_t LoadBits(const std::uint8_t* p) {
    PixelBits<S> v;
    std::memcpy(&v, p, S);
    return v;
}

// Gathers one row of n pixels of S bytes each, the pixel of each column
// from where the column table says. Eight bytes of pixels are put together
// before they are stored.
template <int S>
inline void GatherRow(std::uint8_t* out, const std::uint8_t* row, const std::int32_t* columns, int n) {
    constexpr int kPerWord = 8 / S;
    int j = 0;
    for (; j + kPerWord <= n; j += kPerWord) {
        std::uint64_t word = 0;
        for (int k = 0; k < kPerWord; ++k)
            word |= LoadBits<S>(row + static_cast<std::ptrdiff_t>(columns[j + k]) * S) << (8 * S * k);
        std::memcpy(out + j * S, &word, 8);
    }
    for (; j < n; ++j) std::memcpy(out + j * S, row + static_cast<std::ptrdiff_t>(columns[j]) * S, S);
}

// The pixels of a 64-bit word in the other order.
template <int S>
constexpr std::uint64_t TurnWord(std::uint64_t v) {
    if constexpr (S == 1) return __builtin_bswap64(v);
    v = v >> 32 | v << 32;
    if constexpr (S == 2) v = (v >> 16 & 0x0000FFFF0000FFFFull) | (v & 0x0000FFFF0000FFFFull) << 16;
    return v;
}

// Column j shows source pixel -j: the row read backwards, eight bytes at a
// time turned round in a register.
template <int S>
inline void ReverseRow(std::uint8_t* out, const std::uint8_t* row, int n) {
    constexpr int kPerWord = 8 / S;
    int j = 0;
    for (; j + kPerWord <= n; j += kPerWord) {
        std::uint64_t word;
        std::memcpy(&word, row - static_cast<std::ptrdiff_t>(j + kPerWord - 1) * S, 8);
        word = TurnWord<S>(word);
        std::memcpy(out + j * S, &word, 8);
    }
    for (; j < n; ++j) std::memcpy(out + j * S, row - static_cast<std::ptrdiff_t>(j) * S, S);
}

// One source row in destination order: straight, backwards, or by the
// column table.
template <int S>
inline void GatherSourceRow(const ScaledBlitFrame& sf, std::uint8_t* out, const std::uint8_t* row) {
    const int n = sf.pixels.width;
    if (sf.unitColumns > 0) std::memcpy(out, row, static_cast<std::size_t>(n) * S);
    else if (sf.unitColumns < 0) ReverseRow<S>(out, row, n);
    else GatherRow<S>(out, row, sf.columns, n);
}

template <BlitLoopKind K>
void ScaledLoop(const ScaledBlitFrame& sf) {
    using P = Pixel<K>;
    const BlitFrame& f = sf.pixels;
    const int width = f.width, height = f.height;
    const std::ptrdiff_t srcPitch = f.srcPitch, destPitch = f.destPitch, maskPitch = f.maskPitch;
    const std::int32_t* const columns = sf.columns;
    // Mode 0 without weights, bright colour or transparency: each
    // destination pixel is the source colour itself.
    constexpr bool kPlainCopy = K.mode == 0 && !K.mask && !K.bright && !K.trans && !P::kAlpha;
    const VectorContext<16> c = MakeVectorContext<16>(f);

    std::int64_t accumulator = sf.rowStart;
    std::ptrdiff_t row = 0, gathered = -1;
    for (int y = 0; y < height; ++y) {
        std::uint8_t* d = f.dest + y * destPitch;
        const std::uint8_t* s = f.src + row * srcPitch;
        if constexpr (kPlainCopy) {
            // Straight into the destination; a repeated row from the one
            // above, which is still in the cache.
            if (row == gathered) {
                CopyRow(d, d - destPitch, static_cast<std::size_t>(width) * P::kDestStep);
            } else if constexpr (P::kPaletted) {
                for (int j = 0; j < width; ++j) P::StoreDest(d + j * P::kDestStep, f.palette[s[columns[j]]]);
            } else {
                GatherSourceRow<P::kSrcStep>(sf, d, s);
            }
        } else {
            if (row != gathered) {
                GatherSourceRow<P::kSrcStep>(sf, sf.rowBuffer, s);
                if constexpr (K.mask) GatherSourceRow<1>(sf, sf.maskBuffer, f.mask + row * maskPitch);
            }
            GeneralRow<K>(f, c, sf.rowBuffer, d, sf.maskBuffer, width);
        }
        gathered = row;

        accumulator -= 0x10000;
        while (accumulator <= 0) {
            ++row;
            accumulator += sf.yScale;
        }
    }
}

// ---- loop table -------------------------------------------------------------------
//
// Per family: 5 modes x mask x bright x alpha x trans, then the full-strength
// subtract with and without trans, in the guard-bit and (32-bit pixels) the
// bytewise form.

constexpr int kScaledLoopCount = kMatrixLoopCount + 4;

constexpr BlitLoopKind ScaledKindAt(BlitFamily family, int i) {
    BlitLoopKind k = MatrixKindAt(family, i < kMatrixLoopCount ? i : 0);
    k.scaled = true;
    if (i < kMatrixLoopCount) return k;
    i -= kMatrixLoopCount;
    k.mode = 3;
    k.trans = (i & 1) != 0;
    k.special = i >= 2 && Is32(family) ? BlitSpecial::kFullStrengthMmx : BlitSpecial::kFullStrength;
    return k;
}

constexpr int ScaledIndex(const BlitLoopKind& k) {
    switch (k.special) {
    case BlitSpecial::kNone: return MatrixIndex(k);
    case BlitSpecial::kFullStrength: return kMatrixLoopCount + (k.trans ? 1 : 0);
    case BlitSpecial::kFullStrengthMmx: return kMatrixLoopCount + 2 + (k.trans ? 1 : 0);
    default: return -1;
    }
}

template <BlitFamily F, std::size_t... I>
constexpr std::array<ScaledLoopFn, sizeof...(I)> MakeScaledTable(std::index_sequence<I...>) {
    return {{&ScaledLoop<ScaledKindAt(F, static_cast<int>(I))>...}};
}

// The loop of one kind from a family's table; null for a kind outside it.
inline ScaledLoopFn PickScaled(const ScaledLoopFn* table, const BlitLoopKind& k) {
    if (k.mode > 4 || !k.scaled || k.runList) return nullptr;
    if (k.special != BlitSpecial::kNone && (k.mode != 3 || k.mask || k.bright || k.alpha)) return nullptr;
    const int index = ScaledIndex(k);
    return index < 0 ? nullptr : table[index];
}

}  // namespace blit
