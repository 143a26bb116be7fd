#include "field_harness.h"

#include <kelvo/api.h>

#include <cmath>
#include <cstdio>

#include "flow/handles.h"
#include "flow/player_action_state.h"
#include "flow/player_motion.h"
#include "flow/sub_screen.h"
#include "world/collision_grid.h"
#include "world/damage_numbers.h"
#include "world/monster_kind_params.h"
#include "world/monster_routines.h"
#include "world/stage_state.h"

namespace {

// Which file each kind's sheet comes from; kinds 3, 4 and 31 share the files
// of 11, 13 and 30 but keep handle arrays of their own.
constexpr const char* kSheetFiles[kMonsterKindCount] = {
    "algall",    "encall",    "ougonall",    "polinall",  "flogall",    "lunabigall", "hidoraall",
    "penomenaall", "mandoraall", "mandora2all", "doroall", "polinall",   "fablall",    "flogall",
    "lunaall",   "hebiall",   "sporeall",    "popolinall", "wilall",    "gokiall",    "hebi2all",
    "marlinall", "taraflogall", "spore2all", "lunadall",  "gokibigall", "hebi3all",   "eldwilall",
    "tyonnall",  "tyonn2all", "tyonn3all",   "tyonn3all",
};

bool Solid(float x, float y) {
    if (x < 0 || y < 0) return false;
    int column = static_cast<int>(x) / kCollisionCellSize, row = static_cast<int>(y) / kCollisionCellSize;
    if (column >= kCollisionColumns || row >= kCollisionRows) return false;
    return g_CollisionGrid.cells[row * kCollisionColumns + column] == kCellSolid;
}

float Reach(int kind) { return kind >= 6 && kind <= 9 ? 256.0f : (kind >= 28 ? 32.0f : 64.0f); }

// Falls onto floors, walks while wandering and turns at walls and edges;
// engages within reach of the player.
void MoveMonster(int kind, MonsterRecord& m) {
    const float screenX = m.x - g_StageState.cameraX;
    const float gap = std::fabs(g_PlayerMotion.screenX - screenX);
    if (m.engage == kMonsterWandering && gap < Reach(kind)) m.engage = kMonsterEngaged;
    if (m.engage == kMonsterEngaged && gap >= Reach(kind) + 16) m.engage = kMonsterWandering;
    const bool walks = m.engage == kMonsterWandering && m.specialMode == 0;
    if (kind >= 28) {
        if (walks) m.x += m.speed;
        return;
    }
    m.fallSpeed += 0.036f;
    const float feet = m.y + 24 + m.fallSpeed;
    if (Solid(m.x, feet)) {
        m.y = static_cast<float>(static_cast<int>(feet) / kCollisionCellSize * kCollisionCellSize) - 24.0f;
        m.fallSpeed = 0.0f;
        m.airborne = 0;
    } else {
        m.y += m.fallSpeed;
        m.airborne = 1;
    }
    if (!walks || m.airborne) return;
    const float ahead = m.x + (m.speed < 0 ? -28.0f : 28.0f) + m.speed;
    if (Solid(ahead, m.y) || !Solid(ahead, m.y + 40))
        m.speed = -m.speed;
    else
        m.x += m.speed;
    if (m.specialMode == 0) m.facesLeft = m.speed < 0 ? 1 : 0;
}

void DrawLayer(std::int32_t divisor, const int* images, int count) {
    if (divisor == kLayerNotDrawn || divisor == 0) return;
    const int p = static_cast<int>(g_StageState.cameraX) / divisor;
    const int tile = p / kPanelWidth;
    for (int i = tile; i <= tile + 1 && i < kStagePanelCount; ++i)
        ApiBlitGraph(kPanelWidth * i - p, 0, images[i % count], 1);
}

}  // namespace

int LoadMonsterImages() {
    int result = 0;
    char path[64];
    for (int kind = 0; kind < kMonsterKindCount; ++kind) {
        std::snprintf(path, sizeof path, "rukbmp\\%s.bmp", kSheetFiles[kind]);
        if (ApiLoadImageToDivGraphs(path, kMonsterSheetFrames, 6, 3, 128, 128, g_MonsterSheets[kind], 0) < 0) result = -1;
    }
    if (ApiLoadImageToDivGraphs("rukbmp\\fire.bmp", 8, 1, 8, 32, 16, g_FireEffectFrames, 0) < 0) result = -1;
    if (ApiLoadImageToDivGraphs("rukbmp\\gass.bmp", 8, 4, 2, 32, 32, g_GasEffectFrames, 0) < 0) result = -1;
    if (ApiLoadImageToDivGraphs("rukbmp\\alffonts.bmp", kGlyphLetterCount, 13, 9, 32, 32, g_GlyphLetters, 0) < 0)
        result = -1;
    if (ApiLoadImageToDivGraphs("rukbmp\\numfonts.bmp", kGlyphDigitCount, 10, 4, 32, 32, g_GlyphDigits, 0) < 0)
        result = -1;
    return result;
}

void StandPlayer(float screenX, float y) {
    const float worldX = g_StageState.cameraX + screenX;
    while (y < kStageHeight && !Solid(worldX, y + 56)) y += 1.0f;
    g_PlayerMotion.screenX = screenX;
    g_PlayerMotion.y = y;
    g_PlayerMotion.facing = 0;
    g_PlayerMotion.airborne = 0;
}

void RunMonsterRoutines() {
    for (int kind : kMonsterRoutineOrder) RunMonsterKind(kind);
}

void RunFieldFrame(int blowPeriod) {
    ++g_FieldFrameCounter;
    for (int kind = 0; kind < kMonsterKindCount; ++kind)
        for (MonsterRecord& m : g_MonsterPools[kind])
            if (m.alive == kMonsterAlive) MoveMonster(kind, m);
    PlayerActionState& action = g_PlayerActionState;
    action.previousStrike = action.strike;
    if (blowPeriod > 0 && g_FieldFrameCounter % blowPeriod == 0) {
        action.comboStep = 0;
        action.previousStrike = 0;
        action.strike = 1;
    }

    ApiClearDrawTarget();
    DrawLayer(g_StageState.farLayerDivisor, g_StageState.farLayerImages, kStageFarLayerCount);
    DrawLayer(g_StageState.panelDivisor, g_StageState.panelImages, kStagePanelCount);
    RunMonsterRoutines();
    const int x = static_cast<int>(g_PlayerMotion.screenX), y = static_cast<int>(g_PlayerMotion.y);
    ApiPaintBox(x - 16, y - 56, x + 16, y + 56, ApiMakeColorCode(255, 255, 255), 0);
    DrawMonsterDamagePopups();
}
