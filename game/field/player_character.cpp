#include "field/player_character.h"

#include <algorithm>

#include "engine/handles.h"
#include "engine/truncate.h"
#include "field/player_actions.h"
#include "field/tile_collision.h"
#include "kelvo/api.h"
#include "rules/derived_stats.h"
#include "rules/player_action_state.h"
#include "rules/player_motion.h"
#include "rules/player_record.h"
#include "rules/sub_screen.h"

namespace {

// Frame groups of the sheet.
constexpr int kWalkFirst = 0;
constexpr int kWalkFrames = 20;
constexpr int kIdleFirst = 20;
constexpr int kIdleFrames = 9;
constexpr int kCrouchFrame = 118;
constexpr int kSkillPoseFirst = 119;
constexpr int kFrozenStand = 20;
constexpr int kFrozenRising = 23;
constexpr int kFrozenAir = 29;

constexpr int kCrossFrames = 24;
constexpr int kBallFrames = 32;
constexpr float kBallStart = 117.0f;
constexpr int kBallLastStep = 64;

// The sprite's top-left corner lies this far left of and above the player's
// position; a crouch is drawn three pixels lower.
constexpr float kAnchorX = 64.0f;
constexpr float kAnchorY = 67.0f;
constexpr float kCrouchAnchorY = 64.0f;
constexpr float kComboReach = 12.0f;

struct Pose {
    const int (&sheet)[kPlayerSheetFrames];
    bool mirrored;

