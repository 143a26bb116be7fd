// The GDI font stand-in: fonts chosen by fontconfig, metrics by the Windows
// cell-height rule, and glyphs as 1-bit or 17-level bitmaps.
#include <gtest/gtest.h>

#include <vector>

#include "platform/gdi.h"

namespace {

constexpr MAT2 kIdentity{{0, 1}, {0, 0}, {0, 0}, {0, 1}};

HFONT Make(const char* face, int height, int weight, DWORD charSet = SHIFTJIS_CHARSET) {
    return CreateFontA(height, 0, 0, 0, weight, 0, 0, 0, charSet, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                       NONANTIALIASED_QUALITY, FIXED_PITCH, face);
}

class GdiFontTest : public ::testing::Test {
protected:
    void SetUp() override { dc = CreateCompatibleDC(nullptr); }
    void TearDown() override {
        if (previous != nullptr) SelectObject(dc, previous);
        DeleteDC(dc);
        for (HFONT f : fonts) DeleteObject(f);
    }
    HFONT Use(HFONT font) {
        EXPECT_NE(font, nullptr);
        fonts.push_back(font);
        HGDIOBJ old = SelectObject(dc, font);
        if (previous == nullptr) previous = old;
        return font;
    }
    // The glyph's bitmap as GDI hands it out, rows padded to 4 bytes.
    std::vector<std::uint8_t> Glyph(UINT code, UINT format, GLYPHMETRICS* gm) {
        const DWORD size = GetGlyphOutlineA(dc, code, format, gm, 0, nullptr, &kIdentity);
        EXPECT_NE(size, GDI_ERROR);
        if (size == GDI_ERROR) return {};
        std::vector<std::uint8_t> bits(size + 8, 0xEE);
        EXPECT_EQ(GetGlyphOutlineA(dc, code, format, gm, size, bits.data(), &kIdentity), size);
        EXPECT_EQ(bits[size], 0xEE);  // nothing written past the size given
        bits.resize(size);
        return bits;
    }

    HDC dc = nullptr;
    HGDIOBJ previous = nullptr;
    std::vector<HFONT> fonts;
};

TEST_F(GdiFontTest, VerdanaIsDejaVuSansWithTheCellHeightAsked) {
    // Cell height, weight: height, ascent, descent, widest advance.
    struct Row {
        int height, weight;
        LONG tmHeight, ascent, descent, maxWidth;
    };
    const Row rows[] = {
        {16, 600, 16, 13, 3, 28},  // 600 and up picks the bold face
        {20, 600, 20, 16, 4, 34},
        {24, 600, 24, 19, 5, 42},
        {24, 900, 24, 19, 5, 42},
        {16, 400, 16, 13, 3, 26},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << r.height << " " << r.weight);
        Use(Make("Verdana", r.height, r.weight));
        TEXTMETRICA tm{};
        ASSERT_TRUE(GetTextMetricsA(dc, &tm));
        EXPECT_EQ(tm.tmHeight, r.tmHeight);
        EXPECT_EQ(tm.tmAscent, r.ascent);
        EXPECT_EQ(tm.tmDescent, r.descent);
        EXPECT_EQ(tm.tmMaxCharWidth, r.maxWidth);
        EXPECT_EQ(tm.tmWeight, r.weight);
        EXPECT_EQ(tm.tmCharSet, SHIFTJIS_CHARSET);
    }
    // Tahoma too, and the Japanese name of the system face (Shift-JIS).
    EXPECT_NE(Use(Make("Tahoma", 16, 400)), nullptr);
    EXPECT_NE(Use(Make("ＭＳ ゴシック", 16, 400)), nullptr);
}

TEST_F(GdiFontTest, GlyphsComeAsPaddedBitmapsOfOneBitOrSeventeenLevels) {
    Use(Make("Verdana", 24, 600));
    GLYPHMETRICS gm{};
    const std::vector<std::uint8_t> mono = Glyph('W', GGO_BITMAP, &gm);
    const int pitch = static_cast<int>((gm.gmBlackBoxX + 31) / 32 * 4);
    ASSERT_EQ(mono.size(), static_cast<std::size_t>(pitch) * gm.gmBlackBoxY);
    EXPECT_GT(gm.gmBlackBoxX, 15u);
    EXPECT_GT(gm.gmCellIncX, 15);
    EXPECT_GT(gm.gmptGlyphOrigin.y, 14);  // the capital's top above the baseline
    int set = 0;
    for (std::size_t i = 0; i < mono.size(); ++i) {
        const int column = static_cast<int>(i % pitch) * 8;
        for (int bit = 0; bit < 8; ++bit) {
            const bool on = (mono[i] >> (7 - bit)) & 1;
            set += on;
            if (column + bit >= static_cast<int>(gm.gmBlackBoxX)) {
                EXPECT_FALSE(on) << "padding bit set";
            }
        }
    }
    EXPECT_GT(set, 60);

    const std::vector<std::uint8_t> grey = Glyph('W', GGO_GRAY4_BITMAP, &gm);
    const std::size_t greyPitch = (gm.gmBlackBoxX + 3) / 4 * 4;
    ASSERT_EQ(grey.size(), greyPitch * gm.gmBlackBoxY);
    int full = 0, between = 0;
    for (std::uint8_t v : grey) {
        EXPECT_LE(v, 16);
        full += v == 16;
        between += v > 0 && v < 16;
    }
    EXPECT_GT(full, 20);
    EXPECT_GT(between, 10);
}

