// MPEG audio files: tags skipped, frames counted, then decoded through ACM
// like a compressed WAV file.
#include <cstring>

#include "core/memory.h"
#include "files/file_functions.h"
#include "sound/mpeg_frame.h"
#include "sound/sound_converter.h"

int ParseMpegFrameHeader(const unsigned char header[4], MpegFrameHeader* out) {
    if (header[0] != 0xFF || (header[1] & 0xF0) != 0xF0) return -2;
    const int mpeg1 = (header[1] & 0x08) != 0 ? 1 : 0;
    const int layer = 3 - ((header[1] >> 1) & 3);
    if (layer == 3) return -1;
    const int bitRateIndex = header[2] >> 4;
    const int rateIndex = (header[2] >> 2) & 3;
    // Free format (index 0) has no frame size to go by.
    if (bitRateIndex == 0 || bitRateIndex == 15 || rateIndex == 3) return -1;
    const int version = mpeg1 ? 0 : 1;
    MpegFrameHeader h{};
    h.mpeg1 = mpeg1;
    h.layer = layer;
    h.bitRate = kMpegBitRates[version][layer][bitRateIndex];
    h.sampleRate = kMpegSampleRates[version][rateIndex];
    h.padding = (header[2] >> 1) & 1;
    h.channels = (header[3] >> 6) == 3 ? 1 : 2;
    if (layer == 0) {
        h.frameBytes = (h.bitRate * 12000 / h.sampleRate + h.padding) * 4;
        h.samples = 384;
    } else if (layer == 1 || mpeg1) {
        h.frameBytes = h.bitRate * 144000 / h.sampleRate + h.padding;
        h.samples = 1152;
    } else {
        h.frameBytes = h.bitRate * 72000 / h.sampleRate + h.padding;
        h.samples = 576;
    }
    *out = h;
    return 0;
}

namespace {

// Where the audio lies between an ID3v2 tag in front and an ID3v1 tag behind.
bool FindAudio(const unsigned char* bytes, std::int64_t size, std::int64_t* start, std::int64_t* end) {
    *start = 0;
    *end = size;
    if (size >= 10 && std::memcmp(bytes, "ID3", 3) == 0) {
        const std::int64_t stored = (static_cast<std::int64_t>(bytes[6] & 0x7F) << 21) | ((bytes[7] & 0x7F) << 14) |
                                    ((bytes[8] & 0x7F) << 7) | (bytes[9] & 0x7F);
        *start = stored + 10;
        if (bytes[3] == 4 && (bytes[5] & 0x10) != 0) *start += 10;
    }
    if (size > 128 && std::memcmp(bytes + size - 128, "TAG", 3) == 0) *end = size - 128;
    return *start < *end;
}

}  // namespace

int OpenMpegAcmSource(SoundConverter* c) {
    const std::int64_t size = SourceSize(c);
    if (size < 4 || size > 0xFFFFFFFFll) return -1;
    auto* bytes = static_cast<unsigned char*>(KV_ALLOC(static_cast<std::size_t>(size)));
    if (bytes == nullptr) return -1;
    c->stream.functions.seek(c->stream.dataHandle, 0, kSeekOriginStart);
    std::int64_t start, end;
    if (ReadSource(c, bytes, size) != size || !FindAudio(bytes, size, &start, &end)) {
        KV_FREE(bytes);
        return -1;
    }

    std::int64_t first = -1;
    MpegFrameHeader firstHeader{};
    std::int64_t samples = 0;
    std::int64_t position = start;
    while (position + 1 < end) {
        if (bytes[position] != 0xFF || (bytes[position + 1] & 0xF0) != 0xF0) {
            ++position;
            continue;
        }
        MpegFrameHeader header;
        if (position + 4 > end) break;
        if (ParseMpegFrameHeader(bytes + position, &header) != 0) {
            KV_FREE(bytes);
            return -1;
        }
        if (first < 0) {
            first = position;
            firstHeader = header;
        }
        samples += header.samples;
        position += header.frameBytes;
    }
    KV_FREE(bytes);
    if (first < 0) return -1;

    auto* source = static_cast<MPEGLAYER3WAVEFORMAT*>(KV_ALLOC_ZEROED(sizeof(MPEGLAYER3WAVEFORMAT)));
    if (source == nullptr) return -1;
    source->wfx.wFormatTag = WAVE_FORMAT_MPEGLAYER3;
    source->wfx.nChannels = static_cast<WORD>(firstHeader.channels);
    source->wfx.nSamplesPerSec = static_cast<DWORD>(firstHeader.sampleRate);
    source->wfx.nAvgBytesPerSec = static_cast<DWORD>(firstHeader.bitRate * 1000 / 8);
    source->wfx.nBlockAlign = 1;
    source->wfx.wBitsPerSample = 0;
    source->wfx.cbSize = MPEGLAYER3_WFX_EXTRA_BYTES;
    source->wID = MPEGLAYER3_ID_MPEG;
    source->fdwFlags = firstHeader.padding ? MPEGLAYER3_FLAG_PADDING_ON : MPEGLAYER3_FLAG_PADDING_OFF;
    source->nBlockSize = static_cast<WORD>(firstHeader.frameBytes);
    source->nFramesPerBlock = 1;
    source->nCodecDelay = 700;

    c->dataOffset = first;
    c->dataSize = end - first;
    c->totalSamples = samples;
    return StartAcmConversion(c, &source->wfx, sizeof(MPEGLAYER3WAVEFORMAT));
}
