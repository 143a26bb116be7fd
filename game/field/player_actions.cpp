#include "field/player_actions.h"

#include <algorithm>
#include <cstdint>

#include "engine/frame_input.h"
#include "engine/game_random.h"
#include "engine/handles.h"
#include "field/tile_collision.h"
#include "kelvo/api.h"
#include "rules/derived_stats.h"
#include "rules/key_config.h"
#include "rules/player_action_state.h"
#include "rules/player_motion.h"
#include "rules/player_record.h"
#include "rules/sub_screen.h"
#include "world/monsters/monster_record.h"
#include "world/stages/stage_state.h"

namespace {

constexpr float kJumpSpeed = -2.95f;
constexpr float kSlowJumpSpeed = -2.25f;
constexpr float kLungeSpeed = 3.0f;
constexpr float kLungeDecrement = 0.05f;
constexpr float kDriftLeft = 0.025f;
constexpr float kDriftRight = 0.045f;
constexpr float kDriftLimit = 2.0f;
constexpr float kAirFriction = 0.007f;
constexpr float kJumpDamping = 0.036f;
// Stages 38 to 47 lie under water below this y; walking there is halved.
constexpr int kFirstWaterStage = 38;
constexpr int kLastWaterStage = 47;
constexpr float kWaterLine = 288.0f;

constexpr std::int32_t kSkillPoseFrames = 150;
constexpr float kUpSkillRunningFrames = 156.0f;
constexpr std::int32_t kSkillRunFrames = 200;
constexpr float kUpSkillRecoveryEnd = 5000.0f;

bool Held(std::uint32_t mask) { return (g_FrameInputState.held & mask) != 0; }
bool Pressed(std::uint32_t mask) { return (g_FrameInputState.newlyPressed & mask) != 0; }

void PlayTakara() { ApiPlaySoundHandle(g_SoundEffectHandles[kSoundTakara], 1, 1); }

void StartAttack(std::int8_t move, std::uint8_t step) {
    PlayerActionState& a = g_PlayerActionState;
    a.attackActive = 1;
    a.comboTimer = 0.0f;
    g_FrameInputState.newlyPressed = 0;
    a.stepLatch = 0;
    a.bufferedStep = step;
    a.comboStep = move;
}

// Walking, crouching, attacks, the combo and the skill starts, on the ground.
void GroundActions() {
    PlayerMotion& p = g_PlayerMotion;
    PlayerActionState& a = g_PlayerActionState;
    const bool left = Held(kPadLeft);
    const bool right = Held(kPadRight);
    const bool up = Held(kPadUp);

    if (left && a.attackActive == 0 && !IsSkillRunning()) p.horizontalSpeed = -p.walkSpeed;
    if (right && a.attackActive == 0 && !IsSkillRunning()) p.horizontalSpeed = p.walkSpeed;

    if (Held(kPadDown)) {
        if (a.attackActive == 0 && !IsSkillRunning()) a.crouch = 1;
    } else if (a.attackActive == 0) {
        a.crouch = 0;
    }

    const std::uint32_t attackKey = g_KeyMasks[kKeyCancelAttack];
    const bool mayStart = a.attackActive == 0 && a.crouch == 0 && !IsSkillRunning();
    if ((left || right) && Pressed(attackKey) && mayStart) {
        StartAttack(kComboRunningBlow, kComboRunningBlow);
        a.lungeSpeed = left ? -kLungeSpeed : kLungeSpeed;
        a.lungeDecrement = kLungeDecrement;
    } else if (Pressed(attackKey) && mayStart) {
        StartAttack(0, 0);
    }

    if (Pressed(attackKey) && a.attackActive == 1 && a.stepLatch == 0) {
        // The third blow is asked for only by pressing on into the facing.
        bool onward = (left && p.facing == 1) || (right && p.facing == 0);
        if (a.bufferedStep < 2 || onward) {
            a.stepLatch = 1;
            ++a.bufferedStep;
        }
    }

    const bool skillKey = Held(g_KeyMasks[kKeySkill]);
    const bool free = a.crouch == 0 && a.attackActive == 0;
    PlayerRecord& record = g_PlayerRecord;
    if (skillKey && !left && !right && !up && a.skillAActive == 0 && a.skillBState != kSkillRunning &&
        a.skillCState != kSkillRunning && free && record.sp >= StillSkillCost()) {
        PlayTakara();
        a.skillAActive = 1;
        a.skillATimer = 0;
        record.sp -= StillSkillCost();
    }
    if (skillKey && (left || right) && a.skillAActive == 0 && a.skillBState == kSkillReady &&
        a.skillCState != kSkillRunning && free && record.sp >= SideSkillCost()) {
        PlayTakara();
        a.skillBActive = 1;
        a.skillBState = kSkillRunning;
        a.skillBTimer = 0;
        record.sp -= SideSkillCost();
        a.skillBPower = g_DerivedStats.intTotal / 5 + 5;
        a.accuracyBonus = a.skillBPower;
    }
    if (skillKey && up && a.skillAActive == 0 && a.skillBState != kSkillRunning && a.skillCState == kSkillReady &&
        free && record.sp >= UpSkillCost()) {
        PlayTakara();
        a.skillCActive = 1;
        a.skillCState = kSkillRunning;
        a.skillCTimer = 0.0f;
        a.skillCScrollOffset = 0.0f;
        record.sp -= UpSkillCost();
        a.skillCFacing = p.facing;
        a.skillCOriginX = p.facing == 0 ? p.screenX : p.screenX - 64.0f;
        a.skillCOriginY = p.y - 64.0f - 3.0f + 32.0f;
        for (auto& pool : g_MonsterPools)
            for (MonsterRecord& monster : pool) monster.skillHitCount = 0;
    }
}

// The air attack and steering in the air.
void AirActions() {
    PlayerMotion& p = g_PlayerMotion;
    PlayerActionState& a = g_PlayerActionState;
    if (Pressed(g_KeyMasks[kKeyCancelAttack]) && a.attackActive == 0 && a.crouch == 0 && !IsSkillRunning())
        StartAttack(kComboAirAttack, static_cast<std::uint8_t>(kComboAirAttack));

    const bool left = Held(kPadLeft);
    const bool right = Held(kPadRight);
    // Both pushes add the drift as it stands, so a drift built to one side
    // is added again by the other test.
    if (-p.walkSpeed < p.horizontalSpeed) {
        if (left) p.drift -= kDriftLeft;
        p.drift = std::max(p.drift, -kDriftLimit);
        p.horizontalSpeed += p.drift;
    }
    if (p.horizontalSpeed < p.walkSpeed) {
        if (right) p.drift += kDriftRight;
        p.drift = std::min(p.drift, kDriftLimit);
        p.horizontalSpeed += p.drift;
    }
    if (!left && !right) {
        if (p.horizontalSpeed > 0.0f)
            p.horizontalSpeed = std::max(p.horizontalSpeed - kAirFriction, 0.0f);
        else if (p.horizontalSpeed < 0.0f)
            p.horizontalSpeed = std::min(p.horizontalSpeed + kAirFriction, 0.0f);
    }
}

void Jump() {
    PlayerMotion& p = g_PlayerMotion;
    PlayerActionState& a = g_PlayerActionState;
    if (p.airborne != 0 || !Pressed(g_KeyMasks[kKeyDecideJump]) || a.attackActive != 0 || IsSkillRunning()) return;
    p.verticalSpeed = kJumpSpeed;
    p.airborne = 1;
    p.drift = 0.0f;
    p.jumpRelease1 = 0;
    p.jumpRelease2 = 0;
    a.crouch = 0;
    const float third = p.walkSpeed / 3.0f;
    if (p.horizontalSpeed != 0.0f && p.wallContact == 0 && (p.horizontalSpeed == third || p.horizontalSpeed == -third))
        p.verticalSpeed = kSlowJumpSpeed;
}

// Letting go of the jump key early cuts the rise.
void DampReleasedJump() {
    PlayerMotion& p = g_PlayerMotion;
    const bool jumpHeld = Held(g_KeyMasks[kKeyDecideJump]);
    float& vy = p.verticalSpeed;
    if (p.airborne == 1 && vy > -2.0f && vy < 0.0f && !jumpHeld && p.jumpRelease1 == 0) p.jumpRelease1 = 1;
    if (p.jumpRelease1 == 1 && vy > -2.0f && vy < 0.0f) vy += kJumpDamping;
    if (p.airborne == 1 && vy > -2.5f && vy < -1.0f && !jumpHeld && p.jumpRelease1 == 0) p.jumpRelease2 = 1;
    if (p.jumpRelease2 == 1 && vy > -3.0f && vy < 0.0f) vy += kJumpDamping;
}

void MovePlayer() {
    PlayerMotion& p = g_PlayerMotion;
    const int code = ChoosePlayerMoveCode(p.horizontalSpeed, false);
    MoveActorOnMap(p.screenX, p.y, p.verticalSpeed, p.horizontalSpeed, p.verticalSpeedCopy, kPlayerWidth,
                   kPlayerHeight, p.airborne, code, 0);
}

}  // namespace

