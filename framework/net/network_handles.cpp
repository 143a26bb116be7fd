// The network's start and end, its message window and pump, and the life of
// a network handle: connecting, accepting and disconnecting.
#include <cstdarg>
#include <cstring>

#include "core/framework_lock.h"
#include "core/log.h"
#include "core/memory.h"
#include "core/system_state.h"
#include "core/utility.h"
#include "net/network.h"
#include "platform/kernel.h"
#include "platform/window.h"

NetworkState g_NetworkState{};

namespace {

constexpr char kNetworkWindowClass[] = "KelvoNetWorkWindow";
// A pump dispatches at most this many messages, so that one pass stays
// short however many sockets have events; the rest wait for the next.
constexpr int kPumpMessageLimit = 1024;
// Handles auto-close releases in one pass at most.
constexpr int kClosesPerPass = 256;
// Passes of the pump spent waiting for the window to go at the end.
constexpr int kWindowClosePasses = 64;

NetworkState& N() { return g_NetworkState; }

LRESULT NetworkWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case kNetworkSocketMessage: OnNetworkSocketEvent(lParam, static_cast<SOCKET>(wParam)); return 0;
        case WM_DESTROY: N().windowClosed = 1; return 0;
        default: return DefWindowProcA(window, message, wParam, lParam);
    }
}

void LinkNode(NetworkListNode* node) {
    NetworkListNode* head = &N().head;
    NetworkListNode* last = head->previous;
    node->previous = last;
    node->next = head;
    last->next = node;
    head->previous = node;
}

void UnlinkNode(NetworkListNode* node) {
    if (node->previous != nullptr) node->previous->next = node->next;
    if (node->next != nullptr) node->next->previous = node->previous;
    node->previous = node->next = nullptr;
}

// The open handles in order; the head node links to itself when none is open.
NetworkListNode* FirstNode() {
    NetworkListNode* head = &N().head;
    return head->next != nullptr && head->next != head ? head->next : nullptr;
}
NetworkListNode* NextNode(NetworkListNode* node) { return node->next != &N().head ? node->next : nullptr; }

// A new record in the first free slot, linked into the open list with the
// settings' flags and empty rings; its socket is still to be set. Null
// (logged) when no slot or memory is left.
NetworkRecord* NewRecord() {
    NetworkHandleTable& table = N().table;
    int slot = table.LowestEmptySlot();
    if (slot < 0) {
        WriteLogText("空きソケットデータがなかったので accept を拒否しました \n");
        return nullptr;
    }
    auto* record = static_cast<NetworkRecord*>(KV_ALLOC_ZEROED(sizeof(NetworkRecord)));
    if (record == nullptr) {
        WriteLogText("ソケット用のメモリの確保に失敗しました\n");
        return nullptr;
    }
    HandleId handle = table.Insert(slot, record, table.Counter().Take());
    record->inUse = 1;
    record->framed = N().noFraming ? 0 : 1;
    record->autoClose = N().noAutoClose ? 0 : 1;
    record->socket = INVALID_SOCKET;
    record->node = {handle, record, nullptr, nullptr};
    LinkNode(&record->node);
    return record;
}

// Takes a record out of the list of receives put off, keeping the order of
// the others.
void ForgetDeferredReceive(NetworkRecord* record) {
    NetworkState& n = N();
    if (!record->receiveDeferred) return;
    record->receiveDeferred = 0;
    int kept = 0;
    for (int i = 0; i < n.deferredCount; ++i) {
        HandleId h = n.deferred[(n.deferredFirst + i) % kNetworkSlotCount];
        if (h != record->node.handle) n.deferred[(n.deferredFirst + kept++) % kNetworkSlotCount] = h;
    }
    n.deferredCount = kept;
}

// Makes the receives put off to this pass, in the order they were put off,
// while the pass's budget lasts; the rest wait for the next pass.
void RunDeferredReceives() {
    NetworkState& n = N();
    for (int due = n.deferredCount; due > 0 && n.deferredCount > 0 && n.passReceiveBudget > 0; --due) {
        HandleId handle = n.deferred[n.deferredFirst];
        n.deferredFirst = (n.deferredFirst + 1) % kNetworkSlotCount;
        --n.deferredCount;
        NetworkRecord* record = n.table.Lookup(handle);
        if (record == nullptr) continue;
        record->receiveDeferred = 0;
        if (!record->error) RecvSocket(record);
    }
}

// Dispatches what waits for the network window, at most kPumpMessageLimit
// messages; -1 once the window is gone or the framework is quitting.
int DispatchQueuedMessages() {
    NetworkState& n = N();
    MSG message;
    for (int count = 0; count < kPumpMessageLimit && n.window != nullptr &&
                        PeekMessageA(&message, n.window, 0, 0, PM_REMOVE);
         ++count) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return n.windowClosed || GetQuitFlag() == 1 ? -1 : 0;
}

