// kvapack: packs a folder into an archive the framework reads in its place.
//
//   kvapack [--store] [--version N] [--key TEXT] FOLDER [ARCHIVE]
//   kvapack --list ARCHIVE
//   kvapack --help
//
// The archive goes beside the folder as FOLDER.KVA unless ARCHIVE is given.
// With the archive there, every file the program opens under FOLDER is read
// from it; a file missing from the archive is not looked for on disk, so the
// archive must hold the whole folder.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "files/archive_packer.h"
#include "files/archive_state.h"

namespace fs = std::filesystem;

namespace {

int Usage(std::FILE* to = stderr, int code = 2) {
    std::fputs("usage: kvapack [--store] [--version N] [--key TEXT] FOLDER [ARCHIVE]\n"
               "       kvapack --list ARCHIVE\n"
               "       kvapack --help\n"
               "  --store      keep members as they are (no packing)\n"
               "  --version N  archive version 1, 2 or 3 (default 2; 1 never packs)\n"
               "  --key TEXT   scramble with a key made from TEXT (the framework\n"
               "               reads only archives made without one)\n",
               to);
    return code;
}

// A file time as the archive keeps it: 100 ns units since 1601.
std::uint64_t ArchiveTime(fs::file_time_type time) {
    auto since1970 = std::chrono::file_clock::to_sys(time).time_since_epoch();
    auto units = std::chrono::duration_cast<std::chrono::duration<std::int64_t, std::ratio<1, 10000000>>>(since1970);
    std::int64_t value = units.count() + 116444736000000000LL;
    return value > 0 ? static_cast<std::uint64_t>(value) : 0;
}

bool ReadWhole(const fs::path& path, std::vector<unsigned char>* bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

int Pack(const fs::path& folder, const fs::path& archive, const ArchivePackOptions& options) {
    std::error_code error;
    if (!fs::is_directory(folder, error)) {
        std::fprintf(stderr, "kvapack: %s is not a folder\n", folder.string().c_str());
        return 1;
    }
    // Sorted, so the same folder always gives the same archive.
    std::vector<fs::path> paths;
    for (auto it = fs::recursive_directory_iterator(folder, error); !error && it != fs::recursive_directory_iterator();
         it.increment(error))
        paths.push_back(it->path());
    if (error) {
        std::fprintf(stderr, "kvapack: cannot read %s: %s\n", folder.string().c_str(), error.message().c_str());
        return 1;
    }
    std::sort(paths.begin(), paths.end());

    ArchiveBuilder builder;
    std::size_t files = 0;
    for (const fs::path& path : paths) {
        std::string relative = fs::relative(path, folder).generic_string();
        std::uint64_t time = ArchiveTime(fs::last_write_time(path, error));
        bool ok;
        if (fs::is_directory(path, error)) {
            ok = builder.AddDirectory(relative, time);
        } else if (fs::is_regular_file(path, error)) {
            std::vector<unsigned char> bytes;
            if (!ReadWhole(path, &bytes)) {
                std::fprintf(stderr, "kvapack: cannot read %s\n", path.string().c_str());
                return 1;
            }
            ok = builder.AddFile(relative, std::move(bytes), time);
            ++files;
        } else {
            continue;  // sockets, devices and the like have no place in an archive
        }
        if (!ok) {
            std::fprintf(stderr, "kvapack: %s: name too long, or it clashes with another once case is ignored\n",
                         relative.c_str());
            return 1;
        }
    }
    std::vector<unsigned char> bytes;
    if (!builder.Build(options, &bytes)) {
        std::fprintf(stderr, "kvapack: the folder does not fit an archive (4 GB at most)\n");
        return 1;
    }
    // Written beside the target and renamed over it, so a failed run leaves
    // any earlier archive whole.
    fs::path temporary = archive;
    temporary += ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        if (!out) {
            std::fprintf(stderr, "kvapack: cannot write %s\n", temporary.string().c_str());
            fs::remove(temporary, error);
            return 1;
        }
    }
    fs::rename(temporary, archive, error);
    if (error) {
        std::fprintf(stderr, "kvapack: cannot write %s: %s\n", archive.string().c_str(), error.message().c_str());
        return 1;
    }
    std::printf("%s: %zu files, %zu bytes\n", archive.string().c_str(), files, bytes.size());
    return 0;
}

void ListDirectory(ArchiveState* state, std::uint32_t recordOffset, const std::string& prefix, int depth) {
    ArchiveDirRecord record;
    if (depth > 64 || !GetArchiveDirRecord(state, recordOffset, &record)) return;
    for (std::uint32_t i = 0; i < record.entryCount; ++i) {
        ArchiveFileEntry entry;
        const char* name;
        std::size_t length;
        std::uint64_t offset = record.firstEntryOffset + static_cast<std::uint64_t>(i) * state->entrySize;
        if (offset > 0xFFFFFFFFu || !GetArchiveFileEntry(state, static_cast<std::uint32_t>(offset), &entry) ||
            !GetArchiveEntryName(state, entry.nameOffset, &name, &length))
            return;
        std::string path = prefix + std::string(name, length);
        if ((entry.attributes & kArchiveDirectoryAttribute) != 0) {
            std::printf("%-40s  <dir>\n", (path + "\\").c_str());
            ListDirectory(state, entry.dataOffset, path + "\\", depth + 1);
        } else if (entry.packedSize != kArchiveNotPacked && state->header.version >= kArchivePackedVersion) {
            std::printf("%-40s  %10u  packed %u\n", path.c_str(), entry.size, entry.packedSize);
        } else {
            std::printf("%-40s  %10u\n", path.c_str(), entry.size);
        }
    }
}

int List(const char* archive) {
    ArchiveState state;
    if (MountArchiveFile(&state, fs::absolute(archive).string().c_str(), nullptr) != 0) {
        std::fprintf(stderr, "kvapack: %s is not an archive\n", archive);
        return 1;
    }
    std::printf("version %u\n", state.header.version);
    ListDirectory(&state, 0, "", 0);
    ReleaseArchiveState(&state);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    ArchivePackOptions options;
    std::vector<std::string> operands;
    std::string key;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--help") return Usage(stdout, 0);
        if (arg == "--list" && i + 1 < argc && argc == 3) return List(argv[i + 1]);
        if (arg == "--store") {
            options.compress = false;
        } else if (arg == "--version" && i + 1 < argc) {
            int version = std::atoi(argv[++i]);
            if (version < 1 || version >= kArchiveVersionLimit) return Usage();
            options.version = static_cast<std::uint16_t>(version);
        } else if (arg == "--key" && i + 1 < argc) {
            key = argv[++i];
        } else if (!arg.empty() && arg[0] == '-') {
            std::fprintf(stderr, "kvapack: unknown option or missing value: %s\n", arg.c_str());
            return Usage();
        } else {
            operands.push_back(arg);
        }
    }
    if (operands.empty() || operands.size() > 2) return Usage();
    if (!key.empty()) options.keyString = key.c_str();
    fs::path folder = fs::path(operands[0]).lexically_normal();
    if (folder.has_filename() == false) folder = folder.parent_path();
    fs::path archive = operands.size() == 2 ? fs::path(operands[1]) : fs::path(folder.string() + ".KVA");
    return Pack(folder, archive, options);
}
