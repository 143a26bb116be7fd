#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "engine/game_log.h"
#include "game/support/working_dir.h"
#include "rules/gallery_flags.h"
#include "rules/player_record.h"
#include "rules/save_data.h"
#include "rules/save_file_io.h"
#include "rules/save_record_bounds.h"
#include "rules/stats.h"

namespace {

// Little-endian bytes built by hand, independently of the game's encoder.
std::string Le32(std::uint32_t v) {
    return {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF), static_cast<char>((v >> 16) & 0xFF),
            static_cast<char>((v >> 24) & 0xFF)};
}
std::string Byte(std::uint8_t v) { return std::string(1, static_cast<char>(v)); }

// Overwrites bytes of a file image in place.
void Patch(std::string& image, std::size_t offset, const std::string& bytes) {
    for (std::size_t i = 0; i < bytes.size(); ++i) image.at(offset + i) = bytes[i];
}

// A save of slot 3 (byte 86 = 2): stage 12, level 17, wearing rows 5/4/3/9.
std::string HandBuiltSave(std::uint8_t slotByte = 2) {
    return Byte(12) + Le32(1500) + Le32(1600) + Le32(300) + Le32(320) +  // HP, max HP, SP, max SP
           Le32(4) + Le32(25) + Le32(6) + Le32(7) + Le32(20) + Le32(3) +  // AGI STR INT DEX VIT LUK
           Le32(17) + Le32(2345) + Le32(9) +                              // level, EXP, points
           Le32(2500) + Le32(160) + Le32(3) +                             // arrival x, y, screen x
           Le32(123456) +                                                 // money
           Le32(5) + Le32(4) + Le32(3) + Le32(9) +                        // rows
           Byte(3) + Byte(slotByte);                                      // difficulty, slot
}

PlayerRecord HandBuiltRecord() {
    PlayerRecord r = {};
    r.stage = 12;
    r.hp = 1500;
    r.maxHp = 1600;
    r.sp = 300;
    r.maxSp = 320;
    r.agi = 4;
    r.str = 25;
    r.intel = 6;
    r.dex = 7;
    r.vit = 20;
    r.luk = 3;
    r.level = 17;
    r.exp = 2345;
    r.statPoints = 9;
    r.arrivalCameraX = 2500;
    r.arrivalPlayerY = 160;
    r.arrivalScreenX = 3;
    r.money = 123456;
    r.weaponRow = 5;
    r.armourRow = 4;
    r.shieldRow = 3;
    r.accessoryRow = 9;
    r.difficulty = 3;
    r.saveSlot = 2;
    return r;
}

class SaveDataTest : public ::testing::Test {
protected:
    void SetUp() override {
        ClearGameLog();
        SetBeforeRenameHook(nullptr);
        g_PlayerRecord = {};
        g_FileSummary = {};
        for (auto& flag : g_GalleryFlags) flag = 0;
    }
    void TearDown() override { SetBeforeRenameHook(nullptr); }

    void Write(const std::string& name, const std::string& bytes) { work_.dir().Write(name, bytes); }
    std::string Read(const std::string& name) { return work_.dir().Read(name); }
    bool Exists(const std::string& name) { return std::filesystem::exists(work_.dir().path() / name); }
    static std::string Log() { return GameLogText(); }

    ScopedWorkingDir work_;
};

void ExpectSameRecord(const PlayerRecord& a, const PlayerRecord& b) {
    std::uint8_t x[kSaveRecordSize], y[kSaveRecordSize];
    EncodeSaveRecord(a, x);
    EncodeSaveRecord(b, y);
    EXPECT_EQ(std::string(x, x + kSaveRecordSize), std::string(y, y + kSaveRecordSize));
}

}  // namespace

TEST_F(SaveDataTest, HandBuiltFileLoadsFieldByField) {
    ASSERT_EQ(HandBuiltSave().size(), kSaveRecordSize);
    Write("savedata/file3.dat", HandBuiltSave());
    g_PlayerRecord.saveSlot = 2;
    ASSERT_TRUE(LoadGameFile()) << Log();
    const PlayerRecord& p = g_PlayerRecord;
    EXPECT_EQ(p.stage, 12);
    EXPECT_EQ(p.hp, 1500);
    EXPECT_EQ(p.maxSp, 320);
    EXPECT_EQ(p.str, 25);
    EXPECT_EQ(p.luk, 3);
    EXPECT_EQ(p.level, 17);
    EXPECT_EQ(p.arrivalScreenX, 3);
    EXPECT_EQ(p.money, 123456);
    EXPECT_EQ(p.accessoryRow, 9);
    EXPECT_EQ(p.difficulty, 3);
    ExpectSameRecord(p, HandBuiltRecord());
}

