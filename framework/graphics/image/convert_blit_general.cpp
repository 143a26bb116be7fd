// The converting blit's general per-pixel loop: any 8-, 16-, 24- or 32-bit
// format into any other.
#include <algorithm>

#include "graphics/image/convert_blit_job.h"

namespace {

constexpr int kBayer[4][4] = {
    {0, 8, 2, 10},
    {12, 4, 14, 6},
    {3, 11, 1, 9},
    {15, 7, 13, 5},
};

struct Layout {
    std::uint32_t mask;
    int shift;
    int width;
};

// Palette entries are 0x00RRGGBB words.
constexpr Layout kEntryRed{0xFF0000, 16, 8};
constexpr Layout kEntryGreen{0xFF00, 8, 8};
constexpr Layout kEntryBlue{0xFF, 0, 8};

ChannelPlan PlanChannel(Layout src, std::uint32_t destMask, int destShift, int destWidth, int transValue) {
    ChannelPlan c{};
    c.srcMask = src.mask;
    c.srcShift = src.shift;
    c.srcWidth = src.width;
    c.destMask = destMask;
    c.destShift = destShift;
    c.destWidth = destWidth;
    int shared = std::min(src.width, destWidth);
    c.compareDrop = src.width - shared;
    std::uint64_t t = static_cast<std::uint32_t>(transValue) & 0xFFu;
    c.compareValue = static_cast<std::uint32_t>(shared <= 8 ? t >> (8 - shared) : t << (shared - 8));
    return c;
}

// A channel brought from its source width to its destination width. Lost
// bits are cut (after the dither offset, held below the channel's top so
// that it cannot spill into the next channel); gained bits repeat the
// lowest source bit, so full scale stays full scale.
std::uint64_t Resize(std::uint64_t c, int srcWidth, int destWidth, int ditherLevel) {
    if (destWidth < srcWidth) {
        int lost = srcWidth - destWidth;
        if (ditherLevel > 0) {
            std::uint64_t top = (std::uint64_t{1} << srcWidth) - 1;
            c += ((std::uint64_t{1} << lost) * static_cast<std::uint64_t>(ditherLevel)) / 16;
            if (c > top) c = top;
        }
        return c >> lost;
    }
    if (destWidth > srcWidth) {
        int gained = destWidth - srcWidth;
        std::uint64_t wide = c << gained;
        if (c & 1) wide |= (std::uint64_t{1} << gained) - 1;
        return wide;
    }
    return c;
}

std::uint32_t Place(std::uint64_t c, const ChannelPlan& p) {
    return static_cast<std::uint32_t>((c << p.destShift) & p.destMask);
}

std::uint32_t ConvertChannel(std::uint32_t pixel, const ChannelPlan& p, int ditherLevel) {
    std::uint64_t c = (pixel & p.srcMask) >> p.srcShift;
    return Place(Resize(c, p.srcWidth, p.destWidth, ditherLevel), p);
}

}  // namespace

int DitherLevel(int x, int y) { return kBayer[y & 3][x & 3]; }

void MakePixelPlan(const ConvertJob& job, PixelPlan* plan) {
    const ColorFormatDesc& s = job.src;
    const ColorFormatDesc& d = job.dest;
    *plan = PixelPlan{};
    plan->srcPaletted = IsPalettedFormat(s);
    plan->srcPalette = s.palette;
    plan->dither = job.dither;

    Layout red{s.redMask, s.redShift, s.redWidth};
    Layout green{s.greenMask, s.greenShift, s.greenWidth};
    Layout blue{s.blueMask, s.blueShift, s.blueWidth};
    if (plan->srcPaletted) {
        red = kEntryRed;
        green = kEntryGreen;
        blue = kEntryBlue;
    }
    std::uint32_t t = job.transColor;
    plan->color[0] = PlanChannel(red, d.redMask, d.redShift, d.redWidth, static_cast<int>((t >> 16) & 0xFF));
    plan->color[1] = PlanChannel(green, d.greenMask, d.greenShift, d.greenWidth, static_cast<int>((t >> 8) & 0xFF));
    plan->color[2] = PlanChannel(blue, d.blueMask, d.blueShift, d.blueWidth, static_cast<int>(t & 0xFF));

    if (d.alphaWidth == 0) {
        plan->alphaSource = AlphaSource::None;
    } else if (job.alphaFromImage) {
        plan->alphaSource = AlphaSource::Image;
        const ColorFormatDesc& a = job.alpha;
        plan->alphaPaletted = IsPalettedFormat(a);
        plan->alphaPalette = a.palette;
        // The alpha image's own alpha channel, else its blue channel (a grey
        // image has the level in every channel).
        Layout level{a.blueMask, a.blueShift, a.blueWidth};
        if (plan->alphaPaletted) level = kEntryBlue;
        else if (a.alphaWidth != 0) level = {a.alphaMask, a.alphaShift, a.alphaWidth};
        plan->alpha = PlanChannel(level, d.alphaMask, d.alphaShift, d.alphaWidth, 0);
    } else if (job.alphaWanted) {
        plan->alphaSource = AlphaSource::Source;
        plan->alpha = PlanChannel({s.alphaMask, s.alphaShift, s.alphaWidth}, d.alphaMask, d.alphaShift,
                                  d.alphaWidth, 0);
    } else if (job.alphaFromColor) {
        plan->alphaSource = AlphaSource::Color;
        plan->alpha.destMask = d.alphaMask;
    } else {
        plan->alphaSource = AlphaSource::Opaque;
        plan->alpha.destMask = d.alphaMask;
    }
}

