// Input operations (keyboard, mouse, joypads) that start-up, the public
// entries and message processing call. Declared here until the input module
// is built; its stubs report input as not available.
#pragma once

int InitInput();
int TerminateInput();
int IsKeyDown(int keyCode);
int GetPadState(int inputType);
int UpdatePadVibration();
int ApplyPadVibration();
int ResetInputCooperation();
