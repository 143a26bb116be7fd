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

// What a movie may spend. A picture's share of processor time is a base and
// a share for each pixel of the pictures a reader may have to decode to hand
// it out (the picture and those its decoder holds back to reorder, known
// once the first is made). A step may take its base and one picture's share;
// the whole movie, the open's base and a share for each picture it made. So
// a movie always has the time its own pictures take to decode, and never the
// time of thousands decoded for each one shown.
struct MovieBudgetLimits {
    // Opening a movie: its demuxers, their probes and its first picture.
    std::int64_t openNanoseconds = 500'000'000;
    // Each later step: an update, a seek, the sound kept fed.
    std::int64_t stepNanoseconds = 500'000'000;
    // A picture of 4096 x 4096 in 4:2:0 with 8 bits takes some 0.3-1.3 s to
    // decode on one thread: a step may take 1.7 s more for each it decodes.
    std::int64_t nanosecondsPerPixel = 100;
    // Over the whole movie, each picture made earns this, with its pixels'
    // share: a movie spends no more than the open's time and its pictures'
    // shares, however it spreads its work over steps.
    std::int64_t nanosecondsPerPicture = 50'000'000;
    // The pictures all the movie's decoders hold at once. A picture of 4096
    // x 4096 in 4:2:0 with 8 bits is 24 MiB: seven of them (three
    // references, the one decoded and three held for reordering, as an
    // encoder's usual settings make them at that size) fit; two of 4:4:4
    // with 10 bits (96 MiB each) do not.
    std::int64_t pictureBytes = std::int64_t{180} << 20;
};

class MovieBudget : public std::enable_shared_from_this<MovieBudget> {
public:
    using Limits = MovieBudgetLimits;

    explicit MovieBudget(std::string path, Limits limits = {}) : path_(std::move(path)), limits_(limits) {}

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
    // Whether the step has used less than half its time: work that may stop
    // early (catching up with the clock, finding a seek's target) stops
    // there rather than spend the budget.
    bool StepHasRoom() const;
    // A picture was handed out: the movie has earned its share.
    void PictureMade() { ++pictures_; }
    bool Spent() const { return spent_; }

    // The decoder's pictures (and sound frames) come from this budget: each
    // is counted while the decoder or a reader holds it.
    void Attach(AVCodecContext* decoder);

    // The interrupt callback of the library's demuxers: non-zero ends what
    // the demuxer is doing.
    static int Interrupted(void* budget);

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
    // The step's processor time so far, and what it may take.
    std::int64_t StepElapsed() const;
    std::int64_t StepLimit() const;
    std::int64_t PictureShare() const;

    std::int64_t stepStart_ = 0;  // thread processor time when the step began
    StepKind stepKind_ = StepKind::Open;
    std::int64_t framePixels_ = 0;  // of the largest picture made
    int heldBack_ = 0;              // the most pictures its decoder holds back to reorder
    std::int64_t spentBefore_ = 0;  // processor time of the steps before this one
    std::int64_t pictures_ = 0;     // handed out
    int depth_ = 0;
    bool spent_ = false;
    bool refusedBytes_ = false;  // said once on the debug output
};
