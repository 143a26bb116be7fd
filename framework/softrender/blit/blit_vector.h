// Several pixels at once for the loops the game draws with most: no blend
// mask and no alpha weight (copies, colour-keyed copies, the bright colour,
// alpha by the parameter, add, subtract and multiply, and the special
// loops). Each group gives every pixel exactly what Pixel<K>::Opaque gives.
//
// The tables are replaced by exact integer forms that need no look-up:
//   floor(x / 255) = (x + 1 + (x >> 8)) >> 8   for 0 <= x <= 255 * 255,
//   floor(x / 63)  = (x + 1 + (x >> 6)) >> 6   for 0 <= x <= 3969,
// which covers every product that reaches them (a channel times a byte, or
// the 64-level mix of two 6-bit values). A 16-bit lane holds every
// intermediate value: a channel product is at most 255 * 256.
//
// Written with the compiler's generic vectors, so the same source builds for
// any processor. A group is one register of W bytes: 16 (SSE2 on x86-64)
// for every loop, and 32 for the loops built a second time for processors
// that have such registers (blit_wide_copy.cpp). Everything a group does is
// inlined into its loop, so that the loops of each width are built for
// their own registers.
#pragma once

#include <cstdint>
#include <cstring>

#include "softrender/blit/blit_pixel.h"
#include "softrender/packed_lanes.h"
#include "softrender/blit_frame.h"

namespace blit {

// The vector types of one register width, and the arithmetic on them.
template <int W>
struct Lanes {
    typedef std::uint8_t U8 __attribute__((vector_size(W)));
    typedef std::uint16_t U16 __attribute__((vector_size(W)));
    typedef std::int16_t I16 __attribute__((vector_size(W)));
    typedef std::uint32_t U32 __attribute__((vector_size(W)));
    // One byte for each lane of 16 or 32 bits (palette indices).
    typedef std::uint8_t Index16 __attribute__((vector_size(W / 2)));
    typedef std::uint8_t Index32 __attribute__((vector_size(W / 4)));

    [[gnu::always_inline]] static U16 Div255(U16 x) { return (x + 1 + (x >> 8)) >> 8; }
    [[gnu::always_inline]] static U16 Div63(U16 x) { return (x + 1 + (x >> 6)) >> 6; }

    // Lanes where the comparison holds are all ones.
    [[gnu::always_inline]] static U16 Select(U16 keep, U16 ifKeep, U16 otherwise) {
        return (ifKeep & keep) | (otherwise & ~keep);
    }
    [[gnu::always_inline]] static U32 Select(U32 keep, U32 ifKeep, U32 otherwise) {
        return (ifKeep & keep) | (otherwise & ~keep);
    }

    // ---- 5:6:5 pixels, one to a 16-bit lane ----

    struct Channels565 {
        U16 r, g, b;
    };
    [[gnu::always_inline]] static Channels565 Split565(U16 v) { return {v >> 11, (v >> 5) & 63, v & 31}; }
    [[gnu::always_inline]] static U16 Join565(const Channels565& c) { return (c.r << 11) | (c.g << 5) | c.b; }

    // ---- 32-bit pixels, one to a 32-bit lane ----
    //
    // A pixel's bytes are worked on in two 16-bit lanes each: blue and red
    // (bytes 0 and 2), green and the fourth byte (bytes 1 and 3).

    [[gnu::always_inline]] static U16 EvenBytes(U32 v) { return (U16)(v & 0x00FF00FFu); }
    [[gnu::always_inline]] static U16 OddBytes(U32 v) { return (U16)((v >> 8) & 0x00FF00FFu); }
    [[gnu::always_inline]] static U32 JoinBytes(U16 even, U16 odd) { return (U32)even | ((U32)odd << 8); }

