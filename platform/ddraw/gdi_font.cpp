// GDI fonts over FreeType: CreateFontA chooses the faces (fontconfig), the
// metrics follow the Windows rules for a cell height (the face's Windows
// ascent and descent fill the requested height), and GetGlyphOutlineA renders
// one glyph as a 1-bit or a 17-level grey bitmap with rows padded to 4 bytes.
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>

#include "ddraw/gdi_font_internal.h"

namespace {

// GDI truncates face names to this many bytes, the terminator included.
constexpr std::size_t kFaceNameBytes = 32;
// A cell height of 0 asks for the system's default size.
constexpr int kDefaultCellHeight = 16;
// The slant of a synthetic italic, as a 16.16 shear (about 12 degrees).
constexpr FT_Fixed kObliqueShear = 0x0366A;

struct OpenFace {
    FontFaceChoice choice;
    FT_Face face = nullptr;
    bool tried = false;  // opened, or failed to open: not tried again
    int ppem = 0;
};

// The glyph rendered last: GDI callers ask once for the size and again for
// the bits, and the second call takes them from here.
struct RenderedGlyph {
    bool valid = false;
    UINT character = 0, format = 0;
    GLYPHMETRICS metrics{};
    std::vector<std::uint8_t> bits;  // rows padded to 4 bytes
};

struct Font {
    RenderedGlyph last;
    FontRequest request;
    int height = 0;                // as asked: > 0 cell height, < 0 character height
    std::vector<OpenFace> faces;   // [0] the font's own face
    TEXTMETRICA metrics{};
};

std::mutex g_fontMutex;
FT_Library g_library = nullptr;
std::map<std::uintptr_t, std::unique_ptr<Font>> g_fonts;
// Handles in a range of their own, apart from DCs and bitmaps.
std::uintptr_t g_nextFont = 0x7F000000;

int RoundScaled(long units, int ppem, int unitsPerEm) {
    if (unitsPerEm <= 0) return 0;
    return static_cast<int>(std::lround(static_cast<double>(units) * ppem / unitsPerEm));
}

// The Windows ascent and descent of a face in font units: its OS/2 table's,
// else the horizontal header's.
void WindowsExtent(FT_Face face, long* ascent, long* descent) {
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    if (os2 != nullptr && os2->version != 0xFFFF && os2->usWinAscent + os2->usWinDescent > 0) {
        *ascent = os2->usWinAscent;
        *descent = os2->usWinDescent;
    } else {
        *ascent = face->ascender;
        *descent = -face->descender;
    }
    if (*ascent + *descent <= 0) {
        *ascent = face->units_per_EM;
        *descent = 0;
    }
}

// The pixels per em that make the face's Windows extent as tall as the cell.
int PixelsPerEm(FT_Face face, int height) {
    if (height < 0) return std::max(1, -height);
    long ascent = 0, descent = 0;
    WindowsExtent(face, &ascent, &descent);
    const double ppem = static_cast<double>(height) * face->units_per_EM / static_cast<double>(ascent + descent);
    return std::max(1, static_cast<int>(std::lround(ppem)));
}

bool Open(OpenFace& f, int height) {
    if (f.tried) return f.face != nullptr;
    f.tried = true;
    if (g_library == nullptr && FT_Init_FreeType(&g_library) != 0) return false;
    if (FT_New_Face(g_library, f.choice.file.c_str(), f.choice.index, &f.face) != 0) {
        f.face = nullptr;
        return false;
    }
    if (!FT_IS_SCALABLE(f.face)) {
        FT_Done_Face(f.face);
        f.face = nullptr;
        return false;
    }
    f.ppem = PixelsPerEm(f.face, height);
    FT_Set_Pixel_Sizes(f.face, 0, static_cast<FT_UInt>(f.ppem));
    return true;
}

void Close(Font& font) {
    for (OpenFace& f : font.faces)
        if (f.face != nullptr) FT_Done_Face(f.face);
    font.faces.clear();
}

void FillMetrics(Font& font) {
    OpenFace& f = font.faces[0];
    FT_Face face = f.face;
    long ascentUnits = 0, descentUnits = 0;
    WindowsExtent(face, &ascentUnits, &descentUnits);
    const int upem = face->units_per_EM;
    TEXTMETRICA& tm = font.metrics;
    tm = TEXTMETRICA{};
    tm.tmAscent = RoundScaled(ascentUnits, f.ppem, upem);
    tm.tmDescent = RoundScaled(descentUnits, f.ppem, upem);
    tm.tmHeight = tm.tmAscent + tm.tmDescent;
    tm.tmInternalLeading = std::max(0, tm.tmHeight - f.ppem);
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    const auto* hhea = static_cast<const TT_HoriHeader*>(FT_Get_Sfnt_Table(face, FT_SFNT_HHEA));
    tm.tmAveCharWidth = os2 != nullptr ? RoundScaled(os2->xAvgCharWidth, f.ppem, upem) : f.ppem / 2;
    tm.tmMaxCharWidth = RoundScaled(hhea != nullptr ? hhea->advance_Width_Max : face->max_advance_width, f.ppem, upem);
    tm.tmWeight = font.request.weight;
    tm.tmItalic = font.request.italic ? 1 : 0;
    tm.tmFirstChar = 0x20;
    tm.tmLastChar = 0xFF;
    tm.tmDefaultChar = 0x1F;
    tm.tmBreakChar = 0x20;
    tm.tmPitchAndFamily = 0x06;  // a vector face, TrueType-like, variable pitch bit clear as asked
    tm.tmCharSet = static_cast<BYTE>(font.request.charSet);
    tm.tmDigitizedAspectX = tm.tmDigitizedAspectY = 96;
}

Font* FindFont(HGDIOBJ handle) {
    auto it = g_fonts.find(reinterpret_cast<std::uintptr_t>(handle));
    return it == g_fonts.end() ? nullptr : it->second.get();
}

// The face that has the character, in the font's order; else the font's own
// face with its missing-glyph shape, as GDI draws it.
OpenFace* FaceFor(Font& font, std::uint32_t unicode, FT_UInt* glyphIndex) {
    for (OpenFace& f : font.faces) {
        if (!Open(f, font.height)) continue;
        if (FT_UInt index = FT_Get_Char_Index(f.face, unicode)) {
            *glyphIndex = index;
            return &f;
        }
    }
    *glyphIndex = 0;
    return font.faces[0].face != nullptr ? &font.faces[0] : nullptr;
}

// FreeType can hand a space out as a blank 1 x 1 bitmap; GDI has no pixels
// for it at all.
bool AnyPixel(const FT_Bitmap& bitmap) {
    const unsigned rowBytes = bitmap.pixel_mode == FT_PIXEL_MODE_MONO ? (bitmap.width + 7) / 8 : bitmap.width;
    for (unsigned row = 0; row < bitmap.rows; ++row) {
        const std::uint8_t* line = bitmap.buffer + static_cast<std::ptrdiff_t>(row) * bitmap.pitch;
        for (unsigned i = 0; i < rowBytes; ++i)
            if (line[i] != 0) return true;
    }
    return false;
}

void CopyMono(const FT_Bitmap& bitmap, std::uint8_t* out, int pitch) {
    const int rowBytes = static_cast<int>((bitmap.width + 7) / 8);
    for (unsigned row = 0; row < bitmap.rows; ++row)
        std::memcpy(out + static_cast<std::size_t>(row) * pitch, bitmap.buffer + static_cast<std::ptrdiff_t>(row) * bitmap.pitch,
                    static_cast<std::size_t>(rowBytes));
}

// 256 coverage levels to GDI's 17 (0..16).
void CopyGrey(const FT_Bitmap& bitmap, std::uint8_t* out, int pitch) {
    for (unsigned row = 0; row < bitmap.rows; ++row) {
        const std::uint8_t* in = bitmap.buffer + static_cast<std::ptrdiff_t>(row) * bitmap.pitch;
        std::uint8_t* line = out + static_cast<std::size_t>(row) * pitch;
        for (unsigned x = 0; x < bitmap.width; ++x) line[x] = static_cast<std::uint8_t>((in[x] * 16 + 127) / 255);
    }
}

// Renders the character as GDI hands it out. False when the code page has
// no such character or FreeType fails.
bool Render(Font& font, UINT character, UINT format, RenderedGlyph* out) {
    const std::uint32_t unicode = CharacterToUnicode(character, font.request.charSet);
    if (unicode == 0 && character != 0) return false;
    FT_UInt index = 0;
    OpenFace* f = FaceFor(font, unicode, &index);
    if (f == nullptr) return false;

    const bool mono = format == GGO_BITMAP;
    FT_Matrix shear{0x10000, kObliqueShear, 0, 0x10000};
    FT_Set_Transform(f->face, f->choice.oblique ? &shear : nullptr, nullptr);
    if (FT_Load_Glyph(f->face, index, mono ? FT_LOAD_TARGET_MONO : FT_LOAD_TARGET_NORMAL) != 0) return false;
    FT_GlyphSlot slot = f->face->glyph;
    if (f->choice.embolden) FT_GlyphSlot_Embolden(slot);
    if (FT_Render_Glyph(slot, mono ? FT_RENDER_MODE_MONO : FT_RENDER_MODE_NORMAL) != 0) return false;

    const FT_Bitmap& bitmap = slot->bitmap;
    const int width = static_cast<int>(bitmap.width), rows = static_cast<int>(bitmap.rows);
    const bool empty = width == 0 || rows == 0 || !AnyPixel(bitmap);
    // An empty glyph reports a 1 x 1 black box and needs no buffer, as in GDI.
    GLYPHMETRICS& gm = out->metrics;
    gm.gmBlackBoxX = empty ? 1 : static_cast<UINT>(width);
    gm.gmBlackBoxY = empty ? 1 : static_cast<UINT>(rows);
    gm.gmptGlyphOrigin.x = slot->bitmap_left;
    gm.gmptGlyphOrigin.y = slot->bitmap_top;
    gm.gmCellIncX = static_cast<short>((slot->advance.x + 32) >> 6);
    gm.gmCellIncY = 0;
    const int pitch = mono ? (width + 31) / 32 * 4 : (width + 3) / 4 * 4;
    out->bits.assign(empty ? 0 : static_cast<std::size_t>(pitch) * static_cast<std::size_t>(rows), 0);
    if (!empty) {
        if (mono)
            CopyMono(bitmap, out->bits.data(), pitch);
        else
            CopyGrey(bitmap, out->bits.data(), pitch);
    }
    out->character = character;
    out->format = format;
    out->valid = true;
    return true;
}

}  // namespace

