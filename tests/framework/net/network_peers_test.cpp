// Network handles against peers the program does not control: one that
// floods a handle nobody reads, ones that announce long messages and send
// little, ones that come and go by the thousand, and many that sit idle
// while the program asks after each of them.
#include <algorithm>
#include <atomic>
#include <cstring>

#include "framework/net/network_fixture.h"
#include "platform/winsock.h"

namespace {

constexpr std::size_t kFrameSize = 1000;

// Frames of kFrameSize bytes carrying `payload` in turn, as one stream.
std::string FramesOf(const std::string& payload) {
    std::string out;
    for (std::size_t at = 0; at < payload.size(); at += kFrameSize) out += Frame(payload.substr(at, kFrameSize));
    return out;
}

// A peer flooding a handle: one pass takes a bounded share of what waits;
// unread, the ring stops at the backlog while the rest waits in the peer's
// socket; read, every byte comes through in order.
TEST_F(NetworkTest, AFloodingPeerIsTakenABoundedShareAPass) {
    LoopbackSocket peer = LoopbackSocket::Connect(port_);
    HandleId h = AcceptedFor(peer);
    ASSERT_GE(h, 0);
    const std::string payload = Pattern(8u << 20, 21);
    const std::string stream = FramesOf(payload);
    std::atomic<bool> sent{false};
    std::atomic<std::size_t> sentBytes{0};
    std::thread sender([&] {
        bool ok = true;
        for (std::size_t at = 0; ok && at < stream.size(); at += 1 << 16) {
            ok = peer.SendAll(stream.substr(at, 1 << 16));
            sentBytes = at + (1 << 16);
        }
        sent = ok;
    });
    // The system's buffers hold far more than one pass may take.
    // (Checks before the threads' joins are EXPECTs: every wait of the
    // peers' is bounded, so a join always comes.)
    EXPECT_TRUE(PumpUntil([&] { return sentBytes >= (2u << 20); }, [] { std::this_thread::yield(); },
                          [&] { return sentBytes.load(); }));
    const RingBuffer& ring = LookupNetworkHandle(h)->receiveRing;
    Pass();
    EXPECT_GT(ring.dataSize, 0u);
    EXPECT_LE(ring.dataSize, kNetworkReceivePerCall);

    // Nobody reads: the ring holds the backlog and at most the message that
    // was coming in then, however many passes go by.
    EXPECT_TRUE(PassUntil([&] { return ring.dataSize >= kNetworkReceiveBacklog; }, [&] { return ring.dataSize; }));
    for (int i = 0; i < 200; ++i) {
        Pass();
        std::this_thread::yield();
    }
    EXPECT_LE(ring.dataSize, kNetworkReceiveBacklog + kFrameSize);
    EXPECT_LE(ring.capacity, 4 * kNetworkReceiveBacklog);

    std::string got;
    EXPECT_TRUE(PassUntil(
        [&] {
            got += TakeAll(h);
            return got.size() >= payload.size();
        },
        [&] { return got.size(); }));
    sender.join();
    EXPECT_TRUE(sent);
    EXPECT_EQ(got.size(), payload.size());
    EXPECT_TRUE(got == payload);
    EXPECT_EQ(Count(Log(), "ネットワークログ"), 0);
}

// A peer that never reads: additions are refused once the queue holds the
// send backlog, the handle goes on, and once the peer reads, everything
// queued reaches it, and a message larger than the backlog still goes out
// whole on an empty queue.
TEST_F(NetworkTest, APeerThatNeverReadsCannotGrowTheQueueWithoutBound) {
    LoopbackSocket peer = LoopbackSocket::Connect(port_);
    HandleId h = AcceptedFor(peer);
    ASSERT_GE(h, 0);
    g_NetworkState.sendBacklog = 1u << 20;  // the test's own backlog, quicker to fill than the program's
    const std::uint32_t backlog = g_NetworkState.sendBacklog;
    const std::string piece = Pattern(64 * 1024, 23);
    int accepted = 0;
    while (accepted < 1000 && NetWorkSend(h, piece.data(), static_cast<int>(piece.size())) == 0) ++accepted;
    const NetworkRecord* record = LookupNetworkHandle(h);
    EXPECT_LT(accepted, 1000);
    EXPECT_LE(record->sendRing.dataSize, backlog);
    EXPECT_GT(record->sendRing.dataSize, backlog - piece.size());
    EXPECT_EQ(record->error, 0);
    EXPECT_EQ(Count(Log(), "送信データ 65536 byte の追加に失敗しました in NewWorkSend\r\n"), 1);

    // The peer reads: every piece arrives, in frames.
    const std::string big = Pattern(backlog + 1000, 24);
    std::string wire;
    std::thread reader([&] {
        std::uint64_t payload = 0;
        const std::uint64_t want = static_cast<std::uint64_t>(accepted) * piece.size() + big.size();
        while (payload < want) {
            std::string header = peer.ReceiveExactly(4);
            if (header.size() < 4) break;
            std::uint32_t n = 0;
            for (int i = 0; i < 4; ++i) n |= static_cast<std::uint32_t>(static_cast<unsigned char>(header[i])) << (8 * i);
            std::string body = peer.ReceiveExactly(n);
            wire += body;
            payload += body.size();
            if (body.size() < n) break;
        }
    });
    EXPECT_TRUE(PassUntil([&] { return LookupNetworkHandle(h)->sendRing.dataSize == 0; }, [&] { return BytesThrough(h); }));
    EXPECT_EQ(NetWorkSend(h, big.data(), static_cast<int>(big.size())), 0);
    EXPECT_TRUE(PassUntil([&] { return LookupNetworkHandle(h)->sendRing.dataSize == 0; }, [&] { return BytesThrough(h); }));
    reader.join();
    ASSERT_EQ(wire.size(), accepted * piece.size() + big.size());
    bool inOrder = true;
    for (int i = 0; i < accepted; ++i) inOrder = inOrder && wire.compare(i * piece.size(), piece.size(), piece) == 0;
    EXPECT_TRUE(inOrder);
    EXPECT_TRUE(wire.compare(accepted * piece.size(), big.size(), big) == 0);
}

// A frame header announces up to the longest message; the ring grows with
// the bytes that come, not with the announcement.
TEST_F(NetworkTest, AnAnnouncedLengthIsNotReservedBeforeItsBytes) {
    const std::int64_t memoryBefore = g_MemoryTracker.totalSize;
    std::vector<LoopbackSocket> peers;
    std::vector<HandleId> handles;
    for (int i = 0; i < 8; ++i) {
        peers.push_back(LoopbackSocket::Connect(port_));
        handles.push_back(AcceptedFor(peers.back()));
        ASSERT_GE(handles.back(), 0);
    }
    const std::uint32_t announced[] = {kNetworkMaxFrameLength, 300000};
    for (std::size_t i = 0; i < peers.size(); ++i) {
        std::uint32_t n = announced[i % 2];
        std::string header;
        for (int b = 0; b < 4; ++b) header += static_cast<char>((n >> (8 * b)) & 0xFF);
        ASSERT_TRUE(peers[i].SendAll(header + "ten bytes!"));
    }
    for (HandleId h : handles) {
        ASSERT_TRUE(PassUntil([&] { return GetNetWorkDataLength(h) == 10; }));
        EXPECT_LE(LookupNetworkHandle(h)->receiveRing.capacity, 10u + 1000u);
    }
    // Eight rings of a few bytes each, not eight announced messages.
    EXPECT_LT(g_MemoryTracker.totalSize - memoryBefore, 64 * 1024);

    // The rest of a message still comes in whole.
    const std::string rest = Pattern(300000 - 10, 22);
    ASSERT_TRUE(peers[1].SendAll(rest));
    ASSERT_TRUE(PassUntil([&] { return GetNetWorkDataLength(handles[1]) == 300000; },
                          [&] { return BytesThrough(handles[1]); }));
    EXPECT_TRUE(TakeAll(handles[1]) == "ten bytes!" + rest);
    EXPECT_EQ(Count(Log(), "リングバッファ"), 0);
}

// Peers that connect and close again, thousands of times: each closed handle
// is released, so the slots stay free for the peers after them.
TEST_F(NetworkTest, PeersComingAndGoingLeaveNoSlotHeld) {
    constexpr int kRounds = 50;
    constexpr int kPeersPerRound = 100;
    for (int round = 0; round < kRounds; ++round) {
        std::vector<LoopbackSocket> peers;
        for (int i = 0; i < kPeersPerRound; ++i) peers.push_back(LoopbackSocket::Connect(port_));
        const auto handles = [] { return OpenHandles().size(); };
        ASSERT_TRUE(PassUntil([&] { return OpenHandles().size() == kPeersPerRound; }, handles)) << "round " << round;
        peers.clear();
        ASSERT_TRUE(PassUntil([&] { return OpenHandles().empty(); }, handles)) << "round " << round;
    }
    EXPECT_EQ(g_NetworkState.table.Count(), 0);
    LoopbackSocket late = LoopbackSocket::Connect(port_);
    HandleId h = AcceptedFor(late);
    ASSERT_GE(h, 0);
    EXPECT_EQ(HandleSlotFor(h, kHandleTypeNetwork, kNetworkSlotCount), 0);
    EXPECT_EQ(Count(Log(), "空きソケットデータがなかったので"), 0);
}

// Many idle connections: a pass looks at each socket once, and a call on a
// handle looks at none, however many there are; it is answered from what
// the pass found.
TEST_F(NetworkTest, APassLooksAtEachSocketOnce) {
    constexpr int kPeers = 64;
    std::vector<LoopbackSocket> peers;
    for (int i = 0; i < kPeers; ++i) peers.push_back(LoopbackSocket::Connect(port_));
    ASSERT_TRUE(PassUntil([&] { return OpenHandles().size() == kPeers; }, [] { return OpenHandles().size(); }));
    for (int i = 0; i < 3; ++i) Pass();  // every FD_WRITE of the new connections taken

    std::uint64_t before = PlatformSocketLooks();
    Pass();
    EXPECT_EQ(PlatformSocketLooks() - before, static_cast<std::uint64_t>(kPeers + 1));  // and the listener
    before = PlatformSocketLooks();
    std::vector<HandleId> handles = OpenHandles();
    for (HandleId h : handles) EXPECT_EQ(GetNetWorkDataLength(h), 0);
    EXPECT_EQ(PlatformSocketLooks() - before, 0u);

    // What comes to a handle is there after the next pass.
    HandleId seventh = -1;
    for (HandleId h : handles)
        if (LookupNetworkHandle(h)->peerPort == peers[7].LocalPort()) seventh = h;
    ASSERT_TRUE(peers[7].SendAll(Frame("hello")));
    EXPECT_TRUE(PassUntil([&] { return GetNetWorkDataLength(seventh) == 5; }));
    EXPECT_EQ(TakeAll(seventh), "hello");
}

// A peer that sends a message in pieces, slowly: the waits for it go on for
// as long as bytes come, past the no-progress limit in all, and give up
// once the peer stops, after the limit, with what came. (The limit is
// shortened here; the pieces come ten times as often as it runs out.)
TEST_F(NetworkTest, WaitsGoOnWhileBytesComeAndEndWhenAPeerStops) {
    using std::chrono::milliseconds;
    const ScopedNoProgressLimit limit(milliseconds(500));
    constexpr std::size_t kPieces = 20;
    const std::string payload = Pattern(kPieces * 1000, 31);
    const std::string stream = Frame(payload);
    const std::size_t piece = (stream.size() + kPieces - 1) / kPieces;
    // The stream's first `end` bytes, a piece every 50 ms (1 s for all).
    const auto trickle = [&](const LoopbackSocket& to, std::size_t end) {
        return std::thread([&to, &stream, piece, end] {
            for (std::size_t at = 0; at < end; at += piece) {
                std::this_thread::sleep_for(milliseconds(50));
                if (!to.SendAll(stream.substr(at, std::min(piece, end - at)))) return;
            }
        });
    };

    // Into a handle, through the network's passes.
    LoopbackSocket peer = LoopbackSocket::Connect(port_);
    const HandleId h = AcceptedFor(peer);
    ASSERT_GE(h, 0);
    const auto whole = [&] { return GetNetWorkDataLength(h) == static_cast<int>(payload.size()); };
    const auto through = [&] { return BytesThrough(h); };
    std::thread sender = trickle(peer, stream.size());
    EXPECT_TRUE(PassUntil(whole, through));
    sender.join();
    EXPECT_TRUE(TakeAll(h) == payload);
    sender = trickle(peer, stream.size() / 2);
    EXPECT_FALSE(PassUntil(whole, through));
    sender.join();

    // Between two plain sockets.
    LoopbackSocket listener = LoopbackSocket::Listen();
    LoopbackSocket writer = LoopbackSocket::Connect(listener.LocalPort());
    LoopbackSocket reader = listener.Accept();
    ASSERT_TRUE(reader.valid());
    sender = trickle(writer, stream.size());
    EXPECT_TRUE(reader.ReceiveExactly(stream.size()) == stream);
    sender.join();
    sender = trickle(writer, stream.size() / 2);
    EXPECT_TRUE(reader.ReceiveExactly(stream.size()) == stream.substr(0, stream.size() / 2));
    sender.join();
}

}  // namespace
