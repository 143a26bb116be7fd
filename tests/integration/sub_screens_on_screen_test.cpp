// The shop, the status screen and the system menu drawn by the real framework
// over stage 1 of the generated data set, headless: boxes in their colours
// with their bevels, the Japanese texts of the shop's boxes, the darkened
// field under the menu and the status screen. Run with KELVO_CAPTURE=<folder>
// and KELVO_CAPTURE_EVERY=1 to keep the frames as PNG; the test names the
// frames worth looking at.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "engine/frame_input.h"
#include "engine/handles.h"
#include "kelvo/api.h"
#include "platform/backend.h"
#include "platform/display.h"
#include "platform/files.h"
#include "platform/kernel.h"
#include "platform/window.h"
#include "rules/derived_stats.h"
#include "rules/exp_table.h"
#include "rules/key_config.h"
#include "rules/player_record.h"
#include "rules/save_data.h"
#include "rules/stats.h"
#include "rules/sub_screen.h"
#include "screens/equipment_shop.h"
#include "screens/status_screen.h"
#include "screens/sub_screen_step.h"
#include "screens/system_menu.h"
#include "support/temp_dir.h"
#include "world/stages/stage_loader.h"
#include "world/stages/stage_state.h"

namespace {

constexpr std::uint32_t kCancel = 0x10;
constexpr std::uint32_t kDecide = 0x20;

struct Rgb {
    int r, g, b;
};

Rgb Split(std::uint32_t rgb) {
    return {static_cast<int>((rgb >> 16) & 0xFF), static_cast<int>((rgb >> 8) & 0xFF), static_cast<int>(rgb & 0xFF)};
}

// The screen is 16-bit: a colour arrives with its low bits cut.
::testing::AssertionResult Near(std::uint32_t rgb, int r, int g, int b) {
    Rgb c = Split(rgb);
    if (std::abs(c.r - r) <= 8 && std::abs(c.g - g) <= 8 && std::abs(c.b - b) <= 8)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "pixel (" << c.r << ", " << c.g << ", " << c.b << ") is not near (" << r
                                         << ", " << g << ", " << b << ")";
}

class SubScreensOnScreen : public ::testing::Test {
protected:
    // One data set for the suite: writing it takes longer than the frames.
    static void SetUpTestSuite() {
        data_ = new TempDir;
        std::string tool = std::string(KELVO_DATAGEN_PATH) + " " + data_->str() + " >/dev/null";
        dataWritten_ = std::system(tool.c_str()) == 0;
    }
    static void TearDownTestSuite() {
        delete data_;
        data_ = nullptr;
    }

    void SetUp() override {
        ASSERT_TRUE(dataWritten_);
        PlatformSelectBackend(PlatformBackend::Headless);
        PlatformResetWindows();
        char previous[MAX_PATH];
        GetCurrentDirectoryA(MAX_PATH, previous);
        previous_ = previous;
        SetCurrentDirectoryA(PlatformWindowsPath(data_->str()).c_str());
        ApiSetLogEnabled(0);
        ApiSetAllowDoubleStart(1);
        ASSERT_EQ(ApiInitFramework(), 0);
        ApiSetVBlankWait(0);
        ApiSetDefaultFontFace("Verdana", -1);
        ApiSetDefaultFontSize(16);
        ApiSetDefaultFontThickness(9);
        PlatformSetFrameSink([this](const PlatformFrame& frame) { last_ = frame; });
        ASSERT_EQ(ApiLoadImageToDivGraphs("rukbmp\\alffonts.bmp", 108, 13, 9, 32, 32, g_GlyphLetters, 0), 0);
        ASSERT_EQ(ApiLoadImageToDivGraphs("rukbmp\\numfonts.bmp", 40, 10, 4, 32, 32, g_GlyphDigits, 0), 0);
        ASSERT_EQ(ApiLoadImageToDivGraphs("rukbmp\\yajirusi.bmp", 30, 10, 3, 48, 48, g_CursorFrames, 0), 0);
        ASSERT_EQ(ApiLoadImageToDivGraphs("rukbmp\\yajirusimini.bmp", 30, 10, 3, 16, 16, g_SmallCursorFrames, 0), 0);
        g_KeyMasks[kKeyCancelAttack] = kCancel;
        g_KeyMasks[kKeyDecideJump] = kDecide;
        g_PlayerRecord = {};
        InitNewGame();
        g_DerivedStats = {};
        g_FrameInputState = {};
        g_SubScreenMode = kSubScreenNone;
        g_SystemMenuCursor = 0;
        LoadStage(1);
        g_StageState.fadeCounter = 0;
    }
    void TearDown() override {
        PlatformSetFrameSink(nullptr);
        ApiEndFramework();
        SetCurrentDirectoryA(previous_.c_str());
        PlatformResetWindows();
    }

