// The system's TCP sockets, as the WinSock stand-in uses them. Kept apart
// from the WinSock names, which the system's headers also use: this header
// has neither, only plain integers. Addresses and ports are in network byte
// order. Every call returns a result >= 0, or a negative WinSock error code.
#pragma once

#include <cstddef>
#include <cstdint>

namespace posix_socket {

int Create();  // a blocking TCP socket
int Close(int fd);
int SetNonBlocking(int fd);
int Bind(int fd, std::uint32_t address, std::uint16_t port);
int Listen(int fd, int backlog);
// The new socket (blocking), with the peer's address and port.
int Accept(int fd, std::uint32_t* address, std::uint16_t* port);
// -WSAEWOULDBLOCK while a connect on a non-blocking socket goes on.
int Connect(int fd, std::uint32_t address, std::uint16_t port);
// Bytes taken, 0 at the end of the peer's data.
long Receive(int fd, void* buffer, std::size_t length, bool peek);
// Never raises a signal.
long Send(int fd, const void* buffer, std::size_t length);
int LocalName(int fd, std::uint32_t* address, std::uint16_t* port);
// Bytes waiting to be received.
long Waiting(int fd);
// The error a finished non-blocking connect left (0: connected).
int PendingError(int fd);

// What a look without waiting found on a socket.
struct Readiness {
    bool readable;      // data, a waiting connection, the end of the data or an error
    bool writable;
    bool peerShutdown;  // the peer has ended its side, or the connection broke
    bool broken;        // an error waits on the socket (a reset, say)
};
struct Watch {
    int fd;
    bool wantWrite;  // whether writability is asked for
};
// Looks at `count` sockets at once.
void Look(const Watch* watches, std::size_t count, Readiness* out);

}  // namespace posix_socket
