// Software images: initialisers, views, release, copies, writes and fills.
#include "graphics/image/memimg.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstring>

#include "core/memory.h"
#include "core/rect.h"
#include "graphics/image/convert_blit.h"

namespace {

// Sizes beyond this are refused rather than risk wrapping arithmetic.
constexpr std::uint64_t kMaxBufferBytes = 0x7FFFFFFF;

void* AllocBuffer(std::uint64_t bytes) { return TrackedAlloc(static_cast<std::size_t>(bytes), "", 0); }

// log2 of the pitch when it equals the smallest power of two not below L
// (the given pitch, or the bytes of a row when the pitch is computed), else -1.
std::int32_t PitchShift(std::uint64_t pitch, std::uint64_t l) {
    // l stays far below 2^63: pitches and rows are 32-bit.
    const std::uint64_t p = std::bit_ceil(l);
    return pitch == p ? std::countr_zero(p) : -1;
}

int ScreenDepthSetting() {
    return g_ScreenColorInfo.depthSetting == 0 ? 16 : g_ScreenColorInfo.depthSetting;
}

// Clips a copy of the source rectangle to (destX, destY) so that it lies
// inside a source of srcW x srcH and a destination of destW x destH. False
// when nothing is left.
bool ClipCopy(RECT* rect, int* destX, int* destY, std::int64_t srcW, std::int64_t srcH, std::int64_t destW,
              std::int64_t destH) {
    std::int64_t left = rect->left, top = rect->top, right = rect->right, bottom = rect->bottom;
    std::int64_t x = *destX, y = *destY;
    if (left < 0) {
        x -= left;
        left = 0;
    }
    if (top < 0) {
        y -= top;
        top = 0;
    }
    right = std::min(right, srcW);
    bottom = std::min(bottom, srcH);
    if (x < 0) {
        left -= x;
        x = 0;
    }
    if (y < 0) {
        top -= y;
        y = 0;
    }
    right = std::min(right, left + (destW - x));
    bottom = std::min(bottom, top + (destH - y));
    if (right <= left || bottom <= top) return false;
    rect->left = static_cast<LONG>(left);
    rect->top = static_cast<LONG>(top);
    rect->right = static_cast<LONG>(right);
    rect->bottom = static_cast<LONG>(bottom);
    *destX = static_cast<int>(x);
    *destY = static_cast<int>(y);
    return true;
}

bool Usable(const MEMIMG* image) {
    return image != nullptr && image->magic == kMemImgMagic && image->pixels != nullptr &&
           image->colorFormat != nullptr;
}

// The source format a paletted image converts through: its standard format
// with the image's own palette as 0x00RRGGBB entries.
void PaletteSourceFormat(const MEMIMG* image, ColorFormatDesc* format) {
    *format = *image->colorFormat;
    for (int i = 0; i < 256; ++i) {
        if (image->kind == kMemImgKind565) {
            std::uint16_t e;
            std::memcpy(&e, static_cast<const std::uint8_t*>(image->palette) + i * 2, 2);
            std::uint32_t r = e >> 11, g = (e >> 5) & 0x3F, b = e & 0x1F;
            // Widened the way the converting blit widens.
            r = (r << 3) | ((r & 1) ? 7 : 0);
            g = (g << 2) | ((g & 1) ? 3 : 0);
            b = (b << 3) | ((b & 1) ? 7 : 0);
            format->palette[i] = (r << 16) | (g << 8) | b;
        } else {
            std::uint32_t e;
            std::memcpy(&e, static_cast<const std::uint8_t*>(image->palette) + i * 4, 4);
            format->palette[i] = e & 0xFFFFFF;
        }
    }
}

// The palette of a paletted image rebuilt from an image format's 0x00RRGGBB
// entries, in the image's own layout, and copied into the palette copy.
void RebuildPalette(MEMIMG* image, const ColorFormatDesc& source) {
    auto* out = static_cast<std::uint8_t*>(image->palette);
    std::size_t bytes = image->kind == kMemImgKind565 ? 512 : 1024;
    for (int i = 0; i < 256; ++i) {
        std::uint32_t e = source.palette[i];
        std::uint32_t r = (e >> 16) & 0xFF, g = (e >> 8) & 0xFF, b = e & 0xFF;
        if (image->kind == kMemImgKind565) {
            auto word = static_cast<std::uint16_t>(((r & 0xF8) << 8) | ((g & 0xFC) << 3) | (b >> 3));
            std::memcpy(out + i * 2, &word, 2);
        } else {
            std::uint32_t word = (r << 16) | (g << 8) | b;
            std::memcpy(out + i * 4, &word, 4);
        }
    }
    if (image->paletteCopy != image->palette) std::memcpy(image->paletteCopy, image->palette, bytes);
}

// Fills bytes (a whole number of pixels of bpp = 1, 2 or 4 bytes) with the
// pixel value repeated: by memset when all its bytes are alike, which they
// are for the commonest clears (black, and the depth image's 65535), else
// eight bytes at a time.
void FillPixelBytes(std::uint8_t* p, std::size_t bytes, std::uint32_t value, int bpp) {
    std::uint64_t pattern = bpp == 1 ? (value & 0xFFu) * 0x0101010101010101ull
                            : bpp == 2 ? (value & 0xFFFFu) * 0x0001000100010001ull
                                       : (value & 0xFFFFFFFFull) * 0x0000000100000001ull;
    if (pattern == (pattern & 0xFFu) * 0x0101010101010101ull) {
        std::memset(p, static_cast<int>(pattern & 0xFFu), bytes);
        return;
    }
    std::size_t i = 0;
    for (; i + 8 <= bytes; i += 8) std::memcpy(p + i, &pattern, 8);
    // The pattern repeats every bpp bytes, and bytes is a whole number of
    // pixels: what is left starts a pixel.
    std::memcpy(p + i, &pattern, bytes - i);
}

}  // namespace

