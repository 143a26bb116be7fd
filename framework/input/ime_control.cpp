// The IME around key-input strings: switched on while any exist, and opened
// again with its composition kept when the window comes back.
#include <cstring>

#include "core/memory.h"
#include "core/system_state.h"
#include "core/utility.h"
#include "input/char_input.h"
#include "window/window.h"

ImeControlState g_ImeControl{};

int SetImeEnabled(int flag) {
    ImeControlState& c = g_ImeControl;
    if (c.enabled == flag) return 0;
    WINNLSEnableIME(g_SystemState.mainWindow, flag ? TRUE : FALSE);
    c.enabled = flag;
    if (!flag) {
        KV_FREE(g_ImeState.candidates);
        g_ImeState.candidates = nullptr;
        g_ImeState.candidateSize = 0;
        std::memset(g_ImeState.composition, 0, sizeof g_ImeState.composition);
    }
    return 0;
}

int FlagImeReopen() {
    if (LookupKeyInput(g_KeyInputState.activeHandle) != nullptr && g_ImeControl.enabled && g_ImeState.openStatus)
        g_ImeControl.restoreStep = 1;
    return 0;
}

void RunImeRestoreSteps() {
    ImeControlState& c = g_ImeControl;
    if (c.restoreStep < 1 || c.restoreStep > 4) return;
    const HWND window = g_SystemState.mainWindow;
    if (c.restoreStep == 1) {
        std::memset(c.savedComposition, 0, sizeof c.savedComposition);
        std::memset(g_ImeState.composition, 0, sizeof g_ImeState.composition);
        HIMC context = ImmGetContext(window);
        // At most one byte less than the buffer, so the terminator stays, and
        // never half a character at the cut.
        const LONG read =
            ImmGetCompositionStringA(context, GCS_COMPSTR, c.savedComposition, sizeof c.savedComposition - 1);
        const std::size_t whole =
            ShiftJisPrefixLength(c.savedComposition, read > 0 ? static_cast<std::size_t>(read) : 0);
        c.savedComposition[whole] = '\0';
        ImmNotifyIME(context, NI_COMPOSITIONSTR, CPS_CANCEL, 0);
        ImmReleaseContext(window, context);
        c.restoreStep = 2;
    }
    if (c.restoreStep == 2) {
        HIMC context = ImmGetContext(window);
        ImmSetOpenStatus(context, FALSE);
        ImmReleaseContext(window, context);
        c.restoreStep = 3;
    }
    if (c.restoreStep == 3) {
        HIMC context = ImmGetContext(window);
        ImmSetOpenStatus(context, TRUE);
        ImmReleaseContext(window, context);
        c.restoreStep = 4;
    }
    HIMC context = ImmGetContext(window);
    ImmSetOpenStatus(context, TRUE);
    ImmSetCompositionStringA(context, SCS_SETSTR, c.savedComposition,
                             static_cast<DWORD>(std::strlen(c.savedComposition)), nullptr, 0);
    ImmReleaseContext(window, context);
    c.restoreStep = 0;
}
