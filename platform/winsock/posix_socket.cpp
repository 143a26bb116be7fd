// The system's TCP sockets, and their errors as WinSock's codes.
#include "winsock/posix_socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace posix_socket {
namespace {

// WinSock's codes for the system's errors; what has no match of its own is
// reported as a reset connection.
int WinSockError(int error) {
    switch (error) {
        case EAGAIN:
#if EWOULDBLOCK != EAGAIN
        case EWOULDBLOCK:
#endif
        case EINPROGRESS: return 10035;  // WSAEWOULDBLOCK
        case EINTR: return 10004;
        case EBADF: return 10038;         // WSAENOTSOCK
        case EACCES: return 10013;
        case EFAULT: return 10014;
        case EINVAL: return 10022;
        case EMFILE:
        case ENFILE: return 10024;
        case EALREADY: return 10037;
        case ENOTSOCK: return 10038;
        case EMSGSIZE: return 10040;
        case EAFNOSUPPORT: return 10047;
        case EADDRINUSE: return 10048;
        case EADDRNOTAVAIL: return 10049;
        case ENETDOWN: return 10050;
        case ENETUNREACH: return 10051;
        case ECONNABORTED: return 10053;
        case ECONNRESET:
        case EPIPE: return 10054;
        case ENOBUFS:
        case ENOMEM: return 10055;
        case EISCONN: return 10056;
        case ENOTCONN: return 10057;
        case ESHUTDOWN: return 10058;
        case ETIMEDOUT: return 10060;
        case ECONNREFUSED: return 10061;
        case EHOSTUNREACH: return 10065;
        default: return 10054;
    }
}

int Failed() { return -WinSockError(errno); }

sockaddr_in MakeAddress(std::uint32_t address, std::uint16_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = port;
    a.sin_addr.s_addr = address;
    return a;
}

}  // namespace

int Create() {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
    return fd >= 0 ? fd : Failed();
}

int Close(int fd) { return ::close(fd) == 0 ? 0 : Failed(); }

int SetNonBlocking(int fd) {
    int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) < 0) return Failed();
    return 0;
}

int Bind(int fd, std::uint32_t address, std::uint16_t port) {
    sockaddr_in a = MakeAddress(address, port);
    return ::bind(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0 ? 0 : Failed();
}

int Listen(int fd, int backlog) {
    if (backlog > SOMAXCONN) backlog = SOMAXCONN;
    return ::listen(fd, backlog) == 0 ? 0 : Failed();
}

int Accept(int fd, std::uint32_t* address, std::uint16_t* port) {
    sockaddr_in a{};
    socklen_t length = sizeof a;
    int client;
    do {
        client = ::accept4(fd, reinterpret_cast<sockaddr*>(&a), &length, SOCK_CLOEXEC);
    } while (client < 0 && errno == EINTR);
    if (client < 0) return Failed();
    *address = a.sin_addr.s_addr;
    *port = a.sin_port;
    return client;
}

int Connect(int fd, std::uint32_t address, std::uint16_t port) {
    sockaddr_in a = MakeAddress(address, port);
    return ::connect(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0 ? 0 : Failed();
}

long Receive(int fd, void* buffer, std::size_t length, bool peek) {
    ssize_t n;
    do {
        n = ::recv(fd, buffer, length, peek ? MSG_PEEK : 0);
    } while (n < 0 && errno == EINTR);
    return n >= 0 ? static_cast<long>(n) : Failed();
}

long Send(int fd, const void* buffer, std::size_t length) {
    ssize_t n;
    do {
        n = ::send(fd, buffer, length, MSG_NOSIGNAL);
    } while (n < 0 && errno == EINTR);
    return n >= 0 ? static_cast<long>(n) : Failed();
}

int LocalName(int fd, std::uint32_t* address, std::uint16_t* port) {
    sockaddr_in a{};
    socklen_t length = sizeof a;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length) != 0) return Failed();
    *address = a.sin_addr.s_addr;
    *port = a.sin_port;
    return 0;
}

long Waiting(int fd) {
    int n = 0;
    return ::ioctl(fd, FIONREAD, &n) == 0 ? n : Failed();
}

int PendingError(int fd) {
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0) return Failed();
    return error == 0 ? 0 : -WinSockError(error);
}

void Look(const Watch* watches, std::size_t count, Readiness* out) {
    // A look at one socket (the commonest) needs no allocation.
    pollfd one{};
    std::vector<pollfd> many;
    if (count > 1) many.resize(count);
    pollfd* polls = count > 1 ? many.data() : &one;
    for (std::size_t i = 0; i < count; ++i) {
        polls[i].fd = watches[i].fd;
        polls[i].events = static_cast<short>(POLLIN | POLLRDHUP | (watches[i].wantWrite ? POLLOUT : 0));
    }
    int ready;
    do {
        ready = ::poll(polls, static_cast<nfds_t>(count), 0);
    } while (ready < 0 && errno == EINTR);
    for (std::size_t i = 0; i < count; ++i) {
        short r = ready > 0 ? polls[i].revents : 0;
        out[i].readable = (r & (POLLIN | POLLRDHUP | POLLHUP | POLLERR)) != 0;
        out[i].writable = (r & POLLOUT) != 0;
        out[i].peerShutdown = (r & (POLLRDHUP | POLLHUP | POLLERR)) != 0;
        out[i].broken = (r & POLLERR) != 0;
    }
}

}  // namespace posix_socket
