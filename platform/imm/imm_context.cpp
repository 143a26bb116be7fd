// The input contexts of the windows: the IMM32 calls, and the input method's
// events (typed text, compositions) as window messages.
#include <algorithm>

#include "imm/imm_context.h"
#include "platform/imm.h"
#include "window/window_state.h"

namespace {

// The context's handle is its window's.
PlatformWindow* WindowOfContextLocked(HIMC context) {
    return FindWindowLocked(reinterpret_cast<HWND>(context));
}

// The first character of the composition, as WM_IME_COMPOSITION carries it.
WPARAM FirstCharacter(const std::string& text) {
    if (text.empty()) return 0;
    const auto lead = static_cast<unsigned char>(text[0]);
    if (text.size() >= 2 && ((lead >= 0x81 && lead <= 0x9F) || (lead >= 0xE0 && lead <= 0xFC)))
        return static_cast<WPARAM>(lead << 8 | static_cast<unsigned char>(text[1]));
    return lead;
}

void SetCompositionLocked(PlatformWindow& window, std::string text, int cursor) {
    ImmContext& ime = window.ime;
    if (!ime.composing) {
        ime.composing = true;
        ime.open = true;
        PostLocked(window, WM_IME_STARTCOMPOSITION, 0, 0);
    }
    ime.composition = std::move(text);
    ime.cursor = std::clamp(cursor, 0, static_cast<int>(ime.composition.size()));
    PostLocked(window, WM_IME_COMPOSITION, FirstCharacter(ime.composition),
               static_cast<LPARAM>(GCS_COMPSTR | GCS_CURSORPOS));
}

void EndCompositionLocked(PlatformWindow& window) {
    ImmContext& ime = window.ime;
    if (!ime.composing) return;
    ime.composing = false;
    ime.composition.clear();
    ime.cursor = 0;
    PostLocked(window, WM_IME_ENDCOMPOSITION, 0, 0);
}

}  // namespace

void ImmTextToMessagesLocked(PlatformWindow& window, const std::string& utf8) {
    EndCompositionLocked(window);
    for (char byte : PlatformUtf8ToShiftJis(utf8))
        PostLocked(window, WM_CHAR, static_cast<WPARAM>(static_cast<unsigned char>(byte)), 1);
}

void ImmCompositionToMessagesLocked(PlatformWindow& window, const std::string& utf8, int cursorChars) {
    int cursor = 0;
    std::string text = PlatformUtf8ToShiftJis(utf8, cursorChars, &cursor);
    if (text.empty())
        EndCompositionLocked(window);
    else
        SetCompositionLocked(window, std::move(text), cursor);
}

// ---- IMM32 ------------------------------------------------------------------------------------

BOOL WINNLSEnableIME(HWND window, BOOL enable) {
    auto& s = Windows();
    std::lock_guard lock(s.mutex);
    PlatformWindow* w = FindWindowLocked(window);
    if (w == nullptr) return FALSE;
    BOOL previous = w->imeEnabled ? TRUE : FALSE;
    w->imeEnabled = enable != 0;
    return previous;
}

HIMC ImmGetContext(HWND window) { return IsWindow(window) ? reinterpret_cast<HIMC>(window) : nullptr; }
BOOL ImmReleaseContext(HWND, HIMC) { return TRUE; }

LONG ImmGetCompositionStringA(HIMC context, DWORD index, LPVOID buffer, DWORD size) {
    auto& s = Windows();
    std::lock_guard lock(s.mutex);
    PlatformWindow* w = WindowOfContextLocked(context);
    if (w == nullptr) return 0;
    const ImmContext& ime = w->ime;
    switch (index) {
        case GCS_COMPSTR: {
            const std::size_t length = ime.composition.size();
            if (buffer == nullptr || size == 0) return static_cast<LONG>(length);
            const std::size_t n = std::min<std::size_t>(length, size);
            ime.composition.copy(static_cast<char*>(buffer), n);
            return static_cast<LONG>(n);
        }
        case GCS_CURSORPOS: return ime.cursor;
        default: return 0;
    }
}

BOOL ImmSetCompositionStringA(HIMC context, DWORD index, LPCVOID composition, DWORD length, LPCVOID, DWORD) {
    if (index != SCS_SETSTR || (composition == nullptr && length != 0)) return FALSE;
    auto& s = Windows();
    std::lock_guard lock(s.mutex);
    PlatformWindow* w = WindowOfContextLocked(context);
    if (w == nullptr) return FALSE;
    std::string text(static_cast<const char*>(composition), length);
    if (text.empty())
        EndCompositionLocked(*w);
    else
        SetCompositionLocked(*w, text, static_cast<int>(text.size()));
    return TRUE;
}

BOOL ImmNotifyIME(HIMC context, DWORD action, DWORD index, DWORD) {
    if (action != NI_COMPOSITIONSTR || index != CPS_CANCEL) return FALSE;
    auto& s = Windows();
    std::lock_guard lock(s.mutex);
    PlatformWindow* w = WindowOfContextLocked(context);
    if (w == nullptr) return FALSE;
    EndCompositionLocked(*w);
    return TRUE;
}

BOOL ImmSetOpenStatus(HIMC context, BOOL open) {
    auto& s = Windows();
    std::lock_guard lock(s.mutex);
    PlatformWindow* w = WindowOfContextLocked(context);
    if (w == nullptr) return FALSE;
    if (w->ime.open != (open != 0)) {
        w->ime.open = open != 0;
        PostLocked(*w, WM_IME_NOTIFY, IMN_SETOPENSTATUS, 0);
    }
    return TRUE;
}

BOOL ImmGetOpenStatus(HIMC context) {
    auto& s = Windows();
    std::lock_guard lock(s.mutex);
    PlatformWindow* w = WindowOfContextLocked(context);
    return w != nullptr && w->ime.open ? TRUE : FALSE;
}

DWORD ImmGetCandidateListA(HIMC, DWORD, void*, DWORD) { return 0; }
HWND ImmGetDefaultIMEWnd(HWND) { return nullptr; }
