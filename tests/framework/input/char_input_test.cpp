// The typed-byte ring and the editing of key-input strings, without a window:
// bytes go into the ring as the window procedure would push them, and each
// case checks the string's bytes, its cursor and how editing ended.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/memory.h"
#include "core/system_state.h"
#include "input/char_input.h"

namespace {

// Shift-JIS characters the cases use. 亜 has a trail byte (0x9F) that is
// also a lead byte value.
#define NICHI "\x93\xFA"  // 日
#define HON "\x96\x7B"    // 本
#define A_KANA "\x82\xA0" // あ
#define AKU "\x88\x9F"    // 亜

// The editing codes as the window procedure pushes them.
#define BS "\x08"
#define DEL "\x10"
#define LEFT "\x1D"
#define RIGHT "\x1C"
#define UP "\x1E"
#define TAB "\x09"
#define RET "\x0D"
#define ESC "\x1B"

class CharInputTest : public ::testing::Test {
protected:
    void SetUp() override {
        InitCharCodeBuffer();
        blocks_ = g_MemoryTracker.count;
    }
    void TearDown() override {
        ReleaseAllKeyInputHandles();
        EXPECT_EQ(g_MemoryTracker.count, blocks_) << "a string's buffer left allocated";
    }
    int blocks_ = 0;

    static void Push(const std::string& bytes) {
        for (char c : bytes) PushCharCode(static_cast<unsigned char>(c));
    }
};

TEST_F(CharInputTest, TheRingKeeps1024BytesAndHoldsALeadByteForItsTrail) {
    for (int i = 0; i < 1024; ++i) ASSERT_EQ(PushCharCode('a' + i % 26), 0) << i;
    EXPECT_EQ(PushCharCode('z'), -1) << "the 1025th byte finds the ring full";
    std::uint8_t out[2];
    for (int i = 0; i < 1024; ++i) {
        ASSERT_EQ(PopCharCode(out, 1), 1);
        ASSERT_EQ(out[0], 'a' + i % 26);
    }
    EXPECT_EQ(PopCharCode(out, 1), 0);

    // A lead byte alone is not given out; with its trail byte both come.
    ASSERT_EQ(PushCharCode(0x93), 0);
    out[0] = out[1] = 0xFF;
    EXPECT_EQ(PopCharCode(out, 1), 0);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[1], 0);
    ASSERT_EQ(PushCharCode(0xFA), 0);
    EXPECT_EQ(PopCharCode(out, 0), 2) << "a peek";
    EXPECT_EQ(PopCharCode(out, 1), 2) << "the peek left it there";
    EXPECT_EQ(out[0], 0x93);
    EXPECT_EQ(out[1], 0xFA);
    EXPECT_EQ(PopCharCode(out, 1), 0);
    // After a whole character the next byte stands alone again.
    ASSERT_EQ(PushCharCode(0x82), 0);
    ASSERT_EQ(PushCharCode(0xA0), 0);
    ASSERT_EQ(PushCharCode('q'), 0);
    EXPECT_EQ(PopCharCode(out, 1), 2);
    EXPECT_EQ(PopCharCode(out, 1), 1);
    EXPECT_EQ(out[0], 'q');
    // The control codes are single bytes.
    for (int code : {0x10, 0x1C, 0x1D, 0x1E, 0x1F}) EXPECT_EQ(IsKeyControlCode(code), 1) << code;
    for (int code : {0, 8, 9, 13, 27, 0x1B, 0x20, 0x81}) EXPECT_EQ(IsKeyControlCode(code), 0) << code;
}

TEST_F(CharInputTest, AFullRingNeverTakesHalfADoubleByteCharacter) {
    // One byte left: the lead byte and its trail byte are both dropped, the
    // next single byte still fits, and every character comes out whole.
    for (int i = 0; i < 1023; ++i) ASSERT_EQ(PushCharCode('a'), 0);
    EXPECT_EQ(PushCharCode(0x93), -1);
    EXPECT_EQ(PushCharCode(0xFA), -1);
    EXPECT_EQ(PushCharCode('b'), 0);
    EXPECT_EQ(PushCharCode('c'), -1);
    std::uint8_t out[2];
    int count = 0;
    std::uint8_t last = 0;
    for (; PopCharCode(out, 1) == 1; ++count) last = out[0];
    EXPECT_EQ(count, 1024);
    EXPECT_EQ(last, 'b');

    // Input faster than it is read, lead and trail bytes at every offset:
    // each character taken out is whole, as typed.
    const std::string typed = "x" NICHI AKU "yz" A_KANA;
    std::string got;
    for (int round = 0; round < 600; ++round) {
        Push(typed);
        if (round % 3 == 0) {
            int n;
            while ((n = PopCharCode(out, 1)) > 0) got.append(reinterpret_cast<char*>(out), n);
        }
    }
    while (int n = PopCharCode(out, 1)) got.append(reinterpret_cast<char*>(out), n);
    ASSERT_GT(got.size(), 1000u);
    for (std::size_t at = 0; at < got.size();) {
        bool whole = false;
        for (const char* c : {"x", NICHI, AKU, "y", "z", A_KANA})
            if (got.compare(at, std::strlen(c), c) == 0) {
                at += std::strlen(c);
                whole = true;
                break;
            }
        ASSERT_TRUE(whole) << "a split character at byte " << at;
    }
}

