// The WinSock calls: start and clean-up, the sockets and their errors, byte
// order and addresses.
#include <bit>
#include <climits>
#include <cstring>
#include <vector>

#include "platform/winsock.h"
#include "window/window_state.h"
#include "winsock/posix_socket.h"
#include "winsock/winsock_state.h"

namespace {

thread_local int t_lastError = 0;

int Fail(int error) {
    t_lastError = error;
    return SOCKET_ERROR;
}

// The entry of a socket when WinSock is started and the socket exists; else
// the error is set and null returned.
SocketEntry* Usable(SOCKET s) {
    WinSockState& w = WinSock();
    if (w.startups == 0) {
        t_lastError = WSANOTINITIALISED;
        return nullptr;
    }
    SocketEntry* e = FindSocketLocked(s);
    if (e == nullptr) t_lastError = WSAENOTSOCK;
    return e;
}

// Reads an IPv4 address of at least sockaddr_in's size.
bool ReadAddress(const sockaddr* address, int length, std::uint32_t* ip, std::uint16_t* port, int* error) {
    if (address == nullptr || length < static_cast<int>(sizeof(sockaddr_in))) {
        *error = WSAEFAULT;
        return false;
    }
    sockaddr_in in;
    std::memcpy(&in, address, sizeof in);
    if (in.sin_family != AF_INET) {
        *error = WSAEAFNOSUPPORT;
        return false;
    }
    *ip = in.sin_addr.S_un.S_addr;
    *port = in.sin_port;
    return true;
}

void WriteAddress(std::uint32_t ip, std::uint16_t port, sockaddr* address, int* length) {
    if (address == nullptr || length == nullptr || *length < static_cast<int>(sizeof(sockaddr_in))) return;
    sockaddr_in in{};
    in.sin_family = AF_INET;
    in.sin_port = port;
    in.sin_addr.S_un.S_addr = ip;
    std::memcpy(address, &in, sizeof in);
    *length = sizeof in;
}

// Under the mutex: forgets a socket's selection and takes its messages still
// queued out of the queue.
void DropSelectionLocked(SOCKET s, SocketEntry& e) {
    if (e.events != 0) {
        --WinSock().selected;
        PlatformRemoveQueuedMessages(e.window, e.message, s);
    }
    e.events = 0;
    e.window = nullptr;
    e.readArmed = e.writeArmed = e.acceptArmed = false;
}

}  // namespace

WinSockState& WinSock() {
    static WinSockState state;
    return state;
}

SocketEntry* FindSocketLocked(SOCKET s) {
    auto& sockets = WinSock().sockets;
    auto it = sockets.find(s);
    return it == sockets.end() ? nullptr : &it->second;
}

int WSAStartup(WORD versionRequested, WSADATA* data) {
    int major = versionRequested & 0xFF;
    int minor = versionRequested >> 8;
    if (major < 1 || (major == 1 && minor < 1)) return WSAVERNOTSUPPORTED;
    if (data == nullptr) return WSAEFAULT;
    *data = WSADATA{};
    data->wVersion = MAKEWORD(1, 1);
    data->wHighVersion = MAKEWORD(1, 1);
    std::strcpy(data->szDescription, "WinSock 1.1 over TCP sockets");
    std::strcpy(data->szSystemStatus, "Running");
    data->iMaxSockets = 0x7FFF;
    std::lock_guard lock(WinSock().mutex);
    ++WinSock().startups;
    return 0;
}

int WSACleanup() {
    WinSockState& w = WinSock();
    std::lock_guard lock(w.mutex);
    if (w.startups == 0) return Fail(WSANOTINITIALISED);
    if (--w.startups > 0) return 0;
    for (auto& [s, e] : w.sockets) {
        DropSelectionLocked(s, e);
        posix_socket::Close(e.fd);
    }
    w.sockets.clear();
    return 0;
}

int WSAGetLastError() { return t_lastError; }
void WSASetLastError(int error) { t_lastError = error; }

SOCKET socket(int family, int type, int protocol) {
    WinSockState& w = WinSock();
    std::lock_guard lock(w.mutex);
    if (w.startups == 0) {
        Fail(WSANOTINITIALISED);
        return INVALID_SOCKET;
    }
    if (family != AF_INET) {
        Fail(WSAEAFNOSUPPORT);
        return INVALID_SOCKET;
    }
    if (type != SOCK_STREAM || (protocol != 0 && protocol != IPPROTO_TCP)) {
        Fail(WSAEINVAL);
        return INVALID_SOCKET;
    }
    int fd = posix_socket::Create();
    if (fd < 0) {
        Fail(-fd);
        return INVALID_SOCKET;
    }
    SOCKET s = w.nextSocket;
    w.nextSocket += 4;
    w.sockets[s].fd = fd;
    return s;
}

