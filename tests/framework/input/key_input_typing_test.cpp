// Typing into a key-input string on the headless backend: the input script
// types text, runs the input method's composition and presses the editing
// keys; the window stand-in turns that into WM_KEYDOWN, WM_CHAR and IME
// messages, the window procedure fills the ring, and message processing
// edits the string. Each frame's bytes, cursor and composition are checked;
// then the string is drawn and its colours looked for on the screen.
//
// With KELVO_CAPTURE=<folder> the drawn frame is kept as a picture.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/framework_fixture.h"
#include "graphics/text/font.h"
#include "input/char_input.h"
#include "platform/dinput.h"
#include "platform/display.h"

namespace {

// Script text is UTF-8; the string's bytes are Shift-JIS.
std::string Utf8(const char8_t* text) { return reinterpret_cast<const char*>(text); }

struct TypingStep {
    std::string line;         // the script's frame
    std::string want;         // the string's bytes after it
    int wantCursor;           // bytes
    std::string composition;  // the running composition's bytes
    int wantCheck = 0;
};

class KeyInputTypingTest : public FrameworkTest {
protected:
    void SetUp() override {
        FrameworkTest::SetUp();
        PlatformSetFrameSink([this](const PlatformFrame& f) { frames.push_back(f); });
        ApiSetAllowDoubleStart(1);
        ASSERT_EQ(ApiInitFramework(), 0);
        ApiSetVBlankWait(0);
        ASSERT_EQ(ApiSelectDrawTarget(kDrawTargetBack), 0);
    }
    void TearDown() override {
        FrameworkTest::TearDown();
        PlatformSetFrameSink(nullptr);
        PlatformInputReset();
    }

    // Runs the script one frame per step, as a game loop would: messages,
    // then the present that moves the script on.
    void Type(const std::vector<TypingStep>& steps, int handle) {
        std::string script;
        for (const TypingStep& s : steps) script += s.line + "\n";
        std::vector<PlatformInputFrame> parsed;
        std::string error;
        int pads = 0;
        ASSERT_TRUE(PlatformParseInputScript(script, &parsed, &pads, &error)) << error;
        ASSERT_EQ(parsed.size(), steps.size());
        PlatformSetInputScript(parsed);
        for (const TypingStep& s : steps) {
            SCOPED_TRACE(s.line);
            ASSERT_EQ(ApiProcessMessage(), 0);
            const KeyInputRecord* r = LookupKeyInput(handle);
            ASSERT_NE(r, nullptr);
            EXPECT_EQ(std::string(r->buffer, static_cast<std::size_t>(r->length)), s.want);
            EXPECT_EQ(r->cursor, s.wantCursor);
            EXPECT_EQ(std::string(g_ImeState.composition), s.composition);
            EXPECT_EQ(g_ImeState.composing, s.composition.empty() ? 0 : 1);
            EXPECT_EQ(ApiCheckKeyInput(handle), s.wantCheck);
            ASSERT_EQ(ApiPresentScreen(), 0);
        }
    }

