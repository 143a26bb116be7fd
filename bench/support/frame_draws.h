// For the game's benchmarks: the drawing calls of a run of the game's own
// frames, kept as they were made, and two ways to draw them again, the same
// pictures in the same order:
//  - through the framework's public entries, as the game made them;
//  - through SDL2's software blitter onto a 640 x 480 5:6:5 surface, the
//    peer. Each graphic and each text is taken from what the framework
//    draws of it, so SDL draws the very pixels the game's frame shows.
//
// How SDL draws what the game asks for, at its fastest:
//  - a blit is SDL_BlitSurface of the picture, colour-keyed (with run-length
//    acceleration where SDL allows it) when drawn transparent; the blend
//    modes none, alpha, add and multiply are SDL's NONE, BLEND, ADD and MOD
//    with the parameter as the alpha modulation, and the bright colour is its
//    colour modulation. Subtract has no SDL counterpart: such draws are
//    counted (`unmatched`) and left out.
//  - a stretched blit is SDL_BlitScaled; a rotated blit at angle 0 or pi (all
//    the field draws) is SDL_BlitScaled of the picture scaled about its
//    centre, at pi turned over both ways; other angles are drawn unturned
//    and counted as unmatched.
//  - SDL's blitter cannot mirror: a mirrored draw (mirrored blit, a stretch
//    with its corners swapped, the turn flag) uses a mirrored copy of the
//    picture made once beforehand, as a program on SDL would.
//  - each picture has a surface of its own for each way it is drawn (keyed
//    or not, mirrored, scaled or not, blend, alpha and colour modulation on
//    or off), so no draw changes a surface's blit flags and throws its
//    run-length encoding away.
//  - a text is one keyed surface of the line as the framework drew it: the
//    same pixels in one blit where the framework draws glyph by glyph.
//  - boxes: SDL_FillRect (outlines as four one-pixel rectangles); a box
//    drawn translucent or added goes through SDL's software renderer on the
//    same surface (SDL_RenderFillRect, its blended fill), flushed at once.
// A present draws nothing on SDL's side.
#pragma once

#include <SDL.h>

#include <kelvo/api.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "api/draw_observer.h"
#include "graphics/draw/draw_state.h"
#include "graphics/draw/graph_record.h"
#include "platform/display.h"

struct RecordedCall {
    ApiDrawCall call;
    std::string text;  // the text of a text draw
};
using RecordedFrame = std::vector<RecordedCall>;

// Keeps the drawing calls made while it lives, frame by frame: a present,
// or NextFrame, begins the next frame.
class DrawRecorder {
public:
    DrawRecorder() {
        frames_.emplace_back();
        SetApiDrawObserver([this](const ApiDrawCall& call) {
            RecordedCall kept{call, call.text != nullptr ? call.text : ""};
            kept.call.text = nullptr;
            frames_.back().push_back(std::move(kept));
            if (call.kind == ApiDrawKind::kPresent) NextFrame();
        });
    }
    ~DrawRecorder() { SetApiDrawObserver(nullptr); }
    DrawRecorder(const DrawRecorder&) = delete;
    DrawRecorder& operator=(const DrawRecorder&) = delete;

    void NextFrame() { frames_.emplace_back(); }

    // The frames that hold a call.
    std::vector<RecordedFrame> Frames() const {
        std::vector<RecordedFrame> frames;
        for (const RecordedFrame& f : frames_)
            if (!f.empty()) frames.push_back(f);
        return frames;
    }

private:
    std::vector<RecordedFrame> frames_;
};

