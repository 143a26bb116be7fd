// Textured quads over the runs of their texture's shadow: a span is cut
// where the texel row's runs of clear, opaque and partly clear texels
// begin and end, and each piece is stepped over, copied from the shadow's
// target pixels, blended in one loop (its alpha known), or shaded by the
// passes, by what the states make of its alpha. The pixels are the
// reference pipeline's; the tests prove it.
#include <algorithm>
#include <cstring>

#include "d3d/raster_internal.h"
#include "d3d/texture_shadow.h"

namespace {

// A target whose every bit belongs to a channel: writing back a pixel as
// blending reads it gives the same bits, so a blend that changes nothing
// need not be written.
bool RoundTrips(const PlatformPixelLayout& l) {
    const std::uint64_t all = l.bitsPerPixel >= 32 ? 0xFFFFFFFFull : (1ull << l.bitsPerPixel) - 1;
    return (std::uint64_t{l.redMask} | l.greenMask | l.blueMask | l.alphaMask) == all;
}

// What the states do with a texel whose fragment alpha is `alpha` (-1:
// it differs texel by texel) and whose colour is the texel's own.
RunAction ActionFor(const FastPlan& plan, int alpha, bool roundTrips) {
    if (alpha < 0) return RunAction::Shade;
    if (plan.alphaTest && !plan.alphaPasses[alpha]) return RunAction::Skip;
    switch (plan.blend) {
        case FastBlend::None: return RunAction::Copy;
        case FastBlend::Alpha:
            if (alpha == 255) return RunAction::Copy;
            return alpha == 0 && roundTrips ? RunAction::Skip : RunAction::Shade;
        case FastBlend::Add: return alpha == 0 && roundTrips ? RunAction::Skip : RunAction::Shade;
        default: return RunAction::Shade;
    }
}

// The fragment alpha of a texel of each kind under the plan's alpha source.
int FragmentAlpha(const FastPlan& plan, TexelAlpha kind, std::uint32_t diffuseAlpha) {
    switch (plan.alpha) {
        case FastSource::Diffuse: return static_cast<int>(diffuseAlpha);
        case FastSource::Texel:
            return kind == TexelAlpha::Clear ? 0 : kind == TexelAlpha::Opaque ? 255 : -1;
        default:
            return kind == TexelAlpha::Clear    ? 0
                   : kind == TexelAlpha::Opaque ? static_cast<int>(diffuseAlpha)
                                                : -1;
    }
}

// The shadow pixels of the span's columns [i, j) at `out`.
template <int kBytes>
void CopyPicked(std::uint8_t* out, const std::uint8_t* row, const int* columns, int i, int j) {
    for (int k = i; k < j; ++k)
        std::memcpy(out + static_cast<std::ptrdiff_t>(k) * kBytes, row + static_cast<std::ptrdiff_t>(columns[k]) * kBytes,
                    kBytes);
}

void CopyPicked(int bytes, std::uint8_t* out, const std::uint8_t* row, const int* columns, int i, int j) {
    if (bytes == 2)
        CopyPicked<2>(out, row, columns, i, j);
    else
        CopyPicked<4>(out, row, columns, i, j);
}

// Texels [first, first + count) of a row (or, mirrored, back from first)
// each written to two pixels from `out` on: straight loops the compiler
// runs several texels at a time.
template <int kBytes>
void DoubleForward(std::uint8_t* __restrict out, const std::uint8_t* __restrict in, int count) {
    for (int k = 0; k < count; ++k) {
        std::uint8_t v[kBytes];
        std::memcpy(v, in + static_cast<std::ptrdiff_t>(k) * kBytes, kBytes);
        std::memcpy(out + static_cast<std::ptrdiff_t>(k) * 2 * kBytes, v, kBytes);
        std::memcpy(out + static_cast<std::ptrdiff_t>(k) * 2 * kBytes + kBytes, v, kBytes);
    }
}

template <int kBytes>
void DoubleBackward(std::uint8_t* __restrict out, const std::uint8_t* __restrict in, int count) {
    for (int k = 0; k < count; ++k) {
        std::uint8_t v[kBytes];
        std::memcpy(v, in - static_cast<std::ptrdiff_t>(k) * kBytes, kBytes);
        std::memcpy(out + static_cast<std::ptrdiff_t>(k) * 2 * kBytes, v, kBytes);
        std::memcpy(out + static_cast<std::ptrdiff_t>(k) * 2 * kBytes + kBytes, v, kBytes);
    }
}

// The same as CopyPicked for columns that show each texel twice: a pixel
// alone at each end, and between them every texel written as a pair.
template <int kBytes>
void CopyDoubled(std::uint8_t* out, const std::uint8_t* row, const int* columns, int i, int j, bool increasing) {
    auto one = [&](int k) {
        std::memcpy(out + static_cast<std::ptrdiff_t>(k) * kBytes, row + static_cast<std::ptrdiff_t>(columns[k]) * kBytes,
                    kBytes);
    };
    if (i < j && (i + 1 == j || columns[i + 1] != columns[i])) one(i++);
    const int pairs = (j - i) / 2;
    if (pairs > 0) {
        std::uint8_t* to = out + static_cast<std::ptrdiff_t>(i) * kBytes;
        const std::uint8_t* from = row + static_cast<std::ptrdiff_t>(columns[i]) * kBytes;
        if (increasing)
            DoubleForward<kBytes>(to, from, pairs);
        else
            DoubleBackward<kBytes>(to, from, pairs);
        i += 2 * pairs;
    }
    if (i < j) one(i);
}

}  // namespace

