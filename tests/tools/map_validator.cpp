#include "map_validator.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <queue>

#include "world/stages/stage_placements.h"
#include "world/stages/stage_placements_given.h"
#include "world/stages/stage_state.h"
#include "world/stages/stage_table_data.h"

namespace {

constexpr int kCell = 32;
constexpr int kPlayerHalfWidth = 16;
constexpr int kPlayerHalfHeight = 56;
constexpr int kPlayerRows = 4;  // a player on floor row r fills rows r - 4 to r - 1
constexpr int kMonsterHalfWidth = 28;
constexpr int kMonsterHalfHeight = 24;
constexpr int kFirstFloatingKind = 28;
constexpr int kArrivalClearance = 192;  // pixels between an arrival and a monster's start
constexpr int kDoorClearance = 96;
constexpr int kPitClearance = 3;  // columns between a standing monster and a pit
constexpr int kWarpEnterBelow = 40, kWarpEnterAbove = 84;  // player y range around a warp door's y
constexpr int kWarpEnterReach = 56, kShopEnterReach = 64;  // player x range around a door's x

class Grid {
public:
    explicit Grid(const CollisionGrid& grid) : grid_(grid) {}

    // Outside the grid there is nothing, as the game reads it.
    bool Solid(int row, int column) const {
        if (row < 0 || row >= kCollisionRows || column < 0 || column >= kCollisionColumns) return false;
        return grid_.cells[row * kCollisionColumns + column] != kCellEmpty;
    }
    bool Open(int column, int fromRow, int toRow) const {
        for (int r = fromRow; r <= toRow; ++r)
            if (Solid(r, column)) return false;
        return true;
    }
    // The first solid row at `row` or below; kCollisionRows when none.
    int FloorFrom(int row, int column) const {
        for (int r = std::max(row, 0); r < kCollisionRows; ++r)
            if (Solid(r, column)) return r;
        return kCollisionRows;
    }
    bool Standable(int column, int row) const {
        return row >= 0 && row < kCollisionRows && Solid(row, column) && Open(column, row - kPlayerRows, row - 1);
    }

private:
    const CollisionGrid& grid_;
};

struct Spot {
    int column, row;
};

// The spots one move away: a walk, a drop, a climb of at most two rows or a
// jump over at most three columns of lower ground.
std::vector<Spot> Moves(const Grid& grid, Spot from) {
    std::vector<Spot> out;
    int c = from.column, r = from.row;
    for (int dir : {-1, 1}) {
        int next = c + dir;
        if (grid.Open(next, r - kPlayerRows, r - 1)) {
            int landing = grid.FloorFrom(r, next);
            if (landing < kCollisionRows) out.push_back({next, landing});
        } else {
            for (int up = 1; up <= kValidatorMaxStepRows; ++up) {
                int to = r - up;
                if (grid.Standable(next, to) && grid.Open(c, to - kPlayerRows - 1, r - 1)) {
                    out.push_back({next, to});
                    break;
                }
            }
        }
        for (int d = 2; d <= kValidatorMaxGapColumns + 1; ++d) {
            int target = c + dir * d;
            for (int to = r - kValidatorMaxStepRows; to < kCollisionRows; ++to) {
                if (!grid.Standable(target, to)) continue;
                int top = std::min(r, to) - kPlayerRows - 1, bottom = std::max(r, to) - 1;
                bool clear = grid.Open(c, top, r - 1);
                for (int i = 1; i < d && clear; ++i) clear = grid.Open(c + dir * i, top, bottom);
                if (clear) out.push_back({target, to});
            }
        }
    }
    return out;
}

using Reached = std::array<std::array<bool, kCollisionColumns>, kCollisionRows>;

Reached Explore(const Grid& grid, Spot start) {
    Reached reached{};
    std::queue<Spot> open;
    reached[start.row][start.column] = true;
    open.push(start);
    while (!open.empty()) {
        Spot s = open.front();
        open.pop();
        for (Spot next : Moves(grid, s)) {
            if (next.column < 0 || next.column >= kCollisionColumns || reached[next.row][next.column]) continue;
            reached[next.row][next.column] = true;
            open.push(next);
        }
    }
    return reached;
}

struct Arrival {
    int x, y;
    bool drops;  // appears in the air and falls: the new game's start
};

std::vector<Arrival> ArrivalsInto(int stage) {
    std::vector<Arrival> out;
    auto add = [&](const StageLink& link) {
        if (link.destination == stage) out.push_back({link.arrivalCameraX + link.arrivalScreenX, link.arrivalPlayerY, false});
    };
    for (const StageDef& def : kStageTable) {
        add(def.leftExit);
        add(def.rightExit);
        if (def.warpDoor.present) add(def.warpDoor.to);
    }
    if (stage == 1) out.push_back({2096 + 320, 192, true});
    return out;
}

// Something the player must be able to reach: a spot test and a name.
struct Target {
    std::string name;
    std::vector<Spot> spots;
};

std::string Format(const char* format, int a, int b = 0, int c = 0) {
    char text[160];
    std::snprintf(text, sizeof text, format, a, b, c);
    return text;
}

}  // namespace

