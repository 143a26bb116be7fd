#include "placements.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <span>

#include "stage_anchors.h"
#include "stage_geometry.h"
#include "stage_maps.h"
#include "world/monsters/monster_record.h"
#include "world/stages/stage_monster_counts.h"
#include "world/stages/stage_placements.h"
#include "world/stages/stage_placements_given.h"

namespace {

constexpr int kMinX = 2080;  // every placement lies within these
constexpr int kMaxX = 6176;
constexpr int kArrivalClearance = 256;  // pixels: time to look before the first monster
constexpr int kDoorClearance = 128;
constexpr int kPitClearance = 4;     // columns between a standing monster and a pit
constexpr int kCrowdDistance = 2;    // columns kept between two monsters where room allows
constexpr int kFirstFloatingKind = 28;
constexpr int kMonsterHalfWidth = 28;  // the 56 x 48 box monsters move with
constexpr int kMonsterHalfHeight = 24;
// Where a walking monster starts: it drops onto the floor below.
constexpr int kWalkerYs[] = {108, 140, 172};
// Where a flying one hovers: low enough to reach with a jump from the floor.
constexpr int kFlyerYs[] = {140, 172, 204};
constexpr int kAllYs[] = {76, 108, 140, 172, 204};
// Slots are not handed out in order, as the set-ups with given positions do.
constexpr int kSlotOrder[kMonsterSlotCount] = {0, 10, 19, 15, 4, 8, 2, 13, 1, 17, 11, 14, 7, 5, 3, 6, 9, 12, 16, 18};
// How high the player reaches over its floor: its centre stands 57 above the
// floor top, a jump lifts it about 119, and a blow reaches 64 around it.
constexpr int kJumpReach = 57 + 119 + 64;

[[noreturn]] void Fail(int stage, const char* what) {
    std::fprintf(stderr, "datagen: stage %d: %s\n", stage, what);
    std::exit(1);
}

class StageRandom {
public:
    explicit StageRandom(int stage) : state_(0x9E3779B9u * static_cast<unsigned>(stage) + 1u) {}
    int Next(int n) {
        state_ = state_ * 214013u + 2531011u;
        return static_cast<int>((state_ >> 16) & 0x7FFF) % n;
    }

private:
    unsigned state_;
};

class Ground {
public:
    explicit Ground(int stage) : grid_(MakeStageMap(stage)) {}

