// The DirectSound stand-in on the headless output: buffers and their
// refusals, locks, play state and cursors on the virtual clock, duplicates,
// the capture, and the output's format.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "platform/backend.h"
#include "platform/dsound.h"
#include "platform/kernel.h"
#include "support/temp_dir.h"

namespace {

WAVEFORMATEX Pcm(WORD channels, DWORD rate, WORD bits) {
    const WORD block = static_cast<WORD>(channels * bits / 8);
    return {WAVE_FORMAT_PCM, channels, rate, rate * block, block, bits, 0};
}

class DirectSoundTest : public ::testing::Test {
protected:
    void SetUp() override {
        PlatformSelectBackend(PlatformBackend::Headless);
        PlatformResetVirtualClock();
        PlatformSetAudioDeviceAvailable(true);
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        ds = Create();
        ASSERT_NE(ds, nullptr);
        ASSERT_EQ(ds->Initialize(nullptr), D_DS_OK);
    }
    void TearDown() override {
        for (D_IDirectSoundBuffer* b : buffers) b->Release();
        if (ds != nullptr) ds->Release();
        EXPECT_FALSE(PlatformAudioOutputOpen()) << "the output closes with its last user";
        CoUninitialize();
    }

    static D_IDirectSound* Create() {
        void* object = nullptr;
        if (CoCreateInstance(CLSID_D_DirectSound, nullptr, CLSCTX_ALL, IID_D_IDirectSound, &object) != S_OK)
            return nullptr;
        return static_cast<D_IDirectSound*>(object);
    }

    D_IDirectSoundBuffer* Make(WAVEFORMATEX format, DWORD bytes, HRESULT expected = D_DS_OK) {
        D_DSBUFFERDESC desc{};
        desc.dwSize = sizeof desc;
        desc.dwFlags = D_DSBCAPS_STATIC | D_DSBCAPS_GLOBALFOCUS;
        desc.dwBufferBytes = bytes;
        desc.lpwfxFormat = &format;
        D_IDirectSoundBuffer* b = nullptr;
        EXPECT_EQ(ds->CreateSoundBuffer(&desc, &b, nullptr), expected);
        if (b != nullptr) buffers.push_back(b);
        return b;
    }

    static void Write(D_IDirectSoundBuffer* b, const void* data, DWORD bytes, DWORD offset = 0) {
        void* p1;
        void* p2;
        DWORD n1, n2;
        ASSERT_EQ(b->Lock(offset, bytes, &p1, &n1, &p2, &n2, 0), D_DS_OK);
        std::memcpy(p1, data, n1);
        if (p2 != nullptr) std::memcpy(p2, static_cast<const std::uint8_t*>(data) + n1, n2);
        ASSERT_EQ(b->Unlock(p1, n1, p2, n2), D_DS_OK);
    }

    static DWORD Cursor(D_IDirectSoundBuffer* b) {
        DWORD play = 0;
        DWORD write = 0;
        EXPECT_EQ(b->GetCurrentPosition(&play, &write), D_DS_OK);
        return play;
    }

    static DWORD Status(D_IDirectSoundBuffer* b) {
        DWORD status = 0;
        EXPECT_EQ(b->GetStatus(&status), D_DS_OK);
        return status;
    }

    static void AdvanceMs(std::uint64_t ms) { PlatformAdvanceVirtualClock(ms * 1000); }

