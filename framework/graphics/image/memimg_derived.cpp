// The two buffers derived from a software image's pixels: the run table the
// renderer's transparent loops walk, and the alpha-premultiplied copy.

#include "graphics/image/memimg.h"

namespace {

std::uint32_t Load(const std::uint8_t* p, int bytes) {
    switch (bytes) {
        case 1: return p[0];
        case 2: return static_cast<std::uint32_t>(p[0] | (p[1] << 8));
        default:
            return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
                   (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
    }
}

void Store32(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
    p[2] = static_cast<std::uint8_t>(v >> 16);
    p[3] = static_cast<std::uint8_t>(v >> 24);
}

// The run type of one pixel. Alpha images go by their alpha byte alone;
// others by comparing the pixel (zero-extended) or palette index with the
// transparent colour.
std::uint8_t RunType(const MEMIMG& image, const std::uint8_t* pixel, int bytes) {
    if (image.alphaChannel) {
        std::uint8_t alpha = image.kind == kMemImgKind565 ? pixel[2] : pixel[3];
        if (alpha == 0) return kRunTransparent;
        return alpha == 255 ? kRunOpaque : kRunTranslucent;
    }
    return Load(pixel, bytes) == image.transparentColor ? kRunTransparent : kRunOpaque;
}

}  // namespace

void BuildMemImgRunTable(MEMIMG* image) {
    if (image == nullptr || image->runTable == nullptr || image->pixels == nullptr || image->colorFormat == nullptr) {
        return;
    }
    const int bytes = image->colorFormat->bytesPerPixel;
    std::uint8_t* out = image->runTable;
    for (int row = 0; row < image->height; ++row) {
        const std::uint8_t* line = image->pixels + static_cast<std::ptrdiff_t>(row) * image->pitch;
        int x = 0;
        while (x < image->width) {
            std::uint8_t type = RunType(*image, line + static_cast<std::ptrdiff_t>(x) * bytes, bytes);
            int length = 1;
            while (x + length < image->width && length < kRunMaxLength &&
                   RunType(*image, line + static_cast<std::ptrdiff_t>(x + length) * bytes, bytes) == type) {
                ++length;
            }
            *out++ = static_cast<std::uint8_t>(type | (length - 1));
            x += length;
        }
        *out++ = kRunEndOfRow;
    }
}

void BuildMemImgPremultiplied(MEMIMG* image) {
    if (image == nullptr || image->premultiplied == nullptr || image->pixels == nullptr || !image->alphaChannel) {
        return;
    }
    for (int row = 0; row < image->height; ++row) {
        const std::uint8_t* src = image->pixels + static_cast<std::ptrdiff_t>(row) * image->pitch;
        std::uint8_t* dest = image->premultiplied + static_cast<std::ptrdiff_t>(row) * image->pitch;
        for (int x = 0; x < image->width; ++x, src += 4, dest += 4) {
            std::uint32_t p = Load(src, 4);
            std::uint32_t a = (p >> (image->kind == kMemImgKind565 ? 16 : 24)) & 0xFF;
            std::uint32_t out;
            if (image->kind == kMemImgKind565) {
                std::uint32_t c = p & 0xFFFF;
                std::uint32_t rgb = (((c & 0xF800) * a & 0xF80000) | ((c & 0x07E0) * a & 0x7E000) |
                                     ((c & 0x001F) * a & 0x1F00)) >>
                                    8;
                out = rgb | (a << 16) | (p & 0xFF000000u);
            } else {
                std::uint32_t b = (p & 0xFF) * a >> 8;
                std::uint32_t g = ((p >> 8) & 0xFF) * a >> 8;
                std::uint32_t r = ((p >> 16) & 0xFF) * a >> 8;
                out = b | (g << 8) | (r << 16) | (a << 24);
            }
            Store32(dest, out);
        }
    }
}
