// The stand-in's per-call cost of small surface work, beside SDL2 doing the
// same to the same pixels:
//  - a keyed BltFast of a 16 x 16 glyph and of a 64 x 64 sprite (taken from
//    a sheet of pictures) onto a 640 x 480 5:6:5 back buffer, beside
//    SDL_BlitSurface of a colour-keyed, run-length encoded surface of the
//    same picture at the same places; the two screens are compared after two
//    rounds of the places (the second as the timed draws go) before anything
//    is timed;
//  - the copy through device contexts (GetDC on two surfaces, a 16 x 16
//    BitBlt, ReleaseDC twice), beside a memcpy of the same rows;
//  - Lock and Unlock of a surface, beside SDL_LockSurface and
//    SDL_UnlockSurface.
// Run pinned to one core with the cases interleaved, for example:
//   taskset -c 2 ./ddraw_small_blit_bench --benchmark_repetitions=10
//       --benchmark_enable_random_interleaving=true --benchmark_report_aggregates_only=true
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/backend.h"
#include "platform/com.h"
#include "platform/ddraw.h"
#include "platform/display.h"
#include "platform/gdi.h"
#include "support/ddraw_surface.h"

namespace {

constexpr int kScreenW = 640, kScreenH = 480;
constexpr std::uint16_t kKey = 0xF81F;  // magenta
constexpr int kPlaces = 97;
// Where the pictures lie on the sheet: the glyph beside the sprite, each
// with keyed pixels around it.
constexpr int kSheetW = 128, kSheetH = 80;
constexpr int kGlyphX = 5, kGlyphY = 7, kSpriteX = 40, kSpriteY = 9;

// A glyph's rows: one or two strokes of 4 to 10 pixels (8 to 20 bytes).
bool GlyphOpaque(int x, int y) {
    if (y < 1 || y > 14) return false;
    const int a = 1 + (y * 3) % 4, b = a + 4 + (y % 7);
    if (x >= a && x < b) return true;
    return y % 3 != 0 && x >= b + 2 && x < b + 2 + 4 + (y % 2);
}

// A sprite: a disc with two holes in it and a notch out of its side.
bool SpriteOpaque(int x, int y) {
    const int dx = 2 * x - 63, dy = 2 * y - 63;
    if (dx * dx + dy * dy > 60 * 60) return false;
    const int ex = 2 * x - 40, fx = 2 * x - 86, ey = 2 * y - 46;
    if (ex * ex + ey * ey < 10 * 10 || fx * fx + ey * ey < 10 * 10) return false;
    return !(x > 48 && y > 28 && y < 36);
}

std::uint16_t Colour(int x, int y) {
    const auto c = static_cast<std::uint16_t>(0x1000 + x * 97 + y * 301);
    return c == kKey ? 0x1234 : c;
}

struct Place {
    int x, y;
};
Place PlaceOf(int i, int side) {
    return Place{(i * 37) % (kScreenW - side), (i * 23) % (kScreenH - side)};
}

// The stand-in: a full-screen 5:6:5 chain whose back buffer is drawn on, and
// the sheet of pictures with its key.
struct StandIn {
    D_IDirectDraw7* dd = nullptr;
    D_IDirectDrawSurface7* primary = nullptr;
    D_IDirectDrawSurface7* back = nullptr;
    D_IDirectDrawSurface7* sheet = nullptr;
    D_IDirectDrawSurface7* work = nullptr;  // the copy's destination

    D_IDirectDrawSurface7* Plain(int w, int h) const { return MakeOffscreenSurface(dd, w, h); }

