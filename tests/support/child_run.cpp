#include "support/child_run.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

namespace {

// A line of /proc/self/status in kilobytes ("VmHWM:   1234 kB"), or -1.
long StatusKb(const char* field) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind(field, 0) == 0) return std::stol(line.substr(std::strlen(field)));
    return -1;
}

}  // namespace

ChildRun RunInChild(int seconds, const std::function<int()>& work) {
    ChildRun run;
    int ends[2];
    if (::pipe(ends) != 0) return run;
    const pid_t child = ::fork();
    if (child < 0) {
        ::close(ends[0]);
        ::close(ends[1]);
        return run;
    }
    if (child == 0) {
        ::close(ends[0]);
        // The peak starts again from what the child holds now (the pages it
        // shares with its parent count as its own).
        std::ofstream("/proc/self/clear_refs") << "5";
        const long before = StatusKb("VmRSS:");
        long message[2] = {work(), 0};
        message[1] = StatusKb("VmHWM:") - before;
        if (::write(ends[1], message, sizeof message) != static_cast<ssize_t>(sizeof message)) ::_exit(2);
        ::_exit(0);
    }
    ::close(ends[1]);
    pollfd ready{ends[0], POLLIN, 0};
    long message[2] = {};
    if (::poll(&ready, 1, seconds * 1000) == 1 && ::read(ends[0], message, sizeof message) == sizeof message) {
        run.finished = true;
        run.result = static_cast<int>(message[0]);
        run.growthKb = message[1];
    } else {
        ::kill(child, SIGKILL);
    }
    ::close(ends[0]);
    ::waitpid(child, nullptr, 0);
    return run;
}
