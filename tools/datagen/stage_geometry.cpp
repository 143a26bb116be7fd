#include "stage_geometry.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <utility>

#include "stage_anchors.h"
#include "world/stages/stage_placements.h"
#include "world/stages/stage_placements_given.h"
#include "world/stages/stage_state.h"
#include "world/stages/stage_table_data.h"

namespace {

constexpr int kLastColumn = kPanelColumns - 1;
constexpr int kMaxPitsPerStage = 2;
// Hills and dips keep this far from anything the stage needs to stand on;
// pits (with their rims) further, so nobody arrives or spawns at an edge.
constexpr int kFeatureClearance = 3;
constexpr int kPitClearance = 5;
// Besides the towns these stages get no pits: the first field, the short
// ridge of stage 6, the boss arena and the final stage.
constexpr int kStagesWithoutPits[] = {2, 6, 32, 61};

[[noreturn]] void Fail(const std::string& what) {
    std::fprintf(stderr, "datagen: stage geometry: %s\n", what.c_str());
    std::exit(1);
}

// A small generator for the panels' shapes, seeded by the panel's name so a
// panel looks the same on every run and in every stage.
class ShapeRandom {
public:
    explicit ShapeRandom(std::string_view name) {
        for (unsigned char c : name) state_ = (state_ ^ c) * 16777619u;
    }
    int Next(int n) {
        state_ = state_ * 1103515245u + 12345u;
        return static_cast<int>((state_ >> 16) & 0x7FFF) % n;
    }

private:
    unsigned state_ = 2166136261u;
};

struct EdgeRange {
    int lo = kHighestFloorRow + 1;  // the highest ground the edge may take: a bump may rise one more
    int hi = kLowestFloorRow;       // the lowest
    int preferred = 11;
};

struct Plan {
    std::array<int, kPanelColumns> fixed;     // the row an anchor needs, or -1
    std::array<int, kPanelColumns> clearance; // columns to the nearest anchor or fixed monster
    EdgeRange edge[2];                        // columns 0 and 19
    std::map<int, int> stages;                // the stages that show the panel, and how often
    bool pitsAllowed = true;
};

using Plans = std::map<std::string, Plan>;
using Join = std::pair<std::string, std::string>;  // left panel, right panel on some stage

int VisiblePanelCount(const StageDef& def) {
    int lastVisible = (def.rightBound + kPanelWidth - 1) / kPanelWidth;
    return std::min(PaintedPanelCount(def), lastVisible - kFirstPaintedPanel + 1);
}

bool StageHasShops(const StageDef& def) {
    for (const ShopDoorDef& door : def.shopDoors)
        if (door.on) return true;
    return false;
}

// The panel file and column within it of a world x on a stage, or null when
// the point lies on no painted panel.
const char* PanelAt(const StageDef& def, int worldX, int& column) {
    int panel = worldX / kPanelWidth - kFirstPaintedPanel;
    if (worldX < 0 || panel < 0 || panel >= PaintedPanelCount(def)) return nullptr;
    column = worldX / 32 - (worldX / kPanelWidth) * kPanelColumns;
    return def.panels[panel];
}

void NoteClearance(Plan& plan, int column) {
    for (int c = 0; c < kPanelColumns; ++c) plan.clearance[c] = std::min(plan.clearance[c], std::abs(c - column));
}

// An anchor holds its own column and one on each side at its row. A panel
// edge next to it may lie lower (the player stands on one foot and steps
// down), never higher, which would bury the arriving player.
void HoldAnchor(Plan& plan, int column, int row) {
    for (int c = column - 1; c <= column + 1; ++c) {
        if (c < 0 || c > kLastColumn) continue;
        if ((c == 0 || c == kLastColumn) && c != column) {
            EdgeRange& edge = plan.edge[c == 0 ? 0 : 1];
            edge.lo = std::max(edge.lo, row);
            edge.hi = std::min(edge.hi, row + kMaxStepRows);
            edge.preferred = row;
            continue;
        }
        // Two arrivals on one spot at different heights get the lower floor,
        // so the higher arrival drops instead of standing in the ground.
        plan.fixed[c] = std::max(plan.fixed[c], row);
    }
}

Plans CollectPlans(std::set<Join>& joins) {
    Plans plans;
    for (int stage = 1; stage <= kStageCount; ++stage) {
        const StageDef& def = kStageTable[stage - 1];
        bool pits = !StageHasShops(def) && std::find(std::begin(kStagesWithoutPits), std::end(kStagesWithoutPits),
                                                      stage) == std::end(kStagesWithoutPits);
        for (int i = 0; i < PaintedPanelCount(def); ++i) {
            auto [it, added] = plans.try_emplace(def.panels[i]);
            Plan& plan = it->second;
            if (added) {
                plan.fixed.fill(-1);
                plan.clearance.fill(kPanelColumns);
                std::string_view name = def.panels[i];
                int preferred = name.rfind("hs", 0) == 0 ? 12 : 11;  // the desert lies a row lower
                plan.edge[0].preferred = plan.edge[1].preferred = preferred;
            }
            if (i < VisiblePanelCount(def)) {
                ++plan.stages[stage];
                plan.pitsAllowed = plan.pitsAllowed && pits;
                if (i + 1 < VisiblePanelCount(def)) joins.insert({def.panels[i], def.panels[i + 1]});
            }
        }
        for (const StageAnchor& anchor : StageAnchors(stage)) {
            int column = 0;
            const char* file = PanelAt(def, anchor.x, column);
            if (file == nullptr) Fail("stage " + std::to_string(stage) + ": an arrival or door on no painted panel");
            Plan& plan = plans[file];
            NoteClearance(plan, column);
            if (!anchor.drops) HoldAnchor(plan, column, anchor.floorRow);
        }
        for (const MonsterPlacement& p : PlacementsOfStage(kGivenPlacements, stage)) {
            int column = 0;
            if (const char* file = PanelAt(def, p.x, column)) NoteClearance(plans[file], column);
        }
    }
    return plans;
}

// An edge must be reachable from the nearest held column in steps of at most
// two rows, each step but the last on a plateau two columns wide.
void LimitEdgesByHeldColumns(const std::string& name, Plan& plan) {
    for (int side = 0; side < 2; ++side) {
        int column = side == 0 ? 0 : kLastColumn;
        EdgeRange& edge = plan.edge[side];
        if (plan.fixed[column] >= 0) {
            edge.lo = std::max(edge.lo, plan.fixed[column]);
            edge.hi = std::min(edge.hi, plan.fixed[column]);
        } else {
            for (int d = 1; d < kPanelColumns; ++d) {
                int c = side == 0 ? d : kLastColumn - d;
                if (plan.fixed[c] < 0) continue;
                int reach = kMaxStepRows * (1 + (d - 1) / 2);
                edge.lo = std::max(edge.lo, plan.fixed[c] - reach);
                edge.hi = std::min(edge.hi, plan.fixed[c] + reach);
                break;
            }
        }
        if (edge.lo > edge.hi) Fail(name + ": its anchors leave no height for its edge");
    }
}

// Neighbouring panels meet within two rows. Narrow the edge ranges until they
// agree, then settle each edge in name order at its preferred height.
void SolveEdges(Plans& plans, const std::set<Join>& joins) {
    auto propagate = [&] {
        for (bool changed = true; changed;) {
            changed = false;
            for (const auto& [left, right] : joins) {
                EdgeRange& a = plans[left].edge[1];
                EdgeRange& b = plans[right].edge[0];
                auto narrow = [&](EdgeRange& e, const EdgeRange& other) {
                    int lo = std::max(e.lo, other.lo - kMaxStepRows), hi = std::min(e.hi, other.hi + kMaxStepRows);
                    if (lo != e.lo || hi != e.hi) changed = true;
                    e.lo = lo;
                    e.hi = hi;
                };
                narrow(a, b);
                narrow(b, a);
                if (a.lo > a.hi || b.lo > b.hi) Fail(left + " and " + right + " cannot meet within two rows");
            }
        }
    };
    propagate();
    for (auto& [name, plan] : plans)
        for (EdgeRange& edge : plan.edge) {
            edge.lo = edge.hi = std::clamp(edge.preferred, edge.lo, edge.hi);
            propagate();
        }
}

// Fills the free columns between two set ones with a stair of two-row steps
// in the middle of the gap, each step but the last two columns deep.
void FillBetween(std::array<int, kPanelColumns>& floor, int left, int right) {
    int gap = right - left - 1;
    if (gap <= 0) return;
    int from = floor[left], to = floor[right];
    int rise = std::abs(to - from), direction = to > from ? 1 : -1;
    int steps = (rise + kMaxStepRows - 1) / kMaxStepRows;
    int landings = std::max(0, steps - 1);
    int width = landings == 0 ? 0 : std::max(1, std::min(2, gap / landings));
    int stair = std::min(gap, landings * width);
    int start = left + 1 + (gap - stair) / 2;
    for (int c = left + 1; c < right; ++c) {
        if (c < start) {
            floor[c] = from;
        } else if (c >= start + stair) {
            floor[c] = to;
        } else {
            int landing = (c - start) / width + 1;
            floor[c] = from + direction * std::min(rise, kMaxStepRows * landing);
        }
    }
}

// A shape laid on flat ground: row offsets from the ground it stands on
// (negative is higher), kPitMark for a column with no floor.
constexpr int kPitMark = 100;
struct Shape {
    std::vector<int> offsets;
    bool pit = false;
};

Shape MakeShape(ShapeRandom& random, bool pit) {
    Shape shape;
    if (pit) {
        // A rim one row high on each side keeps walking monsters out: they
        // turn at any step up.
        int width = 2 + random.Next(kMaxPitColumns - 1);
        shape.offsets.push_back(-1);
        shape.offsets.insert(shape.offsets.end(), static_cast<std::size_t>(width), kPitMark);
        shape.offsets.push_back(-1);
        shape.pit = true;
        return shape;
    }
    switch (random.Next(5)) {
        case 0:  // a low bump
            shape.offsets.assign(static_cast<std::size_t>(2 + random.Next(4)), -1);
            break;
        case 1:
        case 2:  // a hill
            shape.offsets.assign(static_cast<std::size_t>(3 + random.Next(3)), -2);
            break;
        case 3: {  // a stepped rise whose top reaches flying monsters
            int top = 2 + random.Next(2);
            shape.offsets.assign(static_cast<std::size_t>(top + 4), -2);
            for (int i = 2; i < top + 2; ++i) shape.offsets[static_cast<std::size_t>(i)] = -4;
            break;
        }
        default:  // a hollow
            shape.offsets.assign(static_cast<std::size_t>(3 + random.Next(3)), 1);
            break;
    }
    return shape;
}

// Lays a shape where the ground is flat from two columns before it to two
// after, away from anchors and panel edges and from other shapes.
bool LayShape(const Shape& shape, ShapeRandom& random, const Plan& plan, std::array<int, kPanelColumns>& floor,
              std::array<bool, kPanelColumns>& used) {
    int length = static_cast<int>(shape.offsets.size());
    int clearance = shape.pit ? kPitClearance : kFeatureClearance;
    std::vector<int> starts;
    for (int s = 2; s + length + 2 <= kPanelColumns; ++s) {
        int ground = floor[s];
        bool fits = true;
        for (int c = s - 2; c < s + length + 2 && fits; ++c) fits = floor[c] == ground && !used[c];
        for (int c = s; c < s + length && fits; ++c) {
            int off = shape.offsets[c - s];
            fits = plan.fixed[c] < 0 && plan.clearance[c] >= clearance &&
                   (off == kPitMark || (ground + off >= kHighestFloorRow && ground + off <= kLowestFloorRow));
        }
        if (fits) starts.push_back(s);
    }
    if (starts.empty()) return false;
    int s = starts[random.Next(static_cast<int>(starts.size()))];
    int ground = floor[s];
    for (int c = s - 1; c < s + length + 1; ++c) used[c] = true;
    for (int c = s; c < s + length; ++c) {
        int off = shape.offsets[c - s];
        floor[c] = off == kPitMark ? kNoFloor : ground + off;
    }
    return true;
}

std::vector<PanelProfile> BuildProfiles() {
    std::set<Join> joins;
    Plans plans = CollectPlans(joins);
    for (auto& [name, plan] : plans) LimitEdgesByHeldColumns(name, plan);
    SolveEdges(plans, joins);

    std::map<int, int> pitsOfStage;
    std::vector<PanelProfile> profiles;
    for (auto& [name, plan] : plans) {
        PanelProfile profile{name, plan.fixed};
        profile.floor[0] = plan.edge[0].lo;
        profile.floor[kLastColumn] = plan.edge[1].lo;
        for (int left = 0; left < kLastColumn;) {
            int right = left + 1;
            while (profile.floor[right] < 0) ++right;
            FillBetween(profile.floor, left, right);
            left = right;
        }

        ShapeRandom random(name);
        std::array<bool, kPanelColumns> used{};
        int shapes = 1 + random.Next(2);
        for (int k = 0; k < shapes; ++k) {
            // A pit shows wherever the panel does: count it on every stage as
            // often as the stage shows the panel.
            bool pitRoom = plan.pitsAllowed && !plan.stages.empty();
            for (auto [stage, uses] : plan.stages) pitRoom = pitRoom && pitsOfStage[stage] + uses <= kMaxPitsPerStage;
            bool pit = pitRoom && random.Next(2) == 0;
            if (LayShape(MakeShape(random, pit), random, plan, profile.floor, used) && pit)
                for (auto [stage, uses] : plan.stages) pitsOfStage[stage] += uses;
        }
        profiles.push_back(std::move(profile));
    }
    return profiles;
}

}  // namespace

const std::vector<PanelProfile>& PanelProfiles() {
    static const std::vector<PanelProfile> profiles = BuildProfiles();
    return profiles;
}

const PanelProfile* FindPanelProfile(std::string_view name) {
    for (const PanelProfile& profile : PanelProfiles())
        if (profile.name == name) return &profile;
    return nullptr;
}
