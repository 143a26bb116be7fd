#include "integration/support/game_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <fstream>
#include <vector>

extern char** environ;

namespace gameprocess {

namespace {

long long NowMs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<long long>(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

// Whether the game has ended, leaving its status to be collected.
bool Ended(pid_t game) {
    siginfo_t info{};
    return waitid(P_PID, static_cast<id_t>(game), &info, WEXITED | WNOHANG | WNOWAIT) != 0 || info.si_pid == game;
}

}  // namespace

pid_t Start(const std::string& folder, const std::string& display, const std::string& counters) {
    std::vector<std::string> variables;
    for (char** v = environ; *v != nullptr; ++v) {
        const std::string variable = *v;
        if (variable.rfind("KELVO_", 0) != 0 && variable.rfind("DISPLAY=", 0) != 0) variables.push_back(variable);
    }
    variables.push_back("DISPLAY=" + display);
    variables.push_back("KELVO_PLATFORM=sdl");
    variables.push_back("KELVO_COUNTERS=" + counters);
    std::vector<char*> envp;
    for (std::string& v : variables) envp.push_back(v.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    char* argv[] = {const_cast<char*>(KELVO_GAME_PATH), nullptr};
    pid_t pid = 0;
    const int failed = posix_spawn(&pid, KELVO_GAME_PATH, &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    return failed == 0 ? pid : -1;
}

long long Counter(const std::string& counters, const std::string& name) {
    std::ifstream file(counters);
    std::string key;
    long long value = 0;
    while (file >> key >> value)
        if (key == name) return value;
    return -1;
}

bool WaitForFrames(pid_t game, const std::string& counters, long long since, long long frames) {
    const long long until = NowMs() + 60000;
    while (NowMs() < until && !Ended(game)) {
        if (Counter(counters, "presented") >= since + frames) return true;
        usleep(2000);
    }
    return false;
}

bool WaitForTitle(pid_t game, const std::string& counters) {
    const long long until = NowMs() + 60000;
    while (NowMs() < until && !Ended(game)) {
        if (Counter(counters, "first-input") >= 0) return true;
        usleep(2000);
    }
    return false;
}

End WaitForEnd(pid_t game, long long limitMs) {
    const long long until = NowMs() + limitMs;
    int status = 0;
    End end;
    while (NowMs() < until) {
        if (waitpid(game, &status, WNOHANG) == game) {
            end.ended = true;
            end.signalled = WIFSIGNALED(status);
            end.code = end.signalled ? WTERMSIG(status) : WEXITSTATUS(status);
            return end;
        }
        usleep(5000);
    }
    kill(game, SIGKILL);
    waitpid(game, &status, 0);
    return end;
}

}  // namespace gameprocess
