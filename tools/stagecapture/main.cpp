// Runs a stage of the data set headless in the game's own frame loop, so its
// frames can be captured and looked at:
//   stagecapture <data folder> [stage, default 2] [frames, default 300]
// With KELVO_CAPTURE=<folder> (and KELVO_CAPTURE_EVERY) the presented frames
// are written there as PNG; KELVO_INPUT plays a script of keys. The player is
// a new game's, with HP enough that no monster ends the run; nothing is saved.
#include <kelvo/api.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "field/game_loop.h"
#include "front/startup.h"
#include "rules/key_config.h"
#include "rules/player_record.h"
#include "rules/save_data.h"
#include "rules/sub_screen.h"
#include "world/stages/stage_loader.h"
#include "world/stages/stage_state.h"

namespace {

int Usage(std::FILE* to, int code) {
    std::fputs("usage: stagecapture <data folder> [stage 1-61, default 2] [frames, default 300]\n"
               "       stagecapture --help\n",
               to);
    return code;
}

// A whole decimal number from `low` to `high`, or -1.
long Number(const char* text, long low, long high) {
    char* end = nullptr;
    long value = std::strtol(text, &end, 10);
    return end != text && *end == '\0' && value >= low && value <= high ? value : -1;
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0) return Usage(stdout, 0);
        if (argv[i][0] == '-') {
            std::fprintf(stderr, "stagecapture: unknown option %s\n", argv[i]);
            return Usage(stderr, 2);
        }
    }
    const int stage = argc > 2 ? static_cast<int>(Number(argv[2], 1, kStageCount)) : 2;
    const int frames = argc > 3 ? static_cast<int>(Number(argv[3], 0, 100'000'000)) : 300;
    if (argc < 2 || argc > 4 || stage < 0 || frames < 0) return Usage(stderr, 2);
    std::error_code ec;
    std::filesystem::current_path(argv[1], ec);
    if (ec) {
        std::fprintf(stderr, "stagecapture: cannot enter %s: %s\n", argv[1], ec.message().c_str());
        return 1;
    }

    ApiSetAllowDoubleStart(1);
    ApiSetLogEnabled(0);
    if (ApiInitFramework() < 0) {
        std::fprintf(stderr, "stagecapture: the framework did not start\n");
        return 1;
    }
    LoadKeyConfig();
    ApplyKeyConfig();
    LoadStartupImages();
    ApiSelectDrawTarget(kDrawTargetBack);
    ApiSetVBlankWait(0);

    InitNewGame();
    g_PlayerRecord.hp = g_PlayerRecord.maxHp = 100000;
    g_PlayerRecord.arrivalCameraX = kCameraLeftBound;
    g_PlayerRecord.arrivalPlayerY = 100;
    g_PlayerRecord.arrivalScreenX = 240;
    g_PlayerRecord.stage = static_cast<std::int8_t>(stage);
    g_LoadedGameFlag = 1;
    StartGame();

    // A closed window (the end of a headless run) stops the loop before the
    // game's own quit path would save.
    for (int frame = 0; frame < frames && ApiProcessMessage() == 0; ++frame)
        if (RunGameFrame() == FrameResult::kQuitToTitle) break;
    std::printf("stage %d after %d frames; player HP %d\n", g_PlayerRecord.stage, frames, g_PlayerRecord.hp);
    ApiReleaseAllGraphs(0);
    ApiEndFramework();
    return 0;
}
