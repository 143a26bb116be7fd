// The DirectDraw and GDI stand-ins' fills and copies against plain
// pixel-by-pixel references, over random rectangles in every surface format,
// with and without padded rows: colour fills, opaque and keyed copies,
// stretched copies, copies within one surface onto themselves, refused
// rectangles; DIB copies into the window (scaled, mirrored, converted,
// clipped) and BitBlt between DCs; keyed copies of a picture after each way
// it can change. Then the flip's trade of memory, which must not move memory
// a lock still points into.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <random>
#include <vector>

#include "platform/ddraw_fixture.h"
#include "platform/gdi.h"

namespace {

struct Format {
    const char* name;
    int bits;
    DWORD red, green, blue;
    DWORD channels;  // the bits a colour key is compared on
};

constexpr Format kFormats[] = {
    {"8-bit", 8, 0, 0, 0, 0xFF},
    {"5:6:5", 16, 0xF800, 0x07E0, 0x001F, 0xFFFF},
    {"5:5:5", 16, 0x7C00, 0x03E0, 0x001F, 0x7FFF},
    {"24-bit", 24, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF},
    {"X8:8:8", 32, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF},
};


// What a surface should hold: its bytes, row padding included.
struct Image {
    int width = 0, height = 0, pitch = 0, bytes = 0;
    std::vector<std::uint8_t> data;
    std::uint8_t* At(long x, long y) { return data.data() + y * pitch + x * bytes; }
};

// The plain references: a pixel at a time, sources read before anything
// is written.
void ReferenceFill(Image& image, const RECT& r, DWORD value) {
    for (long y = r.top; y < r.bottom; ++y)
        for (long x = r.left; x < r.right; ++x) WritePixelBytes(image.At(x, y), image.bytes, value);
}

void ReferenceCopy(Image& dest, Image source, const RECT& s, const RECT& d, bool keyed, DWORD channels,
                   DWORD key) {
    const long dw = d.right - d.left, dh = d.bottom - d.top, sw = s.right - s.left, sh = s.bottom - s.top;
    if (dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0) return;
    for (long j = 0; j < dh; ++j)
        for (long i = 0; i < dw; ++i) {
            const DWORD v = ReadPixelBytes(source.At(s.left + i * sw / dw, s.top + j * sh / dh), source.bytes);
            if (keyed && (v & channels) == (key & channels)) continue;
            WritePixelBytes(dest.At(d.left + i, d.top + j), dest.bytes, v);
        }
}

class StandInSweep : public DirectDrawFixture {
protected:
    void SetUp() override {
        DirectDrawFixture::SetUp();
        ASSERT_EQ(dd->SetCooperativeLevel(FakeWindow(), D_DDSCL_EXCLUSIVE | D_DDSCL_FULLSCREEN), D_DD_OK);
    }
    void TearDown() override {
        PlatformAllowWidePixelMoves(true);
        DirectDrawFixture::TearDown();
    }

    D_IDirectDrawSurface7* Make(const Format& f, int w, int h) {
        D_DDSURFACEDESC2 desc{};
        desc.dwSize = sizeof desc;
        desc.dwFlags = D_DDSD_CAPS | D_DDSD_WIDTH | D_DDSD_HEIGHT | D_DDSD_PIXELFORMAT;
        desc.dwWidth = static_cast<DWORD>(w);
        desc.dwHeight = static_cast<DWORD>(h);
        desc.ddsCaps.dwCaps = D_DDSCAPS_OFFSCREENPLAIN;
        desc.ddpfPixelFormat.dwSize = sizeof desc.ddpfPixelFormat;
        desc.ddpfPixelFormat.dwFlags = f.bits == 8 ? D_DDPF_PALETTEINDEXED8 : D_DDPF_RGB;
        desc.ddpfPixelFormat.dwRGBBitCount = static_cast<DWORD>(f.bits);
        desc.ddpfPixelFormat.dwRBitMask = f.red;
        desc.ddpfPixelFormat.dwGBitMask = f.green;
        desc.ddpfPixelFormat.dwBBitMask = f.blue;
        D_IDirectDrawSurface7* s = nullptr;
        EXPECT_EQ(dd->CreateSurface(&desc, &s, nullptr), D_DD_OK);
        return s;
    }

