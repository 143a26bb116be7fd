// Line drawing: the worked cases, the pixels of a line against a closed form
// (pixel i of an x-major line at (x1 + sx i, y1 + sy floor(i rise / run))),
// clipping at every edge of the draw area, the colour of every pixel against
// the per-pixel reference, and random lines with far-away ends that must
// never write outside the draw area.

#include "softrender/fill/lines.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <random>
#include <set>
#include <sstream>
#include <utility>
#include <vector>

#include "framework/softrender/pixel_oracle.h"
#include "framework/softrender/soft_test_image.h"

namespace po = pixel_oracle;
using soft_test::ImageLayout;
using soft_test::TestImage;

namespace {

using Pixel = std::pair<int, int>;  // (x, y)

SoftDrawSettings Settings(RECT area, std::uint32_t mode = 0, std::uint32_t param = 255,
                          std::uint32_t bright = 0xFFFFFF) {
    return SoftDrawSettings{area, mode, param, bright};
}

// Truncation toward zero, with the processor's answer for values that do not
// fit.
int TruncToInt(double v) {
    if (!(v > -2147483649.0 && v < 2147483648.0)) return INT_MIN;
    return static_cast<int>(std::trunc(v));
}

// The pixels a line covers, written from the clipping rules and the closed
// form of the walk.
std::vector<Pixel> ReferenceLine(int x1, int y1, int x2, int y2, const RECT& a) {
    std::vector<Pixel> out;
    if (std::min(y1, y2) >= a.bottom || std::min(x1, x2) >= a.right || std::max(y1, y2) < a.top ||
        std::max(x1, x2) < a.left)
        return out;
    const double kx = y1 == y2 ? 0.0 : (double(x2) - double(x1)) / (double(y2) - double(y1));
    const double bx = double(x1) - kx * double(y1);
    const double ky = x1 == x2 ? 0.0 : (double(y2) - double(y1)) / (double(x2) - double(x1));
    const double by = double(y1) - ky * double(x1);
    // Start on x, end on x, start on y, end on y.
    if (x1 < a.left || x1 >= a.right) {
        x1 = x1 < a.left ? a.left : a.right - 1;
        y1 = TruncToInt(ky * x1 + by);
    }
    if (x2 < a.left || x2 >= a.right) {
        x2 = x2 < a.left ? a.left - 1 : a.right;
        y2 = TruncToInt(ky * x2 + by);
    }
    if (y1 < a.top || y1 >= a.bottom) {
        y1 = y1 < a.top ? a.top : a.bottom - 1;
        x1 = TruncToInt(kx * y1 + bx);
    }
    if (y2 < a.top || y2 >= a.bottom) {
        y2 = y2 < a.top ? a.top - 1 : a.bottom;
        x2 = TruncToInt(kx * y2 + bx);
    }
    x1 = std::clamp(x1, a.left, a.right - 1);
    y1 = std::clamp(y1, a.top, a.bottom - 1);
    x2 = std::clamp(x2, a.left - 1, a.right);
    y2 = std::clamp(y2, a.top - 1, a.bottom);

    const int run = std::abs(x2 - x1), rise = std::abs(y2 - y1);
    const int sx = x2 >= x1 ? 1 : -1, sy = y2 >= y1 ? 1 : -1;
    if (run >= rise) {
        for (int i = 0; i < run; ++i) out.emplace_back(x1 + sx * i, y1 + sy * int(std::int64_t(i) * rise / run));
    } else {
        for (int i = 0; i < rise; ++i) out.emplace_back(x1 + sx * int(std::int64_t(i) * run / rise), y1 + sy * i);
    }
    return out;
}

// Draws one line and checks every pixel: those of the reference line become
// what the per-pixel reference says, all others keep their value.
::testing::AssertionResult LineMatchesReference(ImageLayout layout, int x1, int y1, int x2, int y2,
                                                const SoftDrawSettings& s, std::uint32_t colour, std::uint32_t seed) {
    TestImage img(layout, 23, 17, 4, seed);
    const std::vector<std::uint32_t> before = img.Pixels();
    PlotLineMemImg(img.image(), x1, y1, x2, y2, colour, s);

    const std::vector<Pixel> line = ReferenceLine(x1, y1, x2, y2, s.drawArea);
    const std::set<Pixel> onLine(line.begin(), line.end());
    if (onLine.size() != line.size()) return ::testing::AssertionFailure() << "reference line repeats a pixel";
    po::ConstantColourDraw draw;
    draw.kind = layout == ImageLayout::k32 ? po::PixelKind::k32 : po::PixelKind::k16;
    draw.mode = s.blendMode;
    draw.param = s.blendParam;
    draw.bright = s.brightColor;
    draw.colour = colour;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const std::uint32_t old = before[static_cast<std::size_t>(y * img.width() + x)];
            const bool drawn = onLine.count({x, y}) != 0;
            if (drawn && (x < s.drawArea.left || x >= s.drawArea.right || y < s.drawArea.top || y >= s.drawArea.bottom))
                return ::testing::AssertionFailure() << "reference pixel outside the draw area";
            const std::uint32_t expected = drawn ? po::ConstantColourPixel(draw, old) : old;
            if (img.Get(x, y) != expected) {
                std::ostringstream msg;
                msg << "line (" << x1 << ", " << y1 << ") - (" << x2 << ", " << y2 << "): pixel (" << x << ", " << y
                    << ") is 0x" << std::hex << img.Get(x, y) << ", expected 0x" << expected << std::dec << "; mode "
                    << s.blendMode << " param " << s.blendParam << " bright 0x" << std::hex << s.brightColor;
                return ::testing::AssertionFailure() << msg.str();
            }
        }
    if (!img.GuardsIntact()) return ::testing::AssertionFailure() << "a guard byte changed";
    return ::testing::AssertionSuccess();
}

