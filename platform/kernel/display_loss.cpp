// Kept apart from the other video thread code: the X headers' macros clash
// with the rest of the stand-in.
#include "kernel/display_loss.h"

#include <X11/Xlib.h>

#include "kernel/video_thread.h"

namespace {

XIOErrorHandler g_previousHandler = nullptr;

// Xlib calls this once its connection is broken, and ends the process when
// it returns: on the video thread it never returns.
int OnBrokenConnection(Display* display) {
    if (OnVideoThread()) VideoThreadParkForLostDisplay();
    return g_previousHandler != nullptr ? g_previousHandler(display) : 0;
}

}  // namespace

void WatchForLostDisplay() {
    // One handler for the whole process (Xlib keeps only one), set once:
    // SDL's copy of Xlib is the one linked here.
    static const bool installed = [] {
        g_previousHandler = XSetIOErrorHandler(OnBrokenConnection);
        return true;
    }();
    (void)installed;
}
