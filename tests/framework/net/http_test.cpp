// HTTP requests against a small server on a free loopback port: the request
// texts, bodies to memory and to files with and without a length, and the
// answers that must fail cleanly.
#include <fstream>
#include <sstream>

#include "framework/framework_fixture.h"
#include "framework/net/network_fixture.h"
#include "net/http.h"
#include "support/lighttpd_server.h"
#include "support/temp_dir.h"

namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string Ok(const std::string& body, bool withLength = true, const std::string& extra = "") {
    std::string head = "HTTP/1.0 200 OK\r\nContent-Type: application/octet-stream\r\n";
    if (withLength) head += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    return head + "\r\n" + body + extra;
}

class HttpTest : public NetworkTest {
protected:
    static void Pass() {
        ProcessNetwork();
        StepAllHttpRequests();
    }
    // Steps the request until it ends; its record (copied: the slot is then deleted).
    static HttpRequestRecord Finish(int slot) {
        EXPECT_GE(slot, 0);
        if (slot < 0) return HttpRequestRecord{};
        EXPECT_TRUE(PumpUntil([&] { return GetHttpRequest(slot)->endState != -1; }, Pass));
        HttpRequestRecord record = *GetHttpRequest(slot);
        EXPECT_EQ(DeleteHttpRequest(slot), 0);
        EXPECT_EQ(GetHttpRequest(slot), nullptr);
        return record;
    }

    TempDir files_;
};

struct Exchange {
    const char* name;
    int type;
    int destination;
    std::string answer;
    bool abort;            // the server resets the connection after its answer
    int endState;
    int result;
    int contentLength;     // as the record keeps it
    std::string body;      // what the caller must get
};

