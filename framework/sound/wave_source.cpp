// RIFF/WAVE files: the header walk both WAV openers share, and the PCM source.
#include <algorithm>
#include <cstring>

#include "core/little_endian.h"
#include "core/memory.h"
#include "files/file_functions.h"
#include "sound/sound_converter.h"
#include "sound/wave_record.h"

namespace {

// Sample rates above this are taken for damage: one second of such a sound
// could not be held anyway.
constexpr std::uint32_t kMaxSampleRate = 1'000'000;

bool ReadChunkHeader(SoundConverter* c, char id[4], std::uint32_t* size) {
    unsigned char header[8];
    if (ReadSource(c, header, 8) != 8) return false;
    std::memcpy(id, header, 4);
    *size = LoadU32(header + 4);
    return true;
}

}  // namespace

int ReadWaveHeader(SoundConverter* c, WAVEFORMATEX* format, WAVEFORMATEX** wholeFormat,
                   std::uint32_t* wholeFormatSize) {
    if (wholeFormat != nullptr) *wholeFormat = nullptr;
    const std::int64_t streamSize = SourceSize(c);
    if (streamSize < 12) return -1;
    char id[4];
    std::uint32_t size;
    if (!ReadChunkHeader(c, id, &size) || std::memcmp(id, "RIFF", 4) != 0) return -1;
    unsigned char wave[4];
    if (ReadSource(c, wave, 4) != 4 || std::memcmp(wave, "WAVE", 4) != 0) return -1;

    // The format chunk must come first.
    if (!ReadChunkHeader(c, id, &size) || std::memcmp(id, "fmt ", 4) != 0) return -1;
    const std::int64_t formatOffset = c->stream.functions.tell(c->stream.dataHandle);
    if (size < 16 || formatOffset < 0 || size > streamSize - formatOffset) return -1;
    c->formatOffset = formatOffset;
    c->formatSize = size;

    // The record takes at most its own 18 bytes; the rest of a longer chunk
    // is passed over (or kept whole, for ACM, in a block of its own).
    const std::uint32_t blockSize = std::max<std::uint32_t>(size, sizeof(WAVEFORMATEX));
    auto* whole = static_cast<unsigned char*>(KV_ALLOC_ZEROED(blockSize));
    if (whole == nullptr) return -1;
    if (ReadSource(c, whole, size) != size) {
        KV_FREE(whole);
        return -1;
    }
    *format = {};
    DecodeWaveFormat(whole, size, format);
    // Zero channels, block align or rate would divide by zero later on.
    if (format->nChannels == 0 || format->nBlockAlign == 0 || format->nSamplesPerSec == 0 ||
        format->nSamplesPerSec > kMaxSampleRate) {
        KV_FREE(whole);
        return -1;
    }
    if (size == 16) {
        format->wBitsPerSample = static_cast<WORD>(format->nBlockAlign / format->nChannels * 8);
        format->cbSize = 0;
    }
    // Extra bytes only as far as the chunk holds them.
    format->cbSize = static_cast<WORD>(std::min<std::uint32_t>(format->cbSize, blockSize - sizeof(WAVEFORMATEX)));

    // Up to the data, each chunk's size made even.
    const StreamFunctions& f = c->stream.functions;
    std::int64_t next = formatOffset + size + (size & 1);
    for (;;) {
        if (next > streamSize - 8 || f.seek(c->stream.dataHandle, next, kSeekOriginStart) != 0 ||
            !ReadChunkHeader(c, id, &size)) {
            KV_FREE(whole);
            return -1;
        }
        if (std::memcmp(id, "data", 4) == 0) break;
        next += 8 + static_cast<std::int64_t>(size) + (size & 1);
    }
    c->dataOffset = next + 8;
    // A data chunk that claims more than the file holds ends with the file.
    c->dataSize = std::min<std::int64_t>(size, streamSize - c->dataOffset);

    if (wholeFormat != nullptr) {
        std::memcpy(whole, format, sizeof(WAVEFORMATEX));
        *wholeFormat = reinterpret_cast<WAVEFORMATEX*>(whole);
        *wholeFormatSize = blockSize;
    } else {
        KV_FREE(whole);
    }
    return 0;
}

int OpenWavePcmSource(SoundConverter* c) {
    WAVEFORMATEX format;
    if (ReadWaveHeader(c, &format, nullptr, nullptr) != 0) return -1;
    if (format.wFormatTag != WAVE_FORMAT_PCM) return -1;
    format.cbSize = 0;
    // The byte rate follows from the rate and the block; the file's own
    // figure is not trusted with buffer sizes.
    const std::uint64_t average = static_cast<std::uint64_t>(format.nSamplesPerSec) * format.nBlockAlign;
    if (average > 0x7FFFFFFF) return -1;
    format.nAvgBytesPerSec = static_cast<DWORD>(average);
    c->format = format;
    c->type = kConverterTypePcm;
    c->stream.functions.seek(c->stream.dataHandle, c->dataOffset, kSeekOriginStart);
    return 0;
}

int ReadPcmSourceBlock(SoundConverter* c) {
    const std::int64_t position = c->stream.functions.tell(c->stream.dataHandle);
    const std::int64_t left = c->dataOffset + c->dataSize - position;
    if (position < c->dataOffset || left <= 0) return -1;
    const std::int64_t got = ReadSource(c, c->buffer, std::min<std::int64_t>(c->bufferSize, left));
    if (got <= 0) return -1;
    c->bufferValid = static_cast<std::uint32_t>(got);
    c->bufferRead = 0;
    return 0;
}

int SeekPcmSource(SoundConverter* c, std::int64_t sample) {
    const std::int64_t offset = std::min(sample * c->format.nBlockAlign, c->dataSize);
    c->stream.functions.seek(c->stream.dataHandle, c->dataOffset + offset, kSeekOriginStart);
    c->bufferValid = 0;
    c->bufferRead = 0;
    c->outputPosition = offset;
    return 0;
}
