// The title menu's state machine driven by per-frame pad states on the
// recording stand-in: every transition, the order in which the states'
// blocks run within one frame, and what each screen draws.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "engine/frame_input.h"
#include "engine/game_log.h"
#include "front/title_drawing.h"
#include "game/support/menu_driver.h"
#include "game/support/working_dir.h"
#include "rules/gallery_flags.h"
#include "rules/key_config.h"
#include "rules/player_action_state.h"
#include "rules/player_record.h"
#include "rules/save_data.h"
#include "world/stages/stage_state.h"

namespace {

constexpr std::uint32_t D = kDecideKey, C = kCancelKey, S = kSkillKey, DN = kDownKey, UP = kUpKey;

// A used slot: its summary and a save file that passes the checks.
void WriteUsedSlot(const TempDir& dir, int slot, std::int8_t stage, std::int32_t level) {
    PlayerRecord record = {};
    record.stage = stage;
    record.level = level;
    record.hp = record.maxHp = 900;
    record.sp = record.maxSp = 300;
    record.agi = record.str = record.intel = record.dex = record.vit = record.luk = 1;
    record.money = 4321;
    record.saveSlot = static_cast<std::uint8_t>(slot);
    record.difficulty = kDifficultyHard;
    std::uint8_t bytes[kSaveRecordSize];
    EncodeSaveRecord(record, bytes);
    std::string name = "savedata/file" + std::to_string(slot + 1) + ".dat";
    dir.Write(name, std::string(reinterpret_cast<const char*>(bytes), sizeof bytes));
    std::string summary(1, static_cast<char>(stage));
    for (int i = 0; i < 4; ++i) summary += static_cast<char>((level >> (8 * i)) & 0xFF);
    dir.Write("savedata/start" + std::to_string(slot + 1) + ".dat", summary);
}

void WriteEmptySlot(const TempDir& dir, int slot) {
    dir.Write("savedata/start" + std::to_string(slot + 1) + ".dat", std::string("n\0\0\0\0", 5));
}

class TitleMenuTest : public ::testing::Test {
protected:
    void SetUp() override {
        ClearGameLog();
        // Slot 1 used (stage 5, level 7), slot 2 claims to be used but has no
        // save file, slots 3 and 4 empty.
        WriteUsedSlot(work_.dir(), 0, 5, 7);
        work_.dir().Write("savedata/start2.dat", std::string("\x09\x0C\0\0\0", 5));
        WriteEmptySlot(work_.dir(), 2);
        WriteEmptySlot(work_.dir(), 3);
    }
    ScopedWorkingDir work_;
};

// Where a script of frames ends: the state reached, or the menu's return.
struct Outcome {
    bool running;
    std::uint8_t state;
    std::uint8_t gameStart;
    std::uint8_t loaded;
};

struct TransitionCase {
    const char* name;
    std::vector<std::uint32_t> frames;
    Outcome expected;
};

}  // namespace

