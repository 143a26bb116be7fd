// The inline copies of the DirectDraw stand-in against plain references: a
// short run of every length at every alignment, and keyed copies through a
// picture's opaque runs over a table of run shapes, rectangle widths and
// offsets, in pixels of 1 to 4 bytes, with nothing written outside the
// rectangle; then a large picture drawn through its runs after each way its
// pixels or key can change.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "ddraw/opaque_runs.h"
#include "ddraw/short_copy.h"
#include "platform/ddraw_fixture.h"
#include "platform/gdi.h"

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
                    WritePixelBytes(picture.data() + y * pitch + x * f.bytes, f.bytes, v);
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
                            if ((ReadPixelBytes(in, f.bytes) & f.mask) != (key & f.mask))
                                std::memcpy(want.data() + first + j * outPitch + i * f.bytes, in, f.bytes);
                        }
                    runs.Copy(got.data() + first, outPitch, picture.data(), pitch, r.left, r.top, r.width, r.rows);
                    ASSERT_EQ(got, want);
                }
        }
}

using LargeKeyedPicture = DirectDrawFixture;

// A picture large enough, and keyed over long enough stretches, for keyed
// copies to follow its runs (one per row): each change to its pixels or key
// shows in the next copy.
TEST_F(LargeKeyedPicture, CopiesThroughItsRunsFollowEveryChange) {
    ASSERT_EQ(dd->SetCooperativeLevel(FakeWindow(), D_DDSCL_EXCLUSIVE | D_DDSCL_FULLSCREEN), D_DD_OK);
    ASSERT_EQ(dd->SetDisplayMode(640, 480, 16, 0, 0), D_DD_OK);
    constexpr int kW = 400, kH = 60, kDestW = 420, kDestH = 70;
    auto make = [&](int w, int h) {
        D_DDSURFACEDESC2 desc = PlainSurfaceDesc(w, h, D_DDSCAPS_OFFSCREENPLAIN);
        D_IDirectDrawSurface7* s = nullptr;
        EXPECT_EQ(dd->CreateSurface(&desc, &s, nullptr), D_DD_OK);
        return s;
    };
    // Models: whole rows of 16-bit pixels, no padding.
    std::vector<std::uint16_t> picture(kW * kH), spare(kW * kH), backdrop(kDestW * kDestH, 0x0841);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            const int start = (y * 37) % 150;
            picture[y * kW + x] = x >= start && x < start + 100 + y ? static_cast<std::uint16_t>(0x1000 + x + y) : 0;
            spare[y * kW + x] = x >= 200 - y && x < 380 ? static_cast<std::uint16_t>(0x8000 + y) : 0;
        }
    auto write = [](D_IDirectDrawSurface7* s, const std::vector<std::uint16_t>& pixels, int w, int h) {
        D_DDSURFACEDESC2 d{};
        d.dwSize = sizeof d;
        ASSERT_EQ(s->Lock(nullptr, &d, D_DDLOCK_WAIT, nullptr), D_DD_OK);
        for (int y = 0; y < h; ++y)
            std::memcpy(static_cast<std::uint8_t*>(d.lpSurface) + y * d.lPitch, pixels.data() + y * w, w * 2);
        s->Unlock(nullptr);
    };
    auto read = [](D_IDirectDrawSurface7* s, int w, int h) {
        D_DDSURFACEDESC2 d{};
        d.dwSize = sizeof d;
        std::vector<std::uint16_t> pixels(static_cast<std::size_t>(w) * h);
        EXPECT_EQ(s->Lock(nullptr, &d, D_DDLOCK_WAIT, nullptr), D_DD_OK);
        for (int y = 0; y < h; ++y)
            std::memcpy(pixels.data() + y * w, static_cast<const std::uint8_t*>(d.lpSurface) + y * d.lPitch, w * 2);
        s->Unlock(nullptr);
        return pixels;
    };
    D_IDirectDrawSurface7* source = make(kW, kH);
    D_IDirectDrawSurface7* other = make(kW, kH);
    D_IDirectDrawSurface7* dest = make(kDestW, kDestH);
    write(source, picture, kW, kH);
    write(other, spare, kW, kH);
    write(dest, backdrop, kDestW, kDestH);
    std::uint16_t key = 0;
    D_DDCOLORKEY black{0, 0};
    ASSERT_EQ(source->SetColorKey(D_DDCKEY_SRCBLT, &black), D_DD_OK);
    const RECT part{20, 5, 300, 50};
    const struct {
        const char* what;
        std::function<void()> apply;
    } changes[] = {
        {"nothing", [] {}},
        {"a colour fill", [&] {
             D_DDBLTFX fx{};
             fx.dwSize = sizeof fx;
             fx.dwFillColor = 0x0F0F;
             RECT r{100, 10, 250, 30};
             ASSERT_EQ(source->Blt(&r, nullptr, nullptr, D_DDBLT_COLORFILL, &fx), D_DD_OK);
             for (int y = 10; y < 30; ++y)
                 for (int x = 100; x < 250; ++x) picture[y * kW + x] = 0x0F0F;
         }},
        {"a copy onto it", [&] {
             ASSERT_EQ(source->BltFast(0, 0, other, nullptr, D_DDBLTFAST_NOCOLORKEY), D_DD_OK);
             picture = spare;
         }},
        {"writing through a lock", [&] {
             for (int x = 0; x < kW; x += 3) picture[7 * kW + x] = 0x7777;
             write(source, picture, kW, kH);
         }},
        {"drawing through its DC", [&] {
             HDC to = nullptr, from = nullptr;
             ASSERT_EQ(source->GetDC(&to), D_DD_OK);
             ASSERT_EQ(other->GetDC(&from), D_DD_OK);
             ASSERT_TRUE(BitBlt(to, 0, 20, kW, 10, from, 0, 0, SRCCOPY));
             other->ReleaseDC(from);
             source->ReleaseDC(to);
             for (int y = 0; y < 10; ++y)
                 for (int x = 0; x < kW; ++x) picture[(20 + y) * kW + x] = spare[y * kW + x];
         }},
        {"a new key", [&] {
             key = 0x8000 + 30;  // one row of the spare picture's pixels
             D_DDCOLORKEY k{key, key};
             ASSERT_EQ(source->SetColorKey(D_DDCKEY_SRCBLT, &k), D_DD_OK);
         }},
    };
    for (const auto& change : changes) {
        SCOPED_TRACE(change.what);
        // Drawn often enough for the runs to be made and used, then changed,
        // then drawn again.
        for (int round = 0; round < 4; ++round) {
            if (round == 3) change.apply();
            const int x = round * 5, y = round * 2;
            RECT from = part;
            ASSERT_EQ(dest->BltFast(static_cast<DWORD>(x), static_cast<DWORD>(y), source, &from, D_DDBLTFAST_SRCCOLORKEY),
                      D_DD_OK);
            for (int j = part.top; j < part.bottom; ++j)
                for (int i = part.left; i < part.right; ++i)
                    if (picture[j * kW + i] != key)
                        backdrop[(y + j - part.top) * kDestW + x + i - part.left] = picture[j * kW + i];
            ASSERT_EQ(read(dest, kDestW, kDestH), backdrop) << "round " << round;
        }
    }
    source->Release();
    other->Release();
    dest->Release();
}

}  // namespace