    static Image Read(D_IDirectDrawSurface7* s) {
        D_DDSURFACEDESC2 desc{};
        desc.dwSize = sizeof desc;
        EXPECT_EQ(s->Lock(nullptr, &desc, D_DDLOCK_WAIT, nullptr), D_DD_OK);
        Image image;
        image.width = static_cast<int>(desc.dwWidth);
        image.height = static_cast<int>(desc.dwHeight);
        image.pitch = desc.lPitch;
        image.bytes = static_cast<int>(desc.ddpfPixelFormat.dwRGBBitCount + 7) / 8;
        const auto* bits = static_cast<const std::uint8_t*>(desc.lpSurface);
        image.data.assign(bits, bits + static_cast<std::size_t>(image.pitch) * image.height);
        s->Unlock(nullptr);
        return image;
    }

    static void Write(D_IDirectDrawSurface7* s, const Image& image) {
        D_DDSURFACEDESC2 desc{};
        desc.dwSize = sizeof desc;
        ASSERT_EQ(s->Lock(nullptr, &desc, D_DDLOCK_WAIT, nullptr), D_DD_OK);
        std::memcpy(desc.lpSurface, image.data.data(), image.data.size());
        s->Unlock(nullptr);
    }
};

RECT RandomRect(std::mt19937& rng, int w, int h) {
    auto pick = [&](int n) { return static_cast<LONG>(std::uniform_int_distribution<int>(0, n)(rng)); };
    LONG a = pick(w), b = pick(w), c = pick(h), d = pick(h);
    return RECT{std::min(a, b), std::min(c, d), std::max(a, b), std::max(c, d)};
}

TEST_F(StandInSweep, FillsAndCopiesMatchThePlainReferenceInEveryFormat) {
    std::mt19937 rng(22);
    // Widths below, at and above a vector's worth of pixels, odd ones too.
    const int sizes[][2] = {{71, 23}, {40, 17}, {9, 5}};
    for (int run = 0; run < 6; ++run) {
        const int padding = (run % 3) * 20 + (run % 3 == 1 ? 3 : 0);  // 0, 23, 40
        const bool wide = run < 3;
        PlatformDisplayKnobsRef().pitchPadding = padding;
        PlatformAllowWidePixelMoves(wide);
        for (const Format& f : kFormats) {
            SCOPED_TRACE(std::string(f.name) + ", padding " + std::to_string(padding) + (wide ? ", wide" : ", narrow"));
            D_IDirectDrawSurface7* surfaces[3];
            Image model[3];
            DWORD keys[3];
            for (int k = 0; k < 3; ++k) {
                surfaces[k] = Make(f, sizes[k][0], sizes[k][1]);
                ASSERT_NE(surfaces[k], nullptr);
                model[k] = Read(surfaces[k]);
                // Keys and keyed pixels differ in the bits outside the
                // channels, which the comparison must ignore.
                keys[k] = static_cast<DWORD>(rng()) & (f.bits == 32 ? 0xFFFFFFFFu : (1u << f.bits) - 1);
                for (int y = 0; y < model[k].height; ++y)
                    for (int x = 0; x < model[k].width; ++x) {
                        DWORD v = static_cast<DWORD>(rng());
                        if (rng() % 5 < 2) v = (keys[k] & f.channels) | (v & ~f.channels);
                        WritePixelBytes(model[k].At(x, y), model[k].bytes, v);
                    }
                Write(surfaces[k], model[k]);
                D_DDCOLORKEY key{keys[k], keys[k]};
                ASSERT_EQ(surfaces[k]->SetColorKey(D_DDCKEY_SRCBLT, &key), D_DD_OK);
            }
            for (int step = 0; step < 120; ++step) {
                const int to = static_cast<int>(rng() % 3);
                // A third of the copies are within one surface.
                const int from = rng() % 3 == 0 ? to : static_cast<int>(rng() % 3);
                Image& d = model[to];
                Image& s = model[from];
                const bool keyed = rng() % 2 == 0;
                RECT dest = RandomRect(rng, d.width, d.height), src = RandomRect(rng, s.width, s.height);
                switch (step % 4) {
                    case 0: {  // colour fill
                        D_DDBLTFX fx{};
                        fx.dwSize = sizeof fx;
                        fx.dwFillColor = static_cast<DWORD>(rng());
                        const bool whole = rng() % 3 == 0;
                        ASSERT_EQ(surfaces[to]->Blt(whole ? nullptr : &dest, nullptr, nullptr, D_DDBLT_COLORFILL, &fx),
                                  D_DD_OK);
                        ReferenceFill(d, whole ? RECT{0, 0, d.width, d.height} : dest, fx.dwFillColor);
                        if (whole) {
                            // Read from, then filled again and drawn on,
                            // before anything locks it.
                            const int other = (to + 1) % 3;
                            ASSERT_EQ(surfaces[other]->Blt(nullptr, surfaces[to], nullptr, 0, nullptr), D_DD_OK);
                            ReferenceCopy(model[other], d, RECT{0, 0, d.width, d.height},
                                          RECT{0, 0, model[other].width, model[other].height}, false, f.channels, 0);
                            ASSERT_EQ(Read(surfaces[other]).data, model[other].data) << "step " << step;
                            // Twice from one unchanged source, so that the
                            // second keyed copy goes by its opaque runs.
                            const int from2 = (to + 2) % 3;
                            for (int again = 0; again < 2; ++again) {
                                fx.dwFillColor = ~fx.dwFillColor;
                                ASSERT_EQ(surfaces[to]->Blt(nullptr, nullptr, nullptr, D_DDBLT_COLORFILL, &fx), D_DD_OK);
                                ReferenceFill(d, RECT{0, 0, d.width, d.height}, fx.dwFillColor);
                                const Image& s2 = model[from2];
                                RECT part = RandomRect(rng, std::min(s2.width, d.width), std::min(s2.height, d.height));
                                const LONG pw = part.right - part.left, ph = part.bottom - part.top;
                                const LONG x = static_cast<LONG>(rng() % (d.width - pw + 1));
                                const LONG y = static_cast<LONG>(rng() % (d.height - ph + 1));
                                const bool keyed2 = rng() % 4 != 0;
                                ASSERT_EQ(surfaces[to]->BltFast(static_cast<DWORD>(x), static_cast<DWORD>(y),
                                                                surfaces[from2], &part,
                                                                keyed2 ? D_DDBLTFAST_SRCCOLORKEY : D_DDBLTFAST_NOCOLORKEY),
                                          D_DD_OK);
                                ReferenceCopy(d, s2, part, RECT{x, y, x + pw, y + ph}, keyed2, f.channels, keys[from2]);
                                ASSERT_EQ(Read(surfaces[to]).data, d.data) << "step " << step << " again " << again;
                            }
                        }
                        break;
                    }
                    case 1: {  // unscaled, placed where it fits or refused where it does not
                        const LONG x = static_cast<LONG>(rng() % d.width), y = static_cast<LONG>(rng() % d.height);
                        const RECT at{x, y, x + src.right - src.left, y + src.bottom - src.top};
                        const bool fits = at.right <= d.width && at.bottom <= d.height;
                        const DWORD flags = keyed ? D_DDBLTFAST_SRCCOLORKEY : D_DDBLTFAST_NOCOLORKEY;
                        ASSERT_EQ(surfaces[to]->BltFast(static_cast<DWORD>(x), static_cast<DWORD>(y), surfaces[from],
                                                        &src, flags),
                                  fits ? D_DD_OK : D_DDERR_INVALIDRECT);
                        if (fits) ReferenceCopy(d, s, src, at, keyed, f.channels, keys[from]);
                        break;
                    }
                    case 2: {  // stretched or shrunk
                        ASSERT_EQ(surfaces[to]->Blt(&dest, surfaces[from], &src, keyed ? D_DDBLT_KEYSRC : 0, nullptr),
                                  D_DD_OK);
                        ReferenceCopy(d, s, src, dest, keyed, f.channels, keys[from]);
                        break;
                    }
                    case 3: {  // a rectangle reaching outside: refused, nothing written
                        RECT outside = dest;
                        outside.right = d.width + 1;
                        D_DDBLTFX fx{};
                        fx.dwSize = sizeof fx;
                        ASSERT_EQ(surfaces[to]->Blt(&outside, nullptr, nullptr, D_DDBLT_COLORFILL, &fx),
                                  D_DDERR_INVALIDRECT);
                        ASSERT_EQ(surfaces[to]->Blt(&outside, surfaces[from], &src, 0, nullptr), D_DDERR_INVALIDRECT);
                        break;
                    }
                }
                ASSERT_EQ(Read(surfaces[to]).data, d.data) << "step " << step;
            }
            for (D_IDirectDrawSurface7* s : surfaces) s->Release();
        }
    }
}

// A picture drawn keyed again and again is drawn from what it holds now,
// whatever changed it since the last time.
TEST_F(StandInSweep, KeyedCopiesFollowEveryChangeToTheirSource) {
    const Format& f = kFormats[1];  // 5:6:5
    constexpr int kW = 48, kH = 6;
    D_IDirectDrawSurface7* source = Make(f, kW, kH);
    D_IDirectDrawSurface7* other = Make(f, kW, kH);
    D_IDirectDrawSurface7* dest = Make(f, kW + 10, kH + 4);
    Image picture = Read(source), backdrop = Read(dest), spare = Read(other);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            WritePixelBytes(picture.At(x, y), 2, (x / 5 + y) % 3 == 0 ? 0 : 0x1000 + x * 64 + y);
            WritePixelBytes(spare.At(x, y), 2, (x + y) % 4 == 0 ? 0 : 0x8000 + x);
        }
    Write(source, picture);
    Write(other, spare);
    D_DDCOLORKEY black{0, 0};
    ASSERT_EQ(source->SetColorKey(D_DDCKEY_SRCBLT, &black), D_DD_OK);
    DWORD key = 0;
    auto fillRect = [](D_IDirectDrawSurface7* s, RECT* r, DWORD colour) {
        D_DDBLTFX fx{};
        fx.dwSize = sizeof fx;
        fx.dwFillColor = colour;
        return s->Blt(r, nullptr, nullptr, D_DDBLT_COLORFILL, &fx);
    };
    // Each change, made on the source and on its model; every one leaves
    // pixels of the key where there were none, or the other way round.
    struct Change {
        const char* what;
        std::function<void()> apply;
    };
    RECT part{3, 1, 20, 4};
    const Change changes[] = {
        {"a colour fill", [&] {
             ASSERT_EQ(fillRect(source, &part, 0x0F0F), D_DD_OK);
             ReferenceFill(picture, part, 0x0F0F);
         }},
        {"a fill of the whole", [&] {
             ASSERT_EQ(fillRect(source, nullptr, 0x00FF), D_DD_OK);
             ReferenceFill(picture, RECT{0, 0, kW, kH}, 0x00FF);
         }},
        {"a copy onto it", [&] {
             ASSERT_EQ(source->BltFast(0, 0, other, nullptr, D_DDBLTFAST_NOCOLORKEY), D_DD_OK);
             picture = spare;
         }},
        {"a stretched copy onto it", [&] {
             RECT from{0, 0, kW / 2, kH};
             ASSERT_EQ(source->Blt(nullptr, other, &from, 0, nullptr), D_DD_OK);
             ReferenceCopy(picture, spare, from, RECT{0, 0, kW, kH}, false, f.channels, 0);
         }},
        {"writing through a lock", [&] {
             D_DDSURFACEDESC2 desc{};
             desc.dwSize = sizeof desc;
             ASSERT_EQ(source->Lock(nullptr, &desc, D_DDLOCK_WAIT, nullptr), D_DD_OK);
             for (int x = 0; x < kW; x += 2) WritePixelBytes(static_cast<std::uint8_t*>(desc.lpSurface) + 2 * desc.lPitch + x * 2, 2, 0x7777);
             source->Unlock(nullptr);
             for (int x = 0; x < kW; x += 2) WritePixelBytes(picture.At(x, 2), 2, 0x7777);
         }},
        {"drawing through its DC", [&] {
             HDC to = nullptr, from = nullptr;
             ASSERT_EQ(source->GetDC(&to), D_DD_OK);
             ASSERT_EQ(other->GetDC(&from), D_DD_OK);
             ASSERT_TRUE(BitBlt(to, 4, 0, 10, kH, from, 0, 0, SRCCOPY));
             other->ReleaseDC(from);
             source->ReleaseDC(to);
             ReferenceCopy(picture, spare, RECT{0, 0, 10, kH}, RECT{4, 0, 14, kH}, false, f.channels, 0);
         }},
        {"a new key", [&] {
             key = 0x8004;
             D_DDCOLORKEY k{key, key};
             ASSERT_EQ(source->SetColorKey(D_DDCKEY_SRCBLT, &k), D_DD_OK);
         }},
    };
    for (const Change& change : changes) {
        SCOPED_TRACE(change.what);
        // Drawn often enough for any help a repeated draw gets, then
        // changed, then drawn again.
        for (int round = 0; round < 4; ++round) {
            const LONG x = round * 3, y = round;
            if (round == 3) change.apply();
            ASSERT_EQ(dest->BltFast(static_cast<DWORD>(x), static_cast<DWORD>(y), source, nullptr, D_DDBLTFAST_SRCCOLORKEY),
                      D_DD_OK);
            ReferenceCopy(backdrop, picture, RECT{0, 0, kW, kH}, RECT{x, y, x + kW, y + kH}, true, f.channels, key);
            ASSERT_EQ(Read(dest).data, backdrop.data) << "round " << round;
        }
    }
    source->Release();
    other->Release();
    dest->Release();
}

