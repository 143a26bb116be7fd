// The stage's light effects: selectors that tint, pulse, darken or cycle the
// colour of the background layers and fade the middle layer, with their
// counters. Every stage load switches them all off and no stage switches one
// on, so the field is drawn at full brightness; the effects are kept whole so
// that a stage can use them.
#pragma once

#include <cstdint>

struct StageEventState {
    // Selectors; 0 is off.
    std::uint8_t redPulse;         // 1: a red pulse on the far layer and on
    std::uint8_t darkening;        // 1: darken once; 2: darken and brighten again
    std::uint8_t tint;             // 1: a blue tint from the far layer on; 2: an orange tint on the panels
    std::uint8_t colourCycle;      // 1, 2: cycle from the far layer on; 3: cycle on the panels
    std::uint8_t middleLayerFade;  // 1-3: the panels fade in and out (3 also fades the middle layer)
    // Counters.
    std::int32_t pulse;      // the red pulse: -155 to 155
    std::int32_t darkness;   // the darkening: 255 is no darkening
    std::int32_t cycle;      // the colour cycles
    std::int32_t fadeStep;   // the middle-layer fade
};

extern StageEventState g_StageEventState;

// Part of the stage reset: every selector off, the darkening back to 255 and
// the fade to 0. The pulse and the colour cycle keep their counters.
void ResetStageEvents();