std::uint32_t ConvertOnePixel(const PixelPlan& plan, std::uint32_t srcPixel, std::uint32_t alphaPixel,
                              int ditherLevel) {
    std::uint32_t color = plan.srcPaletted ? plan.srcPalette[srcPixel & 0xFF] : srcPixel;
    int level = plan.dither ? ditherLevel : 0;
    std::uint32_t out = 0;
    bool isTransColor = true;
    for (const ChannelPlan& c : plan.color) {
        out |= ConvertChannel(color, c, level);
        if (plan.alphaSource == AlphaSource::Color && c.srcWidth != 0 && c.destWidth != 0) {
            std::uint32_t value = (color & c.srcMask) >> c.srcShift;
            if ((value >> c.compareDrop) != c.compareValue) isTransColor = false;
        }
    }
    switch (plan.alphaSource) {
        case AlphaSource::None: break;
        case AlphaSource::Source: out |= ConvertChannel(srcPixel, plan.alpha, 0); break;
        case AlphaSource::Image: {
            std::uint32_t a = plan.alphaPaletted ? plan.alphaPalette[alphaPixel & 0xFF] : alphaPixel;
            out |= ConvertChannel(a, plan.alpha, 0);
            break;
        }
        case AlphaSource::Color: out |= isTransColor ? 0 : plan.alpha.destMask; break;
        case AlphaSource::Opaque: out |= plan.alpha.destMask; break;
    }
    return out;
}

int RunGeneralLoop(const ConvertJob& job) {
    // An 8-bit destination holds palette indexes: only an 8-bit source has them.
    if (job.destBpp == 1 && job.srcBpp != 1) return -1;
    PixelPlan plan;
    MakePixelPlan(job, &plan);
    const std::uint32_t keyMask = PixelSizeMask(job.srcBpp);
    const std::uint32_t key = job.transColor & keyMask;
    const bool readAlpha = plan.alphaSource == AlphaSource::Image;
    for (int row = 0; row < job.height; ++row) {
        const std::uint8_t* src = job.SrcRow(row);
        const std::uint8_t* alpha = readAlpha ? job.AlphaRow(row) : nullptr;
        std::uint8_t* dest = job.DestRow(row);
        for (int i = 0; i < job.width; ++i) {
            std::uint32_t pixel = ReadPixel(src + static_cast<std::ptrdiff_t>(i) * job.srcBpp, job.srcBpp);
            if (job.transCopy && (pixel & keyMask) == key) continue;
            int x = job.mirror ? job.width - 1 - i : i;
            std::uint8_t* out = dest + static_cast<std::ptrdiff_t>(x) * job.destBpp;
            if (job.destBpp == 1) {
                *out = static_cast<std::uint8_t>(pixel);
                continue;
            }
            std::uint32_t alphaPixel =
                alpha != nullptr ? ReadPixel(alpha + static_cast<std::ptrdiff_t>(i) * job.alphaBpp, job.alphaBpp)
                                 : 0;
            int level = plan.dither ? DitherLevel(job.destX + x, job.destY + row) : 0;
            WritePixel(out, job.destBpp, ConvertOnePixel(plan, pixel, alphaPixel, level));
        }
    }
    return 0;
}
