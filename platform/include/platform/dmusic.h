// DirectMusic 8, as far as the framework's DirectMusic mode reaches. The
// stand-in offers no DirectMusic: creating any of its objects fails (the
// classes are not registered), so the framework takes its MCI road.
#pragma once

#include "platform/com.h"
#include "platform/dsound.h"
#include "platform/types.h"

extern const CLSID CLSID_D_DirectMusicLoader;
extern const CLSID CLSID_D_DirectMusicPerformance;
extern const CLSID CLSID_D_DirectMusic;
extern const IID IID_D_IDirectMusicLoader8;
extern const IID IID_D_IDirectMusicPerformance8;
extern const IID IID_D_IDirectMusic;
extern const IID IID_D_IDirectMusic8;
extern const GUID GUID_D_PerfMasterVolume;

constexpr DWORD D_DMUS_APATH_SHARED_STEREOPLUSREVERB = 1;
constexpr DWORD D_DMUS_AUDIOF_ALL = 0x3F;
constexpr DWORD D_DMUS_PC_INPUTCLASS = 0;
constexpr DWORD D_DMUS_PC_OUTPUTCLASS = 1;
constexpr HRESULT D_S_FALSE = S_FALSE;

constexpr DWORD D_DMUS_AUDIOPARAMS_SAMPLERATE = 0x4;

struct D_DMUS_AUDIOPARAMS {
    DWORD dwSize;
    BOOL fInitNow;
    DWORD dwValidData;
    DWORD dwFeatures;
    DWORD dwVoices;
    DWORD dwSampleRate;
    CLSID clsidDefaultSynth;
};

struct D_DMUS_PORTCAPS {
    DWORD dwSize;
    DWORD dwFlags;
    GUID guidPort;
    DWORD dwClass;
    DWORD dwType;
    DWORD dwMemorySize;
    DWORD dwMaxChannelGroups;
    DWORD dwMaxVoices;
    DWORD dwMaxAudioChannels;
    DWORD dwEffectFlags;
    char16_t wszDescription[128];
};

struct D_IDirectMusicSegment8 : D_IUnknown {
    virtual HRESULT Unload(D_IUnknown* audioPath) = 0;
};

struct D_IDirectMusicLoader8 : D_IUnknown {
    virtual HRESULT ReleaseObjectByUnknown(D_IUnknown* object) = 0;
};

struct D_IDirectMusic : D_IUnknown {};

struct D_IDirectMusic8 : D_IDirectMusic {
    virtual HRESULT EnumPort(DWORD index, D_DMUS_PORTCAPS* caps) = 0;
};

struct D_IDirectMusicPerformance8 : D_IUnknown {
    virtual HRESULT InitAudio(D_IDirectMusic** music, D_IDirectSound** sound, HWND window, DWORD defaultPathType,
                              DWORD performanceChannels, DWORD flags, void* audioParams) = 0;
    virtual HRESULT SetGlobalParam(REFIID type, void* data, DWORD size) = 0;
    virtual HRESULT IsPlaying(D_IDirectMusicSegment8* segment, void* state) = 0;
    virtual HRESULT Stop(D_IDirectMusicSegment8* segment, void* state, LONGLONG time, DWORD flags) = 0;
    virtual HRESULT CloseDown() = 0;
};
