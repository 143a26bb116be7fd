// The DirectSound stand-in's objects.
#pragma once

#include <memory>

#include "dsound/audio_output.h"
#include "platform/dsound.h"

// A secondary buffer: sample memory (shared with its duplicates) and a voice
// of the mixer. Or the primary buffer, which only sets the output's format.
class SoundBuffer final : public ComObject<D_IDirectSoundBuffer> {
public:
    SoundBuffer(std::shared_ptr<AudioOutput> output, const WAVEFORMATEX& format, DWORD flags,
                std::shared_ptr<SampleMemory> memory);
    // The primary buffer.
    explicit SoundBuffer(std::shared_ptr<AudioOutput> output);
    ~SoundBuffer() override;

    HRESULT QueryInterface(REFIID riid, void** object) override;
    HRESULT GetCurrentPosition(DWORD* playCursor, DWORD* writeCursor) override;
    HRESULT GetFormat(WAVEFORMATEX* format, DWORD size, DWORD* written) override;
    HRESULT GetStatus(DWORD* status) override;
    HRESULT Lock(DWORD offset, DWORD bytes, void** part1, DWORD* bytes1, void** part2, DWORD* bytes2,
                 DWORD flags) override;
    HRESULT Play(DWORD reserved, DWORD priority, DWORD flags) override;
    HRESULT SetCurrentPosition(DWORD position) override;
    HRESULT SetFormat(const WAVEFORMATEX* format) override;
    HRESULT Stop() override;
    HRESULT Unlock(void* part1, DWORD bytes1, void* part2, DWORD bytes2) override;

    // A new buffer over the same memory and format, stopped at position 0.
    SoundBuffer* Duplicate() const;
    bool IsPrimary() const { return primary_; }
    DWORD Size() const { return size_; }

private:
    std::shared_ptr<AudioOutput> output_;
    bool primary_ = false;
    WAVEFORMATEX format_{};
    DWORD flags_ = 0;
    DWORD size_ = 0;
    MixVoice voice_;
};

// What a secondary buffer's format and size must be; D_DS_OK or the refusal.
HRESULT CheckBufferDescription(const D_DSBUFFERDESC& desc);
