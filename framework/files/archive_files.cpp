// The open-file table of the archive-aware set, the mounted archives with
// their reference counts, and the search for an archive along a path.
#include "files/archive_files.h"

#include <cstring>
#include <string>

#include "core/log.h"
#include "core/memory.h"
#include "core/utility.h"
#include "files/archive_state.h"
#include "files/plain_file.h"
#include "platform/kernel.h"

namespace {

struct ArchiveEntry {
    int references;
    ArchiveState state;
    char path[MAX_PATH];
};

struct OpenFileEntry {
    int inArchive;  // 1 in an archive, 0 plain
    PlainFileRecord* plain;
    int archiveSlot;
    ArchiveMemberStream member;
};

// The archive used last: most opens of a program fall under the same one.
struct LastArchive {
    char path[MAX_PATH];  // empty when none is remembered
    int slot;
    std::size_t leadingLength;  // length of its directory's path
};

ArchiveEntry* g_archives[kMaxArchives];
int g_archiveCount;
OpenFileEntry* g_files[kMaxOpenFiles];
int g_fileCount;
LastArchive g_lastArchive;

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// The index of the next '\\' at or after `from`, stepping over Shift-JIS
// pairs (whose trail byte may be '\\'); npos when there is none.
std::size_t NextSeparator(const std::string& path, std::size_t from) {
    for (std::size_t i = from; i < path.size(); ++i) {
        if (IsShiftJisLeadByte(static_cast<unsigned char>(path[i])) && i + 1 < path.size()) {
            ++i;
            continue;
        }
        if (path[i] == '\\') return i;
    }
    return std::string::npos;
}

// Whether the last byte is a separator of its own, not a pair's trail byte.
bool EndsWithSeparator(const std::string& path) {
    bool separator = false;
    for (std::size_t i = 0; i < path.size(); ++i) {
        separator = IsSeparator(path[i]);
        if (IsShiftJisLeadByte(static_cast<unsigned char>(path[i])) && i + 1 < path.size()) {
            separator = false;
            ++i;
        }
    }
    return separator;
}

OpenFileEntry* LookupFile(FileHandle file) {
    auto value = static_cast<std::uint64_t>(file);
    // A handle kept in a 32-bit int comes back sign-extended.
    if ((value >> 32) == 0xFFFFFFFFu) value &= 0xFFFFFFFFu;
    if (value > 0xFFFFFFFFu || (value & 0xF0000000u) != kOpenFileHandleTag) return nullptr;
    std::uint64_t slot = value & 0x0FFFFFFFu;
    if (slot >= static_cast<std::uint64_t>(kMaxOpenFiles)) return nullptr;
    return g_files[slot];
}

void ReleaseArchiveSlot(int slot) {
    ReleaseArchiveState(&g_archives[slot]->state);
    TrackedFree(g_archives[slot]);
    g_archives[slot] = nullptr;
    --g_archiveCount;
}

void DropReference(int slot) {
    if (slot < 0 || slot >= kMaxArchives || g_archives[slot] == nullptr) return;
    if (g_archives[slot]->references > 0) --g_archives[slot]->references;
}

// The slot of the archive at `path` with one more reference, mounting it
// when it is not mounted yet; -1 when the path is no archive.
int FindOrOpenArchive(int hint, const char* path) {
    if (std::strlen(path) >= MAX_PATH) return -1;
    if (hint >= 0 && hint < kMaxArchives && g_archives[hint] != nullptr && std::strcmp(g_archives[hint]->path, path) == 0) {
        ++g_archives[hint]->references;
        return hint;
    }
    int freeSlot = -1;
    for (int i = 0; i < kMaxArchives; ++i) {
        if (g_archives[i] == nullptr) {
            freeSlot = i;
            continue;
        }
        if (std::strcmp(g_archives[i]->path, path) == 0) {
            ++g_archives[i]->references;
            return i;
        }
    }
    if (g_archiveCount >= kMaxArchives) {
        CloseUnusedArchives();
        if (g_archiveCount >= kMaxArchives) return -1;
    }
    if (freeSlot < 0 || g_archives[freeSlot] != nullptr) {
        freeSlot = -1;
        for (int i = 0; i < kMaxArchives && freeSlot < 0; ++i)
            if (g_archives[i] == nullptr) freeSlot = i;
        if (freeSlot < 0) return -1;
    }
    auto* entry = static_cast<ArchiveEntry*>(TrackedAllocZeroed(sizeof(ArchiveEntry), __FILE__, __LINE__));
    if (entry == nullptr) return -1;
    if (MountArchiveFile(&entry->state, path, nullptr) != 0) {
        TrackedFree(entry);
        return -1;
    }
    entry->references = 1;
    std::memcpy(entry->path, path, std::strlen(path) + 1);
    g_archives[freeSlot] = entry;
    ++g_archiveCount;
    return freeSlot;
}

// Tries each leading directory of `full` as an archive; the archive's slot
// with `rest` at the path inside it, or -1.
int SearchLeadingArchives(const std::string& full, std::size_t* rest) {
    // The first component is the drive ("X:"); it is never an archive.
    std::size_t start = NextSeparator(full, 0);
    if (start == std::string::npos) return -1;
    ++start;
    for (;;) {
        std::size_t end = NextSeparator(full, start);
        if (end == std::string::npos) return -1;  // only the file name is left
        if (end > start) {
            std::string archivePath = full.substr(0, end) + ".KVA";
            int slot = FindOrOpenArchive(-1, archivePath.c_str());
            if (slot >= 0) {
                std::memcpy(g_lastArchive.path, archivePath.c_str(), archivePath.size() + 1);
                g_lastArchive.slot = slot;
                g_lastArchive.leadingLength = end;
                *rest = end + 1;
                return slot;
            }
        }
        start = end + 1;
    }
}

// The archive that serves `full`, by the last archive when the path lies
// under its directory, else by the search; -1 for none.
int FindServingArchive(const std::string& full, std::size_t* rest) {
    std::size_t length = g_lastArchive.leadingLength;
    // The directory's name must end at a separator: "...\DATA2\X" does not
    // lie under "...\DATA".
    if (g_lastArchive.path[0] != '\0' && full.size() > length && full[length] == '\\' &&
        full.compare(0, length, g_lastArchive.path, length) == 0) {
        int slot = FindOrOpenArchive(g_lastArchive.slot, g_lastArchive.path);
        if (slot >= 0) *rest = length + 1;
        return slot;
    }
    return SearchLeadingArchives(full, rest);
}

}  // namespace