void PrepareRuns(const FastPlan& plan, const RasterPipeline& p, PrimSetup* s) {
    s->overRuns = false;
    if (plan.texel == FastTexel::None || s->columns == nullptr) return;
    const RasterTexture& t = *p.stages[0].texture;
    if (t.shadow == nullptr || !t.shadow->MadeFor(t.layout, p.target.layout)) return;
    // Copies need the texel's own colour; blends of runs of one alpha take
    // it modulated too.
    const std::uint32_t d = s->diffuse;
    const bool texelColor =
        plan.color == FastSource::Texel || (plan.color == FastSource::Modulate && (d & 0xFFFFFF) == 0xFFFFFF);
    const bool blendable = CanBlendRuns(plan);
    if (!texelColor && !blendable) return;
    const bool roundTrips = RoundTrips(p.target.layout);
    for (TexelAlpha kind : {TexelAlpha::Clear, TexelAlpha::Opaque, TexelAlpha::Partial}) {
        const int alpha = FragmentAlpha(plan, kind, d >> 24);
        RunAction a = ActionFor(plan, alpha, roundTrips);
        if (a == RunAction::Copy && !texelColor) a = RunAction::Shade;
        if (a == RunAction::Shade && alpha >= 0 && blendable) a = RunAction::Blend;
        s->runActions[static_cast<int>(kind)] = static_cast<std::uint8_t>(a);
        s->runAlphas[static_cast<int>(kind)] = static_cast<std::uint8_t>(alpha < 0 ? 0 : alpha);
        s->overRuns = s->overRuns || a != RunAction::Shade;
    }
}

namespace {

// Pixels copied between rows: short runs (most of a sprite's) inline.
inline void CopyBytes(std::uint8_t* out, const std::uint8_t* in, std::size_t n) {
    if (n > 64) {
        std::memcpy(out, in, n);
        return;
    }
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        std::uint64_t w;
        std::memcpy(&w, in + i, 8);
        std::memcpy(out + i, &w, 8);
    }
    for (; i < n; i += 2) {
        std::uint16_t w;
        std::memcpy(&w, in + i, 2);
        std::memcpy(out + i, &w, 2);
    }
}

// One quad over its texture's shadow, row by row: the pixels the runs of
// each texel row cover, found from the quad's column table, and what is
// done with each.
class QuadOverRuns {
public:
    QuadOverRuns(const FastPlan& plan, const RasterPipeline& p, const PrimSetup& s)
        : plan_(plan),
          p_(p),
          s_(s),
          n_(s.right - s.left),
          columns_(s.columns),
          shadow_(*p.stages[0].texture->shadow),
          bytes_(p.target.layout.BytesPerPixel()) {
        increasing_ = columns_[n_ - 1] >= columns_[0];
        low_ = increasing_ ? columns_[0] : columns_[n_ - 1];
        high_ = increasing_ ? columns_[n_ - 1] : columns_[0];
        clearSkipped_ = Action(TexelAlpha::Clear) == RunAction::Skip;
        keyedCopy_ = clearSkipped_ && s.columnsRun && Action(TexelAlpha::Opaque) == RunAction::Copy;
        allCopied_ = Action(TexelAlpha::Clear) == RunAction::Copy && Action(TexelAlpha::Opaque) == RunAction::Copy &&
                     Action(TexelAlpha::Partial) == RunAction::Copy;
    }

    void Draw() {
        const RasterTarget& t = p_.target;
        for (int y = s_.top; y < s_.bottom; ++y) {
            y_ = y;
            ty_ = s_.rows[y - s_.top];
            row_ = shadow_.Row(ty_);
            out_ = t.bits + static_cast<std::ptrdiff_t>(y) * t.pitch + static_cast<std::ptrdiff_t>(s_.left) * bytes_;
            DrawRow();
        }
    }

private:
    RunAction Action(TexelAlpha kind) const { return static_cast<RunAction>(s_.runActions[static_cast<int>(kind)]); }