// Draws a recorded frame again through the framework's public entries.
inline void ReplayThroughFramework(const RecordedFrame& frame) {
    for (const RecordedCall& r : frame) {
        const ApiDrawCall& c = r.call;
        switch (c.kind) {
            case ApiDrawKind::kClear: ApiClearDrawTarget(); break;
            case ApiDrawKind::kBlit: ApiBlitGraph(c.x1, c.y1, c.graph, c.flag); break;
            case ApiDrawKind::kStretchBlit: ApiStretchBlitGraph(c.x1, c.y1, c.x2, c.y2, c.graph, c.flag); break;
            case ApiDrawKind::kRotateBlit:
                ApiRotateBlitGraph(c.x1, c.y1, c.scale, c.angle, c.graph, c.flag, c.turn);
                break;
            case ApiDrawKind::kMirrorBlit: ApiMirrorBlitGraph(c.x1, c.y1, c.graph, c.flag); break;
            case ApiDrawKind::kPaintBox: ApiPaintBox(c.x1, c.y1, c.x2, c.y2, c.color, c.flag); break;
            case ApiDrawKind::kText: ApiDrawTextFormatted(c.x1, c.y1, c.color, "%s", r.text.c_str()); break;
            case ApiDrawKind::kBlendMode: ApiSetBlendModeParam(c.flag, c.value); break;
            case ApiDrawKind::kBrightColor: ApiSetBrightColor(c.x1, c.y1, c.x2); break;
            case ApiDrawKind::kDrawTarget: ApiSelectDrawTarget(c.flag); break;
            case ApiDrawKind::kPresent: ApiPresentScreen(); break;
        }
    }
}

// What the framework's back screen shows, 16-bit pixels row by row, taken
// through a present. Empty when it is not a 16-bit screen.
struct ScreenPicture {
    int width = 0, height = 0;
    std::vector<std::uint16_t> pixels;
};
inline ScreenPicture TakeBackScreen() {
    ScreenPicture picture;
    PlatformSetFrameSink([&picture](const PlatformFrame& f) {
        if (f.layout.BytesPerPixel() != 2) return;
        picture.width = f.width;
        picture.height = f.height;
        picture.pixels.resize(static_cast<std::size_t>(f.width) * f.height);
        for (int y = 0; y < f.height; ++y)
            std::memcpy(picture.pixels.data() + static_cast<std::size_t>(y) * f.width,
                        f.pixels.data() + static_cast<std::size_t>(y) * f.pitch, static_cast<std::size_t>(f.width) * 2);
    });
    ApiPresentScreen();
    PlatformSetFrameSink(nullptr);
    return picture;
}

// The smallest rectangle holding every pixel of the screen that is not
// black: what was drawn on a cleared screen. Empty (right <= left) when
// nothing was.
inline RECT InkBounds(const ScreenPicture& screen) {
    RECT r{screen.width, screen.height, 0, 0};
    for (int y = 0; y < screen.height; ++y)
        for (int x = 0; x < screen.width; ++x)
            if (screen.pixels[static_cast<std::size_t>(y) * screen.width + x] != 0) {
                r.left = std::min<LONG>(r.left, x), r.top = std::min<LONG>(r.top, y);
                r.right = std::max<LONG>(r.right, x + 1), r.bottom = std::max<LONG>(r.bottom, y + 1);
            }
    return r;
}

class SdlFrameReplay {
public:
    // Takes the pictures of every graphic and text `frames` draw from the
    // framework, which must be up and drawing on its 16-bit back screen.
    // The back screen is drawn over; the blend mode and bright colour are
    // left at none and white.
    explicit SdlFrameReplay(const std::vector<RecordedFrame>& frames) {
        screen_ = SDL_CreateRGBSurfaceWithFormat(0, 640, 480, 16, SDL_PIXELFORMAT_RGB565);
        boxes_ = SDL_CreateSoftwareRenderer(screen_);
        const std::uint32_t rgb = g_DrawState.transparentColor;
        key_ = ApiMakeColorCode(static_cast<int>(rgb >> 16 & 0xFF), static_cast<int>(rgb >> 8 & 0xFF),
                                static_cast<int>(rgb & 0xFF));
        ApiSetBlendModeParam(kBlendNone, 0);
        ApiSetBrightColor(255, 255, 255);
        for (const RecordedFrame& frame : frames)
            for (const RecordedCall& r : frame) Take(r);
        ApiClearDrawTarget();
    }
    ~SdlFrameReplay() {
        for (auto& [key, surface] : surfaces_) SDL_FreeSurface(surface);
        SDL_DestroyRenderer(boxes_);
        SDL_FreeSurface(screen_);
    }
    SdlFrameReplay(const SdlFrameReplay&) = delete;
    SdlFrameReplay& operator=(const SdlFrameReplay&) = delete;

