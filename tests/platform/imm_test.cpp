// The input method stand-in: UTF-8 text into Shift-JIS, typed text and
// compositions into window messages, the IMM32 calls on a window's context,
// and the typing tokens of the input script.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/backend.h"
#include "platform/dinput.h"
#include "platform/display.h"
#include "platform/imm.h"
#include "platform/window.h"

namespace {

std::string Utf8(const char8_t* text) { return reinterpret_cast<const char*>(text); }

TEST(ImmText, Utf8BecomesShiftJisCharacterByCharacter) {
    struct {
        std::string utf8;
        std::string want;
        int cursorChars, wantCursor;
    } cases[] = {
        {"abc", "abc", -1, 3},
        {"", "", 0, 0},
        {Utf8(u8"日本"), "\x93\xFA\x96\x7B", 1, 2},
        {Utf8(u8"a日b"), "a\x93\xFA" "b", 2, 3},
        {Utf8(u8"亜"), "\x88\x9F", 0, 0},
        {Utf8(u8"ｱｲ"), "\xB1\xB2", 1, 1},           // half-width kana: one byte each
        {Utf8(u8"①～"), "\x87\x40\x81\x60", 5, 4},  // the code page's own additions
        {Utf8(u8"a😀b"), "ab", 2, 1},                // no such character: dropped
        {Utf8(u8"é"), "", -1, 0},
        {"a\xFF" "b", "ab", -1, 2},                  // broken UTF-8: dropped
        {"a\xE6\x97", "a", -1, 1},                   // cut short
        {"\xC0\xAF", "", -1, 0},                     // overlong
        {"\xED\xA0\x80x", "x", -1, 1},               // a surrogate
    };
    for (const auto& c : cases) {
        int cursor = -7;
        EXPECT_EQ(PlatformUtf8ToShiftJis(c.utf8, c.cursorChars, &cursor), c.want) << c.utf8;
        EXPECT_EQ(cursor, c.wantCursor) << c.utf8;
    }
}

std::vector<std::pair<UINT, WPARAM>> g_messages;

LRESULT Recording(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CHAR || (message >= WM_IME_STARTCOMPOSITION && message <= WM_IME_COMPOSITION) ||
        message == WM_IME_NOTIFY)
        g_messages.emplace_back(message, wParam);
    return DefWindowProcA(window, message, wParam, lParam);
}