TEST_F(HttpTest, AnswersEndEachRequestAsTheyShould) {
    const std::string body = Pattern(100000, 7);
    const std::string small = "<html>kelvo</html>";
    const Exchange exchanges[] = {
        {"memory, with a length", kHttpGet, kHttpToMemory, Ok(body), false, 0, -1, 100000, body},
        {"file, with a length", kHttpGet, kHttpToFile, Ok(body), false, 0, -1, 100000, body},
        {"memory, no length", kHttpGet, kHttpToMemory, Ok(body, false), false, 0, -1, -1, body},
        {"file, no length", kHttpGet, kHttpToFile, Ok(small, false), false, 0, -1, -1, small},
        {"memory, empty body", kHttpGet, kHttpToMemory, Ok(""), false, 0, -1, 0, ""},
        {"memory, more than the length", kHttpGet, kHttpToMemory, Ok(small, true, "SURPLUS BYTES"), false, 0, -1,
         18, small},
        {"file, more than the length", kHttpGet, kHttpToFile, Ok(small, true, "SURPLUS"), false, 0, -1, 18, small},
        {"post to memory", kHttpPost, kHttpToMemory, Ok(small), false, 0, -1, 18, small},
        {"not found", kHttpGet, kHttpToMemory, "HTTP/1.0 404 Not Found\r\n\r\n", false, 2, 1, -1, ""},
        {"server error", kHttpGet, kHttpToFile, "HTTP/1.0 500 Oops\r\n\r\n", false, 2, 0, -1, ""},
        {"post not found", kHttpPost, kHttpToMemory, "HTTP/1.0 404 Not Found\r\n\r\n", false, 2, 1, -1, ""},
        {"no status line at all", kHttpGet, kHttpToMemory, "", false, 2, 3, -1, ""},
        {"status line never ended", kHttpGet, kHttpToMemory, "HTTP/1.0 200 OK", false, 2, 3, -1, ""},
        {"status line without a number", kHttpGet, kHttpToMemory, "garbage\n\n", false, 2, 0, -1, ""},
        {"length larger than the body", kHttpGet, kHttpToMemory,
         "HTTP/1.0 200 OK\r\nContent-Length: 5000\r\n\r\n" + small, false, 2, 3, 5000, ""},
        {"length larger than the body, to a file", kHttpGet, kHttpToFile,
         "HTTP/1.0 200 OK\r\nContent-Length: 5000\r\n\r\n" + small, false, 2, 3, 5000, small},
        {"negative length", kHttpGet, kHttpToMemory, "HTTP/1.0 200 OK\r\nContent-Length: -20\r\n\r\nabc", false, 2,
         0, -1, ""},
        {"two different lengths", kHttpGet, kHttpToMemory,
         "HTTP/1.0 200 OK\r\nContent-Length: 3\r\nContent-Length: 4\r\n\r\nabcd", false, 2, 0, 3, ""},
        {"a header of 1 MB", kHttpGet, kHttpToMemory, "HTTP/1.0 200 OK\r\nX-Long: " + std::string(1 << 20, 'h'),
         false, 2, 0, -1, ""},
        {"a status line of 255 bytes", kHttpGet, kHttpToMemory, "HTTP/1.0 200 " + std::string(242, 'k') + "\n",
         false, 2, 0, -1, ""},
        {"reset in the body, no length", kHttpGet, kHttpToMemory, Ok(body, false), true, 2, 3, -1, ""},
        {"head with a length", kHttpHead, 0, "HTTP/1.0 200 OK\r\nServer: t\r\nContent-Length: 1234\r\n\r\n", false,
         0, -1, 1234, ""},
        {"head without a length", kHttpHead, 0, "HTTP/1.0 200 OK\r\nServer: t\r\n\r\n", false, 0, -1, -1, ""},
        {"head not found", kHttpHead, 0, "HTTP/1.0 404 Not Found\r\n\r\n", false, 2, 1, -1, ""},
        // The field is found by its name at the start of a line, in any case.
        {"a field ending in the name first", kHttpGet, kHttpToMemory,
         "HTTP/1.0 200 OK\r\nX-Original-Content-Length: 3\r\nContent-Length: 18\r\n\r\n" + small, false, 0, -1, 18,
         small},
        {"the name in lower case", kHttpGet, kHttpToMemory, "HTTP/1.0 200 OK\r\ncontent-length: 18\r\n\r\n" + small,
         false, 0, -1, 18, small},
        {"head, a field ending in the name first", kHttpHead, 0,
         "HTTP/1.0 200 OK\r\nX-Original-Content-Length: 3\r\nCONTENT-LENGTH: 24\r\n\r\n", false, 0, -1, 24, ""},
        {"the name inside a value", kHttpGet, kHttpToMemory,
         "HTTP/1.0 200 OK\r\nX-Note: Content-Length: 5\r\n\r\n" + small, false, 0, -1, -1, small},
        // Lengths that do not fit: a failed request, never a short success.
        {"a length of 2^32", kHttpGet, kHttpToMemory,
         "HTTP/1.0 200 OK\r\nContent-Length: 4294967296\r\n\r\n" + std::string(1000, 'b'), false, 2, 0, -1, ""},
        {"a length of 2^32 + 5, to a file", kHttpGet, kHttpToFile,
         "HTTP/1.0 200 OK\r\nContent-Length: 4294967301\r\n\r\n" + std::string(1000, 'b'), false, 2, 0, -1, ""},
        {"a length of 2^31", kHttpPost, kHttpToMemory,
         "HTTP/1.0 200 OK\r\nContent-Length: 2147483648\r\n\r\n" + small, false, 2, 0, -1, ""},
        {"a length of twenty digits", kHttpGet, kHttpToMemory,
         "HTTP/1.0 200 OK\r\nContent-Length: 18446744073709551634\r\n\r\n" + small, false, 2, 0, -1, ""},
        {"head, a length of 2^32", kHttpHead, 0, "HTTP/1.0 200 OK\r\nContent-Length: 4294967296\r\n\r\n", false, 2,
         0, -1, ""},
        {"the longest length that fits", kHttpHead, 0, "HTTP/1.0 200 OK\r\nContent-Length: 2147483647\r\n\r\n",
         false, 0, -1, 2147483647, ""},
    };
    const std::string posted = Pattern(3000, 8);
    const std::string file = files_.str() + "/body.bin";
    for (const Exchange& x : exchanges) {
        SCOPED_TRACE(x.name);
        LoopbackHttpServer server([&](const std::string&) { return LoopbackHttpServer::Answer{x.answer, x.abort}; });
        void* block = reinterpret_cast<void*>(1);  // the request clears it first
        HttpDestination to{x.destination, file.c_str(), &block};
        int slot = x.type == kHttpGet    ? RequestHttpGet("127.0.0.1", server.port(), "/data/x.bin", to)
                   : x.type == kHttpPost ? RequestHttpPost("127.0.0.1", server.port(), "/post", posted.data(),
                                                           static_cast<int>(posted.size()), to)
                                         : RequestHttpHead("127.0.0.1", server.port(), "/head");
        HttpRequestRecord r = Finish(slot);
        EXPECT_EQ(r.endState, x.endState);
        EXPECT_EQ(r.result, x.result);
        EXPECT_EQ(r.contentLength, x.contentLength);
        if (x.type != kHttpHead && x.destination == kHttpToMemory) {
            if (x.endState == 0) {
                EXPECT_EQ(r.received, static_cast<int>(x.body.size()));
                EXPECT_TRUE(r.received == 0 ||
                            std::string(static_cast<char*>(block), static_cast<std::size_t>(r.received)) == x.body);
                KV_FREE(block);
            } else {
                EXPECT_EQ(block, nullptr);  // a failed body is freed, the pointer cleared
            }
        }
        if (x.type != kHttpHead && x.destination == kHttpToFile) {
            EXPECT_TRUE(ReadFile(file) == x.body);
        }

        std::vector<std::string> requests = server.Requests();
        ASSERT_EQ(requests.size(), 1u);
        const std::string host = "127.0.0.1:" + std::to_string(server.port());
        if (x.type == kHttpGet)
            EXPECT_EQ(requests[0], "GET /data/x.bin HTTP/1.0\r\nHost: " + host + "\r\nConnection: close\r\n\r\n");
        else if (x.type == kHttpPost)
            EXPECT_TRUE(requests[0] ==
                        "POST /post HTTP/1.0\r\nHost: " + host + "\r\nContent-Length: 3000\r\n\r\n" + posted);
        else
            EXPECT_EQ(requests[0], "HEAD /head HTTP/1.0\r\n\r\n");
    }
    EXPECT_EQ(Count(Log(), "接続に失敗しました (戻り値:404)\r\n"), 1);  // GET logs it; POST and HEAD do not
    EXPECT_EQ(Count(Log(), "接続に失敗しました (戻り値:500)\r\n"), 1);
    EXPECT_EQ(Count(Log(), "HTTP の応答の Content-Length が大きすぎます(4294967296)\r\n"), 2);
    EXPECT_EQ(Count(Log(), "HTTP の応答の Content-Length が大きすぎます(4294967301)\r\n"), 1);
    EXPECT_EQ(Count(Log(), "HTTP の応答の Content-Length が大きすぎます(2147483648)\r\n"), 1);
    EXPECT_EQ(Count(Log(), "HTTP の応答の Content-Length が大きすぎます(18446744073709551634)\r\n"), 1);
    EXPECT_EQ(Count(Log(), "HTTP の応答の Content-Length が数ではありません(-20)\r\n"), 1);
    EXPECT_TRUE(OpenHandles().empty());
}