// Whether a handle whose peer has ended has nothing left for the program
// to read. Bytes still in the socket are fetched on the next pass.
bool NothingLeftToRead(NetworkRecord* record) {
    if (record->framed && record->receiveRing.dataSize > 0) return false;
    char byte;
    if (recv(record->socket, &byte, 1, MSG_PEEK) <= 0) return true;
    if (record->framed) DeferReceive(record);
    return false;
}

// Whether everything queued on a handle has gone to its socket.
bool NothingLeftToSend(const NetworkRecord* record) {
    return record->sendRing.dataSize == 0 && record->headerLeft == 0;
}

// Undoes NewRecord and whatever was made since: the socket, the rings.
void DestroyRecord(NetworkRecord* record) {
    ForgetDeferredReceive(record);
    if (record->socket != INVALID_SOCKET) {
        UnindexSocket(&N().sockets, record->socket);
        WSAAsyncSelect(record->socket, N().window, 0, 0);
        closesocket(record->socket);
    }
    FreeRingBuffer(&record->receiveRing);
    FreeRingBuffer(&record->sendRing);
    UnlinkNode(&record->node);
    N().table.Remove(HandleSlotFor(record->node.handle, kHandleTypeNetwork, kNetworkSlotCount));
    KV_FREE(record);
}


void StoreAddress(const sockaddr_in& address, NetworkRecord* record) {
    const auto& b = address.sin_addr.S_un.S_un_b;
    record->peerAddress[0] = b.s_b1;
    record->peerAddress[1] = b.s_b2;
    record->peerAddress[2] = b.s_b3;
    record->peerAddress[3] = b.s_b4;
    record->peerPort = ntohs(address.sin_port);
}

sockaddr_in MakeAddress(const std::uint8_t* address, int port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    if (address != nullptr) {
        auto& b = a.sin_addr.S_un.S_un_b;
        b.s_b1 = address[0];
        b.s_b2 = address[1];
        b.s_b3 = address[2];
        b.s_b4 = address[3];
    }
    return a;
}

// Clears the state but for the settings.
void ResetNetworkState() {
    NetworkState& n = N();
    int noFraming = n.noFraming;
    int noAutoClose = n.noAutoClose;
    n = NetworkState{};
    n.listenSocket = INVALID_SOCKET;
    n.passReceiveBudget = kNetworkReceivePerPass;
    n.sendBacklog = kNetworkSendBacklog;
    ClearSocketIndex(&n.sockets);
    n.noFraming = noFraming;
    n.noAutoClose = noAutoClose;
}

// Ends what StartNetwork made, in reverse.
void CloseNetworkWindowAndSocket() {
    NetworkState& n = N();
    if (n.listenSocket != INVALID_SOCKET) closesocket(n.listenSocket);
    n.listenSocket = INVALID_SOCKET;
    if (n.window != nullptr && IsWindow(n.window)) {
        PostMessageA(n.window, WM_CLOSE, 0, 0);
        for (int pass = 0; pass < kWindowClosePasses && !n.windowClosed; ++pass) PumpNetworkMessages(0);
        if (!n.windowClosed) DestroyWindow(n.window);  // what the pump did not get to
    }
    UnregisterClassA(kNetworkWindowClass, nullptr);
    n.window = nullptr;
}

// A connection stood and nothing has failed on it. A peer that has ended
// its side (FD_CLOSE, no error) may still be reading: the socket still
// sends, and what waits in it is still taken, so closing it does not reset
// the connection under the peer.
bool StillCarries(const NetworkRecord* record) { return record->framed && record->connection && !record->error; }

// Takes whatever a peer sends on a handle being closed, so the drain below
// can end; false when nothing more came.
bool ReceivePending(NetworkRecord* record) {
    if (!StillCarries(record)) return false;
    std::uint32_t before = record->receiveRing.dataSize;
    RecvSocket(record);
    return record->receiveRing.dataSize != before;
}

bool SendPending(NetworkRecord* record) {
    if (!StillCarries(record) || NothingLeftToSend(record)) return false;
    SendSocket(record);
    return true;
}

}  // namespace

NetworkRecord* LookupNetworkHandle(HandleId handle) {
    if (!N().started) return nullptr;
    return N().table.Lookup(handle);
}

int LogNetworkError(const char* format, ...) {
    int error = WSAGetLastError();
    char text[kLogFormatBufferSize];
    va_list args;
    va_start(args, format);
    if (FormatStringV(text, sizeof text, format, args) < 0) text[0] = '\0';
    va_end(args);
    return WriteLogFormat("ネットワークログ。%s[%d]", text, error);
}

int SetNetWorkNoFraming(int flag) {
    FrameworkLockScope lock;
    N().noFraming = flag;
    return 0;
}

