// Fonts and the glyph cache. A font handle holds a GDI font, its metrics and
// a cache of glyph bitmaps: each glyph is rendered once through GDI into a
// square cell of the cache and drawn from there afterwards, onto a software
// image the software text path hands in. Cells are reused in a fixed cyclic
// order, so the oldest rendering is replaced first.
#pragma once

#include <cstdint>

#include "core/handle.h"
#include "graphics/image/color_format.h"
#include "platform/gdi.h"

constexpr int kFontGlyphSlotCount = 2024;
constexpr int kFontCodeCount = 65536;
constexpr int kFontFaceBytes = 256;

// Font type bits.
constexpr int kFontTypeEdge = 1;         // an outline of the edge colour around each glyph
constexpr int kFontTypeAntialias = 2;    // 16 grey levels instead of 1 bit

// Character-set kinds and the GDI character sets they ask for.
constexpr int kCharSetKindDefault = 0;
constexpr int kCharSetKindShiftJis = 1;
constexpr int kCharSetKindHangul = 2;

struct FontCodeEntry;

struct FontGlyphSlot {
    std::uint16_t inUse;
    std::int16_t originX;
    std::int16_t topOffset;   // the font's ascent minus the glyph origin's y
    std::int16_t advance;
    std::int32_t cellIndex;   // the slot's fixed cell; -1 in the terminator
    std::int16_t blackBoxWidth;
    std::int16_t blackBoxHeight;
    FontCodeEntry* code;      // the character the slot holds
};

struct FontCodeEntry {
    std::uint32_t cached;
    FontGlyphSlot* slot;
};

struct FontRecord {
    std::uint32_t checkNumber;
    int* lostFlag;  // set to 1 when the font is released

    FontGlyphSlot slots[kFontGlyphSlotCount + 1];  // and the terminator
    FontCodeEntry codes[kFontCodeCount];
    std::int32_t nextSlot;
    std::int32_t slotCount;

    // The memory cache: one column of square cells.
    std::uint8_t* cachePixels;
    std::int32_t cacheRowBytes;
    std::int32_t cacheBitsPerPixel;

    char faceName[kFontFaceBytes];
    int thickness, size, charHeight, italic, letterGap, maxCharWidth;
    HFONT gdiFont;
    int fontType;
    int charSetKind;
    int edgeSize;
    int cacheWidth, cacheHeight, cellsPerColumn;

    // The screen-sized 2D surface text is composed in before it is blended.
    HandleId cacheSurface;
    int cacheSurfaceLost;

    // The texture cache: glyphs kept in a texture graphic while Direct3D
    // draws. No font has one until the Direct3D device does.
    HandleId textureCacheGraph, textureCacheEdgeGraph;
    int textureCacheLost;
    int textureCache;

    // Beside the record's own fields: the ascent the top offsets are taken
    // from, and how often glyphs were found in the cache or rendered into it.
    int ascent;
    std::uint32_t cacheHits;
    std::uint32_t glyphsRendered;
};

// ---- the font table ----------------------------------------------------------

// Makes a font: face or null (the system's default face), size, thickness,
// font type, character-set kind, edge size, italic, slot, check number (-1
// picks the default of each). The new handle, or -1.
int CreateFontToHandle(const char* face, int size, int thickness, int fontType, int charSetKind, int edgeSize,
                       int italic, int slot, int checkNumber);
// Releases a font handle; 0 or -1.
int ReleaseFontHandle(int fontHandle);
// Every font released and the default font made again (graphics start-up and
// shut-down); 0.
int ResetAllFonts();
// After device loss: every font made again in its slot with its check number
// and letter gap, with an empty cache. 0.
int RecreateAllFonts();