    void DrawRow() {
        if (allCopied_) {
            // Every texel is copied: the row as one run.
            Copy(0, n_);
            return;
        }
        const TexelRun* first = clearSkipped_ ? shadow_.SolidBegin(ty_) : shadow_.RunsBegin(ty_);
        const TexelRun* last = clearSkipped_ ? shadow_.SolidEnd(ty_) : shadow_.RunsEnd(ty_);
        // The runs that reach into the quad's columns [low, high].
        const TexelRun* from = first;
        if (from != last && from->end <= low_)
            from = std::partition_point(from, last, [&](const TexelRun& r) { return r.end <= low_; });
        if (keyedCopy_) {
            // A keyed sprite drawn 1:1: its opaque runs copied.
            const int c0 = columns_[0];
            for (const TexelRun* r = from; r != last && r->start <= high_; ++r) {
                if (r->alpha == TexelAlpha::Partial) {
                    Run(*r, true);
                    continue;
                }
                const int i = std::max(r->start - c0, 0), j = std::min(r->end - c0, n_);
                CopyBytes(out_ + static_cast<std::ptrdiff_t>(i) * bytes_, row_ + static_cast<std::ptrdiff_t>(c0 + i) * bytes_,
                          static_cast<std::size_t>(j - i) * static_cast<std::size_t>(bytes_));
            }
            return;
        }
        const TexelRun* to = std::partition_point(from, last, [&](const TexelRun& r) { return r.start <= high_; });
        if (increasing_) {
            for (const TexelRun* r = from; r != to; ++r) Run(*r, clearSkipped_);
        } else {
            for (const TexelRun* r = to; r != from;) Run(*--r, clearSkipped_);
        }
    }

    // The quad's pixels [i, j) whose columns lie in [start, end).
    void PixelsOf(int start, int end, int* i, int* j) const {
        const int* c = columns_;
        if (s_.columnsRun) {
            *i = std::max(start - c[0], 0);
            *j = std::min(end - c[0], n_);
        } else {
            // Through the pixel of every column the quad shows.
            const int* of = s_.pixelOfColumn - s_.lowColumn;
            start = std::clamp(start, low_, high_ + 1);
            end = std::clamp(end, low_, high_ + 1);
            *i = increasing_ ? of[start] : of[end];
            *j = increasing_ ? of[end] : of[start];
        }
    }

    void Run(const TexelRun& r, bool solid) {
        if (solid && r.alpha == TexelAlpha::Partial) {
            // A solid run with partly clear texels: its exact runs.
            const TexelRun* first = shadow_.RunsBegin(ty_);
            const TexelRun* last = shadow_.RunsEnd(ty_);
            const TexelRun* from = std::partition_point(first, last, [&](const TexelRun& e) { return e.end <= r.start; });
            const TexelRun* to = std::partition_point(from, last, [&](const TexelRun& e) { return e.start < r.end; });
            if (increasing_) {
                for (const TexelRun* e = from; e != to; ++e) Run(*e, false);
            } else {
                for (const TexelRun* e = to; e != from;) Run(*--e, false);
            }
            return;
        }
        int i = 0, j = 0;
        PixelsOf(r.start, r.end, &i, &j);
        if (i >= j) return;
        switch (Action(r.alpha)) {
            case RunAction::Skip: break;
            case RunAction::Copy: Copy(i, j); break;
            case RunAction::Blend:
                BlendQuadRun(plan_, p_, s_, y_, i, j, s_.runAlphas[static_cast<int>(r.alpha)]);
                break;
            case RunAction::Shade: ShadeSpanPasses(plan_, p_, s_, y_, s_.left + i, s_.left + j); break;
        }
    }

    // The shadow pixels of the quad's pixels [i, j) of the row.
    void Copy(int i, int j) {
        if (s_.columnsRun)
            CopyBytes(out_ + static_cast<std::ptrdiff_t>(i) * bytes_, row_ + static_cast<std::ptrdiff_t>(columns_[i]) * bytes_,
                      static_cast<std::size_t>(j - i) * static_cast<std::size_t>(bytes_));
        else if (s_.columnsDoubled && bytes_ == 2)
            CopyDoubled<2>(out_, row_, columns_, i, j, increasing_);
        else if (s_.columnsDoubled)
            CopyDoubled<4>(out_, row_, columns_, i, j, increasing_);
        else
            CopyPicked(bytes_, out_, row_, columns_, i, j);
    }

    const FastPlan& plan_;
    const RasterPipeline& p_;
    const PrimSetup& s_;
    const int n_;
    const int* columns_;
    const TextureShadow& shadow_;
    const int bytes_;
    bool increasing_, clearSkipped_, keyedCopy_, allCopied_;
    int low_, high_;
    // The row being drawn.
    int y_ = 0, ty_ = 0;
    const std::uint8_t* row_ = nullptr;
    std::uint8_t* out_ = nullptr;
};

}  // namespace

void DrawQuadOverRuns(const FastPlan& plan, const RasterPipeline& p, const PrimSetup& s) {
    QuadOverRuns(plan, p, s).Draw();
}
