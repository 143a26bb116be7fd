// The plain copies of direct pixels, transparent (the commonest draw of
// all) and opaque, built a second time for processors with 32-byte
// registers. Integer moves and comparisons only: the pixels are the same as
// the other loops give.
//
// Opaque runs are copied 32 bytes at a time. The general 16-bit copy
// instead compares sixteen pixels with the key and merges them with the
// destination at once, which costs less than walking a run list cut to a
// clipped rectangle; with eight 32-bit pixels to a register it would not.
#include <cstring>

#include "softrender/blit/blit_walk.h"
#include "softrender/scaled/blit_scaled_walk.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

namespace {

#if defined(__x86_64__) || defined(__i386__)

typedef std::uint16_t U16x16 __attribute__((vector_size(32)));
typedef std::uint32_t U32x8 __attribute__((vector_size(32)));
typedef std::uint16_t U16x8 __attribute__((vector_size(16)));
typedef std::uint32_t U32x4 __attribute__((vector_size(16)));

// A register of pixels of S bytes.
template <int S>
struct WidePixels;
template <>
struct WidePixels<2> {
    using V = U16x16;
    using Half = U16x8;
    using T = std::uint16_t;
};
template <>
struct WidePixels<4> {
    using V = U32x8;
    using Half = U32x4;
    using T = std::uint32_t;
};

template <class V>
__attribute__((target("avx2"))) inline V Load(const std::uint8_t* p) {
    V v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
template <class V>
__attribute__((target("avx2"))) inline void Store(std::uint8_t* p, V v) {
    std::memcpy(p, &v, sizeof v);
}

// The group's pixels that are the key keep the destination. Returns false
// when every one of them is the key, and the group need not be stored;
// only a group with both kinds reads the destination.
template <int S>
__attribute__((target("avx2"))) inline bool KeyedGroup(const std::uint8_t* s, const std::uint8_t* d,
                                                       typename WidePixels<S>::T key, typename WidePixels<S>::V* out) {
    using V = typename WidePixels<S>::V;
    const V sv = Load<V>(s);
    const V keep = (V)(sv == key);
    const int lanes = _mm256_movemask_epi8(reinterpret_cast<__m256i>(keep));
    if (lanes == -1) return false;
    *out = lanes == 0 ? sv : (Load<V>(d) & keep) | (sv & ~keep);
    return true;
}

// One row of n pixels of S bytes: those equal to the key keep the
// destination. The last group is worked out first, from the destination as
// it was, so that the groups may overlap at the row's end.
template <int S>
__attribute__((target("avx2"))) inline void KeyedCopyRow(const std::uint8_t* s, std::uint8_t* d, int n,
                                                         std::uint32_t keyBits) {
    using T = typename WidePixels<S>::T;
    using V = typename WidePixels<S>::V;
    constexpr int kLanes = 32 / S;
    const T key = static_cast<T>(keyBits);
    if (n < kLanes) {
        for (int i = 0; i < n; ++i) {
            T v;
            std::memcpy(&v, s + i * S, S);
            if (v != key) std::memcpy(d + i * S, &v, S);
        }
        return;
    }
    const int last = n - kLanes;
    V tail, group;
    const bool storeTail = KeyedGroup<S>(s + last * S, d + last * S, key, &tail);
    for (int i = 0; i < last; i += kLanes)
        if (KeyedGroup<S>(s + i * S, d + i * S, key, &group)) Store(d + i * S, group);
    if (storeTail) Store(d + last * S, tail);
}

// The general 16-bit keyed copy. A key above 0xFFFF matches no pixel.
__attribute__((target("avx2"))) void KeyedCopyLoop16(const BlitFrame& f) {
    for (int y = 0; y < f.height; ++y) {
        const std::uint8_t* s = f.src + y * f.srcPitch;
        std::uint8_t* d = f.dest + y * f.destPitch;
        if (f.key > 0xFFFF) std::memmove(d, s, static_cast<std::size_t>(f.width) * 2);
        else KeyedCopyRow<2>(s, d, f.width, f.key);
    }
}

// Each pixel of half a register twice, filling a whole one.
template <int S>
__attribute__((target("avx2"))) inline typename WidePixels<S>::V Doubled(typename WidePixels<S>::Half h) {
    if constexpr (S == 2) return __builtin_shufflevector(h, h, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7);
    else return __builtin_shufflevector(h, h, 0, 0, 1, 1, 2, 2, 3, 3);
}

// out[j] = row[j / 2] for j in [0, n): each pixel twice, eight bytes of
// source becoming sixteen of row at a time.
template <int S>
__attribute__((target("avx2"))) inline void DoubleRow(std::uint8_t* out, const std::uint8_t* row, int n) {
    using Half = typename WidePixels<S>::Half;
    constexpr int kOut = 32 / S;
    int j = 0;
    for (; j + kOut <= n; j += kOut) {
        const Half v = Load<Half>(row + (j / 2) * S);
        Store(out + j * S, Doubled<S>(v));
    }
    for (; j < n; ++j) std::memcpy(out + j * S, row + (j / 2) * S, S);
}

// One source row in destination order; a doubled row (the column table is
// (j + phase) / 2) without the table.
template <int S>
__attribute__((target("avx2"))) inline void GatherRowWide(const ScaledBlitFrame& sf, std::uint8_t* out,
                                                          const std::uint8_t* row) {
    const int n = sf.pixels.width;
    if (sf.doubledColumns == 1) {
        DoubleRow<S>(out, row, n);
    } else if (sf.doubledColumns == 2) {
        std::memcpy(out, row, S);
        DoubleRow<S>(out + S, row + S, n - 1);
    } else {
        blit::GatherSourceRow<S>(sf, out, row);
    }
}

// One row of n pixels of S bytes drawn keyed onto `rows` destination rows
// a pitch apart: each group is compared with the key once for all of them.
// The source is not any of the rows. The last group may overlap the one
// before it: a keyed copy made twice gives what it gave once.
template <int S>
__attribute__((target("avx2"))) inline void KeyedCopyRows(const std::uint8_t* s, std::uint8_t* d, std::ptrdiff_t pitch,
                                                          int rows, int n, std::uint32_t keyBits) {
    using T = typename WidePixels<S>::T;
    using V = typename WidePixels<S>::V;
    constexpr int kLanes = 32 / S;
    const T key = static_cast<T>(keyBits);
    if (n < kLanes) {
        for (int r = 0; r < rows; ++r) KeyedCopyRow<S>(s, d + r * pitch, n, keyBits);
        return;
    }
    for (int i = 0;; i += kLanes) {
        if (i > n - kLanes) {
            if (i == n) break;
            i = n - kLanes;
        }
        const V sv = Load<V>(s + i * S);
        const V keep = (V)(sv == key);
        const int lanes = _mm256_movemask_epi8(reinterpret_cast<__m256i>(keep));
        if (lanes == 0) {
            for (int r = 0; r < rows; ++r) Store(d + r * pitch + i * S, sv);
        } else if (lanes != -1) {
            const V opaque = sv & ~keep;
            for (int r = 0; r < rows; ++r) {
                std::uint8_t* dp = d + r * pitch + i * S;
                Store(dp, (Load<V>(dp) & keep) | opaque);
            }
        }
        if (i == n - kLanes) break;
    }
}

// A register of pixels in the reverse order.
template <int S>
__attribute__((target("avx2"))) inline typename WidePixels<S>::V Reversed(typename WidePixels<S>::V v) {
    const __m256i m = reinterpret_cast<__m256i>(v);
    if constexpr (S == 2) {
        const __m256i words = _mm256_setr_epi8(14, 15, 12, 13, 10, 11, 8, 9, 6, 7, 4, 5, 2, 3, 0, 1, 14, 15, 12, 13, 10,
                                               11, 8, 9, 6, 7, 4, 5, 2, 3, 0, 1);
        return reinterpret_cast<typename WidePixels<S>::V>(
            _mm256_permute4x64_epi64(_mm256_shuffle_epi8(m, words), 0x4E));
    } else {
        return reinterpret_cast<typename WidePixels<S>::V>(
            _mm256_permutevar8x32_epi32(m, _mm256_setr_epi32(7, 6, 5, 4, 3, 2, 1, 0)));
    }
}

// The group of out pixels i on of a mirrored row (see below). Compared with
// the key before it is turned round: a group wholly the key (much of a
// sprite) costs no more than a load and a compare.
template <int S>
__attribute__((target("avx2"))) inline void MirroredKeyedGroup(const std::uint8_t* row, std::uint8_t* d,
                                                               std::ptrdiff_t pitch, int rows, int i,
                                                               typename WidePixels<S>::T key) {
    using V = typename WidePixels<S>::V;
    constexpr int kLanes = 32 / S;
    const V raw = Load<V>(row - static_cast<std::ptrdiff_t>(i + kLanes - 1) * S);
    const V rawKeep = (V)(raw == key);
    const int lanes = _mm256_movemask_epi8(reinterpret_cast<__m256i>(rawKeep));
    if (lanes == -1) return;
    const V sv = Reversed<S>(raw);
    if (lanes == 0) {
        for (int r = 0; r < rows; ++r) Store(d + r * pitch + i * S, sv);
        return;
    }
    const V keep = Reversed<S>(rawKeep), opaque = sv & ~keep;
    for (int r = 0; r < rows; ++r) {
        std::uint8_t* dp = d + r * pitch + i * S;
        Store(dp, (Load<V>(dp) & keep) | opaque);
    }
}

// A row mirrored (out pixel j is row pixel -j) drawn keyed onto `rows` rows
// a pitch apart, at least a register wide. Turned round in registers: a row
// written to a buffer in small pieces and read back whole would stall on
// every row. The last group may overlap the one before it, as above.
template <int S>
__attribute__((target("avx2"))) inline void MirroredKeyedRows(const std::uint8_t* row, std::uint8_t* d,
                                                              std::ptrdiff_t pitch, int rows, int n,
                                                              std::uint32_t keyBits) {
    using T = typename WidePixels<S>::T;
    constexpr int kLanes = 32 / S;
    const T key = static_cast<T>(keyBits);
    int i = 0;
    for (; i + kLanes <= n; i += kLanes) MirroredKeyedGroup<S>(row, d, pitch, rows, i, key);
    if (i < n) MirroredKeyedGroup<S>(row, d, pitch, rows, n - kLanes, key);
}

// Group i of a row mirrored onto one destination row (a mirrored draw at
// the source's own size), merged with the destination without asking what
// it holds: a sprite's groups are wholly key, wholly opaque and mixed in no
// order a branch could learn, and a wrong guess costs more than the load
// and store it would save.
template <int S>
__attribute__((target("avx2"))) inline void MirroredKeyedMerge(const std::uint8_t* row, std::uint8_t* d, int i,
                                                               typename WidePixels<S>::T key) {
    using V = typename WidePixels<S>::V;
    constexpr int kLanes = 32 / S;
    const V sv = Reversed<S>(Load<V>(row - static_cast<std::ptrdiff_t>(i + kLanes - 1) * S));
    const V keep = (V)(sv == key);
    std::uint8_t* dp = d + i * S;
    Store(dp, (Load<V>(dp) & keep) | (sv & ~keep));
}

// That row, at least a register wide; the last group may overlap the one
// before it, as above.
template <int S>
__attribute__((target("avx2"))) inline void MirroredKeyedRow(const std::uint8_t* row, std::uint8_t* d, int n,
                                                             std::uint32_t keyBits) {
    using T = typename WidePixels<S>::T;
    constexpr int kLanes = 32 / S;
    const T key = static_cast<T>(keyBits);
    int i = 0;
    for (; i + kLanes <= n; i += kLanes) MirroredKeyedMerge<S>(row, d, i, key);
    if (i < n) MirroredKeyedMerge<S>(row, d, n - kLanes, key);
}

// Pixel v, unless it is the key, onto `rows` rows a pitch apart.
template <int S>
inline void KeyedPixelRows(const std::uint8_t* v, std::uint8_t* d, std::ptrdiff_t pitch, int rows,
                           typename WidePixels<S>::T key) {
    typename WidePixels<S>::T p;
    std::memcpy(&p, v, S);
    if (p != key)
        for (int r = 0; r < rows; ++r) std::memcpy(d + r * pitch, &p, S);
}

// A row drawn keyed at twice its width onto `rows` rows a pitch apart: out
// pixel j is row[j / 2]. Half a register of source pixels is compared with
// the key once, and it and its comparison are doubled into whole registers,
// without gathering the row first.
template <int S>
__attribute__((target("avx2"))) inline void DoubledKeyedRows(const std::uint8_t* row, std::uint8_t* d,
                                                             std::ptrdiff_t pitch, int rows, int n,
                                                             std::uint32_t keyBits) {
    using T = typename WidePixels<S>::T;
    using V = typename WidePixels<S>::V;
    using Half = typename WidePixels<S>::Half;
    constexpr int kOut = 32 / S;
    const T key = static_cast<T>(keyBits);
    int j = 0;
    for (; j + kOut <= n; j += kOut) {
        const Half h = Load<Half>(row + (j / 2) * S);
        const Half keepHalf = (Half)(h == key);
        const int lanes = _mm_movemask_epi8(reinterpret_cast<__m128i>(keepHalf));
        if (lanes == 0xFFFF) continue;
        const V sv = Doubled<S>(h);
        std::uint8_t* dp = d + j * S;
        if (lanes == 0) {
            for (int r = 0; r < rows; ++r, dp += pitch) Store(dp, sv);
        } else {
            const V keep = Doubled<S>(keepHalf), opaque = sv & ~keep;
            for (int r = 0; r < rows; ++r, dp += pitch) Store(dp, (Load<V>(dp) & keep) | opaque);
        }
    }
    for (; j < n; ++j) KeyedPixelRows<S>(row + (j / 2) * S, d + j * S, pitch, rows, key);
}

// The scaled copy of direct pixels, transparent or not: the walk of
// blit::ScaledLoop with the rows above. A source row is gathered once for
// all the destination rows that show it.
template <int S, bool kKeyed>
__attribute__((target("avx2"))) void ScaledCopyLoopWide(const ScaledBlitFrame& sf) {
    const BlitFrame& f = sf.pixels;
    if constexpr (kKeyed) {
        // Mirrored at the source's own size: each destination row shows the
        // next source row, turned round.
        if (sf.unitColumns < 0 && sf.yScale == 0x10000 && sf.rowStart == 0x10000 && f.width >= 32 / S) {
            for (int y = 0; y < f.height; ++y)
                MirroredKeyedRow<S>(f.src + y * f.srcPitch, f.dest + y * f.destPitch, f.width, f.key);
            return;
        }
    }
    const std::size_t bytes = static_cast<std::size_t>(f.width) * S;
    std::int64_t accumulator = sf.rowStart;
    std::ptrdiff_t row = 0;
    for (int y = 0; y < f.height;) {
        std::uint8_t* d = f.dest + y * f.destPitch;
        const std::uint8_t* s = f.src + row * f.srcPitch;
        // The destination rows that show this source row.
        int rows = 0;
        do {
            ++rows;
            accumulator -= 0x10000;
        } while (accumulator > 0 && y + rows < f.height);
        if constexpr (kKeyed) {
            if (sf.doubledColumns == 1) {
                DoubledKeyedRows<S>(s, d, f.destPitch, rows, f.width, f.key);
            } else if (sf.doubledColumns == 2) {
                // (j + 1) / 2: the first pixel once, then the next ones twice.
                KeyedPixelRows<S>(s, d, f.destPitch, rows, static_cast<typename WidePixels<S>::T>(f.key));
                DoubledKeyedRows<S>(s + S, d + S, f.destPitch, rows, f.width - 1, f.key);
            } else if (sf.unitColumns < 0 && f.width >= 32 / S) {
                MirroredKeyedRows<S>(s, d, f.destPitch, rows, f.width, f.key);
            } else {
                GatherRowWide<S>(sf, sf.rowBuffer, s);
                KeyedCopyRows<S>(sf.rowBuffer, d, f.destPitch, rows, f.width, f.key);
            }
        } else {
            GatherRowWide<S>(sf, d, s);
            for (int r = 1; r < rows; ++r) blit::CopyRow(d + r * f.destPitch, d + (r - 1) * f.destPitch, bytes);
        }
        y += rows;
        while (accumulator <= 0) {
            ++row;
            accumulator += sf.yScale;
        }
    }
}

template <BlitLoopKind K>
__attribute__((target("avx2"))) void RunListLoopWide(const BlitFrame& f) {
    blit::RunWalk<K, false>(f);
}
template <BlitLoopKind K>
__attribute__((target("avx2"))) void GeneralLoopWide(const BlitFrame& f) {
    blit::GeneralBody<K>(f);
}

// A copy without mask or bright colour, transparent unless said otherwise.
constexpr BlitLoopKind CopyKind(BlitFamily family, bool alpha, bool runList, bool trans = true) {
    BlitLoopKind k;
    k.family = family;
    k.alpha = alpha;
    k.trans = trans;
    k.runList = runList;
    return k;
}

#endif

}  // namespace

bool WideMovesAvailable() {
#if defined(__x86_64__) || defined(__i386__)
    return __builtin_cpu_supports("avx2") != 0;
#else
    return false;
#endif
}

BlitLoopFn SelectWideCopyLoop(const BlitLoopKind& k) {
#if defined(__x86_64__) || defined(__i386__)
    if (k.mode != 0 || k.mask || k.bright || k.special != BlitSpecial::kNone) return nullptr;
    constexpr BlitFamily k16 = BlitFamily::kDirect16, k32 = BlitFamily::kDirect32;
    if (!k.trans) {
        // The plain copies of whole rows.
        if (k.alpha || k.runList) return nullptr;
        if (k.family == k16) return &GeneralLoopWide<CopyKind(k16, false, false, false)>;
        if (k.family == k32) return &GeneralLoopWide<CopyKind(k32, false, false, false)>;
        return nullptr;
    }
    if (k.family == k16 && !k.alpha) return k.runList ? &RunListLoopWide<CopyKind(k16, false, true)> : &KeyedCopyLoop16;
    if (k.family == k32 && !k.alpha)
        return k.runList ? &RunListLoopWide<CopyKind(k32, false, true)> : &GeneralLoopWide<CopyKind(k32, false, false)>;
    if (k.family == k32)
        return k.runList ? &RunListLoopWide<CopyKind(k32, true, true)> : &GeneralLoopWide<CopyKind(k32, true, false)>;
#else
    (void)k;
#endif
    return nullptr;
}

ScaledLoopFn SelectWideScaledCopyLoop(const BlitLoopKind& k) {
#if defined(__x86_64__) || defined(__i386__)
    if (k.mode != 0 || k.mask || k.bright || k.alpha || k.special != BlitSpecial::kNone) return nullptr;
    if (k.family == BlitFamily::kDirect16) return k.trans ? &ScaledCopyLoopWide<2, true> : &ScaledCopyLoopWide<2, false>;
    if (k.family == BlitFamily::kDirect32) return k.trans ? &ScaledCopyLoopWide<4, true> : &ScaledCopyLoopWide<4, false>;
#else
    (void)k;
#endif
    return nullptr;
}
