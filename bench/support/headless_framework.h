// For the benchmarks: the framework started headless at 640 x 480 x 16 full
// screen in a scratch folder of its own, drawing on the back screen, on the
// road asked for (software-only, or with the Direct3D stand-in offering its
// device), and ended with everything it set undone.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include "api/framework_init.h"
#include "core/system_state.h"
#include "graphics/d3d/direct3d.h"
#include "graphics/draw/draw_state.h"
#include "kelvo/api.h"
#include "platform/backend.h"
#include "platform/d3d.h"
#include "platform/display.h"
#include "platform/files.h"
#include "platform/kernel.h"
#include "platform/window.h"

class HeadlessFramework {
public:
    HeadlessFramework(const char* name, bool softwareOnly, bool direct3D) {
        PlatformSelectBackend(PlatformBackend::Headless);
        PlatformD3DReset();
        PlatformD3DKnobsRef().offerDevice = direct3D ? 1 : 0;
        PlatformResetWindows();
        PlatformSetHeadlessDesktop(1024, 768, 32);
        PlatformDisplayKnobsRef() = PlatformDisplayKnobs{};
        PlatformDisplayReset();
        folder_ = std::filesystem::temp_directory_path() / (std::string(name) + "_" + std::to_string(getpid()));
        std::filesystem::create_directories(folder_);
        SetCurrentDirectoryA(PlatformWindowsPath(folder_.string()).c_str());
        g_FrameworkSubsystems = DefaultFrameworkSubsystems();
        SetUseMessageThread(0);
        ApiSetLogEnabled(0);
        ApiSetAllowDoubleStart(1);
        g_SystemState.windowMode = 0;
        // The setting outlives the framework: each run asks for its road.
        SetUse3DFlag(softwareOnly ? 0 : 1);
        if (ApiInitFramework() != 0) std::abort();
        if (direct3D && !IsDirect3DUp()) std::abort();
        ApiSetVBlankWait(0);
        ApiSelectDrawTarget(kDrawTargetBack);
    }
    ~HeadlessFramework() {
        ApiEndFramework();
        PlatformD3DReset();
        SetUseMessageThread(1);
        PlatformResetWindows();
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    HeadlessFramework(const HeadlessFramework&) = delete;
    HeadlessFramework& operator=(const HeadlessFramework&) = delete;

private:
    std::filesystem::path folder_;
};
