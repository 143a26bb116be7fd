// One pixel of the unscaled blit: where the source colour comes from, and the
// formula of each blend mode in its opaque form (no alpha weight) and in its
// weighted form (the source's alpha byte takes part).
//
// The general loops and the run-list loops share these formulas. Where the
// two kinds of loop differ, the loop kind says so: 16-bit alpha without mask
// and with white uses the 64-level table only in the general loops, and the
// special loops exist only there.
//
// Every quantity is unsigned 32-bit. A blend towards s by a weight F of n
// bits is written d * (2^n - F) + s * F, which equals d * 2^n + (s - d) * F,
// is never negative and stays below 2^32 even for three weights (n = 24).
#pragma once

#include <cstdint>
#include <cstring>

#include "softrender/blit_frame.h"
#include "softrender/packed_math.h"
#include "softrender/pixel_layout.h"

namespace blit {

// ---- whole-pixel forms of the special loops ----------------------------------

// Full-strength add: the general add without the term that keeps the two
// operands' lowest green and red bits, so only the carry from below sets them.
constexpr std::uint32_t AddSaturateFull888(std::uint32_t d, std::uint32_t s) {
    const std::uint32_t t = (d & 0x00FEFEFFu) + (s & 0x00FEFEFFu);
    const std::uint32_t m = t & 0x01010100u;
    return (m - (m >> 8)) | t;
}
constexpr std::uint32_t AddSaturateFull565(std::uint32_t d, std::uint32_t s) {
    const std::uint32_t t = (d & 0xF7DFu) + (s & 0xF7DFu);
    const std::uint32_t m = t & 0x10820u;
    return ((m - (m >> 5)) | t) & 0xFFFF;
}

// Each of the four bytes saturated on its own, the fourth byte included.
constexpr std::uint32_t AddBytesSaturate(std::uint32_t d, std::uint32_t s) {
    std::uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const std::uint32_t sum = ((d >> shift) & 0xFF) + ((s >> shift) & 0xFF);
        out |= (sum > 255 ? 255 : sum) << shift;
    }
    return out;
}
constexpr std::uint32_t SubtractBytesSaturate(std::uint32_t d, std::uint32_t s) {
    std::uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const std::uint32_t db = (d >> shift) & 0xFF, sb = (s >> shift) & 0xFF;
        out |= (db > sb ? db - sb : 0) << shift;
    }
    return out;
}

constexpr std::uint32_t HalfWeight888(std::uint32_t d, std::uint32_t s) {
    return ((s >> 1) & 0x7F7F7Fu) + ((d >> 1) & 0x7F7F7Fu);
}
constexpr std::uint32_t HalfWeight565(std::uint32_t d, std::uint32_t s) {
    return ((s >> 1) & 0x7BEFu) + ((d >> 1) & 0x7BEFu);
}

// d moved towards s by the weight f of n bits.
constexpr std::uint32_t Lerp(std::uint32_t d, std::uint32_t s, std::uint32_t f, unsigned n) {
    return (d * ((1u << n) - f) + s * f) >> n;
}

// ---- one pixel of a loop kind -------------------------------------------------

template <BlitLoopKind K>
struct Pixel : PixelLayout<K> {
    using L = PixelLayout<K>;
    using L::k32, L::kPaletted, L::kAlpha, L::kSrcStep, L::kDestStep;
    using L::LoadDest, L::StoreDest, L::Raw, L::AlphaOf;
    static constexpr unsigned kMode = K.mode;
    // 16-bit alpha without weights: the 64-level table in the general loops
    // of the unscaled blit for a white bright colour and a source without
    // alpha, else the signed difference table.
    static constexpr bool kLevel63 =
        !k32 && kMode == 1 && !K.mask && !K.bright && !kAlpha && !K.runList && !K.scaled;

    static std::uint32_t Colour(const BlitFrame& f, const std::uint8_t* s) {
        if constexpr (kPaletted) return f.palette[s[0]];
        else return Raw(s);
    }

