// Key-input strings on the screen: the text before the cursor, the IME's
// composition where the cursor stands, the text after it, and the cursor.
#include <string>

#include "core/utility.h"
#include "graphics/draw/draw_ops.h"
#include "graphics/text/font.h"
#include "graphics/text/key_input_draw.h"
#include "input/char_input.h"
#include "platform/kernel.h"
#include "window/window.h"

namespace {

constexpr int kCursorWidth = 2;

bool CursorShown(const KeyInputState& st) {
    if (!st.cursorVisible || st.cursorBlinkPeriod == 0) return false;
    return (timeGetTime() - st.lastTypedTime) / st.cursorBlinkPeriod % 2 == 0;
}

}  // namespace

int DrawKeyInputString(int x, int y, HandleId handle) {
    const KeyInputRecord* r = LookupKeyInput(handle);
    if (r == nullptr) return -1;
    const int fontHandle = FetchDefaultFontHandle();
    FontRecord* font = LookupFont(fontHandle);
    if (font == nullptr) return -1;
    const KeyInputState& st = g_KeyInputState;
    const std::uint32_t* colors = st.colors;
    const bool editing = st.activeHandle == handle && !r->endFlag;
    const bool composing = editing && g_ImeState.composing && g_ImeState.composition[0] != '\0';

    const std::string before(r->buffer, static_cast<std::size_t>(r->cursor));
    const char* after = r->buffer + r->cursor;
    const int height = font->charHeight;
    DrawTextWithFont(x, y, before.c_str(), colors[kKeyInputColorText], fontHandle, colors[kKeyInputColorTextEdge], 0);
    int pen = x + MeasureTextAdvance(font, before.c_str());
    if (composing) {
        const char* composition = g_ImeState.composition;
        DrawTextWithFont(pen, y, composition, colors[kKeyInputColorImeText], fontHandle,
                         colors[kKeyInputColorImeEdge], 0);
        const int width = MeasureTextAdvance(font, composition);
        FillBox(pen, y + height, pen + width, y + height + 1, colors[kKeyInputColorImeUnderline]);
        // The composition's cursor, at the whole character it stands before.
        const std::size_t cursor = g_ImeState.cursorPosition > 0 ? static_cast<std::size_t>(g_ImeState.cursorPosition) : 0;
        const std::string lead(composition, ShiftJisPrefixLength(composition, cursor));
        const int cx = pen + MeasureTextAdvance(font, lead.c_str());
        FillBox(cx, y, cx + kCursorWidth, y + height, colors[kKeyInputColorImeCursor]);
        pen += width;
    }
    DrawTextWithFont(pen, y, after, colors[kKeyInputColorText], fontHandle, colors[kKeyInputColorTextEdge], 0);
    if (editing && !composing && CursorShown(st)) {
        const int cx = x + MeasureTextAdvance(font, before.c_str());
        FillBox(cx, y, cx + kCursorWidth, y + height, colors[kKeyInputColorCursor]);
    }
    return 0;
}
