// Reading the keyboard and the joypads, and the pad bit mask.
#include <cstring>

#include "core/system_state.h"
#include "input/input.h"
#include "input/input_tables.h"
#include "platform/kernel.h"
#include "window/window.h"

namespace {

bool EventSignalled(HANDLE event) { return event != nullptr && WaitForSingleObject(event, 0) == WAIT_OBJECT_0; }

// Copies the Win32 byte of each virtual key of the table into the key state;
// the first run only, or both.
void MergeVirtualKeys(const BYTE* win32Keys, bool bothRuns) {
    for (const VirtualKeyPair& pair : kVirtualKeyTable) {
        if (pair.virtualKey == 0xFFFF) break;
        if (pair.virtualKey == 0xFFFE) {
            if (!bothRuns) break;
            continue;
        }
        g_InputState.keyState[pair.scanCode] = win32Keys[pair.virtualKey];
    }
}

// A pad index from an input type: -1 for the keyboard alone.
int PadIndexOf(int inputType) { return static_cast<int>(static_cast<unsigned>(inputType) & ~0x1000u) - 1; }

// Waits while inactive and sets input up when it is not; false when the
// caller is to return at once (with *result).
bool PrepareRead(int* result) {
    WaitWhileInactive();
    if (InputSetUp()) return true;
    *result = IsClosePosted() ? 0 : InitInput();
    // A set-up that succeeded reports nothing pressed for this call.
    if (*result > 0) *result = 0;
    return false;
}

}  // namespace

int ConvertJoystickPosition(DWORD position) {
    long p = static_cast<long>(position);
    if (p < 24576) return static_cast<int>((p - 24576) * 1000 / 24576);
    if (p > 40960) return static_cast<int>((p - 40960) * 1000 / 24576);
    return 0;
}

int RefreshKeyState() {
    InputState& in = g_InputState;
    DWORD tick = timeGetTime();
    if (in.keyboard != nullptr) {
        if (tick == in.lastKeyTick && !EventSignalled(in.keyboardEvent)) return 0;
        if (ProcessMessage() != 0 || in.directInput == nullptr || in.keyboard == nullptr) return 0;
        BYTE state[256];
        if (FAILED(in.keyboard->GetDeviceState(sizeof state, state))) {
            in.keyboard->Acquire();
            if (FAILED(in.keyboard->GetDeviceState(sizeof state, state))) return 0;
        }
        std::memcpy(in.keyState, state, sizeof state);
        in.lastKeyTick = tick;
        if (EventSignalled(in.keyboardEvent)) ResetEvent(in.keyboardEvent);
        // The Win32 view is the calling thread's, so only the main thread's counts.
        if (in.noMerge == 0 && GetCurrentThreadId() == g_SystemState.mainThreadId) {
            BYTE win32Keys[256];
            if (GetKeyboardState(win32Keys)) MergeVirtualKeys(win32Keys, false);
        }
        return 1;
    }
    if (!in.win32Mode) return 0;
    if (tick == in.lastKeyTick) return 0;
    in.lastKeyTick = tick;
    if (ProcessMessage() != 0) return 0;
    BYTE win32Keys[256];
    if (!GetKeyboardState(win32Keys)) return 0;
    std::memset(in.keyState, 0, sizeof in.keyState);
    MergeVirtualKeys(win32Keys, true);
    return 1;
}

int RefreshPadState(int padIndex) {
    InputState& in = g_InputState;
    if (padIndex < 0 || padIndex >= kMaxPads) return -1;
    PadRecord& pad = in.pads[padIndex];
    DWORD tick = timeGetTime();
    if (in.win32Mode) {
        if (tick == pad.lastPollTick) return 0;
        pad.lastPollTick = tick;
        JOYINFOEX info{};
        info.dwSize = sizeof info;
        info.dwFlags = JOY_RETURNALL;
        std::memset(&pad.state, 0, sizeof pad.state);
        if (joyGetPosEx(static_cast<UINT>(padIndex), &info) != JOYERR_NOERROR) return 0;
        pad.state.lX = ConvertJoystickPosition(info.dwXpos);
        pad.state.lY = ConvertJoystickPosition(info.dwYpos);
        if (pad.hasZAndR) {
            pad.state.lZ = ConvertJoystickPosition(info.dwZpos);
            pad.state.lRz = ConvertJoystickPosition(info.dwRpos);
        }
        for (int j = 0; j < 24; ++j) pad.state.rgbButtons[j] = (info.dwButtons >> j) & 1 ? 0x80 : 0;
        return 0;
    }
    if (pad.device == nullptr) return -1;
    if (tick == pad.lastPollTick && !EventSignalled(pad.event)) return 0;
    pad.lastPollTick = tick;
    pad.device->Poll();
    D_DIJOYSTATE state;
    if (FAILED(pad.device->GetDeviceState(sizeof state, &state))) {
        if (ProcessMessage() != 0 || in.directInput == nullptr || pad.device == nullptr) return -1;
        HRESULT acquired = pad.device->Acquire();
        if (ProcessMessage() != 0 || in.directInput == nullptr || pad.device == nullptr) return -1;
        // While the device stays lost the previous state is kept.
        if (SUCCEEDED(acquired) && SUCCEEDED(pad.device->GetDeviceState(sizeof state, &state)))
            pad.state = state;
    } else {
        pad.state = state;
    }
    if (EventSignalled(pad.event)) ResetEvent(pad.event);
    return 0;
}

int IsKeyDown(int keyCode) {
    int result = 0;
    if (!PrepareRead(&result)) return result;
    if (keyCode < 0 || keyCode > 255) return 0;
    RefreshKeyState();
    return (g_InputState.keyState[keyCode] & 0x80) != 0 ? 1 : 0;
}

int GetPadState(int inputType) {
    int result = 0;
    if (!PrepareRead(&result)) return result;
    InputState& in = g_InputState;
    int index = PadIndexOf(inputType);
    bool withKeyboard = (static_cast<unsigned>(inputType) & 0x1000u) != 0;
    bool present = index >= 0 && index < in.padCount;
    if (index != -1 && !present && in.padCount > 0 && !withKeyboard) return 0;

    std::uint32_t bits = 0;
    if (present) {
        RefreshPadState(index);
        const D_DIJOYSTATE& state = in.pads[index].state;
        if (state.lX < 0) bits |= 0x2;
        if (state.lX > 0) bits |= 0x4;
        if (state.lY < 0) bits |= 0x8;
        if (state.lY > 0) bits |= 0x1;
        for (int j = 0; j < 24; ++j)
            if (state.rgbButtons[j] & 0x80) bits |= 1u << (j + 4);
    }
    if (withKeyboard) {
        RefreshKeyState();
        for (const PadKeySource& source : kPadKeySources)
            if (in.keyState[source.scanCode] & 0x80) bits |= source.bit;
    }
    return static_cast<int>(bits);
}
