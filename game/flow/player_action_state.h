// The player's attack combo and three skills: started by the game loop from
// the input, animated by the player update, read by the monster routines to
// resolve hits. SkillA is the still skill (heal), SkillB the side skill (the
// STR/DEX buff), SkillC the up skill (the cross and ball effect).
#pragma once

#include <cstdint>

// Values of PlayerActionState::comboStep.
constexpr std::int8_t kComboAfterAirAttack = -1;
constexpr std::int8_t kComboRunningBlow = 3;
constexpr std::int8_t kComboAirAttack = 17;

// Values of the SkillB and SkillC state bytes.
constexpr std::uint8_t kSkillReady = 0;
constexpr std::uint8_t kSkillRunning = 1;
constexpr std::uint8_t kSkillRecovering = 2;

struct PlayerActionState {
    std::uint8_t attackActive;  // 1 while an attack or combo is under way
    std::uint8_t bufferedStep;  // the attack key was pressed again during this step
    std::uint8_t comboStepCount;
    std::int8_t comboStep;      // 0-2 chained blows, 3 running blow, 17 air attack, -1 after it
    std::uint8_t stepLatch;
    float comboTimer;
    float lungeSpeed;
    float lungeDecrement;
    // A blow is tested in the frame these two differ.
    std::uint8_t strike;
    std::uint8_t previousStrike;
    std::uint8_t crouch;

    std::uint8_t skillAActive;
    std::int32_t skillATimer;
    std::int32_t skillAHealAmount;

    std::uint8_t skillBActive;
    std::uint8_t skillBState;  // kSkillReady, kSkillRunning, kSkillRecovering
    std::int32_t skillBTimer;
    std::int32_t skillBPower;
    std::int32_t skillBRecoveryCounter;

    std::uint8_t skillCActive;
    std::uint8_t skillCState;  // kSkillReady, kSkillRunning, kSkillRecovering
    float skillCTimer;
    std::uint8_t skillCFacing;
    float skillCOriginX;
    float skillCOriginY;
    float skillCScrollOffset;  // follows every camera step of the collision move

    std::int32_t accuracyBonus;  // SkillB's power while the buff lasts, else 0
};

extern PlayerActionState g_PlayerActionState;
