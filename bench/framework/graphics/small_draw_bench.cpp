// What one small draw costs through the public entries, beside SDL2 drawing
// the same picture at the same places: a 16 x 16 and a 64 x 64 keyed blit
// (`ApiBlitGraph`) against SDL_BlitSurface of a colour-keyed, run-length
// encoded surface; the same mirrored (`ApiMirrorBlitGraph`) against SDL's
// blit of a mirrored copy made once; a draw wholly outside the draw area
// against an entry that only takes the lock (`ApiMakeColorCode`) and SDL's
// blit that clips everything away; and a one-character text call against
// what a program on SDL does for one: the text formatted printf-style (a
// text without directives taken as it is, on both sides), its glyph found in a cache of glyph surfaces and blitted (the glyph as the
// framework draws it).
//
// Each case runs on the DirectDraw road (the game's), the software-only road
// and the Direct3D road (the stand-in's device), each row beside SDL's, in
// one run. Before timing, every case draws its places through the framework
// and through SDL and the two screens must be equal.
//
// SDL's pictures are taken from what the framework draws of each graphic or
// text on the road at hand, so SDL draws the very pixels the framework does.
#include <SDL.h>
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "api/framework_init.h"
#include "core/system_state.h"
#include "graphics/d3d/direct3d.h"
#include "graphics/draw/draw_state.h"
#include "graphics/draw/graph_load.h"
#include "graphics/image/base_image.h"
#include "kelvo/api.h"
#include "platform/backend.h"
#include "platform/d3d.h"
#include "platform/display.h"
#include "platform/files.h"
#include "platform/kernel.h"
#include "platform/window.h"
#include "support/frame_draws.h"
#include "support/graph_from_rgb.h"
#include "support/headless_framework.h"

namespace {

constexpr int kScreenW = 640, kScreenH = 480;

enum class Road { kDirectDraw, kSoftwareOnly, kDirect3D };

// The framework started headless on one road.
class FrameworkOnRoad : public HeadlessFramework {
public:
    explicit FrameworkOnRoad(Road road)
        : HeadlessFramework("kelvo_small_draw_bench", road == Road::kSoftwareOnly, road == Road::kDirect3D) {}
};

// A glyph of a damage number: a thick ring with a bar, about half opaque.
std::uint32_t GlyphRgb(int x, int y) {
    const int dx = 2 * x - 15, dy = 2 * y - 15, r2 = dx * dx + dy * dy;
    const bool on = (r2 < 196 && r2 > 64) || (x >= 7 && x <= 8 && y > 2 && y < 13);
    return on ? 0xF0C040u - static_cast<std::uint32_t>(y * 0x000400) : 0u;
}
// A monster: a disc with a few transparent stripes, about 60% opaque.
std::uint32_t SpriteRgb(int x, int y) {
    const int dx = x - 32, dy = y - 32, r2 = dx * dx + dy * dy;
    if (r2 >= 30 * 30 || r2 <= 6 * 6 || y % 8 == 3) return 0;
    return 0x202020u | static_cast<std::uint32_t>(x * 4 & 0xFF) << 16 | static_cast<std::uint32_t>(y * 4 & 0xFF) << 8 |
           static_cast<std::uint32_t>((x + y) * 2 & 0xFF);
}


// Where the draws land, in turn: spread over the screen, never clipped.
std::vector<SDL_Point> Places(int w, int h) {
    std::vector<SDL_Point> places;
    for (int i = 0; i < 16; ++i)
        places.push_back(SDL_Point{(i * 151 + 7) % (kScreenW - w), (i * 97 + 11) % (kScreenH - h)});
    return places;
}

// A picture cut from the back screen as a keyed, run-length encoded 5:6:5
// surface, mirrored left-right on request. Null when nothing is there.
SDL_Surface* CutSurface(const ScreenPicture& screen, int left, int top, int w, int h, bool mirrored) {
    if (w <= 0 || h <= 0 || screen.pixels.empty()) return nullptr;
    SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, w, h, 16, SDL_PIXELFORMAT_RGB565);
    if (s == nullptr) return nullptr;
    for (int y = 0; y < h; ++y) {
        auto* row = reinterpret_cast<std::uint16_t*>(static_cast<std::uint8_t*>(s->pixels) + y * s->pitch);
        const std::uint16_t* from = screen.pixels.data() + static_cast<std::size_t>(top + y) * screen.width + left;
        for (int x = 0; x < w; ++x) row[x] = from[mirrored ? w - 1 - x : x];
    }
    SDL_SetColorKey(s, SDL_TRUE, 0);
    SDL_SetSurfaceRLE(s, 1);
    return s;
}

// What a case draws: through the framework, and SDL's picture with where
// it goes (a text's picture lies off the pen position). A text case's
// picture is the one glyph of its glyph cache.
struct Case {
    std::vector<SDL_Point> places;
    SDL_Surface* picture = nullptr;
    SDL_Point offset{0, 0};
    std::function<void(int x, int y)> ours;
    bool text = false;
    SDL_Surface* glyphs[256] = {};
};

