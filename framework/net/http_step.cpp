// One step of an HTTP request per pass: send the request, read the status
// line, read the headers one line a pass, then take the body.
#include <algorithm>
#include <cstring>

#include "core/framework_lock.h"
#include "core/log.h"
#include "core/memory.h"
#include "core/utility.h"
#include "net/http.h"
#include "net/network.h"

namespace {

constexpr int kLineLimit = 255;
// Receives per pass while the body keeps coming, so that one pass stays short.
constexpr int kBodyReadsPerPass = 64;
// The block a body of known length starts in; it grows as the body comes.
constexpr int kHttpFirstBlockSize = 64 * 1024;
constexpr char kContentLength[] = "Content-Length:";

// The value of a "Content-Length:" line: what follows the field name when
// the line begins with it (HTTP field names are matched without regard to
// case), else null. A name that only ends in it, or that appears in a value,
// is another field.
const char* ContentLengthField(const char* line) {
    for (std::size_t i = 0; i + 1 < sizeof kContentLength; ++i) {
        char c = line[i];
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        char k = kContentLength[i];
        if (k >= 'a' && k <= 'z') k = static_cast<char>(k - 'a' + 'A');
        if (c != k) return nullptr;
    }
    return line + sizeof kContentLength - 1;
}

enum class Length { Read, TooLarge, Bad };

// Reads a Content-Length value: decimal digits between optional blanks (and
// the CR of a CRLF line). A number beyond what the record's length holds
// wraps nowhere: it is too large, and the request cannot be taken.
Length ParseContentLength(const char* value, int* out) {
    while (*value == ' ' || *value == '\t') ++value;
    const char* text = value;
    const char* digits = value;
    std::int64_t n = 0;
    bool tooLarge = false;
    for (; *value >= '0' && *value <= '9'; ++value) {
        n = n * 10 + (*value - '0');
        if (n > 0x7FFFFFFF) {
            tooLarge = true;
            n = 0x7FFFFFFF;  // keeps the sum from overflowing over further digits
        }
    }
    std::size_t digitCount = static_cast<std::size_t>(value - digits);
    while (*value == ' ' || *value == '\t' || *value == '\r') ++value;
    if (digitCount == 0 || *value != '\0') {
        std::size_t shown = std::strcspn(text, "\r");
        WriteLogFormat("HTTP の応答の Content-Length が数ではありません(%.*s)", static_cast<int>(shown), text);
        return Length::Bad;
    }
    if (tooLarge) {
        WriteLogFormat("HTTP の応答の Content-Length が大きすぎます(%.*s)", static_cast<int>(digitCount), digits);
        return Length::TooLarge;
    }
    *out = static_cast<int>(n);
    return Length::Read;
}

enum class Line { Read, Waiting, Failed };

// The connection of a request: what remains of it.
struct Connection {
    NetworkRecord* record;  // null once the handle is gone
    bool broken;            // an error, or the handle closed for one
    bool gone;              // broken, or closed by the peer
    bool waiting;           // data waits to be read
};

Connection Look(const HttpRequestRecord& r) {
    Connection c{LookupNetworkHandle(r.network), true, true, false};
    if (c.record == nullptr || c.record->error) return c;
    c.broken = false;
    c.gone = !c.record->connected && !c.record->connecting;
    c.waiting = !c.record->connecting && GetNetWorkDataLength(r.network) > 0;
    return c;
}

// Reads one line of the response. A line that cannot end (255 bytes without
// LF, or a connection that closed in its middle) fails the request. Both are
// judged on what was seen before the line was looked for, since more may
// come in between.
Line ReadLine(int slot, HttpRequestRecord& r, char* line) {
    bool goneBefore = Look(r).gone;
    char peeked[kLineLimit];
    int waiting = NetWorkRecvToPeek(r.network, peeked, kLineLimit);
    if (ReceiveNetworkLine(r.network, line) == 0) return Line::Read;
    if (waiting >= kLineLimit) {
        FinishHttpRequest(slot, 2, kHttpResultGeneral);
        return Line::Failed;
    }
    if (goneBefore) {
        FinishHttpRequest(slot, 2, kHttpResultClosed);
        return Line::Failed;
    }
    return Line::Waiting;
}

// The status number: the number after the line's first space.
int StatusOf(const char* line) {
    const char* space = std::strchr(line, ' ');
    return space != nullptr ? StringToInt(space + 1) : -1;
}

void StepSend(int slot, HttpRequestRecord& r) {
    Connection c = Look(r);
    if (c.record == nullptr || !c.record->connected) return;  // still connecting
    while (r.requestSent < r.requestLength) {
        int n = NetWorkSend(r.network, r.requestData + r.requestSent, r.requestLength - r.requestSent);
        if (n <= 0) {
            if (WSAGetLastError() != WSAEWOULDBLOCK) FinishHttpRequest(slot, 2, kHttpResultClosed);
            return;  // the socket takes more on a later pass
        }
        r.requestSent += n;
    }
    r.step = 1;
}

void StepStatus(int slot, HttpRequestRecord& r) {
    char line[kLineLimit + 1];
    if (ReadLine(slot, r, line) != Line::Read) return;
    int status = StatusOf(line);
    if (status == 200) {
        r.step = 2;
        return;
    }
    if (r.type == kHttpGet) WriteLogFormat("接続に失敗しました (戻り値:%d)", status);
    FinishHttpRequest(slot, 2, status == 404 ? kHttpResultNotFound : kHttpResultGeneral);
}

// Makes the caller's block hold at least `size` bytes, keeping what it has.
// It doubles as the body comes, up to the content length where there is one.
bool GrowBlock(HttpRequestRecord& r, std::uint32_t size) {
    if (size <= r.blockSize && *r.memoryBlock != nullptr) return true;
    std::uint64_t wanted = r.blockSize < 4096 ? 4096 : static_cast<std::uint64_t>(r.blockSize) * 2;
    if (r.contentLength >= 0 && wanted > static_cast<std::uint64_t>(r.contentLength)) wanted = r.contentLength;
    if (wanted < size) wanted = size;
    if (wanted > kTrackedAllocMaxSize) wanted = kTrackedAllocMaxSize;
    if (wanted < size) return false;
    void* grown = KV_ALLOC(static_cast<std::size_t>(wanted));
    if (grown == nullptr) return false;
    if (*r.memoryBlock != nullptr) {
        std::memcpy(grown, *r.memoryBlock, static_cast<std::size_t>(r.received));
        KV_FREE(*r.memoryBlock);
    }
    *r.memoryBlock = grown;
    r.blockSize = static_cast<std::uint32_t>(wanted);
    return true;
}

void StepHeader(int slot, HttpRequestRecord& r) {
    char line[kLineLimit + 1];
    if (ReadLine(slot, r, line) != Line::Read) return;
    const char* field = ContentLengthField(line);
    if (field == nullptr) {
        // A line without a colon ends the headers (HEAD ends there without a length).
        if (std::strchr(line, ':') != nullptr) return;
        if (r.type == kHttpHead)
            FinishHttpRequest(slot, 0, -1);
        else
            r.step = 3;
        return;
    }
    int length = -1;
    // A length that is no number, one too large to hold, or a second one that
    // differs is no body size: the request fails rather than end short.
    if (ParseContentLength(field, &length) != Length::Read || (r.contentLength >= 0 && length != r.contentLength)) {
        FinishHttpRequest(slot, 2, kHttpResultGeneral);
        return;
    }
    if (r.type == kHttpHead) {
        r.contentLength = length;
        FinishHttpRequest(slot, 0, -1);
        return;
    }
    // The caller's block is made for the first part of the body and grows as
    // the rest comes (GrowBlock): a length that a server announces is not
    // reserved before its bytes arrive.
    if (r.contentLength < 0 && r.destination == kHttpToMemory) {
        const int first = std::min(length, kHttpFirstBlockSize);
        void* block = KV_ALLOC(static_cast<std::size_t>(first));
        if (block == nullptr) {
            FinishHttpRequest(slot, 2, kHttpResultNoMemory);
            return;
        }
        *r.memoryBlock = block;
        r.blockSize = static_cast<std::uint32_t>(first);
    }
    r.contentLength = length;
}

// Takes what has come of the body, never past the content length; false when
// the request failed on the way.
bool ReceiveBody(int slot, HttpRequestRecord& r) {
    for (int read = 0; read < kBodyReadsPerPass; ++read) {
        int want = kHttpReceiveBufferSize;
        if (r.contentLength >= 0 && r.contentLength - r.received < want) want = r.contentLength - r.received;
        if (want <= 0) return true;
        std::uint8_t* into = r.receiveBuffer;
        if (r.destination == kHttpToMemory) {
            std::uint32_t end = static_cast<std::uint32_t>(r.received) + static_cast<std::uint32_t>(want);
            if (r.received > 0x7FFFFFFF - want || !GrowBlock(r, end)) {
                FinishHttpRequest(slot, 2, kHttpResultNoMemory);
                return false;
            }
            into = static_cast<std::uint8_t*>(*r.memoryBlock) + r.received;
        }
        int n = NetWorkRecv(r.network, into, want);
        if (n < 0 && WSAGetLastError() != WSAEWOULDBLOCK) {
            FinishHttpRequest(slot, 2, kHttpResultClosed);
            return false;
        }
        if (n <= 0) return true;  // nothing more for now, or the end
        if (r.destination == kHttpToFile) {
            DWORD written = 0;
            if (!WriteFile(r.outputFile, into, static_cast<DWORD>(n), &written, nullptr) ||
                written != static_cast<DWORD>(n)) {
                FinishHttpRequest(slot, 2, kHttpResultGeneral);
                return false;
            }
        }
        r.received += n;
    }
    return true;
}

void StepBody(int slot, HttpRequestRecord& r) {
    if (!ReceiveBody(slot, r)) return;
    if (r.contentLength >= 0 && r.received >= r.contentLength) {
        FinishHttpRequest(slot, 0, -1);
        return;
    }
    Connection c = Look(r);
    if (c.broken) {
        FinishHttpRequest(slot, 2, kHttpResultClosed);
        return;
    }
    if (!c.gone || c.waiting) return;
    // Without a length the body ends with the connection; with one, a
    // connection that ends first has cut the body short.
    FinishHttpRequest(slot, r.contentLength < 0 ? 0 : 2, r.contentLength < 0 ? -1 : kHttpResultClosed);
}

void StepHttpRequest(int slot) {
    HttpRequestRecord& r = g_HttpRequests.slots[slot];
    // The body step judges a closed connection itself: for a body without a
    // length it is the end of the body, not a failure.
    if (r.step != 3) {
        Connection c = Look(r);
        if (c.gone && !c.waiting) {
            FinishHttpRequest(slot, 2, kHttpResultClosed);
            return;
        }
    }
    switch (r.step) {
        case 0: StepSend(slot, r); break;
        case 1: StepStatus(slot, r); break;
        case 2: StepHeader(slot, r); break;
        default: StepBody(slot, r); break;
    }
}

}  // namespace

int StepAllHttpRequests() {
    if (g_HttpRequests.count == 0) return 0;
    FrameworkLockScope lock;
    for (int slot = 0; slot < kHttpRequestSlotCount; ++slot) {
        const HttpRequestRecord& r = g_HttpRequests.slots[slot];
        if (r.inUse && r.endState == -1) StepHttpRequest(slot);
    }
    return 0;
}
