// Network handles over loopback: framed messages both ways, the wire format,
// accepting, raw calls, peers that end at every point, and frame lengths a
// peer must not be trusted with.
#include <cstring>

#include "framework/net/network_fixture.h"

namespace {

TEST(NetworkNotStarted, EveryEntryRefusesAndTheEndFindsNothing) {
    PlatformSelectBackend(PlatformBackend::Headless);
    LogCapture log;
    char buffer[8];
    HandleId fake = static_cast<HandleId>(kHandleTypeNetwork);
    EXPECT_EQ(ConnectNetWork(kLoopbackAddress, 80), -1);
    EXPECT_EQ(AcceptNetWork(), -1);
    EXPECT_EQ(NetWorkSend(fake, "x", 1), -1);
    EXPECT_EQ(NetWorkRecv(fake, buffer, 1), -1);
    EXPECT_EQ(NetWorkRecvToPeek(fake, buffer, 1), -1);
    EXPECT_EQ(GetNetWorkDataLength(fake), -1);
    EXPECT_EQ(GetNetWorkAcceptState(fake), -1);
    EXPECT_EQ(ReceiveNetworkLine(fake, buffer), -1);
    EXPECT_EQ(DisconnectNetworkHandle(fake), -1);
    EXPECT_EQ(ProcessNetwork(), 0);
    EXPECT_EQ(EndNetwork(), 0);
    EXPECT_EQ(log.FileWithoutTimes(), "");
}

TEST_F(NetworkTest, TwoHandlesExchangeMessagesBothWaysLargerThanTheSocketBuffers) {
    HandleId a, b;
    ConnectedPair(&a, &b);
    EXPECT_EQ(GetNetWorkAcceptState(b), 1);
    const NetworkRecord* accepted = LookupNetworkHandle(b);
    EXPECT_EQ(std::memcmp(accepted->peerAddress, kLoopbackAddress, 4), 0);

    ASSERT_EQ(NetWorkSend(a, "hello", 5), 0);
    ASSERT_EQ(NetWorkSend(b, "world!", 6), 0);
    ASSERT_TRUE(PassUntil([&] { return GetNetWorkDataLength(b) == 5 && GetNetWorkDataLength(a) == 6; }));
    char got[8] = {};
    EXPECT_EQ(NetWorkRecvToPeek(b, got, 5), 0);  // a look takes nothing
    EXPECT_EQ(NetWorkRecv(b, got, 6), -1);       // more than there is: nothing taken either
    EXPECT_EQ(NetWorkRecv(b, got, 3), 0);
    EXPECT_EQ(std::string(got, 3), "hel");
    EXPECT_EQ(GetNetWorkDataLength(b), 2);
    EXPECT_EQ(TakeAll(b), "lo");
    EXPECT_EQ(TakeAll(a), "world!");

    // Far more than the sockets hold at once, both ways at the same time:
    // the rest goes out as FD_WRITE says the socket takes more.
    const std::string big = Pattern(12 << 20, 1);
    const std::string back = Pattern(9 << 20, 2);
    ASSERT_EQ(NetWorkSend(a, big.data(), static_cast<int>(big.size())), 0);
    EXPECT_GT(LookupNetworkHandle(a)->sendRing.dataSize, 0u);  // the socket did not take it all
    ASSERT_EQ(NetWorkSend(b, back.data(), static_cast<int>(back.size())), 0);
    // On a busy machine this takes many times as long as on a quiet one:
    // the wait goes on while bytes move.
    ASSERT_TRUE(PassUntil(
        [&] {
            return GetNetWorkDataLength(b) == static_cast<int>(big.size()) &&
                   GetNetWorkDataLength(a) == static_cast<int>(back.size());
        },
        [&] { return BytesThrough(a) + BytesThrough(b); }));
    EXPECT_TRUE(TakeAll(b) == big);
    EXPECT_TRUE(TakeAll(a) == back);
    EXPECT_EQ(LookupNetworkHandle(a)->sendRing.dataSize, 0u);
    EXPECT_EQ(Count(Log(), "ネットワークログ"), 0);
}

TEST_F(NetworkTest, FramesOnTheWireAndTheirPayloadsInTheRing) {
    LoopbackSocket peer = LoopbackSocket::Connect(port_);
    HandleId h = AcceptedFor(peer);
    ASSERT_GE(h, 0);

    ASSERT_EQ(NetWorkSend(h, "abc", 3), 0);
    ASSERT_EQ(NetWorkSend(h, "", 0), 0);  // nothing queued: no frame
    EXPECT_EQ(peer.ReceiveExactly(7), Frame("abc"));

    // Frames arriving a byte at a time, an empty one among them: only the
    // payloads reach the ring, and lines can be read out of them. The same
    // while the framework is quitting, when a receive stops after each whole
    // message (and an FD_READ that came meanwhile must not be lost).
    const std::string stream = Frame("first\n") + Frame("") + Frame("sec") + Frame("ond\nrest");
    for (int quitting = 0; quitting <= 1; ++quitting) {
        SCOPED_TRACE(quitting);
        g_SystemState.quitFlag = quitting;
        for (char c : stream) {
            ASSERT_TRUE(peer.SendAll(std::string(1, c)));
            Pass();
        }
        ASSERT_TRUE(PassUntil([&] { return GetNetWorkDataLength(h) == 17; }));
        char line[256];
        EXPECT_EQ(ReceiveNetworkLine(h, line), 0);
        EXPECT_STREQ(line, "first");
        EXPECT_EQ(ReceiveNetworkLine(h, line), 0);
        EXPECT_STREQ(line, "second");
        EXPECT_EQ(ReceiveNetworkLine(h, line), -1);  // no LF: the rest stays
        EXPECT_EQ(TakeAll(h), "rest");
    }
    g_SystemState.quitFlag = 0;
}

TEST_F(NetworkTest, TheListeningSocketAcceptsSeveralClients) {
    std::vector<LoopbackSocket> peers;
    for (int i = 0; i < 5; ++i) peers.push_back(LoopbackSocket::Connect(port_));
    ASSERT_TRUE(PassUntil([&] { return OpenHandles().size() == 5; }));
    std::vector<HandleId> handles;
    for (std::size_t i = 0; i < peers.size(); ++i) {
        HandleId h = AcceptedFor(peers[i]);
        ASSERT_GE(h, 0);
        handles.push_back(h);
        EXPECT_EQ(GetNetWorkAcceptState(h), 1);
        EXPECT_EQ(std::memcmp(LookupNetworkHandle(h)->peerAddress, kLoopbackAddress, 4), 0);
        ASSERT_TRUE(peers[i].SendAll(Frame("client " + std::to_string(i))));
    }
    for (std::size_t i = 0; i < handles.size(); ++i) {
        ASSERT_TRUE(PassUntil([&] { return GetNetWorkDataLength(handles[i]) == 8; }));
        EXPECT_EQ(TakeAll(handles[i]), "client " + std::to_string(i));
        EXPECT_EQ(HandleSlotFor(handles[i], kHandleTypeNetwork, kNetworkSlotCount), static_cast<int>(i));
    }
    // A freed slot is the first one taken again, under a new check number.
    ASSERT_EQ(DisconnectNetworkHandle(handles[1]), 0);
    EXPECT_EQ(GetNetWorkAcceptState(handles[1]), -1);
    LoopbackSocket late = LoopbackSocket::Connect(port_);
    HandleId again = AcceptedFor(late);
    EXPECT_EQ(HandleSlotFor(again, kHandleTypeNetwork, kNetworkSlotCount), 1);
    EXPECT_NE(again, handles[1]);
}

// A peer that ends the connection at any byte of an exchange: what came
// before stays readable, the end is seen once, and nothing is taken for an
// error. With auto-close the handle is released once what came is read (at
// once when nothing came); without it, it stays until it is disconnected.
TEST_F(NetworkTest, APeerEndingAtEveryPointIsSeenOnce) {
    const std::string payloads[] = {"hello", "", "world!"};
    std::string stream;
    for (const std::string& p : payloads) stream += Frame(p);

    for (int autoClose = 1; autoClose >= 0; --autoClose) {
        SetNetWorkNoAutoClose(autoClose ? 0 : 1);
        for (std::size_t cut = 0; cut <= stream.size(); ++cut) {
            SCOPED_TRACE("auto-close " + std::to_string(autoClose) + ", cut after " + std::to_string(cut) + " bytes");
            // The payload bytes within the first `cut` bytes.
            std::string expected;
            std::size_t at = 0;
            for (const std::string& p : payloads) {
                at += 4;
                for (std::size_t i = 0; i < p.size(); ++i, ++at)
                    if (at < cut) expected += p[i];
            }
            LoopbackSocket peer = LoopbackSocket::Connect(port_);
            HandleId h = AcceptedFor(peer);
            ASSERT_GE(h, 0);
            ASSERT_TRUE(peer.SendAll(stream.substr(0, cut)));
            peer.Close();
            ASSERT_TRUE(PassUntil([&] { return GetNetWorkAcceptState(h) != 1; }));
            for (int i = 0; i < 5; ++i) Pass();
            if (autoClose && expected.empty()) {
                EXPECT_EQ(GetNetWorkAcceptState(h), -1);  // released: nothing was left to read
                continue;
            }
            EXPECT_EQ(GetNetWorkAcceptState(h), 0);  // kept while its data waits
            EXPECT_EQ(TakeAll(h), expected);
            EXPECT_EQ(NetWorkSend(h, "x", 1), -1);  // not connected
            Pass();
            if (autoClose) {
                EXPECT_EQ(GetNetWorkAcceptState(h), -1);  // read: released
            } else {
                EXPECT_EQ(GetNetWorkAcceptState(h), 0);
                EXPECT_EQ(DisconnectNetworkHandle(h), 0);
            }
        }
    }
    EXPECT_TRUE(OpenHandles().empty());
    EXPECT_EQ(Count(Log(), "エラー"), 0);
    EXPECT_EQ(Count(Log(), "ネットワークログ"), 0);
}

// A peer that resets the connection while a large message goes to it, at
// once or after ending its side (when the handle waits to send the rest):
// one log line, and the handle is closed on the next passes.
TEST_F(NetworkTest, APeerResettingMidSendIsReportedOnceAndClosed) {
    for (bool endsItsSideFirst : {false, true}) {
        SCOPED_TRACE(endsItsSideFirst ? "ends its side, then resets" : "resets");
        const std::string before = Log();
        LoopbackSocket peer = LoopbackSocket::Connect(port_);
        HandleId h = AcceptedFor(peer);
        ASSERT_GE(h, 0);
        const std::string big = Pattern(8 << 20, 3);
        ASSERT_EQ(NetWorkSend(h, big.data(), static_cast<int>(big.size())), 0);
        EXPECT_GT(peer.ReceiveExactly(1000).size(), 0u);
        if (endsItsSideFirst) {
            peer.ShutdownWrite();
            ASSERT_TRUE(PassUntil([&] { return GetNetWorkAcceptState(h) == 0; }));
            for (int i = 0; i < 20; ++i) Pass();
            EXPECT_EQ(GetNetWorkAcceptState(h), 0);  // kept: the peer may still read
        }
        peer.Abort();
        ASSERT_TRUE(PassUntil([&] { return OpenHandles().empty(); }));
        for (int i = 0; i < 5; ++i) Pass();
        const std::string log = Log().substr(before.size());
        EXPECT_EQ(Count(log, "ネットワークログ"), 1);
        EXPECT_EQ(Count(log, "[10054]"), 1);
        EXPECT_EQ(Count(log, "エラーが発生しています"), 0);
        EXPECT_EQ(GetNetWorkAcceptState(h), -1);
    }
}

// A frame length is the peer's word: one beyond the limit is refused before
// anything is allocated, and the handle closed.
TEST_F(NetworkTest, FrameLengthsBeyondTheLimitAreRefused) {
    const std::uint32_t lengths[] = {kNetworkMaxFrameLength + 1, 0xFFFFFC20u, 0xFFFFFFFFu};
    for (std::uint32_t length : lengths) {
        SCOPED_TRACE(length);
        LoopbackSocket peer = LoopbackSocket::Connect(port_);
        HandleId h = AcceptedFor(peer);
        ASSERT_GE(h, 0);
        ASSERT_EQ(NetWorkSend(h, "before", 6), 0);
        std::string header;
        for (int i = 0; i < 4; ++i) header += static_cast<char>((length >> (8 * i)) & 0xFF);
        SetTrackedAllocFailuresFromSize(kNetworkMaxFrameLength);  // any such allocation would fail the test
        ASSERT_TRUE(peer.SendAll(header + "payload"));
        ASSERT_TRUE(PassUntil([&] { return OpenHandles().empty(); }));
        SetTrackedAllocFailuresFromSize(0);
        EXPECT_EQ(peer.ReceiveToEnd(), Frame("before"));  // and then the end of the connection
        EXPECT_NE(Log().find("受信データを保存するリングバッファのリサイズに失敗しました(データサイズ " +
                             std::to_string(length) + " byte)\r\n"),
                  std::string::npos);
        EXPECT_EQ(Log().find("リングバッファの再確保に失敗しました"), std::string::npos);
    }
}

// Each operation refuses a handle with an error, and one no longer in use,
// with its own log line.
TEST_F(NetworkTest, RefusedHandlesAreLoggedByTheirOperation) {
    LoopbackSocket peer = LoopbackSocket::Connect(port_);
    HandleId h = AcceptedFor(peer);
    NetworkRecord* record = LookupNetworkHandle(h);
    char buffer[4];
    struct Operation {
        const char* errorName;
        const char* name;
        std::function<int()> call;
    };
    const Operation operations[] = {
        {"RecvSocket", "RecvSocket", [&] { return RecvSocket(record); }},
        {"SendSocket", "SendSocket", [&] { return SendSocket(record); }},
        {"GetNetWorkAcceptStateh", "GetNetWorkAcceptState", [&] { return GetNetWorkAcceptState(h); }},
        {"NetWorkRecv", "NetWorkRecv", [&] { return NetWorkRecv(h, buffer, 1); }},
        {"NetWorkRecvToPeek", "NetWorkRecvToPeek", [&] { return NetWorkRecvToPeek(h, buffer, 1); }},
        {"NetWorkSend", "NetWorkSend", [&] { return NetWorkSend(h, "x", 1); }},
        {"GetNetWorkDataLength", "GetNetWorkDataLength", [&] { return GetNetWorkDataLength(h); }},
    };
    for (const Operation& op : operations) {
        SCOPED_TRACE(op.name);
        record->error = 1;
        EXPECT_EQ(op.call(), -1);
        record->error = 0;
        record->inUse = 0;
        EXPECT_EQ(op.call(), -1);
        record->inUse = 1;
        std::string log = Log();
        EXPECT_EQ(Count(log, std::string("このネットワークハンドルにはエラーが発生しています in ") + op.errorName + "\r\n"), 1);
        EXPECT_EQ(Count(log, std::string("有効なネットワークハンドルではありません in ") + op.name + "\r\n"), 1);
    }
}

TEST_F(NetworkTest, RawHandlesPassTheSocketCallsThrough) {
    SetNetWorkNoFraming(1);
    LoopbackSocket listener = LoopbackSocket::Listen();
    HandleId h = ConnectNetWork(kLoopbackAddress, listener.LocalPort());
    ASSERT_GE(h, 0);
    LoopbackSocket peer = listener.Accept();
    ASSERT_TRUE(PassUntil([&] { return GetNetWorkAcceptState(h) == 1; }));
    EXPECT_EQ(LookupNetworkHandle(h)->framed, 0);
    EXPECT_EQ(LookupNetworkHandle(h)->peerPort, listener.LocalPort());

    EXPECT_EQ(NetWorkSend(h, "GET", 3), 3);
    EXPECT_EQ(peer.ReceiveExactly(3), "GET");
    EXPECT_EQ(GetNetWorkDataLength(h), 0);
    ASSERT_TRUE(peer.SendAll("one\r\ntwo\nthree"));
    ASSERT_TRUE(PassUntil([&] { return GetNetWorkDataLength(h) == 1; }));
    char line[256];
    EXPECT_EQ(ReceiveNetworkLine(h, line), 0);
    EXPECT_STREQ(line, "one\r");
    EXPECT_EQ(ReceiveNetworkLine(h, line), 0);
    EXPECT_STREQ(line, "two");
    EXPECT_EQ(ReceiveNetworkLine(h, line), -1);
    char got[8] = {};
    EXPECT_EQ(NetWorkRecvToPeek(h, got, 8), 5);
    EXPECT_EQ(NetWorkRecv(h, got, 8), 5);
    EXPECT_EQ(std::string(got, 5), "three");
    EXPECT_EQ(NetWorkRecv(h, got, 8), -1);  // nothing waits
}

TEST_F(NetworkTest, AConnectionRefusedIsAnErrorAndClosed) {
    int closedPort;
    {
        LoopbackSocket listener = LoopbackSocket::Listen();
        closedPort = listener.LocalPort();
    }
    HandleId h = ConnectNetWork(kLoopbackAddress, closedPort);
    ASSERT_GE(h, 0);
    EXPECT_TRUE(PassUntil([&] { return OpenHandles().empty(); }));
    EXPECT_NE(Log().find("connectに失敗しました[10061]"), std::string::npos);
}

// Disconnecting first receives, then sends, what is pending: a large message
// still queued reaches the peer whole, and what the peer sent is taken.
TEST_F(NetworkTest, DisconnectingDeliversWhatIsQueued) {
    HandleId a, b;
    ConnectedPair(&a, &b);
    const std::string big = Pattern(6 << 20, 4);
    ASSERT_EQ(NetWorkSend(a, big.data(), static_cast<int>(big.size())), 0);
    ASSERT_GT(LookupNetworkHandle(a)->sendRing.dataSize, 0u);
    ASSERT_EQ(DisconnectNetworkHandle(a), 0);
    // b is released (auto-close) once all that came has been read.
    std::string got;
    ASSERT_TRUE(PassUntil([&] {
        got += TakeAll(b);
        return GetNetWorkAcceptState(b) == -1;
    }));
    EXPECT_EQ(got.size(), big.size());
    EXPECT_TRUE(got == big);
}

// The payloads of a framed stream, and how many frames carried them; false
// when the stream ends inside a frame.
bool Unframe(const std::string& wire, std::string* payload, int* frames) {
    *frames = 0;
    std::size_t at = 0;
    while (at + 4 <= wire.size()) {
        std::uint32_t n = 0;
        for (int i = 0; i < 4; ++i) n |= static_cast<std::uint32_t>(static_cast<unsigned char>(wire[at + i])) << (8 * i);
        if (wire.size() - at - 4 < n) return false;
        payload->append(wire, at + 4, n);
        at += 4 + n;
        ++*frames;
    }
    return at == wire.size();
}

// A peer that ends its side after its request and reads on, as request and
// response clients do: everything the program queued before that end
// reaches it, in order, and then the end of the connection. With auto-close
// the handle goes once all is sent, however long the peer takes to start
// reading; without it, the program's disconnect sends the rest.
TEST_F(NetworkTest, APeerThatEndsItsSideReceivesEverythingQueuedForIt) {
    struct Case {
        const char* name;
        bool autoClose;
        int peerWaitMs;                // after its end, before it reads
        std::uint32_t queueLimit;      // pieces stop once the queue holds this much (0: all go)
    };
    // The disconnect sends for 1000 ms at the most (headless: a number of
    // looks at the clock), so it is left a little past what the sockets hold.
    const Case cases[] = {
        {"auto-close, the peer reads after 1 s", true, 1000, 0},
        {"the program disconnects, the peer reads at once", false, 0, 256 * 1024},
    };
    constexpr int kPieces = 128;
    constexpr int kPieceSize = 64 * 1024;
    std::string queued;
    for (int i = 0; i < kPieces; ++i) queued += Pattern(kPieceSize, 100 + i);

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetNetWorkNoAutoClose(c.autoClose ? 0 : 1);
        LoopbackSocket peer = LoopbackSocket::Connect(port_);
        HandleId h = AcceptedFor(peer);
        ASSERT_GE(h, 0);
        ASSERT_TRUE(peer.SendAll(Frame("request")));
        ASSERT_TRUE(PassUntil([&] { return GetNetWorkDataLength(h) == 7; }));
        EXPECT_EQ(TakeAll(h), "request");
        const RingBuffer& ring = LookupNetworkHandle(h)->sendRing;
        int accepted = 0;
        for (int i = 0; i < kPieces && (c.queueLimit == 0 || ring.dataSize < c.queueLimit); ++i)
            if (NetWorkSend(h, queued.data() + i * kPieceSize, kPieceSize) == 0) ++accepted;
        if (c.queueLimit == 0) {
            EXPECT_EQ(accepted, kPieces);
        }
        const std::string sent = queued.substr(0, static_cast<std::size_t>(accepted) * kPieceSize);
        EXPECT_GT(ring.dataSize, 0u);  // more than the sockets hold

        std::string wire;
        std::thread reader([&] {
            peer.ShutdownWrite();
            std::this_thread::sleep_for(std::chrono::milliseconds(c.peerWaitMs));
            wire = peer.ReceiveToEnd();
        });
        EXPECT_TRUE(PassUntil([&] { return GetNetWorkAcceptState(h) != 1; }, [&] { return BytesThrough(h); }));
        EXPECT_EQ(NetWorkSend(h, "late", 4), -1);  // the peer has ended: nothing more is taken
        if (c.autoClose)
            EXPECT_TRUE(PassUntil([&] { return GetNetWorkAcceptState(h) == -1; }, [&] { return BytesThrough(h); }));
        else
            EXPECT_EQ(DisconnectNetworkHandle(h), 0);
        reader.join();

        std::string payload;
        int frames = 0;
        EXPECT_TRUE(Unframe(wire, &payload, &frames));
        EXPECT_EQ(payload.size(), sent.size());
        EXPECT_TRUE(payload == sent);
        EXPECT_EQ(wire.size(), sent.size() + 4u * static_cast<unsigned>(frames));
        // Sends queued while the socket is full travel in one frame.
        EXPECT_GE(frames, 1);
        EXPECT_LE(frames, kPieces);
        EXPECT_TRUE(OpenHandles().empty());
    }
    EXPECT_EQ(Count(Log(), "ネットワークログ"), 0);
    EXPECT_EQ(Count(Log(), "エラー"), 0);
}

TEST_F(NetworkTest, TheEndClosesEveryHandleAndTheWindow) {
    HandleId a, b;
    ConnectedPair(&a, &b);
    LoopbackSocket peer = LoopbackSocket::Connect(port_);
    ASSERT_GE(AcceptedFor(peer), 0);
    HWND window = g_NetworkState.window;
    EXPECT_TRUE(IsWindow(window));
    EXPECT_EQ(EndNetwork(), 0);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(g_NetworkState.started, 0);
    EXPECT_EQ(g_NetworkState.table.Count(), 0);
    EXPECT_TRUE(peer.PeerEnded());
    EXPECT_EQ(GetNetWorkAcceptState(a), -1);
    std::string log = Log();
    std::size_t begin = log.find("ネットワーク関連の終了処理を行います \r\n");
    ASSERT_NE(begin, std::string::npos);
    EXPECT_NE(log.find("ネットワーク関連の終了処理は完了しました\r\n", begin), std::string::npos);
    // Nobody listens any more.
    EXPECT_FALSE(LoopbackSocket::Connect(port_).valid());
}

}  // namespace