TEST_F(SaveDataTest, SaveWritesTheHandBuiltBytesAndSummary) {
    g_PlayerRecord = HandBuiltRecord();
    ASSERT_TRUE(SaveGameFile()) << Log();
    EXPECT_EQ(Read("savedata/file3.dat"), HandBuiltSave());
    EXPECT_EQ(Read("savedata/start3.dat"), Byte(12) + Le32(17));
    // Nothing is left under a temporary name.
    EXPECT_FALSE(Exists("savedata/file3.dat.tmp"));
    EXPECT_FALSE(Exists("savedata/start3.dat.tmp"));
}

TEST_F(SaveDataTest, SavingTwiceGivesIdenticalFiles) {
    g_PlayerRecord = HandBuiltRecord();
    ASSERT_TRUE(SaveGameFile());
    std::string first = Read("savedata/file3.dat");
    ASSERT_TRUE(LoadGameFile());
    ASSERT_TRUE(SaveGameFile());
    EXPECT_EQ(Read("savedata/file3.dat"), first);
    EXPECT_EQ(first.size(), kSaveRecordSize);
    EXPECT_EQ(Read("savedata/start3.dat").size(), kFileSummarySize);
}

TEST_F(SaveDataTest, SlotByteOfTheFileChoosesTheNextSave) {
    Write("savedata/file1.dat", HandBuiltSave(/*slotByte=*/3));
    g_PlayerRecord.saveSlot = 0;
    ASSERT_TRUE(LoadGameFile());
    EXPECT_EQ(g_PlayerRecord.saveSlot, 3);
    ASSERT_TRUE(SaveGameFile());
    EXPECT_TRUE(Exists("savedata/file4.dat"));
    EXPECT_EQ(Read("savedata/file1.dat"), HandBuiltSave(3));  // the loaded file is untouched
}

TEST_F(SaveDataTest, MissingShortOrDamagedSaveLoadsAsEmpty) {
    g_FileSummary.stage[1] = 12;
    g_FileSummary.level[1] = 17;
    g_PlayerRecord = HandBuiltRecord();
    g_PlayerRecord.saveSlot = 1;
    PlayerRecord before = g_PlayerRecord;

    EXPECT_FALSE(LoadGameFile());
    EXPECT_NE(Log().find("file2.dat is missing"), std::string::npos) << Log();
    EXPECT_EQ(g_FileSummary.stage[1], kEmptySlotStage);

    std::string whole = HandBuiltSave(1);
    for (std::size_t cut : {std::size_t{0}, std::size_t{1}, std::size_t{50}, kSaveRecordSize - 1}) {
        ClearGameLog();
        Write("savedata/file2.dat", whole.substr(0, cut));
        EXPECT_FALSE(LoadGameFile()) << cut;
        EXPECT_NE(Log().find("not 87"), std::string::npos) << Log();
    }
    ExpectSameRecord(g_PlayerRecord, before);
}