// The pixels that differ from before, in no particular order.
std::set<Pixel> ChangedPixels(const TestImage& img, const std::vector<std::uint32_t>& before) {
    std::set<Pixel> out;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (img.Get(x, y) != before[static_cast<std::size_t>(y * img.width() + x)]) out.insert({x, y});
    return out;
}

// Draws in copy mode onto black and returns the set pixels.
std::set<Pixel> DrawnPixels(int x1, int y1, int x2, int y2, RECT area, int w = 23, int h = 17) {
    TestImage img(ImageLayout::k32, w, h, 0, 1);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) img.Set(x, y, 0);
    PlotLineMemImg(img.image(), x1, y1, x2, y2, 0xFFFFFFFF, Settings(area));
    std::set<Pixel> out;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (img.Get(x, y) != 0) out.insert({x, y});
    return out;
}

TEST(PlotLineMemImg, WorkedExamples) {
    const RECT all{0, 0, 23, 17};
    EXPECT_EQ(DrawnPixels(0, 0, 5, 0, all), (std::set<Pixel>{{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}}));
    EXPECT_EQ(DrawnPixels(5, 0, 0, 0, all), (std::set<Pixel>{{5, 0}, {4, 0}, {3, 0}, {2, 0}, {1, 0}}));
    EXPECT_EQ(DrawnPixels(0, 0, 4, 2, all), (std::set<Pixel>{{0, 0}, {1, 0}, {2, 1}, {3, 1}}));
    EXPECT_TRUE(DrawnPixels(3, 3, 3, 3, all).empty());

    // Clipped on the left: the same pixels as the unclipped part.
    std::set<Pixel> row;
    for (int x = 0; x < 10; ++x) row.insert({x, 4});
    EXPECT_EQ(DrawnPixels(-10, 4, 10, 4, all), row);

    // From outside the top-left corner: starts at (0, 0), stops before (10, 10).
    std::set<Pixel> diagonal;
    for (int i = 0; i < 10; ++i) diagonal.insert({i, i});
    EXPECT_EQ(DrawnPixels(-10, -10, 10, 10, all), diagonal);
}

TEST(PlotLineMemImg, InsideLinesFollowTheClosedForm) {
    // Every direction and slope from the middle of a 23 x 17 image, with ends
    // anywhere inside it.
    const RECT all{0, 0, 23, 17};
    for (int x2 = 0; x2 < 23; ++x2)
        for (int y2 = 0; y2 < 17; ++y2)
            for (const Pixel& start : {Pixel{11, 8}, Pixel{0, 0}, Pixel{22, 16}, Pixel{3, 14}}) {
                const std::vector<Pixel> want = ReferenceLine(start.first, start.second, x2, y2, all);
                // Inside the area the reference is the bare closed form.
                const int run = std::abs(x2 - start.first), rise = std::abs(y2 - start.second);
                ASSERT_EQ(static_cast<int>(want.size()), std::max(run, rise));
                ASSERT_EQ(DrawnPixels(start.first, start.second, x2, y2, all), std::set<Pixel>(want.begin(), want.end()))
                    << "(" << start.first << ", " << start.second << ") - (" << x2 << ", " << y2 << ")";
            }
}

