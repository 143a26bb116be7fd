#include "screens/system_menu.h"

#include <cmath>

#include <kelvo/api.h>

#include "engine/frame_input.h"
#include "engine/frame_pacing.h"
#include "engine/glyph_text.h"
#include "engine/handles.h"
#include "engine/menu_cursor.h"
#include "rules/derived_stats.h"
#include "rules/key_config.h"
#include "rules/player_record.h"
#include "rules/quit_path.h"
#include "rules/sub_screen.h"
#include "screens/sub_screen_drawing.h"
#include "world/stages/stage_loader.h"

std::int32_t g_SystemMenuCursor = 0;
std::int32_t g_SystemMenuFrameCounter = 0;

namespace {

const char* const kEntryWords[kSystemMenuEntryCount] = {"RETURN", "STATUS", "BACK TO TOWN", "EXIT"};
constexpr int kEntryX = 272;
constexpr int kCursorX = 220;

// Entry e stands at y 160 + 64e, its cursor 8 pixels higher.
int EntryBaseY(int entry) { return 32 * (2 * entry + 5); }

void GoBackToTown() {
    PlayerRecord& player = g_PlayerRecord;
    player.arrivalCameraX = kTownArrivalCameraX;
    player.arrivalPlayerY = kTownArrivalPlayerY;
    player.arrivalScreenX = kTownArrivalScreenX;
    ClearPressed();
    g_SubScreenMode = kSubScreenNone;
    // The loader sets the stage byte to 1.
    LoadStage(1);
}

void LeaveForTitle() {
    for (int handle : g_MusicTable) ApiStopSoundHandle(handle);
    g_SystemMenuCursor = kSystemMenuReturn;
    TakeQuitPath();
}

}  // namespace

SubScreenOutcome RunSystemMenuFrame() {
    std::int32_t& t = g_SystemMenuFrameCounter;
    CountFrame(t);
    DrawTranslucentBox(0, 0, 640, 480, ApiMakeColorCode(0, 0, 0), 64);

    std::int32_t& cursor = g_SystemMenuCursor;
    ApiBlitGraph(kCursorX, EntryBaseY(cursor) - 8, g_CursorFrames[CursorFrameIndex(t)], 1);
    // The entry under the cursor waves up and down.
    const double wave = 15.0 * std::sin(t / 20.0);
    for (int entry = 0; entry < kSystemMenuEntryCount; ++entry) {
        int y = EntryBaseY(entry);
        if (entry == cursor) y = static_cast<int>(y + wave);
        DrawGlyphText(kEntryWords[entry], kEntryX, y, 0, kSubScreenGlyphPitch);
    }

    const std::uint32_t pressed = g_FrameInputState.newlyPressed;
    if ((pressed & g_KeyMasks[kKeyDecideJump]) != 0) {
        PlayMenuSound(kSoundConfirm);
        switch (cursor) {
            case kSystemMenuReturn:
                g_SubScreenMode = kSubScreenNone;
                break;
            case kSystemMenuStatus:
                // No banner and no refill when the status screen is left.
                g_DerivedStats.levelUpBannerTimer = kBannerFromMenu;
                g_SubScreenMode = kSubScreenStatus;
                break;
            case kSystemMenuBackToTown:
                GoBackToTown();
                return SubScreenOutcome::kNextFrame;
            case kSystemMenuExit:
                LeaveForTitle();
                return SubScreenOutcome::kQuitToTitle;
            default:
                break;
        }
    }
    MoveMenuCursor(cursor, kSystemMenuEntryCount, kPadDown, kPadUp);
    return SubScreenOutcome::kPresent;
}
