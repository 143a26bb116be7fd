// Drawing text: the entry that checks the font and the draw state, the walk
// through a text's glyphs that measuring and drawing share, and the writing
// of glyphs from the memory cache into a work buffer.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>

#include "core/fatal_error.h"
#include "core/log.h"
#include "graphics/d3d/direct3d.h"
#include "graphics/device/screen_device.h"
#include "graphics/draw/draw_frame.h"
#include "graphics/draw/draw_ops.h"
#include "graphics/draw/draw_state.h"
#include "graphics/draw/graph_record.h"
#include "graphics/draw/mask.h"
#include "graphics/image/color_format.h"
#include "graphics/text/font.h"
#include "graphics/text/text_pixels.h"
#include "window/window.h"

namespace {

// Characters are taken from a text this many at a time, so a text of any
// length needs no more room than this.
constexpr int kTextChunk = 256;

constexpr std::uint16_t kFullWidthSpace = 0x8140;

// Calls visit(slot, code, pen x) for every character of the text with its
// glyph in the cache, the pen starting at 0 and moving on by each advance
// and the letter gap. A glyph evicted by the text's own earlier characters
// is rendered again on its own.
// With a list, the glyphs are also kept in it as they are placed.
template <typename Visit>
void WalkText(FontRecord* font, const char* text, Visit visit, TextGlyphList* list = nullptr) {
    // Most texts are a few single-byte characters, all cached: their codes
    // are their bytes and nothing needs rendering, so they are placed
    // straight from the text, as the split below would place them.
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text);
    int quick = 0;
    while (quick < TextGlyphList::kCapacity && bytes[quick] != 0 &&
           !IsDoubleByteLead(bytes[quick], font->charSetKind) && font->codes[bytes[quick]].cached)
        ++quick;
    if (bytes[quick] == 0) {
        font->cacheHits += static_cast<std::uint32_t>(quick);
        long pen = 0;
        for (int i = 0; i < quick; ++i) {
            const FontGlyphSlot* slot = font->codes[bytes[i]].slot;
            if (list != nullptr) list->glyphs[i] = TextGlyphList::Placed{slot, bytes[i], pen};
            visit(*slot, bytes[i], pen);
            pen += slot->advance + font->letterGap;
        }
        if (list != nullptr) {
            list->count = quick;
            list->complete = true;
        }
        return;
    }
    std::uint16_t codes[kTextChunk];
    long pen = 0;
    bool complete = true;
    int kept = 0;
    while (*text != '\0') {
        int count = 0, used = 0;
        if (PrepareTextGlyphs(font, text, -1, codes, kTextChunk, &count, &used) < 0 || used == 0) break;
        for (int i = 0; i < count; ++i) {
            FontCodeEntry* entry = &font->codes[codes[i]];
            if (!entry->cached) {
                complete = false;
                if (RenderGlyphsToCache(font, 1, &codes[i]) == nullptr) FatalError("テキストキャッシュの作成に失敗しました");
            }
            const FontGlyphSlot* slot = entry->slot;
            if (list != nullptr && kept < TextGlyphList::kCapacity)
                list->glyphs[kept++] = TextGlyphList::Placed{slot, codes[i], pen};
            else
                complete = false;
            visit(*slot, codes[i], pen);
            pen += slot->advance + font->letterGap;
        }
        text += used;
    }
    if (list != nullptr) {
        list->count = kept;
        list->complete = complete && *text == '\0';
    }
}

bool Drawn(const FontGlyphSlot& slot, std::uint16_t code) {
    return code != ' ' && code != kFullWidthSpace && slot.blackBoxWidth > 0 && slot.blackBoxHeight > 0;
}

std::uint32_t ReadAt(const std::uint8_t* p, int bytes) {
    switch (bytes) {
        case 1: return *p;
        case 2: return static_cast<std::uint32_t>(p[0] | p[1] << 8);
        default: return static_cast<std::uint32_t>(p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24);
    }
}

void WriteAt(std::uint8_t* p, int bytes, std::uint32_t v) {
    switch (bytes) {
        case 1: *p = static_cast<std::uint8_t>(v); break;
        case 2: {
            const std::uint16_t w = static_cast<std::uint16_t>(v);
            std::memcpy(p, &w, 2);
            break;
        }
        default: std::memcpy(p, &v, 4); break;
    }
}

