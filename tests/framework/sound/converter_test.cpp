// The sound converter over memory streams: the WAV walk and its refusals,
// reads, seeks and whole conversions of PCM, compressed WAV, Ogg Vorbis and
// MPEG audio (checked against sox's decodes), and the memory helpers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <memory>
#include <vector>

#include "core/memory.h"
#include "files/stream_functions.h"
#include "files/stream_memory.h"
#include "sound/sound_converter.h"
#include "sound/sound_memory.h"
#include "support/wave_bytes.h"

namespace {

// A converter opened over bytes held in memory; closed when it goes.
class Converter {
public:
    // With `opener`, only that one is tried.
    explicit Converter(Bytes bytes, SoundSourceOpener opener = nullptr) : bytes_(std::move(bytes)) {
        memory_ = OpenMemoryStream(bytes_.data(), bytes_.size());
        stream_ = {*GetMemoryStreamFunctions(), reinterpret_cast<StreamHandle>(memory_)};
        result_ = opener != nullptr ? OpenSoundConverterWith(&c_, &stream_, &opener, 1) : OpenSoundConverter(&c_, &stream_);
    }
    ~Converter() {
        if (result_ == 0) CloseSoundConverter(&c_);
        CloseMemoryStream(memory_);
    }
    bool opened() const { return result_ == 0; }
    SoundConverter* get() { return &c_; }
    SoundConverter* operator->() { return &c_; }

    Bytes Read(std::int64_t bytes) {
        Bytes out(static_cast<std::size_t>(bytes));
        const std::int64_t got = ReadConvertedPcm(&c_, out.data(), bytes);
        out.resize(got < 0 ? 0 : static_cast<std::size_t>(got));
        return out;
    }

    Bytes Whole() {
        void* block = nullptr;
        std::int64_t size = 0;
        EXPECT_EQ(ConvertWholeSound(&c_, nullptr, &block, &size), 0);
        Bytes out(static_cast<const std::uint8_t*>(block), static_cast<const std::uint8_t*>(block) + size);
        KV_FREE(block);
        return out;
    }

private:
    Bytes bytes_;
    MemoryStream* memory_;
    StreamData stream_;
    SoundConverter c_;
    int result_;
};

std::vector<std::int16_t> AsSamples(const Bytes& pcm) {
    std::vector<std::int16_t> out(pcm.size() / 2);
    std::memcpy(out.data(), pcm.data(), out.size() * 2);
    return out;
}

int LargestDifference(const std::vector<std::int16_t>& a, const std::vector<std::int16_t>& b) {
    int largest = 0;
    for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i) largest = std::max(largest, std::abs(a[i] - b[i]));
    return largest;
}

const Bytes kSilence(64, 0);  // data that holds no MPEG frame sync

