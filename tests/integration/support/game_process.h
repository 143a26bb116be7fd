// The game run as a process of its own in a window on a given X display, and
// what a test reads of it: its counters file and how it ended.
#pragma once

#include <sys/types.h>

#include <string>

namespace gameprocess {

// Starts the game in `folder` on `display`, in a window, with its counters in
// `counters`; -1 when it cannot be started. Spawned, not forked: the test
// process has threads of its own.
pid_t Start(const std::string& folder, const std::string& display, const std::string& counters);

// A value of the counters file the game rewrites after each present
// ("presented", "first-input", "close"), or -1 while it has none.
long long Counter(const std::string& counters, const std::string& name);

// Waits until the game has presented `frames` more frames than `since`
// (60 s at most); false when it ended or did not get there.
bool WaitForFrames(pid_t game, const std::string& counters, long long since, long long frames);

// Waits until the game has reached the title and read its keys there (60 s
// at most); false when it ended or did not get there.
bool WaitForTitle(pid_t game, const std::string& counters);

struct End {
    bool ended = false;      // within the limit (else it was killed)
    bool signalled = false;  // ended by a signal
    int code = 0;            // its exit status, or the signal
};
End WaitForEnd(pid_t game, long long limitMs);

}  // namespace gameprocess
