// Stream sounds on the headless output: what the ring plays, pass by pass of
// message processing on the virtual clock, compared sample by sample with
// the data; entries, repeats, loop points, sharing, stop and resume, a
// stalled refill, and the silence behind the end.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "framework/framework_fixture.h"
#include "platform/dsound.h"
#include "sound/sound.h"
#include "sound/sound_data.h"
#include "sound/stream_sound.h"
#include "support/wave_bytes.h"

namespace {

// Stereo 16-bit frames at the output's rate: the capture holds them as they are.
constexpr std::uint32_t kRate = 44100;

std::vector<std::int16_t> Frames(std::size_t frames, int seed) {
    std::vector<std::int16_t> out(frames * 2);
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<std::int16_t>(static_cast<std::uint16_t>(seed * 1000 + i * 7 + (i & 1) * 3000));
    return out;
}

Bytes StereoWave(const std::vector<std::int16_t>& samples) {
    WaveSpec spec;
    spec.channels = 2;
    spec.rate = kRate;
    return MakeWave(spec, Samples16(samples));
}

class StreamSoundTest : public FrameworkTest {
protected:
    void SetUp() override {
        FrameworkTest::SetUp();
        ASSERT_EQ(ApiInitFramework(), 0);
        PlatformStartAudioCapture();
        captureStart_ = Now();
    }

    static std::size_t Now() { return static_cast<std::size_t>(PlatformAudioFramesRendered()); }

    // A stream sound of the given entries (each a WAV image), data kind 2.
    static HandleId MakeStream(const std::vector<std::pair<Bytes, int>>& entries, int kind = kStreamDataCopied,
                               HandleId shareWith = -1) {
        const HandleId h = AddSoundData(-1);
        for (const auto& [image, loops] : entries)
            EXPECT_EQ(LoadStreamSoundMemory(image.data(), static_cast<std::int64_t>(image.size()), loops, h, kind,
                                            shareWith),
                      0);
        return h;
    }

