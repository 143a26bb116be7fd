// Framework, game and test code is compiled with Shift-JIS string literals.
#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(Charset, JapaneseLiteralsCompileToShiftJisBytes) {
    // "ソ" is 0x83 0x5C: its trail byte is a backslash, the classic trap.
    const char so[] = "ソ";
    ASSERT_EQ(sizeof so, 3u);
    EXPECT_EQ(static_cast<unsigned char>(so[0]), 0x83);
    EXPECT_EQ(static_cast<unsigned char>(so[1]), 0x5C);
    const char text[] = "初期化";
    const unsigned char expected[] = {0x8F, 0x89, 0x8A, 0xFA, 0x89, 0xBB, 0};
    ASSERT_EQ(sizeof text, sizeof expected);
    EXPECT_EQ(std::memcmp(text, expected, sizeof expected), 0);
    // Half-width katakana is one byte.
    const char kana[] = "ｱ";
    ASSERT_EQ(sizeof kana, 2u);
    EXPECT_EQ(static_cast<unsigned char>(kana[0]), 0xB1);
}

}  // namespace