int bind(SOCKET s, const sockaddr* address, int length) {
    std::lock_guard lock(WinSock().mutex);
    SocketEntry* e = Usable(s);
    if (e == nullptr) return SOCKET_ERROR;
    std::uint32_t ip;
    std::uint16_t port;
    int error;
    if (!ReadAddress(address, length, &ip, &port, &error)) return Fail(error);
    int r = posix_socket::Bind(e->fd, ip, port);
    return r < 0 ? Fail(-r) : 0;
}

int listen(SOCKET s, int backlog) {
    std::lock_guard lock(WinSock().mutex);
    SocketEntry* e = Usable(s);
    if (e == nullptr) return SOCKET_ERROR;
    if (e->connected || e->connecting) return Fail(WSAEISCONN);
    int r = posix_socket::Listen(e->fd, backlog < 1 ? 1 : backlog);
    if (r < 0) return Fail(-r);
    e->listening = true;
    return 0;
}

SOCKET accept(SOCKET s, sockaddr* address, int* length) {
    WinSockState& w = WinSock();
    int fd;
    std::uint32_t ip = 0;
    std::uint16_t port = 0;
    SocketEntry listener;
    {
        std::lock_guard lock(w.mutex);
        SocketEntry* e = Usable(s);
        if (e == nullptr) return INVALID_SOCKET;
        if (!e->listening) {
            Fail(WSAEINVAL);
            return INVALID_SOCKET;
        }
        e->acceptArmed = true;
        listener = *e;
    }
    // A blocking accept waits without the mutex, so other sockets stay usable.
    fd = posix_socket::Accept(listener.fd, &ip, &port);
    if (fd < 0) {
        Fail(-fd);
        return INVALID_SOCKET;
    }
    std::lock_guard lock(w.mutex);
    if (SocketEntry* still = FindSocketLocked(s)) PostAcceptIfWaitingLocked(s, *still);
    if (listener.nonBlocking && posix_socket::SetNonBlocking(fd) < 0) {
        posix_socket::Close(fd);
        Fail(WSAENOBUFS);
        return INVALID_SOCKET;
    }
    SOCKET client = w.nextSocket;
    w.nextSocket += 4;
    SocketEntry& e = w.sockets[client];
    e.fd = fd;
    e.connected = true;
    e.nonBlocking = listener.nonBlocking;
    // The accepted socket has the listening socket's selection.
    if (listener.events != 0) {
        e.window = listener.window;
        e.message = listener.message;
        e.events = listener.events;
        e.readArmed = e.writeArmed = true;
        ++w.selected;
    }
    WriteAddress(ip, port, address, length);
    return client;
}

int connect(SOCKET s, const sockaddr* address, int length) {
    std::lock_guard lock(WinSock().mutex);
    SocketEntry* e = Usable(s);
    if (e == nullptr) return SOCKET_ERROR;
    if (e->connected) return Fail(WSAEISCONN);
    if (e->connecting) return Fail(WSAEALREADY);
    if (e->listening) return Fail(WSAEINVAL);
    std::uint32_t ip;
    std::uint16_t port;
    int error;
    if (!ReadAddress(address, length, &ip, &port, &error)) return Fail(error);
    int r = posix_socket::Connect(e->fd, ip, port);
    if (!e->nonBlocking) {
        if (r < 0) return Fail(-r);
        e->connected = true;
        return 0;
    }
    // Without blocking, a connect always goes on in the background and ends
    // with FD_CONNECT, even one the system finished or refused at once.
    e->connecting = true;
    e->connectError = r < 0 && r != -WSAEWOULDBLOCK ? -r : 0;
    return Fail(WSAEWOULDBLOCK);
}

int recv(SOCKET s, char* buffer, int length, int flags) {
    std::lock_guard lock(WinSock().mutex);
    SocketEntry* e = Usable(s);
    if (e == nullptr) return SOCKET_ERROR;
    e->readArmed = true;  // recv re-enables FD_READ, whatever it finds
    if (!e->connected) return Fail(WSAENOTCONN);
    if (length < 0 || (buffer == nullptr && length > 0) || (flags & ~MSG_PEEK) != 0) return Fail(WSAEINVAL);
    long n = posix_socket::Receive(e->fd, buffer, static_cast<std::size_t>(length), (flags & MSG_PEEK) != 0);
    if (n < 0 && n != -WSAEWOULDBLOCK) e->closeError = static_cast<int>(-n);
    e->peekedWaiting = (flags & MSG_PEEK) != 0 ? posix_socket::Waiting(e->fd) : -1;
    if (n < 0) return Fail(static_cast<int>(-n));
    return static_cast<int>(n);
}