    StandIn() {
        PlatformSelectBackend(PlatformBackend::Headless);
        CoInitialize(nullptr);
        void* object = nullptr;
        if (CoCreateInstance(CLSID_D_DirectDraw7, nullptr, CLSCTX_ALL, IID_D_IDirectDraw7, &object) != S_OK) std::abort();
        dd = static_cast<D_IDirectDraw7*>(object);
        dd->Initialize(nullptr);
        HWND window = reinterpret_cast<HWND>(std::uintptr_t{0x1234});
        if (dd->SetCooperativeLevel(window, D_DDSCL_EXCLUSIVE | D_DDSCL_FULLSCREEN) != D_DD_OK ||
            dd->SetDisplayMode(kScreenW, kScreenH, 16, 0, 0) != D_DD_OK)
            std::abort();
        D_DDSURFACEDESC2 desc{};
        desc.dwSize = sizeof desc;
        desc.dwFlags = D_DDSD_CAPS | D_DDSD_BACKBUFFERCOUNT;
        desc.ddsCaps.dwCaps = D_DDSCAPS_PRIMARYSURFACE | D_DDSCAPS_FLIP | D_DDSCAPS_COMPLEX;
        desc.dwBackBufferCount = 1;
        if (dd->CreateSurface(&desc, &primary, nullptr) != D_DD_OK) std::abort();
        D_DDSCAPS2 caps{D_DDSCAPS_BACKBUFFER, 0, 0, 0};
        if (primary->GetAttachedSurface(&caps, &back) != D_DD_OK) std::abort();
        sheet = Plain(kSheetW, kSheetH);
        work = Plain(64, 64);
        D_DDSURFACEDESC2 locked{};
        locked.dwSize = sizeof locked;
        if (sheet->Lock(nullptr, &locked, D_DDLOCK_WAIT, nullptr) != D_DD_OK) std::abort();
        for (int y = 0; y < kSheetH; ++y) {
            auto* row = reinterpret_cast<std::uint16_t*>(static_cast<std::uint8_t*>(locked.lpSurface) + y * locked.lPitch);
            for (int x = 0; x < kSheetW; ++x) {
                bool opaque = false;
                if (x >= kGlyphX && x < kGlyphX + 16 && y >= kGlyphY && y < kGlyphY + 16)
                    opaque = GlyphOpaque(x - kGlyphX, y - kGlyphY);
                if (x >= kSpriteX && x < kSpriteX + 64 && y >= kSpriteY && y < kSpriteY + 64)
                    opaque = SpriteOpaque(x - kSpriteX, y - kSpriteY);
                row[x] = opaque ? Colour(x, y) : kKey;
            }
        }
        sheet->Unlock(nullptr);
        D_DDCOLORKEY key{kKey, kKey};
        sheet->SetColorKey(D_DDCKEY_SRCBLT, &key);
    }

    RECT Picture(int side) const {
        return side == 16 ? RECT{kGlyphX, kGlyphY, kGlyphX + 16, kGlyphY + 16}
                          : RECT{kSpriteX, kSpriteY, kSpriteX + 64, kSpriteY + 64};
    }

    void Clear() const {
        D_DDBLTFX fx{};
        fx.dwSize = sizeof fx;
        fx.dwFillColor = 0x39E7;
        back->Blt(nullptr, nullptr, nullptr, D_DDBLT_COLORFILL, &fx);
    }
};

StandIn& Ours() {
    static StandIn* standIn = new StandIn;
    return *standIn;
}

// SDL2: a 5:6:5 screen and each picture as a keyed, run-length encoded
// surface of its own.
struct Peer {
    SDL_Surface* screen = nullptr;
    SDL_Surface* glyph = nullptr;
    SDL_Surface* sprite = nullptr;

    static SDL_Surface* Picture(int side) {
        SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, side, side, 16, SDL_PIXELFORMAT_RGB565);
        if (s == nullptr) std::abort();
        for (int y = 0; y < side; ++y) {
            auto* row = reinterpret_cast<std::uint16_t*>(static_cast<std::uint8_t*>(s->pixels) + y * s->pitch);
            for (int x = 0; x < side; ++x) {
                const bool opaque = side == 16 ? GlyphOpaque(x, y) : SpriteOpaque(x, y);
                const int sx = x + (side == 16 ? kGlyphX : kSpriteX), sy = y + (side == 16 ? kGlyphY : kSpriteY);
                row[x] = opaque ? Colour(sx, sy) : kKey;
            }
        }
        SDL_SetColorKey(s, SDL_TRUE, kKey);
        SDL_SetSurfaceRLE(s, 1);
        return s;
    }

    Peer() {
        screen = SDL_CreateRGBSurfaceWithFormat(0, kScreenW, kScreenH, 16, SDL_PIXELFORMAT_RGB565);
        if (screen == nullptr) std::abort();
        glyph = Picture(16);
        sprite = Picture(64);
    }

    void Clear() const { SDL_FillRect(screen, nullptr, 0x39E7); }
};

Peer& Sdl() {
    static Peer* peer = new Peer;
    return *peer;
}

