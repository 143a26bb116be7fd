// Frame hashes compare runs picture by picture: they follow the colours
// shown, not how the frame is stored.
#include <gtest/gtest.h>

#include <cstring>
#include <utility>

#include "platform/display.h"

namespace {

// A 5 x 3 frame in `layout` whose pixel (x, y) shows colour(x, y), stored
// with `padding` spare bytes at the end of each row.
template <typename Colour>
PlatformFrame Make(const PlatformPixelLayout& layout, int padding, Colour colour) {
    PlatformFrame f;
    f.width = 5;
    f.height = 3;
    f.layout = layout;
    f.pitch = f.width * layout.BytesPerPixel() + padding;
    f.pixels.assign(static_cast<std::size_t>(f.pitch) * f.height, 0xAB);
    for (int i = 0; i < 256; ++i) f.palette[i] = static_cast<std::uint32_t>(i) * 0x010203u & 0xFFFFFF;
    for (int y = 0; y < f.height; ++y)
        for (int x = 0; x < f.width; ++x) {
            const std::uint32_t raw = colour(x, y);
            std::memcpy(&f.pixels[static_cast<std::size_t>(y) * f.pitch + x * layout.BytesPerPixel()], &raw,
                        static_cast<std::size_t>(layout.BytesPerPixel()));
        }
    return f;
}

TEST(FrameHash, FollowsTheColoursShownNotTheStorage) {
    auto grey = [](int x, int y) { return static_cast<std::uint32_t>(x * 16 + y) * 0x010101u; };
    auto grey565 = [&](int x, int y) {
        const std::uint32_t v = grey(x, y) & 0xFF;
        return (v >> 3) << 11 | (v >> 2) << 5 | v >> 3;
    };
    const PlatformFrame base = Make(kLayoutX888, 0, grey);
    const std::uint64_t hash = PlatformFrameHash(base);
    EXPECT_EQ(PlatformFrameHash(Make(kLayoutX888, 12, grey)), hash) << "row padding never counts";
    PlatformFrame paletted = Make(kLayout8, 3, [](int x, int y) { return static_cast<std::uint32_t>(x * 16 + y); });
    for (int i = 0; i < 256; ++i) paletted.palette[i] = static_cast<std::uint32_t>(i) * 0x010101u;
    EXPECT_EQ(PlatformFrameHash(paletted), hash) << "a palette frame showing the same colours";

    // Any one pixel changed in any one channel, or the 565 frame's lost low
    // bits, change the hash.
    for (int channel = 0; channel < 3; ++channel)
        for (int at = 0; at < 15; ++at) {
            const PlatformFrame changed = Make(kLayoutX888, 0, [&](int x, int y) {
                return grey(x, y) ^ (y * 5 + x == at ? 1u << (8 * channel) : 0u);
            });
            EXPECT_NE(PlatformFrameHash(changed), hash) << "channel " << channel << " pixel " << at;
        }
    EXPECT_NE(PlatformFrameHash(Make(kLayout565, 2, grey565)), hash);
    PlatformFrame empty;
    EXPECT_EQ(PlatformFrameHash(empty), PlatformFrameHash(PlatformFrame{}));
}

// A pixel's stored value in every width, its own bytes only (rows padded
// with 0xAB around them), and 0 outside the frame.
TEST(FrameHash, RawValuesAreThePixelsOwnBytes) {
    auto pattern = [](int x, int y) { return 0x01020304u * static_cast<std::uint32_t>(x + 5 * y + 1); };
    const struct {
        PlatformPixelLayout layout;
        std::uint32_t mask;
    } layouts[] = {{kLayout8, 0xFF}, {kLayout565, 0xFFFF}, {{24, 0xFF0000, 0xFF00, 0xFF, 0}, 0xFFFFFF},
                   {kLayoutX888, 0xFFFFFFFFu}};
    for (const auto& l : layouts) {
        const PlatformFrame f = Make(l.layout, 1, pattern);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 5; ++x) EXPECT_EQ(f.Raw(x, y), pattern(x, y) & l.mask) << l.layout.bitsPerPixel;
        for (const auto& [x, y] : {std::pair{-1, 0}, {0, -1}, {5, 0}, {0, 3}}) EXPECT_EQ(f.Raw(x, y), 0u);
    }
}

}  // namespace