// The value a cell pixel asks for: 0 uncovered, else the pixel to write
// (over `under`, which grey levels without alpha blend with).
struct CellPixel {
    bool covered;
    std::uint32_t value;
};

CellPixel PixelOf(const FontRecord& font, const std::uint8_t* cellRow, int cx, std::uint32_t text,
                  std::uint32_t edge, const ColorFormatDesc& f, std::uint32_t under) {
    if (font.cacheBitsPerPixel == 1) {
        const bool on = ((cellRow[cx >> 3] >> (7 - (cx & 7))) & 1) != 0;
        return CellPixel{on, f.alphaMask != 0 ? (text | f.alphaMask) : text};
    }
    const int v = cellRow[cx];
    if (v == 0) return CellPixel{false, 0};
    switch (font.fontType) {
        case kFontTypeEdge: {
            const std::uint32_t c = v == 1 ? text : edge;
            return CellPixel{true, f.alphaMask != 0 ? (c | f.alphaMask) : c};
        }
        case kFontTypeAntialias:
            return CellPixel{true, TextWorkPixel(f, GreyGlyphCoverage(v & 0x0F, text), under)};
        default:
            return CellPixel{true, TextWorkPixel(f, EdgedGreyGlyphCoverage(f, v & 0x0F, v >> 4, text, edge), under)};
    }
}

bool g_monoFastPath = true;

// Eight 5:6:5 pixels, and for each byte of glyph bits the lanes its set
// bits cover (the byte's top bit is the leftmost pixel).
typedef std::uint16_t Pixels16x8 __attribute__((vector_size(16)));
struct GlyphByteLanes {
    std::uint16_t lanes[256][8];
    constexpr GlyphByteLanes() : lanes{} {
        for (int b = 0; b < 256; ++b)
            for (int k = 0; k < 8; ++k) lanes[b][k] = (b >> (7 - k) & 1) != 0 ? 0xFFFF : 0;
    }
};
constexpr GlyphByteLanes kGlyphByteLanes;

// The text colour into the eight pixels at `out` that the bits cover.
inline void WriteGlyphByte(std::uint16_t* out, unsigned bits, std::uint16_t text) {
    Pixels16x8 v;
    const Pixels16x8 colour = Pixels16x8{} + text;
    if (bits == 0xFF) {
        v = colour;
    } else {
        Pixels16x8 covered;
        std::memcpy(&covered, kGlyphByteLanes.lanes[bits], sizeof covered);
        std::memcpy(&v, out, sizeof v);
        v = (v & ~covered) | (colour & covered);
    }
    std::memcpy(out, &v, sizeof v);
}

// Rows of a glyph whose bytes of bits all lie inside the clip, onto 2-byte
// pixels kept under it. Every byte is merged whether or not a bit of it is
// set (an empty one writes back what was there), so the loop does not branch
// on the glyph's shape.
// `masks` holds the mask of the glyph's columns for byte k of a row in its
// bits 8k to 8k + 7, kept in a register.
template <int Columns>
void MergeMonoRows16(const std::uint8_t* bits, int cellPitch, std::uint8_t* out, std::ptrdiff_t pitch, int rows,
                     std::uint32_t masks, std::uint16_t text) {
    const Pixels16x8 colour = Pixels16x8{} + text;
    for (int r = 0; r < rows; ++r, bits += cellPitch, out += pitch)
        for (int k = 0; k < Columns; ++k) {
            Pixels16x8 covered, v;
            std::memcpy(&covered, kGlyphByteLanes.lanes[bits[k] & (masks >> (8 * k))], sizeof covered);
            std::memcpy(&v, out + k * sizeof v, sizeof v);
            v = (v & ~covered) | (colour & covered);
            std::memcpy(out + k * sizeof v, &v, sizeof v);
        }
}

