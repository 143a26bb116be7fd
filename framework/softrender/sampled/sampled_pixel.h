// One pixel of the rotated blit and of the textured triangle: the source
// texel's transparency, the bright colour, then the blend mode.
//
// The two draws follow one rule. The weights in force are the blend-mask
// weight w (a mask is given), the texel's alpha a (a direct source with an
// alpha channel; left out for a = 255 when drawing transparent) and, in
// alpha mode, the parameter p. Copy and alpha move each channel toward the
// brightened source colour X by the product W of the k weights in force:
// floor((d * 256^k + (X - d) * W) / 256^k). The exceptions: with no weight
// at all the copy writes the texel whole (its fourth byte too) unless
// brightened, and 16-bit alpha without mask or alpha weight goes through the
// parameter's row of BlendParamTable. Add and subtract scale the colour into
// a term (through ProductTable255's row of p when no weight is in force)
// and saturate; multiply makes w and a further factors of the product.
//
// Every quantity is unsigned 32-bit: d * (2^n - F) + X * F equals
// d * 2^n + (X - d) * F, is never negative and stays below 2^32 even for
// three weights (n = 24).
#pragma once

#include <cstdint>

#include "softrender/packed_math.h"
#include "softrender/pixel_layout.h"
#include "softrender/sampled/sampled_frame.h"

namespace sampled {

// d moved towards x by the weight f of n bits.
constexpr std::uint32_t Toward(std::uint32_t d, std::uint32_t x, std::uint32_t f, unsigned n) {
    return (d * ((1u << n) - f) + x * f) >> n;
}

template <BlitLoopKind K>
struct Pixel : PixelLayout<K> {
    using L = PixelLayout<K>;
    using L::k32, L::kPaletted, L::kAlpha, L::kSrcStep, L::kDestStep;
    using L::LoadDest, L::StoreDest, L::Raw, L::AlphaOf;

    static std::uint32_t Colour(const SampledFrame& f, const std::uint8_t* s) {
        if constexpr (kPaletted) return f.palette[s[0]];
        else return Raw(s);
    }

    // One bright row per channel; the 16-bit rows are indexed by the 5- or
    // 6-bit value itself.
    static std::uint32_t BrightRed(const SampledFrame& f, std::uint32_t c) { return K.bright ? f.brightRowRed[c] : c; }
    static std::uint32_t BrightGreen(const SampledFrame& f, std::uint32_t c) {
        return K.bright ? f.brightRowGreen[c] : c;
    }
    static std::uint32_t BrightBlue(const SampledFrame& f, std::uint32_t c) { return K.bright ? f.brightRowBlue[c] : c; }

    // fn(colour channel, bright row channel index 0 red / 1 green / 2 blue,
    // destination channel, channel bits) for each channel; a 32-bit
    // destination keeps its fourth byte.
    template <class Fn>
    static std::uint32_t EachChannel(std::uint32_t s, std::uint32_t d, Fn fn) {
        if constexpr (k32) {
            return (d & 0xFF000000u) |
                   Pack888(fn(Red888(s), 0, Red888(d), 8u), fn(Green888(s), 1, Green888(d), 8u),
                           fn(Blue888(s), 2, Blue888(d), 8u));
        } else {
            return Pack565(fn(Red565(s), 0, Red565(d), 5u), fn(Green565(s), 1, Green565(d), 6u),
                           fn(Blue565(s), 2, Blue565(d), 5u));
        }
    }
    // A term of three channels, fourth byte 0.
    template <class Fn>
    static std::uint32_t EachTerm(std::uint32_t s, Fn fn) {
        if constexpr (k32) return Pack888(fn(Red888(s), 0), fn(Green888(s), 1), fn(Blue888(s), 2));
        else return Pack565(fn(Red565(s), 0), fn(Green565(s), 1), fn(Blue565(s), 2));
    }
    static std::uint32_t Bright(const SampledFrame& f, std::uint32_t c, int channel) {
        if (channel == 0) return BrightRed(f, c);
        if (channel == 1) return BrightGreen(f, c);
        return BrightBlue(f, c);
    }

