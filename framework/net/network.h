// Network handles: TCP sockets in asynchronous mode, whose events come to a
// message window of the network's own. A handle either carries
// length-framed messages (a 4-byte little-endian length, then that many
// bytes) through a receive and a send ring, or passes raw socket calls
// through. Nothing works before StartNetwork, which opens the window and
// the listening socket; then connections are accepted as they come, and
// ConnectNetWork opens one of our own.
//
// Every caller-facing operation takes the framework lock.
#pragma once

#include <cstdint>

#include "core/handle.h"
#include "net/ring_buffer.h"
#include "net/socket_index.h"
#include "platform/winsock.h"

constexpr int kNetworkSlotCount = 4096;
// The message the sockets' events come as.
constexpr UINT kNetworkSocketMessage = 0x505;
// The events selected on a connection: FD_READ | FD_WRITE | FD_CLOSE.
constexpr long kNetworkConnectionEvents = 35;
// The longest frame a peer may announce. A length beyond it is refused before
// anything is allocated, so a peer cannot make the receive ring grow without
// bound.
constexpr std::uint32_t kNetworkMaxFrameLength = 64u * 1024 * 1024;
// The most bytes one receive on a handle takes off its socket, and the most
// all receives of one pass of message processing take together: a peer
// sending faster than the program reads cannot hold message processing up.
constexpr std::uint32_t kNetworkReceivePerCall = 256u * 1024;
constexpr std::uint32_t kNetworkReceivePerPass = 4u * 1024 * 1024;
// Unread bytes past which a framed handle begins no new message: the rest
// waits in the system's socket (and the peer, once that is full) until the
// program reads, so a peer cannot fill memory at a handle nobody reads.
constexpr std::uint32_t kNetworkReceiveBacklog = 1024u * 1024;
// Bytes queued to send past which a further addition is refused (the handle
// goes on): a peer that never reads cannot make the program queue without
// bound. An addition to an empty queue is taken whatever its size. As much
// as the longest message, so that a program sending one in pieces in one go
// is not refused.
constexpr std::uint32_t kNetworkSendBacklog = kNetworkMaxFrameLength;
// How long a disconnect goes on receiving, and then sending, what is pending.
constexpr std::uint32_t kNetworkDrainMilliseconds = 1000;

struct NetworkRecord;

// A handle's place in the list of open handles.
struct NetworkListNode {
    HandleId handle;
    NetworkRecord* record;
    NetworkListNode* previous;
    NetworkListNode* next;
};

struct NetworkRecord {
    std::uint32_t checkNumber;
    int inUse;
    int error;       // an error occurred: every operation refuses the handle
    int connected;
    int connection;  // a connection stood (set with `connected`, kept by FD_CLOSE): with
                     // `connected` clear, auto-close knows it was lost, and what was
                     // queued before still goes out while no error comes
    int connecting;  // a connect of ours goes on
    int framed;      // 1: length-framed messages through the rings; 0: raw socket calls
    int autoClose;
    SOCKET socket;

    std::uint32_t pendingLength;  // bytes still to come of the message being received
    std::uint8_t receiveHeader[4];       // the next message's header, as far as it came
    std::uint32_t receiveHeaderLength;   // bytes of it that came
    RingBuffer receiveRing;       // payload bytes only; message boundaries are not kept
    RingBuffer sendRing;
    std::uint32_t frameLeft;      // bytes of the frame being sent still to send from the ring
    std::uint32_t headerLeft;     // bytes of its 4-byte header still to send
    std::uint8_t header[4];
    int receiving;                // re-entry guards: a pump inside a receive or send
    int sending;                  // must not start another on the same handle
    int receiveHeld;              // the backlog is unread: receiving waits for the program to read
    int receiveDeferred;          // in the list of receives the next pass makes

    std::uint8_t peerAddress[4];
    int peerPort;
    NetworkListNode node;
};

using NetworkHandleTable = HandleTable<NetworkRecord, kHandleTypeNetwork, kNetworkSlotCount>;

