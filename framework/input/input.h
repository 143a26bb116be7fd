// Input devices: the keyboard and up to eight joypads, read when a caller
// asks (at most once per millisecond tick unless a device signals new data),
// with force feedback on the joypads. DirectInput 7 is preferred, then 8;
// without either the Win32 keyboard state and the multimedia joystick
// functions stand in.
#pragma once

#include <cstdint>

#include "platform/dinput.h"

constexpr int kMaxPads = 8;
constexpr int kPadInputKeyboard = 0x1000;  // input-type bit: merge the keyboard in

struct PadRecord {
    D_IDirectInputDevice7* device;  // non-null: pad present (DirectInput mode)
    D_IDirectInputEffect* constantEffect;
    D_IDirectInputEffect* sineEffect;
    HANDLE event;
    D_DIJOYSTATE state;
    int hasZAndR;                   // Win32 mode: the joystick has Z and R axes
    DWORD lastPollTick;
    int vibrationWanted;            // 1 = on
    int vibrationPower;             // 0..10000
    int vibrationDuration;          // ms; negative = until stopped
    int vibrationElapsed;           // ms
    DWORD vibrationLastTick;
    int constantEffectState;        // 1 = started
    int sineEffectState;
    char instanceName[MAX_PATH];
    char productName[MAX_PATH];
};

struct InputState {
    int useWin32Input;              // survives InitInput's clearing
    int directInput8;               // the interface came from version 8
    D_IUnknown* directInput;        // D_IDirectInput7 or D_IDirectInput8
    int win32Mode;                  // set up without DirectInput
    D_IDirectInputDevice7* mouse;
    D_IDirectInputDevice7* keyboard;
    HANDLE keyboardEvent;
    DWORD lastKeyTick;
    std::uint8_t keyState[256];     // by scan code; bit 7 = down
    int noMerge;                    // 1: the Win32 keyboard state is not merged in
    int padCount;
    PadRecord pads[kMaxPads];
    int noKeyboardDevice;
};

extern InputState g_InputState;

// Set up; 0 (also when already set up).
int InitInput();
// Release everything; 0.
int TerminateInput();
// 1 when the key (scan code) is down.
int IsKeyDown(int keyCode);
// The pad bit mask of a pad, with the keyboard merged in for 0x1000.
int GetPadState(int inputType);
// Stops a pad's vibration; 0.
int CancelPadVibration(int inputType);
// Starts a pad's vibration at a power (0..10000) for a time in ms (negative:
// until stopped): what a caller that wants vibration does. 0, or -1 for a
// pad that is not present or has no effect.
int StartPadVibration(int inputType, int power, int duration);
// Per pass of message processing: vibration timers, then the effects.
int UpdatePadVibration();
// Starts and stops the effects to match the wanted vibration.
int ApplyPadVibration();
// After an activation change: cooperative levels and acquisition again.
int ResetInputCooperation();

// Internal, exposed for tests: 1 when the key state was read anew.
int RefreshKeyState();
// 0, or -1 for a bad index or a read that could not be made.
int RefreshPadState(int padIndex);
// Win32 mode: a joystick position 0..65535 to -1000..1000.
int ConvertJoystickPosition(DWORD position);

// Helpers shared by the input files.
bool InputInDirectInputMode();
bool InputSetUp();
