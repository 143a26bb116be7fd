#include "support/loopback.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fcntl.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

using Clock = std::chrono::steady_clock;

Clock::time_point FromNow() { return Clock::now() + NoProgressLimit(); }

int MillisecondsLeft(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

// Waits for `events` on fd until the deadline.
bool WaitFor(int fd, short events, Clock::time_point deadline) {
    for (;;) {
        pollfd p{fd, events, 0};
        int r = ::poll(&p, 1, MillisecondsLeft(deadline));
        if (r > 0) return true;
        if (r == 0 || errno != EINTR) return false;
    }
}

sockaddr_in Loopback(int port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}

// The value of a Content-Length line in a request head, or 0.
std::size_t ContentLengthOf(const std::string& head) {
    std::size_t at = head.find("Content-Length:");
    return at == std::string::npos ? 0 : std::strtoul(head.c_str() + at + 15, nullptr, 10);
}

}  // namespace

LoopbackSocket& LoopbackSocket::operator=(LoopbackSocket&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

LoopbackSocket LoopbackSocket::Connect(int port) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a = Loopback(port);
    if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(fd);
        fd = -1;
    }
    return LoopbackSocket(fd);
}

LoopbackSocket LoopbackSocket::Listen() {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a = Loopback(0);
    if (fd >= 0 && (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(fd, 16) != 0)) {
        ::close(fd);
        fd = -1;
    }
    return LoopbackSocket(fd);
}

int LoopbackSocket::LocalPort() const {
    sockaddr_in a{};
    socklen_t length = sizeof a;
    if (::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &length) != 0) return -1;
    return ntohs(a.sin_port);
}

LoopbackSocket LoopbackSocket::Accept() const {
    if (!WaitFor(fd_, POLLIN, FromNow())) return LoopbackSocket();
    return LoopbackSocket(::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC));
}

bool LoopbackSocket::SendAll(const std::string& bytes) const {
    auto deadline = FromNow();
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        if (!WaitFor(fd_, POLLOUT, deadline)) return false;
        ssize_t n = ::send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0 && errno != EAGAIN && errno != EINTR) return false;
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
            deadline = FromNow();
        }
    }
    return true;
}

std::string LoopbackSocket::ReceiveExactly(std::size_t n) const {
    auto deadline = FromNow();
    std::string out;
    char buffer[65536];
    while (out.size() < n && WaitFor(fd_, POLLIN, deadline)) {
        ssize_t got = ::recv(fd_, buffer, std::min(sizeof buffer, n - out.size()), MSG_DONTWAIT);
        if (got == 0 || (got < 0 && errno != EAGAIN && errno != EINTR)) break;
        if (got > 0) {
            out.append(buffer, static_cast<std::size_t>(got));
            deadline = FromNow();
        }
    }
    return out;
}

std::string LoopbackSocket::ReceiveHead() const {
    auto deadline = FromNow();
    std::string out;
    char byte;
    auto ended = [&] {
        return out.ends_with("\r\n\r\n") || out.ends_with("\n\n");
    };
    while (!ended() && WaitFor(fd_, POLLIN, deadline)) {
        ssize_t got = ::recv(fd_, &byte, 1, MSG_DONTWAIT);
        if (got == 0 || (got < 0 && errno != EAGAIN && errno != EINTR)) break;
        if (got > 0) {
            out += byte;
            deadline = FromNow();
        }
    }
    return out;
}

std::string LoopbackSocket::ReceiveToEnd() const {
    auto deadline = FromNow();
    std::string out;
    char buffer[65536];
    while (WaitFor(fd_, POLLIN, deadline)) {
        ssize_t got = ::recv(fd_, buffer, sizeof buffer, MSG_DONTWAIT);
        if (got == 0 || (got < 0 && errno != EAGAIN && errno != EINTR)) break;
        if (got > 0) {
            out.append(buffer, static_cast<std::size_t>(got));
            deadline = FromNow();
        }
    }
    return out;
}

bool LoopbackSocket::PeerEnded() const {
    if (!WaitFor(fd_, POLLIN, FromNow())) return false;
    char byte;
    return ::recv(fd_, &byte, 1, MSG_PEEK | MSG_DONTWAIT) <= 0;
}

void LoopbackSocket::ShutdownWrite() const { ::shutdown(fd_, SHUT_WR); }

void LoopbackSocket::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

void LoopbackSocket::Abort() {
    if (fd_ < 0) return;
    linger l{1, 0};
    ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &l, sizeof l);
    Close();
}

LoopbackHttpServer::LoopbackHttpServer(Responder respond)
    : respond_(std::move(respond)), listener_(LoopbackSocket::Listen()) {
    port_ = listener_.LocalPort();
    if (::pipe2(stopPipe_, O_CLOEXEC) != 0) stopPipe_[0] = stopPipe_[1] = -1;
    thread_ = std::thread([this] { Run(); });
}

LoopbackHttpServer::~LoopbackHttpServer() {
    if (stopPipe_[1] >= 0) {
        char stop = 1;
        [[maybe_unused]] ssize_t n = ::write(stopPipe_[1], &stop, 1);
    }
    thread_.join();
    for (int fd : stopPipe_)
        if (fd >= 0) ::close(fd);
}

std::vector<std::string> LoopbackHttpServer::Requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

void LoopbackHttpServer::Run() {
    for (;;) {
        // A connection, or the word to stop. The destructor always gives that
        // word; the slice only keeps this wait bounded as well.
        pollfd p[2] = {{stopPipe_[0], POLLIN, 0}, {listener_.fd(), POLLIN, 0}};
        int r = ::poll(p, 2, 1000);
        if (r < 0 && errno == EINTR) continue;
        if (r < 0 || (p[0].revents & POLLIN) != 0) return;
        if (r == 0) continue;
        LoopbackSocket client(::accept4(listener_.fd(), nullptr, nullptr, SOCK_CLOEXEC));
        if (!client.valid()) continue;
        std::string request = client.ReceiveHead();
        request += client.ReceiveExactly(ContentLengthOf(request));
        {
            std::lock_guard lock(mutex_);
            requests_.push_back(request);
        }
        Answer answer = respond_(request);
        client.SendAll(answer.bytes);
        // The whole request was read, so closing ends the connection in
        // order (a reset only when asked for).
        if (answer.abort)
            client.Abort();
        else
            client.Close();
    }
}

bool PumpUntil(const std::function<bool()>& done, const std::function<void()>& step,
               const std::function<std::uint64_t()>& progress) {
    auto deadline = FromNow();
    std::uint64_t last = progress ? progress() : 0;
    while (!done()) {
        if (progress && progress() != last) {
            last = progress();
            deadline = FromNow();
        }
        if (Clock::now() > deadline) return false;
        step();
        std::this_thread::yield();
    }
    return true;
}