TEST(SoundConverter, TheWaveHeaderWalk) {
    struct Case {
        const char* what;
        WaveSpec spec;
        bool opens;
        int bits;  // of the output format, when it opens
    };
    WaveSpec listFirst;
    listFirst.chunksBeforeFormat = Chunk("LIST", Bytes(6, 'x'));
    WaveSpec oddChunk;
    oddChunk.chunksBeforeData = Chunk("junk", Bytes(3, 'y'));  // padded to 4
    WaveSpec shortFormat;
    shortFormat.channels = 2;
    shortFormat.bitsInChunk = 8;  // wrong; a 16-byte chunk takes the block instead
    WaveSpec longFormat;
    longFormat.formatChunkSize = 40;
    WaveSpec longFormatWrongBits = shortFormat;
    longFormatWrongBits.formatChunkSize = 18;
    WaveSpec noChannels;
    noChannels.channels = 0;
    noChannels.blockOverride = 2;
    WaveSpec noBlock;
    noBlock.blockOverride = 0;
    WaveSpec noRate;
    noRate.rate = 0;
    WaveSpec tinyFormat;
    tinyFormat.formatChunkSize = 14;
    const Case cases[] = {
        {"plain PCM", WaveSpec{}, true, 16},
        {"a chunk between WAVE and fmt", listFirst, false, 0},
        {"an odd chunk before the data", oddChunk, true, 16},
        {"a 16-byte format with a wrong bits field", shortFormat, true, 16},
        {"an 18-byte format keeps its bits field", longFormatWrongBits, true, 8},
        {"a 40-byte format chunk", longFormat, true, 16},
        {"no channels", noChannels, false, 0},
        {"no block align", noBlock, false, 0},
        {"no rate", noRate, false, 0},
        {"a format chunk too short for the record", tinyFormat, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Converter converter(MakeWave(c.spec, kSilence));
        ASSERT_EQ(converter.opened(), c.opens);
        if (!c.opens) continue;
        EXPECT_EQ(converter->type, kConverterTypePcm) << "PCM never goes to ACM";
        EXPECT_EQ(converter->format.wBitsPerSample, c.bits);
        EXPECT_EQ(converter->format.cbSize, 0);
        EXPECT_EQ(converter->dataSize, 64);
        EXPECT_EQ(converter.Whole(), kSilence);
    }
}

TEST(SoundConverter, DamagedWaveFilesAreRefusedOrReadAsFarAsTheyGo) {
    const Bytes good = MakeWave(WaveSpec{}, Samples16(Ramp(100)));
    // Cut anywhere before the data begins: refused by every opener.
    for (std::size_t cut = 0; cut < 44; ++cut) {
        Converter converter(Bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(cut)));
        EXPECT_FALSE(converter.opened()) << cut;
    }
    // A data chunk that claims more than the file holds gives what is there.
    WaveSpec claimsMore;
    claimsMore.dataSizeOverride = 0x7FFFFFF0;
    Converter converter(MakeWave(claimsMore, Samples16(Ramp(100))));
    ASSERT_TRUE(converter.opened());
    EXPECT_EQ(EstimateConvertedSize(converter.get()), 200);
    EXPECT_EQ(converter.Whole(), Samples16(Ramp(100)));
    // A chunk size that runs past the end of the file.
    WaveSpec hugeChunk;
    hugeChunk.chunksBeforeData = {'j', 'u', 'n', 'k', 0xF0, 0xFF, 0xFF, 0xFF};
    EXPECT_FALSE(Converter(MakeWave(hugeChunk, kSilence)).opened());
}

TEST(SoundConverter, ReadsInPiecesAndSeeksToTheSample) {
    const std::vector<std::int16_t> ramp = Ramp(30000, 3);
    WaveSpec stereo;
    stereo.channels = 2;
    Converter converter(MakeWave(stereo, Samples16(ramp)));  // 15000 frames, block 4
    ASSERT_TRUE(converter.opened());
    const Bytes all = Samples16(ramp);
    Bytes pieces;
    for (std::int64_t n = 1; pieces.size() < all.size(); n = n * 3 % 9001 + 1) {
        const Bytes got = converter.Read(n);
        if (got.empty()) break;
        pieces.insert(pieces.end(), got.begin(), got.end());
    }
    EXPECT_EQ(pieces, all);
    EXPECT_EQ(converter.Read(10).size(), 0u) << "the end";

    SeekSoundConverter(converter.get(), 1000);
    EXPECT_EQ(converter.Read(8), Bytes(all.begin() + 4000, all.begin() + 4008));
    // Less than 16 bytes away: nothing happens, the read goes on.
    SeekSoundConverter(converter.get(), 1000);
    EXPECT_EQ(converter.Read(4), Bytes(all.begin() + 4008, all.begin() + 4012));
    SeekSoundConverter(converter.get(), 1005);
    EXPECT_EQ(converter.Read(4), Bytes(all.begin() + 4012, all.begin() + 4016)) << "8 bytes away: read on";
    SeekSoundConverter(converter.get(), 1010);
    EXPECT_EQ(converter.Read(4), Bytes(all.begin() + 4040, all.begin() + 4044)) << "20 bytes away: moved";
}