    // Applies fn(source channel, destination channel, channel bits) to the
    // three channels. A 32-bit destination keeps its fourth byte.
    template <class Fn>
    static std::uint32_t Channels(std::uint32_t s, std::uint32_t d, Fn fn) {
        if constexpr (k32) {
            return (d & 0xFF000000u) | Pack888(fn(Red888(s), Red888(d), 8u), fn(Green888(s), Green888(d), 8u),
                                               fn(Blue888(s), Blue888(d), 8u));
        } else {
            return Pack565(fn(Red565(s), Red565(d), 5u), fn(Green565(s), Green565(d), 6u),
                           fn(Blue565(s), Blue565(d), 5u));
        }
    }
    // A pixel built from three source terms, the fourth byte 0.
    template <class Fn>
    static std::uint32_t Terms(std::uint32_t s, Fn fn) {
        if constexpr (k32) return Pack888(fn(Red888(s), 8u), fn(Green888(s), 8u), fn(Blue888(s), 8u));
        else return Pack565(fn(Red565(s), 5u), fn(Green565(s), 6u), fn(Blue565(s), 5u));
    }

    // The bright colour scales each channel by its byte / 255; in 16-bit the
    // table scales the 5- or 6-bit value itself.
    static std::uint32_t Brighten(const BlitFrame& f, std::uint32_t s) {
        if constexpr (!K.bright) {
            return s;
        } else if constexpr (k32) {
            return Pack888(f.brightRowRed[Red888(s)], f.brightRowGreen[Green888(s)], f.brightRowBlue[Blue888(s)]);
        } else {
            return Pack565(f.brightRowRed[Red565(s)], f.brightRowGreen[Green565(s)], f.brightRowBlue[Blue565(s)]);
        }
    }

    static std::uint32_t Add(std::uint32_t d, std::uint32_t t) {
        if constexpr (k32) return AddSaturate888(d, t);
        else return AddSaturate565(d, t);
    }
    static std::uint32_t Subtract(std::uint32_t d, std::uint32_t t) {
        if constexpr (k32) return SubtractSaturate888(d, t);
        else return SubtractSaturate565(d, t);
    }

    // The opaque form: s is the source colour, w the mask weight.
    static std::uint32_t Opaque(const BlitFrame& f, std::uint32_t s, std::uint32_t d, std::uint32_t w) {
        const std::uint32_t p = f.param;
        if constexpr (kMode == 0) {
            if constexpr (!K.mask && !K.bright) {
                return s;  // the whole pixel, fourth byte included
            } else if constexpr (!K.mask) {
                const std::uint32_t sb = Brighten(f, s);
                return k32 ? (d & 0xFF000000u) | sb : sb;
            } else {
                return Channels(Brighten(f, s), d,
                                [w](std::uint32_t sc, std::uint32_t dc, unsigned) { return Lerp(dc, sc, w, 8); });
            }
        } else if constexpr (kMode == 1) {
            if constexpr (K.special == BlitSpecial::kHalfWeight) {
                return k32 ? HalfWeight888(d, s) : HalfWeight565(d, s);
            } else if constexpr (K.mask) {
                return Channels(Brighten(f, s), d, [w, p](std::uint32_t sc, std::uint32_t dc, unsigned) {
                    return Lerp(dc, sc, w * p, 16);
                });
            } else if constexpr (k32) {
                return Channels(Brighten(f, s), d,
                                [p](std::uint32_t sc, std::uint32_t dc, unsigned) { return Lerp(dc, sc, p, 8); });
            } else if constexpr (kLevel63) {
                return Channels(s, d, [&f](std::uint32_t sc, std::uint32_t dc, unsigned) {
                    return static_cast<std::uint32_t>((*f.levelBlock)[sc][dc]);
                });
            } else {
                return Channels(Brighten(f, s), d, [&f](std::uint32_t sc, std::uint32_t dc, unsigned) {
                    return static_cast<std::uint32_t>(static_cast<std::int32_t>(dc) +
                                                      f.diffRow[static_cast<std::int32_t>(sc - dc)]);
                });
            }
        } else if constexpr (kMode == 2 || kMode == 3) {
            if constexpr (K.special == BlitSpecial::kFullStrength) {
                if constexpr (kMode == 2) return k32 ? AddSaturateFull888(d, s) : AddSaturateFull565(d, s);
                else return Subtract(d, s);
            } else if constexpr (K.special == BlitSpecial::kFullStrengthMmx) {
                return kMode == 2 ? AddBytesSaturate(d, s) : SubtractBytesSaturate(d, s);
            } else {
                std::uint32_t t;
                if constexpr (!K.mask) {
                    t = Terms(Brighten(f, s), [&f](std::uint32_t sc, unsigned) { return f.paramRow[sc]; });
                } else if constexpr (k32) {
                    t = Terms(Brighten(f, s), [w, p](std::uint32_t sc, unsigned) { return (sc * w * p) >> 16; });
                } else {
                    t = Terms(Brighten(f, s), [&f, w](std::uint32_t sc, unsigned) { return f.paramRow[(sc * w) >> 8]; });
                }
                return kMode == 2 ? Add(d, t) : Subtract(d, t);
            }
        } else {
            static_assert(kMode == 4);
            if constexpr (!K.mask) {
                return Channels(Brighten(f, s), d,
                                [](std::uint32_t sc, std::uint32_t dc, unsigned n) { return (dc * sc) >> n; });
            } else {
                return Channels(Brighten(f, s), d, [w](std::uint32_t sc, std::uint32_t dc, unsigned n) {
                    return (dc * sc * w) >> (n + 8);
                });
            }
        }
    }

