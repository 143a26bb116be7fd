// Sending and receiving on network handles: the framed protocol through the
// rings, the raw calls, and the operations callers use.
#include <cstring>

#include "core/framework_lock.h"
#include "core/log.h"
#include "net/network.h"

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

// The start of every handle operation: the messages first (the events the
// pass found), then the handle's record, or null when it is refused.
NetworkRecord* BeginOperation(HandleId handle, const RefusalTexts* texts) {
    if (!g_NetworkState.started) return nullptr;
    DispatchNetworkMessages();
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

// What one recv takes at most: it lands in this buffer first, so the ring
// grows by what came, never by what a header announced.
constexpr std::uint32_t kReceiveChunk = 64 * 1024;
std::uint8_t g_receiveChunk[kReceiveChunk];

// Logs a message the ring cannot hold and sets the error flag; -1.
int RefuseMessage(NetworkRecord* record, std::uint32_t length) {
    WriteLogFormat("受信データを保存するリングバッファのリサイズに失敗しました(データサイズ %u byte)", length);
    record->error = 1;
    return -1;
}

// Splits received bytes into headers and payloads: the payloads go to the
// ring, a header's length is checked as it completes. 0, or -1 on failure.
int TakeFrames(NetworkRecord* record, const std::uint8_t* bytes, std::uint32_t count) {
    while (count > 0) {
        if (record->pendingLength == 0) {
            std::uint32_t& have = record->receiveHeaderLength;
            while (have < 4 && count > 0) {
                record->receiveHeader[have++] = *bytes++;
                --count;
            }
            if (have < 4) return 0;
            have = 0;
            std::uint32_t length = ReadLength(record->receiveHeader);
            // The length comes from the peer: a message longer than any we
            // take is refused before anything is allocated for it.
            if (length > kNetworkMaxFrameLength) return RefuseMessage(record, length);
            record->pendingLength = length;
            continue;
        }
        std::uint32_t piece = count < record->pendingLength ? count : record->pendingLength;
        if (AppendRingBuffer(&record->receiveRing, bytes, piece) != 0)
            return RefuseMessage(record, record->pendingLength);
        record->pendingLength -= piece;
        bytes += piece;
        count -= piece;
    }
    return 0;
}

// How many bytes the next recv may take: 0 when receiving waits for the
// program to read. Past the backlog only the message coming in is finished,
// to its last byte, so what waits unread stays bounded.
std::uint32_t NextReceiveSize(NetworkRecord* record, std::uint32_t budget) {
    std::uint32_t unread = record->receiveRing.dataSize;
    std::uint32_t want = kNetworkReceiveBacklog - (unread < kNetworkReceiveBacklog ? unread : 0);
    if (unread >= kNetworkReceiveBacklog) {
        if (record->receiveHeaderLength > 0)
            want = 4 - record->receiveHeaderLength;
        else if (record->pendingLength > 0)
            want = record->pendingLength;
        else
            return 0;
    }
    if (want > kReceiveChunk) want = kReceiveChunk;
    return want < budget ? want : budget;
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
    NetworkState& n = g_NetworkState;
    if (record->receiving || n.passReceiveBudget == 0) {
        // An FD_READ dispatched by a pump inside this receive, or one that
        // came when the pass had taken its share: WinSock reports data only
        // once, so the receive is made on the next pass.
        DeferReceive(record);
        return 0;
    }
    record->receiving = 1;
    // One call takes a bounded share, and the calls of one pass together
    // another: a peer that sends faster than the program reads holds
    // nothing up. What is left is reported again after the last recv.
    std::uint32_t budget = n.passReceiveBudget < kNetworkReceivePerCall ? n.passReceiveBudget : kNetworkReceivePerCall;
    int result = 0;
    for (;;) {
        std::uint32_t want = NextReceiveSize(record, budget);
        if (want == 0) {
            // The backlog waits unread: the rest stays in the socket (and the
            // peer waits) until the program takes some.
            if (budget > 0) record->receiveHeld = 1;
            break;
        }
        int got = recv(record->socket, reinterpret_cast<char*>(g_receiveChunk), static_cast<int>(want), 0);
        if (got == SOCKET_ERROR) {
            result = SocketCallFailed(record, "recv") ? -1 : 0;
            break;
        }
        if (got == 0) break;  // the peer has ended; FD_CLOSE tells
        std::uint32_t taken = static_cast<std::uint32_t>(got);
        budget -= taken;
        n.passReceiveBudget -= taken;
        if (TakeFrames(record, g_receiveChunk, taken) != 0) {
            result = -1;
            break;
        }
        if (taken < want) break;  // nothing more for now
        // More may be waiting; the pump is asked whether to go on.
        if (DispatchNetworkMessages() != 0 || record->error) break;
    }
    record->receiving = 0;
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
    if (record->framed) {
        int result = ReadRingBuffer(&record->receiveRing, buffer, static_cast<std::uint32_t>(length), peek);
        if (result == 0 && !peek) ResumeReceiving(record);
        return result;
    }
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
    std::uint32_t queued = record->sendRing.dataSize;
    std::uint64_t after = static_cast<std::uint64_t>(queued) + static_cast<std::uint32_t>(length);
    if (queued > 0 && after > g_NetworkState.sendBacklog) {
        // The peer takes too little: refused, with what is queued kept whole.
        WriteLogFormat("送信データ %d byte の追加に失敗しました in NewWorkSend", length);
        return -1;
    }
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
    if (record->framed) {
        ReadRingBuffer(&record->receiveRing, peeked, static_cast<std::uint32_t>(lineLength + 1), 0);
        ResumeReceiving(record);
    } else {
        recv(record->socket, peeked, lineLength + 1, 0);
    }
    return 0;
}
