// The Win32 input the framework falls back on without DirectInput: the
// keyboard state by virtual key and the multimedia joystick functions.
#include <cstdio>
#include <cstring>

#include "dinput/dinput_internal.h"

BOOL GetKeyboardState(BYTE* keys) {
    if (keys == nullptr || PlatformInputKnobsRef().refuseKeyboardState) return FALSE;
    InputSourceVirtualKeys(keys);
    return TRUE;
}

UINT joyGetDevCapsA(UINT id, JOYCAPSA* caps, UINT size) {
    if (caps == nullptr || size < sizeof(JOYCAPSA)) return JOYERR_PARMS;
    if (id >= 16) return JOYERR_PARMS;
    if (static_cast<int>(id) >= InputSourcePadCount()) return JOYERR_UNPLUGGED;
    PlatformPadDescription info = InputSourcePadInfo(static_cast<int>(id));
    std::memset(caps, 0, sizeof *caps);
    std::snprintf(caps->szPname, sizeof caps->szPname, "%s", info.name.c_str());
    caps->wXmax = caps->wYmax = caps->wZmax = caps->wRmax = 65535;
    caps->wNumButtons = caps->wMaxButtons = 32;
    caps->wNumAxes = info.hasZAndR ? 4 : 2;
    caps->wMaxAxes = 6;
    caps->wCaps = info.hasZAndR ? (JOYCAPS_HASZ | JOYCAPS_HASR) : 0;
    return JOYERR_NOERROR;
}

UINT joyGetPosEx(UINT id, JOYINFOEX* info) {
    if (info == nullptr || info->dwSize != sizeof(JOYINFOEX)) return JOYERR_PARMS;
    PlatformPadState pad;
    if (!InputSourcePad(static_cast<int>(id), &pad)) return JOYERR_UNPLUGGED;
    auto position = [](LONG raw) { return static_cast<DWORD>(raw + 32768); };
    info->dwXpos = position(pad.axes[0]);
    info->dwYpos = position(pad.axes[1]);
    info->dwZpos = position(pad.axes[2]);
    info->dwRpos = position(pad.axes[5]);
    info->dwUpos = position(pad.axes[3]);
    info->dwVpos = position(pad.axes[4]);
    info->dwButtons = 0;
    info->dwButtonNumber = 0;
    for (int b = 0; b < 32; ++b) {
        if (!pad.buttons[b]) continue;
        info->dwButtons |= 1u << b;
        ++info->dwButtonNumber;
    }
    info->dwPOV = 0xFFFF;  // centred
    return JOYERR_NOERROR;
}
