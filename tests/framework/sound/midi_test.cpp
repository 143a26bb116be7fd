// MIDI handles through the MCI sequencer on the headless output: a small
// file made here plays over its notes' time span and then falls silent; loop
// mode plays it again from the top on the end notification; stop, release,
// the current music, and DirectMusic mode falling back to MCI.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "framework/framework_fixture.h"
#include "platform/dsound.h"
#include "platform/mci.h"
#include "sound/midi.h"
#include "sound/sound.h"
#include "sound/sound_data.h"
#include "support/midi_bytes.h"

namespace {

class MidiTest : public FrameworkTest {
protected:
    void StartSound() {
        ASSERT_EQ(ApiInitFramework(), 0);
        PlatformStartAudioCapture();
        captureStart_ = PlatformAudioFramesRendered();
    }
    void TearDown() override {
        FrameworkTest::TearDown();
        g_SoundSystem.midiMode = kMidiModeMci;
    }

    static void RunFor(std::uint64_t ms) {
        for (std::uint64_t t = 0; t < ms; t += 17) {
            PlatformAdvanceVirtualClock(17'000);
            ApiProcessMessage();
        }
    }

    // The loudness of the output between two moments, in seconds from the
    // capture's start.
    double Loudness(double from, double to) const {
        const std::vector<std::int16_t> capture = PlatformAudioCapture();
        const auto begin = static_cast<std::size_t>(from * 44100) * 2;
        const auto end = std::min(capture.size(), static_cast<std::size_t>(to * 44100) * 2);
        double sum = 0;
        for (std::size_t i = begin; i < end; ++i) sum += static_cast<double>(capture[i]) * capture[i];
        return end > begin ? std::sqrt(sum / static_cast<double>(end - begin)) : 0;
    }

    std::uint64_t captureStart_ = 0;
};

TEST_F(MidiTest, ASmallFilePlaysOverItsNotesAndIsSilentAfter) {
    StartSound();
    // Two notes of half a second each, then the end of the track at 1 s.
    const Bytes file = MakeMidiFile({{0, 60, 0.5}, {0.5, 64, 0.5}}, 1.0);
    const HandleId h = LoadMidiImage(file.data(), static_cast<std::int64_t>(file.size()));
    ASSERT_NE(h, -1);
    EXPECT_EQ(static_cast<std::uint32_t>(h) & 0x78000000u, 0x58000000u);
    ASSERT_EQ(PlayMidiHandle(h, 1), 0);
    EXPECT_EQ(IsMidiHandlePlaying(h), 1);
    EXPECT_EQ(PlatformMciDeviceCount(), 1);
    RunFor(4000);
    for (double t = 0.05; t < 0.95; t += 0.1) EXPECT_GT(Loudness(t, t + 0.05), 100.0) << "at " << t << " s";
    EXPECT_EQ(Loudness(2.5, 4.0), 0.0) << "silence once the notes have died away";
    EXPECT_EQ(IsMidiHandlePlaying(h), 0) << "the end notification closed the device";
    EXPECT_EQ(PlatformMciDeviceCount(), 0);
    EXPECT_EQ(ReleaseMidiHandle(h), 0);
    EXPECT_EQ(IsMidiHandlePlaying(h), -1);
}

TEST_F(MidiTest, LoopModePlaysAgainFromTheTopOnTheNotification) {
    StartSound();
    const Bytes file = MakeMidiFile({{0, 67, 0.3}}, 1.0);
    const HandleId h = LoadMidiImage(file.data(), static_cast<std::int64_t>(file.size()));
    ASSERT_EQ(PlayMidiHandle(h, 3), 0);
    RunFor(3500);
    // The note sounds at the start of every pass through the file.
    for (double pass : {0.0, 1.0, 2.0, 3.0}) {
        EXPECT_GT(Loudness(pass + 0.05, pass + 0.25), 100.0) << "pass at " << pass;
        EXPECT_LT(Loudness(pass + 0.75, pass + 0.95), Loudness(pass + 0.05, pass + 0.25) / 4) << "between passes";
    }
    EXPECT_EQ(IsMidiHandlePlaying(h), 1);
    EXPECT_EQ(StopMidiHandle(h), 0);
    EXPECT_EQ(IsMidiHandlePlaying(h), 0);
    EXPECT_EQ(PlatformMciDeviceCount(), 0);
    EXPECT_EQ(g_MidiSystem.temporaryFile, 0) << "the temporary file is deleted";
}

TEST_F(MidiTest, TheEndOfTheFrameworkEndsTheCurrentMusic) {
    StartSound();
    const Bytes file = MakeMidiFile({{0, 60, 5.0}}, 5.0);
    const HandleId h = LoadMidiImage(file.data(), static_cast<std::int64_t>(file.size()));
    ASSERT_EQ(PlayMidiHandle(h, 3), 0);
    EXPECT_EQ(g_MidiSystem.currentMusic, h);
    RunFor(200);
    ASSERT_EQ(ApiEndFramework(), 0);
    EXPECT_EQ(g_MidiSystem.currentMusic, -1);
    EXPECT_EQ(g_MidiSystem.table.Count(), 0);
    EXPECT_EQ(PlatformMciDeviceCount(), 0);
}

// What other players play: a stray byte (or a tag) after the last track,
// and a standard MIDI file inside a RIFF "RMID" wrapper. Each loads, keeps
// the music alone and plays as the plain file does.
TEST_F(MidiTest, ATrailingByteAndAnRmidWrapperPlay) {
    StartSound();
    const Bytes plain = MakeMidiFile({{0, 60, 0.4}}, 0.5);
    Bytes oneByte = plain;
    oneByte.push_back(0);
    Bytes tagged = plain;
    tagged.insert(tagged.end(), {'T', 'A', 'G', 1, 2, 3, 4, 5, 6, 7, 8, 9});
    const Bytes rmid = RmidFileOf(plain);
    const Bytes rmidOdd = RmidFileOf(oneByte);  // an odd data chunk, padded
    for (const Bytes* file : std::initializer_list<const Bytes*>{&oneByte, &tagged, &rmid, &rmidOdd}) {
        SCOPED_TRACE(file->size());
        const HandleId h = LoadMidiImage(file->data(), static_cast<std::int64_t>(file->size()));
        ASSERT_NE(h, -1);
        const MidiRecord* record = g_MidiSystem.table.Lookup(h);
        const std::size_t kept = file == &rmid ? plain.size() : file == &rmidOdd ? oneByte.size() : file->size();
        ASSERT_EQ(record->size, static_cast<std::int64_t>(kept));
        EXPECT_EQ(std::memcmp(record->data, file == &rmid ? plain.data() : file == &rmidOdd ? oneByte.data() : file->data(),
                              kept),
                  0);
        PlatformStartAudioCapture();
        ASSERT_EQ(PlayMidiHandle(h, 1), 0);
        RunFor(1500);
        EXPECT_GT(Loudness(0.05, 0.35), 100.0);
        EXPECT_EQ(IsMidiHandlePlaying(h), 0) << "played to its end";
        EXPECT_EQ(ReleaseMidiHandle(h), 0);
    }
    // The sequencer takes the wrapped file too, as the device does.
    dir_.Write("song.rmi", std::string(rmid.begin(), rmid.end()));
    const HandleId fromFile = LoadMidiFile("song.rmi");
    EXPECT_NE(fromFile, -1);
    EXPECT_EQ(ReleaseMidiHandle(fromFile), 0);
}

TEST_F(MidiTest, HandlesOfBadDataAndBadHandlesAreRefused) {
    StartSound();
    const Bytes good = MakeMidiFile({{0, 60, 0.1}}, 0.2);
    Bytes truncated(good.begin(), good.end() - 3);
    Bytes noTrack(good.begin(), good.begin() + 14);
    EXPECT_EQ(LoadMidiImage(truncated.data(), static_cast<std::int64_t>(truncated.size())), -1);
    EXPECT_EQ(LoadMidiImage(noTrack.data(), 14), -1);
    EXPECT_EQ(LoadMidiImage("RIFF", 4), -1);
    // Wrapped: no data chunk, a data chunk past the end, a damaged file inside.
    Bytes noData = RmidFileOf(good);
    std::memcpy(noData.data() + 36, "junk", 4);  // after RIFF, RMID and a 16-byte LIST
    Bytes dataPastEnd = RmidFileOf(good);
    dataPastEnd[43] = 0x7F;
    const Bytes wrappedTruncated = RmidFileOf(truncated);
    for (const Bytes* file : std::initializer_list<const Bytes*>{&noData, &dataPastEnd, &wrappedTruncated})
        EXPECT_EQ(LoadMidiImage(file->data(), static_cast<std::int64_t>(file->size())), -1) << file->size();
    // More tracks counted than the file holds.
    Bytes twoTracks = good;
    twoTracks[11] = 2;
    EXPECT_EQ(LoadMidiImage(twoTracks.data(), static_cast<std::int64_t>(twoTracks.size())), -1);
    EXPECT_NE(FindLine("MIDI データではありません in LoadMidiImage"), -1);
    EXPECT_EQ(LoadMidiFile("missing.mid"), -1);
    // Chunks that hold together but events that do not: the sequencer refuses.
    Bytes badEvents = good;
    badEvents[30] = 0xF4;  // the program change becomes a system message no file holds
    const HandleId bad = LoadMidiImage(badEvents.data(), static_cast<std::int64_t>(badEvents.size()));
    ASSERT_NE(bad, -1);
    EXPECT_EQ(PlayMidiHandle(bad, 1), -1);
    EXPECT_EQ(PlatformMciDeviceCount(), 0);
    EXPECT_EQ(IsMidiHandlePlaying(0x58000000 | 77), -1);
    EXPECT_EQ(StopMidiHandle(0x10000000), -1);
    // Slots: the highest moves down as the last handles go.
    const HandleId a = LoadMidiImage(good.data(), static_cast<std::int64_t>(good.size()));
    const HandleId b = LoadMidiImage(good.data(), static_cast<std::int64_t>(good.size()));
    EXPECT_EQ(g_MidiSystem.table.UsedEnd(), 3);
    ReleaseMidiHandle(b);
    ReleaseMidiHandle(a);
    EXPECT_EQ(g_MidiSystem.table.UsedEnd(), 1);
    EXPECT_EQ(ReleaseAllMidiHandles(), 0);
    EXPECT_EQ(g_MidiSystem.table.Count(), 0);
}

TEST_F(MidiTest, DirectMusicModeFallsBackToMci) {
    g_SoundSystem.midiMode = kMidiModeDirectMusic;
    StartSound();
    EXPECT_NE(FindLine("DirectSound8 の初期化を行います"), -1);
    EXPECT_NE(FindLine("DirectMusicLoader8 オブジェクトの作成に失敗しました"), -1);
    EXPECT_NE(FindLine("前バージョンでの初期化処理に移ります"), -1);
    EXPECT_EQ(g_SoundSystem.midiMode, kMidiModeMci);
    EXPECT_NE(g_SoundSystem.directSound, nullptr);
    const Bytes file = MakeMidiFile({{0, 60, 0.2}}, 0.3);
    const HandleId h = LoadMidiImage(file.data(), static_cast<std::int64_t>(file.size()));
    EXPECT_EQ(PlayMidiHandle(h, 1), 0);
}

}  // namespace
