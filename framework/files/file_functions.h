// The file-function table: every file the framework reads goes through these
// nine operations, so whether files come from archives, from plain files only
// or from a caller's own set is decided in one place.
#pragma once

#include <cstddef>
#include <cstdint>

// An open file as the installed set hands it out. Pointer-sized: the plain
// set hands out its record's address, the archive-aware set a slot number
// ORed with 0xF0000000. 0 is the only failure value; an archive handle looks
// negative when squeezed into 32 bits and is still a good one.
using FileHandle = std::intptr_t;

struct FileFunctionTable {
    FileHandle (*open)(const char* name, int async, int reserved);     // 0 on failure
    int (*close)(FileHandle file);                                     // 0, or -1 for a bad handle
    std::int64_t (*tell)(FileHandle file);                             // position, or -1
    int (*seek)(FileHandle file, std::int64_t offset, int origin);     // origin 0 start, 1 current, 2 end
    std::int64_t (*read)(void* buffer, std::size_t size, std::size_t count, FileHandle file);
    int (*eof)(FileHandle file);                                       // -1 at the end, else 0
    int (*idleCheck)(FileHandle file);                                 // 1 when no command is pending
    int (*setCurrentDir)(const char* path);
    // `buffer` must hold MAX_PATH (260) characters.
    int (*getCurrentDir)(char* buffer);
};

constexpr int kSeekOriginStart = 0;
constexpr int kSeekOriginCurrent = 1;
constexpr int kSeekOriginEnd = 2;

// Copies a caller's nine operations, or with null installs the archive-aware
// set (the plain set while the no-archive switch is 1). Returns 0, or -1 for
// a table with an empty slot (the installed set stays).
int SelectFileFunctions(const FileFunctionTable* table);
// The switch that makes SelectFileFunctions(null) install the plain set.
void SetNoArchiveSwitch(int flag);
// The two built-in sets.
const FileFunctionTable* GetArchiveFileFunctions();
const FileFunctionTable* GetPlainFileFunctions();

// One jump each through the installed table.
FileHandle FileOpen(const char* name, int async, int reserved);
int FileClose(FileHandle file);
std::int64_t FileTell(FileHandle file);
int FileSeek(FileHandle file, std::int64_t offset, int origin);
std::int64_t FileRead(void* buffer, std::size_t size, std::size_t count, FileHandle file);
int FileEof(FileHandle file);
int FileIdleCheck(FileHandle file);
int FileSetCurrentDir(const char* path);
int FileGetCurrentDir(char* buffer);