int MakeFullUpperPath(const char* name, char* out) {
    if (name == nullptr || out == nullptr) return -1;
    char current[MAX_PATH];
    DWORD length = GetCurrentDirectoryA(MAX_PATH, current);
    if (length == 0 || length >= MAX_PATH) return -1;
    StringToUpper(current);
    std::string result;
    const char* p = name;
    if (IsSeparator(name[0])) {
        for (std::size_t i = 0; i < 2 && current[i] != '\0'; ++i) result += current[i];
        ++p;
    } else if (name[0] != '\0' && name[1] == ':') {
        char drive = name[0];
        if (drive >= 'a' && drive <= 'z') drive = static_cast<char>(drive - 'a' + 'A');
        result += drive;
        result += ':';
        p = name + 2;
        if (*p == '\\') ++p;
    } else {
        result = current;
        if (EndsWithSeparator(result)) result.pop_back();
    }
    std::string component;
    for (;; ++p) {
        auto c = static_cast<unsigned char>(*p);
        if (IsShiftJisLeadByte(c) && p[1] != '\0') {
            component += *p;
            component += *++p;
            continue;
        }
        if (c != '\0' && !IsSeparator(static_cast<char>(c))) {
            component += static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
            continue;
        }
        if (component.empty()) {
            if (c == '\0') break;  // the name ended with a separator
            return -1;             // two separators in a row
        }
        if (component == "..") {
            // Back one directory, never past the drive.
            std::size_t cut = std::string::npos;
            for (std::size_t at = NextSeparator(result, 0); at != std::string::npos; at = NextSeparator(result, at + 1))
                cut = at;
            if (cut != std::string::npos) result.resize(cut);
        } else if (component != ".") {
            result += '\\';
            result += component;
        }
        component.clear();
        if (c == '\0') break;
    }
    if (result.size() >= MAX_PATH) return -1;
    std::memcpy(out, result.c_str(), result.size() + 1);
    return 0;
}

FileHandle ArchiveFileOpen(const char* name, int async, int) {
    if (name == nullptr) return 0;
    if (g_fileCount >= kMaxOpenFiles) {
        WriteLogText("同時に開けるファイルの数が限界を超えました\n");
        return 0;
    }
    int slot = 0;
    while (slot < kMaxOpenFiles && g_files[slot] != nullptr) ++slot;
    if (slot == kMaxOpenFiles) return 0;
    auto* entry = static_cast<OpenFileEntry*>(TrackedAllocZeroed(sizeof(OpenFileEntry), __FILE__, __LINE__));
    if (entry == nullptr) {
        WriteLogText("ファイルの情報を格納するメモリの確保に失敗しました\n");
        return 0;
    }
    entry->inArchive = 1;
    entry->archiveSlot = -1;

    char full[MAX_PATH];
    int archiveSlot = -1;
    std::size_t rest = 0;
    std::string fullPath;
    if (MakeFullUpperPath(name, full) == 0) {
        fullPath = full;
        archiveSlot = FindServingArchive(fullPath, &rest);
    }
    if (archiveSlot >= 0) {
        // A file under an archive's directory is never looked for on disk.
        if (OpenArchiveMember(&entry->member, &g_archives[archiveSlot]->state, fullPath.c_str() + rest) != 0) {
            DropReference(archiveSlot);
            TrackedFree(entry);
            return 0;
        }
        entry->archiveSlot = archiveSlot;
    } else {
        entry->plain = OpenPlainFile(name, async, 0);
        if (entry->plain == nullptr) {
            TrackedFree(entry);
            return 0;
        }
        entry->inArchive = 0;
    }
    g_files[slot] = entry;
    ++g_fileCount;
    return static_cast<FileHandle>(static_cast<std::uint32_t>(slot) | kOpenFileHandleTag);
}

