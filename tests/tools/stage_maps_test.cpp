// The collision maps and the monster positions made with them: every stage
// read back as the game reads it and checked by the map validator, the panel
// pictures against the maps, the committed positions against the generator,
// and the validator against maps broken on purpose.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "art.h"
#include "map_validator.h"
#include "placements.h"
#include "stage_geometry.h"
#include "stage_images.h"
#include "stage_maps.h"
#include "support/temp_dir.h"
#include "world/stages/collision_map.h"
#include "world/stages/stage_placements.h"
#include "world/stages/stage_placements_generated.h"
#include "world/stages/stage_state.h"
#include "world/stages/stage_table_data.h"

namespace {

class GeneratedMaps : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new TempDir;
        std::string tool = std::string(KELVO_DATAGEN_PATH) + " " + dir_->str();
        ASSERT_EQ(std::system(tool.c_str()), 0);
    }
    static void TearDownTestSuite() {
        delete dir_;
        dir_ = nullptr;
    }
    static std::string MapPath(int stage) { return dir_->str() + "/data/" + std::to_string(stage) + ".col"; }
    // Through the game's own reader.
    static CollisionGrid ReadMap(int stage) {
        CollisionGrid grid{};
        EXPECT_EQ(ReadCollisionMapFile(MapPath(stage).c_str(), grid), kCollisionCellCount) << stage;
        return grid;
    }
    static TempDir* dir_;
};
TempDir* GeneratedMaps::dir_ = nullptr;

TEST_F(GeneratedMaps, EveryStageIsSound) {
    int monsters = 0, pits = 0, stagesWithPits = 0, dropping = 0;
    std::printf("stage arrivals targets monsters pits floor-rows\n");
    for (int stage = 1; stage <= kStageCount; ++stage) {
        MapFindings f = ValidateStageMap(stage, ReadMap(stage), StagePlacements(stage));
        for (const std::string& fault : f.faults) ADD_FAILURE() << "stage " << stage << ": " << fault;
        std::printf("%5d %8d %7d %8d %4d %d-%d\n", stage, f.arrivals, f.targets, f.monsters, f.pits, f.highestFloorRow,
                    f.lowestFloorRow);
        EXPECT_GE(f.arrivals, 1) << stage;
        EXPECT_GE(f.targets, 2) << stage;
        monsters += f.monsters;
        pits += f.pits;
        stagesWithPits += f.pits > 0;
        dropping += f.droppingArrivals;
    }
    EXPECT_EQ(monsters, 692);  // every placement call of every stage
    EXPECT_GT(stagesWithPits, 10);
    EXPECT_LE(pits, 2 * stagesWithPits);
    // Only stage 14's left end, where stage 13 arrives two rows above the
    // floor that stage 15's arrival stands on.
    EXPECT_EQ(dropping, 1);
}

TEST_F(GeneratedMaps, FilesAreFifteenLinesOfFourHundredCells) {
    for (int stage = 1; stage <= kStageCount; ++stage) {
        std::string text = dir_->Read("data/" + std::to_string(stage) + ".col");
        ASSERT_EQ(text.size(), static_cast<std::size_t>(kCollisionRows * (kCollisionColumns + 2))) << stage;
        for (int r = 0; r < kCollisionRows; ++r) {
            std::string line = text.substr(static_cast<std::size_t>(r) * (kCollisionColumns + 2), kCollisionColumns + 2);
            EXPECT_EQ(line.find_first_not_of("01"), static_cast<std::size_t>(kCollisionColumns)) << stage << " row " << r;
            EXPECT_EQ(line.substr(kCollisionColumns), "\r\n");
        }
        // What was written is what the generator made.
        CollisionGrid made = MakeStageMap(stage), read = ReadMap(stage);
        EXPECT_EQ(std::vector<std::uint8_t>(std::begin(made.cells), std::end(made.cells)),
                  std::vector<std::uint8_t>(std::begin(read.cells), std::end(read.cells)))
            << stage;
    }
}

bool SameColour(Rgb a, Rgb b) { return a.r == b.r && a.g == b.g && a.b == b.b; }