int InitMemImg(MEMIMG* image, int width, int height, int pitch, std::uint32_t transparentColor, int kind,
               int paletted, int alphaChannel, int derivedBuffers) {
    if (image == nullptr || image->magic == kMemImgMagic) return -1;
    if (kind < 0 || kind > static_cast<int>(kMemImgKindZBuffer) || width < 1 || height < 1) return -1;
    const bool colorKind = kind == static_cast<int>(kMemImgKind565) || kind == static_cast<int>(kMemImgKind888);
    const bool isPaletted = paletted != 0 && colorKind;
    const bool hasAlpha = alphaChannel != 0 && colorKind && !isPaletted;
    const ColorFormatDesc* format = GetStandardColorFormat(kind, hasAlpha, isPaletted);

    const std::uint64_t rowBytes = static_cast<std::uint64_t>(format->bytesPerPixel) * static_cast<std::uint64_t>(width);
    std::uint64_t usedPitch, l;
    if (pitch < 0) {
        l = rowBytes;
        usedPitch = (rowBytes + 15) & ~std::uint64_t{15};
    } else {
        if (static_cast<std::uint64_t>(pitch) < rowBytes) return -1;  // rows would overlap
        l = static_cast<std::uint64_t>(pitch);
        usedPitch = l;
    }
    const std::uint64_t bytes = usedPitch * static_cast<std::uint64_t>(height);
    const std::uint64_t runBytes = (static_cast<std::uint64_t>(width) + 5) * static_cast<std::uint64_t>(height);
    if (bytes > kMaxBufferBytes || runBytes > kMaxBufferBytes) return -1;

    image->width = width;
    image->height = height;
    image->transparentColor = transparentColor;
    image->kind = static_cast<std::uint32_t>(kind);
    image->paletted = isPaletted ? 1 : 0;
    image->alphaChannel = hasAlpha ? 1 : 0;
    image->premultipliedValid = 0;
    image->runTableValid = 0;
    image->palette = image->paletteStorage;
    image->paletteCopy = image->paletteCopyStorage;
    image->pitch = static_cast<std::uint32_t>(usedPitch);
    image->pitchShift = PitchShift(usedPitch, l);
    image->colorFormat = format;

    // What this call allocates, so that a failure gives all of it back.
    std::uint8_t* newPixels = nullptr;
    std::uint8_t* newPremultiplied = nullptr;
    std::uint8_t* newRunTable = nullptr;
    bool failed = false;
    if (image->pixels == nullptr) {
        newPixels = static_cast<std::uint8_t*>(AllocBuffer(bytes));
        failed = newPixels == nullptr;
        image->borrowedPixels = 0;
    } else {
        image->borrowedPixels = 1;
    }
    if (!failed && derivedBuffers != 0) {
        if (hasAlpha && image->premultiplied == nullptr) {
            newPremultiplied = static_cast<std::uint8_t*>(AllocBuffer(bytes));
            failed = newPremultiplied == nullptr;
        }
        if (!failed && kind != static_cast<int>(kMemImgKindOneByte) && image->runTable == nullptr) {
            newRunTable = static_cast<std::uint8_t*>(AllocBuffer(runBytes));
            failed = newRunTable == nullptr;
        }
    }
    if (failed) {
        TrackedFree(newPixels);
        TrackedFree(newPremultiplied);
        TrackedFree(newRunTable);
        return -1;
    }
    if (newPixels != nullptr) image->pixels = newPixels;
    if (newPremultiplied != nullptr) image->premultiplied = newPremultiplied;
    if (newRunTable != nullptr) image->runTable = newRunTable;
    image->magic = kMemImgMagic;
    return 0;
}

