// What the player does with the frame's input: walking, crouching, jumping,
// the three ways to start an attack, buffering the combo, starting the three
// skills; then the player's move against the collision grid. Also the skills'
// timers, which the game loop runs every frame with their overlays.
#pragma once

#include <cstdint>

constexpr float kPlayerGravity = 0.036f;
constexpr float kPlayerWidth = 32.0f;
constexpr float kPlayerHeight = 112.0f;
constexpr float kPlayerMidScreen = 320.0f;

// True while a skill is running: SkillA on with its timer at most 150,
// SkillB running with its timer at most 150, SkillC running with its timer at
// most 156. Walking, attacks, jumps, the menu key and the shop doors wait.
bool IsSkillRunning();

// SP costs of the three skills for the current maxima and INT total.
std::int32_t StillSkillCost();
std::int32_t SideSkillCost();
std::int32_t UpSkillCost();

// Before each collision move of the player: where the camera stands decides
// what the step moves. Strictly between its bounds the camera scrolls (code
// 0). At a bound the player crosses the screen (code 'n' or 'o', on-screen
// byte 1) while it stands off the middle on that side or steps away from the
// middle (a step of 0 counts as away when `stillLeavesMiddle`); otherwise it
// is put back at the middle and the camera takes the step. Sets the on-screen
// byte (and the screen x) and returns the code.
int ChoosePlayerMoveCode(float step, bool stillLeavesMiddle);

// One frame of field play for the player, from g_FrameInputState: speeds,
// crouch, attack and skill starts, jump, gravity, the collision move with the
// camera held at its bounds, and the facing. The game loop calls it once per
// field frame, after counting the frame and before moving the monsters.
void UpdatePlayerActions();

// The skill timers, one step each, in the order the skill-overlay pass runs
// them every frame (also under a sub-screen):
// SkillA's heal lands on its first frame (draws one random number).
void ApplyStillSkillHeal();
// SkillA's timer; it ends after 201 frames.
void AdvanceStillSkill();
// SkillB while running: its timer; after 201 frames it turns to recovery.
void AdvanceSideSkill();
// SkillB's recovery, counted in field play only; when it ends, the buff ends.
void AdvanceSideSkillRecovery();
// SkillC's timer: running for 201 frames, then recovering (in field play
// only) until the timer reaches 5000.
void AdvanceUpSkill();
// All five steps in order, for a pass that draws nothing between them.
void AdvanceSkillTimers();
