// One mounted archive and the members read from it. Everything read from an
// archive is bounded here: a damaged archive mounts as no archive, or its
// member fails to open; nothing reads or writes outside what was allocated.
#pragma once

#include <cstddef>
#include <cstdint>

#include "files/archive_format.h"
#include "files/plain_file.h"

struct ArchiveState {
    ArchiveHeader header;
    PlainFileRecord* file;        // the archive file, or null when held in memory
    std::uint64_t archiveSize;    // bytes of the file or of the image
    // An archive image held in memory.
    int memoryHeld;
    unsigned char* image;
    int descrambledInPlace;       // the image was descrambled where it lies
    int ownsImage;                // the framework allocated the image
    // The directory block (tracked memory), descrambled. Its tables are kept
    // as offsets into it, each checked before use.
    unsigned char* directory;
    std::uint32_t nameTable;      // the block's start
    std::uint32_t fileTable;
    std::uint32_t dirTable;
    std::uint32_t currentDir;     // offset of the current record in the directory table
    std::size_t entrySize;        // 40 or 44 bytes by version
    unsigned char key[kArchiveKeySize];
};

// A member being read.
struct ArchiveMemberStream {
    ArchiveState* archive;
    ArchiveFileEntry entry;
    unsigned char* unpacked;      // the whole member when it was packed (tracked memory)
    int eof;
    std::uint32_t position;
};

// 0, or -1 when the path is no archive (missing, wrong magic under both keys,
// version 4 or above, or a header that points outside the file).
int MountArchiveFile(ArchiveState* state, const char* path, const char* keyString);
// An image in memory; descrambled in place when `inPlace` is 1 (and scrambled
// back on release), else read through the key. The caller keeps the image.
int MountArchiveImage(ArchiveState* state, unsigned char* image, std::size_t size, int inPlace,
                      const char* keyString);
void ReleaseArchiveState(ArchiveState* state);
// Bytes of the archive at `position`, descrambled; the count really read.
std::size_t ReadArchiveBytes(ArchiveState* state, std::uint64_t position, unsigned char* buffer, std::size_t count);

// Bounded views of the directory block: false when the item lies outside it.
bool GetArchiveDirRecord(const ArchiveState* state, std::uint32_t offset, ArchiveDirRecord* record);
bool GetArchiveFileEntry(const ArchiveState* state, std::uint32_t offset, ArchiveFileEntry* entry);
// The name as written, and its length, of the name entry at `nameOffset`.
bool GetArchiveEntryName(const ArchiveState* state, std::uint32_t nameOffset, const char** name,
                         std::size_t* length);

// Makes the subdirectory with this search form current; -1 when there is none.
int EnterArchiveDirectory(ArchiveState* state, const ArchiveSearchName& search);
// "." stays, "\\" goes to the root, ".." to the parent (-1 at the root); any
// other path is walked component by component (a leading '\\' starts at the
// root) up to its end or a trailing '\\'. On a component that is no
// subdirectory: the old current directory is put back when `undo` is 1, the
// component's search form goes to `failed` and the result is -1.
int ChangeArchiveDirectory(ArchiveState* state, const char* path, int undo, ArchiveSearchName* failed);
// The file table offset of the file that `path` names (components separated
// by '\\'; the last names the file), or -1. The current directory is kept.
int FindArchiveEntry(const char* path, ArchiveState* state, std::uint32_t* entryOffset);

// 0, or -1 when the member is missing or its data is damaged.
int OpenArchiveMember(ArchiveMemberStream* stream, ArchiveState* state, const char* path);
void CloseArchiveMember(ArchiveMemberStream* stream);
// Up to `bytes` bytes; the bytes read.
std::size_t ReadArchiveMember(ArchiveMemberStream* stream, void* buffer, std::size_t bytes);
int SeekArchiveMember(ArchiveMemberStream* stream, std::int64_t offset, int origin);
