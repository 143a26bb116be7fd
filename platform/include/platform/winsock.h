// The socket services the framework calls (WinSock 1.1), over the system's
// TCP sockets. A socket blocks until it is selected with WSAAsyncSelect; from
// then on it never blocks, and its events arrive as window messages to the
// window it was selected to. Those messages are made when the program polls
// a window's sockets (PlatformPollSockets below: the stand-in has no thread
// of its own to watch them), with WinSock's rules:
//   FD_READ     while data waits; once posted, again only after a recv (so
//               again at once when data remains after the recv; after a
//               recv that only peeked, once more data has come)
//   FD_WRITE    once when the socket is selected connected, on a finished
//               connect and after an accept; again only after a send that
//               failed with WSAEWOULDBLOCK, once the socket takes data again
//               (also after an FD_CLOSE of a peer that ended only its side,
//               which may still read; not after one that reported a break)
//   FD_ACCEPT   while a connection waits; again only after an accept (at
//               once, when another connection waits then)
//   FD_CONNECT  once, when a connect that would block has finished (the
//               error in the high word of lParam)
//   FD_CLOSE    once, when the peer has ended the connection (after the
//               FD_READ for data still waiting)
// A socket's messages still queued when it is deselected or closed are taken
// out of the queue, so none arrives for a socket that is gone. Socket values
// are never reused within a run. Sends never raise a signal: a send to a
// closed peer fails with WSAECONNRESET.
#pragma once

#include <cstdint>

#include "platform/types.h"

// WinSock's u_short and u_long are 16 and 32 bits; the system's headers give
// those names other sizes, so the fixed-size types stand here in their place.
using SOCKET = std::uintptr_t;

constexpr SOCKET INVALID_SOCKET = ~SOCKET{0};
constexpr int SOCKET_ERROR = -1;

constexpr int AF_INET = 2;
constexpr int SOCK_STREAM = 1;
constexpr int IPPROTO_TCP = 6;
constexpr std::uint32_t INADDR_ANY = 0x00000000u;
constexpr std::uint32_t INADDR_NONE = 0xFFFFFFFFu;
constexpr int SOMAXCONN = 0x7FFFFFFF;
constexpr int MSG_PEEK = 0x2;

struct in_addr {
    union {
        struct {
            std::uint8_t s_b1, s_b2, s_b3, s_b4;
        } S_un_b;
        std::uint32_t S_addr;  // network byte order
    } S_un;
};

struct sockaddr {
    std::uint16_t sa_family;
    char sa_data[14];
};

struct sockaddr_in {
    short sin_family;
    std::uint16_t sin_port;  // network byte order
    in_addr sin_addr;
    char sin_zero[8];
};

struct WSADATA {
    WORD wVersion;
    WORD wHighVersion;
    char szDescription[257];
    char szSystemStatus[129];
    unsigned short iMaxSockets;
    unsigned short iMaxUdpDg;
    char* lpVendorInfo;
};

constexpr WORD MAKEWORD(BYTE low, BYTE high) { return static_cast<WORD>(low | (high << 8)); }

// Network events of WSAAsyncSelect.
constexpr long FD_READ = 0x01;
constexpr long FD_WRITE = 0x02;
constexpr long FD_OOB = 0x04;
constexpr long FD_ACCEPT = 0x08;
constexpr long FD_CONNECT = 0x10;
constexpr long FD_CLOSE = 0x20;
constexpr WORD WSAGETSELECTEVENT(LPARAM l) { return LOWORD(static_cast<std::uintptr_t>(l)); }
constexpr WORD WSAGETSELECTERROR(LPARAM l) { return HIWORD(static_cast<std::uintptr_t>(l)); }

// Error codes of WSAGetLastError and of the events' high word.
constexpr int WSAEINTR = 10004;
constexpr int WSAEBADF = 10009;
constexpr int WSAEACCES = 10013;
constexpr int WSAEFAULT = 10014;
constexpr int WSAEINVAL = 10022;
constexpr int WSAEMFILE = 10024;
constexpr int WSAEWOULDBLOCK = 10035;
constexpr int WSAEINPROGRESS = 10036;
constexpr int WSAEALREADY = 10037;
constexpr int WSAENOTSOCK = 10038;
constexpr int WSAEMSGSIZE = 10040;
constexpr int WSAEAFNOSUPPORT = 10047;
constexpr int WSAEADDRINUSE = 10048;
constexpr int WSAEADDRNOTAVAIL = 10049;
constexpr int WSAENETDOWN = 10050;
constexpr int WSAENETUNREACH = 10051;
constexpr int WSAECONNABORTED = 10053;
constexpr int WSAECONNRESET = 10054;
constexpr int WSAENOBUFS = 10055;
constexpr int WSAEISCONN = 10056;
constexpr int WSAENOTCONN = 10057;
constexpr int WSAESHUTDOWN = 10058;
constexpr int WSAETIMEDOUT = 10060;
constexpr int WSAECONNREFUSED = 10061;
constexpr int WSAEHOSTUNREACH = 10065;
constexpr int WSAVERNOTSUPPORTED = 10092;
constexpr int WSANOTINITIALISED = 10093;

// Version 1.1 or above is accepted; 0 or WSAVERNOTSUPPORTED.
int WSAStartup(WORD versionRequested, WSADATA* data);
// The last WSACleanup closes every socket still open. 0, or SOCKET_ERROR
// before any WSAStartup.
int WSACleanup();
// The calling thread's last error.
int WSAGetLastError();
void WSASetLastError(int error);

// Only AF_INET with SOCK_STREAM (TCP).
SOCKET socket(int family, int type, int protocol);
int bind(SOCKET s, const sockaddr* address, int length);
int listen(SOCKET s, int backlog);
// The new socket shares the listening socket's selection, as WinSock's does.
SOCKET accept(SOCKET s, sockaddr* address, int* length);
int connect(SOCKET s, const sockaddr* address, int length);
// flags 0 or MSG_PEEK.
int recv(SOCKET s, char* buffer, int length, int flags);
int send(SOCKET s, const char* buffer, int length, int flags);
int closesocket(SOCKET s);
int getsockname(SOCKET s, sockaddr* address, int* length);
// events 0 deselects (the socket stays non-blocking).
int WSAAsyncSelect(SOCKET s, HWND window, UINT message, long events);

std::uint16_t htons(std::uint16_t value);
std::uint16_t ntohs(std::uint16_t value);
std::uint32_t htonl(std::uint32_t value);
std::uint32_t ntohl(std::uint32_t value);
// A dotted IPv4 address in network byte order, or INADDR_NONE.
std::uint32_t inet_addr(const char* text);

// ---- what the stand-in offers besides the WinSock names ---------------------------------------

// Posts the events due on every socket selected to `window`, in one look at
// them all: what the window's message pump calls once per pass.
void PlatformPollSockets(HWND window);
// How many times a socket has been looked at for its events so far (each
// socket of each poll counts once): what the emulation of the messages
// costs, for tests and tools.
std::uint64_t PlatformSocketLooks();