// ---- GDI --------------------------------------------------------------------------

DWORD ReferenceConvert(DWORD v, const PlatformPixelLayout& from, const PlatformPixelLayout& to) {
    if (from == to) return v;
    auto channel = [&](DWORD fromMask, DWORD toMask) -> DWORD {
        const int fs = __builtin_ctz(fromMask), fb = __builtin_popcount(fromMask);
        const int ts = __builtin_ctz(toMask), tb = __builtin_popcount(toMask);
        DWORD c = (v & fromMask) >> fs;
        c = tb >= fb ? c << (tb - fb) : c >> (fb - tb);
        return (c << ts) & toMask;
    };
    return channel(from.redMask, to.redMask) | channel(from.greenMask, to.greenMask) |
           channel(from.blueMask, to.blueMask);
}

// The window's pixels as the frame shows them.
Image FromFrame(const PlatformFrame& f) {
    Image image;
    image.width = f.width;
    image.height = f.height;
    image.pitch = f.pitch;
    image.bytes = f.layout.BytesPerPixel();
    image.data = f.pixels;
    return image;
}

constexpr int kWindowW = 240, kWindowH = 160;

TEST_F(StandInSweep, DibAndDcCopiesMatchThePlainReference) {
    std::mt19937 rng(7);
    struct Dib {
        int bits;
        DWORD compression;
        PlatformPixelLayout layout;
    };
    const Dib dibs[] = {{16, BI_BITFIELDS, kLayout565}, {16, BI_RGB, kLayout555}, {32, BI_RGB, kLayoutX888}};
    for (int screenBits : {16, 32}) {
        SCOPED_TRACE(screenBits);
        ASSERT_EQ(dd->SetDisplayMode(640, 480, static_cast<DWORD>(screenBits), 0, 0), D_DD_OK);
        // A small window at the top-left keeps the captured frames small.
        PlatformDisplaySetClientRect(RECT{0, 0, kWindowW, kWindowH});
        frames.clear();
        const PlatformPixelLayout screen = PlatformDisplayLayout();
        HDC window = GetDC(FakeWindow());
        for (int step = 0; step < 60; ++step) {
            const Dib& dib = dibs[step % 3];
            const int w = 20 + static_cast<int>(rng() % 60), h = 10 + static_cast<int>(rng() % 30);
            const int pitch = ((w * dib.bits + 31) / 32) * 4, bytes = dib.bits / 8;
            std::vector<std::uint8_t> bits(static_cast<std::size_t>(pitch) * h);
            for (auto& b : bits) b = static_cast<std::uint8_t>(rng());
            BITMAPINFO info{};
            info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
            info.bmiHeader.biWidth = w;
            info.bmiHeader.biHeight = rng() % 2 ? -h : h;  // top-down or bottom-up
            info.bmiHeader.biPlanes = 1;
            info.bmiHeader.biBitCount = static_cast<WORD>(dib.bits);
            info.bmiHeader.biCompression = dib.compression;
            const DWORD masks[3] = {dib.layout.redMask, dib.layout.greenMask, dib.layout.blueMask};
            std::memcpy(info.bmiColors, masks, sizeof masks);
            // Anywhere, partly off the window; scaled, and mirrored by a
            // negative source width, every other time.
            const int x = static_cast<int>(rng() % (kWindowW + 60)) - 40, y = static_cast<int>(rng() % (kWindowH + 40)) - 20;
            const bool stretch = step % 2 == 1;
            const int dw = stretch ? 1 + static_cast<int>(rng() % 150) : w, dh = stretch ? 1 + static_cast<int>(rng() % 90) : h;
            const int sx = stretch ? static_cast<int>(rng() % w) : 0, sy = stretch ? static_cast<int>(rng() % h) : 0;
            const int sw = stretch ? (rng() % 2 ? 1 : -1) * (1 + static_cast<int>(rng() % w)) : w;
            const int sh = stretch ? 1 + static_cast<int>(rng() % (h - sy)) : h;

            if (frames.size() > 1) frames.erase(frames.begin(), frames.end() - 1);  // only the latest is needed
            Image expected = frames.empty() ? Image{} : FromFrame(frames.back());
            if (stretch)
                StretchDIBits(window, x, y, dw, dh, sx, sy, sw, sh, bits.data(), &info, DIB_RGB_COLORS, SRCCOPY);
            else
                SetDIBitsToDevice(window, x, y, static_cast<DWORD>(w), static_cast<DWORD>(h), 0, 0, 0,
                                  static_cast<UINT>(h), bits.data(), &info, DIB_RGB_COLORS);
            ASSERT_FALSE(frames.empty());
            if (expected.data.empty()) continue;  // the first copy sets the scene
            for (int j = 0; j < dh; ++j) {
                const int row = sy + static_cast<int>(static_cast<long long>(j) * sh / dh);
                if (y + j < 0 || y + j >= expected.height || row < 0 || row >= h) continue;
                const std::uint8_t* srcRow = bits.data() + static_cast<std::size_t>(info.bmiHeader.biHeight < 0 ? row : h - 1 - row) * pitch;
                for (int i = 0; i < dw; ++i) {
                    const int col = sx + static_cast<int>(static_cast<long long>(i) * sw / dw);
                    if (x + i < 0 || x + i >= expected.width || col < 0 || col >= w) continue;
                    WritePixelBytes(expected.At(x + i, y + j), expected.bytes,
                        ReferenceConvert(ReadPixelBytes(srcRow + col * bytes, bytes), dib.layout, screen));
                }
            }
            ASSERT_EQ(FromFrame(frames.back()).data, expected.data) << "step " << step;
        }
        // BitBlt between a memory DC and the window, each copy clipped by
        // another edge: the window's pixels go into a bitmap, which is read
        // back and then copied whole into the window.
        const Image shown = FromFrame(frames.back());
        const int bytes = shown.bytes;
        HDC memory = CreateCompatibleDC(window);
        HBITMAP bitmap = CreateCompatibleBitmap(window, 100, 60);
        HGDIOBJ old = SelectObject(memory, bitmap);
        Image held{100, 60, 100 * bytes, bytes, std::vector<std::uint8_t>(static_cast<std::size_t>(6000 * bytes), 0)};
        auto fromWindow = [&](int x, int y, int sx, int sy) {
            ASSERT_TRUE(BitBlt(memory, x, y, 100, 60, window, sx, sy, SRCCOPY));
            for (int j = 0; j < 60; ++j)
                for (int i = 0; i < 100; ++i)
                    if (x + i >= 0 && x + i < 100 && y + j >= 0 && y + j < 60 && sx + i < kWindowW && sy + j < kWindowH)
                        std::memcpy(held.At(x + i, y + j), shown.data.data() + static_cast<std::size_t>(sy + j) * shown.pitch +
                                                               static_cast<std::size_t>(sx + i) * bytes,
                                    static_cast<std::size_t>(bytes));
        };
        fromWindow(-10, -5, kWindowW - 40, kWindowH - 40);  // the bitmap's top-left and the window's far edges
        fromWindow(70, 40, 0, 0);                          // the bitmap's far edges
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = 100;
        info.bmiHeader.biHeight = -60;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = static_cast<WORD>(screenBits);
        info.bmiHeader.biCompression = BI_BITFIELDS;
        const DWORD masks[3] = {screen.redMask, screen.greenMask, screen.blueMask};
        std::memcpy(info.bmiColors, masks, sizeof masks);
        std::vector<std::uint8_t> readBack(held.data.size());
        ASSERT_EQ(GetDIBits(memory, bitmap, 0, 60, readBack.data(), &info, DIB_RGB_COLORS), 60);
        EXPECT_EQ(readBack, held.data);
        ASSERT_TRUE(BitBlt(window, 5, 7, 120, 80, memory, 0, 0, SRCCOPY));
        Image expected = shown;
        for (int j = 0; j < 60; ++j) std::memcpy(expected.At(5, 7 + j), held.At(0, j), static_cast<std::size_t>(100 * bytes));
        EXPECT_EQ(FromFrame(frames.back()).data, expected.data);
        SelectObject(memory, old);
        DeleteObject(bitmap);
        DeleteDC(memory);
        ReleaseDC(FakeWindow(), window);
    }
}