    bool Solid(int row, int column) const {
        if (row < 0 || row >= kCollisionRows || column < 0 || column >= kCollisionColumns) return false;
        return grid_.cells[row * kCollisionColumns + column] == kCellSolid;
    }
    // The first solid row of a column from the top; kNoFloor in a pit.
    int FloorRow(int column) const {
        for (int r = 0; r < kCollisionRows; ++r)
            if (Solid(r, column)) return r;
        return kNoFloor;
    }
    bool BoxOpen(int x, int y) const {
        for (int r = (y - kMonsterHalfHeight) / 32; r <= (y + kMonsterHalfHeight - 1) / 32; ++r)
            for (int c = (x - kMonsterHalfWidth) / 32; c <= (x + kMonsterHalfWidth - 1) / 32; ++c)
                if (Solid(r, c)) return false;
        return true;
    }
    bool PitNear(int column, int distance) const {
        for (int c = column - distance; c <= column + distance; ++c)
            if (FloorRow(c) == kNoFloor) return true;
        return false;
    }

private:
    CollisionGrid grid_;
};

// The y a monster of `kind` may start at above column x / 32, or 0 where it
// may not start at all.
int SpawnY(const Ground& ground, int kind, int x, StageRandom& random) {
    int column = x / 32;
    int left = (x - kMonsterHalfWidth) / 32, right = (x + kMonsterHalfWidth - 1) / 32;
    int first = random.Next(3);
    if (kind >= kFirstFloatingKind) {
        int highest = kLowestFloorRow;
        for (int c = column - 2; c <= column + 2; ++c)
            if (ground.FloorRow(c) != kNoFloor) highest = std::min(highest, ground.FloorRow(c));
        for (int i = 0; i < 3; ++i) {
            int y = kFlyerYs[(first + i) % 3];
            if (y + kJumpReach >= highest * 32 && ground.BoxOpen(x, y)) return y;
        }
        for (int y : kAllYs)
            if (ground.BoxOpen(x, y)) return y;
        return 0;
    }
    // Walking and standing monsters land on one flat floor, away from pits.
    int floor = ground.FloorRow(left);
    if (floor == kNoFloor || ground.FloorRow(right) != floor || ground.PitNear(column, kPitClearance)) return 0;
    for (int i = 0; i < 3; ++i) {
        int y = kWalkerYs[(first + i) % 3];
        if (ground.BoxOpen(x, y)) return y;
    }
    return 0;
}

bool ClearOfAnchors(const std::vector<StageAnchor>& anchors, int x) {
    for (const StageAnchor& a : anchors) {
        int clearance = a.kind == AnchorKind::Arrival ? kArrivalClearance : kDoorClearance;
        if (std::abs(x - a.x) < clearance) return false;
    }
    return true;
}

struct Call {
    int kind;
    int slot;
};

std::vector<Call> StageCalls(int stage, std::span<const MonsterPlacement> given, StageRandom& random) {
    bool used[kMonsterKindCount][kMonsterSlotCount] = {};
    for (const MonsterPlacement& p : given) used[p.kind][p.slot] = true;
    std::vector<Call> calls;
    for (const StageMonsterCount& count : kStageMonsterCounts) {
        if (count.stage != stage) continue;
        int remaining = count.count;
        for (const MonsterPlacement& p : given) remaining -= p.kind == count.kind;
        int turn = random.Next(kMonsterSlotCount);
        for (int i = 0; i < kMonsterSlotCount && remaining > 0; ++i) {
            int slot = kSlotOrder[(turn + i) % kMonsterSlotCount];
            if (used[count.kind][slot]) continue;
            used[count.kind][slot] = true;
            calls.push_back({count.kind, slot});
            --remaining;
        }
        if (remaining > 0) Fail(stage, "more monsters of one kind than slots");
    }
    return calls;
}

void PlaceStage(int stage, std::vector<MonsterPlacement>& out) {
    int total = 0;
    for (const StageMonsterCount& count : kStageMonsterCounts) total += count.stage == stage ? count.count : 0;
    auto given = PlacementsOfStage(kGivenPlacements, stage);
    if (total == 0 || static_cast<int>(given.size()) == total) return;

    StageRandom random(stage);
    Ground ground(stage);
    std::vector<StageAnchor> anchors = StageAnchors(stage);
    std::vector<Call> calls = StageCalls(stage, given, random);

    // Spread the monsters evenly over the stage, in a shuffled order so the
    // kinds mix.
    int n = static_cast<int>(calls.size());
    int lo = kMinX, hi = std::min(kMaxX, RightExitColumn(stage) * 32 - 1);
    std::vector<int> order(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) order[i] = i;
    for (int i = n - 1; i > 0; --i) std::swap(order[i], order[random.Next(i + 1)]);
    int spacing = (hi - lo) / n;

    for (const MonsterPlacement& p : given) out.push_back(p);
    std::vector<int> taken;
    for (const MonsterPlacement& p : given) taken.push_back(p.x / 32);
    for (int i = 0; i < n; ++i) {
        int target = lo + spacing * order[i] + spacing / 2 + random.Next(spacing / 2 + 1) - spacing / 4;
        int found = 0, y = 0;
        for (int pass = 0; pass < 2 && found == 0; ++pass) {
            for (int d = 0; d < 64 && found == 0; ++d) {
                int column = target / 32 + (d % 2 == 0 ? d / 2 : -(d / 2 + 1));
                int x = column * 32;
                if (x < lo || x > hi || !ClearOfAnchors(anchors, x)) continue;
                bool crowded = false;
                for (int t : taken) crowded = crowded || std::abs(t - column) < kCrowdDistance;
                if (crowded && pass == 0) continue;
                y = SpawnY(ground, calls[i].kind, x, random);
                if (y != 0) found = x;
            }
        }
        if (found == 0) Fail(stage, "no room left for a monster");
        taken.push_back(found / 32);
        out.push_back({static_cast<std::int8_t>(stage), static_cast<std::int8_t>(calls[i].kind),
                       static_cast<std::int8_t>(calls[i].slot), static_cast<std::int16_t>(found),
                       static_cast<std::int16_t>(y)});
    }
}

}  // namespace

std::vector<MonsterPlacement> GeneratePlacements() {
    std::vector<MonsterPlacement> out;
    for (int stage = 1; stage <= kStageCount; ++stage) PlaceStage(stage, out);
    return out;
}

std::string PlacementsHeader(const std::vector<MonsterPlacement>& placements) {
    std::string text =
        "// The monster placements made together with the collision maps, so that\n"
        "// every monster starts in open air, the walking and standing ones over a\n"
        "// floor away from pits, all clear of where the player arrives and of the\n"
        "// warp door. Written by the game-data generator from the stage table and\n"
        "// the maps it makes (datagen --placements <this file>); a test checks that\n"
        "// it still matches what the generator makes.\n"
        "//\n"
        "// One MonsterPlacement{stage, kind, slot, x, y} per call, the calls of one\n"
        "// stage together and in call order. A stage listed here takes all of its\n"
        "// calls from here: stages 19, 21 and 29 start with their two calls into one\n"
        "// slot of stage_placements_given.h.\n"
        "#pragma once\n"
        "\n"
        "#include <array>\n"
        "\n"
        "#include \"world/stage_table.h\"\n"
        "\n"
        "// clang-format off\n"
        "inline constexpr std::array kGeneratedPlacements = {\n";
    int stage = 0;
    char line[96];
    for (const MonsterPlacement& p : placements) {
        if (p.stage != stage) {
            stage = p.stage;
            std::snprintf(line, sizeof line, "    // stage %d\n", stage);
            text += line;
        }
        std::snprintf(line, sizeof line, "    MonsterPlacement{%d, %d, %d, %d, %d},\n", p.stage, p.kind, p.slot, p.x, p.y);
        text += line;
    }
    text += "};\n// clang-format on\n";
    return text;
}
