#include "rules/save_data.h"

#include "engine/game_log.h"
#include "rules/equipment_tables.h"
#include "rules/exp_table.h"
#include "rules/gallery_flags.h"
#include "rules/key_config.h"
#include "rules/save_file_io.h"
#include "rules/save_record_bounds.h"

std::uint8_t g_LoadedGameFlag = 0;
FileSummaryTable g_FileSummary = {};

namespace {

constexpr const char* kSaveFileNames[kSaveSlotCount] = {
    "savedata\\file1.dat", "savedata\\file2.dat", "savedata\\file3.dat", "savedata\\file4.dat"};
constexpr const char* kSummaryFileNames[kSaveSlotCount] = {
    "savedata\\start1.dat", "savedata\\start2.dat", "savedata\\start3.dat", "savedata\\start4.dat"};

bool InRange(std::int32_t value, std::int32_t low, std::int32_t high) { return value >= low && value <= high; }

// Why a record read from a file cannot be a game's state, or null when it
// can. Everything checked here is later used as a table index, a divisor, a
// file name, a glyph or a place in the stage, and no game holds a value
// outside these ranges (save_record_bounds.h), so a record outside them is
// damaged and refused whole rather than mended.
const char* SaveRecordProblem(const PlayerRecord& record) {
    if (!InRange(record.stage, kFirstStage, kLastStage)) return "stage out of range";
    if (!InRange(record.level, 1, kMaxLevel)) return "level out of range";
    if (!InRange(record.maxHp, 1, kMaxMaxHp)) return "max HP out of range";
    if (!InRange(record.maxSp, 1, kMaxMaxSp)) return "max SP out of range";
    if (!InRange(record.hp, 0, record.maxHp)) return "HP out of range";
    if (!InRange(record.sp, 0, record.maxSp)) return "SP out of range";
    const std::int32_t baseStats[] = {record.agi, record.str, record.intel, record.dex, record.vit, record.luk};
    for (std::int32_t stat : baseStats)
        if (!InRange(stat, kMinBaseStat, kMaxBaseStat)) return "base stat out of range";
    if (!InRange(record.statPoints, 0, kMaxStatPoints)) return "stat points out of range";
    if (record.exp < 0) return "EXP below 0";
    if (record.money < 0) return "money below 0";
    if (!InRange(record.arrivalCameraX, 0, kMaxArrivalCameraX) ||
        !InRange(record.arrivalPlayerY, 0, kMaxArrivalPlayerY) ||
        !InRange(record.arrivalScreenX, 0, kMaxArrivalScreenX))
        return "arrival outside the stage";
    if (!InRange(record.weaponRow, 0, kWeaponCount - 1)) return "weapon row out of range";
    if (!InRange(record.armourRow, 0, kArmourCount - 1)) return "armour row out of range";
    if (!InRange(record.shieldRow, 0, kShieldCount - 1)) return "shield row out of range";
    if (!InRange(record.accessoryRow, 0, kAccessoryCount - 1)) return "accessory row out of range";
    if (record.difficulty > kDifficultyVeryHard) return "difficulty out of range";
    if (record.saveSlot >= kSaveSlotCount) return "save slot out of range";
    return nullptr;
}

// The 24 fields of a save file, in file order.
PlayerRecord ReadSaveFields(FieldBuffer& fields) {
    PlayerRecord record = {};
    record.stage = static_cast<std::int8_t>(GetU8(fields));
    record.hp = GetI32(fields);
    record.maxHp = GetI32(fields);
    record.sp = GetI32(fields);
    record.maxSp = GetI32(fields);
    record.agi = GetI32(fields);
    record.str = GetI32(fields);
    record.intel = GetI32(fields);
    record.dex = GetI32(fields);
    record.vit = GetI32(fields);
    record.luk = GetI32(fields);
    record.level = GetI32(fields);
    record.exp = GetI32(fields);
    record.statPoints = GetI32(fields);
    record.arrivalCameraX = GetI32(fields);
    record.arrivalPlayerY = GetI32(fields);
    record.arrivalScreenX = GetI32(fields);
    record.money = GetI32(fields);
    record.weaponRow = GetI32(fields);
    record.armourRow = GetI32(fields);
    record.shieldRow = GetI32(fields);
    record.accessoryRow = GetI32(fields);
    record.difficulty = GetU8(fields);
    record.saveSlot = GetU8(fields);
    return record;
}

void WriteSaveFields(FieldBuffer& fields, const PlayerRecord& record) {
    PutU8(fields, static_cast<std::uint8_t>(record.stage));
    PutI32(fields, record.hp);
    PutI32(fields, record.maxHp);
    PutI32(fields, record.sp);
    PutI32(fields, record.maxSp);
    PutI32(fields, record.agi);
    PutI32(fields, record.str);
    PutI32(fields, record.intel);
    PutI32(fields, record.dex);
    PutI32(fields, record.vit);
    PutI32(fields, record.luk);
    PutI32(fields, record.level);
    PutI32(fields, record.exp);
    PutI32(fields, record.statPoints);
    PutI32(fields, record.arrivalCameraX);
    PutI32(fields, record.arrivalPlayerY);
    PutI32(fields, record.arrivalScreenX);
    PutI32(fields, record.money);
    PutI32(fields, record.weaponRow);
    PutI32(fields, record.armourRow);
    PutI32(fields, record.shieldRow);
    PutI32(fields, record.accessoryRow);
    PutU8(fields, record.difficulty);
    PutU8(fields, record.saveSlot);
}

void MarkSlotEmpty(int slot) {
    g_FileSummary.stage[slot] = kEmptySlotStage;
    g_FileSummary.level[slot] = 0;
}

enum class SaveFileRead { kGood, kMissing, kRefused };

// Reads and checks the save file of a slot; `out` is untouched unless the
// result is kGood. A short or damaged file is logged under `reader`; a missing
// one is left for the caller to report (an empty slot has none).
SaveFileRead ReadSaveFile(int slot, PlayerRecord* out, const char* reader) {
    const char* name = kSaveFileNames[slot];
    std::uint8_t bytes[kSaveRecordSize];
    std::size_t got = 0;
    FileReadResult result = ReadFileBytes(name, bytes, sizeof bytes, &got);
    if (result == FileReadResult::kMissing) return SaveFileRead::kMissing;
    if (result == FileReadResult::kShort) {
        GameLog("%s: %s is %zu bytes, not %zu; slot %d is empty", reader, name, got, kSaveRecordSize, slot + 1);
        return SaveFileRead::kRefused;
    }
    FieldBuffer fields = MakeFieldBuffer(bytes, sizeof bytes);
    PlayerRecord record = ReadSaveFields(fields);
    if (const char* problem = SaveRecordProblem(record)) {
        GameLog("%s: %s is damaged (%s); slot %d is empty", reader, name, problem, slot + 1);
        return SaveFileRead::kRefused;
    }
    *out = record;
    return SaveFileRead::kGood;
}

bool WriteSummaryFile(int slot, std::int8_t stage, std::int32_t level) {
    std::uint8_t summary[kFileSummarySize];
    FieldBuffer fields = MakeFieldBuffer(summary, sizeof summary);
    PutU8(fields, static_cast<std::uint8_t>(stage));
    PutI32(fields, level);
    return WriteFileAtomically(kSummaryFileNames[slot], summary, sizeof summary);
}

}  // namespace

