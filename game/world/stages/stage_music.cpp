// The music of each stage: one track per region of the world, and the boss
// and dead-end stages on track 5.
#include "engine/handles.h"
#include "kelvo/api.h"
#include "rules/player_record.h"
#include "world/stages/stage_loader.h"

int StageMusicTrack(std::int8_t stageNumber) {
    int s = stageNumber;
    auto in = [s](int first, int last) { return s >= first && s <= last; };

    if (s == 10 || s == 15 || s == 32 || s == 47 || s == 61 || s == 80 || s == 82 || s == 83 || in(85, 89)) return 5;
    if (in(48, 60) || in(90, 99)) return 6;
    if (in(33, 46) || s == 81 || s == 100) return 4;
    if (in(20, 31) || in(62, 64) || s == 66 || s == 69 || s == 70 || s == 72 || in(74, 78)) return 3;
    if (in(2, 9) || in(11, 14) || in(16, 19) || s == 65 || s == 67 || s == 68 || s == 84) return 2;
    return 1;  // 1, 71, 73, 79, and every number no stage uses
}

void PlayStageMusic() {
    int track = g_MusicTable[StageMusicTrack(g_PlayerRecord.stage)];
    if (ApiIsSoundPlaying(track) == 1) return;

    // Entries 0 and 7 never hold music; stopping them is refused harmlessly.
    for (int entry = 0; entry < kMusicTableSize; ++entry) ApiStopSoundHandle(g_MusicTable[entry]);
    constexpr int kPlayLooped = 3;
    ApiPlaySoundHandle(track, kPlayLooped, 1);
}
