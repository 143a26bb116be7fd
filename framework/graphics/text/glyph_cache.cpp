// The glyph cache of a font: emptying it, rendering glyphs through GDI into
// its cells (with the edge grown around them for edged fonts), and splitting
// Shift-JIS text into the character codes the cache is keyed by.
#include <algorithm>
#include <cstring>

#include "core/fatal_error.h"
#include "core/log.h"
#include "core/memory.h"
#include "graphics/device/screen_device.h"
#include "graphics/device/surface2d.h"
#include "graphics/text/font.h"
#include "graphics/text/font_edge_mask_table.h"

namespace {

// A text's missing glyphs are rendered in passes of at most this many.
constexpr int kRenderPassCharacters = 256;

constexpr MAT2 kIdentity{{0, 1}, {0, 0}, {0, 0}, {0, 1}};

std::uint8_t* CellOf(FontRecord* font, int cellIndex, int* pitch) {
    *pitch = font->cacheRowBytes;
    const int column = cellIndex / font->cellsPerColumn, row = cellIndex % font->cellsPerColumn;
    const int mw = font->maxCharWidth;
    return font->cachePixels + static_cast<std::size_t>(row) * mw * font->cacheRowBytes +
           static_cast<std::size_t>(column) * mw * font->cacheBitsPerPixel / 8;
}

void ClearCell(FontRecord* font, int cellIndex) {
    int pitch = 0;
    std::uint8_t* cell = CellOf(font, cellIndex, &pitch);
    const std::size_t bytes = static_cast<std::size_t>(font->maxCharWidth) * font->cacheBitsPerPixel / 8;
    for (int y = 0; y < font->maxCharWidth; ++y) std::memset(cell + static_cast<std::size_t>(y) * pitch, 0, bytes);
}

// The glyph's value at (x, y) of the GDI buffer: 0 or 1 for a 1-bit glyph,
// 0..15 for a grey one (GDI's 17 levels, with v > 0 stored as v - 1).
int GlyphValue(const std::uint8_t* buffer, int pitch, int x, int y, bool grey) {
    if (grey) {
        const int v = buffer[static_cast<std::size_t>(y) * pitch + x];
        return v > 0 ? v - 1 : 0;
    }
    return (buffer[static_cast<std::size_t>(y) * pitch + x / 8] >> (7 - x % 8)) & 1;
}

// Copies the glyph into its cell, clipped to the cell: 1-bit rows as they
// are for type 0; one byte per pixel otherwise, with the edge grown around
// the glyph for edged types.
void CopyGlyphToCell(FontRecord* font, int cellIndex, const std::uint8_t* buffer, int width, int height) {
    int pitch = 0;
    std::uint8_t* cell = CellOf(font, cellIndex, &pitch);
    const int mw = font->maxCharWidth;
    const bool grey = (font->fontType & kFontTypeAntialias) != 0;
    const bool edged = (font->fontType & kFontTypeEdge) != 0;
    const int gdiPitch = grey ? (width + 3) / 4 * 4 : (width + 31) / 32 * 4;
    const int inset = edged ? font->edgeSize : 0;
    const int w = std::min(width, mw - inset), h = std::min(height, mw - inset);
    if (w <= 0 || h <= 0) return;

    if (font->cacheBitsPerPixel == 1) {
        // Only whole rows of the cell width; bits beyond it are cleared.
        const int bytes = (w + 7) / 8;
        for (int y = 0; y < h; ++y) {
            std::uint8_t* row = cell + static_cast<std::size_t>(y) * pitch;
            std::memcpy(row, buffer + static_cast<std::size_t>(y) * gdiPitch, static_cast<std::size_t>(bytes));
            if (w % 8 != 0) row[bytes - 1] &= static_cast<std::uint8_t>(0xFF00 >> (w % 8));
        }
        return;
    }
    auto at = [&](int x, int y) -> std::uint8_t& { return cell[static_cast<std::size_t>(y) * pitch + x]; };
    if (!edged) {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) at(x, y) = static_cast<std::uint8_t>(GlyphValue(buffer, gdiPitch, x, y, grey));
        return;
    }
    const int e = font->edgeSize;
    if (!grey) {
        // 1 glyph, 2 edge: glyph pixels first, then the edge around them
        // wherever no glyph pixel is.
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                if (GlyphValue(buffer, gdiPitch, x, y, false)) at(x + e, y + e) = 1;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                if (!GlyphValue(buffer, gdiPitch, x, y, false)) continue;
                for (int dy = -e; dy <= e; ++dy)
                    for (int dx = -e; dx <= e; ++dx) {
                        const int cx = x + e + dx, cy = y + e + dy;
                        if (cx < 0 || cy < 0 || cx >= mw || cy >= mw || !FontEdgeMaskCovers(e, dx, dy)) continue;
                        if (at(cx, cy) != 1) at(cx, cy) = 2;
                    }
            }
        return;
    }
    // Glyph level in the low four bits, edge level in the high four: every
    // glyph pixel raises the edge under the mask to at least its own level.
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int g = GlyphValue(buffer, gdiPitch, x, y, true);
            if (g == 0) continue;
            at(x + e, y + e) = static_cast<std::uint8_t>((at(x + e, y + e) & 0xF0) | g);
            for (int dy = -e; dy <= e; ++dy)
                for (int dx = -e; dx <= e; ++dx) {
                    const int cx = x + e + dx, cy = y + e + dy;
                    if (cx < 0 || cy < 0 || cx >= mw || cy >= mw || !FontEdgeMaskCovers(e, dx, dy)) continue;
                    std::uint8_t& p = at(cx, cy);
                    if ((p >> 4) < g) p = static_cast<std::uint8_t>((g << 4) | (p & 0x0F));
                }
        }
}

