// The open handles' records by their sockets, so that a socket's event finds
// its handle at once however many are open. Open addressing over twice as
// many places as there are handles, so a probe stays short.
#pragma once

#include <cstddef>

#include "platform/winsock.h"

struct NetworkRecord;

constexpr std::size_t kSocketIndexSize = 8192;  // a power of two, twice the handles

struct SocketIndex {
    struct Place {
        SOCKET socket;           // INVALID_SOCKET: free
        NetworkRecord* record;
    };
    Place places[kSocketIndexSize];
};

// Makes every place free.
void ClearSocketIndex(SocketIndex* index);
// Adds or replaces the record of a socket.
void IndexSocket(SocketIndex* index, SOCKET socket, NetworkRecord* record);
// The record of a socket, or null.
NetworkRecord* FindSocket(const SocketIndex* index, SOCKET socket);
// Takes a socket out; nothing when it is not there.
void UnindexSocket(SocketIndex* index, SOCKET socket);
