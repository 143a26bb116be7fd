// The HTTP request table: starting requests, finishing and deleting them.
#include <cstring>

#include "core/framework_lock.h"
#include "core/log.h"
#include "core/memory.h"
#include "core/utility.h"
#include "net/http.h"
#include "net/network.h"
#include "platform/winsock.h"

HttpRequestTable g_HttpRequests{};

namespace {

HttpRequestRecord* Slot(int slot) {
    if (slot < 0 || slot >= kHttpRequestSlotCount) return nullptr;
    HttpRequestRecord* r = &g_HttpRequests.slots[slot];
    return r->inUse ? r : nullptr;
}

// The request's text as it goes on the wire, followed by the data to post.
char* BuildRequest(int type, const char* host, int port, const char* path, const void* data, int length,
                   int* total) {
    char head[sizeof HttpRequestRecord::path + sizeof HttpRequestRecord::host + 128];
    int headLength;
    switch (type) {
        case kHttpGet:
            headLength = FormatString(head, sizeof head, "GET %s HTTP/1.0\r\nHost: %s:%d\r\nConnection: close\r\n\r\n",
                                      path, host, port);
            break;
        case kHttpPost:
            headLength = FormatString(head, sizeof head, "POST %s HTTP/1.0\r\nHost: %s:%d\r\nContent-Length: %d\r\n\r\n",
                                      path, host, port, length);
            break;
        default: headLength = FormatString(head, sizeof head, "HEAD %s HTTP/1.0\r\n\r\n", path); break;
    }
    if (headLength < 0) return nullptr;
    headLength = static_cast<int>(std::strlen(head));
    int dataLength = type == kHttpPost ? length : 0;
    if (dataLength > 0x7FFFFFFF - headLength) return nullptr;
    *total = headLength + dataLength;
    auto* text = static_cast<char*>(KV_ALLOC(static_cast<std::size_t>(*total)));
    if (text == nullptr) return nullptr;
    std::memcpy(text, head, static_cast<std::size_t>(headLength));
    if (dataLength > 0) std::memcpy(text + headLength, data, static_cast<std::size_t>(dataLength));
    return text;
}

int StartRequest(int type, const char* host, int port, const char* path, const void* data, int length,
                 const HttpDestination* destination) {
    FrameworkLockScope lock;
    if (!g_NetworkState.started || host == nullptr || path == nullptr) return -1;
    if (std::strlen(host) >= sizeof HttpRequestRecord::host || std::strlen(path) >= sizeof HttpRequestRecord::path)
        return -1;
    if (type == kHttpPost && (length < 0 || (data == nullptr && length > 0))) return -1;
    if (destination != nullptr) {
        if (destination->kind == kHttpToFile && destination->fileName == nullptr) return -1;
        if (destination->kind == kHttpToMemory && destination->block == nullptr) return -1;
        if (destination->kind != kHttpToFile && destination->kind != kHttpToMemory) return -1;
    }
    std::uint32_t ip = inet_addr(host);
    if (ip == INADDR_NONE) {
        WriteLogFormat("HTTP の接続先 %s は IPv4 アドレスではありません", host);
        return -1;
    }

    int slot = 0;
    while (slot < kHttpRequestSlotCount && g_HttpRequests.slots[slot].inUse) ++slot;
    if (slot == kHttpRequestSlotCount) return -1;
    HttpRequestRecord& r = g_HttpRequests.slots[slot];
    r = HttpRequestRecord{};
    r.type = type;
    r.endState = -1;
    r.result = -1;
    r.network = -1;
    r.outputFile = INVALID_HANDLE_VALUE;
    r.contentLength = -1;
    r.port = port;
    std::strcpy(r.host, host);
    std::strcpy(r.path, path);

    r.requestData = BuildRequest(type, host, port, path, data, length, &r.requestLength);
    r.receiveBuffer = static_cast<std::uint8_t*>(KV_ALLOC(kHttpReceiveBufferSize));
    auto undo = [&] {
        KV_FREE(r.requestData);
        KV_FREE(r.receiveBuffer);
        if (r.outputFile != INVALID_HANDLE_VALUE) CloseHandle(r.outputFile);
        r = HttpRequestRecord{};
        return -1;
    };
    if (r.requestData == nullptr || r.receiveBuffer == nullptr) return undo();
    if (destination != nullptr) {
        r.destination = destination->kind;
        if (r.destination == kHttpToFile) {
            r.outputFile = CreateFileA(destination->fileName, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                       FILE_ATTRIBUTE_NORMAL, nullptr);
            if (r.outputFile == INVALID_HANDLE_VALUE) return undo();
        } else {
            r.memoryBlock = destination->block;
            *r.memoryBlock = nullptr;
        }
    }
    std::uint8_t address[4];
    std::memcpy(address, &ip, 4);  // network order: the address's bytes in turn
    // HTTP is no framed protocol: the request's handle makes raw calls. The
    // request itself tells when its connection has ended (with the body,
    // or too soon), so auto-close leaves its handle to it.
    int noFraming = g_NetworkState.noFraming;
    int noAutoClose = g_NetworkState.noAutoClose;
    g_NetworkState.noFraming = 1;
    g_NetworkState.noAutoClose = 1;
    r.network = ConnectNetWork(address, port);
    g_NetworkState.noFraming = noFraming;
    g_NetworkState.noAutoClose = noAutoClose;
    if (r.network < 0) return undo();
    r.inUse = 1;
    ++g_HttpRequests.count;
    return slot;
}

}  // namespace

