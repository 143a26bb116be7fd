// A limit on a piece of a test that, were the code under test wrong, would
// wait where nothing can wake it (a read of a kernel file that waits for the
// next kernel message): past the limit the test process ends, failing, with
// a line saying what waited, instead of holding up the whole run.
#pragma once

#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

class HangWatch {
public:
    HangWatch(int seconds, std::string what) : what_(std::move(what)) {
        watcher_ = std::thread([this, seconds] {
            for (int tick = 0; !done_; ++tick) {
                if (tick == seconds * 20) {
                    std::fprintf(stderr, "Failure: %s (still waiting after %d s)\n", what_.c_str(), seconds);
                    std::fflush(stderr);
                    std::_Exit(1);
                }
                ::usleep(50 * 1000);
            }
        });
    }
    ~HangWatch() {
        done_ = true;
        watcher_.join();
    }
    HangWatch(const HangWatch&) = delete;
    HangWatch& operator=(const HangWatch&) = delete;

private:
    std::string what_;
    std::atomic<bool> done_{false};
    std::thread watcher_;
};
