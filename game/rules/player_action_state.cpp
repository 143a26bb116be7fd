#include "rules/player_action_state.h"

void EndAttack() {
    PlayerActionState& a = g_PlayerActionState;
    a.attackActive = 0;
    a.comboTimer = 0.0f;
    a.bufferedStep = 0;
    a.comboStep = 0;
    a.stepLatch = 0;
}
