// String, memory and number routines, and bounded formatting. Shift-JIS
// cases use characters whose trail byte looks like something else: a
// backslash (ソ 83 5C, 表 95 5C), a lower-case letter (ッ 83 62), or a lead
// byte (メ 83 81).
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "core/utility.h"

namespace {

TEST(ShiftJisStrings, FindCharSkipsTrailBytesThatLookLikeTheByte) {
    const char* path = "ソ表\\x";  // 83 5C 95 5C 5C 78
    ASSERT_EQ(std::strlen(path), 6u);
    EXPECT_EQ(StringFindChar(path, '\\'), path + 4);
    EXPECT_EQ(StringFindChar("ソ表", '\\'), nullptr);
    // The byte before the backslash is a trail byte in the lead range: only a
    // scan from the start in whole characters knows the backslash is real.
    const char* afterMe = "メ\\";  // 83 81 5C
    EXPECT_EQ(StringFindChar(afterMe, '\\'), afterMe + 2);
    const char* twice = "メメ.";  // 83 81 83 81 2E
    EXPECT_EQ(StringFindChar(twice, '.'), twice + 4);
    EXPECT_EQ(StringFindChar(twice, 0x81), nullptr);
    EXPECT_EQ(StringFindChar("abc", 'z'), nullptr);
}

TEST(ShiftJisStrings, ToUpperLeavesTwoByteCharactersAlone) {
    char text[] = "ッabメz";  // 83 62 61 62 83 81 7A
    StringToUpper(text);
    EXPECT_STREQ(text, "ッABメZ");
    EXPECT_EQ(static_cast<unsigned char>(text[1]), 0x62);
}

TEST(ShiftJisStrings, CopyAppendAndCompare) {
    char buffer[32];
    StringCopy(buffer, "ソ");
    StringAppend(buffer, "ab");
    EXPECT_STREQ(buffer, "ソab");
    EXPECT_EQ(StringCompare(buffer, "ソab"), 0);
    EXPECT_EQ(StringCompare(buffer, "ソa"), 1);
    EXPECT_EQ(StringCompare("", ""), 0);
}

TEST(MemoryRoutines, CompareBytesCounts) {
    EXPECT_EQ(CompareBytes("abc", "abd", 0), 0);
    EXPECT_EQ(CompareBytes("abc", "abc", -1), 1);
    EXPECT_EQ(CompareBytes("abc", "abd", 2), 0);
    EXPECT_EQ(CompareBytes("abc", "abd", 3), 1);
    EXPECT_EQ(MemoryCompare("abc", "abd", 2), 0);
    EXPECT_EQ(MemoryCompare("abc", "abd", 3), 1);
}

TEST(MemoryRoutines, MoveHandlesOverlapBothWays) {
    char up[] = "abcdef";
    MemoryMove(up + 2, up, 4);
    EXPECT_STREQ(up, "ababcd");
    char down[] = "abcdef";
    MemoryMove(down, down + 2, 4);
    EXPECT_STREQ(down, "cdefef");
    char fill[4] = {};
    MemoryFill(fill, 'x', 3);
    EXPECT_STREQ(fill, "xxx");
    MemoryCopy(fill, "yz", 2);
    EXPECT_STREQ(fill, "yzx");
}

TEST(NumberText, StringToIntReadsTheFirstNumber) {
    EXPECT_EQ(StringToInt("abc"), -1);
    EXPECT_EQ(StringToInt(""), -1);
    EXPECT_EQ(StringToInt("x-12y"), -12);
    EXPECT_EQ(StringToInt("-"), 0);
    EXPECT_EQ(StringToInt("size 640x480"), 640);
    EXPECT_EQ(StringToInt("-2147483648"), INT_MIN);
    EXPECT_EQ(StringToInt("4294967297"), 1);  // 32-bit wrap, as the digits are read
}

TEST(NumberText, IntToStringInEveryRadix) {
    char buffer[40];
    EXPECT_STREQ(IntToString(255, buffer, 16), "ff");
    EXPECT_STREQ(IntToString(-7, buffer, 10), "-7");
    EXPECT_STREQ(IntToString(0, buffer, 2), "0");
    EXPECT_STREQ(IntToString(INT_MAX, buffer, 36), "zik0zj");
    EXPECT_STREQ(IntToString(INT_MIN, buffer, 10), "-2147483648");
    EXPECT_STREQ(IntToString(INT_MIN, buffer, 2), ("-1" + std::string(31, '0')).c_str());
    EXPECT_STREQ(IntToString(INT_MIN, buffer, 16), "-80000000");
}

TEST(NumberText, RadixOutsideTwoToThirtySixGivesAnEmptyString) {
    char buffer[40] = "unchanged";
    for (int radix : {-10, 0, 1, 37, 100}) {
        EXPECT_EQ(IntToString(12, buffer, radix), buffer);
        EXPECT_STREQ(buffer, "") << radix;
    }
}

TEST(Numbers, ConversionsTruncateTowardZero) {
    EXPECT_EQ(FloatToInt(2.9f), 2);
    EXPECT_EQ(FloatToInt(-2.9f), -2);
    EXPECT_EQ(DoubleToInt(-0.5), 0);
    EXPECT_EQ(DoubleToInt(2147483647.9), INT_MAX);
    EXPECT_EQ(DoubleToInt(-2147483648.9), INT_MIN);
    // Out of range and NaN give the processor's "integer indefinite".
    EXPECT_EQ(FloatToInt(3.0e9f), INT_MIN);
    EXPECT_EQ(DoubleToInt(-1.0e12), INT_MIN);
    EXPECT_EQ(DoubleToInt(std::numeric_limits<double>::quiet_NaN()), INT_MIN);
    int a, b, c, d;
    DoubleRectToInt(1.9, -1.9, 100.5, -0.1, &a, &b, &c, &d);
    EXPECT_EQ(a, 1);
    EXPECT_EQ(b, -1);
    EXPECT_EQ(c, 100);
    EXPECT_EQ(d, 0);
}

TEST(Numbers, AbsSqrtAndSinCos) {
    EXPECT_EQ(AbsInt(-5), 5);
    EXPECT_EQ(AbsInt(INT_MIN), INT_MIN);  // no positive counterpart: unchanged, not undefined
    EXPECT_EQ(AbsFloat(-1.5f), 1.5);
    EXPECT_EQ(SqrtFloat(2.25f), 1.5f);
    float s = 9, c = 9;
    SinCosFloat(0.0f, &s, &c);
    EXPECT_EQ(s, 0.0f);
    EXPECT_EQ(c, 1.0f);
    SinCosFloat(0.5f, &s, &c);
    EXPECT_EQ(s, static_cast<float>(std::sin(0.5)));
    EXPECT_EQ(c, static_cast<float>(std::cos(0.5)));
}

TEST(Formatting, TextsThatFitAreUnchanged) {
    char buffer[32];
    EXPECT_EQ(FormatString(buffer, sizeof buffer, "%d:%s", 12, "メモ"), 0);
    EXPECT_STREQ(buffer, "12:メモ");
    EXPECT_EQ(FormatString(buffer, 8, "%s", "1234567"), 0);  // exactly fills the buffer
    EXPECT_STREQ(buffer, "1234567");
}

int FormatV(char* buffer, std::size_t size, const char* format, ...) {
    va_list args;
    va_start(args, format);
    int length = FormatStringV(buffer, size, format, args);
    va_end(args);
    return length;
}

TEST(Formatting, LongTextsAreCutInsideTheBuffer) {
    char buffer[16];
    std::memset(buffer, '#', sizeof buffer);
    std::string big(100, 'q');
    EXPECT_EQ(FormatV(buffer, 8, "%s", big.c_str()), 7);
    EXPECT_EQ(std::string(buffer), "qqqqqqq");
    EXPECT_EQ(buffer[8], '#');  // nothing written past the size given
}

TEST(Formatting, CutNeverSplitsATwoByteCharacter) {
    char buffer[16];
    // "aメ" is 61 83 81: room for 3 bytes keeps it whole, even though its
    // last byte looks like a lead byte.
    EXPECT_EQ(FormatV(buffer, 4, "%s", "aメx"), 3);
    EXPECT_STREQ(buffer, "aメ");
    // Room for 2: the character would be cut in half, so it goes.
    EXPECT_EQ(FormatV(buffer, 3, "%s", "aメ"), 1);
    EXPECT_STREQ(buffer, "a");
    EXPECT_EQ(FormatV(buffer, 6, "%s", "メメメ"), 4);
    EXPECT_STREQ(buffer, "メメ");
    EXPECT_EQ(ShiftJisPrefixLength("ソ表", 3), 2u);
}

// A text without directives is copied rather than formatted: it must come out
// as the same text passed through "%s" does, at every size it may be cut to.
TEST(Formatting, TextsWithoutDirectivesComeOutAsFormattedOnes) {
    for (const char* text : {"", "7", "HP 100/100", "aメx", "メメメ", "ソ表a", "abcdefghijklmnop"}) {
        const std::size_t length = std::strlen(text);
        for (std::size_t size = 1; size <= length + 2; ++size) {
            char copied[24], formatted[24];
            std::memset(copied, '#', sizeof copied);
            std::memset(formatted, '#', sizeof formatted);
            SCOPED_TRACE(std::string(text) + " in " + std::to_string(size));
            EXPECT_EQ(FormatV(copied, size, text), FormatV(formatted, size, "%s", text));
            EXPECT_EQ(std::memcmp(copied, formatted, sizeof copied), 0);  // bytes past the text untouched alike
        }
    }
}

}  // namespace