// One round of the places on both screens: they must then hold the same
// pixels.
void CheckSamePixels(int side) {
    StandIn& ours = Ours();
    Peer& sdl = Sdl();
    ours.Clear();
    sdl.Clear();
    RECT from = ours.Picture(side);
    SDL_Surface* picture = side == 16 ? sdl.glyph : sdl.sprite;
    for (int round = 0; round < 2; ++round)
        for (int i = 0; i < kPlaces; ++i) {
            const Place p = PlaceOf(i, side);
            RECT r = from;
            if (ours.back->BltFast(static_cast<DWORD>(p.x), static_cast<DWORD>(p.y), ours.sheet, &r,
                                   D_DDBLTFAST_SRCCOLORKEY | D_DDBLTFAST_WAIT) != D_DD_OK)
                std::abort();
            SDL_Rect at{p.x, p.y, side, side};
            SDL_BlitSurface(picture, nullptr, sdl.screen, &at);
        }
    D_DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    if (ours.back->Lock(nullptr, &desc, D_DDLOCK_WAIT, nullptr) != D_DD_OK) std::abort();
    for (int y = 0; y < kScreenH; ++y)
        if (std::memcmp(static_cast<const std::uint8_t*>(desc.lpSurface) + y * desc.lPitch,
                        static_cast<const std::uint8_t*>(sdl.screen->pixels) + y * sdl.screen->pitch,
                        kScreenW * 2) != 0) {
            std::fprintf(stderr, "%d x %d: the screens differ on row %d\n", side, side, y);
            std::abort();
        }
    ours.back->Unlock(nullptr);
}

void BM_KeyedBltFast(benchmark::State& state) {
    const int side = static_cast<int>(state.range(0));
    CheckSamePixels(side);
    StandIn& ours = Ours();
    const RECT from = ours.Picture(side);
    int i = 0;
    for (auto _ : state) {
        const Place p = PlaceOf(i, side);
        i = i + 1 == kPlaces ? 0 : i + 1;
        RECT r = from;
        benchmark::DoNotOptimize(ours.back->BltFast(static_cast<DWORD>(p.x), static_cast<DWORD>(p.y), ours.sheet, &r,
                                                    D_DDBLTFAST_SRCCOLORKEY | D_DDBLTFAST_WAIT));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_KeyedBltFast)->Arg(16)->Arg(64);

void BM_SdlRleBlit(benchmark::State& state) {
    const int side = static_cast<int>(state.range(0));
    CheckSamePixels(side);
    Peer& sdl = Sdl();
    SDL_Surface* picture = side == 16 ? sdl.glyph : sdl.sprite;
    int i = 0;
    for (auto _ : state) {
        const Place p = PlaceOf(i, side);
        i = i + 1 == kPlaces ? 0 : i + 1;
        SDL_Rect at{p.x, p.y, side, side};
        benchmark::DoNotOptimize(SDL_BlitSurface(picture, nullptr, sdl.screen, &at));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SdlRleBlit)->Arg(16)->Arg(64);

// The copy through device contexts of a 16 x 16 rectangle from the sheet
// into the work surface, as the mirrored draw makes it.
void BM_DcCopy16(benchmark::State& state) {
    StandIn& ours = Ours();
    for (auto _ : state) {
        HDC to = nullptr, from = nullptr;
        ours.work->GetDC(&to);
        ours.sheet->GetDC(&from);
        benchmark::DoNotOptimize(BitBlt(to, 0, 0, 16, 16, from, kGlyphX, kGlyphY, SRCCOPY));
        ours.sheet->ReleaseDC(from);
        ours.work->ReleaseDC(to);
    }
}
BENCHMARK(BM_DcCopy16);

// The same rows by memcpy between two buffers of the surfaces' pitches.
void BM_MemcpyRows16(benchmark::State& state) {
    static std::vector<std::uint8_t> sheet(kSheetW * 2 * kSheetH), work(64 * 2 * 64);
    for (auto _ : state) {
        const std::uint8_t* in = sheet.data() + kGlyphY * kSheetW * 2 + kGlyphX * 2;
        std::uint8_t* out = work.data();
        for (int y = 0; y < 16; ++y) std::memcpy(out + y * 128, in + y * kSheetW * 2, 32);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_MemcpyRows16);

void BM_LockUnlock(benchmark::State& state) {
    StandIn& ours = Ours();
    for (auto _ : state) {
        D_DDSURFACEDESC2 desc;
        desc.dwSize = sizeof desc;
        ours.work->Lock(nullptr, &desc, D_DDLOCK_WAIT, nullptr);
        benchmark::DoNotOptimize(desc.lpSurface);
        ours.work->Unlock(nullptr);
    }
}
BENCHMARK(BM_LockUnlock);

void BM_SdlLockUnlock(benchmark::State& state) {
    Peer& sdl = Sdl();
    for (auto _ : state) {
        SDL_LockSurface(sdl.screen);
        benchmark::DoNotOptimize(sdl.screen->pixels);
        SDL_UnlockSurface(sdl.screen);
    }
}
BENCHMARK(BM_SdlLockUnlock);

}  // namespace