    void Draw(const RecordedFrame& frame) {
        for (const RecordedCall& r : frame) DrawCall(r);
    }

    bool Ready() const { return screen_ != nullptr && boxes_ != nullptr; }
    // What SDL has drawn.
    const SDL_Surface* Screen() const { return screen_; }
    // Draws SDL cannot make the same (see above), over all frames drawn.
    std::int64_t Unmatched() const { return unmatched_; }

private:
    // A picture: 5:6:5 pixels, with where it lies on the screen (texts).
    struct Picture {
        int x = 0, y = 0, width = 0, height = 0;
        std::vector<std::uint16_t> pixels;
        std::uint32_t key = 0;
    };
    // The surface of a picture for one way of drawing it.
    struct Way {
        const Picture* picture;
        bool keyed, flipX, flipY;
        SDL_BlendMode blend;
        bool alphaMod, colourMod, scaled;
        auto Tie() const { return std::tie(picture, keyed, flipX, flipY, blend, alphaMod, colourMod, scaled); }
        bool operator<(const Way& o) const { return Tie() < o.Tie(); }
    };

    void Take(const RecordedCall& r) {
        const ApiDrawCall& c = r.call;
        switch (c.kind) {
            case ApiDrawKind::kBlit:
            case ApiDrawKind::kStretchBlit:
            case ApiDrawKind::kRotateBlit:
            case ApiDrawKind::kMirrorBlit: {
                if (graphs_.count(c.graph) != 0) return;
                const GraphRecord* graph = LookupGraph(c.graph);
                if (graph == nullptr) return;
                ApiClearDrawTarget();
                ApiBlitGraph(0, 0, c.graph, 0);
                graphs_[c.graph] = Cut(TakeBackScreen(), 0, 0, graph->width, graph->height, key_);
                return;
            }
            case ApiDrawKind::kText: {
                const auto id = std::make_tuple(r.text, c.x1, c.y1, c.color);
                if (texts_.count(id) != 0) return;
                // Drawn on black: every pixel that is not black is the text's.
                ApiClearDrawTarget();
                ApiDrawTextFormatted(c.x1, c.y1, c.color, "%s", r.text.c_str());
                const ScreenPicture screen = TakeBackScreen();
                const RECT ink = InkBounds(screen);
                texts_[id] = Cut(screen, ink.left, ink.top, std::max<int>(ink.right - ink.left, 0),
                                 std::max<int>(ink.bottom - ink.top, 0), 0);
                return;
            }
            default: return;
        }
    }

    static Picture Cut(const ScreenPicture& screen, int left, int top, int width, int height, std::uint32_t key) {
        Picture p;
        p.x = left;
        p.y = top;
        p.width = std::min(width, screen.width - left);
        p.height = std::min(height, screen.height - top);
        p.key = key;
        if (p.width <= 0 || p.height <= 0) return Picture{};
        p.pixels.resize(static_cast<std::size_t>(p.width) * p.height);
        for (int y = 0; y < p.height; ++y)
            std::memcpy(p.pixels.data() + static_cast<std::size_t>(y) * p.width,
                        screen.pixels.data() + static_cast<std::size_t>(top + y) * screen.width + left,
                        static_cast<std::size_t>(p.width) * 2);
        return p;
    }

