#include "front/key_config_screen.h"

#include "engine/frame_input.h"
#include "engine/frame_pacing.h"
#include "engine/menu_cursor.h"
#include "front/title_menu.h"
#include "kelvo/api.h"
#include "rules/key_config.h"

namespace {

constexpr int kLabelX = 100;
constexpr int kBindingX = 320;

struct RowLabel {
    const char* text;
    int y;
};

constexpr RowLabel kRowLabels[kKeyConfigRows] = {
    {"cancel、attack", 220}, {"decide、jump", 263}, {"skill", 306}, {"default", 349}, {"save & exit", 392},
};

// The text of a binding by button number; buttons 9 and 10 have no key.
constexpr const char* kButtonTexts[kLastBindableButton + 1] = {
    nullptr,          "PAD01 or Z KEY", "PAD02 or X KEY", "PAD03 or C KEY", "PAD04 or A KEY", "PAD05 or S KEY",
    "PAD06 or D KEY", "PAD07 or Q KEY", "PAD08 or W KEY", "PAD09",          "PAD10",
};

void DrawKeyConfig(const TitleMenu& menu) {
    const ColorCode white = ApiMakeColorCode(255, 255, 255);
    DimScreen();
    for (int row = 0; row < kKeyActionCount; ++row) {
        std::int32_t button = g_KeyConfig[row];
        if (button >= kFirstBindableButton && button <= kLastBindableButton)
            ApiDrawTextFormatted(kBindingX, 220 + 43 * row, white, "%s", kButtonTexts[button]);
    }
    ApiRotateBlitGraph(71, 228 + 43 * menu.keyConfigCursor, 1.0, 0.0, CursorFrame(menu.frame), 1, 0);
    ApiDrawTextFormatted(230, 140, white, "KEY CONFIG");
    for (const RowLabel& label : kRowLabels) ApiDrawTextFormatted(kLabelX, label.y, white, "%s", label.text);
}

}  // namespace

void BindButton(std::int32_t row, std::int32_t button) {
    const std::int32_t previous = g_KeyConfig[row];
    for (std::int32_t& bound : g_KeyConfig)
        if (bound == button) bound = previous;
    g_KeyConfig[row] = button;
}

void RunKeyConfigBlock(TitleMenu& menu) {
    const std::uint32_t pressed = g_FrameInputState.newlyPressed;
    MoveMenuCursor(menu.keyConfigCursor, kKeyConfigRows, kPadDown, kPadUp);
    // Decide goes by the mask in force: a new binding counts only after
    // "save & exit".
    const bool decide = (pressed & g_KeyMasks[kKeyDecideJump]) != 0;
    if (menu.keyConfigCursor == kKeyConfigDefaultRow && decide) {
        PlayMenuSound(kSoundConfirm);
        SetDefaultKeyConfig();
    }
    if (menu.keyConfigCursor == kKeyConfigSaveRow && decide) {
        PlayMenuSound(kSoundConfirm);
        ClearPressed();
        SaveKeyConfig();
        ApplyKeyConfig();
        menu.state = kTitleMainMenu;
    }
    if (menu.keyConfigCursor < kKeyActionCount) {
        // Every newly pressed button binds, the highest last; decide too.
        for (std::int32_t button = kFirstBindableButton; button <= kLastBindableButton; ++button) {
            if ((g_FrameInputState.newlyPressed & ButtonMask(button)) == 0) continue;
            PlayMenuSound(kSoundConfirm);
            BindButton(menu.keyConfigCursor, button);
        }
    }
    DrawKeyConfig(menu);
}