// The same for 1 to 4 bytes of bits a row.
inline void MergeMonoRows16(int columns, const std::uint8_t* bits, int cellPitch, std::uint8_t* out,
                            std::ptrdiff_t pitch, int rows, std::uint32_t masks, std::uint16_t text) {
    switch (columns) {
        case 1: return MergeMonoRows16<1>(bits, cellPitch, out, pitch, rows, masks, text);
        case 2: return MergeMonoRows16<2>(bits, cellPitch, out, pitch, rows, masks, text);
        case 3: return MergeMonoRows16<3>(bits, cellPitch, out, pitch, rows, masks, text);
        default: return MergeMonoRows16<4>(bits, cellPitch, out, pitch, rows, masks, text);
    }
}

// 1-bit glyphs onto 2- or 4-byte pixels: byte by byte of the cell row, the
// text colour at each set bit inside the clip (the rest of the row cleared
// first unless the background is kept). Eight 2-byte pixels are merged at
// once when they all lie inside the clip, the pixels outside the glyph's
// columns written back as they were.
template <typename Pixel>
void DrawMonoRows(const std::uint8_t* cell, int cellPitch, int gx, int gy, int x0, int y0, int x1, int y1,
                  Pixel text, const TextWorkTarget& work, const RECT& clip) {
    const int first = x0 - gx, end = x1 - gx;  // cell columns [first, end)
    const long inLeft = clip.left - long{gx}, inRight = clip.right - long{gx};  // the clip, in cell columns
    // Locals: the pixel stores could otherwise be taken to change them.
    std::uint8_t* const pixels = work.pixels;
    const std::ptrdiff_t pitch = work.pitch;
    const bool keep = work.keepBackground != 0;
    if constexpr (sizeof(Pixel) == 2) {
        // Every byte of the glyph's columns lies inside the clip (so it is
        // for most glyphs): each byte's mask is worked out once, and each
        // row is a few whole merges.
        constexpr int kMaxColumns = 4;
        const int startColumn = first >> 3, columns = ((end + 7) >> 3) - startColumn;
        if (columns <= kMaxColumns && startColumn * 8 >= inLeft && (startColumn + columns) * 8 <= inRight) {
            std::uint32_t masks = 0;  // byte k for column k, as MergeMonoRows16 takes them
            for (int k = 0; k < columns; ++k) {
                const int at = (startColumn + k) * 8;
                unsigned m = 0xFFu;
                if (at < first) m &= 0xFFu >> (first - at);
                if (at + 8 > end) m &= (0xFFu << (at + 8 - end)) & 0xFFu;
                masks |= m << (8 * k);
            }
            if (keep) {
                const std::uint8_t* bits = cell + static_cast<std::ptrdiff_t>(y0 - gy) * cellPitch + startColumn;
                std::uint8_t* out = pixels + y0 * pitch + (static_cast<std::ptrdiff_t>(gx) + startColumn * 8) * 2;
                return MergeMonoRows16(columns, bits, cellPitch, out, pitch, y1 - y0, masks, text);
            }
            for (int y = y0; y < y1; ++y) {
                const std::uint8_t* bits = cell + static_cast<std::ptrdiff_t>(y - gy) * cellPitch + startColumn;
                Pixel* out = reinterpret_cast<Pixel*>(pixels + y * pitch) + gx;
                if (!keep) std::fill(out + first, out + end, Pixel{0});
                out += startColumn * 8;
                for (int k = 0; k < columns; ++k)
                    if (const unsigned b = bits[k] & (masks >> (8 * k)); b != 0) WriteGlyphByte(out + k * 8, b, text);
            }
            return;
        }
    }
    for (int y = y0; y < y1; ++y) {
        const std::uint8_t* bits = cell + static_cast<std::ptrdiff_t>(y - gy) * cellPitch;
        Pixel* out = reinterpret_cast<Pixel*>(pixels + y * pitch) + gx;
        if (!keep) std::fill(out + first, out + end, Pixel{0});
        for (int at = first & ~7; at < end; at += 8) {
            unsigned b = bits[at >> 3];
            if (at < first) b &= 0xFFu >> (first - at);
            if (at + 8 > end) b &= (0xFFu << (at + 8 - end)) & 0xFFu;
            // A byte whose eight columns all lie inside is written at once.
            if constexpr (sizeof(Pixel) == 2) {
                if (b != 0 && at >= inLeft && at + 8 <= inRight) {
                    WriteGlyphByte(out + at, b, text);
                    continue;
                }
            }
            while (b != 0) {
                const int lead = __builtin_clz(b) - 24;  // 0 is the leftmost column
                out[at + lead] = text;
                b &= ~(0x80u >> lead);
            }
        }
    }
}

