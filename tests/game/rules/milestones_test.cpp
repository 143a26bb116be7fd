#include <gtest/gtest.h>

#include "rules/milestone_table.h"
#include "rules/milestones.h"
#include "rules/player_record.h"

namespace {

class MilestonesTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_PlayerRecord = {};
        g_PlayerRecord.saveSlot = 1;
        g_MilestoneCounter = 0;
        g_MilestoneIndex = 0;
        g_MilestoneAwardWord = kInitialMilestoneAward;
        for (auto& record : g_ProgressRecords) record = {};
    }
};

long long Sum(const MilestoneList& list) {
    long long sum = 0;
    for (int i = 0; i < list.steps; ++i) sum += list.thresholds[i];
    return sum;
}

}  // namespace

TEST(MilestoneTableData, CountsSumsAndOrder) {
    const int steps[] = {82, 82, 57, 29, 14};
    const int award[] = {2, 1, 1, 1, 1};
    const long long sums[] = {335239996, 335239996, 315379998, 153689999, 82300000};
    for (int d = 0; d < 5; ++d) {
        const MilestoneList& list = MilestoneTable[d];
        EXPECT_EQ(list.steps, steps[d]) << d;
        EXPECT_EQ(list.awardPerStep, award[d]) << d;
        EXPECT_EQ(Sum(list), sums[d]) << d;
        for (int i = 1; i < list.steps; ++i) EXPECT_LT(list.thresholds[i - 1], list.thresholds[i]) << d << " " << i;
        EXPECT_EQ(list.thresholds[list.steps - 1], 20000000) << d;
    }
    EXPECT_EQ(std::size(kMilestoneListA), 82u);
    EXPECT_EQ(std::size(kMilestoneListB), 57u);
    EXPECT_EQ(kMilestoneListA[18], 333333);
    EXPECT_EQ(kMilestoneListB[10], 500000);
    EXPECT_EQ(kMilestoneListHard[19], 6333333);
}

TEST_F(MilestonesTest, CounterAtZeroChangesNothing) {
    for (int d = 0; d < 6; ++d) {
        g_PlayerRecord.difficulty = static_cast<std::uint8_t>(d);
        CheckMilestones();
    }
    EXPECT_EQ(g_MilestoneIndex, 0);
    EXPECT_EQ(g_MilestoneAwardWord, 7);
    EXPECT_EQ(g_ProgressRecords[1].awardByte, 0);
}

TEST_F(MilestonesTest, GrantsEveryReachedStepOnce) {
    g_PlayerRecord.difficulty = kDifficultyVeryEasy;
    g_MilestoneCounter = 35000;
    CheckMilestones();
    EXPECT_EQ(g_MilestoneIndex, 3);
    EXPECT_EQ(g_MilestoneAwardWord, 7 + 6);
    EXPECT_EQ(g_ProgressRecords[1].awardByte, 6);
    EXPECT_EQ(g_ProgressRecords[0].awardByte, 0);
    CheckMilestones();
    EXPECT_EQ(g_MilestoneIndex, 3);
    EXPECT_EQ(g_MilestoneAwardWord, 13);
    // Reaching the next threshold grants just that step.
    g_MilestoneCounter = 40000;
    CheckMilestones();
    EXPECT_EQ(g_MilestoneIndex, 4);
    EXPECT_EQ(g_MilestoneAwardWord, 15);
}

TEST_F(MilestonesTest, VeryHardNeedsItsFirstThreshold) {
    g_PlayerRecord.difficulty = kDifficultyVeryHard;
    g_MilestoneCounter = 99999;
    CheckMilestones();
    EXPECT_EQ(g_MilestoneIndex, 0);
    g_MilestoneCounter = 100000;
    CheckMilestones();
    EXPECT_EQ(g_MilestoneIndex, 1);
    EXPECT_EQ(g_MilestoneAwardWord, 8);
}

TEST_F(MilestonesTest, UnknownDifficultyOrSlotTouchesNoRecord) {
    g_MilestoneCounter = 20000000;
    g_PlayerRecord.difficulty = 5;
    CheckMilestones();
    EXPECT_EQ(g_MilestoneIndex, 0);
    g_PlayerRecord.difficulty = kDifficultyNormal;
    g_PlayerRecord.saveSlot = 9;
    CheckMilestones();
    EXPECT_EQ(g_MilestoneIndex, 57);
    for (const auto& record : g_ProgressRecords) EXPECT_EQ(record.awardByte, 0);
}

TEST_F(MilestonesTest, NewGameFillsTheCurrentSlotsRecord) {
    g_ProgressRecords[1].reserved = 5;
    StartProgressRecord();
    EXPECT_EQ(g_ProgressRecords[1].started, 1);
    EXPECT_EQ(g_ProgressRecords[1].awardWord, 7);
    EXPECT_EQ(g_ProgressRecords[1].reserved, 0);
    EXPECT_EQ(g_ProgressRecords[0].started, 0);
}
