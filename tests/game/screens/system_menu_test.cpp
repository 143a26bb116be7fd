// The system menu against the recording stand-in: its four entries, the
// cursor it shares with the status screen, the wave of the selected entry,
// BACK TO TOWN's stage load, and EXIT's save checked byte by byte and loaded
// back.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "engine/frame_input.h"
#include "game/support/sub_screen_driver.h"
#include "game/support/working_dir.h"
#include "rules/derived_stats.h"
#include "rules/player_record.h"
#include "rules/quit_path.h"
#include "rules/save_data.h"
#include "rules/sub_screen.h"
#include "screens/status_screen.h"
#include "screens/system_menu.h"
#include "world/stages/stage_state.h"

using namespace subscreen_test;

namespace {

class SystemMenuTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetSubScreens();
        g_SubScreenMode = kSubScreenSystemMenu;
    }
};

std::string Slurp(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::int32_t Le32At(const std::string& bytes, std::size_t offset) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<std::uint8_t>(bytes.at(offset + i));
    return static_cast<std::int32_t>(v);
}

}  // namespace

TEST_F(SystemMenuTest, EntriesAreDrawnAndTheSelectedOneWaves) {
    const char* words[4] = {"RETURN", "STATUS", "BACK TO TOWN", "EXIT"};
    for (int frame = 1; frame <= 200; ++frame) {
        g_SystemMenuCursor = frame % 4;
        Frame();
        const int t = g_SystemMenuFrameCounter;
        for (int entry = 0; entry < 4; ++entry) {
            const int base = 160 + 64 * entry;
            const int y = entry == g_SystemMenuCursor ? static_cast<int>(base + 15.0 * std::sin(t / 20.0)) : base;
            EXPECT_EQ(WordAt(y, 272, 460), words[entry]) << "t " << t << " entry " << entry;
        }
        bool cursor = false;
        for (const ApiCall& call : Recorder().Calls("ApiBlitGraph"))
            cursor |= call.Int(0) == 220 && call.Int(1) == 152 + 64 * g_SystemMenuCursor &&
                      call.Int(2) == kCursorBase + (t / 5) % 30;
        EXPECT_TRUE(cursor) << t;
    }
    // The darkening: black at alpha 64 over the whole screen, blending off after.
    const auto boxes = Recorder().Calls("ApiPaintBox");
    ASSERT_FALSE(boxes.empty());
    EXPECT_EQ(boxes[0].ToString(), "ApiPaintBox(0, 0, 640, 480, 0, 1)");
    const auto blends = Recorder().Calls("ApiSetBlendModeParam");
    ASSERT_EQ(blends.size(), 2u);
    EXPECT_EQ(blends[0].Int(1), 64);
    EXPECT_EQ(blends[1].Int(0), 0);
}

TEST_F(SystemMenuTest, CursorWrapsAndOnlyDecideActs) {
    Frame(kUp);
    EXPECT_EQ(g_SystemMenuCursor, kSystemMenuExit);
    EXPECT_EQ(SoundsPlayed(), std::vector<int>{kSoundSelect});
    Frame(0);
    Frame(kDown);
    EXPECT_EQ(g_SystemMenuCursor, kSystemMenuReturn);
    Frame(0);
    EXPECT_EQ(Frame(kCancel | kMenu | kLeft | kRight), SubScreenOutcome::kPresent);
    EXPECT_EQ(g_SubScreenMode, kSubScreenSystemMenu);
    Frame(0);
    EXPECT_EQ(Frame(kDecide), SubScreenOutcome::kPresent);
    EXPECT_EQ(SoundsPlayed(), std::vector<int>{kSoundConfirm});
    EXPECT_EQ(g_SubScreenMode, kSubScreenNone);
}

// STATUS opens the status screen on its AGI row, from the next frame on,
// without banner or refill.
TEST_F(SystemMenuTest, StatusOpensTheStatusScreenOnItsAgiRow) {
    g_DerivedStats.levelUpBannerTimer = 40;
    g_SystemMenuCursor = kSystemMenuStatus;
    Frame(kDecide);
    EXPECT_EQ(g_SubScreenMode, kSubScreenStatus);
    EXPECT_EQ(g_DerivedStats.levelUpBannerTimer, kBannerFromMenu);
    EXPECT_EQ(Recorder().Count("ApiStretchBlitGraph"), 0u);
    EXPECT_EQ(WordAt(80, 200, 400), "") << "the status screen starts with the next frame";
    Frame(0);
    EXPECT_EQ(WordAt(80, 200, 400), "STATUS POINT");
    EXPECT_EQ(g_SystemMenuCursor, kStatusAgi);
    g_PlayerRecord.hp = 10;
    g_SystemMenuCursor = kStatusExit;
    Frame(kDecide);
    EXPECT_EQ(g_SubScreenMode, kSubScreenNone);
    EXPECT_EQ(g_PlayerRecord.hp, 10);
    EXPECT_EQ(g_SystemMenuCursor, 0);
}

