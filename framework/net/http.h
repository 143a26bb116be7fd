// HTTP/1.0 requests (GET, POST, HEAD) over raw network handles, one step per
// pass of message processing. A request's body goes to a file or into a
// memory block it allocates for the caller (tracked memory, which the caller
// frees with KV_FREE); the request's record tells how it went.
#pragma once

#include <cstdint>

#include "core/handle.h"
#include "platform/kernel.h"

constexpr int kHttpRequestSlotCount = 100;
constexpr int kHttpReceiveBufferSize = 4096;

enum HttpRequestType { kHttpGet = 0, kHttpPost = 1, kHttpHead = 2 };
enum HttpDestinationKind { kHttpToFile = 0, kHttpToMemory = 1 };

// End states: -1 running, 0 done, 2 failed. Results on failure:
constexpr int kHttpResultGeneral = 0;
constexpr int kHttpResultNotFound = 1;     // the server answered 404
constexpr int kHttpResultNoMemory = 2;
constexpr int kHttpResultClosed = 3;       // the connection closed (or could not be made)

struct HttpRequestRecord {
    int inUse;
    int type;
    int endState;
    int result;
    int step;  // 0 send the request, 1 status line, 2 headers, 3 body
    HandleId network;
    int destination;
    HANDLE outputFile;
    void** memoryBlock;         // the caller's pointer to the block
    std::uint32_t blockSize;    // bytes the block holds room for
    int contentLength;          // -1: not given
    int received;               // body bytes received
    char path[1024];
    char host[64];
    int port;
    // The request as it goes on the wire (for POST with its data), and how
    // much of it is sent.
    char* requestData;          // tracked memory
    int requestLength;
    int requestSent;
    std::uint8_t* receiveBuffer;  // tracked memory, kHttpReceiveBufferSize bytes
};

struct HttpRequestTable {
    HttpRequestRecord slots[kHttpRequestSlotCount];
    int count;
};

extern HttpRequestTable g_HttpRequests;

// Where a GET or POST puts the body: into the file of that name (made anew),
// or into a block whose address goes to *block.
struct HttpDestination {
    int kind;
    const char* fileName;
    void** block;
};

// Each starts a request to the dotted IPv4 `host` and `port` (the network
// must be started) and returns its slot, or -1.
int RequestHttpGet(const char* host, int port, const char* path, const HttpDestination& destination);
int RequestHttpPost(const char* host, int port, const char* path, const void* data, int length,
                    const HttpDestination& destination);
int RequestHttpHead(const char* host, int port, const char* path);
// The slot's record, or null when the slot holds no request.
const HttpRequestRecord* GetHttpRequest(int slot);

// Empties the table without freeing anything (framework start); 0.
int ClearHttpRequestTable();
// Runs one step of every running request; 0.
int StepAllHttpRequests();
// Ends the request (failing it if it still runs) and frees its slot; 0 or -1.
int DeleteHttpRequest(int slot);
int DeleteAllHttpRequests();
// Disconnects, frees the buffers, closes the file, and stores the end state
// and result where they are still -1. A failure also frees the caller's
// block and clears the caller's pointer. 0.
int FinishHttpRequest(int slot, int endState, int result);