const char* SaveFileName(int slot) {
    return slot >= 0 && slot < kSaveSlotCount ? kSaveFileNames[slot] : nullptr;
}

const char* SummaryFileName(int slot) {
    return slot >= 0 && slot < kSaveSlotCount ? kSummaryFileNames[slot] : nullptr;
}

void EncodeSaveRecord(const PlayerRecord& record, std::uint8_t (&bytes)[kSaveRecordSize]) {
    FieldBuffer fields = MakeFieldBuffer(bytes, sizeof bytes);
    WriteSaveFields(fields, record);
}

bool DecodeSaveRecord(const std::uint8_t (&bytes)[kSaveRecordSize], PlayerRecord& out) {
    std::uint8_t copy[kSaveRecordSize];
    for (std::size_t i = 0; i < kSaveRecordSize; ++i) copy[i] = bytes[i];
    FieldBuffer fields = MakeFieldBuffer(copy, sizeof copy);
    PlayerRecord record = ReadSaveFields(fields);
    if (SaveRecordProblem(record) != nullptr) return false;
    out = record;
    return true;
}

void InitNewGame() {
    PlayerRecord& player = g_PlayerRecord;
    g_LoadedGameFlag = 0;
    player.stage = 1;
    player.arrivalCameraX = 2096;
    player.arrivalPlayerY = 192;
    player.arrivalScreenX = 320;
    player.money = 10;
    player.weaponRow = 0;
    player.armourRow = 0;
    player.shieldRow = 0;
    player.accessoryRow = 0;
    // Below the level-1 formula values (620 and 210): the maxima take those
    // when the derived figures next recompute them.
    player.hp = player.maxHp = 617;
    player.sp = player.maxSp = 208;
    player.agi = player.str = player.intel = player.dex = player.vit = player.luk = 1;
    player.level = 1;
    player.exp = 0;
    player.statPoints = 0;
}

