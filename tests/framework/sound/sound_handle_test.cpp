// Sound handles on the headless output: handle values, buffers in rotation,
// play types, stop and resume, failures that leave everything else playing,
// and what the capture hears, sample by sample, on the virtual clock.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/memory.h"
#include "framework/framework_fixture.h"
#include "platform/dsound.h"
#include "sound/sound.h"
#include "sound/sound_capture.h"
#include "sound/sound_data.h"
#include "support/wave_bytes.h"

namespace {

class SoundHandleTest : public FrameworkTest {
protected:
    void SetUp() override {
        FrameworkTest::SetUp();
        PlatformSetAudioDeviceAvailable(true);
        g_SoundSystem.table.Counter().Reset();
    }
    void TearDown() override {
        FrameworkTest::TearDown();
        PlatformSetAudioDeviceAvailable(true);
        g_SoundSystem.softwareBuffers = 0;
    }

    // A sound file under se\ in the start folder.
    void WriteSound(const std::string& name, const Bytes& file) const {
        dir_.Write("se/" + name, std::string(file.begin(), file.end()));
    }
    void WriteSamples(const std::string& name, const std::vector<std::int16_t>& samples, std::uint32_t rate) const {
        WaveSpec spec;
        spec.rate = rate;
        WriteSound(name, MakeWave(spec, Samples16(samples)));
    }
    static HandleId Load(const std::string& name, int buffers = 3) {
        return ApiLoadSoundFile(("se\\" + name).c_str(), buffers, -1);
    }
    static void AdvanceMs(std::uint64_t ms) { PlatformAdvanceVirtualClock(ms * 1000); }

    // Which buffers of a sound are playing, as a bit mask.
    static int PlayingBuffers(HandleId handle) {
        SoundData* sound = LookupSound(handle);
        int mask = 0;
        for (int i = 0; i < sound->bufferCount; ++i) {
            DWORD status = 0;
            GetPcmBufferStatus(&sound->buffers[i], &status);
            if (status & D_DSBSTATUS_PLAYING) mask |= 1 << i;
        }
        return mask;
    }

    // Output frames rendered so far; the capture counts from its start.
    static std::size_t Now() { return static_cast<std::size_t>(PlatformAudioFramesRendered()); }
    void StartCapture() {
        PlatformStartAudioCapture();
        captureStart_ = Now();
    }

    // The left channel of output frames `from` to `from` + `frames`.
    std::vector<std::int16_t> Heard(std::size_t from, std::size_t frames) const {
        const std::vector<std::int16_t> capture = PlatformAudioCapture();
        std::vector<std::int16_t> out;
        for (std::size_t f = from; f < from + frames; ++f) {
            const std::size_t i = (f - captureStart_) * 2;
            if (f < captureStart_ || i + 1 >= capture.size()) break;
            EXPECT_EQ(capture[i], capture[i + 1]) << "a mono sound is heard alike on both sides";
            out.push_back(capture[i]);
        }
        return out;
    }

