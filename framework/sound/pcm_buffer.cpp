// A sound's buffers: DirectSound buffers, or memory blocks in software-buffer
// mode (which only keep their position and flags).
#include <cstring>

#include "core/memory.h"
#include "sound/sound_data.h"

int CreatePcmBuffer(PcmBuffer* b, const D_DSBUFFERDESC* desc) {
    *b = {};
    if (g_SoundSystem.softwareBuffers) {
        if (desc->lpwfxFormat == nullptr || desc->lpwfxFormat->nBlockAlign == 0) return -1;
        b->memory = static_cast<unsigned char*>(KV_ALLOC_ZEROED(desc->dwBufferBytes));
        if (b->memory == nullptr) return -1;
        b->size = desc->dwBufferBytes;
        b->format = *desc->lpwfxFormat;
        b->sampleCount = desc->dwBufferBytes / b->format.nBlockAlign;
        b->volume = 255;
        b->pan = -1;
        b->valid = 1;
        return 0;
    }
    if (g_SoundSystem.directSound->CreateSoundBuffer(desc, &b->buffer, nullptr) != D_DS_OK) return -1;
    b->valid = 1;
    return 0;
}

int DuplicatePcmBuffer(PcmBuffer* d, const PcmBuffer* original) {
    *d = {};
    if (!original->valid) return -1;
    if (g_SoundSystem.softwareBuffers) {
        // Its own copy of the memory.
        d->memory = static_cast<unsigned char*>(KV_ALLOC(original->size));
        if (d->memory == nullptr) return -1;
        std::memcpy(d->memory, original->memory, original->size);
        d->size = original->size;
        d->format = original->format;
        d->sampleCount = original->sampleCount;
        d->volume = 255;
        d->pan = -1;
        d->valid = 1;
        return 0;
    }
    if (g_SoundSystem.directSound->DuplicateSoundBuffer(original->buffer, &d->buffer) != D_DS_OK) return -1;
    d->valid = 1;
    return 0;
}

int ReleasePcmBuffer(PcmBuffer* b) {
    if (!b->valid) return -1;
    if (b->buffer != nullptr) b->buffer->Release();
    KV_FREE(b->memory);
    *b = {};
    return 0;
}

int PlayPcmBuffer(PcmBuffer* b, int loop) {
    if (!b->valid) return -1;
    if (b->buffer == nullptr) {
        b->playing = 1;
        b->looping = loop;
        return 0;
    }
    return b->buffer->Play(0, 0, loop ? D_DSBPLAY_LOOPING : 0) == D_DS_OK ? 0 : -1;
}

int StopPcmBuffer(PcmBuffer* b) {
    if (!b->valid) return -1;
    if (b->buffer == nullptr) {
        b->playing = 0;
        return 0;
    }
    return b->buffer->Stop() == D_DS_OK ? 0 : -1;
}

int GetPcmBufferStatus(PcmBuffer* b, DWORD* status) {
    if (!b->valid) return -1;
    if (b->buffer == nullptr) {
        *status = b->playing ? D_DSBSTATUS_PLAYING : 0;
        return 0;
    }
    return b->buffer->GetStatus(status) == D_DS_OK ? 0 : -1;
}

int LockPcmBuffer(PcmBuffer* b, std::uint32_t offset, std::uint32_t bytes, void** part1, std::uint32_t* bytes1,
                  void** part2, std::uint32_t* bytes2) {
    if (!b->valid) return -1;
    if (b->buffer == nullptr) {
        if (offset >= b->size || bytes == 0 || bytes > b->size) return -1;
        const std::uint32_t first = bytes < b->size - offset ? bytes : b->size - offset;
        *part1 = b->memory + offset;
        *bytes1 = first;
        *part2 = first < bytes ? b->memory : nullptr;
        *bytes2 = bytes - first;
        return 0;
    }
    DWORD n1 = 0;
    DWORD n2 = 0;
    if (b->buffer->Lock(offset, bytes, part1, &n1, part2, &n2, 0) != D_DS_OK) return -1;
    *bytes1 = n1;
    *bytes2 = n2;
    return 0;
}

int UnlockPcmBuffer(PcmBuffer* b, void* part1, std::uint32_t bytes1, void* part2, std::uint32_t bytes2) {
    if (!b->valid) return -1;
    if (b->buffer == nullptr) return 0;
    return b->buffer->Unlock(part1, bytes1, part2, bytes2) == D_DS_OK ? 0 : -1;
}

int SetPcmBufferPosition(PcmBuffer* b, std::uint32_t bytes) {
    if (!b->valid) return -1;
    if (b->buffer == nullptr) {
        b->position = bytes / b->format.nBlockAlign;
        return 0;
    }
    return b->buffer->SetCurrentPosition(bytes) == D_DS_OK ? 0 : -1;
}

int GetPcmBufferPosition(PcmBuffer* b, std::uint32_t* bytes) {
    if (!b->valid) return -1;
    if (b->buffer == nullptr) {
        *bytes = static_cast<std::uint32_t>(b->position * b->format.nBlockAlign);
        return 0;
    }
    DWORD play = 0;
    if (b->buffer->GetCurrentPosition(&play, nullptr) != D_DS_OK) return -1;
    *bytes = play;
    return 0;
}