TEST_F(GeneratedMaps, PanelPicturesShowTheGroundOfTheMaps) {
    std::map<std::string, Image> pictures;
    int columns = 0;
    for (int stage = 1; stage <= kStageCount; ++stage) {
        const StageDef& def = kStageTable[stage - 1];
        CollisionGrid grid = ReadMap(stage);
        int last = (def.rightBound + kPanelWidth - 1) / 32;
        for (int c = kCameraLeftBound / 32; c <= last; ++c) {
            const char* name = def.panels[c / kPanelColumns - kFirstPaintedPanel];
            auto it = pictures.find(name);
            if (it == pictures.end()) it = pictures.emplace(name, MakePanel(name)).first;
            const Image& picture = it->second;
            int floor = 0;
            while (floor < kCollisionRows && grid.cells[floor * kCollisionColumns + c] == kCellEmpty) ++floor;
            int x = (c % kPanelColumns) * 32 + 16;
            SCOPED_TRACE("stage " + std::to_string(stage) + " column " + std::to_string(c) + " " + name);
            if (floor == kCollisionRows) {
                EXPECT_TRUE(SameColour(picture.At(x, 479), kPitBottom));
                EXPECT_TRUE(SameColour(picture.At(x, 8), kTransparent));
            } else {
                EXPECT_TRUE(SameColour(picture.At(x, floor * 32 + 2), kPanelGrass));
                EXPECT_FALSE(SameColour(picture.At(x, floor * 32 - 3), kPanelGrass));
            }
            ++columns;
        }
    }
    EXPECT_GT(columns, 6000);  // every column some stage shows
}

TEST(StagePanels, EveryPaintedFileHasAGroundProfile) {
    EXPECT_EQ(PanelProfiles().size(), std::size(kPanelImages));
    for (std::string_view name : kPanelImages) {
        const PanelProfile* profile = FindPanelProfile(name);
        ASSERT_NE(profile, nullptr) << name;
        for (int row : profile->floor) {
            EXPECT_TRUE(row == kNoFloor || (row >= kHighestFloorRow && row <= kLowestFloorRow)) << name;
        }
    }
    EXPECT_EQ(FindPanelProfile("black"), nullptr);
}

// The committed positions are what the generator makes from the maps; after
// a change to the maps or the stage table, write them again with
// `datagen --placements game/world/stages/stage_placements_generated.h`.
TEST(StagePlacements, TheCommittedListIsWhatTheGeneratorMakes) {
    std::vector<MonsterPlacement> made = GeneratePlacements();
    ASSERT_EQ(made.size(), kGeneratedPlacements.size());
    for (std::size_t i = 0; i < made.size(); ++i) {
        const MonsterPlacement &a = made[i], &b = kGeneratedPlacements[i];
        EXPECT_TRUE(a.stage == b.stage && a.kind == b.kind && a.slot == b.slot && a.x == b.x && a.y == b.y) << "call " << i;
    }
    std::string header = PlacementsHeader(made);
    EXPECT_NE(header.find("MonsterPlacement{3, "), std::string::npos);
    EXPECT_NE(header.find("inline constexpr std::array kGeneratedPlacements"), std::string::npos);
}

// The validator must see a fault when there is one.
class MapValidator : public ::testing::Test {
protected:
    static constexpr int kStage = 2;  // a long field: left arrival at x 1955, right at 6365, no doors
    void SetUp() override { grid_ = MakeStageMap(kStage); }

    void Flat(int row) {
        for (int c = 58; c < 203; ++c) Column(c, row);
    }
    void Column(int c, int floorRow) {
        for (int r = 0; r < kCollisionRows; ++r) grid_.cells[r * kCollisionColumns + c] = r >= floorRow ? kCellSolid : kCellEmpty;
    }
    std::vector<std::string> Faults(std::span<const MonsterPlacement> placements = {}) {
        return ValidateStageMap(kStage, grid_, placements).faults;
    }
    static bool Mentions(const std::vector<std::string>& faults, const std::string& text) {
        for (const std::string& f : faults)
            if (f.find(text) != std::string::npos) return true;
        return false;
    }
    CollisionGrid grid_;
};

