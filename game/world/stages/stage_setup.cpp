#include "world/stages/stage_setup.h"

#include <cstdio>

#include "engine/game_log.h"
#include "kelvo/api.h"
#include "rules/player_motion.h"
#include "world/monsters/monster_placement.h"
#include "world/stages/collision_map.h"
#include "world/stages/stage_loader.h"
#include "world/stages/stage_placements.h"
#include "world/stages/stage_table_data.h"
#include "world/stages/warp_door.h"

namespace {

int LoadStageImage(const char* name) {
    char path[64];
    std::snprintf(path, sizeof path, "bmp\\%s.bmp", name);
    return ApiLoadImageToGraph(path, 0);
}

// Panels left of the painted ones and past the last of them are black.
const char* PanelName(const StageDef& def, int panel) {
    int painted = panel - kFirstPaintedPanel;
    if (painted >= 0 && painted < PaintedPanelCount(def)) return def.panels[painted];
    return "black";
}

void LoadStageImages(const StageDef& def) {
    for (int i = 0; i < kStagePanelCount; ++i) {
        if (i < kStageFarLayerCount) g_StageState.farLayerImages[i] = LoadStageImage(def.farLayers[i]);
        // Panel 1 lies wholly left of the camera's left bound: it gets no image.
        if (i == 1) continue;
        g_StageState.panelImages[i] = LoadStageImage(PanelName(def, i));
    }
}

}  // namespace

const StageDef* FindStageDef(int stageNumber) {
    if (stageNumber < 1 || stageNumber > kStageCount) return nullptr;
    return &kStageTable[stageNumber - 1];
}

void SetupStage(int stageNumber) {
    const StageDef* def = FindStageDef(stageNumber);
    if (def == nullptr) return;

    g_StageState.cameraLeftBound = kCameraLeftBound;
    g_StageState.cameraRightBound = def->rightBound;

    LoadStageImages(*def);
    ReadStageCollisionMap(stageNumber);

    g_StageState.farLayerDivisor = def->farDivisor;
    g_StageState.middleLayerDivisor = def->middleDivisor;
    g_StageState.panelDivisor = def->panelDivisor;
    g_StageState.fadeCounter = kStageFadeFrames;

    // Slots the stage does not use stay off, as the reset left them.
    for (int slot = 0; slot < kShopDoorCount; ++slot) {
        const ShopDoorDef& door = def->shopDoors[slot];
        if (!door.on) continue;
        g_ShopDoors[slot] = {door.x, door.y, 1};
    }

    // In call order: the random speeds are drawn in this order.
    for (const MonsterPlacement& p : StagePlacements(stageNumber)) {
        if (PlaceMonster(p.kind, p.slot, static_cast<float>(p.x), static_cast<float>(p.y)) != 0)
            GameLog("stage %d: monster placement of kind %d into slot %d refused", stageNumber, p.kind, p.slot);
    }

    if (def->warpDoor.present) {
        const WarpDoorDef& door = def->warpDoor;
        PlaceWarpDoor(kStageWarpDoorSlot, static_cast<float>(door.x), static_cast<float>(door.y),
                      door.to.arrivalCameraX, door.to.arrivalPlayerY, door.to.destination, 1,
                      door.to.arrivalScreenX);
    }

    // LoadStage has already put the player at the arrival screen x: arriving
    // at the left end faces into the stage, arriving mid-screen or at the
    // right end faces left.
    if (def->facingSet) g_PlayerMotion.facing = g_PlayerMotion.screenX < 320.0f ? 0 : 1;

    SetLeftEdgeExit(def->leftExit.arrivalCameraX, def->leftExit.arrivalPlayerY, def->leftExit.destination, 1,
                    def->leftExit.arrivalScreenX);
    SetRightEdgeExit(def->rightExit.arrivalCameraX, def->rightExit.arrivalPlayerY, def->rightExit.destination, 1,
                     def->rightExit.arrivalScreenX);
}