// A graphic drawn plain or mirrored, keyed.
Case GraphCase(int size, bool mirrored) {
    Case c;
    const HandleId g = size == 16 ? MakeGraphFromRgb(16, 16, GlyphRgb) : MakeGraphFromRgb(64, 64, SpriteRgb);
    ApiClearDrawTarget();
    ApiBlitGraph(0, 0, g, 0);
    c.picture = CutSurface(TakeBackScreen(), 0, 0, size, size, mirrored);
    c.places = Places(size, size);
    if (mirrored)
        c.ours = [g](int x, int y) { ApiMirrorBlitGraph(x, y, g, 1); };
    else
        c.ours = [g](int x, int y) { ApiBlitGraph(x, y, g, 1); };
    return c;
}

// One character of the default font, white.
Case TextCase() {
    Case c;
    const ColorCode white = ApiMakeColorCode(255, 255, 255);
    c.places = Places(24, 24);
    ApiClearDrawTarget();
    ApiDrawTextFormatted(100, 100, white, "7");
    const ScreenPicture screen = TakeBackScreen();
    const RECT ink = InkBounds(screen);
    c.picture = CutSurface(screen, ink.left, ink.top, ink.right - ink.left, ink.bottom - ink.top, false);
    c.offset = SDL_Point{static_cast<int>(ink.left) - 100, static_cast<int>(ink.top) - 100};
    c.ours = [white](int x, int y) { ApiDrawTextFormatted(x, y, white, "7"); };
    c.text = true;
    c.glyphs[static_cast<unsigned char>('7')] = c.picture;
    return c;
}

// SDL's text call: formatted, then each character's cached glyph blitted.
// A format without directives is the text itself, as the framework takes it.
// One character needs no advance.
void SdlTextFormatted(const Case& c, SDL_Surface* screen, int x, int y, const char* format, ...) {
    char buffer[1024];
    const char* text = format;
    if (std::strchr(format, '%') != nullptr) {
        va_list args;
        va_start(args, format);
        std::vsnprintf(buffer, sizeof buffer, format, args);
        va_end(args);
        text = buffer;
    }
    for (const char* p = text; *p != '\0'; ++p) {
        SDL_Surface* glyph = c.glyphs[static_cast<unsigned char>(*p)];
        if (glyph == nullptr) continue;
        SDL_Rect to{x + c.offset.x, y + c.offset.y, glyph->w, glyph->h};
        SDL_BlitSurface(glyph, nullptr, screen, &to);
    }
}

void SdlDraw(const Case& c, SDL_Surface* screen, const SDL_Point& at) {
    if (c.text) return SdlTextFormatted(c, screen, at.x, at.y, "7");
    SDL_Rect to{at.x + c.offset.x, at.y + c.offset.y, c.picture->w, c.picture->h};
    SDL_BlitSurface(c.picture, nullptr, screen, &to);
}

SDL_Surface* SdlScreen() {
    SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, kScreenW, kScreenH, 16, SDL_PIXELFORMAT_RGB565);
    if (s != nullptr) SDL_FillRect(s, nullptr, 0);
    return s;
}

// Draws every place both ways onto cleared screens; true when they agree.
bool SameScreens(const Case& c, SDL_Surface* sdl) {
    ApiClearDrawTarget();
    SDL_FillRect(sdl, nullptr, 0);
    for (const SDL_Point& p : c.places) {
        c.ours(p.x, p.y);
        SdlDraw(c, sdl, p);
    }
    const ScreenPicture ours = TakeBackScreen();
    if (ours.width != sdl->w || ours.height != sdl->h) return false;
    for (int y = 0; y < ours.height; ++y) {
        const auto* row = reinterpret_cast<const std::uint16_t*>(static_cast<const std::uint8_t*>(sdl->pixels) + y * sdl->pitch);
        if (std::memcmp(row, ours.pixels.data() + static_cast<std::size_t>(y) * ours.width,
                        static_cast<std::size_t>(ours.width) * 2) != 0)
            return false;
    }
    return true;
}

enum class Kind { kKeyed16, kKeyed64, kMirrored16, kMirrored64, kText };

Case MakeCase(Kind kind) {
    switch (kind) {
        case Kind::kKeyed16: return GraphCase(16, false);
        case Kind::kKeyed64: return GraphCase(64, false);
        case Kind::kMirrored16: return GraphCase(16, true);
        case Kind::kMirrored64: return GraphCase(64, true);
        case Kind::kText: return TextCase();
    }
    return Case{};
}

