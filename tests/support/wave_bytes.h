// RIFF/WAVE files built byte by byte for the sound tests, and the committed
// sound fixtures (tests/data/sound, made once with sox) read back.
#pragma once

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

inline void PutU16(Bytes& out, std::uint32_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

inline void PutU32(Bytes& out, std::uint32_t v) {
    PutU16(out, v & 0xFFFF);
    PutU16(out, v >> 16);
}

inline void PutTag(Bytes& out, const char* tag) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(tag[i]));
}

inline std::uint32_t GetU32(const std::uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

struct WaveSpec {
    std::uint16_t tag = 1;
    std::uint16_t channels = 1;
    std::uint32_t rate = 22050;
    std::uint16_t bits = 16;
    std::uint32_t formatChunkSize = 16;  // 16, 18 or longer (zero-padded)
    std::int64_t averageOverride = -1;   // a wrong byte rate, when >= 0
    std::int64_t blockOverride = -1;     // a wrong block align, when >= 0
    std::int64_t bitsInChunk = -1;       // a wrong bits field, when >= 0
    Bytes chunksBeforeFormat;            // whole chunks between "WAVE" and "fmt "
    Bytes chunksBeforeData;              // whole chunks between "fmt " and "data"
    std::int64_t dataSizeOverride = -1;  // a size the data does not have, when >= 0
};

inline Bytes Chunk(const char* tag, const Bytes& body) {
    Bytes out;
    PutTag(out, tag);
    PutU32(out, static_cast<std::uint32_t>(body.size()));
    out.insert(out.end(), body.begin(), body.end());
    if (body.size() & 1) out.push_back(0);
    return out;
}

inline Bytes MakeWave(const WaveSpec& s, const Bytes& data) {
    const std::uint16_t block =
        s.blockOverride >= 0 ? static_cast<std::uint16_t>(s.blockOverride) : static_cast<std::uint16_t>(s.channels * s.bits / 8);
    Bytes format;
    PutU16(format, s.tag);
    PutU16(format, s.channels);
    PutU32(format, s.rate);
    PutU32(format, s.averageOverride >= 0 ? static_cast<std::uint32_t>(s.averageOverride) : s.rate * block);
    PutU16(format, block);
    PutU16(format, s.bitsInChunk >= 0 ? static_cast<std::uint32_t>(s.bitsInChunk) : s.bits);
    if (s.formatChunkSize >= 18) PutU16(format, s.formatChunkSize - 18);
    format.resize(s.formatChunkSize, 0);

    Bytes body;
    PutTag(body, "WAVE");
    body.insert(body.end(), s.chunksBeforeFormat.begin(), s.chunksBeforeFormat.end());
    Bytes fmt = Chunk("fmt ", format);
    body.insert(body.end(), fmt.begin(), fmt.end());
    body.insert(body.end(), s.chunksBeforeData.begin(), s.chunksBeforeData.end());
    PutTag(body, "data");
    PutU32(body, s.dataSizeOverride >= 0 ? static_cast<std::uint32_t>(s.dataSizeOverride)
                                         : static_cast<std::uint32_t>(data.size()));
    body.insert(body.end(), data.begin(), data.end());
    Bytes out;
    PutTag(out, "RIFF");
    PutU32(out, static_cast<std::uint32_t>(body.size()));
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

inline Bytes Samples16(const std::vector<std::int16_t>& samples) {
    Bytes out;
    for (std::int16_t v : samples) PutU16(out, static_cast<std::uint16_t>(v));
    return out;
}

// A counting pattern: sample i holds (i * step) wrapped to 16 bits, so every
// sample of a capture tells where it came from.
inline std::vector<std::int16_t> Ramp(std::size_t count, int step = 7, int start = 0) {
    std::vector<std::int16_t> out(count);
    for (std::size_t i = 0; i < count; ++i)
        out[i] = static_cast<std::int16_t>(static_cast<std::uint16_t>(start + static_cast<int>(i) * step));
    return out;
}

inline std::string SoundFixturePath(const std::string& name) {
#ifdef KELVO_TEST_DATA_DIR
    return std::string(KELVO_TEST_DATA_DIR) + "/sound/" + name;
#else
    return "tests/data/sound/" + name;
#endif
}

inline Bytes LoadSoundFixture(const std::string& name) {
    std::ifstream in(SoundFixturePath(name), std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

// The samples of a 16-bit PCM WAV file (sox's decodes).
inline std::vector<std::int16_t> WaveSamples(const Bytes& file, int* channels = nullptr) {
    std::size_t p = 12;
    std::vector<std::int16_t> out;
    while (p + 8 <= file.size()) {
        const std::uint32_t size = GetU32(&file[p + 4]);
        if (std::equal(file.begin() + p, file.begin() + p + 4, "fmt ") && channels != nullptr)
            *channels = file[p + 10] | (file[p + 11] << 8);
        if (std::equal(file.begin() + p, file.begin() + p + 4, "data")) {
            for (std::size_t i = p + 8; i + 1 < file.size() && i + 1 < p + 8 + size; i += 2)
                out.push_back(static_cast<std::int16_t>(file[i] | (file[i + 1] << 8)));
            break;
        }
        p += 8 + size + (size & 1);
    }
    return out;
}

// The samples per block a compressed (ADPCM) header declares: the first
// word after the format record's 18 bytes.
inline Bytes WithSamplesPerBlock(Bytes file, unsigned count) {
    const auto fmt = std::search(file.begin(), file.end(), std::begin("fmt "), std::begin("fmt ") + 4);
    const std::size_t at = static_cast<std::size_t>(fmt - file.begin()) + 8 + 18;
    file[at] = static_cast<std::uint8_t>(count);
    file[at + 1] = static_cast<std::uint8_t>(count >> 8);
    return file;
}

// An IMA (0x11) or MS (2) ADPCM file of 9,200 blocks of 8 bytes whose
// header declares 65,535 samples a block: 1.2 GB of PCM, were it believed.
inline Bytes MakeAdpcmClaimingWave(std::uint16_t tag) {
    WaveSpec spec;
    spec.tag = tag;
    spec.bits = 4;
    spec.blockOverride = 8;
    spec.formatChunkSize = tag == 2 ? 50 : 20;  // MS: the count, then 7 coefficient pairs
    Bytes file = MakeWave(spec, Bytes(8 * 9200, 0x11));
    if (tag == 2) {
        const auto fmt = std::search(file.begin(), file.end(), std::begin("fmt "), std::begin("fmt ") + 4);
        *(fmt + 8 + 20) = 7;
    }
    return WithSamplesPerBlock(file, 65535);
}
