// Plain files: read-only files of the file system, opened by name, read on
// the caller's thread or served by a reader thread of their own.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/types.h"

constexpr std::size_t kPlainFileNameSize = 256;
constexpr std::size_t kReadAheadSize = 0x20000;

// Commands the owner gives the reader thread.
enum PlainFileCommand : int {
    kFileCommandOpen = 0,
    kFileCommandClose = 1,
    kFileCommandRead = 2,
    kFileCommandSeek = 3,
    kFileCommandQuit = 4,
};

// The reader thread's block. The owner writes the command fields only while
// the done event is signalled, the thread only between a command and its done
// signal; the read-ahead fields belong to the thread alone.
struct PlainFileThreadBlock {
    DWORD threadId;
    HANDLE thread;
    HANDLE threadFile;     // the thread's own handle of the file
    HANDLE commandEvent;   // manual reset, starts clear
    HANDLE doneEvent;      // manual reset, starts signalled
    int command;
    int threadEnded;
    int openFailed;
    char name[kPlainFileNameSize];
    // Read request: in, and the bytes really read out.
    unsigned char* readBuffer;
    DWORD readPosition;
    DWORD readCount;
    DWORD bytesRead;
    DWORD seekPosition;
    DWORD readAheadStart;
    DWORD readAheadCount;
    int fileOpen;          // the thread's file is open
    DWORD readAheadFills;  // reads the thread made to top up its buffer
    unsigned char* readAhead;  // kReadAheadSize bytes of tracked memory
};

struct PlainFileRecord {
    HANDLE file;        // synchronous mode
    int async;          // 1: served by a reader thread
    int eof;
    std::uint32_t position;
    std::uint32_t size;  // taken at open
    PlainFileThreadBlock block;
};

// The record, or null. `reserved` is unused.
PlainFileRecord* OpenPlainFile(const char* name, int async, int reserved);
int ClosePlainFile(PlainFileRecord* record);  // 0, or -1 when the handle did not close
std::int64_t PlainFileTell(const PlainFileRecord* record);
// 0, or -1 when the position cannot be set (the file pointer failed, or the
// target is outside 0..4 GB).
int PlainFileSeek(PlainFileRecord* record, std::int64_t offset, int origin);
// Whole items only; the position advances by what was really read.
std::int64_t PlainFileRead(void* buffer, std::size_t size, std::size_t count, PlainFileRecord* record);
int PlainFileEof(const PlainFileRecord* record);       // -1 at the end, else 0
int PlainFileIdleCheck(const PlainFileRecord* record);  // 1 unless the thread is busy
int PlainSetCurrentDir(const char* path);               // 0, or -1 when it could not be set
int PlainGetCurrentDir(char* buffer);                   // `buffer` holds MAX_PATH characters

// True for a record OpenPlainFile handed out and ClosePlainFile has not
// closed yet, so a forged handle of the plain set is refused, not followed.
bool IsLivePlainFile(const PlainFileRecord* record);

// A new, empty file for writing in the temporary folder; its full path goes
// to `pathOut` (MAX_PATH characters) when one is given. Null on failure.
HANDLE CreateTempFile(char* pathOut);
// The absolute path of `name` against `base` (the current directory of the
// file-function table when null) into `out` (MAX_PATH characters). 0, or -1
// for an empty component or a result that does not fit.
int MakeFullPath(const char* name, char* out, const char* base);

DWORD FileThreadProc(LPVOID block);
