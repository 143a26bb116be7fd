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
    // The combo step the player has asked for next: 1 to 3 while chaining (it
    // counts the presses), 3 for a running blow, 17 for an air attack.
    std::uint8_t bufferedStep;
    std::int8_t comboStep;      // 0-2 chained blows, 3 running blow, 17 air attack, -1 after it
    std::uint8_t stepLatch;     // the attack key was pressed again during this step
    float comboTimer;
    float lungeSpeed;
    float lungeDecrement;
    // A blow is tested in the frame these two differ.
    std::uint8_t strike;
    std::uint8_t previousStrike;
    std::uint8_t crouch;

    // Each skill's active byte is set while its pose or effect is drawn: SkillA
    // from its start to its end; SkillB while running (state 1); SkillC from
    // its start until its ball effect has flown out.
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
    float skillCScrollOffset;  // follows every camera step of the collision move while SkillC is active

    std::int32_t accuracyBonus;  // SkillB's power while the buff lasts, else 0
};

extern PlayerActionState g_PlayerActionState;

// Ends the attack and its combo: no attack, timer 0, step 0, nothing
// buffered or latched. Landing, the combo's last frame and a stage load.
void EndAttack();
