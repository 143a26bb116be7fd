// Stand-ins until the input module is built: no device, no key pressed.
// Input start-up succeeds so the framework can run without it.
#include "core/stubs/input_stubs.h"

int InitInput() { return 0; }
int TerminateInput() { return 0; }
int IsKeyDown(int) { return 0; }
int GetPadState(int) { return 0; }
int UpdatePadVibration() { return 0; }
int ApplyPadVibration() { return 0; }
int ResetInputCooperation() { return 0; }
