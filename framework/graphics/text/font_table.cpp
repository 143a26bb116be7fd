// The font table: making fonts with their GDI font, metrics and memory glyph
// cache, releasing them, and making them all again around a device change.
#include <algorithm>
#include <cstring>

#include "core/log.h"
#include "core/memory.h"
#include "graphics/device/screen_device.h"
#include "graphics/device/surface2d.h"
#include "graphics/image/color_format.h"
#include "graphics/text/font.h"
#include "graphics/text/font_layout.h"
#include "platform/kernel.h"

namespace {

using FontTable = HandleTable<FontRecord, kHandleTypeFont, kFontSlotCount>;

struct FontTableState {
    FontTable table;
    int defaultFont = -1;
};
FontTableState g_Fonts;

int SlotOf(int handle) { return HandleSlotFor(handle, kHandleTypeFont, kFontSlotCount); }

// "ＭＳ ゴシック": the face asked for when none is named.
constexpr char kSystemDefaultFace[] = "ＭＳ ゴシック";

DWORD GdiCharSetOf(int charSetKind) {
    switch (charSetKind) {
        case kCharSetKindShiftJis: return SHIFTJIS_CHARSET;
        case kCharSetKindHangul: return HANGUL_CHARSET;
        default: return DEFAULT_CHARSET;
    }
}

HFONT MakeGdiFont(const char* face, int size, int thickness, int italic, DWORD charSet) {
    return CreateFontA(size, 0, 0, 0, thickness * 100, italic ? 1 : 0, 0, 0, charSet, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, NONANTIALIASED_QUALITY, FIXED_PITCH, face);
}

// The GDI font, with the retries that give way on the character set and,
// without a face, on the face. Null when every try failed (logged).
HFONT CreateGdiFont(const FontRecord& f) {
    const DWORD charSet = GdiCharSetOf(f.charSetKind);
    HFONT font = nullptr;
    if (f.faceName[0] != '\0') {
        font = MakeGdiFont(f.faceName, f.size, f.thickness, f.italic, charSet);
        if (font == nullptr) font = MakeGdiFont(f.faceName, f.size, f.thickness, f.italic, DEFAULT_CHARSET);
        if (font == nullptr) font = MakeGdiFont(f.faceName, f.size, f.thickness, f.italic, SHIFTJIS_CHARSET);
        if (font == nullptr) WriteLogText("指定のフォントの作成に失敗しました\n");
        return font;
    }
    font = MakeGdiFont(kSystemDefaultFace, f.size, f.thickness, f.italic, charSet);
    if (font == nullptr && !f.italic) font = MakeGdiFont(kSystemDefaultFace, f.size, f.thickness, 0, DEFAULT_CHARSET);
    if (font == nullptr && !f.italic) font = MakeGdiFont(nullptr, f.size, f.thickness, 0, DEFAULT_CHARSET);
    if (font == nullptr) WriteLogText("フォントの作成に失敗しました\n");
    return font;
}

// The text metrics through a memory DC with the font selected. 0 or -1.
int ReadMetrics(FontRecord* f) {
    HDC dc = CreateCompatibleDC(nullptr);
    if (dc == nullptr) return WriteLogText("ＤＣの取得に失敗しました\n");
    HGDIOBJ previous = SelectObject(dc, f->gdiFont);
    TEXTMETRICA tm{};
    const BOOL ok = GetTextMetricsA(dc, &tm);
    SelectObject(dc, previous);
    DeleteDC(dc);
    if (!ok) return WriteLogText("ＤＣの取得に失敗しました\n");
    const int edge = (f->fontType & kFontTypeEdge) ? f->edgeSize : 0;
    f->maxCharWidth = PadCellSize(tm.tmMaxCharWidth + 2 * edge);
    f->charHeight = EvenCharHeight(tm.tmHeight + 2 * edge);
    f->ascent = tm.tmAscent;
    return 0;
}

int MakeMemoryCache(FontRecord* f) {
    const MemoryCacheLayout layout = MemoryCacheLayoutFor(f->maxCharWidth, f->fontType);
    f->cacheBitsPerPixel = layout.bitsPerPixel;
    f->slotCount = layout.slotCount;
    f->cacheWidth = layout.width;
    f->cacheHeight = layout.height;
    f->cellsPerColumn = layout.slotCount;
    f->cacheRowBytes = layout.rowBytes;
    f->cachePixels = static_cast<std::uint8_t*>(KV_ALLOC(layout.bytes));
    if (f->cachePixels == nullptr)
        return WriteLogText("フォントのキャッシュ用メモリの確保に失敗しました in CreateFontToHandle");
    return 0;
}

// Frees everything the record holds and the record; the slot is cleared by
// the caller. The linked flag is told unless `quiet`.
void FreeFontRecord(FontRecord* f, bool quiet) {
    if (f->gdiFont != nullptr) DeleteObject(f->gdiFont);
    KV_FREE(f->cachePixels);
    if (f->cacheSurface >= 0) DeleteSurface2D(f->cacheSurface);
    ReleaseFontTextureCache(f);
    if (!quiet && f->lostFlag != nullptr) *f->lostFlag = 1;
    KV_FREE(f);
}

// What a font is made from, apart from its cache.
struct FontSettings {
    char face[kFontFaceBytes];
    int size, thickness, fontType, charSetKind, edgeSize, italic, letterGap;
    std::uint32_t checkNumber;
    int* lostFlag;
};

FontSettings SettingsOf(const FontRecord& f) {
    FontSettings s{};
    std::memcpy(s.face, f.faceName, sizeof s.face);
    s.size = f.size;
    s.thickness = f.thickness;
    s.fontType = f.fontType;
    s.charSetKind = f.charSetKind;
    s.edgeSize = f.edgeSize;
    s.italic = f.italic;
    s.letterGap = f.letterGap;
    s.checkNumber = f.checkNumber;
    s.lostFlag = f.lostFlag;
    return s;
}

}  // namespace

