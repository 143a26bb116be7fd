#include "stage_maps.h"

#include <array>

#include "stage_anchors.h"
#include "stage_geometry.h"
#include "world/stages/stage_table_data.h"

namespace {

// Columns left of this, and from two past the right exit on, are solid from
// top to bottom: nobody sees them, and walking monsters turn there instead
// of wandering off.
constexpr int kLeftWallEnd = 58;
constexpr int kRightWallGap = 3;

}  // namespace

CollisionGrid MakeStageMap(int stage) {
    const StageDef& def = kStageTable[stage - 1];
    int painted = PaintedPanelCount(def);
    int firstColumn = kFirstPanelColumn, endColumn = kFirstPanelColumn + painted * kPanelColumns;
    int wallFrom = RightExitColumn(stage) + kRightWallGap;

    std::array<int, kCollisionColumns> floor{};
    for (int i = 0; i < painted; ++i) {
        const PanelProfile* profile = FindPanelProfile(def.panels[i]);
        for (int c = 0; c < kPanelColumns; ++c) floor[firstColumn + i * kPanelColumns + c] = profile->floor[c];
    }
    // Past the painted panels the ground goes on as it ends, up to the walls.
    for (int c = 0; c < firstColumn; ++c) floor[c] = floor[firstColumn];
    for (int c = endColumn; c < kCollisionColumns; ++c) floor[c] = floor[endColumn - 1];
    for (int c = 0; c < kCollisionColumns; ++c)
        if (c < kLeftWallEnd || c >= wallFrom) floor[c] = 0;

    CollisionGrid grid{};
    for (int r = 0; r < kCollisionRows; ++r)
        for (int c = 0; c < kCollisionColumns; ++c)
            grid.cells[r * kCollisionColumns + c] = r >= floor[c] ? kCellSolid : kCellEmpty;
    return grid;
}

std::vector<std::uint8_t> EncodeCollisionMap(const CollisionGrid& grid) {
    std::vector<std::uint8_t> text;
    text.reserve(kCollisionRows * (kCollisionColumns + 2));
    for (int r = 0; r < kCollisionRows; ++r) {
        for (int c = 0; c < kCollisionColumns; ++c)
            text.push_back(grid.cells[r * kCollisionColumns + c] == kCellSolid ? '1' : '0');
        text.push_back('\r');
        text.push_back('\n');
    }
    return text;
}
