// The keyed and scaled plain copies built for 32-byte moves, and the
// unscaled loops with their groups of pixels in 32-byte registers, against
// the plain loops (those with 16-byte groups). Direct 16- and 32-bit sources wide enough for whole groups of
// pixels, with long transparent and opaque stretches (so that groups are
// wholly keyed, wholly opaque and mixed): scaled at twice the size (the
// doubled rows, in both phases that clipping gives) and at other scales,
// plain and mirrored, clipped at each edge, transparent or not; and
// unscaled keyed copies clipped at each edge. Each draw is made both ways
// onto the same random destination; every pixel and guard byte must agree.
#include <gtest/gtest.h>

#include <cstring>
#include <sstream>

#include "framework/softrender/blit_test_images.h"
#include "softrender/blit/blit_memimg.h"
#include "softrender/scaled/blit_scaled.h"

using blit_test::SourceImage;
using blit_test::TestImage;
using soft_test::ImageLayout;

namespace {

constexpr int kDestW = 300, kDestH = 40;

// Rows of stretches of the key and of colours, of lengths from 1 to 40.
void PaintStretches(SourceImage& src) {
    MEMIMG* m = src.image();
    std::uint32_t state = 12345;
    for (int y = 0; y < m->height; ++y) {
        int x = 0;
        bool keyed = (y % 2) != 0;
        while (x < m->width) {
            state = state * 1103515245u + 12345u;
            const int length = 1 + static_cast<int>((state >> 16) % 40);
            for (int i = 0; i < length && x < m->width; ++i, ++x) {
                if (keyed) src.pixels().Set(x, y, src.key());
                else src.pixels().Set(x, y, (state ^ static_cast<std::uint32_t>(x * 2654435761u)) | 1u);
            }
            keyed = !keyed;
        }
    }
}

// Two destinations, given the same random pixels before each draw.
struct Destinations {
    explicit Destinations(ImageLayout layout)
        : wide(layout, kDestW, kDestH, 12, 99), plain(layout, kDestW, kDestH, 12, 99) {
        std::uint32_t state = 99;
        for (std::uint8_t& b : noise) {
            state = state * 1103515245u + 12345u;
            b = static_cast<std::uint8_t>(state >> 23);
        }
    }
    // Row y of both starts at a place in the noise that the draw number
    // chooses.
    void Fill(std::uint32_t draw) {
        for (TestImage* image : {&wide, &plain}) {
            MEMIMG* m = image->image();
            const std::size_t rowBytes = static_cast<std::size_t>(kDestW) * image->pixelBytes();
            for (int y = 0; y < kDestH; ++y)
                std::memcpy(m->pixels + static_cast<std::ptrdiff_t>(y) * m->pitch,
                            noise.data() + (draw * 131u + static_cast<std::uint32_t>(y) * 977u) % 4096u, rowBytes);
        }
    }
    TestImage wide, plain;
    std::vector<std::uint8_t> noise = std::vector<std::uint8_t>(4096 + kDestW * 4);
    std::uint32_t draws = 0;
};

// Draws the same into both, with and without the wide loops, and compares:
// scaled to the corners, or unscaled at the first two when corners[2] is -1.
// A copy unless the settings say otherwise.
::testing::AssertionResult WideMatchesPlain(SourceImage& src, Destinations& to, const int corners[4], const RECT& area,
                                            int transparent, std::uint32_t mode = 0, std::uint32_t param = 255,
                                            std::uint32_t bright = 0xFFFFFF, int mmx = 0) {
    TestImage &wide = to.wide, &plain = to.plain;
    to.Fill(++to.draws);
    const SoftDrawSettings settings{area, mode, param, bright};
    for (TestImage* image : {&wide, &plain}) {
        SetBlitMemImgWideMoves(image == &wide);
        if (corners[2] == -1)
            BlitMemImg(image->image(), src.image(), corners[0], corners[1], transparent, nullptr, settings, mmx);
        else
            DrawExtendMemImg(image->image(), src.image(), corners, transparent, nullptr, settings, mmx);
    }
    SetBlitMemImgWideMoves(1);
    if (!wide.GuardsIntact()) return ::testing::AssertionFailure() << "a guard byte changed";
    if (wide.Bytes() == plain.Bytes()) return ::testing::AssertionSuccess();
    for (int y = 0; y < kDestH; ++y)
        for (int x = 0; x < kDestW; ++x)
            if (wide.Get(x, y) != plain.Get(x, y)) {
                std::ostringstream msg;
                msg << "(" << x << ", " << y << ") wide 0x" << std::hex << wide.Get(x, y) << ", plain 0x"
                    << plain.Get(x, y) << std::dec << "; source " << src.image()->width << "x" << src.image()->height
                    << ", corners " << corners[0] << ", " << corners[1] << ", " << corners[2] << ", " << corners[3]
                    << ", area " << area.left << ".." << area.right << ", transparent " << transparent << ", mode "
                    << mode << " param " << param << " bright 0x" << std::hex << bright << std::dec << " mmx " << mmx;
                return ::testing::AssertionFailure() << msg.str();
            }
    return ::testing::AssertionFailure() << "the guard bytes differ";
}

class WideCopy : public ::testing::TestWithParam<ImageLayout> {
protected:
    void TearDown() override { SetBlitMemImgWideMoves(1); }
};

TEST_P(WideCopy, AgreesWithThePlainLoopsAtEverySizeScaleClipAndMirror) {
    struct Size {
        int w, h;
    };
    const Size sizes[] = {{1, 1},  {3, 2},  {7, 3},  {8, 2},  {9, 3},  {16, 2},  {17, 3},
                          {32, 4}, {33, 4}, {48, 3}, {64, 3}, {70, 5}, {129, 3}};
    // Destination sizes in halves of the source's: 2x, 2x +- 1 pixel, 3x,
    // 1.5x, 1x mirrored, 0.5x.
    struct Scale {
        int halves, extra;
    };
    const Scale scales[] = {{4, 0}, {4, 1}, {4, -1}, {6, 0}, {3, 0}, {2, 0}, {1, 0}};
    // Draw areas cutting the left edge by an even and an odd count, and the
    // right edge.
    const RECT areas[] = {{0, 0, kDestW, kDestH}, {7, 3, kDestW, kDestH}, {8, 0, kDestW, 30}, {0, 0, 101, kDestH}};
    std::uint32_t seed = 500;
    Destinations to(GetParam());
    for (const Size size : sizes) {
        SourceImage src(GetParam(), size.w, size.h, ++seed);
        PaintStretches(src);
        for (const Scale scale : scales) {
            const int w = size.w * scale.halves / 2 + scale.extra, h = size.h * scale.halves / 2;
            if (w < 1 || h < 1 || w > kDestW - 6) continue;
            for (int mirror = 0; mirror < 4; ++mirror)
                for (const RECT& area : areas)
                    for (int left : {2, 5})
                        for (int transparent : {0, 1}) {
                            const int top = 1, right = left + w, bottom = top + h;
                            const int corners[4] = {(mirror & 1) ? right : left, (mirror & 2) ? bottom : top,
                                                    (mirror & 1) ? left : right, (mirror & 2) ? top : bottom};
                            ASSERT_TRUE(WideMatchesPlain(src, to, corners, area, transparent));
                        }
        }
    }
}

TEST_P(WideCopy, UnscaledKeyedCopiesAgreeWithThePlainLoopsClippedAtEachEdge) {
    // Clipped, so that the general loops draw rather than the run list.
    std::uint32_t seed = 900;
    Destinations to(GetParam());
    for (int w : {15, 16, 17, 31, 40, 70, 129}) {
        SourceImage src(GetParam(), w, 4, ++seed);
        PaintStretches(src);
        src.BuildRunList();
        for (int x : {-3, 0, 4, kDestW - w + 5})
            for (int y : {-1, 2, kDestH - 3})
                for (int transparent : {1, 2}) {
                    const int at[4] = {x, y, -1, -1};
                    ASSERT_TRUE(WideMatchesPlain(src, to, at, RECT{1, 0, kDestW, kDestH}, transparent));
                }
    }
}

TEST_P(WideCopy, BlendedUnscaledDrawsAgreeWithTheSixteenByteGroups) {
    // Every mode, at the parameters that choose special loops (128, 255)
    // and others, with and without a bright colour; unclipped (through the
    // run list under transparent flag 1) and clipped at each side.
    std::uint32_t seed = 1300;
    Destinations to(GetParam());
    for (int w : {5, 8, 9, 16, 17, 31, 40, 70, 129}) {
        SourceImage src(GetParam(), w, 3, ++seed);
        PaintStretches(src);
        src.BuildRunList();
        for (std::uint32_t mode = 0; mode <= 4; ++mode)
            for (std::uint32_t param : {1u, 128u, 200u, 255u})
                for (std::uint32_t bright : {0xFFFFFFu, 0xFFA060u})
                    for (int x : {4, -3, kDestW - w + 5})
                        for (int transparent : {0, 1, 2})
                            for (int mmx : {0, 1}) {
                                if (mmx == 1 && !(param == 255 && (mode == 2 || mode == 3))) continue;
                                const int at[4] = {x, 2, -1, -1};
                                ASSERT_TRUE(WideMatchesPlain(src, to, at, RECT{0, 0, kDestW, kDestH}, transparent, mode,
                                                             param, bright, mmx));
                            }
    }
}

TEST_P(WideCopy, AKeyOutsideThePixelRangeKeysNothing) {
    SourceImage src(GetParam(), 40, 3, 77, /*keyOutOfRange=*/true);
    const int corners[4] = {3, 2, 83, 8};
    Destinations to(GetParam());
    ASSERT_TRUE(WideMatchesPlain(src, to, corners, RECT{0, 0, kDestW, kDestH}, 1));
}

std::string LayoutName(const ::testing::TestParamInfo<ImageLayout>& info) {
    return info.param == ImageLayout::k16 ? "Direct16" : "Direct32";
}

INSTANTIATE_TEST_SUITE_P(DirectSources, WideCopy, ::testing::Values(ImageLayout::k16, ImageLayout::k32),
                         LayoutName);

}  // namespace
