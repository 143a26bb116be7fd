// The archive-aware set of file operations, the framework's default. A file
// under a directory D is served from the archive "D.KVA" beside D when one
// exists; only when no leading directory has an archive is it read from disk.
#pragma once

#include <cstddef>
#include <cstdint>

#include "files/file_functions.h"

constexpr int kMaxOpenFiles = 512;
constexpr int kMaxArchives = 512;
constexpr std::uint32_t kOpenFileHandleTag = 0xF0000000u;

// A handle is the file's slot ORed with kOpenFileHandleTag; 0 on failure.
FileHandle ArchiveFileOpen(const char* name, int async, int reserved);
int ArchiveFileClose(FileHandle file);
std::int64_t ArchiveFileTell(FileHandle file);
int ArchiveFileSeek(FileHandle file, std::int64_t offset, int origin);
// Whole items, for members as for plain files; -1 for a bad handle.
std::int64_t ArchiveFileRead(void* buffer, std::size_t size, std::size_t count, FileHandle file);
int ArchiveFileEof(FileHandle file);
int ArchiveFileIdleCheck(FileHandle file);
int ArchiveSetCurrentDir(const char* path);
int ArchiveGetCurrentDir(char* buffer);

// Clears the tables (releasing anything still open); called first at start-up.
void InitArchiveAccess();
// Closes every archive no longer referenced; called at the end.
void TerminateArchiveAccess();
void CloseUnusedArchives();

// The absolute, upper-cased form of `name` against the current directory
// ("X:\DIR\FILE"), into `out` of MAX_PATH characters; -1 for an empty
// component or a result that does not fit.
int MakeFullUpperPath(const char* name, char* out);

// For diagnostics and tests: archives mounted now, and the references of the
// one mounted from `archivePath` (as MakeFullUpperPath spells it), -1 when it
// is not mounted.
int GetOpenArchiveCount();
int GetArchiveReferenceCount(const char* archivePath);
int GetOpenFileCount();
