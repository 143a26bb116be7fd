// The WinSock stand-in's shared state: its sockets by value, each with the
// system socket behind it and, once selected, the window and events its
// messages go to. One mutex guards all of it; messages are posted with it
// released.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>

#include "platform/winsock.h"

struct SocketEntry {
    int fd = -1;
    bool listening = false;
    bool connecting = false;   // a connect that would block goes on
    int connectError = 0;      // a refusal the system gave at once, reported with FD_CONNECT
    bool connected = false;    // connected, or accepted
    bool nonBlocking = false;
    // The selection (events 0: none).
    HWND window = nullptr;
    UINT message = 0;
    long events = 0;
    // Which events may be posted next; WinSock's re-enabling rules set them.
    bool readArmed = false;
    long peekedWaiting = -1;   // bytes waiting after a recv that only peeked; -1 after any other
    bool writeArmed = false;
    bool acceptArmed = false;
    bool closePosted = false;
    bool closeBroke = false;  // the FD_CLOSE posted reported a break
    int closeError = 0;  // a break a recv met first, for FD_CLOSE to report
};

struct WinSockState {
    std::mutex mutex;
    std::map<SOCKET, SocketEntry> sockets;
    SOCKET nextSocket = 0x100;
    int startups = 0;
    int selected = 0;  // sockets with a selection; none means nothing to poll
    std::uint64_t looks = 0;  // sockets looked at by polls
};

WinSockState& WinSock();
// Under the mutex: the entry of a socket value, or null.
SocketEntry* FindSocketLocked(SOCKET s);
// Under the mutex, after an accept: FD_ACCEPT again at once when another
// connection waits, as WinSock's re-enabling accept gives it.
void PostAcceptIfWaitingLocked(SOCKET s, SocketEntry& listener);