MapFindings ValidateStageMap(int stage, const CollisionGrid& collision, std::span<const MonsterPlacement> placements) {
    MapFindings findings;
    const StageDef& def = kStageTable[stage - 1];
    Grid grid(collision);
    const int rightExitX = def.rightBound + kPanelWidth;
    const int firstSeen = kCameraLeftBound / kCell, lastSeen = (rightExitX - 1) / kCell;

    // The ground the player sees: heights and pits.
    for (int c = firstSeen; c <= lastSeen;) {
        int floor = grid.FloorFrom(0, c);
        if (floor < kCollisionRows) {
            findings.highestFloorRow = std::min(findings.highestFloorRow, floor);
            findings.lowestFloorRow = std::max(findings.lowestFloorRow, floor);
            ++c;
            continue;
        }
        int end = c;
        while (end <= lastSeen && grid.FloorFrom(0, end) == kCollisionRows) ++end;
        ++findings.pits;
        findings.widestPit = std::max(findings.widestPit, end - c);
        c = end;
    }
    if (findings.widestPit > kValidatorMaxGapColumns)
        findings.faults.push_back(Format("a pit %d columns wide", findings.widestPit));
    bool shops = false;
    for (const ShopDoorDef& door : def.shopDoors) shops = shops || door.on;
    if (shops && findings.pits > 0) findings.faults.push_back("a town with a pit");

    // What every arrival must reach.
    std::vector<Target> targets;
    auto spotsWhere = [&](auto test) {
        std::vector<Spot> spots;
        for (int r = 0; r < kCollisionRows; ++r)
            for (int c = 0; c < kCollisionColumns; ++c)
                if (grid.Standable(c, r) && test(c, r)) spots.push_back({c, r});
        return spots;
    };
    targets.push_back({"the left exit", spotsWhere([&](int c, int) { return c * kCell <= kCameraLeftBound; })});
    targets.push_back({"the right exit", spotsWhere([&](int c, int) { return c * kCell + kCell - 1 >= rightExitX; })});
    auto near = [](int c, int x, int reach) { return c * kCell < x + reach && c * kCell + kCell - 1 > x - reach; };
    if (def.warpDoor.present) {
        int x = def.warpDoor.x, y = def.warpDoor.y;
        targets.push_back({"the warp door", spotsWhere([&](int c, int r) {
                               int playerY = r * kCell - kPlayerHalfHeight - 1;
                               return near(c, x, kWarpEnterReach) && playerY > y - kWarpEnterBelow &&
                                      playerY < y + kWarpEnterAbove;
                           })});
        if (grid.FloorFrom(0, x / kCell) != (y + 32) / kCell)
            findings.faults.push_back(Format("the warp door at x %d does not stand on row %d", x, (y + 32) / kCell));
    }
    for (int slot = 0; slot < kShopDoorCount; ++slot) {
        const ShopDoorDef& door = def.shopDoors[slot];
        if (!door.on) continue;
        targets.push_back({Format("shop door %d", slot), spotsWhere([&](int c, int) { return near(c, door.x, kShopEnterReach); })});
        if (grid.FloorFrom(0, door.x / kCell) != (door.y + 32) / kCell)
            findings.faults.push_back(Format("shop door %d at x %d does not stand on row %d", slot, door.x, (door.y + 32) / kCell));
    }
    findings.targets = static_cast<int>(targets.size());

    // Every arrival lands on a floor and reaches every target.
    Reached anyArrival{};
    std::vector<Arrival> arrivals = ArrivalsInto(stage);
    findings.arrivals = static_cast<int>(arrivals.size());
    for (const Arrival& a : arrivals) {
        for (int r = (a.y - kPlayerHalfHeight) / kCell; r <= (a.y + kPlayerHalfHeight - 1) / kCell; ++r)
            for (int c = (a.x - kPlayerHalfWidth) / kCell; c <= (a.x + kPlayerHalfWidth - 1) / kCell; ++c)
                if (grid.Solid(r, c)) findings.faults.push_back(Format("the arrival at x %d y %d stands in the ground", a.x, a.y));
        int foot = (a.y + kPlayerHalfHeight) / kCell;
        int left = (a.x - kPlayerHalfWidth) / kCell, right = (a.x + kPlayerHalfWidth) / kCell;
        int leftFloor = grid.FloorFrom(foot, left), rightFloor = grid.FloorFrom(foot, right);
        Spot landing = leftFloor <= rightFloor ? Spot{left, leftFloor} : Spot{right, rightFloor};
        if (landing.row >= kCollisionRows) {
            findings.faults.push_back(Format("the arrival at x %d y %d is over a pit", a.x, a.y));
            continue;
        }
        if (!a.drops && landing.row - foot > kValidatorMaxStepRows)
            findings.faults.push_back(Format("the arrival at x %d falls %d rows", a.x, landing.row - foot));
        if (!a.drops && landing.row > foot) ++findings.droppingArrivals;
        Reached reached = Explore(grid, landing);
        for (const Target& t : targets) {
            bool ok = false;
            for (Spot s : t.spots) ok = ok || reached[s.row][s.column];
            if (!ok) findings.faults.push_back("from the arrival at x " + std::to_string(a.x) + ": " + t.name + " is out of reach");
        }
        for (int r = 0; r < kCollisionRows; ++r)
            for (int c = 0; c < kCollisionColumns; ++c) anyArrival[r][c] = anyArrival[r][c] || reached[r][c];
    }

    // Monsters start in open air, clear of arrivals and doors; walking and
    // standing ones over a floor the player can reach, away from pits.
    for (const MonsterPlacement& p : placements) {
        ++findings.monsters;
        int x = p.x, y = p.y;
        for (int r = (y - kMonsterHalfHeight) / kCell; r <= (y + kMonsterHalfHeight - 1) / kCell; ++r)
            for (int c = (x - kMonsterHalfWidth) / kCell; c <= (x + kMonsterHalfWidth - 1) / kCell; ++c)
                if (grid.Solid(r, c)) findings.faults.push_back(Format("kind %d at x %d y %d starts in the ground", p.kind, x, y));
        // The positions the game's design fixes stand where they stand; the
        // final stage's ending door was put among three of its flyers.
        bool given = false;
        for (const MonsterPlacement& g : PlacementsOfStage(kGivenPlacements, stage))
            given = given || (g.kind == p.kind && g.slot == p.slot && g.x == p.x && g.y == p.y);
        for (const Arrival& a : arrivals)
            if (!given && std::abs(x - a.x) < kArrivalClearance)
                findings.faults.push_back(Format("kind %d at x %d starts beside the arrival at x %d", p.kind, x, a.x));
        if (!given && def.warpDoor.present && std::abs(x - def.warpDoor.x) < kDoorClearance)
            findings.faults.push_back(Format("kind %d at x %d starts at the warp door", p.kind, x));
        if (p.kind >= kFirstFloatingKind) continue;
        int foot = (y + kMonsterHalfHeight) / kCell;
        int left = (x - kMonsterHalfWidth) / kCell, right = (x + kMonsterHalfWidth) / kCell;
        int leftFloor = grid.FloorFrom(foot, left), rightFloor = grid.FloorFrom(foot, right);
        Spot landing = leftFloor <= rightFloor ? Spot{left, leftFloor} : Spot{right, rightFloor};
        if (landing.row >= kCollisionRows) {
            findings.faults.push_back(Format("kind %d at x %d starts over a pit", p.kind, x));
            continue;
        }
        if (!anyArrival[landing.row][landing.column])
            findings.faults.push_back(Format("kind %d at x %d lands where the player cannot go", p.kind, x));
        for (int c = x / kCell - kPitClearance; c <= x / kCell + kPitClearance; ++c)
            if (grid.FloorFrom(0, c) == kCollisionRows) {
                findings.faults.push_back(Format("kind %d at x %d starts beside a pit", p.kind, x));
                break;
            }
    }
    return findings;
}
