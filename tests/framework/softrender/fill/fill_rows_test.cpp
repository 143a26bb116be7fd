// The fill's group loops against its one-pixel loops, which stay the
// reference: every operation on rows of every width up to several groups,
// at every start within a group and rows of odd pitches, with the guard
// bytes around them; and every destination channel value against every
// colour channel value at every blend parameter.

#include "softrender/fill/fill_rows.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <sstream>
#include <vector>

#include "framework/softrender/soft_test_image.h"
#include "softrender/fill/fill_rect.h"

using soft_test::ImageLayout;
using soft_test::TestImage;

namespace {

constexpr FillRowLoops kGroupLoops[] = {FillRowLoops::kGroups16, FillRowLoops::kGroups32};

class FillRows : public ::testing::Test {
protected:
    void TearDown() override { SetFillRowLoops(FillRowLoops::kGroups32); }
};

const char* Name(FillRowLoops loops) { return loops == FillRowLoops::kGroups16 ? "16-byte groups" : "32-byte groups"; }

// Two copies of one image, filled with the plain loops and with group
// loops; put back as they were between fills.
struct ImagePair {
    TestImage plain, grouped;
    std::vector<std::uint8_t> rows;  // the rows as made, row padding included
    ImagePair(ImageLayout layout, int width, int height, int padding, std::uint32_t seed)
        : plain(layout, width, height, padding, seed), grouped(layout, width, height, padding, seed) {
        rows.assign(plain.image()->pixels, plain.image()->pixels + plain.image()->pitch * height);
    }
    void Reset() {
        std::memcpy(plain.image()->pixels, rows.data(), rows.size());
        std::memcpy(grouped.image()->pixels, rows.data(), rows.size());
    }
};

// Fills the same rectangle of both images of the pair, with the plain loops
// and with the given group loops, and compares every byte, guards included.
::testing::AssertionResult SameAsPlain(FillRowLoops loops, ImagePair& images, const RECT& rect,
                                       const SoftDrawSettings& s, std::uint32_t colour) {
    images.Reset();
    TestImage &plain = images.plain, &grouped = images.grouped;
    SetFillRowLoops(FillRowLoops::kPlain);
    FillRectMemImg(plain.image(), &rect, colour, s);
    SetFillRowLoops(loops);
    FillRectMemImg(grouped.image(), &rect, colour, s);
    if (grouped.Bytes() == plain.Bytes()) return ::testing::AssertionSuccess();
    std::ostringstream msg;
    msg << Name(loops) << ", kind " << plain.image()->kind << " mode " << s.blendMode << " param " << s.blendParam
        << std::hex << " bright 0x" << s.brightColor << " colour 0x" << colour << std::dec << ", columns "
        << rect.left << ".." << rect.right << " of " << plain.width() << ", pitch " << plain.image()->pitch << ":";
    for (int y = 0; y < plain.height(); ++y)
        for (int x = 0; x < plain.width(); ++x)
            if (plain.Get(x, y) != grouped.Get(x, y)) {
                msg << std::hex << " (" << std::dec << x << ", " << y << ") 0x" << std::hex << grouped.Get(x, y)
                    << " not 0x" << plain.Get(x, y);
                return ::testing::AssertionFailure() << msg.str();
            }
    return ::testing::AssertionFailure() << msg.str() << " a guard byte differs";
}

TEST_F(FillRows, GroupsGiveThePlainLoopsPixelsAtEveryWidthAndStart) {
    static const std::uint32_t kParams[] = {1, 2, 127, 128, 129, 200, 254, 255};
    static const std::uint32_t kBrights[] = {0xFFFFFF, 0x00C08040};
    std::mt19937 rng(5202);
    for (FillRowLoops loops : kGroupLoops)
        for (ImageLayout layout : {ImageLayout::k16, ImageLayout::k32})
            for (std::uint32_t mode = 0; mode <= 4; ++mode)
                for (std::uint32_t param : kParams)
                    for (std::uint32_t bright : kBrights) {
                        std::uint32_t colour = rng();
                        if (layout == ImageLayout::k16) colour &= 0xFFFF;
                        // Rows that start at other places within a group.
                        ImagePair images(layout, 80, 3, static_cast<int>(rng() % 7), rng());
                        const SoftDrawSettings s{RECT{0, 0, 80, 3}, mode, param, bright};
                        // Widths from none to over four 32-byte groups,
                        // starting at each of the first four columns.
                        for (int w = 0; w <= 70; ++w) {
                            const int left = (w + static_cast<int>(param)) % 4;
                            ASSERT_TRUE(SameAsPlain(loops, images, RECT{left, 0, left + w, 3}, s, colour));
                        }
                    }
}

// Fills one row, laid out afresh from `row`, with the plain loops and with
// the group loops, and compares the two.
::testing::AssertionResult RowSameAsPlain(FillRowLoops loops, TestImage& plain, TestImage& grouped,
                                          const std::vector<std::uint8_t>& row, const SoftDrawSettings& s,
                                          std::uint32_t colour) {
    const int bytes = static_cast<int>(plain.pixelBytes());
    const int width = plain.width();
    std::memcpy(plain.image()->pixels, row.data(), row.size());
    std::memcpy(grouped.image()->pixels, row.data(), row.size());
    SetFillRowLoops(FillRowLoops::kPlain);
    FillRectMemImg(plain.image(), nullptr, colour, s);
    SetFillRowLoops(loops);
    FillRectMemImg(grouped.image(), nullptr, colour, s);
    if (std::memcmp(plain.image()->pixels, grouped.image()->pixels, row.size()) == 0)
        return ::testing::AssertionSuccess();
    for (int i = 0; i < width; ++i)
        if (plain.Get(i, 0) != grouped.Get(i, 0))
            return ::testing::AssertionFailure()
                   << Name(loops) << " mode " << s.blendMode << " p " << s.blendParam << std::hex << " colour 0x"
                   << colour << ": pixel " << std::dec << i << " was 0x" << std::hex
                   << (bytes == 2 ? row[2 * i] | row[2 * i + 1] << 8 : 0) << ", became 0x" << grouped.Get(i, 0)
                   << " not 0x" << plain.Get(i, 0);
    return ::testing::AssertionFailure() << "unreachable";
}

// Pixel i of a row of 64 holds the fields (i mod 32, i, i mod 32), and the
// colour (k mod 32, k, k mod 32): over k, every pair of destination and
// colour values of every 5:6:5 field, at every parameter.
TEST_F(FillRows, Every565FieldPairAtEveryParameter) {
    std::vector<std::uint8_t> row(64 * 2);
    for (int i = 0; i < 64; ++i) {
        const auto v = static_cast<std::uint16_t>(((i & 31) << 11) | (i << 5) | (i & 31));
        std::memcpy(&row[2 * i], &v, 2);
    }
    TestImage plain(ImageLayout::k16, 64, 1, 0, 1), grouped(ImageLayout::k16, 64, 1, 0, 1);
    for (FillRowLoops loops : kGroupLoops)
        for (std::uint32_t mode = 1; mode <= 4; ++mode)
            for (std::uint32_t p = 1; p <= 255; p += mode == 1 ? 1 : 23)
                for (std::uint32_t k = 0; k < 64; ++k) {
                    const std::uint32_t colour = ((k & 31) << 11) | (k << 5) | (k & 31);
                    ASSERT_TRUE(RowSameAsPlain(loops, plain, grouped, row, {RECT{0, 0, 64, 1}, mode, p, 0xFFFFFF},
                                               colour));
                }
}

// Pixel i of a row of 256 holds i in every byte, and the colour k in every
// byte but the fourth: every pair of byte values at every parameter (for
// alpha; the others, whose bytes do not mix, more sparsely).
TEST_F(FillRows, EveryByteValuePairAtEveryParameter) {
    std::vector<std::uint8_t> row(256 * 4);
    for (int i = 0; i < 256 * 4; ++i) row[i] = static_cast<std::uint8_t>(i / 4);
    TestImage plain(ImageLayout::k32, 256, 1, 0, 1), grouped(ImageLayout::k32, 256, 1, 0, 1);
    for (FillRowLoops loops : kGroupLoops)
        for (std::uint32_t mode = 1; mode <= 4; ++mode)
            for (std::uint32_t p = 1; p <= 255; p += mode == 1 ? 1 : 23)
                for (std::uint32_t k = 0; k < 256; k += mode == 1 ? 1 : 5) {
                    const std::uint32_t colour = (k * 0x010101u) | ((255 - k) << 24);
                    ASSERT_TRUE(RowSameAsPlain(loops, plain, grouped, row, {RECT{0, 0, 256, 1}, mode, p, 0xFFFFFF},
                                               colour));
                }
}

}  // namespace