TEST_F(TitleMenuTest, EveryTransition) {
    const Outcome kMenu{true, kTitleMainMenu, 0, 0};
    const TransitionCase cases[] = {
        {"title: decide", {D}, kMenu},
        {"title: cancel", {C}, kMenu},
        {"title: up", {UP}, kMenu},
        {"title: down", {DN}, kMenu},
        {"title: skill does nothing", {S}, {true, kTitleScreen, 0, 0}},
        {"title: left does nothing", {kLeftKey}, {true, kTitleScreen, 0, 0}},
        {"title: a held key does not repeat", {D, D}, kMenu},
        {"menu: GAME MODE", {D, 0, D}, {true, kTitleFileSelect, 0, 0}},
        {"menu: CG MODE", {D, 0, DN, 0, D}, {true, kTitleGalleryGrid, 0, 0}},
        {"menu: KEY CONFIG", {D, 0, DN, 0, DN, 0, D}, {true, kTitleKeyConfig, 0, 0}},
        {"menu: EXIT", {D, 0, UP, 0, D}, {false, kTitleMainMenu, 0, 0}},
        {"menu: cancel", {D, 0, C}, {true, kTitleScreen, 0, 0}},
        {"file select: used slot", {D, 0, D, 0, D}, {false, kTitleFileSelect, 1, 1}},
        {"file select: empty slot", {D, 0, D, 0, DN, 0, DN, 0, D}, {true, kTitleDifficulty, 0, 0}},
        {"file select: damaged slot", {D, 0, D, 0, DN, 0, D}, {true, kTitleDifficulty, 0, 0}},
        {"file select: cancel", {D, 0, D, 0, C}, {true, kTitleMainMenu, 0, 0}},
        {"difficulty: decide", {D, 0, D, 0, UP, 0, D, 0, D}, {false, kTitleDifficulty, 1, 0}},
        {"difficulty: cancel", {D, 0, D, 0, UP, 0, D, 0, C}, {true, kTitleFileSelect, 0, 0}},
        {"grid: decide on a locked picture", {D, 0, DN, 0, D, 0, DN, 0, D}, {true, kTitleGalleryGrid, 0, 0}},
        {"grid: decide on an open picture", {D, 0, DN, 0, D, 0, D}, {true, kTitleGalleryView, 0, 0}},
        {"grid: cancel", {D, 0, DN, 0, D, 0, C}, {true, kTitleMainMenu, 0, 0}},
        {"view: cancel", {D, 0, DN, 0, D, 0, D, 0, C}, {true, kTitleGalleryGrid, 0, 0}},
        {"view: decide", {D, 0, DN, 0, D, 0, D, 0, D}, {true, kTitleGalleryGrid, 0, 0}},
        {"view: skill", {D, 0, DN, 0, D, 0, D, 0, S}, {true, kTitleGalleryGrid, 0, 0}},
        {"view: a direction stays", {D, 0, DN, 0, D, 0, D, 0, DN}, {true, kTitleGalleryView, 0, 0}},
        {"key config: cancel does not leave", {D, 0, DN, 0, DN, 0, D, 0, C}, {true, kTitleKeyConfig, 0, 0}},
        {"key config: save & exit", {D, 0, DN, 0, DN, 0, D, 0, UP, 0, D}, {true, kTitleMainMenu, 0, 0}},
    };
    for (const TransitionCase& c : cases) {
        SCOPED_TRACE(c.name);
        ClearGameLog();
        LoadFileSummaries();
        MenuDriver driver;
        g_GalleryFlags[0] = 1;  // picture 0 open, picture 1 locked
        for (std::uint32_t pad : c.frames) driver.Frame(pad);
        EXPECT_EQ(driver.running(), c.expected.running);
        if (c.expected.running) {
            EXPECT_EQ(driver.menu().state, c.expected.state);
        }
        EXPECT_EQ(g_GameStartFlag, c.expected.gameStart);
        EXPECT_EQ(g_LoadedGameFlag, c.expected.loaded);
    }
}

TEST_F(TitleMenuTest, ClosedWindowAndEscapeEndTheProgramFromEveryScreen) {
    const std::vector<std::uint32_t> toScreen[] = {
        {}, {D}, {D, 0, D}, {D, 0, D, 0, DN, 0, DN, 0, D}, {D, 0, DN, 0, D}, {D, 0, DN, 0, D, 0, D},
        {D, 0, DN, 0, DN, 0, D},
    };
    for (bool escape : {false, true}) {
        for (const auto& frames : toScreen) {
            SCOPED_TRACE(::testing::Message() << (escape ? "escape" : "closed window") << " after "
                                              << frames.size() << " frames");
            LoadFileSummaries();
            MenuDriver driver;
            g_GalleryFlags[0] = 1;
            for (std::uint32_t pad : frames) driver.Frame(pad);
            ASSERT_TRUE(driver.running());
            if (escape)
                Recorder().SetKeyDown(1, true);
            else
                Recorder().CloseWindowAfter(0);
            std::vector<ApiCall> calls = driver.Frame(D);
            EXPECT_FALSE(driver.running());
            EXPECT_EQ(g_GameStartFlag, 0);
            EXPECT_EQ(Only(calls, "ApiPresentScreen").size(), 0u);
            EXPECT_EQ(Only(calls, "ApiGetPadState").size(), 0u);
        }
    }
}