int CreateFontToHandle(const char* face, int size, int thickness, int fontType, int charSetKind, int edgeSize,
                       int italic, int slot, int checkNumber) {
    if (IsDirectDrawInUse() && !HasDirectDrawObject()) return -1;
    FontTable& table = g_Fonts.table;
    if (fontType == -1) fontType = 0;
    if (size == -1) size = 16;
    if (thickness == -1) thickness = 6;
    if (edgeSize == -1) edgeSize = 1;
    if (charSetKind == -1) charSetKind = GetOEMCP() == 949 ? kCharSetKindHangul : kCharSetKindShiftJis;
    fontType = NormalizedFontType(fontType, edgeSize, GetScreenColorFormat()->depth);
    if (size <= 0 || edgeSize < 0 || thickness < 0 || charSetKind < 0 || charSetKind > kCharSetKindHangul)
        return WriteLogFormat("フォントの設定値が不正です");

    if (slot != -1) {
        if (slot < 0 || slot >= kFontSlotCount || table.At(slot) != nullptr) return -1;
    } else {
        slot = table.LowestEmptySlot();
        if (slot < 0) return WriteLogFormat("作成できるフォントハンドル数 %d の限界を超えました", kFontSlotCount);
    }

    auto* f = static_cast<FontRecord*>(KV_ALLOC_ZEROED(sizeof(FontRecord)));
    if (f == nullptr) return WriteLogText("フォント管理用メモリ領域の確保に失敗しました\n");
    f->cacheSurface = kNoHandle;
    f->cacheSurfaceLost = 1;
    f->textureCacheGraph = f->textureCacheEdgeGraph = kNoHandle;
    f->textureCacheLost = 1;
    f->edgeSize = edgeSize;
    f->fontType = fontType;
    f->size = size;
    f->thickness = thickness;
    f->italic = italic;
    f->letterGap = 0;
    f->charSetKind = charSetKind;
    CopyFaceName(f->faceName, sizeof f->faceName, face);
    const std::uint32_t check = checkNumber != -1 ? static_cast<std::uint32_t>(checkNumber) : table.Counter().Take();
    const HandleId handle = table.Insert(slot, f, check);

    auto fail = [&]() {
        FreeFontRecord(table.Remove(slot), true);
        return -1;
    };
    f->gdiFont = CreateGdiFont(*f);
    if (f->gdiFont == nullptr || ReadMetrics(f) < 0 || MakeMemoryCache(f) < 0) return fail();
    if (FontTextureCacheWanted() && MakeFontTextureCache(f) < 0) {
        WriteLogText("テクスチャ文字キャッシュの作成に失敗しました\n");
        f->textureCache = 0;
    }
    if (EnsureFontCacheSurface(f) < 0) {
        WriteLogText("フォント用描画スクリーンの作成に失敗しました\n");
        return fail();
    }
    ClearFontCache(f);
    f->lostFlag = nullptr;
    return handle;
}

