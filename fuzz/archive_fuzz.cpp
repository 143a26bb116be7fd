// libFuzzer target: an archive file of any content, mounted and read through
// the framework's file functions. Whatever the bytes, mounting either refuses
// the archive or serves members within their bounds; every open file, mount
// and buffer is released again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "files/archive_files.h"
#include "files/archive_state.h"
#include "files/file_functions.h"
#include "platform/files.h"
#include "platform/kernel.h"

namespace {

std::filesystem::path g_folder;
std::string g_windowsFolder;  // the folder as the framework spells it

void RemoveFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(g_folder, ignored);
}

// Member paths found by walking the archive's own directory. Entries may lead
// back to a directory already walked (a damaged archive can make a cycle), so
// each directory record is walked once.
void CollectMembers(ArchiveState* state, std::uint32_t record, const std::string& prefix, int depth,
                    std::set<std::uint32_t>* walked, std::vector<std::string>* out) {
    ArchiveDirRecord dir;
    if (depth > 6 || out->size() > 32 || !walked->insert(record).second ||
        !GetArchiveDirRecord(state, record, &dir))
        return;
    for (std::uint32_t i = 0; i < dir.entryCount && i < 64 && out->size() <= 32; ++i) {
        std::uint64_t offset = dir.firstEntryOffset + static_cast<std::uint64_t>(i) * state->entrySize;
        ArchiveFileEntry entry;
        const char* name;
        std::size_t length;
        if (offset > 0xFFFFFFFFu || !GetArchiveFileEntry(state, static_cast<std::uint32_t>(offset), &entry) ||
            !GetArchiveEntryName(state, entry.nameOffset, &name, &length) || length == 0 || length > 64)
            return;
        std::string path = prefix + std::string(name, length);
        if ((entry.attributes & kArchiveDirectoryAttribute) != 0)
            CollectMembers(state, entry.dataOffset, path + "\\", depth + 1, walked, out);
        else
            out->push_back(path);
    }
}

void ReadMember(const std::string& name) {
    FileHandle file = FileOpen(name.c_str(), 0, 0);
    if (file == 0) return;
    std::vector<unsigned char> buffer(4096);
    std::size_t chunk = 1;
    for (int round = 0; round < 64; ++round) {
        std::int64_t got = FileRead(buffer.data(), 1, chunk, file);
        if (got < 0 || static_cast<std::size_t>(got) > chunk) std::abort();
        if (got == 0) break;
        chunk = chunk * 5 % 4093 + 1;
    }
    FileSeek(file, -3, 2);
    std::int64_t items = FileRead(buffer.data(), 3, 1000, file);
    if (items < 0 || items > 1) std::abort();
    FileSeek(file, FileTell(file) / 2, 0);
    FileRead(buffer.data(), 7, 100, file);
    FileEof(file);
    if (FileClose(file) != 0) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::random_device seed;
    g_folder = std::filesystem::temp_directory_path() / ("kelvo-fuzz-" + std::to_string(seed()));
    std::filesystem::create_directories(g_folder);
    std::atexit(RemoveFolder);
    g_windowsFolder = PlatformWindowsPath(g_folder.string());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    {
        std::ofstream out(g_folder / "FZ.KVA", std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    InitArchiveAccess();

    // Members the archive names itself, and the names of the seed corpus.
    // What is no archive is read from disk instead: one name shows that.
    std::vector<std::string> names = {"A.TXT"};
    ArchiveState walker;
    std::string archivePath = g_windowsFolder + "\\FZ.KVA";
    if (MountArchiveFile(&walker, archivePath.c_str(), nullptr) == 0) {
        names.insert(names.end(), {"SUB\\B.BIN", "C.BIN", "SUB", "NONE"});
        std::set<std::uint32_t> walked;
        CollectMembers(&walker, 0, "", 0, &walked, &names);
        ArchiveSearchName failed;
        ChangeArchiveDirectory(&walker, "SUB\\X\\", 1, &failed);
        ChangeArchiveDirectory(&walker, "..", 0, &failed);
        ChangeArchiveDirectory(&walker, "\\", 0, &failed);
        ReleaseArchiveState(&walker);
    }
    // Lower case on purpose: the archive is found whatever the case.
    for (const std::string& name : names) ReadMember(g_windowsFolder + "\\fz\\" + name);

    // The same bytes as an image in memory, descrambled in place and back.
    std::vector<unsigned char> image(data, data + size);
    ArchiveState held;
    if (MountArchiveImage(&held, image.data(), image.size(), 1, nullptr) == 0) {
        ArchiveMemberStream member;
        if (OpenArchiveMember(&member, &held, "A.TXT") == 0) {
            unsigned char buffer[64];
            while (ReadArchiveMember(&member, buffer, sizeof buffer) > 0) {
            }
            CloseArchiveMember(&member);
        }
        ReleaseArchiveState(&held);
        if (image != std::vector<unsigned char>(data, data + size)) std::abort();
    }

    // The bytes as one packed member.
    if (size >= kArchivePackedHeaderSize) {
        std::size_t unpacked = LoadU32(data);
        if (unpacked <= (1u << 16)) {
            std::vector<unsigned char> out(unpacked);
            UnpackArchiveData(data, size, out.data(), unpacked);
        }
    }

    InitArchiveAccess();
    return 0;
}