class ImmContextTest : public ::testing::Test {
protected:
    void SetUp() override {
        PlatformSelectBackend(PlatformBackend::Headless);
        PlatformResetWindows();
        g_messages.clear();
        WNDCLASSA wc{};
        wc.lpfnWndProc = Recording;
        wc.lpszClassName = "ImmTest";
        ASSERT_NE(RegisterClassA(&wc), 0);
        window = CreateWindowExA(0, "ImmTest", "t", WS_POPUP, 0, 0, 64, 64, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(window, nullptr);
    }
    void TearDown() override { PlatformResetWindows(); }

    void Event(PlatformWindowEvent::Kind kind, const std::string& text, int value = -1) {
        PlatformWindowEvent e;
        e.kind = kind;
        e.text = text;
        e.value = value;
        PlatformQueueWindowEvent(window, e);
    }
    std::vector<std::pair<UINT, WPARAM>> Pump() {
        g_messages.clear();
        MSG m{};
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
        return g_messages;
    }
    std::string Composition(DWORD size = 64) {
        HIMC context = ImmGetContext(window);
        char buffer[64] = {};
        const LONG n = ImmGetCompositionStringA(context, GCS_COMPSTR, buffer, size);
        EXPECT_EQ(ImmGetCompositionStringA(context, GCS_COMPSTR, nullptr, 0), static_cast<LONG>(Full().size()));
        ImmReleaseContext(window, context);
        return std::string(buffer, static_cast<std::size_t>(n));
    }
    std::string Full() {
        HIMC context = ImmGetContext(window);
        char buffer[64] = {};
        const LONG n = ImmGetCompositionStringA(context, GCS_COMPSTR, buffer, sizeof buffer);
        return std::string(buffer, static_cast<std::size_t>(n));
    }
    LONG Cursor() { return ImmGetCompositionStringA(ImmGetContext(window), GCS_CURSORPOS, nullptr, 0); }

    HWND window = nullptr;
};

using Kind = PlatformWindowEvent::Kind;
using Seen = std::vector<std::pair<UINT, WPARAM>>;

TEST_F(ImmContextTest, TypedTextAndCompositionsBecomeMessages) {
    Event(Kind::Text, Utf8(u8"aｱ日"));
    EXPECT_EQ(Pump(), (Seen{{WM_CHAR, 'a'}, {WM_CHAR, 0xB1}, {WM_CHAR, 0x93}, {WM_CHAR, 0xFA}}));

    Event(Kind::Compose, Utf8(u8"にほ"));
    EXPECT_EQ(Pump(), (Seen{{WM_IME_STARTCOMPOSITION, 0}, {WM_IME_COMPOSITION, 0x82C9}}));
    EXPECT_EQ(Composition(), "\x82\xC9\x82\xD9");
    EXPECT_EQ(Cursor(), 4);
    EXPECT_TRUE(ImmGetOpenStatus(ImmGetContext(window)));
    // Read into less room than it takes: the bytes that fit, no terminator.
    EXPECT_EQ(Composition(3), "\x82\xC9\x82");

    Event(Kind::Compose, Utf8(u8"日本"), 1);
    EXPECT_EQ(Pump(), (Seen{{WM_IME_COMPOSITION, 0x93FA}}));
    EXPECT_EQ(Cursor(), 2);
    // Committing ends the composition, then the text comes as characters.
    Event(Kind::Text, Utf8(u8"本"));
    EXPECT_EQ(Pump(), (Seen{{WM_IME_ENDCOMPOSITION, 0}, {WM_CHAR, 0x96}, {WM_CHAR, 0x7B}}));
    EXPECT_EQ(Full(), "");

    // An empty composition ends one that runs, and is nothing otherwise.
    Event(Kind::Compose, "x");
    Event(Kind::Compose, "");
    Event(Kind::Compose, "");
    EXPECT_EQ(Pump(), (Seen{{WM_IME_STARTCOMPOSITION, 0}, {WM_IME_COMPOSITION, 'x'}, {WM_IME_ENDCOMPOSITION, 0}}));
}

// The present count starts again at a display reset, below the frame the
// script was set at: the script is typed again from its first frame, and
// typing never stalls on a count that wrapped round.
TEST_F(ImmContextTest, ScriptedTypingStartsAgainWhenThePresentCountDoes) {
    PlatformInputReset();
    for (int i = 0; i < 5; ++i) PlatformPresent(0);
    std::vector<PlatformInputFrame> frames;
    int pads = 0;
    std::string error;
    ASSERT_TRUE(PlatformParseInputScript("text=a\ntext=b\n", &frames, &pads, &error)) << error;
    PlatformSetInputScript(frames);
    EXPECT_EQ(Pump(), (Seen{{WM_CHAR, 'a'}}));
    PlatformDisplayReset();
    const Seen want[] = {{{WM_CHAR, 'a'}}, {{WM_CHAR, 'b'}}, {}, {}, {}, {}, {}, {}};
    for (const Seen& w : want) {
        EXPECT_EQ(Pump(), w);
        PlatformPresent(0);
    }
    EXPECT_TRUE(PlatformInputScriptEnded());
    PlatformInputReset();
}

TEST_F(ImmContextTest, TheImmCallsOnTheContext) {
    HIMC context = ImmGetContext(window);
    ASSERT_NE(context, nullptr);
    EXPECT_EQ(ImmGetContext(nullptr), nullptr);
    EXPECT_FALSE(ImmGetOpenStatus(context));
    // Set the composition, cancel it, open and close: each as messages.
    EXPECT_TRUE(ImmSetCompositionStringA(context, SCS_SETSTR, "\x82\xA0", 2, nullptr, 0));
    EXPECT_EQ(Full(), "\x82\xA0");
    EXPECT_FALSE(ImmSetCompositionStringA(context, 1, "a", 1, nullptr, 0));
    EXPECT_FALSE(ImmSetCompositionStringA(context, SCS_SETSTR, nullptr, 3, nullptr, 0));
    EXPECT_TRUE(ImmNotifyIME(context, NI_COMPOSITIONSTR, CPS_CANCEL, 0));
    EXPECT_EQ(Full(), "");
    EXPECT_FALSE(ImmNotifyIME(context, NI_COMPOSITIONSTR, 1, 0));
    EXPECT_TRUE(ImmSetOpenStatus(context, FALSE));
    EXPECT_TRUE(ImmSetOpenStatus(context, FALSE));
    EXPECT_TRUE(ImmSetOpenStatus(context, TRUE));
    EXPECT_EQ(Pump(), (Seen{{WM_IME_STARTCOMPOSITION, 0},
                            {WM_IME_COMPOSITION, 0x82A0},
                            {WM_IME_ENDCOMPOSITION, 0},
                            {WM_IME_NOTIFY, IMN_SETOPENSTATUS},
                            {WM_IME_NOTIFY, IMN_SETOPENSTATUS}}));
    EXPECT_TRUE(ImmGetOpenStatus(context));
    // The switch is recorded only: typed text still arrives.
    EXPECT_TRUE(WINNLSEnableIME(window, FALSE));
    EXPECT_FALSE(WINNLSEnableIME(window, FALSE));
    Event(Kind::Text, "q");
    EXPECT_EQ(Pump(), (Seen{{WM_CHAR, 'q'}}));
    // A context without a window does nothing.
    DestroyWindow(window);
    EXPECT_FALSE(ImmSetOpenStatus(context, TRUE));
    EXPECT_EQ(ImmGetCompositionStringA(context, GCS_COMPSTR, nullptr, 0), 0);
}

TEST(ImmScript, TypingTokens) {
    struct {
        std::string line;
        bool ok;
        std::vector<PlatformScriptText> want;
    } cases[] = {
        {"text=abc", true, {{false, "abc", -1}}},
        {"text=\"a b\" RETURN", true, {{false, "a b", -1}}},
        {"text=\"say \\\"hi\\\" \\\\\"", true, {{false, "say \"hi\" \\", -1}}},
        {"compose=" + Utf8(u8"にほん") + " text=x", true, {{true, Utf8(u8"にほん"), -1}, {false, "x", -1}}},
        {"compose@2=abc", true, {{true, "abc", 2}}},
        {"compose=", true, {{true, "", -1}}},
        {"text=", true, {{false, "", -1}}},
        {"3* text=k", true, {{false, "k", -1}}},
        {"text=\"open", false, {}},
        {"text=a\"b", false, {}},
        {"compose@=x", false, {}},
        {"compose@-1=x", false, {}},
        {"compose@1x=x", false, {}},
        {"compose@2", false, {}},
    };
    for (const auto& c : cases) {
        std::vector<PlatformInputFrame> frames;
        std::string error;
        int pads = 0;
        EXPECT_EQ(PlatformParseInputScript(c.line, &frames, &pads, &error), c.ok) << c.line << ": " << error;
        if (!c.ok) {
            EXPECT_FALSE(error.empty()) << c.line;
            continue;
        }
        ASSERT_FALSE(frames.empty()) << c.line;
        const auto& got = frames.back().text;
        ASSERT_EQ(got.size(), c.want.size()) << c.line;
        for (std::size_t i = 0; i < got.size(); ++i) {
            EXPECT_EQ(got[i].compose, c.want[i].compose) << c.line;
            EXPECT_EQ(got[i].text, c.want[i].text) << c.line;
            EXPECT_EQ(got[i].cursor, c.want[i].cursor) << c.line;
        }
    }
}

}  // namespace
