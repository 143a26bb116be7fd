// The framework's text log: "Log.txt" in the start directory and the
// debugger output. Texts are Shift-JIS.
#pragma once

int SetLogEnabled(int flag);
int InitLogFile();
// Always -1, so a failing operation can return the result of its last log call.
int WriteLogText(const char* text);
// Formats (bounded), appends a line feed and writes it; -1.
int WriteLogFormat(const char* format, ...) __attribute__((format(printf, 1, 2)));
int IncreaseLogIndent();
int DecreaseLogIndent();
