// Named pipes for tests of what opens files: a reader that opens a pipe
// with no writer waits for one for ever. A watch set up before the opens
// gives such a reader a writer (and at once the end) after a few seconds,
// and once a second after that, so a test that would hang fails instead,
// saying that something waited.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

class PipeWatch {
public:
    // Makes a named pipe at each path.
    explicit PipeWatch(std::vector<std::string> pipes) : pipes_(std::move(pipes)) {
        for (const std::string& pipe : pipes_) made_ = ::mkfifo(pipe.c_str(), 0600) == 0 && made_;
        watcher_ = std::thread([this] {
            for (int tick = 1; !finished_; ++tick) {
                ::usleep(50 * 1000);
                if (tick < 100 || tick % 20 != 0) continue;
                // Open for reading and writing, which never waits, then
                // close: a reader waiting in its open gets a writer and
                // then the end.
                for (const std::string& pipe : pipes_) {
                    const int fd = ::open(pipe.c_str(), O_RDWR | O_NONBLOCK);
                    if (fd >= 0) ::close(fd);
                }
                waited_ = true;
            }
        });
    }
    ~PipeWatch() { Finish(); }
    PipeWatch(const PipeWatch&) = delete;
    PipeWatch& operator=(const PipeWatch&) = delete;

    bool Made() const { return made_; }
    // Ends the watch; true when it had to let a waiting open go.
    bool Waited() {
        Finish();
        return waited_;
    }

private:
    void Finish() {
        finished_ = true;
        if (watcher_.joinable()) watcher_.join();
    }

    std::vector<std::string> pipes_;
    bool made_ = true;
    std::atomic<bool> finished_{false};
    std::atomic<bool> waited_{false};
    std::thread watcher_;
};
