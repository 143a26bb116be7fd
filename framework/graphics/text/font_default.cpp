// The default font: its settings, and the font made from them whenever they
// change. The game draws all of its running text with it.
#include <cstring>

#include "graphics/device/screen_device.h"
#include "graphics/text/font.h"
#include "graphics/text/font_layout.h"

DefaultFontSettings g_DefaultFontSettings{};

namespace {

constexpr int kStartSize = 16;
constexpr int kStartThickness = 6;
constexpr int kStartCharSetKind = kCharSetKindShiftJis;
constexpr int kStartEdgeSize = 1;

// The font type a font made from the settings gets, so that a font whose
// type was settled (edge bit, no grey levels on 8 bits) still agrees.
bool Agrees(const FontRecord& f, const DefaultFontSettings& s) {
    const int edge = (s.fontType & kFontTypeEdge) ? s.edgeSize : kStartEdgeSize;
    return std::strcmp(f.faceName, s.face) == 0 && f.size == s.size && f.thickness == s.thickness &&
           f.charSetKind == s.charSetKind && f.italic == s.italic && f.edgeSize == edge &&
           f.fontType == NormalizedFontType(s.fontType, edge, GetScreenColorFormat()->depth);
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
    const DefaultFontSettings& s = g_DefaultFontSettings;
    int current = -1;
    if (const FontRecord* f = DefaultFontRecord(&current); f != nullptr && Agrees(*f, s)) return 0;
    if (current != -1) ReleaseFontHandle(current);
    const int edge = (s.fontType & kFontTypeEdge) ? s.edgeSize : -1;
    const int made = CreateFontToHandle(s.face[0] != '\0' ? s.face : nullptr, s.size, s.thickness, s.fontType,
                                        s.charSetKind, edge, s.italic, -1, -1);
    SetDefaultFontHandle(made);
    if (made == -1) return -1;
    SetFontLetterGap(s.letterGap, made);
    return 0;
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
    SyncDefaultFontToSettings();
    int handle = -1;
    FontRecord* font = DefaultFontRecord(&handle);
    return DrawTextWithFontRecord(x, y, text, color, font, handle, edgeColor, 0);
}
