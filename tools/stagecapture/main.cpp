// Runs a stage of the data set headless for a number of frames with the
// monster routines, so its frames can be captured and looked at:
//   stagecapture <data folder> [stage, default 2] [frames, default 300]
// With KELVO_CAPTURE=<folder> (and KELVO_CAPTURE_EVERY) the presented frames
// are written there as PNG. The last line gives digests of the save record
// the player would be saved as and of the monsters' state, so that runs on
// different drawing roads can be compared.
#include <kelvo/api.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "field_harness.h"
#include "flow/player_record.h"
#include "flow/save_data.h"
#include "world/monster_record.h"
#include "world/stage_loader.h"
#include "world/stage_state.h"

namespace {

std::uint64_t Digest(const void* data, std::size_t size) {
    std::uint64_t h = 1469598103934665603ull;
    for (std::size_t i = 0; i < size; ++i) h = (h ^ static_cast<const std::uint8_t*>(data)[i]) * 1099511628211ull;
    return h;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: stagecapture <data folder> [stage] [frames]\n");
        return 2;
    }
    std::error_code ec;
    std::filesystem::current_path(argv[1], ec);
    if (ec) {
        std::fprintf(stderr, "stagecapture: cannot enter %s: %s\n", argv[1], ec.message().c_str());
        return 1;
    }
    const int stage = argc > 2 ? std::atoi(argv[2]) : 2;
    const int frames = argc > 3 ? std::atoi(argv[3]) : 300;

    ApiSetAllowDoubleStart(1);
    ApiSetLogEnabled(0);
    if (ApiInitFramework() < 0) {
        std::fprintf(stderr, "stagecapture: the framework did not start\n");
        return 1;
    }
    ApiSelectDrawTarget(kDrawTargetBack);
    ApiSetVBlankWait(0);
    if (LoadMonsterImages() < 0) std::fprintf(stderr, "stagecapture: some monster images are missing\n");

    g_PlayerRecord.arrivalCameraX = kCameraLeftBound;
    g_PlayerRecord.arrivalPlayerY = 100;
    g_PlayerRecord.arrivalScreenX = 240;
    g_PlayerRecord.level = 1;
    g_PlayerRecord.hp = g_PlayerRecord.maxHp = 100000;
    LoadStage(stage);
    StandPlayer(240.0f, 100.0f);

    for (int frame = 0; frame < frames && ApiProcessMessage() == 0; ++frame) {
        RunFieldFrame(60);
        ApiPresentScreen();
    }
    std::printf("stage %d after %d frames; player HP %d\n", stage, frames, g_PlayerRecord.hp);
    std::uint8_t save[kSaveRecordSize];
    EncodeSaveRecord(g_PlayerRecord, save);
    std::printf("save record %016llx, monsters %016llx\n", static_cast<unsigned long long>(Digest(save, sizeof save)),
                static_cast<unsigned long long>(Digest(g_MonsterPools, sizeof g_MonsterPools)));
    ApiEndFramework();
    return 0;
}
