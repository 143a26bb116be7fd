// What the DirectInput objects and the Win32 fall-backs share: the backend's
// devices (SDL or the headless script), the test knobs and the counters.
#pragma once

#include "platform/dinput.h"

// The scan-code state (256 bytes, 0x80 = down) of the keyboard now.
void InputSourceKeys(BYTE* dik);
// KELVO_RECORD: notes the keys read in this frame (keyboard or script).
void InputRecordKeys(const BYTE* dik);
// The virtual-key state (256 bytes) as the main thread sees it.
void InputSourceVirtualKeys(BYTE* vk);
int InputSourcePadCount();
// False when no such pad is attached.
bool InputSourcePad(int index, PlatformPadState* out);
PlatformPadDescription InputSourcePadInfo(int index);
// Drives a pad's motors (0..65535 each); the effects call it.
void InputSourceRumble(int index, int low, int high);
// Notification events signalled whenever the keyboard state changes.
void InputWatchKeyboard(HANDLE event);
void InputUnwatchKeyboard(HANDLE event);
void InputSignalKeyboardWatchers();

// Headless typing: for each script frame reached since the last call, the
// scan codes newly held and let go and the frame's text tokens. Empty on sdl.
struct ScriptedTyping {
    std::vector<int> pressed, released;
    std::vector<PlatformScriptText> text;
};
std::vector<ScriptedTyping> InputSourceTakeTyping();

// The virtual key of a scan code, 0 for none (both runs of the framework's
// table, numeric-pad Enter giving RETURN).
BYTE VirtualKeyOfScanCode(int dik);

// The record of what was asked of a device (kPlatformKeyboardDevice,
// kPlatformMouseDevice or a pad 0-7); the objects write it as they are used.
PlatformDeviceRequests& InputRequestsRef(int device);