HFONT CreateFontA(int height, int, int, int, int weight, DWORD italic, DWORD, DWORD, DWORD charSet, DWORD, DWORD,
                  DWORD, DWORD, LPCSTR faceName) {
    auto font = std::make_unique<Font>();
    font->height = height == 0 ? kDefaultCellHeight : height;
    if (faceName != nullptr) {
        char face[kFaceNameBytes] = {};
        std::strncpy(face, faceName, kFaceNameBytes - 1);
        font->request.familyUtf8 = SystemTextToUtf8(face);
    }
    font->request.weight = weight <= 0 ? 400 : std::clamp(weight, 1, 1000);
    font->request.italic = italic != 0;
    font->request.charSet = charSet;
    std::vector<FontFaceChoice> choices = ChooseFontFaces(font->request);
    if (choices.empty()) return nullptr;
    std::lock_guard lock(g_fontMutex);
    for (const FontFaceChoice& c : choices) font->faces.push_back(OpenFace{c});
    // The font's own face must open; fallbacks open when first needed.
    if (!Open(font->faces[0], font->height)) {
        Close(*font);
        return nullptr;
    }
    FillMetrics(*font);
    g_nextFont += 16;
    g_fonts.emplace(g_nextFont, std::move(font));
    return reinterpret_cast<HFONT>(g_nextFont);
}

