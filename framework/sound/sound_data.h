// The records behind sound handles and the sound system's state.
#pragma once

#include <cstdint>

#include "core/handle.h"
#include "files/stream_functions.h"
#include "files/stream_memory.h"
#include "files/stream_node_list.h"
#include "sound/sound_converter.h"
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

constexpr int kMaxStreamEntries = 3;
// The write position of a ring not yet filled.
constexpr std::int32_t kStreamNotFilled = -800;

// One data source of a stream sound.
struct StreamSoundEntry {
    std::uint8_t loopCount;  // passes after the first; 255 for ever
    int dataKind;            // 0, 2 or 3 (stream_sound.h)
    void* data;              // the entry's own copy (kinds 0 and 2)
    std::int64_t dataSize;
    MemoryStream* memory;    // the stream over the copy
    StreamData stream;       // over the copy, or the caller's (kind 3)
    SoundConverter converter;
    int converterOpen;
    std::int64_t loopStartSample;
};

// What a stream sound keeps besides a whole sound's fields.
struct StreamSoundState {
    int playType;             // of the last start
    HandleId sharedBuffer;    // the sound whose ring this one plays through; -1 its own
    int sharerCount;          // sounds that play through this one's ring
    HandleId owner;           // the sound that owns this record's ring now; -1 none
    int deletePending;
    std::uint32_t ringSize;   // six seconds, in bytes
    std::int32_t writePosition;  // bytes into the ring; kStreamNotFilled before the first fill
    std::int32_t windowStart;    // the write position less four seconds, wrapped; -1 none
    StreamSoundEntry entries[kMaxStreamEntries];
    int entryCount;
    int currentEntry;
    int passCount;            // passes of the current entry so far
    std::int64_t entryStartOffset;  // bytes: where the current pass of the entry began
    std::int64_t totalSamples;
    std::int64_t bytesWritten;
    std::int64_t playedBytes;
    std::uint32_t lastCursor;
    std::uint8_t prepared;
    std::uint8_t ended;       // the data has run out
    std::uint8_t pendingWrap;
    std::uint32_t wrapPoint;  // where loop play went back to entry 0 in the ring
    std::uint8_t endOfList;
    std::uint32_t endPosition;  // where the data ended in the ring
    std::uint32_t cursorAtEnd;  // the play cursor at that moment
    std::uint8_t entryFromFile[kMaxStreamEntries];
    ListNode node;            // in the stream-sound list
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

    StreamSoundState stream;
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

// A stream sound's ring: one buffer of six seconds, linked into the
// stream-sound list. 0, or -1 when it cannot be made.
int MakeStreamSoundBuffer(const WAVEFORMATEX& format, HandleId handle, SoundData* sound);

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
