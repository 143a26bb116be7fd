// The inline copies of the DirectDraw stand-in against plain references: a
// short run of every length at every alignment, and keyed copies through a
// picture's opaque runs over a table of run shapes, rectangle widths and
// offsets, in pixels of 1 to 4 bytes, with nothing written outside the
// rectangle.
#include <gtest/gtest.h>

#include <cstring>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "ddraw/opaque_runs.h"
#include "ddraw/short_copy.h"

namespace {

TEST(ShortRuns, EveryLengthAtEveryAlignmentCopiesExactlyItsBytes) {
    std::vector<std::uint8_t> from(700), to(700);
    std::iota(from.begin(), from.end(), std::uint8_t{1});
    for (std::size_t n = 1; n <= 600; n += n < 80 ? 1 : 37)
        for (std::size_t inAt = 0; inAt < 8; ++inAt)
            for (std::size_t outAt = 0; outAt < 8; outAt += 3) {
                std::fill(to.begin(), to.end(), 0xEE);
                CopyShortRun(to.data() + outAt + 16, from.data() + inAt, n);
                std::vector<std::uint8_t> want(700, 0xEE);
                std::memcpy(want.data() + outAt + 16, from.data() + inAt, n);
                ASSERT_EQ(to, want) << n << " bytes from +" << inAt << " to +" << outAt;
            }
}

struct Shape {
    const char* name;
    std::vector<int> runs;  // pixel counts, opaque first, then keyed, and so on along the row
};

// Each row repeats its shape from a point that moves with the row, so rows
// start and end differently.
bool Opaque(const Shape& shape, int x, int y) {
    const int period = std::accumulate(shape.runs.begin(), shape.runs.end(), 0);
    int at = (x + y * 3) % period;
    for (std::size_t i = 0; i < shape.runs.size(); ++i) {
        if (at < shape.runs[i]) return i % 2 == 0;
        at -= shape.runs[i];
    }
    return false;
}

struct Format {
    const char* name;
    int bytes;
    DWORD mask;  // the bits the key is compared on
};

DWORD Get(const std::uint8_t* p, int bytes) {
    DWORD v = 0;
    for (int i = 0; i < bytes; ++i) v |= static_cast<DWORD>(p[i]) << (8 * i);
    return v;
}
void Put(std::uint8_t* p, int bytes, DWORD v) {
    for (int i = 0; i < bytes; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

TEST(ShortRuns, KeyedCopiesThroughRunsMatchThePlainLoop) {
    const Shape shapes[] = {
        {"single pixels", {1, 1}},
        {"glyph strokes", {4, 3, 10, 2, 5, 7}},
        {"strokes about 16 bytes", {7, 1, 8, 1, 9, 2, 15, 1, 16, 1, 17, 3}},
        {"long runs", {60, 2, 130, 1, 33, 5}},
        {"all opaque", {1000, 0}},
        {"all keyed", {0, 1000}},
        {"many runs on a row", {2, 1, 3, 1}},
    };
    const Format formats[] = {
        {"8-bit", 1, 0xFF},
        {"5:6:5", 2, 0xFFFF},
        {"5:5:5", 2, 0x7FFF},
        {"24-bit", 3, 0xFFFFFF},
        {"X8:8:8", 4, 0xFFFFFF},
    };
    constexpr int kWidth = 150, kHeight = 6, kGuard = 40;
    const DWORD key = 0x00ABCDEF;
    std::mt19937 rng(53);
    for (const Format& f : formats)
        for (const Shape& shape : shapes) {
            SCOPED_TRACE(std::string(f.name) + ", " + shape.name);
            const std::size_t pitch = kWidth * f.bytes + 5;  // rows start at any alignment
            std::vector<std::uint8_t> picture(pitch * kHeight);
            const DWORD all = f.bytes == 4 ? 0xFFFFFFFFu : (1u << (8 * f.bytes)) - 1;
            for (int y = 0; y < kHeight; ++y)
                for (int x = 0; x < kWidth; ++x) {
                    DWORD v = static_cast<DWORD>(rng()) & all;
                    // Keyed pixels differ from the key only outside the
                    // compared bits; opaque ones never match it.
                    if (Opaque(shape, x, y)) {
                        if ((v & f.mask) == (key & f.mask)) v ^= 1;
                    } else {
                        v = (key & f.mask) | (v & ~f.mask & all);
                    }
                    Put(picture.data() + y * pitch + x * f.bytes, f.bytes, v);
                }
            const OpaqueRuns runs(picture.data(), pitch, kWidth, kHeight, f.bytes, f.mask, key);
            ASSERT_TRUE(runs.MadeFor(f.mask, key | ~f.mask));
            const struct {
                int left, width, top, rows;
            } rects[] = {{0, kWidth, 0, kHeight}, {0, 1, 0, 1},  {1, 2, 1, 3},    {3, 16, 0, kHeight},
                         {7, 33, 2, 4},           {70, 64, 1, 5}, {kWidth - 1, 1, 5, 1}, {31, kWidth - 31, 0, 2}};
            for (const auto& r : rects)
                for (int outAt : {0, 1, 6}) {
                    SCOPED_TRACE("rectangle at " + std::to_string(r.left) + ", " + std::to_string(r.top) + ", " +
                                 std::to_string(r.width) + " x " + std::to_string(r.rows) + ", output +" +
                                 std::to_string(outAt));
                    const std::size_t outPitch = static_cast<std::size_t>(r.width * f.bytes + 2 * kGuard);
                    std::vector<std::uint8_t> got(outPitch * (r.rows + 2) + outAt, 0x5A);
                    std::vector<std::uint8_t> want = got;
                    const std::size_t first = outPitch + kGuard + outAt;
                    for (int j = 0; j < r.rows; ++j)
                        for (int i = 0; i < r.width; ++i) {
                            const std::uint8_t* in = picture.data() + (r.top + j) * pitch + (r.left + i) * f.bytes;
                            if ((Get(in, f.bytes) & f.mask) != (key & f.mask))
                                std::memcpy(want.data() + first + j * outPitch + i * f.bytes, in, f.bytes);
                        }
                    runs.Copy(got.data() + first, outPitch, picture.data(), pitch, r.left, r.top, r.width, r.rows);
                    ASSERT_EQ(got, want);
                }
        }
}

}  // namespace
