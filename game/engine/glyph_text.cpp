#include "engine/glyph_text.h"

#include "engine/handles.h"
#include "kelvo/api.h"

namespace {

constexpr int kLettersPerSet = 26;
constexpr int kDigitsPerSet = 10;

bool ValidSet(int colourSet) { return colourSet >= 0 && colourSet < kGlyphColourSets; }

}  // namespace

void DrawGlyphDigit(int digit, int x, int y, int colourSet) {
    if (digit < 0 || digit >= kDigitsPerSet || !ValidSet(colourSet)) return;
    ApiBlitGraph(x, y, g_GlyphDigits[colourSet * kDigitsPerSet + digit], 1);
}

void DrawGlyphText(const char* text, int x0, int y, int colourSet, int pitch) {
    if (text == nullptr || !ValidSet(colourSet)) return;
    for (int j = 0; text[j] != '\0'; ++j) {
        char c = text[j];
        int x = x0 + pitch * j;
        if (c >= 'A' && c <= 'Z')
            ApiBlitGraph(x, y, g_GlyphLetters[colourSet * kLettersPerSet + (c - 'A')], 1);
        else if (c >= '0' && c <= '9')
            DrawGlyphDigit(c - '0', x, y, colourSet);
    }
}