    // The weighted form: a is the source's alpha byte.
    static std::uint32_t Weighted(const BlitFrame& f, std::uint32_t s, std::uint32_t d, std::uint32_t w,
                                  std::uint32_t a) {
        const std::uint32_t p = f.param;
        const std::uint32_t sb = Brighten(f, s);
        if constexpr (kMode == 0) {
            if constexpr (!K.mask)
                return Channels(sb, d, [a](std::uint32_t sc, std::uint32_t dc, unsigned) { return Lerp(dc, sc, a, 8); });
            else
                return Channels(sb, d,
                                [a, w](std::uint32_t sc, std::uint32_t dc, unsigned) { return Lerp(dc, sc, w * a, 16); });
        } else if constexpr (kMode == 1) {
            if constexpr (!K.mask)
                return Channels(sb, d,
                                [a, p](std::uint32_t sc, std::uint32_t dc, unsigned) { return Lerp(dc, sc, a * p, 16); });
            else
                return Channels(sb, d, [a, w, p](std::uint32_t sc, std::uint32_t dc, unsigned) {
                    return Lerp(dc, sc, w * a * p, 24);
                });
        } else if constexpr (kMode == 2 || kMode == 3) {
            std::uint32_t t;
            if constexpr (!K.mask && k32)
                t = Terms(sb, [a, p](std::uint32_t sc, unsigned) { return (sc * a * p) >> 16; });
            else if constexpr (!K.mask)
                t = Terms(sb, [&f, a](std::uint32_t sc, unsigned) { return f.paramRow[(sc * a) >> 8]; });
            else if constexpr (k32)
                t = Terms(sb, [a, w, p](std::uint32_t sc, unsigned) { return (sc * w * a * p) >> 24; });
            else
                t = Terms(sb, [&f, a, w](std::uint32_t sc, unsigned) { return f.paramRow[(sc * w * a) >> 16]; });
            return kMode == 2 ? Add(d, t) : Subtract(d, t);
        } else {
            if constexpr (!K.mask)
                return Channels(sb, d, [a](std::uint32_t sc, std::uint32_t dc, unsigned n) {
                    return (dc * sc * a) >> (n + 8);
                });
            else
                return Channels(sb, d, [a, w](std::uint32_t sc, std::uint32_t dc, unsigned n) {
                    return (dc * sc * w * a) >> (n + 16);
                });
        }
    }
};

}  // namespace blit
