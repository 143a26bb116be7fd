#include "front/title_menu.h"

#include "engine/frame_input.h"
#include "engine/frame_pacing.h"
#include "engine/menu_cursor.h"
#include "field/full_screen_sequences.h"
#include "front/cg_gallery.h"
#include "front/key_config_screen.h"
#include "front/title_drawing.h"
#include "kelvo/api.h"
#include "rules/key_config.h"
#include "rules/player_action_state.h"
#include "rules/player_record.h"
#include "rules/quit_path.h"
#include "rules/save_data.h"
#include "world/stages/stage_loader.h"
#include "world/stages/stage_state.h"

std::uint8_t g_GameStartFlag = 0;

namespace {

constexpr int kKeyEscape = 1;  // the framework's key code of Escape
constexpr int kMainMenuRows = 4;
constexpr int kDifficultyRows = kDifficultyCount;

std::uint32_t Pressed() { return g_FrameInputState.newlyPressed; }
bool DecidePressed() { return (Pressed() & g_KeyMasks[kKeyDecideJump]) != 0; }

// A game about to start must not inherit a running side or up skill.
void ClearSkillStates() {
    PlayerActionState& action = g_PlayerActionState;
    action.skillBState = kSkillReady;
    action.skillBTimer = 0;
    action.skillBPower = 0;
    action.skillBRecoveryCounter = 0;
    action.skillCState = kSkillReady;
    action.skillCTimer = 0.0f;
    action.skillCScrollOffset = 0.0f;
}

void RunTitleScreenBlock(TitleMenu& menu) {
    ApiSetDefaultFontSize(20);
    if (Pressed() & (g_KeyMasks[kKeyDecideJump] | g_KeyMasks[kKeyCancelAttack] | kPadUp | kPadDown))
        menu.state = kTitleMainMenu;
}

// False when the menu returns: EXIT chosen.
bool RunMainMenuBlock(TitleMenu& menu) {
    MoveMenuCursor(menu.mainCursor, kMainMenuRows, kPadDown, kPadUp);
    if (DecidePressed()) {
        switch (menu.mainCursor) {
            case kMenuGameMode:
                // The press stays: the file-select block has already run
                // this frame, so it cannot also choose a slot.
                PlayMenuSound(kSoundConfirm);
                LoadFileSummaries();
                menu.state = kTitleFileSelect;
                break;
            case kMenuCgMode:
                PlayMenuSound(kSoundConfirm);
                menu.state = kTitleGalleryGrid;
                break;
            case kMenuKeyConfig:
                PlayMenuSound(kSoundConfirm);
                menu.state = kTitleKeyConfig;
                menu.keyConfigCursor = 0;
                ClearPressed();
                break;
            case kMenuExit:
                PlayMenuSound(kSoundConfirm);
                return false;
        }
    }
    CancelTo(menu, kTitleScreen);
    return true;
}

void EnterDifficultySelect(TitleMenu& menu) {
    menu.difficultyCursor = kDifficultyNormal;
    menu.state = kTitleDifficulty;
}

// False when the menu returns with a loaded game.
bool RunFileSelectBlock(TitleMenu& menu) {
    MoveMenuCursor(menu.slotCursor, kSaveSlotCount, kPadDown, kPadUp);
    if (DecidePressed()) {
        PlayMenuSound(kSoundConfirm);
        if (g_FileSummary.stage[menu.slotCursor] == kEmptySlotStage) {
            EnterDifficultySelect(menu);
        } else {
            g_GameStartFlag = 1;
            g_PlayerRecord.saveSlot = menu.slotCursor;
            g_LoadedGameFlag = 1;
            if (LoadGameFile()) {
                ClearSkillStates();
                return false;
            }
            // The save failed its checks: the slot is empty now (its summary
            // says so) and gets a new game.
            g_GameStartFlag = 0;
            g_LoadedGameFlag = 0;
            EnterDifficultySelect(menu);
        }
    }
    CancelTo(menu, kTitleMainMenu);
    return true;
}

// False when the menu returns with a new game.
bool RunDifficultyBlock(TitleMenu& menu) {
    MoveMenuCursor(menu.difficultyCursor, kDifficultyRows, kPadDown, kPadUp);
    if (DecidePressed()) {
        PlayMenuSound(kSoundConfirm);
        g_GameStartFlag = 1;
        InitNewGame();
        g_PlayerRecord.saveSlot = menu.slotCursor;
        g_PlayerRecord.difficulty = menu.difficultyCursor;
        ShowQuestStart();
        ClearSkillStates();
        return false;
    }
    CancelTo(menu, kTitleFileSelect);
    return true;
}

}  // namespace

