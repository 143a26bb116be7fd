// A window's input context, kept in the window's record under the window
// stand-in's mutex, and the turning of the input method's events into the
// window's messages.
#pragma once

#include <string>

struct PlatformWindow;

struct ImmContext {
    std::string composition;  // Shift-JIS
    int cursor = 0;           // byte offset into the composition
    bool composing = false;
    bool open = false;
};

// Under the window mutex. Text the user typed (UTF-8): a running composition
// ends, then one WM_CHAR per Shift-JIS byte.
void ImmTextToMessagesLocked(PlatformWindow& window, const std::string& utf8);
// Under the window mutex. The composition as the input method shows it now
// (UTF-8, cursor in characters); an empty one ends the composition.
void ImmCompositionToMessagesLocked(PlatformWindow& window, const std::string& utf8, int cursorChars);
