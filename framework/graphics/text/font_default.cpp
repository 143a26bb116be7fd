// The default font: its settings, and the font made from them whenever they
// change. The game draws all of its running text with it.

#include "graphics/device/screen_device.h"
#include "graphics/text/font.h"
#include "graphics/text/font_layout.h"

DefaultFontSettings g_DefaultFontSettings{};

namespace {

constexpr int kStartSize = 16;
constexpr int kStartThickness = 6;
constexpr int kStartCharSetKind = kCharSetKindShiftJis;
constexpr int kStartEdgeSize = 1;

// Face names are short: compared inline, without a library call on every
// text drawn.
bool SameFace(const char* a, const char* b) {
    for (;; ++a, ++b) {
        if (*a != *b) return false;
        if (*a == '\0') return true;
    }
}

// The font type a font made from the settings gets, so that a font whose
// type was settled (edge bit, no grey levels on 8 bits) still agrees.
bool Agrees(const FontRecord& f, const DefaultFontSettings& s) {
    const int edge = (s.fontType & kFontTypeEdge) ? s.edgeSize : kStartEdgeSize;
    return f.size == s.size && f.thickness == s.thickness && f.charSetKind == s.charSetKind && f.italic == s.italic &&
           f.edgeSize == edge && f.fontType == NormalizedFontType(s.fontType, edge, GetScreenColorFormat()->depth) &&
           SameFace(f.faceName, s.face);
}

// The default font brought in line with the settings, and its record (null
// when it could not be made).
FontRecord* SyncedDefaultFont(int* handle) {
    const DefaultFontSettings& s = g_DefaultFontSettings;
    if (FontRecord* f = DefaultFontRecord(handle); f != nullptr && Agrees(*f, s)) return f;
    if (*handle != -1) ReleaseFontHandle(*handle);
    const int edge = (s.fontType & kFontTypeEdge) ? s.edgeSize : -1;
    const int made = CreateFontToHandle(s.face[0] != '\0' ? s.face : nullptr, s.size, s.thickness, s.fontType,
                                        s.charSetKind, edge, s.italic, -1, -1);
    SetDefaultFontHandle(made);
    if (made == -1) {
        *handle = -1;
        return nullptr;
    }
    SetFontLetterGap(s.letterGap, made);
    return DefaultFontRecord(handle);
}

}  // namespace

void ResetDefaultFontSettings() {
    DefaultFontSettings& s = g_DefaultFontSettings;
    s = DefaultFontSettings{};
    s.size = kStartSize;
    s.thickness = kStartThickness;
    s.charSetKind = kStartCharSetKind;
    s.edgeSize = kStartEdgeSize;
}

int SyncDefaultFontToSettings() {
    int handle = -1;
    return SyncedDefaultFont(&handle) != nullptr ? 0 : -1;
}

int SetDefaultFontFace(const char* face, int charSetKind) {
    CopyFaceName(g_DefaultFontSettings.face, sizeof g_DefaultFontSettings.face, face);
    g_DefaultFontSettings.charSetKind = charSetKind == -1 ? kStartCharSetKind : charSetKind;
    SyncDefaultFontToSettings();
    return 0;
}

int SetDefaultFontSize(int size) {
    g_DefaultFontSettings.size = size == -1 ? kStartSize : size;
    SyncDefaultFontToSettings();
    return 0;
}

int SetDefaultFontThickness(int thickness) {
    g_DefaultFontSettings.thickness = thickness == -1 ? kStartThickness : thickness;
    SyncDefaultFontToSettings();
    return 0;
}

int SetDefaultFontSizeThickness(int size, int thickness) {
    g_DefaultFontSettings.size = size == -1 ? kStartSize : size;
    g_DefaultFontSettings.thickness = thickness == -1 ? kStartThickness : thickness;
    SyncDefaultFontToSettings();
    return 0;
}

int FetchDefaultFontHandle() {
    SyncDefaultFontToSettings();
    return DefaultFontHandle();
}

int DrawTextDefaultFont(int x, int y, const char* text, std::uint32_t color, std::uint32_t edgeColor) {
    int handle = -1;
    FontRecord* font = SyncedDefaultFont(&handle);
    return DrawTextWithFontRecord(x, y, text, color, font, handle, edgeColor, 0);
}