int InitScreenMemImg(MEMIMG* image, int width, int height, int kind) {
    if (image == nullptr) return -1;
    std::memset(image, 0, sizeof *image);
    if (kind == -1) kind = ScreenDepthSetting() == 16 ? static_cast<int>(kMemImgKind565) : static_cast<int>(kMemImgKind888);
    return InitMemImg(image, width, height, -1, 0, kind, 0, 0, 0);
}

int InitZBufferMemImg(MEMIMG* image, int width, int height) {
    if (image == nullptr) return -1;
    std::memset(image, 0, sizeof *image);
    // Two bytes a pixel, rows rounded up to 16 bytes: exactly a computed pitch.
    return InitMemImg(image, width, height, -1, 0, static_cast<int>(kMemImgKindZBuffer), 0, 0, 0);
}

void ClearMemImgRecord(MEMIMG* image) {
    std::memset(image, 0, offsetof(MEMIMG, paletteStorage));
    image->pixels = nullptr;
    image->premultiplied = nullptr;
    image->runTable = nullptr;
}

void InitMemImgView(MEMIMG* view, const MEMIMG* source, int x, int y, int width, int height) {
    if (view == nullptr || source == nullptr) return;
    // Keep the window inside the source, so that a view never reaches
    // outside the source's pixels.
    x = std::clamp(x, 0, std::max(source->width, 0));
    y = std::clamp(y, 0, std::max(source->height, 0));
    width = std::clamp(width, 0, source->width - x);
    height = std::clamp(height, 0, source->height - y);

    view->magic = kMemImgMagic;
    view->width = width;
    view->height = height;
    view->pitch = source->pitch;
    view->pitchShift = source->pitchShift;
    view->colorFormat = source->colorFormat;
    view->transparentColor = source->transparentColor;
    view->kind = source->kind;
    view->paletted = source->paletted;
    view->paletteCount = source->paletteCount;
    view->alphaChannel = source->alphaChannel;
    view->premultipliedValid = 0;
    view->runTableValid = 0;
    // A view owns nothing: marked as borrowing, releasing it frees nothing.
    view->borrowedPixels = 1;
    view->palette = source->palette;
    view->paletteCopy = source->paletteCopy;
    const int bpp = source->colorFormat != nullptr ? source->colorFormat->bytesPerPixel : 0;
    view->pixels = source->pixels == nullptr
                       ? nullptr
                       : source->pixels + static_cast<std::ptrdiff_t>(y) * source->pitch +
                             static_cast<std::ptrdiff_t>(x) * bpp;
    view->premultiplied = nullptr;
    view->runTable = nullptr;
}