// A length that a server announces is not reserved before its bytes come:
// with blocks of 16 MB and more refused, a body announced at 1 GB that ends
// after 18 bytes fails as cut short, not for want of memory.
TEST_F(HttpTest, AnAnnouncedLengthIsReservedAsTheBodyComes) {
    SetTrackedAllocFailuresFromSize(16 << 20);
    LoopbackHttpServer server([](const std::string&) {
        return LoopbackHttpServer::Answer{"HTTP/1.0 200 OK\r\nContent-Length: 1000000000\r\n\r\n<html>kelvo</html>",
                                          false};
    });
    void* block = nullptr;
    HttpRequestRecord r =
        Finish(RequestHttpGet("127.0.0.1", server.port(), "/", HttpDestination{kHttpToMemory, nullptr, &block}));
    SetTrackedAllocFailuresFromSize(0);
    EXPECT_EQ(r.endState, 2);
    EXPECT_EQ(r.result, kHttpResultClosed);
    EXPECT_EQ(r.received, 18);
    EXPECT_EQ(block, nullptr);
}

TEST_F(HttpTest, RequestsThatCannotStartOrLeaveEarly) {
    void* block = nullptr;
    HttpDestination memory{kHttpToMemory, nullptr, &block};
    EXPECT_EQ(RequestHttpGet("example.org", 80, "/", memory), -1);  // dotted addresses only
    EXPECT_NE(Log().find("HTTP の接続先 example.org は IPv4 アドレスではありません"), std::string::npos);
    EXPECT_EQ(RequestHttpGet("127.0.0.1", 80, nullptr, memory), -1);
    EXPECT_EQ(RequestHttpGet("127.0.0.1", 80, std::string(2000, 'p').c_str(), memory), -1);
    EXPECT_EQ(RequestHttpGet("127.0.0.1", 80, "/", HttpDestination{kHttpToMemory, nullptr, nullptr}), -1);
    EXPECT_EQ(RequestHttpGet("127.0.0.1", 80, "/", HttpDestination{kHttpToFile, nullptr, nullptr}), -1);
    EXPECT_EQ(RequestHttpPost("127.0.0.1", 80, "/", nullptr, 5, memory), -1);
    EXPECT_EQ(g_HttpRequests.count, 0);

    // Nobody listens: the connection is never made.
    int closedPort;
    {
        LoopbackSocket gone = LoopbackSocket::Listen();
        closedPort = gone.LocalPort();
    }
    HttpRequestRecord refused = Finish(RequestHttpGet("127.0.0.1", closedPort, "/", memory));
    EXPECT_EQ(refused.endState, 2);
    EXPECT_EQ(refused.result, kHttpResultClosed);

    // A request deleted while it runs fails, and gives back what it holds.
    LoopbackSocket silent = LoopbackSocket::Listen();
    int slot = RequestHttpGet("127.0.0.1", silent.LocalPort(), "/", memory);
    ASSERT_GE(slot, 0);
    LoopbackSocket server = silent.Accept();
    for (int i = 0; i < 10; ++i) Pass();
    EXPECT_EQ(GetHttpRequest(slot)->endState, -1);
    EXPECT_EQ(DeleteHttpRequest(slot), 0);
    EXPECT_EQ(DeleteHttpRequest(slot), -1);
    EXPECT_EQ(server.ReceiveToEnd().rfind("GET / HTTP/1.0\r\n", 0), 0u);  // then the connection ended
    EXPECT_EQ(block, nullptr);

    // So does every request at the end.
    for (int i = 0; i < 3; ++i) ASSERT_GE(RequestHttpHead("127.0.0.1", silent.LocalPort(), "/"), 0);
    EXPECT_EQ(g_HttpRequests.count, 3);
    EXPECT_EQ(DeleteAllHttpRequests(), 0);
    EXPECT_EQ(g_HttpRequests.count, 0);
    EXPECT_TRUE(OpenHandles().empty());
}

