// Joypad force feedback (a constant force and a sine per pad, with a timed
// stop) and the devices' cooperation after an activation change.
#include "core/system_state.h"
#include "input/input.h"
#include "platform/kernel.h"
#include "window/window.h"

namespace {

PadRecord* PresentPad(int inputType) {
    int index = static_cast<int>(static_cast<unsigned>(inputType) & ~0x1000u) - 1;
    if (index < 0 || index >= g_InputState.padCount || g_InputState.pads[index].device == nullptr) return nullptr;
    return &g_InputState.pads[index];
}

// Starts or stops one effect to match what is wanted.
void MatchEffect(D_IDirectInputEffect* effect, int wanted, int* state) {
    if (effect == nullptr || *state == wanted) return;
    if (wanted)
        effect->Start(1, 0);
    else
        effect->Stop();
    *state = wanted;
}

// The stop itself, without the wait while inactive: the timed stop runs
// inside message processing, where that wait must not nest.
void StopPadVibration(PadRecord& pad) {
    if (pad.constantEffect == nullptr || pad.vibrationWanted != 1) return;
    pad.vibrationWanted = 0;
    pad.vibrationPower = 10000;
    ApplyPadVibration();
}

}  // namespace

int CancelPadVibration(int inputType) {
    WaitWhileInactive();
    if (!InputSetUp()) {
        if (!IsClosePosted()) InitInput();
        return 0;
    }
    if (PadRecord* pad = PresentPad(inputType)) StopPadVibration(*pad);
    return 0;
}

int StartPadVibration(int inputType, int power, int duration) {
    if (!InputInDirectInputMode()) return -1;
    PadRecord* pad = PresentPad(inputType);
    if (pad == nullptr || pad->constantEffect == nullptr) return -1;
    pad->vibrationWanted = 1;
    pad->vibrationPower = power < 0 ? 0 : power > 10000 ? 10000 : power;
    pad->vibrationDuration = duration;
    pad->vibrationElapsed = 0;
    pad->vibrationLastTick = timeGetTime();
    ApplyPadVibration();
    return 0;
}

int UpdatePadVibration() {
    InputState& in = g_InputState;
    if (!InputInDirectInputMode()) return 0;
    DWORD tick = timeGetTime();
    for (int i = 0; i < in.padCount; ++i) {
        PadRecord& pad = in.pads[i];
        if (pad.device == nullptr || pad.vibrationWanted != 1 || pad.vibrationDuration < 0) continue;
        if (tick == pad.vibrationLastTick) continue;
        // A clock that went back (a wrap) adds nothing.
        DWORD now = tick < pad.vibrationLastTick ? pad.vibrationLastTick : tick;
        std::uint32_t elapsed = static_cast<std::uint32_t>(pad.vibrationElapsed) + (now - pad.vibrationLastTick);
        pad.vibrationElapsed = elapsed > 0x7FFFFFFFu ? 0x7FFFFFFF : static_cast<int>(elapsed);
        pad.vibrationLastTick = tick;
        if (pad.vibrationElapsed >= pad.vibrationDuration) StopPadVibration(pad);
    }
    return ApplyPadVibration();
}

int ApplyPadVibration() {
    InputState& in = g_InputState;
    if (!InputInDirectInputMode()) return 0;
    bool active = IsWindowActive() != 0;
    for (int i = 0; i < in.padCount; ++i) {
        PadRecord& pad = in.pads[i];
        if (pad.device == nullptr) continue;
        if (!active) {
            MatchEffect(pad.constantEffect, 0, &pad.constantEffectState);
            MatchEffect(pad.sineEffect, 0, &pad.sineEffectState);
            continue;
        }
        MatchEffect(pad.constantEffect, pad.vibrationWanted == 1 ? 1 : 0, &pad.constantEffectState);
        int sineWanted = pad.vibrationWanted == 1 && pad.vibrationPower > 5000 ? 1 : 0;
        MatchEffect(pad.sineEffect, sineWanted, &pad.sineEffectState);
    }
    return 0;
}

int ResetInputCooperation() {
    InputState& in = g_InputState;
    if (!InputInDirectInputMode()) return 0;
    DWORD level = IsWindowActive() ? (D_DISCL_EXCLUSIVE | D_DISCL_FOREGROUND) : (D_DISCL_NONEXCLUSIVE | D_DISCL_BACKGROUND);
    for (int i = 0; i < in.padCount; ++i) {
        PadRecord& pad = in.pads[i];
        if (pad.device == nullptr) continue;
        pad.device->Unacquire();
        pad.device->SetCooperativeLevel(g_SystemState.mainWindow, level);
        pad.device->Acquire();
    }
    if (in.keyboard != nullptr) {
        in.keyboard->Unacquire();
        in.keyboard->Acquire();
    }
    return 0;
}
