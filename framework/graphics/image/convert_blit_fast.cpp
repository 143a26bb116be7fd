// The converting blit's fast conversions between the formats images and
// screens use most. Each gives exactly the general loop's pixels; they are
// taken only for plain copies (no dither, mirror, alpha image, transparent
// copy or mode words; alpha from colour only from 8:8:8 into 16 bits, the
// way images become textures).
#include "graphics/image/convert_blit_job.h"

namespace {

bool HasRgbMasks(const ColorFormatDesc& f, std::uint32_t r, std::uint32_t g, std::uint32_t b) {
    return f.redMask == r && f.greenMask == g && f.blueMask == b;
}

bool Is565(const ColorFormatDesc& f) { return f.depth == 16 && HasRgbMasks(f, 0xF800, 0x07E0, 0x001F); }
bool Is555(const ColorFormatDesc& f) { return f.depth == 16 && HasRgbMasks(f, 0x7C00, 0x03E0, 0x001F); }
bool Is888(const ColorFormatDesc& f) {
    return (f.depth == 24 || f.depth == 32) && HasRgbMasks(f, 0xFF0000, 0xFF00, 0xFF) &&
           (f.alphaMask == 0 || (f.depth == 32 && f.alphaMask == 0xFF000000u));
}

// Every row of the job through one pixel function.
template <int SrcBpp, int DestBpp, class Convert>
void ConvertRows(const ConvertJob& job, Convert convert) {
    for (int row = 0; row < job.height; ++row) {
        const std::uint8_t* src = job.SrcRow(row);
        std::uint8_t* dest = job.DestRow(row);
        for (int i = 0; i < job.width; ++i, src += SrcBpp, dest += DestBpp) {
            WritePixel(dest, DestBpp, convert(ReadPixel(src, SrcBpp)));
        }
    }
}

template <int SrcBpp, class Convert>
void ConvertRowsTo(const ConvertJob& job, Convert convert) {
    switch (job.destBpp) {
        case 2: ConvertRows<SrcBpp, 2>(job, convert); break;
        case 3: ConvertRows<SrcBpp, 3>(job, convert); break;
        default: ConvertRows<SrcBpp, 4>(job, convert); break;
    }
}

template <class Convert>
void ConvertAny(const ConvertJob& job, Convert convert) {
    switch (job.srcBpp) {
        case 1: ConvertRowsTo<1>(job, convert); break;
        case 2: ConvertRowsTo<2>(job, convert); break;
        case 3: ConvertRowsTo<3>(job, convert); break;
        default: ConvertRowsTo<4>(job, convert); break;
    }
}

// A 5- or 6-bit field widened to 8 bits by repeating its lowest bit, as the
// general loop widens.
inline std::uint32_t Widen5(std::uint32_t c) { return (c << 3) | ((c & 1) ? 7u : 0u); }
inline std::uint32_t Widen6(std::uint32_t c) { return (c << 2) | ((c & 1) ? 3u : 0u); }

// 8:8:8 into a 16-bit format whose channels are 8 bits or fewer, the alpha
// cleared where the colour equals the transparent colour at the
// destination's precision (the general loop compares the kept bits).
bool ConvertRgbWithAlphaFromColor(const ConvertJob& job) {
    const ColorFormatDesc& d = job.dest;
    if (job.destBpp != 2 || d.redWidth > 8 || d.greenWidth > 8 || d.blueWidth > 8 || d.redWidth == 0 ||
        d.greenWidth == 0 || d.blueWidth == 0)
        return false;
    const int rd = 24 - d.redWidth, gd = 16 - d.greenWidth, bd = 8 - d.blueWidth;
    auto colour = [&](std::uint32_t p) {
        return ((p >> rd << d.redShift) & d.redMask) | ((p >> gd << d.greenShift) & d.greenMask) |
               ((p >> bd << d.blueShift) & d.blueMask);
    };
    const std::uint32_t transparent = colour(job.transColor & 0xFFFFFF);
    const std::uint32_t alpha = d.alphaMask;
    ConvertAny(job, [&](std::uint32_t p) {
        const std::uint32_t c = colour(p & 0xFFFFFF);
        return c == transparent ? c : c | alpha;
    });
    return true;
}

}  // namespace

bool RunFastConversion(const ConvertJob& job) {
    if (job.dither || job.forceGeneralLoop != 0 || job.convertOption != 0 || job.mirror || job.hasAlphaImage ||
        job.transCopy || job.destBpp < 2) {
        return false;
    }
    const ColorFormatDesc& s = job.src;
    const ColorFormatDesc& d = job.dest;
    if (job.alphaFromColor) return Is888(s) && !job.alphaWanted && ConvertRgbWithAlphaFromColor(job);

    // One-byte sources (palette indexes or single-channel values): the 256
    // possible results once, then a look-up.
    if (job.srcBpp == 1) {
        PixelPlan plan;
        MakePixelPlan(job, &plan);
        std::uint32_t table[256];
        for (std::uint32_t i = 0; i < 256; ++i) table[i] = ConvertOnePixel(plan, i, 0, 0);
        ConvertAny(job, [&table](std::uint32_t p) { return table[p & 0xFF]; });
        return true;
    }

    const bool src565 = Is565(s) && s.alphaMask == 0;
    const bool src555 = Is555(s) && (s.alphaMask == 0 || s.alphaMask == 0x8000);
    const bool src888 = Is888(s);
    const bool dest565 = Is565(d) && d.alphaMask == 0;
    const bool dest555 = Is555(d) && d.alphaMask == 0;
    const bool dest888 = Is888(d);

    if (src565 && dest555) {
        ConvertAny(job, [](std::uint32_t p) { return ((p & 0xFFC0) >> 1) | (p & 0x001F); });
        return true;
    }
    if (src555 && dest565) {
        // The lowest 5:5:5 green bit stays in place and so repeats.
        ConvertAny(job, [](std::uint32_t p) { return ((p & 0x7FE0) << 1) | (p & 0x003F); });
        return true;
    }
    if (src888 && dest565) {
        ConvertAny(job, [](std::uint32_t p) {
            return ((p >> 8) & 0xF800) | ((p >> 5) & 0x07E0) | ((p >> 3) & 0x001F);
        });
        return true;
    }
    if (src888 && dest555) {
        ConvertAny(job, [](std::uint32_t p) {
            return ((p >> 9) & 0x7C00) | ((p >> 6) & 0x03E0) | ((p >> 3) & 0x001F);
        });
        return true;
    }
    if (src565 && dest888) {
        const std::uint32_t alpha = d.alphaMask;  // no alpha in the source: opaque
        ConvertAny(job, [alpha](std::uint32_t p) {
            return (Widen5(p >> 11) << 16) | (Widen6((p >> 5) & 0x3F) << 8) | Widen5(p & 0x1F) | alpha;
        });
        return true;
    }
    if (src888 && dest888) {
        // Only the container or the alpha differ.
        const std::uint32_t keep = job.alphaWanted ? 0xFFFFFFFFu : 0x00FFFFFFu;
        const std::uint32_t add = (d.alphaMask != 0 && !job.alphaWanted) ? 0xFF000000u : 0u;
        ConvertAny(job, [keep, add](std::uint32_t p) { return (p & keep) | add; });
        return true;
    }
    return false;
}
