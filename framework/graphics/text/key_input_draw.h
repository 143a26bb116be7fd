// Drawing key-input strings with the default font.
#pragma once

#include "core/handle.h"

// Draws the string with its top-left corner at (x, y) in the key-input
// colours; while it is the active string and not ended, also the running
// composition at the cursor (underlined, with its own cursor) or else the
// cursor, blinking. 0, or -1 for a bad handle or no font.
int DrawKeyInputString(int x, int y, HandleId handle);
