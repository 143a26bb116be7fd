// With a display (under xvfb-run) and SDL's dummy audio driver, the framework
// starts with sound on, and an effect and a MIDI piece play through the SDL
// device to their ends in real time. Skipped without a display.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include "kelvo/api.h"
#include "platform/backend.h"
#include "platform/dsound.h"
#include "platform/files.h"
#include "sound/midi.h"
#include "support/midi_bytes.h"
#include "support/no_progress.h"
#include "support/temp_dir.h"
#include "support/wave_bytes.h"
#include "window/window.h"

namespace {

TEST(SdlSound, StartsWithSoundOnAndPlaysAnEffect) {
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || *display == '\0') GTEST_SKIP() << "no display";
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    PlatformSelectBackend(PlatformBackend::Sdl);
    ApiSetLogEnabled(0);
    ApiSetAllowDoubleStart(1);
    ChangeWindowMode(1);
    ASSERT_EQ(ApiInitFramework(), 0);
    EXPECT_TRUE(PlatformAudioOutputOpen());
    EXPECT_GT(PlatformAudioOutputRate(), 0);

    TempDir dir;
    WaveSpec spec;
    const Bytes wave = MakeWave(spec, Samples16(Ramp(2205, 37)));  // 100 ms
    dir.Write("e.wav", std::string(wave.begin(), wave.end()));
    const std::string name = PlatformWindowsPath(dir.str() + "/e.wav");
    const int handle = ApiLoadSoundFile(name.c_str(), 3, -1);
    ASSERT_NE(handle, -1);
    EXPECT_EQ(ApiPlaySoundHandle(handle, 1, 1), 0);
    EXPECT_EQ(ApiIsSoundPlaying(handle), 1);
    // The device's own thread plays it out: at once on a quiet machine; the
    // limit only ends a test whose sound never ends.
    const Uint32 kPlayLimit = static_cast<Uint32>(NoProgressLimit().count());
    const Uint32 start = SDL_GetTicks();
    while (ApiIsSoundPlaying(handle) == 1 && SDL_GetTicks() - start < kPlayLimit) {
        ASSERT_EQ(ApiProcessMessage(), 0);
        SDL_Delay(5);
    }
    const Uint32 took = SDL_GetTicks() - start;
    EXPECT_EQ(ApiIsSoundPlaying(handle), 0);
    EXPECT_GE(took, 50u);
    std::printf("a 100 ms effect played out in %u ms of real time\n", took);
    EXPECT_EQ(ApiDeleteAllSounds(0), 0);

    // A MIDI note of a third of a second: the sequencer renders on the
    // device's thread and its end comes back as a window message.
    const Bytes midi = MakeMidiFile({{0, 72, 0.3}}, 0.35);
    const HandleId piece = LoadMidiImage(midi.data(), static_cast<std::int64_t>(midi.size()));
    ASSERT_NE(piece, -1);
    ASSERT_EQ(PlayMidiHandle(piece, 1), 0);
    const Uint32 midiStart = SDL_GetTicks();
    while (IsMidiHandlePlaying(piece) == 1 && SDL_GetTicks() - midiStart < kPlayLimit) {
        ASSERT_EQ(ApiProcessMessage(), 0);
        SDL_Delay(5);
    }
    const Uint32 midiTook = SDL_GetTicks() - midiStart;
    EXPECT_EQ(IsMidiHandlePlaying(piece), 0);
    EXPECT_GE(midiTook, 300u);
    std::printf("a MIDI piece of 0.35 s played out in %u ms of real time\n", midiTook);
    EXPECT_EQ(ReleaseMidiHandle(piece), 0);
    EXPECT_EQ(ApiEndFramework(), 0);
    EXPECT_FALSE(PlatformAudioOutputOpen());
    unsetenv("SDL_AUDIODRIVER");
}

}  // namespace
