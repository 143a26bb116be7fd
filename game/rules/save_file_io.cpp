#include "rules/save_file_io.h"

#include <cstdio>
#include <cstring>

#include "engine/game_log.h"
#include "platform/files.h"
#include "platform/kernel.h"

namespace {

BeforeRenameHook g_BeforeRename = nullptr;

constexpr std::size_t kPathLimit = 260;

// "savedata\file1.dat" -> "savedata"; false when the path has no folder.
bool FolderOf(const char* path, char* folder, std::size_t capacity) {
    const char* slash = std::strrchr(path, '\\');
    if (slash == nullptr) return false;
    std::size_t length = static_cast<std::size_t>(slash - path);
    if (length == 0 || length >= capacity) return false;
    std::memcpy(folder, path, length);
    folder[length] = '\0';
    return true;
}

// "savedata\file1.dat" -> "savedata\file1.dat.tmp"; false when it does not fit.
bool TemporaryNameOf(const char* path, char* temporary, std::size_t capacity) {
    int length = std::snprintf(temporary, capacity, "%s.tmp", path);
    return length >= 0 && static_cast<std::size_t>(length) < capacity;
}

bool EnsureFolderOf(const char* path) {
    char folder[kPathLimit];
    if (!FolderOf(path, folder, sizeof folder)) return true;
    if (GetFileAttributesA(folder) == FILE_ATTRIBUTE_DIRECTORY) return true;
    if (CreateDirectoryA(folder, nullptr)) return true;
    return GetFileAttributesA(folder) == FILE_ATTRIBUTE_DIRECTORY;
}

}  // namespace

void PutU8(FieldBuffer& buffer, std::uint8_t value) {
    if (buffer.overrun || buffer.position + 1 > buffer.size) {
        buffer.overrun = true;
        return;
    }
    buffer.bytes[buffer.position++] = value;
}

void PutI32(FieldBuffer& buffer, std::int32_t value) {
    if (buffer.overrun || buffer.position + 4 > buffer.size) {
        buffer.overrun = true;
        return;
    }
    auto bits = static_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i) buffer.bytes[buffer.position++] = static_cast<std::uint8_t>(bits >> (8 * i));
}

std::uint8_t GetU8(FieldBuffer& buffer) {
    if (buffer.overrun || buffer.position + 1 > buffer.size) {
        buffer.overrun = true;
        return 0;
    }
    return buffer.bytes[buffer.position++];
}

std::int32_t GetI32(FieldBuffer& buffer) {
    if (buffer.overrun || buffer.position + 4 > buffer.size) {
        buffer.overrun = true;
        return 0;
    }
    std::uint32_t bits = 0;
    for (int i = 0; i < 4; ++i) bits |= static_cast<std::uint32_t>(buffer.bytes[buffer.position++]) << (8 * i);
    return static_cast<std::int32_t>(bits);
}

FileReadResult ReadFileBytes(const char* path, std::uint8_t* buffer, std::size_t size, std::size_t* bytesRead) {
    if (bytesRead != nullptr) *bytesRead = 0;
    std::FILE* file = PlatformFOpen(path, "rb");
    if (file == nullptr) return FileReadResult::kMissing;
    std::size_t got = std::fread(buffer, 1, size, file);
    std::fclose(file);
    if (bytesRead != nullptr) *bytesRead = got;
    return got == size ? FileReadResult::kOk : FileReadResult::kShort;
}

bool WriteFileAtomically(const char* path, const std::uint8_t* bytes, std::size_t size) {
    char temporary[kPathLimit];
    if (!TemporaryNameOf(path, temporary, sizeof temporary)) {
        GameLog("save: path too long: %s", path);
        return false;
    }
    if (!EnsureFolderOf(path)) {
        GameLog("save: cannot create the folder of %s", path);
        return false;
    }

    std::FILE* file = PlatformFOpen(temporary, "wb");
    if (file == nullptr) {
        GameLog("save: cannot open %s for writing", temporary);
        return false;
    }
    // On the disk before the rename: a power loss then keeps the old file or
    // the new one, never a new name over missing bytes.
    bool written = std::fwrite(bytes, 1, size, file) == size;
    written = PlatformFlushToDisk(file) && written;
    written = std::fclose(file) == 0 && written;
    if (!written) {
        GameLog("save: writing %s failed; %s is unchanged", temporary, path);
        DeleteFileA(temporary);
        return false;
    }

    if (g_BeforeRename != nullptr && g_BeforeRename(temporary)) return false;

    if (!MoveFileExA(temporary, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        GameLog("save: cannot replace %s; it is unchanged", path);
        DeleteFileA(temporary);
        return false;
    }
    return true;
}

void SetBeforeRenameHook(BeforeRenameHook hook) { g_BeforeRename = hook; }

void RemoveStaleTemporaryFile(const char* path) {
    char temporary[kPathLimit];
    if (!TemporaryNameOf(path, temporary, sizeof temporary)) return;
    if (GetFileAttributesA(temporary) == INVALID_FILE_ATTRIBUTES) return;
    if (DeleteFileA(temporary))
        GameLog("save: removed %s, left by a write that did not finish", temporary);
    else
        GameLog("save: cannot remove %s", temporary);
}