void CancelTo(TitleMenu& menu, TitleMenuStateValue to) {
    if ((Pressed() & g_KeyMasks[kKeyCancelAttack]) == 0) return;
    PlayMenuSound(kSoundCancel);
    menu.state = to;
    ClearPressed();
}

int CursorFrame(std::int32_t frame) { return g_CursorFrames[(frame / 5) % 30]; }

void DimScreen() {
    ApiSetBlendModeParam(kBlendAlpha, 128);
    ApiPaintBox(0, 0, 640, 480, ApiMakeColorCode(0, 0, 0), 1);
    ApiSetBlendModeParam(kBlendNone, 0);
}

void BeginTitleMenu(TitleMenu& menu) {
    menu = TitleMenu{};
    menu.state = kTitleScreen;
    menu.frame = -1;
    g_GameStartFlag = 0;
    g_ReturnedFromGameFlag = 0;
    ApiSelectDrawTarget(kDrawTargetBack);
    ApiSetVBlankWait(0);
    ResetFrameInput();

    // The title borrows the stage's far layer for its own background.
    ReleaseStageImages();
    g_StageState.farLayerImages[0] = ApiLoadImageToGraph("bmp\\thaik1.bmp", 0);
    g_StageState.farLayerImages[1] = ApiLoadImageToGraph("bmp\\thaik2.bmp", 0);
    g_StageState.farLayerDivisor = 3;
    g_StageState.middleLayerDivisor = kLayerNotDrawn;
    g_StageState.panelDivisor = kLayerNotDrawn;

    menu.scroll = 1280.0f;
    ApiClearDrawTarget();
}

bool RunTitleMenuFrame(TitleMenu& menu) {
    if (ApiProcessMessage() != 0) return false;
    // Escape ends the program from every screen of the menu.
    if (ApiIsKeyDown(kKeyEscape) != 0) return false;
    ++menu.frame;
    WaitForNextFrame();
    menu.scroll += 0.5f;
    ReadFrameInput();

    DrawTitleBackground(menu.scroll);
    DrawTitlePortraitAndLogo(menu.frame);

    // The blocks run in this order within a frame: a state entered from a
    // block further up runs its own block in the same frame, one entered from
    // further down waits for the next frame.
    if (menu.state == kTitleGalleryGrid) RunGalleryGridBlock(menu);
    if (menu.state == kTitleGalleryView) RunGalleryViewBlock(menu);
    if (menu.state == kTitleDifficulty && !RunDifficultyBlock(menu)) return false;
    if (menu.state == kTitleFileSelect && !RunFileSelectBlock(menu)) return false;
    if (menu.state == kTitleMainMenu && !RunMainMenuBlock(menu)) return false;
    if (menu.state == kTitleKeyConfig) RunKeyConfigBlock(menu);
    if (menu.state == kTitleScreen) RunTitleScreenBlock(menu);

    DrawMenuCaptions(menu);
    ApiPresentScreen();
    return true;
}

void RunTitleMenu() {
    TitleMenu menu;
    BeginTitleMenu(menu);
    while (RunTitleMenuFrame(menu)) {
    }
}