    // Runs the program's passes: 17 ms of virtual time, then message processing.
    static void RunFor(std::uint64_t ms) {
        for (std::uint64_t t = 0; t < ms; t += 17) {
            PlatformAdvanceVirtualClock(17'000);
            ApiProcessMessage();
        }
    }

    // Stereo frames heard from output frame `from` on.
    std::vector<std::int16_t> Heard(std::size_t from, std::size_t frames) const {
        const std::vector<std::int16_t> capture = PlatformAudioCapture();
        const std::size_t begin = (from - captureStart_) * 2;
        if (from < captureStart_ || begin >= capture.size()) return {};
        const std::size_t end = std::min(capture.size(), begin + frames * 2);
        return {capture.begin() + static_cast<std::ptrdiff_t>(begin), capture.begin() + static_cast<std::ptrdiff_t>(end)};
    }

    std::size_t captureStart_ = 0;
};

std::vector<std::int16_t> Concat(std::initializer_list<std::vector<std::int16_t>> parts) {
    std::vector<std::int16_t> out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

std::vector<std::int16_t> Slice(const std::vector<std::int16_t>& v, std::size_t fromFrame, std::size_t frames) {
    return {v.begin() + static_cast<std::ptrdiff_t>(fromFrame * 2),
            v.begin() + static_cast<std::ptrdiff_t>((fromFrame + frames) * 2)};
}

TEST_F(StreamSoundTest, AWaveLongerThanTheRingPlaysSampleBySampleThenStopsBehindSilence) {
    const std::vector<std::int16_t> data = Frames(kRate * 8, 1);  // 8 s against a ring of 6
    const HandleId h = MakeStream({{StereoWave(data), 0}});
    const std::size_t start = Now();
    ASSERT_EQ(ApiPlaySoundHandle(h, 1, 1), 0);
    RunFor(9000);
    const std::vector<std::int16_t> heard = Heard(start, kRate * 8 + 4410);
    ASSERT_EQ(heard.size(), (kRate * 8 + 4410) * 2);
    EXPECT_EQ(Slice(heard, 0, kRate * 8), data);
    EXPECT_EQ(Slice(heard, kRate * 8, 4410), std::vector<std::int16_t>(4410 * 2, 0)) << "silence behind the end";
    EXPECT_EQ(ApiIsSoundPlaying(h), 0) << "stopped by itself";
}

TEST_F(StreamSoundTest, AnOggEntryRepeatedPlaysLikeItsWholeDecode) {
    // The decode of the whole file, as the converter gives it.
    const Bytes ogg = LoadSoundFixture("stream44.ogg");
    const std::vector<std::int16_t> whole = WaveSamples(LoadSoundFixture("stream44.sox.wav"));
    ASSERT_FALSE(whole.empty());
    const HandleId h = MakeStream({{ogg, 6}});  // seven plays, longer than the ring
    const std::size_t start = Now();
    ASSERT_EQ(ApiPlaySoundHandle(h, 1, 1), 0);
    RunFor(static_cast<std::uint64_t>(whole.size() / 2 * 7 * 1000 / kRate) + 500);
    const std::size_t frames = whole.size() / 2;
    const std::vector<std::int16_t> heard = Heard(start, frames * 7);
    ASSERT_EQ(heard.size(), frames * 7 * 2);
    for (int pass = 0; pass < 7; ++pass) EXPECT_EQ(Slice(heard, frames * pass, frames), whole) << "pass " << pass;
}

TEST_F(StreamSoundTest, RepeatCountsAndTheLoopStartSample) {
    const std::vector<std::int16_t> a = Frames(10000, 2);
    const std::vector<std::int16_t> b = Frames(7000, 3);
    const std::vector<std::int16_t> c = Frames(5000, 4);
    // 1: twice; 200 counts as a negative byte: once; 0: once.
    const HandleId h = MakeStream({{StereoWave(a), 1}, {StereoWave(b), 200}, {StereoWave(c), 0}});
    // Repeats of the first entry start at its loop-start sample.
    LookupSound(h)->stream.entries[0].loopStartSample = 1234;
    const std::size_t start = Now();
    ASSERT_EQ(ApiPlaySoundHandle(h, 1, 1), 0);
    RunFor(1500);
    const auto expected = Concat({a, Slice(a, 1234, 10000 - 1234), b, c});
    EXPECT_EQ(Heard(start, expected.size() / 2), expected);
    EXPECT_EQ(ApiIsSoundPlaying(h), 0);
}

TEST_F(StreamSoundTest, LoopPlayWrapsTheListAndForeverRepeatsTheEntry) {
    const std::vector<std::int16_t> a = Frames(3000, 5);
    const std::vector<std::int16_t> b = Frames(2000, 6);
    const HandleId list = MakeStream({{StereoWave(a), 0}, {StereoWave(b), 0}});
    const std::size_t start = Now();
    ASSERT_EQ(ApiPlaySoundHandle(list, 3, 1), 0);
    RunFor(500);
    const auto round = Concat({a, b});
    const auto heard = Heard(start, 15000 * 2 / 2);
    for (std::size_t i = 0; i < heard.size(); ++i) ASSERT_EQ(heard[i], round[i % round.size()]) << i;
    EXPECT_EQ(ApiIsSoundPlaying(list), 1);
    ApiStopSoundHandle(list);

    const HandleId forever = MakeStream({{StereoWave(a), 255}, {StereoWave(b), 0}});
    const std::size_t again = Now();
    ASSERT_EQ(ApiPlaySoundHandle(forever, 1, 1), 0);
    RunFor(500);
    const auto repeated = Heard(again, 15000);
    for (std::size_t i = 0; i < repeated.size(); ++i) ASSERT_EQ(repeated[i], a[i % a.size()]) << i;
}

TEST_F(StreamSoundTest, EntriesWithNoDataEndTheSoundInsteadOfLoopingForEver) {
    const Bytes empty = StereoWave({});
    const HandleId forever = MakeStream({{empty, 255}});
    ASSERT_EQ(ApiPlaySoundHandle(forever, 1, 1), 0);
    RunFor(300);
    EXPECT_EQ(ApiIsSoundPlaying(forever), 0);
    const HandleId looped = MakeStream({{empty, 0}, {empty, 3}});
    ASSERT_EQ(ApiPlaySoundHandle(looped, 3, 1), 0);
    RunFor(300);
    EXPECT_EQ(ApiIsSoundPlaying(looped), 0);
    // A loop start past the end of the data gives nothing on the repeats.
    const HandleId past = MakeStream({{StereoWave(Frames(100, 1)), 255}});
    LookupSound(past)->stream.entries[0].loopStartSample = 5000;
    ASSERT_EQ(ApiPlaySoundHandle(past, 1, 1), 0);
    RunFor(300);
    EXPECT_EQ(ApiIsSoundPlaying(past), 0);
}

TEST_F(StreamSoundTest, StopThenPlayWithoutRestartResumesFromTheRing) {
    const std::vector<std::int16_t> data = Frames(kRate * 3, 7);
    const HandleId h = MakeStream({{StereoWave(data), 0}});
    const std::size_t start = Now();
    ApiPlaySoundHandle(h, 1, 1);
    RunFor(1000);
    ApiStopSoundHandle(h);
    const std::size_t stopped = Now();
    RunFor(500);
    EXPECT_EQ(ApiIsSoundPlaying(h), 0);
    const std::size_t resumed = Now();
    ApiPlaySoundHandle(h, 1, 0);
    RunFor(2500);
    const std::size_t played = stopped - start;
    EXPECT_EQ(Heard(start, played), Slice(data, 0, played));
    EXPECT_EQ(Heard(stopped, resumed - stopped), std::vector<std::int16_t>((resumed - stopped) * 2, 0));
    EXPECT_EQ(Heard(resumed, kRate * 3 - played), Slice(data, played, kRate * 3 - played));
}

TEST_F(StreamSoundTest, AStallOfFiveSecondsRecovers) {
    const std::vector<std::int16_t> data = Frames(kRate * 16, 8);
    const HandleId h = MakeStream({{StereoWave(data), 0}});
    const std::size_t start = Now();
    ApiPlaySoundHandle(h, 1, 1);
    RunFor(2000);
    const std::int64_t writtenBefore = LookupSound(h)->stream.bytesWritten;
    // No refill for five seconds: the ring plays on, around and again.
    PlatformAdvanceVirtualClock(5'000'000);
    RunFor(3000);
    EXPECT_GT(LookupSound(h)->stream.bytesWritten, writtenBefore) << "the refill goes on";
    RunFor(20000);
    EXPECT_EQ(ApiIsSoundPlaying(h), 0) << "and the sound still ends";
    // Everything that was written is heard in order after the stall: the
    // data goes on where it had stopped.
    const std::vector<std::int16_t> heard = Heard(start, kRate * 40);
    const std::size_t resumeFrame = static_cast<std::size_t>(writtenBefore / 4);
    const std::vector<std::int16_t> next = Slice(data, resumeFrame, 4410);
    const auto found = std::search(heard.begin() + kRate * 7 * 2, heard.end(), next.begin(), next.end());
    ASSERT_NE(found, heard.end()) << "the data after the stall is heard";
    const std::size_t at = static_cast<std::size_t>(found - heard.begin()) / 2;
    const std::size_t rest = kRate * 16 - resumeFrame;
    EXPECT_EQ(Slice(heard, at, rest), Slice(data, resumeFrame, rest));
}

TEST_F(StreamSoundTest, DataEndingInsideAFillLeavesSilenceNotAnEarlierPlay) {
    // A long sound fills the ring; a short one on the same ring ends inside
    // its first fill. Nothing runs for three seconds after its end.
    const std::vector<std::int16_t> longData = Frames(kRate * 5, 9);
    const std::vector<std::int16_t> shortData = Frames(kRate / 2, 10);
    const HandleId owner = MakeStream({{StereoWave(longData), 0}});
    const HandleId sharer = MakeStream({{StereoWave(shortData), 0}}, kStreamDataCopied, owner);
    EXPECT_EQ(LookupSound(sharer)->stream.sharedBuffer, owner);
    ApiPlaySoundHandle(owner, 1, 1);
    RunFor(4000);
    const std::size_t start = Now();
    ApiPlaySoundHandle(sharer, 1, 1);
    EXPECT_EQ(ApiIsSoundPlaying(owner), 0) << "starting the sharer halted the owner";
    PlatformAdvanceVirtualClock(3'500'000);
    const auto heard = Heard(start, kRate * 3);
    EXPECT_EQ(Slice(heard, 0, kRate / 2), shortData);
    EXPECT_EQ(Slice(heard, kRate / 2, kRate * 5 / 2), std::vector<std::int16_t>(kRate * 5, 0));
    RunFor(100);
    EXPECT_EQ(ApiIsSoundPlaying(sharer), 0);
}

TEST_F(StreamSoundTest, EntriesAreRefusedWhenFullPlayingOrOfAnotherFormat) {
    const Bytes a = StereoWave(Frames(4410, 1));
    const HandleId h = MakeStream({{a, 0}, {a, 0}, {a, 0}});
    EXPECT_EQ(LoadStreamSoundMemory(a.data(), static_cast<std::int64_t>(a.size()), 0, h, 2, -1), -1);
    EXPECT_NE(FindLine("ストリーム風サウンドの制御データ領域がいっぱいです"), -1);
    const HandleId playing = MakeStream({{a, 255}});
    ApiPlaySoundHandle(playing, 1, 1);
    EXPECT_EQ(LoadStreamSoundMemory(a.data(), static_cast<std::int64_t>(a.size()), 0, playing, 2, -1), -1);
    EXPECT_NE(FindLine("既に再生中のストリームサウンドデータにデータを追加しようとしました"), -1);
    WaveSpec mono;
    mono.rate = kRate;
    const Bytes other = MakeWave(mono, Samples16(Ramp(100)));
    const HandleId mixed = MakeStream({{a, 0}});
    EXPECT_EQ(LoadStreamSoundMemory(other.data(), static_cast<std::int64_t>(other.size()), 0, mixed, 2, -1), -1);
    EXPECT_NE(FindLine("フォーマットの違う音声データは同時に使うことは出来ません"), -1);
    EXPECT_EQ(LookupSound(mixed)->stream.entryCount, 1);
    // A whole sound is no stream sound.
    dir_.Write("w.wav", std::string(a.begin(), a.end()));
    const HandleId whole = ApiLoadSoundFile("w.wav", 1, -1);
    EXPECT_EQ(LoadStreamSoundMemory(a.data(), static_cast<std::int64_t>(a.size()), 0, whole, 2, -1), -1);
    EXPECT_NE(FindLine("ストリーム風サウンドではないサウンドデータが渡されました in AddSreamSound"), -1);
    const int count = g_SoundSystem.table.Count();
    const Bytes damaged(a.begin(), a.begin() + 30);
    const HandleId fresh = AddSoundData(-1);
    EXPECT_EQ(LoadStreamSoundMemory(damaged.data(), 30, 0, fresh, 2, -1), -1);
    EXPECT_EQ(LoadStreamSoundMemory(damaged.data(), 30, 0, fresh, 1, -1), -1) << "kind 1 sets up no source";
    EXPECT_EQ(g_SoundSystem.table.Count(), count + 1);
}

TEST_F(StreamSoundTest, ADeleteWaitsForTheSoundsThatShareItsRing) {
    const Bytes a = StereoWave(Frames(4410, 1));
    const HandleId owner = MakeStream({{a, 0}});
    const HandleId sharer = MakeStream({{a, 0}}, kStreamDataCopied, owner);
    EXPECT_EQ(LookupSound(owner)->stream.sharerCount, 1);
    EXPECT_EQ(DeleteSoundHandle(owner, 0), 0);
    ASSERT_NE(LookupSound(owner), nullptr) << "kept while shared";
    EXPECT_EQ(LookupSound(owner)->stream.deletePending, 1);
    EXPECT_EQ(ApiPlaySoundHandle(sharer, 1, 1), 0) << "the sharer still plays through it";
    EXPECT_EQ(DeleteSoundHandle(sharer, 0), 0);
    EXPECT_EQ(LookupSound(sharer), nullptr);
    EXPECT_EQ(LookupSound(owner), nullptr) << "gone with its last sharer";
    EXPECT_EQ(g_SoundSystem.streamHead.next, &g_SoundSystem.streamTail);
}

TEST_F(StreamSoundTest, AFileStreamedDirectlyAndTheStreamSettingOfLoadSoundFile) {
    const std::vector<std::int16_t> data = Frames(kRate, 11);
    const Bytes wave = StereoWave(data);
    dir_.Write("s.wav", std::string(wave.begin(), wave.end()));
    g_SoundSystem.createAsStream = 1;
    const HandleId h = ApiLoadSoundFile("s.wav", 3, -1);
    g_SoundSystem.createAsStream = 0;
    ASSERT_NE(h, -1);
    EXPECT_EQ(LookupSound(h)->isStream, 1);
    EXPECT_EQ(LookupSound(h)->stream.prepared, 1) << "prepared at once";
    const std::size_t start = Now();
    ASSERT_EQ(ApiPlaySoundHandle(h, 1, 1), 0);
    RunFor(1500);
    EXPECT_EQ(Heard(start, kRate), data);
    EXPECT_EQ(DeleteSoundHandle(h, 0), 0);
}

}  // namespace
