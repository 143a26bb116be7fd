#include "stage_anchors.h"

#include "world/stages/stage_state.h"
#include "world/stages/stage_table_data.h"

namespace {

// A new game and BACK TO TOWN put the player here on stage 1, in the air: it
// drops onto the ground below.
constexpr int kNewGameStage = 1;
constexpr int kNewGameX = 2096 + 320;
constexpr int kNewGameY = 192;

void AddArrival(std::vector<StageAnchor>& out, const StageLink& link, int stage) {
    if (link.destination != stage) return;
    out.push_back({AnchorKind::Arrival, link.arrivalCameraX + link.arrivalScreenX, ArrivalFloorRow(link.arrivalPlayerY)});
}

}  // namespace

std::vector<StageAnchor> StageAnchors(int stage) {
    std::vector<StageAnchor> out;
    for (const StageDef& from : kStageTable) {
        AddArrival(out, from.leftExit, stage);
        AddArrival(out, from.rightExit, stage);
        if (from.warpDoor.present) AddArrival(out, from.warpDoor.to, stage);
    }
    if (stage == kNewGameStage) {
        out.push_back({AnchorKind::Arrival, kNewGameX, ArrivalFloorRow(kNewGameY), true});
    }
    const StageDef& def = kStageTable[stage - 1];
    if (def.warpDoor.present) out.push_back({AnchorKind::WarpDoor, def.warpDoor.x, DoorFloorRow(def.warpDoor.y)});
    for (const ShopDoorDef& door : def.shopDoors)
        if (door.on) out.push_back({AnchorKind::ShopDoor, door.x, DoorFloorRow(door.y)});
    return out;
}

int RightExitColumn(int stage) { return (kStageTable[stage - 1].rightBound + kPanelWidth) / 32; }

int LeftExitX() { return kCameraLeftBound; }
