// A recording stand-in for the framework's public operations, linked into the
// game's unit tests in place of the framework. Every Api* call is kept in
// order with its arguments; a test scripts what the calls return: handles for
// loads, the pad state of each frame, the millisecond clock, when the window
// closes, and the result of any operation by name.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <set>
#include <string>
#include <variant>
#include <vector>

using ApiArg = std::variant<std::int64_t, double, std::string>;

struct ApiCall {
    std::string name;  // "ApiBlitGraph"
    std::vector<ApiArg> args;

    std::int64_t Int(std::size_t i) const { return std::get<std::int64_t>(args.at(i)); }
    double Real(std::size_t i) const { return std::get<double>(args.at(i)); }
    const std::string& Text(std::size_t i) const { return std::get<std::string>(args.at(i)); }
    // "ApiBlitGraph(10, 20, 5, 1)"; texts in double quotes.
    std::string ToString() const;
};

class ApiRecorder {
public:
    // Forgets every call and every scripted value.
    void Reset();
    // Forgets the calls only; the script goes on.
    void ClearCalls() { calls_.clear(); }

    const std::vector<ApiCall>& Calls() const { return calls_; }
    std::vector<ApiCall> Calls(const std::string& name) const;
    std::size_t Count(const std::string& name) const;
    // Every call, one per line, for failure messages.
    std::string Trace() const;

    // ---- scripting ----
    // Loads hand out consecutive handles from here (a divided load one per
    // piece). Default 1000.
    void SetNextHandle(int handle) { nextHandle_ = handle; }
    // Loads of this file name fail with -1 and fill nothing.
    void FailLoadsOf(const std::string& fileName) { failingFiles_.insert(fileName); }
    // Pad states returned by successive ApiGetPadState calls; once they run
    // out the last one repeats (0 when none was given).
    void QueuePadStates(const std::vector<std::uint32_t>& states);
    // Each ApiGetMilliseconds call advances the clock by `step` after reading.
    void SetClock(std::uint32_t now, std::uint32_t step = 1) {
        now_ = now;
        clockStep_ = step;
    }
    // ApiProcessMessage returns 0 for this many calls, then -1 (the window was
    // closed). Negative: never closes (the default).
    void CloseWindowAfter(int calls) { closeAfter_ = calls; }
    void SetKeyDown(int keyCode, bool down);
    void SetSoundPlaying(int handle, bool playing);
    // Fixes the result of every later call of an operation (by name).
    void SetResult(const std::string& name, int result) { results_[name] = result; }

    // ---- used by the stand-in operations ----
    void Record(const char* name, std::vector<ApiArg> args);
    bool HasResult(const std::string& name) const { return results_.count(name) != 0; }
    int Result(const std::string& name) const { return results_.at(name); }
    int TakeHandles(const char* fileName, int count);
    std::uint32_t NextPadState();
    std::uint32_t ReadClock();
    int ProcessMessage();
    bool KeyDown(int keyCode) const { return keysDown_.count(keyCode) != 0; }
    bool SoundPlaying(int handle) const { return soundsPlaying_.count(handle) != 0; }

private:
    std::vector<ApiCall> calls_;
    int nextHandle_ = 1000;
    std::set<std::string> failingFiles_;
    std::deque<std::uint32_t> padStates_;
    std::uint32_t lastPadState_ = 0;
    std::uint32_t now_ = 0;
    std::uint32_t clockStep_ = 1;
    int closeAfter_ = -1;
    int messageCalls_ = 0;
    std::set<int> keysDown_;
    std::set<int> soundsPlaying_;
    std::map<std::string, int> results_;
};

// The one recorder behind the stand-in operations.
ApiRecorder& Recorder();
