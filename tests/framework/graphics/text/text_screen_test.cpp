// Text drawn on the headless screen through the public entry, compared with
// FreeType's own rendering of the same faces at the same size.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "framework/framework_fixture.h"
#include "framework/graphics/text/font_oracle.h"
#include "graphics/text/font.h"
#include "platform/display.h"

namespace {

constexpr std::uint32_t kWhite565 = 0xFFFF, kBlack565 = 0;

class TextScreenTest : public FrameworkTest {
protected:
    void SetUp() override {
        FrameworkTest::SetUp();
        PlatformDisplayKnobsRef() = PlatformDisplayKnobs{};
        PlatformDisplayReset();
        PlatformSetFrameSink([this](const PlatformFrame& f) { frames.push_back(f); });
        ApiSetAllowDoubleStart(1);
        ASSERT_EQ(ApiInitFramework(), 0);
        ApiSetVBlankWait(0);
        ASSERT_EQ(ApiSelectDrawTarget(kDrawTargetBack), 0);
        // As the game starts: Tahoma, then Verdana.
        ApiSetDefaultFontFace("Tahoma", -1);
        ApiSetDefaultFontFace("Verdana", -1);
    }
    void TearDown() override {
        FrameworkTest::TearDown();
        PlatformSetFrameSink(nullptr);
    }

    void WhiteScreen() { ASSERT_EQ(ApiPaintBox(0, 0, 640, 480, ApiMakeColorCode(255, 255, 255), 1), 0); }

    const PlatformFrame& Present() {
        EXPECT_EQ(ApiPresentScreen(), 0);
        return frames.back();
    }

    std::vector<PlatformFrame> frames;
};

TEST_F(TextScreenTest, NowLoadingMatchesFreeTypeToThePixel) {
    ApiSetDefaultFontSize(24);
    WhiteScreen();
    ASSERT_EQ(ApiDrawTextFormatted(100, 400, ApiMakeColorCode(0, 0, 0), "Now Loading..."), 0);
    const PlatformFrame& f = Present();
    FontOracle oracle({{"DejaVu Sans:bold"}}, 24);
    ASSERT_TRUE(oracle.ok());
    const FontOracle::Picture want = oracle.Render(U"Now Loading...", 100, 400, 640, 480, true);
    int covered = 0, wrong = 0;
    for (int y = 370; y < 450; ++y)
        for (int x = 80; x < 400; ++x) {
            const bool on = want.At(x, y) != 0;
            covered += on;
            if (f.Raw(x, y) != (on ? kBlack565 : kWhite565)) ++wrong;
        }
    EXPECT_GT(covered, 300);
    EXPECT_EQ(wrong, 0);
}

}  // namespace

namespace {

TEST_F(TextScreenTest, ShopJapaneseDrawsWithIpaGothic) {
    ApiSetDefaultFontSize(16);
    ApiSetDefaultFontThickness(9);
    WhiteScreen();
    ASSERT_EQ(ApiDrawTextFormatted(220, 230, ApiMakeColorCode(0, 0, 0), "Vesk が足りません"), 0);
    const PlatformFrame& f = Present();
    // Weight 900: the regular IPA Gothic is emboldened.
    FontOracle oracle({{"DejaVu Sans:bold"}, {"IPAGothic", true}}, 16);
    ASSERT_TRUE(oracle.ok());
    const FontOracle::Picture want = oracle.Render(U"Vesk が足りません", 220, 230, 640, 480, true);
    int covered = 0, wrong = 0;
    for (int y = 210; y < 260; ++y)
        for (int x = 200; x < 420; ++x) {
            const bool on = want.At(x, y) != 0;
            covered += on;
            if (f.Raw(x, y) != (on ? kBlack565 : kWhite565)) ++wrong;
        }
    EXPECT_GT(covered, 200);
    EXPECT_EQ(wrong, 0);
}

}  // namespace
