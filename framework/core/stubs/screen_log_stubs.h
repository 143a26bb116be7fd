// The on-screen log as start-up, shut-down and the public entries reach it.
// Declared here until the screen log lands.
#pragma once

int InitScreenLog();
int ClearScreenLog();
// Releases the screen log's font (once) and flags the log as not set up.
int TerminateScreenLog();
