// Points the framework's log at a fresh temporary start directory for one
// test, and reads back what reached the file and the debugger output.
#pragma once

#include <string>
#include <vector>

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
        std::size_t n = start.copy(s.startDirectory, sizeof s.startDirectory - 1);
        s.startDirectory[n] = '\0';
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
    std::string FileWithoutTimes() const { return StripTimes(File()); }
    // The times at the starts of the file's lines, -1 for a line without one.
    std::vector<long> Times() const {
        std::vector<long> times;
        std::string file = File();
        for (std::size_t at = 0; at < file.size();) {
            std::size_t digits = DigitsAt(file, at);
            times.push_back(digits > 0 && at + digits < file.size() && file[at + digits] == ':'
                                ? std::stol(file.substr(at, digits))
                                : -1);
            std::size_t end = file.find('\n', at);
            at = end == std::string::npos ? file.size() : end + 1;
        }
        return times;
    }
    std::string Debug() const { return PlatformDebugOutput(); }

    static std::string StripTimes(const std::string& text) {
        std::string out;
        bool lineStart = true;
        for (std::size_t i = 0; i < text.size();) {
            if (lineStart) {
                std::size_t digits = DigitsAt(text, i);
                if (digits > 0 && i + digits < text.size() && text[i + digits] == ':') i += digits + 1;
                lineStart = false;
                continue;
            }
            out += text[i];
            lineStart = text[i] == '\n';
            ++i;
        }
        return out;
    }

private:
    static std::size_t DigitsAt(const std::string& text, std::size_t at) {
        std::size_t n = 0;
        while (at + n < text.size() && text[at + n] >= '0' && text[at + n] <= '9') ++n;
        return n;
    }

    TempDir dir_;
};
