#include "d3d/texture_shadow.h"

#include <cstring>

#include "d3d/raster_internal.h"

namespace {

TexelAlpha AlphaOf(std::uint32_t argb) {
    const std::uint32_t a = argb >> 24;
    return a == 0 ? TexelAlpha::Clear : a == 255 ? TexelAlpha::Opaque : TexelAlpha::Partial;
}

}  // namespace

TextureShadow::TextureShadow(const std::uint8_t* bits, int pitch, int width, int height,
                             const PlatformPixelLayout& texture, const PlatformPixelLayout& target)
    : texture_(texture),
      target_(target),
      width_(width),
      height_(height),
      rowBytes_(static_cast<std::size_t>(width) * static_cast<std::size_t>(target.BytesPerPixel())) {
    pixels_.resize(rowBytes_ * static_cast<std::size_t>(height));
    firstRun_.reserve(static_cast<std::size_t>(height) + 1);
    const int inBytes = texture.BytesPerPixel(), outBytes = target.BytesPerPixel();
    // 16-bit texels go through the layouts' tables, one look-up each.
    bool ignored = false;
    const std::uint32_t* decode = inBytes == 2 ? DecodeTable16(texture) : nullptr;
    const std::uint32_t* convert = inBytes == 2 ? ConvertTable16(texture, target, &ignored) : nullptr;
    firstSolid_.reserve(static_cast<std::size_t>(height) + 1);
    for (int y = 0; y < height; ++y) {
        firstRun_.push_back(static_cast<std::uint32_t>(runs_.size()));
        firstSolid_.push_back(static_cast<std::uint32_t>(solid_.size()));
        const std::uint8_t* in = bits + static_cast<std::ptrdiff_t>(y) * pitch;
        std::uint8_t* out = pixels_.data() + static_cast<std::size_t>(y) * rowBytes_;
        for (int x = 0; x < width; ++x) {
            std::uint32_t argb, pixel;
            if (decode != nullptr) {
                std::uint16_t raw;
                std::memcpy(&raw, in + static_cast<std::ptrdiff_t>(x) * 2, 2);
                argb = decode[raw];
                pixel = convert[raw];
            } else {
                std::uint32_t raw = 0;
                std::memcpy(&raw, in + static_cast<std::ptrdiff_t>(x) * inBytes, static_cast<std::size_t>(inBytes));
                argb = ExpandPixel(texture, raw);
                pixel = EncodePixel(target, argb);
            }
            std::memcpy(out + static_cast<std::ptrdiff_t>(x) * outBytes, &pixel, static_cast<std::size_t>(outBytes));
            const TexelAlpha alpha = AlphaOf(argb);
            if (x > 0 && runs_.back().alpha == alpha)
                runs_.back().end = static_cast<std::uint16_t>(x + 1);
            else
                runs_.push_back({static_cast<std::uint16_t>(x), static_cast<std::uint16_t>(x + 1), alpha});
            if (alpha == TexelAlpha::Clear) continue;
            if (solid_.size() > firstSolid_.back() && solid_.back().end == x) {
                solid_.back().end = static_cast<std::uint16_t>(x + 1);
                if (alpha == TexelAlpha::Partial) solid_.back().alpha = TexelAlpha::Partial;
            } else {
                solid_.push_back({static_cast<std::uint16_t>(x), static_cast<std::uint16_t>(x + 1), alpha});
            }
        }
    }
    firstRun_.push_back(static_cast<std::uint32_t>(runs_.size()));
    firstSolid_.push_back(static_cast<std::uint32_t>(solid_.size()));
}

std::size_t TextureShadow::Bytes() const {
    return pixels_.size() + (firstRun_.size() + firstSolid_.size()) * sizeof(std::uint32_t) +
           (runs_.size() + solid_.size()) * sizeof(TexelRun);
}
