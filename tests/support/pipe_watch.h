// Named pipes for tests of what opens files: an open of a pipe with nobody at
// the other end waits for a partner for ever. A watch set up before the opens
// looks, every 50 ms, whether a thread of this process waits in such an
// open; when one does, it gives the pipes a partner for a moment (the waiting
// open goes through, and then meets the end), so a test that would hang
// fails instead, saying that something waited. Nothing else touches the
// pipes: however long the test takes, an open that never waits is never
// taken for one that did.
#pragma once

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

class PipeWatch {
public:
    // Makes a named pipe at each path.
    explicit PipeWatch(std::vector<std::string> pipes) : pipes_(std::move(pipes)) {
        for (const std::string& pipe : pipes_) made_ = ::mkfifo(pipe.c_str(), 0600) == 0 && made_;
        watcher_ = std::thread([this] {
            while (!finished_) {
                ::usleep(50 * 1000);
                if (!AThreadWaitsInAnOpen()) continue;
                // Open for reading and writing, which never waits, then
                // close: an open waiting for either partner gets it, and
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

    struct OpenCall {
        std::string call;  // as /proc gives it: the call's number and arguments
        int looks = 0;     // how many looks in a row found the thread in it
    };

    static std::string TaskFile(const std::string& task, const char* name) {
        std::string line;
        std::getline(std::ifstream("/proc/self/task/" + task + "/" + name), line);
        return line;
    }

    // Whether a thread of this process sleeps in the open of a pipe, waiting
    // for the other end: the kernel names where each thread sleeps. Where it
    // does not (the name reads "0"), a thread found in the same open call
    // ("2 ..." open, "257 ..." openat) at every look for a second counts.
    bool AThreadWaitsInAnOpen() {
        DIR* tasks = ::opendir("/proc/self/task");
        if (tasks == nullptr) return false;
        bool waits = false;
        std::map<std::string, OpenCall> calls;
        for (dirent* entry; (entry = ::readdir(tasks)) != nullptr;) {
            const std::string task = entry->d_name;
            if (task == "." || task == "..") continue;
            const std::string sleepsIn = TaskFile(task, "wchan");
            waits = waits || sleepsIn == "wait_for_partner" || sleepsIn == "fifo_open";
            if (sleepsIn != "0") continue;
            const std::string call = TaskFile(task, "syscall");
            if (call.rfind("2 ", 0) != 0 && call.rfind("257 ", 0) != 0) continue;
            const auto seen = openCalls_.find(task);
            OpenCall now = seen != openCalls_.end() && seen->second.call == call ? seen->second : OpenCall{call, 0};
            waits = waits || ++now.looks > 20;
            calls[task] = now;
        }
        ::closedir(tasks);
        openCalls_ = std::move(calls);
        return waits;
    }

    std::vector<std::string> pipes_;
    bool made_ = true;
    std::map<std::string, OpenCall> openCalls_;  // the watcher's own
    std::atomic<bool> finished_{false};
    std::atomic<bool> waited_{false};
    std::thread watcher_;
};
