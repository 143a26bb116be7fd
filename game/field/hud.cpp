#include "field/hud.h"

#include <algorithm>

#include "engine/handles.h"
#include "kelvo/api.h"
#include "rules/exp_table.h"
#include "rules/player_record.h"
#include "rules/stats.h"
#include "screens/sub_screen_drawing.h"
#include "world/stages/stage_state.h"

namespace {

constexpr int kTopRow = -2;
constexpr int kSecondRow = 25;
constexpr int kLetterH = 7, kLetterP = 15, kLetterS = 18, kLetterL = 11, kLetterV = 21;

// A value over its maximum, "HP 620/620": the letters, the value's digits
// ending at x 96, the separator and the maximum's digits ending at x 176.
void DrawValueRow(int firstLetter, int y, std::int32_t value, std::int32_t maximum) {
    DrawLetterGlyph(firstLetter, 0, y);
    DrawLetterGlyph(kLetterP, 16, y);
    DrawDigitsEndingAt(value, 96, y, 0);
    DrawLetterGlyph(kGlyphSeparator, 112, y);
    DrawDigitsEndingAt(maximum, 176, y, 0);
}

// value * 300 / maximum, in 64 bits; no bar for a maximum of 0 or less.
int BarLength(std::int32_t value, std::int32_t maximum) {
    if (maximum <= 0) return 0;
    return static_cast<int>(static_cast<std::int64_t>(value) * 300 / maximum);
}

void DrawBarBack(int top) { ApiPaintBox(214, top, 518, top + 23, ApiMakeColorCode(0, 0, 16), 1); }

void DrawHpAndSp() {
    const PlayerRecord& p = g_PlayerRecord;
    DrawValueRow(kLetterH, kTopRow, p.hp, p.maxHp);
    DrawBarBack(3);
    const bool healthy = p.hp > 0.3 * p.maxHp;
    const ColorCode hpColour = healthy ? ApiMakeColorCode(0, 255, 128) : ApiMakeColorCode(255, 0, 0);
    ApiPaintBox(216, 5, 216 + BarLength(p.hp, p.maxHp), 24, hpColour, 1);

    DrawValueRow(kLetterS, kSecondRow, p.sp, p.maxSp);
    DrawBarBack(29);
    ApiPaintBox(216, 31, 216 + BarLength(p.sp, p.maxSp), 50, ApiMakeColorCode(0, 64, 255), 1);
}

void DrawMoney() {
    ApiDrawTextFormatted(9, 57, ApiMakeColorCode(10, 10, 30), "Vesk:%d", g_PlayerRecord.money);
    ApiDrawTextFormatted(8, 56, ApiMakeColorCode(255, 255, 255), "Vesk:%d", g_PlayerRecord.money);
}

void DrawLevelAndExp() {
    const PlayerRecord& p = g_PlayerRecord;
    DrawLetterGlyph(kLetterL, 530, kTopRow);
    DrawLetterGlyph(kLetterV, 546, kTopRow);
    DrawDigitsEndingAt(p.level, 594, kTopRow, 0);
    ApiPaintBox(529, 28, 631, 45, ApiMakeColorCode(0, 0, 16), 1);
    ApiPaintBox(530, 29, 530 + ExpBarLength(p.exp, p.level), 44, ApiMakeColorCode(135, 0, 200), 1);
}

void DrawFade() {
    std::int32_t& n = g_StageState.fadeCounter;
    if (n == 0) return;
    DrawTranslucentBox(0, 0, 640, 480, ApiMakeColorCode(0, 0, 16), 2 * n);
    n -= 1;
}

}  // namespace

int ExpBarLength(std::int32_t exp, std::int32_t level) {
    const std::int64_t length = static_cast<std::int64_t>(exp) * 100 / ExpToLeaveLevel(level);
    return static_cast<int>(std::clamp<std::int64_t>(length, 0, 100));
}

void DrawHud() {
    DrawHpAndSp();
    DrawMoney();
    CheckLevelUp();
    DrawLevelAndExp();
    DrawFade();
}
