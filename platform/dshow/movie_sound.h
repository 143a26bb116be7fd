// The sound of a movie: decoded from the file's audio stream, converted to
// 16-bit stereo at the mixer's rate and played by the mixer while the
// movie's clock runs.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "dshow/media_reader.h"
#include "dsound/audio_output.h"
#include "platform/dshow.h"

struct SwrContext;
struct AVFrame;

class MovieSound final : public MixSource {
public:
    // Null when the file has no audio stream or no output can be opened.
    static std::unique_ptr<MovieSound> Open(const std::string& nativePath, std::shared_ptr<MovieBudget> budget);
    ~MovieSound() override;

    // Starts or stops playing at this moment of the output.
    void SetRunning(bool running);
    // Starts again from `time`: what was decoded is dropped.
    void Seek(STREAM_TIME time);
    // Decodes until a second more than has been played is waiting.
    void Fill();
    // Hundredths of a decibel, as the basic-audio interface takes them.
    void SetVolume(LONG volume);

    void RenderInto(std::int32_t* accumulator, int frames, int rate) override;

private:
    MovieSound() = default;
    // The resampler set up for frames like this one (its channels, sample
    // format and rate); false when it cannot convert them.
    bool ResamplerFits(const AVFrame* frame);
    // Samples [from, end) of a block of stereo frames join the queue.
    void Queue(const std::vector<std::int16_t>& samples, std::size_t from, std::size_t end);
    // The samples the resampler still holds at the end of the stream (its
    // filter's delay: some 1-2 ms of sound) join the queue.
    void Drain();
    // Output frames in a time of 100 ns.
    std::int64_t FramesIn(STREAM_TIME time) const;

    std::shared_ptr<AudioOutput> output_;
    MediaReader reader_;
    SwrContext* resampler_ = nullptr;
    // What the resampler takes: a decoder may change these between frames
    // (damaged headers do), and a frame of another shape is never handed to
    // a resampler set up for the old one.
    int inChannels_ = 0;
    int inOrder_ = -1;
    std::uint64_t inMask_ = 0;
    int inFormat_ = -1;
    int inRate_ = 0;
    int rate_ = 0;
    bool droppedDamage_ = false;  // said once on the debug output
    STREAM_TIME seekTarget_ = 0;
    bool trimming_ = false;       // the first frames after a seek start before it
    bool ended_ = false;

    // Shared with the mixer, under its mutex. Positions count frames of the
    // output rate from the last seek; the queue holds the frames from
    // queueStart_ on, and may start behind what was played.
    std::deque<std::int16_t> queue_;
    std::int64_t queueStart_ = 0;
    std::int64_t played_ = 0;
    bool running_ = false;
    std::int32_t gain_ = 32768;   // 1.0 in 15 bits
};