TEST_F(GdiFontTest, SpacesJapaneseAndMissingCharacters) {
    Use(Make("Verdana", 16, 600));
    GLYPHMETRICS gm{};
    // A space: a 1 x 1 box, nothing to copy, an advance.
    EXPECT_EQ(GetGlyphOutlineA(dc, ' ', GGO_BITMAP, &gm, 0, nullptr, &kIdentity), 0u);
    EXPECT_EQ(gm.gmBlackBoxX, 1u);
    EXPECT_EQ(gm.gmBlackBoxY, 1u);
    EXPECT_GT(gm.gmCellIncX, 3);
    // "あ" from the Japanese fallback face: an em of IPA Gothic at 16 (15 pixels).
    EXPECT_FALSE(Glyph(0x82A0, GGO_BITMAP, &gm).empty());
    EXPECT_EQ(gm.gmCellIncX, 15);
    EXPECT_GT(gm.gmBlackBoxY, 10u);
    // The full-width space advances a whole em with nothing drawn.
    EXPECT_EQ(GetGlyphOutlineA(dc, 0x8140, GGO_BITMAP, &gm, 0, nullptr, &kIdentity), 0u);
    EXPECT_EQ(gm.gmCellIncX, 15);
    // A user-defined character no face has: the missing-glyph shape, no error.
    EXPECT_NE(GetGlyphOutlineA(dc, 0xF040, GGO_BITMAP, &gm, 0, nullptr, &kIdentity), GDI_ERROR);
    // Half-width katakana is a single byte.
    EXPECT_FALSE(Glyph(0xB1, GGO_BITMAP, &gm).empty());
}

TEST_F(GdiFontTest, RefusalsAreGdiErrors) {
    GLYPHMETRICS gm{};
    TEXTMETRICA tm{};
    // No font selected.
    EXPECT_FALSE(GetTextMetricsA(dc, &tm));
    EXPECT_EQ(GetGlyphOutlineA(dc, 'A', GGO_BITMAP, &gm, 0, nullptr, &kIdentity), GDI_ERROR);
    Use(Make("Verdana", 16, 400));
    EXPECT_EQ(GetGlyphOutlineA(dc, 'A', 0, &gm, 0, nullptr, &kIdentity), GDI_ERROR);  // no such format here
    EXPECT_EQ(GetGlyphOutlineA(dc, 'A', GGO_BITMAP, &gm, 0, nullptr, nullptr), GDI_ERROR);
    EXPECT_EQ(GetGlyphOutlineA(dc, 0x8120, GGO_BITMAP, &gm, 0, nullptr, &kIdentity), GDI_ERROR);  // no Shift-JIS pair
    const DWORD size = GetGlyphOutlineA(dc, 'A', GGO_BITMAP, &gm, 0, nullptr, &kIdentity);
    ASSERT_GT(size, 4u);
    std::vector<std::uint8_t> small(size - 1);
    EXPECT_EQ(GetGlyphOutlineA(dc, 'A', GGO_BITMAP, &gm, size - 1, small.data(), &kIdentity), GDI_ERROR);
    // Selecting hands back the previous font; the stock font selects none.
    HFONT second = Make("Verdana", 20, 400);
    fonts.push_back(second);
    HGDIOBJ first = SelectObject(dc, second);
    EXPECT_EQ(first, fonts[0]);
    EXPECT_EQ(SelectObject(dc, previous), second);
    EXPECT_FALSE(GetTextMetricsA(dc, &tm));
    previous = nullptr;
    // A deleted font is gone.
    EXPECT_TRUE(DeleteObject(second));
    fonts.pop_back();
    SelectObject(dc, second);
    EXPECT_FALSE(GetTextMetricsA(dc, &tm));
}

}  // namespace
