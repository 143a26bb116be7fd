#include "framework/softrender/soft_test_image.h"

#include <cstring>

#include "graphics/image/color_format.h"

namespace soft_test {

namespace {

struct LayoutInfo {
    std::uint32_t kind;
    std::uint32_t paletted;
    std::uint32_t alpha;
    std::size_t pixelBytes;
};

LayoutInfo Info(ImageLayout layout) {
    switch (layout) {
    case ImageLayout::k16: return {0, 0, 0, 2};
    case ImageLayout::k32: return {1, 0, 0, 4};
    case ImageLayout::kPaletted16: return {0, 1, 0, 1};
    case ImageLayout::kPaletted32: return {1, 1, 0, 1};
    case ImageLayout::kAlpha16: return {0, 0, 1, 4};
    case ImageLayout::kAlpha32: return {1, 0, 1, 4};
    case ImageLayout::kOneByte: return {2, 0, 0, 1};
    }
    return {0, 0, 0, 2};
}

}  // namespace

TestImage::TestImage(ImageLayout layout, int width, int height, int rowPadding, std::uint32_t seed)
    : layout_(layout), width_(width), height_(height) {
    const LayoutInfo info = Info(layout);
    pixelBytes_ = info.pixelBytes;
    rowBytes_ = static_cast<std::size_t>(width) * pixelBytes_;
    pitch_ = rowBytes_ + static_cast<std::size_t>(rowPadding);
    storage_.assign(kGuardBytes + pitch_ * static_cast<std::size_t>(height) + kGuardBytes, kGuardByte);

    std::mt19937 rng(seed);
    for (int y = 0; y < height; ++y)
        for (std::size_t i = 0; i < rowBytes_; ++i)
            storage_[kGuardBytes + static_cast<std::size_t>(y) * pitch_ + i] = static_cast<std::uint8_t>(rng());

    image_.magic = 0x12345678;
    image_.width = width;
    image_.height = height;
    image_.pitch = static_cast<std::uint32_t>(pitch_);
    image_.pitchShift = -1;
    image_.colorFormat = GetStandardColorFormat(static_cast<int>(info.kind), static_cast<int>(info.alpha),
                                                static_cast<int>(info.paletted));
    image_.transparentColor = 0;
    image_.kind = info.kind;
    image_.paletted = info.paletted;
    image_.paletteCount = info.paletted ? 256 : 0;
    image_.alphaChannel = info.alpha;
    image_.borrowedPixels = 1;
    image_.palette = image_.paletteStorage;
    image_.paletteCopy = image_.paletteCopyStorage;
    image_.pixels = storage_.data() + kGuardBytes;
}

std::size_t TestImage::Offset(int x, int y) const {
    return kGuardBytes + static_cast<std::size_t>(y) * pitch_ + static_cast<std::size_t>(x) * pixelBytes_;
}

std::uint32_t TestImage::Get(int x, int y) const {
    const std::uint8_t* p = storage_.data() + Offset(x, y);
    switch (pixelBytes_) {
    case 1: return p[0];
    case 2: return static_cast<std::uint32_t>(p[0] | (p[1] << 8));
    default: {
        std::uint32_t v;
        std::memcpy(&v, p, 4);
        return v;
    }
    }
}

void TestImage::Set(int x, int y, std::uint32_t value) {
    std::uint8_t* p = storage_.data() + Offset(x, y);
    switch (pixelBytes_) {
    case 1: p[0] = static_cast<std::uint8_t>(value); break;
    case 2:
        p[0] = static_cast<std::uint8_t>(value);
        p[1] = static_cast<std::uint8_t>(value >> 8);
        break;
    default: std::memcpy(p, &value, 4); break;
    }
}

std::vector<std::uint32_t> TestImage::Pixels() const {
    std::vector<std::uint32_t> out;
    out.reserve(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_));
    for (int y = 0; y < height_; ++y)
        for (int x = 0; x < width_; ++x) out.push_back(Get(x, y));
    return out;
}

bool TestImage::GuardsIntact() const {
    for (std::size_t i = 0; i < kGuardBytes; ++i)
        if (storage_[i] != kGuardByte || storage_[storage_.size() - 1 - i] != kGuardByte) return false;
    for (int y = 0; y < height_; ++y)
        for (std::size_t i = rowBytes_; i < pitch_; ++i)
            if (storage_[kGuardBytes + static_cast<std::size_t>(y) * pitch_ + i] != kGuardByte) return false;
    return true;
}

}  // namespace soft_test
