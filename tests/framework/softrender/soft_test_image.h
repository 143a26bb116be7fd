// Software images for renderer tests: random pixels in a buffer with guard
// bytes before the first row, after the last row and at the end of every row,
// so a test can prove that a rasteriser touched nothing outside the pixels it
// was allowed to change.
#pragma once

#include <cstddef>
#include <cstdint>
#include <random>
#include <vector>

#include "graphics/image/memimg.h"

namespace soft_test {

enum class ImageLayout {
    k16,         // 2-byte 5:6:5 pixels
    k32,         // 4-byte pixels
    kPaletted16, // 1-byte indices, 16-bit palette
    kPaletted32, // 1-byte indices, 32-bit palette
    kAlpha16,    // 4-byte pixels: 5:6:5 word, alpha byte, spare byte
    kAlpha32,    // 4-byte pixels with alpha in the fourth byte
    kOneByte,    // kind 2: one-byte single channel
};

class TestImage {
public:
    // width x height pixels, each row followed by rowPadding guard bytes.
    TestImage(ImageLayout layout, int width, int height, int rowPadding, std::uint32_t seed);
    TestImage(const TestImage&) = delete;
    TestImage& operator=(const TestImage&) = delete;

    MEMIMG* image() { return &image_; }
    int width() const { return width_; }
    int height() const { return height_; }
    std::size_t pixelBytes() const { return pixelBytes_; }

    // The pixel value at (x, y): 16 bits for 16-bit images, 32 bits for
    // 32-bit ones, one byte for paletted and one-byte images.
    std::uint32_t Get(int x, int y) const;
    void Set(int x, int y, std::uint32_t value);

    // The pixels as they are now, row by row, for comparing before and after.
    std::vector<std::uint32_t> Pixels() const;
    // Every byte of the buffer, guards included.
    const std::vector<std::uint8_t>& Bytes() const { return storage_; }
    // True when no guard byte has changed.
    bool GuardsIntact() const;

private:
    std::size_t Offset(int x, int y) const;

    MEMIMG image_{};
    ImageLayout layout_;
    int width_, height_;
    std::size_t pixelBytes_, pitch_, rowBytes_;
    std::vector<std::uint8_t> storage_;
};

// Where the guard region starts before row 0 and after the last row.
constexpr std::size_t kGuardBytes = 64;
constexpr std::uint8_t kGuardByte = 0xA5;

}  // namespace soft_test
