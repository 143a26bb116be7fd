#include "field/tile_collision.h"

#include "engine/truncate.h"
#include "field/monster_move_table.h"
#include "field/player_actions.h"
#include "kelvo/api.h"
#include "rules/player_action_state.h"
#include "rules/player_motion.h"
#include "world/monsters/actor_pools.h"
#include "world/monsters/monster_record.h"
#include "world/stages/collision_grid.h"
#include "world/stages/stage_state.h"

namespace {

// The horizontal steps of a scrolling player are measured from a cell grid
// that starts at the screen's left edge; this bias (any multiple of the cell
// size) keeps the camera's remainder of one sign in the correction below.
constexpr std::int32_t kCameraBias = 32000;
constexpr float kCeilingRebound = -0.1f;

// The player's step moves the camera rather than the screen x.
bool StepMovesCamera(int code) {
    return code == kMoveScrolling || (code == kMoveLunge && g_PlayerMotion.onScreen == 0);
}

// The player moves across the screen while the camera rests at a bound.
bool PlayerCrossesScreen(int code) {
    return code == kMoveAtLeftBound || code == kMoveAtRightBound || (code == kMoveLunge && g_PlayerMotion.onScreen == 1);
}

void AnswerWall(int code, int slot) {
    if (IsScreenRelativeMoveCode(code)) {
        g_PlayerMotion.wallContact = 1;
        return;
    }
    int kind = MonsterKindOfMoveCode(code);
    if (kind >= 0) {
        if (slot < 0 || slot >= kMonsterSlotCount) return;
        MonsterRecord& monster = g_MonsterPools[kind][slot];
        // A monster in its special mode keeps its course; it only looks about.
        if (monster.specialMode == 0) monster.speed = -monster.speed;
        monster.facesLeft = monster.facesLeft == 0 ? 1 : 0;
        return;
    }
    AnswerActorPoolWall(code, slot);
}

}  // namespace

int GetMapCell(float x, float y, int code) {
    std::int32_t column;
    if (IsScreenRelativeMoveCode(code)) {
        // Both truncated on their own before the sum.
        std::int64_t world = static_cast<std::int64_t>(Trunc(x)) + Trunc(g_StageState.cameraX);
        column = static_cast<std::int32_t>(world / kCollisionCellSize);
    } else {
        column = Trunc(x) / kCollisionCellSize;
    }
    std::int32_t row = Trunc(y) / kCollisionCellSize;
    if (column < 0 || column >= kCollisionColumns || row < 0 || row >= kCollisionRows) return 0;
    return static_cast<std::int8_t>(g_CollisionGrid.cells[row * kCollisionColumns + column]);
}

int ResolveMapProbe(float px, float py, float& vx, float& vy, int code, int slot) {
    float qx = px + vx;
    float qy = py + vy;
    if (GetMapCell(qx, qy, code) != 1) return kProbeClear;

    // Edges of the cell that holds the target; the left and right ones with a
    // two-pixel bias.
    std::int32_t left = kCollisionCellSize * (Trunc(qx + 2.0f) / kCollisionCellSize);
    std::int32_t right = kCollisionCellSize * (Trunc(qx - 2.0f) / kCollisionCellSize + 1);
    if (PlayerCrossesScreen(code)) right += 1;
    std::int32_t top = kCollisionCellSize * (Trunc(qy) / kCollisionCellSize);
    std::int32_t bottom = kCollisionCellSize * (Trunc(qy) / kCollisionCellSize + 1);

    if (vy > 0.0f) {
        vy = static_cast<float>(top) - py - 1.0f;
        return kProbeFloor;
    }
    if (vy < 0.0f) {
        vy = static_cast<float>(bottom) - py + 1.0f;
        return kProbeCeiling;
    }
    if (vx > 0.0f) {
        vx = static_cast<float>(left) - px - 1.0f;
        if (StepMovesCamera(code)) vx -= static_cast<float>((Trunc(g_StageState.cameraX) - kCameraBias) % kCollisionCellSize);
        AnswerWall(code, slot);
        return kProbeWallStepRight;
    }
    if (vx < 0.0f) {
        vx = static_cast<float>(right) - px + 1.0f;
        if (StepMovesCamera(code)) vx -= static_cast<float>((Trunc(g_StageState.cameraX) + kCameraBias) % kCollisionCellSize);
        AnswerWall(code, slot);
        return kProbeWallStepLeft;
    }
    return kProbeCeiling;
}

void MoveActorOnMap(float& x, float& y, float& verticalSpeed, float sx, float sy, float width, float height,
                    std::uint8_t& airborne, int code, int slot) {
    const float hw = width * 0.5f;
    const float hh = height * 0.5f;
    float still = 0.0f;

    // Vertical pass: each probe sees the step the ones before it shortened.
    if (ResolveMapProbe(x - hw, y + hh, still, sy, code, slot) == kProbeFloor) verticalSpeed = 0.0f;
    if (ResolveMapProbe(x + hw, y + hh, still, sy, code, slot) == kProbeFloor) verticalSpeed = 0.0f;
    if (ResolveMapProbe(x - hw, y - hh, still, sy, code, slot) == kProbeCeiling) verticalSpeed *= kCeilingRebound;
    if (ResolveMapProbe(x + hw, y - hh, still, sy, code, slot) == kProbeCeiling) verticalSpeed *= kCeilingRebound;
    y += sy;

    // Horizontal pass: corners, middles and quarter points of both sides, the
    // right-hand probes one pixel outside the box.
    const float leftX = x - hw;
    const float rightX = x + hw + 1.0f;
    const float rows[] = {y + hh, y - hh, y, y - hh / 2.0f, y + hh / 2.0f};
    for (float row : rows) {
        ResolveMapProbe(leftX, row, sx, still, code, slot);
        ResolveMapProbe(rightX, row, sx, still, code, slot);
    }

    const bool movesCamera = StepMovesCamera(code);
    const bool skillEffectFollows = g_PlayerActionState.skillCActive != 0;
    if (movesCamera) {
        g_StageState.cameraX += sx;
        if (skillEffectFollows) g_PlayerActionState.skillCScrollOffset += sx;
    } else {
        x += sx;
    }

    ApiClearScreenLog();

    const bool playerWalk = code == kMoveScrolling || code == kMoveAtLeftBound || code == kMoveAtRightBound;
    const float feet = y + hh + 1.0f;
    const bool ground = GetMapCell(x - hw, feet, code) != 0 || GetMapCell(x + hw, feet, code) != 0;
    if (!ground) {
        airborne = 1;
        if (code == kMoveLunge) {
            // A lunge never carries the player over an edge.
            airborne = 0;
            if (movesCamera) {
                g_StageState.cameraX -= sx;
                if (skillEffectFollows) g_PlayerActionState.skillCScrollOffset -= sx;
            } else {
                x -= sx;
            }
        }
        if (playerWalk) g_PlayerMotion.drift = 0.0f;
        return;
    }

    // Landing ends any attack.
    if (airborne == 1 && playerWalk) EndAttack();
    airborne = 0;
    if (playerWalk) g_PlayerMotion.drift = 0.0f;
}
