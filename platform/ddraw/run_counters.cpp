// KELVO_COUNTERS=FILE: the platform's running counts, rewritten in place
// after every frame the program presents, so that a script watching a run
// in a window can tell how far the program has got and how fast it goes
// without slowing it: one short write a frame, the file never grows.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "ddraw/display_internal.h"
#include "platform/dinput.h"
#include "platform/display.h"

namespace {

int CountersFile() {
    static const int fd = [] {
        const char* path = std::getenv("KELVO_COUNTERS");
        if (path == nullptr || *path == '\0') return -1;
        return ::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    }();
    return fd;
}

}  // namespace

void PlatformWriteRunCounters() {
    const int fd = CountersFile();
    if (fd < 0) return;
    // Fixed widths: every rewrite covers the one before exactly.
    char text[160];
    const int length = std::snprintf(
        text, sizeof text, "presented %12llu\nshown %16llu\ndropped %14llu\nfirst-input %10lld\n",
        static_cast<unsigned long long>(PlatformProgramFrameCount()),
        static_cast<unsigned long long>(PlatformShownFrameCount()),
        static_cast<unsigned long long>(PlatformDroppedFrameCount()),
        static_cast<long long>(PlatformFirstKeyboardReadFrame()));
    if (length > 0 && ::pwrite(fd, text, static_cast<std::size_t>(length), 0) < 0) {
        // A full disc loses the counts, nothing else.
    }
}
