// The loads, each against a framework that runs headless with its network
// started on 127.0.0.1 (StartFramework), measured pass by pass. A pass is one
// ApiProcessMessage, as a program's frame loop makes it.
#pragma once

#include <cstdint>
#include <string>

namespace netload {

// Starts the framework and its network in a fresh folder: the port it
// listens on, or -1 (with `why` set).
int StartFramework(std::string* why);
void EndFramework();

// Wall time, and the processor time of the thread (what the pass itself
// did, without the time the shared machine gave to others).
struct PassTimes {
    long passes = 0;
    double longest = 0;  // seconds
    double longestCpu = 0;
    double total = 0;
    long over1ms = 0;
    void Add(double seconds, double cpuSeconds);
    double Mean() const { return passes > 0 ? total / static_cast<double>(passes) : 0; }
};

// A peer floods 1,000-byte frames at a handle for `seconds`; with `read`,
// the program takes what came after each pass.
struct FloodResult {
    PassTimes times;
    std::uint64_t peerSent = 0;
    std::uint64_t taken = 0;      // read: bytes the program took
    std::uint32_t unread = 0;     // at the end
    std::uint32_t ringCapacity = 0;
    bool ok = false;
};
FloodResult RunFlood(int port, double seconds, bool read);

// `connections` idle peers; each round is one pass and one call per handle.
struct IdleResult {
    int connections = 0;
    int rounds = 0;
    double medianRound = 0, longestRound = 0;
    double longestRoundCpu = 0;            // processor time of the longest (by it) round
    double medianPass = 0, medianCalls = 0;
    double pollAll = 0, pollEach = 0;      // the bare system calls, same sockets
    std::uint64_t looksPerRound = 0;
    int refusedWhenFull = -1;              // 1: a peer past the table's size was refused; -1: not tried
    int acceptedAfterOneLeft = -1;
    double releaseAll = 0;                 // seconds until every handle was released once the peers left
    double longestReleasePass = 0, longestReleasePassCpu = 0;
    bool ok = false;
};
IdleResult RunIdle(int port, int connections);

// Peers connecting and closing again, `cycles` times in all.
struct ChurnResult {
    int cycles = 0;
    double seconds = 0;
    int slotsHeld = -1;
    bool lateAccepted = false;
    bool ok = false;
};
ChurnResult RunChurn(int port, int cycles);

// A handle sending 64 KB pieces (16 a pass) to a peer that never reads, for
// `seconds`.
struct SendResult {
    PassTimes times;
    std::uint64_t queued = 0;    // the most that waited
    long refused = 0;            // sends refused at the send backlog
    bool ok = false;
};
SendResult RunSend(double seconds);

}  // namespace netload