TEST_F(SystemMenuTest, BackToTownLoadsStageOneAndKeepsTheCursor) {
    ScopedWorkingDir dir;
    g_PlayerRecord.stage = 7;
    g_PlayerRecord.arrivalCameraX = 50;
    g_PlayerRecord.arrivalPlayerY = 60;
    g_PlayerRecord.arrivalScreenX = 70;
    g_SystemMenuCursor = kSystemMenuBackToTown;
    EXPECT_EQ(Frame(kDecide | kDown), SubScreenOutcome::kNextFrame);
    EXPECT_EQ(g_PlayerRecord.stage, 1);
    EXPECT_EQ(g_PlayerRecord.arrivalCameraX, 2096);
    EXPECT_EQ(g_PlayerRecord.arrivalPlayerY, 192);
    EXPECT_EQ(g_PlayerRecord.arrivalScreenX, 320);
    EXPECT_EQ(g_StageState.cameraX, 2096.0f);
    EXPECT_EQ(g_SubScreenMode, kSubScreenNone);
    EXPECT_EQ(g_FrameInputState.newlyPressed, 0u);
    // The stage was loaded in this frame and the cursor did not move on.
    EXPECT_GT(Recorder().Count("ApiLoadImageToGraph") + Recorder().Count("ApiReleaseGraph"), 0u);
    EXPECT_EQ(g_SystemMenuCursor, kSystemMenuBackToTown);
    // The next time the menu opens it is still there; a level-up then opens
    // the status screen on VIT.
    g_SubScreenMode = kSubScreenSystemMenu;
    Frame(0);
    EXPECT_EQ(g_SystemMenuCursor, kStatusVit);
}

// EXIT stops the music, resets the cursor, and saves the whole record into
// the slot's two files, which load back into the same record.
TEST_F(SystemMenuTest, ExitSavesTheSlotFieldByFieldAndItLoadsBack) {
    ScopedWorkingDir dir;
    PlayerRecord& p = g_PlayerRecord;
    p.stage = 23;
    p.hp = 1234;
    p.maxHp = 2345;
    p.sp = 345;
    p.maxSp = 456;
    p.agi = 11;
    p.str = 22;
    p.intel = 33;
    p.dex = 44;
    p.vit = 55;
    p.luk = 66;
    p.level = 37;
    p.exp = 12345;
    p.statPoints = 8;
    p.arrivalCameraX = 4000;
    p.arrivalPlayerY = 128;
    p.arrivalScreenX = 600;
    p.money = 987654;
    p.weaponRow = 16;
    p.armourRow = 9;
    p.shieldRow = 7;
    p.accessoryRow = 15;
    p.difficulty = kDifficultyVeryHard;
    p.saveSlot = 2;
    g_ReturnedFromGameFlag = 0;
    g_SystemMenuCursor = kSystemMenuExit;
    // The record as it stands when EXIT is chosen: the frame's maxima are the
    // status screen's and the shop's business, not the menu's.
    const PlayerRecord saved = p;
    ASSERT_EQ(Frame(kDecide), SubScreenOutcome::kQuitToTitle);
    EXPECT_EQ(g_ReturnedFromGameFlag, 1);
    EXPECT_EQ(g_SystemMenuCursor, 0);
    const auto stops = Recorder().Calls("ApiStopSoundHandle");
    ASSERT_EQ(stops.size(), 8u);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(stops[i].Int(0), kMusicBase + i);

    const std::string save = Slurp(dir.dir().path() / "savedata" / "file3.dat");
    ASSERT_EQ(save.size(), 87u);
    EXPECT_EQ(static_cast<std::uint8_t>(save[0]), 23);
    const std::int32_t words[] = {1234, 2345, 345, 456, 11, 22, 33, 44, 55, 66, 37, 12345, 8,
                                  4000, 128, 600, 987654, 16, 9, 7, 15};
    for (std::size_t i = 0; i < std::size(words); ++i) EXPECT_EQ(Le32At(save, 1 + 4 * i), words[i]) << "word " << i;
    EXPECT_EQ(static_cast<std::uint8_t>(save[85]), 4);
    EXPECT_EQ(static_cast<std::uint8_t>(save[86]), 2);
    const std::string summary = Slurp(dir.dir().path() / "savedata" / "start3.dat");
    ASSERT_EQ(summary.size(), 5u);
    EXPECT_EQ(static_cast<std::uint8_t>(summary[0]), 23);
    EXPECT_EQ(Le32At(summary, 1), 37);
    EXPECT_FALSE(std::filesystem::exists(dir.dir().path() / "savedata" / "file1.dat"));

    g_PlayerRecord = {};
    g_PlayerRecord.saveSlot = 2;
    ASSERT_TRUE(LoadGameFile());
    std::uint8_t before[kSaveRecordSize], after[kSaveRecordSize];
    EncodeSaveRecord(saved, before);
    EncodeSaveRecord(g_PlayerRecord, after);
    EXPECT_EQ(std::memcmp(before, after, kSaveRecordSize), 0);
    EXPECT_EQ(g_PlayerRecord.money, 987654);
    EXPECT_EQ(g_PlayerRecord.arrivalScreenX, 600);
}

// The step runs the shop, the status screen and the menu in that order, each
// while the mode still names it.
TEST_F(SystemMenuTest, TheStepRunsOnlyTheOpenScreen) {
    g_SubScreenMode = kSubScreenNone;
    EXPECT_EQ(Frame(kDecide), SubScreenOutcome::kPresent);
    EXPECT_TRUE(Recorder().Calls().empty() ||
                (Recorder().Count("ApiBlitGraph") == 0 && Recorder().Count("ApiPaintBox") == 0));
    // The status screen's EXIT closes it before the menu's turn.
    g_SubScreenMode = kSubScreenStatus;
    g_SystemMenuCursor = kStatusExit;
    Frame(0);
    Frame(kDecide);
    EXPECT_EQ(g_SubScreenMode, kSubScreenNone);
    EXPECT_EQ(Recorder().Count("ApiSetBlendModeParam"), 2u) << "only the status screen's box";
}
