// The command line of the tools that run the game on a data folder
// (playthrough, timedemo):  <tool> <data folder> <file> [most frames]
#pragma once

#include <cstdio>
#include <cstring>
#include <filesystem>

#include "platform/backend.h"

// Reads the command line: answers --help with `usage` on the output, refuses
// unknown options and missing arguments with it on the error stream, makes
// the file argument absolute and enters the data folder. Returns the exit
// code when the tool is to end there, else -1.
inline int ReadGameRunArgs(const char* tool, const char* usage, int argc, char** argv,
                           std::filesystem::path& file) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0) return std::fputs(usage, stdout), 0;
        if (argv[i][0] == '-') {
            std::fprintf(stderr, "%s: unknown option %s\n", tool, argv[i]);
            return std::fputs(usage, stderr), 2;
        }
    }
    if (argc < 3) return std::fputs(usage, stderr), 2;
    file = std::filesystem::absolute(argv[2]);
    std::error_code ec;
    std::filesystem::current_path(argv[1], ec);
    if (ec) {
        std::fprintf(stderr, "%s: cannot enter %s: %s\n", tool, argv[1], ec.message().c_str());
        return 1;
    }
    return -1;
}

inline double WallSeconds() { return static_cast<double>(PlatformRealMicros()) / 1e6; }
