// The IME messages of the main window: composition and candidate lists.
#include <cstring>

#include "core/fatal_error.h"
#include "core/log.h"
#include "core/memory.h"
#include "core/system_info.h"
#include "core/system_state.h"
#include "core/utility.h"
#include "window/window.h"

ImeState g_ImeState{};

namespace {

void ReadComposition(HWND window) {
    HIMC context = ImmGetContext(window);
    LONG length = ImmGetCompositionStringA(context, GCS_COMPSTR, g_ImeState.composition, kImeCompositionSize - 1);
    if (length < 0) length = 0;
    if (length > kImeCompositionSize - 1) length = kImeCompositionSize - 1;
    g_ImeState.composition[length] = '\0';
    // A composition cut at the buffer's end keeps whole characters only.
    g_ImeState.composition[ShiftJisPrefixLength(g_ImeState.composition, static_cast<std::size_t>(length))] = '\0';
    g_ImeState.cursorPosition = ImmGetCompositionStringA(context, GCS_CURSORPOS, nullptr, 0) & 0xFFFF;
    ImmReleaseContext(window, context);
}

void FreeCandidates() {
    KV_FREE(g_ImeState.candidates);
    g_ImeState.candidates = nullptr;
    g_ImeState.candidateSize = 0;
}

void ReadCandidates(HWND window) {
    HIMC context = ImmGetContext(window);
    DWORD size = ImmGetCandidateListA(context, 0, nullptr, 0);
    if (size == 0) {
        WriteLogFormat("漢字変換候補のデータサイズが０でした  DefHWND:%x IMC:%x",
                       static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(ImmGetDefaultIMEWnd(window))),
                       static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(context)));
    } else {
        FreeCandidates();
        void* list = KV_ALLOC(size);
        if (list == nullptr)
            FatalErrorFormat("漢字変換候補を保存するメモリの確保に失敗しました( 確保しようとしたサイズ %d バイト )",
                             static_cast<int>(size));
        if (ImmGetCandidateListA(context, 0, list, size) == 0) {
            WriteLogFormat("漢字変換候補の取得に失敗しました  BufSize:%d", static_cast<int>(size));
            KV_FREE(list);
        } else {
            g_ImeState.candidates = list;
            g_ImeState.candidateSize = size;
        }
    }
    ImmReleaseContext(window, context);
}

// Lets the system switch the IME, processes messages for up to 2000
// microseconds so the switch can take effect, then reads the state.
void SetOpenStatus(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (g_ImeState.settingOpenStatus) return;
    g_ImeState.settingOpenStatus = 1;
    DefWindowProcA(window, message, wParam, lParam);
    long long start = GetMicroseconds(0);
    while (GetMicroseconds(0) - start < 2000)
        if (ProcessMessage() != 0) break;
    HIMC context = ImmGetContext(window);
    g_ImeState.openStatus = ImmGetOpenStatus(context) ? 1 : 0;
    ImmReleaseContext(window, context);
    g_ImeState.settingOpenStatus = 0;
}

}  // namespace

LRESULT OnImeMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    g_ImeState.inUse = 1;
    g_ImeState.lastMessageTime = timeGetTime();
    switch (message) {
        case WM_IME_STARTCOMPOSITION: g_ImeState.composing = 1; break;
        case WM_IME_ENDCOMPOSITION:
            std::memset(g_ImeState.composition, 0, sizeof g_ImeState.composition);
            g_ImeState.composing = 0;
            break;
        case WM_IME_COMPOSITION: ReadComposition(window); break;
        case WM_IME_NOTIFY:
            switch (wParam) {
                case IMN_OPENCANDIDATE:
                case IMN_CHANGECANDIDATE: ReadCandidates(window); break;
                case IMN_CLOSECANDIDATE: FreeCandidates(); break;
                case IMN_SETOPENSTATUS: SetOpenStatus(window, message, wParam, lParam); break;
                default: break;
            }
            break;
        default: break;
    }
    return 0;
}
