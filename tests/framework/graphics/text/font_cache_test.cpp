// The font table and the glyph cache on a started framework: splitting
// Shift-JIS text, cyclic replacement, the default font's settings, bad
// handles, texts that are too long or end in half a character, and the
// cache arithmetic.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "framework/framework_fixture.h"
#include "framework/graphics/text/font_oracle.h"
#include "graphics/device/screen_device.h"
#include "graphics/draw/draw_state.h"
#include "graphics/text/font.h"
#include "graphics/text/font_edge_mask_table.h"
#include "graphics/text/font_layout.h"
#include "graphics/text/text_pixels.h"
#include "platform/display.h"

namespace {

// ---- arithmetic, no framework needed ----------------------------------------------

TEST(FontLayout, CellsHeightsAndMemoryCaches) {
    EXPECT_EQ(PadCellSize(28), 32);
    EXPECT_EQ(PadCellSize(32), 32);
    EXPECT_EQ(PadCellSize(33), 40);
    EXPECT_EQ(PadCellSize(0), 8);
    EXPECT_EQ(EvenCharHeight(24), 24);
    EXPECT_EQ(EvenCharHeight(19), 20);
    struct Row {
        int cell, type, bits, slots, rowBytes;
    };
    const Row rows[] = {
        {32, 0, 1, 320, 4},    // Verdana 16
        {48, 0, 1, 142, 6},    // Verdana 24
        {48, 1, 8, 142, 48},   // edged: a byte a pixel
        {8, 2, 8, 2024, 8},    // capped at the slot records
        {512, 3, 8, 20, 512},  // at least 20
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.cell);
        const MemoryCacheLayout l = MemoryCacheLayoutFor(r.cell, r.type);
        EXPECT_EQ(l.bitsPerPixel, r.bits);
        EXPECT_EQ(l.slotCount, r.slots);
        EXPECT_EQ(l.rowBytes, r.rowBytes);
        EXPECT_EQ(l.width, r.cell);
        EXPECT_EQ(l.height, r.slots * r.cell);
        EXPECT_EQ(l.bytes, static_cast<std::size_t>(r.rowBytes) * l.height);
    }
    EXPECT_EQ(NormalizedFontType(0, 2, 16), kFontTypeEdge);  // an edge above 1 asks for the edge
    EXPECT_EQ(NormalizedFontType(kFontTypeAntialias, 1, 8), 0);  // no grey levels on 8 bits
    EXPECT_EQ(NormalizedFontType(7, 1, 32), 3);
}

TEST(FontLayout, FaceNamesAreCutWithoutSplittingACharacter) {
    char field[8];
    CopyFaceName(field, sizeof field, "Verdana");
    EXPECT_STREQ(field, "Verdana");
    CopyFaceName(field, sizeof field, "VerdanaBold");
    EXPECT_STREQ(field, "Verdana");
    CopyFaceName(field, sizeof field, "ABCDEF\x82\xa0");  // the two-byte character would need bytes 6 and 7
    EXPECT_STREQ(field, "ABCDEF");
    CopyFaceName(field, sizeof field, nullptr);
    EXPECT_STREQ(field, "");
}

TEST(FontLayout, EdgeMasksHaveTheirShapes) {
    // Cells covered, by edge size: plus sign, three discs, full squares.
    const int covered[] = {1, 5, 21, 29, 69, 121, 169};
    for (int size = 0; size <= 6; ++size) {
        SCOPED_TRACE(size);
        int n = 0;
        for (int dy = -8; dy <= 8; ++dy)
            for (int dx = -8; dx <= 8; ++dx) {
                const bool c = FontEdgeMaskCovers(size, dx, dy);
                n += c;
                EXPECT_EQ(c, FontEdgeMaskCovers(size, -dx, dy));  // symmetric both ways
                EXPECT_EQ(c, FontEdgeMaskCovers(size, dx, -dy));
                EXPECT_EQ(c, FontEdgeMaskCovers(size, dy, dx));
            }
        EXPECT_EQ(n, covered[size]);
        EXPECT_TRUE(FontEdgeMaskCovers(size, 0, 0));
    }
    EXPECT_FALSE(FontEdgeMaskCovers(1, 1, 1));  // the plus has no corners
    EXPECT_FALSE(FontEdgeMaskCovers(3, 1, 3));  // the 7 x 7 disc's top row is one cell
    EXPECT_TRUE(FontEdgeMaskCovers(4, 2, 4));   // the 9 x 9 disc's top row is five
}

