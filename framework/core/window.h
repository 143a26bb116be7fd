// The framework's window and its message processing.
#pragma once

// Returns at once while the application is active; otherwise processes
// messages until it is active again (or the program is quitting). 0.
int WaitWhileInactive();
