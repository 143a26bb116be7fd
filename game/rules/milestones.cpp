#include "rules/milestones.h"

#include "rules/milestone_table.h"

ProgressRecord g_ProgressRecords[kSaveSlotCount] = {};
std::int32_t g_MilestoneCounter = 0;
std::int32_t g_MilestoneIndex = 0;
std::int32_t g_MilestoneAwardWord = kInitialMilestoneAward;

namespace {

// The award values are never read during play; sums wrap as 32-bit words.
std::int32_t AddWrapping(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}

}  // namespace

void CheckMilestones() {
    std::uint8_t difficulty = g_PlayerRecord.difficulty;
    if (difficulty >= sizeof MilestoneTable / sizeof MilestoneTable[0]) return;
    const MilestoneList& list = MilestoneTable[difficulty];
    std::uint8_t slot = g_PlayerRecord.saveSlot;
    for (int step = 0; step < list.steps; ++step) {
        if (g_MilestoneCounter < list.thresholds[step] || g_MilestoneIndex > step) continue;
        g_MilestoneAwardWord = AddWrapping(g_MilestoneAwardWord, list.awardPerStep);
        g_MilestoneIndex += 1;
        if (slot < kSaveSlotCount)
            g_ProgressRecords[slot].awardByte =
                static_cast<std::uint8_t>(g_ProgressRecords[slot].awardByte + list.awardPerStep);
    }
}

void StartProgressRecord() {
    std::uint8_t slot = g_PlayerRecord.saveSlot;
    if (slot >= kSaveSlotCount) return;
    ProgressRecord& record = g_ProgressRecords[slot];
    record.started = 1;
    record.awardWord = g_MilestoneAwardWord;
    record.reserved = 0;
}
