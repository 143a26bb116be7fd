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
// any processor; on x86-64 a group is one SSE2 register.
#pragma once

#include <cstdint>
#include <cstring>

#include "softrender/blit/blit_pixel.h"
#include "softrender/blit_frame.h"

namespace blit {

typedef std::uint8_t U8x16 __attribute__((vector_size(16)));
typedef std::uint16_t U16x8 __attribute__((vector_size(16)));
typedef std::int16_t I16x8 __attribute__((vector_size(16)));
typedef std::uint32_t U32x4 __attribute__((vector_size(16)));
typedef std::uint8_t U8x8 __attribute__((vector_size(8)));
typedef std::uint8_t U8x4 __attribute__((vector_size(4)));

template <class V>
inline V LoadVector(const std::uint8_t* p) {
    V v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
template <class V>
inline void StoreVector(std::uint8_t* p, V v) {
    std::memcpy(p, &v, sizeof v);
}

inline U16x8 Div255(U16x8 x) { return (x + 1 + (x >> 8)) >> 8; }
inline U16x8 Div63(U16x8 x) { return (x + 1 + (x >> 6)) >> 6; }

// Lanes where the comparison holds are all ones.
inline U16x8 Select(U16x8 keep, U16x8 ifKeep, U16x8 otherwise) { return (ifKeep & keep) | (otherwise & ~keep); }
inline U32x4 Select(U32x4 keep, U32x4 ifKeep, U32x4 otherwise) { return (ifKeep & keep) | (otherwise & ~keep); }

// ---- 5:6:5 pixels, eight to a group ---------------------------------------------

struct Channels565 {
    U16x8 r, g, b;
};
inline Channels565 Split565(U16x8 v) { return {v >> 11, (v >> 5) & 63, v & 31}; }
inline U16x8 Join565(const Channels565& c) { return (c.r << 11) | (c.g << 5) | c.b; }

inline U16x8 AddSaturate565x8(U16x8 d, U16x8 s, bool keepLowBits) {
    // The carry out of red, which would be bit 16, is where the 16-bit sum
    // wrapped; it saturates red as the seventeenth bit would.
    const U16x8 dm = d & 0xF7DF;
    const U16x8 t = dm + (s & 0xF7DF);
    const U16x8 redCarry = (U16x8)(t < dm);
    const U16x8 k = t & 0x0820;
    U16x8 out = (k - (k >> 5)) | (redCarry & 0xF800) | t;
    if (keepLowBits) out |= (d | s) & 0x0820;
    return out;
}
inline U16x8 SubtractSaturate565x8(U16x8 d, U16x8 s) {
    // Bit 16 of the guarded difference is set when the whole word did not
    // borrow; it keeps red as the seventeenth bit would.
    const U16x8 u = d | 0x0820;
    const U16x8 sm = s & 0xF7DF;
    const U16x8 x = u - sm;
    const U16x8 redKept = (U16x8)(u >= sm);
    const U16x8 k = x & 0x0820;
    return ((k - (k >> 5)) | (redKept & 0xF800)) & x;
}

// ---- 32-bit pixels, four to a group ------------------------------------------------
//
// A pixel's bytes are worked on in two 16-bit lanes each: blue and red
// (bytes 0 and 2), green and the fourth byte (bytes 1 and 3).

inline U16x8 EvenBytes(U32x4 v) { return (U16x8)(v & 0x00FF00FFu); }
inline U16x8 OddBytes(U32x4 v) { return (U16x8)((v >> 8) & 0x00FF00FFu); }
inline U32x4 JoinBytes(U16x8 even, U16x8 odd) { return (U32x4)even | ((U32x4)odd << 8); }

inline U32x4 AddBytesSaturate4(U32x4 d, U32x4 s) {
    const U8x16 db = (U8x16)d;
    const U8x16 sum = db + (U8x16)s;
    return (U32x4)(sum | (U8x16)(sum < db));
}
inline U32x4 SubtractBytesSaturate4(U32x4 d, U32x4 s) {
    const U8x16 db = (U8x16)d, sb = (U8x16)s;
    return (U32x4)((db - sb) & (U8x16)(db >= sb));
}

// ---- the group operations -----------------------------------------------------------

// Constants of one call, made once per loop.
struct VectorContext {
    std::uint16_t p = 0, notP = 0;        // p and 256 - p
    std::uint16_t q = 0, notQ = 0;        // p / 4 and 63 - p / 4
    std::uint16_t brightR = 255, brightG = 255, brightB = 255;
    U16x8 brightEven{}, brightOdd{};      // 32-bit: (blue, red) and (green, 0) per pixel
    std::uint32_t key = 0;
};

inline VectorContext MakeVectorContext(const BlitFrame& f) {
    VectorContext c;
    c.p = static_cast<std::uint16_t>(f.param);
    c.notP = static_cast<std::uint16_t>(256 - f.param);
    c.q = static_cast<std::uint16_t>(f.param / 4);
    c.notQ = static_cast<std::uint16_t>(63 - f.param / 4);
    c.brightR = static_cast<std::uint16_t>(f.brightRed);
    c.brightG = static_cast<std::uint16_t>(f.brightGreen);
    c.brightB = static_cast<std::uint16_t>(f.brightBlue);
    for (int i = 0; i < 8; i += 2) {
        c.brightEven[i] = c.brightB;
        c.brightEven[i + 1] = c.brightR;
        c.brightOdd[i] = c.brightG;
        c.brightOdd[i + 1] = 0;
    }
    c.key = f.key;
    return c;
}

template <BlitLoopKind K>
struct Group {
    static constexpr bool k32 = Is32(K.family);
    static constexpr bool kPaletted = IsPaletted(K.family);
    // Direct 16-bit sources with alpha keep 4 bytes a pixel, and masked and
    // weighted pixels need 32-bit products: those stay one pixel at a time.
    static constexpr bool kAvailable = !K.mask && !(K.alpha && !k32 && !kPaletted);
    static constexpr int kLanes = k32 ? 4 : 8;
    static constexpr int kSrcStep = Pixel<K>::kSrcStep;
    static constexpr int kDestStep = Pixel<K>::kDestStep;
    static constexpr unsigned kMode = K.mode;
    using V = std::conditional_t<k32, U32x4, U16x8>;

    static V LoadSource(const BlitFrame& f, const std::uint8_t* s) {
        if constexpr (!kPaletted) {
            return LoadVector<V>(s);
        } else if constexpr (k32) {
            return V{f.palette[s[0]], f.palette[s[1]], f.palette[s[2]], f.palette[s[3]]};
        } else {
            const std::uint32_t* pal = f.palette;
            return V{static_cast<std::uint16_t>(pal[s[0]]), static_cast<std::uint16_t>(pal[s[1]]),
                     static_cast<std::uint16_t>(pal[s[2]]), static_cast<std::uint16_t>(pal[s[3]]),
                     static_cast<std::uint16_t>(pal[s[4]]), static_cast<std::uint16_t>(pal[s[5]]),
                     static_cast<std::uint16_t>(pal[s[6]]), static_cast<std::uint16_t>(pal[s[7]])};
        }
    }
    // All ones in the lanes whose pixel is the transparent colour.
    static V KeyLanes(const VectorContext& c, const std::uint8_t* s) {
        if constexpr (!kPaletted) {
            return (V)(LoadVector<V>(s) == static_cast<std::conditional_t<k32, std::uint32_t, std::uint16_t>>(c.key));
        } else if constexpr (k32) {
            const U32x4 idx = __builtin_convertvector(LoadVector<U8x4>(s), U32x4);
            return (V)(idx == c.key);
        } else {
            const U16x8 idx = __builtin_convertvector(LoadVector<U8x8>(s), U16x8);
            return (V)(idx == static_cast<std::uint16_t>(c.key));
        }
    }

    static U16x8 Brighten(const VectorContext& c, U16x8 s) {
        if constexpr (!K.bright) return s;
        Channels565 ch = Split565(s);
        ch.r = Div255(ch.r * c.brightR);
        ch.g = Div255(ch.g * c.brightG);
        ch.b = Div255(ch.b * c.brightB);
        return Join565(ch);
    }
    // The fourth byte becomes 0.
    static U32x4 Brighten(const VectorContext& c, U32x4 s) {
        if constexpr (!K.bright) return s;
        return JoinBytes(Div255(EvenBytes(s) * c.brightEven), Div255(OddBytes(s) * c.brightOdd));
    }

    // Each channel scaled by p / 255: the add and subtract term.
    static U16x8 ScaleByParam(const VectorContext& c, U16x8 s) {
        Channels565 ch = Split565(s);
        ch.r = Div255(ch.r * c.p);
        ch.g = Div255(ch.g * c.p);
        ch.b = Div255(ch.b * c.p);
        return Join565(ch);
    }
    static U32x4 ScaleByParam(const VectorContext& c, U32x4 s) {
        return JoinBytes(Div255(EvenBytes(s) * c.p), Div255(OddBytes(s) * c.p)) & 0x00FFFFFFu;
    }

    // d + trunc(p * (s - d) / 255) per channel: the magnitude is scaled and
    // its sign put back, so the result rounds toward d.
    static U16x8 TowardByDifference(const VectorContext& c, U16x8 s, U16x8 d) {
        const Channels565 cs = Split565(s), cd = Split565(d);
        auto mix = [&c](U16x8 sv, U16x8 dv) {
            const I16x8 diff = (I16x8)sv - (I16x8)dv;
            const I16x8 neg = diff >> 15;
            const U16x8 magnitude = (U16x8)((diff ^ neg) - neg);
            const I16x8 scaled = (I16x8)Div255(magnitude * c.p);
            return (U16x8)((I16x8)dv + ((scaled ^ neg) - neg));
        };
        return Join565({mix(cs.r, cd.r), mix(cs.g, cd.g), mix(cs.b, cd.b)});
    }

    // The result of one group; d is the destination as it was.
    static V Apply(const VectorContext& c, V s, V d) {
        if constexpr (kMode == 0) {
            if constexpr (!K.bright) return s;
            else if constexpr (k32) return (d & 0xFF000000u) | Brighten(c, s);
            else return Brighten(c, s);
        } else if constexpr (kMode == 1) {
            if constexpr (K.special == BlitSpecial::kHalfWeight) {
                if constexpr (k32) return ((s >> 1) & 0x7F7F7Fu) + ((d >> 1) & 0x7F7F7Fu);
                else return ((s >> 1) & 0x7BEF) + ((d >> 1) & 0x7BEF);
            } else if constexpr (k32) {
                const U32x4 sb = Brighten(c, s);
                const U16x8 even = (EvenBytes(d) * c.notP + EvenBytes(sb) * c.p) >> 8;
                const U16x8 odd = (OddBytes(d) * c.notP + OddBytes(sb) * c.p) >> 8;
                return (d & 0xFF000000u) | (JoinBytes(even, odd) & 0x00FFFFFFu);
            } else if constexpr (Pixel<K>::kLevel63) {
                const Channels565 cs = Split565(s), cd = Split565(d);
                return Join565({Div63(cs.r * c.q + cd.r * c.notQ), Div63(cs.g * c.q + cd.g * c.notQ),
                                Div63(cs.b * c.q + cd.b * c.notQ)});
            } else {
                return TowardByDifference(c, Brighten(c, s), d);
            }
        } else if constexpr (kMode == 2 || kMode == 3) {
            if constexpr (K.special == BlitSpecial::kFullStrengthMmx) {
                return kMode == 2 ? AddBytesSaturate4(d, s) : SubtractBytesSaturate4(d, s);
            } else {
                const bool full = K.special == BlitSpecial::kFullStrength;
                const V t = full ? s : ScaleByParam(c, Brighten(c, s));
                if constexpr (k32) {
                    if constexpr (kMode == 2) {
                        const U32x4 sum = (d & 0x00FEFEFFu) + (t & 0x00FEFEFFu);
                        const U32x4 m = sum & 0x01010100u;
                        U32x4 out = (m - (m >> 8)) | sum;
                        if (!full) out |= (d | t) & 0x00010100u;
                        return out;
                    } else {
                        const U32x4 x = (d | 0x01010100u) - (t & 0xFEFEFEFFu);
                        const U32x4 m = x & 0x01010100u;
                        return (m - (m >> 8)) & x;
                    }
                } else {
                    if constexpr (kMode == 2) return AddSaturate565x8(d, t, !full);
                    else return SubtractSaturate565x8(d, t);
                }
            }
        } else {
            static_assert(kMode == 4);
            const V sb = Brighten(c, s);
            if constexpr (k32) {
                const U16x8 even = (EvenBytes(d) * EvenBytes(sb)) >> 8;
                const U16x8 odd = (OddBytes(d) * OddBytes(sb)) >> 8;
                return (d & 0xFF000000u) | (JoinBytes(even, odd) & 0x00FFFFFFu);
            } else {
                const Channels565 cs = Split565(sb), cd = Split565(d);
                return Join565({(cs.r * cd.r) >> 5, (cs.g * cd.g) >> 6, (cs.b * cd.b) >> 5});
            }
        }
    }

    // One group at pixel offset i of the row. With the key test, the
    // transparent lanes keep the destination.
    template <bool kKeyed>
    static V Compute(const BlitFrame& f, const VectorContext& c, const std::uint8_t* s, const std::uint8_t* d) {
        const V dv = LoadVector<V>(d);
        const V out = Apply(c, LoadSource(f, s), dv);
        if constexpr (kKeyed) return Select(KeyLanes(c, s), dv, out);
        else return out;
    }

    // Draws n >= kLanes pixels. The last group is worked out first, from the
    // destination as it was, so that the groups may overlap at the row's end
    // without any pixel being blended twice.
    template <bool kKeyed>
    static void Row(const BlitFrame& f, const VectorContext& c, const std::uint8_t* s, std::uint8_t* d, int n) {
        const int last = n - kLanes;
        const V tail = Compute<kKeyed>(f, c, s + last * kSrcStep, d + last * kDestStep);
        for (int i = 0; i < last; i += kLanes)
            StoreVector(d + i * kDestStep, Compute<kKeyed>(f, c, s + i * kSrcStep, d + i * kDestStep));
        StoreVector(d + last * kDestStep, tail);
    }
};

}  // namespace blit
