// The data generator's PNG writer, read back by the framework's own image
// loader: every pixel of pictures of many sizes, small and large enough to
// need more than one stored block, must come back as it was painted.
#include <gtest/gtest.h>

#include <random>

#include "graphics/image/base_image.h"
#include "graphics/image/image_loader.h"
#include "png_writer.h"

namespace {

TEST(PngWriter, EveryPixelReadsBackThroughTheFrameworksLoader) {
    std::mt19937 random(38);
    // Raw rows are 1 + 3 x width bytes; 65535 bytes make one stored block.
    const struct {
        int width, height;
    } sizes[] = {{1, 1}, {2, 3}, {7, 5}, {64, 1}, {200, 109}, {200, 110}, {300, 80}, {1, 300}};
    for (const auto& s : sizes) {
        SCOPED_TRACE(testing::Message() << s.width << " x " << s.height);
        Image image(s.width, s.height);
        for (int y = 0; y < s.height; ++y)
            for (int x = 0; x < s.width; ++x) {
                const std::uint32_t v = random();
                image.Put(x, y, Rgb{static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
                                    static_cast<std::uint8_t>(v >> 16)});
            }
        const std::vector<std::uint8_t> png = EncodePng(image);
        GraphImage decoded{};
        ASSERT_EQ(LoadImageToBaseImage(nullptr, png.data(), png.size(), 1, 0, 0, &decoded, nullptr, 0), 0);
        ASSERT_EQ(decoded.width, static_cast<std::uint32_t>(s.width));
        ASSERT_EQ(decoded.height, static_cast<std::uint32_t>(s.height));
        int wrong = 0;
        for (int y = 0; y < s.height; ++y)
            for (int x = 0; x < s.width; ++x) {
                const Rgb c = image.At(x, y);
                const std::uint32_t want = (c.r << 16) | (c.g << 8) | c.b;
                wrong += (ReadBaseImagePixel(&decoded, static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y)) &
                          0xFFFFFF) != want;
            }
        EXPECT_EQ(wrong, 0);
        ReleaseBaseImage(&decoded);
        // A damaged byte anywhere in the data is caught by a check sum.
        std::vector<std::uint8_t> damaged = png;
        damaged[damaged.size() - 20] ^= 0x10;
        GraphImage none{};
        EXPECT_EQ(LoadImageToBaseImage(nullptr, damaged.data(), damaged.size(), 1, 0, 0, &none, nullptr, 0), -1);
    }
}

}  // namespace
