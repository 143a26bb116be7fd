// The network started on 127.0.0.1 at a free port, with the log in a fresh
// folder; at the end it is ended again and every tracked block must be back.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/memory.h"
#include "framework/core/log_capture.h"
#include "net/network.h"
#include "platform/backend.h"
#include "platform/window.h"
#include "support/loopback.h"

constexpr std::uint8_t kLoopbackAddress[4] = {127, 0, 0, 1};

class NetworkTest : public ::testing::Test {
protected:
    void SetUp() override {
        PlatformSelectBackend(PlatformBackend::Headless);
        PlatformResetWindows();
        log_ = std::make_unique<LogCapture>();
        g_SystemState.quitFlag = 0;  // a framework ended by an earlier test leaves it set
        blocksBefore_ = g_MemoryTracker.count;
        port_ = StartNetwork(kLoopbackAddress, 0);
        ASSERT_GT(port_, 0);
    }
    void TearDown() override {
        EndNetwork();
        SetNetWorkNoFraming(0);
        SetNetWorkNoAutoClose(0);
        EXPECT_EQ(g_MemoryTracker.count, blocksBefore_);
        log_.reset();
        PlatformResetWindows();
    }

    std::string Log() const { return log_->FileWithoutTimes(); }
    static int Count(const std::string& text, const std::string& part) {
        int n = 0;
        for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
        return n;
    }

    // One pass of message processing, as far as the network goes.
    static void Pass() { ProcessNetwork(); }
    // Passes until `done` holds; `progress` as for PumpUntil (a wait for
    // something that comes in many steps gives one).
    static bool PassUntil(const std::function<bool()>& done, const std::function<std::uint64_t()>& progress = {}) {
        return PumpUntil(done, Pass, progress);
    }

    // The open handles, in the order they were made.
    static std::vector<HandleId> OpenHandles() {
        std::vector<HandleId> out;
        const NetworkListNode* head = &g_NetworkState.head;
        for (const NetworkListNode* n = head->next; n != nullptr && n != head; n = n->next) out.push_back(n->handle);
        return out;
    }

    // The handle accepted for a plain peer (by the peer's port), or -1.
    static HandleId AcceptedFor(const LoopbackSocket& peer) {
        HandleId found = -1;
        PassUntil([&] {
            for (HandleId h : OpenHandles())
                if (LookupNetworkHandle(h)->peerPort == peer.LocalPort()) found = h;
            return found >= 0;
        });
        return found;
    }

    // Two framework handles connected to each other: ours, and the one the
    // listening socket accepted for it.
    void ConnectedPair(HandleId* ours, HandleId* accepted) {
        std::size_t before = OpenHandles().size();
        *ours = ConnectNetWork(kLoopbackAddress, port_);
        ASSERT_GE(*ours, 0);
        ASSERT_TRUE(PassUntil([&] { return OpenHandles().size() == before + 2 && GetNetWorkAcceptState(*ours) == 1; }));
        *accepted = OpenHandles().back();
    }

    std::unique_ptr<LogCapture> log_;
    int blocksBefore_ = 0;
    int port_ = 0;
};

// A measure that grows with every byte a handle takes in or sends out while
// the test neither reads nor queues: the progress of a wait on an exchange.
inline std::uint64_t BytesThrough(HandleId handle) {
    const NetworkRecord* record = LookupNetworkHandle(handle);
    return record == nullptr ? 0 : std::uint64_t{record->receiveRing.dataSize} - record->sendRing.dataSize;
}

// A frame as it goes on the wire: the 4-byte little-endian length, then the bytes.
inline std::string Frame(const std::string& payload) {
    std::uint32_t n = static_cast<std::uint32_t>(payload.size());
    std::string out;
    for (int i = 0; i < 4; ++i) out += static_cast<char>((n >> (8 * i)) & 0xFF);
    return out + payload;
}

// Bytes no two places of which repeat in a short period, so that a byte out
// of order or lost shows.
inline std::string Pattern(std::size_t size, unsigned seed) {
    std::string out(size, '\0');
    std::uint32_t x = seed * 2654435761u + 1;
    for (auto& c : out) {
        x = x * 1664525u + 1013904223u;
        c = static_cast<char>(x >> 24);
    }
    return out;
}

// What a framed handle holds for reading, taken out of it.
inline std::string TakeAll(HandleId handle) {
    int n = GetNetWorkDataLength(handle);
    if (n <= 0) return {};
    std::string out(static_cast<std::size_t>(n), '\0');
    return NetWorkRecv(handle, out.data(), n) == 0 ? out : std::string("<recv failed>");
}
