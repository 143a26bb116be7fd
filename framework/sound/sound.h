// Sound handles and playback: whole sounds converted to PCM and copied into
// up to ten DirectSound buffers used in rotation, so one effect overlaps
// itself. Every operation fails with -1 while sound is not set up (InitSound
// failed or was never called) and for a bad handle.
//
// Sound reaches the window system (message processing in the waiting play)
// directly; the window system reaches sound through its hooks.
#pragma once

#include <cstdint>

#include "core/handle.h"

constexpr int kPlayTypeNormal = 0;  // returns when the sound has ended
constexpr int kPlayTypeBack = 1;    // returns at once
constexpr int kPlayTypeLoop = 3;    // loops, returns at once

int InitSound();
int TerminateSound();

// A new record in a free slot (handle -1), or in the empty slot of a handle
// given back; the handle or -1.
HandleId AddSoundData(HandleId handle);
HandleId LoadSoundFile(const char* fileName, int bufferCount, int streamValue);
HandleId LoadSoundFileJump(const char* fileName, int bufferCount, int streamValue);
HandleId LoadSoundImage(const void* image, std::int64_t size, int bufferCount, int reserved);

int PlaySoundHandle(HandleId handle, int playType, int fromTop);
int StopSoundHandle(HandleId handle);
int IsSoundPlaying(HandleId handle);  // 1, 0 or -1
int DeleteSoundHandle(HandleId handle, int logFlag);
int DeleteAllSounds(int logFlag);

// Refills the stream sounds; called on every pass of message processing.
int ProcessStreamSounds();