int RequestHttpGet(const char* host, int port, const char* path, const HttpDestination& destination) {
    return StartRequest(kHttpGet, host, port, path, nullptr, 0, &destination);
}

int RequestHttpPost(const char* host, int port, const char* path, const void* data, int length,
                    const HttpDestination& destination) {
    return StartRequest(kHttpPost, host, port, path, data, length, &destination);
}

int RequestHttpHead(const char* host, int port, const char* path) {
    return StartRequest(kHttpHead, host, port, path, nullptr, 0, nullptr);
}

const HttpRequestRecord* GetHttpRequest(int slot) { return Slot(slot); }

int ClearHttpRequestTable() {
    g_HttpRequests = HttpRequestTable{};
    return 0;
}

int FinishHttpRequest(int slot, int endState, int result) {
    HttpRequestRecord* r = Slot(slot);
    if (r == nullptr) return -1;
    if (r->network >= 0) DisconnectNetworkHandle(r->network);
    r->network = -1;
    KV_FREE(r->receiveBuffer);
    r->receiveBuffer = nullptr;
    KV_FREE(r->requestData);
    r->requestData = nullptr;
    if (r->outputFile != INVALID_HANDLE_VALUE) CloseHandle(r->outputFile);
    r->outputFile = INVALID_HANDLE_VALUE;
    if (r->endState == -1) r->endState = endState;
    if (r->result == -1) r->result = result;
    if (endState != 0 && r->memoryBlock != nullptr) {
        KV_FREE(*r->memoryBlock);
        *r->memoryBlock = nullptr;
    }
    r->memoryBlock = nullptr;  // a finished body is the caller's
    return 0;
}

int DeleteHttpRequest(int slot) {
    FrameworkLockScope lock;
    HttpRequestRecord* r = Slot(slot);
    if (r == nullptr) return -1;
    if (r->endState == -1) FinishHttpRequest(slot, 2, kHttpResultGeneral);
    *r = HttpRequestRecord{};
    --g_HttpRequests.count;
    return 0;
}

int DeleteAllHttpRequests() {
    FrameworkLockScope lock;
    for (int slot = 0; slot < kHttpRequestSlotCount; ++slot)
        if (g_HttpRequests.slots[slot].inUse) DeleteHttpRequest(slot);
    return 0;
}