    D_IDirectSound* ds = nullptr;
    std::vector<D_IDirectSoundBuffer*> buffers;
};

TEST_F(DirectSoundTest, RefusesWhatTheSystemRefusesAndNoMore) {
    struct Case {
        WAVEFORMATEX format;
        DWORD bytes;
        HRESULT expected;
    };
    WAVEFORMATEX wrongBlock = Pcm(2, 22050, 16);
    wrongBlock.nBlockAlign = 2;
    WAVEFORMATEX compressed = Pcm(1, 22050, 16);
    compressed.wFormatTag = WAVE_FORMAT_ADPCM;
    const Case cases[] = {
        {Pcm(1, 22050, 16), 4, D_DS_OK},
        {Pcm(2, 44100, 8), 1000, D_DS_OK},
        {Pcm(1, 100, 8), 4, D_DS_OK},
        {Pcm(2, 100000, 16), 0x0FFFFFFF & ~3u, D_DS_OK},
        {Pcm(1, 22050, 16), 3, D_DSERR_INVALIDPARAM},
        {Pcm(1, 22050, 16), 0x10000000, D_DSERR_INVALIDPARAM},
        {Pcm(0, 22050, 16), 100, D_DSERR_BADFORMAT},
        {Pcm(3, 22050, 16), 120, D_DSERR_BADFORMAT},
        {Pcm(1, 22050, 24), 120, D_DSERR_BADFORMAT},
        {Pcm(1, 99, 16), 100, D_DSERR_BADFORMAT},
        {Pcm(1, 100001, 16), 100, D_DSERR_BADFORMAT},
        {wrongBlock, 100, D_DSERR_BADFORMAT},
        {compressed, 100, D_DSERR_BADFORMAT},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.format.nChannels << " ch, " << c.format.nSamplesPerSec << " Hz, "
                                          << c.format.wBitsPerSample << " bits, " << c.bytes << " bytes");
        // The largest buffer is made but not kept.
        if (c.bytes > 0x01000000 && c.expected == D_DS_OK) continue;
        Make(c.format, c.bytes, c.expected);
    }
    D_DSBUFFERDESC noFormat{};
    noFormat.dwSize = sizeof noFormat;
    noFormat.dwBufferBytes = 100;
    D_IDirectSoundBuffer* b = nullptr;
    EXPECT_EQ(ds->CreateSoundBuffer(&noFormat, &b, nullptr), D_DSERR_BADFORMAT);
}

TEST_F(DirectSoundTest, NewBuffersHoldSilenceAndLocksWrapAtTheEnd) {
    D_IDirectSoundBuffer* b = Make(Pcm(1, 22050, 16), 1000);
    void* p1;
    void* p2;
    DWORD n1, n2;
    ASSERT_EQ(b->Lock(0, 1000, &p1, &n1, &p2, &n2, 0), D_DS_OK);
    EXPECT_EQ(n1, 1000u);
    EXPECT_EQ(p2, nullptr);
    EXPECT_EQ(n2, 0u);
    for (DWORD i = 0; i < n1; ++i) ASSERT_EQ(static_cast<std::uint8_t*>(p1)[i], 0) << i;
    ASSERT_EQ(b->Unlock(p1, n1, p2, n2), D_DS_OK);

    ASSERT_EQ(b->Lock(900, 300, &p1, &n1, &p2, &n2, 0), D_DS_OK);
    EXPECT_EQ(n1, 100u);
    EXPECT_EQ(n2, 200u);
    EXPECT_EQ(static_cast<std::uint8_t*>(p1) - static_cast<std::uint8_t*>(p2), 900);
    ASSERT_EQ(b->Unlock(p1, n1, p2, n2), D_DS_OK);

    EXPECT_EQ(b->Lock(1000, 10, &p1, &n1, &p2, &n2, 0), D_DSERR_INVALIDPARAM);
    EXPECT_EQ(b->Lock(0, 0, &p1, &n1, &p2, &n2, 0), D_DSERR_INVALIDPARAM);
    EXPECT_EQ(b->Lock(0, 1001, &p1, &n1, &p2, &n2, 0), D_DSERR_INVALIDPARAM);
    EXPECT_EQ(b->Unlock(p1, 2000, nullptr, 0), D_DSERR_INVALIDPARAM) << "a range outside the buffer";
}