TEST(PlotLineMemImg, ClippedAtEveryEdge) {
    const RECT area{3, 2, 19, 13};
    std::vector<std::array<int, 4>> lines;
    // Across each edge in both directions, steep and shallow, through corners,
    // wholly outside each side, and running along each edge.
    for (int d : {-1, 1}) {
        lines.push_back({-5 * d + 11, 7, 30 * d + 11, 9});
        lines.push_back({11, -6 * d + 7, 12, 20 * d + 7});
        lines.push_back({-4, -7, 26, 21});
        lines.push_back({26, -7, -4, 21});
        lines.push_back({0, 12 + d, 22, 1 + d});
        lines.push_back({5, 0, 9, 16});
    }
    for (auto l : std::vector<std::array<int, 4>>{{-9, 0, 2, 16},  {20, 0, 22, 16},  {0, -9, 22, 1},   {0, 13, 22, 16},
                                                 {3, 2, 19, 2},   {3, 12, 19, 12},  {3, 2, 3, 13},    {18, 2, 18, 13},
                                                 {19, 2, 19, 13}, {2, 2, 2, 13},    {0, 0, 3, 2},     {19, 13, 25, 16},
                                                 {18, 12, 40, 30}, {-20, -30, 3, 2}, {10, 20, 12, -10}, {-100, 10, 100, 3}})
        lines.push_back(l);
    for (const auto& l : lines) {
        for (const auto& l2 : {l, std::array<int, 4>{l[2], l[3], l[0], l[1]}}) {
            const std::vector<Pixel> want = ReferenceLine(l2[0], l2[1], l2[2], l2[3], area);
            const std::set<Pixel> got = DrawnPixels(l2[0], l2[1], l2[2], l2[3], area);
            ASSERT_EQ(got, std::set<Pixel>(want.begin(), want.end()))
                << "(" << l2[0] << ", " << l2[1] << ") - (" << l2[2] << ", " << l2[3] << ")";
            for (const Pixel& p : got) {
                ASSERT_GE(p.first, area.left);
                ASSERT_LT(p.first, area.right);
                ASSERT_GE(p.second, area.top);
                ASSERT_LT(p.second, area.bottom);
            }
        }
    }
    // A line that only grazes the corner region outside the area is
    // recomputed onto the edges; the drawn pixels stay inside.
    EXPECT_TRUE(DrawnPixels(0, 0, 2, 5, area).empty());  // wholly left of the area
}

TEST(PlotLineMemImg, EveryModeParameterAndBrightAgainstReference) {
    const RECT areas[] = {{0, 0, 23, 17}, {4, 3, 17, 12}};
    const std::array<int, 4> lines[] = {{1, 1, 21, 6},   {20, 15, 2, 1}, {6, -3, 9, 30},
                                        {-8, 9, 40, 11}, {0, 16, 22, 0}, {12, 2, 12, 14}};
    const std::uint32_t modes[] = {0, 1, 2, 3, 4, 5};
    const std::uint32_t params[] = {0, 1, 2, 127, 128, 129, 254, 255, 93};
    const std::uint32_t brights[] = {0xFFFFFF, 0xFFFFFFFF, 0xFFFFFE, 0xFF0000, 0x3080F0};
    std::mt19937 rng(5203);
    std::uint32_t seed = 0;
    for (ImageLayout layout : {ImageLayout::k16, ImageLayout::k32})
        for (const RECT& area : areas)
            for (std::uint32_t mode : modes)
                for (std::uint32_t param : params)
                    for (std::uint32_t bright : brights)
                        for (const auto& l : lines) {
                            std::uint32_t colour = rng();
                            if (layout == ImageLayout::k16) colour &= 0xFFFF;
                            ASSERT_TRUE(LineMatchesReference(layout, l[0], l[1], l[2], l[3],
                                                             Settings(area, mode, param, bright), colour, ++seed));
                        }
}

TEST(PlotLineMemImg, RandomLinesWithFarEndsStayInsideTheDrawArea) {
    std::mt19937 rng(77);
    auto coord = [&rng](int near) {
        switch (rng() % 4) {
        case 0: return static_cast<int>(rng());  // anywhere in the 32-bit range
        case 1: return static_cast<int>(rng() % 2001) - 1000;
        default: return static_cast<int>(rng() % static_cast<unsigned>(near + 8)) - 4;
        }
    };
    for (int i = 0; i < 4000; ++i) {
        const RECT area{static_cast<int>(rng() % 5), static_cast<int>(rng() % 4), 18 + static_cast<int>(rng() % 6),
                        13 + static_cast<int>(rng() % 5)};
        const int x1 = coord(23), y1 = coord(17), x2 = coord(23), y2 = coord(17);
        const ImageLayout layout = i % 2 ? ImageLayout::k16 : ImageLayout::k32;
        ASSERT_TRUE(LineMatchesReference(layout, x1, y1, x2, y2, Settings(area, 2, 255), rng(), i));
    }
    // The extreme corners of the coordinate range.
    const RECT all{0, 0, 23, 17};
    for (int a : {INT_MIN, INT_MAX, -1, 0})
        for (int b : {INT_MIN, INT_MAX, 5})
            ASSERT_TRUE(LineMatchesReference(ImageLayout::k32, a, b, b, a, Settings(all, 2, 255), 0x00FFFFFF, 1));
}

