// The input method (IMM32) and the IME switch. Each window has one input
// context: its composition string (Shift-JIS), the cursor in it, whether a
// composition is running and whether the input method is open.
//
// Where compositions come from: on the sdl backend, the desktop's input
// method through SDL's text-editing events; on the headless backend, the
// input script (see platform/dinput.h). A composition that starts posts
// WM_IME_STARTCOMPOSITION, every change WM_IME_COMPOSITION, its end
// WM_IME_ENDCOMPOSITION. Committed text, like all typed text, reaches the
// window as WM_CHAR messages, one per Shift-JIS byte (a lead byte, then its
// trail byte); characters Shift-JIS cannot hold are dropped.
//
// WINNLSEnableIME is recorded only: text input stays on, so that typed
// characters reach WM_CHAR while the framework has the IME switched off.
#pragma once

#include <string>

#include "platform/types.h"

struct HIMC__;
using HIMC = HIMC__*;

// IME notifications (wParam of WM_IME_NOTIFY).
constexpr WPARAM IMN_CHANGECANDIDATE = 0x0003;
constexpr WPARAM IMN_CLOSECANDIDATE = 0x0004;
constexpr WPARAM IMN_OPENCANDIDATE = 0x0005;
constexpr WPARAM IMN_SETOPENSTATUS = 0x0008;

// Parts of the composition (the index of ImmGetCompositionStringA and the
// lParam of WM_IME_COMPOSITION).
constexpr DWORD GCS_COMPSTR = 0x0008;
constexpr DWORD GCS_CURSORPOS = 0x0080;
constexpr DWORD GCS_RESULTSTR = 0x0800;

// ImmNotifyIME: act on the composition string; cancel it.
constexpr DWORD NI_COMPOSITIONSTR = 0x0015;
constexpr DWORD CPS_CANCEL = 0x0004;
// ImmSetCompositionStringA: set the composition string.
constexpr DWORD SCS_SETSTR = 0x0009;

// The previous setting.
BOOL WINNLSEnableIME(HWND window, BOOL enable);

// The window's input context; null for no window.
HIMC ImmGetContext(HWND window);
BOOL ImmReleaseContext(HWND window, HIMC context);
// GCS_COMPSTR: with no buffer (or size 0) the composition's length in bytes,
// else the bytes copied, at most `size` and never a terminator.
// GCS_CURSORPOS: the cursor's byte offset in the composition. Other parts: 0.
LONG ImmGetCompositionStringA(HIMC context, DWORD index, LPVOID buffer, DWORD size);
// Makes `length` bytes the composition (SCS_SETSTR only), starting one when
// none runs. The reading string is ignored.
BOOL ImmSetCompositionStringA(HIMC context, DWORD index, LPCVOID composition, DWORD length, LPCVOID reading,
                              DWORD readingLength);
// NI_COMPOSITIONSTR with CPS_CANCEL ends the running composition, dropping
// its text. On the sdl backend the desktop's input method is not told.
BOOL ImmNotifyIME(HIMC context, DWORD action, DWORD index, DWORD value);
// A change posts WM_IME_NOTIFY with IMN_SETOPENSTATUS. A composition that
// starts opens the input method.
BOOL ImmSetOpenStatus(HIMC context, BOOL open);
BOOL ImmGetOpenStatus(HIMC context);
// No candidate list stands behind the stand-in: 0.
DWORD ImmGetCandidateListA(HIMC context, DWORD index, void* list, DWORD size);
HWND ImmGetDefaultIMEWnd(HWND window);

// ---- what the stand-in offers besides the IMM32 names ---------------------------------------

// UTF-8 text as Shift-JIS (code page 932), character by character; a
// character Shift-JIS cannot hold, or a broken UTF-8 sequence, is dropped.
// With `cursorChars` (characters into the UTF-8 text; beyond its end means
// the end) the matching byte offset of the result goes to *cursorBytes.
std::string PlatformUtf8ToShiftJis(const std::string& utf8, int cursorChars = -1, int* cursorBytes = nullptr);