TEST(SoundConverter, CompressedWaveGoesThroughAcmAndSeeksBothWays) {
    Converter converter(LoadSoundFixture("ima-mono.wav"));
    ASSERT_TRUE(converter.opened());
    EXPECT_EQ(converter->type, kConverterTypeAcm);
    EXPECT_EQ(converter->totalSamples, -1);
    EXPECT_EQ(converter->format.wFormatTag, WAVE_FORMAT_PCM);
    EXPECT_EQ(converter->format.nBlockAlign, 2);
    const Bytes whole = converter.Whole();
    EXPECT_LE(LargestDifference(AsSamples(whole), WaveSamples(LoadSoundFixture("ima-mono.sox.wav"))), 64);
    EXPECT_GE(EstimateConvertedSize(converter.get()), static_cast<std::int64_t>(whole.size()));

    // Forward past buffers, back to the top on the spare stream, and again.
    for (std::int64_t sample : {3000, 20, 1700, 1690, 0, 3534}) {
        SeekSoundConverter(converter.get(), sample);
        const Bytes got = converter.Read(2);
        ASSERT_EQ(got.size(), 2u) << sample;
        EXPECT_EQ(got, Bytes(whole.begin() + sample * 2, whole.begin() + sample * 2 + 2)) << sample;
    }
}

// ADPCM headers: a declared count of samples per block above what the block
// holds is a damaged header and refused before anything is reserved for it;
// a count at or below it decodes the blocks whole as before.
TEST(SoundConverter, AdpcmHeadersDeclaringMoreThanABlockHoldsAreRefused) {
    const struct {
        const char* fixture;
        unsigned holds;  // samples a block of the fixture holds
    } fixtures[] = {{"ima-mono.wav", 505}, {"ima-stereo.wav", 505}, {"ms-mono.wav", 500}, {"ms-stereo.wav", 500}};
    for (const auto& f : fixtures) {
        SCOPED_TRACE(f.fixture);
        const Bytes whole = Converter(LoadSoundFixture(f.fixture)).Whole();
        ASSERT_GT(whole.size(), 1000u);
        for (unsigned declared : {0u, f.holds - 1, f.holds, f.holds + 1, 65535u}) {
            SCOPED_TRACE(declared);
            Converter converter(WithSamplesPerBlock(LoadSoundFixture(f.fixture), declared), OpenWaveAcmSource);
            ASSERT_EQ(converter.opened(), declared <= f.holds);
            if (converter.opened()) {
                EXPECT_EQ(converter.Whole(), whole);
            }
        }
    }
    // 65,535 samples declared for blocks of 8 bytes, 9,200 blocks: reserved
    // as declared, 1.2 GB. The compressed-WAV opener refuses it; whatever
    // the openers after it make of the file (its 0xFF bytes can pass for an
    // MPEG frame), the whole conversion reserves little more than the file.
    for (std::uint16_t tag : {WAVE_FORMAT_IMA_ADPCM, WAVE_FORMAT_ADPCM}) {
        SCOPED_TRACE(tag);
        const Bytes file = MakeAdpcmClaimingWave(tag);
        EXPECT_FALSE(Converter(file, OpenWaveAcmSource).opened());
        g_MemoryTracker.peakSize = g_MemoryTracker.totalSize;
        const std::int64_t before = g_MemoryTracker.totalSize;
        Converter converter(file);
        if (converter.opened()) {
            EXPECT_NE(converter->sourceFormat->wFormatTag, tag);
            converter.Whole();
        }
        EXPECT_LT(g_MemoryTracker.peakSize - before, 16 << 20) << "bytes reserved at the peak";
    }
}