TEST(TextPixels, GreyLevelsGiveTheirCoverageAndColour) {
    const ColorFormatDesc& alpha565 = *GetStandardColorFormat(kColorKind565, 1, 0);
    const ColorFormatDesc& plain565 = *GetStandardColorFormat(kColorKind565, 0, 0);
    const std::uint32_t white = 0xFFFF, black = 0;
    auto work = [&](TextCoverage c) { return TextWorkPixel(alpha565, c, 0); };
    // Plain grey: level << 20 over the text colour.
    EXPECT_EQ(work(GreyGlyphCoverage(15, 0x1234)), 0xF01234u);
    EXPECT_EQ(work(GreyGlyphCoverage(1, 0x1234)), 0x101234u);
    // Edged grey: the glyph whole, the edge alone, and the mix between.
    EXPECT_EQ(work(EdgedGreyGlyphCoverage(plain565, 15, 9, white, black)), 0xFFFFFFu);
    EXPECT_EQ(work(EdgedGreyGlyphCoverage(plain565, 0, 5, white, 0x0841)), 0x500841u);
    // g 8, e 15: coverage 15 x 7 + 128 = 233, t = 32768 / 233 = 140.
    EXPECT_EQ(work(EdgedGreyGlyphCoverage(plain565, 8, 15, white, black)), (233u << 16) | 16u << 11 | 34u << 5 | 16u);
    // Falling channels round down as well: 31 + (-31 x 140 >> 8) = 31 - 17.
    EXPECT_EQ(work(EdgedGreyGlyphCoverage(plain565, 8, 15, black, white)), (233u << 16) | 14u << 11 | 28u << 5 | 14u);
    // Without alpha the coverage blends onto what is there.
    EXPECT_EQ(TextWorkPixel(plain565, TextCoverage{255, black}, white), black);
    EXPECT_EQ(TextWorkPixel(plain565, TextCoverage{0, black}, white), white);
    EXPECT_EQ(TextWorkPixel(plain565, TextCoverage{128, black}, white), 15u << 11 | 31u << 5 | 15u);
}

// ---- the font table and cache on a started framework -----------------------------

class FontCacheTest : public FrameworkTest {
protected:
    void SetUp() override {
        FrameworkTest::SetUp();
        PlatformDisplayKnobsRef() = PlatformDisplayKnobs{};
        PlatformDisplayReset();
        ApiSetAllowDoubleStart(1);
        ASSERT_EQ(ApiInitFramework(), 0);
        ASSERT_EQ(ApiSelectDrawTarget(kDrawTargetBack), 0);
        ApiSetDefaultFontFace("Verdana", -1);
    }

    static std::vector<std::uint16_t> Split(FontRecord* font, const char* text, int length, int capacity,
                                            int* used) {
        std::vector<std::uint16_t> codes(static_cast<std::size_t>(capacity));
        int count = -1;
        EXPECT_EQ(PrepareTextGlyphs(font, text, length, codes.data(), capacity, &count, used), 0);
        codes.resize(static_cast<std::size_t>(count));
        return codes;
    }
};

