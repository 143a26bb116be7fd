// The GDI font stand-in: a font object is a set of FreeType faces that
// fontconfig chose for the requested face name, weight, slant and character
// set. The first face is the font itself; the others are the faces a glyph
// missing from it falls back to, in fontconfig's order.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/gdi.h"

// One face file as fontconfig found it.
struct FontFaceChoice {
    std::string file;
    int index = 0;          // face index inside the file
    bool embolden = false;  // fontconfig asks for synthetic bold
    bool oblique = false;   // fontconfig asks for a synthetic slant
};

// What CreateFontA asked for, settled to the values the faces are chosen by.
struct FontRequest {
    std::string familyUtf8;  // empty: no family named
    int weight = 400;        // 100..900
    bool italic = false;
    DWORD charSet = 1;
};

// The chosen face and, after it, the fallback faces (never repeating the
// first). Empty when fontconfig knows no scalable face at all.
std::vector<FontFaceChoice> ChooseFontFaces(const FontRequest& request);

// The fontconfig language of a GDI character set ("ja", "ko"), or "" for one
// that asks for no particular script.
const char* LanguageOfCharSet(DWORD charSet);

// A character code of the character set (a byte, or lead << 8 | trail) as a
// Unicode code point; 0 when the code page has no such character.
std::uint32_t CharacterToUnicode(UINT character, DWORD charSet);
// A text of the system code page (Shift-JIS) as UTF-8; bytes that do not
// convert are dropped.
std::string SystemTextToUtf8(const char* text);

// Used by the DC code: fonts are GDI objects a DC selects.
bool IsFontObject(HGDIOBJ object);
bool DeleteFontObject(HGDIOBJ object);
// The font a DC has selected, or null (gdi_dc.cpp).
HGDIOBJ SelectedFontOf(HDC dc);
