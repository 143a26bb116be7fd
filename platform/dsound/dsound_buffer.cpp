// Sound buffers: storage, locks that wrap, and the play state the mixer reads.
#include <cstring>

#include "dsound/dsound_internal.h"

const IID IID_D_IDirectSoundBuffer = {0x4B564453, 0x0002, 0x0001, {0x4B, 0x56, 0x44, 0x53, 0x42, 0x55, 0x46, 0x31}};

HRESULT CheckBufferDescription(const D_DSBUFFERDESC& desc) {
    const WAVEFORMATEX* f = desc.lpwfxFormat;
    if (f == nullptr || f->wFormatTag != WAVE_FORMAT_PCM) return D_DSERR_BADFORMAT;
    if (f->nChannels < 1 || f->nChannels > 2) return D_DSERR_BADFORMAT;
    if (f->wBitsPerSample != 8 && f->wBitsPerSample != 16) return D_DSERR_BADFORMAT;
    if (f->nBlockAlign != f->nChannels * f->wBitsPerSample / 8) return D_DSERR_BADFORMAT;
    if (f->nSamplesPerSec < D_DSBFREQUENCY_MIN || f->nSamplesPerSec > D_DSBFREQUENCY_MAX) return D_DSERR_BADFORMAT;
    if (desc.dwBufferBytes < D_DSBSIZE_MIN || desc.dwBufferBytes > D_DSBSIZE_MAX) return D_DSERR_INVALIDPARAM;
    return D_DS_OK;
}

SoundBuffer::SoundBuffer(std::shared_ptr<AudioOutput> output, const WAVEFORMATEX& format, DWORD flags,
                         std::shared_ptr<SampleMemory> memory)
    : output_(std::move(output)), format_(format), flags_(flags) {
    size_ = static_cast<DWORD>(memory->size());
    voice_.memory = std::move(memory);
    voice_.format = {format.nChannels, format.wBitsPerSample, static_cast<int>(format.nSamplesPerSec),
                     format.nBlockAlign};
    voice_.frames = size_ / format.nBlockAlign;
    AudioOutputLock lock(*output_);
    output_->Mixer().AddVoice(&voice_);
}

SoundBuffer::SoundBuffer(std::shared_ptr<AudioOutput> output) : output_(std::move(output)), primary_(true) {
    format_ = {WAVE_FORMAT_PCM, 2, static_cast<DWORD>(kAudioOutputRate), kAudioOutputRate * 4, 4, 16, 0};
    flags_ = D_DSBCAPS_PRIMARYBUFFER;
}

SoundBuffer::~SoundBuffer() {
    if (primary_) return;
    // Out of the mixer before the memory can go.
    AudioOutputLock lock(*output_);
    output_->Mixer().RemoveVoice(&voice_);
}

HRESULT SoundBuffer::QueryInterface(REFIID riid, void** object) {
    if (object != nullptr && IsEqualGUID(riid, IID_D_IDirectSoundBuffer)) {
        *object = static_cast<D_IDirectSoundBuffer*>(this);
        AddRef();
        return S_OK;
    }
    return ComObject::QueryInterface(riid, object);
}

SoundBuffer* SoundBuffer::Duplicate() const {
    return new SoundBuffer(output_, format_, flags_, voice_.memory);
}

HRESULT SoundBuffer::GetCurrentPosition(DWORD* playCursor, DWORD* writeCursor) {
    if (primary_) {
        if (playCursor) *playCursor = 0;
        if (writeCursor) *writeCursor = 0;
        return D_DS_OK;
    }
    AudioOutputLock lock(*output_);
    const DWORD play = voice_.position * format_.nBlockAlign;
    DWORD write = play;
    if (voice_.playing) {
        // About 15 ms ahead, as far as the mixer may already have read.
        DWORD ahead = format_.nAvgBytesPerSec / 64;
        ahead -= ahead % format_.nBlockAlign;
        write = (play + ahead) % size_;
    }
    if (playCursor) *playCursor = play;
    if (writeCursor) *writeCursor = write;
    return D_DS_OK;
}

HRESULT SoundBuffer::GetFormat(WAVEFORMATEX* format, DWORD size, DWORD* written) {
    if (format == nullptr) {
        if (written == nullptr) return D_DSERR_INVALIDPARAM;
        *written = sizeof(WAVEFORMATEX);
        return D_DS_OK;
    }
    const DWORD n = size < sizeof(WAVEFORMATEX) ? size : static_cast<DWORD>(sizeof(WAVEFORMATEX));
    std::memcpy(format, &format_, n);
    if (written) *written = n;
    return D_DS_OK;
}