    // The surface for a way of drawing, made on its first use.
    SDL_Surface* SurfaceFor(const Way& way) {
        auto it = surfaces_.find(way);
        if (it != surfaces_.end()) return it->second;
        const Picture& p = *way.picture;
        SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, p.width, p.height, 16, SDL_PIXELFORMAT_RGB565);
        if (s != nullptr) {
            for (int y = 0; y < p.height; ++y) {
                auto* row = reinterpret_cast<std::uint16_t*>(static_cast<std::uint8_t*>(s->pixels) + y * s->pitch);
                const std::uint16_t* from = p.pixels.data() + static_cast<std::size_t>(way.flipY ? p.height - 1 - y : y) * p.width;
                for (int x = 0; x < p.width; ++x) row[x] = from[way.flipX ? p.width - 1 - x : x];
            }
            if (way.keyed) SDL_SetColorKey(s, SDL_TRUE, p.key);
            SDL_SetSurfaceBlendMode(s, way.blend);
            // Set now so that the per-draw values later change no flags.
            SDL_SetSurfaceAlphaMod(s, way.alphaMod ? 128 : 255);
            if (way.colourMod) SDL_SetSurfaceColorMod(s, 128, 128, 128);
            SDL_SetSurfaceRLE(s, 1);
        }
        surfaces_[way] = s;
        return s;
    }

    // Draws `picture` onto `to` (null: at its own place, unscaled) the way
    // the current state and the call's mirroring say.
    void DrawPicture(const Picture& picture, bool keyed, bool flipX, bool flipY, const SDL_Rect* to) {
        if (picture.pixels.empty()) return;
        SDL_BlendMode blend = SDL_BLENDMODE_NONE;
        switch (blendMode_) {
            case kBlendAlpha: blend = SDL_BLENDMODE_BLEND; break;
            case kBlendAdd: blend = SDL_BLENDMODE_ADD; break;
            case kBlendMultiply: blend = SDL_BLENDMODE_MOD; break;
            case kBlendSubtract: ++unmatched_; return;
            default: break;
        }
        const bool alphaMod = (blend == SDL_BLENDMODE_BLEND || blend == SDL_BLENDMODE_ADD) && blendParam_ != 255;
        const bool colourMod = bright_ != 0xFFFFFFu;
        const bool scaled = to != nullptr && (to->w != picture.width || to->h != picture.height);
        SDL_Surface* s = SurfaceFor(Way{&picture, keyed, flipX, flipY, blend, alphaMod, colourMod, scaled});
        if (s == nullptr) return;
        if (alphaMod) SDL_SetSurfaceAlphaMod(s, static_cast<Uint8>(blendParam_));
        if (colourMod)
            SDL_SetSurfaceColorMod(s, static_cast<Uint8>(bright_ >> 16), static_cast<Uint8>(bright_ >> 8),
                                   static_cast<Uint8>(bright_));
        SDL_Rect at = to != nullptr ? *to : SDL_Rect{picture.x, picture.y, picture.width, picture.height};
        if (scaled)
            SDL_BlitScaled(s, nullptr, screen_, &at);
        else
            SDL_BlitSurface(s, nullptr, screen_, &at);
    }

    void Box(const SDL_Rect& rect, ColorCode colour) {
        if (blendMode_ == kBlendNone) {
            SDL_FillRect(screen_, &rect, colour);
            return;
        }
        if (blendMode_ != kBlendAlpha && blendMode_ != kBlendAdd) {
            ++unmatched_;
            return;
        }
        const auto r = static_cast<Uint8>((colour >> 11 & 0x1F) << 3), g = static_cast<Uint8>((colour >> 5 & 0x3F) << 2),
                   b = static_cast<Uint8>((colour & 0x1F) << 3);
        SDL_SetRenderDrawBlendMode(boxes_, blendMode_ == kBlendAlpha ? SDL_BLENDMODE_BLEND : SDL_BLENDMODE_ADD);
        SDL_SetRenderDrawColor(boxes_, r, g, b, static_cast<Uint8>(blendParam_));
        SDL_RenderFillRect(boxes_, &rect);
        SDL_RenderFlush(boxes_);
    }

    void DrawCall(const RecordedCall& r) {
        const ApiDrawCall& c = r.call;
        switch (c.kind) {
            case ApiDrawKind::kClear: SDL_FillRect(screen_, nullptr, 0); return;
            case ApiDrawKind::kBlendMode:
                blendMode_ = c.flag;
                blendParam_ = std::clamp(c.value, 0, 255);
                return;
            case ApiDrawKind::kBrightColor:
                bright_ = static_cast<std::uint32_t>(std::clamp(c.x1, 0, 255) << 16 | std::clamp(c.y1, 0, 255) << 8 |
                                                     std::clamp(c.x2, 0, 255));
                return;
            case ApiDrawKind::kDrawTarget:
            case ApiDrawKind::kPresent: return;
            case ApiDrawKind::kText: {
                auto it = texts_.find(std::make_tuple(r.text, c.x1, c.y1, c.color));
                if (it != texts_.end()) DrawPicture(it->second, true, false, false, nullptr);
                return;
            }
            case ApiDrawKind::kPaintBox: {
                const int left = std::min(c.x1, c.x2), top = std::min(c.y1, c.y2);
                const int w = std::abs(c.x2 - c.x1), h = std::abs(c.y2 - c.y1);
                if (c.flag != 0) {
                    Box(SDL_Rect{left, top, w, h}, c.color);
                } else {
                    Box(SDL_Rect{left, top, w, 1}, c.color);
                    Box(SDL_Rect{left, top + h - 1, w, 1}, c.color);
                    Box(SDL_Rect{left, top + 1, 1, h - 2}, c.color);
                    Box(SDL_Rect{left + w - 1, top + 1, 1, h - 2}, c.color);
                }
                return;
            }
            default: break;
        }
        auto it = graphs_.find(c.graph);
        if (it == graphs_.end()) return;
        const Picture& p = it->second;
        const bool keyed = c.flag != 0;
        switch (c.kind) {
            case ApiDrawKind::kBlit: {
                const SDL_Rect at{c.x1, c.y1, p.width, p.height};
                DrawPicture(p, keyed, false, false, &at);
                return;
            }
            case ApiDrawKind::kMirrorBlit: {
                const SDL_Rect at{c.x1, c.y1, p.width, p.height};
                DrawPicture(p, keyed, true, false, &at);
                return;
            }
            case ApiDrawKind::kStretchBlit: {
                const SDL_Rect at{std::min(c.x1, c.x2), std::min(c.y1, c.y2), std::abs(c.x2 - c.x1), std::abs(c.y2 - c.y1)};
                DrawPicture(p, keyed, c.x1 > c.x2, c.y1 > c.y2, &at);
                return;
            }
            case ApiDrawKind::kRotateBlit: {
                const double turns = std::fmod(std::fabs(c.angle), 2 * M_PI);
                const bool upsideDown = std::fabs(turns - M_PI) < 1e-3;
                if (!upsideDown && turns > 1e-3 && turns < 2 * M_PI - 1e-3) ++unmatched_;
                const int w = static_cast<int>(std::lround(p.width * c.scale));
                const int h = static_cast<int>(std::lround(p.height * c.scale));
                const SDL_Rect at{c.x1 - w / 2, c.y1 - h / 2, w, h};
                DrawPicture(p, keyed, upsideDown != (c.turn != 0), upsideDown, &at);
                return;
            }
            default: return;
        }
    }

    SDL_Surface* screen_ = nullptr;
    SDL_Renderer* boxes_ = nullptr;
    std::uint32_t key_ = 0;
    std::map<int, Picture> graphs_;
    std::map<std::tuple<std::string, int, int, ColorCode>, Picture> texts_;
    std::map<Way, SDL_Surface*> surfaces_;
    int blendMode_ = kBlendNone, blendParam_ = 0;
    std::uint32_t bright_ = 0xFFFFFFu;
    std::int64_t unmatched_ = 0;
};

// The calls of each kind that draw, over `frames`, as benchmark counters
// want them: per frame.
struct DrawCounts {
    double blits = 0, scaled = 0, mirrored = 0, boxes = 0, texts = 0;
};
inline DrawCounts CountDraws(const std::vector<RecordedFrame>& frames) {
    DrawCounts n;
    for (const RecordedFrame& f : frames)
        for (const RecordedCall& r : f) {
            switch (r.call.kind) {
                case ApiDrawKind::kBlit: ++n.blits; break;
                case ApiDrawKind::kMirrorBlit: ++n.mirrored; break;
                case ApiDrawKind::kStretchBlit:
                case ApiDrawKind::kRotateBlit: ++n.scaled; break;
                case ApiDrawKind::kPaintBox: ++n.boxes; break;
                case ApiDrawKind::kText: ++n.texts; break;
                default: break;
            }
        }
    const double count = frames.empty() ? 1.0 : static_cast<double>(frames.size());
    return {n.blits / count, n.scaled / count, n.mirrored / count, n.boxes / count, n.texts / count};
}
