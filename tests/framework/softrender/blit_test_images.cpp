#include "framework/softrender/blit_test_images.h"

#include <cstring>

namespace blit_test {

bool Is32(ImageLayout layout) {
    return layout == ImageLayout::k32 || layout == ImageLayout::kPaletted32 || layout == ImageLayout::kAlpha32;
}
bool IsPaletted(ImageLayout layout) {
    return layout == ImageLayout::kPaletted16 || layout == ImageLayout::kPaletted32;
}
bool HasAlpha(ImageLayout layout) { return layout == ImageLayout::kAlpha16 || layout == ImageLayout::kAlpha32; }
ImageLayout DestLayoutFor(ImageLayout source) { return Is32(source) ? ImageLayout::k32 : ImageLayout::k16; }
pixel_oracle::PixelKind KindOf(ImageLayout layout) {
    return Is32(layout) ? pixel_oracle::PixelKind::k32 : pixel_oracle::PixelKind::k16;
}

blit_reference::BlitSettings ReferenceSettings(ImageLayout layout, const SoftDrawSettings& settings, bool mask,
                                               int transparent) {
    blit_reference::BlitSettings s;
    s.kind = KindOf(layout);
    s.paletted = IsPaletted(layout);
    s.alphaChannel = HasAlpha(layout);
    s.mode = settings.blendMode;
    s.param = settings.blendParam;
    s.bright = settings.brightColor;
    s.mask = mask;
    s.transparent = transparent;
    return s;
}

SourceImage::SourceImage(ImageLayout layout, int width, int height, std::uint32_t seed, bool keyOutOfRange)
    : layout_(layout), pixels_(layout, width, height, 3, seed) {
    std::mt19937 rng(seed * 7919u + 13u);
    MEMIMG* img = pixels_.image();
    const bool is32 = Is32(layout);
    if (IsPaletted(layout)) {
        for (int i = 0; i < 256; ++i) {
            const std::uint32_t entry = is32 ? static_cast<std::uint32_t>(rng()) : (rng() & 0xFFFF);
            std::memcpy(img->paletteStorage + i * (is32 ? 4 : 2), &entry, is32 ? 4 : 2);
        }
    }
    // The key: one value the image uses for its transparent pixels.
    if (IsPaletted(layout)) key_ = 7;
    else if (is32) key_ = 0x00FF00FFu;
    else key_ = 0xF81Fu;
    // The highest value a pixel can hold, which an out-of-range key must not
    // turn transparent.
    const std::uint32_t highest = IsPaletted(layout) ? 0xFF : (is32 ? 0xFFFFFFFFu : 0xFFFFu);

    // Runs of one kind of pixel: 0 transparent, 1 opaque, 2 partly
    // transparent (alpha images), 3 the highest value.
    for (int y = 0; y < height; ++y) {
        int x = 0;
        while (x < width) {
            int length = 1 + static_cast<int>(rng() % 11);
            const int kind = static_cast<int>(rng() % (HasAlpha(layout) ? 3 : 4));
            for (; length > 0 && x < width; --length, ++x) {
                const std::uint32_t r = static_cast<std::uint32_t>(rng());
                if (HasAlpha(layout)) {
                    static const std::uint32_t kPartial[] = {1, 2, 127, 128, 200, 254};
                    const std::uint32_t a = kind == 0 ? 0 : (kind == 1 ? 255 : kPartial[r % 6]);
                    SetColour(x, y, rng(), a);
                } else if (kind == 0) {
                    pixels_.Set(x, y, key_);
                } else if (kind == 3) {
                    pixels_.Set(x, y, highest);
                } else {
                    std::uint32_t v = IsPaletted(layout) ? (r & 0xFF) : (is32 ? r : (r & 0xFFFF));
                    if (v == key_) v ^= 1;
                    // A 32-bit pixel with the key's colour but another fourth
                    // byte is not transparent.
                    if (is32 && !IsPaletted(layout) && (r & 0x100000) != 0) v = (key_ & 0x00FFFFFF) | 0x01000000u;
                    pixels_.Set(x, y, v);
                }
            }
        }
    }
    if (keyOutOfRange) key_ = 0xFFFFFFFFu;
    img->transparentColor = key_;
}

void SourceImage::BuildRunList() {
    MEMIMG* img = pixels_.image();
    runList_.assign(static_cast<std::size_t>(img->width + 5) * static_cast<std::size_t>(img->height), 0xEE);
    img->runTable = runList_.data();
    BuildMemImgRunTable(img);
    img->runTableValid = 1;
}

blit_reference::SourcePixel SourceImage::At(int x, int y) const {
    blit_reference::SourcePixel p;
    const std::uint32_t v = pixels_.Get(x, y);
    const MEMIMG* img = const_cast<TestImage&>(pixels_).image();
    switch (layout_) {
    case ImageLayout::kPaletted16:
    case ImageLayout::kPaletted32: {
        p.raw = v;
        const int size = layout_ == ImageLayout::kPaletted32 ? 4 : 2;
        std::uint32_t entry = 0;
        std::memcpy(&entry, img->paletteStorage + v * static_cast<std::uint32_t>(size), static_cast<std::size_t>(size));
        p.colour = entry;
        break;
    }
    case ImageLayout::kAlpha16:
        p.raw = v & 0xFFFF;
        p.colour = v & 0xFFFF;
        p.alpha = (v >> 16) & 0xFF;
        break;
    case ImageLayout::kAlpha32:
        p.raw = v;
        p.colour = v;
        p.alpha = v >> 24;
        break;
    default:
        p.raw = v;
        p.colour = v;
        break;
    }
    return p;
}

void SourceImage::SetColour(int x, int y, std::uint32_t colour, std::uint32_t alpha) {
    switch (layout_) {
    case ImageLayout::kAlpha16:
        // The spare fourth byte holds noise the loops must ignore.
        pixels_.Set(x, y, (colour & 0xFFFF) | (alpha << 16) | (0x5Au << 24));
        break;
    case ImageLayout::kAlpha32: pixels_.Set(x, y, (colour & 0x00FFFFFF) | (alpha << 24)); break;
    case ImageLayout::k16: pixels_.Set(x, y, colour & 0xFFFF); break;
    default: pixels_.Set(x, y, colour); break;
    }
}

MaskImage::MaskImage(int width, int height, std::uint32_t seed) : pixels_(ImageLayout::kOneByte, width, height, 5, seed) {}

}  // namespace blit_test
