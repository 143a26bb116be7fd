#include "sound/sound_converter.h"

#include <algorithm>
#include <cstring>

#include "core/log.h"
#include "core/memory.h"
#include "files/file_functions.h"

namespace {

// The output buffer never grows past this, whatever a file's rate claims.
constexpr std::int64_t kMaxBufferBytes = 8 << 20;

std::uint32_t OutputBufferSize(const SoundConverter* c) {
    if (c->type == kConverterTypeOgg) return kOggBufferBytes;
    const std::int64_t block = std::max<std::int64_t>(1, c->format.nBlockAlign);
    std::int64_t size = std::clamp<std::int64_t>(c->format.nAvgBytesPerSec, block, kMaxBufferBytes);
    size -= size % block;
    return static_cast<std::uint32_t>(std::max(size, block));
}

int RefillBuffer(SoundConverter* c) {
    switch (c->type) {
        case kConverterTypePcm: return ReadPcmSourceBlock(c);
        case kConverterTypeAcm: return ConvertAcmBlock(c);
        case kConverterTypeOgg: return OggDecode(c);
        default: return -1;
    }
}

}  // namespace

std::int64_t ReadSource(SoundConverter* c, void* buffer, std::int64_t bytes) {
    if (bytes <= 0) return 0;
    // Size 1, so every kind of stream counts bytes alike.
    const std::int64_t got =
        c->stream.functions.read(buffer, 1, static_cast<std::size_t>(bytes), c->stream.dataHandle);
    return std::clamp<std::int64_t>(got, 0, bytes);
}

std::int64_t SourceSize(SoundConverter* c) {
    const StreamFunctions& f = c->stream.functions;
    const std::int64_t here = f.tell(c->stream.dataHandle);
    if (here < 0 || f.seek(c->stream.dataHandle, 0, kSeekOriginEnd) != 0) return -1;
    const std::int64_t size = f.tell(c->stream.dataHandle);
    f.seek(c->stream.dataHandle, here, kSeekOriginStart);
    return size;
}

int OpenSoundConverter(SoundConverter* c, const StreamData* stream) {
    static constexpr SoundSourceOpener kOpeners[] = {OpenWavePcmSource, OpenWaveAcmSource, OggOpen,
                                                     OpenMpegAcmSource};
    return OpenSoundConverterWith(c, stream, kOpeners, 4);
}

int OpenSoundConverterWith(SoundConverter* c, const StreamData* stream, const SoundSourceOpener* openers,
                           int count) {
    std::memset(c, 0, sizeof *c);
    c->stream = *stream;
    c->totalSamples = -1;
    bool accepted = false;
    for (int i = 0; i < count; ++i) {
        c->stream.functions.seek(c->stream.dataHandle, 0, kSeekOriginStart);
        if (openers[i](c) == 0) {
            accepted = true;
            break;
        }
    }
    if (!accepted) return -1;

    c->bufferSize = OutputBufferSize(c);
    c->buffer = static_cast<unsigned char*>(KV_ALLOC(c->bufferSize));
    if (c->buffer == nullptr) {
        c->open = 1;
        CloseSoundConverter(c);
        return -1;
    }
    c->bufferValid = 0;
    c->bufferRead = 0;
    c->outputPosition = 0;
    c->open = 1;
    return 0;
}

int CloseSoundConverter(SoundConverter* c) {
    if (!c->open) return -1;
    KV_FREE(c->buffer);
    c->buffer = nullptr;
    if (c->type == kConverterTypeAcm) CloseAcmSource(c);
    if (c->type == kConverterTypeOgg) OggClose(c);
    c->open = 0;
    return 0;
}

