// KELVO_COUNTERS=FILE: the platform's running counts, rewritten in place
// after every frame the program presents, so that a script watching a run
// in a window can tell how far the program has got and how fast it goes
// without slowing it: one short write a frame, the file never grows. It
// holds the frames presented, shown and dropped, the frames presented when
// the keyboard was first read and when the window system first asked to
// close a window (-1: not yet).
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>

#include "ddraw/display_internal.h"
#include "platform/dinput.h"
#include "platform/display.h"

namespace {

std::mutex g_mutex;
std::atomic<std::int64_t> g_closeRequest{-1};
std::string g_path;
int g_fd = -1;

// The counters file, opened anew when KELVO_COUNTERS names another (a test
// sets it); -1 when none is named or it cannot be made.
int CountersFileLocked() {
    const char* path = std::getenv("KELVO_COUNTERS");
    const std::string wanted = path != nullptr ? path : "";
    if (wanted != g_path) {
        if (g_fd >= 0) ::close(g_fd);
        g_path = wanted;
        g_fd = wanted.empty() ? -1 : ::open(wanted.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    }
    return g_fd;
}

}  // namespace

void PlatformNoteCloseRequest() {
    std::int64_t none = -1;
    g_closeRequest.compare_exchange_strong(none, static_cast<std::int64_t>(PlatformProgramFrameCount()));
    PlatformWriteRunCounters();
}

void PlatformResetRunCounters() { g_closeRequest = -1; }

void PlatformWriteRunCounters() {
    std::lock_guard lock(g_mutex);
    const int fd = CountersFileLocked();
    if (fd < 0) return;
    // Fixed widths: every rewrite covers the one before exactly.
    char text[200];
    const int length = std::snprintf(
        text, sizeof text, "presented %12llu\nshown %16llu\ndropped %14llu\nfirst-input %10lld\nclose %16lld\n",
        static_cast<unsigned long long>(PlatformProgramFrameCount()),
        static_cast<unsigned long long>(PlatformShownFrameCount()),
        static_cast<unsigned long long>(PlatformDroppedFrameCount()),
        static_cast<long long>(PlatformFirstKeyboardReadFrame()), static_cast<long long>(g_closeRequest.load()));
    if (length > 0 && ::pwrite(fd, text, static_cast<std::size_t>(length), 0) < 0) {
        // A full disc loses the counts, nothing else.
    }
}
