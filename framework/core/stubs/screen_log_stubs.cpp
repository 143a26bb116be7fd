// Stand-ins until the screen log lands: it is never set up.
#include "core/stubs/screen_log_stubs.h"

int InitScreenLog() { return -1; }
int ClearScreenLog() { return 0; }
int TerminateScreenLog() { return 0; }
