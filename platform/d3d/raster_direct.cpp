// The straight loops under the fast spans, for what the framework draws most:
// textured quads whose texels go to the target unchanged (copies at 1:1 and
// stretched, keyed by the alpha test) and untextured fills. A texel becomes a
// pixel through one table look-up, the columns of a quad are worked out once
// per draw, and a 1:1 copy between matching layouts is a row copy. They give
// the reference pipeline's pixels exactly; the tests prove it.
#include <algorithm>
#include <map>
#include <memory>
#include <mutex>
#include <tuple>

#include "d3d/raster_internal.h"

namespace {

constexpr PlatformPixelLayout kLayoutA1R5G5B5{16, 0x7C00, 0x03E0, 0x001F, 0x8000};

struct ConvertTable {
    std::unique_ptr<std::uint32_t[]> values;
    bool isCopy = false;
};

std::uint16_t Raw16(const std::uint8_t* p) {
    std::uint16_t raw;
    std::memcpy(&raw, p, 2);
    return raw;
}

// Texels of one texture row to the target, through the column table (or
// one by one from its first column when kRun); kTest keeps the pixel under
// a texel whose alpha fails the test. Written without branches per pixel:
// keyed sprites mix kept and dropped texels at random.
template <FastTarget kTarget, bool kTest, bool kRun>
void CopyTexels(const FastPlan& plan, const std::uint32_t* decode, const std::uint8_t* row, const int* columns,
                std::uint8_t* out, int n) {
    constexpr int kBytes = kTarget == FastTarget::X8R8G8B8 ? 4 : 2;
    const std::uint8_t* run = row + static_cast<std::ptrdiff_t>(columns[0]) * 2;
    for (int i = 0; i < n; ++i, out += kBytes) {
        const std::uint16_t raw = Raw16(kRun ? run + static_cast<std::ptrdiff_t>(i) * 2
                                             : row + static_cast<std::ptrdiff_t>(columns[i]) * 2);
        std::uint32_t pixel = plan.convert[raw];
        if constexpr (kTest) {
            std::uint32_t old;
            if constexpr (kBytes == 4) {
                std::memcpy(&old, out, 4);
            } else {
                old = Raw16(out);
            }
            pixel = plan.alphaPasses[decode[raw] >> 24] ? pixel : old;
        }
        Store<kTarget>(out, pixel);
    }
}

// The same for the pair the game draws most, A1R5G5B5 texels onto an
// R5G6B5 target, in arithmetic: red and blue keep their bits, green widens
// to eight bits and is cut to six as the table does, and the alpha bit
// picks one of the test's two answers.
std::uint16_t A1R5G5B5To565(std::uint16_t raw) {
    const std::uint16_t g = static_cast<std::uint16_t>(raw >> 5 & 31);
    return static_cast<std::uint16_t>((raw & 0x7C00) << 1 | (g << 1 | g >> 4) << 5 | (raw & 0x001F));
}

struct KeyBits {
    std::uint16_t opaque, clear;  // 0xFFFF where the test keeps texels of that alpha