bool IsFontObject(HGDIOBJ object) {
    std::lock_guard lock(g_fontMutex);
    return FindFont(object) != nullptr;
}

bool DeleteFontObject(HGDIOBJ object) {
    std::lock_guard lock(g_fontMutex);
    auto it = g_fonts.find(reinterpret_cast<std::uintptr_t>(object));
    if (it == g_fonts.end()) return false;
    Close(*it->second);
    g_fonts.erase(it);
    return true;
}

BOOL GetTextMetricsA(HDC dc, TEXTMETRICA* metrics) {
    if (metrics == nullptr) return FALSE;
    HGDIOBJ selected = SelectedFontOf(dc);
    std::lock_guard lock(g_fontMutex);
    Font* font = FindFont(selected);
    if (font == nullptr) return FALSE;
    *metrics = font->metrics;
    return TRUE;
}

DWORD GetGlyphOutlineA(HDC dc, UINT character, UINT format, GLYPHMETRICS* metrics, DWORD bufferSize, LPVOID buffer,
                       const MAT2* matrix) {
    if (metrics == nullptr || matrix == nullptr || (format != GGO_BITMAP && format != GGO_GRAY4_BITMAP))
        return GDI_ERROR;
    HGDIOBJ selected = SelectedFontOf(dc);
    std::lock_guard lock(g_fontMutex);
    Font* font = FindFont(selected);
    if (font == nullptr) return GDI_ERROR;
    RenderedGlyph& glyph = font->last;
    if (!glyph.valid || glyph.character != character || glyph.format != format) {
        glyph.valid = false;
        if (!Render(*font, character, format, &glyph)) return GDI_ERROR;
    }
    *metrics = glyph.metrics;
    const DWORD needed = static_cast<DWORD>(glyph.bits.size());
    if (buffer == nullptr || bufferSize == 0) return needed;
    if (bufferSize < needed) return GDI_ERROR;
    if (needed > 0) std::memcpy(buffer, glyph.bits.data(), needed);
    return needed;
}
