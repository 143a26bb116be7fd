#include "front/main_loop.h"

#include "engine/frame_pacing.h"
#include "field/game_loop.h"
#include "front/title_menu.h"
#include "rules/player_motion.h"

int GameLoop() {
    g_PlayerMotion.verticalSpeed = 0.0f;
    g_PlayerMotion.airborne = 0;
    ResetFrameInput();
    for (;;) {
        RunTitleMenu();
        if (g_GameStartFlag == 0) return 0;
        StartGame();
        while (RunGameFrame() != FrameResult::kQuitToTitle) {
        }
    }
}
