// Milestone awards: a counter checked against the difficulty's threshold list
// whenever the player falls into a pit. Nothing in the game advances the
// counter, so no award is ever granted; the routine and its records are kept
// complete so that a counter can be wired to them.
#pragma once

#include <cstdint>

#include "rules/player_record.h"

// Per save slot; the current slot's record is filled when a new game starts.
struct ProgressRecord {
    std::uint8_t started;       // 1 once a game started in this slot
    std::int32_t awardWord;     // the award word when the game started
    std::int32_t reserved;      // 0
    std::uint8_t awardByte;     // raised by every award
};

extern ProgressRecord g_ProgressRecords[kSaveSlotCount];
extern std::int32_t g_MilestoneCounter;  // 0 at start; never written by the game
extern std::int32_t g_MilestoneIndex;    // steps granted so far
extern std::int32_t g_MilestoneAwardWord;  // 7 at start

constexpr std::int32_t kInitialMilestoneAward = 7;

// Grants, in ascending order, every step of the current difficulty's list that
// the counter has reached and that is not granted yet. A difficulty outside 0
// to 4 selects no list.
void CheckMilestones();

// Fills the current slot's ProgressRecord for a new game.
void StartProgressRecord();