TEST_F(TitleMenuTest, EntryFreesTheStageImagesAndBorrowsTheFarLayer) {
    g_StageState.farLayerImages[0] = 11;
    g_StageState.farLayerImages[1] = 12;
    g_StageState.middleLayerImage = 13;
    for (int i = 0; i < kStagePanelCount; ++i) g_StageState.panelImages[i] = 20 + i;
    MenuDriver driver;
    std::vector<ApiCall> releases = Recorder().Calls("ApiReleaseGraph");
    ASSERT_EQ(releases.size(), 23u);
    EXPECT_EQ(releases[0].Int(0), 11);
    EXPECT_EQ(releases[2].Int(0), 13);
    EXPECT_EQ(releases[22].Int(0), 39);
    std::vector<ApiCall> loads = Recorder().Calls("ApiLoadImageToGraph");
    ASSERT_EQ(loads.size(), 2u);
    EXPECT_EQ(loads[0].Text(0), "bmp\\thaik1.bmp");
    EXPECT_EQ(loads[1].Text(0), "bmp\\thaik2.bmp");
    EXPECT_EQ(g_StageState.farLayerImages[0], 1000);
    EXPECT_EQ(g_StageState.farLayerImages[1], 1001);
    EXPECT_EQ(g_StageState.farLayerDivisor, 3);
    EXPECT_EQ(g_StageState.middleLayerDivisor, kLayerNotDrawn);
    EXPECT_EQ(g_StageState.panelDivisor, kLayerNotDrawn);
    EXPECT_EQ(Recorder().Count("ApiClearDrawTarget"), 1u);
    EXPECT_EQ(driver.menu().frame, -1);

    // The screen is not cleared again inside the loop; the first frame has
    // n = 0 and the title sets the font size 20.
    std::vector<ApiCall> frame = driver.Frame(0);
    EXPECT_EQ(Only(frame, "ApiClearDrawTarget").size(), 0u);
    EXPECT_EQ(driver.menu().frame, 0);
    ASSERT_EQ(Only(frame, "ApiSetDefaultFontSize").size(), 1u);
    EXPECT_EQ(Only(frame, "ApiSetDefaultFontSize")[0].Int(0), 20);
    EXPECT_EQ(Only(frame, "ApiPresentScreen").size(), 1u);
}

TEST_F(TitleMenuTest, TheTitleKeyShowsTheMenuInTheSameFrame) {
    MenuDriver driver;
    std::vector<ApiCall> idle = driver.Frame(0);
    EXPECT_EQ(Only(idle, "ApiBlitGraph").size(), 3u);  // two background panels and the portrait
    std::vector<ApiCall> frame = driver.Frame(D);
    // Frame n = 1: cursor frame 0 beside GAME MODE, whose letters sway.
    EXPECT_TRUE(Blits(frame, kCursorBase + 0, 80, 274));
    int swayY = static_cast<int>(12.0 * std::sin(1 / 10.0 / 2.0) + 280);
    EXPECT_TRUE(Blits(frame, kLetterBase + ('G' - 'A'), 130, swayY));
    EXPECT_TRUE(Blits(frame, kLetterBase + ('M' - 'A'), 230, swayY));  // after the blank
    EXPECT_TRUE(Blits(frame, kLetterBase + ('E' - 'A'), 130, 430));    // EXIT stands still
    EXPECT_TRUE(Blits(frame, kLetterBase + ('K' - 'A'), 130, 380));
    EXPECT_TRUE(SoundsPlayed(frame).empty());  // the title's key plays nothing
}