int ArchiveFileClose(FileHandle file) {
    OpenFileEntry* entry = LookupFile(file);
    if (entry == nullptr) return -1;
    if (entry->inArchive != 0) {
        DropReference(entry->archiveSlot);
        CloseArchiveMember(&entry->member);
    } else {
        ClosePlainFile(entry->plain);
    }
    auto slot = static_cast<std::uint32_t>(file) & 0x0FFFFFFFu;
    TrackedFree(entry);
    g_files[slot] = nullptr;
    --g_fileCount;
    return 0;
}

std::int64_t ArchiveFileTell(FileHandle file) {
    OpenFileEntry* entry = LookupFile(file);
    if (entry == nullptr) return -1;
    if (entry->inArchive != 0) return entry->member.position;
    return PlainFileTell(entry->plain);
}

int ArchiveFileSeek(FileHandle file, std::int64_t offset, int origin) {
    OpenFileEntry* entry = LookupFile(file);
    if (entry == nullptr) return -1;
    if (entry->inArchive != 0) return SeekArchiveMember(&entry->member, offset, origin);
    return PlainFileSeek(entry->plain, offset, origin);
}

std::int64_t ArchiveFileRead(void* buffer, std::size_t size, std::size_t count, FileHandle file) {
    OpenFileEntry* entry = LookupFile(file);
    if (entry == nullptr) return -1;
    if (entry->inArchive == 0) return PlainFileRead(buffer, size, count, entry->plain);
    ArchiveMemberStream* member = &entry->member;
    if (buffer == nullptr) return 0;
    if (size == 0 || count == 0) {
        // Nothing to copy; at the member's end this still marks the end.
        ReadArchiveMember(member, buffer, 0);
        return 0;
    }
    // Whole items, as a plain file of the same bytes would give them, so a
    // decoder gets one answer wherever its file lives.
    std::size_t left = member->position < member->entry.size ? member->entry.size - member->position : 0;
    std::size_t items = count <= left / size ? count : left / size;
    if (items == 0 && left > 0) {
        member->eof = 1;
        return 0;
    }
    std::size_t got = ReadArchiveMember(member, buffer, size * items);
    return static_cast<std::int64_t>(got / size);
}

int ArchiveFileEof(FileHandle file) {
    OpenFileEntry* entry = LookupFile(file);
    if (entry == nullptr) return -1;
    if (entry->inArchive != 0) return entry->member.eof != 0 ? -1 : 0;
    return PlainFileEof(entry->plain);
}

int ArchiveFileIdleCheck(FileHandle) { return 1; }

int ArchiveSetCurrentDir(const char* path) {
    if (path == nullptr) return -1;
    return SetCurrentDirectoryA(path) != 0 ? 0 : -1;
}

int ArchiveGetCurrentDir(char* buffer) {
    if (buffer == nullptr) return -1;
    DWORD length = GetCurrentDirectoryA(256, buffer);
    if (length == 0 || length >= 256) {
        buffer[0] = '\0';
        return -1;
    }
    return 0;
}

void CloseUnusedArchives() {
    for (int i = 0; i < kMaxArchives; ++i)
        if (g_archives[i] != nullptr && g_archives[i]->references <= 0) ReleaseArchiveSlot(i);
}

void InitArchiveAccess() {
    for (int i = 0; i < kMaxOpenFiles; ++i)
        if (g_files[i] != nullptr) ArchiveFileClose(static_cast<FileHandle>(static_cast<std::uint32_t>(i) | kOpenFileHandleTag));
    for (int i = 0; i < kMaxArchives; ++i)
        if (g_archives[i] != nullptr) ReleaseArchiveSlot(i);
    g_fileCount = 0;
    g_archiveCount = 0;
    std::memset(&g_lastArchive, 0, sizeof g_lastArchive);
}

void TerminateArchiveAccess() { CloseUnusedArchives(); }

int GetOpenArchiveCount() { return g_archiveCount; }

int GetOpenFileCount() { return g_fileCount; }

int GetArchiveReferenceCount(const char* archivePath) {
    if (archivePath == nullptr) return -1;
    for (int i = 0; i < kMaxArchives; ++i)
        if (g_archives[i] != nullptr && std::strcmp(g_archives[i]->path, archivePath) == 0)
            return g_archives[i]->references;
    return -1;
}
