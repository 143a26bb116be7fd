// Sending and receiving on network handles: the framed protocol through the
// rings, the raw calls, and the operations callers use.
#include <cstring>

#include "core/framework_lock.h"
#include "core/log.h"
#include "net/network.h"
#include "platform/window.h"

namespace {

constexpr int kLineLimit = 255;

struct RefusalTexts {
    const char* error;     // the handle's error flag is set
    const char* notInUse;
};

constexpr RefusalTexts kRecvSocketTexts{"このネットワークハンドルにはエラーが発生しています in RecvSocket\n",
                                        "有効なネットワークハンドルではありません in RecvSocket\n"};
constexpr RefusalTexts kSendSocketTexts{"このネットワークハンドルにはエラーが発生しています in SendSocket\n",
                                        "有効なネットワークハンドルではありません in SendSocket\n"};
constexpr RefusalTexts kAcceptStateTexts{
    "このネットワークハンドルにはエラーが発生しています in GetNetWorkAcceptStateh\n",
    "有効なネットワークハンドルではありません in GetNetWorkAcceptState\n"};
constexpr RefusalTexts kRecvTexts{"このネットワークハンドルにはエラーが発生しています in NetWorkRecv\n",
                                  "有効なネットワークハンドルではありません in NetWorkRecv\n"};
constexpr RefusalTexts kPeekTexts{"このネットワークハンドルにはエラーが発生しています in NetWorkRecvToPeek\n",
                                  "有効なネットワークハンドルではありません in NetWorkRecvToPeek\n"};
constexpr RefusalTexts kSendTexts{"このネットワークハンドルにはエラーが発生しています in NetWorkSend\n",
                                  "有効なネットワークハンドルではありません in NetWorkSend\n"};
constexpr RefusalTexts kDataLengthTexts{
    "このネットワークハンドルにはエラーが発生しています in GetNetWorkDataLength\n",
    "有効なネットワークハンドルではありません in GetNetWorkDataLength\n"};

// Refuses a record whose error flag is set or which is no longer in use.
bool Refused(const NetworkRecord* record, const RefusalTexts& texts) {
    if (record->error) {
        WriteLogText(texts.error);
        return true;
    }
    if (!record->inUse) {
        WriteLogText(texts.notInUse);
        return true;
    }
    return false;
}

// The start of every handle operation: the pump first, then the handle's
// record, or null when it is refused.
NetworkRecord* BeginOperation(HandleId handle, const RefusalTexts* texts) {
    if (!g_NetworkState.started) return nullptr;
    PumpNetworkMessages(0);
    NetworkRecord* record = LookupNetworkHandle(handle);
    if (record == nullptr || (texts != nullptr && Refused(record, *texts))) return nullptr;
    return record;
}

std::uint32_t ReadLength(const std::uint8_t* b) {
    return static_cast<std::uint32_t>(b[0]) | (static_cast<std::uint32_t>(b[1]) << 8) |
           (static_cast<std::uint32_t>(b[2]) << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
}

void WriteLength(std::uint32_t value, std::uint8_t* b) {
    for (int i = 0; i < 4; ++i) b[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// What a failed recv or send means: nothing to do yet (false), or a broken
// connection, which sets the error flag.
bool SocketCallFailed(NetworkRecord* record, const char* call) {
    if (WSAGetLastError() == WSAEWOULDBLOCK) return false;
    if (!record->error) LogNetworkError("%sに失敗しました", call);  // a broken handle is reported once
    record->error = 1;
    return true;
}

// Reads and checks the next frame's header and makes room for its payload.
// 1 when a message is now pending, 0 when the header is not all there yet,
// -1 on failure.
int BeginFrame(NetworkRecord* record) {
    std::uint8_t header[4];
    int n = recv(record->socket, reinterpret_cast<char*>(header), 4, MSG_PEEK);
    if (n == SOCKET_ERROR) return SocketCallFailed(record, "recv") ? -1 : 0;
    if (n < 4) return 0;
    recv(record->socket, reinterpret_cast<char*>(header), 4, 0);  // known to be waiting
    std::uint32_t length = ReadLength(header);
    // The length comes from the peer: it is checked before the ring grows.
    if (length > kNetworkMaxFrameLength || ReserveRingBuffer(length, &record->receiveRing) != 0) {
        WriteLogFormat("受信データを保存するリングバッファのリサイズに失敗しました(データサイズ %u byte)", length);
        record->error = 1;
        return -1;
    }
    record->pendingLength = length;
    return 1;
}

// Receives what has come of the pending message into the ring: 1 when it is
// complete, 0 when more is to come, -1 on failure.
int ReceivePayload(NetworkRecord* record) {
    RingBuffer& ring = record->receiveRing;
    while (record->pendingLength > 0) {
        WrapRingBufferPositions(&ring);
        // The ring was grown to hold the whole message, so the free space from
        // the write position (to the end, then from the start) is enough.
        std::uint32_t piece = ring.capacity - ring.writePosition;
        if (piece > record->pendingLength) piece = record->pendingLength;
        int n = recv(record->socket, reinterpret_cast<char*>(ring.data + ring.writePosition), static_cast<int>(piece), 0);
        if (n == SOCKET_ERROR) return SocketCallFailed(record, "recv") ? -1 : 0;
        if (n == 0) return 0;  // the peer has ended; FD_CLOSE tells
        ring.writePosition += static_cast<std::uint32_t>(n);
        ring.dataSize += static_cast<std::uint32_t>(n);
        record->pendingLength -= static_cast<std::uint32_t>(n);
        if (static_cast<std::uint32_t>(n) < piece) return 0;  // no more for now
    }
    return 1;
}

// Sends bytes of the header or the ring: the count taken, 0 when the socket
// takes nothing now, -1 on failure.
int SendSome(NetworkRecord* record, const std::uint8_t* bytes, std::uint32_t count) {
    int n = send(record->socket, reinterpret_cast<const char*>(bytes), static_cast<int>(count), 0);
    if (n == SOCKET_ERROR) return SocketCallFailed(record, "send") ? -1 : 0;
    return n;
}

}  // namespace

int RecvSocket(NetworkRecord* record) {
    if (Refused(record, kRecvSocketTexts)) return -1;
    if (!record->framed) return 0;
    if (record->receiving) {
        // An FD_READ dispatched by the pump inside this receive: kept for
        // when it ends, since WinSock reports the data only once.
        record->receiveMissed = 1;
        return 0;
    }
    record->receiving = 1;
    int result = 0;
    for (;;) {
        if (record->pendingLength == 0) {
            int begun = BeginFrame(record);
            if (begun <= 0) {
                result = begun;
                break;
            }
        }
        int done = ReceivePayload(record);
        if (done <= 0) {
            result = done;
            break;
        }
        // A whole message came in; the next one, unless the pump reports the end.
        if (PumpNetworkMessages(0) != 0 || record->error) break;
    }
    record->receiving = 0;
    if (record->receiveMissed && !record->error) {
        record->receiveMissed = 0;
        PostMessageA(g_NetworkState.window, kNetworkSocketMessage, record->socket, MAKELPARAM(FD_READ, 0));
    }
    return result;
}

int SendSocket(NetworkRecord* record) {
    if (Refused(record, kSendSocketTexts)) return -1;
    if (!record->framed || record->sending) return 0;
    record->sending = 1;
    RingBuffer& ring = record->sendRing;
    int result = 0;
    for (;;) {
        if (record->headerLeft > 0) {
            int n = SendSome(record, record->header + (4 - record->headerLeft), record->headerLeft);
            if (n <= 0) {
                result = n;
                break;
            }
            record->headerLeft -= static_cast<std::uint32_t>(n);
            continue;
        }
        if (record->frameLeft == 0) {
            if (ring.dataSize == 0) break;
            // A new frame covers everything queued, up to the longest frame a
            // receiver takes.
            record->frameLeft = ring.dataSize < kNetworkMaxFrameLength ? ring.dataSize : kNetworkMaxFrameLength;
            WriteLength(record->frameLeft, record->header);
            record->headerLeft = 4;
            continue;
        }
        WrapRingBufferPositions(&ring);
        std::uint32_t piece = ring.capacity - ring.readPosition;
        if (piece > record->frameLeft) piece = record->frameLeft;
        int n = SendSome(record, ring.data + ring.readPosition, piece);
        if (n <= 0) {
            result = n;
            break;
        }
        ring.readPosition += static_cast<std::uint32_t>(n);
        ring.dataSize -= static_cast<std::uint32_t>(n);
        record->frameLeft -= static_cast<std::uint32_t>(n);
    }
    record->sending = 0;
    return result;
}

int GetNetWorkAcceptState(HandleId handle) {
    FrameworkLockScope lock;
    NetworkRecord* record = BeginOperation(handle, &kAcceptStateTexts);
    if (record == nullptr) return -1;
    return record->connected ? 1 : 0;
}

namespace {

int Receive(HandleId handle, void* buffer, int length, int peek, const RefusalTexts& texts) {
    FrameworkLockScope lock;
    NetworkRecord* record = BeginOperation(handle, &texts);
    if (record == nullptr || length < 0 || (buffer == nullptr && length > 0)) return -1;
    if (record->framed) return ReadRingBuffer(&record->receiveRing, buffer, static_cast<std::uint32_t>(length), peek);
    return recv(record->socket, static_cast<char*>(buffer), length, peek ? MSG_PEEK : 0);
}

}  // namespace

int NetWorkRecv(HandleId handle, void* buffer, int length) { return Receive(handle, buffer, length, 0, kRecvTexts); }

int NetWorkRecvToPeek(HandleId handle, void* buffer, int length) {
    return Receive(handle, buffer, length, 1, kPeekTexts);
}

int NetWorkSend(HandleId handle, const void* data, int length) {
    FrameworkLockScope lock;
    NetworkRecord* record = BeginOperation(handle, &kSendTexts);
    if (record == nullptr || length < 0 || (data == nullptr && length > 0)) return -1;
    if (!record->connected) return -1;
    if (!record->framed) return send(record->socket, static_cast<const char*>(data), length, 0);
    if (AppendRingBuffer(&record->sendRing, data, static_cast<std::uint32_t>(length)) != 0) {
        WriteLogFormat("送信データ %d byte の追加に失敗しました in NewWorkSend", length);
        // The ring was emptied: a frame in progress has lost its bytes, so
        // the stream cannot go on.
        record->error = 1;
        return -1;
    }
    SendSocket(record);
    return 0;
}

int GetNetWorkDataLength(HandleId handle) {
    FrameworkLockScope lock;
    NetworkRecord* record = BeginOperation(handle, &kDataLengthTexts);
    if (record == nullptr) return -1;
    if (record->framed) return static_cast<int>(record->receiveRing.dataSize);
    char byte;
    return recv(record->socket, &byte, 1, MSG_PEEK) > 0 ? 1 : 0;
}

int ReceiveNetworkLine(HandleId handle, char* out) {
    FrameworkLockScope lock;
    NetworkRecord* record = BeginOperation(handle, nullptr);
    if (record == nullptr || out == nullptr) return -1;
    char peeked[kLineLimit];
    int n;
    if (record->framed) {
        n = record->receiveRing.dataSize < kLineLimit ? static_cast<int>(record->receiveRing.dataSize) : kLineLimit;
        ReadRingBuffer(&record->receiveRing, peeked, static_cast<std::uint32_t>(n), 1);
    } else {
        n = recv(record->socket, peeked, kLineLimit, MSG_PEEK);
    }
    const void* lf = n > 0 ? std::memchr(peeked, '\n', static_cast<std::size_t>(n)) : nullptr;
    if (lf == nullptr) return -1;
    int lineLength = static_cast<int>(static_cast<const char*>(lf) - peeked);
    std::memcpy(out, peeked, static_cast<std::size_t>(lineLength));
    out[lineLength] = '\0';
    // The line and its LF are known to be waiting.
    if (record->framed)
        ReadRingBuffer(&record->receiveRing, peeked, static_cast<std::uint32_t>(lineLength + 1), 0);
    else
        recv(record->socket, peeked, lineLength + 1, 0);
    return 0;
}
