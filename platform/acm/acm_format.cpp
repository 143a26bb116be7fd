#include "acm/acm_format.h"

#include <cstring>
#include <string>

#include "platform/kernel.h"

namespace {

constexpr int kMaxRate = 384000;
// G.711 frames are gathered into packets of up to this many.
constexpr int kG711FramesPerPacket = 1024;
// The most samples an MPEG audio frame holds.
constexpr int kMpegMaxFrameSamples = 1152;

int ExtraWord(const std::uint8_t* extra, std::size_t extraSize, std::size_t offset) {
    if (extra == nullptr || extraSize < offset + 2) return 0;
    return extra[offset] | (extra[offset + 1] << 8);
}

// A header whose count of samples a block is more than its blocks hold.
bool DeclaresTooMany(const std::uint8_t* extra, std::size_t extraSize, int holds, int block) {
    const int declared = ExtraWord(extra, extraSize, 0);
    if (declared <= holds) return false;
    const std::string note = "acm: a header declares " + std::to_string(declared) + " samples in blocks of " +
                             std::to_string(block) + " bytes, which hold " + std::to_string(holds) + "\n";
    OutputDebugStringA(note.c_str());
    return true;
}

bool IsMpegRate(int rate) {
    switch (rate) {
        case 8000: case 11025: case 12000: case 16000: case 22050: case 24000: case 32000: case 44100: case 48000:
            return true;
        default:
            return false;
    }
}

}  // namespace

std::optional<AcmSourceKind> DescribeAcmSource(const WAVEFORMATEX& format, const std::uint8_t* extra,
                                               std::size_t extraSize) {
    const int channels = format.nChannels;
    const int rate = static_cast<int>(format.nSamplesPerSec);
    const int block = format.nBlockAlign;
    if (channels < 1 || channels > 2 || rate < 1 || rate > kMaxRate) return std::nullopt;
    AcmSourceKind kind{nullptr, AcmPacking::Blocks, channels, rate, format.wBitsPerSample, block, 0, 1, 0};

    switch (format.wFormatTag) {
        case WAVE_FORMAT_ALAW:
        case WAVE_FORMAT_MULAW:
            if (format.wBitsPerSample != 8 || block != channels) return std::nullopt;
            kind.decoder = format.wFormatTag == WAVE_FORMAT_ALAW ? "pcm_alaw" : "pcm_mulaw";
            kind.samplesPerBlock = 1;
            kind.blocksPerPacket = kG711FramesPerPacket;
            return kind;
        case WAVE_FORMAT_IMA_ADPCM: {
            // A 4-byte header per channel, then 4-bit codes in words of 4 bytes per channel.
            if (format.wBitsPerSample != 4 || block < 8 * channels || block % (4 * channels) != 0)
                return std::nullopt;
            const int computed = 1 + (block - 4 * channels) * 2 / channels;
            // A count the block cannot hold is a damaged header; a smaller
            // one (or none) still decodes the block whole.
            if (DeclaresTooMany(extra, extraSize, computed, block)) return std::nullopt;
            kind.decoder = "adpcm_ima_wav";
            kind.samplesPerBlock = computed;
            return kind;
        }
        case WAVE_FORMAT_ADPCM: {
            // A 7-byte header per channel (two samples in it), then 4-bit codes.
            if (format.wBitsPerSample != 4 || block < 7 * channels) return std::nullopt;
            const int computed = 2 + (block - 7 * channels) * 2 / channels;
            if (DeclaresTooMany(extra, extraSize, computed, block)) return std::nullopt;
            kind.decoder = "adpcm_ms";
            kind.samplesPerBlock = computed;
            return kind;
        }
        case WAVE_FORMAT_GSM610:
            // Two 33-byte frames packed into 65 bytes: 320 samples.
            if (channels != 1 || block != 65) return std::nullopt;
            kind.decoder = "gsm_ms";
            kind.samplesPerBlock = 320;
            return kind;
        case WAVE_FORMAT_MPEG:
        case WAVE_FORMAT_MPEGLAYER3:
            if (!IsMpegRate(rate)) return std::nullopt;
            // The fixed-point decoder takes layers I, II and III alike.
            kind.decoder = "mp3";
            kind.packing = AcmPacking::Frames;
            kind.blockBytes = 0;
            // The lowest bit rates: at 16 to 24 kHz a byte can carry 24
            // samples, at every other MPEG rate 12.
            kind.maxSamplesPerByte = rate >= 16000 && rate <= 24000 ? 24 : 12;
            return kind;
        default:
            return std::nullopt;
    }
}

std::uint64_t AcmOutputBound(const AcmSourceKind& kind, std::uint64_t input) {
    const std::uint64_t frameBytes = static_cast<std::uint64_t>(kind.channels) * 2;
    if (kind.packing == AcmPacking::Frames)
        return (input * static_cast<std::uint64_t>(kind.maxSamplesPerByte) + kMpegMaxFrameSamples) * frameBytes;
    const auto block = static_cast<std::uint64_t>(kind.blockBytes);
    const std::uint64_t blocks = (input + block - 1) / block;
    return blocks * static_cast<std::uint64_t>(kind.samplesPerBlock) * frameBytes;
}

std::size_t AcmPacketOutputBound(const AcmSourceKind& kind) {
    const int samples = kind.packing == AcmPacking::Frames ? kMpegMaxFrameSamples
                                                           : kind.samplesPerBlock * kind.blocksPerPacket;
    return static_cast<std::size_t>(samples) * static_cast<std::size_t>(kind.channels) * 2;
}
