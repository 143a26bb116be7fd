// The pixels text is written with. Plain and edged fonts write the text or
// edge colour as it is. Grey-level fonts write, into a format with alpha, the
// colour with the pixel's coverage as alpha; into a format without, that
// colour blended by the coverage onto what is there.
#pragma once

#include <cstdint>

#include "graphics/image/color_format.h"

// Channel by channel: low + (high - low) x weight / 256, the product shifted
// arithmetically, so a falling channel rounds down as a rising one does.
// weight 0..256. Bits outside the colour channels come from `low`.
inline std::uint32_t MixTextChannels(const ColorFormatDesc& f, std::uint32_t high, std::uint32_t low, int weight) {
    std::uint32_t out = low & ~(f.redMask | f.greenMask | f.blueMask);
    const std::uint32_t masks[3] = {f.redMask, f.greenMask, f.blueMask};
    const int shifts[3] = {f.redShift, f.greenShift, f.blueShift};
    for (int c = 0; c < 3; ++c) {
        const int h = static_cast<int>((high & masks[c]) >> shifts[c]);
        const int l = static_cast<int>((low & masks[c]) >> shifts[c]);
        const int v = l + (((h - l) * weight) >> 8);
        out |= (static_cast<std::uint32_t>(v) << shifts[c]) & masks[c];
    }
    return out;
}

struct TextCoverage {
    int alpha;             // 0..255; 0: the pixel is not covered
    std::uint32_t colour;  // without alpha bits
};

// A grey glyph level g (0..15), no edge: alpha g << 4 over the text colour.
inline TextCoverage GreyGlyphCoverage(int g, std::uint32_t text) { return TextCoverage{g << 4, text}; }

// An edged grey glyph with glyph level g and edge level e (0..15 each): the
// glyph whole at g = 15; the edge alone at g = 0; between, coverage
// e x (15 - g) + 16 x g with the colour running from the edge colour to the
// text colour by t = (g << 12) / coverage.
inline TextCoverage EdgedGreyGlyphCoverage(const ColorFormatDesc& f, int g, int e, std::uint32_t text,
                                           std::uint32_t edge) {
    if (g == 15) return TextCoverage{0xFF, text};
    if (g == 0) return TextCoverage{e << 4, edge};
    const int a = e * (15 - g) + 16 * g;
    const int t = (g << 12) / a;
    return TextCoverage{a, MixTextChannels(f, text, edge, t)};
}

// The work pixel of a coverage: in a format with alpha, the colour with the
// coverage in the alpha bits; without, the colour blended onto `under`.
inline std::uint32_t TextWorkPixel(const ColorFormatDesc& f, TextCoverage c, std::uint32_t under) {
    if (f.alphaMask != 0)
        return (c.colour & ~f.alphaMask) | ((static_cast<std::uint32_t>(c.alpha) << f.alphaShift) & f.alphaMask);
    return MixTextChannels(f, c.colour, under, c.alpha + (c.alpha >> 7));
}
