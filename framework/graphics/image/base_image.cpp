#include "graphics/image/base_image.h"

#include <algorithm>
#include <cstring>

#include "core/memory.h"
#include "graphics/draw/draw_state.h"
#include "graphics/image/convert_blit.h"

namespace {

// Guards every size computation below: a pitch times a height stays far
// below what the tracker can hand out.
constexpr int kMaxBaseImageSide = 32768;

std::uint32_t LoadPixel(const std::uint8_t* p, int bytes) {
    std::uint32_t v = 0;
    for (int i = 0; i < bytes; ++i) v |= static_cast<std::uint32_t>(p[i]) << (8 * i);
    return v;
}

void StorePixel(std::uint8_t* p, int bytes, std::uint32_t v) {
    for (int i = 0; i < bytes; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// A channel moved to its byte with its top bit at the byte's top; a channel
// wider than 8 bits keeps its top 8 bits.
std::uint32_t ChannelToByte(std::uint32_t pixel, std::uint32_t mask, int shift, int width) {
    if (width == 0) return 0;
    const std::uint32_t c = (pixel & mask) >> shift;
    return (width <= 8 ? c << (8 - width) : c >> (width - 8)) & 0xFFu;
}

bool HasPixels(const GraphImage* image) {
    return image != nullptr && image->pixels != nullptr && image->width > 0 && image->height > 0;
}

bool IsStandard24(const ColorFormatDesc& f) {
    return f.depth == 24 && f.redMask == 0xFF0000u && f.greenMask == 0xFF00u && f.blueMask == 0xFFu &&
           f.alphaMask == 0;
}

}  // namespace

int CreateBaseImage(int width, int height, GraphImage* image) {
    if (image == nullptr || width <= 0 || height <= 0 || width > kMaxBaseImageSide || height > kMaxBaseImageSide)
        return -1;
    std::memset(image, 0, sizeof *image);
    SetRGB24Format(&image->colorFormat);
    image->width = static_cast<std::uint32_t>(width);
    image->height = static_cast<std::uint32_t>(height);
    image->pitch = (image->colorFormat.bytesPerPixel * image->width + 3) / 4 * 4;
    image->pixels = static_cast<std::uint8_t*>(KV_ALLOC(static_cast<std::size_t>(image->pitch) * image->height));
    if (image->pixels == nullptr) {
        std::memset(image, 0, sizeof *image);
        return -1;
    }
    return 0;
}

int ReleaseBaseImage(GraphImage* image) {
    if (image == nullptr) return 0;
    KV_FREE(image->pixels);
    std::memset(image, 0, sizeof *image);
    return 0;
}

int FillBaseImage(GraphImage* image, int r, int g, int b, int a) {
    if (!HasPixels(image)) return 0;
    const int bytes = image->colorFormat.bytesPerPixel;
    if (bytes < 2 || bytes > 4) return 0;
    const std::uint32_t value = ComposePixel(&image->colorFormat, r, g, b, a);
    for (std::uint32_t y = 0; y < image->height; ++y) {
        std::uint8_t* row = image->pixels + static_cast<std::size_t>(y) * image->pitch;
        for (std::uint32_t x = 0; x < image->width; ++x) StorePixel(row + x * bytes, bytes, value);
    }
    return 0;
}

std::uint32_t ReadBaseImagePixel(const GraphImage* image, int x, int y) {
    if (!HasPixels(image) || x < 0 || y < 0 || static_cast<std::uint32_t>(x) >= image->width ||
        static_cast<std::uint32_t>(y) >= image->height)
        return 0;
    const ColorFormatDesc& f = image->colorFormat;
    const int bytes = f.bytesPerPixel;
    const std::uint8_t* p = image->pixels + static_cast<std::size_t>(y) * image->pitch + static_cast<std::size_t>(x) * bytes;
    if (bytes == 1) return f.palette[*p] & 0xFFFFFFu;
    if (bytes < 2 || bytes > 4) return 0;
    const std::uint32_t pixel = LoadPixel(p, bytes);
    std::uint32_t argb = ChannelToByte(pixel, f.redMask, f.redShift, f.redWidth) << 16 |
                         ChannelToByte(pixel, f.greenMask, f.greenShift, f.greenWidth) << 8 |
                         ChannelToByte(pixel, f.blueMask, f.blueShift, f.blueWidth);
    if (f.alphaMask != 0) argb |= ChannelToByte(pixel, f.alphaMask, f.alphaShift, f.alphaWidth) << 24;
    return argb;
}

int MirrorBaseImage(GraphImage* image) {
    if (!HasPixels(image)) return -1;
    const int bytes = image->colorFormat.bytesPerPixel;
    if (bytes < 1 || bytes > 4) return 0;
    std::uint8_t swap[4];
    for (std::uint32_t y = 0; y < image->height; ++y) {
        std::uint8_t* row = image->pixels + static_cast<std::size_t>(y) * image->pitch;
        for (std::uint32_t l = 0, r = image->width - 1; l < r; ++l, --r) {
            std::memcpy(swap, row + l * bytes, bytes);
            std::memcpy(row + l * bytes, row + r * bytes, bytes);
            std::memcpy(row + r * bytes, swap, bytes);
        }
    }
    return 0;
}

HBITMAP MakeDibSectionCopy(const BITMAPINFO* header, const void* pixels, int mirror, const ColorFormatDesc* format) {
    if (header == nullptr || pixels == nullptr) return nullptr;
    const BITMAPINFOHEADER& source = header->bmiHeader;
    const int width = source.biWidth;
    const int height = source.biHeight < 0 ? -source.biHeight : source.biHeight;
    if (width <= 0 || height <= 0 || width > kMaxBaseImageSide || height > kMaxBaseImageSide) return nullptr;

    ColorFormatDesc sectionFormat{};
    if (format != nullptr) {
        sectionFormat = *format;
        // A 32-bit format handed a 24-bit header describes pixels it does not
        // hold; the section then takes the header's layout.
        if (sectionFormat.depth == 32 && source.biBitCount == 24) SetRGB24Format(&sectionFormat);
    }

    // Without a format the section takes the header's own layout. Only the
    // entries the header uses are read: callers may pass a shorter block.
    BITMAPINFO section{};
    section.bmiHeader = source;
    if (source.biCompression == BI_BITFIELDS) std::memcpy(section.bmiColors, header->bmiColors, 3 * sizeof(RGBQUAD));
    section.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    section.bmiHeader.biHeight = -height;
    if (format != nullptr) {
        section.bmiHeader.biBitCount = sectionFormat.depth;
        section.bmiHeader.biCompression = BI_RGB;
        if (sectionFormat.depth == 16 || (sectionFormat.depth > 24 && source.biBitCount != 24)) {
            section.bmiHeader.biCompression = BI_BITFIELDS;
            const DWORD masks[3] = {sectionFormat.redMask, sectionFormat.greenMask, sectionFormat.blueMask};
            std::memcpy(section.bmiColors, masks, sizeof masks);
        }
    }

    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    HBITMAP bitmap = CreateDIBSection(screen, &section, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC memory = bitmap != nullptr ? CreateCompatibleDC(screen) : nullptr;
    ReleaseDC(nullptr, screen);
    if (memory == nullptr) {
        if (bitmap != nullptr) DeleteObject(bitmap);
        return nullptr;
    }
    HGDIOBJ old = SelectObject(memory, bitmap);
    const int lines = mirror ? StretchDIBits(memory, 0, 0, width, height, width - 1, 0, -width, height, pixels, header,
                                             DIB_RGB_COLORS, SRCCOPY)
                             : SetDIBitsToDevice(memory, 0, 0, static_cast<DWORD>(width), static_cast<DWORD>(height),
                                                 0, 0, 0, static_cast<UINT>(height), pixels, header, DIB_RGB_COLORS);
    SelectObject(memory, old);
    DeleteDC(memory);
    if (lines <= 0) {
        DeleteObject(bitmap);
        return nullptr;
    }
    return bitmap;
}

int MakeBaseImage24Copy(const GraphImage* image, BITMAPINFO* header, void** pixels, int bottomUp) {
    if (pixels != nullptr) *pixels = nullptr;
    if (!HasPixels(image) || header == nullptr || pixels == nullptr || image->width > kMaxBaseImageSide ||
        image->height > kMaxBaseImageSide)
        return -1;
    const int width = static_cast<int>(image->width);
    const int height = static_cast<int>(image->height);
    ColorFormatDesc format{};
    SetRGB24Format(&format);
    const int pitch = (width * 3 + 3) / 4 * 4;
    auto* out = static_cast<std::uint8_t*>(KV_ALLOC(static_cast<std::size_t>(pitch) * height));
    if (out == nullptr) return -1;

    const bool same = IsStandard24(image->colorFormat);
    if (same) {
        for (int y = 0; y < height; ++y)
            std::memcpy(out + static_cast<std::size_t>(y) * pitch,
                        image->pixels + static_cast<std::size_t>(y) * image->pitch, static_cast<std::size_t>(width) * 3);
    } else {
        const RECT all{0, 0, width, height};
        if (BlitConvertFormat(out, pitch, &format, image->pixels, static_cast<int>(image->pitch), &image->colorFormat,
                              nullptr, 0, nullptr, 0, 0, &all, 0, 0, 0, GetTransferConvertFlag(), 0, 0, 0) < 0) {
            KV_FREE(out);
            return -1;
        }
    }
    if (bottomUp) {
        for (int top = 0, bottom = height - 1; top < bottom; ++top, --bottom)
            std::swap_ranges(out + static_cast<std::size_t>(top) * pitch, out + static_cast<std::size_t>(top + 1) * pitch,
                             out + static_cast<std::size_t>(bottom) * pitch);
    }

    std::memset(header, 0, sizeof *header);
    header->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    header->bmiHeader.biWidth = width;
    header->bmiHeader.biHeight = bottomUp ? height : -height;
    header->bmiHeader.biPlanes = 1;
    header->bmiHeader.biBitCount = 24;
    header->bmiHeader.biCompression = BI_RGB;
    header->bmiHeader.biSizeImage = static_cast<DWORD>(pitch) * static_cast<DWORD>(height);
    *pixels = out;
    return same ? 1 : 0;
}