TEST_F(FontCacheTest, ShiftJisTextSplitsIntoCharacters) {
    FontRecord* sjis = LookupFont(FetchDefaultFontHandle());
    ASSERT_NE(sjis, nullptr);
    struct Row {
        const char* text;
        int length, capacity;
        std::vector<std::uint16_t> codes;
        int used;
    };
    const Row rows[] = {
        {"あA", -1, 16, {0x82A0, 'A'}, 3},  // a full-width letter, then an ASCII one
        {"\xb1" "B", -1, 16, {0xB1, 'B'}, 2},       // half-width katakana is one byte
        {"AB\x82", -1, 16, {'A', 'B'}, 3},       // a lone lead byte at the end draws nothing
        {"あい", 3, 16, {0x82A0}, 3},            // nor does one cut off by the length
        {"ABCDEF", 3, 16, {'A', 'B', 'C'}, 3},
        {"ABCD", -1, 2, {'A', 'B'}, 2},          // no more than the room given
        {"", -1, 16, {}, 0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.text);
        int used = -1;
        EXPECT_EQ(Split(sjis, r.text, r.length, r.capacity, &used), r.codes);
        EXPECT_EQ(used, r.used);
    }
    // Hangul: any byte with the top bit leads.
    const int hangul = CreateFontToHandle("Verdana", 16, 6, 0, kCharSetKindHangul, -1, 0, -1, -1);
    ASSERT_GE(hangul, 0);
    int used = 0;
    EXPECT_EQ(Split(LookupFont(hangul), "\xb0\xa1" "A\xa1", -1, 16, &used), (std::vector<std::uint16_t>{0xB0A1, 'A'}));
    EXPECT_EQ(used, 4);
    ReleaseFontHandle(hangul);
}

