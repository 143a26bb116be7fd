// MIDI handles, played through the MCI sequencer. Message processing keeps
// their play state up to date and hands them the end-of-play notification.
#pragma once

int UpdateMidiPlayState();
int OnMidiPlayEnd();
int ReleaseAllMidiHandles();
int DeleteTemporaryMidiFile();
// Ends the current music at the framework's end.
int EndCurrentMusic();
