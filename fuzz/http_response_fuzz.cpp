// libFuzzer target: any bytes as a server's answer to an HTTP request. The
// first byte picks the request (GET, POST, HEAD) and where the body goes
// (a file or memory); the rest is what a loopback server sends before it
// closes the connection. Whatever the answer, the request ends (no step
// waits for ever), a body in memory holds only bytes the server sent and
// never more than its length, a failure leaves no block behind, and no
// tracked memory is lost.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/memory.h"
#include "net/http.h"
#include "net/network.h"
#include "platform/backend.h"
#include "platform/kernel.h"
#include "platform/winsock.h"

namespace {

constexpr std::uint8_t kLoopback[4] = {127, 0, 0, 1};
// Passes of message processing a request may take at most: far more than
// an answer of the fuzzer's sizes needs, one line a pass.
constexpr int kPassLimit = 200000;

SOCKET g_server = INVALID_SOCKET;
int g_port = 0;
std::string g_file;

void Pass() {
    ProcessNetwork();
    StepAllHttpRequests();
}

// Blocking calls on the server's side: the framework's side is stepped in
// between, so each finds what it waits for already there.
bool ReceiveRequest(SOCKET client, int length) {
    std::string request(static_cast<std::size_t>(length), '\0');
    int got = 0;
    while (got < length) {
        int n = recv(client, request.data() + got, length - got, 0);
        if (n <= 0) return false;
        got += n;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    PlatformSelectBackend(PlatformBackend::Headless);
    if (StartNetwork(kLoopback, 0) <= 0) std::abort();
    WSADATA data;
    if (WSAStartup(MAKEWORD(1, 1), &data) != 0) std::abort();
    g_server = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.S_un.S_addr = inet_addr("127.0.0.1");
    int length = sizeof a;
    if (bind(g_server, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(g_server, 4) != 0 ||
        getsockname(g_server, reinterpret_cast<sockaddr*>(&a), &length) != 0)
        std::abort();
    g_port = ntohs(a.sin_port);
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    g_file = std::string(temp) + "kelvo-http-fuzz-" + std::to_string(GetCurrentThreadId()) + ".bin";
    // A length the server gives is no reason to take gigabytes: such blocks
    // fail as memory that cannot be had.
    SetTrackedAllocFailuresFromSize(16 << 20);
    std::atexit([] {
        closesocket(g_server);
        WSACleanup();
        EndNetwork();
        DeleteFileA(g_file.c_str());
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const int blocks = g_MemoryTracker.count;
    const int type = data[0] % 3;
    const int destination = (data[0] / 3) % 2 == 0 ? kHttpToFile : kHttpToMemory;
    const char* answer = reinterpret_cast<const char*>(data + 1);
    const int answerLength = static_cast<int>(size - 1);

    void* block = nullptr;
    HttpDestination to{destination, g_file.c_str(), &block};
    static const char kPosted[] = "name=kelvo&value=1";
    int slot = type == kHttpGet    ? RequestHttpGet("127.0.0.1", g_port, "/fuzz", to)
               : type == kHttpPost ? RequestHttpPost("127.0.0.1", g_port, "/fuzz", kPosted, sizeof kPosted - 1, to)
                                   : RequestHttpHead("127.0.0.1", g_port, "/fuzz");
    if (slot < 0) std::abort();
    SOCKET client = accept(g_server, nullptr, nullptr);
    if (client == INVALID_SOCKET) std::abort();

    const HttpRequestRecord* r = GetHttpRequest(slot);
    for (int pass = 0; pass < kPassLimit && r->endState == -1 && r->step == 0; ++pass) Pass();
    if (r->step == 0 || !ReceiveRequest(client, r->requestLength)) std::abort();
    for (int sent = 0; sent < answerLength;) {
        int n = send(client, answer + sent, answerLength - sent, 0);
        if (n <= 0) std::abort();
        sent += n;
    }
    closesocket(client);

    for (int pass = 0; pass < kPassLimit && r->endState == -1; ++pass) Pass();
    if (r->endState == -1) std::abort();  // a request that never ends
    if (r->endState != 0 && block != nullptr) std::abort();
    if (r->endState == 0 && r->type != kHttpHead && destination == kHttpToMemory) {
        if (r->contentLength >= 0 && r->received != r->contentLength) std::abort();
        if (r->received > answerLength) std::abort();
        if (r->received > 0 &&
            (block == nullptr || memmem(answer, static_cast<std::size_t>(answerLength), block,
                                        static_cast<std::size_t>(r->received)) == nullptr))
            std::abort();
    }
    DeleteHttpRequest(slot);
    KV_FREE(block);
    if (g_MemoryTracker.count != blocks) std::abort();
    return 0;
}
