// The on-screen log. The screen is drawn with it only while it has lines
// (the present path asks for the line count).
#include "core/screen_log.h"

#include <cstring>

#include "core/core_hooks.h"
#include "core/system_state.h"

ScreenLog g_ScreenLog{};

namespace {

constexpr int kLineHeight = 16;
constexpr int kFontThickness = 4;
constexpr int kFontType = 1;  // with an edge, so the text reads over any picture

}  // namespace

int InitScreenLog() {
    ScreenLog& log = g_ScreenLog;
    if (g_CoreHooks.HasDirectDrawObject() == 0 || g_SystemState.mainWindow == nullptr) return -1;
    if (log.setUp != 0) return 0;
    log.setUp = 1;
    log.lineHeight = kLineHeight;
    log.fontHandle = -1;
    log.fontLost = 1;
    EnsureScreenLogFont();
    log.lineCount = 0;
    log.writeColumn = 0;
    log.writeLine = 0;
    std::memset(log.text, 0, sizeof log.text);
    return 0;
}

int EnsureScreenLogFont() {
    ScreenLog& log = g_ScreenLog;
    // Setting the log up makes its font.
    if (log.setUp == 0) {
        InitScreenLog();
        return 0;
    }
    if (log.fontHandle != -1 && log.fontLost == 0) return 0;
    log.fontHandle = g_CoreHooks.CreateFontToHandle(nullptr, log.lineHeight, kFontThickness, kFontType, -1, -1, 0, -1, -1);
    if (log.fontHandle == -1) {
        log.fontLost = 1;  // tried again on the next use
        return 0;
    }
    log.fontLost = 0;
    g_CoreHooks.LinkFontLostFlag(log.fontHandle, &log.fontLost);
    return 0;
}

int ResetScreenLogText() {
    std::memset(g_ScreenLog.text, 0, sizeof g_ScreenLog.text);
    g_ScreenLog.writeColumn = 0;
    g_ScreenLog.writeLine = 0;
    return 0;
}

int ClearScreenLog() {
    ResetScreenLogText();
    g_ScreenLog.lineCount = 0;
    return 0;
}

int DrawScreenLog() {
    ScreenLog& log = g_ScreenLog;
    if (log.setUp == 0) return 0;
    EnsureScreenLogFont();
    if (log.fontHandle == -1 || log.lineHeight <= 0) return 0;  // nothing to draw with

    int width = 0;
    int height = 0;
    g_CoreHooks.QueryScreenSize(&width, &height);
    int lines = height / log.lineHeight;
    if (lines > kScreenLogLines) lines = kScreenLogLines;
    const std::uint32_t white = g_CoreHooks.MakeColorCode(255, 255, 255);
    const std::uint32_t black = g_CoreHooks.MakeColorCode(0, 0, 0);
    for (int i = 0; i < lines; ++i)
        g_CoreHooks.DrawTextWithFont(0, log.lineHeight * i, log.text[i], white, log.fontHandle, black, 0);
    return 0;
}

int GetScreenLogLineCount() { return g_ScreenLog.lineCount; }

int TerminateScreenLog() {
    ScreenLog& log = g_ScreenLog;
    if (!log.setUp) return 0;
    if (log.fontHandle != -1) {
        g_CoreHooks.ReleaseFontHandle(log.fontHandle);
        log.fontHandle = -1;
    }
    log.setUp = 0;
    return 0;
}