    // One frame: the stage's panels at the camera, then the open sub-screen,
    // presented.
    SubScreenOutcome Frame(std::uint32_t held = 0) {
        FrameInputState& input = g_FrameInputState;
        input.newlyPressed = held & ~input.held;
        input.held = held;
        ApiSelectDrawTarget(kDrawTargetBack);
        ApiClearDrawTarget();
        const int camera = static_cast<int>(g_StageState.cameraX);
        for (int i = 0; i < kStagePanelCount; ++i) {
            int x = i * kPanelWidth - camera;
            if (x > -kPanelWidth && x < 640) ApiBlitGraph(x, 0, g_StageState.panelImages[i], 0);
        }
        RecomputeStatTotals();
        SubScreenOutcome outcome = RunSubScreenStep();
        if (outcome == SubScreenOutcome::kPresent) ApiPresentScreen();
        ApiProcessMessage();
        return outcome;
    }
    void Frames(int n) {
        for (int i = 0; i < n; ++i) Frame();
    }
    void Shot(const char* what) const {
        std::printf("frame %06llu: %s\n", static_cast<unsigned long long>(last_.number), what);
    }

    // Pixels near white inside a rectangle.
    int WhitePixels(int x0, int y0, int x1, int y1) const {
        int n = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) {
                Rgb c = Split(last_.Rgb(x, y));
                n += c.r > 200 && c.g > 200 && c.b > 200;
            }
        return n;
    }

    static inline TempDir* data_ = nullptr;
    static inline bool dataWritten_ = false;
    std::string previous_;
    PlatformFrame last_;
};

TEST_F(SubScreensOnScreen, TheShopsBoxesTextsAndJapaneseConfirmation) {
    g_PlayerRecord.money = 1000;
    OpenEquipmentShop(0);
    Frames(10);
    Shot("shop of door 0, weapons, cursor on club");
    ASSERT_EQ(last_.width, 640);
    // The offer panel, one column box with its bevel: frame at the top and
    // left, shadow at the right and bottom, the fill inside.
    EXPECT_TRUE(Near(last_.Rgb(75, 300), 0, 0, 128));
    EXPECT_TRUE(Near(last_.Rgb(84, 115), 170, 170, 210));
    EXPECT_TRUE(Near(last_.Rgb(150, 106), 170, 170, 210));
    EXPECT_TRUE(Near(last_.Rgb(250, 115), 0, 0, 7));
    EXPECT_TRUE(Near(last_.Rgb(200, 128), 0, 0, 7));
    EXPECT_TRUE(Near(last_.Rgb(200, 127), 0, 0, 70));
    // The equipment panel and a figure box.
    EXPECT_TRUE(Near(last_.Rgb(5, 470), 0, 77, 0));
    EXPECT_TRUE(Near(last_.Rgb(600, 352), 10, 0, 0));
    // Names, descriptions and prices are drawn in white in their columns.
    EXPECT_GT(WhitePixels(90, 110, 250, 126), 30);
    EXPECT_GT(WhitePixels(264, 110, 480, 126), 30);
    EXPECT_GT(WhitePixels(494, 110, 565, 126), 15);

    // The mace: the confirmation box with its Japanese lines.
    Frame(0x1);
    Frame(0);
    Frame(kDecide);
    ASSERT_EQ(g_ShopState.step, kShopConfirming);
    Frames(10);
    Shot("shop confirmation: trade in the club for the mace");
    EXPECT_TRUE(Near(last_.Rgb(165, 165), 10, 10, 10));
    EXPECT_GT(WhitePixels(215, 180, 330, 197), 60) << "を下取りして";
    EXPECT_GT(WhitePixels(210, 240, 360, 257), 60) << "Veskで購入します";
    EXPECT_GT(WhitePixels(240, 280, 280, 297), 30) << "はい";
    EXPECT_GT(WhitePixels(400, 280, 460, 297), 30) << "いいえ";
    EXPECT_EQ(WhitePixels(280, 280, 360, 297), 0) << "six full-width blanks between";
    Frame(kDecide);
    Frame(0);
    EXPECT_EQ(g_PlayerRecord.weaponRow, 1);
    EXPECT_EQ(g_PlayerRecord.money, 1000 - (200 - 35));

    // Door 2's slash with 835 Vesk: the refusal box.
    OpenEquipmentShop(2);
    Frame(0);
    Frame(kDecide);
    ASSERT_EQ(g_ShopState.step, kShopShortOfMoney);
    Frames(5);
    Shot("shop of door 2: Vesk short for the slash");
    EXPECT_GT(WhitePixels(220, 230, 380, 247), 60) << "Vesk が足りません";
    EXPECT_TRUE(Near(last_.Rgb(470, 310), 10, 10, 10));
    Frame(kCancel);
    Frame(0x4);
    Frame(0);
    Frames(10);
    Shot("shop of door 2, armours");
    Frame(0x1000);
    EXPECT_EQ(g_SubScreenMode, kSubScreenNone);
}

