// The DirectSound stand-in: sound buffers mixed in software into one output,
// an SDL2 audio device on the sdl backend or, headless, a render driven by the
// virtual clock into a capture that tests read (and that
// KELVO_AUDIO_CAPTURE=file.wav writes as a WAV file).
//
// Buffers keep their own play state: a stopped buffer keeps its position, so
// the next Play resumes there; duplicates share the sample memory. The play
// cursor is the byte the mixer reads next.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/com.h"
#include "platform/types.h"
#include "platform/wave_format.h"

// ---- result codes ----------------------------------------------------------------
constexpr HRESULT D_DS_OK = 0;
constexpr HRESULT D_DSERR_INVALIDPARAM = E_INVALIDARG;
constexpr HRESULT D_DSERR_OUTOFMEMORY = E_OUTOFMEMORY;
constexpr HRESULT D_DSERR_ALLOCATED = static_cast<HRESULT>(0x8878000Au);
constexpr HRESULT D_DSERR_CONTROLUNAVAIL = static_cast<HRESULT>(0x8878001Eu);
constexpr HRESULT D_DSERR_INVALIDCALL = static_cast<HRESULT>(0x88780032u);
constexpr HRESULT D_DSERR_PRIOLEVELNEEDED = static_cast<HRESULT>(0x88780046u);
constexpr HRESULT D_DSERR_BADFORMAT = static_cast<HRESULT>(0x88780064u);
constexpr HRESULT D_DSERR_NODRIVER = static_cast<HRESULT>(0x88780078u);
constexpr HRESULT D_DSERR_ALREADYINITIALIZED = static_cast<HRESULT>(0x88780082u);
constexpr HRESULT D_DSERR_UNINITIALIZED = static_cast<HRESULT>(0x887800AAu);

// ---- buffer description ----------------------------------------------------------
constexpr DWORD D_DSBCAPS_PRIMARYBUFFER = 0x1;
constexpr DWORD D_DSBCAPS_STATIC = 0x2;
constexpr DWORD D_DSBCAPS_LOCHARDWARE = 0x4;
constexpr DWORD D_DSBCAPS_LOCSOFTWARE = 0x8;
constexpr DWORD D_DSBCAPS_CTRLFREQUENCY = 0x20;
constexpr DWORD D_DSBCAPS_CTRLPAN = 0x40;
constexpr DWORD D_DSBCAPS_CTRLVOLUME = 0x80;
constexpr DWORD D_DSBCAPS_GLOBALFOCUS = 0x8000;
constexpr DWORD D_DSBCAPS_GETCURRENTPOSITION2 = 0x10000;

// Sizes a secondary buffer may have.
constexpr DWORD D_DSBSIZE_MIN = 4;
constexpr DWORD D_DSBSIZE_MAX = 0x0FFFFFFF;

struct D_DSBUFFERDESC {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwBufferBytes;
    DWORD dwReserved;
    WAVEFORMATEX* lpwfxFormat;
    GUID guid3DAlgorithm;
};

constexpr DWORD D_DSBPLAY_LOOPING = 0x1;
constexpr DWORD D_DSBSTATUS_PLAYING = 0x1;
constexpr DWORD D_DSBSTATUS_BUFFERLOST = 0x2;
constexpr DWORD D_DSBSTATUS_LOOPING = 0x4;
constexpr DWORD D_DSBLOCK_FROMWRITECURSOR = 0x1;
constexpr DWORD D_DSBLOCK_ENTIREBUFFER = 0x2;

constexpr DWORD D_DSSCL_NORMAL = 1;
constexpr DWORD D_DSSCL_PRIORITY = 2;
constexpr DWORD D_DSSCL_EXCLUSIVE = 3;
constexpr DWORD D_DSSCL_WRITEPRIMARY = 4;