// The cell of a glyph in the memory cache, which is one column of cells:
// no division for it.
const std::uint8_t* CellOf(const FontRecord& font, const FontGlyphSlot& slot) {
    const int mw = font.maxCharWidth;
    const int column = slot.cellIndex < font.cellsPerColumn ? 0 : slot.cellIndex / font.cellsPerColumn;
    const int row = slot.cellIndex - column * font.cellsPerColumn;
    return font.cachePixels + static_cast<std::size_t>(row) * mw * font.cacheRowBytes +
           static_cast<std::size_t>(column) * mw * font.cacheBitsPerPixel / 8;
}

// Whether 1-bit glyphs can go onto the work pixels a byte of bits at a
// time: 2-byte pixels without alpha, aligned, kept under the glyphs.
bool MergesGlyphBytes16(const FontRecord& font, const TextWorkTarget& work) {
    const ColorFormatDesc& f = *work.format;
    return g_monoFastPath && font.cacheBitsPerPixel == 1 && f.alphaMask == 0 && f.bytesPerPixel == 2 &&
           work.keepBackground != 0 && (reinterpret_cast<std::uintptr_t>(work.pixels) & 1) == 0 &&
           (work.pitch & 1) == 0;
}

// A glyph of at most 32 columns whose bytes of bits all lie inside the clip,
// as MergesGlyphBytes16 allows: drawn as DrawGlyph would, without its
// clipping.
inline void DrawWholeGlyph16(const FontRecord& font, const FontGlyphSlot& slot, int gx, int gy, int w, int h,
                      std::uint16_t text, const TextWorkTarget& work) {
    const std::uint8_t* cell = CellOf(font, slot);
    const int columns = (w + 7) >> 3;
    // Every column of the glyph's bytes but those past its width in the last.
    const int lastShift = 8 * (columns - 1);
    const std::uint32_t last = (0xFF00u >> (((w - 1) & 7) + 1)) & 0xFFu;
    const std::uint32_t masks = (0xFFFFFFFFu & ~(0xFFu << lastShift)) | last << lastShift;
    std::uint8_t* out = work.pixels + static_cast<std::ptrdiff_t>(gy) * work.pitch + static_cast<std::ptrdiff_t>(gx) * 2;
    MergeMonoRows16(columns, cell, font.cacheRowBytes, out, work.pitch, h, masks, text);
}

void DrawGlyph(const FontRecord& font, const FontGlyphSlot& slot, int gx, int gy, std::uint32_t text,
               std::uint32_t edge, const TextWorkTarget& work, const RECT& clip) {
    const int mw = font.maxCharWidth;
    const int w = std::min<int>(slot.blackBoxWidth, mw), h = std::min<int>(slot.blackBoxHeight, mw);
    const int x0 = std::max<long>(gx, clip.left), x1 = std::min<long>(static_cast<long>(gx) + w, clip.right);
    const int y0 = std::max<long>(gy, clip.top), y1 = std::min<long>(static_cast<long>(gy) + h, clip.bottom);
    if (x0 >= x1 || y0 >= y1) return;
    const std::uint8_t* cell = CellOf(font, slot);
    const ColorFormatDesc& f = *work.format;
    const int bytes = f.bytesPerPixel;
    if (g_monoFastPath && font.cacheBitsPerPixel == 1 && f.alphaMask == 0 && (bytes == 2 || bytes == 4) &&
        (reinterpret_cast<std::uintptr_t>(work.pixels) & (bytes - 1)) == 0 && (work.pitch & (bytes - 1)) == 0) {
        if (bytes == 2)
            DrawMonoRows<std::uint16_t>(cell, font.cacheRowBytes, gx, gy, x0, y0, x1, y1,
                                        static_cast<std::uint16_t>(text), work, clip);
        else
            DrawMonoRows<std::uint32_t>(cell, font.cacheRowBytes, gx, gy, x0, y0, x1, y1, text, work, clip);
        return;
    }
    // Grey levels without alpha blend with what is under them; nothing else
    // needs to read it.
    const bool readsUnder = font.cacheBitsPerPixel == 8 && (font.fontType & kFontTypeAntialias) && f.alphaMask == 0;
    for (int y = y0; y < y1; ++y) {
        const std::uint8_t* cellRow = cell + static_cast<std::size_t>(y - gy) * font.cacheRowBytes;
        std::uint8_t* out = work.pixels + static_cast<std::ptrdiff_t>(y) * work.pitch;
        for (int x = x0; x < x1; ++x) {
            std::uint8_t* p = out + static_cast<std::ptrdiff_t>(x) * bytes;
            const CellPixel c = PixelOf(font, cellRow, x - gx, text, edge, f, readsUnder ? ReadAt(p, bytes) : 0);
            if (c.covered)
                WriteAt(p, bytes, c.value);
            else if (!work.keepBackground)
                WriteAt(p, bytes, 0);
        }
    }
}

