// The converting blit's entry: the flags are settled, then the first case
// that fits copies the pixels.
#include "graphics/image/convert_blit.h"

#include <algorithm>
#include <cstring>

#include "core/rect.h"
#include "graphics/image/convert_blit_job.h"

namespace {

bool ValidPixelFormat(const ColorFormatDesc& f) {
    return (f.depth == 8 || f.depth == 16 || f.depth == 24 || f.depth == 32) && f.bytesPerPixel * 8 == f.depth;
}

// Case 1: 8-bit into 8-bit, byte for byte. Returns the largest byte copied.
int CopyIndexes(const ConvertJob& job) {
    int largest = 0;
    for (int row = 0; row < job.height; ++row) {
        const std::uint8_t* src = job.SrcRow(row);
        std::uint8_t* dest = job.DestRow(row);
        for (int i = 0; i < job.width; ++i) {
            std::uint8_t index = src[i];
            largest = std::max<int>(largest, index);
            dest[job.mirror ? job.width - 1 - i : i] = index;
        }
    }
    return largest;
}

// Case 2: the same format: whole rows, or keyed, or mirrored.
void CopySameFormat(const ConvertJob& job) {
    const int bpp = job.srcBpp;
    const std::size_t rowBytes = static_cast<std::size_t>(job.width) * static_cast<std::size_t>(bpp);
    const std::uint32_t keyMask = PixelSizeMask(bpp);
    const std::uint32_t key = job.transColor & keyMask;
    for (int row = 0; row < job.height; ++row) {
        const std::uint8_t* src = job.SrcRow(row);
        std::uint8_t* dest = job.DestRow(row);
        if (job.mirror) {
            for (int i = 0; i < job.width; ++i) {
                std::memcpy(dest + static_cast<std::ptrdiff_t>(job.width - 1 - i) * bpp,
                            src + static_cast<std::ptrdiff_t>(i) * bpp, static_cast<std::size_t>(bpp));
            }
        } else if (job.transCopy) {
            for (int i = 0; i < job.width; ++i) {
                const std::uint8_t* s = src + static_cast<std::ptrdiff_t>(i) * bpp;
                if ((ReadPixel(s, bpp) & keyMask) == key) continue;
                std::memcpy(dest + static_cast<std::ptrdiff_t>(i) * bpp, s, static_cast<std::size_t>(bpp));
            }
        } else {
            std::memmove(dest, src, rowBytes);
        }
    }
}

// Case 3: the same colour layout; only the alpha is made, from the
// transparent colour.
void CopyWithAlphaFromColor(const ConvertJob& job) {
    const ColorFormatDesc& d = job.dest;
    const std::uint32_t colorMask = d.redMask | d.greenMask | d.blueMask;
    const std::uint32_t t = job.transColor;
    const std::uint32_t transparent =
        ComposePixel(&d, static_cast<int>((t >> 16) & 0xFF), static_cast<int>((t >> 8) & 0xFF),
                     static_cast<int>(t & 0xFF), 255) &
        colorMask;
    const int bpp = job.destBpp;
    for (int row = 0; row < job.height; ++row) {
        const std::uint8_t* src = job.SrcRow(row);
        std::uint8_t* dest = job.DestRow(row);
        for (int i = 0; i < job.width; ++i) {
            std::uint32_t color = ReadPixel(src + static_cast<std::ptrdiff_t>(i) * bpp, bpp) & colorMask;
            std::uint32_t out = color | (color == transparent ? 0u : d.alphaMask);
            int x = job.mirror ? job.width - 1 - i : i;
            WritePixel(dest + static_cast<std::ptrdiff_t>(x) * bpp, bpp, out);
        }
    }
}

}  // namespace

