// The ACM calls: format suggestion, conversion streams and their headers.
#include <cstring>
#include <mutex>
#include <set>
#include <vector>

#include "acm/acm_decoder.h"
#include "platform/acm.h"

struct HACMSTREAM__ {
    AcmSourceKind kind;
    std::unique_ptr<AcmDecoder> decoder;
};

namespace {

// Streams handed out and not yet closed, so a stale or made-up handle is
// refused rather than followed.
std::mutex g_streamsMutex;
std::set<HACMSTREAM> g_streams;

bool IsOpenStream(HACMSTREAM stream) {
    std::lock_guard lock(g_streamsMutex);
    return g_streams.count(stream) != 0;
}

std::optional<AcmSourceKind> Describe(const WAVEFORMATEX* source) {
    // The extra bytes stand right behind the 18-byte record.
    const auto* extra = reinterpret_cast<const std::uint8_t*>(source) + sizeof(WAVEFORMATEX);
    return DescribeAcmSource(*source, source->cbSize > 0 ? extra : nullptr, source->cbSize);
}

WAVEFORMATEX PcmFor(const AcmSourceKind& kind) {
    WAVEFORMATEX pcm{};
    pcm.wFormatTag = WAVE_FORMAT_PCM;
    pcm.nChannels = static_cast<WORD>(kind.channels);
    pcm.nSamplesPerSec = static_cast<DWORD>(kind.rate);
    pcm.nBlockAlign = static_cast<WORD>(kind.channels * 2);
    pcm.nAvgBytesPerSec = pcm.nSamplesPerSec * pcm.nBlockAlign;
    pcm.wBitsPerSample = 16;
    return pcm;
}

}  // namespace

MMRESULT acmFormatSuggest(HACMDRIVER, const WAVEFORMATEX* source, WAVEFORMATEX* destination,
                          DWORD destinationSize, DWORD flags) {
    // A destination must hold at least the 16 bytes of a PCM format.
    if (source == nullptr || destination == nullptr || destinationSize < 16) return MMSYSERR_INVALPARAM;
    if ((flags & ACM_FORMATSUGGESTF_WFORMATTAG) != 0 && destination->wFormatTag != WAVE_FORMAT_PCM)
        return ACMERR_NOTPOSSIBLE;
    auto kind = Describe(source);
    if (!kind) return ACMERR_NOTPOSSIBLE;
    const WAVEFORMATEX pcm = PcmFor(*kind);
    std::memcpy(destination, &pcm, destinationSize < sizeof pcm ? destinationSize : sizeof pcm);
    return MMSYSERR_NOERROR;
}

MMRESULT acmStreamOpen(HACMSTREAM* stream, HACMDRIVER, const WAVEFORMATEX* source, const WAVEFORMATEX* destination,
                       void* filter, DWORD_PTR, DWORD_PTR, DWORD flags) {
    if (stream != nullptr) *stream = nullptr;
    if (source == nullptr || destination == nullptr || filter != nullptr) return MMSYSERR_INVALPARAM;
    if ((flags & ACM_STREAMOPENF_ASYNC) != 0) return MMSYSERR_INVALFLAG;
    auto kind = Describe(source);
    if (!kind) return ACMERR_NOTPOSSIBLE;
    // Decoding only, with neither the rate nor the channels changed.
    const WAVEFORMATEX pcm = PcmFor(*kind);
    if (destination->wFormatTag != WAVE_FORMAT_PCM || destination->nChannels != pcm.nChannels ||
        destination->nSamplesPerSec != pcm.nSamplesPerSec || destination->wBitsPerSample != 16 ||
        destination->nBlockAlign != pcm.nBlockAlign)
        return ACMERR_NOTPOSSIBLE;
    if ((flags & ACM_STREAMOPENF_QUERY) != 0) return MMSYSERR_NOERROR;
    if (stream == nullptr) return MMSYSERR_INVALPARAM;

    const auto* extra = reinterpret_cast<const std::uint8_t*>(source) + sizeof(WAVEFORMATEX);
    auto decoder = AcmDecoder::Open(*kind, source->cbSize > 0 ? extra : nullptr, source->cbSize);
    if (!decoder) return ACMERR_NOTPOSSIBLE;
    auto* opened = new HACMSTREAM__{*kind, std::move(decoder)};
    {
        std::lock_guard lock(g_streamsMutex);
        g_streams.insert(opened);
    }
    *stream = opened;
    return MMSYSERR_NOERROR;
}

MMRESULT acmStreamSize(HACMSTREAM stream, DWORD input, DWORD* output, DWORD flags) {
    if (!IsOpenStream(stream)) return MMSYSERR_INVALHANDLE;
    if (output == nullptr) return MMSYSERR_INVALPARAM;
    if (flags != ACM_STREAMSIZEF_SOURCE) return MMSYSERR_INVALFLAG;
    const std::uint64_t bound = AcmOutputBound(stream->kind, input);
    if (bound > 0xFFFFFFFFu) return ACMERR_NOTPOSSIBLE;
    *output = static_cast<DWORD>(bound);
    return MMSYSERR_NOERROR;
}

MMRESULT acmStreamPrepareHeader(HACMSTREAM stream, ACMSTREAMHEADER* header, DWORD) {
    if (!IsOpenStream(stream)) return MMSYSERR_INVALHANDLE;
    if (header == nullptr || header->cbStruct < sizeof(ACMSTREAMHEADER) || header->pbSrc == nullptr ||
        header->pbDst == nullptr)
        return MMSYSERR_INVALPARAM;
    header->fdwStatus |= ACMSTREAMHEADER_STATUSF_PREPARED;
    return MMSYSERR_NOERROR;
}

MMRESULT acmStreamConvert(HACMSTREAM stream, ACMSTREAMHEADER* header, DWORD flags) {
    if (!IsOpenStream(stream)) return MMSYSERR_INVALHANDLE;
    if (header == nullptr || header->cbStruct < sizeof(ACMSTREAMHEADER)) return MMSYSERR_INVALPARAM;
    if ((header->fdwStatus & ACMSTREAMHEADER_STATUSF_PREPARED) == 0) return ACMERR_UNPREPARED;
    std::size_t used = 0;
    std::size_t written = 0;
    stream->decoder->Convert(header->pbSrc, header->cbSrcLength, header->pbDst, header->cbDstLength, &used, &written,
                             (flags & ACM_STREAMCONVERTF_END) != 0);
    header->cbSrcLengthUsed = static_cast<DWORD>(used);
    header->cbDstLengthUsed = static_cast<DWORD>(written);
    header->fdwStatus |= ACMSTREAMHEADER_STATUSF_DONE;
    return MMSYSERR_NOERROR;
}

MMRESULT acmStreamUnprepareHeader(HACMSTREAM stream, ACMSTREAMHEADER* header, DWORD) {
    if (!IsOpenStream(stream)) return MMSYSERR_INVALHANDLE;
    if (header == nullptr) return MMSYSERR_INVALPARAM;
    if ((header->fdwStatus & ACMSTREAMHEADER_STATUSF_PREPARED) == 0) return ACMERR_UNPREPARED;
    header->fdwStatus &= ~(ACMSTREAMHEADER_STATUSF_PREPARED | ACMSTREAMHEADER_STATUSF_DONE);
    return MMSYSERR_NOERROR;
}

MMRESULT acmStreamClose(HACMSTREAM stream, DWORD) {
    {
        std::lock_guard lock(g_streamsMutex);
        if (g_streams.erase(stream) == 0) return MMSYSERR_INVALHANDLE;
    }
    delete stream;
    return MMSYSERR_NOERROR;
}
