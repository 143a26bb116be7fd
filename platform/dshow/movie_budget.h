// What one movie may cost, whatever its file claims: processor time for each
// step (the open, an update, a seek) and bytes for the pictures its decoders
// hold. A step that runs past its time spends the budget for good: an open
// is refused, a movie in play ends where it stands. A picture that would
// take the movie past its bytes is never made.
//
// The time is the calling thread's processor time, not the clock's, so a
// busy machine never refuses a good movie: a movie's demuxers and decoders
// all run on the thread that calls it (one decoding thread each).
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

struct AVCodecContext;
struct AVFrame;

// What a movie may spend.
struct MovieBudgetLimits {
    // Opening a movie: its demuxers, their probes and its first picture.
    std::int64_t openNanoseconds = 1'000'000'000;
    // Each later step: an update, a seek, the sound kept fed.
    std::int64_t stepNanoseconds = 500'000'000;
    // The pictures all the movie's decoders hold at once. A picture of
    // 4096 x 4096 in 4:2:0 with 8 bits is 25 MB: six of them (three
    // references and two held for reordering, as encoders make them at
    // that size) fit.
    std::int64_t pictureBytes = std::int64_t{160} << 20;
};

class MovieBudget : public std::enable_shared_from_this<MovieBudget> {
public:
    using Limits = MovieBudgetLimits;

    explicit MovieBudget(std::string path, Limits limits = {}) : path_(std::move(path)), limits_(limits) {}
    const Limits& Limit() const { return limits_; }

    // Starts a step, the open or a later one, on the thread's processor
    // time. Steps do not nest: a step begun inside another is part of it.
    enum class StepKind { Open, Later };
    class Step {
    public:
        Step(MovieBudget& budget, StepKind kind);
        ~Step();
        Step(const Step&) = delete;
        Step& operator=(const Step&) = delete;

    private:
        MovieBudget& budget_;
        bool outer_;
    };

    // Whether the movie may go on: false once a step has run past its time
    // (said once on the debug output).
    bool Allows();
    bool Spent() const { return spent_; }

    // The decoder's pictures (and sound frames) come from this budget: each
    // is counted while the decoder or a reader holds it.
    void Attach(AVCodecContext* decoder);
    std::int64_t HeldBytes() const { return held_.load(); }

    // The interrupt callback of the library's demuxers: non-zero ends what
    // the demuxer is doing.
    static int Interrupted(void* budget);

    const std::string& Path() const { return path_; }

private:
    struct Hold;
    static int GetBuffer(AVCodecContext* decoder, AVFrame* frame, int flags);
    static void ReleaseHold(void* hold, std::uint8_t* data);
    // Whether a picture (or sound frame) of `bytes` may be made for a decoder
    // that may come to hold `pictures` of its size; counted if so.
    bool Reserve(std::int64_t bytes, std::int64_t pictures);
    void Note(const std::string& what);

    std::string path_;
    Limits limits_;
    std::atomic<std::int64_t> held_{0};
    std::int64_t stepEnd_ = 0;   // thread processor time when the step runs out
    int depth_ = 0;
    bool spent_ = false;
    bool refusedBytes_ = false;  // said once on the debug output
};
