#include "screens/status_screen.h"

#include <climits>

#include <kelvo/api.h>

#include "engine/frame_input.h"
#include "engine/frame_pacing.h"
#include "engine/glyph_text.h"
#include "engine/handles.h"
#include "engine/menu_cursor.h"
#include "rules/derived_stats.h"
#include "rules/key_config.h"
#include "rules/player_record.h"
#include "rules/stats.h"
#include "rules/sub_screen.h"
#include "rules/worn_equipment.h"
#include "screens/equipment_panel.h"
#include "screens/sub_screen_drawing.h"
#include "screens/system_menu.h"

std::int32_t g_StatusFrameCounter = 0;

namespace {

constexpr int kStatRowCount = 6;
const char* const kStatWords[kStatRowCount] = {"STR", "AGI", "VIT", "INT", "DEX", "LUK"};
// The banner's four letters L, V, U, P and the colour sets it cycles through.
constexpr int kBannerLetters[4] = {'L' - 'A', 'V' - 'A', 'U' - 'A', 'P' - 'A'};
constexpr int kBannerX[4] = {192, 256, 320, 384};
constexpr int kBannerColourSets[3] = {0, 1, 3};

std::int32_t* BaseStat(int row) {
    PlayerRecord& player = g_PlayerRecord;
    switch (row) {
        case kStatusStr: return &player.str;
        case kStatusAgi: return &player.agi;
        case kStatusVit: return &player.vit;
        case kStatusInt: return &player.intel;
        case kStatusDex: return &player.dex;
        case kStatusLuk: return &player.luk;
        default: return nullptr;
    }
}

// What the items add to a row's stat; VIT has no items.
std::int32_t EquipmentBonus(int row) {
    const DerivedStats& stats = g_DerivedStats;
    switch (row) {
        case kStatusStr: return stats.strBonus;
        case kStatusAgi: return stats.agiBonus;
        case kStatusInt: return stats.intBonus;
        case kStatusDex: return stats.dexBonus;
        case kStatusLuk: return stats.lukBonus;
        default: return 0;
    }
}

// a + b and a - b as the 32-bit game computes them, without signed overflow.
std::int32_t Add(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}
std::int32_t Subtract(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) - static_cast<std::uint32_t>(b));
}

void ComputeBonuses() {
    const PlayerRecord& player = g_PlayerRecord;
    DerivedStats& stats = g_DerivedStats;
    stats.strBonus = Subtract(stats.strTotal, player.str);
    stats.dexBonus = Subtract(stats.dexTotal, player.dex);
    stats.intBonus = Subtract(stats.intTotal, player.intel);
    stats.agiBonus = Subtract(stats.agiTotal, player.agi);
    stats.lukBonus = Subtract(stats.lukTotal, player.luk);
}

// The figures now, and with one more point on the stat under the cursor.
// AGI enters none of the four figures; EXIT has no preview.
void ComputeFigures(std::int32_t cursor) {
    DerivedStats& stats = g_DerivedStats;
    std::int32_t str = stats.strTotal, dex = stats.dexTotal, intel = stats.intTotal, luk = stats.lukTotal;
    std::int32_t vit = g_PlayerRecord.vit;
    const std::int32_t weaponAtk = WornWeaponAtk();
    stats.statusCurrent = ComputeDisplayFigures(str, dex, intel, luk, stats.equipmentDef, weaponAtk);
    switch (cursor) {
        case kStatusStr: str = Add(str, 1); break;
        case kStatusVit: vit = Add(vit, 1); break;
        case kStatusInt: intel = Add(intel, 1); break;
        case kStatusDex: dex = Add(dex, 1); break;
        case kStatusLuk: luk = Add(luk, 1); break;
        default: break;
    }
    stats.statusPreview = ComputeDisplayFigures(str, dex, intel, luk, stats.equipmentDef, weaponAtk, vit);
}