// ---- flipping ------------------------------------------------------------------

TEST_F(StandInSweep, AFlipTradesMemoryExceptUnderALock) {
    D_IDirectDrawSurface7* primary = MakeFullScreenChain();
    ASSERT_NE(primary, nullptr);
    D_DDSCAPS2 caps{D_DDSCAPS_BACKBUFFER, 0, 0, 0};
    D_IDirectDrawSurface7* back = nullptr;
    ASSERT_EQ(primary->GetAttachedSurface(&caps, &back), D_DD_OK);
    auto fill = [](D_IDirectDrawSurface7* s, DWORD colour) {
        D_DDBLTFX fx{};
        fx.dwSize = sizeof fx;
        fx.dwFillColor = colour;
        ASSERT_EQ(s->Blt(nullptr, nullptr, nullptr, D_DDBLT_COLORFILL, &fx), D_DD_OK);
    };
    auto pixel = [](D_IDirectDrawSurface7* s) {
        D_DDSURFACEDESC2 d{};
        d.dwSize = sizeof d;
        EXPECT_EQ(s->Lock(nullptr, &d, D_DDLOCK_WAIT, nullptr), D_DD_OK);
        DWORD v = ReadPixelBytes(static_cast<const std::uint8_t*>(d.lpSurface) + 5 * d.lPitch + 6 * 2, 2);
        s->Unlock(nullptr);
        return v;
    };
    fill(primary, 0x1111);
    fill(back, 0x2222);
    for (int round = 0; round < 3; ++round) {
        ASSERT_EQ(primary->Flip(nullptr, D_DDFLIP_WAIT | D_DDFLIP_NOVSYNC), D_DD_OK);
        const DWORD shown = round % 2 == 0 ? 0x2222 : 0x1111;
        EXPECT_EQ(frames.back().Raw(6, 5), shown);
        EXPECT_EQ(pixel(primary), shown);
        EXPECT_EQ(pixel(back), shown == 0x2222 ? 0x1111u : 0x2222u);
    }
    // A lock held across the flip keeps addressing the back buffer.
    D_DDSURFACEDESC2 locked{};
    locked.dwSize = sizeof locked;
    ASSERT_EQ(back->Lock(nullptr, &locked, D_DDLOCK_WAIT, nullptr), D_DD_OK);
    const DWORD front = pixel(primary), behind = ReadPixelBytes(static_cast<const std::uint8_t*>(locked.lpSurface), 2);
    ASSERT_EQ(primary->Flip(nullptr, D_DDFLIP_WAIT | D_DDFLIP_NOVSYNC), D_DD_OK);
    WritePixelBytes(static_cast<std::uint8_t*>(locked.lpSurface) + 5 * locked.lPitch + 6 * 2, 2, 0x3333);
    back->Unlock(nullptr);
    EXPECT_EQ(frames.back().Raw(6, 5), behind);
    EXPECT_EQ(pixel(primary), behind);
    EXPECT_EQ(pixel(back), 0x3333u);
    EXPECT_NE(front, behind);
    back->Release();
    primary->Release();
}

}  // namespace
