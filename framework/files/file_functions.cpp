// The installed file-function table, its two built-in sets and the one-jump
// entries through it.
#include "files/file_functions.h"

#include "files/archive_files.h"
#include "files/plain_file.h"

namespace {

// The plain set hands out record addresses; a handle it did not hand out is
// refused here rather than followed.
PlainFileRecord* Record(FileHandle file) {
    auto* record = reinterpret_cast<PlainFileRecord*>(file);
    return IsLivePlainFile(record) ? record : nullptr;
}

constexpr FileFunctionTable kArchiveSet = {
    ArchiveFileOpen, ArchiveFileClose, ArchiveFileTell,      ArchiveFileSeek,      ArchiveFileRead,
    ArchiveFileEof,  ArchiveFileIdleCheck, ArchiveSetCurrentDir, ArchiveGetCurrentDir,
};

constexpr FileFunctionTable kPlainSet = {
    [](const char* name, int async, int reserved) -> FileHandle {
        return reinterpret_cast<FileHandle>(OpenPlainFile(name, async, reserved));
    },
    [](FileHandle file) { return Record(file) != nullptr ? ClosePlainFile(Record(file)) : -1; },
    [](FileHandle file) { return PlainFileTell(Record(file)); },
    [](FileHandle file, std::int64_t offset, int origin) { return PlainFileSeek(Record(file), offset, origin); },
    [](void* buffer, std::size_t size, std::size_t count, FileHandle file) -> std::int64_t {
        PlainFileRecord* record = Record(file);
        return record != nullptr ? PlainFileRead(buffer, size, count, record) : -1;
    },
    [](FileHandle file) { return PlainFileEof(Record(file)); },
    [](FileHandle file) { return PlainFileIdleCheck(Record(file)); },
    PlainSetCurrentDir,
    PlainGetCurrentDir,
};

// The archive-aware set from the start, so the file layer works even before
// the framework's initialisation selects it.
FileFunctionTable g_table = kArchiveSet;
int g_noArchive = 0;

}  // namespace

int SelectFileFunctions(const FileFunctionTable* table) {
    if (table != nullptr) {
        // A table with an empty slot would be followed into nothing later.
        if (table->open == nullptr || table->close == nullptr || table->tell == nullptr || table->seek == nullptr ||
            table->read == nullptr || table->eof == nullptr || table->idleCheck == nullptr ||
            table->setCurrentDir == nullptr || table->getCurrentDir == nullptr)
            return -1;
        g_table = *table;
    } else
        g_table = g_noArchive == 1 ? kPlainSet : kArchiveSet;
    return 0;
}

void SetNoArchiveSwitch(int flag) { g_noArchive = flag; }

const FileFunctionTable* GetArchiveFileFunctions() { return &kArchiveSet; }
const FileFunctionTable* GetPlainFileFunctions() { return &kPlainSet; }

FileHandle FileOpen(const char* name, int async, int reserved) { return g_table.open(name, async, reserved); }
int FileClose(FileHandle file) { return g_table.close(file); }
std::int64_t FileTell(FileHandle file) { return g_table.tell(file); }
int FileSeek(FileHandle file, std::int64_t offset, int origin) { return g_table.seek(file, offset, origin); }
std::int64_t FileRead(void* buffer, std::size_t size, std::size_t count, FileHandle file) {
    return g_table.read(buffer, size, count, file);
}
int FileEof(FileHandle file) { return g_table.eof(file); }
int FileIdleCheck(FileHandle file) { return g_table.idleCheck(file); }
int FileSetCurrentDir(const char* path) { return g_table.setCurrentDir(path); }
int FileGetCurrentDir(char* buffer) { return g_table.getCurrentDir(buffer); }