int ChoosePlayerMoveCode(float step, bool stillLeavesMiddle) {
    PlayerMotion& p = g_PlayerMotion;
    const float camera = g_StageState.cameraX;
    if (camera > static_cast<float>(g_StageState.cameraLeftBound) &&
        camera < static_cast<float>(g_StageState.cameraRightBound)) {
        p.onScreen = 0;
        return kMoveScrolling;
    }
    const bool atLeft = camera <= static_cast<float>(g_StageState.cameraLeftBound);
    const bool still = step == 0.0f && stillLeavesMiddle;
    const bool offMiddle = atLeft ? (p.screenX < kPlayerMidScreen || step < 0.0f || still)
                                  : (p.screenX > kPlayerMidScreen || step > 0.0f || still);
    if (offMiddle) {
        p.onScreen = 1;
        return atLeft ? kMoveAtLeftBound : kMoveAtRightBound;
    }
    p.screenX = kPlayerMidScreen;
    p.onScreen = 0;
    return kMoveScrolling;
}

bool IsSkillRunning() {
    const PlayerActionState& a = g_PlayerActionState;
    return (a.skillAActive != 0 && a.skillATimer <= kSkillPoseFrames) ||
           (a.skillBState == kSkillRunning && a.skillBTimer <= kSkillPoseFrames) ||
           (a.skillCState == kSkillRunning && a.skillCTimer <= kUpSkillRunningFrames);
}

