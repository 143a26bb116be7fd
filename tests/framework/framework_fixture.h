// Runs the framework on the headless backend in a fresh start directory,
// without the message thread unless a test asks for it, and puts everything
// back afterwards.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "api/framework_init.h"
#include "core/framework_lock.h"
#include "core/system_state.h"
#include "graphics/device/present.h"
#include "graphics/device/screen_device.h"
#include "graphics/draw/draw_state.h"
#include "graphics/image/color_format.h"
#include "kelvo/api.h"
#include "platform/backend.h"
#include "platform/files.h"
#include "platform/kernel.h"
#include "platform/window.h"
#include "support/temp_dir.h"
#include "window/window.h"

class FrameworkTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Settings a test changes (the screen's size, depth and colour
        // format, the window mode, the draw settings) outlive a framework
        // start: taken here, put back afterwards, so every test starts from
        // what the one before it found.
        saved_ = {g_SystemState, g_ScreenDevice, g_ScreenColorFormat, g_ScreenColorInfo, g_DrawState,
                  g_DrawTargetBinding};
        PlatformSelectBackend(PlatformBackend::Headless);
        PlatformResetWindows();
        PlatformSetHeadlessDesktop(1024, 768, 32);
        char previous[MAX_PATH];
        GetCurrentDirectoryA(MAX_PATH, previous);
        previousDirectory_ = previous;
        SetCurrentDirectoryA(PlatformWindowsPath(dir_.str()).c_str());
        g_FrameworkSubsystems = DefaultFrameworkSubsystems();
        SystemState& s = g_SystemState;
        s.windowMode = 0;
        s.allowDoubleStart = 0;
        s.windowTitle[0] = '\0';
        s.windowClassName[0] = '\0';
        s.windowScale = 0.0;
        s.logIndent = 0;
        s.logMidLine = 0;
        SetUseMessageThread(0);
        ApiSetLogEnabled(1);
    }

    void TearDown() override {
        if (g_SystemState.mainWindow != nullptr) ApiEndFramework();
        g_FrameworkSubsystems = DefaultFrameworkSubsystems();
        SetUseMessageThread(1);
        g_SystemState.logOff = 1;
        SetCurrentDirectoryA(previousDirectory_.c_str());
        PlatformResetWindows();
        g_SystemState = saved_.system;
        g_ScreenDevice = saved_.screen;
        g_ScreenColorFormat = saved_.colorFormat;
        g_ScreenColorInfo = saved_.colorInfo;
        g_DrawState = saved_.draw;
        g_DrawTargetBinding = saved_.binding;
    }

    std::string Log() const { return dir_.Read("Log.txt"); }

    // Lines of the log without their time prefix, in order.
    std::vector<std::string> LogLines() const {
        std::vector<std::string> lines;
        std::string text = Log();
        std::size_t start = 0;
        while (start < text.size()) {
            std::size_t end = text.find("\r\n", start);
            if (end == std::string::npos) end = text.size();
            std::string line = text.substr(start, end - start);
            std::size_t colon = line.find(':');
            if (colon != std::string::npos && colon < 12) line = line.substr(colon + 1);
            while (!line.empty() && line[0] == '\t') line.erase(0, 1);
            lines.push_back(line);
            start = end + 2;
        }
        return lines;
    }

    // Index of the first log line containing `text` at or after `from`; -1 if none.
    int FindLine(const std::string& text, int from = 0) const {
        auto lines = LogLines();
        for (int i = from; i < static_cast<int>(lines.size()); ++i)
            if (lines[i].find(text) != std::string::npos) return i;
        return -1;
    }

    TempDir dir_;
    std::string previousDirectory_;
    struct Saved {
        SystemState system;
        ScreenDeviceState screen;
        ColorFormatDesc colorFormat;
        ScreenColorInfo colorInfo;
        DrawState draw;
        DrawTargetBinding binding;
    } saved_{};
};
