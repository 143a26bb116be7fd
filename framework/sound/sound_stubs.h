// Sound, stream-sound and MIDI operations that start-up, shut-down, the
// public entries and message processing call. Declared here until the sound
// module is built; its stubs fail as sound without a device does.
#pragma once

int InitSound();
int TerminateSound();
int DeleteAllSounds(int flag);
int LoadSoundFileJump(const char* fileName, int bufferCount, int kind);
int PlaySoundHandle(int soundHandle, int playType, int fromStart);
int StopSoundHandle(int soundHandle);
int IsSoundPlaying(int soundHandle);
int StopMusic();  // ends the current music
int ProcessStreamSounds();
int UpdateMidiPlayState();
int OnMidiPlayEnd();
