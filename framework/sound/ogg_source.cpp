// Ogg Vorbis through vorbisfile, reading through the converter's stream.
#include <vorbis/vorbisfile.h>

#include <cstring>
#include <new>

#include "core/memory.h"
#include "files/file_functions.h"
#include "sound/sound_converter.h"

struct OggVorbisState {
    OggVorbis_File file;
};

namespace {

// A hole in the data is passed over; this many in a row end the sound.
constexpr int kMaxHolesInARow = 64;

size_t OggRead(void* buffer, size_t size, size_t count, void* source) {
    if (source == nullptr) return static_cast<size_t>(-1);
    auto* stream = static_cast<StreamData*>(source);
    const std::int64_t got = stream->functions.read(buffer, size, count, stream->dataHandle);
    return got < 0 ? 0 : static_cast<size_t>(got);
}

int OggSeekCallback(void* source, ogg_int64_t offset, int origin) {
    if (source == nullptr) return -1;
    auto* stream = static_cast<StreamData*>(source);
    return stream->functions.seek(stream->dataHandle, offset, origin) == 0 ? 0 : -1;
}

// The stream belongs to the sound, not to vorbisfile.
int OggCloseCallback(void*) { return 0; }

long OggTell(void* source) {
    if (source == nullptr) return -1;
    auto* stream = static_cast<StreamData*>(source);
    return static_cast<long>(stream->functions.tell(stream->dataHandle));
}

}  // namespace

int OggOpen(SoundConverter* c) {
    auto* state = static_cast<OggVorbisState*>(KV_ALLOC_ZEROED(sizeof(OggVorbisState)));
    if (state == nullptr) return -1;
    const ov_callbacks callbacks = {OggRead, OggSeekCallback, OggCloseCallback, OggTell};
    if (ov_open_callbacks(&c->stream, &state->file, nullptr, 0, callbacks) != 0) {
        KV_FREE(state);
        return -1;
    }
    const vorbis_info* info = ov_info(&state->file, -1);
    const ogg_int64_t total = ov_pcm_total(&state->file, -1);
    if (info == nullptr || info->channels < 1 || info->channels > 0xFFFF / 2 || info->rate <= 0 || total < 0) {
        ov_clear(&state->file);
        KV_FREE(state);
        return -1;
    }
    c->ogg = state;
    c->oggOpen = 1;
    c->bytesPerSample = 2;
    c->bitsPerSample = 16;
    WAVEFORMATEX& f = c->format;
    f = {};
    f.wFormatTag = WAVE_FORMAT_PCM;
    f.nChannels = static_cast<WORD>(info->channels);
    f.nSamplesPerSec = static_cast<DWORD>(info->rate);
    f.nBlockAlign = static_cast<WORD>(info->channels * c->bytesPerSample);
    f.nAvgBytesPerSec = f.nBlockAlign * f.nSamplesPerSec;
    f.wBitsPerSample = 16;
    c->oggTotalSize = total * f.nBlockAlign;
    c->type = kConverterTypeOgg;
    return 0;
}

int OggDecode(SoundConverter* c) {
    for (int holes = 0; holes < kMaxHolesInARow; ++holes) {
        int bitstream = 0;
        const long got = ov_read(&c->ogg->file, reinterpret_cast<char*>(c->buffer), static_cast<int>(c->bufferSize),
                                 0, c->bytesPerSample, 1, &bitstream);
        if (got == OV_HOLE) continue;
        if (got <= 0) return -1;
        c->bufferValid = static_cast<std::uint32_t>(got);
        c->bufferRead = 0;
        return 0;
    }
    return -1;
}

int OggSeek(SoundConverter* c, std::int64_t sample) {
    const int result = ov_pcm_seek(&c->ogg->file, sample) == 0 ? 0 : -1;
    c->outputPosition = sample * c->format.nBlockAlign;
    c->bufferValid = 0;
    c->bufferRead = 0;
    return result;
}

std::int64_t OggBufferBound(const SoundConverter* c) {
    return (ov_pcm_total(&c->ogg->file, -1) + 44100) * c->format.nChannels * c->bytesPerSample;
}

void OggClose(SoundConverter* c) {
    if (c->oggOpen) ov_clear(&c->ogg->file);
    KV_FREE(c->ogg);
    c->ogg = nullptr;
    c->oggOpen = 0;
}