    std::size_t captureStart_ = 0;
};

TEST_F(SoundHandleTest, HandlesCountUpAndAreRefusedOnceDeleted) {
    ASSERT_EQ(ApiInitFramework(), 0);
    WriteSamples("a.wav", Ramp(100), 22050);
    const HandleId first = Load("a.wav");
    const HandleId second = Load("a.wav");
    EXPECT_EQ(first, 0x10000000);
    EXPECT_EQ(second, 0x10010001);
    EXPECT_EQ(ApiPlaySoundHandle(first, 1, 1), 0);
    EXPECT_EQ(DeleteSoundHandle(first, 0), 0);
    EXPECT_EQ(ApiPlaySoundHandle(first, 1, 1), -1);
    EXPECT_EQ(ApiIsSoundPlaying(first), -1);
    const HandleId third = Load("a.wav");
    EXPECT_EQ(third, 0x10020002) << "the next slot and check number";
    EXPECT_EQ(ApiDeleteAllSounds(0), 0);
    EXPECT_EQ(ApiDeleteAllSounds(0), 0);
    EXPECT_EQ(g_SoundSystem.table.Count(), 0);
    EXPECT_EQ(ApiStopSoundHandle(second), -1);
    EXPECT_EQ(ApiPlaySoundHandle(0x20000000, 1, 1), -1) << "another table's handle";
}

TEST_F(SoundHandleTest, BufferCountsAreKeptBetweenOneAndTen) {
    ASSERT_EQ(ApiInitFramework(), 0);
    WriteSamples("a.wav", Ramp(100), 22050);
    const struct {
        int asked;
        int made;
    } cases[] = {{3, 3}, {10, 10}, {20, 10}, {1, 1}, {0, 1}, {-5, 1}};
    for (const auto& c : cases) {
        const HandleId h = Load("a.wav", c.asked);
        ASSERT_NE(h, -1) << c.asked;
        EXPECT_EQ(LookupSound(h)->bufferCount, c.made) << c.asked;
        EXPECT_EQ(ApiPlaySoundHandle(h, 1, 1), 0) << "a count below one still rotates";
    }
    EXPECT_EQ(LoadSoundImage(nullptr, 0, 11, -1), -1);
}

TEST_F(SoundHandleTest, PlaysRotateOverTheBuffersSoASoundOverlapsItself) {
    ASSERT_EQ(ApiInitFramework(), 0);
    WriteSamples("a.wav", Ramp(22050), 22050);  // one second
    const HandleId h = Load("a.wav");
    ASSERT_EQ(ApiPlaySoundHandle(h, 1, 1), 0);
    EXPECT_EQ(PlayingBuffers(h), 0b010) << "the first play takes buffer 1";
    AdvanceMs(100);
    ASSERT_EQ(ApiPlaySoundHandle(h, 1, 1), 0);
    ASSERT_EQ(ApiPlaySoundHandle(h, 1, 1), 0);
    EXPECT_EQ(PlayingBuffers(h), 0b111);
    // The fourth play restarts the buffer of the first.
    std::uint32_t before = 0;
    GetPcmBufferPosition(&LookupSound(h)->buffers[1], &before);
    EXPECT_GE(before, 4410u);  // 100 ms, and the moments the clock was read
    ASSERT_EQ(ApiPlaySoundHandle(h, 1, 1), 0);
    std::uint32_t after = before;
    GetPcmBufferPosition(&LookupSound(h)->buffers[1], &after);
    EXPECT_LT(after, 16u) << "back at the top";
    EXPECT_EQ(LookupSound(h)->nextBuffer, 1);
    // Not from the top while the next buffer plays: only the rotation moves.
    AdvanceMs(50);
    ASSERT_EQ(ApiPlaySoundHandle(h, 1, 0), 0);
    EXPECT_EQ(LookupSound(h)->nextBuffer, 2);
    EXPECT_EQ(PlayingBuffers(h), 0b111);
    EXPECT_EQ(ApiIsSoundPlaying(h), 1);
    ASSERT_EQ(ApiStopSoundHandle(h), 0);
    EXPECT_EQ(PlayingBuffers(h), 0);
    EXPECT_EQ(ApiIsSoundPlaying(h), 0);
}

TEST_F(SoundHandleTest, ANormalPlayReturnsWhenTheSoundHasEnded) {
    ASSERT_EQ(ApiInitFramework(), 0);
    WriteSamples("a.wav", Ramp(2205), 22050);  // 100 ms
    const HandleId h = Load("a.wav");
    const DWORD start = timeGetTime();
    ASSERT_EQ(ApiPlaySoundHandle(h, 0, 1), 0);
    EXPECT_GE(timeGetTime() - start, 100u);
    EXPECT_LE(timeGetTime() - start, 110u);
    EXPECT_EQ(ApiIsSoundPlaying(h), 0);
    ASSERT_EQ(ApiPlaySoundHandle(h, 1, 1), 0);
    EXPECT_EQ(ApiIsSoundPlaying(h), 1);
    AdvanceMs(99);
    EXPECT_EQ(ApiIsSoundPlaying(h), 1);
    AdvanceMs(2);
    EXPECT_EQ(ApiIsSoundPlaying(h), 0);
}

TEST_F(SoundHandleTest, AnEffectIsHeardSampleBySampleFromTheMomentOfTheCall) {
    ASSERT_EQ(ApiInitFramework(), 0);
    // The game's effects are 22050 Hz mono: every second output frame is a
    // sample, the ones between are halfway.
    const std::vector<std::int16_t> effect = Ramp(1000, 29, -14000);
    WriteSamples("e.wav", effect, 22050);
    const HandleId h = Load("e.wav");
    StartCapture();
    AdvanceMs(7);
    const std::size_t start = Now();
    ASSERT_EQ(ApiPlaySoundHandle(h, 1, 1), 0);
    AdvanceMs(60);
    const std::vector<std::int16_t> heard = Heard(captureStart_, Now() - captureStart_);
    ASSERT_EQ(heard.size(), Now() - captureStart_);
    for (std::size_t i = 0; i < heard.size(); ++i) {
        const std::size_t f = captureStart_ + i;
        std::int32_t expected = 0;
        if (f >= start && f - start < 2000) {
            const std::size_t k = (f - start) / 2;
            const std::int32_t a = effect[k];
            const std::int32_t b = k + 1 < effect.size() ? effect[k + 1] : a;
            expected = (f - start) % 2 == 0 ? a : a + (((b - a) * 16384) >> 15);
        }
        ASSERT_EQ(heard[i], expected) << "frame " << f << ", the play began at " << start;
    }
}

TEST_F(SoundHandleTest, OverlappingPlaysSumAndClamp) {
    ASSERT_EQ(ApiInitFramework(), 0);
    WriteSamples("e.wav", std::vector<std::int16_t>(4410, 15000), 44100);  // 100 ms of one level
    const HandleId h = Load("e.wav");
    StartCapture();
    const std::size_t first = Now();
    ApiPlaySoundHandle(h, 1, 1);
    AdvanceMs(10);
    const std::size_t second = Now();
    ApiPlaySoundHandle(h, 1, 1);
    AdvanceMs(10);
    const std::size_t third = Now();
    ApiPlaySoundHandle(h, 1, 1);
    AdvanceMs(200);
    const std::vector<std::int16_t> heard = Heard(captureStart_, Now() - captureStart_);
    auto at = [&](std::size_t f) { return static_cast<int>(heard.at(f - captureStart_)); };
    EXPECT_EQ(at(first), 15000);
    EXPECT_EQ(at(second - 1), 15000);
    EXPECT_EQ(at(second), 30000);
    EXPECT_EQ(at(third), 32767) << "three plays clamp";
    EXPECT_EQ(at(first + 4409), 32767);
    EXPECT_EQ(at(first + 4410), 30000) << "the first has ended";
    EXPECT_EQ(at(third + 4410), 0);
}

TEST_F(SoundHandleTest, ALoopedTrackWrapsWithoutAGap) {
    ASSERT_EQ(ApiInitFramework(), 0);
    const std::vector<std::int16_t> track = Ramp(3000, 11, 500);
    WriteSamples("t1.wav", track, 44100);
    const HandleId h = Load("t1.wav");
    StartCapture();
    const std::size_t start = Now();
    ASSERT_EQ(ApiPlaySoundHandle(h, 3, 1), 0);
    AdvanceMs(250);  // three times round and more
    const std::vector<std::int16_t> heard = Heard(start, 3 * 3000 + 100);
    ASSERT_EQ(heard.size(), 3 * 3000u + 100u);
    for (std::size_t i = 0; i < heard.size(); ++i) ASSERT_EQ(heard[i], track[i % 3000]) << i;
    EXPECT_EQ(ApiIsSoundPlaying(h), 1);
    ASSERT_EQ(ApiStopSoundHandle(h), 0);
}

TEST_F(SoundHandleTest, StopThenPlayNotFromTheTopResumesWhereItStopped) {
    ASSERT_EQ(ApiInitFramework(), 0);
    const std::vector<std::int16_t> track = Ramp(44100, 3);
    WriteSamples("t.wav", track, 44100);
    const HandleId h = Load("t.wav", 1);
    StartCapture();
    const std::size_t start = Now();
    ApiPlaySoundHandle(h, 1, 1);
    AdvanceMs(10);
    ApiStopSoundHandle(h);
    const std::size_t stopped = Now();
    AdvanceMs(30);
    const std::size_t resumed = Now();
    ApiPlaySoundHandle(h, 1, 0);
    AdvanceMs(10);
    const std::vector<std::int16_t> heard = Heard(captureStart_, Now() - captureStart_);
    auto at = [&](std::size_t f) { return heard.at(f - captureStart_); };
    const std::size_t played = stopped - start;
    EXPECT_EQ(at(stopped - 1), track[played - 1]);
    EXPECT_EQ(at(stopped), 0);
    EXPECT_EQ(at(resumed - 1), 0);
    EXPECT_EQ(at(resumed), track[played]) << "on from the next sample";
    EXPECT_EQ(at(resumed + 100), track[played + 100]);
}

TEST_F(SoundHandleTest, WithoutSoundEveryOperationFails) {
    PlatformSetAudioDeviceAvailable(false);
    ASSERT_EQ(ApiInitFramework(), 0) << "the framework runs on without sound";
    EXPECT_NE(FindLine("DirectSound の初期化を行います"), -1);
    EXPECT_NE(FindLine("初期化に失敗しました"), -1);
    WriteSamples("a.wav", Ramp(100), 22050);
    EXPECT_EQ(Load("a.wav"), -1);
    EXPECT_EQ(ApiPlaySoundHandle(0x10000000, 1, 1), -1);
    EXPECT_EQ(ApiStopSoundHandle(0x10000000), -1);
    EXPECT_EQ(ApiIsSoundPlaying(0x10000000), -1);
    EXPECT_EQ(ApiDeleteAllSounds(0), -1);
    EXPECT_EQ(ProcessStreamSounds(), -1);
    // No record is made that nothing could delete.
    EXPECT_EQ(AddSoundData(-1), -1);
    EXPECT_EQ(AddSoundData(0x10000003), -1);
    EXPECT_EQ(g_SoundSystem.table.Count(), 0);
    EXPECT_NE(FindLine("サウンドシステムが初期化されていません in AddSoundData"), -1);
}

TEST_F(SoundHandleTest, ADamagedFileFailsItsLoadAndEverythingElsePlaysOn) {
    ASSERT_EQ(ApiInitFramework(), 0);
    WriteSamples("t1.wav", Ramp(4410), 44100);
    const HandleId music = Load("t1.wav");
    ASSERT_EQ(ApiPlaySoundHandle(music, 3, 1), 0);
    const int count = g_SoundSystem.table.Count();

    Bytes cut = MakeWave(WaveSpec{}, Samples16(Ramp(100)));
    cut.resize(30);
    WriteSound("cut.wav", cut);
    WaveSpec deep;
    deep.bits = 24;  // read fine, but no buffer takes it
    WriteSound("deep.wav", MakeWave(deep, Bytes(300, 1)));
    WriteSound("empty.wav", MakeWave(WaveSpec{}, {}));
    WriteSound("noise.wav", Bytes(5000, 0x5A));
    for (const char* name : {"cut.wav", "deep.wav", "empty.wav", "noise.wav", "missing.wav"}) {
        const std::int64_t before = g_MemoryTracker.totalSize;
        EXPECT_EQ(Load(name), -1) << name;
        EXPECT_EQ(g_SoundSystem.table.Count(), count) << name << ": the half-made handle is gone";
        EXPECT_EQ(g_MemoryTracker.totalSize, before) << name << ": nothing is kept";
    }
    // ADPCM headers declaring 65,535 samples in blocks of 8 bytes: the load
    // reserves little more than the file (1.2 GB, were the count believed).
    for (std::uint16_t tag : {WAVE_FORMAT_IMA_ADPCM, WAVE_FORMAT_ADPCM}) {
        WriteSound("claims.wav", MakeAdpcmClaimingWave(tag));
        const std::int64_t before = g_MemoryTracker.totalSize;
        g_MemoryTracker.peakSize = before;
        const HandleId handle = Load("claims.wav");
        EXPECT_LT(g_MemoryTracker.peakSize - before, 1 << 20) << tag << ": bytes reserved at the peak";
        RecordProperty(tag == WAVE_FORMAT_ADPCM ? "ms_adpcm_peak_bytes" : "ima_adpcm_peak_bytes",
                       std::to_string(g_MemoryTracker.peakSize - before));
        if (handle != -1) DeleteSoundHandle(handle, 0);
        EXPECT_EQ(g_MemoryTracker.totalSize, before) << tag;
    }
    EXPECT_NE(FindLine("右記の音声ファイルのロードに失敗しました_1：se\\missing.wav"), -1);
    EXPECT_NE(FindLine("右記の音声ファイルのロードに失敗しました_2：se\\cut.wav"), -1);
    EXPECT_NE(FindLine("音声ファイルのＰＣＭへの変換に失敗しました"), -1);
    EXPECT_NE(FindLine("DirectSoundBuffer の作成に失敗しました"), -1);
    EXPECT_EQ(ApiIsSoundPlaying(music), 1);
    StartCapture();
    AdvanceMs(5);
    EXPECT_NE(Heard(captureStart_, 100), std::vector<std::int16_t>(100, 0)) << "the music goes on";
}

TEST_F(SoundHandleTest, InSoftwareBufferModeBuffersOnlyKeepTheirState) {
    ASSERT_EQ(ApiInitFramework(), 0);
    g_SoundSystem.softwareBuffers = 1;
    WriteSamples("a.wav", Ramp(100), 22050);
    const HandleId h = Load("a.wav");
    ASSERT_NE(h, -1);
    SoundData* sound = LookupSound(h);
    EXPECT_EQ(sound->buffers[0].buffer, nullptr);
    EXPECT_EQ(sound->buffers[2].sampleCount, 100);
    EXPECT_EQ(std::memcmp(sound->buffers[2].memory, sound->pcm, 200), 0);
    ASSERT_EQ(ApiPlaySoundHandle(h, 3, 1), 0);
    EXPECT_EQ(ApiIsSoundPlaying(h), 1);
    EXPECT_EQ(sound->buffers[1].looping, 1);
    ASSERT_EQ(ApiStopSoundHandle(h), 0);
    EXPECT_EQ(ApiIsSoundPlaying(h), 0);
    EXPECT_EQ(DeleteSoundHandle(h, 0), 0);
}

TEST_F(SoundHandleTest, StartUpReportsTheDeviceAndShutDownFinishesACaptureFile) {
    ASSERT_EQ(ApiInitFramework(), 0);
    EXPECT_NE(FindLine("DirectSound デバイスを列挙します"), -1);
    EXPECT_NE(FindLine("モジュール名:                 ドライバ記述:Primary Sound Driver"), -1);
    EXPECT_NE(FindLine(" プライマリ MONO = OK  STEREO = OK "), -1);
    EXPECT_NE(FindLine("DirectSound の初期化は正常に終了しました"), -1);
    EXPECT_EQ(PlatformAudioOutputRate(), 44100);

    const std::string path = PlatformWindowsPath(dir_.str()) + "\\capture.wav";
    g_SoundCapture.file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(g_SoundCapture.file, INVALID_HANDLE_VALUE);
    g_SoundCapture.sampleCount = 10;
    ASSERT_EQ(ApiEndFramework(), 0);
    EXPECT_EQ(g_SoundCapture.file, nullptr);
    const std::string file = dir_.Read("capture.wav");
    ASSERT_EQ(file.size(), kSoundCaptureHeaderBytes);
    const auto* b = reinterpret_cast<const std::uint8_t*>(file.data());
    EXPECT_EQ(file.substr(0, 4), "RIFF");
    EXPECT_EQ(file.substr(8, 8), "WAVEfmt ");
    EXPECT_EQ(GetU32(b + 16), 18u);
    EXPECT_EQ(GetU32(b + 24), 44100u);
    EXPECT_EQ(GetU32(b + 28), 176400u);
    EXPECT_EQ(file.substr(38, 4), "data");
    EXPECT_EQ(GetU32(b + 42), 40u);
    EXPECT_NE(FindLine("DirectSound の終了処理は正常に終了しました"), -1);
    EXPECT_FALSE(PlatformAudioOutputOpen());
}

}  // namespace