int send(SOCKET s, const char* buffer, int length, int flags) {
    std::lock_guard lock(WinSock().mutex);
    SocketEntry* e = Usable(s);
    if (e == nullptr) return SOCKET_ERROR;
    if (!e->connected) return Fail(WSAENOTCONN);
    if (length < 0 || (buffer == nullptr && length > 0) || flags != 0) return Fail(WSAEINVAL);
    long n = posix_socket::Send(e->fd, buffer, static_cast<std::size_t>(length));
    if (n == -WSAEWOULDBLOCK) e->writeArmed = true;  // FD_WRITE once it takes data again
    if (n < 0) return Fail(static_cast<int>(-n));
    return static_cast<int>(n);
}

int closesocket(SOCKET s) {
    WinSockState& w = WinSock();
    std::lock_guard lock(w.mutex);
    SocketEntry* e = Usable(s);
    if (e == nullptr) return SOCKET_ERROR;
    DropSelectionLocked(s, *e);
    int r = posix_socket::Close(e->fd);
    w.sockets.erase(s);
    return r < 0 ? Fail(-r) : 0;
}

int getsockname(SOCKET s, sockaddr* address, int* length) {
    std::lock_guard lock(WinSock().mutex);
    SocketEntry* e = Usable(s);
    if (e == nullptr) return SOCKET_ERROR;
    if (address == nullptr || length == nullptr || *length < static_cast<int>(sizeof(sockaddr_in)))
        return Fail(WSAEFAULT);
    std::uint32_t ip;
    std::uint16_t port;
    int r = posix_socket::LocalName(e->fd, &ip, &port);
    if (r < 0) return Fail(-r);
    WriteAddress(ip, port, address, length);
    return 0;
}

int WSAAsyncSelect(SOCKET s, HWND window, UINT message, long events) {
    WinSockState& w = WinSock();
    std::lock_guard lock(w.mutex);
    SocketEntry* e = Usable(s);
    if (e == nullptr) return SOCKET_ERROR;
    if (events != 0 && !IsWindow(window)) return Fail(WSAEINVAL);
    if (!e->nonBlocking) {
        int r = posix_socket::SetNonBlocking(e->fd);
        if (r < 0) return Fail(-r);
        e->nonBlocking = true;
    }
    if (events == 0) {
        DropSelectionLocked(s, *e);
        return 0;
    }
    if (e->events == 0) ++w.selected;
    e->window = window;
    e->message = message;
    e->events = events;
    // A new selection reports again what holds now (FD_CLOSE excepted, which
    // comes once in the socket's life).
    e->readArmed = e->writeArmed = e->acceptArmed = true;
    return 0;
}

std::uint16_t htons(std::uint16_t value) {
    if constexpr (std::endian::native == std::endian::little) return static_cast<std::uint16_t>((value << 8) | (value >> 8));
    return value;
}
std::uint16_t ntohs(std::uint16_t value) { return htons(value); }

std::uint32_t htonl(std::uint32_t value) {
    if constexpr (std::endian::native == std::endian::little)
        return (value >> 24) | ((value >> 8) & 0xFF00u) | ((value << 8) & 0xFF0000u) | (value << 24);
    return value;
}
std::uint32_t ntohl(std::uint32_t value) { return htonl(value); }

std::uint32_t inet_addr(const char* text) {
    if (text == nullptr) return INADDR_NONE;
    unsigned char bytes[4];
    const char* p = text;
    for (int part = 0; part < 4; ++part) {
        if (*p < '0' || *p > '9') return INADDR_NONE;
        int value = 0;
        int digits = 0;
        while (*p >= '0' && *p <= '9') {
            value = value * 10 + (*p++ - '0');
            if (++digits > 3 || value > 255) return INADDR_NONE;
        }
        bytes[part] = static_cast<unsigned char>(value);
        if (part < 3 && *p++ != '.') return INADDR_NONE;
    }
    if (*p != '\0') return INADDR_NONE;
    std::uint32_t address;
    std::memcpy(&address, bytes, sizeof address);  // the bytes in wire order
    return address;
}