TEST_F(FontCacheTest, TheTwentyFirstGlyphReplacesTheFirst) {
    // So large a font has the fewest slots there are.
    const int handle = CreateFontToHandle("Verdana", 200, 6, 0, -1, -1, 0, -1, -1);
    ASSERT_GE(handle, 0);
    FontRecord* font = LookupFont(handle);
    ASSERT_EQ(font->slotCount, 20);
    int used = 0;
    Split(font, "ABCDEFGHIJKLMNOPQRST", -1, 32, &used);
    EXPECT_EQ(font->glyphsRendered, 20u);
    EXPECT_EQ(font->codes['A'].slot, &font->slots[0]);
    Split(font, "U", -1, 32, &used);
    EXPECT_EQ(font->codes['A'].cached, 0u);
    EXPECT_EQ(font->codes['U'].slot, &font->slots[0]);
    EXPECT_EQ(font->slots[0].code, &font->codes['U']);
    EXPECT_EQ(font->codes['B'].cached, 1u);
    EXPECT_EQ(font->nextSlot, 1);
    EXPECT_EQ(font->slots[20].cellIndex, -1);  // the terminator

    // A text with more characters than slots still draws whole: the cache
    // gives up its oldest glyphs as it goes.
    g_DrawState.brightColor = 0xFFFFFF;
    EXPECT_EQ(DrawTextWithFont(-3000, 0, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefgh", 0, handle, 0, 0), 0);
    EXPECT_GT(font->glyphsRendered, 34u);
    ReleaseFontHandle(handle);
}

// Measuring keeps the glyphs it placed for the draw that follows, only
// when they all still stand in the cache and the whole text was taken.
TEST_F(FontCacheTest, MeasuringKeepsTheGlyphsOnlyWhenTheDrawCanTakeThemAsTheyAre) {
    const int handle = CreateFontToHandle("Verdana", 200, 6, 0, -1, -1, 0, -1, -1);
    ASSERT_GE(handle, 0);
    FontRecord* font = LookupFont(handle);
    ASSERT_EQ(font->slotCount, 20);
    struct Case {
        const char* text;
        bool complete;
    };
    const Case cases[] = {
        {"AB A", true},                                   // short, every glyph standing
        {"ABCDEFGHIJKLMNOPQRSTU", false},                 // 21 new glyphs in 20 slots: the first is pushed out
        {"ABCDEFGHIJABCDEFGHIJABCDEFGHIJABC", false},     // longer than the list
        {"", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        TextExtent extent{}, again{};
        TextGlyphList list;
        ASSERT_EQ(MeasureTextExtent(font, c.text, &extent, &list), 0);
        EXPECT_EQ(list.complete, c.complete);
        ASSERT_EQ(MeasureTextExtent(font, c.text, &again), 0);
        EXPECT_EQ(std::memcmp(&extent, &again, sizeof extent), 0);
        if (!list.complete) continue;
        ASSERT_EQ(list.count, static_cast<int>(std::strlen(c.text)));
        long pen = 0;
        for (int i = 0; i < list.count; ++i) {
            const auto code = static_cast<std::uint16_t>(static_cast<unsigned char>(c.text[i]));
            EXPECT_EQ(list.glyphs[i].code, code);
            EXPECT_EQ(list.glyphs[i].slot, font->codes[code].slot);
            EXPECT_EQ(list.glyphs[i].pen, pen);
            pen += list.glyphs[i].slot->advance + font->letterGap;
        }
    }
    ReleaseFontHandle(handle);
}

TEST_F(FontCacheTest, TheDefaultFontFollowsItsSettingsAndIsMadeOnlyWhenTheyChange) {
    ApiSetDefaultFontSize(24);
    const int first = FetchDefaultFontHandle();
    ASSERT_GE(first, 0);
    EXPECT_EQ(QueryFontHandleSize(first), 24);
    ApiSetDefaultFontSize(24);
    EXPECT_EQ(FetchDefaultFontHandle(), first);  // the same size: nothing made again
    ApiSetDefaultFontSize(-1);
    const int second = FetchDefaultFontHandle();
    EXPECT_EQ(QueryFontHandleSize(second), 16);
    EXPECT_EQ(IsValidFontHandle(first), 0);
    ApiSetDefaultFontThickness(9);
    const char* face = nullptr;
    int thickness = 0, size = 0;
    ASSERT_EQ(QueryFontHandleInfo(FetchDefaultFontHandle(), &face, &thickness, &size), 0);
    EXPECT_STREQ(face, "Verdana");
    EXPECT_EQ(thickness, 9);
    EXPECT_EQ(size, 16);
    // An edged default font keeps agreeing with its settings.
    g_DefaultFontSettings.fontType = kFontTypeEdge;
    g_DefaultFontSettings.edgeSize = 2;
    const int edged = FetchDefaultFontHandle();
    EXPECT_EQ(FetchDefaultFontHandle(), edged);
    EXPECT_EQ(LookupFont(edged)->edgeSize, 2);
}

TEST_F(FontCacheTest, AScreenModeChangeKeepsTheDefaultFontsSizeAndThickness) {
    ApiSetDefaultFontSize(24);
    ApiSetDefaultFontThickness(9);
    ASSERT_GE(FetchDefaultFontHandle(), 0);
    ASSERT_EQ(ApplyScreenMode(-1, -1, -1, 1, -1), 0);
    const char* face = nullptr;
    int thickness = 0, size = 0;
    ASSERT_EQ(QueryFontHandleInfo(FetchDefaultFontHandle(), &face, &thickness, &size), 0);
    EXPECT_EQ(size, 24);
    EXPECT_EQ(thickness, 9);
    EXPECT_STREQ(face, "");  // the face is set again by whoever set it
}

TEST_F(FontCacheTest, BadHandlesTextsAndPlacesDrawNothing) {
    const int font = FetchDefaultFontHandle();
    EXPECT_EQ(DrawTextWithFont(0, 0, "x", 0, 0x20001234, 0, 0), -1);
    EXPECT_GE(FindLine("フォントハンドル値が異常です"), 0);
    EXPECT_EQ(DrawTextWithFont(0, 0, "x", 0, 0x08000000 | (font & 0xFFFF), 0, 0), -1);  // another table's type
    EXPECT_EQ(DrawTextWithFont(0, 0, nullptr, 0, font, 0, 0), 0);
    EXPECT_EQ(DrawTextWithFont(0, 0, "", 0, font, 0, 0), 0);
    const std::uint32_t rendered = LookupFont(font)->glyphsRendered;
    EXPECT_EQ(DrawTextWithFont(640, 0, "right of the area", 0, font, 0, 0), 0);
    EXPECT_EQ(LookupFont(font)->glyphsRendered, rendered);  // not even measured
    EXPECT_EQ(ReleaseFontHandle(0x20001234), -1);
    EXPECT_EQ(QueryFontHandleSize(-1), -1);
}

TEST_F(FontCacheTest, ACharacterTheCodePageLacksIsSkippedWithALogLine) {
    const int font = FetchDefaultFontHandle();
    // 0x81 0x20 is no Shift-JIS character; the letters after it still draw.
    EXPECT_EQ(DrawTextWithFont(10, 10, "\x81 AB", 0, font, 0, 0), 0);
    EXPECT_GE(FindLine("GetGlyphOutline 関数が失敗しました"), 0);
    const FontRecord* f = LookupFont(font);
    ASSERT_EQ(f->codes[0x8120].cached, 1u);  // kept as an empty glyph, not tried again
    EXPECT_EQ(f->codes[0x8120].slot->advance, 0);
    EXPECT_EQ(f->codes['A'].cached, 1u);
}

TEST_F(FontCacheTest, TextsOfAnyLengthDrawWithinTheirBuffers) {
    const int font = FetchDefaultFontHandle();
    const std::string longText(5000, 'W');
    EXPECT_EQ(DrawTextWithFont(0, 100, longText.c_str(), 0, font, 0, 0), 0);
    // A long run of two-byte characters, split across the chunks at odd places.
    std::string japanese = "A";
    for (int i = 0; i < 700; ++i) japanese += "漢";
    EXPECT_EQ(DrawTextWithFont(0, 120, japanese.c_str(), 0, font, 0, 0), 0);
    TextExtent extent{};
    ASSERT_EQ(MeasureTextExtent(LookupFont(font), japanese.c_str(), &extent), 0);
    const int letterA = LookupFont(font)->codes['A'].slot->advance;
    const int kanji = LookupFont(font)->codes[0x8ABF].slot->advance;
    EXPECT_EQ(extent.right, letterA + 700 * kanji);
}

TEST_F(FontCacheTest, TheFormattedEntryDrawsAll1023CharactersAndCutsTheRest) {
    ApiSetDefaultFontSize(24);
    const int font = FetchDefaultFontHandle();
    FontRecord* f = LookupFont(font);
    TextExtent space{};
    ASSERT_EQ(MeasureTextExtent(f, " ", &space), 0);
    // 1022 spaces and an X: the X is the 1023rd character, brought on screen.
    const int x = 100 - 1022 * space.right;
    for (int spaces : {1022, 1023}) {
        SCOPED_TRACE(spaces);
        ASSERT_EQ(ApiPaintBox(0, 0, 640, 480, ApiMakeColorCode(255, 255, 255), 1), 0);
        ASSERT_EQ(ApiDrawTextFormatted(x, 200, 0, "%*sX", spaces, ""), 0);
        int dark = 0;
        D_DDSURFACEDESC2 desc{};
        desc.dwSize = sizeof desc;
        ASSERT_EQ(g_ScreenDevice.back->Lock(nullptr, &desc, D_DDLOCK_WAIT, nullptr), D_DD_OK);
        for (int yy = 200; yy < 230; ++yy)
            for (int xx = 90; xx < 140; ++xx) {
                std::uint16_t v = 0;
                std::memcpy(&v, static_cast<std::uint8_t*>(desc.lpSurface) + yy * desc.lPitch + xx * 2, 2);
                dark += v == 0;
            }
        g_ScreenDevice.back->Unlock(nullptr);
        if (spaces == 1022)
            EXPECT_GT(dark, 50);  // the X is there
        else
            EXPECT_EQ(dark, 0);   // 1023 spaces fill the buffer: the X is cut
    }
}

TEST_F(FontCacheTest, TheTableHoldsFortyFontsAndTheLostFlagIsTold) {
    std::vector<int> made;
    for (;;) {
        const int h = CreateFontToHandle("Verdana", 12, 4, 0, -1, -1, 0, -1, -1);
        if (h < 0) break;
        made.push_back(h);
        ASSERT_LE(made.size(), 40u);
    }
    EXPECT_GE(FindLine("作成できるフォントハンドル数 40 の限界を超えました"), 0);
    int lost = 0;
    ASSERT_EQ(LinkFontLostFlag(made[0], &lost), 0);
    // A given slot that is filled is refused; a free one takes the check
    // number given, so a handle can be made again as it was.
    const int slot = made[0] & 0xFFFF;
    EXPECT_EQ(CreateFontToHandle("Verdana", 12, 4, 0, -1, -1, 0, slot, 5), -1);
    EXPECT_EQ(ReleaseFontHandle(made[0]), 0);
    EXPECT_EQ(lost, 1);
    EXPECT_EQ(CreateFontToHandle("Verdana", 12, 4, 0, -1, -1, 0, slot, 5), 0x20000000 | 5 << 16 | slot);
    for (std::size_t i = 1; i < made.size(); ++i) EXPECT_EQ(ReleaseFontHandle(made[i]), 0);
}

TEST_F(FontCacheTest, TheLetterGapWidensEveryAdvance) {
    const int font = CreateFontToHandle("Verdana", 16, 6, 0, -1, -1, 0, -1, -1);
    FontRecord* f = LookupFont(font);
    TextExtent plain{}, spaced{};
    ASSERT_EQ(MeasureTextExtent(f, "gap text", &plain), 0);
    ASSERT_EQ(SetFontLetterGap(3, font), 0);
    ASSERT_EQ(MeasureTextExtent(f, "gap text", &spaced), 0);
    EXPECT_EQ(spaced.right, plain.right + 7 * 3);  // between the eight characters
    ReleaseFontHandle(font);
}

TEST(FontTable, NoFontBeforeTheScreenDevice) {
    EXPECT_EQ(CreateFontToHandle("Verdana", 16, 6, 0, -1, -1, 0, -1, -1), -1);
}

}  // namespace

namespace {

// The 1-bit glyph loop against the general one: the same pixels for every
// placement across a clip edge, both pixel sizes, background kept or not.
TEST_F(FontCacheTest, TheMonoGlyphLoopDrawsWhatTheGeneralOneDraws) {
    FontRecord* font = LookupFont(FetchDefaultFontHandle());
    ASSERT_NE(font, nullptr);
    const char* text = "Wj@ mixed gq あ漢 |";
    for (int kind : {kColorKind565, kColorKind888}) {
        const ColorFormatDesc* format = GetStandardColorFormat(kind, 0, 0);
        const int bytes = format->bytesPerPixel;
        for (int keep = 0; keep < 2; ++keep)
            for (int offset = -13; offset <= 13; offset += 1) {
                SCOPED_TRACE(testing::Message() << "bytes " << bytes << " keep " << keep << " offset " << offset);
                std::vector<std::uint8_t> fast(64 * 40 * 4), general(fast.size());
                for (std::size_t i = 0; i < fast.size(); ++i) fast[i] = general[i] = static_cast<std::uint8_t>(i * 7);
                const RECT clip{3 + (offset & 3), 2, 61 - (offset & 1), 37};
                TextWorkTarget work{fast.data(), 64 * bytes, 64, 40, format, clip, keep};
                SetTextMonoFastPath(1);
                ASSERT_EQ(DrawTextThroughCache(font, offset, 5, text, 0x12345678u >> (32 - 8 * bytes), 0, work), 0);
                work.pixels = general.data();
                SetTextMonoFastPath(0);
                ASSERT_EQ(DrawTextThroughCache(font, offset, 5, text, 0x12345678u >> (32 - 8 * bytes), 0, work), 0);
                SetTextMonoFastPath(1);
                EXPECT_EQ(fast, general);
            }
    }
}

}  // namespace
