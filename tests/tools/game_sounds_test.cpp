// The game's own sounds, as the data set holds them, load into the framework
// and play: nine effects and six music tracks.
#include <gtest/gtest.h>

#include <string>

#include "assets.h"
#include "framework/framework_fixture.h"
#include "platform/backend.h"
#include "sound.h"
#include "sound/sound_data.h"

namespace {

class GameSounds : public FrameworkTest {};

TEST_F(GameSounds, EveryEffectAndTrackLoadsAndPlays) {
    std::vector<std::pair<std::string, std::vector<std::int16_t>>> sounds;
    for (std::string_view name : kSoundEffects) sounds.emplace_back(std::string(name), MakeEffect(std::string(name)));
    for (int t = 1; t <= 6; ++t) sounds.emplace_back("t" + std::to_string(t), MakeMusic(t));
    for (const auto& [name, samples] : sounds) {
        const auto wav = EncodeWav(samples);
        dir_.Write("se/" + name + ".wav", std::string(wav.begin(), wav.end()));
    }
    ASSERT_EQ(ApiInitFramework(), 0);
    for (const auto& [name, samples] : sounds) {
        SCOPED_TRACE(name);
        const int handle = ApiLoadSoundFile(("se\\" + name + ".wav").c_str(), 3, -1);
        ASSERT_NE(handle, -1);
        const SoundData* sound = LookupSound(handle);
        EXPECT_EQ(sound->bufferCount, 3);
        EXPECT_EQ(sound->pcmSize, static_cast<std::int64_t>(samples.size() * 2));
        EXPECT_EQ(sound->format.nSamplesPerSec, static_cast<DWORD>(kSampleRate));
        const bool music = name[0] == 't' && name[1] >= '1' && name[1] <= '6';
        EXPECT_EQ(ApiPlaySoundHandle(handle, music ? 3 : 1, 1), 0);
        EXPECT_EQ(ApiIsSoundPlaying(handle), 1);
        // Each is heard on its own (KELVO_AUDIO_CAPTURE keeps them all): an
        // effect to its end, a track for a while, then stopped.
        const double seconds = static_cast<double>(samples.size()) / kSampleRate;
        PlatformAdvanceVirtualClock(music ? 2'000'000 : static_cast<std::uint64_t>(seconds * 1e6) + 50'000);
        EXPECT_EQ(ApiIsSoundPlaying(handle), music ? 1 : 0);
        if (music) {
            EXPECT_EQ(ApiStopSoundHandle(handle), 0);
        }
    }
    EXPECT_EQ(g_SoundSystem.table.Count(), 15);
    EXPECT_EQ(ApiDeleteAllSounds(0), 0);
}

}  // namespace
