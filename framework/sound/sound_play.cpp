// Playing, stopping and asking after whole sounds.
#include "core/system_state.h"
#include "platform/kernel.h"
#include "sound/sound.h"
#include "sound/sound_data.h"
#include "sound/stream_sound.h"
#include "window/window.h"

int PlaySoundHandle(HandleId handle, int playType, int fromTop) {
    SoundData* sound = LookupSound(handle);
    if (sound == nullptr) return -1;
    if (sound->isStream) return StartStreamSound(handle, playType, fromTop);
    if (sound->bufferCount < 1) return -1;

    // The buffer in rotation after the last one played; the last one's
    // position is where a play that is not from the top starts.
    std::uint32_t noted = 0;
    PcmBuffer& last = sound->buffers[sound->nextBuffer];
    if (last.valid) GetPcmBufferPosition(&last, &noted);
    sound->nextBuffer = (sound->nextBuffer + 1) % sound->bufferCount;
    PcmBuffer& buffer = sound->buffers[sound->nextBuffer];

    DWORD status = 0;
    if (GetPcmBufferStatus(&buffer, &status) == 0 && (status & D_DSBSTATUS_PLAYING) != 0) {
        if (fromTop == 0) return 0;
        StopPcmBuffer(&buffer);
    }
    SetPcmBufferPosition(&buffer, fromTop == 1 ? 0 : noted);
    PlayPcmBuffer(&buffer, playType == kPlayTypeLoop);
    sound->playStartTime = timeGetTime();

    if (playType == kPlayTypeNormal && GetQuitFlag() != 1) {
        while (IsSoundPlaying(handle) == 1) {
            Sleep(1);
            if (ProcessMessage() != 0) break;
        }
    }
    return 0;
}

int StopSoundHandle(HandleId handle) {
    SoundData* sound = LookupSound(handle);
    if (sound == nullptr) return -1;
    if (sound->isStream) return HaltStreamSound(handle);
    for (int i = 0; i < sound->bufferCount; ++i) {
        PcmBuffer& buffer = sound->buffers[i];
        DWORD status = 0;
        if (GetPcmBufferStatus(&buffer, &status) != 0) return -1;
        if ((status & D_DSBSTATUS_PLAYING) != 0) StopPcmBuffer(&buffer);
    }
    return 0;
}

int IsSoundPlaying(HandleId handle) {
    SoundData* sound = LookupSound(handle);
    if (sound == nullptr) return -1;
    if (sound->isStream) return IsStreamSoundPlaying(handle);
    for (int i = 0; i < sound->bufferCount; ++i) {
        DWORD status = 0;
        if (GetPcmBufferStatus(&sound->buffers[i], &status) == 0 && (status & D_DSBSTATUS_PLAYING) != 0) return 1;
    }
    return 0;
}
