#include "net/socket_index.h"

#include <cstdint>

namespace {

constexpr std::size_t kMask = kSocketIndexSize - 1;

std::size_t HomeOf(SOCKET socket) {
    // Socket values often step by a fixed amount: mixed, so they spread.
    std::uint64_t x = static_cast<std::uint64_t>(socket) * 0x9E3779B97F4A7C15ull;
    return static_cast<std::size_t>(x >> 40) & kMask;
}

}  // namespace

void ClearSocketIndex(SocketIndex* index) {
    for (SocketIndex::Place& p : index->places) p = {INVALID_SOCKET, nullptr};
}

void IndexSocket(SocketIndex* index, SOCKET socket, NetworkRecord* record) {
    if (socket == INVALID_SOCKET) return;
    // There is always a free place: never more sockets than handles.
    for (std::size_t i = HomeOf(socket);; i = (i + 1) & kMask) {
        SocketIndex::Place& p = index->places[i];
        if (p.socket == INVALID_SOCKET || p.socket == socket) {
            p = {socket, record};
            return;
        }
    }
}

NetworkRecord* FindSocket(const SocketIndex* index, SOCKET socket) {
    if (socket == INVALID_SOCKET) return nullptr;
    for (std::size_t i = HomeOf(socket);; i = (i + 1) & kMask) {
        const SocketIndex::Place& p = index->places[i];
        if (p.socket == socket) return p.record;
        if (p.socket == INVALID_SOCKET) return nullptr;
    }
}

void UnindexSocket(SocketIndex* index, SOCKET socket) {
    if (socket == INVALID_SOCKET) return;
    std::size_t i = HomeOf(socket);
    while (index->places[i].socket != socket) {
        if (index->places[i].socket == INVALID_SOCKET) return;
        i = (i + 1) & kMask;
    }
    // Moves back the places after it that would no longer be found across
    // the gap, so no place needs a mark of its own for "was taken".
    std::size_t gap = i;
    for (std::size_t j = (i + 1) & kMask; index->places[j].socket != INVALID_SOCKET; j = (j + 1) & kMask) {
        std::size_t home = HomeOf(index->places[j].socket);
        // Whether home lies cyclically in (gap, j]: then j stays.
        bool stays = gap <= j ? (home > gap && home <= j) : (home > gap || home <= j);
        if (stays) continue;
        index->places[gap] = index->places[j];
        gap = j;
    }
    index->places[gap] = {INVALID_SOCKET, nullptr};
}
