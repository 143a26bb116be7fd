// netload: the network layer's message passes under hostile and heavy load,
// on loopback against a headless framework.
//
//   netload [--seconds N] [--connections N] [--cycles N] [--only RUN]
//   netload --help
//
// Runs, in order (--only picks one):
//   flood   a peer floods 1,000-byte frames at a handle nobody reads for N
//           seconds (default 20): the longest message pass; then the same
//           with the program reading after each pass, beside a bare recv loop
//   idle    N idle connections (default 4096): a pass and one per-handle call
//           on each, beside the bare poll() calls on the same number of sockets
//   churn   N connect-and-close cycles (default 5000): the slots still held
//   send    64 KB pieces to a peer that never reads for N seconds: the longest
//           pass with its sends
// The open-file limit is raised as far as the idle run needs (two sockets a
// connection), within the hard limit.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "net/network.h"
#include "peers.h"
#include "runs.h"

namespace {

int Usage(std::FILE* to, int code) {
    std::fputs("usage: netload [--seconds N] [--connections N] [--cycles N] [--only flood|idle|churn|send]\n"
               "       netload --help\n",
               to);
    return code;
}

double Ms(double seconds) { return seconds * 1000; }
double Mb(double bytes) { return bytes / (1024.0 * 1024.0); }

void ReportFlood(const char* what, double seconds, const netload::FloodResult& r, double rawRate) {
    std::printf("flood, %s, %.0f s: %ld passes, longest %.3f ms (bar 50 ms; processor time %.3f ms), mean %.1f us, "
                "%ld over 1 ms; the peer sent %.1f MB",
                what, seconds, r.times.passes, Ms(r.times.longest), Ms(r.times.longestCpu), r.times.Mean() * 1e6,
                r.times.over1ms, Mb(r.peerSent));
    if (rawRate > 0) {
        double rate = static_cast<double>(r.taken) / seconds;
        std::printf(", the program took %.1f MB/s = %.2f x a bare recv loop's %.1f MB/s in this run", Mb(rate),
                    rate / rawRate, Mb(rawRate));
    }
    std::printf("; %.2f MB unread at the end (ring %.2f MB; first touch of that much new memory takes %.3f ms "
                "here)%s\n",
                Mb(r.unread), Mb(r.ringCapacity), Ms(netload::TimeFreshTouch(r.ringCapacity)), r.ok ? "" : "; FAILED");
}

}  // namespace

int main(int argc, char** argv) {
    double seconds = 20;
    int connections = kNetworkSlotCount;
    int cycles = 5000;
    std::string only;
    for (int i = 1; i < argc; ++i) {
        auto value = [&](const char* name) -> const char* {
            if (std::strcmp(argv[i], name) != 0) return nullptr;
            if (i + 1 >= argc) return nullptr;
            return argv[++i];
        };
        if (std::strcmp(argv[i], "--help") == 0) return Usage(stdout, 0);
        if (const char* v = value("--seconds")) {
            seconds = std::atof(v);
        } else if (const char* v2 = value("--connections")) {
            connections = std::atoi(v2);
        } else if (const char* v3 = value("--cycles")) {
            cycles = std::atoi(v3);
        } else if (const char* v4 = value("--only")) {
            only = v4;
        } else {
            std::fprintf(stderr, "netload: unknown or incomplete option %s\n", argv[i]);
            return Usage(stderr, 2);
        }
    }
    bool knownRun = only.empty() || only == "flood" || only == "idle" || only == "churn" || only == "send";
    if (seconds <= 0 || connections < 1 || connections > kNetworkSlotCount || cycles < 1 || !knownRun)
        return Usage(stderr, 2);
    auto runs = [&](const char* name) { return only.empty() || only == name; };

    long limit = netload::RaiseOpenFileLimit(2L * connections + 256);
    if (runs("idle") && limit < 2L * connections + 64) {
        std::fprintf(stderr, "netload: the open-file limit (%ld) is too low for %d connections\n", limit, connections);
        return 1;
    }
    std::string why;
    int port = netload::StartFramework(&why);
    if (port <= 0) {
        std::fprintf(stderr, "netload: %s\n", why.c_str());
        return 1;
    }
    bool ok = true;
    if (runs("flood")) {
        netload::FloodResult unread = netload::RunFlood(port, seconds, false);
        ReportFlood("nobody reads", seconds, unread, 0);
        netload::FloodResult read = netload::RunFlood(port, seconds, true);
        double raw = netload::RawReceiveRate(seconds < 5 ? seconds : 5);
        ReportFlood("read after each pass", seconds, read, raw);
        ok = ok && unread.ok && read.ok;
    }
    if (runs("idle")) {
        netload::IdleResult r = netload::RunIdle(port, connections);
        std::printf("idle, %d connections: a pass and %d per-handle calls: median %.2f ms, longest %.2f ms of %d "
                    "(bar 50 ms; processor time at most %.2f ms); the pass %.3f ms = %.1f x a bare poll() of as many sockets (%.3f ms); the calls "
                    "%.3f ms, %.2f us each (a poll of even one socket a call would cost %.3f ms here); %llu socket "
                    "looks a round\n",
                    r.connections, r.connections, Ms(r.medianRound), Ms(r.longestRound), r.rounds,
                    Ms(r.longestRoundCpu), Ms(r.medianPass),
                    r.medianPass / r.pollAll, Ms(r.pollAll), Ms(r.medianCalls), r.medianCalls * 1e6 / r.connections,
                    Ms(r.pollEach), static_cast<unsigned long long>(r.looksPerRound));
        if (r.refusedWhenFull >= 0)
            std::printf("  with every slot taken, one more peer was %s; once one left, the next was %s\n",
                        r.refusedWhenFull ? "refused" : "NOT refused",
                        r.acceptedAfterOneLeft ? "accepted" : "NOT accepted");
        std::printf("  all released %.2f s after the peers left, the longest pass on the way %.2f ms (processor "
                    "time at most %.2f ms)%s\n",
                    r.releaseAll, Ms(r.longestReleasePass), Ms(r.longestReleasePassCpu), r.ok ? "" : "; FAILED");
        ok = ok && r.ok && r.refusedWhenFull != 0 && r.acceptedAfterOneLeft != 0;
    }
    if (runs("churn")) {
        netload::ChurnResult r = netload::RunChurn(port, cycles);
        std::printf("churn: %d connect-and-close cycles in %.2f s: %d slots held; a peer after them %s%s\n", r.cycles,
                    r.seconds, r.slotsHeld, r.lateAccepted ? "accepted" : "NOT accepted", r.ok ? "" : "; FAILED");
        ok = ok && r.ok && r.slotsHeld == 0 && r.lateAccepted;
    }
    if (runs("send")) {
        netload::SendResult r = netload::RunSend(seconds);
        std::printf("send, 64 KB pieces to a peer that never reads, %.0f s: %ld passes of 16 sends, longest %.3f ms "
                    "(processor time %.3f ms), mean %.1f us; at most %.1f MB queued, %ld sends refused; first touch "
                    "of half that much new memory (what the last growth copies into) takes %.3f ms here%s\n",
                    seconds, r.times.passes, Ms(r.times.longest), Ms(r.times.longestCpu), r.times.Mean() * 1e6,
                    Mb(r.queued), r.refused, Ms(netload::TimeFreshTouch(r.queued / 2)), r.ok ? "" : "; FAILED");
        ok = ok && r.ok;
    }
    netload::EndFramework();
    return ok ? 0 : 1;
}
