#include "runs.h"

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <vector>

#include "core/system_state.h"
#include "kelvo/api.h"
#include "net/network.h"
#include "peers.h"
#include "platform/backend.h"
#include "platform/winsock.h"

namespace netload {
namespace {

constexpr std::uint8_t kLoopback[4] = {127, 0, 0, 1};

void Pass() { ApiProcessMessage(); }

// Passes until `done` holds, for at most `seconds`; whether it held.
bool PassUntil(const std::function<bool()>& done, double seconds = 10) {
    double start = Now();
    while (!done()) {
        if (Now() - start > seconds) return false;
        Pass();
    }
    return true;
}

std::vector<HandleId> OpenHandles() {
    std::vector<HandleId> out;
    const NetworkListNode* head = &g_NetworkState.head;
    for (const NetworkListNode* n = head->next; n != nullptr && n != head; n = n->next) out.push_back(n->handle);
    return out;
}

int OpenCount() { return g_NetworkState.table.Count(); }

// The handle the framework accepted for a peer, or -1.
HandleId AcceptedFor(int peer) {
    int port = LocalPort(peer);
    HandleId found = -1;
    PassUntil([&] {
        for (HandleId h : OpenHandles())
            if (LookupNetworkHandle(h)->peerPort == port) found = h;
        return found >= 0;
    });
    return found;
}

double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

void PassTimes::Add(double seconds, double cpuSeconds) {
    ++passes;
    total += seconds;
    longest = std::max(longest, seconds);
    longestCpu = std::max(longestCpu, cpuSeconds);
    if (seconds > 0.001) ++over1ms;
}

namespace {
char g_folder[] = "/tmp/netload-XXXXXX";
}  // namespace

int StartFramework(std::string* why) {
    PlatformSelectBackend(PlatformBackend::Headless);
    if (mkdtemp(g_folder) == nullptr || chdir(g_folder) != 0) {
        *why = "no folder to run in";
        return -1;
    }
    SetUseMessageThread(0);  // every pass is the one timed
    ApiSetLogEnabled(0);
    if (ApiInitFramework() != 0) {
        *why = "the framework did not start";
        return -1;
    }
    int port = StartNetwork(kLoopback, 0);
    if (port <= 0) *why = "the network did not start";
    return port;
}

void EndFramework() {
    ApiEndFramework();
    // The framework wrote nothing there (its log is off): the folder goes.
    if (chdir("/") == 0) rmdir(g_folder);
}

FloodResult RunFlood(int port, double seconds, bool read) {
    FloodResult r;
    int peer = ConnectPeer(port);
    HandleId h = peer >= 0 ? AcceptedFor(peer) : -1;
    if (h < 0) {
        ClosePeer(peer);
        return r;
    }
    std::vector<char> buffer(4u << 20);
    {
        FrameFlood flood(peer);
        double start = Now();
        while (Now() - start < seconds) {
            double t = Now(), c = CpuNow();
            Pass();
            if (read) {
                int n = GetNetWorkDataLength(h);
                if (n > static_cast<int>(buffer.size())) n = static_cast<int>(buffer.size());
                if (n > 0 && NetWorkRecv(h, buffer.data(), n) == 0) r.taken += static_cast<std::uint64_t>(n);
            }
            r.times.Add(Now() - t, CpuNow() - c);
        }
        flood.Stop();
        r.peerSent = flood.bytesSent();
    }
    const NetworkRecord* record = LookupNetworkHandle(h);
    r.unread = record->receiveRing.dataSize;
    r.ringCapacity = record->receiveRing.capacity;
    r.ok = record->error == 0;
    DisconnectNetworkHandle(h);
    ClosePeer(peer);
    return r;
}

IdleResult RunIdle(int port, int connections) {
    IdleResult r;
    r.connections = connections;
    std::vector<int> peers;
    // In batches the listening socket's queue holds, each accepted before the next.
    while (static_cast<int>(peers.size()) < connections) {
        int batch = std::min(256, connections - static_cast<int>(peers.size()));
        int made = 0;
        for (; made < batch; ++made) {
            int fd = ConnectPeer(port);
            if (fd < 0) break;
            peers.push_back(fd);
        }
        int want = static_cast<int>(peers.size());
        if (!PassUntil([&] { return OpenCount() == want; }) || made < batch) break;
    }
    auto closeAll = [&] {
        for (int fd : peers) ClosePeer(fd);
        peers.clear();
    };
    if (OpenCount() != connections) {
        closeAll();
        PassUntil([] { return OpenCount() == 0; });
        return r;
    }
    for (int i = 0; i < 5; ++i) Pass();  // every new connection's FD_WRITE taken

    const std::vector<HandleId> handles = OpenHandles();
    std::vector<double> rounds, passes, calls;
    const std::uint64_t looksBefore = PlatformSocketLooks();
    for (int round = 0; round < 30; ++round) {
        double t0 = Now(), c0 = CpuNow();
        Pass();
        double t1 = Now();
        for (HandleId h : handles) GetNetWorkDataLength(h);
        double t2 = Now();
        r.longestRoundCpu = std::max(r.longestRoundCpu, CpuNow() - c0);
        passes.push_back(t1 - t0);
        calls.push_back(t2 - t1);
        rounds.push_back(t2 - t0);
    }
    r.rounds = static_cast<int>(rounds.size());
    r.looksPerRound = (PlatformSocketLooks() - looksBefore) / static_cast<std::uint64_t>(r.rounds);
    r.medianRound = Median(rounds);
    r.longestRound = *std::max_element(rounds.begin(), rounds.end());
    r.medianPass = Median(passes);
    r.medianCalls = Median(calls);
    std::vector<double> all, each;
    for (int i = 0; i < 30; ++i) {
        all.push_back(TimePollAll(peers));
        each.push_back(TimePollEach(peers));
    }
    r.pollAll = Median(all);
    r.pollEach = Median(each);

    if (connections == kNetworkSlotCount) {
        // Every slot is taken: one more peer is refused, not left waiting,
        // and once a peer leaves, the next is accepted.
        int extra = ConnectPeer(port);
        for (int i = 0; i < 5; ++i) Pass();
        r.refusedWhenFull = extra >= 0 && PeerEnded(extra, 2.0) ? 1 : 0;
        ClosePeer(extra);
        ClosePeer(peers.front());
        peers.erase(peers.begin());
        bool left = PassUntil([&] { return OpenCount() == connections - 1; });
        int next = ConnectPeer(port);
        r.acceptedAfterOneLeft = left && next >= 0 && AcceptedFor(next) >= 0 ? 1 : 0;
        if (next >= 0) peers.push_back(next);
    }
    double start = Now();
    closeAll();
    while (OpenCount() > 0 && Now() - start < 30) {
        double t = Now(), c = CpuNow();
        Pass();
        r.longestReleasePass = std::max(r.longestReleasePass, Now() - t);
        r.longestReleasePassCpu = std::max(r.longestReleasePassCpu, CpuNow() - c);
    }
    r.ok = OpenCount() == 0;
    r.releaseAll = Now() - start;
    return r;
}

ChurnResult RunChurn(int port, int cycles) {
    ChurnResult r;
    double start = Now();
    bool ok = true;
    while (ok && r.cycles < cycles) {
        int batch = std::min(100, cycles - r.cycles);
        std::vector<int> peers;
        for (int i = 0; i < batch; ++i) peers.push_back(ConnectPeer(port));
        ok = PassUntil([&] { return OpenCount() == batch; });
        for (int fd : peers) ClosePeer(fd);
        ok = ok && PassUntil([] { return OpenCount() == 0; });
        r.cycles += batch;
    }
    r.seconds = Now() - start;
    r.slotsHeld = OpenCount();
    int late = ConnectPeer(port);
    HandleId h = late >= 0 ? AcceptedFor(late) : -1;
    r.lateAccepted = h >= 0;
    ClosePeer(late);
    PassUntil([] { return OpenCount() == 0; });
    r.ok = ok;
    return r;
}

SendResult RunSend(double seconds) {
    SendResult r;
    int listenPort = 0;
    int listener = ListenPeer(&listenPort);
    HandleId h = listener >= 0 ? ConnectNetWork(kLoopback, listenPort) : -1;
    int peer = h >= 0 ? AcceptPeer(listener) : -1;
    ClosePeer(listener);
    if (peer < 0 || !PassUntil([&] { return GetNetWorkAcceptState(h) == 1; })) {
        ClosePeer(peer);
        return r;
    }
    const std::vector<char> piece(64 * 1024, 's');
    double start = Now();
    while (Now() - start < seconds) {
        double t = Now(), c = CpuNow();
        Pass();
        for (int i = 0; i < 16; ++i)
            if (NetWorkSend(h, piece.data(), static_cast<int>(piece.size())) != 0) ++r.refused;
        r.times.Add(Now() - t, CpuNow() - c);
        r.queued = std::max<std::uint64_t>(r.queued, LookupNetworkHandle(h)->sendRing.dataSize);
    }
    r.ok = LookupNetworkHandle(h)->error == 0;
    // The peer never reads: what waits is dropped with the handle.
    ClosePeer(peer);
    DisconnectNetworkHandle(h);
    return r;
}

}  // namespace netload
