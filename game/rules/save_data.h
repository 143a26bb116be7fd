// The save folder "savedata\": each slot's save file and summary, the gallery
// flags. Every file is a raw run of little-endian fields (save_file_io.h).
#pragma once

#include <cstddef>
#include <cstdint>

#include "rules/player_record.h"

constexpr std::size_t kSaveRecordSize = 87;
constexpr std::size_t kFileSummarySize = 5;
constexpr std::size_t kGalleryFileSize = 32;
// A summary stage byte of 'n' marks an empty slot.
constexpr std::int8_t kEmptySlotStage = 'n';

// 1 while the game continues a loaded save, 0 for a new game.
extern std::uint8_t g_LoadedGameFlag;

// What the file-select screen shows of each slot.
struct FileSummaryTable {
    std::int8_t stage[kSaveSlotCount];  // kEmptySlotStage for an empty slot
    std::int32_t level[kSaveSlotCount];
};
extern FileSummaryTable g_FileSummary;

// File names by slot, "savedata\file1.dat" for slot 0 and so on.
const char* SaveFileName(int slot);
const char* SummaryFileName(int slot);
constexpr const char* kGalleryFileName = "savedata\\sys.dat";

// The new-game values. Difficulty, slot and the gallery are left alone.
void InitNewGame();

// Reads the save file of the current slot into the PlayerRecord, the slot byte
// included (a file may move the game to the slot it names). A missing, short
// or damaged file (a value no game can hold) leaves the PlayerRecord as it
// was, marks the slot empty in the summaries, says so in the log and returns
// false.
bool LoadGameFile();

// Writes the current slot's save file, then its summary. False when either
// could not be written; the old file is then kept whole.
bool SaveGameFile();

// Reads the four summaries. Each is checked against its slot's save file,
// which decides: a summary that disagrees is rebuilt from the save file (and
// written), and a slot whose save file is missing or damaged shows as empty.
void LoadFileSummaries();

// Removes the temporary files of writes that the program did not live to
// finish. Called once at start, before any save file is read.
void RemoveStaleSaveTemporaries();

// Reads and writes the gallery flags. A missing file opens no picture; a
// short one keeps the flags it holds and leaves the rest closed.
void LoadGalleryFlags();
bool SaveGalleryFlags();

// The save file's bytes for a record, and the record for bytes; the second
// is false (and `out` untouched) when the values fail the checks.
void EncodeSaveRecord(const PlayerRecord& record, std::uint8_t (&bytes)[kSaveRecordSize]);
bool DecodeSaveRecord(const std::uint8_t (&bytes)[kSaveRecordSize], PlayerRecord& out);