FontRecord* LookupFont(int fontHandle);
int IsValidFontHandle(int fontHandle);
// The size, or -1 for a bad handle.
int QueryFontHandleSize(int fontHandle);
// Face, thickness and size to the pointers that are not null; 0 or -1.
int QueryFontHandleInfo(int fontHandle, const char** face, int* thickness, int* size);
int SetFontLetterGap(int gap, int fontHandle);
// The caller's flag is set to 1 when the font is released; 0 or -1.
int LinkFontLostFlag(int fontHandle, int* lostFlag);

// ---- the default font ----------------------------------------------------------

// The settings the default font is made from. Graphics start-up puts back the
// start values.
struct DefaultFontSettings {
    char face[kFontFaceBytes];  // empty: the system's default face
    int size, thickness, fontType, charSetKind, edgeSize, italic, letterGap;
};
extern DefaultFontSettings g_DefaultFontSettings;

void ResetDefaultFontSettings();
// -1 picks the start value; a null face is the empty one. Each makes the
// default font agree with the settings. 0.
int SetDefaultFontFace(const char* face, int charSetKind);
int SetDefaultFontSize(int size);
int SetDefaultFontThickness(int thickness);
int SetDefaultFontSizeThickness(int size, int thickness);
// Makes the default font again when it is missing or differs from the
// settings. 0 or -1.
int SyncDefaultFontToSettings();
// The default font after syncing it to the settings, or -1.
int FetchDefaultFontHandle();
// The default font's handle as it is, or -1 (kept beside the table), and
// its setter for the default-font code.
int DefaultFontHandle();
void SetDefaultFontHandle(int fontHandle);
// The default font's record as it is, or null, with its handle (-1 with
// null): one look-up for what the two above take two.
FontRecord* DefaultFontRecord(int* fontHandle);

// ---- the glyph cache -------------------------------------------------------------

// 1 when the byte starts a two-byte character of the character-set kind.
inline int IsDoubleByteLead(std::uint8_t byte, int charSetKind) {
    if (charSetKind == kCharSetKindHangul) return (byte & 0x80) != 0;
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}
// Empties the cache. 0, or -1 for a null font.
int ClearFontCache(FontRecord* font);
// Makes the font's cache surface when it is missing or was lost. 0 or -1.
int EnsureFontCacheSurface(FontRecord* font);
// Renders the characters into the cache, replacing the oldest renderings.
// The slot of the last one, or null when there was nothing to render.
FontGlyphSlot* RenderGlyphsToCache(FontRecord* font, int count, const std::uint16_t* codes);
// Splits up to `capacity` characters off the start of the text (at most
// `length` bytes; -1: up to the terminator) into character codes, and renders
// those missing from the cache in one pass. A lead byte without its trail
// byte ends the text. The count of characters comes back in *count and the
// bytes they took in *used. 0, or -1 for bad arguments.
int PrepareTextGlyphs(FontRecord* font, const char* text, int length, std::uint16_t* codes, int capacity, int* count,
                      int* used);

// ---- drawing text ----------------------------------------------------------------

// Draws a text with a font handle; 0 or -1. The colours are pixel values of
// the screen format.
int DrawTextWithFont(int x, int y, const char* text, std::uint32_t color, int fontHandle, std::uint32_t edgeColor,
                     int vertical);
// The same for a font already looked up (null: the handle is bad).
int DrawTextWithFontRecord(int x, int y, const char* text, std::uint32_t color, FontRecord* font, int fontHandle,
                           std::uint32_t edgeColor, int vertical);
// DrawTextWithFont with the default font, synced to its settings first.
int DrawTextDefaultFont(int x, int y, const char* text, std::uint32_t color, std::uint32_t edgeColor);

