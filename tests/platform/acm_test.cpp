// The ACM stand-in against an independent decoder: fixtures made once with
// sox in each compressed format, with sox's own decode beside them. Also the
// conversion contract: whole blocks only, state kept across calls, output
// that waits for room, sizes that bound the output, refusals.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "platform/acm.h"
#include "platform/kernel.h"
#include "support/wave_bytes.h"

namespace {

// A compressed source: its format block (with the extra bytes) and data.
struct Source {
    Bytes format;
    Bytes data;
    const WAVEFORMATEX* Format() const { return reinterpret_cast<const WAVEFORMATEX*>(format.data()); }
};

Source FromWave(const Bytes& file) {
    Source s;
    EXPECT_FALSE(file.empty()) << "a fixture is missing";
    std::size_t p = 12;
    while (p + 8 <= file.size()) {
        const std::uint32_t size = GetU32(&file[p + 4]);
        const auto body = file.begin() + static_cast<std::ptrdiff_t>(p + 8);
        if (std::equal(body - 8, body - 4, "fmt ")) {
            s.format.assign(body, body + size);
            s.format.resize(std::max<std::size_t>(size, sizeof(WAVEFORMATEX)), 0);
        }
        if (std::equal(body - 8, body - 4, "data")) s.data.assign(body, body + std::min<std::size_t>(size, file.end() - body));
        p += 8 + size + (size & 1);
    }
    return s;
}

Source FromMpeg(const Bytes& file, int channels, int rate) {
    MPEGLAYER3WAVEFORMAT m{};
    m.wfx.wFormatTag = WAVE_FORMAT_MPEGLAYER3;
    m.wfx.nChannels = static_cast<WORD>(channels);
    m.wfx.nSamplesPerSec = static_cast<DWORD>(rate);
    m.wfx.nBlockAlign = 1;
    m.wfx.cbSize = MPEGLAYER3_WFX_EXTRA_BYTES;
    m.wID = MPEGLAYER3_ID_MPEG;
    m.nFramesPerBlock = 1;
    Source s;
    s.format.assign(reinterpret_cast<const std::uint8_t*>(&m), reinterpret_cast<const std::uint8_t*>(&m) + sizeof m);
    s.data = file;
    return s;
}

class Stream {
public:
    explicit Stream(const Source& source) {
        pcm_.wFormatTag = WAVE_FORMAT_PCM;
        if (source.format.size() < sizeof(WAVEFORMATEX)) {
            ADD_FAILURE() << "no format";
            return;
        }
        EXPECT_EQ(acmFormatSuggest(nullptr, source.Format(), &pcm_, sizeof pcm_, ACM_FORMATSUGGESTF_WFORMATTAG),
                  MMSYSERR_NOERROR);
        EXPECT_EQ(acmStreamOpen(&stream_, nullptr, source.Format(), &pcm_, nullptr, 0, 0, ACM_STREAMOPENF_NONREALTIME),
                  MMSYSERR_NOERROR);
    }
    ~Stream() {
        if (stream_ != nullptr) acmStreamClose(stream_, 0);
    }
    HACMSTREAM handle() const { return stream_; }
    const WAVEFORMATEX& pcm() const { return pcm_; }

    // One conversion step; the bytes produced are appended to `out`.
    std::uint32_t Step(const std::uint8_t* source, std::uint32_t size, std::uint32_t capacity, Bytes& out,
                       std::uint32_t* produced = nullptr) {
        Bytes destination(capacity);
        ACMSTREAMHEADER h{};
        h.cbStruct = sizeof h;
        h.pbSrc = const_cast<std::uint8_t*>(source);
        h.cbSrcLength = size;
        h.pbDst = destination.data();
        h.cbDstLength = capacity;
        EXPECT_EQ(acmStreamPrepareHeader(stream_, &h, 0), MMSYSERR_NOERROR);
        EXPECT_EQ(acmStreamConvert(stream_, &h, 0), MMSYSERR_NOERROR);
        EXPECT_EQ(acmStreamUnprepareHeader(stream_, &h, 0), MMSYSERR_NOERROR);
        EXPECT_LE(h.cbSrcLengthUsed, size);
        EXPECT_LE(h.cbDstLengthUsed, capacity);
        out.insert(out.end(), destination.begin(), destination.begin() + h.cbDstLengthUsed);
        if (produced != nullptr) *produced = h.cbDstLengthUsed;
        return h.cbSrcLengthUsed;
    }