int SetNetWorkNoAutoClose(int flag) {
    FrameworkLockScope lock;
    N().noAutoClose = flag;
    return 0;
}

int StartNetwork(const std::uint8_t* address, int port) {
    FrameworkLockScope lock;
    NetworkState& n = N();
    if (n.started) return -1;
    if (port < 0 || port > 0xFFFF) return -1;
    WSADATA data;
    if (WSAStartup(MAKEWORD(1, 1), &data) != 0) return LogNetworkError("WSAStartupに失敗しました");

    ResetNetworkState();
    n.head.previous = n.head.next = &n.head;

    WNDCLASSA wc{};
    wc.lpfnWndProc = NetworkWindowProc;
    wc.lpszClassName = kNetworkWindowClass;
    RegisterClassA(&wc);
    n.window = CreateWindowExA(0, kNetworkWindowClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    auto fail = [&](const char* what) {
        LogNetworkError("%s", what);
        CloseNetworkWindowAndSocket();
        ResetNetworkState();
        WSACleanup();
        return -1;
    };
    if (n.window == nullptr) return fail("ネットワーク用ウインドウの作成に失敗しました");

    n.listenSocket = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (n.listenSocket == INVALID_SOCKET) return fail("socketに失敗しました");
    sockaddr_in a = MakeAddress(address, port);
    if (bind(n.listenSocket, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0) return fail("bindに失敗しました");
    if (listen(n.listenSocket, SOMAXCONN) != 0) return fail("listenに失敗しました");
    if (WSAAsyncSelect(n.listenSocket, n.window, kNetworkSocketMessage, FD_ACCEPT) != 0)
        return fail("WSAAsyncSelectのエラー in StartNetwork");
    sockaddr_in bound{};
    int length = sizeof bound;
    if (getsockname(n.listenSocket, reinterpret_cast<sockaddr*>(&bound), &length) != 0)
        return fail("getsocknameに失敗しました");
    n.listenPort = ntohs(bound.sin_port);
    n.started = 1;
    return n.listenPort;
}

int EndNetwork() {
    FrameworkLockScope lock;
    NetworkState& n = N();
    if (!n.started) return 0;
    WriteLogText("ネットワーク関連の終了処理を行います \n");
    while (NetworkListNode* node = FirstNode())
        if (DisconnectNetworkHandle(node->handle) != 0) DestroyRecord(node->record);
    CloseNetworkWindowAndSocket();
    ResetNetworkState();
    WSACleanup();
    WriteLogText("ネットワーク関連の終了処理は完了しました\n");
    return 0;
}

HandleId ConnectNetWork(const std::uint8_t* address, int port) {
    FrameworkLockScope lock;
    if (!N().started || address == nullptr || port <= 0 || port > 0xFFFF) return -1;
    DispatchNetworkMessages();
    NetworkRecord* record = NewRecord();
    if (record == nullptr) return -1;
    record->socket = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (record->socket == INVALID_SOCKET) {
        LogNetworkError("socketに失敗しました");
        DestroyRecord(record);
        return -1;
    }
    IndexSocket(&N().sockets, record->socket, record);
    if (WSAAsyncSelect(record->socket, N().window, kNetworkSocketMessage, kNetworkConnectionEvents | FD_CONNECT) != 0) {
        WriteLogFormat("WSAAsyncSelectのエラー in ConnectNetWork");
        DestroyRecord(record);
        return -1;
    }
    sockaddr_in a = MakeAddress(address, port);
    if (connect(record->socket, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0 &&
        WSAGetLastError() != WSAEWOULDBLOCK) {
        LogNetworkError("connectに失敗しました");
        DestroyRecord(record);
        return -1;
    }
    std::memcpy(record->peerAddress, address, 4);
    record->peerPort = port;
    record->connecting = 1;
    return record->node.handle;
}

HandleId AcceptNetWork() {
    FrameworkLockScope lock;
    if (!N().started) return -1;
    NetworkRecord* record = NewRecord();
    if (record == nullptr) {
        // Refused: the waiting peer's connection is ended. Left waiting, it
        // would hold the listening socket's FD_ACCEPT back for good, and no
        // peer after it would be accepted even once slots are free.
        SOCKET refused = accept(N().listenSocket, nullptr, nullptr);
        if (refused != INVALID_SOCKET) closesocket(refused);
        return -1;
    }
    record->connected = 1;
    record->connection = 1;
    sockaddr_in peer{};
    int length = sizeof peer;
    record->socket = accept(N().listenSocket, reinterpret_cast<sockaddr*>(&peer), &length);
    if (record->socket == INVALID_SOCKET) {
        LogNetworkError("acceptに失敗しました");
        DestroyRecord(record);
        return -1;
    }
    IndexSocket(&N().sockets, record->socket, record);
    StoreAddress(peer, record);
    if (WSAAsyncSelect(record->socket, N().window, kNetworkSocketMessage, kNetworkConnectionEvents) != 0) {
        WriteLogFormat("WSAAsyncSelectのエラー in AcceptNetWork");
        DestroyRecord(record);
        return -1;
    }
    return record->node.handle;
}

int DisconnectNetworkHandle(HandleId handle) {
    FrameworkLockScope lock;
    NetworkRecord* record = LookupNetworkHandle(handle);
    if (record == nullptr) return -1;
    // Each drain ends when nothing more moves, after 1000 ms at the most, or
    // when the pump reports the end.
    DWORD start = timeGetTime();
    // The pumps are whole ones: the peer may be a handle of ours, which must
    // take what is sent for the send to go on.
    while (ReceivePending(record) && timeGetTime() - start < kNetworkDrainMilliseconds)
        if (PumpNetworkMessages(0) != 0) break;
    start = timeGetTime();
    while (SendPending(record) && timeGetTime() - start < kNetworkDrainMilliseconds)
        if (PumpNetworkMessages(0) != 0) break;
    DestroyRecord(record);
    return 0;
}

int PumpNetworkMessages(int closeFlag) {
    NetworkState& n = N();
    if (!n.started) return 0;
    bool outermost = n.pumpDepth == 0;
    ++n.pumpDepth;
    if (closeFlag) {
        // At most so many a pass: thousands of peers leaving at once are
        // released over a few passes rather than in one long one.
        int closed = 0;
        NetworkListNode* node = FirstNode();
        while (node != nullptr && closed < kClosesPerPass) {
            NetworkListNode* next = NextNode(node);
            NetworkRecord* r = node->record;
            // Lost: a connection stood and its peer has ended it, the
            // program has taken what came on it, and what the program queued
            // has gone out. A peer that ended only its side may still read:
            // the queue goes on out as the socket takes it (a peer that has
            // gone makes a send fail, and the error closes the handle).
            bool lost = r->autoClose && r->connection && !r->connected && NothingLeftToSend(r) &&
                        NothingLeftToRead(r);
            if (r->error || lost) {
                DisconnectNetworkHandle(node->handle);
                ++closed;
            }
            node = next;
        }
    }
    if (outermost) {
        // One look at every socket a pass, however many calls the pass makes.
        n.passReceiveBudget = kNetworkReceivePerPass;
        if (n.window != nullptr) PlatformPollSockets(n.window);
        RunDeferredReceives();
    }
    int result = DispatchQueuedMessages();
    --n.pumpDepth;
    return result;
}

int DispatchNetworkMessages() {
    NetworkState& n = N();
    if (!n.started) return 0;
    ++n.pumpDepth;
    int result = DispatchQueuedMessages();
    --n.pumpDepth;
    return result;
}

void DeferReceive(NetworkRecord* record) {
    NetworkState& n = N();
    if (record->receiveDeferred || n.deferredCount >= kNetworkSlotCount) return;
    record->receiveDeferred = 1;
    n.deferred[(n.deferredFirst + n.deferredCount) % kNetworkSlotCount] = record->node.handle;
    ++n.deferredCount;
}

void ResumeReceiving(NetworkRecord* record) {
    if (!record->receiveHeld || record->receiveRing.dataSize >= kNetworkReceiveBacklog) return;
    record->receiveHeld = 0;
    DeferReceive(record);
}

int ProcessNetwork() { return PumpNetworkMessages(1); }

int OnNetworkSocketEvent(LPARAM eventWord, SOCKET socket) {
    NetworkState& n = N();
    WORD event = WSAGETSELECTEVENT(eventWord);
    WORD error = WSAGETSELECTERROR(eventWord);
    if (event == FD_ACCEPT && socket == n.listenSocket) {
        AcceptNetWork();
        return 0;
    }
    NetworkRecord* record = FindSocket(&n.sockets, socket);
    if (record == nullptr) return WriteLogText("通信エラー No.1\n");
    switch (event) {
        case FD_READ: RecvSocket(record); break;
        case FD_WRITE: SendSocket(record); break;
        case FD_CONNECT:
            record->connecting = 0;
            if (error == 0) {
                record->connected = 1;
                record->connection = 1;
            } else {
                WSASetLastError(error);
                LogNetworkError("connectに失敗しました");
                record->error = 1;
            }
            break;
        case FD_CLOSE:
            // The peer has ended: the program sends nothing more. The
            // connection flag stays: it tells auto-close that a connection
            // stood and is now lost, and lets what was queued still go out to
            // a peer that ended only its side.
            record->connected = 0;
            // A connection that broke (rather than ended) is an error: what
            // came before the break may be incomplete.
            if (error != 0 && !record->error) {
                WSASetLastError(error);
                LogNetworkError("通信が切断されました");
                record->error = 1;
            }
            break;
        default: break;
    }
    return 0;
}
