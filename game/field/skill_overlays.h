// What the skills show while they run, drawn every frame after the damage
// numbers and before the HUD (also under a sub-screen): a caption over the
// player's head that fades in and out, the still skill's heal number, the side
// skill's rising STR UP DEX UP, and the buff readout at the top of the screen.
// The skills' timers advance here, each step right after what it shows.
#pragma once

#include <cstdint>

// A fourth buff skill (LUK UP) that the overlays know how to show. Nothing in
// the game starts it, so it stays in state 0 and never shows.
struct FourthSkillState {
    std::uint8_t state;  // 0 ready, 1 running, 2 recovering
    std::int32_t timer;
    std::int32_t power;
    std::int32_t recoveryCounter;
};
extern FourthSkillState g_FourthSkill;

// The caption's two pieces at timer t (0 to 200): fading in below 32, piece 0
// opaque from 32 to 168, fading out above.
void DrawSkillCaption(const int (&pieces)[2], float t);

void DrawSkillOverlays();
