// Finding members in an archive's directory: names are compared by their
// search form, directories walked by their records.
#include <cstring>
#include <string>

#include "core/utility.h"
#include "files/archive_state.h"

namespace {

// True when [offset, offset + size) lies inside the directory block.
bool InBlock(const ArchiveState* state, std::uint64_t offset, std::uint64_t size) {
    return offset <= state->header.directorySize && size <= state->header.directorySize - offset;
}

// The name entry at `nameOffset`: its start, when header, form and name fit.
const unsigned char* NameEntry(const ArchiveState* state, std::uint32_t nameOffset) {
    std::uint64_t at = static_cast<std::uint64_t>(state->nameTable) + nameOffset;
    if (!InBlock(state, at, 4)) return nullptr;
    const unsigned char* entry = state->directory + at;
    std::uint64_t padded = static_cast<std::uint64_t>(LoadU16(entry)) * 4;
    if (!InBlock(state, at + 4, padded * 2)) return nullptr;
    return entry;
}

bool NameMatches(const ArchiveState* state, std::uint32_t nameOffset, const ArchiveSearchName& search) {
    const unsigned char* entry = NameEntry(state, nameOffset);
    if (entry == nullptr) return false;
    return LoadU16(entry) == search.units && LoadU16(entry + 2) == search.check &&
           std::memcmp(entry + 4, search.form, static_cast<std::size_t>(search.units) * 4) == 0;
}

// The offset of the directory's entry `index`, when it lies in the file table.
bool EntryOffset(const ArchiveState* state, const ArchiveDirRecord& dir, std::uint32_t index, std::uint32_t* offset) {
    std::uint64_t at = static_cast<std::uint64_t>(dir.firstEntryOffset) + static_cast<std::uint64_t>(index) * state->entrySize;
    if (at > 0xFFFFFFFFu) return false;
    *offset = static_cast<std::uint32_t>(at);
    return true;
}

// Scans the current directory for an entry of the wanted kind with this
// search form; its file table offset, or false.
bool ScanCurrent(const ArchiveState* state, const ArchiveSearchName& search, bool wantDirectory,
                 std::uint32_t* found, ArchiveFileEntry* foundEntry) {
    ArchiveDirRecord dir;
    if (!GetArchiveDirRecord(state, state->currentDir, &dir)) return false;
    for (std::uint32_t i = 0; i < dir.entryCount; ++i) {
        std::uint32_t offset;
        ArchiveFileEntry entry;
        // A count that runs past the table ends the scan.
        if (!EntryOffset(state, dir, i, &offset) || !GetArchiveFileEntry(state, offset, &entry)) return false;
        bool isDirectory = (entry.attributes & kArchiveDirectoryAttribute) != 0;
        if (isDirectory != wantDirectory) continue;
        if (!NameMatches(state, entry.nameOffset, search)) continue;
        *found = offset;
        *foundEntry = entry;
        return true;
    }
    return false;
}

// The length of the path component at `path`, up to '\\' or the end, with
// Shift-JIS pairs kept whole.
std::size_t ComponentLength(const char* path) {
    std::size_t i = 0;
    while (path[i] != '\0' && path[i] != '\\') {
        if (IsShiftJisLeadByte(static_cast<unsigned char>(path[i])) && path[i + 1] != '\0')
            i += 2;
        else
            ++i;
    }
    return i;
}

}  // namespace

bool GetArchiveDirRecord(const ArchiveState* state, std::uint32_t offset, ArchiveDirRecord* record) {
    std::uint64_t at = static_cast<std::uint64_t>(state->dirTable) + offset;
    if (state->directory == nullptr || !InBlock(state, at, kArchiveDirRecordSize)) return false;
    DecodeArchiveDirRecord(state->directory + at, record);
    return true;
}

bool GetArchiveFileEntry(const ArchiveState* state, std::uint32_t offset, ArchiveFileEntry* entry) {
    std::uint64_t at = static_cast<std::uint64_t>(state->fileTable) + offset;
    if (state->directory == nullptr || !InBlock(state, at, state->entrySize)) return false;
    DecodeArchiveFileEntry(state->directory + at, state->header.version, entry);
    return true;
}