// Where a text's glyphs lie relative to its pen start: the union of the
// glyph boxes and the advance line one character-height tall. Empty when the
// text has no character.
struct TextExtent {
    int left, top, right, bottom;
};
// The glyphs of a short text as measuring placed them, so that drawing it
// right afterwards need not split it and look its glyphs up again. Usable
// only when `complete`: the whole text was taken, and no glyph of it was
// rendered again on its own (which could push out one placed before it).
// Nothing may render glyphs between the measuring and the drawing.
struct TextGlyphList {
    static constexpr int kCapacity = 32;
    struct Placed {
        const FontGlyphSlot* slot;
        std::uint16_t code;
        long pen;
    };
    bool complete;
    int count;
    Placed glyphs[kCapacity];
};
// Renders what is missing and measures the text; with a list, also keeps
// the glyphs placed. 0 or -1.
int MeasureTextExtent(FontRecord* font, const char* text, TextExtent* extent, TextGlyphList* list = nullptr);
// The same for a font and text known to be there, the extent handed back in
// registers for a caller that reads it at once.
TextExtent MeasureTextExtentOf(FontRecord* font, const char* text, TextGlyphList* list = nullptr);
// Where the pen stands after the text: the sum of its advances and letter
// gaps (0 for a null font or text).
int MeasureTextAdvance(FontRecord* font, const char* text);

// What DrawTextThroughCache writes into: pixels with their pitch and size,
// the format they and the two colours are in, the clip rectangle in the
// pixels' coordinates, and whether pixels the glyphs do not cover keep their
// value (else they become 0). Into a format with alpha the work pixels carry
// each pixel's coverage for a later blend; into one without, grey levels are
// blended straight onto the pixels.
struct TextWorkTarget {
    std::uint8_t* pixels;
    int pitch, width, height;
    const ColorFormatDesc* format;
    RECT clip;
    int keepBackground;
};
// Draws the text's glyphs from the memory cache with the pen starting at
// (x, y) of the work image. 0 or -1.
// With a complete list measured from this text, its glyphs are taken from
// the list.
int DrawTextThroughCache(FontRecord* font, int x, int y, const char* text, std::uint32_t color,
                         std::uint32_t edgeColor, const TextWorkTarget& work, const TextGlyphList* list = nullptr);

// Whether 1-bit glyphs onto 16- and 32-bit pixels take a loop of their own
// (the default). The pixels are the same either way; tests draw both ways.
void SetTextMonoFastPath(int allowed);

// The software text path: measures the text, then draws it straight into the
// target or, under a blend mode or with an edged font, composes it in the
// font's cache surface and blends that onto the target. 0 or -1.
// The text and edge colours with the draw-bright colour applied.
void BrightenTextColors(std::uint32_t* text, std::uint32_t* edge);

// ---- the texture cache (text_texture.cpp) ----

// 1 when new fonts keep their glyphs in a texture: Direct3D draws and offers
// the font texture formats.
int FontTextureCacheWanted();
// Lays the cache out as a texture and makes the cache graphic; -1 when it
// cannot be made (the font then draws from memory).
int MakeFontTextureCache(FontRecord* font);
// Makes the cache graphic again when it was lost, with an empty cache.
int EnsureFontTextureCache(FontRecord* font);
void ReleaseFontTextureCache(FontRecord* font);
// Copies one cell of the memory cache into the cache graphic.
int UploadGlyphCell(FontRecord* font, int cellIndex);
// Text on the Direct3D road: glyphs drawn as parts of the cache graphic,
// modulated by the text and edge colours.
int DrawTextThroughTextureCache(FontRecord* font, int x, int y, const char* text, std::uint32_t color,
                                std::uint32_t edgeColor);
// Hands text to the texture cache, or to the software text path for a font
// without one. -1 while 3D drawing is suppressed.
int DrawTextToTarget(int x, int y, const char* text, std::uint32_t color, int fontHandle, std::uint32_t edgeColor,
                     int vertical);

int SoftDrawFontText(int x, int y, const char* text, std::uint32_t color, int fontHandle, std::uint32_t edgeColor,
                     int vertical);
// The same for a font already looked up (null: the handle is bad).
int SoftDrawFontTextRecord(int x, int y, const char* text, std::uint32_t color, FontRecord* font,
                           std::uint32_t edgeColor, int vertical);
