// MIDI handles, played through the MCI sequencer (the default mode) or
// DirectMusic (a mode chosen before InitSound). Message processing keeps
// their play state up to date and hands the end of play (MM_MCINOTIFY) to
// OnMidiPlayEnd, which plays again from the top in loop mode.
#pragma once

#include <cstdint>

#include "core/handle.h"
#include "platform/dmusic.h"
#include "platform/kernel.h"
#include "platform/mci.h"

constexpr int kMidiModeMci = 0;
constexpr int kMidiModeDirectMusic = 1;

struct MidiRecord {
    std::uint32_t checkNumber;
    int playing;      // the handle's playing word (DirectMusic)
    int seenPlaying;  // set once the segment was seen playing
    void* data;       // the standard MIDI file
    std::int64_t size;
    D_IDirectMusicSegment8* segment;
};

using MidiHandleTable = HandleTable<MidiRecord, kHandleTypeMidi, kMidiSlotCount>;

struct MidiSystem {
    int mciPlaying;
    int mciLoop;
    MCIDEVICEID mciDevice;
    HandleId currentMusic;  // -1 none
    int currentIsStream;
    D_IDirectMusicLoader8* loader;
    D_IDirectMusicPerformance8* performance;
    D_IDirectMusic8* music;
    long masterVolume;
    int temporaryFile;  // 1 while the temporary MIDI file exists
    char temporaryPath[MAX_PATH];
    MidiHandleTable table;
};

extern MidiSystem g_MidiSystem;

// DirectMusic mode's part of InitSound: 0 with DirectSound made by the
// performance, 1 when DirectMusic is missing and sound starts the MCI way
// (the mode is then 0), -1 when sound cannot start.
int InitDirectMusicMode();
void TerminateDirectMusicMode();

// The smallest creator: a standard MIDI file, from a file (through the file
// functions) or from memory, into a new handle. -1 for data that is no
// standard MIDI file, or without sound.
HandleId LoadMidiFile(const char* fileName);
HandleId LoadMidiImage(const void* image, std::int64_t size);
// Plays a handle from the top, once (type 0 or 1) or looping (type 3); the
// handle becomes the current music. 0 or -1.
int PlayMidiHandle(HandleId handle, int playType);

int IsMidiHandlePlaying(HandleId handle);  // 1, 0 or -1
int UpdateMidiPlayState();
int OnMidiPlayEnd();
int StopMidiHandle(HandleId handle);
int ReleaseMidiHandle(HandleId handle);
int ReleaseAllMidiHandles();
int DeleteTemporaryMidiFile();
// Ends the current music at the framework's end.
int EndCurrentMusic();