    explicit KeyBits(const FastPlan& plan)
        : opaque(plan.alphaPasses[255] ? 0xFFFF : 0), clear(plan.alphaPasses[0] ? 0xFFFF : 0) {}
    std::uint16_t Pick(std::uint16_t raw, std::uint16_t under) const {
        const std::uint16_t isOpaque = static_cast<std::uint16_t>(0 - (raw >> 15));
        const std::uint16_t keep = static_cast<std::uint16_t>((opaque & isOpaque) | (clear & ~isOpaque));
        return static_cast<std::uint16_t>((A1R5G5B5To565(raw) & keep) | (under & ~keep));
    }
};

template <bool kTest, bool kRun>
void CopyA1R5G5B5To565(const FastPlan& plan, const std::uint8_t* row, const int* columns, std::uint8_t* out, int n) {
    const std::uint8_t* run = row + static_cast<std::ptrdiff_t>(columns[0]) * 2;
    const KeyBits key(plan);
    for (int i = 0; i < n; ++i) {
        const std::uint16_t raw = Raw16(kRun ? run + static_cast<std::ptrdiff_t>(i) * 2
                                             : row + static_cast<std::ptrdiff_t>(columns[i]) * 2);
        const std::uint16_t pixel = kTest ? key.Pick(raw, Raw16(out + 2 * i)) : A1R5G5B5To565(raw);
        std::memcpy(out + 2 * i, &pixel, 2);
    }
}

// Keyed 1:1 rows, eight texels at a time: a block the test drops whole is
// skipped and one it keeps whole is written without reading the target
// (keyed sprites are mostly such blocks); mixed blocks pick texel by texel.
void CopyKeyedRunA1R5G5B5To565(const FastPlan& plan, const std::uint8_t* src, std::uint8_t* out, int n) {
    constexpr std::uint64_t kAlphaBits = 0x8000800080008000ull;
    const KeyBits key(plan);
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        std::uint64_t a, b;
        std::memcpy(&a, src + 2 * i, 8);
        std::memcpy(&b, src + 2 * i + 8, 8);
        const std::uint64_t any = (a | b) & kAlphaBits, all = a & b & kAlphaBits;
        std::uint16_t texels[8], pixels[8];
        std::memcpy(texels, src + 2 * i, sizeof texels);
        if (any == 0 || all == kAlphaBits) {
            if ((all != 0 ? key.opaque : key.clear) == 0) continue;
            for (int k = 0; k < 8; ++k) pixels[k] = A1R5G5B5To565(texels[k]);
        } else {
            std::uint16_t under[8];
            std::memcpy(under, out + 2 * i, sizeof under);
            for (int k = 0; k < 8; ++k) pixels[k] = key.Pick(texels[k], under[k]);
        }
        std::memcpy(out + 2 * i, pixels, sizeof pixels);
    }
    for (; i < n; ++i) {
        const std::uint16_t pixel = key.Pick(Raw16(src + 2 * i), Raw16(out + 2 * i));
        std::memcpy(out + 2 * i, &pixel, 2);
    }
}

template <FastTarget kTarget>
void CopyTexelsFor(bool test, bool run, const FastPlan& plan, const std::uint32_t* decode, const std::uint8_t* row,
                   const int* columns, std::uint8_t* out, int n) {
    if (test)
        run ? CopyTexels<kTarget, true, true>(plan, decode, row, columns, out, n)
            : CopyTexels<kTarget, true, false>(plan, decode, row, columns, out, n);
    else
        run ? CopyTexels<kTarget, false, true>(plan, decode, row, columns, out, n)
            : CopyTexels<kTarget, false, false>(plan, decode, row, columns, out, n);
}

void CopyA1R5G5B5To565For(bool test, bool run, const FastPlan& plan, const std::uint8_t* row, const int* columns,
                          std::uint8_t* out, int n) {
    if (test && run)
        CopyKeyedRunA1R5G5B5To565(plan, row + static_cast<std::ptrdiff_t>(columns[0]) * 2, out, n);
    else if (test)
        CopyA1R5G5B5To565<true, false>(plan, row, columns, out, n);
    else
        run ? CopyA1R5G5B5To565<false, true>(plan, row, columns, out, n)
            : CopyA1R5G5B5To565<false, false>(plan, row, columns, out, n);
}

template <FastTarget kTarget>
void FillRow(std::uint8_t* out, std::uint32_t color, int n) {
    constexpr int kBytes = kTarget == FastTarget::X8R8G8B8 ? 4 : 2;
    const std::uint32_t value = Encode<kTarget>(color);
    for (int i = 0; i < n; ++i, out += kBytes) Store<kTarget>(out, value);
}