// Writes one glyph of a text at its pen position: clipped, or, when its
// bytes of bits all lie inside the clip, merged whole.
struct GlyphWriter {
    const FontRecord& font;
    int x, y;
    std::uint32_t color, edgeColor;
    const TextWorkTarget& work;
    RECT clip;
    bool bytes16;  // MergesGlyphBytes16

    void operator()(const FontGlyphSlot& slot, std::uint16_t code, long pen) const {
        if (!Drawn(slot, code)) return;
        const long gx = static_cast<long>(x) + pen + slot.originX, gy = static_cast<long>(y) + slot.topOffset;
        if (gx >= clip.right || gy >= clip.bottom || gx + slot.blackBoxWidth <= clip.left ||
            gy + slot.blackBoxHeight <= clip.top)
            return;
        const int mw = font.maxCharWidth;
        const int w = std::min<int>(slot.blackBoxWidth, mw), h = std::min<int>(slot.blackBoxHeight, mw);
        if (bytes16 && w <= 32 && gx >= clip.left && gy >= clip.top && gy + h <= clip.bottom &&
            gx + ((w + 7) & ~7) <= clip.right)
            return DrawWholeGlyph16(font, slot, static_cast<int>(gx), static_cast<int>(gy), w, h,
                                    static_cast<std::uint16_t>(color), work);
        DrawGlyph(font, slot, static_cast<int>(gx), static_cast<int>(gy), color, edgeColor, work, clip);
    }
};

// A text not placed beforehand: walked here, on its own, so that its room
// for a chunk of codes stays off the placed text's way.
__attribute__((noinline)) void WriteWalkedText(FontRecord* font, const char* text, const GlyphWriter& write) {
    WalkText(font, text, write);
}

}  // namespace

// The two colours with the draw-bright colour applied, channel by channel.
void BrightenTextColors(std::uint32_t* text, std::uint32_t* edge) {
    const std::uint32_t bright = g_DrawState.brightColor & 0xFFFFFF;
    if (bright == 0xFFFFFF) return;
    const int br = static_cast<int>(bright >> 16 & 0xFF), bg = static_cast<int>(bright >> 8 & 0xFF),
              bb = static_cast<int>(bright & 0xFF);
    for (std::uint32_t* c : {text, edge}) {
        int r = 0, g = 0, b = 0;
        if (SplitColorCode(*c, &r, &g, &b) < 0) continue;
        *c = MakeColorCode(r * br / 255, g * bg / 255, b * bb / 255);
    }
}


void SetTextMonoFastPath(int allowed) { g_monoFastPath = allowed != 0; }

int MeasureTextExtent(FontRecord* font, const char* text, TextExtent* extent, TextGlyphList* list) {
    if (font == nullptr || text == nullptr || extent == nullptr) return -1;
    *extent = MeasureTextExtentOf(font, text, list);
    return 0;
}

