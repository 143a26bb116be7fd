// Stand-ins for masks until they are built: there is no mask buffer.
#include "graphics/draw/mask.h"

int SetMaskActive(int) { return -1; }
int MakeMaskWorkScreen(int, int) { return 0; }
int HasMaskBuffer() { return 0; }
int GetMaskScreenFlag() { return 0; }
int ShutDownMask() { return 0; }
