// The other end of the framework's sockets in tests: plain system sockets on
// 127.0.0.1, and a small HTTP server on a thread of its own. A port of 0 lets
// the system choose a free one.
//
// Every wait here ends on progress, not on a total time: it gives up once
// nothing has moved (no byte sent or received, nothing it waits for come)
// for the no-progress limit, and goes on for as long as things move. On a
// machine busy with other work a large exchange may take many times as long
// as on a quiet one; a peer that stops still fails the test, after the limit.
#pragma once

#include <atomic>
#include <cstdint>
// <chrono> whole does not build with the Shift-JIS execution character set;
// <thread> brings the clocks.
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/no_progress.h"

class LoopbackSocket {
public:
    LoopbackSocket() = default;
    explicit LoopbackSocket(int fd) : fd_(fd) {}
    ~LoopbackSocket() { Close(); }
    LoopbackSocket(LoopbackSocket&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    LoopbackSocket& operator=(LoopbackSocket&& other) noexcept;
    LoopbackSocket(const LoopbackSocket&) = delete;
    LoopbackSocket& operator=(const LoopbackSocket&) = delete;

    // A connection to 127.0.0.1:port; an invalid socket when it fails.
    static LoopbackSocket Connect(int port);
    // A socket listening on 127.0.0.1 at a free port.
    static LoopbackSocket Listen();

    bool valid() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    int LocalPort() const;
    // A waiting connection; invalid when none came.
    LoopbackSocket Accept() const;
    bool SendAll(const std::string& bytes) const;
    // Exactly n bytes, or fewer when the peer ends or stops sending.
    std::string ReceiveExactly(std::size_t n) const;
    // A request head: up to and with an empty line (CRLF or LF line ends).
    std::string ReceiveHead() const;
    // Everything until the peer ends its side (or stops sending).
    std::string ReceiveToEnd() const;
    // True when the peer has ended its side, all data read.
    bool PeerEnded() const;
    void ShutdownWrite() const;
    void Close();
    // Closes with a reset instead of an orderly end.
    void Abort();

private:
    int fd_ = -1;
};

// Serves HTTP on 127.0.0.1 at a free port: for each connection it reads the
// request head and the body its Content-Length gives, keeps the request, and
// answers with what `respond` returns; then it ends the connection (with a
// reset when `abort` is set for it).
class LoopbackHttpServer {
public:
    struct Answer {
        std::string bytes;
        bool abort = false;
    };
    using Responder = std::function<Answer(const std::string& request)>;

    explicit LoopbackHttpServer(Responder respond);
    ~LoopbackHttpServer();
    int port() const { return port_; }
    std::vector<std::string> Requests() const;

private:
    void Run();

    Responder respond_;
    LoopbackSocket listener_;
    int port_ = 0;
    int stopPipe_[2] = {-1, -1};
    mutable std::mutex mutex_;
    std::vector<std::string> requests_;
    std::thread thread_;
};

// Calls `step` until `done` holds; true when it held. `progress`, when
// given, is a measure of the work done so far (bytes through, say: any
// change counts); the pumping gives up once neither it has changed nor
// `done` held for the no-progress limit. Without it, the wait is for one
// thing to happen, and gets the limit as a whole.
bool PumpUntil(const std::function<bool()>& done, const std::function<void()>& step,
               const std::function<std::uint64_t()>& progress = {});
