// The Media Control Interface stand-in: a MIDI sequencer device. A standard
// MIDI file opened as a "sequencer" element plays through FluidSynth with a
// General MIDI SoundFont into the DirectSound stand-in's mixer; the end of
// play is posted to the callback window as MM_MCINOTIFY.
#pragma once

#include <cstdint>

#include "platform/types.h"

using MCIERROR = DWORD;
using MCIDEVICEID = UINT;
using DWORD_PTR = std::uintptr_t;

constexpr UINT MCI_OPEN = 0x0803;
constexpr UINT MCI_CLOSE = 0x0804;
constexpr UINT MCI_PLAY = 0x0806;
constexpr UINT MCI_STOP = 0x0808;

constexpr DWORD MCI_NOTIFY = 0x00000001;
constexpr DWORD MCI_WAIT = 0x00000002;
constexpr DWORD MCI_FROM = 0x00000004;
constexpr DWORD MCI_OPEN_ELEMENT = 0x00000200;
constexpr DWORD MCI_OPEN_TYPE = 0x00002000;

constexpr MCIDEVICEID MCI_ALL_DEVICE_ID = 0xFFFF;

// wParam of MM_MCINOTIFY; lParam is the device.
constexpr WPARAM MCI_NOTIFY_SUCCESSFUL = 0x0001;

constexpr MCIERROR MCIERR_INVALID_DEVICE_ID = 257;
constexpr MCIERROR MCIERR_UNRECOGNIZED_COMMAND = 261;
constexpr MCIERROR MCIERR_HARDWARE = 262;
constexpr MCIERROR MCIERR_INVALID_DEVICE_NAME = 263;
constexpr MCIERROR MCIERR_CANNOT_LOAD_DRIVER = 266;
constexpr MCIERROR MCIERR_FILE_NOT_FOUND = 275;
constexpr MCIERROR MCIERR_OUTOFRANGE = 282;
constexpr MCIERROR MCIERR_INVALID_FILE = 296;
constexpr MCIERROR MCIERR_NULL_PARAMETER_BLOCK = 297;

struct MCI_OPEN_PARMSA {
    DWORD_PTR dwCallback;
    MCIDEVICEID wDeviceID;
    LPCSTR lpstrDeviceType;
    LPCSTR lpstrElementName;
    LPCSTR lpstrAlias;
};

struct MCI_PLAY_PARMS {
    DWORD_PTR dwCallback;
    DWORD dwFrom;
    DWORD dwTo;
};

struct MCI_GENERIC_PARMS {
    DWORD_PTR dwCallback;
};

MCIERROR mciSendCommandA(MCIDEVICEID device, UINT message, DWORD_PTR flags, DWORD_PTR parameters);

// ---- stand-in controls (tests) ----------------------------------------------------
// Devices open now.
int PlatformMciDeviceCount();
