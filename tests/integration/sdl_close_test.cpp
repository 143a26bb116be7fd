// The game in a real window on a display without a window manager: the close
// a window manager sends (WM_DELETE_WINDOW), sent to its window in one of the
// title's first frames, ends it. scripts/close_count.sh runs the long series,
// with a window manager and without. Skipped without a display.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "integration/support/x_client.h"
#include "support/temp_dir.h"

namespace {

// Milliseconds of a steady clock (<chrono> does not build under this test
// code's execution character set).
long long NowMs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<long long>(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

struct Counters {
    long long presented = -1, firstInput = -1, close = -1;
};

// The counters file the game rewrites after each present (run_counters.cpp).
Counters ReadCounters(const std::string& path) {
    Counters c;
    std::ifstream file(path);
    std::string name;
    long long value = 0;
    while (file >> name >> value) {
        if (name == "presented") c.presented = value;
        if (name == "first-input") c.firstInput = value;
        if (name == "close") c.close = value;
    }
    return c;
}

// Starts the game in `folder`, in a window, with its counters in `counters`.
// Spawned, not forked: the test process has threads of its own.
pid_t StartGame(const std::string& folder, const std::string& counters) {
    std::vector<std::string> variables;
    for (char** v = environ; *v != nullptr; ++v) {
        const std::string variable = *v;
        if (variable.rfind("KELVO_", 0) != 0) variables.push_back(variable);
    }
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

// The game's exit status once it ends within `limitMs`, else -1 (it is
// then stopped).
int WaitForEnd(pid_t pid, long long limitMs) {
    const long long until = NowMs() + limitMs;
    int status = 0;
    while (NowMs() < until) {
        if (waitpid(pid, &status, WNOHANG) == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
        usleep(5000);
    }
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    return -1;
}

// The game's X window once it has one (30 s at most), mapped or not, looked
// for without a pause.
unsigned long FirstWindowOf(pid_t game) {
    const long long until = NowMs() + 30000;
    unsigned long window = 0;
    while (window == 0 && NowMs() < until && waitpid(game, nullptr, WNOHANG) == 0)
        window = xclient::WindowOfProcess(game, false);
    return window;
}

class SdlClose : public ::testing::Test {
protected:
    void SetUp() override {
        const char* display = std::getenv("DISPLAY");
        if (display == nullptr || *display == '\0' || !xclient::DisplayOpens()) GTEST_SKIP() << "no display";
        ASSERT_EQ(std::system((std::string(KELVO_DATAGEN_PATH) + " " + folder_.str() + " >/dev/null").c_str()), 0);
    }

    pid_t Start() {
        std::remove(counters().c_str());
        return StartGame(folder_.str(), counters());
    }
    std::string counters() const { return folder_.str() + "/counters"; }

private:
    TempDir folder_;
};

// The window the game makes first is the one it keeps: a close sent to it
// the moment it exists, before it is even shown, ends the game.
TEST_F(SdlClose, ACloseSentToTheFirstWindowTheGameMakesEndsIt) {
    const pid_t game = Start();
    ASSERT_GT(game, 0);
    const unsigned long window = FirstWindowOf(game);
    const bool sent = window != 0 && xclient::SendDeleteWindow(window);
    const int status = WaitForEnd(game, sent ? 5000 : 0);
    ASSERT_TRUE(sent);
    EXPECT_EQ(status, 0) << "the game ends on the close";
    EXPECT_GE(ReadCounters(counters()).close, 0);
}

TEST_F(SdlClose, AWindowManagersCloseInTheTitlesFirstFramesEndsTheGame) {
    for (int frame : {0, 5, 11}) {
        SCOPED_TRACE(testing::Message() << "title frame " << frame);
        const pid_t game = Start();
        ASSERT_GT(game, 0);
        // Watched without a pause, so the close goes in the frame meant.
        const long long until = NowMs() + 30000;
        Counters c;
        while (NowMs() < until) {
            c = ReadCounters(counters());
            if (c.firstInput >= 0 && c.presented >= c.firstInput + frame) break;
        }
        const unsigned long window = xclient::WindowOfProcess(game, true);
        const bool sent = c.firstInput >= 0 && window != 0 && xclient::SendDeleteWindow(window);
        const int status = WaitForEnd(game, sent ? 5000 : 0);
        ASSERT_TRUE(sent) << "the title was reached with a window shown";
        EXPECT_EQ(status, 0) << "the game ends on the close";
        c = ReadCounters(counters());
        EXPECT_GE(c.close, c.firstInput + frame);
        EXPECT_LE(c.close, c.firstInput + frame + 3);
    }
}

}  // namespace