HRESULT SoundBuffer::GetStatus(DWORD* status) {
    if (status == nullptr) return D_DSERR_INVALIDPARAM;
    if (primary_) {
        *status = D_DSBSTATUS_PLAYING | D_DSBSTATUS_LOOPING;
        return D_DS_OK;
    }
    AudioOutputLock lock(*output_);
    *status = voice_.playing ? (D_DSBSTATUS_PLAYING | (voice_.looping ? D_DSBSTATUS_LOOPING : 0)) : 0;
    return D_DS_OK;
}

HRESULT SoundBuffer::Lock(DWORD offset, DWORD bytes, void** part1, DWORD* bytes1, void** part2, DWORD* bytes2,
                          DWORD flags) {
    if (primary_) return D_DSERR_PRIOLEVELNEEDED;
    if (part1 == nullptr || bytes1 == nullptr) return D_DSERR_INVALIDPARAM;
    if ((flags & D_DSBLOCK_FROMWRITECURSOR) != 0) {
        DWORD play = 0;
        GetCurrentPosition(&play, &offset);
    }
    if ((flags & D_DSBLOCK_ENTIREBUFFER) != 0) bytes = size_;
    if (offset >= size_ || bytes == 0 || bytes > size_) return D_DSERR_INVALIDPARAM;
    // Writes go straight into the memory the mixer reads; callers write only
    // ahead of the play cursor, as with the system's own buffers.
    std::uint8_t* base = voice_.memory->data();
    const DWORD first = bytes < size_ - offset ? bytes : size_ - offset;
    *part1 = base + offset;
    *bytes1 = first;
    if (part2 != nullptr) *part2 = nullptr;
    if (bytes2 != nullptr) *bytes2 = 0;
    if (first < bytes && part2 != nullptr && bytes2 != nullptr) {
        *part2 = base;
        *bytes2 = bytes - first;
    }
    return D_DS_OK;
}

HRESULT SoundBuffer::Unlock(void* part1, DWORD bytes1, void* part2, DWORD bytes2) {
    if (primary_) return D_DSERR_INVALIDCALL;
    const std::uint8_t* base = voice_.memory->data();
    auto inside = [&](void* part, DWORD n) {
        if (part == nullptr) return n == 0;
        auto* p = static_cast<std::uint8_t*>(part);
        return p >= base && p + n <= base + size_;
    };
    if (!inside(part1, bytes1) || !inside(part2, bytes2)) return D_DSERR_INVALIDPARAM;
    return D_DS_OK;
}

HRESULT SoundBuffer::Play(DWORD, DWORD, DWORD flags) {
    if (primary_) return D_DS_OK;
    AudioOutputLock lock(*output_);
    voice_.looping = (flags & D_DSBPLAY_LOOPING) != 0;
    voice_.playing = true;
    return D_DS_OK;
}

HRESULT SoundBuffer::SetCurrentPosition(DWORD position) {
    if (primary_) return D_DSERR_INVALIDCALL;
    if (position >= size_) return D_DSERR_INVALIDPARAM;
    AudioOutputLock lock(*output_);
    voice_.position = position / format_.nBlockAlign;
    voice_.remainder = 0;
    return D_DS_OK;
}

HRESULT SoundBuffer::SetFormat(const WAVEFORMATEX* format) {
    if (!primary_) return D_DSERR_INVALIDCALL;
    if (format == nullptr || format->wFormatTag != WAVE_FORMAT_PCM || format->nChannels < 1 ||
        format->nChannels > 2 || (format->wBitsPerSample != 8 && format->wBitsPerSample != 16) ||
        format->nSamplesPerSec < D_DSBFREQUENCY_MIN || format->nSamplesPerSec > D_DSBFREQUENCY_MAX)
        return D_DSERR_BADFORMAT;
    format_ = *format;
    format_.cbSize = 0;
    // The output always mixes 16-bit stereo; only the rate is taken.
    output_->ChangeRate(static_cast<int>(format->nSamplesPerSec));
    return D_DS_OK;
}

HRESULT SoundBuffer::Stop() {
    if (primary_) return D_DS_OK;
    AudioOutputLock lock(*output_);
    voice_.playing = false;  // the position stays, so Play resumes from it
    return D_DS_OK;
}