TEST_F(SaveDataTest, ValuesNoGameCanHoldAreRefused) {
    struct Damage {
        std::size_t offset;
        std::string bytes;
        const char* reason;
    };
    const std::uint32_t minus1 = 0xFFFFFFFFu;
    const Damage cases[] = {
        {0, Byte(0), "stage"},           {0, Byte(62), "stage"},          {0, Byte('n'), "stage"},
        {41, Le32(0), "level"},          {41, Le32(90), "level"},         {5, Le32(0), "max HP"},
        {13, Le32(minus1), "max SP"},    {69, Le32(17), "weapon"},        {73, Le32(10), "armour"},
        {77, Le32(minus1), "shield"},    {81, Le32(16), "accessory"},     {85, Byte(5), "difficulty"},
        {86, Byte(4), "save slot"},
        // Maxima past what the best equipment and every stat point give.
        {5, Le32(14613), "max HP"},      {13, Le32(5100), "max SP"},
        // HP and SP outside 0 and their maxima (1600 and 320 in the file).
        {1, Le32(1601), "HP out"},       {1, Le32(minus1), "HP out"},     {9, Le32(321), "SP out"},
        {9, Le32(0x80000000u), "SP out"},
        // Base stats from 1 to what all of a game's points buy; each in turn.
        {17, Le32(0), "base stat"},      {21, Le32(324), "base stat"},    {25, Le32(minus1), "base stat"},
        {29, Le32(0x7FFFFFFFu), "base stat"}, {33, Le32(0), "base stat"}, {37, Le32(324), "base stat"},
        {49, Le32(minus1), "stat points"}, {49, Le32(2773), "stat points"},
        {45, Le32(minus1), "EXP"},       {65, Le32(0x80000000u), "money"},
        // Arrivals outside the stage strip or the view.
        {53, Le32(12161), "arrival"},    {53, Le32(minus1), "arrival"},   {57, Le32(480), "arrival"},
        {57, Le32(minus1), "arrival"},   {61, Le32(640), "arrival"},      {61, Le32(0xFFFFFFF6u), "arrival"},
    };
    g_PlayerRecord.saveSlot = 0;
    for (const Damage& d : cases) {
        ClearGameLog();
        std::string bytes = HandBuiltSave(0);
        Patch(bytes, d.offset, d.bytes);
        Write("savedata/file1.dat", bytes);
        EXPECT_FALSE(LoadGameFile()) << d.reason;
        EXPECT_NE(Log().find(d.reason), std::string::npos) << Log();
        EXPECT_EQ(g_PlayerRecord.saveSlot, 0);
    }
    // The edges of every range still load: the least a game holds, and the
    // most (level 89 on VERY EASY, every point in one stat, the best items).
    std::string low = HandBuiltSave(0);
    Patch(low, 0, Byte(1));
    for (std::size_t stat = 17; stat <= 37; stat += 4) Patch(low, stat, Le32(1));
    Patch(low, 1, Le32(0) + Le32(1) + Le32(0) + Le32(1));  // HP, max HP, SP, max SP
    Patch(low, 41, Le32(1) + Le32(0) + Le32(0) + Le32(0) + Le32(0) + Le32(0) + Le32(0));
    Patch(low, 69, Le32(0) + Le32(0) + Le32(0) + Le32(0));
    Patch(low, 85, Byte(4));
    Write("savedata/file1.dat", low);
    EXPECT_TRUE(LoadGameFile()) << Log();

    std::string high = HandBuiltSave(0);
    Patch(high, 0, Byte(61));
    Patch(high, 1, Le32(14612) + Le32(14612) + Le32(5099) + Le32(5099));
    for (std::size_t stat = 17; stat <= 37; stat += 4) Patch(high, stat, Le32(323));
    Patch(high, 41, Le32(89) + Le32(0x7FFFFFFF) + Le32(2772) + Le32(12160) + Le32(479) + Le32(639) + Le32(0x7FFFFFFF));
    Patch(high, 69, Le32(16) + Le32(9) + Le32(7) + Le32(15));
    Patch(high, 85, Byte(0));
    Write("savedata/file1.dat", high);
    EXPECT_TRUE(LoadGameFile()) << Log();
}

// Every record that passes the checks gives maxima of at least 1 from the
// formulas, and the checked maxima are what the formulas reach at the top:
// a save from the best-equipped, highest character still loads.
TEST_F(SaveDataTest, CheckedRangesMatchTheFormulas) {
    struct Corner {
        std::int32_t level, stat;
        std::int32_t rows[4];
    };
    const Corner corners[] = {
        {1, kMinBaseStat, {0, 0, 0, 0}},
        {1, kMinBaseStat, {kWeaponCount - 1, kArmourCount - 1, kShieldCount - 1, kAccessoryCount - 1}},
        {kMaxLevel, kMaxBaseStat, {5, 7, 6, 13}},    // the largest max-HP bonus of each table
        {kMaxLevel, kMaxBaseStat, {16, 9, 7, 12}},   // the largest INT bonus of each table
    };
    std::int32_t mostHp = 0, mostSp = 0;
    for (const Corner& c : corners) {
        PlayerRecord& p = g_PlayerRecord;
        p.level = c.level;
        p.agi = p.str = p.intel = p.dex = p.vit = p.luk = c.stat;
        p.weaponRow = c.rows[0], p.armourRow = c.rows[1], p.shieldRow = c.rows[2], p.accessoryRow = c.rows[3];
        RecomputeStatTotals();
        EXPECT_GE(FormulaMaxHp(), 620);
        EXPECT_GE(FormulaMaxSp(), 210);
        mostHp = std::max(mostHp, FormulaMaxHp());
        mostSp = std::max(mostSp, FormulaMaxSp());
    }
    EXPECT_EQ(mostHp, kMaxMaxHp);
    EXPECT_EQ(mostSp, kMaxMaxSp);
    // Every point a game gains, spent on one stat at the status screen's price.
    EXPECT_EQ(kMaxStatPoints, 2772);
    EXPECT_EQ(kMaxBaseStat, 323);
    EXPECT_EQ(StatRaiseCost(19), 1);
    EXPECT_EQ(StatRaiseCost(20), 2);
    // Five-digit figures still pick digit glyphs of the sheet (value / 1000 < 40).
    EXPECT_LT(kMaxMaxHp / 1000, 40);
}

