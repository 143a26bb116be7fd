// Stream sounds: a sound handle that plays through one six-second ring
// buffer refilled on every pass of message processing from up to three data
// entries in turn, each with its own converter, repeat count and loop-start
// sample. Stream sounds of one format may share a ring, one owning it at a
// time.
#pragma once

#include <cstdint>

#include "core/handle.h"
#include "files/stream_functions.h"
#include "sound/sound_data.h"

// Data kinds of an entry: the whole sound converted to PCM up front (0), the
// file copied into memory and converted as it plays (2), or converted
// straight from the caller's stream (3).
constexpr int kStreamDataPreconverted = 0;
constexpr int kStreamDataCopied = 2;
constexpr int kStreamDataDirect = 3;

// 0 or -1. `owned` is set to 1 when the entry holds its own copy, so the
// caller may close its stream.
int AddSreamSound(const StreamData* stream, int loopCount, HandleId handle, int dataKind, int* owned,
                  HandleId shareWith);
int LoadStreamSoundFile(const char* fileName, int loopCount, HandleId handle, int dataKind, HandleId shareWith);
int LoadStreamSoundMemory(const void* image, std::int64_t size, int loopCount, HandleId handle, int dataKind,
                          HandleId shareWith);

// The stream cases of the sound operations (sound_play.cpp and
// sound_handle.cpp send stream sounds here).
int StartStreamSound(HandleId handle, int playType, int restart);
int PrimeStreamSound(HandleId handle);
int HaltStreamSound(HandleId handle);
int IsStreamSoundPlaying(HandleId handle);
// Frees what a stream sound holds. 1 when it must stay (flagged delete-pending)
// because other sounds still play through its buffer; 0 when its record may go.
int DeleteStreamSoundParts(HandleId handle, SoundData* sound);

// Whether the sound plays now through a ring it owns; claims nothing.
bool IsStreamRingPlaying(HandleId handle, SoundData* sound);

// The ring's owner: an unowned ring is taken at once; one owned by another
// sound is refused, or with `force` taken after that sound is halted.
int ClaimStreamBuffer(HandleId handle, int force);
int RefillStreamSound(HandleId handle);
