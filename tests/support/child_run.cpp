#include "support/child_run.h"

#include "support/no_progress.h"

#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

namespace {

// A line of /proc/self/status in kilobytes ("VmHWM:   1234 kB"), or -1.
long StatusKb(const char* field) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind(field, 0) == 0) return std::stol(line.substr(std::strlen(field)));
    return -1;
}

// The processor time a process has used, in clock ticks (user and system),
// or -1 once it is gone.
long long ProcessorTicks(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text;
    if (!std::getline(stat, text)) return -1;
    // Fields after the command's closing parenthesis: state is the third of
    // the line, utime and stime the 14th and 15th.
    std::size_t at = text.rfind(')');
    if (at == std::string::npos) return -1;
    std::istringstream fields(text.substr(at + 1));
    std::string field;
    long long user = 0, system = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14) user = std::stoll(field);
        if (i == 15) system = std::stoll(field);
    }
    return user + system;
}

}  // namespace

ChildRun RunInChild(int processorSeconds, const std::function<int()>& work) {
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
        // The processor time budget: the system ends the child past it.
        const rlimit budget{static_cast<rlim_t>(processorSeconds), static_cast<rlim_t>(processorSeconds) + 1};
        ::setrlimit(RLIMIT_CPU, &budget);
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
    // The answer, or the end of the pipe when the child ends without one;
    // looked after ten times a second, to stop a child that has stopped using
    // the processor.
    long message[2] = {};
    long long ticks = 0;
    auto lastMove = std::chrono::steady_clock::now();
    for (;;) {
        pollfd ready{ends[0], POLLIN, 0};
        const int r = ::poll(&ready, 1, 100);
        if (r == 1) {
            if (::read(ends[0], message, sizeof message) == sizeof message) {
                run.finished = true;
                run.result = static_cast<int>(message[0]);
                run.growthKb = message[1];
            }
            break;
        }
        if (r < 0 && errno != EINTR) break;
        const long long now = ProcessorTicks(child);
        if (now != ticks) {
            ticks = now;
            lastMove = std::chrono::steady_clock::now();
        } else if (std::chrono::steady_clock::now() - lastMove > NoProgressLimit()) {
            break;
        }
    }
    if (!run.finished) ::kill(child, SIGKILL);
    ::close(ends[0]);
    ::waitpid(child, nullptr, 0);
    return run;
}