TEST_F(SubScreensOnScreen, TheStatusScreenAfterALevelUpAndTheSystemMenu) {
    Frame();
    const PlatformFrame field = last_;
    g_PlayerRecord.exp = ExpTable[1];
    ASSERT_TRUE(CheckLevelUp());
    g_PlayerRecord.weaponRow = 13;  // golden mace: bonuses to show
    g_PlayerRecord.accessoryRow = 10;
    Frames(40);
    Shot("status screen after a level-up, banner rising");
    // The black box at alpha 96 darkens the field under it (the tree's
    // crown, below the banner's letters), and only there.
    Rgb under = Split(field.Rgb(212, 256)), now = Split(last_.Rgb(212, 256));
    ASSERT_GT(under.g, 60) << "the tree stands there";
    EXPECT_NEAR(now.r + now.g + now.b, (under.r + under.g + under.b) * 159 / 255, 24);
    EXPECT_EQ(last_.Rgb(170, 250), field.Rgb(170, 250));
    EXPECT_GT(WhitePixels(580, 350, 640, 480), 40) << "the preview figures";
    // Three points on STR, the row the cursor opened on.
    for (int i = 0; i < 3; ++i) {
        Frame(kDecide);
        Frame(0);
    }
    g_DerivedStats.levelUpBannerTimer = 170;
    Frames(10);
    Shot("status screen, three points on STR, banner fading");
    EXPECT_EQ(g_PlayerRecord.str, 4);
    g_SystemMenuCursor = kStatusExit;
    Frame(kDecide);
    Frame(0);
    EXPECT_EQ(g_SubScreenMode, kSubScreenNone);
    EXPECT_EQ(g_PlayerRecord.hp, g_PlayerRecord.maxHp);

    // The system menu darkens the whole field by a quarter.
    g_SubScreenMode = kSubScreenSystemMenu;
    Frames(20);
    Shot("system menu, cursor on RETURN");
    under = Split(field.Rgb(50, 420));
    now = Split(last_.Rgb(50, 420));
    ASSERT_GT(under.r, 60) << "the ground lies there";
    EXPECT_NEAR(now.r + now.g + now.b, (under.r + under.g + under.b) * 191 / 255, 24);
    Frame(0x1);
    Frame(0);
    Frames(20);
    Shot("system menu, cursor on STATUS");
    EXPECT_EQ(Frame(kDecide), SubScreenOutcome::kPresent);
    Frames(10);
    Shot("status screen from the menu, cursor on AGI");
    EXPECT_EQ(g_SubScreenMode, kSubScreenStatus);
}

}  // namespace