int BlitConvertFormat(std::uint8_t* destPixels, int destPitch, const ColorFormatDesc* destFormat,
                      const std::uint8_t* srcPixels, int srcPitch, const ColorFormatDesc* srcFormat,
                      const std::uint8_t* alphaPixels, int alphaPitch, const ColorFormatDesc* alphaFormat,
                      int destX, int destY, const RECT* srcRect, int mirror, int alphaFromColor,
                      std::uint32_t transColor, int dither, int forceGeneralLoop, int convertOption,
                      int transCopy) {
    if (destPixels == nullptr || destFormat == nullptr || srcPixels == nullptr || srcFormat == nullptr ||
        srcRect == nullptr) {
        return -1;
    }
    int width = 0, height = 0;
    QueryRectSize(srcRect, &width, &height);
    if (width <= 0 || height <= 0) return 0;  // nothing to copy
    if (!ValidPixelFormat(*destFormat) || !ValidPixelFormat(*srcFormat)) return -1;

    // The descriptors are copied, so one may serve several arguments.
    ConvertJob job{};
    job.dest = *destFormat;
    job.src = *srcFormat;
    job.hasAlphaImage = alphaPixels != nullptr && alphaFormat != nullptr && ValidPixelFormat(*alphaFormat);
    if (job.hasAlphaImage) job.alpha = *alphaFormat;
    job.destPixels = destPixels;
    job.destPitch = destPitch;
    job.srcPixels = srcPixels;
    job.srcPitch = srcPitch;
    job.alphaPixels = job.hasAlphaImage ? alphaPixels : nullptr;
    job.alphaPitch = alphaPitch;
    job.destBpp = job.dest.bytesPerPixel;
    job.srcBpp = job.src.bytesPerPixel;
    job.alphaBpp = job.hasAlphaImage ? job.alpha.bytesPerPixel : 0;
    job.destX = destX;
    job.destY = destY;
    job.left = srcRect->left;
    job.top = srcRect->top;
    job.width = width;
    job.height = height;
    job.transColor = transColor;
    job.dither = dither != 0;
    job.forceGeneralLoop = forceGeneralLoop;
    job.convertOption = convertOption;

    // Settle the flags.
    const bool destHasAlpha = job.dest.alphaWidth != 0;
    const bool srcHasAlpha = job.src.alphaWidth != 0 && !IsPalettedFormat(job.src);
    job.alphaWanted = destHasAlpha && (job.hasAlphaImage || srcHasAlpha);
    job.alphaFromImage = destHasAlpha && job.hasAlphaImage && !srcHasAlpha;
    job.alphaFromColor = alphaFromColor != 0 && !job.alphaWanted && destHasAlpha && convertOption != 1;
    job.mirror = mirror != 0;
    job.transCopy = transCopy != 0 && !job.alphaWanted && !job.mirror;

    const bool plainModes = forceGeneralLoop == 0 && convertOption == 0;

    if (job.dest.depth == 8 && forceGeneralLoop == 0 && !job.transCopy) {
        if (job.src.depth != 8) return -1;  // no colour becomes an index here
        return CopyIndexes(job);
    }
    if (plainModes && SameColorFormat(&job.dest, &job.src) && !job.alphaFromColor && !job.alphaFromImage) {
        CopySameFormat(job);
        return 0;
    }
    if (plainModes && destHasAlpha && job.alphaFromColor && job.dest.depth >= 16 &&
        job.dest.depth == job.src.depth && job.dest.redMask == job.src.redMask &&
        job.dest.greenMask == job.src.greenMask && job.dest.blueMask == job.src.blueMask) {
        CopyWithAlphaFromColor(job);
        return 0;
    }
    if (RunFastConversion(job)) return 0;
    return RunGeneralLoop(job);
}

int FillUnusedBitsInRect(const RECT* rect, std::uint8_t* pixels, int pitch, const ColorFormatDesc* format,
                         std::uint32_t value) {
    if (rect == nullptr || pixels == nullptr || format == nullptr) return -1;
    if (format->unusedBitMask == 0) return 0;
    RECT r = *rect;
    NormalizeRect(&r);
    int width = 0, height = 0;
    QueryRectSize(&r, &width, &height);
    const int bpp = format->bytesPerPixel;
    if (bpp != 2 && bpp != 4) return 0;
    // Held to the unused bits, so a wide value never reaches a channel.
    const std::uint32_t bits = format->unusedBitMask == 0xFF000000u
                                   ? (value & 0xFFu) << 24
                                   : (value << format->unusedBitsShift) & format->unusedBitMask;
    for (int row = 0; row < height; ++row) {
        std::uint8_t* p = pixels + static_cast<std::ptrdiff_t>(r.top + row) * pitch +
                          static_cast<std::ptrdiff_t>(r.left) * bpp;
        for (int i = 0; i < width; ++i, p += bpp) WritePixel(p, bpp, ReadPixel(p, bpp) | bits);
    }
    return 0;
}