FontRecord* LookupFont(int fontHandle) { return g_Fonts.table.Lookup(fontHandle); }

int IsValidFontHandle(int fontHandle) { return LookupFont(fontHandle) != nullptr ? 1 : 0; }

int ReleaseFontHandle(int fontHandle) {
    if (LookupFont(fontHandle) == nullptr) return -1;
    FreeFontRecord(g_Fonts.table.Remove(SlotOf(fontHandle)), false);
    if (fontHandle == g_Fonts.defaultFont) g_Fonts.defaultFont = -1;
    return 0;
}

int DefaultFontHandle() { return LookupFont(g_Fonts.defaultFont) != nullptr ? g_Fonts.defaultFont : -1; }

void SetDefaultFontHandle(int fontHandle) { g_Fonts.defaultFont = fontHandle; }

FontRecord* DefaultFontRecord(int* fontHandle) {
    FontRecord* font = LookupFont(g_Fonts.defaultFont);
    *fontHandle = font != nullptr ? g_Fonts.defaultFont : -1;
    return font;
}

int ResetAllFonts() {
    WriteLogText("フォントの初期化を行います\n");
    // The default font is made again as it was, or from the start values.
    FontSettings d{};
    d.size = 16;
    d.thickness = 6;
    d.fontType = d.charSetKind = d.edgeSize = -1;
    if (const FontRecord* current = LookupFont(g_Fonts.defaultFont)) d = SettingsOf(*current);
    for (int slot = 0; slot < kFontSlotCount; ++slot)
        if (g_Fonts.table.At(slot) != nullptr) ReleaseFontHandle(g_Fonts.table.HandleAt(slot));
    g_Fonts.defaultFont = CreateFontToHandle(d.face[0] != '\0' ? d.face : nullptr, d.size, d.thickness, d.fontType,
                                             d.charSetKind, d.edgeSize, d.italic, -1, -1);
    WriteLogText("フォントの初期化は正常に終了しました\n");
    return 0;
}

int RecreateAllFonts() {
    for (int slot = 0; slot < kFontSlotCount; ++slot) {
        FontRecord* f = g_Fonts.table.At(slot);
        if (f == nullptr) continue;
        const FontSettings kept = SettingsOf(*f);
        FreeFontRecord(g_Fonts.table.Remove(slot), true);
        const int handle = CreateFontToHandle(kept.face[0] != '\0' ? kept.face : nullptr, kept.size, kept.thickness,
                                              kept.fontType, kept.charSetKind, kept.edgeSize, kept.italic, slot,
                                              static_cast<int>(kept.checkNumber));
        if (FontRecord* again = LookupFont(handle)) {
            again->letterGap = kept.letterGap;
            // The owner's handle is valid again: it keeps its link.
            again->lostFlag = kept.lostFlag;
        } else if (kept.lostFlag != nullptr) {
            *kept.lostFlag = 1;
        }
    }
    return 0;
}

int QueryFontHandleSize(int fontHandle) {
    const FontRecord* f = LookupFont(fontHandle);
    return f != nullptr ? f->size : -1;
}

int QueryFontHandleInfo(int fontHandle, const char** face, int* thickness, int* size) {
    const FontRecord* f = LookupFont(fontHandle);
    if (f == nullptr) return -1;
    if (face != nullptr) *face = f->faceName;
    if (thickness != nullptr) *thickness = f->thickness;
    if (size != nullptr) *size = f->size;
    return 0;
}

int SetFontLetterGap(int gap, int fontHandle) {
    FontRecord* f = LookupFont(fontHandle);
    if (f == nullptr) return -1;
    f->letterGap = gap;
    return 0;
}

int LinkFontLostFlag(int fontHandle, int* lostFlag) {
    FontRecord* f = LookupFont(fontHandle);
    if (f == nullptr) return -1;
    f->lostFlag = lostFlag;
    return 0;
}