TEST_F(TitleMenuTest, SameFramePressesReachOnlyLaterBlocks) {
    {
        SCOPED_TRACE("GAME MODE does not also choose a slot");
        LoadFileSummaries();
        MenuDriver driver;
        driver.Frames({D, 0});
        std::vector<ApiCall> frame = driver.Frame(D);
        EXPECT_EQ(driver.menu().state, kTitleFileSelect);
        EXPECT_EQ(SoundsPlayed(frame), std::vector<int>{kSoundConfirm});
        EXPECT_EQ(g_GameStartFlag, 0);
        // The captions follow every block, so the file select shows already.
        EXPECT_TRUE(Blits(frame, kLetterBase + ('F' - 'A'), 130, CaptionY(240, true, driver.menu().frame)));
    }
    {
        SCOPED_TRACE("KEY CONFIG runs at once, without the press");
        MenuDriver driver;
        driver.Frames({D, 0, DN, 0, DN, 0});
        std::vector<ApiCall> frame = driver.Frame(D);
        EXPECT_EQ(driver.menu().state, kTitleKeyConfig);
        // Decide is button 2: had the press reached the KEY CONFIG block,
        // it would have bound button 2 to row 0.
        EXPECT_EQ(g_KeyConfig[0], 1);
        EXPECT_EQ(g_KeyConfig[1], 2);
        EXPECT_EQ(SoundsPlayed(frame), std::vector<int>{kSoundConfirm});
        bool titleDrawn = false;
        for (const ApiCall& call : Only(frame, "ApiDrawTextFormatted")) titleDrawn |= call.Text(3) == "KEY CONFIG";
        EXPECT_TRUE(titleDrawn);
    }
    {
        SCOPED_TRACE("cancel on the difficulty screen reaches the file select cleared");
        LoadFileSummaries();
        MenuDriver driver;
        driver.Frames({D, 0, D, 0, UP, 0, D, 0});
        ASSERT_EQ(driver.menu().state, kTitleDifficulty);
        std::vector<ApiCall> frame = driver.Frame(C | DN);
        EXPECT_EQ(driver.menu().state, kTitleFileSelect);
        EXPECT_EQ(driver.menu().slotCursor, 3);  // the file select did not move
        EXPECT_EQ(driver.menu().difficultyCursor, 3);
    }
    {
        SCOPED_TRACE("the empty-slot decide reaches the difficulty screen next frame");
        LoadFileSummaries();
        MenuDriver driver;
        driver.Frames({D, 0, D, 0, UP, 0});
        std::vector<ApiCall> frame = driver.Frame(D);
        EXPECT_EQ(driver.menu().state, kTitleDifficulty);
        EXPECT_EQ(driver.menu().difficultyCursor, kDifficultyNormal);
        // Its block waits for the next frame, but its captions show at once.
        EXPECT_TRUE(Blits(frame, kCursorBase + (driver.menu().frame / 5) % 30, 80, 329));
        EXPECT_FALSE(Blits(frame, kLetterBase + ('F' - 'A'), 130, 240));
    }
}

TEST_F(TitleMenuTest, CursorsWrapAndKeepTheirRowsWithinOneCall) {
    LoadFileSummaries();
    MenuDriver driver;
    driver.Frames({D, 0, UP, 0});
    EXPECT_EQ(driver.menu().mainCursor, kMenuExit);
    driver.Frames({DN, 0});
    EXPECT_EQ(driver.menu().mainCursor, kMenuGameMode);
    driver.Frames({D, 0, UP, 0, UP, 0});
    EXPECT_EQ(driver.menu().slotCursor, 2);
    driver.Frames({D, 0, DN, 0, DN, 0, DN, 0});
    EXPECT_EQ(driver.menu().difficultyCursor, 0);  // NORMAL, then 3, 4, 0
    driver.Frames({C, 0, C, 0});
    EXPECT_EQ(driver.menu().state, kTitleMainMenu);
    EXPECT_EQ(driver.menu().slotCursor, 2);
    // Entering the difficulty screen again opens it on NORMAL.
    driver.Frames({D, 0, D, 0});
    EXPECT_EQ(driver.menu().state, kTitleDifficulty);
    EXPECT_EQ(driver.menu().difficultyCursor, kDifficultyNormal);
}