// A crash after the new file is written but before it replaces the old one
// must leave the old save whole; the next save finishes the job.
TEST_F(SaveDataTest, CrashBeforeRenameKeepsTheOldSave) {
    g_PlayerRecord = HandBuiltRecord();
    ASSERT_TRUE(SaveGameFile());
    std::string old = Read("savedata/file3.dat");

    g_PlayerRecord.money = 999;
    g_PlayerRecord.level = 18;
    SetBeforeRenameHook([](const char*) { return true; });
    EXPECT_FALSE(SaveGameFile());
    SetBeforeRenameHook(nullptr);

    EXPECT_EQ(Read("savedata/file3.dat"), old);
    EXPECT_EQ(Read("savedata/start3.dat"), Byte(12) + Le32(17));
    EXPECT_TRUE(Exists("savedata/file3.dat.tmp"));  // the interrupted write
    g_PlayerRecord = {};
    g_PlayerRecord.saveSlot = 2;
    ASSERT_TRUE(LoadGameFile());
    EXPECT_EQ(g_PlayerRecord.money, 123456);

    g_PlayerRecord.money = 999;
    ASSERT_TRUE(SaveGameFile());
    EXPECT_FALSE(Exists("savedata/file3.dat.tmp"));
    g_PlayerRecord = {};
    g_PlayerRecord.saveSlot = 2;
    ASSERT_TRUE(LoadGameFile());
    EXPECT_EQ(g_PlayerRecord.money, 999);
}

TEST_F(SaveDataTest, SaveCreatesTheFolderAndReportsAFailedWrite) {
    g_PlayerRecord = HandBuiltRecord();
    ASSERT_TRUE(SaveGameFile());  // no savedata folder before this
    EXPECT_EQ(Read("savedata/file3.dat").size(), kSaveRecordSize);

    // A folder where the temporary file should go makes the write fail.
    std::filesystem::create_directory(work_.dir().path() / "savedata/file3.dat.tmp");
    std::string old = Read("savedata/file3.dat");
    g_PlayerRecord.money = 1;
    EXPECT_FALSE(SaveGameFile());
    EXPECT_EQ(Read("savedata/file3.dat"), old);
    EXPECT_NE(Log().find("file3.dat"), std::string::npos) << Log();

    g_PlayerRecord.saveSlot = 7;
    EXPECT_FALSE(SaveGameFile());
}