// Takes the next slot for the code, unhooking the character it held.
FontGlyphSlot* TakeSlot(FontRecord* font, std::uint16_t code) {
    FontGlyphSlot* slot = &font->slots[font->nextSlot];
    if (slot->inUse) {
        if (slot->code != nullptr) {
            slot->code->cached = 0;
            slot->code->slot = nullptr;
        }
        slot->inUse = 0;
    }
    FontCodeEntry* entry = &font->codes[code];
    entry->slot = slot;
    entry->cached = 1;
    slot->code = entry;
    slot->inUse = 1;
    slot->originX = slot->topOffset = slot->advance = 0;
    slot->blackBoxWidth = slot->blackBoxHeight = 0;
    font->nextSlot = (font->nextSlot + 1) % font->slotCount;
    return slot;
}

// Renders one glyph into its slot. A glyph GDI cannot give is left empty (no
// box, no advance) and logged, so that one bad character costs nothing more
// than itself.
void RenderOne(FontRecord* font, HDC dc, std::uint16_t code, std::uint8_t** buffer, std::size_t* bufferSize) {
    FontGlyphSlot* slot = TakeSlot(font, code);
    ClearCell(font, slot->cellIndex);
    ++font->glyphsRendered;
    const UINT format = (font->fontType & kFontTypeAntialias) ? GGO_GRAY4_BITMAP : GGO_BITMAP;
    GLYPHMETRICS gm{};
    DWORD size = GetGlyphOutlineA(dc, code, format, &gm, 0, nullptr, &kIdentity);
    if (size != GDI_ERROR && size > 0) {
        if (size > *bufferSize) {
            KV_FREE(*buffer);
            *buffer = static_cast<std::uint8_t*>(KV_ALLOC(size));
            *bufferSize = *buffer != nullptr ? size : 0;
            if (*buffer == nullptr) FatalError("アンチエイリアス文字取得用バッファの確保に失敗しました");
        }
        std::memset(*buffer, 0, size);
        size = GetGlyphOutlineA(dc, code, format, &gm, size, *buffer, &kIdentity);
    }
    if (size == GDI_ERROR) {
        WriteLogFormat("GetGlyphOutline 関数が失敗しました 0x%04X", code);
        return;
    }
    const int grow = (font->fontType & kFontTypeEdge) ? font->edgeSize * 2 : 0;
    slot->originX = static_cast<std::int16_t>(gm.gmptGlyphOrigin.x);
    slot->topOffset = static_cast<std::int16_t>(font->ascent - gm.gmptGlyphOrigin.y);
    slot->advance = static_cast<std::int16_t>(gm.gmCellIncX + grow);
    slot->blackBoxWidth = static_cast<std::int16_t>(std::min<UINT>(gm.gmBlackBoxX, 0x7FFF) + grow);
    slot->blackBoxHeight = static_cast<std::int16_t>(std::min<UINT>(gm.gmBlackBoxY, 0x7FFF) + grow);
    if (size > 0)
        CopyGlyphToCell(font, slot->cellIndex, *buffer, static_cast<int>(gm.gmBlackBoxX),
                        static_cast<int>(gm.gmBlackBoxY));
    if (font->textureCache) UploadGlyphCell(font, slot->cellIndex);
}

}  // namespace