TEST_F(TitleMenuTest, HandBackFlagsAndPlayerRecord) {
    {
        SCOPED_TRACE("loaded game");
        LoadFileSummaries();
        MenuDriver driver;
        g_PlayerActionState.skillBState = kSkillRunning;
        g_PlayerActionState.skillBPower = 9;
        g_PlayerActionState.skillCState = kSkillRecovering;
        g_PlayerActionState.skillCTimer = 80.5f;
        driver.Frames({D, 0, D, 0, D});
        EXPECT_FALSE(driver.running());
        EXPECT_EQ(g_PlayerRecord.stage, 5);
        EXPECT_EQ(g_PlayerRecord.level, 7);
        EXPECT_EQ(g_PlayerRecord.money, 4321);
        EXPECT_EQ(g_PlayerRecord.saveSlot, 0);
        EXPECT_EQ(g_PlayerActionState.skillBState, kSkillReady);
        EXPECT_EQ(g_PlayerActionState.skillBPower, 0);
        EXPECT_EQ(g_PlayerActionState.skillCState, kSkillReady);
        EXPECT_EQ(g_PlayerActionState.skillCTimer, 0.0f);
    }
    {
        SCOPED_TRACE("new game");
        LoadFileSummaries();
        MenuDriver driver;
        g_PlayerRecord.money = 99999;
        g_PlayerActionState.skillBTimer = 150;
        // Slot 4, then VERY HARD.
        driver.Frames({D, 0, D, 0, UP, 0, D, 0, DN, 0, DN, 0, D});
        EXPECT_FALSE(driver.running());
        EXPECT_EQ(g_GameStartFlag, 1);
        EXPECT_EQ(g_LoadedGameFlag, 0);
        EXPECT_EQ(g_PlayerRecord.saveSlot, 3);
        EXPECT_EQ(g_PlayerRecord.difficulty, kDifficultyVeryHard);
        EXPECT_EQ(g_PlayerRecord.money, 10);
        EXPECT_EQ(g_PlayerRecord.hp, 617);
        EXPECT_EQ(g_PlayerActionState.skillBTimer, 0);
        // The deciding frame presents nothing; QUEST START shows its 380.
        EXPECT_EQ(Recorder().Count("ApiPresentScreen"), 12u + 380u);
    }
}

// A slot whose summary says used but whose save is missing or damaged shows
// as empty and gets a new game.
TEST_F(TitleMenuTest, ASlotThatFailsItsChecksOpensTheDifficultyScreen) {
    std::string damaged(kSaveRecordSize, '\0');
    damaged[0] = 7;  // stage 7, but level 0 and max HP 0
    work_.dir().Write("savedata/file3.dat", damaged);
    work_.dir().Write("savedata/start3.dat", std::string("\x07\x05\0\0\0", 5));
    for (int slot : {1, 2}) {
        SCOPED_TRACE(slot);
        LoadFileSummaries();
        MenuDriver driver;
        g_PlayerRecord.money = 777;
        driver.Frames({D, 0, D, 0});
        for (int i = 0; i < slot; ++i) driver.Frames({DN, 0});
        std::vector<ApiCall> frame = driver.Frame(D);
        EXPECT_TRUE(driver.running());
        EXPECT_EQ(driver.menu().state, kTitleDifficulty);
        EXPECT_EQ(driver.menu().difficultyCursor, kDifficultyNormal);
        EXPECT_EQ(g_GameStartFlag, 0);
        EXPECT_EQ(g_LoadedGameFlag, 0);
        EXPECT_EQ(g_PlayerRecord.money, 777);  // nothing of the bad file was taken
        EXPECT_EQ(g_FileSummary.stage[slot], kEmptySlotStage);
        EXPECT_NE(std::string(GameLogText()).find("is empty"), std::string::npos);
        // Back on the file select, the slot reads NEW GAME.
        driver.Frames({0, C, 0});
        frame = driver.Frame(0);
        int y = CaptionY(240 + 50 * slot, true, driver.menu().frame);
        EXPECT_TRUE(Blits(frame, kLetterBase + ('N' - 'A'), 250, y));
    }
}

