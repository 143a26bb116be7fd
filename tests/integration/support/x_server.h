// An X server of a test's own (Xvfb), with OpenGL (GLX) or without, and the
// top-level windows made on it. Kept apart, for the X headers' macros clash
// with the rest.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace xserver {

class XServer {
public:
    // Starts Xvfb on a display number it finds free (1024 x 768 x 24).
    explicit XServer(bool glx);
    ~XServer();  // ends it, when still running
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;

    bool started() const { return !name_.empty(); }
    const std::string& name() const { return name_; }  // ":N"
    // Ends the server with SIGTERM, as a display that shuts down does, and
    // waits for it to be gone (10 s at most); false when it would not end.
    bool End();

private:
    pid_t pid_ = -1;
    std::string name_;
};

// What the server reports of the top-level windows made from the moment the
// watch starts: each one's id and the size it was made with. SDL's loading
// of the OpenGL library makes and drops a 32 x 32 window of its own.
struct MadeWindow {
    unsigned long id = 0;
    int width = 0, height = 0;
};

class WindowWatch {
public:
    explicit WindowWatch(const std::string& display);
    ~WindowWatch();
    WindowWatch(const WindowWatch&) = delete;
    WindowWatch& operator=(const WindowWatch&) = delete;

    bool opened() const { return display_ != nullptr; }
    // Every window made since the watch started, in order.
    const std::vector<MadeWindow>& Made();
    // A mapped top-level window of the process, or 0.
    unsigned long MappedWindowOf(pid_t pid);
    // Lets go of the display; done before its server ends.
    void Close();

private:
    void* display_ = nullptr;
    std::vector<MadeWindow> made_;
};

}  // namespace xserver