int ClearFontCache(FontRecord* font) {
    if (font == nullptr) return -1;
    std::memset(font->codes, 0, sizeof font->codes);
    std::memset(font->slots, 0, sizeof font->slots);
    for (int i = 0; i < kFontGlyphSlotCount; ++i) font->slots[i].cellIndex = i;
    font->slots[std::clamp(font->slotCount, 0, kFontGlyphSlotCount)].cellIndex = -1;
    font->nextSlot = 0;
    return 0;
}

int EnsureFontCacheSurface(FontRecord* font) {
    if (font == nullptr) return -1;
    if (!font->cacheSurfaceLost) return 0;
    font->cacheSurfaceLost = 0;
    if (font->cacheSurface >= 0) DeleteSurface2D(font->cacheSurface);
    font->cacheSurface = kNoHandle;
    // Screen-sized, in the screen's depth, with alpha for grey levels.
    int width = 0, height = 0;
    QueryScreenSize(&width, &height);
    SurfaceCreateFlags flags{};
    flags.AlphaChFlag = (font->fontType & kFontTypeAntialias) ? 1 : 0;
    flags.DrawValid = 1;
    flags.ColorBitDepth = static_cast<std::uint8_t>(GetScreenColorFormat()->depth);
    const HandleId surface = AddSurface2D(width, height, 0, 0, kNoHandle, nullptr, 0, 0, &flags);
    if (surface < 0) {
        font->cacheSurfaceLost = 1;
        return -1;
    }
    font->cacheSurface = surface;
    LinkSurface2DLostFlag(surface, &font->cacheSurfaceLost);
    return 0;
}

FontGlyphSlot* RenderGlyphsToCache(FontRecord* font, int count, const std::uint16_t* codes) {
    if (font == nullptr || count <= 0 || codes == nullptr || font->slotCount <= 0) return nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    if (dc == nullptr) FatalError("テキストキャッシュサーフェスのＤＣの取得に失敗しました");
    HGDIOBJ previous = SelectObject(dc, font->gdiFont);
    std::uint8_t* buffer = nullptr;
    std::size_t bufferSize = 0;
    FontGlyphSlot* last = nullptr;
    for (int i = 0; i < count; ++i) {
        RenderOne(font, dc, codes[i], &buffer, &bufferSize);
        last = font->codes[codes[i]].slot;
    }
    KV_FREE(buffer);
    SelectObject(dc, previous);
    DeleteDC(dc);
    return last;
}

int PrepareTextGlyphs(FontRecord* font, const char* text, int length, std::uint16_t* codes, int capacity, int* count,
                      int* used) {
    if (font == nullptr || text == nullptr || codes == nullptr || capacity <= 0) return -1;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text);
    int n = 0, at = 0;
    std::uint16_t missing[kRenderPassCharacters];
    int missingCount = 0;
    const int missingLimit = std::min(kRenderPassCharacters, font->slotCount);
    while (n < capacity && (length < 0 || at < length) && bytes[at] != 0) {
        std::uint16_t code = bytes[at];
        if (IsDoubleByteLead(bytes[at], font->charSetKind)) {
            // A lead byte whose trail byte is missing ends the text.
            if ((length >= 0 && at + 1 >= length) || bytes[at + 1] == 0) {
                at = length >= 0 ? length : at + 1;
                break;
            }
            code = static_cast<std::uint16_t>(bytes[at] << 8 | bytes[at + 1]);
            at += 2;
        } else {
            at += 1;
        }
        codes[n++] = code;
        if (font->codes[code].cached) {
            ++font->cacheHits;
            continue;
        }
        if (missingCount < missingLimit &&
            std::find(missing, missing + missingCount, code) == missing + missingCount)
            missing[missingCount++] = code;
    }
    if (missingCount > 0) RenderGlyphsToCache(font, missingCount, missing);
    if (count != nullptr) *count = n;
    if (used != nullptr) *used = at;
    return 0;
}
