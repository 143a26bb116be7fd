#include "field/stage_flow.h"

#include "engine/frame_input.h"
#include "engine/handles.h"
#include "field/full_screen_sequences.h"
#include "kelvo/api.h"
#include "rules/gallery_flags.h"
#include "rules/milestones.h"
#include "rules/player_motion.h"
#include "rules/player_record.h"
#include "rules/quit_path.h"
#include "rules/sub_screen.h"
#include "world/monsters/monster_kind_params.h"
#include "world/monsters/monster_routines.h"
#include "world/stages/stage_exit.h"
#include "world/stages/stage_loader.h"
#include "world/stages/stage_state.h"
#include "world/stages/warp_door.h"

namespace {

constexpr int kWarpDoorFrameCount = 6;
constexpr int kFramesPerDoorFrame = 12;

void ReloadStage() { LoadStage(g_PlayerRecord.stage); }

// Takes the arrival words of an exit or door, and forgets this frame's
// presses so they do nothing more in the new stage.
void ArriveBy(std::int32_t cameraX, std::int32_t playerY, std::int32_t screenX) {
    g_PlayerRecord.arrivalCameraX = cameraX;
    g_PlayerRecord.arrivalPlayerY = playerY;
    g_PlayerRecord.arrivalScreenX = screenX;
    g_FrameInputState.newlyPressed = 0;
}

bool TakeExit(const StageExit& exit) {
    ArriveBy(exit.arrivalCameraX, exit.arrivalPlayerY, exit.arrivalScreenX);
    LoadStage(exit.destination);
    return true;
}

int WarpDoorFrame() {
    const int frame = g_FieldFrameCounter / kFramesPerDoorFrame % kWarpDoorFrameCount;
    return frame < 0 ? frame + kWarpDoorFrameCount : frame;
}

// UP in front of the door, in field play. The bounds are strict.
bool EntersDoor(const WarpDoor& door) {
    if ((g_FrameInputState.newlyPressed & kPadUp) == 0 || g_SubScreenMode != kSubScreenNone) return false;
    const double x = g_PlayerMotion.screenX, y = g_PlayerMotion.y;
    const double camera = g_StageState.cameraX;
    return x + 16.0 > door.x - 8.0 - 32.0 - camera && x - 16.0 < door.x + 8.0 + 32.0 - camera &&
           y + 56.0 > door.y + 16.0 && y - 56.0 < door.y + 28.0;
}

void RunEnding(WarpDoor& door) {
    ShowEnding();
    g_ReturnedFromGameFlag = 1;
    door.destination = kStageAfterEnding;
    g_PlayerRecord.stage = kStageAfterEnding;
    for (int handle : g_MusicTable) ApiStopSoundHandle(handle);
    TakeQuitPath();
}

}  // namespace

void TakePitPath() {
    CheckMilestones();
    PlayerRecord& p = g_PlayerRecord;
    p.hp -= p.maxHp / 2;
    if (p.hp < 1) p.hp = 1;
    p.sp -= p.maxSp / 2;
    if (p.sp < 1) p.sp = 0;
    ReloadStage();
}

bool RunMonsterRoutines() {
    for (int kind : kMonsterRoutineOrder) {
        RunMonsterKind(kind);
        if (g_PlayerRecord.hp != 0) continue;
        g_DefeatPictureIndex = kMonsterKindParams[kind].defeatPicture;
        ShowGameOver();
        ReloadStage();
        return true;
    }
    return false;
}

bool TakeEdgeExit() {
    const float x = g_PlayerMotion.screenX;
    if (g_LeftEdgeExit.enabled == 1 && x <= 0.0f) return TakeExit(g_LeftEdgeExit);
    if (g_RightEdgeExit.enabled == 1 && x >= 640.0f) return TakeExit(g_RightEdgeExit);
    return false;
}

bool RunWarpDoors() {
    for (WarpDoor& door : g_WarpDoors) {
        if (door.alive != 1) continue;
        ApiBlitGraph(static_cast<int>(door.x - 64.0 - g_StageState.cameraX), static_cast<int>(door.y - 36.0),
                     g_WarpDoorFrames[WarpDoorFrame()], 1);
        if (!EntersDoor(door)) continue;
        ArriveBy(door.arrivalCameraX, door.arrivalPlayerY, door.arrivalScreenX);
        if (door.destination == kEndingDestination) {
            RunEnding(door);
            return true;
        }
        LoadStage(door.destination);
    }
    return false;
}
