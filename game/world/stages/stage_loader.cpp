#include "world/stages/stage_loader.h"

#include "engine/game_log.h"
#include "kelvo/api.h"
#include "rules/player_action_state.h"
#include "rules/player_motion.h"
#include "rules/player_record.h"
#include "world/monsters/actor_pools.h"
#include "world/monsters/monster_record.h"
#include "world/stages/shop_door.h"
#include "world/stages/stage_event_state.h"
#include "world/stages/stage_exit.h"
#include "world/stages/stage_setup.h"
#include "world/stages/stage_state.h"
#include "world/stages/warp_door.h"

namespace {

constexpr int kNoImage = -1;

// Releases a handle and forgets it, so that a later release (after a stage
// number that sets nothing up, or from the title screen) cannot free a
// graphic that has since been given the same handle value.
void ReleaseStageImage(int& handle) {
    ApiReleaseGraph(handle, 0);
    handle = kNoImage;
}

void SetEdgeExit(StageExit& exit, std::int32_t arrivalCameraX, std::int32_t arrivalPlayerY,
                 std::int32_t destination, std::int8_t enabled, std::int32_t arrivalScreenX) {
    exit.arrivalCameraX = arrivalCameraX;
    exit.arrivalPlayerY = arrivalPlayerY;
    exit.destination = destination;
    exit.enabled = enabled;
    exit.arrivalScreenX = arrivalScreenX;
}

}  // namespace

void ReleaseStageImages() {
    ReleaseStageImage(g_StageState.farLayerImages[0]);
    ReleaseStageImage(g_StageState.farLayerImages[1]);
    ReleaseStageImage(g_StageState.middleLayerImage);
    for (int& panel : g_StageState.panelImages) ReleaseStageImage(panel);
}

void ResetStageActors() {
    for (int slot = 0; slot < kMonsterSlotCount; ++slot) {
        for (auto& pool : g_MonsterPools) pool[slot].alive = kMonsterFree;
        g_WarpDoors[slot].alive = 0;
    }
    for (ShopDoor& door : g_ShopDoors) door.on = 0;

    // An attack or the up skill must not carry over into the new stage.
    EndAttack();
    PlayerActionState& action = g_PlayerActionState;
    action.skillCActive = 0;
    action.skillCTimer = 0.0f;
    action.lungeSpeed = 0.0f;

    for (auto& pool : g_MonsterPools)
        for (MonsterRecord& monster : pool) monster.skillHitCount = 0;

    // The player arrives in the air (the first move lands it) and stops on
    // the next field frame.
    g_PlayerMotion.airborne = 1;
    g_PlayerMotion.verticalSpeed = 0.0f;
    g_PlayerMotion.stopRequest = 1;

    ClearActorPools();
    ResetStageEvents();

    ApiSetBrightColor(255, 255, 255);
}

void LoadStage(int stageNumber) {
    ResetStageActors();

    // The stage byte keeps the low 8 bits, read back with sign.
    g_PlayerRecord.stage = static_cast<std::int8_t>(static_cast<std::uint8_t>(stageNumber & 0xFF));

    g_StageState.cameraX = static_cast<float>(g_PlayerRecord.arrivalCameraX);
    g_PlayerMotion.y = static_cast<float>(g_PlayerRecord.arrivalPlayerY);
    g_PlayerMotion.screenX = static_cast<float>(g_PlayerRecord.arrivalScreenX);

    PlayStageMusic();
    ReleaseStageImages();

    if (stageNumber >= 1 && stageNumber <= kStageCount)
        SetupStage(stageNumber);
    else
        GameLog("stage %d does not exist: nothing is set up", stageNumber);
}

void SetRightEdgeExit(std::int32_t arrivalCameraX, std::int32_t arrivalPlayerY, std::int32_t destination,
                      std::int8_t enabled, std::int32_t arrivalScreenX) {
    SetEdgeExit(g_RightEdgeExit, arrivalCameraX, arrivalPlayerY, destination, enabled, arrivalScreenX);
}

void SetLeftEdgeExit(std::int32_t arrivalCameraX, std::int32_t arrivalPlayerY, std::int32_t destination,
                     std::int8_t enabled, std::int32_t arrivalScreenX) {
    SetEdgeExit(g_LeftEdgeExit, arrivalCameraX, arrivalPlayerY, destination, enabled, arrivalScreenX);
}

void PlaceWarpDoor(std::int8_t slot, float x, float y, std::int32_t arrivalCameraX, std::int32_t arrivalPlayerY,
                   std::int32_t destination, std::uint8_t alive, std::int32_t arrivalScreenX) {
    if (slot < 0 || slot >= kWarpDoorCount) {
        GameLog("warp door slot %d refused", slot);
        return;
    }
    g_WarpDoors[slot] = {x, y, arrivalCameraX, arrivalPlayerY, destination, arrivalScreenX, alive};
}
