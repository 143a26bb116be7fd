// WSAAsyncSelect's messages: the selected sockets are looked at when the
// program polls a window's sockets, and the events due are posted by
// WinSock's rules (platform/winsock.h).
#include <vector>

#include "platform/window.h"
#include "winsock/posix_socket.h"
#include "winsock/winsock_state.h"

namespace {

struct Selected {
    SOCKET socket;
    SocketEntry* entry;
};

// The events due on one socket, posted in the order WinSock gives them.
void PostDueEvents(SOCKET s, SocketEntry& e, const posix_socket::Readiness& ready) {
    auto post = [&](long event, int error) {
        if ((e.events & event) != 0) PostMessageA(e.window, e.message, s, MAKELPARAM(event, error));
    };

    if (e.connecting) {
        int error = e.connectError;
        if (error == 0 && !ready.writable && !ready.peerShutdown) return;  // still going on
        if (error == 0) error = -posix_socket::PendingError(e.fd);
        e.connecting = false;
        e.connectError = 0;
        post(FD_CONNECT, error);
        if (error != 0) return;
        e.connected = true;
        e.writeArmed = true;
        if (ready.writable && (e.events & FD_WRITE) != 0) {
            post(FD_WRITE, 0);
            e.writeArmed = false;
        }
        return;
    }

    if (e.listening) {
        if (ready.readable && e.acceptArmed && (e.events & FD_ACCEPT) != 0) {
            post(FD_ACCEPT, 0);
            e.acceptArmed = false;
        }
        return;
    }
    if (!e.connected) return;

    // A break is reported with FD_CLOSE even when data still waits before it
    // (which a look at the data would find first).
    if (ready.broken && e.closeError == 0 && !e.closePosted) e.closeError = -posix_socket::PendingError(e.fd);
    bool ended = ready.peerShutdown || e.closeError != 0;
    int closeError = e.closeError;
    // A look at the data only where it can post something: a socket whose
    // FD_CLOSE came and whose FD_READ waits for a recv costs nothing.
    bool readDue = e.readArmed && (e.events & FD_READ) != 0;
    bool closeDue = !e.closePosted && (e.events & FD_CLOSE) != 0;
    if (ready.readable && (readDue || closeDue)) {
        char byte;
        long n = posix_socket::Receive(e.fd, &byte, 1, true);
        // After a look that took nothing, data that was there already is no
        // news: FD_READ waits for more (else a reader waiting for a whole
        // record would hear of its part over and over).
        if (n > 0) {
            bool news = e.peekedWaiting < 0 || posix_socket::Waiting(e.fd) > e.peekedWaiting;
            if (news && e.readArmed && (e.events & FD_READ) != 0) {
                post(FD_READ, 0);
                e.readArmed = false;
            }
        } else if (n == 0) {
            ended = true;
        } else if (n != -WSAEWOULDBLOCK) {
            ended = true;
            closeError = static_cast<int>(-n);
        }
    }
    if (ended && !e.closePosted && (e.events & FD_CLOSE) != 0) {
        post(FD_CLOSE, closeError);
        e.closePosted = true;
        e.closeBroke = closeError != 0;
    }
    // A peer that ended only its side may still read, so FD_WRITE goes on
    // after an FD_CLOSE; after one that reported a break a send can only fail.
    if (ready.writable && e.writeArmed && !e.closeBroke && (e.events & FD_WRITE) != 0) {
        post(FD_WRITE, 0);
        e.writeArmed = false;
    }
}

posix_socket::Watch WatchOf(const SocketEntry& e) { return {e.fd, e.connecting || (e.connected && e.writeArmed)}; }

// One look at all of `selected` together.
void PollLocked(const std::vector<Selected>& selected) {
    if (selected.empty()) return;
    WinSock().looks += selected.size();
    std::vector<posix_socket::Watch> watches;
    watches.reserve(selected.size());
    for (const Selected& s : selected) watches.push_back(WatchOf(*s.entry));
    std::vector<posix_socket::Readiness> ready(selected.size());
    posix_socket::Look(watches.data(), watches.size(), ready.data());
    // Posted with the mutex held, so a socket closed meanwhile on another
    // thread cannot leave a message behind (closing takes its messages out).
    for (std::size_t i = 0; i < selected.size(); ++i) PostDueEvents(selected[i].socket, *selected[i].entry, ready[i]);
}

}  // namespace

void PlatformPollSockets(HWND window) {
    WinSockState& w = WinSock();
    std::lock_guard lock(w.mutex);
    if (w.selected == 0 || window == nullptr) return;
    std::vector<Selected> selected;
    for (auto& [s, e] : w.sockets)
        if (e.events != 0 && e.window == window) selected.push_back({s, &e});
    PollLocked(selected);
}

void PostAcceptIfWaitingLocked(SOCKET s, SocketEntry& listener) {
    if (!listener.acceptArmed || (listener.events & FD_ACCEPT) == 0) return;
    ++WinSock().looks;
    posix_socket::Watch watch{listener.fd, false};
    posix_socket::Readiness ready{};
    posix_socket::Look(&watch, 1, &ready);
    if (!ready.readable) return;
    PostMessageA(listener.window, listener.message, s, MAKELPARAM(FD_ACCEPT, 0));
    listener.acceptArmed = false;
}

std::uint64_t PlatformSocketLooks() {
    WinSockState& w = WinSock();
    std::lock_guard lock(w.mutex);
    return w.looks;
}
