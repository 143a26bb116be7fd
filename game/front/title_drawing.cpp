#include "front/title_drawing.h"

#include <cmath>

#include "engine/glyph_text.h"
#include "engine/handles.h"
#include "front/title_menu.h"
#include "kelvo/api.h"
#include "rules/player_record.h"
#include "rules/save_data.h"
#include "world/stages/stage_state.h"

namespace {

constexpr float kBackgroundDivisor = 3.0f;
constexpr int kCaptionX = 130;
constexpr int kCursorX = 80;
constexpr int kCursorRaise = 6;  // the cursor stands this far above its row

struct CaptionRow {
    const char* word;
    int y;
};

constexpr CaptionRow kMainMenuRows[] = {
    {"GAME MODE", 280},
    {"CG MODE", 330},
    {"KEY CONFIG", 380},
    {"EXIT", 430},
};

constexpr CaptionRow kDifficultyRows[kDifficultyCount] = {
    {"VERY EASY", 245}, {"EASY", 290}, {"NORMAL", 335}, {"HARD", 380}, {"VERY HARD", 425},
};

int FileSelectRowY(int slot) { return 240 + 50 * slot; }

void DrawCursor(int rowY, std::int32_t frame) { ApiBlitGraph(kCursorX, rowY - kCursorRaise, CursorFrame(frame), 1); }

template <std::size_t N>
void DrawCaptionList(const CaptionRow (&rows)[N], int cursor, std::int32_t frame) {
    DrawCursor(rows[cursor].y, frame);
    for (std::size_t row = 0; row < N; ++row)
        DrawGlyphText(rows[row].word, kCaptionX, CaptionY(rows[row].y, static_cast<int>(row) == cursor, frame));
}

// FILE and the slot's number, then NEW GAME for an empty slot or LOAD, LV and
// the level for a used one. A level outside 0 to 99 has no digits to show.
void DrawFileSelectRow(int slot, int y) {
    DrawGlyphText("FILE", 130, y);
    DrawGlyphDigit(slot + 1, 210, y);
    if (g_FileSummary.stage[slot] == kEmptySlotStage) {
        DrawGlyphText("NEW GAME", 250, y);
        return;
    }
    DrawGlyphText("LOAD", 250, y);
    DrawGlyphText("LV", 350, y);
    std::int32_t level = g_FileSummary.level[slot];
    if (level >= 0 && level < 10) {
        DrawGlyphDigit(level, 410, y);
    } else if (level >= 10 && level < 100) {
        DrawGlyphDigit(level / 10, 410, y);
        DrawGlyphDigit(level % 10, 430, y);
    }
}

}  // namespace

int CaptionY(int rowY, bool selected, std::int32_t frame) {
    if (!selected) return rowY;
    return static_cast<int>(12.0 * std::sin(frame / 10.0 / 2.0) + rowY);
}

void DrawTitleBackground(float scroll) {
    const float t = scroll / kBackgroundDivisor;
    const int* images = g_StageState.farLayerImages;
    for (int i = 0; i < kStagePanelCount; ++i) {
        const float left = static_cast<float>(i * kPanelWidth);
        const float right = static_cast<float>((i + 1) * kPanelWidth);
        if (left <= t && t <= right) {
            ApiBlitGraph(static_cast<int>(left - t), 0, images[i % 2], 1);
            ApiBlitGraph(static_cast<int>(right - t), 0, images[(i + 1) % 2], 1);
        }
    }
}

void DrawTitlePortraitAndLogo(std::int32_t frame) {
    ApiBlitGraph(500, 140, g_TitlePortrait[0], 1);
    const double w = std::sin(frame / 24.0);
    // The scale's 1.1 is the single-precision value, widened.
    ApiRotateBlitGraph(305, 188, w / 12 + static_cast<double>(1.1f), w / 12, g_TitleLogo[0], 1, 0);
}

void DrawMenuCaptions(const TitleMenu& menu) {
    switch (menu.state) {
        case kTitleMainMenu:
            DrawCaptionList(kMainMenuRows, menu.mainCursor, menu.frame);
            break;
        case kTitleDifficulty:
            DrawCaptionList(kDifficultyRows, menu.difficultyCursor, menu.frame);
            break;
        case kTitleFileSelect:
            DrawCursor(FileSelectRowY(menu.slotCursor), menu.frame);
            for (int slot = 0; slot < kSaveSlotCount; ++slot)
                DrawFileSelectRow(slot, CaptionY(FileSelectRowY(slot), slot == menu.slotCursor, menu.frame));
            break;
        default:
            break;
    }
}