void DrawBanner(std::int32_t t) {
    const int colourSet = kBannerColourSets[(t / 7) % 3];
    const bool fading = t >= 129;
    if (fading) ApiSetBlendModeParam(kBlendAlpha, 255 - (2 * t - 256));
    for (int i = 0; i < 4; ++i) {
        const int x = kBannerX[i];
        const int handle = g_GlyphLetters[colourSet * 26 + kBannerLetters[i]];
        ApiStretchBlitGraph(x, 208 - t / 2, x + 128, 288 - t / 2, handle, 1);
    }
    if (fading) ApiSetBlendModeParam(kBlendNone, 0);
}

void DrawRows() {
    DrawGlyphText("STATUS POINT", 205, 80, 0, kSubScreenGlyphPitch);
    DrawDigitsEndingAt(g_PlayerRecord.statPoints, 444, 80, 0);
    for (int row = 0; row < kStatRowCount; ++row) {
        const int y = 128 + 32 * row;
        const std::int32_t base = *BaseStat(row);
        // The cost ends at x 268 like the other numbers end at theirs: a cost
        // of 10 or more (a base of 180 or more) grows to the left in digits
        // of set 0 instead of picking glyphs of another colour set.
        DrawDigitsEndingAt(StatPointCost(base), 268, y, 0);
        DrawGlyphText(kStatWords[row], 300, y, 0, kSubScreenGlyphPitch);
        DrawDigitsEndingAt(base, 428, y, 0);
        const std::int32_t bonus = EquipmentBonus(row);
        if (row != kStatusVit && bonus > 0) {
            DrawLetterGlyph(kGlyphPlusSign, 450, y);
            DrawDigitsFrom(bonus, 470, y, 2);
        }
    }
    DrawGlyphText("EXIT", 284, 320, 0, kSubScreenGlyphPitch);
}

void Decide(std::int32_t& cursor) {
    if (cursor == kStatusExit) {
        PlayMenuSound(kSoundConfirm);
        g_SubScreenMode = kSubScreenNone;
        RecomputeMaxHpSp();
        // Opened by a level-up: HP and SP are refilled to the new maxima.
        if (g_DerivedStats.levelUpBannerTimer >= 0) {
            g_PlayerRecord.hp = g_PlayerRecord.maxHp;
            g_PlayerRecord.sp = g_PlayerRecord.maxSp;
        }
        cursor = 0;
        return;
    }
    std::int32_t* base = BaseStat(cursor);
    if (base == nullptr || *base == INT_MAX) return;
    const std::int32_t cost = StatPointCost(*base);
    if (g_PlayerRecord.statPoints < cost) return;
    PlayMenuSound(kSoundConfirm);
    g_PlayerRecord.statPoints -= cost;
    *base += 1;
}

}  // namespace

std::int32_t StatPointCost(std::int32_t base) { return base < 0 ? 1 : base / 20 + 1; }

void RunStatusFrame() {
    std::int32_t& cursor = g_SystemMenuCursor;
    DerivedStats& stats = g_DerivedStats;
    ComputeBonuses();
    ComputeFigures(cursor);

    CountFrame(g_StatusFrameCounter);
    // The banner's timer stops once the banner is over, so it never wraps.
    std::int32_t& banner = stats.levelUpBannerTimer;
    if (banner >= 0 && banner < kLevelUpBannerFrames) ++banner;

    DrawEquipmentPanel(stats.statusCurrent, cursor != kStatusExit ? &stats.statusPreview : nullptr);
    DrawTranslucentBox(200, 80, 515, 355, ApiMakeColorCode(0, 0, 0), 96);
    if (banner >= 0 && banner < kLevelUpBannerFrames) DrawBanner(banner);
    ApiBlitGraph(210, 32 * (cursor + 4) - 8, g_CursorFrames[CursorFrameIndex(g_StatusFrameCounter)], 1);
    DrawRows();

    if ((g_FrameInputState.newlyPressed & g_KeyMasks[kKeyDecideJump]) != 0) Decide(cursor);
    MoveMenuCursor(cursor, kStatusRowCount, kPadDown, kPadUp);
}