TextExtent MeasureTextExtentOf(FontRecord* font, const char* text, TextGlyphList* list) {
    bool any = false;
    long left = 0, top = 0, right = 0, bottom = 0;
    WalkText(font, text, [&](const FontGlyphSlot& slot, std::uint16_t code, long pen) {
        if (!any) {
            bottom = font->charHeight;
            any = true;
        }
        right = std::max(right, pen + slot.advance);
        if (!Drawn(slot, code)) return;
        left = std::min(left, pen + slot.originX);
        top = std::min<long>(top, slot.topOffset);
        right = std::max(right, pen + slot.originX + slot.blackBoxWidth);
        bottom = std::max<long>(bottom, slot.topOffset + slot.blackBoxHeight);
    }, list);
    auto toInt = [](long v) { return static_cast<int>(std::clamp<long>(v, INT_MIN / 2, INT_MAX / 2)); };
    return TextExtent{toInt(left), toInt(top), toInt(right), toInt(bottom)};
}

int MeasureTextAdvance(FontRecord* font, const char* text) {
    if (font == nullptr || text == nullptr) return 0;
    long end = 0;
    WalkText(font, text, [&](const FontGlyphSlot& slot, std::uint16_t, long pen) {
        end = pen + slot.advance + font->letterGap;
    });
    return static_cast<int>(std::clamp<long>(end, INT_MIN / 2, INT_MAX / 2));
}

int DrawTextThroughCache(FontRecord* font, int x, int y, const char* text, std::uint32_t color,
                         std::uint32_t edgeColor, const TextWorkTarget& work, const TextGlyphList* list) {
    if (font == nullptr || text == nullptr || work.pixels == nullptr || work.format == nullptr) return -1;
    // Edge by edge: shorter work than the rectangle clipped whole.
    const LONG left = std::max<LONG>(work.clip.left, 0), right = std::min<LONG>(work.clip.right, work.width);
    if (left >= right) return 0;
    const LONG top = std::max<LONG>(work.clip.top, 0), bottom = std::min<LONG>(work.clip.bottom, work.height);
    if (top >= bottom) return 0;
    const RECT clip{left, top, right, bottom};
    const GlyphWriter write{*font, x, y, color, edgeColor, work, clip, MergesGlyphBytes16(*font, work)};
    if (list != nullptr && list->complete) {
        for (int i = 0; i < list->count; ++i) write(*list->glyphs[i].slot, list->glyphs[i].code, list->glyphs[i].pen);
        return 0;
    }
    WriteWalkedText(font, text, write);
    return 0;
}

int DrawTextWithFont(int x, int y, const char* text, std::uint32_t color, int fontHandle, std::uint32_t edgeColor,
                     int vertical) {
    if (text == nullptr || text[0] == '\0') return 0;
    const DrawState& s = g_DrawState;
    if (s.drawingSuppressed || s.emptyDrawArea) return 0;
    return DrawTextWithFontRecord(x, y, text, color, LookupFont(fontHandle), fontHandle, edgeColor, vertical);
}

int DrawTextWithFontRecord(int x, int y, const char* text, std::uint32_t color, FontRecord* font, int fontHandle,
                           std::uint32_t edgeColor, int vertical) {
    if (text == nullptr || text[0] == '\0') return 0;
    const DrawState& s = g_DrawState;
    if (s.drawingSuppressed || s.emptyDrawArea) return 0;
    if (font == nullptr) return WriteLogText("フォントハンドル値が異常です\n");
    WaitWhileInactive();
    if (x >= s.drawArea.right) return 0;
    const long bottom = std::min<long>(static_cast<long>(y) + font->size + 3, INT_MAX);
    RECT rect{x, y, s.drawArea.right, static_cast<LONG>(bottom)};
    // Through the mask, only what the rectangle covers comes back from the
    // work image: glyphs reaching left of x or above y widen it. A font
    // whose glyphs are kept in a texture goes through the mask too: the
    // Direct3D device draws into the work image while the mask is in effect.
    const bool masked = IsMaskInEffect();
    TextExtent extent{};
    if (masked && MeasureTextExtent(font, text, &extent) == 0) {
        rect.left = std::min<LONG>(rect.left, static_cast<LONG>(std::max<long>(long{x} + extent.left, INT_MIN)));
        rect.top = std::min<LONG>(rect.top, static_cast<LONG>(std::max<long>(long{y} + extent.top, INT_MIN)));
        rect.bottom = std::max<LONG>(rect.bottom, static_cast<LONG>(std::min<long>(long{y} + extent.bottom, INT_MAX)));
    }
    DrawFrameScope frame(rect, masked);
    if (s.use3D == 1 && IsDirect3DUp() && !IsScreenMemImg())
        return DrawTextToTarget(x, y, text, color, fontHandle, edgeColor, vertical);
    return SoftDrawFontTextRecord(x, y, text, color, font, edgeColor, vertical);
}

