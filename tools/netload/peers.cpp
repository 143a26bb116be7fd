#include "peers.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace netload {
namespace {

sockaddr_in Loopback(int port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}

// A stream of frames, ready to send again and again.
std::vector<char> FrameBatch() {
    constexpr int kFrames = 64;
    constexpr std::uint32_t kPayload = 1000;
    std::vector<char> out;
    for (int f = 0; f < kFrames; ++f) {
        for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((kPayload >> (8 * i)) & 0xFF));
        for (std::uint32_t i = 0; i < kPayload; ++i) out.push_back(static_cast<char>(f + i));
    }
    return out;
}

}  // namespace

double Now() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

double CpuNow() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

long RaiseOpenFileLimit(long files) {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0) return -1;
    if (limit.rlim_cur < static_cast<rlim_t>(files)) {
        limit.rlim_cur = limit.rlim_max == RLIM_INFINITY || limit.rlim_max >= static_cast<rlim_t>(files)
                             ? static_cast<rlim_t>(files)
                             : limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
        getrlimit(RLIMIT_NOFILE, &limit);
    }
    return static_cast<long>(limit.rlim_cur);
}

int ConnectPeer(int port) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    sockaddr_in a = Loopback(port);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

void ClosePeer(int fd) {
    if (fd >= 0) ::close(fd);
}

int LocalPort(int fd) {
    sockaddr_in a{};
    socklen_t length = sizeof a;
    return ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length) == 0 ? ntohs(a.sin_port) : -1;
}

bool PeerEnded(int fd, double seconds) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(seconds * 1000)) <= 0) return false;
    char byte;
    return ::recv(fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT) <= 0;
}

int ListenPeer(int* port) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a = Loopback(0);
    socklen_t length = sizeof a;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(fd, 16) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length) != 0) {
        if (fd >= 0) ::close(fd);
        return -1;
    }
    *port = ntohs(a.sin_port);
    return fd;
}

int AcceptPeer(int listener) { return ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC); }

FrameFlood::FrameFlood(int fd) : fd_(fd) {
    thread_ = std::thread([this] {
        const std::vector<char> batch = FrameBatch();
        std::size_t at = 0;
        while (!stop_) {
            // Waits in slices, so a stop is seen while the other end takes nothing.
            pollfd p{fd_, POLLOUT, 0};
            if (::poll(&p, 1, 50) <= 0) continue;
            ssize_t n = ::send(fd_, batch.data() + at, batch.size() - at, MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n < 0 && errno != EAGAIN && errno != EINTR) break;
            if (n > 0) {
                sent_ += static_cast<std::uint64_t>(n);
                at = (at + static_cast<std::size_t>(n)) % batch.size();
            }
        }
    });
}

FrameFlood::~FrameFlood() { Stop(); }

void FrameFlood::Stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
}

double TimePollAll(const std::vector<int>& fds) {
    std::vector<pollfd> polls;
    for (int fd : fds) polls.push_back({fd, POLLIN | POLLRDHUP, 0});
    double start = Now();
    ::poll(polls.data(), polls.size(), 0);
    return Now() - start;
}

double TimePollEach(const std::vector<int>& fds) {
    double start = Now();
    for (int fd : fds) {
        pollfd p{fd, POLLIN | POLLRDHUP, 0};
        ::poll(&p, 1, 0);
    }
    return Now() - start;
}

double RawReceiveRate(double seconds) {
    int port = 0;
    int listener = ListenPeer(&port);
    int sender = ConnectPeer(port);
    int receiver = AcceptPeer(listener);
    ClosePeer(listener);
    if (sender < 0 || receiver < 0) {
        ClosePeer(sender);
        ClosePeer(receiver);
        return 0;
    }
    FrameFlood flood(sender);
    std::vector<char> buffer(64 * 1024);
    std::uint64_t got = 0;
    double start = Now();
    while (Now() - start < seconds) {
        ssize_t n = ::recv(receiver, buffer.data(), buffer.size(), 0);
        if (n <= 0) break;
        got += static_cast<std::uint64_t>(n);
    }
    double elapsed = Now() - start;
    ClosePeer(receiver);  // ends the flood's sends
    flood.Stop();
    ClosePeer(sender);
    return static_cast<double>(got) / elapsed;
}

double TimeFreshTouch(std::size_t bytes) {
    // Through a pointer the compiler cannot see through, so the fill stays.
    static void* (*volatile fill)(void*, int, std::size_t) = std::memset;
    void* block = std::malloc(bytes);
    if (block == nullptr) return 0;
    double start = Now();
    fill(block, 1, bytes);
    double elapsed = Now() - start;
    std::free(block);
    return elapsed;
}

}  // namespace netload