std::int64_t ReadConvertedPcm(SoundConverter* c, void* destination, std::int64_t bytes) {
    if (!c->open) return -1;
    if (c->end) return 0;
    auto* out = static_cast<unsigned char*>(destination);
    std::int64_t copied = 0;
    while (copied < bytes) {
        if (c->bufferRead >= c->bufferValid) {
            c->bufferRead = 0;
            c->bufferValid = 0;
            if (RefillBuffer(c) != 0) {
                c->end = 1;
                break;
            }
            continue;
        }
        const std::int64_t n = std::min<std::int64_t>(bytes - copied, c->bufferValid - c->bufferRead);
        std::memcpy(out + copied, c->buffer + c->bufferRead, static_cast<std::size_t>(n));
        copied += n;
        c->bufferRead += static_cast<std::uint32_t>(n);
        c->outputPosition += n;
    }
    return copied;
}

int SeekSoundConverter(SoundConverter* c, std::int64_t sample) {
    if (!c->open) return -1;
    // Far past any sound, yet safe to multiply by a block.
    sample = std::clamp<std::int64_t>(sample, 0, std::int64_t{1} << 40);
    const std::int64_t target = sample * c->format.nBlockAlign;
    const std::int64_t distance = target - c->outputPosition;
    if (distance > -16 && distance < 16) return 0;
    int result = -1;
    switch (c->type) {
        case kConverterTypePcm: result = SeekPcmSource(c, sample); break;
        case kConverterTypeAcm: result = SeekAcmSource(c, sample); break;
        case kConverterTypeOgg: result = OggSeek(c, sample); break;
    }
    c->end = 0;
    return result;
}

std::int64_t EstimateConvertedSize(SoundConverter* c) {
    if (!c->open) return -1;
    switch (c->type) {
        case kConverterTypePcm:
            return c->dataSize;
        case kConverterTypeAcm: {
            if (c->totalSamples >= 0) return c->format.nBlockAlign * c->totalSamples;
            DWORD estimate = 0;
            if (acmStreamSize(c->acmStream, c->sourceDataSize, &estimate, ACM_STREAMSIZEF_SOURCE) != MMSYSERR_NOERROR)
                return -1;
            return estimate;
        }
        case kConverterTypeOgg:
            return OggBufferBound(c);
        default:
            return -1;
    }
}

int ConvertWholeSound(SoundConverter* c, WAVEFORMATEX* format, void** block, std::int64_t* size) {
    const std::int64_t estimate = EstimateConvertedSize(c);
    if (estimate < 0 || static_cast<std::uint64_t>(estimate) > kTrackedAllocMaxSize) return -1;
    auto* pcm = static_cast<unsigned char*>(KV_ALLOC(static_cast<std::size_t>(estimate)));
    if (pcm == nullptr) return -1;
    SeekSoundConverter(c, 0);
    std::int64_t got = 0;
    if (c->type == kConverterTypePcm) {
        c->stream.functions.seek(c->stream.dataHandle, c->dataOffset, kSeekOriginStart);
        got = ReadSource(c, pcm, estimate);
    } else {
        // Whatever the decoder gives beyond the estimate is left out.
        while (got < estimate) {
            const std::int64_t n = ReadConvertedPcm(c, pcm + got, estimate - got);
            if (n <= 0) break;
            got += n;
        }
    }
    if (got == 0) {
        // Nothing came out: nothing is kept for it.
        KV_FREE(pcm);
        pcm = nullptr;
    } else if (got < estimate - estimate / 4) {
        // A generous estimate (an MPEG bound, the slack of Ogg's) is not kept
        // for the sound's life.
        if (auto* exact = static_cast<unsigned char*>(KV_ALLOC(static_cast<std::size_t>(got)))) {
            std::memcpy(exact, pcm, static_cast<std::size_t>(got));
            KV_FREE(pcm);
            pcm = exact;
        }
    }
    if (format != nullptr) *format = c->format;
    *block = pcm;
    *size = got;
    return 0;
}

int GetConverterFormat(const SoundConverter* c, WAVEFORMATEX* format) {
    if (!c->open) return -1;
    *format = c->format;
    return 0;
}
