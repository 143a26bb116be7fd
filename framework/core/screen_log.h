// The on-screen log: up to 80 lines of text that can be drawn over the
// screen with a font of its own.
#pragma once

constexpr int kScreenLogLines = 80;
constexpr int kScreenLogLineBytes = 255;

struct ScreenLog {
    int setUp;
    char text[kScreenLogLines][kScreenLogLineBytes];  // each line zero-terminated
    int lineCount;
    int lineHeight;   // pixels
    int fontHandle;   // -1 when none
    int fontLost;     // set to 1 by the font layer when the font is released
    int writeColumn;
    int writeLine;
};

extern ScreenLog g_ScreenLog;

// -1 without the DirectDraw object or the main window; else 0.
int InitScreenLog();
// Makes the log's font when it has none or lost it; 0.
int EnsureScreenLogFont();
int ResetScreenLogText();  // text and write position cleared; 0
int ClearScreenLog();      // also the line count; 0
int DrawScreenLog();       // 0
// At the end: releases the log's font (once) and flags the log as not set
// up; 0.
int TerminateScreenLog();
int GetScreenLogLineCount();