void ReleaseMemImg(MEMIMG* image) {
    if (image == nullptr || image->magic != kMemImgMagic) return;
    if (image->borrowedPixels == 0) TrackedFree(image->pixels);
    TrackedFree(image->premultiplied);
    TrackedFree(image->runTable);
    image->pixels = nullptr;
    image->premultiplied = nullptr;
    image->runTable = nullptr;
    image->premultipliedValid = 0;
    image->runTableValid = 0;
    image->magic = 0;
}

int MemImgHasPixels(const MEMIMG* image) { return image != nullptr && image->pixels != nullptr ? 1 : 0; }

void InvalidateMemImgDerived(MEMIMG* image) {
    if (image == nullptr) return;
    image->premultipliedValid = 0;
    image->runTableValid = 0;
}

int CopyMemImg(MEMIMG* dest, const MEMIMG* source, const RECT* srcRect, int x, int y) {
    if (!Usable(dest) || !Usable(source)) return -1;
    RECT rect = srcRect != nullptr ? *srcRect : RECT{0, 0, source->width, source->height};
    if (!ClipCopy(&rect, &x, &y, source->width, source->height, dest->width, dest->height)) return 0;
    InvalidateMemImgDerived(dest);
    const ColorFormatDesc* sourceFormat = source->colorFormat;
    ColorFormatDesc paletteFormat;
    if (source->paletted) {
        PaletteSourceFormat(source, &paletteFormat);
        sourceFormat = &paletteFormat;
    }
    return BlitConvertFormat(dest->pixels, static_cast<int>(dest->pitch), dest->colorFormat, source->pixels,
                             static_cast<int>(source->pitch), sourceFormat, nullptr, 0, nullptr, x, y, &rect, 0,
                             0, 0, 0, 0, 0, 0);
}

int WriteGraphImageToMemImg(const GraphImage* source, const GraphImage* alphaImage, MEMIMG* dest, int srcX,
                            int srcY, int width, int height, int destX, int destY, int convertOption) {
    if (source == nullptr || source->pixels == nullptr || !Usable(dest)) return -1;
    if (alphaImage != nullptr && alphaImage->pixels == nullptr) alphaImage = nullptr;
    if (width <= 0 || height <= 0) return 0;
    RECT rect{srcX, srcY, static_cast<LONG>(static_cast<std::int64_t>(srcX) + width),
              static_cast<LONG>(static_cast<std::int64_t>(srcY) + height)};
    std::int64_t srcW = source->width, srcH = source->height;
    if (alphaImage != nullptr) {
        srcW = std::min<std::int64_t>(srcW, alphaImage->width);
        srcH = std::min<std::int64_t>(srcH, alphaImage->height);
    }
    if (!ClipCopy(&rect, &destX, &destY, srcW, srcH, dest->width, dest->height)) return 0;

    // Whatever follows, the derived buffers no longer describe the pixels
    // until they are rebuilt below.
    InvalidateMemImgDerived(dest);
    const int destPitch = static_cast<int>(dest->pitch);
    const int srcPitch = static_cast<int>(source->pitch);
    int result;
    if (dest->kind == kMemImgKindOneByte || dest->kind == kMemImgKindZBuffer) {
        result = BlitConvertFormat(dest->pixels, destPitch, dest->colorFormat, source->pixels, srcPitch,
                                   &source->colorFormat, nullptr, 0, nullptr, destX, destY, &rect, 0, 0, 0, 0, 0,
                                   0, 0);
        if (result < 0) return -1;
    } else {
        if (alphaImage != nullptr) {
            result = BlitConvertFormat(dest->pixels, destPitch, dest->colorFormat, source->pixels, srcPitch,
                                       &source->colorFormat, alphaImage->pixels, static_cast<int>(alphaImage->pitch),
                                       &alphaImage->colorFormat, destX, destY, &rect, 0, 1, 0, 0, 0, 0, 0);
        } else {
            // The image's transparent colour is a pixel value of its own
            // format; the blit wants it as 0x00RRGGBB.
            std::uint32_t transparent = dest->transparentColor;
            if (!dest->paletted) {
                transparent = ConvertPixel(GetStandardColorFormat(kColorKind888, 0, 0), dest->colorFormat,
                                           dest->transparentColor) &
                              0xFFFFFF;
            }
            result = BlitConvertFormat(dest->pixels, destPitch, dest->colorFormat, source->pixels, srcPitch,
                                       &source->colorFormat, nullptr, 0, nullptr, destX, destY, &rect, 0, 1,
                                       transparent, 0, 0, convertOption, 0);
        }
        if (result < 0) return -1;
        if (alphaImage == nullptr && dest->paletted) dest->paletteCount = static_cast<std::uint32_t>(result) + 1;
        if (dest->paletted) RebuildPalette(dest, source->colorFormat);
    }

    const bool whole = rect.right - rect.left == dest->width && rect.bottom - rect.top == dest->height;
    const bool colorKind = dest->kind == kMemImgKind565 || dest->kind == kMemImgKind888;
    if (whole && colorKind && dest->runTable != nullptr) {
        dest->runTableValid = 1;
        if (dest->alphaChannel && dest->premultiplied != nullptr) {
            dest->premultipliedValid = 1;
            BuildMemImgPremultiplied(dest);
        }
        BuildMemImgRunTable(dest);
    }
    return 0;
}