TEST_F(TitleMenuTest, FileSelectRowsAndLevelDigits) {
    struct LevelCase {
        std::int32_t level;
        std::vector<std::pair<int, int>> digits;  // (x, digit)
    };
    const LevelCase cases[] = {
        {7, {{410, 7}}},
        {12, {{410, 1}, {430, 2}}},
        {89, {{410, 8}, {430, 9}}},
        {0, {{410, 0}}},
        {100, {}},  // beyond two digits: nothing rather than a glyph of another set
        {-3, {}},
        {40000, {}},
    };
    for (const LevelCase& c : cases) {
        SCOPED_TRACE(c.level);
        MenuDriver driver;
        driver.Frames({D, 0, D});
        g_FileSummary.stage[2] = 9;
        g_FileSummary.level[2] = c.level;
        std::vector<ApiCall> frame = driver.Frame(0);
        const int y = 340;  // slot 3, not under the cursor
        EXPECT_TRUE(Blits(frame, kLetterBase + ('F' - 'A'), 130, y));
        EXPECT_TRUE(Blits(frame, kDigitBase + 3, 210, y));
        EXPECT_TRUE(Blits(frame, kLetterBase + ('L' - 'A'), 250, y));
        EXPECT_TRUE(Blits(frame, kLetterBase + ('V' - 'A'), 370, y));
        std::vector<std::pair<int, int>> digits;
        for (const ApiCall& call : Only(frame, "ApiBlitGraph")) {
            if (call.Int(1) != y || call.Int(0) < 400) continue;
            digits.emplace_back(static_cast<int>(call.Int(0)), static_cast<int>(call.Int(2)) - kDigitBase);
        }
        EXPECT_EQ(digits, c.digits);
        for (const ApiCall& call : Only(frame, "ApiBlitGraph")) {
            std::int64_t h = call.Int(2);
            if (h >= kDigitBase && h < kCursorBase) {
                EXPECT_LT(h, kDigitBase + 10);  // colour set 0 only
            }
        }
        // An empty slot reads NEW GAME, with GAME at 330.
        EXPECT_TRUE(Blits(frame, kLetterBase + ('G' - 'A'), 330, 390));
        EXPECT_FALSE(Blits(frame, kLetterBase + ('L' - 'A'), 250, 390));
    }
}

TEST_F(TitleMenuTest, DifficultyRowsAndCursor) {
    MenuDriver driver;
    driver.Frames({D, 0, D, 0, UP, 0, D, 0, DN});
    std::vector<ApiCall> frame = driver.Frame(0);
    ASSERT_EQ(driver.menu().difficultyCursor, kDifficultyHard);
    const int n = driver.menu().frame;
    EXPECT_TRUE(Blits(frame, kCursorBase + (n / 5) % 30, 80, 374));
    EXPECT_TRUE(Blits(frame, kLetterBase + ('H' - 'A'), 130, CaptionY(380, true, n)));
    const std::pair<char, int> firstLetters[] = {{'V', 245}, {'E', 290}, {'N', 335}, {'V', 425}};
    for (auto [letter, y] : firstLetters) EXPECT_TRUE(Blits(frame, kLetterBase + (letter - 'A'), 130, y)) << y;
    EXPECT_TRUE(Blits(frame, kLetterBase + ('Y' - 'A'), 190, 425));  // VERY HARD's Y
}

TEST_F(TitleMenuTest, SoundsOfTheMenus) {
    LoadFileSummaries();
    MenuDriver driver;
    driver.Frame(D);
    EXPECT_EQ(SoundsPlayed(driver.Frame(DN)), std::vector<int>{kSoundSelect});
    EXPECT_EQ(SoundsPlayed(driver.Frame(C)), std::vector<int>{kSoundCancel});
    driver.Frames({0, D, 0});
    EXPECT_EQ(SoundsPlayed(driver.Frame(DN | UP)), (std::vector<int>{kSoundSelect, kSoundSelect}));
    std::vector<ApiCall> frame = driver.Frame(D);
    ASSERT_EQ(Only(frame, "ApiPlaySoundHandle").size(), 1u);
    EXPECT_EQ(Only(frame, "ApiPlaySoundHandle")[0].ToString(), "ApiPlaySoundHandle(52, 1, 1)");
}