    // The pixel from colour c, mask weight w and, when kWeighted, alpha a.
    template <bool kWeighted>
    static std::uint32_t Blend(const SampledFrame& f, std::uint32_t c, std::uint32_t d, std::uint32_t w,
                               std::uint32_t a) {
        // The product of the mask and alpha weights and their count.
        constexpr unsigned kWeights = (K.mask ? 1u : 0u) + (kWeighted ? 1u : 0u);
        std::uint32_t wa = 1;
        if constexpr (K.mask) wa *= w;
        if constexpr (kWeighted) wa *= a;
        const std::uint32_t p = f.param;

        if constexpr (K.mode == 0 || K.mode == 1) {
            if constexpr (K.mode == 0 && kWeights == 0) {
                if constexpr (!K.bright) return c;  // the whole texel
                return EachChannel(c, d, [&f](std::uint32_t x, int ch, std::uint32_t, unsigned) { return Bright(f, x, ch); });
            } else if constexpr (K.mode == 1 && !k32 && !K.mask && !kWeighted) {
                return EachChannel(c, d, [&f](std::uint32_t x, int ch, std::uint32_t dc, unsigned) {
                    const std::int32_t dv = static_cast<std::int32_t>(dc);
                    return static_cast<std::uint32_t>(dv + f.diffRow[static_cast<std::int32_t>(Bright(f, x, ch)) - dv]);
                });
            } else {
                constexpr unsigned kShift = 8 * (kWeights + (K.mode == 1 ? 1 : 0));
                const std::uint32_t weight = K.mode == 1 ? wa * p : wa;
                return EachChannel(c, d, [&f, weight](std::uint32_t x, int ch, std::uint32_t dc, unsigned) {
                    return Toward(dc, Bright(f, x, ch), weight, kShift);
                });
            }
        } else if constexpr (K.mode == 2 || K.mode == 3) {
            std::uint32_t t;
            if constexpr (kWeights == 0) {
                t = EachTerm(c, [&f](std::uint32_t x, int ch) { return f.paramRow[Bright(f, x, ch)]; });
            } else if constexpr (k32) {
                constexpr unsigned kShift = 8 * (kWeights + 1);
                t = EachTerm(c, [&f, wa, p](std::uint32_t x, int ch) { return (Bright(f, x, ch) * wa * p) >> kShift; });
            } else if constexpr (!K.mask) {
                // 16-bit alpha without a mask: the alpha weight comes before
                // the bright colour.
                t = EachTerm(c, [&f, a](std::uint32_t x, int ch) { return f.paramRow[Bright(f, (x * a) >> 8, ch)]; });
            } else {
                constexpr unsigned kShift = 8 * kWeights;
                t = EachTerm(c, [&f, wa](std::uint32_t x, int ch) { return f.paramRow[(Bright(f, x, ch) * wa) >> kShift]; });
            }
            if constexpr (K.mode == 2) return k32 ? AddSaturate888(d, t) : AddSaturate565(d, t);
            else return k32 ? SubtractSaturate888(d, t) : SubtractSaturate565(d, t);
        } else {
            static_assert(K.mode == 4);
            constexpr unsigned kExtra = 8 * kWeights;
            return EachChannel(c, d, [&f, wa](std::uint32_t x, int ch, std::uint32_t dc, unsigned n) {
                return (dc * Bright(f, x, ch) * wa) >> (n + kExtra);
            });
        }
    }

    // Draws texel s onto destination pixel dp with mask weight w.
    static void Draw(const SampledFrame& f, const std::uint8_t* s, std::uint8_t* dp, std::uint32_t w) {
        if constexpr (kAlpha) {
            const std::uint32_t a = AlphaOf(s);
            if constexpr (K.trans) {
                // Alpha 0 is skipped in every mode, and alpha 255 carries no
                // weight.
                if (a == 0) return;
                if (a == 255) {
                    StoreDest(dp, Blend<false>(f, Colour(f, s), LoadDest(dp), w, 255));
                    return;
                }
            }
            StoreDest(dp, Blend<true>(f, Colour(f, s), LoadDest(dp), w, a));
        } else {
            if constexpr (K.trans) {
                if (Raw(s) == f.key) return;
            }
            StoreDest(dp, Blend<false>(f, Colour(f, s), LoadDest(dp), w, 255));
        }
    }
};

}  // namespace sampled