// A server that holds requests to the letter of HTTP, and refuses lines that
// end in a bare line feed: every request it answers, as it answers a client
// that speaks HTTP right.
TEST_F(HttpTest, AStrictServerAnswersEveryRequest) {
    const std::string content = Pattern(3000, 11);
    files_.Write("www/file.bin", content);
    LighttpdServer server(files_.str() + "/www", files_.str());
    if (!server.running()) GTEST_SKIP() << "lighttpd cannot start here: " << server.failure();
    const int port = server.port();
    const std::string file = files_.str() + "/got.bin";

    HttpRequestRecord head = Finish(RequestHttpHead("127.0.0.1", port, "/file.bin"));
    EXPECT_EQ(head.endState, 0);
    EXPECT_EQ(head.result, -1);
    EXPECT_EQ(head.contentLength, 3000);

    const std::string posted = "name=kelvo&value=1";
    void* block = nullptr;
    HttpRequestRecord post = Finish(RequestHttpPost("127.0.0.1", port, "/file.bin", posted.data(),
                                                    static_cast<int>(posted.size()),
                                                    HttpDestination{kHttpToMemory, nullptr, &block}));
    EXPECT_EQ(post.endState, 0);
    EXPECT_EQ(post.contentLength, 3000);
    ASSERT_EQ(post.received, 3000);
    EXPECT_TRUE(block != nullptr && std::string(static_cast<char*>(block), 3000) == content);
    KV_FREE(block);

    HttpRequestRecord get = Finish(RequestHttpGet("127.0.0.1", port, "/file.bin",
                                                  HttpDestination{kHttpToFile, file.c_str(), nullptr}));
    EXPECT_EQ(get.endState, 0);
    EXPECT_EQ(get.received, 3000);
    EXPECT_TRUE(ReadFile(file) == content);

    HttpRequestRecord missing = Finish(RequestHttpHead("127.0.0.1", port, "/missing.bin"));
    EXPECT_EQ(missing.endState, 2);
    EXPECT_EQ(missing.result, kHttpResultNotFound);
    EXPECT_TRUE(OpenHandles().empty());
}

// Through the framework itself: message processing steps the network and
// the requests, and the framework's end ends both.
class HttpThroughFramework : public FrameworkTest {};

TEST_F(HttpThroughFramework, MessageProcessingCarriesARequestToItsEnd) {
    ASSERT_EQ(ApiInitFramework(), 0);
    ASSERT_GT(StartNetwork(kLoopbackAddress, 0), 0);
    const std::string body = Pattern(50000, 9);
    LoopbackHttpServer server([&](const std::string&) { return LoopbackHttpServer::Answer{Ok(body)}; });
    void* block = nullptr;
    int slot = RequestHttpGet("127.0.0.1", server.port(), "/", HttpDestination{kHttpToMemory, nullptr, &block});
    ASSERT_GE(slot, 0);
    ASSERT_TRUE(PumpUntil([&] { return GetHttpRequest(slot)->endState != -1; }, [] { ApiProcessMessage(); }));
    EXPECT_EQ(GetHttpRequest(slot)->endState, 0);
    ASSERT_EQ(GetHttpRequest(slot)->received, 50000);
    EXPECT_TRUE(std::string(static_cast<char*>(block), 50000) == body);
    KV_FREE(block);

    // A request still running at the end is ended with the network.
    LoopbackSocket silent = LoopbackSocket::Listen();
    ASSERT_GE(RequestHttpGet("127.0.0.1", silent.LocalPort(), "/", HttpDestination{kHttpToMemory, nullptr, &block}), 0);
    ApiEndFramework();
    EXPECT_EQ(g_HttpRequests.count, 0);
    EXPECT_EQ(g_NetworkState.started, 0);
    EXPECT_EQ(block, nullptr);
    EXPECT_NE(FindLine("ネットワーク関連の終了処理は完了しました"), -1);
}

}  // namespace
