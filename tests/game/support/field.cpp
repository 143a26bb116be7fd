#include "game/support/field.h"

#include <cstring>

#include "engine/frame_input.h"
#include "engine/game_random.h"
#include "engine/handles.h"
#include "field/monster_movement.h"
#include "field/player_actions.h"
#include "field/player_character.h"
#include "game/support/api_recorder.h"
#include "rules/derived_stats.h"
#include "rules/key_config.h"
#include "rules/player_action_state.h"
#include "rules/player_motion.h"
#include "rules/player_record.h"
#include "rules/sub_screen.h"
#include "world/monsters/actor_pools.h"
#include "world/monsters/monster_record.h"
#include "world/stages/stage_state.h"

void FieldTest::ResetField() {
    Recorder().Reset();
    ResetGameRand();
    std::memset(&g_CollisionGrid, 0, sizeof g_CollisionGrid);
    std::memset(g_MonsterPools, 0, sizeof g_MonsterPools);
    std::memset(g_ActorPools, 0, sizeof g_ActorPools);
    g_StageState = StageState{};
    g_PlayerMotion = PlayerMotion{};
    g_PlayerActionState = PlayerActionState{};
    g_FrameInputState = FrameInputState{};
    g_DerivedStats = DerivedStats{};
    g_SubScreenMode = kSubScreenNone;
    g_FieldFrameCounter = 0;
    g_KeyMasks[0] = kTestAttack;
    g_KeyMasks[1] = kTestJump;
    g_KeyMasks[2] = kTestSkill;
    for (int i = 0; i < kPlayerSheetFrames; ++i) g_PlayerSheet[i] = kTestSheetBase + i;
    for (int i = 0; i < kSoundEffectCount; ++i) g_SoundEffectHandles[i] = 900 + i;
    for (int i = 0; i < 24; ++i) g_CrossEffectSheet[i] = 6000 + i;
    for (int i = 0; i < 32; ++i) g_BallEffectSheet[i] = 7000 + i;
    // A player fresh from a new game: 620 HP and 210 SP, full.
    g_PlayerRecord.hp = g_PlayerRecord.maxHp = 620;
    g_PlayerRecord.sp = g_PlayerRecord.maxSp = 210;
    g_PlayerRecord.stage = 1;
    CameraAtLeftEdge();
}

void FieldTest::Solid(int c0, int c1, int r0, int r1) {
    for (int r = r0; r <= r1; ++r)
        for (int c = c0; c <= c1; ++c) g_CollisionGrid.cells[r * kCollisionColumns + c] = kCellSolid;
}

void FieldTest::CameraAtLeftEdge() {
    g_StageState.cameraX = 0.0f;
    g_StageState.cameraLeftBound = 0;
    g_StageState.cameraRightBound = 6400;
}

void FieldTest::PlacePlayer(float screenX, float y, bool airborne) {
    g_PlayerMotion.screenX = screenX;
    g_PlayerMotion.y = y;
    g_PlayerMotion.verticalSpeed = 0.0f;
    g_PlayerMotion.horizontalSpeed = 0.0f;
    g_PlayerMotion.airborne = airborne ? 1 : 0;
}

void FieldTest::PlayFrame(std::uint32_t held) {
    FrameInputState& input = g_FrameInputState;
    input.previousNewlyPressed = input.newlyPressed;
    input.newlyPressed = held & ~input.held;
    input.held = held;
    if (g_SubScreenMode == kSubScreenNone) {
        ++g_FieldFrameCounter;
        UpdatePlayerActions();
        MoveMonsters();
        UpdatePlayer(g_PlayerSheet, g_PlayerMotion.horizontalSpeed, g_PlayerMotion.facing);
    } else {
        DrawPlayerFrozen(g_PlayerSheet, g_PlayerMotion.horizontalSpeed, g_PlayerMotion.facing);
    }
    AdvanceSkillTimers();
}
