// The WinSock stand-in: sockets over the system's, and WSAAsyncSelect's
// messages made by WinSock's rules, against plain loopback peers.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/backend.h"
#include "platform/kernel.h"
#include "platform/window.h"
#include "platform/winsock.h"
#include "support/loopback.h"

namespace {

constexpr UINT kSocketMessage = 0x505;

struct Event {
    SOCKET socket;
    WORD event;
    WORD error;
};
std::vector<Event> g_events;

LRESULT RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kSocketMessage)
        g_events.push_back({static_cast<SOCKET>(wParam), WSAGETSELECTEVENT(lParam), WSAGETSELECTERROR(lParam)});
    return DefWindowProcA(window, message, wParam, lParam);
}

sockaddr_in LoopbackAddress(int port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    a.sin_addr.S_un.S_addr = inet_addr("127.0.0.1");
    return a;
}

class WinSockStandIn : public ::testing::Test {
protected:
    void SetUp() override {
        PlatformSelectBackend(PlatformBackend::Headless);
        PlatformResetWindows();
        g_events.clear();
        WNDCLASSA wc{};
        wc.lpfnWndProc = RecordingProc;
        wc.lpszClassName = "SocketEvents";
        ASSERT_NE(RegisterClassA(&wc), 0);
        window_ = CreateWindowExA(0, "SocketEvents", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
        ASSERT_NE(window_, nullptr);
        WSADATA data;
        ASSERT_EQ(WSAStartup(MAKEWORD(1, 1), &data), 0);
        EXPECT_EQ(data.wVersion, MAKEWORD(1, 1));
    }
    void TearDown() override {
        EXPECT_EQ(WSACleanup(), 0);
        PlatformResetWindows();
    }

    // Dispatches the messages queued for the window; returns the events
    // they carried.
    std::vector<Event> Queued() {
        g_events.clear();
        MSG m;
        while (PeekMessageA(&m, window_, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
        return g_events;
    }
    // The same after a poll of the window's sockets, as its pump makes.
    std::vector<Event> Pump() {
        PlatformPollSockets(window_);
        return Queued();
    }
    static std::vector<WORD> Of(SOCKET s, const std::vector<Event>& events) {
        std::vector<WORD> out;
        for (const Event& e : events)
            if (e.socket == s) out.push_back(e.event);
        return out;
    }
    std::vector<WORD> EventsOf(SOCKET s) { return Of(s, Pump()); }
    // Pumps until the socket's event comes; its error, or -1 when it never did.
    int WaitForEvent(SOCKET s, WORD event) {
        int error = -1;
        PumpUntil([&] { return error >= 0; },
                  [&] {
                      for (const Event& e : Pump())
                          if (e.socket == s && e.event == event) error = e.error;
                  });
        return error;
    }

    SOCKET ListenOnLoopback(int* port) {
        SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in a = LoopbackAddress(0);
        EXPECT_EQ(bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
        EXPECT_EQ(listen(s, 8), 0);
        sockaddr_in bound{};
        int length = sizeof bound;
        EXPECT_EQ(getsockname(s, reinterpret_cast<sockaddr*>(&bound), &length), 0);
        *port = ntohs(bound.sin_port);
        return s;
    }

    // A selected connection of ours (accepted) with a plain peer.
    SOCKET AcceptedPair(LoopbackSocket* peer) {
        int port;
        SOCKET listener = ListenOnLoopback(&port);
        *peer = LoopbackSocket::Connect(port);
        EXPECT_TRUE(peer->valid());
        SOCKET s = accept(listener, nullptr, nullptr);  // blocking: the connection is there
        EXPECT_NE(s, INVALID_SOCKET);
        closesocket(listener);
        EXPECT_EQ(WSAAsyncSelect(s, window_, kSocketMessage, FD_READ | FD_WRITE | FD_CLOSE), 0);
        return s;
    }

    HWND window_ = nullptr;
};

TEST(WinSockStart, CallsBeforeStartAndOnUnknownSocketsFail) {
    EXPECT_EQ(socket(AF_INET, SOCK_STREAM, 0), INVALID_SOCKET);
    EXPECT_EQ(WSAGetLastError(), WSANOTINITIALISED);
    EXPECT_EQ(WSACleanup(), SOCKET_ERROR);
    WSADATA data;
    EXPECT_EQ(WSAStartup(MAKEWORD(1, 0), &data), WSAVERNOTSUPPORTED);
    ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &data), 0);
    EXPECT_EQ(closesocket(0x12345), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAENOTSOCK);
    EXPECT_EQ(socket(AF_INET, 2 /* datagrams */, 0), INVALID_SOCKET);
    EXPECT_EQ(WSAGetLastError(), WSAEINVAL);
    SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
    char byte;
    EXPECT_EQ(recv(s, &byte, 1, 0), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAENOTCONN);
    EXPECT_EQ(WSACleanup(), 0);  // closes s
    EXPECT_EQ(WSAStartup(MAKEWORD(1, 1), &data), 0);
    EXPECT_EQ(closesocket(s), SOCKET_ERROR);
    EXPECT_EQ(WSACleanup(), 0);
}

TEST(WinSockStart, ByteOrderAndDottedAddresses) {
    std::uint16_t port = htons(0x1234);
    unsigned char portBytes[2];
    std::memcpy(portBytes, &port, 2);
    EXPECT_EQ(portBytes[0], 0x12);
    EXPECT_EQ(portBytes[1], 0x34);
    EXPECT_EQ(ntohs(port), 0x1234);
    EXPECT_EQ(ntohl(htonl(0x01020304u)), 0x01020304u);

    struct Case {
        const char* text;
        bool valid;
        unsigned char bytes[4];
    };
    const Case cases[] = {
        {"127.0.0.1", true, {127, 0, 0, 1}}, {"0.0.0.0", true, {0, 0, 0, 0}},
        {"10.200.3.255", true, {10, 200, 3, 255}}, {"1.2.3", false, {}}, {"256.1.1.1", false, {}},
        {"1.2.3.4x", false, {}}, {"", false, {}}, {"1..2.3", false, {}}, {"0001.2.3.4", false, {}},
        {"localhost", false, {}},
    };
    for (const Case& c : cases) {
        std::uint32_t a = inet_addr(c.text);
        if (!c.valid) {
            EXPECT_EQ(a, INADDR_NONE) << c.text;
            continue;
        }
        EXPECT_EQ(std::memcmp(&a, c.bytes, 4), 0) << c.text;
    }
}

// FD_ACCEPT while a connection waits, re-enabled by accept; the accepted
// socket keeps the listener's selection.
TEST_F(WinSockStandIn, AcceptIsReportedOncePerAccept) {
    int port;
    SOCKET listener = ListenOnLoopback(&port);
    ASSERT_EQ(WSAAsyncSelect(listener, window_, kSocketMessage, FD_ACCEPT), 0);
    EXPECT_TRUE(EventsOf(listener).empty());
    LoopbackSocket a = LoopbackSocket::Connect(port);
    LoopbackSocket b = LoopbackSocket::Connect(port);
    EXPECT_EQ(WaitForEvent(listener, FD_ACCEPT), 0);
    EXPECT_TRUE(EventsOf(listener).empty());  // not again before an accept

    sockaddr_in peer{};
    int length = sizeof peer;
    SOCKET first = accept(listener, reinterpret_cast<sockaddr*>(&peer), &length);
    ASSERT_NE(first, INVALID_SOCKET);
    EXPECT_EQ(length, static_cast<int>(sizeof peer));
    EXPECT_EQ(peer.sin_addr.S_un.S_addr, inet_addr("127.0.0.1"));
    EXPECT_EQ(ntohs(peer.sin_port), a.LocalPort());
    // The second one waits: reported at once by the accept, no poll needed.
    EXPECT_EQ(Of(listener, Queued()), std::vector<WORD>{FD_ACCEPT});
    EXPECT_TRUE(EventsOf(listener).empty());

    SOCKET second = accept(listener, nullptr, nullptr);
    ASSERT_NE(second, INVALID_SOCKET);
    EXPECT_NE(second, first);
    EXPECT_TRUE(EventsOf(listener).empty());
    // Nothing waits now: the non-blocking listener says so.
    EXPECT_EQ(accept(listener, nullptr, nullptr), INVALID_SOCKET);
    EXPECT_EQ(WSAGetLastError(), WSAEWOULDBLOCK);
    EXPECT_EQ(EventsOf(listener), std::vector<WORD>{});
    // The accepted socket has the listener's selection: it does not block.
    char byte;
    EXPECT_EQ(recv(first, &byte, 1, 0), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEWOULDBLOCK);
}

// FD_WRITE once on selection, FD_READ again only after a recv and only while
// data remains, FD_READ before FD_CLOSE, FD_CLOSE once.
TEST_F(WinSockStandIn, ReadAndCloseFollowWinSocksRules) {
    LoopbackSocket peer;
    SOCKET s = AcceptedPair(&peer);
    EXPECT_EQ(EventsOf(s), std::vector<WORD>{FD_WRITE});
    EXPECT_TRUE(EventsOf(s).empty());

    ASSERT_TRUE(peer.SendAll("hello"));
    EXPECT_EQ(WaitForEvent(s, FD_READ), 0);
    EXPECT_TRUE(EventsOf(s).empty());  // no recv yet: not again

    char buffer[16];
    EXPECT_EQ(recv(s, buffer, 2, MSG_PEEK), 2);
    EXPECT_TRUE(EventsOf(s).empty());  // a look re-enables it, for data that comes after
    ASSERT_TRUE(peer.SendAll("!"));
    EXPECT_EQ(WaitForEvent(s, FD_READ), 0);
    EXPECT_EQ(recv(s, buffer, 2, 0), 2);
    EXPECT_EQ(std::string(buffer, 2), "he");
    EXPECT_EQ(EventsOf(s), std::vector<WORD>{FD_READ});  // four bytes remain
    EXPECT_EQ(recv(s, buffer, sizeof buffer, 0), 4);
    EXPECT_TRUE(EventsOf(s).empty());  // nothing remains

    ASSERT_TRUE(peer.SendAll("x"));
    peer.Close();
    std::vector<WORD> seen;
    PumpUntil([&] { return seen.size() >= 2; },
              [&] {
                  for (WORD e : EventsOf(s)) seen.push_back(e);
              });
    EXPECT_EQ(seen, (std::vector<WORD>{FD_READ, FD_CLOSE}));
    EXPECT_TRUE(EventsOf(s).empty());
    EXPECT_EQ(recv(s, buffer, sizeof buffer, 0), 1);
    EXPECT_EQ(recv(s, buffer, sizeof buffer, 0), 0);  // the end of the peer's data
    EXPECT_TRUE(EventsOf(s).empty());                 // FD_CLOSE came once
}

// FD_WRITE comes again only after a send that would have blocked, once the
// socket takes data again: also after the FD_CLOSE of a peer that ended only
// its side and reads on.
TEST_F(WinSockStandIn, WriteComesBackAfterAWouldBlock) {
    for (bool peerEndsItsSide : {false, true}) {
        SCOPED_TRACE(peerEndsItsSide ? "the peer ends its side first" : "the peer stays");
        LoopbackSocket peer;
        SOCKET s = AcceptedPair(&peer);
        EXPECT_EQ(EventsOf(s), std::vector<WORD>{FD_WRITE});
        std::string chunk(1 << 16, 'z');
        std::size_t total = 0;
        for (int i = 0; i < 4096; ++i) {  // at most 256 MB: far past any socket buffer
            int n = send(s, chunk.data(), static_cast<int>(chunk.size()), 0);
            if (n == SOCKET_ERROR) break;
            total += static_cast<std::size_t>(n);
        }
        ASSERT_EQ(WSAGetLastError(), WSAEWOULDBLOCK);
        EXPECT_TRUE(EventsOf(s).empty());
        if (peerEndsItsSide) {
            peer.ShutdownWrite();
            EXPECT_EQ(WaitForEvent(s, FD_CLOSE), 0);
        }
        EXPECT_EQ(peer.ReceiveExactly(total).size(), total);
        EXPECT_EQ(WaitForEvent(s, FD_WRITE), 0);
        EXPECT_TRUE(EventsOf(s).empty());
        EXPECT_EQ(send(s, "ok", 2, 0), 2);
        EXPECT_TRUE(EventsOf(s).empty());  // a send that went through re-enables nothing
        EXPECT_EQ(peer.ReceiveExactly(2), "ok");
        closesocket(s);
    }
}

TEST_F(WinSockStandIn, ConnectIsReportedWithItsResult) {
    LoopbackSocket server = LoopbackSocket::Listen();
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    ASSERT_EQ(WSAAsyncSelect(s, window_, kSocketMessage, FD_CONNECT | FD_READ | FD_WRITE | FD_CLOSE), 0);
    sockaddr_in a = LoopbackAddress(server.LocalPort());
    EXPECT_EQ(connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEWOULDBLOCK);
    std::vector<WORD> seen;
    PumpUntil([&] { return seen.size() >= 2; },
              [&] {
                  for (WORD e : EventsOf(s)) seen.push_back(e);
              });
    EXPECT_EQ(seen, (std::vector<WORD>{FD_CONNECT, FD_WRITE}));
    EXPECT_EQ(connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEISCONN);

    // A port nobody listens on: FD_CONNECT with the refusal, and nothing more.
    int closedPort = server.LocalPort();
    server.Close();
    SOCKET refused = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    ASSERT_EQ(WSAAsyncSelect(refused, window_, kSocketMessage, FD_CONNECT | FD_READ | FD_WRITE | FD_CLOSE), 0);
    a = LoopbackAddress(closedPort);
    EXPECT_EQ(connect(refused, reinterpret_cast<sockaddr*>(&a), sizeof a), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEWOULDBLOCK);
    EXPECT_EQ(WaitForEvent(refused, FD_CONNECT), WSAECONNREFUSED);
    EXPECT_TRUE(EventsOf(refused).empty());
}

// A reset peer: FD_CLOSE carries the reset, and a send fails with an error
// instead of ending the process with a signal.
TEST_F(WinSockStandIn, AResetPeerIsAnErrorNotASignal) {
    LoopbackSocket peer;
    SOCKET s = AcceptedPair(&peer);
    Pump();
    peer.Abort();
    EXPECT_EQ(WaitForEvent(s, FD_CLOSE), WSAECONNRESET);
    int result = 0;
    for (int i = 0; i < 8 && result != SOCKET_ERROR; ++i) result = send(s, "data", 4, 0);
    EXPECT_EQ(result, SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAECONNRESET);
    EXPECT_TRUE(EventsOf(s).empty());
}

// A poll looks at each socket of its window once, and posts the events due
// on each; nothing is posted without a poll, whatever waits.
TEST_F(WinSockStandIn, APollLooksAtEachSocketOnce) {
    LoopbackSocket peers[3];
    SOCKET sockets[3];
    for (int i = 0; i < 3; ++i) sockets[i] = AcceptedPair(&peers[i]);
    std::uint64_t before = PlatformSocketLooks();
    std::vector<Event> events = Pump();
    EXPECT_EQ(PlatformSocketLooks() - before, 3u);
    for (SOCKET s : sockets) EXPECT_EQ(Of(s, events), std::vector<WORD>{FD_WRITE});

    // No message comes before a poll, whatever waits.
    ASSERT_TRUE(peers[1].SendAll("data"));
    EXPECT_TRUE(Queued().empty());
    before = PlatformSocketLooks();
    events.clear();
    PumpUntil([&] { return !Of(sockets[1], events).empty(); },
              [&] {
                  for (const Event& e : Pump()) events.push_back(e);
              });
    EXPECT_EQ((PlatformSocketLooks() - before) % 3, 0u);  // each poll looks at all three
    EXPECT_EQ(Of(sockets[1], events), std::vector<WORD>{FD_READ});
    EXPECT_TRUE(Of(sockets[0], events).empty());
    EXPECT_TRUE(Of(sockets[2], events).empty());
}

// A socket's messages still queued go with its selection or with the socket.
TEST_F(WinSockStandIn, NoMessageOutlivesItsSocket) {
    LoopbackSocket peer;
    SOCKET s = AcceptedPair(&peer);
    ASSERT_TRUE(peer.SendAll("data"));
    MSG m;
    PumpUntil([&] { return PlatformPendingMessages(GetCurrentThreadId()) >= 2; },
              [&] { PlatformPollSockets(window_); });  // posts, leaves them queued
    EXPECT_EQ(WSAAsyncSelect(s, window_, 0, 0), 0);
    EXPECT_FALSE(PeekMessageA(&m, window_, 0, 0, PM_NOREMOVE));

    SOCKET t = AcceptedPair(&peer);
    ASSERT_TRUE(peer.SendAll("data"));
    PumpUntil([&] { return PlatformPendingMessages(GetCurrentThreadId()) >= 2; },
              [&] { PlatformPollSockets(window_); });
    EXPECT_EQ(closesocket(t), 0);
    EXPECT_FALSE(PeekMessageA(&m, window_, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(closesocket(t), SOCKET_ERROR);
}

}  // namespace
