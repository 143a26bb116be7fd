// What the message queues need of the WinSock stand-in.
#pragma once

#include "platform/types.h"

// Polls the selected sockets whose window belongs to `thread` and posts the
// events due (called by PeekMessageA on that thread).
void PollSelectedSockets(DWORD thread);