TEST_F(DirectSoundTest, TheCursorFollowsTheVirtualClockAndStopKeepsIt) {
    // One second of 22050 Hz mono: 44100 bytes.
    D_IDirectSoundBuffer* b = Make(Pcm(1, 22050, 16), 44100);
    EXPECT_EQ(Status(b), 0u);
    ASSERT_EQ(b->Play(0, 0, 0), D_DS_OK);
    EXPECT_EQ(Status(b), D_DSBSTATUS_PLAYING);
    AdvanceMs(100);
    EXPECT_EQ(Cursor(b), 4410u);  // 2205 frames
    ASSERT_EQ(b->Stop(), D_DS_OK);
    AdvanceMs(500);
    EXPECT_EQ(Cursor(b), 4410u) << "a stopped buffer keeps its place";
    ASSERT_EQ(b->Play(0, 0, 0), D_DS_OK);
    AdvanceMs(200);
    EXPECT_EQ(Cursor(b), 4410u + 8820u) << "and Play resumes from it";
    ASSERT_EQ(b->SetCurrentPosition(44000), D_DS_OK);
    EXPECT_EQ(Cursor(b), 44000u);
    AdvanceMs(10);
    EXPECT_EQ(Status(b), 0u) << "the end stops a buffer that does not loop";
    EXPECT_EQ(Cursor(b), 0u);
    EXPECT_EQ(b->SetCurrentPosition(44100), D_DSERR_INVALIDPARAM);

    ASSERT_EQ(b->Play(0, 0, D_DSBPLAY_LOOPING), D_DS_OK);
    EXPECT_EQ(Status(b), D_DSBSTATUS_PLAYING | D_DSBSTATUS_LOOPING);
    AdvanceMs(1500);
    EXPECT_EQ(Cursor(b), 22050u) << "a looping buffer wraps";
    EXPECT_EQ(Status(b), D_DSBSTATUS_PLAYING | D_DSBSTATUS_LOOPING);
}