// A textured quad's span whose colour is the texel's own: 16-bit texels,
// no blend, and an alpha that is the texel's or fixed for the primitive.
bool CopySpan(const FastPlan& plan, const RasterPipeline& p, const PrimSetup& s, int y, int x0, int n,
              std::uint8_t* out) {
    if (!IsTexel16(plan.texel) || s.columns == nullptr || plan.convert == nullptr) return false;
    const std::uint32_t d = s.diffuse;
    const bool colorIsTexel =
        plan.color == FastSource::Texel || (plan.color == FastSource::Modulate && (d & 0xFFFFFF) == 0xFFFFFF);
    if (!colorIsTexel) return false;
    bool test = plan.alphaTest;
    if (test && plan.alpha == FastSource::Diffuse) {
        if (!plan.alphaPasses[d >> 24]) return true;
        test = false;
    } else if (test && plan.alpha == FastSource::Modulate && (d >> 24) != 255) {
        return false;
    }
    const RasterTexture& t = *p.stages[0].texture;
    const std::uint8_t* row = t.bits + static_cast<std::ptrdiff_t>(s.rows[y - s.top]) * t.pitch;
    const int* columns = s.columns + (x0 - s.left);
    if (!test && s.columnsRun && plan.convertIsCopy && plan.target != FastTarget::X8R8G8B8) {
        std::memcpy(out, row + static_cast<std::ptrdiff_t>(columns[0]) * 2, static_cast<std::size_t>(n) * 2);
        return true;
    }
    if (plan.target == FastTarget::R5G6B5 && t.layout == kLayoutA1R5G5B5) {
        CopyA1R5G5B5To565For(test, s.columnsRun, plan, row, columns, out, n);
        return true;
    }
    switch (plan.target) {
        case FastTarget::R5G6B5:
            CopyTexelsFor<FastTarget::R5G6B5>(test, s.columnsRun, plan, t.decode16, row, columns, out, n);
            break;
        case FastTarget::X1R5G5B5:
            CopyTexelsFor<FastTarget::X1R5G5B5>(test, s.columnsRun, plan, t.decode16, row, columns, out, n);
            break;
        default:
            CopyTexelsFor<FastTarget::X8R8G8B8>(test, s.columnsRun, plan, t.decode16, row, columns, out, n);
            break;
    }
    return true;
}

}  // namespace

const std::uint32_t* ConvertTable16(const PlatformPixelLayout& texture, const PlatformPixelLayout& target,
                                    bool* isCopy) {
    thread_local PlatformPixelLayout lastTexture{}, lastTarget{};
    thread_local const ConvertTable* last = nullptr;
    if (last != nullptr && texture == lastTexture && target == lastTarget) {
        *isCopy = last->isCopy;
        return last->values.get();
    }
    static std::mutex mutex;
    static std::map<std::tuple<int, DWORD, DWORD, DWORD, DWORD, int, DWORD, DWORD, DWORD, DWORD>, ConvertTable> tables;
    const std::uint32_t* decode = DecodeTable16(texture);
    if (decode == nullptr) return nullptr;
    std::lock_guard lock(mutex);
    ConvertTable& table =
        tables[{texture.bitsPerPixel, texture.redMask, texture.greenMask, texture.blueMask, texture.alphaMask,
                target.bitsPerPixel, target.redMask, target.greenMask, target.blueMask, target.alphaMask}];
    if (!table.values) {
        table.values = std::make_unique<std::uint32_t[]>(65536);
        table.isCopy = target.bitsPerPixel == 16;
        for (std::uint32_t raw = 0; raw < 65536; ++raw) {
            table.values[raw] = EncodePixel(target, decode[raw]);
            if (table.values[raw] != raw) table.isCopy = false;
        }
    }
    lastTexture = texture;
    lastTarget = target;
    last = &table;
    *isCopy = table.isCopy;
    return table.values.get();
}

