#include "framework/softrender/blit_reference.h"

namespace blit_reference {

namespace po = pixel_oracle;
using po::Channels;
using po::PixelKind;

namespace {

std::int64_t FloorDiv(std::int64_t n, std::int64_t d) {
    std::int64_t q = n / d;
    if (n % d != 0 && ((n < 0) != (d < 0))) --q;
    return q;
}

std::int64_t Pow2(int n) { return std::int64_t{1} << n; }

// Channel widths in bits: red, green, blue.
void Widths(PixelKind kind, int* r, int* g, int* b) {
    *r = kind == PixelKind::k32 ? 8 : 5;
    *g = kind == PixelKind::k32 ? 8 : 6;
    *b = *r;
}

// Applies fn(source channel, destination channel, width) to each channel;
// the destination's fourth byte is kept.
template <class Fn>
std::uint32_t EachChannel(PixelKind kind, std::uint32_t s, std::uint32_t d, Fn fn) {
    const Channels cs = po::Split(kind, s), cd = po::Split(kind, d);
    int nr, ng, nb;
    Widths(kind, &nr, &ng, &nb);
    Channels out = cd;
    out.r = fn(cs.r, cd.r, nr);
    out.g = fn(cs.g, cd.g, ng);
    out.b = fn(cs.b, cd.b, nb);
    return po::Join(kind, out);
}

// A pixel of three source terms, fourth byte 0.
template <class Fn>
std::uint32_t EachTerm(PixelKind kind, std::uint32_t s, Fn fn) {
    const Channels cs = po::Split(kind, s);
    Channels out;
    out.r = fn(cs.r);
    out.g = fn(cs.g);
    out.b = fn(cs.b);
    return po::Join(kind, out);
}

// d moved toward x by the product of the given weights, 8 bits each:
// floor((d * 256^k + (x - d) * F) / 256^k).
std::int64_t Toward(std::int64_t d, std::int64_t x, std::int64_t f, int weights) {
    return FloorDiv(d * Pow2(8 * weights) + (x - d) * f, Pow2(8 * weights));
}

std::uint32_t Brighten(PixelKind kind, std::uint32_t colour, std::uint32_t bright) {
    if ((bright & 0xFFFFFF) == 0xFFFFFF) return colour;
    const Channels c = po::Split(kind, colour);
    Channels out;
    out.r = po::Product255((bright >> 16) & 0xFF, static_cast<std::uint32_t>(c.r));
    out.g = po::Product255((bright >> 8) & 0xFF, static_cast<std::uint32_t>(c.g));
    out.b = po::Product255(bright & 0xFF, static_cast<std::uint32_t>(c.b));
    return po::Join(kind, out);
}

enum class Special { kNone, kHalf, kFull };

// The opaque formula (no alpha weight).
std::uint32_t Opaque(const BlitSettings& s, Special special, std::uint32_t mode, std::uint32_t colour,
                     std::uint32_t w, std::uint32_t d) {
    const PixelKind k = s.kind;
    const bool is32 = k == PixelKind::k32;
    const bool white = (s.bright & 0xFFFFFF) == 0xFFFFFF;
    const std::int64_t p = s.param;
    const std::uint32_t sb = Brighten(k, colour, s.bright);
    switch (mode) {
    case 0:
        if (!s.mask && white) return is32 ? colour : (colour & 0xFFFF);
        if (!s.mask) return EachChannel(k, sb, d, [](std::int64_t sc, std::int64_t, int) { return sc; });
        return EachChannel(k, sb, d, [w](std::int64_t sc, std::int64_t dc, int) { return Toward(dc, sc, w, 1); });
    case 1:
        if (special == Special::kHalf) {
            // Both halved and added; a 32-bit fourth byte becomes 0.
            Channels out = po::Split(k, d);
            const Channels cs = po::Split(k, colour);
            out.r = cs.r / 2 + out.r / 2;
            out.g = cs.g / 2 + out.g / 2;
            out.b = cs.b / 2 + out.b / 2;
            out.fourth = 0;
            return po::Join(k, out);
        }
        if (s.mask)
            return EachChannel(k, sb, d,
                               [w, p](std::int64_t sc, std::int64_t dc, int) { return Toward(dc, sc, w * p, 2); });
        if (is32)
            return EachChannel(k, sb, d, [p](std::int64_t sc, std::int64_t dc, int) { return Toward(dc, sc, p, 1); });
        // 16-bit: the 64-level mix for white in the unscaled general loops of sources
        // without alpha, else the signed difference rounded toward d.
        if (white && !s.alphaChannel && !s.runList && !s.scaled)
            return EachChannel(k, colour, d, [p](std::int64_t sc, std::int64_t dc, int) {
                return static_cast<std::int64_t>(po::Level63(static_cast<std::uint32_t>(p / 4),
                                                             static_cast<std::uint32_t>(sc),
                                                             static_cast<std::uint32_t>(dc)));
            });
        return EachChannel(k, sb, d, [p](std::int64_t sc, std::int64_t dc, int) {
            return dc + po::ScaledDifference(static_cast<std::uint32_t>(p), static_cast<std::int32_t>(sc - dc));
        });
    case 2:
    case 3: {
        if (special == Special::kFull) {
            if (s.mmx && is32) return mode == 2 ? AddBytesClamped(d, colour) : SubtractBytesClamped(d, colour);
            return mode == 2 ? AddPixelsFullStrength(k, d, colour) : po::SubtractPixels(k, d, colour);
        }
        std::uint32_t t;
        if (!s.mask)
            t = EachTerm(k, sb, [p](std::int64_t sc) {
                return static_cast<std::int64_t>(po::Product255(static_cast<std::uint32_t>(p), static_cast<std::uint32_t>(sc)));
            });
        else if (is32)
            t = EachTerm(k, sb, [w, p](std::int64_t sc) { return FloorDiv(sc * w * p, Pow2(16)); });
        else
            t = EachTerm(k, sb, [w, p](std::int64_t sc) {
                return static_cast<std::int64_t>(
                    po::Product255(static_cast<std::uint32_t>(p), static_cast<std::uint32_t>(FloorDiv(sc * w, 256))));
            });
        return mode == 2 ? po::AddPixels(k, d, t) : po::SubtractPixels(k, d, t);
    }
    default:
        if (!s.mask)
            return EachChannel(k, sb, d, [](std::int64_t sc, std::int64_t dc, int n) { return FloorDiv(dc * sc, Pow2(n)); });
        return EachChannel(k, sb, d,
                           [w](std::int64_t sc, std::int64_t dc, int n) { return FloorDiv(dc * sc * w, Pow2(n + 8)); });
    }
}

// The weighted formula: the source's alpha a takes part.
std::uint32_t Weighted(const BlitSettings& s, std::uint32_t mode, std::uint32_t colour, std::uint32_t w,
                       std::uint32_t a, std::uint32_t d) {
    const PixelKind k = s.kind;
    const bool is32 = k == PixelKind::k32;
    const std::int64_t p = s.param;
    const std::uint32_t sb = Brighten(k, colour, s.bright);
    switch (mode) {
    case 0:
        if (!s.mask)
            return EachChannel(k, sb, d, [a](std::int64_t sc, std::int64_t dc, int) { return Toward(dc, sc, a, 1); });
        return EachChannel(k, sb, d,
                           [a, w](std::int64_t sc, std::int64_t dc, int) { return Toward(dc, sc, std::int64_t{w} * a, 2); });
    case 1:
        if (!s.mask)
            return EachChannel(k, sb, d, [a, p](std::int64_t sc, std::int64_t dc, int) { return Toward(dc, sc, a * p, 2); });
        return EachChannel(k, sb, d, [a, w, p](std::int64_t sc, std::int64_t dc, int) {
            return Toward(dc, sc, std::int64_t{w} * a * p, 3);
        });
    case 2:
    case 3: {
        std::uint32_t t;
        auto product = [p](std::int64_t x) {
            return static_cast<std::int64_t>(po::Product255(static_cast<std::uint32_t>(p), static_cast<std::uint32_t>(x)));
        };
        if (!s.mask && is32)
            t = EachTerm(k, sb, [a, p](std::int64_t sc) { return FloorDiv(sc * a * p, Pow2(16)); });
        else if (!s.mask)
            t = EachTerm(k, sb, [a, product](std::int64_t sc) { return product(FloorDiv(sc * a, Pow2(8))); });
        else if (is32)
            t = EachTerm(k, sb, [a, w, p](std::int64_t sc) { return FloorDiv(sc * w * a * p, Pow2(24)); });
        else
            t = EachTerm(k, sb, [a, w, product](std::int64_t sc) { return product(FloorDiv(sc * w * a, Pow2(16))); });
        return mode == 2 ? po::AddPixels(k, d, t) : po::SubtractPixels(k, d, t);
    }
    default:
        if (!s.mask)
            return EachChannel(k, sb, d,
                               [a](std::int64_t sc, std::int64_t dc, int n) { return FloorDiv(dc * sc * a, Pow2(n + 8)); });
        return EachChannel(k, sb, d, [a, w](std::int64_t sc, std::int64_t dc, int n) {
            return FloorDiv(dc * sc * w * a, Pow2(n + 16));
        });
    }
}

}  // namespace

std::uint32_t AddPixelsFullStrength(PixelKind kind, std::uint32_t d, std::uint32_t s) {
    const Channels cd = po::Split(kind, d), cs = po::Split(kind, s);
    const bool is32 = kind == PixelKind::k32;
    Channels out;
    const std::int64_t blueMax = is32 ? 255 : 31;
    const bool blueOver = cd.b + cs.b > blueMax;
    out.b = blueOver ? blueMax : cd.b + cs.b;
    // Halves add; the lowest bit is the carry from the channel below.
    const std::int64_t gHalves = cd.g / 2 + cs.g / 2, gLimit = is32 ? 128 : 32;
    const bool greenOver = gHalves >= gLimit;
    if (greenOver) out.g = is32 ? 255 : (62 | (blueOver ? 1 : 0));
    else out.g = gHalves * 2 + (blueOver ? 1 : 0);
    const std::int64_t rHalves = cd.r / 2 + cs.r / 2, rLimit = is32 ? 128 : 16;
    const bool redOver = rHalves >= rLimit;
    if (redOver) out.r = is32 ? 255 : 31;
    else out.r = rHalves * 2 + (greenOver ? 1 : 0);
    out.fourth = is32 && redOver ? 1 : 0;
    return po::Join(kind, out);
}

std::uint32_t AddBytesClamped(std::uint32_t d, std::uint32_t s) {
    std::uint32_t out = 0;
    for (int i = 0; i < 4; ++i) {
        const std::uint32_t sum = ((d >> (8 * i)) & 0xFF) + ((s >> (8 * i)) & 0xFF);
        out |= (sum > 255 ? 255u : sum) << (8 * i);
    }
    return out;
}

std::uint32_t SubtractBytesClamped(std::uint32_t d, std::uint32_t s) {
    std::uint32_t out = 0;
    for (int i = 0; i < 4; ++i) {
        const std::int32_t diff = static_cast<std::int32_t>((d >> (8 * i)) & 0xFF) - static_cast<std::int32_t>((s >> (8 * i)) & 0xFF);
        out |= static_cast<std::uint32_t>(diff < 0 ? 0 : diff) << (8 * i);
    }
    return out;
}

std::uint32_t ExpectedPixel(const BlitSettings& s, const SourcePixel& src, std::uint32_t key, std::uint32_t weight,
                            std::uint32_t d) {
    std::uint32_t mode = s.mode;
    if (mode > 4) return d;
    if (mode == 1 && s.param == 255) mode = 0;
    if (mode >= 1 && mode <= 3 && s.param == 0) return d;

    const bool white = (s.bright & 0xFFFFFF) == 0xFFFFFF;
    const bool alpha = s.alphaChannel && !s.paletted;
    Special special = Special::kNone;
    if (!s.runList && !s.mask && white && !alpha) {
        if (mode == 1 && s.param == 128 && !s.scaled) special = Special::kHalf;
        if (mode == 2 && s.param == 255 && !s.scaled) special = Special::kFull;
        if (mode == 3 && s.param == 255) special = Special::kFull;
    }
    const std::uint32_t w = s.mask ? weight : 0;

    if (!alpha) {
        // The colour key is compared whole with the index, the 16-bit word
        // or the 32-bit pixel; the run list classifies the same way.
        if (s.transparent != 0 && src.raw == key) return d;
        return Opaque(s, special, mode, src.colour, w, d);
    }
    if (s.transparent == 0) return Weighted(s, mode, src.colour, w, src.alpha, d);
    // Alpha 0 is transparent in every mode, 255 is opaque, anything between
    // is blended by its alpha.
    if (src.alpha == 0) return d;
    if (src.alpha == 255) return Opaque(s, special, mode, src.colour, w, d);
    return Weighted(s, mode, src.colour, w, src.alpha, d);
}

}  // namespace blit_reference
