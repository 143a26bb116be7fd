// Text drawn on the headless screen through the public entries, on a
// DirectDraw screen of 5:6:5 and of 5:5:5 pixels and on a software-rendered
// screen, compared pixel for pixel with FreeType's own rendering of the faces
// fontconfig gives for the game's requests.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "core/screen_log.h"
#include "framework/framework_fixture.h"
#include "framework/graphics/text/font_oracle.h"
#include "graphics/device/screen_device.h"
#include "graphics/device/surface2d.h"
#include "graphics/draw/draw_state.h"
#include "graphics/draw/graph_load.h"
#include "graphics/draw/graph_record.h"
#include "graphics/text/font.h"
#include "platform/display.h"

namespace {

enum class Screen { DirectDraw565, DirectDraw555, Software };

std::string ScreenName(const testing::TestParamInfo<Screen>& info) {
    switch (info.param) {
        case Screen::DirectDraw565: return "DirectDraw565";
        case Screen::DirectDraw555: return "DirectDraw555";
        default: return "Software";
    }
}

class TextScreenTest : public FrameworkTest, public testing::WithParamInterface<Screen> {
protected:
    void SetUp() override {
        FrameworkTest::SetUp();
        PlatformDisplayKnobs knobs{};
        knobs.use555 = GetParam() == Screen::DirectDraw555;
        knobs.videoMemoryFails = GetParam() == Screen::Software;  // DirectDraw cannot start
        PlatformDisplayKnobsRef() = knobs;
        PlatformDisplayReset();
        ForgetSoftwareRendering();
        PlatformSetFrameSink([this](const PlatformFrame& f) { frames.push_back(f); });
        ApiSetAllowDoubleStart(1);
        ASSERT_EQ(ApiInitFramework(), 0);
        ASSERT_EQ(IsScreenMemImg(), GetParam() == Screen::Software ? 1 : 0);
        ApiSetVBlankWait(0);
        ASSERT_EQ(ApiSelectDrawTarget(kDrawTargetBack), 0);
        // As the game starts: Tahoma, then Verdana.
        ApiSetDefaultFontFace("Tahoma", -1);
        ApiSetDefaultFontFace("Verdana", -1);
        white = ApiMakeColorCode(255, 255, 255);
        black = ApiMakeColorCode(0, 0, 0);
    }
    void TearDown() override {
        FrameworkTest::TearDown();
        PlatformSetFrameSink(nullptr);
        PlatformDisplayKnobsRef() = PlatformDisplayKnobs{};
        ForgetSoftwareRendering();
    }

    // Software rendering, once entered, outlives the framework's end.
    static void ForgetSoftwareRendering() {
        g_ScreenDevice.softwareOnly = 0;
        g_ScreenDevice.disable3D = 0;
        g_ScreenDevice.screenMemImg = 0;
        g_ScreenColorInfo.screenIsMemImg = 0;
    }

    void Fill(ColorCode colour) { ASSERT_EQ(ApiPaintBox(0, 0, 640, 480, colour, 1), 0); }

    const PlatformFrame& Present() {
        EXPECT_EQ(ApiPresentScreen(), 0);
        return frames.back();
    }

    // Pixels of the rectangle whose colour differs from what `expect` says
    // of the oracle's coverage there (bits no channel uses are not compared).
    template <typename Expect>
    static int Differing(const PlatformFrame& f, const FontOracle::Picture& want, RECT area, Expect expect) {
        const DWORD colour = f.layout.redMask | f.layout.greenMask | f.layout.blueMask;
        int wrong = 0;
        for (int y = area.top; y < area.bottom; ++y)
            for (int x = area.left; x < area.right; ++x)
                if ((f.Raw(x, y) & colour) != (expect(x, y, want.At(x, y)) & colour)) ++wrong;
        return wrong;
    }

    static int Covered(const FontOracle::Picture& want) {
        int n = 0;
        for (std::uint8_t v : want.coverage) n += v != 0;
        return n;
    }