    // Converts as the framework does: at most `step` source bytes a call into
    // a one-second buffer, until a call gives nothing.
    Bytes ConvertAll(const Bytes& data, std::uint32_t step = 2048) {
        Bytes out;
        std::size_t position = 0;
        while (position < data.size()) {
            std::uint32_t produced = 0;
            const auto size = static_cast<std::uint32_t>(std::min<std::size_t>(step, data.size() - position));
            position += Step(data.data() + position, size, pcm_.nAvgBytesPerSec, out, &produced);
            if (produced == 0) break;
        }
        return out;
    }

private:
    HACMSTREAM stream_ = nullptr;
    WAVEFORMATEX pcm_{};
};

std::vector<std::int16_t> AsSamples(const Bytes& pcm) {
    std::vector<std::int16_t> out(pcm.size() / 2);
    std::memcpy(out.data(), pcm.data(), out.size() * 2);
    return out;
}

struct Fixture {
    const char* file;
    const char* reference;
    int channels;     // MPEG files: the stream's channels and rate
    int rate;
    int maxDifference;  // the codec's rounding
    bool sameLength;    // sox trims MPEG decoder padding at the end; the rest must match in length
};

class AcmFixture : public ::testing::TestWithParam<Fixture> {};

TEST_P(AcmFixture, DecodesLikeSoxWithinTheCodecsRounding) {
    const Fixture f = GetParam();
    const Bytes file = LoadSoundFixture(f.file);
    ASSERT_FALSE(file.empty()) << "missing fixture " << SoundFixturePath(f.file);
    const bool mpeg = std::string(f.file).find(".wav") == std::string::npos;
    const Source source = mpeg ? FromMpeg(file, f.channels, f.rate) : FromWave(file);
    int referenceChannels = 0;
    const std::vector<std::int16_t> reference = WaveSamples(LoadSoundFixture(f.reference), &referenceChannels);
    ASSERT_FALSE(reference.empty());

    Stream stream(source);
    ASSERT_NE(stream.handle(), nullptr);
    EXPECT_EQ(stream.pcm().nChannels, referenceChannels);
    const Bytes pcm = stream.ConvertAll(source.data);
    const std::vector<std::int16_t> ours = AsSamples(pcm);
    if (f.sameLength)
        EXPECT_EQ(ours.size(), reference.size());
    else
        EXPECT_GE(ours.size(), reference.size());

    int largest = 0;
    double sum = 0;
    const std::size_t n = std::min(ours.size(), reference.size());
    for (std::size_t i = 0; i < n; ++i) {
        const int d = std::abs(ours[i] - reference[i]);
        largest = std::max(largest, d);
        sum += d;
    }
    EXPECT_LE(largest, f.maxDifference);
    // The differences are rounding, not a different signal: small on average.
    EXPECT_LE(sum / static_cast<double>(n), f.maxDifference / 4.0 + 0.5);
    std::printf("%s: %zu samples, difference from sox at most %d, %.2f on average\n", f.file, n, largest,
                sum / static_cast<double>(n));

    // The suggested format: 16-bit PCM of the source's channels and rate.
    const WAVEFORMATEX& out = stream.pcm();
    EXPECT_EQ(out.wFormatTag, WAVE_FORMAT_PCM);
    EXPECT_EQ(out.nSamplesPerSec, mpeg ? static_cast<DWORD>(f.rate) : source.Format()->nSamplesPerSec);
    EXPECT_EQ(out.wBitsPerSample, 16);
    EXPECT_EQ(out.nBlockAlign, out.nChannels * 2);
    EXPECT_EQ(out.nAvgBytesPerSec, out.nSamplesPerSec * out.nBlockAlign);

    DWORD bound = 0;
    ASSERT_EQ(acmStreamSize(stream.handle(), static_cast<DWORD>(source.data.size()), &bound, ACM_STREAMSIZEF_SOURCE),
              MMSYSERR_NOERROR);
    EXPECT_GE(bound, pcm.size()) << "the size is an upper bound";
    // Block formats of whole blocks give exactly the samples their blocks hold.
    if (!mpeg && source.data.size() % source.Format()->nBlockAlign == 0) {
        EXPECT_EQ(bound, pcm.size());
    }
}

// A-law, mu-law and GSM are exact. The ADPCM decoders round their
// predictions differently from sox's, and a difference carries on through the
// rest of its block (each block header resets the predictor); MPEG decoders
// differ in the last bit of their synthesis.
INSTANTIATE_TEST_SUITE_P(Fixtures, AcmFixture,
                         ::testing::Values(Fixture{"alaw.wav", "alaw.sox.wav", 0, 0, 0, true},
                                           Fixture{"ulaw.wav", "ulaw.sox.wav", 0, 0, 0, true},
                                           Fixture{"gsm.wav", "gsm.sox.wav", 0, 0, 0, true},
                                           Fixture{"ima-mono.wav", "ima-mono.sox.wav", 0, 0, 64, true},
                                           Fixture{"ima-stereo.wav", "ima-stereo.sox.wav", 0, 0, 64, true},
                                           Fixture{"ms-mono.wav", "ms-mono.sox.wav", 0, 0, 128, true},
                                           Fixture{"ms-stereo.wav", "ms-stereo.sox.wav", 0, 0, 128, true},
                                           Fixture{"layer3.mp3", "layer3.sox.wav", 1, 22050, 2, false},
                                           Fixture{"layer2.mp2", "layer2.sox.wav", 1, 22050, 2, false}),
                         [](const auto& info) {
                             std::string name = info.param.file;
                             name.erase(std::remove_if(name.begin(), name.end(),
                                                       [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }),
                                        name.end());
                             return name;
                         });

TEST(Acm, ConsumesWholeBlocksOnlyAndKeepsItsStateAcrossCalls) {
    const Source source = FromWave(LoadSoundFixture("ima-stereo.wav"));
    ASSERT_GE(source.format.size(), sizeof(WAVEFORMATEX));
    const std::uint32_t block = source.Format()->nBlockAlign;
    Bytes whole;
    {
        Stream stream(source);
        whole = stream.ConvertAll(source.data);
    }
    // Block by block, and in slices that cut blocks, the output is the same.
    for (std::uint32_t step : {block, block + 7, 3 * block / 2, 5000u}) {
        Stream stream(source);
        EXPECT_EQ(stream.ConvertAll(source.data, step), whole) << "step " << step;
    }
    Stream stream(source);
    Bytes out;
    EXPECT_EQ(stream.Step(source.data.data(), block - 1, 1 << 20, out), 0u) << "a part of a block is left";
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(stream.Step(source.data.data(), 2 * block + 3, 1 << 20, out), 2 * block);
}

TEST(Acm, OutputThatDoesNotFitWaitsForTheNextCall) {
    for (const char* name : {"ulaw.wav", "ms-mono.wav"}) {
        SCOPED_TRACE(name);
        const Source source = FromWave(LoadSoundFixture(name));
        Bytes whole;
        {
            Stream stream(source);
            whole = stream.ConvertAll(source.data);
        }
        Stream stream(source);
        Bytes out;
        std::size_t position = 0;
        for (int calls = 0; calls < 100000; ++calls) {
            const auto size = static_cast<std::uint32_t>(std::min<std::size_t>(2048, source.data.size() - position));
            std::uint32_t produced = 0;
            position += stream.Step(source.data.data() + position, size, 333, out, &produced);
            if (produced == 0) break;
        }
        EXPECT_EQ(position, source.data.size());
        EXPECT_EQ(out, whole);
    }
}

TEST(Acm, RefusesWhatItCannotDecode) {
    WAVEFORMATEX pcm{};
    pcm.wFormatTag = WAVE_FORMAT_PCM;
    struct Case {
        WAVEFORMATEX format;
        const char* why;
    };
    const Case cases[] = {
        {{WAVE_FORMAT_PCM, 1, 22050, 44100, 2, 16, 0}, "PCM is no compressed format"},
        {{0x1234, 1, 22050, 11025, 1, 8, 0}, "an unknown tag"},
        {{WAVE_FORMAT_ALAW, 0, 8000, 8000, 1, 8, 0}, "no channels"},
        {{WAVE_FORMAT_ALAW, 3, 8000, 24000, 3, 8, 0}, "more channels than the mixer takes"},
        {{WAVE_FORMAT_ALAW, 1, 0, 0, 1, 8, 0}, "no rate"},
        {{WAVE_FORMAT_ALAW, 2, 8000, 8000, 1, 8, 0}, "a block smaller than a frame"},
        {{WAVE_FORMAT_IMA_ADPCM, 1, 8000, 4000, 0, 4, 0}, "no block"},
        {{WAVE_FORMAT_IMA_ADPCM, 2, 8000, 4000, 258, 4, 0}, "a block not in words per channel"},
        {{WAVE_FORMAT_ADPCM, 1, 8000, 4000, 6, 4, 0}, "a block shorter than its header"},
        {{WAVE_FORMAT_GSM610, 1, 8000, 1625, 64, 0, 0}, "a GSM block that is not 65 bytes"},
        {{WAVE_FORMAT_MPEGLAYER3, 1, 22000, 4000, 1, 0, 0}, "no MPEG rate"},
    };
    for (const Case& c : cases) {
        WAVEFORMATEX out = pcm;
        EXPECT_EQ(acmFormatSuggest(nullptr, &c.format, &out, sizeof out, ACM_FORMATSUGGESTF_WFORMATTAG),
                  ACMERR_NOTPOSSIBLE)
            << c.why;
        HACMSTREAM stream = nullptr;
        EXPECT_EQ(acmStreamOpen(&stream, nullptr, &c.format, &pcm, nullptr, 0, 0, 0), ACMERR_NOTPOSSIBLE) << c.why;
        EXPECT_EQ(stream, nullptr);
    }

    // ADPCM headers declaring more samples a block than the block holds.
    for (const auto& [tag, block, holds] : {std::tuple{WAVE_FORMAT_IMA_ADPCM, 256, 505}, std::tuple{WAVE_FORMAT_ADPCM, 256, 500}}) {
        for (int declared : {holds, holds + 1, 65535}) {
            Bytes format(20, 0);
            WAVEFORMATEX head{tag, 1, 11025, 5000, static_cast<WORD>(block), 4, 2};
            std::memcpy(format.data(), &head, sizeof head);
            format[18] = static_cast<std::uint8_t>(declared);
            format[19] = static_cast<std::uint8_t>(declared >> 8);
            WAVEFORMATEX out = pcm;
            EXPECT_EQ(acmFormatSuggest(nullptr, reinterpret_cast<const WAVEFORMATEX*>(format.data()), &out, sizeof out,
                                       ACM_FORMATSUGGESTF_WFORMATTAG),
                      declared <= holds ? MMSYSERR_NOERROR : ACMERR_NOTPOSSIBLE)
                << tag << " declaring " << declared;
        }
    }
    EXPECT_NE(PlatformDebugOutput().find("acm: a header declares 65535 samples in blocks of 256 bytes, which hold 500"),
              std::string::npos);

    const Source source = FromWave(LoadSoundFixture("alaw.wav"));
    WAVEFORMATEX resampled = {WAVE_FORMAT_PCM, 1, 22050, 44100, 2, 16, 0};
    HACMSTREAM stream = nullptr;
    EXPECT_EQ(acmStreamOpen(&stream, nullptr, source.Format(), &resampled, nullptr, 0, 0, 0), ACMERR_NOTPOSSIBLE)
        << "no change of rate";
    WAVEFORMATEX asked = {WAVE_FORMAT_ALAW, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(acmFormatSuggest(nullptr, source.Format(), &asked, sizeof asked, ACM_FORMATSUGGESTF_WFORMATTAG),
              ACMERR_NOTPOSSIBLE)
        << "only PCM comes out";

    Stream good(source);
    DWORD size = 0;
    auto bad = reinterpret_cast<HACMSTREAM>(std::uintptr_t{0x1000});
    EXPECT_EQ(acmStreamSize(bad, 100, &size, ACM_STREAMSIZEF_SOURCE), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(acmStreamClose(bad, 0), MMSYSERR_INVALHANDLE);
    ACMSTREAMHEADER h{};
    h.cbStruct = sizeof h;
    EXPECT_EQ(acmStreamConvert(good.handle(), &h, 0), ACMERR_UNPREPARED);
    EXPECT_EQ(acmStreamPrepareHeader(good.handle(), &h, 0), MMSYSERR_INVALPARAM) << "no buffers";
}

}  // namespace