struct EditCase {
    const char* name;
    int maxLength;
    int cancelAllowed, singleByteOnly, numbersOnly;
    std::string typed;
    std::string want;
    int wantCursor;
    int wantCheck;  // 0 editing, 1 ended, 2 cancelled
};

TEST_F(CharInputTest, EditingAKeyInputString) {
    const EditCase cases[] = {
        {"plain", 16, 0, 0, 0, "abc", "abc", 3, 0},
        {"backspace over a double-byte character", 16, 0, 0, 0, "a" NICHI BS, "a", 1, 0},
        {"backspace at the start", 16, 0, 0, 0, "ab" LEFT LEFT BS, "ab", 0, 0},
        // A trail byte in the lead range before the cursor: the character
        // before it is the single 'a'.
        {"backspace after a trail byte in the lead range", 16, 0, 0, 0, AKU "a" BS, AKU, 2, 0},
        {"left after a trail byte in the lead range", 16, 0, 0, 0, AKU "a" LEFT "b", AKU "ba", 3, 0},
        {"left over two double-byte characters", 16, 0, 0, 0, AKU NICHI LEFT LEFT "b", "b" AKU NICHI, 1, 0},
        {"left then right over a double-byte character", 16, 0, 0, 0, "a" HON LEFT RIGHT "b", "a" HON "b", 4, 0},
        {"delete at the cursor, double-byte", 16, 0, 0, 0, "a" HON "c" LEFT LEFT DEL, "ac", 1, 0},
        {"delete at the end", 16, 0, 0, 0, "ab" DEL, "ab", 2, 0},
        {"right at the end", 16, 0, 0, 0, "ab" RIGHT "c", "abc", 3, 0},
        {"tab, up and down are ignored", 16, 0, 0, 0, "a" TAB UP "\x1F" "b", "ab", 2, 0},
        {"other control codes go in", 16, 0, 0, 0, "a\x01", "a\x01", 2, 0},
        {"insert in the middle", 16, 0, 0, 0, "ac" LEFT "b", "abc", 2, 0},
        // Full: characters go from the end until the new one fits.
        {"full: the double-byte character at the end goes", 4, 0, 0, 0, "ab" A_KANA "c", "abc", 3, 0},
        {"full: one single byte goes for one", 3, 0, 0, 0, "abcd", "abd", 3, 0},
        {"full: two single bytes go for a double-byte one", 3, 0, 0, 0, "abc" NICHI, "a" NICHI, 3, 0},
        {"full, cursor inside: the end goes, the cursor stays", 4, 0, 0, 0, "abcd" LEFT LEFT LEFT "x", "axbc", 2, 0},
        {"full, cursor inside a removed part", 3, 0, 0, 0, "abc" LEFT "x", "abx", 3, 0},
        // A character larger than the whole field is dropped.
        {"a double-byte character in a one-byte field", 1, 0, 0, 0, NICHI "a" NICHI, "a", 1, 0},
        {"numbers only", 16, 0, 0, 1, "-1a2" NICHI "3-", "-123", 4, 0},
        {"numbers only: a sign only at the start", 16, 0, 0, 1, "12" LEFT "-", "12", 1, 0},
        {"single bytes only", 16, 0, 1, 0, "a" NICHI "b" A_KANA, "ab", 2, 0},
        {"return ends, what follows stays unread", 16, 0, 0, 0, "ab" RET "cd", "ab", 2, 1},
        {"escape without cancelling changes nothing", 16, 0, 0, 0, "ab" ESC "c", "abc", 3, 0},
        {"escape with cancelling", 16, 1, 0, 0, "ab" ESC "c", "ab", 2, 2},
    };
    // A byte at a time, each followed by a pass, and all at once in one
    // pass: both give the same string.
    for (const EditCase& c : cases)
        for (int byteAtATime = 0; byteAtATime < 2; ++byteAtATime) {
            SCOPED_TRACE(std::string(c.name) + (byteAtATime ? ", a byte at a time" : ", at once"));
            InitCharCodeBuffer();
            const HandleId h = MakeKeyInputHandle(c.maxLength, c.cancelAllowed, c.singleByteOnly, c.numbersOnly);
            ASSERT_GE(h, 0);
            if (byteAtATime) {
                for (char b : c.typed) {
                    PushCharCode(static_cast<unsigned char>(b));
                    ASSERT_EQ(ProcessKeyInput(), 0);
                }
            } else {
                Push(c.typed);
                ASSERT_EQ(ProcessKeyInput(), 0);
            }
            const KeyInputRecord* r = LookupKeyInput(h);
            ASSERT_NE(r, nullptr);
            EXPECT_EQ(std::string(r->buffer), c.want);
            EXPECT_EQ(r->length, static_cast<int>(c.want.size()));
            EXPECT_EQ(r->cursor, c.wantCursor);
            EXPECT_EQ(CheckKeyInputHandle(h), c.wantCheck);
            char copy[32];
            ASSERT_EQ(GetKeyInputString(h, copy, sizeof copy), 0);
            EXPECT_EQ(std::string(copy), c.want);
            ReleaseKeyInputHandle(h);
        }
}

