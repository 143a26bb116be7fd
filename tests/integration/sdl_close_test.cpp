// The game in a real window on a display without a window manager: the close
// a window manager sends (WM_DELETE_WINDOW), sent to its window in one of the
// title's first frames, ends it. scripts/close_count.sh runs the long series,
// with a window manager and without. Skipped without a display.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "integration/support/game_process.h"
#include "integration/support/x_client.h"
#include "support/no_progress.h"
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
    long long presented = -1, shown = -1, firstInput = -1, close = -1;
};

// The counters file the game rewrites after each present and when a close
// reaches it (run_counters.cpp); all -1 before its first present.
Counters ReadCounters(const std::string& path) {
    Counters c;
    std::ifstream file(path);
    std::string name;
    long long value = 0;
    while (file >> name >> value) {
        if (name == "presented") c.presented = value;
        if (name == "shown") c.shown = value;
        if (name == "first-input") c.firstInput = value;
        if (name == "close") c.close = value;
    }
    return c;
}

// The display thread pumps the window system's events after each frame it
// shows, and the game takes them at its next frame: a close sent while frame
// s was being shown is noted, at the latest, by the time a few frames more
// have been shown. Counted in frames shown, not presented: on a busy machine
// the game may present many frames while its display thread waits for the
// processor, and the close waits with it. A close not noted by this many
// shown frames after it was sent is lost, or late past any delay of the
// display's.
constexpr long long kShownFramesToNoteAClose = 10;

// Starts the game in `folder`, in a window on this test's display, with its
// counters in `counters`.
pid_t StartGame(const std::string& folder, const std::string& counters) {
    const char* display = std::getenv("DISPLAY");
    return gameprocess::Start(folder, display != nullptr ? display : "", counters);
}

// The game's exit status once it ends, or -1 when it has not ended within
// the no-progress limit (it is then stopped): a game that takes a close
// ends at once, on a quiet machine or a busy one.
int WaitForEnd(pid_t pid) {
    const long long until = NowMs() + NoProgressLimit().count();
    int status = 0;
    while (NowMs() < until) {
        if (waitpid(pid, &status, WNOHANG) == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
        usleep(5000);
    }
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    return -1;
}

// Whether the game still runs; an ended one is left to WaitForEnd to reap.
bool Running(pid_t pid) {
    siginfo_t info{};
    return waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == 0;
}

// The game's exit status after a close was sent to it: it must end once the
// close was noted; when it was not, the game is stopped.
int EndAfterClose(pid_t game, long long noted) {
    if (noted < 0) kill(game, SIGKILL);
    return WaitForEnd(game);
}

// Reads the counters without a pause (so that a close goes in the frame
// meant) until `reached` holds for them; false when the game ended first, or
// when what `moving` measures of them has not moved for the no-progress
// limit. `c` keeps the last counters read.
bool WatchCounters(pid_t game, const std::string& path, const std::function<bool(const Counters&)>& reached,
                   const std::function<long long(const Counters&)>& moving, Counters* c) {
    *c = ReadCounters(path);
    long long last = moving(*c), movedAt = NowMs();
    while (!reached(*c)) {
        if (!Running(game)) return false;
        if (moving(*c) != last) {
            last = moving(*c);
            movedAt = NowMs();
        } else if (NowMs() - movedAt > NoProgressLimit().count()) {
            return false;
        }
        *c = ReadCounters(path);
    }
    return true;
}

// After a close was sent and the counters `sent` read: the counters last
// read, watched until the close was noted in them or the display has shown
// kShownFramesToNoteAClose frames more. Counters read with no close yet
// were written before it was noted, so frames shown past the bound in them
// say the close came late (or never), however late the test read them.
Counters WatchForTheClose(pid_t game, const std::string& path, const Counters& sent) {
    const long long bound = std::max(sent.shown, 0LL) + kShownFramesToNoteAClose;
    Counters c;
    WatchCounters(
        game, path, [&](const Counters& now) { return now.close >= 0 || now.shown > bound; },
        [](const Counters& now) { return now.shown; }, &c);
    // A game that ended has written its last counters.
    if (c.close < 0 && !Running(game)) c = ReadCounters(path);
    return c;
}

// The game's X window once it has one (mapped when `mapped`), looked for
// without a pause; 0 when the game ended first, or after the no-progress
// limit.
unsigned long WindowOf(pid_t game, bool mapped) {
    const long long until = NowMs() + NoProgressLimit().count();
    unsigned long window = 0;
    while (window == 0 && NowMs() < until && Running(game)) window = xclient::WindowOfProcess(game, mapped);
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
    const unsigned long window = WindowOf(game, false);
    const bool sent = window != 0 && xclient::SendDeleteWindow(window);
    const Counters afterSend = ReadCounters(counters());
    const Counters c = sent ? WatchForTheClose(game, counters(), afterSend) : Counters{};
    const int status = EndAfterClose(game, c.close);
    ASSERT_TRUE(sent);
    ASSERT_GE(c.close, 0) << "no close noted by frame " << c.presented << ", " << c.shown << " shown";
    EXPECT_EQ(status, 0) << "the game ends on the close";
}

// A close sent in one of the title's first frames (counted from the one
// that first read the keyboard) is noted in that frame or after it, within
// a few frames shown after it was sent, and ends the game.
TEST_F(SdlClose, AWindowManagersCloseInTheTitlesFirstFramesEndsTheGame) {
    for (int frame : {0, 5, 11}) {
        SCOPED_TRACE(testing::Message() << "title frame " << frame);
        const pid_t game = Start();
        ASSERT_GT(game, 0);
        // The window first (shown long before the title), so that the close
        // goes out as soon as the frame is reached.
        const unsigned long window = WindowOf(game, true);
        Counters aimed;
        const bool reached =
            window != 0 &&
            WatchCounters(
                game, counters(),
                [&](const Counters& c) { return c.firstInput >= 0 && c.presented >= c.firstInput + frame; },
                [](const Counters& c) { return c.presented; }, &aimed);
        const bool sent = reached && xclient::SendDeleteWindow(window);
        const Counters afterSend = ReadCounters(counters());
        const Counters c = sent ? WatchForTheClose(game, counters(), afterSend) : Counters{};
        const int status = EndAfterClose(game, c.close);
        ASSERT_TRUE(sent) << "the title was reached with a window shown";
        ASSERT_GE(c.close, 0) << "sent by frame " << afterSend.presented << ", " << afterSend.shown
                              << " shown; not noted by frame " << c.presented << ", " << c.shown << " shown";
        EXPECT_GE(c.close, aimed.firstInput + frame);
        EXPECT_EQ(status, 0) << "the game ends on the close";
    }
}

}  // namespace
