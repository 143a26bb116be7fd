#include "screens/sub_screen_drawing.h"

#include <climits>

#include "engine/glyph_text.h"
#include "engine/handles.h"

namespace {

constexpr int kCursorFrameCount = 30;
constexpr int kFramesPerCursorFrame = 5;
constexpr int kMaxDigits = 10;  // enough for any 32-bit value

// The digits of a value, most significant first; the count.
int Digits(std::int32_t value, int (&digits)[kMaxDigits]) {
    std::uint32_t rest = value > 0 ? static_cast<std::uint32_t>(value) : 0;
    int reversed[kMaxDigits];
    int count = 0;
    do {
        reversed[count++] = static_cast<int>(rest % 10);
        rest /= 10;
    } while (rest != 0 && count < kMaxDigits);
    for (int i = 0; i < count; ++i) digits[i] = reversed[count - 1 - i];
    return count;
}

}  // namespace

void CountFrame(std::int32_t& counter) { counter = counter < INT_MAX && counter >= 0 ? counter + 1 : 0; }

int CursorFrameIndex(std::int32_t counter) {
    int frame = (counter / kFramesPerCursorFrame) % kCursorFrameCount;
    return frame < 0 ? frame + kCursorFrameCount : frame;
}

void DrawLetterGlyph(int index, int x, int y) {
    if (index < 0 || index >= kGlyphLetterCount) return;
    ApiBlitGraph(x, y, g_GlyphLetters[index], 1);
}

void DrawDigitsEndingAt(std::int32_t value, int xLast, int y, int colourSet) {
    int digits[kMaxDigits];
    int count = Digits(value, digits);
    for (int i = 0; i < count; ++i)
        DrawGlyphDigit(digits[i], xLast - kSubScreenGlyphPitch * (count - 1 - i), y, colourSet);
}

void DrawDigitsFrom(std::int32_t value, int xFirst, int y, int colourSet) {
    int digits[kMaxDigits];
    int count = Digits(value, digits);
    for (int i = 0; i < count; ++i) DrawGlyphDigit(digits[i], xFirst + kSubScreenGlyphPitch * i, y, colourSet);
}

void DrawBevelBox(int x1, int y1, int x2, int y2, ColorCode frame, ColorCode shadow, ColorCode fill) {
    ApiPaintBox(x1, y1, x2, y2, frame, 1);
    ApiPaintBox(x1 + 1, y1 + 1, x2 + 1, y2 + 1, shadow, 1);
    ApiPaintBox(x1 + 1, y1 + 1, x2, y2, fill, 1);
}

void DrawTranslucentBox(int x1, int y1, int x2, int y2, ColorCode colour, int alpha) {
    ApiSetBlendModeParam(kBlendAlpha, alpha);
    ApiPaintBox(x1, y1, x2, y2, colour, 1);
    ApiSetBlendModeParam(kBlendNone, 0);
}
