// The framework started headless inside a temporary folder that holds a
// freshly generated data set, as the game finds its files beside it.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "kelvo/api.h"
#include "platform/backend.h"
#include "platform/files.h"
#include "platform/kernel.h"
#include "platform/window.h"
#include "support/temp_dir.h"

class GeneratedGameFolder {
public:
    // Writes the data set, enters its folder and starts the framework
    // headless with the log off. Call with ASSERT_NO_FATAL_FAILURE.
    void Start() {
        const std::string tool = std::string(KELVO_DATAGEN_PATH) + " " + data_.str() + " >/dev/null";
        ASSERT_EQ(std::system(tool.c_str()), 0);
        PlatformSelectBackend(PlatformBackend::Headless);
        PlatformResetWindows();
        char previous[MAX_PATH];
        GetCurrentDirectoryA(MAX_PATH, previous);
        previous_ = previous;
        SetCurrentDirectoryA(PlatformWindowsPath(data_.str()).c_str());
        ApiSetLogEnabled(0);
        ApiSetAllowDoubleStart(1);
        ASSERT_EQ(ApiInitFramework(), 0);
        ApiSetVBlankWait(0);
    }

    // Ends the framework and goes back to the folder the test started in.
    void End() {
        ApiEndFramework();
        if (!previous_.empty()) SetCurrentDirectoryA(previous_.c_str());
        PlatformResetWindows();
    }

    const TempDir& data() const { return data_; }

private:
    TempDir data_;
    std::string previous_;
};
