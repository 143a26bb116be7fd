#include "world/stages/stage_event_state.h"

StageEventState g_StageEventState = {
    .redPulse = 0,
    .darkening = 0,
    .tint = 0,
    .colourCycle = 0,
    .middleLayerFade = 0,
    .pulse = 0,
    .darkness = 255,
    .cycle = 0,
    .fadeStep = 0,
};

void ResetStageEvents() {
    StageEventState& events = g_StageEventState;
    events.redPulse = 0;
    events.darkening = 0;
    events.tint = 0;
    events.colourCycle = 0;
    events.middleLayerFade = 0;
    events.darkness = 255;
    events.fadeStep = 0;
}