int DrawTextToTarget(int x, int y, const char* text, std::uint32_t color, int fontHandle, std::uint32_t edgeColor,
                     int vertical) {
    FontRecord* font = LookupFont(fontHandle);
    if (font == nullptr) return -1;
    if (!font->textureCache) return SoftDrawFontText(x, y, text, color, fontHandle, edgeColor, vertical);
    if (IsDirect3DSuppressed()) return -1;
    const DrawState& s = g_DrawState;
    if (s.blendMode != kBlendModeSubtract) return DrawTextThroughTextureCache(font, x, y, text, color, edgeColor);
    // Subtraction is an add between two inversions of the text's rectangle.
    const RECT rect{x, y, s.drawArea.right,
                    static_cast<LONG>(std::min<long>(static_cast<long>(y) + font->size + 3, INT_MAX))};
    const int parameter = s.blendParam;
    InvertRectBeforeSubtract(rect, parameter);
    const int result = DrawTextThroughTextureCache(font, x, y, text, color, edgeColor);
    InvertRectAfterSubtract(rect, parameter);
    return result;
}

int DrawTextThroughTextureCache(FontRecord* font, int x, int y, const char* text, std::uint32_t color,
                                std::uint32_t edgeColor) {
    if (font == nullptr || text == nullptr) return -1;
    if (EnsureFontTextureCache(font) < 0 || LookupGraph(font->textureCacheGraph) == nullptr) return -1;
    BrightenTextColors(&color, &edgeColor);
    int tr = 0, tg = 0, tb = 0, er = 0, eg = 0, eb = 0;
    SplitColorCode(color, &tr, &tg, &tb);
    SplitColorCode(edgeColor, &er, &eg, &eb);
    // The text is drawn without the blend graphic, the bright colour taking
    // the text's colour; both are put back afterwards.
    DrawState& s = g_DrawState;
    const HandleId blendGraph = s.blendGraph;
    const std::uint32_t bright = s.brightColor;
    s.blendGraph = kNoHandle;
    const bool edged = (font->fontType & kFontTypeEdge) != 0;
    const int mw = font->maxCharWidth;
    WalkText(font, text, [&](const FontGlyphSlot& slot, std::uint16_t code, long pen) {
        if (!Drawn(slot, code)) return;
        const long gx = static_cast<long>(x) + pen + slot.originX, gy = static_cast<long>(y) + slot.topOffset;
        if (gx >= s.drawArea.right || gy >= s.drawArea.bottom || gx + slot.blackBoxWidth <= s.drawArea.left ||
            gy + slot.blackBoxHeight <= s.drawArea.top)
            return;
        const int cellX = slot.cellIndex / font->cellsPerColumn * mw, cellY = slot.cellIndex % font->cellsPerColumn * mw;
        const int w = std::min<int>(slot.blackBoxWidth, mw), h = std::min<int>(slot.blackBoxHeight, mw);
        if (edged) {
            SetBrightColor(er, eg, eb);
            ClipBlitGraphRect(static_cast<int>(gx), static_cast<int>(gy), font->cacheWidth + cellX, cellY, w, h,
                              font->textureCacheGraph, 1, 0);
        }
        SetBrightColor(tr, tg, tb);
        ClipBlitGraphRect(static_cast<int>(gx), static_cast<int>(gy), cellX, cellY, w, h, font->textureCacheGraph, 1,
                          0);
    });
    SetBrightColorPacked(bright);
    s.blendGraph = blendGraph;
    return 0;
}