    std::vector<PlatformFrame> frames;
};

#define AB "ab"
#define NICHI "\x93\xFA"
#define HON "\x96\x7B"
#define GO "\x8C\xEA"
#define KAN "\x8A\xBF"
#define NIHONGO_KANA "\x82\xC9\x82\xD9\x82\xF1\x82\xB2"  // にほんご

TEST_F(KeyInputTypingTest, AsciiAndJapaneseThroughTheCompositionWithEditsAndTheLimit) {
    const int h = ApiMakeKeyInput(12, 1, 0, 0);
    ASSERT_GE(h, 0);
    const std::vector<TypingStep> steps = {
        {"text=ab", AB, 2, ""},
        {"compose=" + Utf8(u8"にほ"), AB, 2, "\x82\xC9\x82\xD9"},
        {"compose=" + Utf8(u8"にほんご"), AB, 2, NIHONGO_KANA},
        // Committed: the composition ends and its text arrives as characters.
        {"text=" + Utf8(u8"日本語"), AB NICHI HON GO, 8, ""},
        {"LEFT", AB NICHI HON GO, 6, ""},
        {"-", AB NICHI HON GO, 6, ""},
        {"LEFT", AB NICHI HON GO, 4, ""},
        {"BACK", AB HON GO, 2, ""},
        {"DELETE", AB GO, 2, ""},
        // A composition given up leaves the string as it was.
        {"compose=" + Utf8(u8"かん"), AB GO, 2, "\x82\xA9\x82\xF1"},
        {"compose=", AB GO, 2, ""},
        {"text=xyzwvu", AB "xyzwvu" GO, 8, ""},
        // The limit: the last character goes to make room, whole.
        {"text=qrs", AB "xyzwvuqrs", 11, ""},
        {"text=" + Utf8(u8"漢"), AB "xyzwvuqr" KAN, 12, ""},
        // Characters Shift-JIS does not have are dropped.
        {"text=" + Utf8(u8"😀"), AB "xyzwvuqr" KAN, 12, ""},
        {"HOME", AB "xyzwvuqr" KAN, 12, ""},
        {"RETURN", AB "xyzwvuqr" KAN, 12, "", 1},
        {"text=more", AB "xyzwvuqr" KAN, 12, "", 1},
    };
    Type(steps, h);
    char copy[16];
    ASSERT_EQ(ApiGetKeyInputString(h, copy, sizeof copy), 0);
    EXPECT_EQ(std::string(copy), AB "xyzwvuqr" KAN);
    EXPECT_EQ(ApiDeleteKeyInput(h), 0);
}

TEST_F(KeyInputTypingTest, EscapeCancelsAndNumbersOnlyFilters) {
    const int h = ApiMakeKeyInput(6, 1, 0, 1);
    ASSERT_GE(h, 0);
    // Backspace and the text typed after it in one frame: the character the
    // key makes comes first, as on a real keyboard.
    Type({{"text=-4" + Utf8(u8"二") + "x2", "-42", 3, ""},
          {"BACK text=5", "-45", 3, ""},
          {"text=-7", "-457", 4, ""},
          {"ESCAPE", "-457", 4, "", 2}},
         h);
    EXPECT_EQ(ApiDeleteKeyInput(h), 0);
    EXPECT_EQ(ApiCheckKeyInput(h), -1);
}

// Compositions of the buffers' full size and more: the window keeps whole
// characters of it with a terminator, and the restore steps (on coming back
// to the window) save it within their buffer, cancel it, close and open the
// input method and put back what they saved.
TEST_F(KeyInputTypingTest, LongCompositionsAndTheRestoreSteps) {
    const int h = ApiMakeKeyInput(8, 0, 0, 0);
    ASSERT_GE(h, 0);
    std::string kana;  // あ, two bytes each
    for (int i = 0; i < 700; ++i) kana += "\x82\xA0";
    const struct {
        std::string composition;
        std::size_t wantKept;  // bytes of it the buffers keep
    } cases[] = {
        {kana.substr(0, 1024), 1022},
        {"a" + kana.substr(0, 1024), 1023},
        {kana, 1022},
        {"ab" + kana.substr(0, 10), 12},
    };
    const HWND window = g_SystemState.mainWindow;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.composition.size());
        HIMC context = ImmGetContext(window);
        ASSERT_TRUE(ImmSetCompositionStringA(context, SCS_SETSTR, c.composition.data(),
                                             static_cast<DWORD>(c.composition.size()), nullptr, 0));
        ASSERT_EQ(ApiProcessMessage(), 0);
        const std::string kept = c.composition.substr(0, c.wantKept);
        EXPECT_EQ(std::string(g_ImeState.composition), kept);