void PrepareColumns(const FastPlan& plan, const RasterPipeline& p, std::vector<PrimSetup>* setups,
                    std::vector<int>* store) {
    if (plan.texel == FastTexel::None) return;
    const int width = p.stages[0].texture->width, height = p.stages[0].texture->height;
    std::size_t total = 0;
    for (const PrimSetup& s : *setups)
        if (s.kind == PrimKind::Quad)
            total += static_cast<std::size_t>(s.right - s.left + s.bottom - s.top) + static_cast<std::size_t>(width) + 1;
    // Only ever grown: what it held before is overwritten, never read.
    if (store->size() < total) store->resize(total);
    int* next = store->data();
    for (PrimSetup& s : *setups) {
        if (s.kind != PrimKind::Quad) continue;
        // u of a quad follows x alone and v follows y alone (their other
        // slopes are zero), so one row gives the columns of every row and
        // one column the rows of every column.
        const Plane u = s.u[plan.texCoordSet];
        const int n = s.right - s.left, left = s.left, top = s.top;
        for (int i = 0; i < n; ++i) next[i] = TexelIndexClamped(u.At(left + i, top), width);
        int breaks = 0;
        for (int i = 1; i < n; ++i) breaks += next[i] != next[i - 1] + 1;
        s.columns = next;
        s.columnsRun = breaks == 0;
        next += n;
        if (!s.columnsRun) {
            const int* c = s.columns;
            const bool increasing = c[n - 1] >= c[0];
            const int low = increasing ? c[0] : c[n - 1], high = increasing ? c[n - 1] : c[0];
            int i = 0;
            if (increasing) {
                // The first pixel showing the column or one above it.
                for (int column = low; column <= high + 1; ++column) {
                    while (i < n && c[i] < column) ++i;
                    next[column - low] = i;
                }
            } else {
                // Mirrored: the first pixel showing a column below it.
                for (int column = high + 1; column >= low; --column) {
                    while (i < n && c[i] >= column) ++i;
                    next[column - low] = i;
                }
            }
            s.pixelOfColumn = next;
            s.lowColumn = low;
            next += high + 2 - low;
            // Twice over: pixel i shows texel c[0] +- (i + phase) / 2.
            const int phase = n > 1 && c[1] != c[0] ? 1 : 0, step = increasing ? 1 : -1;
            int off = 0;
            for (int k = 0; k < n; ++k) off += c[k] != c[0] + step * ((k + phase) >> 1);
            s.columnsDoubled = n > 1 && off == 0;
        }
        const Plane v = s.v[plan.texCoordSet];
        const int rows = s.bottom - s.top;
        for (int i = 0; i < rows; ++i) next[i] = TexelIndexClamped(v.At(left, top + i), height);
        s.rows = next;
        next += rows;
        PrepareRuns(plan, p, &s);
    }
}

bool ShadeSpanDirect(const FastPlan& plan, const RasterPipeline& p, const PrimSetup& s, int y, int x0, int x1) {
    if (plan.blend != FastBlend::None) return false;
    const RasterTarget& t = p.target;
    std::uint8_t* out = t.bits + static_cast<std::ptrdiff_t>(y) * t.pitch +
                        static_cast<std::ptrdiff_t>(x0) * t.layout.BytesPerPixel();
    const int n = x1 - x0;
    if (plan.texel != FastTexel::None) return CopySpan(plan, p, s, y, x0, n, out);
    // Without a texture the colour and alpha are the primitive's own.
    if (plan.alphaTest && !plan.alphaPasses[s.diffuse >> 24]) return true;
    switch (plan.target) {
        case FastTarget::R5G6B5: FillRow<FastTarget::R5G6B5>(out, s.diffuse, n); break;
        case FastTarget::X1R5G5B5: FillRow<FastTarget::X1R5G5B5>(out, s.diffuse, n); break;
        default: FillRow<FastTarget::X8R8G8B8>(out, s.diffuse, n); break;
    }
    return true;
}