TEST_F(DirectSoundTest, TheCursorDoesNotDriftOverTenVirtualMinutes) {
    // 1000 frames of 22050 Hz mono, looping, read at uneven moments.
    D_IDirectSoundBuffer* b = Make(Pcm(1, 22050, 16), 2000);
    const std::uint64_t start = PlatformAudioFramesRendered();
    ASSERT_EQ(b->Play(0, 0, D_DSBPLAY_LOOPING), D_DS_OK);
    std::uint64_t elapsedMs = 0;
    for (std::uint64_t step = 1; elapsedMs < 600'000; step = step * 7 % 61 + 1) {
        const std::uint64_t ms = std::min<std::uint64_t>(step, 600'000 - elapsedMs);
        AdvanceMs(ms);
        elapsedMs += ms;
        const DWORD cursor = Cursor(b);
        ASSERT_EQ(cursor, (elapsedMs * 22050 / 1000 % 1000) * 2) << "after " << elapsedMs << " ms";
    }
    EXPECT_EQ(PlatformAudioFramesRendered() - start, 600u * 44100u);
}

TEST_F(DirectSoundTest, AJumpOfTheClockPastTheMillisecondWrapMixesOnlyItsLastMinute) {
    // A run that skips the clock ahead by 50 days must not mix 50 days of sound;
    // the rendered count still follows the clock, and a looping buffer plays on.
    D_IDirectSoundBuffer* b = Make(Pcm(1, 22050, 16), 2000);
    ASSERT_EQ(b->Play(0, 0, D_DSBPLAY_LOOPING), D_DS_OK);
    const std::uint64_t start = PlatformAudioFramesRendered();
    AdvanceMs(std::uint64_t{50} * 24 * 3600 * 1000);
    EXPECT_EQ(Status(b), D_DSBSTATUS_PLAYING | D_DSBSTATUS_LOOPING);
    EXPECT_EQ(PlatformAudioFramesRendered() - start, std::uint64_t{50} * 24 * 3600 * 44100);
    const DWORD before = Cursor(b);
    AdvanceMs(20);
    EXPECT_EQ(Cursor(b), (before / 2 + 441) % 1000 * 2) << "and short steps count exactly again";
}

TEST_F(DirectSoundTest, APlayIsHeardFromTheMomentOfTheCall) {
    // 16-bit stereo at the device rate: the capture holds the samples as they are.
    std::vector<std::int16_t> ramp(2 * 500);
    for (std::size_t i = 0; i < ramp.size(); ++i) ramp[i] = static_cast<std::int16_t>(i * 13 - 3000);
    D_IDirectSoundBuffer* b = Make(Pcm(2, 44100, 16), static_cast<DWORD>(ramp.size() * 2));
    Write(b, ramp.data(), static_cast<DWORD>(ramp.size() * 2));
    PlatformStartAudioCapture();
    AdvanceMs(3);
    const std::uint64_t before = PlatformAudioFramesRendered();
    ASSERT_EQ(b->Play(0, 0, 0), D_DS_OK);
    AdvanceMs(20);
    const std::vector<std::int16_t> capture = PlatformAudioCapture();
    ASSERT_EQ(before, 132u);               // 3 ms at 44100 Hz: 132.3 frames
    ASSERT_EQ(capture.size(), 2 * 1014u);  // 23 ms
    for (std::size_t i = 0; i < capture.size(); ++i) {
        const std::size_t frame = i / 2;
        const std::int16_t expected = frame < before ? 0 : frame - before < 500 ? ramp[i - before * 2] : 0;
        ASSERT_EQ(capture[i], expected) << "sample " << i;
    }
}

TEST_F(DirectSoundTest, DuplicatesShareTheSamplesAndPlayOnTheirOwn) {
    D_IDirectSoundBuffer* original = Make(Pcm(1, 44100, 16), 200);
    D_IDirectSoundBuffer* copy = nullptr;
    ASSERT_EQ(ds->DuplicateSoundBuffer(original, &copy), D_DS_OK);
    const std::int16_t value = 1234;
    std::vector<std::int16_t> block(100, value);
    Write(original, block.data(), 200);
    ASSERT_EQ(copy->Play(0, 0, D_DSBPLAY_LOOPING), D_DS_OK);
    EXPECT_EQ(Status(original), 0u);
    original->Release();
    buffers.clear();  // the original is gone; its memory lives on in the copy
    PlatformStartAudioCapture();
    AdvanceMs(1);
    const auto capture = PlatformAudioCapture();
    ASSERT_FALSE(capture.empty());
    for (std::int16_t s : capture) ASSERT_EQ(s, value);
    copy->Release();
}

TEST_F(DirectSoundTest, ThePrimaryBufferSetsTheOutputRateAndTheCapsOfferEveryFormat) {
    D_DSBUFFERDESC desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = D_DSBCAPS_PRIMARYBUFFER;
    D_IDirectSoundBuffer* primary = nullptr;
    ASSERT_EQ(ds->CreateSoundBuffer(&desc, &primary, nullptr), D_DS_OK);
    buffers.push_back(primary);
    EXPECT_EQ(PlatformAudioOutputRate(), 44100);
    WAVEFORMATEX format = Pcm(2, 22050, 16);
    ASSERT_EQ(primary->SetFormat(&format), D_DS_OK);
    EXPECT_EQ(PlatformAudioOutputRate(), 22050);
    void* p;
    DWORD n;
    EXPECT_EQ(primary->Lock(0, 4, &p, &n, nullptr, nullptr, 0), D_DSERR_PRIOLEVELNEEDED);

    D_DSCAPS caps{};
    caps.dwSize = sizeof caps;
    ASSERT_EQ(ds->GetCaps(&caps), D_DS_OK);
    for (DWORD flag : {D_DSCAPS_PRIMARYMONO, D_DSCAPS_PRIMARYSTEREO, D_DSCAPS_PRIMARY8BIT, D_DSCAPS_PRIMARY16BIT,
                       D_DSCAPS_SECONDARYMONO, D_DSCAPS_SECONDARYSTEREO, D_DSCAPS_SECONDARY8BIT,
                       D_DSCAPS_SECONDARY16BIT})
        EXPECT_NE(caps.dwFlags & flag, 0u) << flag;
    EXPECT_EQ(caps.dwMaxSecondarySampleRate, 100000u);
    EXPECT_EQ(ds->Initialize(nullptr), D_DSERR_ALREADYINITIALIZED);
    EXPECT_EQ(ds->SetCooperativeLevel(nullptr, D_DSSCL_PRIORITY), D_DS_OK);
}

TEST_F(DirectSoundTest, TheEnumeratorIsFoundInItsLibraryAndNamesOneDevice) {
    HMODULE library = LoadLibraryA("dsound.dll");
    ASSERT_NE(library, nullptr);
    auto enumerate =
        reinterpret_cast<HRESULT (*)(LPDSENUMCALLBACKA, void*)>(GetProcAddress(library, "DirectSoundEnumerateA"));
    ASSERT_NE(enumerate, nullptr);
    EXPECT_EQ(GetProcAddress(library, "DirectSoundCreate8"), nullptr);
    std::vector<std::string> names;
    enumerate([](GUID*, LPCSTR description, LPCSTR, void* context) -> BOOL {
        static_cast<std::vector<std::string>*>(context)->push_back(description);
        return TRUE;
    }, &names);
    EXPECT_EQ(names, std::vector<std::string>{"Primary Sound Driver"});
    EXPECT_TRUE(FreeLibrary(library));
    EXPECT_FALSE(FreeLibrary(library)) << "freed as often as loaded";
    EXPECT_EQ(LoadLibraryA("NOSUCH.DLL"), nullptr);
}

TEST(DirectSoundOutput, WithoutADeviceDirectSoundCannotStart) {
    PlatformSelectBackend(PlatformBackend::Headless);
    PlatformSetAudioDeviceAvailable(false);
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    void* object = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_D_DirectSound, nullptr, CLSCTX_ALL, IID_D_IDirectSound, &object), S_OK);
    auto* ds = static_cast<D_IDirectSound*>(object);
    EXPECT_EQ(ds->Initialize(nullptr), D_DSERR_NODRIVER);
    D_DSCAPS caps{};
    EXPECT_EQ(ds->GetCaps(&caps), D_DSERR_UNINITIALIZED);
    ds->Release();
    PlatformSetAudioDeviceAvailable(true);
    CoUninitialize();
}