TEST(PlotLineMemImg, RefusesPalettedAlphaAndOtherKinds) {
    // A paletted image has one byte per pixel: a 16-bit write at its last
    // column would run into the next row, or past the image on the last row.
    const RECT all{0, 0, 9, 5};
    for (ImageLayout layout : {ImageLayout::kPaletted16, ImageLayout::kPaletted32, ImageLayout::kAlpha16,
                               ImageLayout::kAlpha32, ImageLayout::kOneByte}) {
        TestImage img(layout, 9, 5, 0, 4);
        const std::vector<std::uint8_t> before = img.Bytes();
        PlotLineMemImg(img.image(), 0, 4, 9, 4, 0xFFFFFFFF, Settings(all));
        PlotLineMemImg(img.image(), 8, 0, 8, 5, 0xFFFFFFFF, Settings(all));
        EXPECT_EQ(img.Bytes(), before) << static_cast<int>(layout);
    }
    PlotLineMemImg(nullptr, 0, 0, 5, 5, 0, Settings(all));
}

TEST(PlotLineMemImg, EmptyDrawAreaDrawsNothing) {
    // Left = right would put the clamped start on a column outside the area.
    for (const RECT& area : {RECT{0, 0, 0, 5}, RECT{4, 2, 4, 5}, RECT{0, 3, 9, 3}, RECT{6, 4, 2, 1}}) {
        TestImage img(ImageLayout::k16, 9, 5, 0, 6);
        const std::vector<std::uint8_t> before = img.Bytes();
        PlotLineMemImg(img.image(), -5, 0, 12, 4, 0xFFFF, Settings(area));
        PlotLineMemImg(img.image(), 4, -5, 4, 12, 0xFFFF, Settings(area));
        EXPECT_EQ(img.Bytes(), before);
    }
}

TEST(SoftDrawLines, BoxOutlineTouchesEachPixelOnce) {
    // The four records of a box outline from (x1, y1) to (x2, y2), far corner
    // exclusive, under add: a pixel drawn twice would show a doubled value.
    const RECT all{0, 0, 23, 17};
    for (const std::array<int, 4>& box : {std::array<int, 4>{2, 3, 12, 9}, std::array<int, 4>{0, 0, 2, 2},
                                          std::array<int, 4>{5, 5, 6, 6}, std::array<int, 4>{-3, 4, 30, 20}}) {
        const int x1 = box[0], y1 = box[1], x2 = box[2], y2 = box[3];
        const LineRecord records[4] = {{x1, y1, x2 - 1, y1, 0x00101010, 255},
                                       {x2 - 1, y1, x2 - 1, y2 - 1, 0x00101010, 255},
                                       {x2 - 1, y2 - 1, x1, y2 - 1, 0x00101010, 255},
                                       {x1, y2 - 1, x1, y1, 0x00101010, 255}};
        TestImage img(ImageLayout::k32, 23, 17, 0, 2);
        for (int y = 0; y < 17; ++y)
            for (int x = 0; x < 23; ++x) img.Set(x, y, 0);
        SoftDrawLines(img.image(), records, 4, Settings(all, 2, 255));
        std::set<Pixel> outline;
        for (int x = x1; x < x2; ++x)
            for (int y = y1; y < y2; ++y)
                if ((x == x1 || x == x2 - 1 || y == y1 || y == y2 - 1) && x >= 0 && x < 23 && y >= 0 && y < 17)
                    outline.insert({x, y});
        if (x2 - x1 == 1 && y2 - y1 == 1) outline.clear();  // all four lines have no length
        for (int y = 0; y < 17; ++y)
            for (int x = 0; x < 23; ++x)
                ASSERT_EQ(img.Get(x, y), outline.count({x, y}) ? 0x00101010u : 0u) << x << ", " << y;
    }
}

TEST(SoftDrawLines, DrawsRecordsInOrderAndNothingForNoRecords) {
    const RECT all{0, 0, 9, 5};
    TestImage img(ImageLayout::k16, 9, 5, 0, 3);
    const std::vector<std::uint32_t> before = img.Pixels();
    const LineRecord records[2] = {{0, 2, 9, 2, 0x001F, 0}, {4, 0, 4, 5, 0xF800, 0}};
    SoftDrawLines(img.image(), records, 0, Settings(all));
    SoftDrawLines(img.image(), records, -3, Settings(all));
    SoftDrawLines(img.image(), nullptr, 2, Settings(all));
    EXPECT_EQ(img.Pixels(), before);

    SoftDrawLines(img.image(), records, 2, Settings(all));
    EXPECT_EQ(img.Get(0, 2), 0x001Fu);
    EXPECT_EQ(img.Get(4, 2), 0xF800u);  // the second record drew over the first
    EXPECT_EQ(img.Get(4, 4), 0xF800u);
    EXPECT_EQ(ChangedPixels(img, before).size(), 9u + 5u - 1u);
}

}  // namespace