    void Draw(int frame, int x, int y) const {
        // Frames outside the sheet (a fall faster than any the stages allow,
        // or a timer run past its pose group) are not drawn.
        if (frame < 0 || frame >= kPlayerSheetFrames) return;
        if (mirrored)
            ApiMirrorBlitGraph(x, y, sheet[frame], 1);
        else
            ApiBlitGraph(x, y, sheet[frame], 1);
    }
    void DrawAt(int frame, float dx = 0.0f) const {
        Draw(frame, Trunc(g_PlayerMotion.screenX + dx - kAnchorX), Trunc(g_PlayerMotion.y - kAnchorY));
    }
    void DrawCrouch() const {
        Draw(kCrouchFrame, Trunc(g_PlayerMotion.screenX - kAnchorX), Trunc(g_PlayerMotion.y - kCrouchAnchorY));
    }
};

// The combo timer's step per frame.
float PlayerAnimationStep() { return static_cast<float>(g_DerivedStats.agiTotal) / 170.0f + 1.0f; }

void PlaySwing(int sound) { ApiPlaySoundHandle(g_SoundEffectHandles[sound], 1, 1); }

// A sound at timer mark m plays on the one frame whose new timer lies in
// [m, m + s).
bool Crossed(float timer, float mark, float step) { return timer >= mark && timer < mark + step; }

// Regeneration: one point of HP or SP whenever the field frame counter is a
// multiple of numerator / maximum. The period is at least one frame, so a
// maximum above the numerator regenerates every frame and a maximum of 0
// never divides by zero.
void RegenerateOne(std::int32_t& value, std::int32_t maximum, std::int32_t numerator) {
    std::int32_t period = std::max(numerator / std::max(maximum, 1), 1);
    if (g_FieldFrameCounter % period == 0 && value < maximum) ++value;
}

void RegenerateNormal() {
    RegenerateOne(g_PlayerRecord.hp, g_PlayerRecord.maxHp, 39999);
    RegenerateOne(g_PlayerRecord.sp, g_PlayerRecord.maxSp, 36000);
}

void RegenerateCrouching(std::uint8_t facing) {
    RegenerateOne(g_PlayerRecord.hp, g_PlayerRecord.maxHp, 5000);
    RegenerateOne(g_PlayerRecord.sp, g_PlayerRecord.maxSp, facing == 0 ? 3900 : 4500);
}

// The walk and idle cycles slow down with less AGI; the divisor stays at
// least 1, so any AGI keeps them inside their groups.
std::int32_t CycleDivisor() { return std::max(13 - g_DerivedStats.agiTotal / 20, 1); }

int WalkFrame() {
    std::int64_t ticks = static_cast<std::int64_t>(g_FieldFrameCounter) * 2 / CycleDivisor();
    return kWalkFirst + static_cast<int>(((ticks % kWalkFrames) + kWalkFrames) % kWalkFrames);
}

int IdleFrame() {
    std::int64_t ticks = Trunc(g_FieldFrameCounter * 0.5) / CycleDivisor();
    return kIdleFirst + static_cast<int>(((ticks % kIdleFrames) + kIdleFrames) % kIdleFrames);
}

// A rising pose by the vertical speed vy (below 0): `fast` while rising
// faster than 3.0, `top` near the top of the arc (vy of -1.2 and above), and
// in between `base` + 2 vy.
int RisingFrame(float vy, int fast, int top, int base) {
    if (vy < -3.0f) return fast;
    if (Trunc(10.0f * vy + 43.0f) >= 31) return top;
    return Trunc(2.0f * vy + static_cast<float>(base));
}

void ChainTo(std::int8_t step) {
    PlayerActionState& a = g_PlayerActionState;
    a.comboStep = step;
    a.comboTimer = 0.0f;
    a.stepLatch = 0;
}

void AirRules(const Pose& pose) {
    PlayerActionState& a = g_PlayerActionState;
    if (a.attackActive == 0) {
        const float vy = g_PlayerMotion.verticalSpeed;
        int frame = vy < 0.0f ? RisingFrame(vy, 100, 105, 106) : Trunc(105.0f - 5.0f * vy / 3.0f);
        pose.DrawAt(frame);
        return;
    }
    const float s = PlayerAnimationStep();
    pose.DrawAt(Trunc(a.comboTimer / 6.0f + 106.0f));
    a.comboTimer += s;
    if (Crossed(a.comboTimer, 30.0f, s)) PlaySwing(kSoundSwing);
    if (a.comboTimer >= 66.0f) {
        a.attackActive = 0;
        a.comboTimer = 0.0f;
        a.bufferedStep = 0;
        a.stepLatch = 0;
        a.comboStep = kComboAfterAirAttack;
    }
}

// The running blow carries the player forward, slowing down, but never over
// an edge (the collision move takes such a step back).
void Lunge(std::uint8_t facing) {
    PlayerMotion& p = g_PlayerMotion;
    PlayerActionState& a = g_PlayerActionState;
    ChoosePlayerMoveCode(a.lungeSpeed, true);
    MoveActorOnMap(p.screenX, p.y, p.verticalSpeed, a.lungeSpeed, 0.0f, kPlayerWidth, kPlayerHeight, p.airborne,
                   kMoveLunge, 0);
    if (facing == 0)
        a.lungeSpeed -= a.lungeDecrement;
    else
        a.lungeSpeed += a.lungeDecrement;
}

void GroundCombo(const Pose& pose, std::uint8_t facing) {
    PlayerActionState& a = g_PlayerActionState;
    float& t = a.comboTimer;
    const float s = PlayerAnimationStep();
    const float reach = facing == 0 ? kComboReach : -kComboReach;
    switch (a.comboStep) {
        case 0:
            pose.DrawAt(Trunc(t / 5.0f + 29.0f), reach);
            t += s;
            if (Crossed(t, 45.0f, s)) PlaySwing(kSoundSwing);
            if (t >= 95.0f) EndAttack();
            if (t >= 75.0f && a.bufferedStep == 1) ChainTo(1);
            break;
        case 1:
            pose.DrawAt(Trunc(t / 5.0f + 49.0f), reach);
            t += s;
            if (Crossed(t, 45.0f, s)) PlaySwing(kSoundSwing);
            if (t >= 75.0f && a.bufferedStep == 2) ChainTo(2);
            if (t >= 75.0f) EndAttack();
            break;
        case 2:
            pose.DrawAt(Trunc(t / 8.0f + 65.0f), reach);
            t += s;
            if (Crossed(t, 80.0f, s)) PlaySwing(kSoundSwing2);
            if (t >= 90.0f && a.bufferedStep == 3) {
                ChainTo(kComboRunningBlow);
                a.lungeSpeed = facing == 0 ? 3.0f : -3.0f;
                a.lungeDecrement = 0.05f;
            }
            if (t >= 152.0f) EndAttack();
            break;
        case kComboRunningBlow:
            pose.DrawAt(Trunc(t / 9.0f + 84.0f), reach);
            t += s;
            if (Crossed(t, 90.0f, s)) PlaySwing(kSoundSwing2);
            if (a.lungeDecrement > 0.0f && t >= 81.0f) Lunge(facing);
            if (t >= 144.0f) EndAttack();
            break;
        default:
            // No ground step has this number (only an air attack that never
            // landed could leave one): end it rather than stand frozen.
            EndAttack();
            break;
    }
}

// The strike byte rises on the frame the combo timer reaches its step's
// threshold; a monster counts a blow where it differs from the previous one.
void UpdateStrike() {
    PlayerActionState& a = g_PlayerActionState;
    float threshold;
    switch (a.comboStep) {
        case 0:
        case 1: threshold = 45.0f; break;
        case 2: threshold = 80.0f; break;
        case kComboRunningBlow: threshold = 90.0f; break;
        case kComboAirAttack: threshold = 30.0f; break;
        default: return;
    }
    if (a.comboTimer >= threshold) {
        a.previousStrike = a.strike;
        a.strike = 1;
    } else {
        a.previousStrike = 0;
        a.strike = 0;
    }
}

// SkillC's cross over the player, then its ball flying off through the stage.
void DrawSkillCEffect() {
    PlayerActionState& a = g_PlayerActionState;
    if (a.skillCActive == 0) return;
    const PlayerMotion& p = g_PlayerMotion;
    const float t = a.skillCTimer;
    if (Trunc(t / 8.0f) < kCrossFrames) {
        int frame = Trunc(t) / 8;
        int x = a.skillCFacing == 0 ? Trunc(p.screenX) : Trunc(p.screenX - 64.0f);
        if (frame >= 0) ApiBlitGraph(x, Trunc(p.y - 35.0f), g_CrossEffectSheet[frame], 1);
    }
    if (t < kBallStart) return;
    a.skillCOriginX += a.skillCFacing == 0 ? 1.0f : -1.0f;
    int k = Trunc(t - kBallStart) / 4;
    if (k > kBallLastStep) {
        a.skillCActive = 0;
        a.skillCTimer = 0.0f;
        return;
    }
    // The ball grows through its 32 frames and shrinks back.
    int frame = k < kBallFrames ? k : 2 * kBallFrames - 1 - k;
    if (frame < 0 || frame >= kBallFrames) return;
    ApiBlitGraph(Trunc(a.skillCOriginX - a.skillCScrollOffset), Trunc(a.skillCOriginY), g_BallEffectSheet[frame], 1);
}

// The pose of every active skill whose timer is still in its pose group.
bool DrawSkillPoses(const Pose& pose) {
    const PlayerActionState& a = g_PlayerActionState;
    const bool showing = (a.skillCActive != 0 && a.skillCTimer < 150.0f) ||
                         (a.skillAActive != 0 && a.skillATimer < 150) || (a.skillBActive != 0 && a.skillBTimer < 150);
    if (!showing) return false;
    if (a.skillCActive != 0) pose.DrawAt(kSkillPoseFirst + Trunc(a.skillCTimer / 10.0f));
    if (a.skillAActive != 0) pose.DrawAt(kSkillPoseFirst + a.skillATimer / 10);
    if (a.skillBActive != 0) pose.DrawAt(kSkillPoseFirst + a.skillBTimer / 10);
    return true;
}

}  // namespace