// ---- capabilities -----------------------------------------------------------------
constexpr DWORD D_DSCAPS_PRIMARYMONO = 0x1;
constexpr DWORD D_DSCAPS_PRIMARYSTEREO = 0x2;
constexpr DWORD D_DSCAPS_PRIMARY8BIT = 0x4;
constexpr DWORD D_DSCAPS_PRIMARY16BIT = 0x8;
constexpr DWORD D_DSCAPS_CONTINUOUSRATE = 0x10;
constexpr DWORD D_DSCAPS_EMULDRIVER = 0x20;
constexpr DWORD D_DSCAPS_SECONDARYMONO = 0x100;
constexpr DWORD D_DSCAPS_SECONDARYSTEREO = 0x200;
constexpr DWORD D_DSCAPS_SECONDARY8BIT = 0x400;
constexpr DWORD D_DSCAPS_SECONDARY16BIT = 0x800;

struct D_DSCAPS {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwMinSecondarySampleRate;
    DWORD dwMaxSecondarySampleRate;
    DWORD dwPrimaryBuffers;
    DWORD dwTotalHwMemBytes;
    DWORD dwFreeHwMemBytes;
};

// Sample rates a buffer may have.
constexpr DWORD D_DSBFREQUENCY_MIN = 100;
constexpr DWORD D_DSBFREQUENCY_MAX = 100000;

// ---- interfaces ---------------------------------------------------------------------
extern const CLSID CLSID_D_DirectSound;
extern const IID IID_D_IDirectSound;
extern const IID IID_D_IDirectSoundBuffer;

struct D_IDirectSoundBuffer : D_IUnknown {
    virtual HRESULT GetCurrentPosition(DWORD* playCursor, DWORD* writeCursor) = 0;
    virtual HRESULT GetFormat(WAVEFORMATEX* format, DWORD size, DWORD* written) = 0;
    virtual HRESULT GetStatus(DWORD* status) = 0;
    // Both parts of a range that wraps at the end of the buffer; the second
    // is null with length 0 when the range does not wrap.
    virtual HRESULT Lock(DWORD offset, DWORD bytes, void** part1, DWORD* bytes1, void** part2, DWORD* bytes2,
                         DWORD flags) = 0;
    virtual HRESULT Play(DWORD reserved, DWORD priority, DWORD flags) = 0;
    virtual HRESULT SetCurrentPosition(DWORD position) = 0;
    virtual HRESULT SetFormat(const WAVEFORMATEX* format) = 0;
    virtual HRESULT Stop() = 0;
    virtual HRESULT Unlock(void* part1, DWORD bytes1, void* part2, DWORD bytes2) = 0;
};

struct D_IDirectSound : D_IUnknown {
    virtual HRESULT CreateSoundBuffer(const D_DSBUFFERDESC* desc, D_IDirectSoundBuffer** buffer,
                                      D_IUnknown* outer) = 0;
    virtual HRESULT GetCaps(D_DSCAPS* caps) = 0;
    virtual HRESULT DuplicateSoundBuffer(D_IDirectSoundBuffer* original, D_IDirectSoundBuffer** duplicate) = 0;
    virtual HRESULT SetCooperativeLevel(HWND window, DWORD level) = 0;
    virtual HRESULT Initialize(const GUID* device) = 0;
};

// The one output device: a callback per device ("Primary Sound Driver").
using LPDSENUMCALLBACKA = BOOL (*)(GUID* guid, LPCSTR description, LPCSTR module, void* context);
HRESULT DirectSoundEnumerateA(LPDSENUMCALLBACKA callback, void* context);

void RegisterDirectSoundStandIn();

// ---- stand-in controls (tests) ----------------------------------------------------
// false: opening the output fails, so DirectSound cannot be initialised and
// the framework runs without sound.
void PlatformSetAudioDeviceAvailable(bool available);
bool PlatformAudioOutputOpen();
int PlatformAudioOutputRate();  // 0 when no output is open
// Headless: brings the output up to the virtual clock and returns the frames
// rendered since it opened. 0 when no output is open.
std::uint64_t PlatformAudioFramesRendered();
// Headless: keep every frame rendered from now on, as interleaved stereo
// samples; PlatformAudioCapture brings the output up to the clock first.
void PlatformStartAudioCapture();
void PlatformStopAudioCapture();
std::vector<std::int16_t> PlatformAudioCapture();