bool LoadGameFile() {
    int slot = g_PlayerRecord.saveSlot;
    if (SaveFileName(slot) == nullptr) {
        GameLog("load: there is no save slot %d", slot);
        return false;
    }
    PlayerRecord record;
    SaveFileRead read = ReadSaveFile(slot, &record, "load");
    if (read == SaveFileRead::kMissing)
        GameLog("load: %s is missing; slot %d is empty", kSaveFileNames[slot], slot + 1);
    if (read != SaveFileRead::kGood) {
        MarkSlotEmpty(slot);
        return false;
    }
    g_PlayerRecord = record;
    return true;
}

bool SaveGameFile() {
    const PlayerRecord& player = g_PlayerRecord;
    int slot = player.saveSlot;
    const char* name = SaveFileName(slot);
    if (name == nullptr) {
        GameLog("save: there is no save slot %d; nothing written", slot);
        return false;
    }
    std::uint8_t record[kSaveRecordSize];
    EncodeSaveRecord(player, record);
    if (!WriteFileAtomically(name, record, sizeof record)) return false;
    return WriteSummaryFile(slot, player.stage, player.level);
}

// The summary is only what the file-select screen shows of the slot's save
// file, and the two are written one after the other: a program ended between
// the two leaves a summary of the previous save (or of none). The save file
// decides: a summary that disagrees with it is rebuilt from it, and a slot
// whose save file cannot be loaded shows as empty.
void LoadFileSummaries() {
    for (int slot = 0; slot < kSaveSlotCount; ++slot) {
        const char* name = kSummaryFileNames[slot];
        std::int8_t stage = kEmptySlotStage;
        std::int32_t level = 0;
        std::uint8_t bytes[kFileSummarySize];
        FileReadResult result = ReadFileBytes(name, bytes, sizeof bytes);
        if (result == FileReadResult::kOk) {
            FieldBuffer fields = MakeFieldBuffer(bytes, sizeof bytes);
            stage = static_cast<std::int8_t>(GetU8(fields));
            level = GetI32(fields);
        } else {
            GameLog("summary: %s is %s", name, result == FileReadResult::kMissing ? "missing" : "too short");
        }

        PlayerRecord record;
        if (ReadSaveFile(slot, &record, "summary") != SaveFileRead::kGood) {
            if (stage != kEmptySlotStage)
                GameLog("summary: %s names stage %d, level %d, but slot %d has no save to load; it is empty", name,
                        stage, static_cast<int>(level), slot + 1);
            MarkSlotEmpty(slot);
            continue;
        }
        if (stage != record.stage || level != record.level) {
            GameLog("summary: %s (stage %d, level %d) disagrees with %s (stage %d, level %d); rebuilt from it",
                    name, stage, static_cast<int>(level), kSaveFileNames[slot], record.stage,
                    static_cast<int>(record.level));
            WriteSummaryFile(slot, record.stage, record.level);
        }
        g_FileSummary.stage[slot] = record.stage;
        g_FileSummary.level[slot] = record.level;
    }
}

void RemoveStaleSaveTemporaries() {
    for (int slot = 0; slot < kSaveSlotCount; ++slot) {
        RemoveStaleTemporaryFile(kSaveFileNames[slot]);
        RemoveStaleTemporaryFile(kSummaryFileNames[slot]);
    }
    RemoveStaleTemporaryFile(kGalleryFileName);
    RemoveStaleTemporaryFile(kKeyConfigFileName);
}

void LoadGalleryFlags() {
    std::uint8_t bytes[kGalleryFileSize] = {};
    std::size_t got = 0;
    FileReadResult result = ReadFileBytes(kGalleryFileName, bytes, sizeof bytes, &got);
    if (result == FileReadResult::kMissing)
        GameLog("gallery: %s is missing; no picture is open", kGalleryFileName);
    else if (result == FileReadResult::kShort)
        GameLog("gallery: %s is %zu bytes, not %zu; the rest stay closed", kGalleryFileName, got, kGalleryFileSize);
    for (std::size_t i = 0; i < kGalleryFileSize; ++i) g_GalleryFlags[i] = i < got ? bytes[i] : 0;
}

bool SaveGalleryFlags() {
    std::uint8_t bytes[kGalleryFileSize];
    FieldBuffer fields = MakeFieldBuffer(bytes, sizeof bytes);
    for (std::uint8_t flag : g_GalleryFlags) PutU8(fields, flag);
    return WriteFileAtomically(kGalleryFileName, bytes, sizeof bytes);
}