TEST(DirectSoundOutput, TheCaptureFileHoldsWhatWasMixed) {
    PlatformSelectBackend(PlatformBackend::Headless);
    TempDir dir;
    const std::string path = dir.str() + "/capture.wav";
    setenv("KELVO_AUDIO_CAPTURE", path.c_str(), 1);
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    void* object = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_D_DirectSound, nullptr, CLSCTX_ALL, IID_D_IDirectSound, &object), S_OK);
    auto* ds = static_cast<D_IDirectSound*>(object);
    ASSERT_EQ(ds->Initialize(nullptr), D_DS_OK);
    unsetenv("KELVO_AUDIO_CAPTURE");
    WAVEFORMATEX format = Pcm(1, 44100, 16);
    D_DSBUFFERDESC desc{sizeof(D_DSBUFFERDESC), 0, 8, 0, &format, {}};
    D_IDirectSoundBuffer* b = nullptr;
    ASSERT_EQ(ds->CreateSoundBuffer(&desc, &b, nullptr), D_DS_OK);
    void* p1;
    DWORD n1;
    ASSERT_EQ(b->Lock(0, 8, &p1, &n1, nullptr, nullptr, 0), D_DS_OK);
    const std::int16_t values[4] = {100, 200, 300, 400};
    std::memcpy(p1, values, 8);
    b->Unlock(p1, n1, nullptr, 0);
    b->Play(0, 0, D_DSBPLAY_LOOPING);
    PlatformAdvanceVirtualClock(10'000);
    b->Release();
    ds->Release();
    CoUninitialize();

    std::ifstream in(path, std::ios::binary);
    const std::vector<std::uint8_t> file((std::istreambuf_iterator<char>(in)), {});
    ASSERT_EQ(file.size(), 44u + 441u * 4u);
    EXPECT_EQ(std::string(file.begin(), file.begin() + 4), "RIFF");
    EXPECT_EQ(file[40] | (file[41] << 8), 441 * 4);
    EXPECT_EQ(file[24] | (file[25] << 8), 44100 & 0xFFFF);
    for (int frame = 0; frame < 441; ++frame) {
        const int v = static_cast<std::int16_t>(file[44 + frame * 4] | (file[45 + frame * 4] << 8));
        ASSERT_EQ(v, values[frame % 4]) << frame;
    }
}

}  // namespace
