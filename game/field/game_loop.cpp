#include "field/game_loop.h"

#include "engine/frame_input.h"
#include "engine/frame_pacing.h"
#include "engine/handles.h"
#include "field/field_drawing.h"
#include "field/hud.h"
#include "field/monster_movement.h"
#include "field/player_actions.h"
#include "field/player_character.h"
#include "field/stage_flow.h"
#include "kelvo/api.h"
#include "rules/milestones.h"
#include "rules/player_action_state.h"
#include "rules/player_motion.h"
#include "rules/player_record.h"
#include "rules/quit_path.h"
#include "rules/save_data.h"
#include "rules/stats.h"
#include "rules/sub_screen.h"
#include "screens/sub_screen_step.h"
#include "screens/system_menu.h"
#include "world/stages/stage_loader.h"

namespace {

// Where a new game starts: stage 1 at camera x 2096, y 192, screen x 320.
constexpr std::int32_t kNewGameCameraX = 2096;
constexpr std::int32_t kNewGamePlayerY = 192;
constexpr std::int32_t kNewGameScreenX = 320;

// The menu key opens the system menu only in field play, on the ground, with
// no attack or skill running.
void CheckMenuKey() {
    if ((g_FrameInputState.newlyPressed & kPadMenu) == 0) return;
    if (g_PlayerMotion.airborne != 0 || g_SubScreenMode != kSubScreenNone) return;
    if (g_PlayerActionState.attackActive != 0 || IsSkillRunning()) return;
    g_SubScreenMode = kSubScreenSystemMenu;
    ApiPlaySoundHandle(g_SoundEffectHandles[kSoundCancel], 1, 1);
}

// The player and the monsters move; false after a fall into a pit.
bool UpdateField() {
    ++g_FieldFrameCounter;
    UpdatePlayerActions();
    if (g_PlayerMotion.y > kPitDepth) {
        TakePitPath();
        return false;
    }
    MoveMonsters();
    return true;
}

FrameResult FromSubScreen(SubScreenOutcome outcome) {
    switch (outcome) {
        case SubScreenOutcome::kNextFrame:
            return FrameResult::kNextFrame;
        case SubScreenOutcome::kQuitToTitle:
            return FrameResult::kQuitToTitle;
        default:
            return FrameResult::kPresented;
    }
}

}  // namespace

void StartGame() {
    if (g_LoadedGameFlag != 0) {
        LoadStage(g_PlayerRecord.stage);
    } else {
        StartProgressRecord();
        g_PlayerRecord.arrivalCameraX = kNewGameCameraX;
        g_PlayerRecord.arrivalPlayerY = kNewGamePlayerY;
        g_PlayerRecord.arrivalScreenX = kNewGameScreenX;
        LoadStage(1);
    }
    g_SubScreenMode = kSubScreenNone;
    g_SystemMenuCursor = 0;
    ApiClearDrawTarget();
    ApiSetDefaultFontSize(16);
    ApiSetDefaultFontThickness(9);
}

FrameResult RunGameFrame() {
    if (ApiProcessMessage() != 0) {
        // The window was closed: the game is saved before the program ends.
        TakeQuitPath();
        return FrameResult::kQuitToTitle;
    }
    WaitForNextFrame();
    ReadFrameInput();
    CheckMenuKey();
    RecomputeStatTotals();
    if (g_SubScreenMode == kSubScreenNone && !UpdateField()) return FrameResult::kNextFrame;

    DrawFieldLayers();
    DrawShopDoors();
    if (RunMonsterRoutines()) return FrameResult::kNextFrame;

    if (g_SubScreenMode == kSubScreenNone)
        UpdatePlayer(g_PlayerSheet, g_PlayerMotion.horizontalSpeed, g_PlayerMotion.facing);
    else
        DrawPlayerFrozen(g_PlayerSheet, g_PlayerMotion.horizontalSpeed, g_PlayerMotion.facing);

    if (TakeEdgeExit()) return FrameResult::kNextFrame;
    if (RunWarpDoors()) return FrameResult::kQuitToTitle;

    DrawFieldOverlays();
    DrawHud();

    const FrameResult result = FromSubScreen(RunSubScreenStep());
    if (result != FrameResult::kPresented) return result;
    ApiPresentScreen();
    return FrameResult::kPresented;
}
