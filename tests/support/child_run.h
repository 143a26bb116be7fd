// Runs a piece of work in a child process of its own, so that a test can
// tell how much memory it took (the child's resident set, from where it
// started to its peak) and stop it if it runs on without end: once it has
// used a given amount of processor time (the same for the same work however
// busy the machine is), or when it has used none for the no-progress limit
// (it waits for something that does not come).
#pragma once

#include <functional>

struct ChildRun {
    bool finished = false;  // false: stopped, or ended without an answer
    int result = -1;        // what the work returned
    long growthKb = 0;      // how far the child's resident memory rose
};

// `work` runs in a forked child: it must not need other threads of this
// process (they are not there), and what it changes stays in the child.
ChildRun RunInChild(int processorSeconds, const std::function<int()>& work);
