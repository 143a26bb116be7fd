// The bot's road through the stages: from every stage the road to the ending
// exists, each step brings it one stage nearer, and following it from stage 1
// ends at stage 61's door to the ending.
#include <gtest/gtest.h>

#include <set>

#include "route.h"
#include "world/stages/stage_table_data.h"
#include "world/stages/warp_door.h"

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

TEST(PlaythroughRoute, WayTowardTakesTheFirstStepOfAShortestAllowedRoad) {
    const auto all = [](int) { return true; };
    const auto notTwo = [](int stage) { return stage != 2; };
    const auto noRightFromOne = [](int stage, WayOut way) { return stage == 1 && way == WayOut::kRightExit; };
    struct Case {
        int from, to;
        bool avoidTwo;
        bool banRightFromOne;
        WayOut way;
        int length;
    } const cases[] = {
        {1, 3, false, false, WayOut::kRightExit, 2},
        {3, 1, false, false, WayOut::kLeftExit, 2},
        {1, 16, false, false, WayOut::kRightExit, 4},
        {4, 16, false, false, WayOut::kWarpDoor, 1},
        {16, 4, false, false, WayOut::kLeftExit, 1},
        {1, 18, false, false, WayOut::kLeftExit, 1},
        {1, 1, false, false, WayOut::kNone, 0},
        {1, 2, true, false, WayOut::kRightExit, 1},  // the goal itself is always allowed
        {1, 3, true, false, WayOut::kNone, -1},
        {1, 3, false, true, WayOut::kNone, -1},
        {0, 3, false, false, WayOut::kNone, -1},
        {3, 62, false, false, WayOut::kNone, -1},
    };
    for (const Case& c : cases) {
        int length = 99;
        const WayOut way = c.banRightFromOne
                               ? WayToward(c.from, c.to, all, noRightFromOne, &length)
                               : WayToward(c.from, c.to, c.avoidTwo ? std::function<bool(int)>(notTwo) : all, nullptr, &length);
        EXPECT_EQ(way, c.way) << c.from << " -> " << c.to;
        EXPECT_EQ(length, c.length) << c.from << " -> " << c.to;
    }
    // Every stage reaches every other when nothing is left out, and the
    // first step leads to a stage one step nearer.
    for (int from = 1; from <= kStageCount; ++from)
        for (int to = 1; to <= kStageCount; ++to) {
            int length = -1;
            const WayOut way = WayToward(from, to, all, nullptr, &length);
            if (from == to || length < 0) continue;
            int rest = -1;
            WayToward(Destination(from, way), to, all, nullptr, &rest);
            EXPECT_EQ(rest, length - 1) << from << " -> " << to;
        }
}

}  // namespace
