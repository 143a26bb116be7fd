// Stand-ins until the sound module is built: sound is not set up, so every
// sound operation fails with -1 and start-up runs on without sound.
#include "sound/sound_stubs.h"

int InitSound() { return -1; }
int TerminateSound() { return -1; }
int DeleteAllSounds(int) { return -1; }
int LoadSoundFileJump(const char*, int, int) { return -1; }
int PlaySoundHandle(int, int, int) { return -1; }
int StopSoundHandle(int) { return -1; }
int IsSoundPlaying(int) { return -1; }
int StopMusic() { return 0; }
int ProcessStreamSounds() { return -1; }
int UpdateMidiPlayState() { return 0; }
int OnMidiPlayEnd() { return 0; }