// A conversion that gives nothing keeps nothing: an IMA block of 4,096
// bytes (8,185 samples) with only part of one block of data.
TEST(SoundConverter, AConversionThatYieldsNothingKeepsNothing) {
    WaveSpec spec;
    spec.tag = WAVE_FORMAT_IMA_ADPCM;
    spec.bits = 4;
    spec.blockOverride = 4096;
    spec.formatChunkSize = 20;
    Converter converter(WithSamplesPerBlock(MakeWave(spec, Bytes(1000, 0x11)), 8185));
    ASSERT_TRUE(converter.opened());
    EXPECT_EQ(EstimateConvertedSize(converter.get()), 8185 * 2);
    const int blocks = g_MemoryTracker.count;
    void* block = reinterpret_cast<void*>(1);
    std::int64_t size = -1;
    ASSERT_EQ(ConvertWholeSound(converter.get(), nullptr, &block, &size), 0);
    EXPECT_EQ(size, 0);
    EXPECT_EQ(block, nullptr);
    EXPECT_EQ(g_MemoryTracker.count, blocks);
}

TEST(SoundConverter, OggVorbisEstimatesASecondMoreThanItGives) {
    Converter converter(LoadSoundFixture("stereo.ogg"));
    ASSERT_TRUE(converter.opened());
    EXPECT_EQ(converter->type, kConverterTypeOgg);
    const std::vector<std::int16_t> reference = WaveSamples(LoadSoundFixture("stereo.sox.wav"));
    const std::int64_t frames = static_cast<std::int64_t>(reference.size() / 2);
    EXPECT_EQ(EstimateConvertedSize(converter.get()), (frames + 44100) * 4);
    const Bytes whole = converter.Whole();
    EXPECT_EQ(static_cast<std::int64_t>(whole.size()), frames * 4);
    EXPECT_EQ(AsSamples(whole), reference) << "the same library decodes both";
    SeekSoundConverter(converter.get(), 1234);
    EXPECT_EQ(converter.Read(4), Bytes(whole.begin() + 1234 * 4, whole.begin() + 1235 * 4));
}

TEST(SoundConverter, MpegAudioCountsItsFramesAndSkipsItsTags) {
    const Bytes mp3 = LoadSoundFixture("layer3.mp3");
    const std::vector<std::int16_t> reference = WaveSamples(LoadSoundFixture("layer3.sox.wav"));
    std::int64_t plainFrames = 0;
    Bytes plainWhole;
    {
        Converter converter(mp3);
        ASSERT_TRUE(converter.opened());
        EXPECT_EQ(converter->type, kConverterTypeAcm);
        EXPECT_EQ(converter->dataOffset, 0);
        EXPECT_EQ(converter->totalSamples % 576, 0) << "MPEG-2 layer III frames";
        plainFrames = converter->totalSamples;
        EXPECT_EQ(EstimateConvertedSize(converter.get()), plainFrames * 2);
        plainWhole = converter.Whole();
        EXPECT_EQ(static_cast<std::int64_t>(plainWhole.size()), plainFrames * 2);
        EXPECT_LE(LargestDifference(AsSamples(plainWhole), reference), 2);
    }
    // An ID3v2 tag of stored size S in front (S + 10 bytes; 10 more with a
    // version 4 footer), an ID3v1 tag of 128 bytes behind.
    for (int version : {3, 4}) {
        Bytes tagged = {'I', 'D', '3', static_cast<std::uint8_t>(version), 0, 0x10, 0, 0, 0x01, 0x05};  // S = 133
        tagged.resize(10 + 133 + (version == 4 ? 10 : 0), 0xFF);  // sync-like bytes inside the tag are skipped
        const std::int64_t start = static_cast<std::int64_t>(tagged.size());
        tagged.insert(tagged.end(), mp3.begin(), mp3.end());
        Bytes trailer = {'T', 'A', 'G'};
        trailer.resize(128, 0xFF);
        tagged.insert(tagged.end(), trailer.begin(), trailer.end());
        Converter converter(tagged);
        ASSERT_TRUE(converter.opened()) << version;
        EXPECT_EQ(converter->dataOffset, start);
        EXPECT_EQ(converter->dataSize, static_cast<std::int64_t>(mp3.size()));
        EXPECT_EQ(converter->totalSamples, plainFrames);
        EXPECT_EQ(converter.Whole(), plainWhole);
    }
}