int ConvertMemImgRectToGraphImage(const GraphImage* target, const MEMIMG* image, int x, int y, int width,
                                  int height, int destX, int destY, int dither, int convertOption) {
    if (target == nullptr || target->pixels == nullptr || !Usable(image)) return -1;
    const bool plainColor = (image->kind == kMemImgKind565 || image->kind == kMemImgKind888) &&
                            image->paletted == 0 && image->alphaChannel == 0;
    if (!plainColor || width <= 0 || height <= 0) return 0;
    RECT rect{x, y, static_cast<LONG>(static_cast<std::int64_t>(x) + width),
              static_cast<LONG>(static_cast<std::int64_t>(y) + height)};
    if (!ClipCopy(&rect, &destX, &destY, image->width, image->height, target->width, target->height)) return 0;
    return BlitConvertFormat(target->pixels, static_cast<int>(target->pitch), &target->colorFormat, image->pixels,
                             static_cast<int>(image->pitch), image->colorFormat, nullptr, 0, nullptr, destX, destY,
                             &rect, 0, 0, 0, dither, 0, convertOption, 0);
}

int ClearMemImgRect(MEMIMG* image, const RECT* rect, std::uint32_t value) {
    if (!Usable(image)) return -1;
    RECT r{0, 0, image->width, image->height};
    if (rect != nullptr) {
        const RECT whole = r;
        r = *rect;
        ClipRectToRect(&r, &whole);
    }
    const int width = r.right - r.left, height = r.bottom - r.top;
    if (width <= 0 || height <= 0) return 0;
    InvalidateMemImgDerived(image);
    const int bpp = image->colorFormat->bytesPerPixel;
    if (bpp != 1 && bpp != 2 && bpp != 4) return 0;  // no such images; left alone
    const std::size_t rowBytes = static_cast<std::size_t>(width) * static_cast<std::size_t>(bpp);
    std::uint8_t* first = image->pixels + static_cast<std::ptrdiff_t>(r.top) * image->pitch +
                          static_cast<std::ptrdiff_t>(r.left) * bpp;
    // Whole rows without padding are one run of bytes.
    if (static_cast<std::size_t>(image->pitch) == rowBytes) {
        FillPixelBytes(first, rowBytes * static_cast<std::size_t>(height), value, bpp);
        return 0;
    }
    for (int row = 0; row < height; ++row) FillPixelBytes(first + static_cast<std::ptrdiff_t>(row) * image->pitch, rowBytes, value, bpp);
    return 0;
}
