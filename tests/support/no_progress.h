// The tests' waits end on progress, not on a total time: a wait gives up once
// nothing it watches has moved (no byte through, no frame, no processor
// time used, nothing it waits for come) for the no-progress limit, and goes
// on for as long as things move. On a machine busy with other work the same
// exchange may take many times as long as on a quiet one; work that stops
// still fails its test, after the limit.
#pragma once

// <chrono> whole does not build with the Shift-JIS execution character set;
// <thread> brings the clocks.
#include <thread>

// Far above any single step's need, however busy the machine: a passing
// test never waits it out.
constexpr std::chrono::milliseconds kNoProgressWait{30000};

// The limit in force: kNoProgressWait, unless a ScopedNoProgressLimit lives.
std::chrono::milliseconds NoProgressLimit();

// Sets the no-progress limit for as long as it lives: the waits' own tests
// shorten it, to see a stalled wait fail quickly.
class ScopedNoProgressLimit {
public:
    explicit ScopedNoProgressLimit(std::chrono::milliseconds limit);
    ~ScopedNoProgressLimit();
    ScopedNoProgressLimit(const ScopedNoProgressLimit&) = delete;
    ScopedNoProgressLimit& operator=(const ScopedNoProgressLimit&) = delete;

private:
    std::chrono::milliseconds before_;
};