TEST(SoundConverter, MpegHeadersThatDoNotDecodeRefuseTheFile) {
    // Free format (bit-rate index 0) has no frame size: refused, not scanned for ever.
    EXPECT_FALSE(Converter(Bytes{0xFF, 0xFB, 0x00, 0xC4, 0, 0, 0, 0}).opened());
    EXPECT_FALSE(Converter(Bytes{0xFF, 0xF9, 0x90, 0xC4, 0, 0, 0, 0}).opened()) << "layer bits 0";
    EXPECT_FALSE(Converter(Bytes{0xFF, 0xFB, 0x9C, 0xC4, 0, 0, 0, 0}).opened()) << "rate index 3";
    EXPECT_FALSE(Converter(Bytes(1000, 0)).opened()) << "no frame at all";
}

TEST(SoundConverter, AWholeConversionNeverWritesPastItsEstimate) {
    Converter converter(LoadSoundFixture("layer3.mp3"));
    ASSERT_TRUE(converter.opened());
    // Frames that decode to more than the count promised are cut at it.
    converter->totalSamples = 1000;
    void* block = nullptr;
    std::int64_t size = 0;
    ASSERT_EQ(ConvertWholeSound(converter.get(), nullptr, &block, &size), 0);
    EXPECT_EQ(size, 2000);
    const auto* header = reinterpret_cast<const TrackedAllocHeader*>(static_cast<const char*>(block) -
                                                                      kTrackedAllocHeaderSize);
    EXPECT_EQ(header->size, 2000u);
    KV_FREE(block);
}

TEST(SoundMemory, WaveImagesRoundTripThroughTheConverter) {
    const WAVEFORMATEX format{WAVE_FORMAT_PCM, 2, 11025, 44100, 4, 16, 0};
    const Bytes data = Samples16(Ramp(40));
    std::int64_t size = 0;
    void* image = BuildWaveImage(&format, 18, data.data(), static_cast<std::uint32_t>(data.size()), &size);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(size, 28 + 18 + 80);
    const auto* bytes = static_cast<const std::uint8_t*>(image);
    EXPECT_EQ(std::string(bytes, bytes + 4), "RIFF");
    EXPECT_EQ(GetU32(bytes + 4), size - 8);
    EXPECT_EQ(std::string(bytes + 8, bytes + 16), "WAVEfmt ");
    EXPECT_EQ(GetU32(bytes + 16), 18u);
    EXPECT_EQ(std::string(bytes + 38, bytes + 42), "data");
    Converter converter(Bytes(bytes, bytes + size));
    KV_FREE(image);
    ASSERT_TRUE(converter.opened());
    EXPECT_EQ(std::memcmp(&converter->format, &format, sizeof format), 0);
    EXPECT_EQ(converter.Whole(), data);
}

TEST(SoundMemory, StreamsAndFilesIntoMemory) {
    const Bytes bytes = {1, 2, 3, 4, 5, 6, 7};
    MemoryStream* memory = OpenMemoryStream(bytes.data(), bytes.size());
    const StreamData stream{*GetMemoryStreamFunctions(), reinterpret_cast<StreamHandle>(memory)};
    MemStreamSeek(memory, 3, 0);
    void* block = nullptr;
    std::int64_t size = 0;
    ASSERT_EQ(ReadStreamToMemory(&stream, &block, &size), 0);
    EXPECT_EQ(Bytes(static_cast<std::uint8_t*>(block), static_cast<std::uint8_t*>(block) + size),
              Bytes({4, 5, 6, 7}));
    KV_FREE(block);
    CloseMemoryStream(memory);
    EXPECT_EQ(LoadFileToMemory("no such file.wav", &block, &size), -1);
}

}  // namespace
