// Stand-ins until character input is built: no buffer, so characters are
// dropped as from a full buffer.
#include "input/char_input_stubs.h"

int InitCharCodeBuffer() { return 0; }
int ProcessKeyInput() { return 0; }
int PushCharCode(int) { return -1; }
int ReleaseAllKeyInputHandles() { return 0; }
int FlagImeReopen() { return 0; }