bool GetArchiveEntryName(const ArchiveState* state, std::uint32_t nameOffset, const char** name, std::size_t* length) {
    if (state->directory == nullptr) return false;
    const unsigned char* entry = NameEntry(state, nameOffset);
    if (entry == nullptr) return false;
    std::size_t padded = static_cast<std::size_t>(LoadU16(entry)) * 4;
    const char* written = reinterpret_cast<const char*>(entry + 4 + padded);
    std::size_t n = 0;
    while (n < padded && written[n] != '\0') ++n;
    *name = written;
    *length = n;
    return true;
}

int EnterArchiveDirectory(ArchiveState* state, const ArchiveSearchName& search) {
    std::uint32_t offset;
    ArchiveFileEntry entry;
    if (!ScanCurrent(state, search, true, &offset, &entry)) return -1;
    ArchiveDirRecord record;
    if (!GetArchiveDirRecord(state, entry.dataOffset, &record)) return -1;
    state->currentDir = entry.dataOffset;
    return 0;
}

int ChangeArchiveDirectory(ArchiveState* state, const char* path, int undo, ArchiveSearchName* failed) {
    if (std::strcmp(path, ".") == 0) return 0;
    if (std::strcmp(path, "\\") == 0) {
        state->currentDir = 0;
        return 0;
    }
    if (std::strcmp(path, "..") == 0) {
        ArchiveDirRecord record, parent;
        if (!GetArchiveDirRecord(state, state->currentDir, &record) || record.parentOffset == kArchiveNoParent ||
            !GetArchiveDirRecord(state, record.parentOffset, &parent))
            return -1;
        state->currentDir = record.parentOffset;
        return 0;
    }
    const std::uint32_t kept = state->currentDir;
    const char* p = path;
    if (*p == '\\') {
        state->currentDir = 0;
        ++p;
    }
    while (*p != '\0') {
        std::size_t length = ComponentLength(p);
        if (length == 0) break;  // a trailing '\\'
        ArchiveSearchName search;
        if (MakeArchiveSearchName(p, length, &search) != 0 || EnterArchiveDirectory(state, search) != 0) {
            if (undo != 0) state->currentDir = kept;
            if (failed != nullptr) {
                if (MakeArchiveSearchName(p, length, failed) != 0) std::memset(failed, 0, sizeof *failed);
            }
            return -1;
        }
        p += length;
        if (*p == '\\') ++p;
    }
    return 0;
}

int FindArchiveEntry(const char* path, ArchiveState* state, std::uint32_t* entryOffset) {
    if (path == nullptr || state == nullptr || state->directory == nullptr) return -1;
    const std::uint32_t kept = state->currentDir;
    // The last component names the file; everything before it must name
    // directories, so "DIR\FILE\X" is not taken for DIR\FILE.
    std::size_t nameStart = 0;
    for (std::size_t i = 0; path[i] != '\0';) {
        if (IsShiftJisLeadByte(static_cast<unsigned char>(path[i])) && path[i + 1] != '\0') {
            i += 2;
            continue;
        }
        if (path[i] == '\\') nameStart = i + 1;
        ++i;
    }
    int result = -1;
    ArchiveSearchName search;
    if (MakeArchiveSearchName(path + nameStart, std::strlen(path + nameStart), &search) == 0) {
        bool inDirectory = true;
        if (nameStart > 0) {
            std::string directories(path, nameStart);
            inDirectory = ChangeArchiveDirectory(state, directories.c_str(), 0, nullptr) == 0;
        }
        std::uint32_t offset;
        ArchiveFileEntry entry;
        if (inDirectory && ScanCurrent(state, search, false, &offset, &entry)) {
            *entryOffset = offset;
            result = 0;
        }
    }
    state->currentDir = kept;
    return result;
}