        g_ImeControl.restoreStep = 1;
        ASSERT_EQ(ApiProcessMessage(), 0);
        EXPECT_EQ(g_ImeControl.restoreStep, 0);
        EXPECT_EQ(std::string(g_ImeControl.savedComposition), kept);
        EXPECT_TRUE(ImmGetOpenStatus(context));
        ASSERT_EQ(ApiProcessMessage(), 0);
        EXPECT_EQ(std::string(g_ImeState.composition), kept) << "put back";
        ImmNotifyIME(context, NI_COMPOSITIONSTR, CPS_CANCEL, 0);
        ImmReleaseContext(window, context);
        ASSERT_EQ(ApiProcessMessage(), 0);
        EXPECT_EQ(g_ImeState.composing, 0);
    }
    // Nothing was typed into the string meanwhile.
    EXPECT_EQ(std::string(LookupKeyInput(h)->buffer), "");
}

// The string drawn while a composition runs: the text in white, the
// composition in white over its cyan underline right after "ab", and no
// cursor of the string itself.
TEST_F(KeyInputTypingTest, DrawingAStringWithItsComposition) {
    const int h = ApiMakeKeyInput(32, 0, 0, 0);
    ASSERT_GE(h, 0);
    Type({{"text=\"Kelvo " + Utf8(u8"日本") + "\"", "Kelvo " NICHI HON, 10, ""},
          {"LEFT", "Kelvo " NICHI HON, 8, ""},
          {"compose@1=" + Utf8(u8"かな"), "Kelvo " NICHI HON, 8, "\x82\xA9\x82\xC8"}},
         h);
    const ColorCode grey = ApiMakeColorCode(0x20, 0x30, 0x40);
    ASSERT_EQ(ApiPaintBox(0, 0, 640, 480, grey, 1), 0);
    const int x = 40, y = 100;
    ASSERT_EQ(ApiDrawKeyInputString(x, y, h), 0);
    ASSERT_EQ(ApiPresentScreen(), 0);
    const PlatformFrame& f = frames.back();

    FontRecord* font = LookupFont(FetchDefaultFontHandle());
    ASSERT_NE(font, nullptr);
    const int height = font->charHeight;
    const int before = MeasureTextAdvance(font, "Kelvo " NICHI);
    const int composition = MeasureTextAdvance(font, "\x82\xA9\x82\xC8");
    const int all = MeasureTextAdvance(font, "Kelvo " NICHI "\x82\xA9\x82\xC8" HON);
    ASSERT_GT(composition, 0);
    const std::uint32_t cyan = ApiMakeColorCode(0, 255, 255), white = ApiMakeColorCode(255, 255, 255);
    const std::uint32_t yellow = ApiMakeColorCode(255, 255, 0);
    int underline = 0, cyanElsewhere = 0, inked = 0, inkOutside = 0, yellowSeen = 0;
    for (int py = 0; py < 480; ++py)
        for (int px = 0; px < 640; ++px) {
            const std::uint32_t c = f.Raw(px, py);
            const bool onLine = py == y + height && px >= x + before && px < x + before + composition;
            if (c == cyan) (onLine ? underline : cyanElsewhere) += 1;
            if (c == yellow) ++yellowSeen;
            if (c != grey && c != cyan) {
                ++inked;
                if (px < x || px >= x + all + 2 || py < y || py > y + height) ++inkOutside;
            }
            (void)white;
        }
    EXPECT_EQ(underline, composition) << "the underline runs under the whole composition";
    EXPECT_EQ(cyanElsewhere, 0);
    EXPECT_EQ(yellowSeen, 0) << "while composing, the string's own cursor is not drawn";
    EXPECT_GT(inked, 100) << "the text is there";
    EXPECT_EQ(inkOutside, 0);

    // The composition over, the yellow cursor stands where the text was cut.
    Type({{"compose=", "Kelvo " NICHI HON, 8, ""}}, h);
    ASSERT_EQ(ApiPaintBox(0, 0, 640, 480, grey, 1), 0);
    ASSERT_EQ(ApiDrawKeyInputString(x, y, h), 0);
    ASSERT_EQ(ApiPresentScreen(), 0);
    const PlatformFrame& g = frames.back();
    for (int py = y; py < y + height; ++py) EXPECT_EQ(g.Raw(x + before, py), yellow) << py;
    EXPECT_EQ(ApiDrawKeyInputString(x, y, -1), -1);
}

}  // namespace