TEST_F(MapValidator, PassesSoundGround) {
    EXPECT_TRUE(Faults(StagePlacements(kStage)).empty());
    Flat(11);
    EXPECT_TRUE(Faults(StagePlacements(kStage)).empty());
    // A three-column pit with a step on either side is crossed.
    Column(119, 10);
    Column(120, kCollisionRows), Column(121, kCollisionRows), Column(122, kCollisionRows);
    Column(123, 9);
    EXPECT_TRUE(Faults().empty());
}

TEST_F(MapValidator, FindsAPitTooWideToJump) {
    Flat(11);
    for (int c = 120; c < 124; ++c) Column(c, kCollisionRows);
    auto faults = Faults();
    EXPECT_TRUE(Mentions(faults, "4 columns wide"));
    EXPECT_TRUE(Mentions(faults, "from the arrival at x 1955: the right exit is out of reach"));
    EXPECT_TRUE(Mentions(faults, "from the arrival at x 6365: the left exit is out of reach"));
}

TEST_F(MapValidator, FindsAStepTooHighToClimb) {
    Flat(11);
    // A ledge three rows over the ground on its left, reached by two steps
    // from the right: down is a drop, up is too high.
    for (int c = 120; c < 126; ++c) Column(c, 8);
    Column(126, 10), Column(127, 10);
    auto faults = Faults();
    EXPECT_TRUE(Mentions(faults, "from the arrival at x 1955: the right exit is out of reach"));
    EXPECT_FALSE(Mentions(faults, "from the arrival at x 6365: the left exit"));
    // Raised under an arrival, the ground buries it.
    for (int c = 190; c < 203; ++c) Column(c, 10);
    EXPECT_TRUE(Mentions(Faults(), "the arrival at x 6365 y 296 stands in the ground"));
}

TEST_F(MapValidator, FindsArrivalsOverPitsOrFallingFar) {
    Flat(11);
    Column(60, kCollisionRows), Column(61, kCollisionRows);
    EXPECT_TRUE(Mentions(Faults(), "the arrival at x 1955 y 296 is over a pit"));
    Flat(11);
    for (int c = 180; c < 203; ++c) Column(c, 14);
    EXPECT_TRUE(Mentions(Faults(), "the arrival at x 6365 falls 3 rows"));
}

TEST_F(MapValidator, FindsMonstersInTheGroundByArrivalsOrOverPits) {
    Flat(11);
    Column(100, kCollisionRows), Column(101, kCollisionRows);
    const MonsterPlacement bad[] = {
        {kStage, 11, 0, 3200, 348},  // its box reaches into row 11
        {kStage, 11, 1, 2048, 172},  // beside the left arrival
        {kStage, 11, 2, 3232, 172},  // above the pit
        {kStage, 11, 3, 3328, 172},  // next to it
        {kStage, 28, 4, 3232, 204},  // flying over it is fine
    };
    auto faults = Faults(bad);
    EXPECT_TRUE(Mentions(faults, "kind 11 at x 3200 y 348 starts in the ground"));
    EXPECT_TRUE(Mentions(faults, "kind 11 at x 2048 starts beside the arrival at x 1955"));
    EXPECT_TRUE(Mentions(faults, "kind 11 at x 3232 starts over a pit"));
    EXPECT_TRUE(Mentions(faults, "kind 11 at x 3328 starts beside a pit"));
    EXPECT_FALSE(Mentions(faults, "kind 28"));
}

TEST_F(MapValidator, FindsAMonsterShutAwayFromThePlayer) {
    Flat(11);
    // A walled box the player cannot climb into.
    for (int c = 120; c < 126; ++c) Column(c, 6);
    Column(122, 11), Column(123, 11);
    const MonsterPlacement shut[] = {{kStage, 11, 0, 3936, 204}};
    EXPECT_TRUE(Mentions(Faults(shut), "kind 11 at x 3936 lands where the player cannot go"));
}

}  // namespace
