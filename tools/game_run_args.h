// The command line of the tools that run the game on a data folder
// (playthrough, timedemo):  <tool> <data folder> <file> [most frames]
#pragma once

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "platform/backend.h"
#include "play_folder.h"

// The files a run may be asked to write through its environment: named
// relative to where the tool was started, not to the play folder.
inline void AnchorOutputPaths() {
    for (const char* name : {"KELVO_CAPTURE", "KELVO_FRAME_HASHES", "KELVO_RECORD", "KELVO_AUDIO_CAPTURE"}) {
        const char* value = std::getenv(name);
        if (value == nullptr || *value == '\0') continue;
        std::error_code ec;
        const std::filesystem::path absolute = std::filesystem::absolute(value, ec);
        if (!ec) setenv(name, absolute.c_str(), 1);
    }
}

// Reads the command line: answers --help with `usage` on the output, refuses
// unknown options and missing arguments with it on the error stream, makes
// the file argument absolute and enters a play folder over the data folder
// (play_folder.h), so the run starts from the saves the data set ships.
// Returns the exit code when the tool is to end there, else -1.
inline int ReadGameRunArgs(const char* tool, const char* usage, int argc, char** argv,
                           std::filesystem::path& file, PlayFolder& folder) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0) return std::fputs(usage, stdout), 0;
        if (argv[i][0] == '-') {
            std::fprintf(stderr, "%s: unknown option %s\n", tool, argv[i]);
            return std::fputs(usage, stderr), 2;
        }
    }
    if (argc < 3) return std::fputs(usage, stderr), 2;
    file = std::filesystem::absolute(argv[2]);
    AnchorOutputPaths();
    return folder.Enter(tool, argv[1]) ? -1 : 1;
}

inline double WallSeconds() { return static_cast<double>(PlatformRealMicros()) / 1e6; }
