// The stage data: counts, sums and sample rows of the table, the shape of the
// stage graph, and the monster placement lists against their counts.
#include <gtest/gtest.h>

#include <map>
#include <queue>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "world/monsters/monster_record.h"
#include "world/stages/stage_monster_counts.h"
#include "world/stages/stage_placements.h"
#include "world/stages/stage_placements_generated.h"
#include "world/stages/stage_placements_given.h"
#include "world/stages/stage_table_data.h"
#include "world/stages/warp_door.h"

namespace {

const StageDef& Row(int stage) { return kStageTable[stage - 1]; }

std::vector<StageLink> LinksOf(int stage) {
    const StageDef& def = Row(stage);
    std::vector<StageLink> links = {def.leftExit, def.rightExit};
    if (def.warpDoor.present) links.push_back(def.warpDoor.to);
    return links;
}

void ExpectLink(const StageLink& link, int destination, int cameraX, int y, int screenX) {
    EXPECT_EQ(link.destination, destination);
    EXPECT_EQ(link.arrivalCameraX, cameraX);
    EXPECT_EQ(link.arrivalPlayerY, y);
    EXPECT_EQ(link.arrivalScreenX, screenX);
}

TEST(StageTable, SampleRows) {
    const StageDef& s1 = Row(1);
    EXPECT_EQ(s1.rightBound, 2528);
    EXPECT_STREQ(s1.farLayers[0], "sora");
    EXPECT_STREQ(s1.farLayers[1], "sora");
    ASSERT_EQ(PaintedPanelCount(s1), 2);
    EXPECT_STREQ(s1.panels[0], "0101");
    EXPECT_STREQ(s1.panels[1], "0102");
    EXPECT_TRUE(s1.shopDoors[0].on && s1.shopDoors[1].on && s1.shopDoors[2].on);
    EXPECT_EQ(s1.shopDoors[1].x, 2576);
    EXPECT_EQ(s1.shopDoors[2].y, 320);
    EXPECT_FALSE(s1.facingSet);
    ExpectLink(s1.leftExit, 18, 5728, 296, 637);
    ExpectLink(s1.rightExit, 2, 1952, 296, 3);
    EXPECT_FALSE(s1.warpDoor.present);

    const StageDef& s16 = Row(16);
    EXPECT_TRUE(s16.shopDoors[0].on);
    EXPECT_FALSE(s16.shopDoors[1].on);
    EXPECT_EQ(s16.shopDoors[2].x, 2896);
    EXPECT_STREQ(s16.farLayers[1], "sabah002");
    EXPECT_TRUE(s16.facingSet);

    const StageDef& s17 = Row(17);
    EXPECT_EQ(s17.farDivisor, 3);
    EXPECT_EQ(s17.middleDivisor, 3);
    ExpectLink(s17.rightExit, 48, 1952, 328, 3);

    const StageDef& s24 = Row(24);
    ASSERT_TRUE(s24.warpDoor.present);
    EXPECT_EQ(s24.warpDoor.x, 2416);
    EXPECT_EQ(s24.warpDoor.y, 288);
    ExpectLink(s24.warpDoor.to, 27, 3808, 200, 637);
    EXPECT_STREQ(s24.panels[6], "hd001");

    const StageDef& s27 = Row(27);
    EXPECT_EQ(s27.rightBound, 3808);
    ASSERT_EQ(PaintedPanelCount(s27), 4);
    EXPECT_STREQ(s27.panels[3], "hd028");
    ExpectLink(s27.rightExit, 24, 2096, 264, 320);

    const StageDef& s59 = Row(59);
    EXPECT_EQ(s59.farDivisor, 13);
    EXPECT_EQ(s59.panelDivisor, 1);
    EXPECT_STREQ(s59.farLayers[0], "yuuhi001");
    EXPECT_STREQ(s59.panels[4], "hs012");

    const StageDef& s61 = Row(61);
    EXPECT_EQ(s61.rightBound, 3264);
    EXPECT_EQ(PaintedPanelCount(s61), 7);  // three more than its bound needs
    ExpectLink(s61.leftExit, 60, 2528, 296, 637);
    ExpectLink(s61.rightExit, 60, 1952, 328, 3);
}

TEST(StageTable, CountsAndSums) {
    long rightBounds = 0, farDivisors = 0, destinations = 0;
    int painted = 0, shopDoors = 0;
    std::set<std::string> farFiles, panelFiles;
    std::vector<int> facing, doors;
    for (int stage = 1; stage <= kStageCount; ++stage) {
        const StageDef& def = Row(stage);
        rightBounds += def.rightBound;
        farDivisors += def.farDivisor;
        destinations += def.leftExit.destination + def.rightExit.destination;
        painted += PaintedPanelCount(def);
        for (const ShopDoorDef& door : def.shopDoors) shopDoors += door.on;
        farFiles.insert(def.farLayers.begin(), def.farLayers.end());
        for (int i = 0; i < PaintedPanelCount(def); ++i) panelFiles.insert(def.panels[i]);
        if (def.facingSet) facing.push_back(stage);
        if (def.warpDoor.present) doors.push_back(stage);

        EXPECT_EQ(def.farDivisor, def.middleDivisor) << stage;
        EXPECT_EQ(def.panelDivisor, 1) << stage;
        // The painted panels reach the right edge of the view at the right bound.
        EXPECT_GE((kFirstPaintedPanel + PaintedPanelCount(def)) * kPanelWidth, def.rightBound + kPanelWidth) << stage;
        EXPECT_GE(def.rightBound, kCameraLeftBound) << stage;
    }
    EXPECT_EQ(rightBounds, 302784);
    EXPECT_EQ(farDivisors, 305);
    EXPECT_EQ(destinations, 3740);
    EXPECT_EQ(painted, 358);
    EXPECT_EQ(shopDoors, 17);
    EXPECT_EQ(farFiles.size(), 19u);
    EXPECT_EQ(panelFiles.size(), 100u);
    EXPECT_EQ(facing, (std::vector<int>{8, 14, 16, 17, 25, 27, 31, 34, 40, 43, 45, 46, 54, 60}));
    EXPECT_EQ(doors, (std::vector<int>{4, 7, 19, 22, 24, 39, 42, 44, 53, 61}));
}

TEST(StageGraph, EveryStageIsReachableFromStageOne) {
    std::vector<bool> seen(kStageCount + 1, false);
    std::queue<int> open;
    open.push(1);
    seen[1] = true;
    bool endingReached = false;
    while (!open.empty()) {
        int stage = open.front();
        open.pop();
        for (const StageLink& link : LinksOf(stage)) {
            if (link.destination == kEndingDestination) {
                endingReached = true;
                continue;
            }
            ASSERT_GE(link.destination, 1);
            ASSERT_LE(link.destination, kStageCount);
            if (!seen[link.destination]) {
                seen[link.destination] = true;
                open.push(link.destination);
            }
        }
    }
    for (int stage = 1; stage <= kStageCount; ++stage) EXPECT_TRUE(seen[stage]) << stage;
    EXPECT_TRUE(endingReached);
}

TEST(StageGraph, OnlyTheFinalStageLeadsToTheEnding) {
    int endings = 0;
    for (int stage = 1; stage <= kStageCount; ++stage) {
        const StageDef& def = Row(stage);
        EXPECT_NE(def.leftExit.destination, kEndingDestination) << stage;
        EXPECT_NE(def.rightExit.destination, kEndingDestination) << stage;
        endings += def.warpDoor.present && def.warpDoor.to.destination == kEndingDestination;
    }
    EXPECT_EQ(endings, 1);
    const WarpDoorDef& door = Row(61).warpDoor;
    ASSERT_TRUE(door.present);
    EXPECT_EQ(door.to.destination, kEndingDestination);
    // Behind the final boss (kind 31 at x 3040) and within the stage's view.
    EXPECT_GT(door.x, 3040);
    EXPECT_LE(door.x, Row(61).rightBound + kPanelWidth - 64);
    // After the ending the game saves on stage 43 at these words: its left end.
    EXPECT_EQ(door.to.arrivalCameraX, kCameraLeftBound);
    EXPECT_EQ(door.to.arrivalScreenX, 3);
}

TEST(StageGraph, EveryLinkHasAWayBack) {
    for (int stage = 1; stage <= kStageCount; ++stage) {
        for (const StageLink& link : LinksOf(stage)) {
            if (link.destination == kEndingDestination) continue;
            bool back = false;
            for (const StageLink& other : LinksOf(link.destination)) back |= other.destination == stage;
            EXPECT_TRUE(back) << stage << " -> " << link.destination;
        }
    }
}

TEST(StageGraph, ArrivalsFitTheDestination) {
    for (int stage = 1; stage <= kStageCount; ++stage) {
        for (const StageLink& link : LinksOf(stage)) {
            if (link.destination == kEndingDestination) continue;
            const StageDef& to = Row(link.destination);
            std::string where = std::to_string(stage) + " -> " + std::to_string(link.destination);
            switch (link.arrivalScreenX) {
                case 3:  // the left end of the view, at the left bound
                    EXPECT_EQ(link.arrivalCameraX, kCameraLeftBound) << where;
                    break;
                case 637:  // the right end, at the right bound
                    EXPECT_EQ(link.arrivalCameraX, to.rightBound) << where;
                    break;
                case 320:  // mid-screen: exactly at the destination's warp door
                    ASSERT_TRUE(to.warpDoor.present) << where;
                    EXPECT_EQ(link.arrivalCameraX + 320, to.warpDoor.x) << where;
                    break;
                default:
                    ADD_FAILURE() << where << " arrives at screen x " << link.arrivalScreenX;
            }
            EXPECT_GE(link.arrivalCameraX, kCameraLeftBound) << where;
            EXPECT_LE(link.arrivalCameraX, to.rightBound) << where;
            // Standing on a floor row: y + 56 is a multiple of 32.
            EXPECT_EQ((link.arrivalPlayerY + 56) % 32, 0) << where;
        }
    }
}

// Placement calls per (stage, kind) of a list.
std::map<std::pair<int, int>, int> CountCalls(std::span<const MonsterPlacement> list) {
    std::map<std::pair<int, int>, int> counts;
    for (const MonsterPlacement& p : list) ++counts[{p.stage, p.kind}];
    return counts;
}

std::map<std::pair<int, int>, int> TableCounts() {
    std::map<std::pair<int, int>, int> counts;
    for (const StageMonsterCount& c : kStageMonsterCounts) counts[{c.stage, c.kind}] = c.count;
    return counts;
}

void ExpectPlacementInRange(const MonsterPlacement& p) {
    EXPECT_GE(p.kind, 0);
    EXPECT_LT(p.kind, kMonsterKindCount);
    EXPECT_GE(p.slot, 0);
    EXPECT_LT(p.slot, kMonsterSlotCount);
    EXPECT_GE(p.x, 2080);
    EXPECT_LE(p.x, 6176);
    EXPECT_TRUE(p.y == 76 || p.y == 108 || p.y == 140 || p.y == 172 || p.y == 204) << p.y;
}

// The calls of each stage stand together, so a stage's list is one run.
void ExpectStagesTogether(std::span<const MonsterPlacement> list) {
    std::set<int> finished;
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (i > 0 && list[i].stage != list[i - 1].stage) finished.insert(list[i - 1].stage);
        EXPECT_EQ(finished.count(list[i].stage), 0u) << "stage " << int(list[i].stage) << " split";
    }
}

