// Points the framework's log at a fresh temporary start directory for one
// test, and reads back what reached the file and the debugger output.
#pragma once

#include <regex>
#include <string>

#include "core/log.h"
#include "core/system_state.h"
#include "platform/backend.h"
#include "platform/files.h"
#include "platform/kernel.h"
#include "support/temp_dir.h"

class LogCapture {
public:
    LogCapture() {
        PlatformSelectBackend(PlatformBackend::Headless);
        SystemState& s = g_SystemState;
        s.logOff = 0;
        s.externalWindow = 0;
        s.logDateStamp = 0;
        s.logNoTimePrefix = 0;
        s.logFileName[0] = '\0';
        std::string start = PlatformWindowsPath(dir_.str());
        start.copy(s.startDirectory, sizeof s.startDirectory - 1);
        s.startDirectory[start.size()] = '\0';
        InitLogFile();
        PlatformClearDebugOutput();
    }
    ~LogCapture() {
        g_SystemState.startDirectory[0] = '\0';
        g_SystemState.logFileName[0] = '\0';
        g_SystemState.logOff = 1;
        g_SystemState.logIndent = 0;
        g_SystemState.logMidLine = 0;
    }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    const TempDir& dir() const { return dir_; }
    std::string File() const { return dir_.Read("Log.txt"); }
    // The file with each line's "<milliseconds>:" prefix taken out.
    std::string FileWithoutTimes() const {
        static const std::regex prefix("(^|\n)[0-9]+:");
        return std::regex_replace(File(), prefix, "$1");
    }
    std::string Debug() const { return PlatformDebugOutput(); }

private:
    TempDir dir_;
};
