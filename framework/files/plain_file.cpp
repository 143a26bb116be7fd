// Plain files, synchronous and with a reader thread.
#include "files/plain_file.h"

#include <cstring>
#include <mutex>
#include <set>
#include <string>

#include "core/log.h"
#include "core/memory.h"
#include "core/utility.h"
#include "files/file_functions.h"
#include "platform/kernel.h"

namespace {

std::mutex g_liveMutex;
std::set<const PlainFileRecord*> g_liveRecords;

void AddLive(const PlainFileRecord* record) {
    std::lock_guard lock(g_liveMutex);
    g_liveRecords.insert(record);
}

void RemoveLive(const PlainFileRecord* record) {
    std::lock_guard lock(g_liveMutex);
    g_liveRecords.erase(record);
}

HANDLE OpenForReading(const char* name, DWORD share) {
    HANDLE file = CreateFileA(name, GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    return file == INVALID_HANDLE_VALUE ? nullptr : file;
}

// The target of a seek, or -1 when it lies outside what a 32-bit position
// can hold.
std::int64_t SeekTarget(const PlainFileRecord* record, std::int64_t offset, int origin) {
    std::int64_t base;
    switch (origin) {
        case 0: base = 0; break;
        case 1: base = record->position; break;
        case 2: base = record->size; break;
        default: return -1;
    }
    if (offset < -0x100000000LL || offset > 0x100000000LL) return -1;
    std::int64_t target = base + offset;
    if (target < 0 || target > 0xFFFFFFFFLL) return -1;
    return target;
}

// Sets the file pointer from the start; false when it could not be set.
bool SetPointer(HANDLE file, DWORD position) {
    LONG high = 0;
    DWORD result = SetFilePointer(file, static_cast<LONG>(position), &high, FILE_BEGIN);
    return !(result == INVALID_SET_FILE_POINTER && GetLastError() != ERROR_SUCCESS);
}

// ---- the reader thread's side --------------------------------------------------

void SignalDone(PlainFileThreadBlock* block) { SetEvent(block->doneEvent); }

// Reads up to `count` bytes at the file's current pointer; the bytes really read.
DWORD ThreadReadFile(PlainFileThreadBlock* block, void* buffer, DWORD count) {
    DWORD got = 0;
    if (ReadFile(block->threadFile, buffer, count, &got, nullptr) == 0) return got;
    return got;
}

// Fills the read-ahead buffer behind what it already holds.
void TopUpReadAhead(PlainFileThreadBlock* block) {
    if (block->readAheadCount >= kReadAheadSize) return;
    DWORD next = block->readAheadStart + block->readAheadCount;
    if (!SetPointer(block->threadFile, next)) return;
    DWORD missing = static_cast<DWORD>(kReadAheadSize) - block->readAheadCount;
    DWORD got = ThreadReadFile(block, block->readAhead + block->readAheadCount, missing);
    ++block->readAheadFills;
    block->readAheadCount += got;
}

void ServeRead(PlainFileThreadBlock* block) {
    unsigned char* out = block->readBuffer;
    DWORD position = block->readPosition;
    DWORD remaining = block->readCount;
    block->bytesRead = 0;
    if (remaining > 0 && position == block->readAheadStart && block->readAheadCount > 0) {
        DWORD take = remaining < block->readAheadCount ? remaining : block->readAheadCount;
        std::memcpy(out, block->readAhead, take);
        out += take;
        position += take;
        remaining -= take;
        block->bytesRead += take;
        block->readAheadStart += take;
        block->readAheadCount -= take;
        std::memmove(block->readAhead, block->readAhead + take, block->readAheadCount);
    }
    if (remaining == 0) return;
    DWORD got = 0;
    if (SetPointer(block->threadFile, position)) got = ThreadReadFile(block, out, remaining);
    block->bytesRead += got;
    block->readAheadStart = position + got;
    block->readAheadCount = 0;
}

// ---- the owner's side ----------------------------------------------------------

// Hands a command to the thread once it has finished the previous one.
void IssueCommand(PlainFileThreadBlock* block, int command, bool wait) {
    WaitForSingleObject(block->doneEvent, INFINITE);
    block->command = command;
    ResetEvent(block->doneEvent);
    SetEvent(block->commandEvent);
    if (wait) WaitForSingleObject(block->doneEvent, INFINITE);
}

// Waits until the thread has left its procedure, so nothing of it touches the
// record afterwards, and lets go of its handles.
void ReleaseThread(PlainFileThreadBlock* block) {
    WaitForSingleObject(block->thread, INFINITE);
    CloseHandle(block->thread);
    CloseHandle(block->commandEvent);
    CloseHandle(block->doneEvent);
    TrackedFree(block->readAhead);
    block->readAhead = nullptr;
    block->thread = nullptr;
}

bool StartReader(PlainFileRecord* record, const char* name) {
    PlainFileThreadBlock* block = &record->block;
    // A name that does not fit the block is refused rather than cut short.
    if (std::strlen(name) >= kPlainFileNameSize) return false;
    block->readAhead = static_cast<unsigned char*>(TrackedAlloc(kReadAheadSize, __FILE__, __LINE__));
    if (block->readAhead == nullptr) return false;
    block->commandEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    block->doneEvent = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    block->thread = CreateThread(nullptr, 0, FileThreadProc, block, 0, &block->threadId);
    if (block->thread == nullptr) {
        CloseHandle(block->commandEvent);
        CloseHandle(block->doneEvent);
        TrackedFree(block->readAhead);
        WriteLogText("ファイルアクセス専用スレッドの作成に失敗しました\n");
        return false;
    }
    std::memcpy(block->name, name, std::strlen(name) + 1);
    IssueCommand(block, kFileCommandOpen, true);
    if (block->openFailed != 0) {
        ReleaseThread(block);
        WriteLogText("ファイルのオープンに失敗しました\n");
        return false;
    }
    return true;
}

}  // namespace

DWORD FileThreadProc(LPVOID parameter) {
    auto* block = static_cast<PlainFileThreadBlock*>(parameter);
    for (;;) {
        DWORD wait = WaitForSingleObject(block->commandEvent, 100);
        while (wait == WAIT_TIMEOUT) {
            // Idle: keep the read-ahead buffer full.
            if (block->fileOpen != 0) TopUpReadAhead(block);
            wait = WaitForSingleObject(block->commandEvent, 100);
        }
        ResetEvent(block->commandEvent);
        ResetEvent(block->doneEvent);
        switch (block->command) {
            case kFileCommandOpen:
                block->threadFile = OpenForReading(block->name, 0);
                if (block->threadFile == nullptr) {
                    block->openFailed = 1;
                    block->threadEnded = 1;
                    SignalDone(block);
                    return 0;
                }
                block->fileOpen = 1;
                block->readAheadStart = 0;
                block->readAheadCount = 0;
                SignalDone(block);
                break;
            case kFileCommandClose:
                if (block->fileOpen != 0) CloseHandle(block->threadFile);
                block->fileOpen = 0;
                SignalDone(block);
                break;
            case kFileCommandRead:
                ServeRead(block);
                SignalDone(block);
                break;
            case kFileCommandSeek:
                SetPointer(block->threadFile, block->seekPosition);
                block->readAheadStart = block->seekPosition;
                block->readAheadCount = 0;
                SignalDone(block);
                break;
            case kFileCommandQuit:
                if (block->fileOpen != 0) CloseHandle(block->threadFile);
                block->fileOpen = 0;
                block->threadEnded = 1;
                SignalDone(block);
                return 0;
            default:
                SignalDone(block);
                break;
        }
    }
}

PlainFileRecord* OpenPlainFile(const char* name, int async, int) {
    if (name == nullptr) return nullptr;
    auto* record = static_cast<PlainFileRecord*>(TrackedAllocZeroed(sizeof(PlainFileRecord), __FILE__, __LINE__));
    if (record == nullptr) return nullptr;
    record->async = async != 0 ? 1 : 0;
    if (record->async == 0) {
        record->file = OpenForReading(name, FILE_SHARE_READ);
        if (record->file == nullptr) {
            TrackedFree(record);
            return nullptr;
        }
        record->size = GetFileSize(record->file, nullptr);
    } else {
        // Opened here only for its size; the thread keeps a handle of its own.
        HANDLE probe = OpenForReading(name, FILE_SHARE_READ);
        if (probe == nullptr) {
            TrackedFree(record);
            return nullptr;
        }
        record->size = GetFileSize(probe, nullptr);
        CloseHandle(probe);
        if (!StartReader(record, name)) {
            TrackedFree(record);
            return nullptr;
        }
    }
    record->eof = 0;
    record->position = 0;
    AddLive(record);
    return record;
}

int ClosePlainFile(PlainFileRecord* record) {
    if (record == nullptr) return -1;
    RemoveLive(record);
    int result = 0;
    if (record->async == 0) {
        result = CloseHandle(record->file) != 0 ? 0 : -1;
    } else {
        IssueCommand(&record->block, kFileCommandQuit, true);
        ReleaseThread(&record->block);
    }
    TrackedFree(record);
    return result;
}

std::int64_t PlainFileTell(const PlainFileRecord* record) {
    if (record == nullptr) return -1;
    return record->position;
}

int PlainFileSeek(PlainFileRecord* record, std::int64_t offset, int origin) {
    if (record == nullptr) return -1;
    std::int64_t target = SeekTarget(record, offset, origin);
    if (target < 0) return -1;
    auto position = static_cast<std::uint32_t>(target);
    if (record->async == 0) {
        if (!SetPointer(record->file, position)) return -1;
    } else {
        // The thread may still be busy with an earlier seek.
        WaitForSingleObject(record->block.doneEvent, INFINITE);
        record->block.seekPosition = position;
        // A seek does not wait: the next command waits for it.
        IssueCommand(&record->block, kFileCommandSeek, false);
    }
    record->position = position;
    record->eof = 0;
    return 0;
}

std::int64_t PlainFileRead(void* buffer, std::size_t size, std::size_t count, PlainFileRecord* record) {
    if (record == nullptr || buffer == nullptr || size == 0 || count == 0) return 0;
    // A seek may have left the position beyond the end; that is the end too.
    if (record->position >= record->size) {
        record->eof = 1;
        return 0;
    }
    std::size_t remaining = record->size - record->position;
    // Compared by division, so no size x count product can wrap.
    std::size_t items = count <= remaining / size ? count : remaining / size;
    if (items == 0) {
        record->eof = 1;
        return 0;
    }
    auto bytes = static_cast<DWORD>(size * items);  // at most `remaining`
    DWORD got = 0;
    if (record->async == 0) {
        if (ReadFile(record->file, buffer, bytes, &got, nullptr) == 0) got = 0;
    } else {
        PlainFileThreadBlock* block = &record->block;
        WaitForSingleObject(block->doneEvent, INFINITE);
        block->readBuffer = static_cast<unsigned char*>(buffer);
        block->readPosition = record->position;
        block->readCount = bytes;
        IssueCommand(block, kFileCommandRead, true);
        got = block->bytesRead;
    }
    // The position follows what was really read, so it never drifts from the
    // file; a part item read at a failure is not counted.
    record->position += got;
    return static_cast<std::int64_t>(got / size);
}

int PlainFileEof(const PlainFileRecord* record) {
    if (record == nullptr) return -1;
    return record->eof != 0 ? -1 : 0;
}

int PlainFileIdleCheck(const PlainFileRecord* record) {
    if (record == nullptr || record->async == 0) return 1;
    return WaitForSingleObject(record->block.doneEvent, 0) == WAIT_OBJECT_0 ? 1 : 0;
}

int PlainSetCurrentDir(const char* path) {
    if (path == nullptr) return -1;
    return SetCurrentDirectoryA(path) != 0 ? 0 : -1;
}

int PlainGetCurrentDir(char* buffer) {
    if (buffer == nullptr) return -1;
    DWORD length = GetCurrentDirectoryA(MAX_PATH, buffer);
    if (length == 0 || length >= MAX_PATH) {
        buffer[0] = '\0';
        return -1;
    }
    return 0;
}

bool IsLivePlainFile(const PlainFileRecord* record) {
    std::lock_guard lock(g_liveMutex);
    return g_liveRecords.count(record) != 0;
}

// ---- paths and temporary files ---------------------------------------------------

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// Whether the last byte of `text` is a character of its own and not the
// trail byte of a Shift-JIS pair.
bool LastByteStandsAlone(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size()) {
        std::size_t step = IsShiftJisLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size() ? 2 : 1;
        if (i + step == text.size()) return step == 1;
        i += step;
    }
    return false;
}