TEST(StageMonsters, TableCounts) {
    int total = 0;
    std::map<int, int> perStage;
    std::set<int> kinds;
    for (const StageMonsterCount& c : kStageMonsterCounts) {
        total += c.count;
        perStage[c.stage] += c.count;
        kinds.insert(c.kind);
    }
    EXPECT_EQ(total, 692);
    EXPECT_EQ(perStage.size(), 50u);
    EXPECT_EQ(kinds.size(), 32u);
    EXPECT_EQ(perStage[2], 15);
    EXPECT_EQ(perStage[23], 18);
    EXPECT_EQ(perStage[45], 19);
    EXPECT_EQ(perStage[61], 10);
    // Exactly the stages with shop doors place no monsters.
    for (int stage = 1; stage <= kStageCount; ++stage) {
        bool shop = false;
        for (const ShopDoorDef& door : Row(stage).shopDoors) shop |= door.on;
        EXPECT_EQ(perStage.count(stage) == 0, shop) << stage;
    }
    auto counts = TableCounts();
    EXPECT_EQ((counts[{23, 19}]), 14);
    EXPECT_EQ((counts[{58, 1}]), 6);
    EXPECT_EQ((counts[{15, 4}]), 1);
}

TEST(StageMonsters, GivenPlacements) {
    ExpectStagesTogether(kGivenPlacements);
    auto table = TableCounts();
    auto given = CountCalls(kGivenPlacements);
    const std::set<int> complete = {2, 10, 17, 32, 47, 61};
    for (const MonsterPlacement& p : kGivenPlacements) ExpectPlacementInRange(p);
    for (auto [key, count] : given) EXPECT_LE(count, table[key]) << key.first << " kind " << key.second;
    for (auto [key, count] : table)
        if (complete.count(key.first)) {
            EXPECT_EQ(given[key], count) << key.first << " kind " << key.second;
        }

    // Sample calls: the first and last of stage 2, and the final boss.
    auto s2 = PlacementsOfStage(kGivenPlacements, 2);
    ASSERT_EQ(s2.size(), 15u);
    EXPECT_EQ(s2[0].kind, 11);
    EXPECT_EQ(s2[0].slot, 0);
    EXPECT_EQ(s2[0].x, 2240);
    EXPECT_EQ(s2[14].kind, 13);
    EXPECT_EQ(s2[14].x, 5920);
    EXPECT_EQ(s2[14].y, 108);
    auto s61 = PlacementsOfStage(kGivenPlacements, 61);
    ASSERT_EQ(s61.size(), 10u);
    EXPECT_EQ(s61[9].kind, 31);
    EXPECT_EQ(s61[9].slot, 14);
    EXPECT_EQ(s61[9].x, 3040);

    // Two calls into one slot: stages 19, 21 and 29, and nowhere else.
    std::set<int> repeated;
    for (int stage = 1; stage <= kStageCount; ++stage) {
        std::set<std::pair<int, int>> used;
        for (const MonsterPlacement& p : StagePlacements(stage))
            if (!used.insert({p.kind, p.slot}).second) repeated.insert(stage);
    }
    EXPECT_EQ(repeated, (std::set<int>{19, 21, 29}));
}