TEST_F(CharInputTest, HandlesStringsAndTheImeSwitch) {
    EXPECT_EQ(g_ImeControl.enabled, 0);
    const HandleId a = MakeKeyInputHandle(8, 0, 0, 0);
    const HandleId b = MakeKeyInputHandle(8, 0, 0, 0);
    ASSERT_GE(a, 0);
    ASSERT_GE(b, 0);
    EXPECT_EQ(g_KeyInputState.activeHandle, b) << "the newest is typed into";
    EXPECT_EQ(g_ImeControl.enabled, 1);
    EXPECT_EQ(MakeKeyInputHandle(0, 0, 0, 0), kNoHandle);

    Push("x" A_KANA);
    ProcessKeyInput();
    // Copies are cut to whole characters.
    char small[3];
    ASSERT_EQ(GetKeyInputString(b, small, sizeof small), 0);
    EXPECT_EQ(std::string(small), "x");
    char one[1];
    ASSERT_EQ(GetKeyInputString(b, one, 1), 0);
    EXPECT_EQ(one[0], '\0');
    EXPECT_EQ(GetKeyInputString(b, nullptr, 4), -1);

    // Bad handles: another type, a stale check number, a slot out of range.
    for (HandleId bad : {HandleId{-1}, b ^ 0x08000000, b ^ (1 << 16), (b & ~0xFFFF) | 20})
        EXPECT_EQ(CheckKeyInputHandle(bad), -1) << std::hex << bad;
    EXPECT_EQ(ReleaseKeyInputHandle(b), 0);
    EXPECT_EQ(ReleaseKeyInputHandle(b), -1);
    EXPECT_EQ(g_KeyInputState.activeHandle, kNoHandle);
    // A slot used again gets a new check number: the old handle stays bad.
    const HandleId c = MakeKeyInputHandle(8, 0, 0, 0);
    ASSERT_GE(c, 0);
    EXPECT_EQ(c & 0xFFFF, b & 0xFFFF) << "the freed slot";
    EXPECT_NE(c, b);
    EXPECT_EQ(static_cast<std::uint32_t>(c) & 0xF8000000u, 0x50000000u);
    EXPECT_EQ(CheckKeyInputHandle(b), -1);
    EXPECT_EQ(CheckKeyInputHandle(c), 0);
    EXPECT_EQ(ReleaseKeyInputHandle(c), 0);
    EXPECT_EQ(g_ImeControl.enabled, 1) << "one string is left";
    // With no active string the ring is left alone.
    Push("q");
    EXPECT_EQ(ProcessKeyInput(), 0);
    std::uint8_t out[2];
    EXPECT_EQ(PopCharCode(out, 0), 1);
    EXPECT_EQ(ReleaseKeyInputHandle(a), 0);
    EXPECT_EQ(g_ImeControl.enabled, 0) << "the last one switches the IME off";

    // All twenty slots, then none more; releasing all frees them.
    for (int i = 0; i < kKeyInputSlotCount; ++i) ASSERT_GE(MakeKeyInputHandle(4, 0, 0, 0), 0) << i;
    EXPECT_EQ(MakeKeyInputHandle(4, 0, 0, 0), kNoHandle);
    EXPECT_EQ(ReleaseAllKeyInputHandles(), 0);
    EXPECT_EQ(g_KeyInputState.activeHandle, kNoHandle);
    EXPECT_GE(MakeKeyInputHandle(4, 0, 0, 0), 0);
}

TEST_F(CharInputTest, CountingCharacters) {
    struct {
        std::string text;
        int bytes, want;
    } cases[] = {
        {"abc", 3, 3}, {"abc", 2, 2},    {"ab", 10, 2},         {"a" NICHI "b", 4, 3},
        {NICHI AKU, 4, 2}, {"", 5, 0},   {"a" NICHI, 2, 2},     {AKU "a", 3, 2},
    };
    for (const auto& c : cases) EXPECT_EQ(CountStringChars(c.text.c_str(), c.bytes), c.want) << c.text << " " << c.bytes;
    EXPECT_EQ(CountStringChars(nullptr, 4), 0);
}


