#include "integration/support/x_server.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdlib>

extern char** environ;

namespace xserver {

namespace {

long long NowMs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<long long>(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

// The display number Xvfb writes to its -displayfd once it listens, read
// within 30 s; empty when it ends or says nothing.
std::string ReadDisplayNumber(int fd) {
    std::string number;
    const long long until = NowMs() + 30000;
    for (;;) {
        const long long left = until - NowMs();
        if (left <= 0) return {};
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left)) <= 0) continue;
        char c = 0;
        if (read(fd, &c, 1) != 1) return {};
        if (c == '\n') return number;
        number += c;
    }
}

Display* Of(void* display) { return static_cast<Display*>(display); }

// A window gone by the time a request reaches the server is no failure of
// the test's own: Xlib's default would end the process.
int IgnoreErrors(Display*, XErrorEvent*) { return 0; }

}  // namespace

XServer::XServer(bool glx) {
    int fds[2];
    if (pipe(fds) != 0) return;
    const std::string fd = std::to_string(fds[1]);
    std::vector<std::string> args = {"Xvfb", "-displayfd", fd, "-screen", "0", "1024x768x24", "-nolisten", "tcp"};
    if (!glx) args.insert(args.end(), {"-extension", "GLX"});
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    if (posix_spawnp(&pid_, "Xvfb", &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    const std::string number = pid_ > 0 ? ReadDisplayNumber(fds[0]) : "";
    close(fds[0]);
    if (!number.empty()) name_ = ":" + number;
    else End();
}

XServer::~XServer() { End(); }

bool XServer::End() {
    if (pid_ <= 0) return true;
    kill(pid_, SIGTERM);
    const long long until = NowMs() + 10000;
    int status = 0;
    while (NowMs() < until) {
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            return true;
        }
        usleep(5000);
    }
    kill(pid_, SIGKILL);
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return false;
}

WindowWatch::WindowWatch(const std::string& display) {
    XSetErrorHandler(IgnoreErrors);
    Display* d = XOpenDisplay(display.c_str());
    if (d == nullptr) return;
    XSelectInput(d, DefaultRootWindow(d), SubstructureNotifyMask);
    XSync(d, False);
    display_ = d;
}

WindowWatch::~WindowWatch() { Close(); }

void WindowWatch::Close() {
    if (display_ != nullptr) XCloseDisplay(Of(display_));
    display_ = nullptr;
}

const std::vector<MadeWindow>& WindowWatch::Made() {
    Display* d = Of(display_);
    if (d == nullptr) return made_;
    while (XPending(d) > 0) {
        XEvent event{};
        XNextEvent(d, &event);
        if (event.type == CreateNotify && event.xcreatewindow.parent == DefaultRootWindow(d))
            made_.push_back({event.xcreatewindow.window, event.xcreatewindow.width, event.xcreatewindow.height});
    }
    return made_;
}

unsigned long WindowWatch::MappedWindowOf(pid_t pid) {
    Display* d = Of(display_);
    if (d == nullptr) return 0;
    Window root = 0, parent = 0, *children = nullptr;
    unsigned int count = 0;
    if (XQueryTree(d, DefaultRootWindow(d), &root, &parent, &children, &count) == 0) return 0;
    const Atom pidAtom = XInternAtom(d, "_NET_WM_PID", False);
    unsigned long found = 0;
    for (unsigned int i = 0; i < count && found == 0; ++i) {
        Atom type = 0;
        int format = 0;
        unsigned long items = 0, after = 0;
        unsigned char* data = nullptr;
        XWindowAttributes attributes{};
        if (XGetWindowProperty(d, children[i], pidAtom, 0, 1, False, XA_CARDINAL, &type, &format, &items, &after,
                               &data) == Success &&
            data != nullptr && format == 32 && items == 1 && *reinterpret_cast<long*>(data) == pid &&
            XGetWindowAttributes(d, children[i], &attributes) != 0 && attributes.map_state == IsViewable)
            found = children[i];
        if (data != nullptr) XFree(data);
    }
    if (children != nullptr) XFree(children);
    return found;
}

}  // namespace xserver