void UpdatePlayer(const int (&sheet)[kPlayerSheetFrames], float horizontalSpeed, std::uint8_t facing) {
    const PlayerMotion& p = g_PlayerMotion;
    const PlayerActionState& a = g_PlayerActionState;
    const Pose byFacing{sheet, facing == 1};
    if (!DrawSkillPoses(byFacing)) {
        if (horizontalSpeed != 0.0f) {
            RegenerateNormal();
            const Pose bySpeed{sheet, horizontalSpeed < 0.0f};
            if (p.airborne == 0)
                bySpeed.DrawAt(WalkFrame());
            else
                AirRules(bySpeed);
        } else if (p.airborne != 0) {
            RegenerateNormal();
            AirRules(byFacing);
        } else if (a.attackActive != 0) {
            RegenerateNormal();
            GroundCombo(byFacing, facing);
        } else if (a.crouch != 0) {
            byFacing.DrawCrouch();
            RegenerateCrouching(facing);
        } else {
            RegenerateNormal();
            byFacing.DrawAt(IdleFrame());
        }
        UpdateStrike();
    }
    DrawSkillCEffect();
}

void DrawPlayerFrozen(const int (&sheet)[kPlayerSheetFrames], float horizontalSpeed, std::uint8_t facing) {
    const PlayerMotion& p = g_PlayerMotion;
    PlayerActionState& a = g_PlayerActionState;
    if (p.airborne != 0) {
        const Pose pose{sheet, horizontalSpeed == 0.0f ? facing == 1 : horizontalSpeed < 0.0f};
        const float vy = p.verticalSpeed;
        pose.DrawAt(vy < 0.0f ? RisingFrame(vy, kFrozenRising, kFrozenAir, 29) : Trunc(29.0f - 2.0f * vy));
        return;
    }
    if (horizontalSpeed != 0.0f) {
        Pose{sheet, horizontalSpeed < 0.0f}.DrawAt(kFrozenStand);
        return;
    }
    const Pose pose{sheet, facing == 1};
    if (a.attackActive != 0) {
        // An attack under a sub-screen plays out in a slow swing and times out.
        pose.DrawAt(Trunc(a.comboTimer / 12.0f + 11.0f), facing == 0 ? 12.0f : -16.0f);
        a.comboTimer += PlayerAnimationStep();
        if (a.comboTimer >= 144.0f) {
            a.attackActive = 0;
            a.comboTimer = 0.0f;
        }
    } else if (a.crouch != 0) {
        pose.DrawCrouch();
    } else {
        pose.DrawAt(kFrozenStand);
    }
}