    [[gnu::always_inline]] static U32 AddBytesSaturate(U32 d, U32 s) {
        const U8 db = (U8)d;
        const U8 sum = db + (U8)s;
        return (U32)(sum | (U8)(sum < db));
    }
    [[gnu::always_inline]] static U32 SubtractBytesSaturate(U32 d, U32 s) {
        const U8 db = (U8)d, sb = (U8)s;
        return (U32)((db - sb) & (U8)(db >= sb));
    }
};

// The 16-byte types by name.
using U8x16 = Lanes<16>::U8;
using U16x8 = Lanes<16>::U16;
using I16x8 = Lanes<16>::I16;
using U32x4 = Lanes<16>::U32;

template <class V>
[[gnu::always_inline]] inline V LoadVector(const std::uint8_t* p) {
    V v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
template <class V>
[[gnu::always_inline]] inline void StoreVector(std::uint8_t* p, V v) {
    std::memcpy(p, &v, sizeof v);
}

inline U16x8 Div255(U16x8 x) { return Lanes<16>::Div255(x); }
inline U16x8 Div63(U16x8 x) { return Lanes<16>::Div63(x); }

// ---- the group operations -----------------------------------------------------------

// Constants of one call, made once per loop.
template <int W>
struct VectorContext {
    using U16 = typename Lanes<W>::U16;
    std::uint16_t p = 0, notP = 0;        // p and 256 - p
    std::uint16_t q = 0, notQ = 0;        // p / 4 and 63 - p / 4
    std::uint16_t brightR = 255, brightG = 255, brightB = 255;
    U16 brightEven{}, brightOdd{};        // 32-bit: (blue, red) and (green, 0) per pixel
    std::uint32_t key = 0;
};

template <int W = 16>
[[gnu::always_inline]] inline VectorContext<W> MakeVectorContext(const BlitFrame& f) {
    VectorContext<W> c;
    c.p = static_cast<std::uint16_t>(f.param);
    c.notP = static_cast<std::uint16_t>(256 - f.param);
    c.q = static_cast<std::uint16_t>(f.param / 4);
    c.notQ = static_cast<std::uint16_t>(63 - f.param / 4);
    c.brightR = static_cast<std::uint16_t>(f.brightRed);
    c.brightG = static_cast<std::uint16_t>(f.brightGreen);
    c.brightB = static_cast<std::uint16_t>(f.brightBlue);
    for (int i = 0; i < W / 2; i += 2) {
        c.brightEven[i] = c.brightB;
        c.brightEven[i + 1] = c.brightR;
        c.brightOdd[i] = c.brightG;
        c.brightOdd[i + 1] = 0;
    }
    c.key = f.key;
    return c;
}

template <BlitLoopKind K, int W = 16>
struct Group {
    using L = Lanes<W>;
    using U16 = typename L::U16;
    using I16 = typename L::I16;
    using U32 = typename L::U32;
    using Context = VectorContext<W>;
    static constexpr bool k32 = Is32(K.family);
    static constexpr bool kPaletted = IsPaletted(K.family);
    // Direct 16-bit sources with alpha keep 4 bytes a pixel, and masked and
    // weighted pixels need 32-bit products: those stay one pixel at a time.
    static constexpr bool kAvailable = !K.mask && !(K.alpha && !k32 && !kPaletted);
    static constexpr int kLanes = k32 ? W / 4 : W / 2;
    static constexpr int kSrcStep = Pixel<K>::kSrcStep;
    static constexpr int kDestStep = Pixel<K>::kDestStep;
    static constexpr unsigned kMode = K.mode;
    using V = std::conditional_t<k32, U32, U16>;

    [[gnu::always_inline]] static V LoadSource(const BlitFrame& f, const std::uint8_t* s) {
        if constexpr (!kPaletted) {
            return LoadVector<V>(s);
        } else {
            V v;
            for (int i = 0; i < kLanes; ++i) v[i] = static_cast<std::conditional_t<k32, std::uint32_t, std::uint16_t>>(f.palette[s[i]]);
            return v;
        }
    }
    // All ones in the lanes whose pixel is the transparent colour.
    [[gnu::always_inline]] static V KeyLanes(const Context& c, const std::uint8_t* s) {
        if constexpr (!kPaletted) {
            return (V)(LoadVector<V>(s) == static_cast<std::conditional_t<k32, std::uint32_t, std::uint16_t>>(c.key));
        } else if constexpr (k32) {
            const U32 idx = __builtin_convertvector(LoadVector<typename L::Index32>(s), U32);
            return (V)(idx == c.key);
        } else {
            const U16 idx = __builtin_convertvector(LoadVector<typename L::Index16>(s), U16);
            return (V)(idx == static_cast<std::uint16_t>(c.key));
        }
    }

    [[gnu::always_inline]] static U16 Brighten(const Context& c, U16 s) {
        if constexpr (!K.bright) return s;
        typename L::Channels565 ch = L::Split565(s);
        ch.r = L::Div255(ch.r * c.brightR);
        ch.g = L::Div255(ch.g * c.brightG);
        ch.b = L::Div255(ch.b * c.brightB);
        return L::Join565(ch);
    }
    // The fourth byte becomes 0.
    [[gnu::always_inline]] static U32 Brighten(const Context& c, U32 s) {
        if constexpr (!K.bright) return s;
        return L::JoinBytes(L::Div255(L::EvenBytes(s) * c.brightEven), L::Div255(L::OddBytes(s) * c.brightOdd));
    }

    // Each channel scaled by p / 255: the add and subtract term, from the
    // source brightened.
    [[gnu::always_inline]] static U16 BrightScaledByParam(const Context& c, U16 s) {
        typename L::Channels565 ch = L::Split565(Brighten(c, s));
        ch.r = L::Div255(ch.r * c.p);
        ch.g = L::Div255(ch.g * c.p);
        ch.b = L::Div255(ch.b * c.p);
        return L::Join565(ch);
    }
    [[gnu::always_inline]] static U32 BrightScaledByParam(const Context& c, U32 s) {
        // Both steps on the split bytes, without joining them between.
        U16 even = L::EvenBytes(s), odd = L::OddBytes(s);
        if constexpr (K.bright) {
            even = L::Div255(even * c.brightEven);
            odd = L::Div255(odd * c.brightOdd);
        }
        return L::JoinBytes(L::Div255(even * c.p), L::Div255(odd * c.p)) & 0x00FFFFFFu;
    }

    // d + trunc(p * (s - d) / 255) per channel: the magnitude is scaled and
    // its sign put back, so the result rounds toward d.
    [[gnu::always_inline]] static U16 TowardByDifference(const Context& c, U16 s, U16 d) {
        const typename L::Channels565 cs = L::Split565(s), cd = L::Split565(d);
        auto mix = [&c](U16 sv, U16 dv) [[gnu::always_inline]] {
            const I16 diff = (I16)sv - (I16)dv;
            const I16 neg = diff >> 15;
            const U16 magnitude = (U16)((diff ^ neg) - neg);
            const I16 scaled = (I16)L::Div255(magnitude * c.p);
            return (U16)((I16)dv + ((scaled ^ neg) - neg));
        };
        return L::Join565({mix(cs.r, cd.r), mix(cs.g, cd.g), mix(cs.b, cd.b)});
    }

    // The result of one group; d is the destination as it was.
    [[gnu::always_inline]] static V Apply(const Context& c, V s, V d) {
        if constexpr (kMode == 0) {
            if constexpr (!K.bright) return s;
            else if constexpr (k32) return (d & 0xFF000000u) | Brighten(c, s);
            else return Brighten(c, s);
        } else if constexpr (kMode == 1) {
            if constexpr (K.special == BlitSpecial::kHalfWeight) {
                if constexpr (k32) return ((s >> 1) & 0x7F7F7Fu) + ((d >> 1) & 0x7F7F7Fu);
                else return ((s >> 1) & 0x7BEF) + ((d >> 1) & 0x7BEF);
            } else if constexpr (k32) {
                const U32 sb = Brighten(c, s);
                const U16 even = (L::EvenBytes(d) * c.notP + L::EvenBytes(sb) * c.p) >> 8;
                const U16 odd = (L::OddBytes(d) * c.notP + L::OddBytes(sb) * c.p) >> 8;
                return (d & 0xFF000000u) | (L::JoinBytes(even, odd) & 0x00FFFFFFu);
            } else if constexpr (Pixel<K>::kLevel63) {
                const typename L::Channels565 cs = L::Split565(s), cd = L::Split565(d);
                return L::Join565({L::Div63(cs.r * c.q + cd.r * c.notQ), L::Div63(cs.g * c.q + cd.g * c.notQ),
                                   L::Div63(cs.b * c.q + cd.b * c.notQ)});
            } else {
                return TowardByDifference(c, Brighten(c, s), d);
            }
        } else if constexpr (kMode == 2 || kMode == 3) {
            if constexpr (K.special == BlitSpecial::kFullStrengthMmx) {
                return kMode == 2 ? L::AddBytesSaturate(d, s) : L::SubtractBytesSaturate(d, s);
            } else {
                const bool full = K.special == BlitSpecial::kFullStrength;
                const V t = full ? s : BrightScaledByParam(c, s);
                if constexpr (k32) {
                    if constexpr (kMode == 2) return packed_lanes::AddSaturate888(d, t, !full);
                    else return packed_lanes::SubtractSaturate888(d, t);
                } else {
                    if constexpr (kMode == 2) return packed_lanes::AddSaturate565(d, t, !full);
                    else return packed_lanes::SubtractSaturate565(d, t);
                }
            }
        } else {
            static_assert(kMode == 4);
            const V sb = Brighten(c, s);
            if constexpr (k32) {
                const U16 even = (L::EvenBytes(d) * L::EvenBytes(sb)) >> 8;
                const U16 odd = (L::OddBytes(d) * L::OddBytes(sb)) >> 8;
                return (d & 0xFF000000u) | (L::JoinBytes(even, odd) & 0x00FFFFFFu);
            } else {
                const typename L::Channels565 cs = L::Split565(sb), cd = L::Split565(d);
                return L::Join565({(cs.r * cd.r) >> 5, (cs.g * cd.g) >> 6, (cs.b * cd.b) >> 5});
            }
        }
    }

    // One group at pixel offset i of the row. With the key test, the
    // transparent lanes keep the destination.
    template <bool kKeyed>
    [[gnu::always_inline]] static V Compute(const BlitFrame& f, const Context& c, const std::uint8_t* s,
                                       const std::uint8_t* d) {
        const V dv = LoadVector<V>(d);
        const V out = Apply(c, LoadSource(f, s), dv);
        if constexpr (kKeyed) return L::Select(KeyLanes(c, s), dv, out);
        else return out;
    }

    // Draws n >= kLanes pixels. The last group is worked out first, from the
    // destination as it was, so that the groups may overlap at the row's end
    // without any pixel being blended twice.
    template <bool kKeyed>
    [[gnu::always_inline]] static void Row(const BlitFrame& f, const Context& c, const std::uint8_t* s, std::uint8_t* d,
                                      int n) {
        const int last = n - kLanes;
        const V tail = Compute<kKeyed>(f, c, s + last * kSrcStep, d + last * kDestStep);
        for (int i = 0; i < last; i += kLanes)
            StoreVector(d + i * kDestStep, Compute<kKeyed>(f, c, s + i * kSrcStep, d + i * kDestStep));
        StoreVector(d + last * kDestStep, tail);
    }
};

}  // namespace blit
