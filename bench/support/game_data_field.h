// For the game's benchmarks: the framework started headless beside the data
// set the build writes next to the benchmark programs, with every image the
// game loads at start-up, and the stage that places the most monsters.
#pragma once

#include <kelvo/api.h>

#include <cstdlib>
#include <filesystem>
#include <map>

#include "front/startup.h"
#include "platform/backend.h"
#include "world/stages/stage_monster_counts.h"

// False when no data set lies beside the program or the framework does not start.
inline bool StartGameBesideItsData() {
    std::error_code ec;
    std::filesystem::current_path(std::filesystem::read_symlink("/proc/self/exe", ec).parent_path(), ec);
    if (!std::filesystem::exists("rukbmp")) return false;
    PlatformSelectBackend(PlatformBackend::Headless);
    ApiSetAllowDoubleStart(1);
    ApiSetLogEnabled(0);
    if (ApiInitFramework() < 0) return false;
    // Ended before the program's own objects go: its message thread runs
    // until then and reads the window table, which goes with them.
    std::atexit([] { ApiEndFramework(); });
    LoadStartupImages();
    ApiSelectDrawTarget(kDrawTargetBack);
    ApiSetVBlankWait(0);
    return true;
}

inline int BusiestStage() {
    std::map<int, int> placed;
    for (const StageMonsterCount& c : kStageMonsterCounts) placed[c.stage] += c.count;
    int best = 0;
    for (auto [stage, count] : placed)
        if (best == 0 || count > placed[best]) best = stage;
    return best;
}
