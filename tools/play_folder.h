// A play folder of a tool's own over a data folder: every entry of the data
// folder but its save folder is a link into it, and the save folder is a
// fresh one holding the saves the data set ships (shipped_saves.h). A run in
// it starts from the same saves every time, so two replays of one script are
// the same run, and the data folder's own saves (a player's) are left alone.
// It lies under the system's temporary folder and goes when the tool ends.
#pragma once

#include <stdlib.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "shipped_saves.h"

class PlayFolder {
public:
    PlayFolder() = default;
    PlayFolder(const PlayFolder&) = delete;
    PlayFolder& operator=(const PlayFolder&) = delete;
    ~PlayFolder() { Remove(); }

    // Makes the folder over `data` and enters it; false, with the reason on
    // the error stream, when it cannot.
    bool Enter(const char* tool, const std::filesystem::path& data) {
        namespace fs = std::filesystem;
        std::error_code ec;
        const fs::path source = fs::absolute(data, ec);
        if (ec || !fs::is_directory(source, ec))
            return Refuse(tool, "cannot enter " + data.string() + ": " +
                                    (ec ? ec.message() : std::string("not a folder")));
        std::string name = (fs::temp_directory_path(ec) / (std::string(tool) + "-XXXXXX")).string();
        if (ec || mkdtemp(name.data()) == nullptr)
            return Refuse(tool, "cannot make a play folder: " + (ec ? ec.message() : std::string(std::strerror(errno))));
        path_ = name;
        for (const fs::directory_entry& entry : fs::directory_iterator(source, ec)) {
            const fs::path leaf = entry.path().filename();
            if (IsSaveFolder(leaf.string())) continue;
            fs::create_symlink(entry.path(), path_ / leaf, ec);
            if (ec) break;
        }
        if (!ec) fs::create_directory(path_ / "savedata", ec);
        for (const ShippedSaveFile& file : ShippedSaveFiles()) {
            if (ec) break;
            std::ofstream out(path_ / "savedata" / file.name, std::ios::binary);
            out.write(reinterpret_cast<const char*>(file.bytes.data()), static_cast<std::streamsize>(file.bytes.size()));
            if (!out) ec = std::make_error_code(std::errc::io_error);
        }
        if (!ec) fs::current_path(path_, ec);
        if (ec) {
            const std::string reason = "cannot set up the play folder " + path_.string() + ": " + ec.message();
            Remove();
            return Refuse(tool, reason);
        }
        return true;
    }

    const std::filesystem::path& Path() const { return path_; }

private:
    // "savedata" in any case, as the game's file lookup would find it.
    static bool IsSaveFolder(const std::string& name) {
        static constexpr char kSaves[] = "savedata";
        if (name.size() != sizeof kSaves - 1) return false;
        for (std::size_t i = 0; i < name.size(); ++i)
            if ((name[i] | 0x20) != kSaves[i]) return false;
        return true;
    }

    static bool Refuse(const char* tool, const std::string& reason) {
        std::fprintf(stderr, "%s: %s\n", tool, reason.c_str());
        return false;
    }

    // The links go, never what they lead to.
    void Remove() {
        if (path_.empty()) return;
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
        path_.clear();
    }

    std::filesystem::path path_;
};
