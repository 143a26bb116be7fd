// The one way out of states the framework cannot recover from.
#pragma once

// Logs the text with a line feed, ends the framework and exits the process
// with -1.
[[noreturn]] void FatalError(const char* text);
