// Compressed WAV through the Audio Compression Manager, and the conversion
// steps the MPEG source shares with it.
#include <algorithm>
#include <cstring>

#include "core/memory.h"
#include "files/file_functions.h"
#include "sound/sound_converter.h"

int StartAcmConversion(SoundConverter* c, WAVEFORMATEX* sourceFormat, std::uint32_t sourceFormatSize) {
    c->sourceFormat = sourceFormat;
    c->sourceFormatSize = sourceFormatSize;
    auto fail = [c] {
        CloseAcmSource(c);
        return -1;
    };
    WAVEFORMATEX pcm{};
    pcm.wFormatTag = WAVE_FORMAT_PCM;
    if (acmFormatSuggest(nullptr, sourceFormat, &pcm, sizeof pcm, ACM_FORMATSUGGESTF_WFORMATTAG) != MMSYSERR_NOERROR)
        return fail();
    if (c->dataSize > 0xFFFFFFFFll) return fail();

    // The whole data in memory.
    c->sourceDataSize = static_cast<std::uint32_t>(c->dataSize);
    c->sourceData = static_cast<unsigned char*>(KV_ALLOC(c->sourceDataSize));
    if (c->sourceData == nullptr) return fail();
    c->stream.functions.seek(c->stream.dataHandle, c->dataOffset, kSeekOriginStart);
    if (ReadSource(c, c->sourceData, c->sourceDataSize) != c->sourceDataSize) return fail();
    c->sourcePosition = 0;

    if (acmStreamOpen(&c->acmStream, nullptr, sourceFormat, &pcm, nullptr, 0, 0, ACM_STREAMOPENF_NONREALTIME) !=
            MMSYSERR_NOERROR ||
        acmStreamOpen(&c->acmSpare, nullptr, sourceFormat, &pcm, nullptr, 0, 0, ACM_STREAMOPENF_NONREALTIME) !=
            MMSYSERR_NOERROR)
        return fail();
    c->format = pcm;
    c->type = kConverterTypeAcm;
    return 0;
}

void CloseAcmSource(SoundConverter* c) {
    if (c->acmStream != nullptr) acmStreamClose(c->acmStream, 0);
    if (c->acmSpare != nullptr) acmStreamClose(c->acmSpare, 0);
    c->acmStream = nullptr;
    c->acmSpare = nullptr;
    KV_FREE(c->sourceFormat);
    KV_FREE(c->sourceData);
    c->sourceFormat = nullptr;
    c->sourceData = nullptr;
    c->sourceDataSize = 0;
}

int OpenWaveAcmSource(SoundConverter* c) {
    WAVEFORMATEX format;
    WAVEFORMATEX* whole = nullptr;
    std::uint32_t wholeSize = 0;
    if (ReadWaveHeader(c, &format, &whole, &wholeSize) != 0) return -1;
    c->totalSamples = -1;
    return StartAcmConversion(c, whole, wholeSize);
}

int ConvertAcmBlock(SoundConverter* c) {
    if (c->sourcePosition >= c->sourceDataSize) return -1;
    ACMSTREAMHEADER header{};
    header.cbStruct = sizeof header;
    header.pbSrc = c->sourceData + c->sourcePosition;
    header.cbSrcLength = std::min(kAcmStepSourceBytes, c->sourceDataSize - c->sourcePosition);
    header.pbDst = c->buffer;
    header.cbDstLength = c->bufferSize;
    if (acmStreamPrepareHeader(c->acmStream, &header, 0) != MMSYSERR_NOERROR) return -1;
    acmStreamConvert(c->acmStream, &header, 0);
    acmStreamUnprepareHeader(c->acmStream, &header, 0);
    const std::uint32_t used = std::min(header.cbSrcLengthUsed, header.cbSrcLength);
    const std::uint32_t produced = std::min(header.cbDstLengthUsed, c->bufferSize);
    c->sourcePosition += used;
    if (produced == 0) {
        // Nothing more comes out of what is left: the end.
        c->sourcePosition = c->sourceDataSize;
        return -1;
    }
    c->bufferValid = produced;
    c->bufferRead = 0;
    return 0;
}

int SeekAcmSource(SoundConverter* c, std::int64_t sample) {
    const std::int64_t target = sample * c->format.nBlockAlign;
    if (target < c->outputPosition) {
        // Back to the top on the spare stream, which has never converted
        // anything; the used one is opened afresh as the next spare.
        std::swap(c->acmStream, c->acmSpare);
        acmStreamClose(c->acmSpare, 0);
        c->acmSpare = nullptr;
        if (acmStreamOpen(&c->acmSpare, nullptr, c->sourceFormat, &c->format, nullptr, 0, 0,
                          ACM_STREAMOPENF_NONREALTIME) != MMSYSERR_NOERROR)
            c->acmSpare = nullptr;
        c->sourcePosition = 0;
        c->outputPosition = 0;
        c->bufferValid = 0;
        c->bufferRead = 0;
    }
    // The buffer holds the output from (position - read) to (position - read + valid).
    for (;;) {
        const std::int64_t bufferStart = c->outputPosition - c->bufferRead;
        const std::int64_t bufferEnd = bufferStart + c->bufferValid;
        if (target < bufferEnd) {
            c->bufferRead = static_cast<std::uint32_t>(target - bufferStart);
            c->outputPosition = target;
            return 0;
        }
        c->outputPosition = bufferEnd;
        c->bufferValid = 0;
        c->bufferRead = 0;
        if (ConvertAcmBlock(c) != 0) {
            c->end = 1;
            return -1;
        }
    }
}
