// The bot's road through the stages: from every stage the road to the ending
// exists, each step brings it one stage nearer, and following it from stage 1
// ends at stage 61's door to the ending.
#include <gtest/gtest.h>

#include <set>

#include "route.h"
#include "world/stage_table_data.h"
#include "world/warp_door.h"

namespace {

TEST(PlaythroughRoute, EveryStepFromEveryStageBringsTheEndingNearer) {
    for (int stage = 1; stage <= kStageCount; ++stage) {
        const int distance = StagesToEnding(stage);
        ASSERT_GE(distance, 1) << "stage " << stage << " has no road to the ending";
        const WayOut way = NextWayOut(stage);
        ASSERT_NE(way, WayOut::kNone) << stage;
        const int to = Destination(stage, way);
        if (distance == 1) {
            EXPECT_EQ(to, kEndingDestination) << stage;
        } else {
            EXPECT_EQ(StagesToEnding(to), distance - 1) << stage << " -> " << to;
        }
    }
}

TEST(PlaythroughRoute, FromStageOneTheRoadEndsAtStage61sDoor) {
    std::set<int> seen;
    int stage = 1;
    while (stage != kEndingDestination) {
        ASSERT_TRUE(seen.insert(stage).second) << "the road comes back to stage " << stage;
        stage = Destination(stage, NextWayOut(stage));
        ASSERT_GE(stage, 1);
    }
    EXPECT_TRUE(seen.count(61));
    EXPECT_EQ(static_cast<int>(seen.size()), StagesToEnding(1));
}

TEST(PlaythroughRoute, WaysOutAreReadFromTheStageTable) {
    struct Case {
        int stage;
        WayOut way;
        int destination;
    } const cases[] = {
        {1, WayOut::kRightExit, 2},  {1, WayOut::kLeftExit, 18},  {1, WayOut::kWarpDoor, 0},
        {4, WayOut::kWarpDoor, 16},  {7, WayOut::kRightExit, 11}, {7, WayOut::kWarpDoor, 8},
        {10, WayOut::kRightExit, 9}, {61, WayOut::kWarpDoor, kEndingDestination},
        {0, WayOut::kRightExit, 0},  {62, WayOut::kLeftExit, 0},  {3, WayOut::kNone, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Destination(c.stage, c.way), c.destination) << c.stage << " " << static_cast<int>(c.way);
    EXPECT_EQ(StagesToEnding(0), -1);
    EXPECT_EQ(StagesToEnding(62), -1);
    EXPECT_EQ(NextWayOut(-5), WayOut::kNone);
    EXPECT_EQ(StagesToEnding(61), 1);
}

}  // namespace