std::int32_t StillSkillCost() { return g_PlayerRecord.maxSp / 24 + 30; }
std::int32_t SideSkillCost() { return (g_DerivedStats.intTotal / 5) * 4 + 40; }
std::int32_t UpSkillCost() { return g_PlayerRecord.maxSp / 27 + 18; }

void UpdatePlayerActions() {
    PlayerMotion& p = g_PlayerMotion;
    if (p.stopRequest != 0) {
        p.horizontalSpeed = 0.0f;
        p.verticalSpeedCopy = 0.0f;
        p.stopRequest = 0;
    }
    if (p.airborne == 0) p.horizontalSpeed = 0.0f;
    p.verticalSpeedCopy = 0.0f;
    if (p.wallContact == 1) p.horizontalSpeed = 0.0f;

    p.walkSpeed = static_cast<float>(g_DerivedStats.agiTotal) / 170.0f + 1.2f;
    const int stage = g_PlayerRecord.stage;
    if (stage >= kFirstWaterStage && stage <= kLastWaterStage && p.y > kWaterLine) p.walkSpeed *= 0.5f;

    if (p.airborne == 0)
        GroundActions();
    else
        AirActions();
    Jump();
    DampReleasedJump();

    p.wallContact = 0;
    p.verticalSpeed += kPlayerGravity;
    p.verticalSpeedCopy = p.verticalSpeed;
    MovePlayer();

    if (p.horizontalSpeed > 0.0f) p.facing = 0;
    if (p.horizontalSpeed < 0.0f) p.facing = 1;
}

void ApplyStillSkillHeal() {
    PlayerActionState& a = g_PlayerActionState;
    if (a.skillAActive == 0 || a.skillATimer != 0) return;
    PlayerRecord& r = g_PlayerRecord;
    int roll = GameRand() % 21 + 80;
    a.skillAHealAmount = static_cast<std::int32_t>(roll / 100.0 * r.maxSp + 70.0);
    std::int64_t hp = static_cast<std::int64_t>(r.hp) + a.skillAHealAmount;
    r.hp = static_cast<std::int32_t>(std::min<std::int64_t>(hp, r.maxHp));
}

void AdvanceStillSkill() {
    PlayerActionState& a = g_PlayerActionState;
    if (a.skillAActive == 0) return;
    if (++a.skillATimer > kSkillRunFrames) {
        a.skillATimer = 0;
        a.skillAActive = 0;
    }
}

void AdvanceSideSkill() {
    PlayerActionState& a = g_PlayerActionState;
    if (a.skillBState != kSkillRunning) return;
    if (++a.skillBTimer > kSkillRunFrames) {
        a.skillBState = kSkillRecovering;
        a.skillBActive = 0;
        a.skillBRecoveryCounter = 0;
    }
}

void AdvanceSideSkillRecovery() {
    PlayerActionState& a = g_PlayerActionState;
    if (a.skillBState != kSkillRecovering || g_SubScreenMode != kSubScreenNone) return;
    if (++a.skillBRecoveryCounter >= g_DerivedStats.intTotal * 70 + 7000) {
        a.skillBState = kSkillReady;
        a.skillBPower = 0;
        a.accuracyBonus = 0;
        a.skillBTimer = 0;
        a.skillBRecoveryCounter = 0;
    }
}

void AdvanceUpSkill() {
    PlayerActionState& a = g_PlayerActionState;
    if (a.skillCState == kSkillRunning) {
        a.skillCTimer += 1.0f;
        if (a.skillCTimer > static_cast<float>(kSkillRunFrames)) a.skillCState = kSkillRecovering;
    }
    if (a.skillCState == kSkillRecovering && g_SubScreenMode == kSubScreenNone) {
        a.skillCTimer += 1.0f;
        if (a.skillCTimer >= kUpSkillRecoveryEnd) {
            a.skillCState = kSkillReady;
            a.skillCTimer = 0.0f;
        }
    }
}

void AdvanceSkillTimers() {
    ApplyStillSkillHeal();
    AdvanceStillSkill();
    AdvanceSideSkill();
    AdvanceSideSkillRecovery();
    AdvanceUpSkill();
}