    std::vector<PlatformFrame> frames;
    ColorCode white = 0, black = 0;
};

INSTANTIATE_TEST_SUITE_P(Screens, TextScreenTest,
                         testing::Values(Screen::DirectDraw565, Screen::DirectDraw555, Screen::Software), ScreenName);

// The loading screen's text: Verdana at 24 (DejaVu Sans Bold), black on white.
TEST_P(TextScreenTest, NowLoadingMatchesFreeTypeToThePixel) {
    ApiSetDefaultFontSize(24);
    Fill(white);
    ASSERT_EQ(ApiDrawTextFormatted(100, 400, black, "Now Loading..."), 0);
    const PlatformFrame& f = Present();
    FontOracle oracle({{"DejaVu Sans:bold"}}, 24);
    ASSERT_TRUE(oracle.ok());
    const FontOracle::Picture want = oracle.Render(U"Now Loading...", 100, 400, 640, 480, true);
    EXPECT_GT(Covered(want), 300);
    EXPECT_EQ(Differing(f, want, RECT{0, 360, 640, 460}, [&](int, int, int on) { return on ? black : white; }), 0);
}

// The same under the loading screen's fade: the text is composed apart and
// blended as a whole, so each glyph pixel is what a graphic of the text's
// colour gives, drawn under the same blend on the same background.
TEST_P(TextScreenTest, BlendedTextIsTheBlendOfItsColour) {
    ApiSetDefaultFontSize(24);
    const HandleId swatch = CreateGraphWithSurfaces(1, 1, 0, 0, 0);
    ASSERT_GE(swatch, 0);
    ASSERT_EQ(FillGraphSurface2Ds(LookupGraph(swatch), 200, 0, 0, 255), 0);
    const ColorCode red = ApiMakeColorCode(200, 0, 0);
    for (int alpha : {64, 128, 254}) {
        SCOPED_TRACE(alpha);
        Fill(white);
        ApiSetBlendModeParam(kBlendModeAlpha, alpha);
        ASSERT_EQ(ApiBlitGraph(0, 0, swatch, 0), 0);
        ASSERT_EQ(ApiDrawTextFormatted(100, 400, red, "Now Loading..."), 0);
        ApiSetBlendModeParam(0, 0);
        const PlatformFrame& f = Present();
        const ColorCode blended = f.Raw(0, 0);
        ASSERT_NE(blended, white);
        FontOracle oracle({{"DejaVu Sans:bold"}}, 24);
        const FontOracle::Picture want = oracle.Render(U"Now Loading...", 100, 400, 640, 480, true);
        EXPECT_EQ(Differing(f, want, RECT{0, 360, 640, 460}, [&](int, int, int on) { return on ? blended : white; }), 0);
    }
    ApiReleaseGraph(swatch, 0);
}

// The shop's message: ASCII from DejaVu Sans Bold, the Japanese from IPA
// Gothic (emboldened at the shop's thickness 9), one pen running across both.
TEST_P(TextScreenTest, MixedAsciiAndJapaneseAdvancesByEachGlyphsWidth) {
    ApiSetDefaultFontSize(16);
    ApiSetDefaultFontThickness(9);
    Fill(black);
    const ColorCode white = ApiMakeColorCode(255, 255, 255);
    ASSERT_EQ(ApiDrawTextFormatted(180, 240, white, "%d Veskで購入します", 1700), 0);
    const PlatformFrame& f = Present();
    FontOracle oracle({{"DejaVu Sans:bold"}, {"IPAGothic", true}}, 16);
    ASSERT_TRUE(oracle.ok());
    const std::u32string text = U"1700 Veskで購入します";
    EXPECT_EQ(oracle.FaceOf(U'V'), 0);
    EXPECT_EQ(oracle.FaceOf(U'購'), 1);
    const FontOracle::Picture want = oracle.Render(text, 180, 240, 640, 480, true);
    EXPECT_GT(Covered(want), 300);
    EXPECT_EQ(Differing(f, want, RECT{0, 220, 640, 270}, [&](int, int, int on) { return on ? white : black; }), 0);

    TextExtent extent{};
    ASSERT_EQ(MeasureTextExtent(LookupFont(FetchDefaultFontHandle()), "1700 Veskで購入します", &extent), 0);
    EXPECT_EQ(extent.right, want.penEnd - 180);
}

// An edged font, as the screen log's: the glyph in the text colour, a
// one-pixel plus-shaped edge around it in the edge colour, the glyph moved
// in by the edge and each advance two pixels wider.
TEST_P(TextScreenTest, AnEdgedFontDrawsItsOutlineInTheEdgeColour) {
    const ColorCode grey = ApiMakeColorCode(128, 128, 128);
    Fill(grey);
    const int font = CreateFontToHandle("Verdana", 16, 4, kFontTypeEdge, -1, -1, 0, -1, -1);
    ASSERT_GE(font, 0);
    ASSERT_EQ(DrawTextWithFont(50, 60, "Edge wx", white, font, black, 0), 0);
    const PlatformFrame& f = Present();
    FontOracle oracle({{"DejaVu Sans"}}, 16);
    const FontOracle::Picture want = oracle.Render(U"Edge wx", 50, 60, 640, 480, true, 1);
    auto edgeAt = [&](int x, int y) {
        return want.At(x - 1, y) || want.At(x + 1, y) || want.At(x, y - 1) || want.At(x, y + 1);
    };
    EXPECT_EQ(Differing(f, want, RECT{30, 40, 200, 100},
                        [&](int x, int y, int on) { return on ? white : edgeAt(x, y) ? black : grey; }),
              0);
    EXPECT_EQ(ReleaseFontHandle(font), 0);
}

// Grey-level fonts: each pixel is the text colour over the background by
// FreeType's coverage taken to GDI's 17 levels and stored one lower, drawn
// straight, or composed with alpha when blended; an edged grey font shows
// its glyph's full pixels in the text colour.
TEST_P(TextScreenTest, GreyLevelFontsFollowFreeTypesCoverage) {
    Fill(white);
    const int grey = CreateFontToHandle("Verdana", 24, 6, kFontTypeAntialias, -1, -1, 0, -1, -1);
    ASSERT_GE(grey, 0);
    ASSERT_EQ(DrawTextWithFont(100, 100, "Grey wQ", black, grey, black, 0), 0);
    ApiSetBlendModeParam(kBlendModeAlpha, 128);
    ASSERT_EQ(DrawTextWithFont(100, 200, "Grey wQ", black, grey, black, 0), 0);
    ApiSetBlendModeParam(0, 0);
    const ColorCode mid = ApiMakeColorCode(128, 128, 128);
    ASSERT_EQ(ApiPaintBox(0, 290, 640, 360, mid, 1), 0);
    const int edged = CreateFontToHandle("Verdana", 24, 6, kFontTypeAntialias | kFontTypeEdge, -1, -1, 0, -1, -1);
    ASSERT_GE(edged, 0);
    ASSERT_EQ(DrawTextWithFont(100, 300, "Grey wQ", white, edged, black, 0), 0);
    const PlatformFrame& f = Present();

    FontOracle oracle({{"DejaVu Sans:bold"}}, 24);
    const int redMax = static_cast<int>(f.layout.redMask >> __builtin_ctz(f.layout.redMask));
    auto darkness = [&](int x, int y) {
        const int red = static_cast<int>((f.Raw(x, y) & f.layout.redMask) >> __builtin_ctz(f.layout.redMask));
        return 1.0 - static_cast<double>(red) / redMax;
    };
    auto ruled = [](int v) {
        const int level = (v * 16 + 127) / 255, stored = level > 0 ? level - 1 : 0;
        const int alpha = stored << 4;
        return (alpha + (alpha >> 7)) / 256.0;
    };
    for (int row : {100, 200}) {
        SCOPED_TRACE(row);
        const FontOracle::Picture want = oracle.Render(U"Grey wQ", 100, row, 640, 480, false);
        const double weight = row == 100 ? 1.0 : 128.0 / 255.0;
        int worst = 0, partial = 0;
        for (int y = row - 10; y < row + 40; ++y)
            for (int x = 90; x < 260; ++x) {
                const int v = want.At(x, y);
                partial += v > 0 && v < 255;
                if (std::abs(darkness(x, y) - ruled(v) * weight) > 0.05) ++worst;
            }
        EXPECT_GT(partial, 50);
        EXPECT_EQ(worst, 0);
    }
    const FontOracle::Picture core = oracle.Render(U"Grey wQ", 100, 300, 640, 480, false, 1);
    int full = 0, wrong = 0;
    for (int y = 290; y < 340; ++y)
        for (int x = 90; x < 260; ++x) {
            if (core.At(x, y) == 255) {
                ++full;
                wrong += (f.Raw(x, y) & 0x7FFF) != (white & 0x7FFF);
            }
        }
    EXPECT_GT(full, 100);
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(f.Raw(95, 300), mid);
    ReleaseFontHandle(grey);
    ReleaseFontHandle(edged);
}

// The draw-bright colour scales the text colour.
TEST_P(TextScreenTest, TheBrightColourTintsTheText) {
    Fill(black);
    ApiSetBrightColor(255, 0, 0);
    ASSERT_EQ(ApiDrawTextFormatted(10, 10, white, "Tint"), 0);
    ApiSetBrightColor(255, 255, 255);
    const PlatformFrame& f = Present();
    FontOracle oracle({{"DejaVu Sans:bold"}}, 16);
    const FontOracle::Picture want = oracle.Render(U"Tint", 10, 10, 640, 480, true);
    const ColorCode red = ApiMakeColorCode(255, 0, 0);
    EXPECT_EQ(Differing(f, want, RECT{0, 0, 100, 40}, [&](int, int, int on) { return on ? red : black; }), 0);
}

// A second draw finds every glyph in the cache; a device loss makes the font
// again with an empty cache, and the text still draws the same.
TEST_P(TextScreenTest, TheCacheServesTheSecondDrawAndIsRebuiltAfterDeviceLoss) {
    ApiSetDefaultFontSize(24);
    Fill(white);
    ASSERT_EQ(ApiDrawTextFormatted(100, 400, black, "Now Loading..."), 0);
    const int handle = FetchDefaultFontHandle();
    FontRecord* font = LookupFont(handle);
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(font->glyphsRendered, 11u);  // N o w space L a d i n g .
    const std::uint32_t hits = font->cacheHits;
    ASSERT_EQ(ApiDrawTextFormatted(100, 400, black, "Now Loading..."), 0);
    EXPECT_EQ(font->glyphsRendered, 11u);
    EXPECT_EQ(font->cacheHits, hits + 14);  // looked up once: the draw takes the glyphs measuring placed

    if (GetParam() != Screen::Software) {
        PlatformDisplayLoseExclusive();
        PlatformDisplayRegainExclusive();
    }
    ASSERT_EQ(RecoverGraphicsAfterDeviceLoss(), 0);
    font = LookupFont(handle);  // the same handle, made again
    ASSERT_NE(font, nullptr);
    // The screen log keeps its font: made again under the same handle.
    EXPECT_EQ(g_ScreenLog.fontLost, 0);
    EXPECT_EQ(IsValidFontHandle(g_ScreenLog.fontHandle), 1);
    EXPECT_EQ(font->glyphsRendered, 0u);
    EXPECT_EQ(font->codes['N'].cached, 0u);
    Fill(white);
    ASSERT_EQ(ApiDrawTextFormatted(100, 400, black, "Now Loading..."), 0);
    EXPECT_EQ(font->glyphsRendered, 11u);
    const PlatformFrame& f = Present();
    FontOracle oracle({{"DejaVu Sans:bold"}}, 24);
    const FontOracle::Picture want = oracle.Render(U"Now Loading...", 100, 400, 640, 480, true);
    EXPECT_EQ(Differing(f, want, RECT{0, 360, 640, 460}, [&](int, int, int on) { return on ? black : white; }), 0);
}

// The screen log's lines are drawn over the presented frame: white text with
// a black edge, one line every 16 pixels.
TEST_P(TextScreenTest, TheScreenLogShowsItsLines) {
    Fill(ApiMakeColorCode(40, 60, 120));
    const char* lines[] = {"Kelvo screen log", "line 2: 0123456789", "ログの三行目"};
    for (int i = 0; i < 3; ++i) std::snprintf(g_ScreenLog.text[i], kScreenLogLineBytes, "%s", lines[i]);
    g_ScreenLog.lineCount = 3;
    const PlatformFrame& f = Present();
    ClearScreenLog();
    FontOracle oracle({{"DejaVu Sans"}, {"IPAGothic"}}, 16);
    const std::u32string texts[] = {U"Kelvo screen log", U"line 2: 0123456789", U"ログの三行目"};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const FontOracle::Picture want = oracle.Render(texts[i], 0, 16 * i, 640, 480, true, 1);
        int glyph = 0, wrong = 0;
        for (int y = 16 * i; y < 16 * i + 16; ++y)
            for (int x = 0; x < 300; ++x)
                if (want.At(x, y)) {
                    ++glyph;
                    wrong += f.Raw(x, y) != white;
                }
        EXPECT_GT(glyph, 40);
        EXPECT_EQ(wrong, 0);
    }
    // Nothing below the last line.
    EXPECT_EQ(f.Raw(20, 60), ApiMakeColorCode(40, 60, 120));
}

}  // namespace
