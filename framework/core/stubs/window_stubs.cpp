// Stand-ins for the window and its message processing until they are built.
#include "core/window.h"

int WaitWhileInactive() { return 0; }
