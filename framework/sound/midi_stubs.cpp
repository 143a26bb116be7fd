// Until MIDI handles are built there are none: nothing plays, nothing ends.
#include "sound/midi.h"

int UpdateMidiPlayState() { return 0; }
int OnMidiPlayEnd() { return 0; }
int ReleaseAllMidiHandles() { return 0; }
int DeleteTemporaryMidiFile() { return 0; }
int EndCurrentMusic() { return 0; }