// The save file decides what the file-select screen shows of a slot; a
// summary that disagrees with it is written again from it.
TEST_F(SaveDataTest, SummariesFollowTheSaveFiles) {
    const std::string kNone = "(none)";
    const std::string good = HandBuiltSave(0);  // stage 12, level 17
    std::string damaged = good;
    Patch(damaged, 41, Le32(0));  // level 0
    struct Case {
        const char* what;
        std::string summary, save;
        std::int8_t stage;
        std::int32_t level;
        std::string summaryAfter;  // the summary file's bytes afterwards
        const char* logged;
    };
    const std::string used = Byte(12) + Le32(17);
    const Case cases[] = {
        {"agreeing", used, good, 12, 17, used, nullptr},
        {"empty slot", Byte('n') + Le32(0), kNone, 'n', 0, Byte('n') + Le32(0), nullptr},
        {"first save cut short", Byte('n') + Le32(0), good, 12, 17, used, "disagrees"},
        {"summary of the save before", Byte(5) + Le32(3), good, 12, 17, used, "disagrees"},
        {"summary short", Byte(12) + Le32(17).substr(0, 2), good, 12, 17, used, "too short"},
        {"summary missing", kNone, good, 12, 17, used, "start1.dat is missing"},
        {"summary damaged", Byte(12) + Le32(100), good, 12, 17, used, "disagrees"},
        {"save missing", used, kNone, 'n', 0, used, "no save to load"},
        {"save short", used, good.substr(0, 50), 'n', 0, used, "50 bytes"},
        {"save damaged", used, damaged, 'n', 0, used, "level out of range"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ClearGameLog();
        std::filesystem::remove_all(work_.dir().path() / "savedata");
        if (c.summary != kNone) Write("savedata/start1.dat", c.summary);
        if (c.save != kNone) Write("savedata/file1.dat", c.save);
        LoadFileSummaries();
        EXPECT_EQ(g_FileSummary.stage[0], c.stage);
        EXPECT_EQ(g_FileSummary.level[0], c.level);
        EXPECT_EQ(Read("savedata/start1.dat"), c.summaryAfter);
        if (c.logged != nullptr) {
            EXPECT_NE(Log().find(c.logged), std::string::npos) << Log();
        }
        // Reading the summaries never changes a save file.
        if (c.save != kNone) {
            EXPECT_EQ(Read("savedata/file1.dat"), c.save);
        }
    }
    // The other three slots had neither file: empty, and nothing written.
    for (int slot = 1; slot < kSaveSlotCount; ++slot) EXPECT_EQ(g_FileSummary.stage[slot], kEmptySlotStage);
    EXPECT_FALSE(Exists("savedata/start2.dat"));
}

// A save killed between its two renames: the save file is new, the summary
// still the old one and its temporary file lies beside it. At the next start
// the temporary file goes and the summary is rebuilt from the new save.
TEST_F(SaveDataTest, KilledBetweenTheTwoRenamesTheSummaryIsRebuilt) {
    g_PlayerRecord = HandBuiltRecord();  // slot 3, stage 12, level 17
    ASSERT_TRUE(SaveGameFile());
    g_PlayerRecord.stage = 40;
    g_PlayerRecord.level = 33;
    const std::string newSave = [] {
        std::uint8_t bytes[kSaveRecordSize];
        EncodeSaveRecord(g_PlayerRecord, bytes);
        return std::string(bytes, bytes + kSaveRecordSize);
    }();
    EXPECT_EXIT(
        {
            SetBeforeRenameHook([](const char* temporary) {
                if (std::string(temporary).find("start3.dat") != std::string::npos) kill(getpid(), SIGKILL);
                return false;
            });
            SaveGameFile();
            std::exit(0);
        },
        ::testing::KilledBySignal(SIGKILL), "");
    EXPECT_EQ(Read("savedata/file3.dat"), newSave);
    EXPECT_EQ(Read("savedata/start3.dat"), Byte(12) + Le32(17));
    EXPECT_TRUE(Exists("savedata/start3.dat.tmp"));

    RemoveStaleSaveTemporaries();
    EXPECT_FALSE(Exists("savedata/start3.dat.tmp"));
    LoadFileSummaries();
    EXPECT_EQ(g_FileSummary.stage[2], 40);
    EXPECT_EQ(g_FileSummary.level[2], 33);
    EXPECT_EQ(Read("savedata/start3.dat"), Byte(40) + Le32(33));
}

// Killed before the first rename, the old pair stays whole and agrees.
TEST_F(SaveDataTest, KilledBeforeTheFirstRenameBothFilesStayOld) {
    g_PlayerRecord = HandBuiltRecord();
    ASSERT_TRUE(SaveGameFile());
    const std::string oldSave = Read("savedata/file3.dat"), oldSummary = Read("savedata/start3.dat");
    g_PlayerRecord.level = 18;
    EXPECT_EXIT(
        {
            SetBeforeRenameHook([](const char*) {
                kill(getpid(), SIGKILL);
                return false;
            });
            SaveGameFile();
            std::exit(0);
        },
        ::testing::KilledBySignal(SIGKILL), "");
    EXPECT_TRUE(Exists("savedata/file3.dat.tmp"));
    EXPECT_FALSE(Exists("savedata/start3.dat.tmp"));
    RemoveStaleSaveTemporaries();
    EXPECT_FALSE(Exists("savedata/file3.dat.tmp"));
    EXPECT_NE(Log().find("removed savedata\\file3.dat.tmp"), std::string::npos) << Log();
    LoadFileSummaries();
    EXPECT_EQ(g_FileSummary.level[2], 17);
    EXPECT_EQ(Read("savedata/file3.dat"), oldSave);
    EXPECT_EQ(Read("savedata/start3.dat"), oldSummary);
}

TEST_F(SaveDataTest, SummariesAreReadAfreshAfterASave) {
    Write("savedata/start2.dat", Byte('n') + Le32(0));
    LoadFileSummaries();
    EXPECT_EQ(g_FileSummary.stage[1], kEmptySlotStage);
    g_PlayerRecord = HandBuiltRecord();
    g_PlayerRecord.saveSlot = 1;
    ASSERT_TRUE(SaveGameFile());
    LoadFileSummaries();
    EXPECT_EQ(g_FileSummary.stage[1], 12);
    EXPECT_EQ(g_FileSummary.level[1], 17);
}

TEST_F(SaveDataTest, GalleryFlagsRoundTripByteForByte) {
    std::string bytes(32, '\0');
    bytes[0] = 1;
    bytes[13] = 1;
    bytes[31] = 1;
    Write("savedata/sys.dat", bytes);
    LoadGalleryFlags();
    EXPECT_EQ(g_GalleryFlags[0], 1);
    EXPECT_EQ(g_GalleryFlags[13], 1);
    EXPECT_EQ(g_GalleryFlags[12], 0);
    g_GalleryFlags[5] = 1;
    ASSERT_TRUE(SaveGalleryFlags());
    bytes[5] = 1;
    EXPECT_EQ(Read("savedata/sys.dat"), bytes);
}

TEST_F(SaveDataTest, GalleryFlagsMissingOrShort) {
    for (auto& flag : g_GalleryFlags) flag = 1;
    LoadGalleryFlags();
    for (std::uint8_t flag : g_GalleryFlags) EXPECT_EQ(flag, 0);
    EXPECT_NE(Log().find("sys.dat is missing"), std::string::npos);

    Write("savedata/sys.dat", std::string(3, '\1'));
    LoadGalleryFlags();
    EXPECT_EQ(g_GalleryFlags[2], 1);
    EXPECT_EQ(g_GalleryFlags[3], 0);
    EXPECT_NE(Log().find("the rest stay closed"), std::string::npos);
}

TEST_F(SaveDataTest, NewGameValues) {
    g_PlayerRecord = HandBuiltRecord();
    g_LoadedGameFlag = 1;
    g_GalleryFlags[4] = 1;
    InitNewGame();
    const PlayerRecord& p = g_PlayerRecord;
    EXPECT_EQ(g_LoadedGameFlag, 0);
    EXPECT_EQ(p.stage, 1);
    EXPECT_EQ(p.arrivalCameraX, 2096);
    EXPECT_EQ(p.arrivalPlayerY, 192);
    EXPECT_EQ(p.arrivalScreenX, 320);
    EXPECT_EQ(p.money, 10);
    EXPECT_EQ(p.weaponRow + p.armourRow + p.shieldRow + p.accessoryRow, 0);
    EXPECT_EQ(p.hp, 617);
    EXPECT_EQ(p.maxHp, 617);
    EXPECT_EQ(p.sp, 208);
    EXPECT_EQ(p.maxSp, 208);
    EXPECT_EQ(p.agi + p.str + p.intel + p.dex + p.vit + p.luk, 6);
    EXPECT_EQ(p.level, 1);
    EXPECT_EQ(p.exp, 0);
    EXPECT_EQ(p.statPoints, 0);
    // Left for the difficulty screen to set, and the gallery is not a game's.
    EXPECT_EQ(p.difficulty, 3);
    EXPECT_EQ(p.saveSlot, 2);
    EXPECT_EQ(g_GalleryFlags[4], 1);
}

TEST(FieldBuffer, StopsAtItsEnd) {
    std::uint8_t bytes[5] = {};
    FieldBuffer out = MakeFieldBuffer(bytes, sizeof bytes);
    PutI32(out, -2);
    PutI32(out, 7);  // does not fit
    PutU8(out, 9);   // nor does anything after it
    EXPECT_TRUE(out.overrun);
    EXPECT_EQ(bytes[0], 0xFE);
    EXPECT_EQ(bytes[3], 0xFF);
    EXPECT_EQ(bytes[4], 0);
    FieldBuffer in = MakeFieldBuffer(bytes, sizeof bytes);
    EXPECT_EQ(GetI32(in), -2);
    EXPECT_EQ(GetU8(in), 0);
    EXPECT_FALSE(in.overrun);
    EXPECT_EQ(GetI32(in), 0);
    EXPECT_TRUE(in.overrun);
}