// ".." against the path built so far: back to the previous separator, never
// past a drive's ':'.
void RemoveLastComponent(std::string& result) {
    std::size_t cut = std::string::npos;
    std::size_t i = 0;
    while (i < result.size()) {
        unsigned char c = static_cast<unsigned char>(result[i]);
        if (IsShiftJisLeadByte(c) && i + 1 < result.size()) {
            i += 2;
            continue;
        }
        if (c == '\\' || c == '/') cut = i;
        if (c == ':') cut = i + 1;
        ++i;
    }
    result.resize(cut == std::string::npos ? 0 : cut);
}

}  // namespace

int MakeFullPath(const char* name, char* out, const char* base) {
    if (out == nullptr) return -1;
    char current[MAX_PATH];
    if (base == nullptr) {
        if (FileGetCurrentDir(current) != 0) return -1;
        base = current;
    }
    std::string result;
    if (name == nullptr) {
        result = base;
    } else {
        const char* rest = name;
        if (name[0] == '\\') {
            // The base's drive, then the name from the root.
            for (std::size_t i = 0; i < 2 && base[i] != '\0'; ++i) result += base[i];
            rest = name + 1;
        } else if (name[0] != '\0' && name[1] == ':') {
            result += name[0];
            result += ':';
            rest = name + 2;
            if (*rest == '\\') ++rest;
        } else {
            result = base;
            if (!result.empty() && IsSeparator(result.back()) && LastByteStandsAlone(result)) result.pop_back();
        }
        std::string component;
        for (const char* p = rest;; ++p) {
            unsigned char c = static_cast<unsigned char>(*p);
            if (IsShiftJisLeadByte(c) && p[1] != '\0') {
                // A pair whose trail byte is '\\' still belongs to one name.
                component += *p;
                component += *++p;
                continue;
            }
            if (c == '\0') {
                // The last component goes on as it stands.
                if (!component.empty()) result += "\\" + component;
                break;
            }
            if (!IsSeparator(static_cast<char>(c))) {
                component += static_cast<char>(c);
                continue;
            }
            if (component.empty()) return -1;
            if (component == "..")
                RemoveLastComponent(result);
            else if (component != ".")
                result += "\\" + component;
            component.clear();
        }
    }
    if (result.size() >= MAX_PATH) return -1;
    std::memcpy(out, result.c_str(), result.size() + 1);
    return 0;
}

HANDLE CreateTempFile(char* pathOut) {
    char folder[MAX_PATH];
    DWORD length = GetTempPathA(256, folder);
    if (length == 0 || length >= 256) return nullptr;
    if (folder[length - 1] != '\\') {
        folder[length] = '\\';
        folder[length + 1] = '\0';
    }
    char name[MAX_PATH];
    if (GetTempFileNameA(folder, "tmp", 0, name) == 0) return nullptr;
    char full[MAX_PATH];
    if (MakeFullPath(name, full, nullptr) != 0) {
        DeleteFileA(name);
        return nullptr;
    }
    // Made anew, not shared, so nobody else holds the name meanwhile.
    DeleteFileA(full);
    HANDLE file = CreateFileA(full, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return nullptr;
    if (pathOut != nullptr) std::memcpy(pathOut, full, std::strlen(full) + 1);
    return file;
}
