// The tests' own watches over work that may hang: they end on what the work
// does, not on how long the test has run, so a machine busy with other work
// fails none of them, and work that hangs still fails its test.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <string>
#include <thread>

#include "support/child_run.h"
#include "support/no_progress.h"
#include "support/pipe_watch.h"
#include "support/temp_dir.h"

namespace {

using std::chrono::milliseconds;

// An open that waits on a pipe, for a writer or for a reader, is let go
// and reported; opens that never wait are not, however long the test goes
// on (past the 5 s after which a watch once gave the pipes a partner anyway).
TEST(SupportWaits, APipeWatchReportsAnOpenThatWaitsAndNothingElse) {
    TempDir dir;
    for (int flags : {O_RDONLY, O_WRONLY}) {
        SCOPED_TRACE(flags == O_RDONLY ? "reading" : "writing");
        const std::string pipe = dir.str() + "/pipe" + std::to_string(flags);
        PipeWatch watch({pipe});
        ASSERT_TRUE(watch.Made());
        const int fd = ::open(pipe.c_str(), flags);
        EXPECT_GE(fd, 0);
        if (fd >= 0) ::close(fd);
        EXPECT_TRUE(watch.Waited());
    }
    const std::string pipe = dir.str() + "/held";
    PipeWatch watch({pipe});
    ASSERT_TRUE(watch.Made());
    const int fd = ::open(pipe.c_str(), O_RDONLY | O_NONBLOCK);
    EXPECT_GE(fd, 0);
    std::this_thread::sleep_for(milliseconds(5500));
    if (fd >= 0) ::close(fd);
    EXPECT_FALSE(watch.Waited());
}

// Work in a child is stopped past its processor time, or once it has used
// none for the no-progress limit; work that waits less than that, for
// longer in all than its processor time, ends as it should.
TEST(SupportWaits, AChildIsStoppedOnItsProcessorTimeNotOnTheClock) {
    const ChildRun slow = RunInChild(1, [] {
        for (int i = 0; i < 12; ++i) std::this_thread::sleep_for(milliseconds(100));
        return 7;
    });
    EXPECT_TRUE(slow.finished);
    EXPECT_EQ(slow.result, 7);

    const ChildRun spinning = RunInChild(1, [] {
        volatile unsigned turns = 0;
        for (;;) turns = turns + 1;
        return 0;
    });
    EXPECT_FALSE(spinning.finished);

    const ScopedNoProgressLimit limit(milliseconds(300));
    const ChildRun stuck = RunInChild(1, [] {
        ::pause();
        return 0;
    });
    EXPECT_FALSE(stuck.finished);
}

}  // namespace