struct NetworkState {
    int started;
    HWND window;
    int windowClosed;
    SOCKET listenSocket;
    int listenPort;
    NetworkListNode head;  // the list's head node; the list runs in the order handles were made
    NetworkHandleTable table;
    SocketIndex sockets;   // the open handles' records by socket
    // Settings, both 0 by default: framing on, auto-close on.
    int noFraming;
    int noAutoClose;
    std::uint32_t sendBacklog;  // kNetworkSendBacklog (tests make it smaller)
    // Pumps running, one inside another: only the outermost looks at the
    // sockets. A pass of message processing is one outermost pump.
    int pumpDepth;
    std::uint32_t passReceiveBudget;  // bytes the receives of this pass may still take
    // Receives put off to the next pass (by the pass's budget, or a reader
    // making room), first come first served: the handles, in a ring.
    HandleId deferred[kNetworkSlotCount];
    int deferredFirst;
    int deferredCount;
};

extern NetworkState g_NetworkState;

// Starts WinSock, opens the network window and listens on `address` (4
// bytes, null: every address) at `port` (0: a free port the system chooses).
// Returns the port listened on, or -1.
int StartNetwork(const std::uint8_t* address, int port);
// Disconnects every handle, closes the listening socket and the window and
// cleans WinSock up; 0. Nothing to do when the network was never started.
int EndNetwork();
// Settings for handles made from now on; 0.
int SetNetWorkNoFraming(int flag);
int SetNetWorkNoAutoClose(int flag);

// Opens a connection to `address` (4 bytes) at `port`: the new handle, or -1.
// The handle is connected once its FD_CONNECT has come.
HandleId ConnectNetWork(const std::uint8_t* address, int port);
// Takes a waiting connection of the listening socket: the new handle, or -1.
HandleId AcceptNetWork();
// Receives, then sends, what is pending (for at most 1000 ms each), and
// closes the handle; 0 or -1. The sending goes on after the peer has ended
// its side (it may still read), and stops at once on an error.
int DisconnectNetworkHandle(HandleId handle);

int GetNetWorkAcceptState(HandleId handle);  // 1 connected, 0 not
int NetWorkRecv(HandleId handle, void* buffer, int length);
int NetWorkRecvToPeek(HandleId handle, void* buffer, int length);
int NetWorkSend(HandleId handle, const void* data, int length);
int GetNetWorkDataLength(HandleId handle);
// Reads one line (up to its LF, which is dropped) of at most 255 bytes into
// `out` (256 bytes): 0, or -1 while no whole line is there.
int ReceiveNetworkLine(HandleId handle, char* out);

// Dispatches the network window's messages; with `closeFlag` 1 it first
// closes every handle with an error, and (auto-close) every one whose peer
// has ended the connection once what came on it has been read and what was
// queued on it has gone to the socket. The outermost pump looks at every
// socket once for events, and makes the receives put off to it. Returns -1
// once the window is gone or the framework is quitting, else 0.
int PumpNetworkMessages(int closeFlag);
// What an operation on one handle pumps, and a receive between messages:
// the messages waiting are dispatched, and no socket is looked at again (the
// pass looked at every one once), so a call costs the same however many
// handles are open. The same result as PumpNetworkMessages(0).
int DispatchNetworkMessages();
// Puts the record's receive off to the next pass; once only.
void DeferReceive(NetworkRecord* record);
// After the program took bytes from a framed handle: receiving goes on (on
// the next pass) if it waited for room.
void ResumeReceiving(NetworkRecord* record);
// One pass of message processing: the pump with auto-close.
int ProcessNetwork();
// The window procedure's handling of one socket message.
int OnNetworkSocketEvent(LPARAM eventWord, SOCKET socket);
int RecvSocket(NetworkRecord* record);
int SendSocket(NetworkRecord* record);
// Logs "ネットワークログ。<text>[<WSAGetLastError>]"; -1.
int LogNetworkError(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The handle's record when it is valid and the network started; null else.
NetworkRecord* LookupNetworkHandle(HandleId handle);
