// The other end of the load: plain system sockets on 127.0.0.1, and the bare
// system calls a pass cannot do with less, timed the same way for comparison.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <thread>
#include <vector>

namespace netload {

// Seconds of a monotonic clock, and of the calling thread's processor time.
double Now();
double CpuNow();

// Raises the open-file limit to at least `files` (up to the hard limit);
// the limit in force afterwards.
long RaiseOpenFileLimit(long files);

// A blocking connection to 127.0.0.1:port; -1 when it fails.
int ConnectPeer(int port);
void ClosePeer(int fd);
int LocalPort(int fd);
// Whether the framework ended the peer's connection (within `seconds`).
bool PeerEnded(int fd, double seconds);
// A listening socket on 127.0.0.1 at a free port, and that port.
int ListenPeer(int* port);
int AcceptPeer(int listener);

// A thread sending 1,000-byte frames (a 4-byte length, then the bytes) on
// `fd` as fast as the other end takes them, until stopped.
class FrameFlood {
public:
    explicit FrameFlood(int fd);
    ~FrameFlood();
    void Stop();
    std::uint64_t bytesSent() const { return sent_; }

private:
    int fd_;
    std::atomic<bool> stop_{false};
    std::atomic<std::uint64_t> sent_{0};
    std::thread thread_;
};

// Floors in the same run, on the same kind of sockets:
// seconds one poll() of all `fds` takes, without waiting;
double TimePollAll(const std::vector<int>& fds);
// seconds one poll() of each fd in turn takes, all of them (what looking at
// one socket a call would cost);
double TimePollEach(const std::vector<int>& fds);
// bytes a second a plain recv loop takes from a flooding loopback peer;
double RawReceiveRate(double seconds);
// seconds a memset of `bytes` of memory never touched before takes (the
// system's first-touch cost, which a growing ring pays).
double TimeFreshTouch(std::size_t bytes);

}  // namespace netload
