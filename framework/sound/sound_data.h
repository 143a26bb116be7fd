// The records behind sound handles and the sound system's state.
#pragma once

#include <cstdint>

#include "core/handle.h"
#include "files/stream_node_list.h"
#include "platform/dsound.h"
#include "platform/wave_format.h"

constexpr int kMaxSoundBuffers = 10;

// One buffer of a sound: a DirectSound buffer, or in software-buffer mode a
// block of memory that only keeps its position and flags.
struct PcmBuffer {
    int valid;
    D_IDirectSoundBuffer* buffer;
    // Software-buffer mode.
    unsigned char* memory;
    int playing;
    int looping;
    int volume;  // 255
    int pan;     // -1
    std::int64_t sampleCount;  // size / block align
    std::int64_t position;     // in samples
    WAVEFORMATEX format;
    std::uint32_t size;
};

struct SoundData {
    std::uint32_t checkNumber;
    PcmBuffer buffers[kMaxSoundBuffers];
    WAVEFORMATEX format;
    int isStream;      // 0 a whole sound, 1 a stream sound
    std::uint32_t playStartTime;

    // A whole sound's PCM and its size in bytes.
    void* pcm;
    std::int64_t pcmSize;
    int duplicateFlags[kMaxSoundBuffers];  // always 0: the PCM is written into every buffer
    int bufferCount;  // 1 to 10
    int nextBuffer;   // rotates over the buffers
};

using SoundHandleTable = HandleTable<SoundData, kHandleTypeSound, kSoundSlotCount>;

struct SoundSystem {
    D_IDirectSound* directSound;  // null: sound is not set up, every operation fails
    D_IDirectSoundBuffer* primaryBuffer;
    D_IDirectSoundBuffer* silenceBuffer;
    int midiMode;         // 0 MCI, 1 DirectMusic
    int softwareBuffers;  // 1: buffers are memory blocks; nothing sets it
    int createAsStream;   // 0 after InitSound: files are converted whole
    SoundHandleTable table;
    // The stream sounds, between two sentinels.
    ListNode streamHead;
    ListNode streamTail;
};

extern SoundSystem g_SoundSystem;

// The record of a valid sound handle while sound is set up, else null.
SoundData* LookupSound(HandleId handle);

// ---- buffer operations (pcm_buffer.cpp) ----------------------------------------
int CreatePcmBuffer(PcmBuffer* buffer, const D_DSBUFFERDESC* desc);
int DuplicatePcmBuffer(PcmBuffer* duplicate, const PcmBuffer* original);
int ReleasePcmBuffer(PcmBuffer* buffer);
int PlayPcmBuffer(PcmBuffer* buffer, int loop);
int StopPcmBuffer(PcmBuffer* buffer);
// The status bits (bit 0 playing) into `status`; 0 or -1.
int GetPcmBufferStatus(PcmBuffer* buffer, DWORD* status);
int LockPcmBuffer(PcmBuffer* buffer, std::uint32_t offset, std::uint32_t bytes, void** part1,
                  std::uint32_t* bytes1, void** part2, std::uint32_t* bytes2);
int UnlockPcmBuffer(PcmBuffer* buffer, void* part1, std::uint32_t bytes1, void* part2, std::uint32_t bytes2);
int SetPcmBufferPosition(PcmBuffer* buffer, std::uint32_t bytes);
int GetPcmBufferPosition(PcmBuffer* buffer, std::uint32_t* bytes);
