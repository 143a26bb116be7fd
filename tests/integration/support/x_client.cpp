#include "integration/support/x_client.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace xclient {

namespace {

// A window gone by the time a request reaches the server is no failure of
// the test's own: Xlib's default would end the process.
int IgnoreErrors(Display*, XErrorEvent*) { return 0; }

// The display opened on first use and kept: each open is a new client.
Display* TheDisplay() {
    static Display* display = [] {
        XSetErrorHandler(IgnoreErrors);
        return XOpenDisplay(nullptr);
    }();
    return display;
}

long ProcessOf(Display* display, Window window) {
    const Atom pidAtom = XInternAtom(display, "_NET_WM_PID", False);
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    long pid = -1;
    if (XGetWindowProperty(display, window, pidAtom, 0, 1, False, XA_CARDINAL, &type, &format, &count, &after,
                           &data) == Success &&
        data != nullptr && format == 32 && count == 1)
        pid = *reinterpret_cast<long*>(data);
    if (data != nullptr) XFree(data);
    return pid;
}

}  // namespace

bool DisplayOpens() { return TheDisplay() != nullptr; }

unsigned long WindowOfProcess(int pid, bool mapped) {
    Display* display = TheDisplay();
    if (display == nullptr) return 0;
    Window root = 0, parent = 0, *children = nullptr;
    unsigned int count = 0;
    if (XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count) == 0) return 0;
    unsigned long found = 0;
    for (unsigned int i = 0; i < count && found == 0; ++i) {
        XWindowAttributes attributes{};
        if (ProcessOf(display, children[i]) == pid &&
            (!mapped ||
             (XGetWindowAttributes(display, children[i], &attributes) != 0 && attributes.map_state == IsViewable)))
            found = children[i];
    }
    if (children != nullptr) XFree(children);
    return found;
}

bool SendDeleteWindow(unsigned long window) {
    Display* display = TheDisplay();
    if (display == nullptr) return false;
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    const Status sent = XSendEvent(display, window, False, NoEventMask, &event);
    XSync(display, False);
    return sent != 0;
}

}  // namespace xclient