TEST_F(TitleMenuTest, BackgroundScrollsAndEndsPastTheLastPanel) {
    Recorder().Reset();
    g_StageState.farLayerImages[0] = 41;
    g_StageState.farLayerImages[1] = 42;
    struct ScrollCase {
        float scroll;
        std::vector<std::string> blits;
    };
    const ScrollCase cases[] = {
        {1280.5f, {"ApiBlitGraph(-426, 0, 41, 1)", "ApiBlitGraph(213, 0, 42, 1)"}},
        // Exactly on a panel edge both panels qualify.
        {1920.0f,
         {"ApiBlitGraph(-640, 0, 41, 1)", "ApiBlitGraph(0, 0, 42, 1)", "ApiBlitGraph(0, 0, 42, 1)",
          "ApiBlitGraph(640, 0, 41, 1)"}},
        {3000.0f, {"ApiBlitGraph(-360, 0, 42, 1)", "ApiBlitGraph(280, 0, 41, 1)"}},
    };
    for (const ScrollCase& c : cases) {
        Recorder().Reset();
        DrawTitleBackground(c.scroll);
        std::vector<std::string> drawn;
        for (const ApiCall& call : Recorder().Calls()) drawn.push_back(call.ToString());
        EXPECT_EQ(drawn, c.blits) << c.scroll;
    }
    // The scroll as the frames add it up: the 74,240th frame still draws the
    // last panel, the 74,241st draws nothing.
    float scroll = 1280.0f;
    for (int frame = 1; frame < 74241; ++frame) scroll += 0.5f;
    Recorder().Reset();
    DrawTitleBackground(scroll);
    EXPECT_EQ(Recorder().Count("ApiBlitGraph"), 2u);
    scroll += 0.5f;
    Recorder().Reset();
    DrawTitleBackground(scroll);
    EXPECT_EQ(Recorder().Count("ApiBlitGraph"), 0u);
}

TEST_F(TitleMenuTest, PortraitAndSwayingLogo) {
    g_TitleLogo[0] = 61;
    g_TitlePortrait[0] = 62;
    for (int n : {0, 1, 37, 100, 1000}) {
        Recorder().Reset();
        DrawTitlePortraitAndLogo(n);
        ASSERT_EQ(Recorder().Calls().size(), 2u);
        EXPECT_EQ(Recorder().Calls()[0].ToString(), "ApiBlitGraph(500, 140, 62, 1)");
        const ApiCall& logo = Recorder().Calls()[1];
        double w = std::sin(n / 24.0);
        EXPECT_EQ(logo.name, "ApiRotateBlitGraph");
        EXPECT_EQ(logo.Int(0), 305);
        EXPECT_EQ(logo.Int(1), 188);
        EXPECT_DOUBLE_EQ(logo.Real(2), w / 12 + 1.100000023841858);
        EXPECT_DOUBLE_EQ(logo.Real(3), w / 12);
        EXPECT_EQ(logo.Int(4), 61);
        EXPECT_EQ(logo.Int(5), 1);
        EXPECT_EQ(logo.Int(6), 0);
    }
}

// Each frame waits for 5 ms on the shared frame time and reads the pad once.
TEST_F(TitleMenuTest, PacingAndInputOfEachFrame) {
    MenuDriver driver;
    Recorder().SetClock(0xFFFFFFF0u, 1);  // the clock wraps during the run
    g_FrameInputState.lastFrameTime = 0xFFFFFFEEu;
    for (int i = 0; i < 10; ++i) {
        std::uint32_t before = g_FrameInputState.lastFrameTime;
        std::vector<ApiCall> frame = driver.Frame(i % 2 == 0 ? DN : 0);
        std::uint32_t after = g_FrameInputState.lastFrameTime;
        EXPECT_GE(static_cast<std::int32_t>(after - before), 5);
        EXPECT_LE(static_cast<std::int32_t>(after - before), 6);
        EXPECT_EQ(Only(frame, "ApiGetPadState").size(), 1u);
        EXPECT_EQ(Only(frame, "ApiGetPadState")[0].Int(0), 0x1001);
    }
    EXPECT_EQ(driver.menu().scroll, 1285.0f);
    EXPECT_EQ(g_FrameInputState.held, 0u);
    EXPECT_EQ(g_FrameInputState.previousNewlyPressed, kDownKey);
}
