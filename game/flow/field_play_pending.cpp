// Field play is not built yet. Until it is, a game that starts loads its
// stage and goes straight back to the title, and the QUEST START banner is
// skipped. The game loop's own work replaces this file.
#include "flow/frame_pacing.h"
#include "flow/full_screen_sequences.h"
#include "flow/game_loop.h"
#include "flow/player_motion.h"
#include "flow/player_record.h"
#include "flow/save_data.h"
#include "flow/title_menu.h"
#include "world/stage_loader.h"

void ShowQuestStart() {}

int GameLoop() {
    g_PlayerMotion.verticalSpeed = 0.0f;
    g_PlayerMotion.airborne = 0;
    ResetFrameInput();
    for (;;) {
        RunTitleMenu();
        if (g_GameStartFlag == 0) return 0;
        if (g_LoadedGameFlag != 0) {
            LoadStage(g_PlayerRecord.stage);
        } else {
            g_PlayerRecord.arrivalCameraX = 2096;
            g_PlayerRecord.arrivalPlayerY = 192;
            g_PlayerRecord.arrivalScreenX = 320;
            LoadStage(1);
        }
    }
}
