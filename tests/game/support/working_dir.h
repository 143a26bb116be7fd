// Runs a test inside a fresh temporary folder: the game reads and writes its
// save folder relative to the current directory, as it does beside its
// executable.
#pragma once

#include <filesystem>

#include "support/temp_dir.h"

class ScopedWorkingDir {
public:
    ScopedWorkingDir() : previous_(std::filesystem::current_path()) { std::filesystem::current_path(dir_.path()); }
    ~ScopedWorkingDir() { std::filesystem::current_path(previous_); }
    ScopedWorkingDir(const ScopedWorkingDir&) = delete;
    ScopedWorkingDir& operator=(const ScopedWorkingDir&) = delete;

    const TempDir& dir() const { return dir_; }

private:
    TempDir dir_;
    std::filesystem::path previous_;
};