bool SameCall(const MonsterPlacement& a, const MonsterPlacement& b) {
    return a.stage == b.stage && a.kind == b.kind && a.slot == b.slot && a.x == b.x && a.y == b.y;
}

// The generated placements, once the game data provides them, must make
// exactly the counted calls and keep the two same-slot calls of stages 19,
// 21 and 29 in their order.
TEST(StageMonsters, GeneratedPlacements) {
    ExpectStagesTogether(kGeneratedPlacements);
    auto table = TableCounts();
    auto generated = CountCalls(kGeneratedPlacements);
    std::set<int> stages;
    for (const MonsterPlacement& p : kGeneratedPlacements) {
        ExpectPlacementInRange(p);
        stages.insert(p.stage);
    }
    for (int stage : {2, 10, 17, 32, 47, 61}) EXPECT_EQ(stages.count(stage), 0u) << stage;
    for (auto [key, count] : table)
        if (stages.count(key.first)) {
            EXPECT_EQ(generated[key], count) << key.first << " kind " << key.second;
        }
    for (auto [key, count] : generated) EXPECT_EQ(table[key], count) << key.first << " kind " << key.second;

    for (int stage : {19, 21, 29}) {
        if (!stages.count(stage)) continue;
        auto pinned = PlacementsOfStage(kGivenPlacements, stage);
        auto list = PlacementsOfStage(kGeneratedPlacements, stage);
        std::size_t next = 0;
        for (const MonsterPlacement& p : list)
            if (next < pinned.size() && SameCall(p, pinned[next])) ++next;
        EXPECT_EQ(next, pinned.size()) << stage;
    }
}

}  // namespace