// Times the case through the framework on `road`, or (sdl) SDL's side of
// it with the pictures the framework draws on that road.
void Run(benchmark::State& state, Kind kind, Road road, bool sdl) {
    FrameworkOnRoad framework(road);
    Case c = MakeCase(kind);
    SDL_Surface* screen = SdlScreen();
    if (c.picture == nullptr || screen == nullptr) return state.SkipWithError("SDL made no surface");
    if (!SameScreens(c, screen)) {
        SDL_FreeSurface(c.picture);
        SDL_FreeSurface(screen);
        return state.SkipWithError("the framework's and SDL's screens differ");
    }
    std::size_t i = 0;
    const std::size_t n = c.places.size();
    if (sdl) {
        // Through a call object as the framework's side is, so that both
        // pay the same to be called.
        const std::function<void(int, int)> draw = [&c, screen](int x, int y) { SdlDraw(c, screen, SDL_Point{x, y}); };
        for (auto _ : state) {
            const SDL_Point& p = c.places[i++ % n];
            draw(p.x, p.y);
            benchmark::ClobberMemory();
        }
    } else {
        for (auto _ : state) {
            const SDL_Point& p = c.places[i++ % n];
            c.ours(p.x, p.y);
        }
    }
    SDL_FreeSurface(c.picture);
    SDL_FreeSurface(screen);
}

// A 16 x 16 keyed draw wholly left of and above the draw area, beside an
// entry that only takes the lock, and SDL's blit clipped away.
void RunOutside(benchmark::State& state, Road road, int which) {
    FrameworkOnRoad framework(road);
    const HandleId g = MakeGraphFromRgb(16, 16, GlyphRgb);
    SDL_Surface* screen = SdlScreen();
    SDL_Surface* picture = nullptr;
    {
        ApiClearDrawTarget();
        ApiBlitGraph(0, 0, g, 0);
        picture = CutSurface(TakeBackScreen(), 0, 0, 16, 16, false);
    }
    if (screen == nullptr || picture == nullptr) return state.SkipWithError("SDL made no surface");
    // Nothing may change on either side.
    ApiClearDrawTarget();
    const int result = ApiBlitGraph(-100, -100, g, 1);
    const ScreenPicture ours = TakeBackScreen();
    SDL_Rect away{-100, -100, 16, 16};
    SDL_BlitSurface(picture, nullptr, screen, &away);
    bool clear = result == 0;
    for (std::uint16_t v : ours.pixels) clear = clear && v == 0;
    for (int y = 0; y < screen->h; ++y)
        for (int x = 0; x < screen->w; ++x)
            clear = clear && reinterpret_cast<const std::uint16_t*>(static_cast<std::uint8_t*>(screen->pixels) + y * screen->pitch)[x] == 0;
    if (!clear) return state.SkipWithError("a draw outside the area drew or failed");
    int sink = 0;
    switch (which) {
        case 0:
            for (auto _ : state) sink += ApiBlitGraph(-100, -100, g, 1);
            break;
        case 1:
            for (auto _ : state) sink += static_cast<int>(ApiMakeColorCode(255, 255, 255));
            break;
        default:
            for (auto _ : state) {
                SDL_Rect to{-100, -100, 16, 16};
                sink += SDL_BlitSurface(picture, nullptr, screen, &to);
            }
            break;
    }
    benchmark::DoNotOptimize(sink);
    SDL_FreeSurface(picture);
    SDL_FreeSurface(screen);
}

const char* RoadName(Road road) {
    switch (road) {
        case Road::kDirectDraw: return "DirectDraw";
        case Road::kSoftwareOnly: return "SoftwareOnly";
        case Road::kDirect3D: return "Direct3D";
    }
    return "";
}

// Registers, case by case, each road's row beside SDL's.
int Register() {
    const std::pair<Kind, const char*> kinds[] = {{Kind::kKeyed16, "Keyed16"},
                                                  {Kind::kKeyed64, "Keyed64"},
                                                  {Kind::kMirrored16, "Mirrored16"},
                                                  {Kind::kMirrored64, "Mirrored64"},
                                                  {Kind::kText, "Text1"}};
    for (Road road : {Road::kDirectDraw, Road::kSoftwareOnly, Road::kDirect3D}) {
        for (const auto& [kind, name] : kinds) {
            const std::string base = std::string("BM_") + name + "/" + RoadName(road);
            benchmark::RegisterBenchmark((base + "/ours").c_str(),
                                         [kind, road](benchmark::State& s) { Run(s, kind, road, false); });
            benchmark::RegisterBenchmark((base + "/sdl").c_str(),
                                         [kind, road](benchmark::State& s) { Run(s, kind, road, true); });
        }
        const std::string base = std::string("BM_Outside16/") + RoadName(road);
        benchmark::RegisterBenchmark((base + "/ours").c_str(), [road](benchmark::State& s) { RunOutside(s, road, 0); });
        benchmark::RegisterBenchmark((base + "/lock_only").c_str(),
                                     [road](benchmark::State& s) { RunOutside(s, road, 1); });
        benchmark::RegisterBenchmark((base + "/sdl").c_str(), [road](benchmark::State& s) { RunOutside(s, road, 2); });
    }
    return 0;
}
const int g_registered = Register();

}  // namespace
