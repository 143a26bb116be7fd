// The collision map reader: free line layout, text-mode file ends, and maps
// that are short, overlong or missing.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "engine/game_log.h"
#include "support/temp_dir.h"
#include "world/stages/collision_map.h"

namespace {

// A recognisable map: cell k is solid when k mod 7 is 0 or k mod 11 is 3.
char ExpectedCell(int k) { return (k % 7 == 0 || k % 11 == 3) ? '1' : '0'; }

std::string MapRows(const std::string& lineEnd) {
    std::string text;
    for (int r = 0; r < kCollisionRows; ++r) {
        for (int c = 0; c < kCollisionColumns; ++c) text += ExpectedCell(r * kCollisionColumns + c);
        text += lineEnd;
    }
    return text;
}

class CollisionMapTest : public ::testing::Test {
protected:
    // Reads `bytes` as a map file into a grid that starts full of walls, so
    // cells the reader leaves alone show up.
    int Read(const std::string& bytes) {
        dir_.Write("map.col", bytes);
        std::memset(grid_.cells, 7, sizeof grid_.cells);
        return ReadCollisionMapFile((dir_.path() / "map.col").c_str(), grid_);
    }

    // Cells [0, count) hold the recognisable pattern, the rest are empty.
    void ExpectPatternThenEmpty(int count) {
        for (int k = 0; k < kCollisionCellCount; ++k) {
            int want = k < count ? ExpectedCell(k) - '0' : kCellEmpty;
            ASSERT_EQ(grid_.cells[k], want) << "cell " << k;
        }
    }

    TempDir dir_;
    CollisionGrid grid_{};
};

TEST_F(CollisionMapTest, LineLayoutDoesNotMatter) {
    EXPECT_EQ(Read(MapRows("\n")), kCollisionCellCount);
    ExpectPatternThenEmpty(kCollisionCellCount);

    // One line of 6,000 characters.
    std::string single = MapRows("");
    EXPECT_EQ(Read(single), kCollisionCellCount);
    ExpectPatternThenEmpty(kCollisionCellCount);

    // CR LF line ends, blanks and tabs between the digits.
    std::string spaced;
    for (char c : MapRows("\r\n")) {
        spaced += c;
        if (c == '0' || c == '1') spaced += (spaced.size() % 3 == 0) ? " " : "\t";
    }
    EXPECT_EQ(Read(spaced), kCollisionCellCount);
    ExpectPatternThenEmpty(kCollisionCellCount);
}

TEST_F(CollisionMapTest, OtherCharactersTakeNoCell) {
    // Digits other than 0 and 1, letters and Shift-JIS bytes are skipped.
    std::string noisy;
    for (char c : MapRows("\n")) {
        noisy += c;
        if (c == '1') noisy += "29a\x82\xA0";
    }
    EXPECT_EQ(Read(noisy), kCollisionCellCount);
    ExpectPatternThenEmpty(kCollisionCellCount);
}

TEST_F(CollisionMapTest, CharactersAfterTheLastCellAreIgnored) {
    std::string zeros(kCollisionCellCount, '0');
    EXPECT_EQ(Read(zeros + "1111111111\n" + MapRows("\n")), kCollisionCellCount);
    ExpectPatternThenEmpty(0);
}

TEST_F(CollisionMapTest, EndOfTextByteEndsTheFile) {
    std::string text = MapRows("\n");
    // The 0x1A stands after the 1,000th digit.
    std::size_t at = 0;
    for (int digits = 0; digits < 1000; ++at)
        if (text[at] == '0' || text[at] == '1') ++digits;
    text.insert(at, 1, '\x1A');
    EXPECT_EQ(Read(text), 1000);
    ExpectPatternThenEmpty(1000);
}

TEST_F(CollisionMapTest, ALoneCarriageReturnDoesNotSwallowTheNextCharacter) {
    EXPECT_EQ(Read("\r1\r\r0\r1\r"), 3);
    EXPECT_EQ(grid_.cells[0], 1);
    EXPECT_EQ(grid_.cells[1], 0);
    EXPECT_EQ(grid_.cells[2], 1);
    EXPECT_EQ(grid_.cells[3], kCellEmpty);
}

TEST_F(CollisionMapTest, ShortMapStopsAtTheEndAndLeavesTheRestEmpty) {
    std::string text = MapRows("\n");
    text.resize(5 * (kCollisionColumns + 1) + 17);  // five rows and 17 cells
    EXPECT_EQ(Read(text), 5 * kCollisionColumns + 17);
    ExpectPatternThenEmpty(5 * kCollisionColumns + 17);

    EXPECT_EQ(Read(""), 0);
    ExpectPatternThenEmpty(0);
}

TEST_F(CollisionMapTest, MissingFileGivesAnEmptyGrid) {
    std::memset(grid_.cells, 1, sizeof grid_.cells);
    EXPECT_EQ(ReadCollisionMapFile((dir_.path() / "none.col").c_str(), grid_), -1);
    ExpectPatternThenEmpty(0);
}

TEST(StageCollisionMap, ReadsTheStagesFileAndLogsWhatIsWrong) {
    TempDir dir;
    auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());

    dir.Write("data/12.col", MapRows("\r\n"));
    ClearGameLog();
    EXPECT_EQ(ReadStageCollisionMap(12), kCollisionCellCount);
    EXPECT_EQ(g_CollisionGrid.cells[7], 1);
    EXPECT_EQ(g_CollisionGrid.cells[8], 0);
    EXPECT_STREQ(GameLogText(), "");

    dir.Write("data/13.col", "0101");
    EXPECT_EQ(ReadStageCollisionMap(13), 4);
    EXPECT_NE(std::strstr(GameLogText(), "13.col"), nullptr);

    EXPECT_EQ(ReadStageCollisionMap(14), -1);
    EXPECT_NE(std::strstr(GameLogText(), "14.col"), nullptr);
    for (std::uint8_t cell : g_CollisionGrid.cells) ASSERT_EQ(cell, kCellEmpty);

    std::filesystem::current_path(previous);
}

}  // namespace
