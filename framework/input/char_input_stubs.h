// Character input and key-input strings: what start-up, shut-down, message
// processing and the window procedure call. Declared here until that module
// is built.
#pragma once

int InitCharCodeBuffer();
int ProcessKeyInput();
// 0, or -1 when the buffer is full and the byte was dropped.
int PushCharCode(int byte);
int ReleaseAllKeyInputHandles();
// When the active key-input handle had the IME open, asks for it to be opened
// again once the window is active.
int FlagImeReopen();
