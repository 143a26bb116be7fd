// What another program on the X display does to the game's window: finds it
// by the game's process and sends it the close a window manager sends. Kept
// apart, for the X headers' macros clash with the rest.
#pragma once

namespace xclient {

// Whether an X display can be opened.
bool DisplayOpens();
// A top-level window of the process (only a mapped one when `mapped`), or 0
// when it has none.
unsigned long WindowOfProcess(int pid, bool mapped);
// WM_DELETE_WINDOW to the window's own client, as a window manager sends it.
bool SendDeleteWindow(unsigned long window);

}  // namespace xclient