// Set-up forgets what an earlier run left in the key-input state; a string
// takes its limit and a terminator.
TEST_F(CharInputTest, SetUpStartsTheKeyInputStateAfresh) {
    g_KeyInputState.activeHandle = 0x55;
    g_KeyInputState.secondHandle = 0x66;
    g_KeyInputState.lastTypedTime = 9;
    g_KeyInputState.cursorBlinkPeriod = 1;
    g_KeyInputState.cursorVisible = 0;
    EXPECT_EQ(InitCharCodeBuffer(), 0);
    EXPECT_EQ(g_KeyInputState.activeHandle, kNoHandle);
    EXPECT_EQ(g_KeyInputState.secondHandle, kNoHandle);
    EXPECT_EQ(g_KeyInputState.lastTypedTime, 0u);
    EXPECT_EQ(g_KeyInputState.cursorBlinkPeriod, 500u);
    EXPECT_EQ(g_KeyInputState.cursorVisible, 1);
    EXPECT_EQ(ProcessKeyInput(), 0) << "no string is active";
    const HandleId handle = MakeKeyInputHandle(10, 0, 0, 0);
    const KeyInputRecord* r = LookupKeyInput(handle);
    ASSERT_NE(r, nullptr);
    const auto* header = reinterpret_cast<const TrackedAllocHeader*>(r->buffer - kTrackedAllocHeaderSize);
    EXPECT_EQ(header->size, 11u);
    EXPECT_EQ(r->buffer[0], '\0');
    g_KeyInputState.cursorVisible = 0;
    Push("a");
    EXPECT_EQ(ProcessKeyInput(), 0);
    EXPECT_EQ(g_KeyInputState.cursorVisible, 1) << "typing shows the cursor";
    g_KeyInputState.activeHandle = handle + 1;  // a handle that has gone
    EXPECT_EQ(ProcessKeyInput(), -1);
}

// Lead bytes by code page (Shift-JIS, or Korean 0x81-0xFE); the editing
// codes are never lead bytes; a look without taking leaves the ring.
TEST_F(CharInputTest, LeadBytesByCodePageAndALookThatLeavesTheRing) {
    const int kind = g_SystemState.codePageKind;
    const struct {
        int codePage, byte, lead;
    } cases[] = {
        {1, 0x80, 0}, {1, 0x81, 1}, {1, 0x9F, 1}, {1, 0xA0, 0}, {1, 0xDF, 0}, {1, 0xE0, 1}, {1, 0xFC, 1},
        {1, 0xFD, 0}, {2, 0x80, 0}, {2, 0x81, 1}, {2, 0xA0, 1}, {2, 0xFE, 1}, {2, 0xFF, 0},
    };
    for (const auto& c : cases) {
        g_SystemState.codePageKind = c.codePage;
        EXPECT_EQ(IsCharLeadByte(static_cast<std::uint8_t>(c.byte)), c.lead) << c.codePage << " " << c.byte;
    }
    g_SystemState.codePageKind = kind;
    for (int code = 0; code < 256; ++code) {
        const bool editing = code == 0x10 || code == 0x1C || code == 0x1D || code == 0x1E || code == 0x1F;
        EXPECT_EQ(IsKeyControlCode(code), editing ? 1 : 0) << code;
    }
    // After a double-byte character single bytes are counted against the
    // room again: 1022 more fit.
    Push(NICHI);
    int taken = 0;
    while (PushCharCode('a') == 0 && taken < 2000) ++taken;
    EXPECT_EQ(taken, 1022);
    // Two bytes of room take a double-byte character, one does not.
    InitCharCodeBuffer();
    for (int i = 0; i < 1022; ++i) PushCharCode('a');
    EXPECT_EQ(PushCharCode(0x93), 0);
    EXPECT_EQ(PushCharCode(0xFA), 0);
    InitCharCodeBuffer();
    for (int i = 0; i < 1023; ++i) PushCharCode('a');
    EXPECT_EQ(PushCharCode(0x93), -1);
    InitCharCodeBuffer();
    Push(NICHI "b");
    std::uint8_t out[2] = {};
    EXPECT_EQ(PopCharCode(out, 0), 2);
    EXPECT_EQ(PopCharCode(out, 0), 2) << "still there";
    EXPECT_EQ(PopCharCode(out, 1), 2);
    EXPECT_EQ(out[0], 0x93);
    EXPECT_EQ(out[1], 0xFA);
    EXPECT_EQ(PopCharCode(out, 1), 1);
    EXPECT_EQ(out[0], 'b');
    EXPECT_EQ(out[1], 0);
    EXPECT_EQ(PopCharCode(out, 1), 0);
}

}  // namespace
