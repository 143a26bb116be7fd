// The framework's text log: "Log.txt" in the start directory and the
// debugger output. Texts are Shift-JIS. The log's state lives in
// `SystemState` (logOff, logDateStamp, logFileName, logIndent, ...).
#pragma once

#include <cstddef>

constexpr std::size_t kLogFormatBufferSize = 1024;

// Log on (non-zero) or off (0); 0.
int SetLogEnabled(int flag);
// Starts an empty log file in the start directory; 1.
int InitLogFile();
// Always -1, so a failing operation can return the result of its last log call.
int WriteLogText(const char* text);
// Formats (bounded to the 1024-byte buffer with its line feed), appends a line
// feed and writes it; -1.
int WriteLogFormat(const char* format, ...) __attribute__((format(printf, 1, 2)));
// The same without the line feed: for texts that go on in the same line or
// end in their own "\n"; -1.
int WriteLogFormatText(const char* format, ...) __attribute__((format(printf, 1, 2)));
int IncreaseLogIndent();
int DecreaseLogIndent();  // never below 0

// The log file's full name: the start directory and the log file name. False
// when the start directory is empty or the two do not fit `size` bytes.
bool MakeLogFilePath(char* out, std::size_t size);
